#pragma once

#include <memory>

#include "device/UsbBus.h"

namespace kestrel::device {

// The system's USB buses through libusb-0.1. Not thread-safe, like libusb-0.1 itself.
std::unique_ptr<UsbBus> MakeRealUsbBus();

}  // namespace kestrel::device
