#include "device/sim/SimulatedBus.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
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

// One programmer with its chip or socket, its faults and its own request count. Its lock is
// held for the whole of a request, latency included: a programmer answers one at a time.
struct SimulatedBus::Slot {
  explicit Slot(const SimulatedChip& chip) : programmer(chip) {}
  std::mutex mutex;
  SimulatedProgrammer programmer;
  std::unique_ptr<SimulatedSocket> socket;
  std::uint32_t failAt = 0, unplugAt = 0;
  std::uint64_t requests = 0;   // its vendor requests; they number the requests for the faults
  std::uint64_t faultBase = 0;  // `requests` when the faults were armed
  bool unplugged = false;
  bool socketUnplug = false;  // the unplug is a socket chip's: the next scan replugs
};

struct SimulatedBus::Entry {
  SimulatedDevice device;
  std::string busName, deviceName;
  Slot* slot;                                     // its own chip, when it answers vendor requests
  std::chrono::steady_clock::time_point arrives;  // listed by the scans from then on
  bool listed = true;                             // still in the bus list, as of the last FindDevices
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
  const auto made = std::chrono::steady_clock::now();
  std::size_t programmers = 0;
  for (const auto& bus : options_.busses)
    programmers +=
        static_cast<std::size_t>(std::ranges::count_if(bus, &SimulatedDevice::answersVendorRequests));
  for (std::size_t b = 0; b < options_.busses.size(); ++b) {
    auto& entries = busses_.emplace_back();
    for (std::size_t d = 0; d < options_.busses[b].size(); ++d) {
      const SimulatedDevice& device = options_.busses[b][d];
      auto entry = std::make_unique<Entry>(Entry{device, Number(b + 1), Number(d + 2), nullptr, made});
      if (device.answersVendorRequests) {
        const std::size_t index = slots_.size();
        Slot& slot = *slots_.emplace_back(std::make_unique<Slot>(options_.chip));
        slot.programmer.emptyReplies = options_.emptyReplies;
        slot.programmer.fuses = options_.startFuses.value_or(slot.programmer.fuses);
        slot.programmer.lock = options_.startLock.value_or(slot.programmer.lock);
        slot.failAt = options_.failAt;
        slot.unplugAt = options_.unplugAt;
        const auto& plan = index < options_.socketPlans.size() && !options_.socketPlans[index].empty()
                               ? options_.socketPlans[index]
                               : options_.socketPlan;
        std::string dumps = options_.socketDumpFolder;
        if (!dumps.empty() && programmers > 1) {
          dumps += "/" + entry->busName + "-" + entry->deviceName;
          std::error_code error;
          std::filesystem::create_directories(dumps, error);
        }
        if (!plan.empty()) slot.socket = std::make_unique<SimulatedSocket>(plan, dumps);
        if (index + 1 == programmers)
          entry->arrives = made + std::chrono::milliseconds(options_.lastArrivesAfterMs);
        entry->slot = &slot;
      }
      entries.push_back(std::move(entry));
    }
  }
  if (slots_.empty()) slots_.push_back(std::make_unique<Slot>(options_.chip));
}

SimulatedBus::~SimulatedBus() = default;

SimulatedProgrammer& SimulatedBus::programmer(std::size_t index) {
  return slots_.at(index)->programmer;
}

const SimulatedSocket* SimulatedBus::socket(std::size_t index) const {
  return index < slots_.size() ? slots_[index]->socket.get() : nullptr;
}

void SimulatedBus::Init() {
  std::lock_guard lock(mutex_);
  ++initCalls_;
}

int SimulatedBus::FindBusses() {
  std::lock_guard lock(mutex_);
  return static_cast<int>(busses_.size());
}

