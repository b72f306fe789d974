#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

#include "base/ByteRanges.h"
#include "chips/ChipGeometry.h"

namespace kestrel::device {

// The bytes of one chip memory, 0xFF (erased) until written. Its memory is taken from the
// system only on first use and filled with 0xFF only as far as it is used, so that a buffer
// never used, or the part beyond a small chip, costs no page of memory. Not locked: whoever
// owns the buffer serialises its use.
class ChipBuffer {
 public:
  explicit ChipBuffer(std::size_t size) : size_(size) {}
  ChipBuffer(const ChipBuffer& other) : size_(other.size_) { *this = other; }
  ChipBuffer& operator=(const ChipBuffer& other) {
    if (this == &other) return *this;
    size_ = other.size_;
    bytes_.reset();
    filled_ = 0;
    if (other.filled_ > 0) std::copy_n(other.bytes_.get(), other.filled_, Use(other.filled_));
    return *this;
  }
  // A moved-from buffer is empty again: all 0xFF, no memory.
  ChipBuffer(ChipBuffer&& other) noexcept
      : size_(other.size_), bytes_(std::move(other.bytes_)), filled_(std::exchange(other.filled_, 0)) {}
  ChipBuffer& operator=(ChipBuffer&& other) noexcept {
    size_ = other.size_;
    bytes_ = std::move(other.bytes_);
    filled_ = std::exchange(other.filled_, 0);
    return *this;
  }

  std::size_t size() const { return size_; }
  // The first `count` bytes (at most size()), ready to use.
  std::uint8_t* Use(std::size_t count) const {
    count = std::min(count, size_);
    if (!bytes_) bytes_.reset(new std::uint8_t[size_]);  // not filled: untouched pages stay free
    if (count > filled_) std::fill(bytes_.get() + filled_, bytes_.get() + count, std::uint8_t{0xFF});
    filled_ = std::max(filled_, count);
    return bytes_.get();
  }
  // Bytes past this one were never used since the last Erase: all 0xFF.
  std::size_t UsedSize() const { return filled_; }
  // Every byte 0xFF again, without touching the memory.
  void Erase() { filled_ = 0; }
  // `count` bytes from `offset` into `out`, 0xFF past the used part; takes no memory.
  void CopyOut(std::size_t offset, std::size_t count, std::uint8_t* out) const {
    const std::size_t used = offset < filled_ ? std::min(count, filled_ - offset) : 0;
    if (used > 0) std::copy_n(bytes_.get() + offset, used, out);
    std::fill(out + used, out + count, std::uint8_t{0xFF});
  }

  // The whole buffer, as a vector of its size would give it.
  void assign(std::size_t count, std::uint8_t value) {
    std::fill_n(Use(count), std::min(count, size_), value);
  }
  std::uint8_t* data() { return Use(size_); }
  const std::uint8_t* data() const { return Use(size_); }
  std::uint8_t* begin() { return data(); }
  std::uint8_t* end() { return data() + size_; }
  const std::uint8_t* begin() const { return data(); }
  const std::uint8_t* end() const { return data() + size_; }
  // One byte: a write fills only the bytes up to it, a read takes no memory.
  std::uint8_t& operator[](std::size_t index) { return Use(index + 1)[index]; }
  std::uint8_t operator[](std::size_t index) const {
    return index < filled_ ? bytes_[index] : std::uint8_t{0xFF};
  }

 private:
  std::size_t size_;
  mutable std::unique_ptr<std::uint8_t[]> bytes_;
  mutable std::size_t filled_ = 0;  // bytes [0, filled_) hold what was written, or 0xFF
};

// The chip's two memories, which the host keeps side by side.
enum class MemoryKind { Flash, Eeprom };
inline constexpr MemoryKind kMemoryKinds[] = {MemoryKind::Flash, MemoryKind::Eeprom};

// What the host keeps of one chip memory: the image to write (from a file) and the read-back
// of the last read, each the size of the largest chip, and whether each may be used.
struct Memory {
  explicit Memory(std::size_t size) : image(size), readback(size) {}

  ChipBuffer image;
  ChipBuffer readback;
  // An image counts once a file was opened into it; a refused open leaves none.
  bool imageLoaded = false;
  // The bytes of the image that the file gave, or an edit: the rest is 0xFF only because
  // nothing was said about it, and a chip that was not erased may hold anything there.
  ByteRanges given;
  // A read-back counts only after a read that completed every page, until something may have
  // changed the chip or the buffer since. A read after an erase in the same Auto run may have
  // read only the pages its write covered; the rest then holds the erased chip's 0xFF.
  bool readbackValid = false;
};

// Both memories, by kind.
struct ChipMemories {
  Memory& operator[](MemoryKind kind) { return entries[static_cast<std::size_t>(kind)]; }
  const Memory& operator[](MemoryKind kind) const { return entries[static_cast<std::size_t>(kind)]; }

  std::array<Memory, 2> entries{Memory(chips::kFlashBufferBytes), Memory(chips::kEepromBufferBytes)};
};

}  // namespace kestrel::device
