// Line noise: random bytes that a car's wiring puts on the line between and after replies,
// independent of what the controller is saying. Bursts of one to four bytes come at random times,
// so that on average the chosen number of bytes per second reaches the line.
#pragma once

#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace orvel::sim {

class LineNoise {
 public:
  static constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

  explicit LineNoise(std::uint64_t seed) : random_(seed ^ 0x9e3779b97f4a7c15ULL) {}

  // bytesPerSecond 0 switches the noise off.
  void setRate(double bytesPerSecond, std::int64_t nowNs);
  double rate() const { return rate_; }

  std::int64_t nextDueNs() const { return nextNs_; }
  // The burst due at nowNs (empty if none is due yet); schedules the next one.
  std::vector<std::uint8_t> popDue(std::int64_t nowNs);

 private:
  void scheduleAfter(std::int64_t fromNs);

  std::mt19937_64 random_;
  double rate_ = 0.0;
  std::int64_t nextNs_ = kNever;
};

// Bit errors: bytes that reach the other end with one bit flipped, as interference on a car's
// wiring leaves them. Each byte is hit independently, one in `spacing` on average, and then one
// of its eight bits at random. Only what the controller's side sends (replies and line noise) is
// hit: a command the controller received wrong would change its settings, which is the
// controller's protocol and not something the service tool could be measured against.
class BitErrors {
 public:
  explicit BitErrors(std::uint64_t seed) : random_(seed ^ 0xd1b54a32d192ed03ULL) {}

  // 0 switches them off.
  void setSpacing(int bytes) { spacing_ = bytes > 0 ? bytes : 0; }
  int spacing() const { return spacing_; }
  // The byte as it arrives.
  std::uint8_t pass(std::uint8_t byte);

 private:
  std::mt19937_64 random_;
  int spacing_ = 0;
};

}  // namespace orvel::sim
