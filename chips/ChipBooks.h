#pragma once

#include <string>
#include <vector>

#include "chips/ChipCatalogue.h"
#include "chips/ChipFacts.h"

namespace kestrel::chips {

// The chip catalogue and the facts file found beside it. A program reads them once at start-up;
// the simulator's chip and the controller then take what they need from the same copy.
struct ChipBooks {
  ChipCatalogue catalogue;
  CatalogueLoad load;
  ChipFactsTable facts;  // empty when the catalogue or the facts file is missing

  // The facts of catalogue entry `index`, or nullptr.
  const ChipFacts* FactsOf(int index) const;
};

ChipBooks LoadChipBooks(const std::vector<std::string>& cataloguePaths);

}  // namespace kestrel::chips
