#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Whole-file reads, for the image files and the chip data files alike.
namespace kestrel {

// A file's bytes: a read-only mapping of a regular file, or a text held in memory. A mapping
// costs a page fault per few dozen pages of the file where a copy costs one per page, which
// is most of what converting a large HEX file costs.
class FileBytes {
 public:
  FileBytes() = default;
  explicit FileBytes(std::string text) : text_(std::move(text)) {}
  FileBytes(const void* mapping, std::size_t length) : mapping_(mapping), length_(length) {}
  FileBytes(FileBytes&& other) noexcept;
  FileBytes& operator=(FileBytes&& other) noexcept;
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;
  ~FileBytes();

  std::string_view view() const {
    return mapping_ ? std::string_view(static_cast<const char*>(mapping_), length_) : std::string_view(text_);
  }
  operator std::string_view() const { return view(); }
  const char* data() const { return view().data(); }
  std::size_t size() const { return view().size(); }
  bool empty() const { return size() == 0; }
  const char* begin() const { return data(); }
  const char* end() const { return data() + size(); }

 private:
  std::string text_;
  const void* mapping_ = nullptr;
  std::size_t length_ = 0;
};

struct FileStart {
  bool ok = false;
  FileBytes bytes;    // at most limit + 1 bytes, so that a caller can tell a longer file
  std::string error;  // why the file could not be read, when !ok
};

// Reads the first `limit` + 1 bytes of the file at `path` (fewer when it is shorter).
FileStart ReadFileStart(const std::string& path, std::size_t limit);
// Reads the whole file at `path`; one longer than `limit` is refused (EFBIG's text) rather
// than cut short, which would drop its end without a word.
FileStart ReadWholeFile(const std::string& path, std::size_t limit);

// Which file of a list of paths was read.
struct FileLoad {
  bool loaded = false;
  std::string path;                   // the file read
  std::vector<std::string> searched;  // every path tried
};

// Reads the whole of the first readable file of `paths` into `bytes`, passing over a path
// that is missing or cannot be read (a folder opens, but cannot be read); `bytes` stays as it
// was when none can.
FileLoad ReadFirstFile(const std::vector<std::string>& paths, FileBytes& bytes);

}  // namespace kestrel
