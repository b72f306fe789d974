#include "base/FileRead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <utility>

namespace kestrel {

FileStart ReadFileStart(const std::string& path, std::size_t limit) {
  FileStart file;
  // Without O_NONBLOCK the open of a FIFO waits for a writer, and a FIFO chosen or dropped by
  // mistake would hang the program; once open, reads may block again, so that a pipe with a
  // writer (a shell's <(...)) is read to its end.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    file.error = std::strerror(errno);
    return file;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  const std::size_t wanted = limit + 1;
  // One allocation sized from the file's length, one byte over so that the end shows without
  // growing; only a file without a length (a FIFO, a /proc file) or one that grows meanwhile
  // is read on in doubling steps.
  std::size_t first = std::size_t{1} << 16;
  struct stat status {};
  if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0) {
    first = static_cast<std::size_t>(status.st_size) + 1;
  }
  file.bytes.resize(std::min(wanted, first));
  std::size_t have = 0;
  for (;;) {
    if (have == file.bytes.size()) {
      if (have == wanted) break;
      file.bytes.resize(std::min(wanted, have * 2));
    }
    const ssize_t got = ::read(fd, file.bytes.data() + have, file.bytes.size() - have);
    if (got < 0) {
      if (errno == EINTR) continue;
      file.error = std::strerror(errno);
      ::close(fd);
      file.bytes.clear();
      return file;
    }
    if (got == 0) break;
    have += static_cast<std::size_t>(got);
  }
  ::close(fd);
  file.bytes.resize(have);
  file.ok = true;
  return file;
}

FileLoad ReadFirstFile(const std::vector<std::string>& paths, std::string& bytes) {
  FileLoad load;
  for (const std::string& path : paths) {
    load.searched.push_back(path);
    // The largest limit whose one byte over still fits a size_t: the whole file.
    FileStart file = ReadFileStart(path, std::numeric_limits<std::size_t>::max() - 1);
    if (file.ok) {
      bytes = std::move(file.bytes);
      load.loaded = true;
      load.path = path;
      break;
    }
  }
  return load;
}

}  // namespace kestrel
