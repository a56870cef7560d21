#include "support/FakeTimerService.h"

#include <algorithm>

namespace orvel::test {

class FakeTimerService::FakeHandle : public TimerService::Handle {
 public:
  FakeHandle(FakeTimerService& owner, std::function<void()> onTimeout)
      : owner_(&owner), onTimeout_(std::move(onTimeout)) {
    owner_->handles_.push_back(this);
  }
  ~FakeHandle() override {
    if (owner_) {
      auto& list = owner_->handles_;
      list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
  }
  void start(Nanos firstDelay, Nanos period) override {
    active_ = true;
    due_ = owner_->now_ + std::max(firstDelay, Nanos(0));
    period_ = period;
  }
  void stop() override { active_ = false; }
  bool isActive() const override { return active_; }

  void detach() { owner_ = nullptr; }

  bool active_ = false;
  Nanos due_{0};
  Nanos period_{0};
  FakeTimerService* owner_;
  std::function<void()> onTimeout_;
};

FakeTimerService::~FakeTimerService() {
  for (FakeHandle* h : handles_)
    h->detach();
}

std::unique_ptr<TimerService::Handle> FakeTimerService::createHandle(
    std::function<void()> onTimeout) {
  return std::make_unique<FakeHandle>(*this, std::move(onTimeout));
}

void FakeTimerService::blockingPause(Millis duration) {
  now_ += duration;
  paused_ += duration;
  ++pauses_;
}

void FakeTimerService::advance(Nanos by) {
  const Nanos target = now_ + by;
  for (;;) {
    FakeHandle* next = nullptr;
    for (FakeHandle* h : handles_) {
      if (h->active_ && h->due_ <= target && (!next || h->due_ < next->due_)) next = h;
    }
    if (!next) break;
    // A timeout that fell due during a blocking pause is delivered late, at the current time.
    if (next->due_ > now_) now_ = next->due_;
    if (next->period_ > Nanos(0)) {
      // Missed periods are coalesced into one late timeout, as an event loop does.
      Nanos following = next->due_ + next->period_;
      if (following <= now_) following = now_ + next->period_;
      next->due_ = following;
    } else {
      next->active_ = false;
    }
    next->onTimeout_();
  }
  now_ = std::max(now_, target);
}

}  // namespace orvel::test
