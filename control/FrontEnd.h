#pragma once

#include <string>

#include "base/TonePlayer.h"
#include "control/ActivityLog.h"
#include "control/FrontEndPorts.h"
#include "control/Operations.h"

namespace kestrel::control {

// The read-only fields of signature, calibration, fuses and lock, and the chip named by its
// signature.
enum class Field { Signature, Calibration, FuseLock, Chip };

// Everything the core asks of a front end (the desktop window, the command line, a test).
// Called only on the front end's thread.
class FrontEnd : public FileChooser, public MessageSink, public PageSwitch {
 public:
  virtual LogListPort& LogList() = 0;
  virtual void SetFieldText(Field field, const std::string& text) = 0;
  virtual std::string FuseText() = 0;  // the fuse field
  virtual std::string LockText() = 0;  // the lock field
  virtual AutoSelection AutoBoxes() = 0;
  virtual void SetProgress(int position) = 0;  // 0..100
  virtual HexViewPort& FlashView() = 0;
  virtual HexViewPort& EepromView() = 0;
  virtual TonePlayer& Tones() = 0;

  // A factory reset or a whole-chip file sets the fuse and lock texts.
  virtual void SetFuseText(const std::string&) {}
  virtual void SetLockText(const std::string&) {}
  // A fuse text that would lock ISP out goes through only when the user confirms it, told
  // the consequence; a front end that cannot ask refuses.
  virtual bool ConfirmLockout(const std::string& /*consequence*/) { return false; }
  // An identified chip was picked in the chip list: show it there.
  virtual void ShowSelectedChip(int /*index*/) {}
};

}  // namespace kestrel::control
