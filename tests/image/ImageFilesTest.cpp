#include "image/ImageFiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "HexTestText.h"
#include "ImageFakes.h"
#include "control/Texts.h"
#include "device/StatusCode.h"

namespace kestrel::image {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
namespace status = device::status;

constexpr std::pair<int, int> kErrorTone{device::kErrorToneHz, device::kErrorToneMs};

class ImageFilesTest : public ::testing::Test {
 protected:
  ImageFilesTest() {
    char pattern[] = "/tmp/kestrel-image-XXXXXX";
    folder = ::mkdtemp(pattern);
    rig.geometry.flashPageWords = 32;  // 64-byte pages
    rig.geometry.flashPageCount = 16;  // 1 KiB of FLASH
    rig.geometry.eepromPageBytes = 4;
    rig.geometry.eepromPageCount = 64;  // 256 bytes of EEPROM
  }
  ~ImageFilesTest() override { fs::remove_all(folder); }

  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = folder + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  static std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::string Choose(const std::string& path) {
    rig.chooser.answers.push_back(path);
    return path;
  }
  static bool AllFF(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
      if (bytes[i] != 0xFF) return false;
    }
    return true;
  }

  std::string folder;
  testing::ImageRig rig;
};

TEST_F(ImageFilesTest, OpensHexIntoFlashAndShowsIt) {
  Choose(Write("prog.Hex", testing::DataRecord(0x100, {0x0C, 0x94}) + testing::kEnd));
  OpenFlashImage(rig.context);
  EXPECT_EQ(rig.engine.flashImage[0x100], 0x0C);
  EXPECT_EQ(rig.engine.flashImage[0x101], 0x94);
  EXPECT_TRUE(AllFF(rig.engine.flashImage, 0, 0x100));
  EXPECT_EQ(rig.flashView.content.size(), 1024u);
  EXPECT_EQ(rig.flashView.content[0x101], 0x94);
  EXPECT_THAT(rig.log.lines, ElementsAre("读入文件 prog.Hex 到FLASH窗口页【   258字节】."));
  EXPECT_THAT(rig.pages.shown, ElementsAre(FlashPage));
  EXPECT_THAT(rig.status.codes(), ElementsAre(status::FlashFileOpened));
  EXPECT_THAT(rig.chooser.asked, ElementsAre(FileDialogKind::OpenFlash));
  EXPECT_THAT(rig.tones.tones, IsEmpty());
}

TEST_F(ImageFilesTest, OpensHexAndEepFilesIntoEeprom) {
  for (const char* name : {"data.eEp", "data.HEX"}) {
    rig.engine.eepromImage.assign(65536, 0x00);
    Choose(Write(name, testing::DataRecord(2, {0xAA}) + testing::kEnd));
    OpenEepromImage(rig.context);
    EXPECT_EQ(rig.engine.eepromImage[2], 0xAA) << name;
    EXPECT_TRUE(AllFF(rig.engine.eepromImage, 3, 256)) << name;
    EXPECT_EQ(rig.engine.eepromImage[256], 0x00) << name;  // beyond the chip: not touched
    EXPECT_EQ(rig.eepromView.content.size(), 256u);
    EXPECT_EQ(rig.log.lines.back(), std::string("读入文件 ") + name + " 到EEPROM窗口页【     3字节】.");
  }
  EXPECT_THAT(rig.pages.shown, ElementsAre(EepromPage, EepromPage));
  EXPECT_THAT(rig.status.codes(), ElementsAre(status::EepromFileOpened, status::EepromFileOpened));
  EXPECT_EQ(rig.flashView.setCount, 0);
}

