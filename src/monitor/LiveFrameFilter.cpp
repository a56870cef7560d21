#include "monitor/LiveFrameFilter.h"

namespace orvel {

namespace {

int periodOf(const RawLiveFrame& f) {
  return f[4] + 256 * f[5];
}

bool closeTo(int period, int other) {
  return period <= LiveFrameFilter::kPeriodRatio * other &&
         other <= LiveFrameFilter::kPeriodRatio * period;
}

}  // namespace

LiveFrameFilter::Verdict LiveFrameFilter::offer(const RawLiveFrame& frame) {
  Verdict v;
  const int period = periodOf(frame);
  if (period == 0) {
    v.show.push_back(frame);
    return v;
  }
  if (!lastPeriod_ || closeTo(period, *lastPeriod_)) {
    if (held_) ++v.dropped;
    held_.reset();
    lastPeriod_ = period;
    v.show.push_back(frame);
    return v;
  }
  if (held_ && closeTo(period, periodOf(*held_))) {
    v.show.push_back(*held_);
    v.show.push_back(frame);
    held_.reset();
    lastPeriod_ = period;
    return v;
  }
  if (held_) ++v.dropped;
  held_ = frame;
  return v;
}

}  // namespace orvel
