#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "control/OperationQueue.h"

namespace kestrel::control {
namespace {

using ::testing::ElementsAre;
using Op = Operation;

std::vector<Op> Drain(OperationQueue& queue) {
  std::vector<Op> taken;
  while (const auto next = queue.TakeNext()) taken.push_back(*next);
  return taken;
}

// Whatever the order of queueing, each operation runs once, in the order of the enum.
TEST(OperationQueue, RunsEachQueuedOperationOnceWritesBeforeReadsFusesBeforeLock) {
  OperationQueue queue;
  queue.QueueAuto({true, true, true, true, true, true, true, true, true});
  EXPECT_THAT(Drain(queue),
              ElementsAre(Op::EraseChip, Op::WriteFlash, Op::ReadFlash, Op::VerifyFlash, Op::WriteEeprom,
                          Op::ReadEeprom, Op::VerifyEeprom, Op::WriteFuses, Op::WriteLock, Op::ReadFuseLock));
  queue.QueueAuto({});
  EXPECT_THAT(Drain(queue), ElementsAre(Op::ReadFuseLock));
  queue.QueueBurn();
  EXPECT_THAT(Drain(queue),
              ElementsAre(Op::ReadSignature, Op::ReadCalibration, Op::EraseChip, Op::WriteFlash,
                          Op::ReadFlash, Op::VerifyFlash, Op::WriteFuses, Op::WriteLock, Op::ReadFuseLock));
  for (auto button : {OperationButton::ReadFuseLock, OperationButton::WriteLock, OperationButton::Erase,
                      OperationButton::WriteFuses, OperationButton::SaveEepromFile})
    queue.QueueButton(button);
  EXPECT_THAT(Drain(queue), ElementsAre(Op::SaveEepromFile, Op::EraseChip, Op::WriteFuses, Op::WriteLock,
                                        Op::ReadFuseLock));
}

}  // namespace
}  // namespace kestrel::control
