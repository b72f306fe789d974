#include "base/ByteRanges.h"

#include <algorithm>

namespace kestrel {

void ByteRanges::Add(std::uint32_t begin, std::uint32_t end) {
  if (begin >= end) return;
  if (ranges_.empty() || begin > ranges_.back().end) {
    ranges_.push_back({begin, end});
    return;
  }
  if (begin >= ranges_.back().begin) {
    ranges_.back().end = std::max(ranges_.back().end, end);
    return;
  }
  // Out of order: insert, then merge every range the new one touches.
  const auto first =
      std::lower_bound(ranges_.begin(), ranges_.end(), begin,
                       [](const ByteRange& range, std::uint32_t at) { return range.end < at; });
  auto last = first;
  ByteRange merged{begin, end};
  while (last != ranges_.end() && last->begin <= end) {
    merged.begin = std::min(merged.begin, last->begin);
    merged.end = std::max(merged.end, last->end);
    ++last;
  }
  ranges_.insert(ranges_.erase(first, last), merged);
}

ByteRanges ByteRanges::FromFlags(const std::vector<bool>& given) {
  ByteRanges ranges;
  for (std::uint32_t at = 0; at < given.size();) {
    if (!given[at]) {
      ++at;
      continue;
    }
    std::uint32_t end = at;
    while (end < given.size() && given[end]) ++end;
    ranges.ranges_.push_back({at, end});
    at = end;
  }
  return ranges;
}

}  // namespace kestrel
