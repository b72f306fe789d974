#include "cli/CliFrontEnd.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace kestrel::cli {
namespace {

// A FILE* whose contents the test can read back.
class Capture {
 public:
  Capture() : stream_(open_memstream(&buffer_, &size_)) {}
  ~Capture() {
    std::fclose(stream_);
    std::free(buffer_);
  }
  std::FILE* stream() { return stream_; }
  std::string Text() {
    std::fflush(stream_);
    return std::string(buffer_, size_);
  }

 private:
  char* buffer_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* stream_;
};

struct FrontEndFixture : ::testing::Test {
  CliFrontEnd Make(bool drawProgress) {
    return CliFrontEnd(Terminal{out.stream(), err.stream(), drawProgress}, nullptr);
  }
  Capture out;
  Capture err;
};

TEST(ByteHexView, KeepsItsOwnCopyAndPadsWithFF) {
  ByteHexView view;
  std::uint8_t source[3] = {1, 2, 3};
  view.SetData(source, 3);
  source[0] = 9;
  std::uint8_t target[5] = {};
  view.GetData(target, 5);
  EXPECT_EQ(std::vector<std::uint8_t>(target, target + 5), (std::vector<std::uint8_t>{1, 2, 3, 0xFF, 0xFF}));
}

TEST_F(FrontEndFixture, LogAndFieldLinesGoToOutEachAsOneLine) {
  CliFrontEnd frontEnd = Make(false);
  frontEnd.LogList().InsertLine(0, "〖26/12/06 03:52:45〗 ID读取OK");
  frontEnd.LogList().SelectLine(0);
  frontEnd.SetFieldText(control::Field::Signature, "1E：95：0F");
  frontEnd.SetFieldText(control::Field::Calibration, "A0：B1：9F：C2");
  frontEnd.SetFieldText(control::Field::FuseLock, "62：D9：FF：FF");
  frontEnd.LogList().ResetLines();
  frontEnd.LogList().InsertLine(0, "编程器忙，稍后再操作");
  EXPECT_EQ(out.Text(),
            "〖26/12/06 03:52:45〗 ID读取OK\n"
            "signature 1E：95：0F\n"
            "calibration A0：B1：9F：C2\n"
            "fuse-lock 62：D9：FF：FF\n"
            "编程器忙，稍后再操作\n");
  EXPECT_EQ(err.Text(), "");
}

TEST_F(FrontEndFixture, MessageBoxesGoToErrWithUnixLineBreaks) {
  CliFrontEnd frontEnd = Make(false);
  frontEnd.ShowMessage("\t请插入编程器!\r\n作者");
  frontEnd.ShowMessage("one line\n");
  EXPECT_EQ(err.Text(), "\t请插入编程器!\n作者\none line\n");
  EXPECT_EQ(out.Text(), "");
  EXPECT_EQ(frontEnd.messageCount(), 2);
}

TEST_F(FrontEndFixture, ProgressBarIsErasedBeforeTheNextLine) {
  {
    CliFrontEnd frontEnd = Make(true);
    frontEnd.SetProgress(0);
    frontEnd.SetProgress(0);  // unchanged: not drawn again
    frontEnd.SetProgress(100);
    frontEnd.LogList().InsertLine(0, "done");
    frontEnd.SetProgress(50);
  }  // a bar still shown is erased at the end
  const std::string bar = err.Text();
  EXPECT_EQ(bar, "\r[" + std::string(40, '.') + "] 0%" + "\r[" + std::string(40, '#') + "] 100%" + "\r\033[K" +
                     "\r[" + std::string(20, '#') + std::string(20, '.') + "] 50%" + "\r\033[K");
  EXPECT_EQ(out.Text(), "done\n");
}

TEST_F(FrontEndFixture, FileChooserAnswersOnlyTheArmedDialogOnce) {
  CliFrontEnd frontEnd = Make(false);
  EXPECT_FALSE(frontEnd.ChooseFile(image::FileDialogKind::OpenFlash));
  frontEnd.SetFileAnswer(image::FileDialogKind::SaveEeprom, "out.bin");
  EXPECT_FALSE(frontEnd.ChooseFile(image::FileDialogKind::SaveFlash));
  EXPECT_EQ(frontEnd.ChooseFile(image::FileDialogKind::SaveEeprom), "out.bin");
  EXPECT_FALSE(frontEnd.ChooseFile(image::FileDialogKind::SaveEeprom));
}

}  // namespace
}  // namespace kestrel::cli