TEST_F(ImageFilesTest, OpensBinariesAndCutsThoseLongerThanTheChip) {
  rig.engine.flashImage.assign(262144, 0x00);
  Choose(Write("short.bIn", std::string(100, '\x11')));
  OpenFlashImage(rig.context);
  EXPECT_EQ(rig.reader.dataLength, 100);
  EXPECT_EQ(rig.engine.flashImage[99], 0x11);
  EXPECT_TRUE(AllFF(rig.engine.flashImage, 100, 1024));
  EXPECT_EQ(rig.log.lines.back(), "读入文件 short.bIn 到FLASH窗口页【   100字节】.");

  Choose(Write("exact.bin", std::string(1024, '\x22')));
  OpenFlashImage(rig.context);
  EXPECT_EQ(rig.engine.flashImage[1023], 0x22);
  EXPECT_EQ(rig.log.lines.size(), 2u);  // no truncation line

  Choose(Write("long.BIN", std::string(1025, '\x33')));
  OpenFlashImage(rig.context);
  EXPECT_EQ(rig.engine.flashImage[1023], 0x33);
  EXPECT_EQ(rig.engine.flashImage[1024], 0x00);
  EXPECT_THAT(std::vector(rig.log.lines.begin() + 2, rig.log.lines.end()),
              ElementsAre(texts::kFlashBinTruncatedLine, "读入文件 long.BIN 到FLASH窗口页【  1024字节】."));

  Choose(Write("long.bin", std::string(300, '\x44')));
  OpenEepromImage(rig.context);
  EXPECT_EQ(rig.log.lines[rig.log.lines.size() - 2], texts::kEepromBinTruncatedLine);
  EXPECT_EQ(rig.reader.dataLength, 256);
  EXPECT_EQ(rig.status.codes().size(), 4u);
}

TEST_F(ImageFilesTest, ReadsTheChosenFullPathNotANameInTheWorkingDirectory) {
  const fs::path before = fs::current_path();
  fs::create_directory(folder + "/elsewhere");
  Write("elsewhere/same.bin", "decoy");
  fs::current_path(folder + "/elsewhere");
  fs::create_directory(folder + "/chosen");
  Choose(Write("chosen/same.bin", "\x01\x02"));
  OpenFlashImage(rig.context);
  fs::current_path(before);
  EXPECT_EQ(rig.reader.dataLength, 2);
  EXPECT_EQ(rig.engine.flashImage[0], 0x01);
}

TEST_F(ImageFilesTest, LeavesTheImageAloneForUnknownKindsAndUnreadableFiles) {
  rig.engine.flashImage[0] = 0x12;
  rig.reader.dataLength = 99;
  Choose(Write("data.eep", testing::DataRecord(0, {1}) + testing::kEnd));
  Choose(Write("noextension", "abc"));
  Choose(folder + "/missing.bin");
  fs::create_directory(folder + "/x.hex");  // a folder named like a file
  Choose(folder + "/x.hex");
  for (int i = 0; i < 4; ++i) OpenFlashImage(rig.context);

  EXPECT_EQ(rig.engine.flashImage[0], 0x12);
  EXPECT_TRUE(AllFF(rig.engine.flashImage, 1, 1024));
  EXPECT_EQ(rig.reader.dataLength, 99);
  EXPECT_EQ(rig.flashView.setCount, 0);
  EXPECT_THAT(rig.pages.shown, IsEmpty());
  ASSERT_EQ(rig.log.lines.size(), 4u);
  EXPECT_EQ(rig.log.lines[0], "文件 data.eep 的类型不能读入FLASH窗口页（可用：hex、bin）");
  EXPECT_EQ(rig.log.lines[1], "文件 noextension 的类型不能读入FLASH窗口页（可用：hex、bin）");
  EXPECT_EQ(rig.log.lines[2], "无法读取文件 " + folder + "/missing.bin：No such file or directory");
  EXPECT_EQ(rig.log.lines[3], "无法读取文件 " + folder + "/x.hex：Is a directory");
  EXPECT_EQ(rig.tones.tones, std::vector(4, kErrorTone));
  EXPECT_EQ(rig.status.codes(), std::vector<std::uint32_t>(4, status::FlashFileOpened));
}

