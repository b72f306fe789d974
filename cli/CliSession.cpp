#include "cli/CliSession.h"

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <string_view>
#include <thread>
#include <variant>

#include "base/Texts.h"
#include "chips/ChipCatalogue.h"
#include "chips/ChipFacts.h"
#include "chips/FuseFields.h"
#include "cli/CliTexts.h"
#include "cli/CommandLine.h"
#include "cli/ProductionCommands.h"
#include "control/BlockingStatusChannel.h"
#include "control/ChipSafety.h"
#include "control/ProgrammerController.h"
#include "control/Wording.h"
#include "device/ProgrammerLink.h"
#include "device/VendorProtocol.h"
#include "production/Job.h"
#include "production/ProductionDatabase.h"
#include "production/ProductionLoop.h"
#include "production/ProductionTexts.h"

namespace kestrel::cli {
namespace {

std::string UnknownChipError(const std::string& name, const std::string& cataloguePath) {
  return Printf(messages::kCliUsageErrorPattern,
                Printf(messages::kCliUnknownChip, name.c_str(), cataloguePath.c_str()).c_str());
}

// The facts of the catalogue entry called `name`, or nullptr.
const chips::ChipFacts* FactsNamed(const chips::ChipBooks& books, const std::string& name) {
  return books.FactsOf(chips::FindChip(books.catalogue, name));
}

// The line that refuses a fuse or lock text which is not exactly six or two hex digits; empty
// when the texts given are usable. A longer text is refused, not cut.
std::string BadTextLine(const Options& options) {
  chips::FuseSet set;
  if (options.fuses && !control::ParseFuseText(*options.fuses, set))
    return Printf(texts::kFuseTextInvalidPattern, options.fuses->c_str());
  if (options.lock && !control::ParseLockText(*options.lock, set))
    return Printf(texts::kLockTextInvalidPattern, options.lock->c_str());
  return "";
}

// One line per field of the fuse bytes and of the lock byte, as asked for, in the facts' order.
std::vector<std::string> FieldLines(const chips::ChipFacts& chip, const chips::FuseSet& set, bool fuses,
                                    bool lock) {
  std::vector<std::string> lines;
  for (const chips::DecodedField& field : chips::DecodeFuses(chip, set)) {
    if (field.byte == chips::FuseByte::kLock ? !lock : !fuses) continue;
    lines.push_back(Printf(messages::kCliFuseFieldPattern, chips::FuseByteName(field.byte),
                           field.name.c_str(), unsigned{field.value},
                           field.listed ? chips::ShownText(field.meaning, field.meaningEnglish).c_str()
                                        : messages::kCliUnlistedValue));
  }
  return lines;
}

// The loop Ctrl+C stops, and the lines that say so, worded before the handler is installed:
// a signal handler may only write().
production::ProductionLoop* stoppingLoop = nullptr;
std::string stopLines[2];
int stopLinesFd = STDOUT_FILENO;

void OnInterrupt(int) {
  if (stoppingLoop == nullptr) return;
  const int stops = stoppingLoop->StopRequests();
  stoppingLoop->RequestStop();
  if (stops > 1) return;
  const std::string& line = stopLines[stops];
  [[maybe_unused]] const ssize_t written = write(stopLinesFd, line.data(), line.size());
}

// Says every chip as it ends; a wrong chip sounds the error tone, as a failed signature check does.
class ChipLines : public production::LoopObserver {
 public:
  ChipLines(CliFrontEnd& frontEnd, const production::Job& job, const chips::ChipFactsTable& facts,
            JsonEvents* events)
      : frontEnd_(frontEnd), job_(job), facts_(facts), events_(events) {}
  void ChipEnded(const production::ChipReport& report) override {
    frontEnd_.EndProgress();
    frontEnd_.PrintLine(ChipLine(report, job_, facts_));
    if (events_ != nullptr) events_->Chip(report, "");
    if (report.result == production::ChipResult::WrongChip)
      frontEnd_.Tones().Play(kErrorToneHz, kErrorToneMs);
  }
  void DatabaseUnreachable() override {
    frontEnd_.EndProgress();
    frontEnd_.PrintLine(::kestrel::texts::kDatabaseUnreachable.c_str());
  }

