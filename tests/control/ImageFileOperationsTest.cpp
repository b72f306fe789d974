// The operations on image files and the verify report, both over an ImageContext.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "CoreRig.h"
#include "base/Texts.h"
#include "control/ImageFileOperations.h"
#include "control/VerifyReport.h"
#include "image/HexFileReader.h"
#include "image/HexTestText.h"

namespace kestrel::control {
namespace {

namespace fs = std::filesystem;
using image::testing::DataRecord;
using image::testing::kEnd;
using ::testing::ElementsAre;
using Codes = std::vector<device::Status>;
using FileOperation = void (*)(ImageContext&, MemoryKind, const std::string&);
using enum device::MemoryKind;

class ImageFileOperationsTest : public ::testing::Test {
 protected:
  ~ImageFileOperationsTest() override { fs::remove_all(folder); }

  // The path of `name` in the test's own folder, holding `bytes` unless none are given.
  std::string File(const std::string& name, std::optional<std::string> bytes = std::nullopt) {
    fs::create_directories(folder);
    if (bytes) std::ofstream(folder / name, std::ios::binary) << *bytes;
    return folder / name;
  }
  std::string Contents(const std::string& name) const {
    std::ifstream in(folder / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  const fs::path folder = fs::temp_directory_path() / ("kestrel-files-" + std::to_string(::getpid()));
  CoreRig rig;
};

// A binary larger than the chip or empty leaves no image; the content, not the name, tells the
// format.
TEST_F(ImageFileOperationsTest, OpensAndSavesEachSideOverTheChipSize) {
  const std::string kFlashCleared = "FLASH窗口页已清空：没有载入的文件";
  auto& flash = rig.memories[Flash].image;
  flash.assign(flash.size(), 0x00);
  OpenImage(rig.context, Flash, File("long.BIN", std::string(1025, '\x33')));
  OpenImage(rig.context, Flash, File("short.bin", std::string(100, '\x11')));
  EXPECT_EQ(
      std::count(flash.begin(), flash.begin() + 100, 0x11) + std::count(flash.begin(), flash.end(), 0xFF),
      1024);
  OpenImage(rig.context, Flash, File("empty.bin", ""));
  OpenImage(rig.context, Flash, File("short.bin", std::string(100, '\x11')));
  OpenImage(rig.context, Flash, File("prog.bin", DataRecord(0x100, {0x0C, 0x94}) + kEnd));  // HEX text
  OpenImage(rig.context, Eeprom, File("data.eEp", DataRecord(2, {0xAA}) + kEnd));
  EXPECT_EQ(rig.frontEnd.pages.back(), EepromPage);
  EXPECT_TRUE(rig.frontEnd.flashView.buffer() == &flash && rig.frontEnd.flashView.length() == 1024);
  EXPECT_EQ(flash[0x400], 0x00);  // beyond the chip
  SaveImage(rig.context, Flash, File("flash.bin", "old contents"));
  SaveImage(rig.context, Eeprom, File("eeprom.bin"));
  EXPECT_THAT(rig.lines(), ElementsAre(texts::kFlashBinTruncatedLine,
                                       "文件 long.BIN 有1025字节，所选器件的FLASH只有1024字节：文件未读入",
                                       kFlashCleared, "读入文件 short.bin 到FLASH窗口页【   100字节】.",
                                       "文件 empty.bin 未读入：文件是空的", kFlashCleared,
                                       "读入文件 short.bin 到FLASH窗口页【   100字节】.",
                                       "文件 prog.bin 按其内容读作Intel HEX，与扩展名不符",
                                       "读入文件 prog.bin 到FLASH窗口页【   258字节】.",
                                       "读入文件 data.eEp 到EEPROM窗口页【     3字节】.",
                                       texts::kFlashSavedLine, File("flash.bin") + "【   258字节】",
                                       texts::kEepromSavedLine, File("eeprom.bin") + "【     3字节】"));
  EXPECT_EQ(Contents("flash.bin"), std::string(0x100, '\xFF') + "\x0C\x94");
  EXPECT_EQ(Contents("eeprom.bin"), "\xFF\xFF\xAA");
  using enum device::Status;
  EXPECT_EQ(rig.status.codes, Codes({FlashFileOpened, FlashFileOpened, FlashFileOpened, FlashFileOpened,
                                     FlashFileOpened, EepromFileOpened, FlashFileSaved, EepromFileSaved}));
  EXPECT_EQ(rig.failures, 2) << "a binary larger than the chip, and an empty one, leave no image";
  EXPECT_TRUE(rig.memories[Flash].imageLoaded && rig.memories[Eeprom].imageLoaded);
}

// A save stores what the view shows, here a read-back. A HEX save ends at the last byte that is
// not 0xFF, wherever it falls in a record; the 0xFF before it stays in the file.
// Every file Kestrel saves opens again with the same bytes, in the format its name asks for;
// the last byte that is not 0xFF at a record's end, a record's start and the memory's end.
TEST_F(ImageFileOperationsTest, EverySavedFileReopensByteForByte) {
  const std::tuple<MemoryKind, const char*, bool> saves[] = {{Flash, "saved.hex", true},
                                                             {Flash, "saved.ihex", true},
                                                             {Flash, "saved.bin", false},
                                                             {Flash, "saved.dat", false},
                                                             {Eeprom, "saved.eep", true}};
  for (const auto& [kind, name, hex] : saves) {
    const int size = kind == Flash ? 1024 : 64;
    for (const int last : {0, 0x10F, 0x110, size - 1}) {
      if (last >= size) continue;
      std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size), 0xFF);
      for (int i = 0; i <= last; i += 3) bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
      bytes[static_cast<std::size_t>(last)] = 0x5A;
      device::Memory& memory = rig.memories[kind];
      std::copy(bytes.begin(), bytes.end(), memory.readback.begin());
      ShowReadback(rig.frontEnd.View(kind), memory, bytes.size());
      SaveImage(rig.context, kind, File(name));
      EXPECT_EQ(Contents(name).front() == ':', hex) << name;
      // A name that no open takes is copied to one that it does.
      const std::string reopened =
          std::string(name) == "saved.dat" ? File("dat.bin", Contents(name)) : File(name);
      OpenImage(rig.context, kind, reopened);
      EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), memory.image.begin())) << name << " " << last;
    }
  }
  EXPECT_EQ(rig.failures, 0);
  EXPECT_THAT(rig.lines(),
              ::testing::Contains("文件 saved.dat 按二进制保存：扩展名不是 hex、eep、ihex 或 bin"));
  SaveImage(rig.context, Flash, File("saved.elf"));
  EXPECT_EQ(rig.lines().back(), "文件 " + File("saved.elf") + " 未保存：Kestrel不写ELF文件");
  EXPECT_EQ(rig.failures, 1);

  // A file image saved as HEX holds only what its file (and an edit) gave: a bootloader at the
  // top stays one record, not a FLASH of 0xFF below it.
  OpenImage(rig.context, Flash, File("boot.hex", DataRecord(0x3F0, {1, 2, 0xFF}) + kEnd));
  rig.frontEnd.View(Flash).Edit(0x3F4, 0xFF);
  SaveImage(rig.context, Flash, File("boot-saved.hex"));
  EXPECT_EQ(Contents("boot-saved.hex"), DataRecord(0x3F0, {1, 2, 0xFF}) + DataRecord(0x3F4, {0xFF}) + kEnd);
}

