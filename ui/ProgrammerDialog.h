#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/TonePlayer.h"
#include "control/FrontEnd.h"
#include "control/ProgrammerController.h"
#include "device/UsbBus.h"
#include "ui/ControlId.h"
#include "ui/LogListModel.h"
#include "ui/QtStatusChannel.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QListView;
class QPlainTextEdit;
class QProgressBar;
class QTabWidget;

namespace kestrel::ui {

class DeviceArrivalMonitor;
class FusePage;
class HexView;
class ProductionPage;
class ProductionRun;
struct ControlTemplate;
struct BaseUnits;

// Where the window keeps what it remembers between runs (QSettings: on Linux
// ~/.config/io.github.quintavel/Kestrel.conf).
inline constexpr char kSettingsOrganisation[] = "io.github.quintavel";
inline constexpr char kSettingsApplication[] = "Kestrel";

// The main window: every control of the window's template at its place, the five pages, and
// the front end that the controller drives. Construction creates and binds the controls
// (radio button "PP_20" checked); OnInitDialog runs the rest of the start-up in its fixed order.
//
// The window is as large as its template at least (in a font small enough for the template to
// fit the screen); the pages take any room beyond. Return and Escape never end it: it closes
// by its close button, Alt+F4 or Ctrl+Q, and not while an operation runs. Each press of a
// button starts a run (the operations it queues); when the run has ended the progress bar
// says whether any of them failed, as the command line's exit status would.
class ProgrammerDialog : public QDialog, public control::FrontEnd {
  Q_OBJECT

 public:
  using MessageHandler = std::function<void(const std::string& text)>;
  using FileChooserHandler = std::function<std::optional<std::string>(control::FileDialogKind kind)>;
  using QuestionHandler = std::function<bool(const std::string& question)>;  // true: Yes
  // What to do with edits not saved before something replaces them.
  enum class Choice { Save, Discard, Cancel };
  using ChoiceHandler = std::function<Choice(const std::string& question)>;

  ProgrammerDialog(device::UsbBus& bus, TonePlayer& tones, QWidget* parent = nullptr);
  ~ProgrammerDialog() override;

  // The start-up after the controls exist: About entry, icon, arrival watch, pages, chip list,
  // start values, what the last run left (SaveSettings), button images, views, introduction,
  // probe. Stops after the pages when no catalogue can be read (message box naming the paths
  // searched). Returns true only when the programmer was found.
  bool OnInitDialog(const std::vector<std::string>& catalogueSearchPaths,
                    const chips::FactsLookup& facts = {});

  void OnTabSelected();    // the user picked a tab
  void OnDeviceArrival();  // a USB device was plugged in
  void ShowAbout();

  // One press of an operation button: refused with the busy line while a run goes on, else the
  // run it starts, with the file its dialog chose. A run that keeps its page shows the log page
  // only when it fails.
  void Press(control::OperationButton button, bool keepPage = false);
  // Opens `path` by the open button's operation (OpenFlashFile or OpenEepromFile), as if the
  // file dialog had been answered with it: a dropped or a recent file.
  void OpenFile(control::OperationButton button, const QString& path);
  // The files opened into FLASH (OpenFlash) or EEPROM (OpenEeprom) lately that still exist,
  // the newest first.
  QStringList RecentFiles(control::FileDialogKind kind) const;
  // The log's lines as UTF-8 text, one a line; false (and a message) when it cannot be written.
  bool SaveLog(const QString& path);
  // Keeps the chip, mode, fuse and lock texts, check boxes and the window's place for the next
  // start (the folders and recent files are kept as they are chosen). done() calls it.
  void SaveSettings() const;
  // The production page's job: loaded from `path`, or a message with the refusal.
  void OpenJob(const QString& path);
  // Production on every programmer the bus lists (the one open when there is only one).
  void StartProduction();
  // The production database: a SQLite file or a PostgreSQL connection string; the default is
  // KESTREL_DB, else production::DefaultDatabasePath(). Not while production runs.
  void UseProductionDatabase(const std::string& target);
  bool ProductionRunning() const;
  // The Auto check boxes as a run request carries them.
  control::AutoSelection AutoBoxes() const;

