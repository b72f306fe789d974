#include "device/sim/SimulatedSocket.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <tuple>

namespace kestrel::device {
namespace {

constexpr std::uint32_t kMostOfOneChip = 10000;

std::string_view Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Decimal digits only, from 1 to `high`.
bool PositiveNumber(std::string_view text, std::uint32_t high, std::uint32_t& number) {
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty() || text[0] == '+' ||
      value < 1 || value > high)
    return false;
  number = value;
  return true;
}

// One entry of a plan, "NAME[!FLAG...][*COUNT]", added `count` times to `chips`; an error text
// otherwise.
std::string TakeEntry(std::string_view entry,
                      const std::function<const chips::ChipFacts*(std::string_view)>& lookup,
                      std::vector<SocketChip>& chips) {
  const std::string quoted = "\"" + std::string(entry) + "\"";
  std::uint32_t count = 1;
  if (const auto star = entry.rfind('*'); star != std::string_view::npos) {
    if (!PositiveNumber(Trimmed(entry.substr(star + 1)), kMostOfOneChip, count))
      return "bad count in " + quoted + " (expected *1 to *10000)";
    entry = entry.substr(0, star);
  }
  const std::string_view name = Trimmed(entry.substr(0, entry.find('!')));
  if (name.empty()) return "no chip name in " + quoted;
  const chips::ChipFacts* facts = lookup(name);
  if (facts == nullptr) return "unknown chip \"" + std::string(name) + "\" in " + quoted;
  SocketChip chip{facts->name, SimulatedChipOf(*facts), facts->flashBytes, facts->eepromBytes};
  for (std::size_t bang = entry.find('!'); bang != std::string_view::npos;) {
    const std::size_t next = entry.find('!', bang + 1);
    const std::string_view flag = Trimmed(entry.substr(bang + 1, next - std::min(next, bang + 1)));
    const std::string_view key = flag.substr(0, flag.find('='));
    const std::string_view value =
        flag.size() > key.size() ? flag.substr(key.size() + 1) : std::string_view{};
    if (flag == "bits-stuck") {
      chip.chip.firstFlashPageStuck = true;
    } else if (key == "fail-at" || key == "unplug-at") {
      if (!PositiveNumber(value, UINT32_MAX, key == "fail-at" ? chip.failAt : chip.unplugAt))
        return "bad number in \"" + std::string(flag) + "\" of " + quoted + " (expected a request from 1 on)";
    } else {
      return "unknown flag \"" + std::string(flag) + "\" in " + quoted +
             " (expected fail-at=N, unplug-at=N or bits-stuck)";
    }
    bang = next;
  }
  chips.insert(chips.end(), count, chip);
  return "";
}

// The number after the dumps "chip-NNNN.txt" already in `folder`.
int NextDumpNumber(const std::string& folder) {
  int highest = 0;
  std::error_code error;
  for (const auto& file : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = file.path().filename().string();
    int number = 0;
    if (name.size() > 9 && name.starts_with("chip-") && name.ends_with(".txt") &&
        std::from_chars(name.data() + 5, name.data() + name.size() - 4, number).ptr ==
            name.data() + name.size() - 4)
      highest = std::max(highest, number);
  }
  return highest + 1;
}

void AppendHex(std::string& text, const std::uint8_t* bytes, std::size_t count) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < count; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
  }
}

}  // namespace

SimulatedChip SimulatedChipOf(const chips::ChipFacts& facts) {
  using enum ProgrammingMode;
  using enum chips::FuseByte;
  SimulatedChip chip;
  chip.signature = facts.signature;
  chip.fuses = {facts.factory[kLow], facts.factory[kHigh], facts.factory[kExtended]};
  chip.lock = facts.factory[kLock];
  chip.modes =
      static_cast<std::uint8_t>(((facts.modes & chips::kIsp) != 0 ? ModeBit(ISP) : 0) |
                                ((facts.modes & chips::kHvsp) != 0 ? ModeBit(HVSP) : 0) |
                                ((facts.modes & chips::kHvpp) != 0 ? ModeBit(PP_20) | ModeBit(PP_2313) : 0));
  chip.ispLockouts.clear();
  for (const chips::FuseField& field : facts.Fields()) {
    const int byte = static_cast<int>(field.byte);
    if (field.danger == chips::FieldDanger::kIspLostIfProgrammed)
      chip.ispLockouts.push_back({byte, field.mask, 0});
    if (field.danger == chips::FieldDanger::kIspLostIfUnprogrammed)
      chip.ispLockouts.push_back({byte, field.mask, field.mask});
  }
  return chip;
}

