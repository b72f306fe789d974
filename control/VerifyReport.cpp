#include "control/VerifyReport.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "base/Bytes.h"
#include "base/Format.h"
#include "base/Texts.h"
#include "device/StatusCode.h"

namespace kestrel::control {
namespace {

// Logs one line per differing byte of [begin, end), numbered on from `count` in address order,
// through the quiet InsertLogLine; returns how many there were in all.
std::int32_t ReportDifferences(LogSink& log, const std::uint8_t* image, const std::uint8_t* readback,
                               std::int32_t begin, std::int32_t end, std::int32_t count = 0) {
  char buffer[128];
  std::string line;
  for (std::int32_t address = begin; address < end; ++address) {
    if (image[address] == readback[address]) continue;
    ++count;
    const int size = std::snprintf(buffer, sizeof buffer, texts::kVerifyDifferencePattern, count,
                                   static_cast<unsigned>(address), image[address], readback[address]);
    const int used = std::clamp(size, 0, static_cast<int>(sizeof buffer) - 1);
    line.assign(buffer, static_cast<std::size_t>(used));
    log.InsertLogLine(line);
  }
  return count;
}

void Report(ImageContext& context, const MemoryEntry& entry, std::int32_t count) {
  context.differences = count;
  context.log.AppendLog(Printf(texts::kVerifyCountPattern, count));
  context.log.AppendLog(entry.verifyEnd);
  context.engine.PostStatus(count == 0 ? entry.verifyPassed : entry.verifyFailed);
}

}  // namespace

void Verify(ImageContext& context, device::MemoryKind kind, bool restErased) {
  LogSink& log = context.log;
  const MemoryEntry& entry = EntryOf(kind);
  const device::Memory& memory = context.engine.memories()[kind];
  log.AppendLog(entry.verifyBegin);
  if (!memory.readbackValid) {
    // Bytes that never came from the chip, or came from it only in part, prove nothing.
    log.AppendLog(Printf(texts::kVerifyNoReadbackPattern, entry.name));
    log.AppendLog(entry.verifyEnd);
    context.engine.PostStatus(entry.verifyFailed);
    return;
  }
  const auto size =
      static_cast<std::int32_t>(MemoryLength(context.geometry, context.engine.memories(), kind));
  // Only the chip's part of each buffer is compared (and takes memory).
  const std::uint8_t* const image = memory.image.Use(static_cast<std::size_t>(size));
  const std::uint8_t* const readback = memory.readback.Use(static_cast<std::size_t>(size));
  if (!restErased && !memory.given.Empty()) {
    // What the chip held outside the file's bytes was never asked of it.
    std::int32_t count = 0;
    for (const ByteRange& range : memory.given.ranges()) {
      const auto end =
          static_cast<std::int32_t>(std::min<std::uint32_t>(range.end, static_cast<std::uint32_t>(size)));
      count = ReportDifferences(log, image, readback, static_cast<std::int32_t>(range.begin), end, count);
    }
    return Report(context, entry, count);
  }
  const std::int32_t imageLength = TrimmedLength(image, size);
  const std::int32_t readbackLength = TrimmedLength(readback, size);
  if (imageLength != readbackLength) {
    log.AppendLog(texts::kVerifyLengthMismatch);
    log.AppendLog(entry.verifyEnd);
    context.engine.PostStatus(entry.verifyFailed);
    return;
  }
  Report(context, entry, ReportDifferences(log, image, readback, 0, imageLength));
}

bool BlankCheck(ImageContext& context, device::MemoryKind kind) {
  const MemoryEntry& entry = EntryOf(kind);
  const device::Memory& memory = context.engine.memories()[kind];
  if (!memory.readbackValid) {
    context.log.AppendLog(Printf(texts::kVerifyNoReadbackPattern, entry.name));
    return false;
  }
  const std::size_t size = MemoryLength(context.geometry, context.engine.memories(), kind);
  const std::uint8_t* const bytes = memory.readback.Use(size);
  const auto blank = [](std::uint8_t byte) { return byte == 0xFF; };
  const auto first = std::find_if_not(bytes, bytes + size, blank);
  if (first == bytes + size) {
    context.log.AppendLog(Printf(texts::kBlankPassedPattern, entry.name, static_cast<int>(size)));
    return true;
  }
  const auto count = std::count_if(first, bytes + size, [](std::uint8_t byte) { return byte != 0xFF; });
  context.log.AppendLog(Printf(texts::kBlankFailedPattern, entry.name, static_cast<unsigned>(first - bytes),
                               static_cast<int>(count)));
  return false;
}

}  // namespace kestrel::control
