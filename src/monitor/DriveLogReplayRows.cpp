#include "monitor/DriveLog.h"
#include "monitor/OscilloscopePanel.h"

#include <QFrame>

namespace orvel {

bool DriveLog::canReplay() const {
  // The panel shows one thing at a time: not during the live mode nor another replay.
  return !player_.isActive() && scope_.panel()->isHidden();
}

bool DriveLog::replayRows(const QString& name, std::vector<DriveLogRow> rows) {
  if (!canReplay() || rows.empty()) return false;
  replayName_ = name;
  replayStatus_.clear();
  skipped_ = 0;
  const LiveSettings first = rows.front().settings;
  scope_.enterReplay(first, {[this] { pauseOrResumeReplay(); }, [this] { endReplay(); }});
  player_.start(std::move(rows));
  return true;
}

}  // namespace orvel
