#pragma once

#include "monitor/DriveLogFormat.h"

#include <optional>
#include <vector>

namespace orvel {

// The last check a whole live frame passes before it is shown. A frame that closes with 01h can
// still be one that stray bytes shifted, when the byte that landed last happens to be 01h: at
// 1700-3400 rpm the period's high byte is 01h, so two stray bytes ahead of a frame leave it
// looking whole. Its period is then read from the gas and vacuum bytes, tens of times off. No
// running engine halves or doubles its period from one frame to the next, 20 ms on, so such a
// frame is held: the next one tells whether it was noise (it agrees with the frames before) or
// the engine (it agrees with the held one, and both are shown). A period of 0 is left to the
// display's own warning.
class LiveFrameFilter {
 public:
  // A period more than this many times the last one shown, or less than its share, is held.
  static constexpr int kPeriodRatio = 2;

  struct Verdict {
    std::vector<RawLiveFrame> show;  // in order: a held frame the engine confirmed, then this one
    int dropped = 0;                 // held frames that turned out to be noise
  };

  Verdict offer(const RawLiveFrame& frame);
  // A new visit of the mode: nothing shown yet to compare with.
  void reset() { *this = LiveFrameFilter(); }

 private:
  std::optional<int> lastPeriod_;
  std::optional<RawLiveFrame> held_;
};

}  // namespace orvel
