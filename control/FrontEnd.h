#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/TonePlayer.h"
#include "control/ActivityLog.h"
#include "control/FrontEndPorts.h"
#include "control/Operations.h"
#include "control/Run.h"

namespace kestrel::control {

// The read-only fields of signature, calibration, fuses and lock, and the chip named by its
// signature.
enum class Field { Signature, Calibration, FuseLock, Chip };

// The bytes behind a field's text, as the chip answered them: the signature's three, the
// calibration's four, and for fuse-lock the low, high, extended and lock bytes. A front end
// that words them itself (or hands them to a script) needs no text to parse.
struct FieldBytes {
  Field field = Field::Signature;
  std::vector<std::uint8_t> bytes;
  // fuse-lock: how many fuse bytes the selected chip has (2: low and high; 3: and extended);
  // 3 when the chip's facts are not known.
  int fuseBytes = 3;
};

// What the core tells a front end (the desktop window, the command line, a test), and the one
// question it may ask while a run goes on. The answers a run needs come with its RunRequest.
// Called only on the front end's thread.
class FrontEnd : public MessageSink, public PageSwitch {
 public:
  virtual LogListPort& LogList() = 0;
  virtual void SetFieldText(Field field, const std::string& text) = 0;
  // Comes just before the SetFieldText of the same reply.
  virtual void ShowFieldBytes(const FieldBytes& /*bytes*/) {}
  virtual void ShowProgress(const RunProgress& progress) = 0;
  virtual HexViewPort& FlashView() = 0;
  virtual HexViewPort& EepromView() = 0;
  HexViewPort& View(MemoryKind kind) { return kind == MemoryKind::Flash ? FlashView() : EepromView(); }
  virtual TonePlayer& Tones() = 0;

  // A factory reset or a whole-chip file sets the fuse and lock texts.
  virtual void SetFuseText(const std::string&) {}
  virtual void SetLockText(const std::string&) {}
  // A fuse text that would lock ISP out goes through only when the user confirms it, told
  // the consequence; a front end that cannot ask refuses.
  virtual bool ConfirmLockout(const std::string& /*consequence*/) { return false; }
  // An identified chip was picked in the chip list: show it there.
  virtual void ShowSelectedChip(int /*index*/) {}

  // A run's life, as it happens: the start, each operation's begin and end, the outcome.
  virtual void RunStarted() {}
  virtual void OperationBegan(Operation /*operation*/) {}
  virtual void OperationEnded(Operation /*operation*/, const OperationResult& /*result*/) {}
  // An open put a file's image into a memory (its path), or left the memory without one (empty).
  virtual void ImageOpened(MemoryKind /*memory*/, const std::string& /*path*/) {}
  virtual void RunEnded(const Outcome& /*outcome*/) {}
  // The fuse and lock bytes a read just brought back: low, high, extended, lock.
  virtual void FusesRead(const std::array<std::uint8_t, 4>& /*bytes*/) {}
  // Where the open programmer sits, or empty when none is open or it went away.
  virtual void ConnectionChanged(const std::string& /*address*/) {}
};

}  // namespace kestrel::control
