#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/FileRead.h"
#include "chips/ChipFacts.h"
#include "production/Job.h"

namespace kestrel::production {

// A folder of its own for a test's job and files, removed afterwards.
struct Folder {
  std::string path;
  explicit Folder(const std::string& name)
      : path(::testing::TempDir() + "kestrel-" + name + "-" + std::to_string(::getpid())) {
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
  }
  ~Folder() { std::filesystem::remove_all(path); }
  std::string Write(const std::string& name, const std::string& text) const {
    std::ofstream(path + "/" + name, std::ios::binary) << text;
    return path + "/" + name;
  }
};

inline const chips::ChipFactsTable& Facts() {
  static const chips::ChipFactsTable facts =
      chips::ParseChipFacts(ReadFileStart(KESTREL_SOURCE_DIR "/data/chip-facts.tsv", 1u << 24).bytes);
  return facts;
}

// 16 bytes of program at FLASH 0.
inline constexpr char kProgramHex[] = ":100000000C9434000C943E000C943E000C943E0082\n:00000001FF\n";

}  // namespace kestrel::production