SocketPlanParse ParseSocketPlan(std::string_view plan,
                                const std::function<const chips::ChipFacts*(std::string_view)>& lookup) {
  SocketPlanParse parse;
  if (Trimmed(plan).empty()) {
    parse.error = "the plan names no chip";
    return parse;
  }
  for (std::size_t start = 0; start <= plan.size();) {
    const std::size_t comma = std::min(plan.find(',', start), plan.size());
    const std::string_view entry = Trimmed(plan.substr(start, comma - start));
    parse.error = entry.empty() ? "empty entry " + std::to_string(parse.chips.size() + 1) + " in the plan"
                                : TakeEntry(entry, lookup, parse.chips);
    if (!parse.error.empty()) {
      parse.chips.clear();
      return parse;
    }
    start = comma + 1;
  }
  return parse;
}

SimulatedSocket::SimulatedSocket(std::vector<SocketChip> plan, std::string dumpFolder)
    : plan_(std::move(plan)),
      dumpFolder_(std::move(dumpFolder)),
      firstDumpNumber_(dumpFolder_.empty() ? 1 : NextDumpNumber(dumpFolder_)),
      empty_(SimulatedChip{.modes = 0}) {}

SocketTurn SimulatedSocket::Take(const VendorRequest& request) {
  const auto command = static_cast<VendorCommand>(request.request & 0x0F);
  if (command == VendorCommand::Ready) return {occupied_ ? visited_.back().get() : &empty_};
  if (dirty_) Dump();
  if (command != VendorCommand::ReadSignature) {
    polls_ = 0;
    dirty_ = occupied_ && command != VendorCommand::ReadCalibration &&
             command != VendorCommand::ReadFuseLock && command != VendorCommand::ReadFlashPage &&
             command != VendorCommand::ReadEepromPage;
    return {occupied_ ? visited_.back().get() : &empty_};
  }
  ++polls_;
  if (occupied_ && polls_ >= kPollsToLeave) {
    TakeOut();
    polls_ = 1;
  }
  if (!occupied_ && polls_ > kEmptyPolls && visited_.size() < plan_.size()) {
    visited_.push_back(std::make_unique<SimulatedProgrammer>(plan_[visited_.size()].chip));
    occupied_ = true;
    polls_ = 1;
    return {visited_.back().get(), &plan_[visited_.size() - 1]};
  }
  return {occupied_ ? visited_.back().get() : &empty_};
}

void SimulatedSocket::TakeOut() {
  if (!occupied_) return;
  Dump();
  occupied_ = false;
  polls_ = 0;
}

std::string SimulatedSocket::DumpText(const SocketChip& chip, const SimulatedProgrammer& programmer) {
  std::string text = "chip " + chip.name + "\nsignature ";
  AppendHex(text, programmer.signature.data(), programmer.signature.size());
  text += "\nfuses ";
  AppendHex(text, programmer.fuses.data(), programmer.fuses.size());
  text += "\nlock ";
  AppendHex(text, &programmer.lock, 1);
  for (const auto& [name, memory, size] : {std::tuple{"flash", &programmer.flash, chip.flashBytes},
                                           std::tuple{"eeprom", &programmer.eeprom, chip.eepromBytes}}) {
    std::vector<std::uint8_t> bytes(std::min(size, memory->size()));
    memory->CopyOut(0, bytes.size(), bytes.data());
    text += std::string("\n") + name + " ";
    AppendHex(text, bytes.data(), bytes.size());
  }
  return text + "\n";
}

// Written beside and renamed into place, so that a kill leaves the old dump or the new one.
// The page cache keeps what was written when the process dies, so no sync is needed.
void SimulatedSocket::Dump() {
  dirty_ = false;
  if (dumpFolder_.empty() || visited_.empty()) return;
  char name[32];
  std::snprintf(name, sizeof name, "chip-%04d.txt", firstDumpNumber_ + static_cast<int>(visited_.size()) - 1);
  const std::string path = dumpFolder_ + "/" + name;
  const std::string text = DumpText(plan_[visited_.size() - 1], *visited_.back());
  const std::string temporary = path + ".part";
  const int file = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (file < 0) return;
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t count = ::write(file, text.data() + written, text.size() - written);
    if (count <= 0) break;
    written += static_cast<std::size_t>(count);
  }
  ::close(file);
  if (written == text.size()) std::rename(temporary.c_str(), path.c_str());
}

}  // namespace kestrel::device
