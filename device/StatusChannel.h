#pragma once

#include <cstdint>

#include "device/StatusCode.h"

namespace kestrel::device {

// The one way a status code reaches the dispatcher. Send is synchronous: it returns when
// the dispatcher, on the front end's thread, has handled the code. Called on that thread it
// is a direct call, so a chain of window-thread operations nests inside the first Send.
class StatusChannel {
 public:
  virtual ~StatusChannel() = default;
  virtual void Send(Status code, std::uint32_t argument) = 0;
};

}  // namespace kestrel::device
