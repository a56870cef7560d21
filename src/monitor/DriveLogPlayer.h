#pragma once

#include "link/Timers.h"
#include "monitor/DriveLogFormat.h"

#include <functional>
#include <memory>
#include <vector>

namespace orvel {

// Plays the rows of a drive log at the speed they were recorded. Each row is due at its
// recorded time after the first row, measured from the moment the replay started (pauses
// excluded), and the timer is armed for the next row's due time each time: late timeouts never
// add up, so a long log keeps its span. A timeout that comes late shows every row that has
// fallen due meanwhile, in order, so no frame of the charts is left out. A row recorded more than
// kGapMs after the one before it (the recording went on over a pause of the live mode, or the
// program was held up) is a gap: it is shown right after that row, not waited for, and counted.
class DriveLogPlayer {
 public:
  enum class State { Idle, Playing, Paused, Finished };

  static constexpr qint64 kGapMs = 2000;

  explicit DriveLogPlayer(TimerService& timers);
  ~DriveLogPlayer();
  DriveLogPlayer(const DriveLogPlayer&) = delete;
  DriveLogPlayer& operator=(const DriveLogPlayer&) = delete;

  std::function<void(const DriveLogRow&)> showRow;
  std::function<void()> finished;  // after the last row was shown

  // Shows the first row at once and the others when they fall due.
  void start(std::vector<DriveLogRow> rows);
  void pause();
  // Goes on where it was paused; a finished replay starts again from its first row.
  void resume();
  void stop();

  State state() const { return state_; }
  bool isActive() const { return state_ != State::Idle; }
  // In the log's own time, as the viewer shows it: the recorded time of the row shown
  // last (of the first before any), and of the last row.
  qint64 logTimeMs() const;
  qint64 logEndMs() const;
  std::size_t rowsShown() const { return next_; }
  std::size_t rowCount() const { return rows_.size(); }
  // Gaps among the rows shown so far.
  int gaps() const { return gaps_; }

 private:
  void tick();
  Nanos offset(std::size_t row) const;

  TimerService& timers_;
  std::unique_ptr<TimerService::Handle> handle_;
  std::vector<DriveLogRow> rows_;
  std::vector<qint64> dueMs_;  // when each row is due after the first, gaps left out
  std::vector<bool> afterGap_;
  int gaps_ = 0;
  std::size_t next_ = 0;
  Nanos origin_{0};  // when, on the timer service's clock, the first row was due
  Nanos pausedAt_{0};
  State state_ = State::Idle;
};

}  // namespace orvel
