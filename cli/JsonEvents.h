#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "control/FrontEnd.h"
#include "production/ProductionLoop.h"

// The events of --output json (docs/JSON-EVENTS.md): one table names every event and its
// fields, and the writer fills exactly those fields, so a script's view of the format and the
// program's cannot drift apart.
namespace kestrel::cli {

enum class Event { Log, Field, Progress, Operation, Run, Chip, Summary };

struct EventDescription {
  Event event;
  const char* name;
  // Besides "v" and "event", in the order they are written.
  std::vector<const char*> fields;
};

std::span<const EventDescription> EventTable();

// Writes JSON Lines to one stream, each line flushed at once; safe to call from several
// threads (produce on several programmers).
class JsonEvents {
 public:
  explicit JsonEvents(std::FILE* out) : out_(out) {}

  // One object of `event`: its fields from the table, given `values` in the table's order. A
  // count that differs from the table's is a programming error: std::logic_error.
  void Write(Event event, std::vector<nlohmann::json> values);

  void Log(const std::string& time, const std::string& text, bool failure);
  void Field(const control::FieldBytes& bytes);
  void Chips(const std::string& names);  // the chip field: names separated by commas
  void Progress(const control::RunProgress& progress);
  void OperationEnded(control::Operation operation, const control::OperationResult& result);
  void RunEnded(const control::Outcome& outcome);
  // `programmer`: the address with several programmers, else empty.
  void Chip(const production::ChipReport& report, const std::string& programmer);
  void Summary(const production::LoopTotals& totals, const std::string& programmer);

 private:
  std::FILE* out_;
  std::mutex mutex_;
};

// The stable names the events use.
const char* OperationName(control::Operation operation);
const char* CauseName(control::Cause cause);

// Now as ISO 8601 local time with milliseconds and the offset: "2026-12-07T14:30:05.123+08:00".
std::string IsoTimeNow();

}  // namespace kestrel::cli
