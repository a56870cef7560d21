// orvel-sim as a real process on a pseudo-terminal: replies, pacing, the
// traffic log, run-time commands, hang-up and exit codes.
#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <algorithm>

#include "support/SimProcess.h"

namespace {

// The desktop program's end of the line, opened the way a serial port is.
class Port {
 public:
  explicit Port(const QString& path) {
    fd_ = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios tio{};
    if (fd_ >= 0 && ::tcgetattr(fd_, &tio) == 0) {
      ::cfmakeraw(&tio);
      ::cfsetspeed(&tio, B9600);
      ::tcsetattr(fd_, TCSANOW, &tio);
    }
  }
  ~Port() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool isOpen() const { return fd_ >= 0; }

  bool send(const QByteArray& bytes) {
    return ::write(fd_, bytes.constData(), size_t(bytes.size())) == bytes.size();
  }

  // Reads until `count` bytes came or nothing arrived for quietMs; arrival
  // times (ms since the call) go to *times, one per byte.
  QByteArray receive(int count, int quietMs = 300, QList<double>* times = nullptr) {
    QByteArray data;
    QElapsedTimer clock;
    clock.start();
    while (data.size() < count) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, quietMs) <= 0 || !(p.revents & POLLIN)) break;
      char buf[64];
      const ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n <= 0) break;
      const double at = clock.nsecsElapsed() / 1e6;
      data.append(buf, int(n));
      for (ssize_t i = 0; times && i < n; ++i)
        times->append(at);
    }
    return data;
  }

  // True once the other side has closed the line.
  bool hungUp(int timeoutMs) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) return false;
    char c;
    return (p.revents & POLLHUP) || ::read(fd_, &c, 1) <= 0;
  }

 private:
  int fd_ = -1;
};

}  // namespace

class TestSimProcess : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void exchangeOverPseudoTerminal() {
    SimProcess sim;
    const QString path = sim.start();
    QVERIFY2(!path.isEmpty(), qPrintable(sim.errorString()));
    Port port(path);
    QVERIFY(port.isOpen());

    QVERIFY(port.send("\xAA"));
    QCOMPARE(port.receive(1), QByteArray("\x01"));

    QList<double> times;
    QVERIFY(port.send("\x09"));
    const QByteArray block = port.receive(37, 300, &times);
    QCOMPARE(block.size(), 37);
    QCOMPARE(block.mid(32, 2), QByteArray("\x4C\x04"));  // idle period reference 1100
    QCOMPARE(block.at(36), '\x01');
    // 36 byte times at 9600 baud is 37.5 ms; a burst would arrive in well under 5.
    const double span = times.last() - times.first();
    QVERIFY2(span > 30 && span < 300, qPrintable(QString::number(span)));

    QVERIFY(port.send("\x02"));
    const QByteArray frame = port.receive(8);
    QCOMPARE(frame.size(), 8);
    QCOMPARE(frame.at(7), '\x01');
    const int period = quint8(frame[4]) | quint8(frame[5]) << 8;
    QVERIFY(period > 1000 && period < 1200);

    const QList<SimProcess::LogEntry> log = sim.waitForLog(3 + 1 + 37 + 8);
    QCOMPARE(SimProcess::bytes(log, true), QByteArray("\xAA\x09\x02"));
    QCOMPARE(SimProcess::bytes(log, false), QByteArray("\x01") + block + frame);
    for (int i = 1; i < log.size(); ++i)
      QVERIFY(log[i].t >= log[i - 1].t);

