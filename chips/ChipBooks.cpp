#include "chips/ChipBooks.h"

#include <algorithm>

namespace kestrel::chips {

const ChipFacts* ChipBooks::FactsOf(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= catalogue.chips.size()) return nullptr;
  return facts.Find(catalogue.chips[static_cast<std::size_t>(index)].displayName);
}

std::vector<std::string> FactsSearchPaths(const std::string& cataloguePath, const FactsLookup& lookup) {
  if (!lookup.file.empty()) return {lookup.file};
  // A catalogue of the user's own (--catalogue) still gets the installed facts of its chips.
  std::vector<std::string> places{cataloguePath};
  const std::vector<std::string> installed = CatalogueSearchPaths(lookup.executableDir);
  places.insert(places.end(), installed.begin() + 1, installed.end());  // not the working folder
  std::vector<std::string> paths;
  for (const std::string& path : ChipFactsSearchPaths(places)) {
    if (std::find(paths.begin(), paths.end(), path) == paths.end()) paths.push_back(path);
  }
  return paths;
}

ChipBooks LoadChipBooks(const std::vector<std::string>& cataloguePaths, const FactsLookup& lookup) {
  ChipBooks books;
  books.load = LoadChipCatalogue(cataloguePaths, books.catalogue);
  if (books.load.loaded)
    books.factsLoad = LoadChipFacts(FactsSearchPaths(books.load.path, lookup), books.facts);
  return books;
}

}  // namespace kestrel::chips
