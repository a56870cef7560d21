// The wizard's rules that need no window: the probe types, the proposed thresholds and the
// lambda threshold's entry form. (Full runs of the wizard check the other conversions on the wire.)
#include "calibration/CalibrationRules.h"

#include <QtTest>

using namespace orvel;

class TestCalibrationRules : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void probeTypes_data() {
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::addColumn<int>("line33");
    QTest::addColumn<int>("argument");
    QTest::addColumn<QString>("threshold");
    QTest::newRow("0..1 V") << 0 << 0 << 51 << 51 << 1 << "0.5";
    QTest::newRow("0..5 V (+)") << 1 << 0 << 255 << 255 << 0 << "2.5";
    QTest::newRow("0..5 V (-)") << 2 << 255 << 0 << 255 << 0 << "2.5";
    QTest::newRow("5..0 V (+)") << 3 << 255 << 0 << 255 << 0 << "2.5";
    QTest::newRow("5..0 V (-)") << 4 << 0 << 255 << 255 << 0 << "2.5";
    QTest::newRow("0,8..1,6 V") << 5 << 41 << 82 << 82 << 2 << "1.2";
    QTest::newRow("no item is the first") << -1 << 0 << 51 << 51 << 1 << "0.5";
  }
  void probeTypes() {
    QFETCH(int, item);
    QFETCH(int, low);
    QFETCH(int, high);
    QFETCH(int, line33);
    QFETCH(int, argument);
    QFETCH(QString, threshold);
    const ProbeType p = probeType(item);
    QCOMPARE(p.lambdaLow, low);
    QCOMPARE(p.lambdaHigh, high);
    QCOMPARE(p.rangeLine, line33);
    QCOMPARE(int(p.rangeArgument), argument);
    QCOMPARE(defaultLambdaThreshold(low, high), threshold);
  }

  void defaultTpsThreshold_data() {
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::addColumn<QString>("text");
    QTest::newRow("equal ends") << 30 << 30 << "0.50";
    QTest::newRow("rising: 10..60, v = 16") << 10 << 60 << "0.80";
    QTest::newRow("v = 41") << 30 << 190 << "2.05";  // 30 + round(8 + 3)
    QTest::newRow("v = 51") << 40 << 200 << "2.55";
    QTest::newRow("v = 58: 2.90 becomes 3.00") << 50 << 150 << "3.00";
    QTest::newRow("v = 59: 2.95 becomes 3.00") << 51 << 151 << "3.00";
    QTest::newRow("a half rounds to even: 10 + round(6.5)") << 10 << 80 << "0.80";
    QTest::newRow("falling 200..20, v = 188") << 200 << 20 << "9.40";
    QTest::newRow("falling near 0 V is not negative") << 2 << 0 << "0.00";
  }
  void defaultTpsThreshold() {
    QFETCH(int, low);
    QFETCH(int, high);
    QFETCH(QString, text);
    QCOMPARE(orvel::defaultTpsThreshold(low, high), text);
  }

  // Voltages typed the way people type them; the lambda threshold takes tenths only, its byte
  // worked out exactly (3.5 V is 178.5, a half, to even).
  void voltEntries_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("hundredths");  // -1: not a voltage
    QTest::addColumn<int>("raw");         // lambda byte; -1: no lambda threshold
    QTest::newRow("2.5 -> 128") << "2.5" << 250 << 128;
    QTest::newRow("0.5 -> 26") << "0.5" << 50 << 26;
    QTest::newRow("1.2 -> 61") << "1.2" << 120 << 61;
    QTest::newRow("3.5 -> 178, not 179") << "3.5" << 350 << 178;
    QTest::newRow("4.5 -> 230") << "4.5" << 450 << 230;
    QTest::newRow("5.0 -> 255") << "5.0" << 500 << 255;
    QTest::newRow("5.1 exceeds a byte") << "5.1" << 510 << 260;
    QTest::newRow("3") << "3" << 300 << 153;
    QTest::newRow("3,0") << "3,0" << 300 << 153;
    QTest::newRow("3.00 with blanks") << " 3.00 " << 300 << 153;
    QTest::newRow("hundredths: no lambda threshold") << "2.59" << 259 << -1;
    QTest::newRow("three decimals") << "2.591" << -1 << -1;
    QTest::newRow("another mark") << "2x5" << -1 << -1;
    QTest::newRow("two marks") << "2.5.0" << -1 << -1;
    QTest::newRow("empty") << "" << -1 << -1;
    QTest::newRow("sign") << "-.5" << -1 << -1;
  }
  void voltEntries() {
    QFETCH(QString, text);
    QFETCH(int, hundredths);
    QFETCH(int, raw);
    QCOMPARE(voltHundredths(text).value_or(-1), hundredths);
    const auto t = lambdaThresholdTenths(text);
    QCOMPARE(t ? lambdaThresholdRaw(*t) : -1, raw);
  }

  // Ten frames of a steady engine are a measurement; one frame that a stray byte shifted or
  // replaced, or a channel beyond its bound, is not.
  void steadyRuns_data() {
    QTest::addColumn<bool>("idle");
    QTest::addColumn<int>("frame");  // which frame is changed, -1 none
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("steady");
    QTest::newRow("all alike") << true << -1 << 0 << 0 << true;
    QTest::newRow("no closing 01h") << true << 3 << 7 << 0xC8 << false;
    QTest::newRow("period 5 % over") << true << 0 << 4 << 0x4C + 55 << true;
    QTest::newRow("period 6 % under") << true << 9 << 4 << 0x4C - 66 << false;
    QTest::newRow("period shifted in from gas and vacuum") << true << 5 << 5 << 0xB9 << false;
    QTest::newRow("high run: period not judged") << false << 5 << 5 << 0xB9 << true;
    QTest::newRow("TPS 3 counts off") << false << 2 << 1 << 13 << true;
    QTest::newRow("TPS 4 counts off") << false << 2 << 1 << 14 << false;
    QTest::newRow("gas 8 counts off") << true << 7 << 2 << 148 << true;
    QTest::newRow("gas 9 counts off") << true << 7 << 2 << 131 << false;
    QTest::newRow("lambda and vacuum swing freely") << true << 1 << 0 << 200 << true;
  }
  void steadyRuns() {
    QFETCH(bool, idle);
    QFETCH(int, frame);
    QFETCH(int, byte);
    QFETCH(int, value);
    QFETCH(bool, steady);
    std::array<SampleFrame, 10> frames;
    frames.fill({23, 10, 140, 185, 0x4C, 0x04, 200, 0x01});
    if (frame >= 0) frames[std::size_t(frame)][std::size_t(byte)] = value;
    QCOMPARE(steadyRun(frames, idle), steady);
  }
};

QTEST_MAIN(TestCalibrationRules)
#include "test_calibration_rules.moc"
