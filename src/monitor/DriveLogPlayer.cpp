#include "monitor/DriveLogPlayer.h"

#include "core/Dialogs.h"

namespace orvel {

DriveLogPlayer::DriveLogPlayer(TimerService& timers) : timers_(timers) {
  handle_ = timers_.createHandle([this] { guarded([this] { tick(); }); });
}

DriveLogPlayer::~DriveLogPlayer() {
  handle_->stop();
}

Nanos DriveLogPlayer::offset(std::size_t row) const {
  return Millis(dueMs_[row]);
}

qint64 DriveLogPlayer::logTimeMs() const {
  if (rows_.empty()) return 0;
  return rows_[next_ == 0 ? 0 : next_ - 1].timeMs;
}

qint64 DriveLogPlayer::logEndMs() const {
  return rows_.empty() ? 0 : rows_.back().timeMs;
}

void DriveLogPlayer::start(std::vector<DriveLogRow> rows) {
  handle_->stop();
  rows_ = std::move(rows);
  next_ = 0;
  gaps_ = 0;
  dueMs_.assign(rows_.size(), 0);
  afterGap_.assign(rows_.size(), false);
  for (std::size_t i = 1; i < rows_.size(); ++i) {
    const qint64 step = rows_[i].timeMs - rows_[i - 1].timeMs;
    afterGap_[i] = step > kGapMs;
    dueMs_[i] = dueMs_[i - 1] + (afterGap_[i] || step < 0 ? 0 : step);
  }
  if (rows_.empty()) {
    state_ = State::Finished;
    if (finished) finished();
    return;
  }
  origin_ = timers_.now();
  state_ = State::Playing;
  tick();
}

void DriveLogPlayer::pause() {
  if (state_ != State::Playing) return;
  handle_->stop();
  pausedAt_ = timers_.now();
  state_ = State::Paused;
}

void DriveLogPlayer::resume() {
  if (state_ == State::Paused) {
    // The pause is taken out of the schedule as a whole, not row by row.
    origin_ += timers_.now() - pausedAt_;
  } else if (state_ == State::Finished && !rows_.empty()) {
    next_ = 0;
    gaps_ = 0;
    origin_ = timers_.now();
  } else {
    return;
  }
  state_ = State::Playing;
  tick();
}

void DriveLogPlayer::stop() {
  handle_->stop();
  state_ = State::Idle;
  rows_.clear();
  dueMs_.clear();
  afterGap_.clear();
  next_ = 0;
  gaps_ = 0;
}

void DriveLogPlayer::tick() {
  if (state_ != State::Playing) return;
  const Nanos elapsed = timers_.now() - origin_;
  while (next_ < rows_.size() && offset(next_) <= elapsed) {
    // A copy: showing it may stop the replay, which lets go of the rows.
    const DriveLogRow row = rows_[next_];
    if (afterGap_[next_]) ++gaps_;
    ++next_;
    if (showRow) showRow(row);
    // Showing a row may end or pause the replay (a message box, the fitter's click).
    if (state_ != State::Playing) return;
  }
  if (next_ == rows_.size()) {
    state_ = State::Finished;
    if (finished) finished();
    return;
  }
  const Nanos wait = origin_ + offset(next_) - timers_.now();
  handle_->start(wait > Nanos(0) ? wait : Nanos(0), Nanos(0));
}

}  // namespace orvel
