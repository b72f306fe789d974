#pragma once

#include <cstddef>
#include <string>

// Whole-file reads, for the image files and the chip data files alike.
namespace kestrel {

struct FileStart {
  bool ok = false;
  std::string bytes;  // at most limit + 1 bytes, so that a caller can tell a longer file
  std::string error;  // why the file could not be read, when !ok
};

// Reads the first `limit` + 1 bytes of the file at `path` (fewer when it is shorter).
FileStart ReadFileStart(const std::string& path, std::size_t limit);

// Reads the whole file into `bytes`; false, and `bytes` untouched, when it cannot be read (a
// folder opens, but cannot be read).
bool ReadWholeFile(const std::string& path, std::string& bytes);

}  // namespace kestrel
