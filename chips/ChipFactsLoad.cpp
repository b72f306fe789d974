#include <utility>

#include "chips/ChipFacts.h"

namespace kestrel::chips {

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
  FileBytes bytes;
  ChipFactsLoad load = ReadFirstFile(paths, bytes);
  if (load.loaded) table = ParseChipFacts(std::move(bytes));
  return load;
}

}  // namespace kestrel::chips
