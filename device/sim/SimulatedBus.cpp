#include "device/sim/SimulatedBus.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <iterator>
#include <thread>

namespace kestrel::device {

namespace {

constexpr int kVendorTypeMask = 0x60;
constexpr int kVendorType = 0x40;
constexpr std::uint8_t kManufacturerIndex = 1;
constexpr std::uint8_t kProductIndex = 2;

// A string descriptor as a device sends it: length, type 3, UTF-16LE units.
std::vector<std::uint8_t> StringDescriptor(const std::u16string& text) {
  const std::size_t units = std::min<std::size_t>(text.size(), 126);
  std::vector<std::uint8_t> descriptor{static_cast<std::uint8_t>(2 + units * 2), kStringDescriptorType};
  for (std::size_t i = 0; i < units; ++i) {
    descriptor.push_back(static_cast<std::uint8_t>(text[i] & 0xFF));
    descriptor.push_back(static_cast<std::uint8_t>(text[i] >> 8));
  }
  return descriptor;
}

// A bus or device number as libusb-0.1 names it: three decimal digits.
std::string Number(std::size_t number) {
  std::string digits = std::to_string(number);
  return std::string(digits.size() < 3 ? 3 - digits.size() : 0, '0') + digits;
}

}  // namespace

struct SimulatedBus::Entry {
  SimulatedDevice device;
  std::string busName, deviceName;
  SimulatedProgrammer* programmer;  // its own chip, when it answers vendor requests
  bool listed = true;               // still in the bus list, as of the last FindDevices
};

struct SimulatedBus::Handle : UsbHandle {
  explicit Handle(const Entry& entry) : entry(entry) {}
  const Entry& entry;
};

SimulatedBus::SimulatedBus(SimulatorOptions options) : options_(std::move(options)) {
  if (options_.busses.empty()) {
    options_.busses.emplace_back();
    if (options_.programmerPresent) options_.busses.back().resize(std::max(options_.programmers, 0));
  }
  for (std::size_t b = 0; b < options_.busses.size(); ++b) {
    auto& entries = busses_.emplace_back();
    for (std::size_t d = 0; d < options_.busses[b].size(); ++d) {
      const SimulatedDevice& device = options_.busses[b][d];
      SimulatedProgrammer* programmer = nullptr;
      if (device.answersVendorRequests) {
        programmer = programmers_.emplace_back(std::make_unique<SimulatedProgrammer>(options_.chip)).get();
        programmer->emptyReplies = options_.emptyReplies;
        programmer->fuses = options_.startFuses.value_or(programmer->fuses);
        programmer->lock = options_.startLock.value_or(programmer->lock);
      }
      entries.push_back(std::make_unique<Entry>(Entry{device, Number(b + 1), Number(d + 2), programmer}));
    }
  }
  if (programmers_.empty()) programmers_.push_back(std::make_unique<SimulatedProgrammer>(options_.chip));
  if (!options_.socketPlan.empty())
    socket_ = std::make_unique<SimulatedSocket>(std::move(options_.socketPlan), options_.socketDumpFolder);
}

SimulatedBus::~SimulatedBus() = default;

void SimulatedBus::Init() {
  std::lock_guard lock(mutex_);
  ++initCalls_;
}

int SimulatedBus::FindBusses() {
  std::lock_guard lock(mutex_);
  return static_cast<int>(busses_.size());
}

// A programmer that has gone leaves the list here, as libusb drops vanished devices.
int SimulatedBus::FindDevices() {
  std::lock_guard lock(mutex_);
  ++findDevicesCalls_;
  if (socketUnplug_ && unplugged_) {
    socket_->TakeOut();
    unplugged_ = socketUnplug_ = false;
    options_.failAt = options_.unplugAt = 0;
  }
  int count = 0;
  for (auto& bus : busses_) {
    for (auto& entry : bus) {
      entry->listed = !(unplugged_ && entry->device.answersVendorRequests) && !entry->device.nodeInaccessible;
      count += entry->listed ? 1 : 0;
    }
  }
  return count;
}

std::vector<std::vector<UsbDeviceInfo>> SimulatedBus::GetBusses() {
  std::lock_guard lock(mutex_);
  std::vector<std::vector<UsbDeviceInfo>> busses;
  for (const auto& bus : busses_) {
    auto& infos = busses.emplace_back();
    for (const auto& entry : bus) {
      if (!entry->listed) continue;
      infos.push_back(UsbDeviceInfo{entry->device.idVendor, entry->device.idProduct, kManufacturerIndex,
                                    kProductIndex, entry.get(), entry->busName, entry->deviceName});
    }
  }
  return busses;
}

UsbHandle* SimulatedBus::Open(const UsbDeviceInfo& device) {
  std::lock_guard lock(mutex_);
  const auto* entry = static_cast<const Entry*>(device.device);
  if (entry == nullptr || entry->device.openFails) return nullptr;
  if (unplugged_ && entry->device.answersVendorRequests) return nullptr;
  ++openHandles_;
  return new Handle(*entry);
}

bool SimulatedBus::HasInaccessibleDevice(std::uint16_t vendorId, std::uint16_t productId,
                                         const std::string& address) {
  std::lock_guard lock(mutex_);
  for (const auto& bus : busses_) {
    for (const auto& entry : bus) {
      const SimulatedDevice& device = entry->device;
      if (device.nodeInaccessible && device.idVendor == vendorId && device.idProduct == productId &&
          (address.empty() || address == entry->busName + ":" + entry->deviceName))
        return true;
    }
  }
  return false;
}

void SimulatedBus::Close(UsbHandle* handle) {
  if (handle == nullptr) return;
  std::lock_guard lock(mutex_);
  --openHandles_;
  delete handle;
}

int SimulatedBus::ControlMsg(UsbHandle* handle, int requestType, int request, int value, int index,
                             std::uint8_t* bytes, int size, int /*timeoutMs*/) {
  const bool vendor = (requestType & kVendorTypeMask) == kVendorType;
  if (vendor && options_.latencyMs > 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(options_.latencyMs));

  std::lock_guard lock(mutex_);
  const auto* simHandle = dynamic_cast<Handle*>(handle);
  if (simHandle == nullptr) return -EINVAL;
  const SimulatedDevice& device = simHandle->entry.device;
  // What usbfs answers every request on this handle with before the device sees it, or 0.
  const auto nodeError = [this, &device] {
    if (device.handleWithoutNode) return -EBADF;
    if (device.accessDenied) return -EPERM;
    return unplugged_ && device.answersVendorRequests ? -ENODEV : 0;
  };

  if (!vendor) {
    if (const int error = nodeError(); error != 0) return error;
    if (requestType != kStandardDeviceIn || request != kGetDescriptor) return -EPIPE;
    return AnswerStringDescriptor(simHandle->entry, value, bytes, size);
  }

  RecordedRequest record;
  record.request = VendorRequest{static_cast<std::uint8_t>(requestType), static_cast<std::uint8_t>(request),
                                 static_cast<std::uint16_t>(value), static_cast<std::uint16_t>(index),
                                 static_cast<std::uint16_t>(size)};
  if ((requestType & 0x80) == 0 && size > 0) record.dataOut.assign(bytes, bytes + size);

  SimulatedProgrammer* programmer = simHandle->entry.programmer;
  if (socket_ && programmer == programmers_.front().get() && nodeError() == 0) {
    const SocketTurn turn = socket_->Take(record.request);
    programmer = turn.programmer;
    if (turn.arrived != nullptr) {
      options_.failAt = turn.arrived->failAt;
      options_.unplugAt = turn.arrived->unplugAt;
      faultBase_ = statistics_.requests;
      socketUnplug_ = turn.arrived->unplugAt != 0;
    } else if (!socket_->occupied()) {
      options_.failAt = options_.unplugAt = 0;  // a chip's faults leave with it
    }
  }
  const std::uint64_t number = statistics_.requests + 1 - faultBase_;
  if (options_.unplugAt != 0 && number >= options_.unplugAt) unplugged_ = true;
  if (const int error = nodeError(); error != 0) {
    record.result = error;
  } else if (options_.failAt != 0 && number == options_.failAt) {
    record.result = -ETIMEDOUT;
  } else if (!device.answersVendorRequests) {
    record.result = -EPIPE;
  } else {
    record.result = programmer->Answer(record.request, bytes, size);
  }
  Count(record);
  requests_.push_back(std::move(record));
  return requests_.back().result;
}

void SimulatedBus::Count(const RecordedRequest& record) {
  using namespace link_model;
  // The chip's own time by command number: an unlock erases and writes the fuses back.
  static constexpr double kChipSeconds[] = {
      0,                                         // Ready
      kChipEraseSeconds + 3 * kFuseByteSeconds,  // Unlock
      kChipEraseSeconds,                         // EraseChip
      0,                                         // ReadSignature
      0,                                         // ReadCalibration
      0,                                         // ReadFuseLock
      3 * kFuseByteSeconds,                      // WriteFuses
      kFuseByteSeconds,                          // WriteLock
      kFlashPageSeconds,                         // WriteFlashPage
      kEepromPageSeconds,                        // WriteEepromPage
  };
  const bool out = (record.request.requestType & 0x80) == 0;
  const auto moved = static_cast<std::uint64_t>(out ? record.request.length : std::max(record.result, 0));
  ++statistics_.requests;
  (out ? statistics_.bytesOut : statistics_.bytesIn) += record.result >= 0 ? moved : 0;
  statistics_.transferSeconds += kTransferSeconds + static_cast<double>((moved + 7) / 8) * kPacketSeconds;
  const std::size_t command = record.request.request & 0x0F;
  if (record.result >= 0 && command < std::size(kChipSeconds)) {
    statistics_.chipSeconds += kChipSeconds[command];
  }
}

int SimulatedBus::AnswerStringDescriptor(const Entry& entry, int value, std::uint8_t* bytes, int size) const {
  if (entry.device.stringReadFails) return -EPIPE;
  if ((value >> 8) != kStringDescriptorType) return -EPIPE;
  std::vector<std::uint8_t> descriptor;
  switch (value & 0xFF) {
    case 0:
      descriptor = {4, kStringDescriptorType, 0x09, 0x04};
      break;
    case kManufacturerIndex:
      descriptor = StringDescriptor(entry.device.manufacturer);
      break;
    case kProductIndex:
      descriptor = StringDescriptor(entry.device.product);
      break;
    default:
      return -EPIPE;
  }
  const int count = std::clamp(static_cast<int>(descriptor.size()), 0, std::max(size, 0));
  std::copy_n(descriptor.begin(), count, bytes);
  return count;
}

std::vector<RecordedRequest> SimulatedBus::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void SimulatedBus::ClearRequests() {
  std::lock_guard lock(mutex_);
  requests_.clear();
}

LinkStatistics SimulatedBus::linkStatistics() const {
  std::lock_guard lock(mutex_);
  return statistics_;
}

int SimulatedBus::openHandleCount() const {
  std::lock_guard lock(mutex_);
  return openHandles_;
}

int SimulatedBus::initCount() const {
  std::lock_guard lock(mutex_);
  return initCalls_;
}

int SimulatedBus::findDevicesCount() const {
  std::lock_guard lock(mutex_);
  return findDevicesCalls_;
}

void SimulatedBus::InjectFaults(std::uint32_t failAt, std::uint32_t unplugAt) {
  std::lock_guard lock(mutex_);
  options_.failAt = failAt;
  options_.unplugAt = unplugAt;
  faultBase_ = statistics_.requests;
  unplugged_ = false;
}

std::unique_ptr<UsbBus> MakeSimulatedBus(const SimulatorOptions& options) {
  return std::make_unique<SimulatedBus>(options);
}

}  // namespace kestrel::device
