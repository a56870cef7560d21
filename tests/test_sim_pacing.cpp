// Reply pacing at 9600 baud with injected time, the command line, and the
// traffic log's line format.
#include <QtTest>

#include "sim/AdapterLatency.h"
#include "sim/ByteLog.h"
#include "sim/Options.h"
#include "sim/TxPacer.h"

using namespace orvel::sim;

namespace {

constexpr std::int64_t kByte = kByteTimeNs;

// Drains the pacer the way the event loop does: sleep until the next byte is
// due, wake `latency` late, send everything that is due.
QList<std::int64_t> drain(TxPacer& pacer, std::int64_t now, std::int64_t latency) {
  QList<std::int64_t> sent;
  while (!pacer.empty()) {
    now = std::max(now, pacer.nextDueNs() + latency);
    while (pacer.popDue(now))
      sent << now;
  }
  return sent;
}

}  // namespace

class TestSimPacing : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void pacedWithoutDrift_data() {
    QTest::addColumn<qint64>("latency");
    QTest::newRow("punctual") << qint64(0);
    QTest::newRow("50 us late wake-ups") << qint64(50'000);
    QTest::newRow("200 us late wake-ups") << qint64(200'000);
  }

  void pacedWithoutDrift() {
    QFETCH(qint64, latency);
    TxPacer pacer;
    const std::int64_t start = 1'000'000'000;
    pacer.enqueue(std::vector<std::uint8_t>(37, 0x55), start);
    const QList<std::int64_t> sent = drain(pacer, start, latency);
    QCOMPARE(sent.size(), 37);
    QCOMPARE(sent.first(), start + latency);  // an idle line starts at once
    // The last byte leaves on the 9600 baud schedule, not 37 latencies late.
    QVERIFY(std::llabs(sent.last() - (start + 36 * kByte)) <= latency + 1);
    for (int i = 1; i < sent.size(); ++i)
      QVERIFY(sent[i] - sent[i - 1] >= kByte - latency);
  }

  void stallDoesNotBurst() {
    TxPacer pacer;
    pacer.enqueue(std::vector<std::uint8_t>(8, 0x55), 0);
    QVERIFY(pacer.popDue(0));
    // The process was descheduled for 10 ms: no catching up in a burst.
    std::int64_t now = 10'000'000;
    QVERIFY(pacer.popDue(now));
    QVERIFY(!pacer.popDue(now));
    QList<std::int64_t> sent = drain(pacer, now, 0);
    sent.prepend(now);
    for (int i = 1; i < sent.size(); ++i)
      QVERIFY(sent[i] - sent[i - 1] >= kByte * 3 / 4);
  }

  void busyLineQueuesNextReply() {
    TxPacer pacer;
    pacer.enqueue({0x01}, 0);
    QVERIFY(pacer.popDue(0));
    // A new reply while the previous byte is still on the line waits its turn.
    pacer.enqueue({0x02, 0x03}, 100'000);
    QVERIFY(!pacer.popDue(100'000));
    QCOMPARE(pacer.nextDueNs(), kByte);
    // Long after, an idle line sends at once.
    QVERIFY(pacer.popDue(kByte));
    QVERIFY(pacer.popDue(2 * kByte));
    pacer.enqueue({0x04}, 50 * kByte);
    QCOMPARE(pacer.popDue(50 * kByte), std::optional<std::uint8_t>(0x04));
  }

  void unpacedSendsEverythingAtOnce() {
    TxPacer pacer(false);
    pacer.enqueue({1, 2, 3, 4, 5, 6, 7, 8}, 500);
    int count = 0;
    while (pacer.popDue(500))
      ++count;
    QCOMPARE(count, 8);
  }

  // A reply's bytes on the line one character apart reach the program in chunks when the
  // adapter's timer runs out (every `latency` ms from the start): each row gives when the first
  // byte is on the line and the chunks (their sizes) with the times they are handed over.
  void adapterHandsBytesOverInChunks_data() {
    QTest::addColumn<int>("latency");
    QTest::addColumn<double>("firstAtMs");
    QTest::addColumn<QList<int>>("sizes");
    QTest::addColumn<QList<double>>("handedAtMs");
    QTest::newRow("4 ms: a chunk at each run-out")
        << 4 << 3.0 << QList<int>{1, 4, 3} << QList<double>{4.0, 8.0, 12.0};
    QTest::newRow("16 ms: the whole reply at the next run-out")
        << 16 << 3.0 << QList<int>{8} << QList<double>{16.0};
    QTest::newRow("16 ms: a reply across a run-out comes in two chunks")
        << 16 << 12.0 << QList<int>{4, 4} << QList<double>{16.0, 32.0};
  }
  void adapterHandsBytesOverInChunks() {
    QFETCH(int, latency);
    QFETCH(double, firstAtMs);
    QFETCH(QList<int>, sizes);
    QFETCH(QList<double>, handedAtMs);
    AdapterLatency adapter(0);
    adapter.setLatencyMs(latency);
    QList<int> seenSizes;
    QList<double> seenAt;
    QByteArray seen;
    for (int i = 0; i <= 8; ++i) {
      const std::int64_t at = i < 8 ? std::int64_t(firstAtMs * 1e6) + i * kByte : kByte * 1000;
      while (adapter.nextDueNs() < at) {
        const std::int64_t due = adapter.nextDueNs();
        const std::vector<std::uint8_t> chunk = adapter.popDue(due);
        seenSizes << int(chunk.size());
        seenAt << due / 1e6;
        seen.append(reinterpret_cast<const char*>(chunk.data()), int(chunk.size()));
      }
      if (i < 8) adapter.take(std::uint8_t('0' + i), at);
    }
    QCOMPARE(seen, QByteArray("01234567"));
    QCOMPARE(seenSizes, sizes);
    QCOMPARE(seenAt, handedAtMs);
  }

  void options_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("ok");
    QTest::newRow("none") << QStringList{} << true;
    QTest::newRow("all")
        << QStringList{"--state", "s",      "--log=l", "--no-pace",      "--silent",
                       "--short", "3",      "--stray", "--uncalibrated", "--hangup-after",
                       "1.5",     "--seed", "9",       "--idle-period",  "1200",
                       "--link",  "/tmp/x"}
        << true;
    QTest::newRow("unknown option") << QStringList{"--fast"} << false;
    QTest::newRow("stray argument") << QStringList{"file"} << false;
    QTest::newRow("missing value") << QStringList{"--log"} << false;
    QTest::newRow("short not a number") << QStringList{"--short", "x"} << false;
    QTest::newRow("hangup negative") << QStringList{"--hangup-after", "-2"} << false;
    QTest::newRow("value on a switch") << QStringList{"--silent=yes"} << false;
    QTest::newRow("idle period too small") << QStringList{"--idle-period", "5"} << false;
    QTest::newRow("link with device")
        << QStringList{"--device", "/dev/ttyS0", "--link", "x"} << false;
    QTest::newRow("steady high") << QStringList{"--steady=high"} << true;
    QTest::newRow("rev cycle") << QStringList{"--rev-cycle"} << true;
    QTest::newRow("rev cycle takes no value") << QStringList{"--rev-cycle=6"} << false;
    QTest::newRow("steady off is the default, not a choice")
        << QStringList{"--steady", "off"} << false;
    QTest::newRow("steady junk") << QStringList{"--steady", "fast"} << false;
    QTest::newRow("wander") << QStringList{"--wander", "valve-hunt"} << true;
    QTest::newRow("wander off is no choice") << QStringList{"--wander", "off"} << false;
    QTest::newRow("bit errors") << QStringList{"--bit-errors=500"} << true;
    QTest::newRow("bit errors on every byte") << QStringList{"--bit-errors", "1"} << false;
    QTest::newRow("adapter latency") << QStringList{"--latency", "16"} << true;
    QTest::newRow("adapter latency beyond a chip's timer") << QStringList{"--latency=256"} << false;
  }

  void options() {
    QFETCH(QStringList, args);
    QFETCH(bool, ok);
    std::vector<std::string> argv;
    for (const QString& a : args)
      argv.push_back(a.toStdString());
    const ParsedOptions parsed = parseOptions(argv);
    QVERIFY2(parsed.error.empty() == ok, parsed.error.c_str());
  }

  void logLines_data() {
    QTest::addColumn<double>("t");
    QTest::addColumn<bool>("rx");
    QTest::addColumn<int>("byte");
    QTest::addColumn<QString>("line");
    QTest::newRow("rx") << 0.102311 << true << 0xAA << "0.102311 RX AA\n";
    QTest::newRow("tx") << 0.10302 << false << 0x01 << "0.103020 TX 01\n";
    QTest::newRow("zero byte") << 12.5 << false << 0x00 << "12.500000 TX 00\n";
    QTest::newRow("long run") << 3600.0000004 << true << 0xFF << "3600.000000 RX FF\n";
  }

  void logLines() {
    QFETCH(double, t);
    QFETCH(bool, rx);
    QFETCH(int, byte);
    QFETCH(QString, line);
    QCOMPARE(QString::fromStdString(formatLogLine(t, rx, std::uint8_t(byte))), line);
  }
};

QTEST_GUILESS_MAIN(TestSimPacing)
#include "test_sim_pacing.moc"
