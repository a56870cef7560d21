#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace orvel {

using Nanos = std::chrono::nanoseconds;
using Millis = std::chrono::milliseconds;

// The source of time for every timer of the program and for the blocking pause. The program
// runs on Qt's event loop; tests install a virtual clock so that timer semantics can be checked
// tick by tick, fast and deterministically.
class TimerService {
 public:
  // One timer of the service. start() (re)arms it: the first timeout after firstDelay, then every
  // period (a period of zero makes it single-shot). Timeouts are delivered on the thread that
  // owns the service, serialised with everything else that runs there.
  class Handle {
   public:
    virtual ~Handle() = default;
    virtual void start(Nanos firstDelay, Nanos period) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
  };

  virtual ~TimerService() = default;
  virtual std::unique_ptr<Handle> createHandle(std::function<void()> onTimeout) = 0;
  // Monotonic time since an arbitrary origin.
  virtual Nanos now() const = 0;
  // Holds the calling thread: nothing is processed meanwhile, events wait in their queues.
  virtual void blockingPause(Millis duration) = 0;
};

// Qt's event loop with precise timers (a coarse timer may fire 5 % late, which loses frames).
class QtTimerService : public TimerService {
 public:
  QtTimerService();
  ~QtTimerService() override;
  std::unique_ptr<Handle> createHandle(std::function<void()> onTimeout) override;
  Nanos now() const override;
  void blockingPause(Millis duration) override;

 private:
  struct Clock;
  std::unique_ptr<Clock> clock_;
};

// A window timer: ticks every interval while running and keeps its own tick count; it expires on
// the tick on which the count, after being increased by one, reaches expiresOnTick. The count is
// set to 0 on expiry and by resetCount(). Starting a running timer changes nothing (it keeps its
// phase), stopping keeps the count.
class WindowTimer {
 public:
  WindowTimer(TimerService& service, int intervalMs, int expiresOnTick,
              std::function<void()> onExpiry);
  void start();
  void stop();
  bool isRunning() const;
  void resetCount() { count_ = 0; }
  int count() const { return count_; }
  int intervalMs() const { return intervalMs_; }
  int expiresOnTick() const { return expiresOnTick_; }

 private:
  void tick();

  std::unique_ptr<TimerService::Handle> handle_;
  int intervalMs_;
  int expiresOnTick_;
  int count_ = 0;
  std::function<void()> onExpiry_;
};

// The short pacing timers of the live and sample loops. A start is the moment a reply has been
// handled; the tick (the next request) then comes at the later of that moment and the next slot
// of a grid one interval apart, and never closer than the minimum gap to the previous tick. The
// grid is counted from the first tick (or from a request sent outside the timer, see
// requestSent) and keeps its phase while replies come within their slot or a little late, so
// the loop keeps its rate whatever each wake-up costs: ticks that came late catch up, never
// closer than the minimum gap. A reply handled more than half a slot late (an adapter that holds
// bytes back, a stalled machine) moves the grid to the tick it gets then: no requests are
// bunched to make up for time that is gone.
class PacedTimer {
 public:
  // minimumGapMs: how close two ticks may come. The live loop's 18 ms of its 20 leave the
  // controller's 9.4 ms of request and reply ample room, while the millisecond or so a wake-up
  // comes late on a busy machine is not taken out of the next request's slot; the sample loop
  // never goes sooner than its full 50 ms.
  PacedTimer(TimerService& service, int intervalMs, int minimumGapMs, std::function<void()> onTick);
  void start();
  void stop();
  bool isRunning() const { return running_; }
  int intervalMs() const { return static_cast<int>(interval_ / Millis(1)); }
  // The loop's request went out now. Without a tick (the first of a run) the grid starts here;
  // from the tick the next one keeps its minimum gap from this moment.
  void requestSent();
  // Its tick's handler is running.
  bool inTick() const { return inTick_; }

 private:
  void fire();
  void arm();

  TimerService& service_;
  std::unique_ptr<TimerService::Handle> handle_;
  Nanos interval_;
  Nanos minimumGap_;
  std::function<void()> onTick_;
  bool running_ = false;
  bool anchored_ = false;
  bool inTick_ = false;
  unsigned arms_ = 0;
  Nanos slot_{0};      // the slot of the last tick
  Nanos lastTick_{0};  // when the last tick actually came
  Nanos armedFor_{0};  // the slot the pending wake-up is for
};

}  // namespace orvel
