#include "image/HexFileReader.h"

#include <algorithm>
#include <cstring>

#include "base/Bytes.h"

namespace kestrel::image {
namespace {

// The pair at `at`, which the caller has checked to be two hex digits.
inline unsigned Pair(const char* at) {
  return static_cast<unsigned>(HexDigitValue(at[0]) << 4 | HexDigitValue(at[1]));
}

constexpr std::string_view kEndRecord = ":00000001";
constexpr std::size_t kRecordOverhead = 11;  // colon, count, address, type, checksum

// One record as the walk sees it.
struct Record {
  unsigned count = 0;
  unsigned address = 0;
  char kind = 0;  // the second type digit; the first is never examined
  const char* data = nullptr;
  std::size_t length = 0;  // characters, colon included
  unsigned sum = 0;        // of all its bytes, checksum included; taken by a checked walk
};

// Walks the records of `body`, hands each to `visit`, which returns a result code (0 to go
// on), and ends at the first code that is not 0. With `kCheck` every character of a record
// is checked and its byte sum taken first: a record cut short by the end of `body` gives
// HexTruncatedRecord, a character that is not a hex digit HexBadDigit. Without it the
// records must have passed a checked walk already.
template <bool kCheck, typename Visit>
std::int32_t WalkRecords(std::string_view body, Visit&& visit, const char** failedAt = nullptr) {
  const char* const end = body.data() + body.size();
  const char* p = body.data();
  if (failedAt != nullptr) *failedAt = p;
  // Characters between records are skipped; memchr finds the next colon far faster than a
  // character loop.
  while (p < end) {
    const void* colon = std::memchr(p, ':', static_cast<std::size_t>(end - p));
    if (colon == nullptr) break;
    p = static_cast<const char*>(colon);
    if (failedAt != nullptr) *failedAt = p;
    Record record;
    if constexpr (kCheck) {
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
    record.kind = p[8];
    record.data = p + 9;
    const std::int32_t code = visit(record);
    if (code != HexSuccess) return code;
    p += record.length;
  }
  return HexSuccess;
}

// The data bytes of a record that a checked walk has passed.
void CopyData(const Record& record, std::uint8_t* out) {
  const char* at = record.data;
  for (unsigned i = 0; i < record.count; ++i, at += 2) out[i] = static_cast<std::uint8_t>(Pair(at));
}

// The bases of the address records seen so far; a segment and a linear base add up.
struct Bases {
  std::uint64_t segment = 0;
  std::uint64_t linear = 0;

  // Applies an address record; false when it carries no 16-bit value.
  bool Apply(const Record& record) {
    if (record.count < 2) return false;
    const std::uint64_t value = Pair(record.data) << 8 | Pair(record.data + 2);
    if (record.kind == '2') {
      segment = value * 16;
    } else {
      linear = value * 65536;
    }
    return true;
  }
  std::uint64_t Of(const Record& record) const { return segment + linear + record.address; }
};

// The text up to its first zero byte and before its end record, which is never parsed itself;
// nothing without an end record, or with nothing before it.
std::optional<std::string_view> RecordsBeforeEnd(std::string_view text) {
  if (const void* zero = std::memchr(text.data(), 0, text.size())) {
    text = text.substr(0, static_cast<std::size_t>(static_cast<const char*>(zero) - text.data()));
  }
  const std::size_t endRecord = text.find(kEndRecord);
  if (endRecord == std::string_view::npos || endRecord == 0) return std::nullopt;
  return text.substr(0, endRecord);
}

// The 1-based line of the text that `at` points into.
std::int32_t LineOf(std::string_view text, const char* at) {
  return 1 + static_cast<std::int32_t>(std::count(text.data(), at, '\n'));
}

// What a checked walk does with every record: its sum and type checked, an address record's
// base taken, `onData` called for a data record.
template <typename OnData>
std::int32_t CheckRecord(const Record& record, Bases& bases, OnData&& onData) {
  if ((record.sum & 0xFF) != 0) return HexChecksumError;
  switch (record.kind) {
    case '0':
      onData();
      return HexSuccess;
    case '2':
    case '4':
      return bases.Apply(record) ? HexSuccess : HexTruncatedRecord;
    case '3':
    case '5':
      return HexSuccess;
    default:
      return HexWrongLabel;
  }
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
  const std::optional<std::string_view> found = RecordsBeforeEnd(text);
  if (!found) {
    result.code = HexEofError;
    return result;
  }
  const std::string_view body = *found;

  // First pass: every record checked, the extent taken over all data records.
  std::uint64_t end = 0;
  Bases bases;
  const char* failedAt = nullptr;
  result.code = WalkRecords<true>(
      body,
      [&](const Record& record) {
        return CheckRecord(record, bases, [&] {
          // A record without bytes holds no data and so does not reach the end of it.
          if (record.count > 0) end = std::max(end, bases.Of(record) + record.count);
        });
      },
      &failedAt);
  if (result.code != HexSuccess) {
    result.line = LineOf(text, failedAt);
    return result;
  }

  result.extent = end;
  const std::int64_t room =
      std::clamp<std::int64_t>(chipSize, 0, static_cast<std::int64_t>(destination.size()));
  if (end > static_cast<std::uint64_t>(room)) {
    result.code = HexTooLarge;
    return result;
  }

  // Second pass: the records are known to be sound and to lie inside [0, extent).
  std::fill_n(destination.begin(), end, std::uint8_t{0xFF});
  bases = Bases{};
  WalkRecords<false>(body, [&](const Record& record) -> std::int32_t {
    // A record without bytes is not in the extent and may name an address past the image.
    if (record.kind == '0' && record.count > 0) {
      CopyData(record, destination.data() + bases.Of(record));
    } else if (record.kind == '2' || record.kind == '4') {
      bases.Apply(record);
    }
    return HexSuccess;
  });
  result.length = static_cast<std::size_t>(end);
  return result;
}

HexRegionRead ReadHexRegions(std::string_view text) {
  HexRegionRead read;
  const std::optional<std::string_view> body = RecordsBeforeEnd(text);
  if (!body) {
    read.code = HexEofError;
    return read;
  }
  Bases bases;
  std::vector<std::uint8_t> bytes;
  const char* failedAt = nullptr;
  read.code = WalkRecords<true>(
      *body,
      [&](const Record& record) -> std::int32_t {
        return CheckRecord(record, bases, [&] {
          bytes.resize(record.count);
          CopyData(record, bytes.data());
          const auto outside = Place(read.image, bases.Of(record), bytes);
          if (outside && !read.outsideAddress) read.outsideAddress = outside;
        });
      },
      &failedAt);
  if (read.code != HexSuccess) {
    read.errorLine = LineOf(text, failedAt);
    read.image = {};
  }
  return read;
}

}  // namespace kestrel::image
