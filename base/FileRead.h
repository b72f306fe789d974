#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Whole-file reads, for the image files and the chip data files alike.
namespace kestrel {

struct FileStart {
  bool ok = false;
  std::string bytes;  // at most limit + 1 bytes, so that a caller can tell a longer file
  std::string error;  // why the file could not be read, when !ok
};

// Reads the first `limit` + 1 bytes of the file at `path` (fewer when it is shorter).
FileStart ReadFileStart(const std::string& path, std::size_t limit);

// Which file of a list of paths was read.
struct FileLoad {
  bool loaded = false;
  std::string path;                   // the file read
  std::vector<std::string> searched;  // every path tried
};

// Reads the whole of the first readable file of `paths` into `bytes`, passing over a path
// that is missing or cannot be read (a folder opens, but cannot be read); `bytes` stays as it
// was when none can.
FileLoad ReadFirstFile(const std::vector<std::string>& paths, std::string& bytes);

}  // namespace kestrel