 private:
  CliFrontEnd& frontEnd_;
  const production::Job& job_;
  const chips::ChipFactsTable& facts_;
  JsonEvents* events_;
};

class Session {
 public:
  Session(const Options& options, device::UsbBus& bus, Terminal terminal, std::unique_ptr<TonePlayer> sound)
      : options_(options),
        terminal_(terminal),
        frontEnd_(terminal, std::move(sound)),
        controller_(bus, frontEnd_, channel_) {
    channel_.SetHandler([this](device::Status code, std::uint32_t argument) {
      controller_.OnProgrammerStatus(code, argument);
    });
    frontEnd_.SetFuseText(options.fuses.value_or(""));
    frontEnd_.SetLockText(options.lock.value_or(""));
    frontEnd_.SetAllowLockout(options.allowLockout);
    controller_.SetIdentifySelectsChip(!options.chip);
  }

  int Run(chips::ChipBooks books) {
    if (const std::string line = BadTextLine(options_); !line.empty()) {
      frontEnd_.PrintLine(line);
      return kExitFailure;
    }
    if (const int status = StartUp(std::move(books)); status != kExitSuccess) return status;
    bool anyFailed = false;
    for (const Command& command : options_.commands) {
      if (!command.description->anyChip && !ChipKnown() && !ChipOfFile(command) && !IdentifyChip()) {
        anyFailed = true;
        break;
      }
      if (RunCommand(command)) continue;
      anyFailed = true;
      if (!options_.keepGoing) break;
    }
    frontEnd_.EndProgress();
    return anyFailed ? kExitFailure : kExitSuccess;
  }

  // The produce command: the job, the database, the start-up, then chip after chip.
  int Produce(chips::ChipBooks books) {
    ProductionStart start = OpenProduction(options_, books.facts, terminal_);
    if (start.status != kExitSuccess) return start.status;
    const production::Job& job = *start.load.job;
    production::JobVersion& version = start.version;
    production::ProductionStore* store = start.store.get();
    const std::string station = StationName(options_);
    const chips::ChipFactsTable facts = books.facts;
    if (const int status = StartUp(std::move(books)); status != kExitSuccess) return status;
    // The start-up's log events come before the loop's, whether or not a run follows to write them.
    frontEnd_.FlushEvents();
    frontEnd_.SetQuiet(true);
    production::ProductionLoop loop(
        job, version.id, *store, controller_,
        [this](const std::function<bool()>& done) { channel_.PumpUntil(done); },
        {station, std::chrono::milliseconds(200), static_cast<int>(options_.count)});
    frontEnd_.PrintLine(Printf(production::texts::kProductionStartPattern, job.name.c_str(),
                               job.chip.name.c_str(), station.c_str()));
    stopLines[0] = std::string(production::texts::kStopAfterChipLine) + "\n";
    stopLines[1] = std::string(production::texts::kStopAfterPageLine) + "\n";
    stopLinesFd = fileno(terminal_.out);
    stoppingLoop = &loop;
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    struct sigaction before = {};
    sigaction(SIGINT, &action, &before);
    ChipLines lines(frontEnd_, job, facts, terminal_.events);
    const production::LoopEnd end = loop.Run(lines);
    sigaction(SIGINT, &before, nullptr);
    stoppingLoop = nullptr;
    frontEnd_.EndProgress();
    const production::LoopTotals& totals = loop.totals();
    frontEnd_.PrintLine(EndLine(end, totals, loop.error(), job));
    frontEnd_.PrintLine(SummaryLine(totals));
    if (terminal_.events != nullptr) terminal_.events->Summary(totals, "");
    using production::LoopEnd;
    const bool clean = end != LoopEnd::StoreFailed && end != LoopEnd::ProgrammerFailed;
    return clean && totals.failed == 0 && totals.wrongChips == 0 ? kExitSuccess : kExitFailure;
  }

 private:
  // The main window's initialisation, in its order, so that the first line is the ready line.
  int StartUp(chips::ChipBooks books) {
    const chips::CatalogueLoad load = controller_.UseChipBooks(std::move(books));
    if (!load.loaded) {
      Report(control::CatalogueMissingLine(load) + "\n");
      return kExitFailure;
    }
    if (options_.chip) {
      const int index = chips::FindChip(controller_.catalogue(), *options_.chip);
      if (index < 0) {
        Report(UnknownChipError(*options_.chip, load.path));
        return kExitUsage;
      }
      controller_.OnChipSelChange(index);
    }
    controller_.SetMode(options_.mode);
    if (options_.usb) controller_.SelectProgrammer(*options_.usb);
    controller_.BindImageViews();
    if (!controller_.ProbeProgrammer()) {
      // The message box tells a person; a script reading the events learns why nothing ran.
      if (terminal_.events != nullptr) {
        control::Outcome outcome;
        outcome.passed = false;
        outcome.cause = control::Cause::NoProgrammer;
        outcome.failures = 1;
        outcome.sentNothing = true;
        terminal_.events->RunEnded(outcome);
      }
      return kExitFailure;
    }
    WaitUntilIdle();
    return kExitSuccess;
  }

