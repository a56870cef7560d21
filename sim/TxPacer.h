// Spaces reply bytes as a 9600 baud UART would: one byte per 10 bit times.
// Times are nanoseconds on a monotonic clock, injected by the caller.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace orvel::sim {

constexpr std::int64_t kByteTimeNs = 1'041'667;  // 10 bits at 9600 baud

class TxPacer {
 public:
  explicit TxPacer(bool pace = true, std::int64_t byteTimeNs = kByteTimeNs);

  void enqueue(const std::vector<std::uint8_t>& bytes, std::int64_t nowNs);
  bool empty() const { return queue_.empty(); }
  std::size_t size() const { return queue_.size(); }
  // Earliest time the next queued byte may go; meaningless when empty.
  std::int64_t nextDueNs() const { return nextDue_; }

  // The next byte if its time has come.
  std::optional<std::uint8_t> popDue(std::int64_t nowNs);
  void clear() { queue_.clear(); }

 private:
  bool pace_;
  std::int64_t byteTime_;
  std::int64_t nextDue_ = 0;
  std::deque<std::uint8_t> queue_;
};

}  // namespace orvel::sim
