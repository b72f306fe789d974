// The desktop program: one modal window over the core, on the real USB bus or, with
// --simulate, on the built-in simulated programmer.
#include <QApplication>
#include <QDir>
#include <QTranslator>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>

#include "app/StartOptions.h"
#include "base/Language.h"
#include "chips/ChipBooks.h"
#include "chips/ChipCatalogue.h"
#include "device/sim/SimulatedBus.h"
#include "device/usb/RealUsbBus.h"
#include "platform/AlsaTonePlayer.h"
#include "ui/ProgrammerDialog.h"
#include "ui/Translation.h"

namespace {

std::unique_ptr<kestrel::device::UsbBus> MakeBus(const kestrel::app::StartOptions& options,
                                                 kestrel::device::SimulatorOptions simulator) {
  if (!options.simulate) return kestrel::device::MakeRealUsbBus();
  simulator.programmerPresent = !options.simulateAbsent;
  simulator.latencyMs = options.latencyMs;
  simulator.programmers = options.programmers;
  if (options.simSignature) simulator.chip.signature = *options.simSignature;
  return kestrel::device::MakeSimulatedBus(simulator);
}

}  // namespace

int main(int argc, char** argv) {
  // A save past the file-size limit then fails with EFBIG and is reported, instead of killing
  // the program.
  std::signal(SIGXFSZ, SIG_IGN);
  // Before QApplication, so that help and mistakes are reported without a display.
  const kestrel::app::StartOptions options =
      kestrel::app::ParseStartOptions(std::vector<std::string>(argv + std::min(argc, 1), argv + argc));
  if (options.help) {
    std::fputs(kestrel::app::UsageText().c_str(), stdout);
    return 0;
  }
  if (!options.error.empty()) {
    std::fprintf(stderr, "kestrel: %s\n%s", options.error.c_str(), kestrel::app::UsageText().c_str());
    return 2;
  }
  QApplication application(argc, argv);
  application.setApplicationName(QStringLiteral("kestrel"));
  // Lets Wayland shells match the window with the installed desktop entry and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("io.github.quintavel.Kestrel"));
  // After QApplication, which sets the locale from the environment; before any text is shown.
  const std::string executableDir = QCoreApplication::applicationDirPath().toStdString();
  if (const kestrel::LanguageUse language =
          kestrel::UseLanguage(options.language, kestrel::LocaleSearchPaths(executableDir));
      options.language && !language.missing.empty()) {
    std::fprintf(stderr, "kestrel: no texts installed for language %s; showing Chinese\n",
                 language.missing.c_str());
  }
  QTranslator translation;
  if (!kestrel::ChosenLanguage().empty() &&
      kestrel::ui::LoadTranslation(translation, kestrel::ChosenLanguage(),
                                   kestrel::ui::TranslationSearchPaths(executableDir))) {
    QCoreApplication::installTranslator(&translation);
  }
  QTranslator qtTranslation;
  if (kestrel::ui::LoadQtTranslation(qtTranslation, kestrel::ChosenLanguage()))
    QCoreApplication::installTranslator(&qtTranslation);

  kestrel::device::SimulatorOptions simulator;
  if (options.simSocket) {
    // The window loads its own copy of the books; the plan needs them before the bus exists.
    const kestrel::chips::ChipBooks books = kestrel::chips::LoadChipBooks(
        kestrel::chips::CatalogueSearchPaths(executableDir), {options.facts, executableDir});
    kestrel::device::SocketPlanParse plan =
        kestrel::device::ParseSocketPlan(*options.simSocket, [&books](std::string_view name) {
          return books.FactsOf(kestrel::chips::FindChip(books.catalogue, name));
        });
    if (!plan.error.empty()) {
      std::fprintf(stderr, "kestrel: --sim-socket: %s\n", plan.error.c_str());
      return 2;
    }
    simulator.socketPlan = std::move(plan.chips);
    simulator.socketDumpFolder = options.simSocketDump;
  }
  const std::unique_ptr<kestrel::device::UsbBus> bus = MakeBus(options, std::move(simulator));
  const std::unique_ptr<kestrel::TonePlayer> tones = kestrel::platform::MakeAlsaTonePlayer();
  kestrel::ui::ProgrammerDialog dialog(*bus, *tones);
  dialog.controller().SelectProgrammer(options.usb);
  dialog.OnInitDialog(kestrel::chips::CatalogueSearchPaths(executableDir), {options.facts, executableDir});
  dialog.exec();
  return 0;
}
