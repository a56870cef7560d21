#include "sim/LineNoise.h"

namespace orvel::sim {

namespace {
constexpr int kMinBurst = 1;
constexpr int kMaxBurst = 4;
constexpr double kMeanBurst = (kMinBurst + kMaxBurst) / 2.0;
}  // namespace

void LineNoise::setRate(double bytesPerSecond, std::int64_t nowNs) {
  rate_ = bytesPerSecond > 0.0 ? bytesPerSecond : 0.0;
  if (rate_ == 0.0) {
    nextNs_ = kNever;
    return;
  }
  scheduleAfter(nowNs);
}

void LineNoise::scheduleAfter(std::int64_t fromNs) {
  // Bursts as a Poisson process: exponential gaps whose mean gives the chosen byte rate.
  std::exponential_distribution<double> gap(rate_ / kMeanBurst);
  nextNs_ = fromNs + static_cast<std::int64_t>(gap(random_) * 1e9);
}

std::vector<std::uint8_t> LineNoise::popDue(std::int64_t nowNs) {
  if (nextNs_ == kNever || nowNs < nextNs_) return {};
  std::uniform_int_distribution<int> length(kMinBurst, kMaxBurst);
  std::uniform_int_distribution<int> value(0, 255);
  std::vector<std::uint8_t> burst(static_cast<std::size_t>(length(random_)));
  for (std::uint8_t& b : burst)
    b = static_cast<std::uint8_t>(value(random_));
  // Gaps count from when the burst was due, not from when it was taken, so a busy loop does not
  // thin the noise out.
  scheduleAfter(nextNs_);
  if (nextNs_ < nowNs) nextNs_ = nowNs;
  return burst;
}

std::uint8_t BitErrors::pass(std::uint8_t byte) {
  if (spacing_ == 0) return byte;
  std::uniform_int_distribution<int> hit(0, spacing_ - 1);
  if (hit(random_) != 0) return byte;
  std::uniform_int_distribution<int> bit(0, 7);
  return static_cast<std::uint8_t>(byte ^ (1u << bit(random_)));
}

}  // namespace orvel::sim