// A whole-chip HEX file gives each side its own memory; a plain one too large for the chip is refused.
TEST_F(ImageFileOperationsTest, AWholeChipHexFileGivesEachSideItsOwnMemory) {
  const std::string whole =
      DataRecord(0, {0x0C}) + image::testing::BaseRecord(4, 0x81) + DataRecord(1, {0xEE}) + kEnd;
  OpenImage(rig.context, Eeprom, File("whole.hex", whole));
  OpenImage(rig.context, Flash, File("big.hex", DataRecord(0x500, {1}) + kEnd));
  EXPECT_EQ(rig.memories[Eeprom].image[1], 0xEE);
  EXPECT_THAT(rig.lines(),
              ElementsAre("文件 whole.hex 中的FLASH未读入EEPROM窗口页",
                          "读入文件 whole.hex 到EEPROM窗口页【     2字节】.",
                          std::string("文件 big.hex 未读入：") + texts::kFlashHexTooLarge.c_str(),
                          "数据到 0x500，所选器件的FLASH止于 0x3FF", "FLASH窗口页已清空：没有载入的文件"));
}

TEST_F(ImageFileOperationsTest, RefusesWhatItCannotReadAndLeavesThatSideWithoutAnImage) {
  const std::string badSum = DataRecord(0, {1, 2}) + image::testing::HexRecord(0, 2, {3}, 1) + "\n" + kEnd;
  const std::string tooLarge = texts::kEepromHexTooLarge;
  const std::string flashCleared = "FLASH窗口页已清空：没有载入的文件";
  const std::string eepromCleared = "EEPROM窗口页已清空：没有载入的文件";
  struct Case {
    FileOperation operation;
    MemoryKind kind;
    std::string path;
    std::vector<std::string> lines;
  } const cases[] = {
      {OpenImage,
       Flash,
       File("a.eep", ""),
       {"文件 a.eep 的类型不能读入FLASH窗口页（可用：hex、bin、elf）", flashCleared}},
      {OpenImage,
       Eeprom,
       File("hex", ""),
       {"文件 hex 的类型不能读入EEPROM窗口页（可用：hex、eep、bin、elf）", eepromCleared}},
      {OpenImage,
       Flash,
       File("gone.bin"),
       {"无法读取文件 " + File("gone.bin") + "：No such file or directory", flashCleared}},
      {OpenImage,
       Flash,
       File("b.hex", badSum),
       {"文件 b.hex 未读入：第 2 行：Hex file checksum error.", flashCleared}},
      {OpenImage,
       Flash,
       File("d.hex", DataRecord(0, {1}) + ";" + DataRecord(1, {2}).substr(1) + kEnd),
       {"文件 d.hex 未读入：第 2 行：不是Intel HEX记录", flashCleared}},
      {OpenImage,
       Flash,
       File("e.hex", image::testing::HexRecord(6, 0, {}) + "\n" + kEnd),
       {"文件 e.hex 未读入：第 1 行：未知的记录类型 06", flashCleared}},
      {OpenImage,
       Flash,
       File("f.hex", DataRecord(0x20, {1, 2}) + DataRecord(0x10, {3}) + DataRecord(0x21, {4}) + kEnd),
       {"文件 f.hex 未读入：第 1 行与第 3 行给出地址 0x0021 的不同字节", flashCleared}},
      {OpenImage,
       Flash,  // a whole-chip file, its EEPROM in conflict
       File("g.hex", DataRecord(0, {1}) + image::testing::BaseRecord(4, 0x81) + DataRecord(0, {1}) +
                         DataRecord(0, {2}) + kEnd),
       {"文件 g.hex 未读入：第 3 行与第 4 行给出地址 0x810000 的不同字节", flashCleared}},
      {OpenImage, Eeprom, File("h.eep", kEnd), {"文件 h.eep 未读入：文件是空的", eepromCleared}},
      {OpenImage,  // made for an ATmega328P, the ATtiny85 selected
       Flash,
       File("i.hex", DataRecord(0, {1}) + image::testing::BaseRecord(4, 0x84) +
                         DataRecord(0, {0x0F, 0x95, 0x1E}) + kEnd),
       {"文件 i.hex 的签名 1E 95 0F 与所选器件 ATtiny85（1E 93 0B）不符，未读入", flashCleared}},
      {OpenImage,
       Flash,
       File("j.hex",
            DataRecord(0, {1}) + image::testing::BaseRecord(4, 0x84) + DataRecord(0, {0x0B, 0x93}) + kEnd),
       {"文件 j.hex 未读入：签名区有2字节，应为3字节", flashCleared}},
      {OpenImage,
       Eeprom,
       File("c.eep", DataRecord(63, {1, 2}) + kEnd),
       {"文件 c.eep 未读入：" + tooLarge, "数据到 0x40，所选器件的EEPROM止于 0x3F", eepromCleared}},
      {OpenImage,  // avr-gcc's run address of .data
       Flash,
       File("k.hex", image::testing::BaseRecord(4, 0x80) + DataRecord(0x100, {1}) + kEnd),
       {"文件 k.hex 未读入：地址 0x800100 在SRAM中，编程器不能写入", flashCleared}},
      {SaveImage,
       Flash,
       File("no/x.bin"),
       {"保存文件 " + File("no/x.bin") + " 失败：No such file or directory；原有文件未改动"}},
  };
  chips::ChipFacts tiny85;
  tiny85.name = "ATtiny85";
  tiny85.signature = {0x1E, 0x93, 0x0B};
  const chips::ChipFacts* const selected = &tiny85;
  for (const Case& c : cases) {
    auto rig = std::make_unique<CoreRig>();
    rig->context.selected = &selected;
    for (device::Memory& memory : rig->memories.entries) memory.image[5] = 0x12, memory.imageLoaded = true;
    c.operation(rig->context, c.kind, c.path);
    EXPECT_EQ(rig->lines(), c.lines);
    EXPECT_EQ(rig->frontEnd.messages, std::vector<std::string>(c.lines[0].ends_with(tooLarge), tooLarge));
    EXPECT_EQ(rig->failures, 1) << c.path;
    EXPECT_EQ(rig->status.codes.size(), 1u) << c.path;
    const bool open = c.operation == OpenImage, flash = open && c.kind == Flash,
               eeprom = open && c.kind == Eeprom;
    EXPECT_EQ(rig->memories[Flash].imageLoaded, !flash);
    EXPECT_EQ(rig->memories[Eeprom].imageLoaded, !eeprom);
    EXPECT_EQ(rig->memories[Flash].image[5], flash ? 0xFF : 0x12) << c.path;
    EXPECT_EQ(rig->memories[Eeprom].image[5], eeprom ? 0xFF : 0x12) << c.path;
  }
}

