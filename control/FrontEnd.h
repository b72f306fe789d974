#pragma once

#include <string>

#include "control/ActivityLog.h"
#include "control/Operations.h"
#include "base/TonePlayer.h"
#include "control/FrontEndPorts.h"

namespace kestrel::control {

enum class Field { Signature, Calibration, FuseLock };  // read-only fields 1045, 1046, 1047

// Everything the core asks of a front end (the desktop window, the command line, a test).
// Called only on the front end's thread.
class FrontEnd : public FileChooser, public MessageSink, public PageSwitch {
 public:
  virtual LogListPort& LogList() = 0;
  virtual void SetFieldText(Field field, const std::string& text) = 0;
  virtual std::string FuseText() = 0;  // fuse field 1009
  virtual std::string LockText() = 0;  // lock field 1014
  virtual AutoSelection AutoBoxes() = 0;
  virtual void SetProgress(int position) = 0;  // 0..100
  virtual HexViewPort& FlashView() = 0;
  virtual HexViewPort& EepromView() = 0;
  virtual TonePlayer& Tones() = 0;
};

}  // namespace kestrel::control
