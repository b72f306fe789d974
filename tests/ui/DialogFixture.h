#pragma once

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <deque>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/TonePlayer.h"
#include "device/sim/SimulatedBus.h"
#include "ui/ProgrammerDialog.h"

namespace kestrel::uitest {

class RecordingTones : public device::TonePlayer {
 public:
  void Play(int frequencyHz, int durationMs) override { played.push_back({frequencyHz, durationMs}); }
  int Count(int frequencyHz) const {
    int count = 0;
    for (const auto& tone : played) count += tone.first == frequencyHz ? 1 : 0;
    return count;
  }
  std::vector<std::pair<int, int>> played;
};

inline std::string ShippedCatalogue() { return std::string(KESTREL_SOURCE_DIR) + "/data/chip.txt"; }

// The main window on a simulated programmer, with message boxes and file dialogs replaced
// by recorders.
struct DialogFixture {
  explicit DialogFixture(device::SimulatorOptions options = {})
      : bus(std::move(options)), dialog(bus, tones) {
    dialog.SetMessageHandler([this](const std::string& text) { messages.push_back(text); });
    dialog.SetFileChooser([this](image::FileDialogKind kind) {
      chooserKinds.push_back(kind);
      if (chosenFiles.empty()) return std::optional<std::string>();
      std::optional<std::string> file = chosenFiles.front();
      chosenFiles.pop_front();
      return file;
    });
  }

  ~DialogFixture() { WaitIdle(); }

  bool Start(const std::vector<std::string>& paths = {ShippedCatalogue()}) {
    const bool found = dialog.OnInitDialog(paths);
    dialog.logModel().Flush();
    return found;
  }

  // Lets worker reports through until the queue has nothing running; false on time-out.
  bool WaitIdle(int timeoutMs = 60000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!dialog.controller().Idle() && !deadline.hasExpired()) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    QCoreApplication::processEvents();
    dialog.logModel().Flush();
    return dialog.controller().Idle();
  }

  // A button press as the user makes it (also for the hidden button 1066).
  void Click(int id) { static_cast<QAbstractButton*>(dialog.Control(id))->click(); }
  const std::vector<QString>& Lines() { return dialog.logModel().Lines(); }
  bool HasLineEnding(const char* text) {
    for (const QString& line : Lines())
      if (line.endsWith(QString::fromUtf8(text))) return true;
    return false;
  }
  int CountLines(const char* text) {
    int count = 0;
    for (const QString& line : Lines()) count += line.contains(QString::fromUtf8(text)) ? 1 : 0;
    return count;
  }

  // The vendor commands the bus has seen, runs of the same command shown once.
  std::vector<int> Commands() {
    std::vector<int> commands;
    for (const device::RecordedRequest& recorded : bus.requests()) {
      const int command = recorded.request.request & 0x0F;
      if (commands.empty() || commands.back() != command) commands.push_back(command);
    }
    return commands;
  }

  device::SimulatedBus bus;
  RecordingTones tones;
  ui::ProgrammerDialog dialog;
  std::vector<std::string> messages;
  std::vector<image::FileDialogKind> chooserKinds;
  std::deque<std::optional<std::string>> chosenFiles;
};

inline std::string WriteFile(const QTemporaryDir& dir, const char* name, const std::string& bytes) {
  const std::string path = dir.filePath(QString::fromUtf8(name)).toStdString();
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace kestrel::uitest
