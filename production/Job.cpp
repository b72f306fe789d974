#include "production/Job.h"

#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <span>

#include "base/ByteRanges.h"
#include "base/FileRead.h"
#include "base/Format.h"
#include "base/Texts.h"
#include "chips/ChipCatalogue.h"
#include "control/ChipSafety.h"
#include "control/ImageFileOperations.h"
#include "control/MemoryTable.h"
#include "control/WholeChipFiles.h"
#include "production/ProductionTexts.h"

// Header-only and without exceptions (production/CMakeLists.txt): a parse gives a result.
#include <toml++/toml.h>

namespace kestrel::production {
namespace {

constexpr std::array<std::pair<const char*, Step>, 8> kSteps = {{
    {"blank-check", Step::BlankCheck},
    {"erase", Step::Erase},
    {"write-flash", Step::WriteFlash},
    {"verify-flash", Step::VerifyFlash},
    {"write-eeprom", Step::WriteEeprom},
    {"verify-eeprom", Step::VerifyEeprom},
    {"fuses", Step::Fuses},
    {"lock", Step::Lock},
}};

constexpr std::array<std::pair<const char*, device::ProgrammingMode>, 4> kModes = {{
    {"PP_20", device::ProgrammingMode::PP_20},
    {"PP_2313", device::ProgrammingMode::PP_2313},
    {"ISP", device::ProgrammingMode::ISP},
    {"HVSP", device::ProgrammingMode::HVSP},
}};

const char* ModeName(device::ProgrammingMode mode) {
  for (const auto& [name, value] : kModes) {
    if (value == mode) return name;
  }
  return "?";
}

// The chip's modes that reach it in each programming mode.
chips::ModeSet ModeNeeded(device::ProgrammingMode mode) {
  switch (mode) {
    case device::ProgrammingMode::ISP:
      return chips::kIsp;
    case device::ProgrammingMode::HVSP:
      return chips::kHvsp;
    case device::ProgrammingMode::PP_20:
    case device::ProgrammingMode::PP_2313:
      break;
  }
  return chips::kHvpp;
}

// The first fault ends the load: every check below returns at once once there is one.
struct Fault {
  std::string key;
  std::string reason;
};

class Loader {
 public:
  Loader(std::string path, std::string folder, const chips::ChipFactsTable& facts)
      : path_(std::move(path)), folder_(std::move(folder)), facts_(facts) {}

  JobLoad Load(const std::string& text);

 private:
  bool Refuse(std::string key, std::string reason) {
    if (!fault_) fault_ = Fault{std::move(key), std::move(reason)};
    return false;
  }
  const toml::node* Node(const toml::table& table, const std::string& prefix, const char* key, bool required);
  std::optional<std::string> Text(const toml::table& table, const std::string& prefix, const char* key,
                                  bool required);
  std::optional<std::int64_t> Integer(const toml::table& table, const std::string& prefix, const char* key,
                                      bool required, std::int64_t low, std::int64_t high);
  bool KnownKeys(const toml::table& table, const std::string& prefix,
                 std::initializer_list<const char*> keys);
  std::string Resolve(const std::string& file) const;
  bool ReadFiles(const toml::table& table);
  bool ReadSteps(const toml::table& table);
  bool CheckFuses(const toml::table& table);
  bool Check(const toml::table& table);
  bool ReadSerial(const toml::table& table);
  bool CheckSerialPlace();

