// Runs the controller simulator (orvel-sim) as a child process for end-to-end
// tests: starts it on a fresh pseudo-terminal, sends it run-time commands and
// reads back its traffic log.
#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtGlobal>

class SimProcess {
 public:
  struct LogEntry {
    double t;  // seconds since the simulator started
    bool rx;   // true: received from the line; false: sent
    quint8 byte;
  };

  SimProcess();
  ~SimProcess();  // stops the simulator
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // ORVEL_SIM from the environment if set, else the build's ORVEL_SIM_PATH.
  static QString binaryPath();

  // Starts the simulator with extra arguments (a --log in the temporary
  // directory is added unless args has one) and waits for the device path it
  // prints. Returns that path, or an empty string (see errorString()).
  QString start(const QStringList& args = {}, int timeoutMs = 5000);

  QString ptyPath() const { return ptyPath_; }
  QString logPath() const { return logPath_; }
  // A path inside the temporary directory, e.g. for --state.
  QString tempPath(const QString& name) const;
  QString errorString() const { return error_; }

  // Sends one run-time command line ("rev", "silent on", ...).
  bool command(const QString& line);

  // The traffic log as written so far.
  QList<LogEntry> log() const;
  // Waits until the log has at least count entries; returns the log either way.
  QList<LogEntry> waitForLog(int count, int timeoutMs = 2000) const;
  static QList<LogEntry> parseLog(const QByteArray& text);
  // The bytes of one direction, in order.
  static QByteArray bytes(const QList<LogEntry>& log, bool rx);

  bool isRunning() const { return process_.state() != QProcess::NotRunning; }
  bool waitForFinished(int timeoutMs = 3000);
  int exitCode() const { return process_.exitCode(); }
  QProcess::ExitStatus exitStatus() const { return process_.exitStatus(); }
  // Everything the simulator wrote to standard error so far.
  QString standardError();
  QProcess& process() { return process_; }

  // SIGTERM, then SIGKILL if it does not stop in time.
  void stop();

 private:
  QTemporaryDir dir_;
  QProcess process_;
  QString ptyPath_;
  QString logPath_;
  QString error_;
  QByteArray stderr_;
};
