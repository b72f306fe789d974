#include "image/HexFileReader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "base/Bytes.h"

namespace kestrel::image {
namespace {

// The pair at `at`, which the caller has checked to be two hex digits.
inline unsigned Pair(const char* at) {
  return static_cast<unsigned>(HexDigitValue(at[0]) << 4 | HexDigitValue(at[1]));
}

constexpr std::string_view kEndRecord = ":00000001";
constexpr std::size_t kRecordOverhead = 11;  // colon, count, address, type, checksum

// White space around records and between lines.
inline bool IsBlank(char c) {
  return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\v';
}

// One record as the walk sees it.
struct Record {
  unsigned count = 0;
  unsigned address = 0;
  unsigned type = 0;
  const char* start = nullptr;  // the colon
  const char* data = nullptr;
  std::size_t length = 0;  // characters, colon included
  unsigned sum = 0;        // of all its bytes, checksum included; taken by a checked walk
};

// Walks the records of `body`, hands each to `visit`, which returns a result code (0 to go
// on), and ends at the first code that is not 0. With `kCheck` every line is checked to hold
// white space and at most one record, every character of a record to be a hex digit, and its
// byte sum is taken first: a line with anything else gives HexNotARecord, a record cut short
// by the end of `body` HexTruncatedRecord, a character that is not a hex digit HexBadDigit;
// `failedAt` is left in the faulty line. Without it the text must have passed a checked walk.
template <bool kCheck, typename Visit>
std::int32_t WalkRecords(std::string_view body, Visit&& visit, const char** failedAt = nullptr) {
  const char* const end = body.data() + body.size();
  const char* p = body.data();
  if (failedAt != nullptr) *failedAt = p;
  while (true) {
    while (p < end && IsBlank(*p)) ++p;
    if (p == end) break;
    if (failedAt != nullptr) *failedAt = p;
    Record record;
    if constexpr (kCheck) {
      if (*p != ':') return HexNotARecord;
      if (end - p < 3) return HexTruncatedRecord;
      if ((HexDigitValue(p[1]) | HexDigitValue(p[2])) < 0) return HexBadDigit;
    }
    record.count = Pair(p + 1);
    record.length = 2 * record.count + kRecordOverhead;
    if constexpr (kCheck) {
      if (static_cast<std::size_t>(end - p) < record.length) return HexTruncatedRecord;
      // The count's digits are checked above; the sum starts with it.
      unsigned sum = record.count;
      for (std::size_t i = 3; i < record.length; i += 2) {
        const int high = HexDigitValue(p[i]);
        const int low = HexDigitValue(p[i + 1]);
        if ((high | low) < 0) return HexBadDigit;
        sum += static_cast<unsigned>(high << 4 | low);
      }
      record.sum = sum;
    }
    record.address = Pair(p + 3) << 8 | Pair(p + 5);
    record.type = Pair(p + 7);
    record.start = p;
    record.data = p + 9;
    const std::int32_t code = visit(record);
    if (code != HexSuccess) return code;
    p += record.length;
    if constexpr (kCheck) {
      // The rest of the record's line; a second record on it, or a comment, is not a record.
      for (; p < end && *p != '\n'; ++p) {
        if (!IsBlank(*p)) return HexNotARecord;
      }
    }
  }
  return HexSuccess;
}

// The bases of the address records seen so far; a segment and a linear base add up.
struct Bases {
  std::uint64_t segment = 0;
  std::uint64_t linear = 0;
  bool segmented = false;  // the last address record was a segment (02) one

  // Applies an address record; false when it carries no 16-bit value.
  bool Apply(const Record& record) {
    if (record.count < 2) return false;
    const std::uint64_t value = Pair(record.data) << 8 | Pair(record.data + 2);
    segmented = record.type == 2;
    if (segmented) {
      segment = value * 16;
    } else {
      linear = value * 65536;
    }
    return true;
  }

