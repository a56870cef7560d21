#include "monitor/DriveLogRecorder.h"

#include "core/Dialogs.h"
#include "core/Language.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace orvel {

namespace {

QString shown(const QString& path) {
  return QDir::toNativeSeparators(path);
}

}  // namespace

DriveLogRecorder::~DriveLogRecorder() {
  stop();
}

QString DriveLogRecorder::fileNameFor(const QDateTime& stamp, int attempt) {
  QString name = stamp.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
  if (attempt > 1) name += QStringLiteral("_%1").arg(attempt);
  return name + QStringLiteral(".csv");
}

void DriveLogRecorder::start(const QString& folder, const QDateTime& stamp, Nanos now) {
  stop();
  error_.clear();
  rows_ = 0;
  complete_ = 0;
  const QString dir = folder.isEmpty() ? QStringLiteral(".") : folder;
  if (!QDir().mkpath(dir)) {
    throw AppError(tr3("Nie można utworzyć folderu zapisów %1",
                       "Cannot create the folder of the logs %1",
                       "Impossibile creare la cartella delle registrazioni %1")
                       .arg(shown(QFileInfo(dir).absoluteFilePath())));
  }
  const auto failure = [](const QString& path, const QString& reason) {
    return AppError(tr3("Nie można rozpocząć zapisu do pliku %1:\r\n%2",
                        "Cannot start recording to the file %1:\r\n%2",
                        "Impossibile avviare la registrazione nel file %1:\r\n%2")
                        .arg(shown(path), reason));
  };
  // Two recordings within one second get a suffix rather than one overwriting the other.
  for (int attempt = 1;; ++attempt) {
    path_ = QDir(dir).absoluteFilePath(fileNameFor(stamp, attempt));
    file_.setFileName(path_);
    if (file_.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) break;
    if (!QFileInfo::exists(path_) || attempt >= 99) throw failure(path_, file_.errorString());
  }
  if (!writeAll(driveLogHeader())) {
    // Not even the header fits: there is nothing to keep.
    file_.close();
    QFile::remove(path_);
    throw failure(path_, error_);
  }
  complete_ = file_.pos();
  origin_ = now;
}

bool DriveLogRecorder::writeAll(const QByteArray& bytes) {
  const char* at = bytes.constData();
  qint64 left = bytes.size();
  while (left > 0) {
    // A short write is tried again for the rest, which then reports the system's reason.
    const qint64 n = file_.write(at, left);
    if (n <= 0) {
      error_ = file_.errorString();
      return false;
    }
    at += n;
    left -= n;
  }
  return true;
}

bool DriveLogRecorder::record(Nanos now, const RawLiveFrame& raw, const LiveSettings& settings) {
  if (!file_.isOpen()) return false;
  DriveLogRow row;
  row.timeMs = now > origin_ ? (now - origin_).count() / 1'000'000 : 0;
  row.raw = raw;
  row.settings = settings;
  if (!writeAll(formatDriveLogRow(row))) {
    // What was written before stays; a row cut in the middle would only be skipped on replay,
    // so it is taken off again.
    file_.resize(complete_);
    file_.close();
    return false;
  }
  complete_ = file_.pos();
  ++rows_;
  return true;
}

void DriveLogRecorder::stop() {
  if (file_.isOpen()) file_.close();
}

}  // namespace orvel
