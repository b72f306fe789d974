#include "production/Station.h"

#include <mutex>

#include "control/BlockingStatusChannel.h"
#include "control/ProgrammerController.h"

namespace kestrel::production {
namespace {

// The stations' tones go to one player: a beep of one must not cut into another's.
class SharedTones : public TonePlayer {
 public:
  explicit SharedTones(TonePlayer* player) : player_(player) {}
  void Play(int frequencyHz, int durationMs) override {
    if (player_ == nullptr) return;
    static std::mutex playing;
    const std::lock_guard lock(playing);
    player_->Play(frequencyHz, durationMs);
  }

 private:
  TonePlayer* player_;
};

// The controller's front end and the loop's observer of one station: it answers no questions
// (a lock-out fuse text is refused, as the command line does without its option) and hands
// everything it is told to the station's observer with the station's address.
class StationFrontEnd : public control::FrontEnd, public LoopObserver, private control::LogListPort {
 public:
  StationFrontEnd(const std::string& address, StationObserver& observer, TonePlayer* tones)
      : address_(address), observer_(observer), tones_(tones) {}

  // control::FrontEnd
  void ShowMessage(const std::string& text) override { observer_.LogLine(address_, text); }
  void ShowPage(int) override {}
  control::LogListPort& LogList() override { return *this; }
  void SetFieldText(control::Field, const std::string&) override {}
  void ShowProgress(const control::RunProgress& progress) override { observer_.Progress(address_, progress); }
  control::HexViewPort& FlashView() override { return flashView_; }
  control::HexViewPort& EepromView() override { return eepromView_; }
  TonePlayer& Tones() override { return tones_; }

  // LoopObserver
  void WaitingForChip() override { observer_.Waiting(address_); }
  void Programming(const std::string& serial) override { observer_.Programming(address_, serial); }
  void DatabaseUnreachable() override { observer_.DatabaseUnreachable(address_); }
  void ChipEnded(const ChipReport& report) override { observer_.ChipEnded(address_, report); }

 private:
  // control::LogListPort: every line as it arrives.
  void InsertLine(int, const std::string& text) override { observer_.LogLine(address_, text); }
  void SelectLine(int) override {}
  void ResetLines() override {}

  const std::string& address_;
  StationObserver& observer_;
  SharedTones tones_;
  control::HexViewPort flashView_;
  control::HexViewPort eepromView_;
};

}  // namespace

Station::Station(const Job& job, std::int64_t jobId, ProductionStore& store, device::UsbBus& bus,
                 chips::ChipBooks books, StationSettings settings, StationObserver& observer)
    : job_(job),
      jobId_(jobId),
      store_(store),
      bus_(bus),
      books_(std::move(books)),
      settings_(std::move(settings)),
      observer_(observer) {
  settings_.loop.stops = &stops_;
}

Station::~Station() {
  RequestStop();
  RequestStop();
  Join();
}

void Station::Start() {
  thread_ = std::thread([this] { Main(); });
}

void Station::Join() {
  if (thread_.joinable()) thread_.join();
}

void Station::Main() {
  // The channel belongs to the thread that builds it: the controller's codes are handled here.
  control::BlockingStatusChannel channel;
  StationFrontEnd frontEnd(settings_.address, observer_, settings_.tones);
  control::ProgrammerController controller(bus_, frontEnd, channel);
  channel.SetHandler([&controller](device::Status code, std::uint32_t argument) {
    controller.OnProgrammerStatus(code, argument);
  });
  std::string error;
  controller.UseChipBooks(std::move(books_));
  controller.SelectProgrammer(settings_.address);
  controller.BindImageViews();
  if (!controller.ProbeProgrammer()) {
    end_ = LoopEnd::ProgrammerFailed;
  } else {
    channel.PumpUntil([&controller] { return controller.Idle(); });
    ProductionLoop loop(
        job_, jobId_, store_, controller,
        [&channel](const std::function<bool()>& done) { channel.PumpUntil(done); }, settings_.loop);
    end_ = loop.Run(frontEnd);
    totals_ = loop.totals();
    error = loop.error();
  }
  observer_.Ended(settings_.address, end_, totals_, error);
  finished_.store(true, std::memory_order_release);
}

}  // namespace kestrel::production
