#include <gtest/gtest.h>

#include "base/Format.h"
#include "cli/ProductionCommands.h"
#include "production/Job.h"
#include "production/ProductionTexts.h"

namespace kestrel::cli {
namespace {

// The chip a full disk refused is the one after those recorded, on one programmer or a gang's.
TEST(ProductionLines, ARowThatCouldNotBeWrittenNamesItsOwnChip) {
  production::LoopTotals totals;
  totals.passed = 2;
  totals.failed = 1;
  totals.wrongChips = 1;
  EXPECT_EQ(EndLine(production::LoopEnd::StoreFailed, totals, "disk full", production::Job{}),
            Printf(production::texts::kRecordFailedPattern, 5, "disk full"));
}

}  // namespace
}  // namespace kestrel::cli