  // The run of one button press, with every answer it needs from the options and the command.
  control::RunRequest RequestFor(const Command& command) const {
    const CommandDescription& what = *command.description;
    control::RunRequest request;
    if (const auto* button = std::get_if<control::OperationButton>(&what.press))
      request.press = *button;
    else
      request.press = std::get<control::Operation>(what.press);
    if (what.dialog) request.file = command.path;
    request.boxes = command.boxes;
    request.fuseText = frontEnd_.fuseText();
    request.lockText = frontEnd_.lockText();
    request.fastVerify = options_.fastVerify;
    request.signatureCheck = options_.signatureCheck;
    return request;
  }

  // One button press and everything it chains; true when none of its operations failed.
  bool RunCommand(const Command& command) {
    if (!Run(RequestFor(command))) return false;
    return !command.description->describesFuses || DescribeFuses();
  }

  bool Run(control::RunRequest request) {
    controller_.Start(std::move(request));
    WaitUntilIdle();
    return frontEnd_.outcome().passed;
  }

  // With --chip, or once identified, the run knows its chip; the start-up geometry is never
  // used in its place.
  bool ChipKnown() const { return options_.chip || controller_.SelectedFacts() != nullptr; }

  // A file opened before the chip is known names it by its signature, when it has one.
  bool ChipOfFile(const Command& command) {
    using control::FileDialogKind;
    const auto dialog = command.description->dialog;
    const bool opens = dialog == FileDialogKind::OpenFlash || dialog == FileDialogKind::OpenEeprom ||
                       dialog == FileDialogKind::OpenWholeChip;
    return opens && controller_.SelectChipOfFile(command.path);
  }

  // Identifies the chip as identify does, which selects it; false, with a line that suggests
  // --chip, when no chip of the catalogue answered.
  bool IdentifyChip() {
    control::RunRequest request;
    request.press = control::OperationButton::Identify;
    if (Run(std::move(request)) && ChipKnown()) return true;
    Report(messages::kCliChipUnknownLine);
    return false;
  }

  // The fuse and lock bytes just read, field by field.
  bool DescribeFuses() {
    const chips::ChipFacts* chip = controller_.SelectedFacts();
    if (chip == nullptr) {
      frontEnd_.PrintLine(Printf(texts::kNoFactsPattern, options_.chip.value_or("").c_str()));
      return false;
    }
    chips::FuseSet read;
    read.bytes = frontEnd_.fusesRead();
    for (const std::string& line : FieldLines(*chip, read, true, true)) frontEnd_.PrintLine(line);
    return true;
  }

  void WaitUntilIdle() {
    channel_.PumpUntil([this] { return controller_.Idle(); });
  }

