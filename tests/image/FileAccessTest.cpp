// Writes of image files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "image/FileAccess.h"

namespace kestrel::image {
namespace {

// A new file renamed over a FIFO would replace the node, and its reader would get nothing.
TEST(ReplaceFileContents, WritesAFifoInPlaceToItsReader) {
  const std::string fifo = ::testing::TempDir() + "kestrel-save-fifo-" + std::to_string(::getpid());
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // Open before the save, so that the save finds a reader; the bytes fit in the pipe's buffer.
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  const std::string bytes = ":0100000055AA\n:00000001FF\n";
  EXPECT_EQ(ReplaceFileContents(fifo, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), "");
  struct stat status {};
  EXPECT_EQ(::stat(fifo.c_str(), &status), 0);
  EXPECT_TRUE(S_ISFIFO(status.st_mode));
  char got[64];
  const ssize_t count = ::read(reader, got, sizeof got);
  EXPECT_EQ(std::string(got, static_cast<std::size_t>(std::max<ssize_t>(count, 0))), bytes);
  ::close(reader);
  std::remove(fifo.c_str());
}

}  // namespace
}  // namespace kestrel::image
