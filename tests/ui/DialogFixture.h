#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QSettings>
#include <QTest>
#include <fstream>

#include "device/sim/SimulatedBus.h"
#include "ui/FusePage.h"
#include "ui/ProgrammerDialog.h"

namespace kestrel::uitest {

// The main window on a simulated programmer; tones and modal dialogs are recorded: a message
// box as its text, a file dialog as "file N" (its kind), answering the next of chosenFiles, a
// question as "question " and its text, answered with answerYes, a choice about unsaved edits as
// "choice " and its text, answered with choice. Settings start empty unless kept.
struct DialogFixture : TonePlayer {
  explicit DialogFixture(device::SimulatorOptions sim = {}, bool keepSettings = false)
      : bus(std::move(sim)), dialog(bus, *this) {
    if (!keepSettings) QSettings(ui::kSettingsOrganisation, ui::kSettingsApplication).clear();
    dialog.SetMessageHandler([this](const std::string& text) { dialogs.push_back(text); });
    dialog.SetFileChooser([this](control::FileDialogKind kind) {
      dialogs.push_back("file " + std::to_string(static_cast<int>(kind)));
      return filesChosen < chosenFiles.size() ? std::optional(chosenFiles[filesChosen++]) : std::nullopt;
    });
    dialog.SetQuestionHandler([this](const std::string& question) {
      dialogs.push_back("question " + question);
      return answerYes;
    });
    dialog.SetChoiceHandler([this](const std::string& question) {
      dialogs.push_back("choice " + question);
      return choice;
    });
  }
  ~DialogFixture() override { Press({}); }
  void Play(int frequencyHz, int) override { tones.push_back(frequencyHz); }

  bool Start(const std::vector<std::string>& paths = {KESTREL_SOURCE_DIR "/data/chip.txt"}) {
    return dialog.OnInitDialog(paths);
  }
  bool Show() { return dialog.show(), dialog.activateWindow(), QTest::qWaitForWindowActive(&dialog); }
  // As if a file had been opened into each memory: a write needs one.
  void LoadImages() {
    for (device::Memory& memory : dialog.controller().memories().entries) memory.imageLoaded = true;
  }
  // Presses the buttons as the user does (the hidden Burn button too), then lets the worker's reports
  // through until no operation runs; false on time-out.
  bool Press(std::initializer_list<ui::ControlId> ids) {
    for (const ui::ControlId id : ids) static_cast<QAbstractButton*>(dialog.Control(id))->click();
    const QDeadlineTimer deadline(60000);
    while (!dialog.controller().Idle() && !deadline.hasExpired()) QCoreApplication::processEvents();
    dialog.logModel().Flush();
    return dialog.controller().Idle();
  }
  // The same for the fuse page's buttons, by object name.
  bool PressFuse(std::initializer_list<const char*> names) {
    for (const char* name : names) dialog.fusePage().findChild<QAbstractButton*>(name)->click();
    return Press({});
  }
  void Pick(const char* chip) {  // in the chip list, as the user does
    ChipList().setCurrentIndex(ChipList().findText(chip));
    emit ChipList().activated(ChipList().currentIndex());
  }
  const std::vector<QString>& Lines() { return dialog.logModel().Lines(); }
  QString Log() { return QStringList(Lines().begin(), Lines().end()).join(u'\n'); }
  QLineEdit& Field(ui::ControlId id) { return *static_cast<QLineEdit*>(dialog.Control(id)); }
  bool Checked(ui::ControlId id) { return static_cast<QAbstractButton*>(dialog.Control(id))->isChecked(); }
  QComboBox& ChipList() { return *static_cast<QComboBox*>(dialog.Control(ui::ControlId::ChipList)); }

  device::SimulatedBus bus;
  std::vector<int> tones;
  std::vector<std::string> dialogs;
  std::vector<std::string> chosenFiles;
  std::size_t filesChosen = 0;
  bool answerYes = false;
  ui::ProgrammerDialog::Choice choice = ui::ProgrammerDialog::Choice::Cancel;
  ui::ProgrammerDialog dialog;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace kestrel::uitest