TEST_F(ImageFilesTest, ReportsARefusedHexFileAndClaimsNoBytes) {
  Choose(Write("good.bin", std::string(10, '\x01')));
  OpenFlashImage(rig.context);
  Choose(Write("a.hex", testing::HexRecord(0, 0, {1, 2}, 1) + "\n" + testing::kEnd));
  OpenFlashImage(rig.context);
  EXPECT_THAT(std::vector(rig.log.lines.begin() + 1, rig.log.lines.end()),
              ElementsAre("文件 a.hex 未读入：Hex file checksum error.",
                          "读入文件 a.hex 到FLASH窗口页【     0字节】."));
  // the image loaded before is not lost to a refused file
  EXPECT_EQ(rig.engine.flashImage[9], 0x01);
  EXPECT_TRUE(AllFF(rig.engine.flashImage, 10, 262144));
  EXPECT_THAT(rig.tones.tones, ElementsAre(kErrorTone));

  Choose(Write("big.eep", testing::DataRecord(0xFF, {1, 2}) + testing::kEnd));
  OpenEepromImage(rig.context);
  EXPECT_THAT(rig.messages.shown, ElementsAre(texts::kEepromHexTooLarge));
  EXPECT_THAT(std::vector(rig.log.lines.end() - 2, rig.log.lines.end()),
              ElementsAre(std::string("文件 big.eep 未读入：") + texts::kEepromHexTooLarge,
                          "读入文件 big.eep 到EEPROM窗口页【     0字节】."));
  EXPECT_EQ(rig.tones.tones.size(), 2u);
  EXPECT_THAT(rig.status.codes(), ElementsAre(status::FlashFileOpened, status::FlashFileOpened,
                                            status::EepromFileOpened));
}

TEST_F(ImageFilesTest, CancellingAnyDialogStillReportsItsStatus) {
  OpenFlashImage(rig.context);
  OpenEepromImage(rig.context);
  SaveEepromImage(rig.context);
  SaveFlashImage(rig.context);
  EXPECT_THAT(rig.status.codes(), ElementsAre(status::FlashFileOpened, status::EepromFileOpened,
                                            status::EepromFileSaved, status::FlashFileSaved));
  EXPECT_THAT(rig.chooser.asked, ElementsAre(FileDialogKind::OpenFlash, FileDialogKind::OpenEeprom,
                                             FileDialogKind::SaveEeprom, FileDialogKind::SaveFlash));
  EXPECT_THAT(rig.log.lines, IsEmpty());
  EXPECT_THAT(rig.tones.tones, IsEmpty());
}

TEST_F(ImageFilesTest, SavesTheViewUpToItsLastUsedByte) {
  std::vector<std::uint8_t> bytes(1024, 0xFF);
  rig.flashView.SetData(bytes.data(), bytes.size());
  const std::string empty = Choose(folder + "/empty.bin");
  SaveFlashImage(rig.context);
  EXPECT_TRUE(fs::exists(empty));
  EXPECT_EQ(fs::file_size(empty), 0u);
  EXPECT_THAT(rig.log.lines, ElementsAre(texts::kFlashSavedLine, empty + "【     0字节】"));

  bytes[0] = 0xFF;
  bytes[5] = 0x00;
  bytes[0x1FF] = 0x7E;
  rig.flashView.SetData(bytes.data(), bytes.size());
  const std::string used = Choose(Write("used.bin", std::string(2000, 'x')));  // replaced
  SaveFlashImage(rig.context);
  const std::string saved = Contents(used);
  ASSERT_EQ(saved.size(), 512u);
  EXPECT_EQ(saved[0], '\xFF');
  EXPECT_EQ(saved[5], '\x00');
  EXPECT_EQ(saved[0x1FF], '\x7E');
  EXPECT_EQ(rig.log.lines.back(), used + "【   512字节】");
  EXPECT_EQ(rig.engine.flashReadback[0x1FF], 0x7E);  // the read-back buffer holds the view
  EXPECT_THAT(rig.status.codes(), ElementsAre(status::FlashFileSaved, status::FlashFileSaved));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
}

