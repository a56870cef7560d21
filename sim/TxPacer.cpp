#include "sim/TxPacer.h"

#include <algorithm>

namespace orvel::sim {

TxPacer::TxPacer(bool pace, std::int64_t byteTimeNs) : pace_(pace), byteTime_(byteTimeNs) {}

void TxPacer::enqueue(const std::vector<std::uint8_t>& bytes, std::int64_t nowNs) {
  if (bytes.empty()) return;
  // An idle line can start a byte at once; a busy one finishes what it has first.
  if (queue_.empty()) nextDue_ = std::max(nextDue_, nowNs);
  queue_.insert(queue_.end(), bytes.begin(), bytes.end());
}

std::optional<std::uint8_t> TxPacer::popDue(std::int64_t nowNs) {
  if (queue_.empty() || (pace_ && nowNs < nextDue_)) return std::nullopt;
  const std::uint8_t byte = queue_.front();
  queue_.pop_front();
  if (!pace_) {
    nextDue_ = nowNs;
    return byte;
  }
  // Keep to the schedule rather than to the moment of sending, so wake-up
  // latency does not accumulate over a long reply; but after a long stall
  // start afresh instead of bursting to catch up, since a UART cannot send
  // two bytes closer than a few bit times.
  nextDue_ = std::max(nextDue_ + byteTime_, nowNs + byteTime_ - byteTime_ / 4);
  return byte;
}

}  // namespace orvel::sim
