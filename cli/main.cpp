#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/FileRead.h"
#include "base/Format.h"
#include "base/Language.h"
#include "base/Texts.h"
#include "cli/CliSession.h"
#include "cli/CliTexts.h"
#include "cli/CommandLine.h"
#include "cli/JsonEvents.h"
#include "device/sim/SimulatedBus.h"
#include "device/usb/RealUsbBus.h"
#include "platform/AlsaTonePlayer.h"

namespace {

std::string ExecutableDir() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string(".") : self.parent_path().string();
}

int Print(std::FILE* stream, const std::string& text, int status) {
  kestrel::cli::WriteAll(stream, text);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kestrel;
  // A write past the file-size limit then fails with EFBIG, which the save reports (and cleans
  // up after), instead of killing the program with its temporary file left behind.
  std::signal(SIGXFSZ, SIG_IGN);
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const cli::ParseResult parsed = cli::ParseCommandLine(arguments);
  if (parsed.options.help) return Print(stdout, cli::HelpText(), cli::kExitSuccess);
  if (parsed.options.version)
    return Print(stdout, Printf(cli::messages::kCliVersionPattern, KESTREL_VERSION), cli::kExitSuccess);
  if (!parsed.error.empty())
    return Print(stderr, Printf(cli::messages::kCliUsageErrorPattern, parsed.error.c_str()), cli::kExitUsage);

  const cli::Options& options = parsed.options;
  if (const LanguageUse language = UseLanguage(options.language, LocaleSearchPaths(ExecutableDir()));
      options.language && !language.missing.empty()) {
    Print(stderr, Printf(cli::messages::kCliNoCatalogue, language.missing.c_str()), 0);
  }
  chips::ChipBooks books = chips::LoadChipBooks(cli::CataloguePaths(options, ExecutableDir()),
                                                {options.facts.value_or(""), ExecutableDir()});
  // A facts file the user named and that cannot be read would switch every chip check off.
  if (options.facts && books.load.loaded && !books.factsLoad.loaded)
    return Print(stderr,
                 Printf(texts::kFileUnreadablePattern, options.facts->c_str(),
                        ReadFileStart(*options.facts, 0).error.c_str()) +
                     "\n",
                 cli::kExitFailure);
  std::string simulatorError;
  const device::SimulatorOptions simulator = cli::SimulatorOptionsFor(options, books, simulatorError);
  if (!simulatorError.empty())
    return Print(stderr, Printf(cli::messages::kCliUsageErrorPattern, simulatorError.c_str()),
                 cli::kExitUsage);
  std::unique_ptr<device::UsbBus> bus =
      options.simulate ? device::MakeSimulatedBus(simulator) : device::MakeRealUsbBus();

  cli::Terminal terminal;
  terminal.drawProgress = isatty(STDERR_FILENO) == 1;
  cli::JsonEvents events(stdout);
  if (options.jsonOutput) {
    terminal.out = stderr;
    terminal.events = &events;
  }
  // Beeps belong to someone at the bench; a script's output goes elsewhere.
  std::unique_ptr<TonePlayer> sound;
  if (isatty(STDOUT_FILENO) == 1) sound = platform::MakeAlsaTonePlayer();
  const int status = cli::RunSession(options, *bus, terminal, std::move(sound), std::move(books));
  // On stderr, so that a script reading the output sees the same lines with it as without.
  const auto* simulated = dynamic_cast<const device::SimulatedBus*>(bus.get());
  if (simulated == nullptr || !options.simulator.stats) return status;
  const device::LinkStatistics link = simulated->linkStatistics();
  Print(stderr,
        Printf(cli::messages::kCliSimRequestsPattern, static_cast<unsigned long long>(link.requests),
               static_cast<unsigned long long>(link.bytesOut), static_cast<unsigned long long>(link.bytesIn)),
        status);
  return Print(stderr,
               Printf(cli::messages::kCliSimLinkTimePattern, link.transferSeconds + link.chipSeconds,
                      link.transferSeconds, link.chipSeconds),
               status);
}
