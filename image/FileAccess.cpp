#include "image/FileAccess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace kestrel::image {
namespace {

std::string ErrorText(int error) {
  return std::strerror(error);
}

// The file a write to `path` should replace: the target of a symbolic link, so that the link
// survives the rename.
std::string ResolveTarget(const std::string& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr) return resolved;
  }
  return path;
}

std::string TemporaryName(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  return target + ".kestrel-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

bool WriteAll(int fd, const std::uint8_t* bytes, std::size_t count) {
  while (count > 0) {
    const ssize_t written = ::write(fd, bytes, count);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes += written;
    count -= static_cast<std::size_t>(written);
  }
  return true;
}

// A device, a FIFO or a socket: written in place, since a rename would replace the node
// itself. O_NONBLOCK keeps a FIFO without a reader from hanging the program.
std::string WriteInPlace(const std::string& target, const std::uint8_t* bytes, std::size_t count) {
  const int fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return ErrorText(errno);
  const int flags = ::fcntl(fd, F_GETFL);
  bool ok = flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0 && WriteAll(fd, bytes, count);
  int error = ok ? 0 : errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  return ok ? std::string() : ErrorText(error);
}

}  // namespace

std::string ReplaceFileContents(const std::string& path, const std::uint8_t* bytes, std::size_t count) {
  const std::string target = ResolveTarget(path);
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) return WriteInPlace(target, bytes, count);

  const std::string temporary = TemporaryName(target);
  // O_EXCL: never write through whatever might already stand under the temporary name.
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return ErrorText(errno);

  bool ok = true;
  int error = 0;
  if (exists && ::fchmod(fd, existing.st_mode & 07777) != 0) {
    ok = false;
    error = errno;
  }
  if (ok && !(WriteAll(fd, bytes, count) && ::fsync(fd) == 0)) {
    ok = false;
    error = errno;
  }
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(temporary.c_str());
    return ErrorText(error);
  }
  return {};
}

}  // namespace kestrel::image