    // The sender's own clock: replies start promptly and bytes are ~1.04 ms apart.
    // Generous limits: a loaded machine may preempt the simulator now and then.
    QList<double> gaps;
    QList<double> latencies;
    for (int i = 1; i < log.size(); ++i) {
      const double ms = (log[i].t - log[i - 1].t) * 1000;
      if (!log[i].rx) (log[i - 1].rx ? latencies : gaps) << ms;
    }
    std::sort(gaps.begin(), gaps.end());
    std::sort(latencies.begin(), latencies.end());
    QCOMPARE(latencies.size(), 3);
    QVERIFY2(latencies.at(1) < 5 && latencies.last() < 100,
             qPrintable(QString::number(latencies.at(1))));
    const double median = gaps.at(gaps.size() / 2);
    QVERIFY2(median > 0.95 && median < 1.3, qPrintable(QString::number(median)));
    const auto tooClose = std::count_if(gaps.begin(), gaps.end(), [](double g) { return g < 0.5; });
    QVERIFY2(tooClose <= 2, qPrintable(QString::number(tooClose)));
  }

  void portCanBeClosedAndReopened() {
    SimProcess sim;
    const QString path = sim.start({"--no-pace"});
    QVERIFY(!path.isEmpty());
    {
      Port first(path);
      QVERIFY(first.send("\x01"));
      QCOMPARE(first.receive(2), QByteArray("\x03\x01"));
    }
    Port second(path);
    QVERIFY(second.send("\x01"));
    QCOMPARE(second.receive(2), QByteArray("\x03\x01"));
    QVERIFY(sim.isRunning());
  }

  void runtimeCommands_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("short") << "short 2" << QByteArray("\x09") << QByteArray("\x78\x7A");
    QTest::newRow("silent") << "silent on" << QByteArray("\xAA") << QByteArray();
    QTest::newRow("stray") << "stray" << QByteArray("\x01") << QByteArray("\xFF\x03\x01");
  }

  void runtimeCommands() {
    QFETCH(QString, command);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    SimProcess sim;
    const QString path = sim.start({"--no-pace"});
    QVERIFY(!path.isEmpty());
    Port port(path);
    QVERIFY(sim.command("nonsense"));
    QVERIFY(sim.command(command));
    // The command is taken once the simulator has read it; the log shows nothing for it,
    // so give it a moment before the request.
    QTest::qWait(50);
    QVERIFY(port.send(request));
    QCOMPARE(port.receive(40, 150), reply);
    QVERIFY(sim.standardError().contains("nonsense"));
  }

  void startupFaultOptions() {
    SimProcess sim;
    const QString path = sim.start({"--no-pace", "--uncalibrated", "--stray", "--short", "4"});
    QVERIFY(!path.isEmpty());
    Port port(path);
    QVERIFY(port.send("\x09"));
    QCOMPARE(port.receive(40, 150), QByteArray("\xFF\x78\x7A\x00\xF4", 5));
    port.send("\x1F\x4C\x04");
    port.receive(2, 100);
    QVERIFY(sim.command("short off"));
    QTest::qWait(50);
    QVERIFY(port.send("\x09"));
    QCOMPARE(port.receive(40, 150).mid(33, 2), QByteArray("\x4C\x04"));
  }

  void keepsRunningAfterStdinCloses() {
    SimProcess sim;
    const QString path = sim.start({"--no-pace"});
    QVERIFY(!path.isEmpty());
    sim.process().closeWriteChannel();
    QTest::qWait(50);
    Port port(path);
    QVERIFY(port.send("\xAA"));
    QCOMPARE(port.receive(1), QByteArray("\x01"));
  }

  // Every way of ending drops the line, exits 0 and leaves a complete log.
  void endsCleanly_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("command");  // "TERM": send SIGTERM instead
    QTest::newRow("hang-up after a time") << QStringList{"--hangup-after", "0.3"} << QString();
    QTest::newRow("hangup command") << QStringList{} << "hangup";
    QTest::newRow("quit command") << QStringList{} << "quit";
    QTest::newRow("SIGTERM") << QStringList{} << "TERM";
  }

  void endsCleanly() {
    QFETCH(QStringList, args);
    QFETCH(QString, command);
    SimProcess sim;
    const QString path = sim.start(args);
    QVERIFY(!path.isEmpty());
    Port port(path);
    QVERIFY(port.send("\xAA"));
    QCOMPARE(port.receive(1), QByteArray("\x01"));
    if (command == "TERM") {
      sim.process().terminate();
    } else if (!command.isEmpty()) {
      QVERIFY(sim.command(command));
    }
    QVERIFY(port.hungUp(2000));
    QVERIFY(sim.waitForFinished(2000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    QCOMPARE(sim.log().size(), 2);
  }

  void exitCodes_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage";
    QTest::newRow("bad usage") << QStringList{"--short", "x"} << 2 << "--short";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << "--bogus";
    QTest::newRow("missing device")
        << QStringList{"--device", "/nonexistent/tty"} << 1 << "/nonexistent/tty";
    QTest::newRow("not a terminal") << QStringList{"--device", "/dev/null"} << 1 << "/dev/null";
  }

  void exitCodes() {
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, text);
    QProcess process;
    process.start(SimProcess::binaryPath(), args);
    QVERIFY(process.waitForFinished(3000));
    QCOMPARE(process.exitCode(), code);
    const QString output = process.readAllStandardOutput() + process.readAllStandardError();
    QVERIFY2(output.contains(text), qPrintable(output));
  }
};

QTEST_GUILESS_MAIN(TestSimProcess)
#include "test_sim_process.moc"
