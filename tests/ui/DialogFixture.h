#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <fstream>

#include "device/sim/SimulatedBus.h"
#include "ui/ProgrammerDialog.h"

namespace kestrel::uitest {

// The main window on a simulated programmer; tones and modal dialogs are recorded: a message
// box as its text, a file dialog as "file N" (its kind), answering the next of chosenFiles.
struct DialogFixture : TonePlayer {
  explicit DialogFixture(device::SimulatorOptions sim = {}) : bus(std::move(sim)), dialog(bus, *this) {
    dialog.SetMessageHandler([this](const std::string& text) { dialogs.push_back(text); });
    dialog.SetFileChooser([this](control::FileDialogKind kind) {
      dialogs.push_back("file " + std::to_string(static_cast<int>(kind)));
      return filesChosen < chosenFiles.size() ? std::optional(chosenFiles[filesChosen++]) : std::nullopt;
    });
  }
  ~DialogFixture() override { Press({}); }
  void Play(int frequencyHz, int) override { tones.push_back(frequencyHz); }

  bool Start(const std::vector<std::string>& paths = {KESTREL_SOURCE_DIR "/data/chip.txt"}) {
    return dialog.OnInitDialog(paths);
  }
  // Presses the buttons as the user does (the hidden 1066 too), then lets the worker's reports
  // through until no operation runs; false on time-out.
  bool Press(std::initializer_list<int> ids) {
    for (const int id : ids) static_cast<QAbstractButton*>(dialog.Control(id))->click();
    const QDeadlineTimer deadline(60000);
    while (!dialog.controller().Idle() && !deadline.hasExpired()) QCoreApplication::processEvents();
    dialog.logModel().Flush();
    return dialog.controller().Idle();
  }
  const std::vector<QString>& Lines() { return dialog.logModel().Lines(); }
  QString Log() { return QStringList(Lines().begin(), Lines().end()).join(u'\n'); }
  QLineEdit& Field(int id) { return *static_cast<QLineEdit*>(dialog.Control(id)); }
  QComboBox& ChipList() { return *static_cast<QComboBox*>(dialog.Control(1043)); }

  device::SimulatedBus bus;
  std::vector<int> tones;
  std::vector<std::string> dialogs;
  std::vector<std::string> chosenFiles;
  std::size_t filesChosen = 0;
  ui::ProgrammerDialog dialog;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace kestrel::uitest
