#pragma once

#include <bitset>
#include <optional>

#include "control/Operations.h"

namespace kestrel::control {

// The operations waiting to run. Each is queued at most once; they are taken in the order of
// the Operation enum.
class OperationQueue {
 public:
  // What a button queues (Auto and Burn: see the two below).
  void QueueButton(OperationButton button);
  // The checked boxes; every Auto run ends by reading the fuse and lock bytes.
  void QueueAuto(const AutoSelection& boxes);
  // The whole production sequence.
  void QueueBurn();
  void Queue(Operation operation) { waiting_.set(static_cast<std::size_t>(operation)); }

  // Removes and returns the first waiting operation.
  std::optional<Operation> TakeNext();
  bool Empty() const { return waiting_.none(); }
  bool Holds(Operation operation) const { return waiting_.test(static_cast<std::size_t>(operation)); }
  void Clear() { waiting_.reset(); }
  void Drop(Operation operation) { waiting_.reset(static_cast<std::size_t>(operation)); }

 private:
  std::bitset<kOperationCount> waiting_;
};

}  // namespace kestrel::control
