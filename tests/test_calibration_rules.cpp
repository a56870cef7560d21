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
};

QTEST_MAIN(TestCalibrationRules)
#include "test_calibration_rules.moc"