// A programmer that has gone leaves the list here, as libusb drops vanished devices; one that
// has not arrived yet is not there.
int SimulatedBus::FindDevices() {
  std::lock_guard lock(mutex_);
  ++findDevicesCalls_;
  const auto now = std::chrono::steady_clock::now();
  int count = 0;
  for (auto& bus : busses_) {
    for (auto& entry : bus) {
      bool gone = now < entry->arrives;
      if (Slot* slot = entry->slot; slot != nullptr) {
        std::lock_guard programmer(slot->mutex);
        if (slot->socketUnplug && slot->unplugged) {
          slot->socket->TakeOut();
          slot->unplugged = slot->socketUnplug = false;
          slot->failAt = slot->unplugAt = 0;
        }
        gone = gone || slot->unplugged;
      }
      entry->listed = !gone && !entry->device.nodeInaccessible;
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
  if (entry->slot != nullptr) {
    std::lock_guard programmer(entry->slot->mutex);
    if (entry->slot->unplugged) return nullptr;
  }
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
  const auto* simHandle = dynamic_cast<Handle*>(handle);
  if (simHandle == nullptr) return -EINVAL;
  const SimulatedDevice& device = simHandle->entry.device;
  Slot* const slot = simHandle->entry.slot;
  std::unique_lock<std::mutex> programmer;
  if (slot != nullptr) programmer = std::unique_lock(slot->mutex);
  // What usbfs answers every request on this handle with before the device sees it, or 0.
  const auto nodeError = [slot, &device] {
    if (device.handleWithoutNode) return -EBADF;
    if (device.accessDenied) return -EPERM;
    return slot != nullptr && slot->unplugged ? -ENODEV : 0;
  };

  const bool vendor = (requestType & kVendorTypeMask) == kVendorType;
  if (!vendor) {
    if (const int error = nodeError(); error != 0) return error;
    if (requestType != kStandardDeviceIn || request != kGetDescriptor) return -EPIPE;
    return AnswerStringDescriptor(simHandle->entry, value, bytes, size);
  }
  if (options_.latencyMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(options_.latencyMs));

  RecordedRequest record;
  record.request = VendorRequest{static_cast<std::uint8_t>(requestType), static_cast<std::uint8_t>(request),
                                 static_cast<std::uint16_t>(value), static_cast<std::uint16_t>(index),
                                 static_cast<std::uint16_t>(size)};
  if ((requestType & 0x80) == 0 && size > 0) record.dataOut.assign(bytes, bytes + size);

  if (slot == nullptr) {
    record.result = nodeError() != 0 ? nodeError() : -EPIPE;
  } else {
    SimulatedProgrammer* chip = &slot->programmer;
    if (slot->socket && nodeError() == 0) {
      const SocketTurn turn = slot->socket->Take(record.request);
      chip = turn.programmer;
      if (turn.arrived != nullptr) {
        slot->failAt = turn.arrived->failAt;
        slot->unplugAt = turn.arrived->unplugAt;
        slot->faultBase = slot->requests;
        slot->socketUnplug = turn.arrived->unplugAt != 0;
      } else if (!slot->socket->occupied()) {
        slot->failAt = slot->unplugAt = 0;  // a chip's faults leave with it
      }
    }
    const std::uint64_t number = ++slot->requests - slot->faultBase;
    if (slot->unplugAt != 0 && number >= slot->unplugAt) slot->unplugged = true;
    if (const int error = nodeError(); error != 0) {
      record.result = error;
    } else if (slot->failAt != 0 && number == slot->failAt) {
      record.result = -ETIMEDOUT;
    } else {
      record.result = chip->Answer(record.request, bytes, size);
    }
  }
  if (programmer.owns_lock()) programmer.unlock();

  const int result = record.result;
  std::lock_guard lock(mutex_);
  Count(record);
  requests_.push_back(std::move(record));
  return result;
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
  for (const auto& slot : slots_) {
    std::lock_guard lock(slot->mutex);
    slot->failAt = failAt;
    slot->unplugAt = unplugAt;
    slot->faultBase = slot->requests;
    slot->unplugged = slot->socketUnplug = false;
  }
}

std::unique_ptr<UsbBus> MakeSimulatedBus(const SimulatorOptions& options) {
  return std::make_unique<SimulatedBus>(options);
}

}  // namespace kestrel::device
