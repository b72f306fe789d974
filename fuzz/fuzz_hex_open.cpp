// Feeds arbitrary file contents to the FLASH and EEPROM open operations, as a user who picks
// any file would, and checks what the operation promises besides not crashing.
//
// Input layout: byte 0 picks the side (bit 0), the file name's extension (bits 1-2) and the
// chip (bits 3-7); chips past the table take their geometry from bytes 1-4 instead, which
// reaches page sizes of 0, negative counts and sizes beyond the image buffers. The rest is
// the file.

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chips/ChipGeometry.h"
#include "control/ImageFileOperations.h"
#include "control/WholeChipFiles.h"
#include "device/ProgrammerEngine.h"
#include "device/StatusCode.h"
#include "device/sim/SimulatedBus.h"
#include "image/HexFileReader.h"

namespace {

using kestrel::chips::ChipGeometry;
using namespace kestrel;

constexpr std::uint8_t kSentinel = 0x5A;  // marks buffer bytes the operation must not touch

// {flashPageWords, eepromPageBytes, flashPageCount, eepromPageCount}
constexpr std::array<ChipGeometry, 8> kChips{{
    {16, 4, 32, 16},      // the geometry before any pick
    {32, 4, 128, 128},    // ATtiny85
    {32, 4, 128, 128},    // ATmega8
    {64, 4, 256, 256},    // ATmega328P
    {128, 8, 512, 512},   // ATmega128
    {128, 8, 1024, 512},  // ATmega2560: both buffers full
    {0, 0, 0, 0},         // a catalogue entry without numbers
    {16, 4, -1, -5},      // negative counts
}};

constexpr std::array<const char*, 4> kExtensions{".hex", ".Hex", ".eep", ".bin"};

void Expect(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "fuzz_hex_open: %s\n", what);
  std::abort();
}

struct RecordingChannel : device::StatusChannel {
  void Send(device::Status code, std::uint32_t) override { codes.push_back(code); }
  std::vector<device::Status> codes;
};

struct View : control::HexViewPort {
  void Redraw() override { ++sets; }
  int sets = 0;
};

// The rest of the front end: message boxes are counted, the log and the pages are ignored.
struct Ports : control::MessageSink, control::LogSink, control::PageSwitch {
  void ShowMessage(const std::string&) override { ++messages; }
  void AppendLog(const std::string&) override {}
  void InsertLogLine(const std::string&) override {}
  void ShowPage(int) override {}
  std::string path;
  int messages = 0;
};

// Writes the input to a file of its own name, in memory where possible. Always a new file
// (the last one was removed): ext4 flushes a file that is cut to length 0 and rewritten, which
// slowed every input tenfold.
std::string WriteInput(const char* extension, std::string_view bytes) {
  static const std::string prefix = std::string(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                                    "/kestrel-fuzz-" + std::to_string(::getpid()) + "-input";
  const std::string path = prefix + extension;
  std::ofstream file(path, std::ios::binary);
  Expect(static_cast<bool>(file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()))),
         "cannot write the input file");
  return path;
}

// The engine and its buffers are made once: 640 KiB of buffers per input would dominate.
struct Fixture {
  device::SimulatedBus bus{device::SimulatorOptions{.programmerPresent = false}};
  device::ProgrammerLink link{bus};
  ChipGeometry geometry;
  RecordingChannel channel;
  device::ProgrammerEngine engine{link, geometry, channel};
};

// The harness's own scans go through memcmp: as instrumented loops they took most of the time
// of every input and taught the fuzzer nothing about the code under test.
bool AllBytesAre(const std::uint8_t* begin, const std::uint8_t* end, std::uint8_t value) {
  return begin == end ||
         (*begin == value && std::memcmp(begin, begin + 1, static_cast<std::size_t>(end - begin - 1)) == 0);
}