  std::string path_;
  std::string folder_;
  const chips::ChipFactsTable& facts_;
  Job job_;
  std::vector<std::string> contents_;  // the files, in the order read, for the identity
  ByteRanges flashGiven_;              // the bytes the files gave, which a serial may not cover
  ByteRanges eepromGiven_;
  image::RegionImage fileFuses_;  // what a whole-chip file gave
  image::RegionImage fileLock_;
  std::string fuseFile_;  // its name
  std::optional<Fault> fault_;
};

const toml::node* Loader::Node(const toml::table& table, const std::string& prefix, const char* key,
                               bool required) {
  const toml::node* node = table.get(key);
  if (node == nullptr && required) Refuse(prefix + key, texts::kKeyMissing);
  return node;
}

std::optional<std::string> Loader::Text(const toml::table& table, const std::string& prefix, const char* key,
                                        bool required) {
  const toml::node* node = Node(table, prefix, key, required);
  if (node == nullptr) return std::nullopt;
  if (!node->is_string()) {
    Refuse(prefix + key, texts::kKeyWantsText);
    return std::nullopt;
  }
  return node->as_string()->get();
}

std::optional<std::int64_t> Loader::Integer(const toml::table& table, const std::string& prefix,
                                            const char* key, bool required, std::int64_t low,
                                            std::int64_t high) {
  const toml::node* node = Node(table, prefix, key, required);
  if (node == nullptr) return std::nullopt;
  if (!node->is_integer()) {
    Refuse(prefix + key, texts::kKeyWantsInteger);
    return std::nullopt;
  }
  const std::int64_t value = node->as_integer()->get();
  if (value < low || value > high) {
    Refuse(prefix + key, Printf(texts::kNumberRangePattern, static_cast<long long>(value),
                                static_cast<long long>(low), static_cast<long long>(high)));
    return std::nullopt;
  }
  return value;
}

// A key the loader does not know is a typing error that would otherwise be ignored silently
// (fast_verfy = true would verify slowly; a misspelt `last` would never stop).
bool Loader::KnownKeys(const toml::table& table, const std::string& prefix,
                       std::initializer_list<const char*> keys) {
  for (const auto& entry : table) {
    const std::string_view key = entry.first.str();
    if (std::none_of(keys.begin(), keys.end(), [&](const char* known) { return key == known; }))
      return Refuse(prefix + std::string(key), texts::kKeyUnknown);
  }
  return true;
}

std::string Loader::Resolve(const std::string& file) const {
  if (file.starts_with('/') || folder_.empty()) return file;
  return (std::filesystem::path(folder_) / file).string();
}

image::ChipSizes SizesOf(const chips::ChipFacts& chip) {
  return {chip.flashBytes, chip.eepromBytes};
}

bool Loader::ReadFiles(const toml::table& table) {
  const auto image = Text(table, "", "image", false);
  const auto flash = Text(table, "", "flash", false);
  const auto eeprom = Text(table, "", "eeprom", false);
  if (fault_) return false;
  if (image && (flash || eeprom)) return Refuse("image", texts::kImageWithSeparate);
  if (image) {
    const std::string path = Resolve(*image);
    const control::WholeChipRead read = control::ReadWholeChipFile(path, SizesOf(job_.chip));
    if (!read.ok) return Refuse("image", read.refusal);
    const std::string name = control::FileName(path);
    if (auto refusal = control::SignatureRefusal(name, read.image, &job_.chip))
      return Refuse("image", *refusal);
    for (const auto& [region, memory] :
         {std::pair(image::Region::Flash, &job_.flash), std::pair(image::Region::Eeprom, &job_.eeprom)}) {
      const image::RegionImage& bytes = read.image[region];
      if (bytes.Empty()) continue;
      memory->assign(region == image::Region::Flash ? job_.chip.flashBytes : job_.chip.eepromBytes, 0xFF);
      std::copy(bytes.bytes.begin(), bytes.bytes.end(), memory->begin());
      (region == image::Region::Flash ? flashGiven_ : eepromGiven_) = ByteRanges::FromFlags(bytes.given);
    }
    const std::size_t fuseBytes = read.image[image::Region::Fuses].bytes.size();
    if (fuseBytes > 0 && static_cast<int>(fuseBytes) < job_.chip.fuseBytes)
      return Refuse("image",
                    Printf(::kestrel::texts::kFileFuseBytesShortPattern, name.c_str(),
                           static_cast<int>(fuseBytes), job_.chip.name.c_str(), job_.chip.fuseBytes));
    fileFuses_ = read.image[image::Region::Fuses];
    fileLock_ = read.image[image::Region::Lock];
    fuseFile_ = name;
    contents_.push_back(read.content);
    job_.files.push_back(path);
  }
  for (const auto& [key, kind, memory] : {std::tuple("flash", device::MemoryKind::Flash, &job_.flash),
                                          std::tuple("eeprom", device::MemoryKind::Eeprom, &job_.eeprom)}) {
    const auto& given = kind == device::MemoryKind::Flash ? flash : eeprom;
    if (!given) continue;
    const std::string path = Resolve(*given);
    memory->assign(kind == device::MemoryKind::Flash ? job_.chip.flashBytes : job_.chip.eepromBytes, 0xFF);
    const control::MemoryFileRead read =
        control::ReadMemoryFile(control::EntryOf(kind), path, SizesOf(job_.chip), &job_.chip, *memory);
    if (!read.ok) return Refuse(key, read.refusal);
    (kind == device::MemoryKind::Flash ? flashGiven_ : eepromGiven_) = read.given;
    contents_.push_back(read.content);
    job_.files.push_back(path);
  }
  return true;
}

bool Loader::ReadSteps(const toml::table& table) {
  const toml::node* node = Node(table, "", "steps", true);
  if (node == nullptr) return false;
  const toml::array* steps = node->as_array();
  if (steps == nullptr) return Refuse("steps", texts::kKeyWantsTextList);
  std::string known;
  for (const auto& [name, step] : kSteps) known += (known.empty() ? "" : ", ") + std::string(name);
  for (const toml::node& item : *steps) {
    if (!item.is_string()) return Refuse("steps", texts::kKeyWantsTextList);
    const std::string name = item.as_string()->get();
    const auto found =
        std::find_if(kSteps.begin(), kSteps.end(), [&](const auto& s) { return name == s.first; });
    if (found == kSteps.end())
      return Refuse("steps", Printf(texts::kUnknownStepPattern, name.c_str(), known.c_str()));
    if (job_.Has(found->second)) return Refuse("steps", Printf(texts::kStepTwicePattern, name.c_str()));
    job_.steps.push_back(found->second);
  }
  if (job_.steps.empty()) return Refuse("steps", texts::kStepsEmpty);
  return true;
}

// The bytes a whole-chip file gave of `region` that differ from `set`'s; only the chip's fuse
// bytes count (a file for a two-fuse chip gives no extended byte).
bool DiffersFromFile(const image::RegionImage& region, const chips::FuseSet& set, std::size_t offset,
                     std::size_t count) {
  for (std::size_t i = 0; i < count && i < region.bytes.size(); ++i) {
    if (region.given[i] && region.bytes[i] != set.bytes[offset + i]) return true;
  }
  return false;
}

bool Loader::CheckFuses(const toml::table& table) {
  const auto fuses = Text(table, "", "fuses", false);
  const auto lock = Text(table, "", "lock", false);
  if (fault_) return false;
  const std::size_t fuseBytes = static_cast<std::size_t>(std::max(job_.chip.fuseBytes, 0));
  // The file's bytes, with 0xFF for what it does not give.
  chips::FuseSet fromFile;
  for (std::size_t i = 0; i < fileFuses_.bytes.size() && i < 3; ++i) fromFile.bytes[i] = fileFuses_.bytes[i];
  if (!fileLock_.Empty()) fromFile[chips::FuseByte::kLock] = fileLock_.bytes[0];
  chips::FuseSet set;
  if (fuses) {
    if (!control::ParseFuseText(*fuses, set))
      return Refuse("fuses", Printf(texts::kFuseTextBadPattern, fuses->c_str()));
    if (DiffersFromFile(fileFuses_, set, 0, fuseBytes))
      return Refuse("fuses", Printf(texts::kFileValueMismatchPattern, fuses->c_str(), fuseFile_.c_str(),
                                    control::FuseTextOf(fromFile).c_str()));
    job_.fuses = set;
  } else if (!fileFuses_.Empty()) {
    job_.fuses = fromFile;
  }
  if (lock) {
    if (!control::ParseLockText(*lock, set))
      return Refuse("lock", Printf(texts::kLockTextBadPattern, lock->c_str()));
    if (DiffersFromFile(fileLock_, set, 3, 1))
      return Refuse("lock", Printf(texts::kFileValueMismatchPattern, lock->c_str(), fuseFile_.c_str(),
                                   control::LockTextOf(fromFile).c_str()));
    job_.lock = set[chips::FuseByte::kLock];
  } else if (!fileLock_.Empty()) {
    job_.lock = fromFile[chips::FuseByte::kLock];
  }
  if (job_.Has(Step::Fuses) && !job_.fuses)
    return Refuse("fuses", Printf(texts::kStepNeedsValuePattern, "fuses"));
  if (job_.Has(Step::Lock) && !job_.lock)
    return Refuse("lock", Printf(texts::kStepNeedsValuePattern, "lock"));
  if (job_.Has(Step::Fuses)) {
    const control::FuseWriteReview review = control::ReviewFuseWrite(job_.chip, *job_.fuses);
    if (!review.lockouts.empty() && job_.mode == device::ProgrammingMode::ISP) {
      std::string lines;
      for (const std::string& line : review.lockouts) lines += (lines.empty() ? "" : "; ") + line;
      return Refuse("fuses", Printf(texts::kJobLockoutPattern, lines.c_str()));
    }
    job_.warnings = review.lockouts;
    job_.warnings.insert(job_.warnings.end(), review.warnings.begin(), review.warnings.end());
  }
  if (job_.Has(Step::Lock)) {
    for (const std::string& line : control::ReviewLockWrite(job_.chip, *job_.lock))
      job_.warnings.push_back(line);
  }
  return true;
}

bool Loader::ReadSerial(const toml::table& table) {
  const toml::node* node = table.get("serial");
  if (node == nullptr) return true;
  const toml::table* serial = node->as_table();
  if (serial == nullptr) return Refuse("serial", texts::kKeyWantsTable);
  const std::string prefix = "serial.";
  if (!KnownKeys(*serial, prefix,
                 {"memory", "address", "source", "format", "start", "step", "last", "list", "bytes"}))
    return false;
  SerialPlan plan;
  const auto memory = Text(*serial, prefix, "memory", true);
  if (!memory) return false;
  if (*memory != "flash" && *memory != "eeprom")
    return Refuse(prefix + "memory", Printf(texts::kUnknownSerialMemoryPattern, memory->c_str()));
  plan.memory = *memory == "flash" ? device::MemoryKind::Flash : device::MemoryKind::Eeprom;
  const auto address = Integer(*serial, prefix, "address", true, 0, 0xFFFFFF);
  const auto source = Text(*serial, prefix, "source", true);
  if (!address || !source) return false;
  plan.address = static_cast<std::uint32_t>(*address);
  if (*source == "sequence") {
    plan.source = SerialSource::Sequence;
    const auto format = Text(*serial, prefix, "format", true);
    if (!format) return false;
    const auto parsed = ParseSerialFormat(*format);
    if (!parsed)
      return Refuse(prefix + "format", Printf(texts::kUnknownSerialFormatPattern, format->c_str()));
    plan.format = *parsed;
    const auto start = Integer(*serial, prefix, "start", true, 0, INT64_MAX);
    const auto step = Integer(*serial, prefix, "step", false, 1, INT64_MAX);
    const auto last = Integer(*serial, prefix, "last", false, 0, INT64_MAX);
    if (fault_) return false;
    plan.start = static_cast<std::uint64_t>(*start);
    plan.step = static_cast<std::uint64_t>(step.value_or(1));
    if (last) plan.last = static_cast<std::uint64_t>(*last);
    if (plan.start > plan.LastNumber())
      return Refuse(prefix + "start",
                    Printf(texts::kSerialStartBeyondPattern, static_cast<unsigned long long>(plan.start),
                           static_cast<unsigned long long>(plan.LastNumber())));
  } else if (*source == "list") {
    plan.source = SerialSource::List;
    const auto list = Text(*serial, prefix, "list", true);
    if (!list) return false;
    const std::string path = Resolve(*list);
    const FileStart file = ReadFileStart(path, 64u << 20);
    if (!file.ok)
      return Refuse(prefix + "list",
                    Printf(::kestrel::texts::kFileUnreadablePattern, path.c_str(), file.error.c_str()));
    std::string error;
    auto values = ParseSerialList(control::FileName(path), file.bytes, error);
    if (!values) return Refuse(prefix + "list", error);
    plan.list = std::move(*values);
    plan.listFile = path;
    contents_.push_back(file.bytes);
    job_.files.push_back(path);
  } else if (*source == "random") {
    plan.source = SerialSource::Random;
    const auto bytes = Integer(*serial, prefix, "bytes", true, 1, 32);
    if (!bytes) return false;
    plan.randomBytes = static_cast<int>(*bytes);
  } else {
    return Refuse(prefix + "source", Printf(texts::kUnknownSerialSourcePattern, source->c_str()));
  }
  job_.serial = std::move(plan);
  return CheckSerialPlace();
}

// The serial must reach the chip (its memory is written) and land on bytes no file gave: a
// serial over program code would break every chip it is written to.
bool Loader::CheckSerialPlace() {
  const SerialPlan& plan = *job_.serial;
  const bool flash = plan.memory == device::MemoryKind::Flash;
  const char* memoryName = flash ? "FLASH" : "EEPROM";
  const Step write = flash ? Step::WriteFlash : Step::WriteEeprom;
  if (!job_.Has(write))
    return Refuse("serial.memory", Printf(texts::kSerialNotWrittenPattern, StepName(write)));
  const std::uint32_t size = flash ? job_.chip.flashBytes : job_.chip.eepromBytes;
  const std::uint64_t first = plan.address;
  const std::uint64_t last = first + plan.Width() - 1;
  if (last >= size)
    return Refuse("serial.address", Printf(texts::kSerialOutsidePattern, static_cast<unsigned>(first),
                                           static_cast<unsigned>(last), memoryName, size - 1));
  std::vector<std::uint8_t>& memory = flash ? job_.flash : job_.eeprom;
  if (memory.empty()) memory.assign(size, 0xFF);
  // Any byte a file gives counts, 0xFF too: the file says what belongs there.
  for (const ByteRange& range : (flash ? flashGiven_ : eepromGiven_).ranges()) {
    if (range.begin <= last && range.end > first)
      return Refuse(
          "serial.address",
          Printf(texts::kSerialOverDataPattern, static_cast<unsigned>(first), static_cast<unsigned>(last),
                 static_cast<unsigned>(std::max<std::uint64_t>(first, range.begin))));
  }
  return true;
}

bool Loader::Check(const toml::table& table) {
  if (!KnownKeys(table, "",
                 {"name", "chip", "mode", "image", "flash", "eeprom", "fuses", "lock", "steps", "fast_verify",
                  "serial"}))
    return false;
  const auto name = Text(table, "", "name", true);
  const auto chip = Text(table, "", "chip", true);
  const auto mode = Text(table, "", "mode", true);
  if (fault_) return false;
  job_.name = *name;
  const chips::ChipFacts* facts = facts_.Find(*chip);
  if (facts == nullptr) return Refuse("chip", texts::kUnknownChipFacts);
  job_.chip = *facts;
  const auto found =
      std::find_if(kModes.begin(), kModes.end(), [&](const auto& m) { return *mode == m.first; });
  if (found == kModes.end()) return Refuse("mode", Printf(texts::kUnknownModePattern, mode->c_str()));
  job_.mode = found->second;
  if ((job_.chip.modes & ModeNeeded(job_.mode)) == 0)
    return Refuse("mode", Printf(texts::kModeNotSupportedPattern, job_.chip.name.c_str(), found->first));
  if (const toml::node* fast = table.get("fast_verify")) {
    if (!fast->is_boolean()) return Refuse("fast_verify", texts::kKeyWantsBoolean);
    job_.fastVerify = fast->as_boolean()->get();
  }
  if (!ReadSteps(table) || !ReadFiles(table) || !ReadSerial(table)) return false;
  // A serial alone fills its memory; else a memory a step writes or verifies needs a file.
  for (const auto& [write, verify, kind, key] :
       {std::tuple(Step::WriteFlash, Step::VerifyFlash, device::MemoryKind::Flash, "flash"),
        std::tuple(Step::WriteEeprom, Step::VerifyEeprom, device::MemoryKind::Eeprom, "eeprom")}) {
    const char* memory = kind == device::MemoryKind::Flash ? "FLASH" : "EEPROM";
    for (Step step : {write, verify}) {
      if (job_.Has(step) && job_.Memory(kind).empty())
        return Refuse(key, Printf(texts::kStepNeedsFilePattern, StepName(step), memory, memory));
    }
  }
  return CheckFuses(table);
}

JobLoad Loader::Load(const std::string& text) {
  job_.path = path_;
  job_.text = text;
  toml::parse_result parsed = toml::parse(text, path_);
  if (!parsed) {
    const toml::parse_error& error = parsed.error();
    return {std::nullopt,
            Printf(texts::kJobNotTomlPattern, path_.c_str(), static_cast<int>(error.source().begin.line),
                   std::string(error.description()).c_str())};
  }
  const toml::table& table = parsed.table();
  if (!Check(table) || fault_) {
    if (!fault_) fault_ = Fault{path_, texts::kKeyMissing};
    return {std::nullopt,
            Printf(texts::kJobRefusedPattern, path_.c_str(), fault_->key.c_str(), fault_->reason.c_str())};
  }
  std::vector<std::string> parts{text};
  parts.insert(parts.end(), contents_.begin(), contents_.end());
  job_.identity = Sha256(parts);
  return {std::move(job_), {}};
}

}  // namespace

const char* StepName(Step step) {
  for (const auto& [name, value] : kSteps) {
    if (value == step) return name;
  }
  return "?";
}

std::vector<std::uint8_t> Job::ChipImage(device::MemoryKind kind, const SerialValue* value) const {
  const std::vector<std::uint8_t>& memory = Memory(kind);
  if (value == nullptr || !serial || serial->memory != kind) return memory;
  return PlaceSerial(memory, serial->address, *value);
}

bool Job::Has(Step step) const {
  return std::find(steps.begin(), steps.end(), step) != steps.end();
}

std::string Sha256(const std::vector<std::string>& parts) {
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  EVP_DigestInit_ex(context, EVP_sha256(), nullptr);
  for (const std::string& part : parts) {
    // Each part's length first, so that moving bytes from one file to the next changes it.
    const std::uint64_t length = part.size();
    EVP_DigestUpdate(context, &length, sizeof length);
    EVP_DigestUpdate(context, part.data(), part.size());
  }
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int size = 0;
  EVP_DigestFinal_ex(context, digest.data(), &size);
  EVP_MD_CTX_free(context);
  std::string text;
  for (unsigned int i = 0; i < size; ++i) text += Printf("%02x", digest[i]);
  return text;
}

JobLoad LoadJobText(const std::string& path, const std::string& text, const std::string& folder,
                    const chips::ChipFactsTable& facts) {
  return Loader(path, folder, facts).Load(text);
}

JobLoad LoadJob(const std::string& path, const chips::ChipFactsTable& facts) {
  const FileStart file = ReadFileStart(path, 1u << 20);
  if (!file.ok) return {std::nullopt, Printf(texts::kJobUnreadablePattern, path.c_str(), file.error.c_str())};
  return LoadJobText(path, file.bytes, std::filesystem::path(path).parent_path().string(), facts);
}

std::vector<std::string> DescribeJob(const Job& job) {
  std::string steps;
  for (Step step : job.steps) steps += (steps.empty() ? "" : " ") + std::string(StepName(step));
  std::vector<std::string> lines{Printf(texts::kJobAcceptedPattern, job.name.c_str(), job.chip.name.c_str(),
                                        ModeName(job.mode), steps.c_str())};
  std::string files;
  for (const std::string& file : job.files) files += (files.empty() ? "" : " ") + file;
  if (!files.empty()) lines.push_back(Printf(texts::kJobFilesPattern, files.c_str()));
  if (job.serial) {
    const SerialPlan& plan = *job.serial;
    const char* memory = plan.memory == device::MemoryKind::Flash ? "FLASH" : "EEPROM";
    switch (plan.source) {
      case SerialSource::Sequence:
        lines.push_back(Printf(texts::kJobSequencePattern, memory, plan.address, plan.format.Width(),
                               static_cast<unsigned long long>(plan.start),
                               static_cast<unsigned long long>(plan.step)));
        break;
      case SerialSource::List:
        lines.push_back(Printf(texts::kJobListPattern, memory, plan.address,
                               control::FileName(plan.listFile).c_str(), plan.list.size()));
        break;
      case SerialSource::Random:
        lines.push_back(Printf(texts::kJobRandomPattern, memory, plan.address, plan.randomBytes));
        break;
    }
  }
  lines.insert(lines.end(), job.warnings.begin(), job.warnings.end());
  lines.push_back(Printf(texts::kJobIdentityPattern, job.identity.c_str()));
  return lines;
}

}  // namespace kestrel::production
