#pragma once

#include "monitor/Diagnosis.h"
#include "monitor/DriveLogFormat.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <optional>
#include <vector>

namespace orvel {

// The channels of the viewer, top to bottom.
enum class Lane { Speed, Lambda1, Tps, Lambda2, Valve };
constexpr int kLanes = 5;
constexpr std::array<Lane, kLanes> kAllLanes{Lane::Speed, Lane::Lambda1, Lane::Tps, Lane::Lambda2,
                                             Lane::Valve};

QString laneName(Lane lane);
QString laneUnit(Lane lane);

// A drive log decoded once for viewing: the rows as recorded (a replay starts from them), the
// channel values as numbers for drawing, and the samples the diagnosis reads.
struct LogData {
  QString path;
  std::vector<DriveLogRow> rows;
  std::vector<qint64> times;                     // ms, one per row, in order
  std::array<std::vector<float>, kLanes> lanes;  // NaN where a frame gave no value
  std::vector<DiagnosisSample> samples;
  int skipped = 0;       // malformed rows, as the replay counts them
  int badReference = 0;  // of them, rows refused for their idle reference
  // When the recording started, as the recorder names its files; invalid for a file named
  // otherwise, which tells only when it was last written.
  QDateTime recorded;
  QDateTime written;

  qint64 firstMs() const { return times.empty() ? 0 : times.front(); }
  qint64 lastMs() const { return times.empty() ? 0 : times.back(); }
  // The row the display showed at `ms`: the last one at or before it (the first row before the
  // log starts).
  std::size_t rowAt(double ms) const;
  // The figures of rows [first, last); the probe and sensor are those of the first row.
  Diagnosis diagnosis(std::size_t first, std::size_t last) const;
};

// Decodes parsed rows; the frames' numbers are those the read-outs show.
LogData decodeDriveLog(ParsedDriveLog parsed);

struct LogLoad {
  std::optional<LogData> data;
  QString refusal;  // why not, for the fitter
};
// Reads and decodes a drive log file; refuses what the replay refuses.
LogLoad loadDriveLog(const QString& path);

// What the read-outs showed for a row: the time and each lane's text with its unit. A frame
// without an engine speed leaves the speed read-out at the last one shown, as on the panel.
struct CursorReading {
  QString time;
  std::array<QString, kLanes> values;
};
CursorReading cursorReading(const LogData& log, std::size_t row);

// When the log in `path` was recorded, from the recorder's name for it; invalid for another.
QDateTime recordingTime(const QString& path);

// "m:ss.mmm", or "h:mm:ss.mmm" from an hour on.
QString clockTextMs(qint64 ms);

}  // namespace orvel
