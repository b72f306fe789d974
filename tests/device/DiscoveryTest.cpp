#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "device/ProgrammerLink.h"
#include "device/sim/SimulatedBus.h"

namespace kestrel::device {
namespace {

SimulatedDevice Stranger(std::u16string manufacturer = u"Quintavel", std::u16string product = u"Other PGR") {
  return {
      .manufacturer = std::move(manufacturer), .product = std::move(product), .answersVendorRequests = false};
}

SimulatorOptions Busses(std::vector<std::vector<SimulatedDevice>> busses) {
  SimulatorOptions options;
  options.busses = std::move(busses);
  return options;
}

struct Discovery {
  explicit Discovery(SimulatorOptions options) : bus(std::move(options)) {}
  int Open(bool withStrings = true) {
    return OpenProgrammer(bus, initDone, &handle, kProgrammerVendorId,
                          withStrings ? kProgrammerManufacturer : nullptr, kProgrammerProductId,
                          withStrings ? kProgrammerProduct : nullptr, &lastError);
  }
  // The opened device is the programmer when it answers a vendor request.
  bool HandleIsProgrammer() {
    std::uint8_t reply[8];
    return bus.ControlMsg(handle, 0xC0, 3, 0, 0, reply, 8, 5000) == 8;
  }
  ~Discovery() {
    if (handle != nullptr) bus.Close(handle);
  }
  SimulatedBus bus;
  bool initDone = false;
  UsbHandle* handle = nullptr;
  int lastError = 0;
};

TEST(OpenProgrammerTest, FindsTheProgrammerAndInitialisesOnlyOnce) {
  Discovery d{SimulatorOptions{}};
  EXPECT_EQ(d.Open(), OpenOk);
  ASSERT_NE(d.handle, nullptr);
  EXPECT_TRUE(d.HandleIsProgrammer());
  d.bus.Close(d.handle);
  d.handle = nullptr;
  EXPECT_EQ(d.Open(), OpenOk);
  EXPECT_EQ(d.bus.initCount(), 1);
  EXPECT_EQ(d.bus.findDevicesCount(), 2);
  EXPECT_EQ(d.bus.openHandleCount(), 1);
}

// The match is the first device with both ids and both strings; nothing after it is tried.
TEST(OpenProgrammerTest, PassesOverDevicesWithOtherStringsOrIdsAndStopsAtTheMatch) {
  const SimulatedDevice otherIds{.idProduct = 0x05DD, .answersVendorRequests = false};
  const SimulatedDevice cannotOpen{.openFails = true};
  Discovery d{Busses({{otherIds, Stranger()},
                      {},
                      {Stranger(u"Other", u"Vorne PGR"), SimulatedDevice{}, cannotOpen},
                      {cannotOpen}})};
  EXPECT_EQ(d.Open(), OpenOk);
  EXPECT_TRUE(d.HandleIsProgrammer());
  EXPECT_EQ(d.bus.openHandleCount(), 1) << "every stranger opened was closed again";
}

TEST(OpenProgrammerTest, ResultIsThatOfTheLastCandidate) {
  const SimulatedDevice cannotOpen{.openFails = true};
  const SimulatedDevice cannotRead{.stringReadFails = true};

  EXPECT_EQ(Discovery{Busses({{}})}.Open(), OpenNotFound);
  EXPECT_EQ(Discovery{Busses({{cannotOpen}})}.Open(), OpenAccessFailed);
  EXPECT_EQ(Discovery{Busses({{Stranger(), cannotOpen}})}.Open(), OpenAccessFailed);
  EXPECT_EQ(Discovery{Busses({{cannotOpen}, {Stranger()}})}.Open(), OpenNotFound);
  EXPECT_EQ(Discovery{Busses({{cannotOpen, cannotRead}})}.Open(), OpenStringFailed);

  Discovery stringFailure{Busses({{cannotRead}})};
  EXPECT_EQ(stringFailure.Open(), OpenStringFailed);
  EXPECT_EQ(stringFailure.handle, nullptr);
  EXPECT_EQ(stringFailure.bus.openHandleCount(), 0) << "the handle of a failed string read is closed";
  EXPECT_EQ(stringFailure.lastError, -EPIPE);
}

TEST(OpenProgrammerTest, StringsMatchExactlyAndCaseSensitively) {
  EXPECT_EQ(Discovery{Busses({{Stranger(u"quintavel", u"Vorne PGR")}})}.Open(), OpenNotFound);
  EXPECT_EQ(Discovery{Busses({{Stranger(u"Quintavel", u"Vorne PGR ")}})}.Open(), OpenNotFound);
  EXPECT_EQ(Discovery{Busses({{Stranger(u"Quintavel", u"Vorne")}})}.Open(), OpenNotFound);
}

TEST(OpenProgrammerTest, WithoutStringsTheFirstDeviceThatOpensIsTaken) {
  const SimulatedDevice cannotOpen{.openFails = true};
  SimulatedDevice unreadable = Stranger();
  unreadable.stringReadFails = true;
  Discovery d{Busses({{cannotOpen, unreadable, SimulatedDevice{}}})};
  EXPECT_EQ(d.Open(/*withStrings=*/false), OpenOk);
  EXPECT_EQ(d.bus.openHandleCount(), 1);
  EXPECT_FALSE(d.HandleIsProgrammer()) << "the stranger was taken";
}

// A bus whose only answer to every control transfer is the bytes given.
class CannedReplyBus : public UsbBus {
 public:
  explicit CannedReplyBus(std::vector<std::uint8_t> reply, int result = 0)
      : reply_(std::move(reply)), result_(result) {}
  void Init() override {}
  int FindBusses() override { return 0; }
  int FindDevices() override { return 0; }
  std::vector<std::vector<UsbDeviceInfo>> GetBusses() override { return {}; }
  UsbHandle* Open(const UsbDeviceInfo&) override { return nullptr; }
  void Close(UsbHandle*) override {}
  int ControlMsg(UsbHandle*, int requestType, int request, int value, int index, std::uint8_t* bytes,
                 int size, int timeoutMs) override {
    setup = {requestType, request, value, index, size, timeoutMs};
    if (result_ < 0) return result_;
    std::memcpy(bytes, reply_.data(), reply_.size());
    return static_cast<int>(reply_.size());
  }
  std::vector<int> setup;