TEST_F(ImageFilesTest, SavesEepromAndReadsMissingViewBytesAsFF) {
  rig.engine.eepromReadback.assign(65536, 0x00);
  rig.eepromView.SetData(std::vector<std::uint8_t>(16, 0x5A).data(), 16);  // the chip has 256
  const std::string path = Choose(folder + "/e.bin");
  SaveEepromImage(rig.context);
  EXPECT_EQ(Contents(path), std::string(16, '\x5A'));
  EXPECT_TRUE(AllFF(rig.engine.eepromReadback, 16, 256));
  EXPECT_EQ(rig.engine.eepromReadback[256], 0x00);
  EXPECT_THAT(rig.log.lines, ElementsAre(texts::kEepromSavedLine, path + "【    16字节】"));
  EXPECT_THAT(rig.status.codes(), ElementsAre(status::EepromFileSaved));
}

TEST_F(ImageFilesTest, AFailedSaveKeepsTheOldFileAndLeavesNoTemporaryBehind) {
  rig.flashView.SetData(std::vector<std::uint8_t>(1024, 0x01).data(), 1024);
  const std::string kept = Choose(Write("kept.bin", "old contents"));
  // A write cut short by the file size limit: EFBIG half-way through.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit previous{};
  ::getrlimit(RLIMIT_FSIZE, &previous);
  rlimit small = previous;
  small.rlim_cur = 100;
  ::setrlimit(RLIMIT_FSIZE, &small);
  SaveFlashImage(rig.context);
  ::setrlimit(RLIMIT_FSIZE, &previous);
  std::signal(SIGXFSZ, SIG_DFL);

  EXPECT_EQ(Contents(kept), "old contents");
  EXPECT_THAT(rig.log.lines, ElementsAre("保存文件 " + kept + " 失败：File too large；原有文件未改动"));
  EXPECT_THAT(rig.tones.tones, ElementsAre(kErrorTone));

  Choose(folder + "/no/such/folder/x.bin");
  SaveFlashImage(rig.context);
  EXPECT_EQ(rig.log.lines.back(),
            "保存文件 " + folder + "/no/such/folder/x.bin 失败：No such file or directory；原有文件未改动");
  EXPECT_THAT(rig.status.codes(), ElementsAre(status::FlashFileSaved, status::FlashFileSaved));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(ImageFilesTest, SavingThroughALinkReplacesTheFileItNames) {
  rig.eepromView.SetData(std::vector<std::uint8_t>{0x42}.data(), 1);
  const std::string target = Write("target.bin", "old");
  fs::create_symlink(target, folder + "/link.bin");
  Choose(folder + "/link.bin");
  SaveEepromImage(rig.context);
  EXPECT_TRUE(fs::is_symlink(folder + "/link.bin"));
  EXPECT_EQ(Contents(target), "\x42");
}

TEST_F(ImageFilesTest, KeepsEverySizeInsideTheBuffersWhateverTheGeometry) {
  rig.geometry.flashPageWords = 255;
  rig.geometry.flashPageCount = 100000;  // far beyond the 256 KiB buffer
  rig.geometry.eepromPageCount = -3;
  Choose(Write("huge.bin", std::string(300000, '\x01')));
  OpenFlashImage(rig.context);
  EXPECT_EQ(rig.reader.dataLength, 262144);
  EXPECT_EQ(rig.flashView.content.size(), 262144u);
  Choose(Write("e.bin", "\x01"));
  OpenEepromImage(rig.context);
  EXPECT_EQ(rig.reader.dataLength, 0);
  const std::string saved = Choose(folder + "/f.bin");
  SaveFlashImage(rig.context);
  EXPECT_EQ(fs::file_size(saved), 262144u);
  EXPECT_EQ(rig.status.codes().size(), 3u);
}

}  // namespace
}  // namespace kestrel::image
