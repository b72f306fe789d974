#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "device/UsbBus.h"
#include "device/VendorProtocol.h"
#include "device/sim/SimulatedProgrammer.h"
#include "device/sim/SimulatedSocket.h"

namespace kestrel::device {

// One device on a simulated bus. By default it is the programmer; other IDs or strings make
// it a stranger that discovery must pass over.
struct SimulatedDevice {
  std::uint16_t idVendor = kProgrammerVendorId;
  std::uint16_t idProduct = kProgrammerProductId;
  std::u16string manufacturer = u"Quintavel";
  std::u16string product = u"Vorne PGR";
  bool answersVendorRequests = true;  // the simulated programmer sits behind it
  bool openFails = false;             // usb_open yields no handle
  bool stringReadFails = false;       // every string descriptor read fails with -EPIPE
  bool accessDenied = false;          // opens, then every control transfer fails with -EPERM
  // Opens without a node behind the handle, as libusb-0.1.12's usb_open does when its open
  // failed: every control transfer fails with -EBADF.
  bool handleWithoutNode = false;
  // Its node may not be opened at all: libusb-0.1's scan leaves it out, udev still knows it.
  bool nodeInaccessible = false;
};

struct SimulatorOptions {
  bool programmerPresent = true;  // false: the default bus is empty
  SimulatedChip chip;             // the chip of every programmer, each its own copy
  // Added to every vendor request. Each programmer answers one request at a time, as a real
  // link does, but different programmers answer at once.
  int latencyMs = 0;
  // Each programmer counts its own vendor requests from 1 for these faults.
  std::uint32_t failAt = 0;    // this vendor request fails with -ETIMEDOUT; 0: none
  std::uint32_t unplugAt = 0;  // from this vendor request on the programmer is gone (-ENODEV); 0: never
  // The buses and their devices in list order, named as libusb-0.1 names them: bus 001 on,
  // and on each bus device 002 on. Empty: one bus holding `programmers` programmers (or
  // nothing when the programmer is absent).
  std::vector<std::vector<SimulatedDevice>> busses;
  int programmers = 1;
  // The last programmer is plugged in (listed by the scans) only this long after the bus is
  // made; 0: it is there from the start.
  int lastArrivesAfterMs = 0;
  bool emptyReplies = false;  // see SimulatedProgrammer::emptyReplies
  // The fuses and lock the chip has been left with, when they are not the factory's.
  std::optional<std::array<std::uint8_t, 3>> startFuses;
  std::optional<std::uint8_t> startLock;
  // With chips planned, every programmer's socket takes them one after the other (see
  // SimulatedSocket) instead of holding `chip`, and the faults are those each chip brings.
  // socketPlans[i], when it is not empty, is the i-th programmer's own plan instead.
  std::vector<SocketChip> socketPlan;
  std::vector<std::vector<SocketChip>> socketPlans;
  // Empty: no dumps. With one programmer its dumps go straight into the folder; with more,
  // each programmer's into a folder of its own inside, named after its address: "001-002".
  std::string socketDumpFolder;
};

// What a low-speed USB link and the chip would take for each vendor request: the figures
// behind LinkStatistics, explained in docs/PERFORMANCE.md. A control transfer costs its setup
// and status stages and one 8-byte packet per started 8 bytes of its data stage; the chip's
// times are the datasheets' minimum wait delays (ATmega328P's; the FLASH page write, 4.5 ms,
// is the same on the ATtiny85 and the ATmega2560).
namespace link_model {
inline constexpr double kTransferSeconds = 1.0e-3;    // setup and status stages, frame start
inline constexpr double kPacketSeconds = 0.125e-3;    // one 8-byte data packet
inline constexpr double kFlashPageSeconds = 4.5e-3;   // tWD_FLASH
inline constexpr double kEepromPageSeconds = 3.6e-3;  // tWD_EEPROM
inline constexpr double kChipEraseSeconds = 9.0e-3;   // tWD_ERASE
inline constexpr double kFuseByteSeconds = 4.5e-3;    // tWD_FUSE, per fuse or lock byte
}  // namespace link_model

// The vendor requests the bus has carried, their data stages, and the modelled time.
struct LinkStatistics {
  std::uint64_t requests = 0;
  std::uint64_t bytesOut = 0;  // data stages from the host
  std::uint64_t bytesIn = 0;   // data stages to the host
  double transferSeconds = 0;  // the control transfers on the link
  double chipSeconds = 0;      // the chip writing and erasing
};

// A vendor request as the bus received it.
struct RecordedRequest {
  VendorRequest request;
  std::vector<std::uint8_t> dataOut;  // the bytes of a host-to-device data stage
  int result = 0;                     // what the bus returned for it
};

// A USB bus with the simulated programmers (and whatever other devices the options list).
// Requests to different programmers may come from different threads at once; one thread may
// read the state afterwards.
class SimulatedBus : public UsbBus {
 public:
  explicit SimulatedBus(SimulatorOptions options = {});
  ~SimulatedBus() override;

  void Init() override;
  int FindBusses() override;
  int FindDevices() override;
  std::vector<std::vector<UsbDeviceInfo>> GetBusses() override;
  UsbHandle* Open(const UsbDeviceInfo& device) override;
  bool HasInaccessibleDevice(std::uint16_t vendorId, std::uint16_t productId,
                             const std::string& address) override;
  void Close(UsbHandle* handle) override;
  int ControlMsg(UsbHandle* handle, int requestType, int request, int value, int index, std::uint8_t* bytes,
                 int size, int timeoutMs) override;

  // The chip of the `index`-th programmer (of the devices that answer vendor requests, in list
  // order); touch it only while no request is under way.
  SimulatedProgrammer& programmer(std::size_t index = 0);
  // The socket of the `index`-th programmer, when chips are planned for it; touch it only while
  // no request is under way.
  const SimulatedSocket* socket(std::size_t index = 0) const;
  std::vector<RecordedRequest> requests() const;
  void ClearRequests();
  LinkStatistics linkStatistics() const;
  int openHandleCount() const;
  int initCount() const;
  int findDevicesCount() const;
  // Plugs every programmer back in and re-arms the faults, each counting from its next vendor
  // request as 1.
  void InjectFaults(std::uint32_t failAt, std::uint32_t unplugAt);

 private:
  struct Slot;
  struct Entry;
  struct Handle;
  int AnswerStringDescriptor(const Entry& entry, int value, std::uint8_t* bytes, int size) const;
  void Count(const RecordedRequest& record);

  // Guards the lists, the record and the counts; a request holds it only to be recorded, after
  // its programmer's own lock is released (never both the other way round).
  mutable std::mutex mutex_;
  SimulatorOptions options_;
  std::vector<std::unique_ptr<Slot>> slots_;  // one per programmer; at least one, if unused
  std::vector<std::vector<std::unique_ptr<Entry>>> busses_;
  std::vector<RecordedRequest> requests_;
  LinkStatistics statistics_;
  int openHandles_ = 0;
  int initCalls_ = 0;
  int findDevicesCalls_ = 0;
};

// The bus behind --simulate.
std::unique_ptr<UsbBus> MakeSimulatedBus(const SimulatorOptions& options);

}  // namespace kestrel::device
