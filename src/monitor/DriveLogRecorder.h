#pragma once

#include "link/Timers.h"
#include "monitor/DriveLogFormat.h"

#include <QFile>
#include <QString>

class QDateTime;

namespace orvel {

// Writes a drive log while oscilloscope mode runs. Every row goes to the system as it is
// written (the file is unbuffered), so nothing waits in the program to be flushed, a full disk
// or a pulled stick is noticed on the very frame it happens, and a program that is killed leaves
// every row it showed in the file.
class DriveLogRecorder {
 public:
  DriveLogRecorder() = default;
  ~DriveLogRecorder();
  DriveLogRecorder(const DriveLogRecorder&) = delete;
  DriveLogRecorder& operator=(const DriveLogRecorder&) = delete;

  // The file name for a recording started at `stamp`: "2026-03-14_10-22-05.csv"; attempt 2 and
  // on add "_2", "_3", ... for a second recording within the same second.
  static QString fileNameFor(const QDateTime& stamp, int attempt = 1);

  // Starts a new log in `folder` (created when missing), named by `stamp`, and writes its header;
  // `now` is time 0 of the log. An existing file is never overwritten. Raises AppError (naming
  // the file and the system's reason) when no log can be started; nothing is left behind then.
  void start(const QString& folder, const QDateTime& stamp, Nanos now);

  // Appends one frame shown at `now`. false when the write failed: recording has stopped, the
  // file keeps every complete row written before (a partly written row is cut off) and
  // errorText() says why.
  bool record(Nanos now, const RawLiveFrame& raw, const LiveSettings& settings);

  // Ends the recording and closes the file; nothing happens when none runs.
  void stop();

  bool isRecording() const { return file_.isOpen(); }
  // The current log, or the last one after it stopped.
  const QString& filePath() const { return path_; }
  const QString& errorText() const { return error_; }
  qint64 rowsWritten() const { return rows_; }

 private:
  bool writeAll(const QByteArray& bytes);

  QFile file_;
  QString path_;
  QString error_;
  Nanos origin_{0};
  qint64 complete_ = 0;  // bytes of the file up to the end of its last complete row
  qint64 rows_ = 0;
};

}  // namespace orvel
