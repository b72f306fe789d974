#pragma once

#include <cstdint>
#include <vector>

namespace kestrel {

// Bytes [begin, end) of a memory.
struct ByteRange {
  std::uint32_t begin = 0;
  std::uint32_t end = 0;
  bool operator==(const ByteRange&) const = default;
};

// Which bytes of a memory image a file gave: ranges kept ascending, apart and merged where they
// touch. Adding in ascending order, as every tool writes its records, costs constant time.
class ByteRanges {
 public:
  void Add(std::uint32_t begin, std::uint32_t end);
  // Every range of a region's `given` flags.
  static ByteRanges FromFlags(const std::vector<bool>& given);

  bool Empty() const { return ranges_.empty(); }
  void Clear() { ranges_.clear(); }
  const std::vector<ByteRange>& ranges() const { return ranges_; }
  bool operator==(const ByteRanges&) const = default;

 private:
  std::vector<ByteRange> ranges_;
};

}  // namespace kestrel
