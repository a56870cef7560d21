#include "link/Timers.h"

#include "app/Dialogs.h"

#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

namespace orvel {

namespace {

class QtHandle : public TimerService::Handle {
 public:
  explicit QtHandle(std::function<void()> onTimeout) : onTimeout_(std::move(onTimeout)) {
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
    if (every == 0) {
      pendingPeriod_ = 0;
      timer_.setSingleShot(true);
      timer_.start(first);
    } else if (first == every) {
      pendingPeriod_ = 0;
      timer_.setSingleShot(false);
      timer_.start(every);
    } else {
      pendingPeriod_ = every;
      timer_.setSingleShot(true);
      timer_.start(first);
    }
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
  return std::make_unique<QtHandle>(std::move(onTimeout));
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

PacedTimer::PacedTimer(TimerService& service, int intervalMs, std::function<void()> onTick)
    : service_(service), interval_(Millis(intervalMs)), onTick_(std::move(onTick)) {
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

void PacedTimer::arm() {
  ++arms_;
  const Nanos now = service_.now();
  const Nanos next = ticked_ ? due_ + interval_ : now;
  due_ = next > now ? next : now;
  handle_->start(due_ - now, Nanos(0));
}

void PacedTimer::fire() {
  if (!running_) return;
  ticked_ = true;
  const unsigned armsBefore = arms_;
  onTick_();
  // A handler that leaves the timer running gets the next tick one interval later; one that
  // stopped and started it again has already armed it.
  if (running_ && arms_ == armsBefore) arm();
}

}  // namespace orvel
