#include "device/StatusCode.h"

namespace kestrel::device {

namespace {

// The codes the dispatcher reports as what they say; anything else is a failure to it.
bool IsListedStatus(std::uint32_t code) {
  return code <= status::LockWritten || code == status::PageWritten || code == status::PageRead ||
         code == status::FlashWritten || code == status::EepromWritten || code == status::FlashRead ||
         code == status::EepromRead || code == status::FlashVerified || code == status::EepromVerified ||
         (code >= status::FlashFileOpened && code <= status::FlashFileSaved);
}

}  // namespace

bool IsFailureStatus(std::uint32_t code) {
  return !IsListedStatus(code);
}

bool IsProgressStatus(std::uint32_t code) {
  return code == status::PageWritten || code == status::PageRead;
}

}  // namespace kestrel::device
