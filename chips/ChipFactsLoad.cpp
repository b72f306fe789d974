#include "chips/ChipCatalogue.h"
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
  ChipFactsLoad load;
  for (const std::string& path : paths) {
    load.searched.push_back(path);
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) continue;
    table = ParseChipFacts(std::move(bytes));
    load.loaded = true;
    load.path = path;
    break;
  }
  return load;
}

}  // namespace kestrel::chips