 private:
  std::vector<std::uint8_t> reply_;
  int result_;
};

std::string ReadString(CannedReplyBus& bus, int capacity, int* result) {
  char text[300];
  std::memset(text, 'x', sizeof text);
  *result = ReadAsciiStringDescriptor(bus, nullptr, 2, kStringLanguageId, text, capacity);
  return std::string(text, strnlen(text, sizeof text));
}

TEST(ReadAsciiStringDescriptorTest, AsksForTheStringWithGetDescriptor) {
  CannedReplyBus bus({4, 3, 'A', 0});
  int result = 0;
  EXPECT_EQ(ReadString(bus, 255, &result), "A");
  EXPECT_EQ(result, 1);
  EXPECT_EQ(bus.setup, (std::vector<int>{0x80, 6, 0x0302, 0x0409, 256, 1000}));
}

TEST(ReadAsciiStringDescriptorTest, TakesTheShorterOfDescriptorAndReplyAndReplacesNonAscii) {
  std::vector<std::uint8_t> longest{255, 3};
  for (int i = 0; i < 126; ++i) longest.insert(longest.end(), {'z', 0});
  longest.push_back('z');
  const struct {
    std::vector<std::uint8_t> reply;
    int capacity;
    std::string text;
    int result;
  } cases[] = {
      {{6, 3, 0xC4, 0x00, 'b', 0x00}, 255, "?b", 2},        // U+00C4, 'b'
      {{8, 3, 0x2D, 0x4E, 'O', 0, 'K', 0}, 255, "?OK", 3},  // U+4E2D, "OK"
      {{4, 3, 'A', 0, 'B', 0}, 255, "A", 1},                // says 4 bytes, 6 arrived
      {{10, 3, 'A', 0, 'B', 0}, 255, "AB", 2},              // says 10 bytes, 6 arrived
      {{5, 3, 'A', 0, 'B'}, 255, "A", 1},                   // the half unit is dropped
      {{8, 3, 'A', 0, 'B', 0, 'C', 0}, 2, "AB", 2},         // capped by the caller
      {longest, 255, std::string(126, 'z'), 126},
      {{4, 2, 'A', 0}, 255, "", 0},  // not a string descriptor
      {{4}, 255, "", 0},
  };
  for (const auto& c : cases) {
    CannedReplyBus bus(c.reply);
    int result = -1;
    EXPECT_EQ(ReadString(bus, c.capacity, &result), c.text);
    EXPECT_EQ(result, c.result) << c.text;
  }
  CannedReplyBus failing({}, -ETIMEDOUT);
  int result = 0;
  ReadString(failing, 255, &result);
  EXPECT_EQ(result, -ETIMEDOUT);
}

TEST(ProgrammerLinkTest, OpenReplacesAndClosesTheOldHandle) {
  SimulatedBus bus;
  {
    ProgrammerLink link(bus);
    EXPECT_EQ(link.Open(), OpenOk);
    UsbHandle* first = link.deviceHandle;
    EXPECT_EQ(link.Open(), OpenOk);
    EXPECT_NE(link.deviceHandle, nullptr);
    EXPECT_NE(link.deviceHandle, first);
    EXPECT_EQ(bus.openHandleCount(), 1);
    EXPECT_EQ(link.lastOpenError, 0);
  }
  EXPECT_EQ(bus.openHandleCount(), 0) << "the link closes its handle when it ends";
}

TEST(ProgrammerLinkTest, FailedOpenKeepsNoHandleAndTellsWhy) {
  const SimulatedDevice cannotOpen{.openFails = true};
  const SimulatedDevice denied{.accessDenied = true};
  const struct {
    std::vector<SimulatedDevice> devices;
    int result;
    int error;
  } cases[] = {
      {{cannotOpen}, OpenAccessFailed, -EACCES}, {{denied}, OpenStringFailed, -EPERM}, {{}, OpenNotFound, 0}};
  for (const auto& c : cases) {
    SimulatedBus bus(Busses({c.devices}));
    ProgrammerLink link(bus);
    EXPECT_EQ(link.Open(), c.result);
    EXPECT_EQ(link.lastOpenError, c.error);
    EXPECT_EQ(link.deviceHandle, nullptr);
  }
}

TEST(ProgrammerLinkTest, AFailedOpenLeavesAnEarlierHandleInPlace) {
  SimulatedBus bus;
  ProgrammerLink link(bus);
  ASSERT_EQ(link.Open(), OpenOk);
  UsbHandle* handle = link.deviceHandle;
  std::uint8_t reply[8];
  bus.InjectFaults(0, 1);
  bus.ControlMsg(handle, 0xC0, 0, 0, 0, reply, 8, 5000);  // the programmer goes
  EXPECT_EQ(link.Open(), OpenNotFound);
  EXPECT_EQ(link.deviceHandle, handle);
}

}  // namespace
}  // namespace kestrel::device
