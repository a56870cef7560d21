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

  // Voltages typed the way people type them; the lambda threshold reads whole volts and tenths,
  // never a hundredths digit, its byte worked out exactly (3.5 V is 178.5, a half, to even).
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
    QTest::newRow("hundredths not read: 2.55 is 2.5") << "2.55" << 255 << 128;
    QTest::newRow("nor rounded: 2.59 is 2.5") << "2.59" << 259 << 128;
    QTest::newRow("3.55 as 3.5: 178") << "3.55" << 355 << 178;
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

  // Where a sample stops being one an engine gives right after another: the lines on each side,
  // both ways round, and the channels that are never judged.
  void sampleLines_data() {
    QTest::addColumn<int>("byte");  // changed in the second sample; -1 none
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("period");  // the second sample's period
    QTest::addColumn<bool>("agree");
    QTest::addColumn<bool>("wellFormed");
    QTest::newRow("alike") << -1 << 0 << 1100 << true << true;
    QTest::newRow("TPS 6 counts up") << 1 << 16 << 1100 << true << true;
    QTest::newRow("TPS 7 counts down") << 1 << 3 << 1100 << false << true;
    QTest::newRow("period a fifth longer") << -1 << 0 << 1320 << true << true;
    QTest::newRow("period past a fifth longer") << -1 << 0 << 1321 << false << true;
    QTest::newRow("period shorter, the other a fifth longer") << -1 << 0 << 917 << true << true;
    QTest::newRow("period shorter, the other past a fifth") << -1 << 0 << 916 << false << true;
    QTest::newRow("misfire 1300") << -1 << 0 << 1300 << true << true;
    QTest::newRow("high byte bit 0 flipped") << -1 << 0 << 1356 << false << true;
    QTest::newRow("low byte bit 7 flipped passes") << -1 << 0 << 1228 << true << true;
    QTest::newRow("shifted: vacuum and period read as the period")
        << -1 << 0 << 0x4CB9 << false << true;
    QTest::newRow("lambda not judged") << 0 << 255 << 1100 << true << true;
    QTest::newRow("vacuum not judged") << 3 << 0 << 1100 << true << true;
    QTest::newRow("valve not judged") << 6 << 0 << 1100 << true << true;
    QTest::newRow("no closing 01h") << 7 << 0xC8 << 1100 << true << false;
    QTest::newRow("period 0") << -1 << 0 << 0 << false << false;
  }
  void sampleLines() {
    QFETCH(int, byte);
    QFETCH(int, value);
    QFETCH(int, period);
    const SampleFrame a{23, 10, 140, 185, 0x4C, 0x04, 200, 0x01};
    SampleFrame b = a;
    if (byte >= 0) b[std::size_t(byte)] = value;
    b[4] = period & 0xFF;
    b[5] = period >> 8;
    QTEST(samplesAgree(a, b), "agree");
    QTEST(samplesAgree(b, a), "agree");
    QTEST(wellFormedSample(b), "wellFormed");
  }
};

QTEST_MAIN(TestCalibrationRules)
#include "test_calibration_rules.moc"
