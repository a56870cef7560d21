#include "SimProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

SimProcess::SimProcess() {
  process_.setProcessChannelMode(QProcess::SeparateChannels);
}

SimProcess::~SimProcess() {
  stop();
}

QString SimProcess::binaryPath() {
  const QString fromEnv = qEnvironmentVariable("ORVEL_SIM");
  if (!fromEnv.isEmpty()) return fromEnv;
#ifdef ORVEL_SIM_PATH
  return QStringLiteral(ORVEL_SIM_PATH);
#else
  return QStringLiteral("orvel-sim");
#endif
}

QString SimProcess::tempPath(const QString& name) const {
  return dir_.filePath(name);
}

QString SimProcess::start(const QStringList& args, int timeoutMs) {
  stop();
  ptyPath_.clear();
  error_.clear();
  stderr_.clear();
  if (!dir_.isValid()) {
    error_ = QStringLiteral("no temporary directory: ") + dir_.errorString();
    return {};
  }
  QStringList fullArgs = args;
  const int logIndex = args.indexOf(QStringLiteral("--log"));
  if (logIndex >= 0 && logIndex + 1 < args.size()) {
    logPath_ = args.at(logIndex + 1);
  } else {
    logPath_ = dir_.filePath(QStringLiteral("sim.log"));
    fullArgs << QStringLiteral("--log") << logPath_;
  }

  process_.start(binaryPath(), fullArgs);
  if (!process_.waitForStarted(timeoutMs)) {
    error_ = QStringLiteral("cannot start %1: %2").arg(binaryPath(), process_.errorString());
    return {};
  }
  const QDeadlineTimer deadline(timeoutMs);
  while (!process_.canReadLine()) {
    if (process_.state() == QProcess::NotRunning || deadline.hasExpired()) {
      error_ = QStringLiteral("no device path from the simulator: ") + standardError();
      stop();
      return {};
    }
    process_.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
  }
  ptyPath_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
  return ptyPath_;
}

bool SimProcess::command(const QString& line) {
  if (process_.state() != QProcess::Running) return false;
  const QByteArray data = line.toLocal8Bit() + '\n';
  if (process_.write(data) != data.size()) return false;
  return process_.waitForBytesWritten(1000);
}

QList<SimProcess::LogEntry> SimProcess::parseLog(const QByteArray& text) {
  QList<LogEntry> entries;
  for (const QByteArray& line : text.split('\n')) {
    const QList<QByteArray> parts = line.simplified().split(' ');
    if (parts.size() != 3) continue;
    bool okTime = false;
    bool okByte = false;
    const double t = parts[0].toDouble(&okTime);
    const uint byte = parts[2].toUInt(&okByte, 16);
    const bool rx = parts[1] == "RX";
    if (!okTime || !okByte || byte > 0xFF || (!rx && parts[1] != "TX")) continue;
    entries.append({t, rx, static_cast<quint8>(byte)});
  }
  return entries;
}

QList<SimProcess::LogEntry> SimProcess::log() const {
  QFile file(logPath_);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return parseLog(file.readAll());
}

QList<SimProcess::LogEntry> SimProcess::waitForLog(int count, int timeoutMs) const {
  const QDeadlineTimer deadline(timeoutMs);
  QList<LogEntry> entries = log();
  while (entries.size() < count && !deadline.hasExpired()) {
    QThread::msleep(5);
    entries = log();
  }
  return entries;
}

bool SimProcess::waitForFinished(int timeoutMs) {
  if (process_.state() == QProcess::NotRunning) return true;
  return process_.waitForFinished(timeoutMs);
}

QString SimProcess::standardError() {
  stderr_ += process_.readAllStandardError();
  return QString::fromLocal8Bit(stderr_);
}

void SimProcess::stop() {
  if (process_.state() == QProcess::NotRunning) return;
  process_.terminate();
  if (!process_.waitForFinished(3000)) {
    process_.kill();
    process_.waitForFinished(3000);
  }
}

QByteArray SimProcess::bytes(const QList<LogEntry>& log, bool rx) {
  QByteArray out;
  for (const LogEntry& e : log) {
    if (e.rx == rx) out.append(static_cast<char>(e.byte));
  }
  return out;
}