  // Replace the modal message box, file dialogs and Yes/No question box, e.g. in tests.
  void SetMessageHandler(MessageHandler handler) { messageHandler_ = std::move(handler); }
  void SetFileChooser(FileChooserHandler handler) { fileChooser_ = std::move(handler); }
  void SetQuestionHandler(QuestionHandler handler) { questionHandler_ = std::move(handler); }
  void SetChoiceHandler(ChoiceHandler handler) { choiceHandler_ = std::move(handler); }

  control::ProgrammerController& controller() { return *controller_; }
  // The control of the window's template, or nullptr.
  QWidget* Control(ControlId id) const;
  QTabWidget* pageTabs() const { return pageTabs_; }
  FusePage& fusePage() const { return *fusePage_; }
  ProductionPage& productionPage() const { return *productionPage_; }
  LogListModel& logModel() { return logModel_; }
  HexView& flashHexView() const { return *flashHexView_; }
  HexView& eepromHexView() const { return *eepromHexView_; }
  QProgressBar& progressBar() const { return *progressBar_; }
  QLabel& connectionLabel() const { return *connection_; }
  // Beside Auto's fuse box: the fields the fuse text changes from the chip's factory values.
  QLabel& fuseNote() const { return *fuseNote_; }
  device::ProgrammingMode selectedMode() const { return selectedMode_; }
  bool ArrivalDetectionActive() const;

  // FrontEnd.
  control::LogListPort& LogList() override { return logModel_; }
  void SetFieldText(control::Field field, const std::string& text) override;
  void ShowProgress(const control::RunProgress& progress) override;
  control::HexViewPort& FlashView() override;
  control::HexViewPort& EepromView() override;
  TonePlayer& Tones() override { return tones_; }
  void ShowMessage(const std::string& text) override;
  void ShowPage(int page) override;
  void SetFuseText(const std::string& text) override;
  void SetLockText(const std::string& text) override;
  // A Yes/No question naming the consequence, No the default. No puts back the fuse text the
  // chip had before the refused one.
  bool ConfirmLockout(const std::string& consequence) override;
  void ShowSelectedChip(int index) override;
  void RunStarted() override;
  void OperationBegan(control::Operation operation) override;
  void OperationEnded(control::Operation operation, const control::OperationResult& result) override;
  void ImageOpened(control::MemoryKind memory, const std::string& path) override;
  void RunEnded(const control::Outcome& outcome) override;
  void ConnectionChanged(const std::string& address) override;

