#include "production/StoreShared.h"

#include <signal.h>
#include <sys/random.h>

#include <cerrno>
#include <cstring>

#include "base/FileRead.h"
#include "base/Format.h"

namespace kestrel::production::detail {
namespace {

// Random values tried before the job counts as out of them: only a job of one or two random
// bytes gets near this.
constexpr int kRandomTries = 64;

}  // namespace

ChipResult ResultOf(const std::string& name) {
  for (ChipResult result : {ChipResult::Pass, ChipResult::Fail, ChipResult::WrongChip, ChipResult::Stopped}) {
    if (name == ChipResultName(result)) return result;
  }
  return ChipResult::Fail;
}

SerialState StateOf(const std::string& name) {
  for (SerialState state : {SerialState::Reserved, SerialState::Passed, SerialState::Failed}) {
    if (name == SerialStateName(state)) return state;
  }
  return SerialState::Void;
}

std::string BootId() {
  const FileStart file = ReadFileStart("/proc/sys/kernel/random/boot_id", 64);
  std::string id = file.ok ? std::string(file.bytes.view()) : std::string();
  while (!id.empty() && (id.back() == '\n' || id.back() == ' ')) id.pop_back();
  return id;
}

bool Gone(pid_t pid, const std::string& boot, const std::string& thisBoot) {
  return boot != thisBoot || (pid > 0 && kill(pid, 0) == -1 && errno == ESRCH);
}

void BindChipColumns(Statement& insert, int first, const ChipRecord& chip) {
  const auto crc = [](const std::optional<std::uint32_t>& value) {
    return value ? std::optional<std::int64_t>(*value) : std::nullopt;
  };
  insert.Bind(first, chip.station).Bind(first + 1, chip.programmer).Bind(first + 2, chip.start);
  insert.Bind(first + 3, chip.end).Bind(first + 4, chip.signature).Bind(first + 5, chip.serial);
  insert.BindOptional(first + 6, crc(chip.flashCrc)).BindOptional(first + 7, crc(chip.eepromCrc));
  insert.Bind(first + 8, chip.fuses).Bind(first + 9, chip.lock);
  insert.Bind(first + 10, std::string(ChipResultName(chip.result))).Bind(first + 11, chip.failedStep);
  insert.Bind(first + 12, chip.cause).Bind(first + 13, chip.seconds);
}

SerialEnd SerialEndOf(const ChipRecord& chip) {
  if (chip.result == ChipResult::Pass) return {SerialState::Passed, ""};
  return {SerialState::Failed,
          chip.result == ChipResult::Stopped ? ChipResultName(chip.result) : chip.failedStep};
}

std::optional<SerialValue> NextSerialValue(const Job& job, SeriesQueries& queries, bool& failed) {
  const SerialPlan& plan = *job.serial;
  bool taken = false;
  switch (plan.source) {
    case SerialSource::Sequence: {
      std::optional<std::int64_t> highest;
      if (!queries.Highest(job.name, highest)) {
        failed = true;
        return std::nullopt;
      }
      // A new version of the job goes on after the numbers its earlier versions gave.
      std::uint64_t number = plan.start;
      if (highest && static_cast<std::uint64_t>(*highest) >= plan.start) {
        const auto highestGiven = static_cast<std::uint64_t>(*highest);
        if (plan.LastNumber() - highestGiven < plan.step || highestGiven > plan.LastNumber())
          return std::nullopt;
        number = highestGiven + plan.step;
      }
      while (number <= plan.LastNumber()) {
        auto value = SequenceValue(plan.format, number);
        if (!value) break;
        if (!queries.Taken(job.name, value->text, taken)) {
          failed = true;
          return std::nullopt;
        }
        if (!taken) return value;
        if (plan.LastNumber() - number < plan.step) break;
        number += plan.step;
      }
      return std::nullopt;
    }
    case SerialSource::List: {
      std::set<std::string> given;
      if (!queries.Given(job.name, given)) {
        failed = true;
        return std::nullopt;
      }
      for (const SerialValue& value : plan.list) {
        if (!given.contains(value.text)) return value;
      }
      return std::nullopt;
    }
    case SerialSource::Random:
      break;
  }
  for (int attempt = 0; attempt < kRandomTries; ++attempt) {
    auto value = RandomValue(plan.randomBytes);
    if (!value) {
      queries.error = std::strerror(errno);
      failed = true;
      return std::nullopt;
    }
    if (!queries.Taken(job.name, value->text, taken)) {
      failed = true;
      return std::nullopt;
    }
    if (!taken) return value;
  }
  return std::nullopt;
}

std::string NewRecordId() {
  unsigned char bytes[16] = {};
  std::size_t got = 0;
  while (got < sizeof bytes) {
    const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
    if (n > 0) got += static_cast<std::size_t>(n);
  }
  std::string id;
  for (unsigned char byte : bytes) id += Printf("%02x", byte);
  return id;
}

}  // namespace kestrel::production::detail