TEST(VerifyReport, ListsEveryDifferenceInAddressOrderInCapitalsQuietlyOnlyWhenTheUsedLengthsAgree) {
  CoreRig rig;
  for (device::Memory& memory : rig.memories.entries) memory.readbackValid = true;
  rig.memories[Eeprom].image[63] = 0x00;  // the read-back ends earlier
  Verify(rig.context, Eeprom, false);
  rig.geometry.flashPageCount = 10000;  // beyond the buffer: compared up to its end
  auto& image = rig.memories[Flash].image;
  auto& readback = rig.memories[Flash].readback;
  image[0x0A] = readback[0x00] = 0xAB;
  image[0x00] = readback[0x0A] = 0x00;
  image[0x3FFFF] = 0x3C;
  readback[0x3FFFF] = 0x01;
  Verify(rig.context, Flash, false);
  EXPECT_THAT(
      rig.lines(),
      ElementsAre(texts::kEepromVerifyBegin, "数据总数不同！！！", texts::kEepromVerifyEnd,
                  texts::kFlashVerifyBegin, "〖000001〗地址：【00000】写：00  读：AB",
                  "〖000002〗地址：【0000A】写：AB  读：00", "〖000003〗地址：【3FFFF】写：3C  读：01",
                  "共发现     3个单元不对!", texts::kFlashVerifyEnd));
  EXPECT_EQ(std::count(rig.frontEnd.pages.begin(), rig.frontEnd.pages.end(), LogPage),
            6);  // the appended only
  EXPECT_EQ(rig.status.codes, Codes({device::Status::EepromVerifyFailed, device::Status::FlashVerifyFailed}));
  readback = image;
  Verify(rig.context, Flash, false);
  EXPECT_EQ(rig.lines().end()[-2], "共发现     0个单元不对!");
  EXPECT_EQ(rig.status.codes.back(), device::Status::FlashVerified);
  rig.memories[Flash].readbackValid = false;  // equal bytes, but not (all) read from the chip
  Verify(rig.context, Flash, false);
  EXPECT_EQ(rig.lines().end()[-2], "芯片的FLASH数据未（完整）读出，不能校验");
  EXPECT_EQ(rig.status.codes.back(), device::Status::FlashVerifyFailed);

  // A bootloader's file gives only its own bytes: a chip that was not erased may hold anything
  // else, an erased one must read 0xFF there.
  rig.memories[Flash].readbackValid = true;
  rig.memories[Flash].given.Add(0x3FFF0, 0x40000);
  readback[0x3FFF1] = 0x77;
  Verify(rig.context, Flash, false);
  EXPECT_THAT(std::vector(rig.lines().end() - 4, rig.lines().end()),
              ElementsAre(texts::kFlashVerifyBegin, "〖000001〗地址：【3FFF1】写：FF  读：77",
                          "共发现     1个单元不对!", texts::kFlashVerifyEnd));
  readback[0x3FFF1] = 0xFF;
  Verify(rig.context, Flash, false);
  EXPECT_EQ(rig.status.codes.back(), device::Status::FlashVerified);
  readback[0x00] = 0x12;
  Verify(rig.context, Flash, true);
  EXPECT_EQ(rig.lines().end()[-2], "共发现     1个单元不对!");
}

}  // namespace
}  // namespace kestrel::control