  // Ends the modal run, unless a run is under way: then the busy line and error beep.
  void done(int result) override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  // The arrow keys on a mode button move the focus to the next one and select nothing.
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void CreateControls();
  QWidget* CreateControl(const ControlTemplate& control, const BaseUnits& base);
  void LimitFuseFields();
  void SetTabOrder();
  void ConnectHandlers();
  void AddShortcuts();
  void AddLogMenu();
  void ShowRecentFiles(control::OperationButton button, const QPoint& where);
  void AddAboutEntry();
  void AddPages();
  void FillChipList();
  void SetButtonImages();
  void ConfigureViews();
  bool IsChecked(ControlId id) const;
  void RefreshSelectedMode();
  void CreateFusePage();
  void CreateProductionPage();
  // The operation buttons and the fuse page wait while production runs.
  void ProductionRunningChanged(bool running);
  void ExportProductionCsv();
  void ShowSelectedFacts();  // the fuse page and the fuse texts follow the controller's chip
  // The fuse and lock texts of `chip`: those kept for it, else its factory values; a chip
  // without either keeps the texts shown. The texts shown are first kept for their chip.
  void LoadChipTexts(const QString& chip);
  void KeepChipTexts() const;
  void ShowFuseNote();
  void ModeChosen(int mode);
  void ShowConnection();
  // The progress bar takes what the connection line and the programmer list leave of the line.
  void LayOutBottomLine();
  // The Yes/No question before a press that erases the chip (unless told not to ask again).
  bool ConfirmErase();
  // Before a press that replaces what a hex page shows: the page's unsaved edits saved,
  // discarded or the press cancelled (false).
  bool SettleEdits(control::OperationButton button);
  bool SettleEdits(control::MemoryKind memory);
  // An edit of a page: a read-back edited becomes the image that a write sends.
  void TakeEdit(control::MemoryKind memory);
  // After the chip-ID read: a signature that is not the selected chip's is said, with the
  // offer to switch to the chip it names.
  void CheckSignatureRead();
  void PickChip(int index);  // by the user, or restored
  void TakeTypedChip();      // a catalogue name typed into the chip list, or back to the chip
  // The file the press's dialog chose (remembered for the next dialog), or none.
  std::optional<std::string> ChooseFile(control::FileDialogKind kind);
  std::optional<std::string> AskForFile(control::FileDialogKind kind);
  // Runs a file dialog; the chosen path, or an empty one.
  static QString RunFileDialog(QFileDialog& dialog);
  void RememberFile(control::FileDialogKind kind, const QString& path) const;
  QString SavedFolder(control::FileDialogKind kind) const;  // the last one used, if it is there
  void RestoreSettings();

  // A run: its request, and the codes on their way to the controller (ProgrammerDialogRun.cpp).
  control::RunRequest RequestFor(control::OperationButton button, std::optional<std::string> file,
                                 bool keepPage) const;
  void OnStatus(device::Status code, std::uint32_t argument);

  TonePlayer& tones_;
  QtStatusChannel channel_;
  LogListModel logModel_;
  MessageHandler messageHandler_;
  FileChooserHandler fileChooser_;
  QuestionHandler questionHandler_;
  ChoiceHandler choiceHandler_;
  std::map<ControlId, QWidget*> controls_;
  QButtonGroup* modeGroup_ = nullptr;
  QTabWidget* pageTabs_ = nullptr;
  HexView* flashHexView_ = nullptr;
  HexView* eepromHexView_ = nullptr;
  QListView* logList_ = nullptr;
  QPlainTextEdit* introEdit_ = nullptr;
  QComboBox* chipCombo_ = nullptr;
  QProgressBar* progressBar_ = nullptr;
  FusePage* fusePage_ = nullptr;
  QLabel* connection_ = nullptr;
  QLabel* fuseNote_ = nullptr;
  QComboBox* programmers_ = nullptr;  // in the connection line, when there are several
  QListView* sideLog_ = nullptr;      // the log again, in the room under the controls
  QRect bottomLine_;                  // the progress bar and the connection line, in pixels
  int connectionWidth_ = 0;           // the connection line's least width
  std::string address_;               // of the open programmer, or empty
  QString textsChip_;                 // the chip whose texts the fuse and lock fields hold
  QString acceptedFuse_;              // its fuse text before the one being checked
  control::OperationButton lastPress_{};
  int loggedMode_ = 0;       // the mode the log has said
  QRect pagesRect_;          // the pages' place at the template's size
  bool chipPicked_ = false;  // by the user or by identifying a chip
  std::array<QFileDialog*, static_cast<std::size_t>(control::FileDialogKind::SaveBackup) + 1> fileDialogs_{};
  device::ProgrammingMode selectedMode_ = device::ProgrammingMode::PP_20;
  DeviceArrivalMonitor* arrival_ = nullptr;
  ProductionPage* productionPage_ = nullptr;
  device::UsbBus& bus_;
  std::vector<std::string> cataloguePaths_;  // as OnInitDialog had them, for the stations' books
  chips::FactsLookup factsLookup_;
  std::unique_ptr<ProductionRun> production_;
  std::unique_ptr<control::ProgrammerController> controller_;  // last: it reaches the controls
};

}  // namespace kestrel::ui
