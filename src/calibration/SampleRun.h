#pragma once

#include "calibration/CalibrationRules.h"

#include <array>
#include <optional>

namespace orvel {

// The samples of one sampling run and the judgement of every reply that comes for it. A reply
// counts when it is well formed and agrees with the sample counted before it (the lines are in
// CalibrationRules.h); one that does not is requested again within the run, which ends when ten
// samples count and gives up only when kMaxReplies replies have not brought them.
//
// A sample that disagrees with the last one counted is held rather than thrown away at once:
// which of the two was noise shows in the next reply. If that one agrees with the counted sample,
// the held one was noise (or a one-off no steady engine gives). If it agrees with the held one,
// two samples in a row confirm a level the counted ones do not share: those are let go and the
// run goes on from the two. So a broken reply first in a run never becomes the yardstick of the
// others, and an engine that settled at another speed is measured where it settled.
class SampleRun {
 public:
  static constexpr int kSamples = 10;
  // Replies a run may take, counted or not: thirty re-requests. A line that spoils half the
  // replies still brings ten in all but some 3 runs in 10 000 (on the simulator 300 stray bytes a
  // second cost a run about four); the run then lasts at most some 2.5 s at 60 ms a reply, about
  // as long as a fitter holds 3000 rpm by foot without thinking about it. A line that spoils more
  // is no line to calibrate on, and an engine that has not settled in that time will not.
  static constexpr int kMaxReplies = 40;

  // Why a run could not collect ten: replies that were broken point at the line; whole replies
  // that disagreed, at an engine that did not hold its speed or throttle.
  enum class Cause { Line, Engine };

  void reset() { *this = SampleRun(); }
  // Counts the sample, holds it until the next reply tells whether it was noise, restarts the
  // run from it and the held one when they agree, or counts it broken.
  void offer(const SampleFrame& frame);
  // A reply that did not close with 01h where it should (the dispatch drops it unread).
  void offerBroken();

  int counted() const { return count_; }
  const SampleFrame& sample(int i) const { return samples_[static_cast<std::size_t>(i)]; }
  bool complete() const { return count_ == kSamples; }
  bool exhausted() const { return !complete() && replies_ >= kMaxReplies; }
  int replies() const { return replies_; }
  int broken() const { return broken_; }
  Cause likelyCause() const { return broken_ >= disagreements_ ? Cause::Line : Cause::Engine; }

 private:
  std::array<SampleFrame, kSamples> samples_{};
  int count_ = 0;
  std::optional<SampleFrame> held_;
  int replies_ = 0;
  int broken_ = 0;
  int disagreements_ = 0;
};

}  // namespace orvel
