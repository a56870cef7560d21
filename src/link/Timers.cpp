#include "link/Timers.h"

#include "core/Dialogs.h"

#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

namespace orvel {

namespace {

// A timer on a Linux timerfd watched by the event loop: it fires within tens of microseconds of
// its due time, where QTimer has millisecond granularity. The pacing timers need that to keep
// one request per 20 ms without ever going sooner.
class TimerFdHandle : public TimerService::Handle {
 public:
  TimerFdHandle(int fd, std::function<void()> onTimeout)
      : fd_(fd), notifier_(fd, QSocketNotifier::Read), onTimeout_(std::move(onTimeout)) {
    QObject::connect(&notifier_, &QSocketNotifier::activated, [this] {
      std::uint64_t expirations = 0;
      if (::read(fd_, &expirations, sizeof expirations) != sizeof expirations) return;
      if (!active_) return;
      // Missed periods are coalesced into one timeout, as an event loop does with timers.
      if (period_ == Nanos(0)) active_ = false;
      onTimeout_();
    });
  }
  ~TimerFdHandle() override {
    notifier_.setEnabled(false);
    ::close(fd_);
  }

  void start(Nanos firstDelay, Nanos period) override {
    // A zero it_value would disarm the timer: "at once" is the next nanosecond.
    const Nanos first = firstDelay > Nanos(0) ? firstDelay : Nanos(1);
    const Nanos every = period > Nanos(0) ? period : Nanos(0);
    itimerspec armed{};
    armed.it_value = toTimespec(first);
    armed.it_interval = toTimespec(every);
    ::timerfd_settime(fd_, 0, &armed, nullptr);  // also clears expirations not yet read
    period_ = every;
    active_ = true;
  }
  void stop() override {
    itimerspec off{};
    ::timerfd_settime(fd_, 0, &off, nullptr);
    active_ = false;
  }
  bool isActive() const override { return active_; }

 private:
  static timespec toTimespec(Nanos n) {
    timespec t{};
    t.tv_sec = static_cast<time_t>(n.count() / 1'000'000'000);
    t.tv_nsec = static_cast<long>(n.count() % 1'000'000'000);
    return t;
  }

  int fd_;
  QSocketNotifier notifier_;
  std::function<void()> onTimeout_;
  Nanos period_{0};
  bool active_ = false;
};

// QTimer, where a timerfd cannot be had.
class QTimerHandle : public TimerService::Handle {
 public:
  explicit QTimerHandle(std::function<void()> onTimeout) : onTimeout_(std::move(onTimeout)) {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (pendingPeriod_ > 0) {
        // The first delay differed from the period; continue on the period from here.
        timer_.setInterval(pendingPeriod_);
        timer_.setSingleShot(false);
        pendingPeriod_ = 0;
      }
      onTimeout_();
    });
  }

  void start(Nanos firstDelay, Nanos period) override {
    // Round up: a timer must never expire before its time.
    const auto toMs = [](Nanos n) {
      const auto ms = (n.count() + 999'999) / 1'000'000;
      return static_cast<int>(ms < 0 ? 0 : ms);
    };
    const int first = toMs(firstDelay);
    const int every = toMs(period);
    pendingPeriod_ = every != 0 && first != every ? every : 0;
    timer_.setSingleShot(every == 0 || first != every);
    timer_.start(first);
  }
  void stop() override {
    pendingPeriod_ = 0;
    timer_.stop();
  }
  bool isActive() const override { return timer_.isActive(); }

 private:
  QTimer timer_;
  int pendingPeriod_ = 0;
  std::function<void()> onTimeout_;
};

}  // namespace

struct QtTimerService::Clock {
  QElapsedTimer elapsed;
};

QtTimerService::QtTimerService() : clock_(std::make_unique<Clock>()) {
  clock_->elapsed.start();
}
QtTimerService::~QtTimerService() = default;

std::unique_ptr<TimerService::Handle> QtTimerService::createHandle(
    std::function<void()> onTimeout) {
  const int fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (fd >= 0) return std::make_unique<TimerFdHandle>(fd, std::move(onTimeout));
  return std::make_unique<QTimerHandle>(std::move(onTimeout));
}

Nanos QtTimerService::now() const {
  return Nanos(clock_->elapsed.nsecsElapsed());
}

void QtTimerService::blockingPause(Millis duration) {
  QThread::msleep(static_cast<unsigned long>(duration.count()));
}

WindowTimer::WindowTimer(TimerService& service, int intervalMs, int expiresOnTick,
                         std::function<void()> onExpiry)
    : intervalMs_(intervalMs), expiresOnTick_(expiresOnTick), onExpiry_(std::move(onExpiry)) {
  handle_ = service.createHandle([this] { guarded([this] { tick(); }); });
}

void WindowTimer::start() {
  if (!handle_->isActive()) handle_->start(Millis(intervalMs_), Millis(intervalMs_));
}

void WindowTimer::stop() {
  handle_->stop();
}

bool WindowTimer::isRunning() const {
  return handle_->isActive();
}

void WindowTimer::tick() {
  if (++count_ >= expiresOnTick_) {
    count_ = 0;
    onExpiry_();
  }
}

PacedTimer::PacedTimer(TimerService& service, int intervalMs, int minimumGapMs,
                       std::function<void()> onTick)
    : service_(service),
      interval_(Millis(intervalMs)),
      minimumGap_(Millis(minimumGapMs)),
      onTick_(std::move(onTick)) {
  handle_ = service.createHandle([this] { guarded([this] { fire(); }); });
}

void PacedTimer::start() {
  if (running_) return;
  running_ = true;
  arm();
}

void PacedTimer::stop() {
  running_ = false;
  handle_->stop();
}

void PacedTimer::requestSent() {
  // From a tick the slot stays, and the gap counts from when the request goes out: a handler
  // held up between its tick and its write brings no two requests closer.
  lastTick_ = service_.now();
  if (inTick_) return;
  anchored_ = true;
  slot_ = lastTick_;
}

void PacedTimer::arm() {
  ++arms_;
  const Nanos now = service_.now();
  Nanos slot = now;
  Nanos at = now;
  if (anchored_) {
    const Nanos earliest = std::max(now, lastTick_ + minimumGap_);
    slot = slot_ + interval_;
    // A reply handled more than half a slot late moves the grid to the tick it gets now; one a
    // little late is answered at once all the same, and the ticks after it catch up with the
    // grid, never closer than the minimum gap.
    if (now > slot + interval_ / 2) slot = earliest;
    at = std::max(slot, earliest);
  }
  armedFor_ = slot;
  handle_->start(at > now ? at - now : Nanos(0), Nanos(0));
}

void PacedTimer::fire() {
  if (!running_) return;
  lastTick_ = service_.now();
  slot_ = anchored_ ? armedFor_ : lastTick_;
  anchored_ = true;
  const unsigned armsBefore = arms_;
  inTick_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{inTick_};
  onTick_();
  // A handler that leaves the timer running gets the next tick one interval later; one that
  // stopped and started it again has already armed it.
  if (running_ && arms_ == armsBefore) arm();
}

}  // namespace orvel
