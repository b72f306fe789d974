#include "cli/CliSession.h"

#include <cctype>
#include <cstdio>
#include <string_view>
#include <variant>

#include "base/Texts.h"
#include "chips/ChipCatalogue.h"
#include "cli/CliTexts.h"
#include "cli/CommandLine.h"
#include "control/BlockingStatusChannel.h"
#include "control/ProgrammerController.h"
#include "control/Wording.h"
#include "device/ProgrammerLink.h"
#include "device/VendorProtocol.h"

namespace kestrel::cli {
namespace {

std::string_view Trimmed(std::string_view text) {
  auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

class Session {
 public:
  Session(const Options& options, device::UsbBus& bus, Terminal terminal, std::unique_ptr<TonePlayer> sound)
      : options_(options),
        terminal_(terminal),
        frontEnd_(terminal, std::move(sound)),
        controller_(bus, frontEnd_, channel_) {
    channel_.SetHandler([this](std::uint32_t code, std::uint32_t argument) {
      controller_.OnProgrammerStatus(code, argument);
    });
    frontEnd_.SetFuseText(options.fuses);
    frontEnd_.SetLockText(options.lock);
  }

  int Run(const std::string& executableDir) {
    if (const int status = StartUp(executableDir); status != kExitSuccess) return status;
    bool anyFailed = false;
    for (const Command& command : options_.commands) {
      if (RunCommand(command)) continue;
      anyFailed = true;
      if (!options_.keepGoing) break;
    }
    frontEnd_.EndProgress();
    return anyFailed ? kExitFailure : kExitSuccess;
  }

 private:
  // The main window's initialisation, in its order, so that the first line is the ready line.
  int StartUp(const std::string& executableDir) {
    const std::vector<std::string> paths = options_.catalogue ? std::vector<std::string>{*options_.catalogue}
                                                              : chips::CatalogueSearchPaths(executableDir);
    const chips::CatalogueLoad load = controller_.LoadCatalogue(paths);
    if (!load.loaded) {
      Report(control::CatalogueMissingLine(load) + "\n");
      return kExitFailure;
    }
    if (options_.chip) {
      const int index = FindChip(controller_.catalogue(), *options_.chip);
      if (index < 0) {
        Report(Printf(messages::kCliUsageErrorPattern,
                      Printf(messages::kCliUnknownChip, options_.chip->c_str(), load.path.c_str()).c_str()));
        return kExitUsage;
      }
      controller_.OnChipSelChange(index);
    }
    controller_.SetMode(options_.mode);
    if (options_.usb) controller_.SelectProgrammer(*options_.usb);
    controller_.BindImageViews();
    if (!controller_.ProbeProgrammer()) return kExitFailure;
    WaitUntilIdle();
    return kExitSuccess;
  }

  // One button press and everything it chains; true when none of its operations failed.
  bool RunCommand(const Command& command) {
    const CommandDescription& what = *command.description;
    const std::uint32_t failuresBefore = controller_.FailureCount();
    if (what.dialog) frontEnd_.SetFileAnswer(*what.dialog, command.path);
    if (what.argument == ArgumentKind::AutoList) frontEnd_.SetAutoBoxes(command.boxes);
    if (const auto* button = std::get_if<control::OperationButton>(&what.press))
      controller_.OnOperationButton(*button);
    else
      controller_.OnOperation(std::get<control::Operation>(what.press));
    WaitUntilIdle();
    return controller_.FailureCount() == failuresBefore;
  }

  void WaitUntilIdle() {
    channel_.PumpUntil([this] { return controller_.Idle(); });
  }

  void Report(const std::string& text) {
    frontEnd_.EndProgress();
    std::fwrite(text.data(), 1, text.size(), terminal_.err);
    std::fflush(terminal_.err);
  }

  const Options& options_;
  Terminal terminal_;
  CliFrontEnd frontEnd_;
  control::BlockingStatusChannel channel_;
  control::ProgrammerController controller_;
};

// The list command: no catalogue, no chip and no vendor request, only discovery.
int ListProgrammers(const Options& options, device::UsbBus& bus, Terminal terminal) {
  device::ProgrammerLink link(bus);
  link.wantedAddress = options.usb.value_or("");
  const std::vector<std::string> found = link.List();
  for (const std::string& address : found) {
    const std::string line = Printf(messages::kCliProgrammerLinePattern, address.c_str(),
                                    device::kProgrammerManufacturer, device::kProgrammerProduct);
    std::fwrite(line.data(), 1, line.size(), terminal.out);
  }
  std::fflush(terminal.out);
  if (!found.empty()) return kExitSuccess;
  CliFrontEnd(terminal, nullptr).ShowMessage(control::ProgrammerMissingMessage(link));
  return kExitFailure;
}

}  // namespace

device::SimulatorOptions SimulatorOptionsFor(const SimulatorChoice& choice) {
  device::SimulatorOptions options;
  options.programmerPresent = !choice.absent;
  if (choice.signature) options.chip.signature = *choice.signature;
  if (choice.calibration) options.chip.calibration = *choice.calibration;
  options.latencyMs = static_cast<int>(choice.latencyMs);
  options.failAt = choice.failAt.value_or(0);
  options.unplugAt = choice.unplugAt.value_or(0);
  options.programmers = static_cast<int>(choice.programmers);
  options.emptyReplies = choice.emptyReplies;
  return options;
}

int FindChip(const chips::ChipCatalogue& catalogue, const std::string& name) {
  const std::string_view wanted = Trimmed(name);
  for (std::uint32_t i = 0; i < catalogue.recordCount && i < catalogue.records.size(); ++i) {
    const chips::ChipRecord& record = catalogue.records[i];
    if (SameIgnoringCase(Trimmed(chips::DisplayChipName(record)), wanted) ||
        SameIgnoringCase(Trimmed(chips::RawChipName(record)), wanted))
      return static_cast<int>(i);
  }
  return -1;
}

int RunSession(const Options& options, device::UsbBus& bus, Terminal terminal,
               std::unique_ptr<TonePlayer> sound, const std::string& executableDir) {
  const bool lists = options.commands.size() == 1 &&
                     std::holds_alternative<SessionCommand>(options.commands.front().description->press);
  if (lists) return ListProgrammers(options, bus, terminal);
  Session session(options, bus, terminal, std::move(sound));
  return session.Run(executableDir);
}

}  // namespace kestrel::cli
