#include "calibration/SampleRun.h"

namespace orvel {

void SampleRun::offer(const SampleFrame& frame) {
  ++replies_;
  if (!wellFormedSample(frame)) {
    ++broken_;
    return;
  }
  if (count_ == 0 || samplesAgree(frame, samples_[static_cast<std::size_t>(count_ - 1)])) {
    held_.reset();
    if (count_ < kSamples) samples_[static_cast<std::size_t>(count_++)] = frame;
    return;
  }
  ++disagreements_;
  if (held_ && samplesAgree(frame, *held_)) {
    samples_[0] = *held_;
    samples_[1] = frame;
    count_ = 2;
    held_.reset();
    return;
  }
  held_ = frame;
}

void SampleRun::offerBroken() {
  ++replies_;
  ++broken_;
}

}  // namespace orvel
