// A USB serial adapter's latency timer: the bytes it receives from the line are handed over to
// the computer only when the timer runs out, every `latency` milliseconds on a free-running
// clock, all that came meanwhile in one chunk. Times are nanoseconds on a monotonic clock.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

namespace orvel::sim {

class AdapterLatency {
 public:
  static constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

  // originNs: a moment the timer ran out (the simulator's start).
  explicit AdapterLatency(std::int64_t originNs) : origin_(originNs) {}

  // 0 hands every byte over as it comes; what is held meanwhile keeps its turn.
  void setLatencyMs(int ms);
  int latencyMs() const { return latencyMs_; }
  bool holds() const { return !held_.empty(); }

  // A byte from the line at nowNs.
  void take(std::uint8_t byte, std::int64_t nowNs);
  // When the held bytes go; kNever when nothing is held.
  std::int64_t nextDueNs() const { return held_.empty() ? kNever : due_; }
  // The chunk due at nowNs, empty when it is not yet time.
  std::vector<std::uint8_t> popDue(std::int64_t nowNs);

 private:
  std::int64_t origin_;
  int latencyMs_ = 0;
  std::int64_t due_ = 0;
  std::vector<std::uint8_t> held_;
};

}  // namespace orvel::sim
