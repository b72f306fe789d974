#include "base/FileRead.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <utility>

namespace kestrel {

FileBytes::FileBytes(FileBytes&& other) noexcept
    : text_(std::move(other.text_)),
      mapping_(std::exchange(other.mapping_, nullptr)),
      length_(std::exchange(other.length_, 0)) {}

FileBytes& FileBytes::operator=(FileBytes&& other) noexcept {
  if (this != &other) {
    FileBytes old(std::move(*this));
    text_ = std::move(other.text_);
    mapping_ = std::exchange(other.mapping_, nullptr);
    length_ = std::exchange(other.length_, 0);
  }
  return *this;
}

FileBytes::~FileBytes() {
  if (mapping_) ::munmap(const_cast<void*>(mapping_), length_);
}

namespace {

// A regular file of known length is mapped rather than copied; false when it cannot be.
bool MapFile(int fd, std::size_t length, FileStart& file) {
  void* const mapping = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd, 0);
  if (mapping == MAP_FAILED) return false;
  file.bytes = FileBytes(mapping, length);
  return true;
}

}  // namespace

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
    if (MapFile(fd, std::min(wanted, first - 1), file)) {
      ::close(fd);
      file.ok = true;
      return file;
    }
  }
  std::string bytes(std::min(wanted, first), '\0');
  std::size_t have = 0;
  for (;;) {
    if (have == bytes.size()) {
      if (have == wanted) break;
      bytes.resize(std::min(wanted, have * 2));
    }
    const ssize_t got = ::read(fd, bytes.data() + have, bytes.size() - have);
    if (got < 0) {
      if (errno == EINTR) continue;
      file.error = std::strerror(errno);
      ::close(fd);
      return file;
    }
    if (got == 0) break;
    have += static_cast<std::size_t>(got);
  }
  ::close(fd);
  bytes.resize(have);
  file.bytes = FileBytes(std::move(bytes));
  file.ok = true;
  return file;
}

FileStart ReadWholeFile(const std::string& path, std::size_t limit) {
  FileStart file = ReadFileStart(path, limit);
  if (file.ok && file.bytes.size() > limit) file = {false, {}, std::strerror(EFBIG)};
  return file;
}

FileLoad ReadFirstFile(const std::vector<std::string>& paths, FileBytes& bytes) {
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
