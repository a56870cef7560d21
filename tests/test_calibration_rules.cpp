// The wizard's rules that need no window: proposed thresholds, entry forms, conversions to the
// controller's units, the flags byte, the averages and the volt texts of the summary lines.
#include "calibration/CalibrationRules.h"
#include "settings/Conversions.h"

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

  void lambdaThreshold_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("tenths");  // -1: not an entry
    QTest::addColumn<int>("raw");
    QTest::newRow("2.5 -> 128") << "2.5" << 25 << 128;
    QTest::newRow("0.5 -> 26") << "0.5" << 5 << 26;
    QTest::newRow("1.2 -> 61") << "1.2" << 12 << 61;
    QTest::newRow("5.0 -> 255") << "5.0" << 50 << 255;
    QTest::newRow("5.1 exceeds a byte") << "5.1" << 51 << 260;
    QTest::newRow("character 1 is not read") << "2x5" << 25 << 128;
    QTest::newRow("only the first three count") << "2.59" << 25 << 128;
    QTest::newRow("no tenths") << "2." << -1 << 0;
    QTest::newRow("empty") << "" << -1 << 0;
    QTest::newRow("sign") << "-.5" << -1 << 0;
  }
  void lambdaThreshold() {
    QFETCH(QString, text);
    QFETCH(int, tenths);
    QFETCH(int, raw);
    const auto t = lambdaThresholdTenths(text);
    QCOMPARE(t.value_or(-1), tenths);
    if (t) QCOMPARE(lambdaThresholdRaw(*t), raw);
  }

  void tpsThresholdRaw_data() {
    QTest::addColumn<int>("hundredths");
    QTest::addColumn<int>("raw");
    QTest::newRow("2.5") << 250 << 50;
    QTest::newRow("2.55") << 255 << 51;
    QTest::newRow("0.80") << 80 << 16;
    QTest::newRow("9.99") << 999 << 200;
    QTest::newRow("0.02") << 2 << 0;
    QTest::newRow("0.03") << 3 << 1;
  }
  void tpsThresholdRaw() {
    QFETCH(int, hundredths);
    QFETCH(int, raw);
    QCOMPARE(orvel::tpsThresholdRaw(hundredths), raw);
  }

  void waveCounts_data() {
    QTest::addColumn<int>("ms");
    QTest::addColumn<int>("counts");
    QTest::addColumn<int>("quarter");
    QTest::newRow("500 ms") << 500 << 122 << 30;  // 30.5 to even
    QTest::newRow("1000 ms") << 1000 << 244 << 61;
    QTest::newRow("300 ms") << 300 << 73 << 18;
    QTest::newRow("4000 ms") << 4000 << 976 << 244;
    QTest::newRow("0 ms") << 0 << 0 << 0;
    QTest::newRow("2 ms: 0.488") << 2 << 0 << 0;
    QTest::newRow("6 ms: 1.464") << 6 << 1 << 0;
  }
  void waveCounts() {
    QFETCH(int, ms);
    QFETCH(int, counts);
    QFETCH(int, quarter);
    QCOMPARE(orvel::waveCounts(ms), counts);
    QCOMPARE(quarterOf(counts), quarter);
  }

  void flags_data() {
    QTest::addColumn<bool>("cutoff");
    QTest::addColumn<bool>("gas");
    QTest::addColumn<bool>("falling");
    QTest::addColumn<QList<int>>("ends");  // lambda low, high, TPS low, high
    QTest::addColumn<int>("flags");
    QTest::newRow("none") << false << false << false << QList<int>{0, 51, 10, 60} << 0x00;
    QTest::newRow("cutoff") << true << false << false << QList<int>{0, 51, 10, 60} << 0x10;
    QTest::newRow("gas sensor") << false << true << false << QList<int>{0, 51, 10, 60} << 0x08;
    QTest::newRow("falling changeover")
        << false << false << true << QList<int>{0, 51, 10, 60} << 0x04;
    QTest::newRow("5..0 V probe") << true << false << false << QList<int>{255, 0, 10, 60} << 0x12;
    QTest::newRow("falling TPS") << false << false << true << QList<int>{0, 255, 200, 20} << 0x05;
    QTest::newRow("equal TPS is not falling")
        << false << false << false << QList<int>{41, 82, 30, 30} << 0x00;
  }
  void flags() {
    QFETCH(bool, cutoff);
    QFETCH(bool, gas);
    QFETCH(bool, falling);
    QFETCH(QList<int>, ends);
    QFETCH(int, flags);
    QCOMPARE(int(calibrationFlags(cutoff, gas, falling, ends[0], ends[1], ends[2], ends[3])),
             flags);
  }

  void averages_data() {
    QTest::addColumn<int>("sum");
    QTest::addColumn<int>("average");
    QTest::newRow("405") << 405 << 40;
    QTest::newRow("415") << 415 << 42;
    QTest::newRow("404") << 404 << 40;
    QTest::newRow("406") << 406 << 41;
    QTest::newRow("11005") << 11005 << 1100;
    QTest::newRow("0") << 0 << 0;
  }
  void averages() {
    QFETCH(int, sum);
    QFETCH(int, average);
    QCOMPARE(averageOf(sum, 10), average);
  }

  // The summary lines' volt texts, exact where floating point would be off by a hundredth.
  void voltTexts_data() {
    QTest::addColumn<bool>("lambda");
    QTest::addColumn<int>("raw");
    QTest::addColumn<QString>("text");
    QTest::newRow("lambda 51") << true << 51 << "1.00";
    QTest::newRow("lambda 41") << true << 41 << "0.80";
    QTest::newRow("lambda 82") << true << 82 << "1.60";
    QTest::newRow("lambda 25") << true << 25 << "0.49";
    QTest::newRow("lambda 255") << true << 255 << "5.00";
    QTest::newRow("lambda 0") << true << 0 << "0.00";
    QTest::newRow("TPS 41") << false << 41 << "2.05";
    QTest::newRow("TPS 100") << false << 100 << "5.00";
    QTest::newRow("TPS 255") << false << 255 << "12.75";
    QTest::newRow("TPS 229") << false << 229 << "11.45";
    QTest::newRow("TPS 23") << false << 23 << "1.15";
  }
  void voltTexts() {
    QFETCH(bool, lambda);
    QFETCH(int, raw);
    QFETCH(QString, text);
    QCOMPARE(lambda ? lambdaVoltText(raw) : tpsVoltText(raw), text);
  }
};

QTEST_MAIN(TestCalibrationRules)
#include "test_calibration_rules.moc"