  void Report(const std::string& text) {
    frontEnd_.EndProgress();
    WriteAll(terminal_.err, text);
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
    WriteAll(terminal.out, Printf(messages::kCliProgrammerLinePattern, address.c_str(),
                                  device::kProgrammerManufacturer, device::kProgrammerProduct));
  }
  if (!found.empty()) return kExitSuccess;
  CliFrontEnd(terminal, nullptr).ShowMessage(control::ProgrammerMissingMessage(link));
  return kExitFailure;
}

// The explain-fuses command: the fields of the --fuses and --lock texts for --chip, from the
// chip facts alone.
int ExplainFuses(const Options& options, Terminal terminal, const chips::ChipBooks& books) {
  if (const std::string line = BadTextLine(options); !line.empty()) {
    WriteAll(terminal.out, line + "\n");
    return kExitFailure;
  }
  if (!books.load.loaded) {
    WriteAll(terminal.err, control::CatalogueMissingLine(books.load) + "\n");
    return kExitFailure;
  }
  const int index = chips::FindChip(books.catalogue, *options.chip);
  if (index < 0) {
    WriteAll(terminal.err, UnknownChipError(*options.chip, books.load.path));
    return kExitUsage;
  }
  const chips::ChipFacts* chip = books.FactsOf(index);
  if (chip == nullptr) {
    WriteAll(terminal.out, Printf(texts::kNoFactsPattern, options.chip->c_str()) + "\n");
    return kExitFailure;
  }
  chips::FuseSet set;
  if (options.fuses) control::ParseFuseText(*options.fuses, set);
  if (options.lock) control::ParseLockText(*options.lock, set);
  for (const std::string& line : FieldLines(*chip, set, options.fuses.has_value(), options.lock.has_value()))
    WriteAll(terminal.out, line + "\n");
  return kExitSuccess;
}

}  // namespace

std::vector<std::string> CataloguePaths(const Options& options, const std::string& executableDir) {
  return options.catalogue ? std::vector<std::string>{*options.catalogue}
                           : chips::CatalogueSearchPaths(executableDir);
}

device::SimulatorOptions SimulatorOptionsFor(const Options& cli, const chips::ChipBooks& books,
                                             std::string& error) {
  const SimulatorChoice& choice = cli.simulator;
  device::SimulatorOptions options;
  options.programmerPresent = !choice.absent;
  const chips::ChipFacts* chip = cli.chip ? FactsNamed(books, *cli.chip) : nullptr;
  if (choice.signature) {
    const std::vector<const chips::ChipFacts*> named = books.facts.WithSignature(*choice.signature);
    chip = named.empty() ? nullptr : named.front();
  }
  if (chip != nullptr) options.chip = device::SimulatedChipOf(*chip);
  if (choice.signature) options.chip.signature = *choice.signature;
  if (choice.calibration) options.chip.calibration = *choice.calibration;
  options.startFuses = choice.fuses;
  if (choice.lock) options.startLock = (*choice.lock)[0];
  options.latencyMs = static_cast<int>(choice.latencyMs);
  options.failAt = choice.failAt.value_or(0);
  options.unplugAt = choice.unplugAt.value_or(0);
  options.programmers = static_cast<int>(choice.programmers);
  options.emptyReplies = choice.emptyReplies;
  options.socketDumpFolder = choice.socketDump;
  options.lastArrivesAfterMs = static_cast<int>(choice.lastArrivesAfterMs);
  const auto parse = [&books, &error](const std::string& text) {
    device::SocketPlanParse plan = device::ParseSocketPlan(
        text, [&books](std::string_view name) { return FactsNamed(books, std::string(name)); });
    if (!plan.error.empty() && error.empty()) error = Printf(messages::kCliBadSocketPlan, plan.error.c_str());
    return std::move(plan.chips);
  };
  if (choice.socket) options.socketPlan = parse(*choice.socket);
  for (const auto& [programmer, text] : choice.socketOf) {
    if (programmer > choice.programmers && error.empty())
      error = Printf(messages::kCliSocketProgrammerMissing, programmer, choice.programmers);
    if (options.socketPlans.size() < programmer) options.socketPlans.resize(programmer);
    options.socketPlans[programmer - 1] = parse(text);
  }
  return options;
}

int RunSession(const Options& options, device::UsbBus& bus, Terminal terminal,
               std::unique_ptr<TonePlayer> sound, chips::ChipBooks books) {
  if (options.commands.empty()) return CheckJob(options, terminal, books);
  const auto* alone = std::get_if<SessionCommand>(&options.commands.front().description->press);
  if (alone != nullptr && *alone == SessionCommand::ListProgrammers)
    return ListProgrammers(options, bus, terminal);
  if (alone != nullptr && *alone == SessionCommand::Report) return ReportChips(options, terminal);
  if (alone != nullptr && *alone == SessionCommand::ExplainFuses)
    return ExplainFuses(options, terminal, books);
  const bool gang = options.usbAll || !options.usbList.empty();
  if (gang && alone == nullptr) {
    WriteAll(terminal.err, Printf(messages::kCliUsageErrorPattern, messages::kCliGangNeedsProduce));
    return kExitUsage;
  }
  if (gang && *alone == SessionCommand::Produce)
    return ProduceOnGang(options, bus, terminal, std::move(sound), std::move(books));
  Session session(options, bus, terminal, std::move(sound));
  if (alone != nullptr) return session.Produce(std::move(books));
  return session.Run(std::move(books));
}

}  // namespace kestrel::cli
