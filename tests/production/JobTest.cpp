#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "control/WholeChipFiles.h"
#include "image/HexWriter.h"
#include "production/Job.h"
#include "tests/production/ProductionRig.h"

namespace kestrel::production {
namespace {

const std::string kHead = "name = \"t\"\nchip = \"ATmega328P\"\nmode = \"ISP\"\n";
constexpr char kSteps[] =
    "steps = [\"erase\", \"write-flash\", \"verify-flash\", \"write-eeprom\", \"fuses\"]\n";
constexpr char kSerial[] =
    "[serial]\nmemory = \"eeprom\"\naddress = 0x10\nsource = \"sequence\"\nformat = \"u32le\"\n"
    "start = 1000\n";

// A whole-chip file with 16 bytes of FLASH, fuses 62 D9 FF and the given signature.
std::string WholeChipHex(const chips::Signature& signature) {
  const std::uint8_t program[16] = {0x0C, 0x94};
  chips::FuseSet fuses;
  fuses.bytes = {0x62, 0xD9, 0xFF, 0xFF};
  return image::WriteHexWholeChip(control::BackupImage(program, {}, fuses, 3, signature));
}

JobLoad Load(const Folder& folder, const std::string& text) {
  return LoadJob(folder.Write("job.toml", text), Facts());
}

TEST(Job, ReadsThePlanOnceAndItsIdentityFollowsEveryFile) {
  Folder folder("job");
  folder.Write("app.hex", kProgramHex);
  folder.Write("whole.hex", WholeChipHex({0x1E, 0x95, 0x0F}));
  const std::string text =
      std::string(kHead) + "flash = \"app.hex\"\nfuses = \"62D9FF\"\n" + kSteps + kSerial;
  const JobLoad load = Load(folder, text);
  ASSERT_TRUE(load.job) << load.refusal;
  const Job& job = *load.job;
  EXPECT_EQ(job.flash.size(), 32768u);
  EXPECT_EQ(job.flash[0], 0x0C);
  EXPECT_EQ(job.eeprom, std::vector<std::uint8_t>(1024, 0xFF));  // the serial's memory, no file
  ASSERT_TRUE(job.serial);
  EXPECT_EQ(job.serial->address, 0x10u);
  EXPECT_EQ(job.identity.size(), 64u);

  // The fuses of a whole-chip file are the job's when it names none.
  const JobLoad whole = Load(folder, std::string(kHead) + "image = \"whole.hex\"\n" + kSteps + kSerial);
  ASSERT_TRUE(whole.job) << whole.refusal;
  EXPECT_EQ(whole.job->fuses->bytes, (std::array<std::uint8_t, 4>{0x62, 0xD9, 0xFF, 0xFF}));

  folder.Write("app.hex", ":0100000001FE\n:00000001FF\n");
  const JobLoad changed = Load(folder, text);
  ASSERT_TRUE(changed.job) << changed.refusal;
  EXPECT_NE(changed.job->identity, job.identity);
}

TEST(Job, RefusesAFaultNamingTheKeyAndTheReason) {
  Folder folder("badjob");
  folder.Write("app.hex", kProgramHex);
  folder.Write("whole.hex", WholeChipHex({0x1E, 0x95, 0x0F}));
  folder.Write("tiny.hex", WholeChipHex({0x1E, 0x93, 0x0B}));
  const std::string flash = "flash = \"app.hex\"\n";
  const std::string fuses = "fuses = \"62D9FF\"\n";
  const std::string steps = "steps = [\"erase\", \"write-flash\", \"verify-flash\", \"fuses\"]\n";
  const struct {
    std::string text;
    std::string refusal;  // after "作业 …/job.toml 被拒绝："
  } cases[] = {
      {"name = \"t\"\nmode = \"ISP\"\n" + flash + steps, "chip：缺少此项"},
      {kHead + flash + fuses + "steps = [\"erase\", \"burn\"]\n",
       "steps：未知的步骤“burn”（可用：blank-check, erase, write-flash, verify-flash, write-eeprom, "
       "verify-eeprom, fuses, lock）"},
      {kHead + flash + fuses + kSteps +
           "[serial]\nmemory = \"eeprom\"\naddress = 1022\nsource = \"sequence\"\n"
           "format = \"u32le\"\nstart = 1\n",
       "serial.address：序列号占 0x3FE 到 0x401，超出EEPROM（止于 0x3FF）"},
      {kHead + flash + fuses + kSteps +
           "[serial]\nmemory = \"flash\"\naddress = 0x0C\nsource = \"random\"\n"
           "bytes = 8\n",
       "serial.address：序列号占 0xC 到 0x13，与文件数据重叠（地址 0xC）"},
      {kHead + flash + "fuses = \"6259FF\"\n" + steps,
       "fuses：熔丝高位 "
       "RSTDISBL：复位引脚将变为普通I/O，ISP将无法访问芯片；ISP模式下作业不能确认锁死ISP的熔丝位"},
      {kHead + "image = \"tiny.hex\"\n" + steps,
       "image：文件 tiny.hex 的签名 1E 93 0B 与所选器件 ATmega328P（1E 95 0F）不符，未读入"},
      {kHead + "image = \"whole.hex\"\nfuses = \"E2D9FF\"\n" + steps,
       "fuses：E2D9FF 与文件 whole.hex 中的 62D9FF 不符"},
      {kHead + flash + "steps = [\"write-flash\", \"lock\"]\n", "lock：步骤“lock”需要此项，文件中也没有"},
      {"name = \"t\"\nmode ö= \"ISP\"\n",
       "第 2 行不是有效的TOML：Error while parsing key-value pair: expected '=', saw 'ö'"},
  };
  for (const auto& c : cases) {
    const JobLoad load = Load(folder, c.text);
    EXPECT_FALSE(load.job) << c.text;
    EXPECT_EQ(load.refusal, "作业 " + folder.path + "/job.toml 被拒绝：" + c.refusal) << c.text;
  }
  // A job file longer than the loader reads is refused, not cut off before its [serial] table.
  const JobLoad tooLong =
      Load(folder, kHead + flash + fuses + kSteps + "# " + std::string(1u << 20, 'x') + "\n" + kSerial);
  EXPECT_FALSE(tooLong.job);
  EXPECT_EQ(tooLong.refusal, "无法读取作业 " + folder.path + "/job.toml：" + std::strerror(EFBIG));
}

TEST(Serial, FormatsPlaceTheNumberAsTheFirmwareReadsIt) {
  const std::pair<const char*, std::vector<std::uint8_t>> cases[] = {
      {"u16le", {0xE8, 0x03}},
      {"u16be", {0x03, 0xE8}},
      {"u32le", {0xE8, 0x03, 0x00, 0x00}},
      {"u32be", {0x00, 0x00, 0x03, 0xE8}},
      {"ascii:6", {'0', '0', '1', '0', '0', '0'}},
  };
  for (const auto& [format, bytes] : cases) {
    const auto value = SequenceValue(*ParseSerialFormat(format), 1000);
    ASSERT_TRUE(value) << format;
    EXPECT_EQ(value->bytes, bytes) << format;
  }
  EXPECT_FALSE(SequenceValue(*ParseSerialFormat("u16le"), 65536));
  EXPECT_FALSE(ParseSerialFormat("ascii:0"));
  const std::vector<std::uint8_t> memory(8, 0xFF);
  EXPECT_EQ(PlaceSerial(memory, 6, *SequenceValue(*ParseSerialFormat("u16be"), 0x1234)),
            (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x12, 0x34}));
}

}  // namespace
}  // namespace kestrel::production
