#pragma once

#include <string>
#include <vector>

#include "chips/ChipCatalogue.h"
#include "chips/ChipFacts.h"

namespace kestrel::chips {

// Where the chip facts are: the file named (--facts), or else the first found beside the
// catalogue, in the installed data folder, or beside the program.
struct FactsLookup {
  std::string file;           // named by the user: only this one
  std::string executableDir;  // the program's folder, for the places beside it
};

// The chip catalogue and the chip facts. A program reads them once at start-up; the
// simulator's chip and the controller then take what they need from the same copy.
struct ChipBooks {
  ChipCatalogue catalogue;
  CatalogueLoad load;
  ChipFactsTable facts;  // empty when the catalogue or the facts file is missing
  ChipFactsLoad factsLoad;

  // The facts of catalogue entry `index`, or nullptr.
  const ChipFacts* FactsOf(int index) const;
};

// The facts files to try, in order, for the catalogue read from `cataloguePath`.
std::vector<std::string> FactsSearchPaths(const std::string& cataloguePath, const FactsLookup& lookup);

ChipBooks LoadChipBooks(const std::vector<std::string>& cataloguePaths, const FactsLookup& lookup = {});

}  // namespace kestrel::chips
