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
#include "ui/LogListModel.h"
#include "ui/QtStatusChannel.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QLineEdit;
class QListView;
class QPlainTextEdit;
class QProgressBar;
class QTabWidget;

namespace kestrel::ui {

class DeviceArrivalMonitor;
class FusePage;
class HexView;
struct ControlTemplate;
struct BaseUnits;

// The main window: every control of the window's template at its place, the five pages, and
// the front end that the controller drives. Construction creates and binds the controls
// (radio button "PP_20" checked); OnInitDialog runs the rest of the start-up in its fixed order.
class ProgrammerDialog : public QDialog, public control::FrontEnd {
  Q_OBJECT

 public:
  using MessageHandler = std::function<void(const std::string& text)>;
  using FileChooserHandler = std::function<std::optional<std::string>(control::FileDialogKind kind)>;
  using QuestionHandler = std::function<bool(const std::string& question)>;  // true: Yes

  ProgrammerDialog(device::UsbBus& bus, TonePlayer& tones, QWidget* parent = nullptr);
  ~ProgrammerDialog() override;

  // The start-up after the controls exist: About entry, icon, arrival watch, pages, chip list,
  // start values, button images, views, introduction, probe. Stops after the pages when no
  // catalogue can be read (message box naming the paths searched). Returns true only when the
  // programmer was found.
  bool OnInitDialog(const std::vector<std::string>& catalogueSearchPaths);

  void OnTabSelected();    // the user picked a tab
  void OnDeviceArrival();  // a USB device was plugged in
  void ShowAbout();

  // Replace the modal message box, file dialogs and Yes/No question box, e.g. in tests.
  void SetMessageHandler(MessageHandler handler) { messageHandler_ = std::move(handler); }
  void SetFileChooser(FileChooserHandler handler) { fileChooser_ = std::move(handler); }
  void SetQuestionHandler(QuestionHandler handler) { questionHandler_ = std::move(handler); }

  control::ProgrammerController& controller() { return *controller_; }
  // The control with this template ID (kNoId for the chip-select label), or nullptr.
  QWidget* Control(int id) const;
  QTabWidget* pageTabs() const { return pageTabs_; }
  FusePage& fusePage() const { return *fusePage_; }
  LogListModel& logModel() { return logModel_; }
  HexView& flashHexView() const { return *flashHexView_; }
  HexView& eepromHexView() const { return *eepromHexView_; }
  int modeIndex() const { return modeIndex_; }
  bool ArrivalDetectionActive() const;

  // FrontEnd.
  control::LogListPort& LogList() override { return logModel_; }
  void SetFieldText(control::Field field, const std::string& text) override;
  std::string FuseText() override;
  std::string LockText() override;
  control::AutoSelection AutoBoxes() override;
  void SetProgress(int position) override;
  control::HexViewPort& FlashView() override;
  control::HexViewPort& EepromView() override;
  TonePlayer& Tones() override { return tones_; }
  std::optional<std::string> ChooseFile(control::FileDialogKind kind) override;
  void ShowMessage(const std::string& text) override;
  void ShowPage(int page) override;
  void SetFuseText(const std::string& text) override;
  void SetLockText(const std::string& text) override;
  // A Yes/No question naming the consequence, No the default.
  bool ConfirmLockout(const std::string& consequence) override;
  void ShowSelectedChip(int index) override;

  // Ends the modal run, unless a transfer is under way: then the busy line and error beep.
  void done(int result) override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void CreateControls();
  QWidget* CreateControl(const ControlTemplate& control, const BaseUnits& base);
  void ConnectHandlers();
  void AddAboutEntry();
  void AddPages();
  void FillChipList();
  void SetButtonImages();
  void ConfigureViews();
  bool IsChecked(int id) const;
  void RefreshModeIndex();
  void CreateFusePage();
  void ShowSelectedFacts();  // the fuse page follows the controller's chip

  TonePlayer& tones_;
  QtStatusChannel channel_;
  LogListModel logModel_;
  MessageHandler messageHandler_;
  FileChooserHandler fileChooser_;
  QuestionHandler questionHandler_;
  std::map<int, QWidget*> controls_;
  QButtonGroup* modeGroup_ = nullptr;
  QTabWidget* pageTabs_ = nullptr;
  HexView* flashHexView_ = nullptr;
  HexView* eepromHexView_ = nullptr;
  QListView* logList_ = nullptr;
  QPlainTextEdit* introEdit_ = nullptr;
  QComboBox* chipCombo_ = nullptr;
  QProgressBar* progressBar_ = nullptr;
  FusePage* fusePage_ = nullptr;
  bool chipPicked_ = false;                    // by the user or by identifying a chip
  std::array<QFileDialog*, 4> fileDialogs_{};  // made on first use, kept for the next
  int modeIndex_ = 0;
  DeviceArrivalMonitor* arrival_ = nullptr;
  std::unique_ptr<control::ProgrammerController> controller_;  // last: it reaches the controls
};

}  // namespace kestrel::ui
