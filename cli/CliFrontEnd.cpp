#include "cli/CliFrontEnd.h"

#include <algorithm>

namespace kestrel::cli {
namespace {

constexpr int kBarWidth = 40;

// A message box's CR LF line breaks as terminal line breaks.
std::string PlainLines(const std::string& text) {
  std::string lines;
  lines.reserve(text.size() + 1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    lines += text[i];
  }
  if (lines.empty() || lines.back() != '\n') lines += '\n';
  return lines;
}

const char* FieldName(control::Field field) {
  switch (field) {
    case control::Field::Signature:
      return "signature";
    case control::Field::Calibration:
      return "calibration";
    case control::Field::FuseLock:
      return "fuse-lock";
    case control::Field::Chip:
      return "chip";
  }
  return "field";
}

}  // namespace

void WriteAll(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

CliFrontEnd::CliFrontEnd(Terminal terminal, std::unique_ptr<TonePlayer> sound)
    : terminal_(terminal), tones_(std::move(sound)) {}

CliFrontEnd::~CliFrontEnd() {
  EndProgress();
  FlushEvents();
}

void CliFrontEnd::FlushEvents() {
  if (terminal_.events == nullptr) return;
  for (const Pending& event : pending_) {
    if (event.other)
      event.other(*terminal_.events);
    else
      terminal_.events->Log(event.time, event.text, event.failure);
  }
  pending_.clear();
}

void CliFrontEnd::ShowFieldBytes(const control::FieldBytes& bytes) {
  if (terminal_.events == nullptr || quiet_) return;
  pending_.push_back({.other = [bytes](JsonEvents& events) { events.Field(bytes); }});
}

void CliFrontEnd::OperationEnded(control::Operation operation, const control::OperationResult& result) {
  if (terminal_.events == nullptr || quiet_) return;
  FlushEvents();
  terminal_.events->OperationEnded(operation, result);
}

void CliFrontEnd::RunEnded(const control::Outcome& outcome) {
  outcome_ = outcome;
  if (terminal_.events == nullptr || quiet_) return;
  FlushEvents();
  terminal_.events->RunEnded(outcome);
}

void CliFrontEnd::MarkFailureLine(int index) {
  for (Pending& event : pending_) event.failure = event.failure || event.index == index;
}

void CliFrontEnd::ShowMessage(const std::string& text) {
  EndProgress();
  ++messageCount_;
  WriteAll(terminal_.err, PlainLines(text));
}

void CliFrontEnd::ShowPage(int) {}

void CliFrontEnd::SetFieldText(control::Field field, const std::string& text) {
  if (quiet_) return;
  if (terminal_.events != nullptr && field == control::Field::Chip)
    pending_.push_back({.other = [text](JsonEvents& events) { events.Chips(text); }});
  WriteLine(std::string(FieldName(field)) + " " + text);
}

void CliFrontEnd::ShowProgress(const control::RunProgress& progress) {
  if (terminal_.events != nullptr && !quiet_) terminal_.events->Progress(progress);
  if (!terminal_.drawProgress) return;
  const int position = std::clamp(progress.position, 0, 100);
  if (position == progressShown_) return;
  progressShown_ = position;
  const int filled = position * kBarWidth / 100;
  std::string bar = "\r[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "] ";
  bar += std::to_string(position) + "%";
  WriteAll(terminal_.err, bar);
}

void CliFrontEnd::EndProgress() {
  if (progressShown_ < 0) return;
  progressShown_ = -1;
  WriteAll(terminal_.err, "\r\033[K");
}

void CliFrontEnd::InsertLine(int index, const std::string& text) {
  if (quiet_) return;
  if (terminal_.events != nullptr) pending_.push_back({.index = index, .time = IsoTimeNow(), .text = text});
  WriteLine(text);
}

void CliFrontEnd::WriteLine(const std::string& text) {
  // A bar left on a shared terminal would run into the line; the next page redraws it.
  EndProgress();
  WriteAll(terminal_.out, text + "\n");
}

}  // namespace kestrel::cli
