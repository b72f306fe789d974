#include "production/ProductionLoop.h"

#include <algorithm>
#include <thread>

#include "base/Bytes.h"
#include "base/Format.h"
#include "chips/ChipCatalogue.h"
#include "control/ChipSafety.h"
#include "control/WholeChipFiles.h"

namespace kestrel::production {
namespace {

using control::Operation;
using device::MemoryKind;

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The job step an operation of the chip's run belongs to: a read is its verify's, the fuse and
// lock read-back the fuse write's (or the lock's, when the job writes no fuses).
std::optional<Step> StepOf(Operation operation, const Job& job) {
  switch (operation) {
    case Operation::EraseChip:
      return Step::Erase;
    case Operation::BlankCheckFlash:
    case Operation::BlankCheckEeprom:
      return Step::BlankCheck;
    case Operation::WriteFlash:
      return Step::WriteFlash;
    case Operation::ReadFlash:
    case Operation::VerifyFlash:
      return Step::VerifyFlash;
    case Operation::WriteEeprom:
      return Step::WriteEeprom;
    case Operation::ReadEeprom:
    case Operation::VerifyEeprom:
      return Step::VerifyEeprom;
    case Operation::WriteFuses:
      return Step::Fuses;
    case Operation::WriteLock:
      return Step::Lock;
    case Operation::ReadFuseLock:
      return job.Has(Step::Fuses) ? Step::Fuses : Step::Lock;
    default:
      return std::nullopt;
  }
}

// The Auto run that carries out the job's steps; a verify reads its memory back first.
control::AutoSelection BoxesOf(const Job& job) {
  control::AutoSelection boxes;
  boxes.eraseChip = job.Has(Step::Erase);
  boxes.writeFlash = job.Has(Step::WriteFlash);
  boxes.readFlash = boxes.verifyFlash = job.Has(Step::VerifyFlash);
  boxes.writeEeprom = job.Has(Step::WriteEeprom);
  boxes.readEeprom = boxes.verifyEeprom = job.Has(Step::VerifyEeprom);
  boxes.writeFuses = job.Has(Step::Fuses);
  boxes.writeLock = job.Has(Step::Lock);
  return boxes;
}

// The CRC-32 of a memory's used bytes: up to its last byte that is not 0xFF.
std::optional<std::uint32_t> CrcOf(const device::ChipBuffer& buffer, std::size_t size) {
  if (size == 0) return std::nullopt;
  const std::uint8_t* bytes = buffer.Use(size);
  return Crc32(bytes, static_cast<std::size_t>(TrimmedLength(bytes, static_cast<std::int32_t>(size))));
}

}  // namespace

std::string CauseWords(const ChipReport& report) {
  using control::Cause;
  switch (report.cause) {
    case Cause::None:
      return "";
    case Cause::VerifyDifference:
      if (report.differing == 0) return "read-back differs";
      return Printf("%zu byte%s differ%s", report.differing, report.differing == 1 ? "" : "s",
                    report.differing == 1 ? "s" : "");
    case Cause::NotBlank:
      return Printf("%zu bytes not blank from 0x%X", report.differing,
                    static_cast<unsigned>(report.firstAddress));
    case Cause::WrongChip:
      return "wrong chip";
    case Cause::NoProgrammer:
      return "no programmer";
    case Cause::CommunicationError:
      return "communication error";
    case Cause::TimeOut:
      return "timeout";
    case Cause::Stopped:
      return "stopped";
    case Cause::RefusedInput:
    case Cause::Cancelled:
      return "refused";
  }
  return "";
}

ProductionLoop::ProductionLoop(const Job& job, std::int64_t jobId, ProductionStore& store,
                               control::ProgrammerController& controller, Pump pump, LoopSettings settings)
    : job_(job),
      jobId_(jobId),
      store_(store),
      controller_(controller),
      pump_(std::move(pump)),
      settings_(std::move(settings)),
      stops_(settings_.stops != nullptr ? *settings_.stops : ownStops_) {}

void ProductionLoop::RunAndWait(control::RunRequest request) {
  controller_.Start(std::move(request));
  pump_([this] {
    // A second stop ends the block transfer after its page; the controller is only touched
    // here, on its own thread.
    if (StopRequests() >= 2) controller_.StopTransfer();
    return controller_.Idle();
  });
}

bool ProductionLoop::ReadSignature(chips::Signature& signature) {
  control::RunRequest request;
  request.press = Operation::ReadSignature;
  request.silentPass = true;
  RunAndWait(std::move(request));
  if (!controller_.LastOutcome().passed) return false;
  signature = controller_.ReplySignature();
  return true;
}

ProductionLoop::Poll ProductionLoop::WaitFor(bool wantChip) {
  while (true) {
    if (StopRequests() > 0) return Poll::Stopped;
    chips::Signature signature;
    if (!ReadSignature(signature)) return Poll::Failed;
    const bool empty = control::NoChipAnswered(signature);
    if (empty != wantChip) {
      lastRead_ = signature;
      return empty ? Poll::Empty : Poll::Chip;
    }
    Pause(settings_.pollInterval);
  }
}

bool ProductionLoop::Pause(std::chrono::milliseconds interval) const {
  // In slices, so that a stop is not kept waiting for the whole interval.
  const Clock::time_point until = Clock::now() + interval;
  while (Clock::now() < until && StopRequests() == 0)
    std::this_thread::sleep_for(
        std::min<Clock::duration>(until - Clock::now(), std::chrono::milliseconds(10)));
  return StopRequests() == 0;
}

LoopEnd ProductionLoop::Run(LoopObserver& observer) {
  const Clock::time_point started = Clock::now();
  const int index = chips::FindChip(controller_.catalogue(), job_.chip.name);
  if (index < 0) {
    error_ = job_.chip.name;
    return LoopEnd::ProgrammerFailed;
  }
  controller_.OnChipSelChange(index);
  controller_.SetMode(job_.mode);
  while (true) {
    totals_.seconds = SecondsSince(started);
    if (settings_.count > 0 && totals_.passed + totals_.failed >= settings_.count)
      return LoopEnd::CountReached;
    observer.WaitingForChip();
    const Poll found = WaitFor(true);
    if (found == Poll::Stopped) return LoopEnd::Stopped;
    if (found == Poll::Failed) return LoopEnd::ProgrammerFailed;
    ChipReport report;
    report.number = ++chips_;
    report.signature = lastRead_;
    const Clock::time_point chipStart = Clock::now();
    const std::string start = TimeStamp(std::chrono::system_clock::now());
    if (report.signature != job_.chip.signature) {
      // Nothing is written to it and no number is used.
      report.result = ChipResult::WrongChip;
      report.cause = control::Cause::WrongChip;
      report.seconds = SecondsSince(chipStart);
      report.recorded = Record(report, start, std::nullopt);
      totals_.wrongChips += report.recorded ? 1 : 0;
    } else if (const std::optional<LoopEnd> end = ProgramChip(observer, report, chipStart, start)) {
      totals_.seconds = SecondsSince(started);
      return *end;
    }
    report.seconds = SecondsSince(chipStart);
    totals_.seconds = SecondsSince(started);
    if (!report.recorded) return LoopEnd::StoreFailed;
    observer.ChipEnded(report);
    if (report.result == ChipResult::Stopped || StopRequests() > 0) return LoopEnd::Stopped;
    if (settings_.count > 0 && totals_.passed + totals_.failed >= settings_.count)
      return LoopEnd::CountReached;
    const Poll left = WaitFor(false);
    if (left == Poll::Failed) return LoopEnd::ProgrammerFailed;
  }
}

// Reserves the chip's serial, runs the job's steps on it and records it; an end of the loop
// when no serial could be reserved.
std::optional<LoopEnd> ProductionLoop::ProgramChip(LoopObserver& observer, ChipReport& report,
                                                   Clock::time_point found, const std::string& start) {
  std::optional<SerialReservation> reservation;
  if (job_.serial) {
    reservation.emplace();
    for (bool reserved = false; !reserved;) {
      switch (store_.ReserveSerial(jobId_, job_, *reservation)) {
        case ReserveOutcome::Reserved:
          reserved = true;
          break;
        case ReserveOutcome::Exhausted:
          return LoopEnd::SerialsUsedUp;
        case ReserveOutcome::Failed:
          error_ = store_.Error();
          return LoopEnd::StoreFailed;
        case ReserveOutcome::Unreachable:
          // No chip starts without its number; this one waits in the socket.
          observer.DatabaseUnreachable();
          if (!Pause(settings_.retryInterval)) return LoopEnd::Stopped;
          break;
      }
    }
    report.serial = reservation->value.text;
  }
  observer.Programming(report.serial);
  LoadImages(reservation ? &reservation->value : nullptr);
  control::RunRequest request;
  request.press = control::OperationButton::Auto;
  request.boxes = BoxesOf(job_);
  request.blankCheck = job_.Has(Step::BlankCheck);
  if (job_.fuses) request.fuseText = control::FuseTextOf(*job_.fuses);
  if (job_.lock) request.lockText = Printf("%02X", unsigned{*job_.lock});
  request.fastVerify = job_.fastVerify;
  // The loop has just read the signature and compared it with the job's chip.
  request.signatureCheck = false;
  request.keepPage = true;
  RunAndWait(std::move(request));
  const control::Outcome& outcome = controller_.LastOutcome();
  if (outcome.passed) {
    report.result = ChipResult::Pass;
  } else {
    report.result = outcome.cause == control::Cause::Stopped ? ChipResult::Stopped : ChipResult::Fail;
    report.cause = outcome.cause;
    if (outcome.failedAt) report.failedStep = StepOf(*outcome.failedAt, job_);
    Explain(report);
  }
  report.seconds = SecondsSince(found);
  report.recorded = Record(report, start, reservation ? std::optional(reservation->id) : std::nullopt);
  // A chip without its row is not counted: its serial stays reserved and is void at the next open.
  if (report.recorded) ++(report.result == ChipResult::Pass ? totals_.passed : totals_.failed);
  return std::nullopt;
}

// The job's memories with this chip's serial, as the Auto run writes and verifies them.
void ProductionLoop::LoadImages(const SerialValue* serial) {
  for (MemoryKind kind : device::kMemoryKinds) {
    device::Memory& memory = controller_.memories()[kind];
    const std::vector<std::uint8_t> bytes = job_.ChipImage(kind, serial);
    memory.image.Erase();
    std::copy(bytes.begin(), bytes.end(), memory.image.Use(bytes.size()));
    memory.imageLoaded = !bytes.empty();
    // The whole memory counts: an erased or blank-checked chip holds 0xFF beyond the data.
    memory.given = {};
    memory.readbackValid = false;
  }
}

// The counts a failed verify or blank check leaves in the read-backs.
void ProductionLoop::Explain(ChipReport& report) const {
  const device::ChipMemories& memories = controller_.memories();
  if (report.cause == control::Cause::VerifyDifference && report.failedStep != Step::Fuses &&
      report.failedStep != Step::Lock) {
    const MemoryKind kind = report.failedStep == Step::VerifyFlash ? MemoryKind::Flash : MemoryKind::Eeprom;
    const std::vector<std::uint8_t>& image = job_.Memory(kind);
    const device::Memory& memory = memories[kind];
    for (std::size_t i = 0; i < image.size(); ++i) {
      // The serial's bytes differ from Memory(kind) only where the image holds them.
      if (memory.image[i] != memory.readback[i]) ++report.differing;
    }
    return;
  }
  if (report.cause != control::Cause::NotBlank) return;
  for (MemoryKind kind : device::kMemoryKinds) {
    const device::Memory& memory = memories[kind];
    const std::size_t size = kind == MemoryKind::Flash ? job_.chip.flashBytes : job_.chip.eepromBytes;
    if (!memory.readbackValid) continue;
    for (std::size_t i = size; i-- > 0;) {
      if (memory.readback[i] == 0xFF) continue;
      ++report.differing;
      report.firstAddress = static_cast<std::uint32_t>(i);
    }
    if (report.differing > 0) return;
  }
}

bool ProductionLoop::Record(ChipReport& report, const std::string& start,
                            std::optional<std::int64_t> serialId) {
  ChipRecord record;
  record.jobId = jobId_;
  record.station = settings_.station;
  record.programmer = controller_.ProgrammerAddress();
  record.start = start;
  record.end = TimeStamp(std::chrono::system_clock::now());
  record.signature = control::SignatureText(report.signature);
  record.serial = report.serial;
  record.result = report.result;
  if (report.result != ChipResult::WrongChip) {
    // What the chip was given: the job's memory with its serial, as LoadImages placed it.
    const device::ChipMemories& memories = controller_.memories();
    if (job_.Has(Step::WriteFlash))
      record.flashCrc = CrcOf(memories[MemoryKind::Flash].image, job_.flash.size());
    if (job_.Has(Step::WriteEeprom))
      record.eepromCrc = CrcOf(memories[MemoryKind::Eeprom].image, job_.eeprom.size());
    if (job_.Has(Step::Fuses) && job_.fuses) record.fuses = control::FuseTextOf(*job_.fuses);
    if (job_.Has(Step::Lock) && job_.lock) record.lock = Printf("%02X", unsigned{*job_.lock});
  } else {
    const std::vector<std::string> names = control::ChipsWithSignature(controller_.facts(), report.signature);
    for (const std::string& name : names) record.cause += (record.cause.empty() ? "" : "/") + name;
  }
  if (report.failedStep) record.failedStep = StepName(*report.failedStep);
  if (report.result != ChipResult::WrongChip) record.cause = CauseWords(report);
  record.seconds = report.seconds;
  report.flashCrc = record.flashCrc;
  if (store_.RecordChip(record, serialId)) return true;
  error_ = store_.Error();
  return false;
}

}  // namespace kestrel::production
