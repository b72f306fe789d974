#include <cstdio>
#include <memory>

#include "chips/ChipFacts.h"

namespace kestrel::chips {
namespace {

// False when the file cannot be opened or read (a folder opens but cannot be read).
bool ReadWholeFile(const std::string& path, std::string& bytes) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return false;
  char chunk[16384];
  std::size_t count;
  while ((count = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) bytes.append(chunk, count);
  return std::ferror(file.get()) == 0;
}

}  // namespace

std::vector<std::string> ChipFactsSearchPaths(const std::vector<std::string>& cataloguePaths) {
  std::vector<std::string> paths;
  for (const std::string& path : cataloguePaths) {
    const std::size_t slash = path.rfind('/');
    paths.push_back((slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) +
                    kChipFactsFileName);
  }
  return paths;
}

ChipFactsLoad LoadChipFacts(const std::vector<std::string>& paths, ChipFactsTable& table) {
  ChipFactsLoad load;
  for (const std::string& path : paths) {
    load.searched.push_back(path);
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) continue;
    table = ParseChipFacts(bytes);
    load.loaded = true;
    load.path = path;
    break;
  }
  return load;
}

}  // namespace kestrel::chips
