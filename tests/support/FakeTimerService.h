#pragma once

#include "link/Timers.h"

#include <vector>

namespace orvel::test {

// Virtual time for timer tests: nothing happens until advance() moves the clock, and then every
// timeout fires at its exact due time, in order. A blocking pause moves the clock without firing
// anything; timers that fell due meanwhile fire once when time next advances, as an event loop
// that was held up would deliver them.
class FakeTimerService : public TimerService {
 public:
  ~FakeTimerService() override;
  std::unique_ptr<Handle> createHandle(std::function<void()> onTimeout) override;
  Nanos now() const override { return now_; }
  void blockingPause(Millis duration) override;

  void advance(Nanos by);
  void advanceMs(double ms) { advance(Nanos(static_cast<long long>(ms * 1e6))); }
  // Fires whatever is due now without moving the clock (a zero-delay timeout).
  void processDue() { advance(Nanos(0)); }
  Millis totalPaused() const { return paused_; }
  int pauseCount() const { return pauses_; }

 private:
  struct Entry;
  class FakeHandle;
  friend class FakeHandle;

  Nanos now_{0};
  Millis paused_{0};
  int pauses_ = 0;
  std::vector<FakeHandle*> handles_;
};

}  // namespace orvel::test