  // Hands `piece(address, first, count)` the data of a record as the runs of consecutive
  // addresses it covers: one, or, when a segment address wraps at the end of its 64 KiB, two.
  template <typename Piece>
  void Pieces(const Record& record, Piece&& piece) const {
    const std::uint64_t base = segment + linear;
    const unsigned inSegment = segmented ? std::min(record.count, 0x10000 - record.address) : record.count;
    piece(base + record.address, 0u, inSegment);
    if (inSegment < record.count) piece(base, inSegment, record.count - inSegment);
  }
};

// `count` data bytes of a record that a checked walk has passed, from its byte `first`.
void CopyData(const Record& record, unsigned first, unsigned count, std::uint8_t* out) {
  const char* at = record.data + 2 * first;
  for (unsigned i = 0; i < count; ++i, at += 2) out[i] = static_cast<std::uint8_t>(Pair(at));
}

// The text up to its first zero byte and before its end record, which is never parsed itself,
// and whether there is one.
struct Body {
  std::string_view records;
  bool ended = false;
};
Body RecordsBeforeEnd(std::string_view text) {
  if (const void* zero = std::memchr(text.data(), 0, text.size())) {
    text = text.substr(0, static_cast<std::size_t>(static_cast<const char*>(zero) - text.data()));
  }
  const std::size_t endRecord = text.find(kEndRecord);
  if (endRecord == std::string_view::npos) return {text, false};
  return {text.substr(0, endRecord), true};
}

// The 1-based line of the text that `at` points into.
std::int32_t LineOf(std::string_view text, const char* at) {
  return 1 + static_cast<std::int32_t>(std::count(text.data(), at, '\n'));
}

// What a checked walk does with every record: its sum and type checked, an address record's
// base taken, `onData` called for a data record.
template <typename OnData>
std::int32_t CheckRecord(const Record& record, Bases& bases, HexFault& fault, OnData&& onData) {
  if ((record.sum & 0xFF) != 0) return HexChecksumError;
  switch (record.type) {
    case 0:
      onData();
      return HexSuccess;
    case 1:
      return HexWrongLabel;
    case 2:
    case 4:
      return bases.Apply(record) ? HexSuccess : HexTruncatedRecord;
    case 3:
    case 5:
      return HexSuccess;
    default:
      fault.recordType = static_cast<std::int32_t>(record.type);
      return HexUnknownType;
  }
}

// Walks `body` checked; a fault is given with its line in `text`. `onData` sees every data
// record, answers whether it held a byte, and may set a conflict in `fault`, which ends the walk.
template <typename OnData>
std::int32_t CheckText(std::string_view text, std::string_view body, HexFault& fault, OnData&& onData) {
  Bases bases;
  bool data = false;
  const char* failedAt = nullptr;
  fault.code = WalkRecords<true>(
      body,
      [&](const Record& record) {
        const std::int32_t code =
            CheckRecord(record, bases, fault, [&] { data = onData(record, bases) || data; });
        return code != HexSuccess ? code : fault.code;  // onData may have found a conflict
      },
      &failedAt);
  if (fault.code != HexSuccess) {
    if (fault.line == 0) fault.line = LineOf(text, failedAt);
  } else if (!data) {
    fault.code = HexEmpty;
  }
  return fault.code;
}

// A conflict found in a table of which record wrote each byte: `record` gives the byte at
// `address` other than the one `earlier` gave.
void SetConflict(HexFault& fault, std::string_view text, const char* record, const char* earlier,
                 std::uint64_t address) {
  fault.code = HexConflict;
  fault.line = LineOf(text, record);
  fault.earlierLine = LineOf(text, earlier);
  fault.address = address;
}

// The first record of `body` (sound, its data inside [0, extent)) that gives an address a byte
// other than an earlier record gave; the records in no order of addresses take this path.
void FindConflict(std::string_view text, std::string_view body, std::uint64_t extent, HexFault& fault) {
  std::vector<std::uint8_t> bytes(extent);
  std::vector<const char*> writer(extent, nullptr);
  Bases bases;
  std::uint8_t buffer[255];
  WalkRecords<false>(body, [&](const Record& record) -> std::int32_t {
    if (record.type == 2 || record.type == 4) bases.Apply(record);
    if (record.type != 0) return HexSuccess;
    CopyData(record, 0, record.count, buffer);
    bases.Pieces(record, [&](std::uint64_t at, unsigned first, unsigned count) {
      for (unsigned i = 0; i < count && fault.code == HexSuccess; ++i, ++at) {
        const std::uint8_t byte = buffer[first + i];
        if (writer[at] != nullptr && bytes[at] != byte)
          SetConflict(fault, text, record.start, writer[at], at);
        bytes[at] = byte;
        writer[at] = record.start;
      }
    });
    return fault.code;
  });
}

}  // namespace

std::string HexResultText(std::int32_t code) {
  switch (code) {
    case HexSuccess:
      return "Success.";
    case HexEofError:
      return "Hex file eof error.";
    case HexChecksumError:
      return "Hex file checksum error.";
    case HexWrongLabel:
      return "Hex file wrong label.";
    case HexBadDigit:
      return "Hex file bad digit.";
    case HexTruncatedRecord:
      return "Hex file record truncated.";
    case HexTooLarge:
      return "Hex file too large.";
    default:
      return "Unknow error.";
  }
}

HexReadResult ReadHexImage(std::string_view text, std::span<std::uint8_t> destination,
                           std::int64_t chipSize) {
  HexReadResult result;
  const Body body = RecordsBeforeEnd(text);

  // First pass: every record checked, the extent taken over all data records, and whether
  // each data record lies wholly above every earlier one, as any tool writes them.
  std::uint64_t end = 0;
  bool ascending = true;
  if (CheckText(text, body.records, result, [&](const Record& record, const Bases& bases) {
        bases.Pieces(record, [&](std::uint64_t at, unsigned, unsigned count) {
          // A record without bytes holds no data and so does not reach the end of it.
          if (count == 0) return;
          ascending = ascending && at >= end;
          end = std::max(end, at + count);
        });
        return record.count > 0;
      }) != HexSuccess) {
    return result;
  }
  if (!body.ended) {
    result.code = HexEofError;
    return result;
  }

  result.extent = end;
  const std::int64_t room =
      std::clamp<std::int64_t>(chipSize, 0, static_cast<std::int64_t>(destination.size()));
  if (end > static_cast<std::uint64_t>(room)) {
    result.code = HexTooLarge;
    return result;
  }
  if (!ascending) {
    FindConflict(text, body.records, end, result);
    if (result.code != HexSuccess) return result;
  }

  // Second pass: the records are known to be sound and to lie inside [0, extent).
  std::fill_n(destination.begin(), end, std::uint8_t{0xFF});
  Bases bases;
  WalkRecords<false>(body.records, [&](const Record& record) -> std::int32_t {
    // A record without bytes is not in the extent and may name an address past the image.
    if (record.type == 0 && record.count > 0) {
      bases.Pieces(record, [&](std::uint64_t at, unsigned first, unsigned count) {
        CopyData(record, first, count, destination.data() + at);
        result.given.Add(static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(at + count));
      });
    } else if (record.type == 2 || record.type == 4) {
      bases.Apply(record);
    }
    return HexSuccess;
  });
  result.length = static_cast<std::size_t>(end);
  return result;
}

HexRegionRead ReadHexRegions(std::string_view text) {
  HexRegionRead read;
  const Body body = RecordsBeforeEnd(text);
  // Which record wrote each byte of each region, for the conflicts.
  std::array<std::vector<const char*>, kRegionCount> writers;
  std::uint8_t bytes[255];
  CheckText(text, body.records, read, [&](const Record& record, const Bases& bases) {
    CopyData(record, 0, record.count, bytes);
    bases.Pieces(record, [&](std::uint64_t at, unsigned first, unsigned count) {
      for (unsigned i = 0; i < count && read.code == HexSuccess; ++i) {
        const std::optional<RegionAddress> where = Locate(at + i);
        if (!where) continue;
        std::vector<const char*>& writer = writers[static_cast<std::size_t>(where->region)];
        if (writer.size() <= where->offset) writer.resize(where->offset + 1, nullptr);
        const char*& previous = writer[where->offset];
        if (previous != nullptr && read.image[where->region].bytes[where->offset] != bytes[first + i]) {
          SetConflict(read, text, record.start, previous, at + i);
        }
        previous = record.start;
      }
      const auto outside = Place(read.image, at, {bytes + first, count});
      if (outside && !read.outsideAddress) read.outsideAddress = outside;
    });
    return record.count > 0;
  });
  if (read.code == HexSuccess && !body.ended) read.code = HexEofError;
  if (read.code != HexSuccess) {
    read.image = {};
    read.outsideAddress.reset();
  }
  return read;
}

}  // namespace kestrel::image
