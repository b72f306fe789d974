// Whole-file reads of what a user may choose by mistake.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include "base/FileRead.h"

namespace kestrel {
namespace {

TEST(ReadFileStart, AFifoWithoutAWriterReadsAsEmptyInsteadOfWaiting) {
  const std::string fifo = ::testing::TempDir() + "kestrel-fifo-" + std::to_string(getpid());
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  auto read = std::async(std::launch::async, [&] { return ReadFileStart(fifo, 100); });
  const bool done = read.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
  if (!done) ::close(::open(fifo.c_str(), O_WRONLY));  // lets the waiting read end
  const FileStart file = read.get();
  EXPECT_TRUE(done);
  EXPECT_TRUE(file.ok && file.bytes.empty());
  std::remove(fifo.c_str());
}

}  // namespace
}  // namespace kestrel
