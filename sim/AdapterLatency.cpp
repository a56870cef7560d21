#include "sim/AdapterLatency.h"

namespace orvel::sim {

void AdapterLatency::setLatencyMs(int ms) {
  latencyMs_ = ms > 0 ? ms : 0;
  // Bytes held under the old setting go at the next chance.
  if (!held_.empty()) due_ = 0;
}

void AdapterLatency::take(std::uint8_t byte, std::int64_t nowNs) {
  if (held_.empty()) {
    if (latencyMs_ == 0) {
      due_ = nowNs;
    } else {
      // The timer's next run-out after this byte came.
      const std::int64_t period = static_cast<std::int64_t>(latencyMs_) * 1'000'000;
      const std::int64_t since = nowNs > origin_ ? nowNs - origin_ : 0;
      due_ = origin_ + (since / period + 1) * period;
    }
  }
  held_.push_back(byte);
}

std::vector<std::uint8_t> AdapterLatency::popDue(std::int64_t nowNs) {
  std::vector<std::uint8_t> chunk;
  if (held_.empty() || nowNs < due_) return chunk;
  chunk.swap(held_);
  return chunk;
}

}  // namespace orvel::sim