bool SameBytes(const std::uint8_t* a, const std::uint8_t* b, std::size_t count) {
  return count == 0 || std::memcmp(a, b, count) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  static Fixture fixture;
  const std::uint8_t selector = data[0];
  const bool eeprom = (selector & 1) != 0;
  const char* extension = kExtensions[(selector >> 1) & 3];
  const std::size_t chipIndex = selector >> 3;
  std::size_t header = 1;
  ChipGeometry geometry;
  if (chipIndex < kChips.size()) {
    geometry = kChips[chipIndex];
  } else {
    if (size < 5) return 0;
    geometry = {data[1], data[3], data[2] * 4, data[4] * 2};
    header = 5;
  }
  const std::string_view file(reinterpret_cast<const char*>(data) + header, size - header);

  fixture.geometry = geometry;
  fixture.channel.codes.clear();
  device::ChipMemories& memories = fixture.engine.memories();
  const device::MemoryKind kind = eeprom ? device::MemoryKind::Eeprom : device::MemoryKind::Flash;
  device::ChipBuffer& image = memories[kind].image;
  std::fill(image.begin(), image.end(), kSentinel);
  const std::size_t chipBytes = static_cast<std::size_t>(std::clamp<std::int64_t>(
      eeprom ? geometry.EepromSize() : geometry.FlashSize(), 0, static_cast<std::int64_t>(image.size())));

  Ports ports;
  ports.path = WriteInput(extension, file);
  // Kept between inputs, like the engine, so that no input pays for fresh 256 KiB pages.
  static View flashView, eepromView;
  flashView.sets = eepromView.sets = 0;
  int failures = 0;
  control::ImageContext context{fixture.engine, fixture.geometry,   flashView, eepromView, ports, ports,
                                ports,          [&] { ++failures; }};
  control::OpenImage(context, kind, ports.path);
  ::unlink(ports.path.c_str());

  Expect(fixture.channel.codes == std::vector<device::Status>{eeprom ? device::Status::EepromFileOpened
                                                                     : device::Status::FlashFileOpened},
         "the open operation must report exactly its own status");
  const std::uint8_t* const imageStart = image.data();
  const std::uint8_t* const imageEnd = image.data() + image.size();
  Expect(AllBytesAre(imageStart + chipBytes, imageEnd, kSentinel),
         "bytes beyond the chip's size were written");

  const View& view = eeprom ? eepromView : flashView;
  Expect(view.sets == 1 && view.buffer() == &image && view.length() == chipBytes,
         "the view must show the image over the chip's size");
  // What a binary file and a file of a kind the side does not read give is ImageFileOperationsTest's.
  if (std::string_view(extension) == ".bin" || (std::string_view(extension) == ".eep" && !eeprom)) return 0;
  // Nor is a file whose content is not HEX text: it is opened as what it holds.
  if (control::KindOfContent(file.substr(0, 4096), control::FileKind::Hex) != control::FileKind::Hex)
    return 0;

  // An accepted text gives the same image through the open operation as through the reader
  // on the plain text: the file route loses and adds nothing (zero bytes included). A refused
  // one counts as one failure and leaves the side cleared. A text too large for the chip may
  // still be a whole-chip file whose memory of this side is taken; if not, it also brings up
  // its message box.
  static std::vector<std::uint8_t> direct;
  direct.assign(chipBytes, 0xFF);
  const image::HexReadResult read = image::ReadHexImage(file, direct, static_cast<std::int64_t>(chipBytes));
  const std::int32_t code = read.code;
  const bool tooLarge = code == image::HexTooLarge;
  // A whole-chip file whose memories conflict, or with data in SRAM, is refused for that,
  // without the box.
  const image::HexRegionRead regions = tooLarge && read.extent > image::RegionWindow(image::Region::Flash)
                                           ? image::ReadHexRegions(file)
                                           : image::HexRegionRead{};
  const bool conflicting = regions.code == image::HexConflict ||
                           (regions.code == image::HexSuccess && regions.outsideAddress.has_value());
  Expect(read.length <= chipBytes, "the length beyond the chip's size");
  Expect(ports.messages == (tooLarge && !conflicting ? failures : 0),
         "a message box for a text that is not too large");
  Expect(failures == (code == image::HexSuccess ? 0 : 1) || (tooLarge && failures == 0),
         "a refused text must count as one failure");
  if (code != image::HexSuccess) {
    Expect(AllBytesAre(direct.data(), direct.data() + chipBytes, 0xFF),
           "a refused text changed the reader's destination");
    Expect(failures == 0 || AllBytesAre(imageStart, imageStart + chipBytes, 0xFF),
           "a refused text must leave the side cleared");
  } else {
    Expect(SameBytes(direct.data(), imageStart, chipBytes),
           "the open operation and the reader disagree on the image");
  }
  return 0;
}
