#pragma once

#include <memory>

#include "device/UsbBus.h"

namespace kestrel::device {

// The system's USB buses through libusb-0.1, which is not thread-safe by itself: its callers
// keep the rule of ProcessUsbLock (device/UsbLock.h).
std::unique_ptr<UsbBus> MakeRealUsbBus();

}  // namespace kestrel::device
