// What one live frame means for the display: indicator thresholds, engine speed and its
// rounding, the volt read-outs, the chart values and rows, and the TPS range class.
#include <QtTest>

#include "monitor/LiveDecoder.h"
#include "monitor/LiveFrameFilter.h"
#include "settings/Conversions.h"

using namespace orvel;

Q_DECLARE_METATYPE(orvel::TpsRange)
Q_DECLARE_METATYPE(orvel::EngineSpeed::Kind)

namespace {

LiveFrame frameOf(int b0, int b1, int b2, int b3, int b4, int b5, int b6) {
  return {b0, b1, b2, b3, b4, b5, b6};
}

}  // namespace

class TestMonitorDecoder : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void thresholds_data() {
    QTest::addColumn<int>("range");
    QTest::addColumn<QList<int>>("expected");
    QTest::newRow("full 0..5 V probe") << 255 << QList<int>{32, 64, 96, 128, 159, 191, 223};
    QTest::newRow("0.8..1.6 V probe") << 41 << QList<int>{5, 10, 15, 20, 26, 31, 36};
    // 51 * k / 8 has halves at k = 4 (25.5): to the even neighbour.
    QTest::newRow("0..1 V probe") << 51 << QList<int>{6, 13, 19, 26, 32, 38, 45};
    QTest::newRow("empty range") << 0 << QList<int>{0, 0, 0, 0, 0, 0, 0};
    QTest::newRow("halves everywhere") << 4 << QList<int>{0, 1, 2, 2, 2, 3, 4};
  }
  void thresholds() {
    QFETCH(int, range);
    QFETCH(QList<int>, expected);
    const auto t = lambdaThresholds(range);
    QCOMPARE(QList<int>(t.begin(), t.end()), expected);
  }

  // Which indicator is lit, counted from the bottom (0 = Gauge14, lean) to the top (7 = Gauge7).
  void litIndicator_data() {
    QTest::addColumn<int>("byte0");
    QTest::addColumn<int>("lambdaLow");
    QTest::addColumn<int>("lambdaHigh");
    QTest::addColumn<int>("range");
    QTest::addColumn<int>("lit");
    // Each threshold belongs to the indicator below it.
    const QList<QPair<int, int>> full{{0, 0},   {32, 0},  {33, 1},  {64, 1},  {65, 2},  {96, 2},
                                      {97, 3},  {128, 3}, {129, 4}, {159, 4}, {160, 5}, {191, 5},
                                      {192, 6}, {223, 6}, {224, 7}, {255, 7}};
    for (const auto& [byte0, lit] : full)
      QTest::addRow("range 255, byte %d", byte0) << byte0 << 0 << 0 << 255 << lit;
    // The 0.8..1.6 V probe is read from its 0.8 V offset (byte 41 = 0.80 V).
    QTest::newRow("0.8 V probe at 0.8 V") << 41 << 41 << 82 << 41 << 0;
    QTest::newRow("0.8 V probe below its range") << 0 << 41 << 82 << 41 << 0;
    QTest::newRow("0.8 V probe at 1.6 V") << 82 << 41 << 82 << 41 << 7;
    QTest::newRow("0.8 V probe at threshold 4") << 61 << 41 << 82 << 41 << 3;
    QTest::newRow("0.8 V probe past threshold 4") << 62 << 41 << 82 << 41 << 4;
    // The offset applies only when both ends are above 10.
    QTest::newRow("low end 10: no offset") << 41 << 10 << 82 << 41 << 7;
    QTest::newRow("high end 10: no offset") << 41 << 41 << 10 << 41 << 7;
    QTest::newRow("empty range, zero") << 0 << 0 << 0 << 0 << 0;
    QTest::newRow("empty range, anything above") << 1 << 0 << 0 << 0 << 7;
  }
  void litIndicator() {
    QFETCH(int, byte0);
    QFETCH(int, lambdaLow);
    QFETCH(int, lambdaHigh);
    QFETCH(int, range);
    QFETCH(int, lit);
    QCOMPARE(orvel::litIndicator(lambdaIndicatorValue(byte0, lambdaLow, lambdaHigh), range), lit);
  }

  void engineSpeed_data() {
    QTest::addColumn<int>("reference");
    QTest::addColumn<int>("period");
    QTest::addColumn<EngineSpeed::Kind>("kind");
    QTest::addColumn<int>("rpm");
    QTest::addColumn<int>("shown");
    using K = EngineSpeed::Kind;
    QTest::newRow("idle") << 1100 << 1100 << K::Measured << 800 << 800;
    QTest::newRow("825 rpm: 16.5 steps round down") << 1100 << 1067 << K::Measured << 825 << 800;
    QTest::newRow("875 rpm: 17.5 steps round up") << 1100 << 1006 << K::Measured << 875 << 900;
    QTest::newRow("824 rpm") << 1100 << 1068 << K::Measured << 824 << 800;
    QTest::newRow("300 rpm is shown") << 1100 << 2933 << K::Measured << 300 << 300;
    QTest::newRow("299 rpm is a standstill") << 1100 << 2940 << K::Measured << 0 << 0;
    QTest::newRow("200 rpm") << 1100 << 4400 << K::Measured << 0 << 0;
    QTest::newRow("over the bar") << 1100 << 88 << K::Measured << 10000 << 10000;
    QTest::newRow("period 1") << 1100 << 1 << K::Measured << 880000 << 880000;
    QTest::newRow("longest period") << 1100 << 65535 << K::Measured << 0 << 0;
    QTest::newRow("period 0: interference") << 1100 << 0 << K::Fault << 0 << 0;
    QTest::newRow("no reference") << 0 << 1100 << K::Unknown << 0 << 0;
    QTest::newRow("no reference, period 0") << 0 << 0 << K::Unknown << 0 << 0;
    // rpm 3025 -> 60.5 steps -> 60 -> 3000 (ties to even, not away from zero).
    QTest::newRow("3025 rpm") << 1210 << 320 << K::Measured << 3025 << 3000;
  }
  void engineSpeed() {
    QFETCH(int, reference);
    QFETCH(int, period);
    QFETCH(EngineSpeed::Kind, kind);
    QFETCH(int, rpm);
    QFETCH(int, shown);
    const EngineSpeed s = orvel::engineSpeed(reference, period);
    QCOMPARE(s.kind, kind);
    QCOMPARE(s.rpm, rpm);
    QCOMPARE(s.shown, shown);
  }

  void chartRows_data() {
    QTest::addColumn<QString>("lambdaKey");
    QTest::addColumn<int>("byte0");
    QTest::addColumn<int>("row");
    QTest::newRow("5 V probe, 0 V") << "255" << 0 << 80;
    QTest::newRow("5 V probe, full") << "255" << 255 << 2;
    QTest::newRow("1 V probe, 1 V") << "51" << 51 << 2;
    QTest::newRow("1 V probe, 2 V: above the bitmap") << "51" << 102 << -76;
    QTest::newRow("1 V probe, 5 V") << "51" << 255 << -310;
    QTest::newRow("1.6 V probe, 1.6 V") << "82" << 82 << 2;
    // 41 * 255 / 82 = 127.5 exactly: 128, row 80 - round(39.14).
    QTest::newRow("1.6 V probe, 0.8 V") << "82" << 41 << 41;
    QTest::newRow("1.6 V probe, 0.8 V plus one") << "82" << 42 << 40;
    QTest::newRow("unknown key scales as 1 V") << "0" << 51 << 2;
    QTest::newRow("empty key scales as 1 V") << "" << 10 << 65;
  }
  void chartRows() {
    QFETCH(QString, lambdaKey);
    QFETCH(int, byte0);
    QFETCH(int, row);
    QCOMPARE(chartRow(lambdaChartValue(byte0, lambdaKey)), row);
  }

  // The only exact halves on the way to a chart row are those of the 1.6 V scale (bytes 41, 123
  // and 205); 123 is the one where halves to even and halves up part.
  void lambdaChartValueTies_data() {
    QTest::addColumn<int>("byte0");
    QTest::addColumn<int>("value");
    QTest::newRow("127.5 -> 128") << 41 << 128;
    QTest::newRow("382.5 -> 382, not 383") << 123 << 382;
    QTest::newRow("637.5 -> 638") << 205 << 638;
  }
  void lambdaChartValueTies() {
    QFETCH(int, byte0);
    QFETCH(int, value);
    QCOMPARE(lambdaChartValue(byte0, QStringLiteral("82")), value);
  }

  void chartRowOfValue() {
    // Above 255 the trace climbs onto row 1, the frame row 0 and out of the bitmap.
    const QList<QPair<int, int>> rows{{0, 80},  {1, 80},  {2, 79},   {255, 2},
                                      {258, 1}, {262, 0}, {264, -1}, {1275, -310}};
    for (const auto& [value, row] : rows)
      QCOMPARE(chartRow(value), row);
  }

  void tpsRange_data() {
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::addColumn<TpsRange>("range");
    QTest::addColumn<QString>("name");
    QTest::newRow("not calibrated") << 0 << 0 << TpsRange::Rising12V << "0/12";
    QTest::newRow("rising 5 V") << 10 << 100 << TpsRange::Rising5V << "0/5";
    QTest::newRow("falling 5 V") << 100 << 10 << TpsRange::Falling5V << "5\\0";
    QTest::newRow("rising 12 V") << 10 << 200 << TpsRange::Rising12V << "0/12";
    QTest::newRow("falling 12 V") << 200 << 10 << TpsRange::Falling12V << "12\\0";
    QTest::newRow("5 V bounds are open: 70") << 10 << 70 << TpsRange::Rising12V << "0/12";
    QTest::newRow("5 V bounds are open: 130") << 10 << 130 << TpsRange::Rising12V << "0/12";
    QTest::newRow("5 V bounds: 71 and 129") << 29 << 71 << TpsRange::Rising5V << "0/5";
    QTest::newRow("idle not low enough") << 30 << 100 << TpsRange::Rising12V << "0/12";
    QTest::newRow("falling 5 V, 129") << 129 << 29 << TpsRange::Falling5V << "5\\0";
    QTest::newRow("falling 12 V needs above 170") << 170 << 10 << TpsRange::Rising12V << "0/12";
    QTest::newRow("falling 12 V at 171") << 171 << 29 << TpsRange::Falling12V << "12\\0";
    QTest::newRow("both high") << 200 << 200 << TpsRange::Rising12V << "0/12";
  }
  void tpsRange() {
    QFETCH(int, low);
    QFETCH(int, high);
    QFETCH(TpsRange, range);
    QFETCH(QString, name);
    QCOMPARE(chooseTpsRange(low, high), range);
    QCOMPARE(tpsRangeName(range), name);
  }

  void tpsChartValue() {
    // A 5 V sensor is stretched by 2.4 (106 counts, about 5.3 V, fill the chart); 12 V is not.
    for (TpsRange r : {TpsRange::Rising5V, TpsRange::Falling5V}) {
      QCOMPARE(orvel::tpsChartValue(106, r), 254);
      QCOMPARE(chartRow(orvel::tpsChartValue(106, r)), 2);
      QCOMPARE(orvel::tpsChartValue(255, r), 612);
    }
    for (TpsRange r : {TpsRange::Rising12V, TpsRange::Falling12V})
      QCOMPARE(orvel::tpsChartValue(106, r), 106);
  }

  // The whole frame, in the read-outs' own words.
  void decode_data() {
    QTest::addColumn<LiveFrame>("frame");
    QTest::addColumn<int>("reference");
    QTest::addColumn<QString>("lambdaText");
    QTest::addColumn<QString>("tpsText");
    QTest::addColumn<int>("lit");
    QTest::addColumn<int>("valve");
    QTest::addColumn<int>("lambda2Row");
    QTest::addColumn<int>("shown");
    QTest::newRow("all zero") << frameOf(0, 0, 0, 0, 0, 0, 0) << 0 << "0.00"
                              << "0.00" << 0 << 255 << 80 << 0;
    QTest::newRow("all 255") << frameOf(255, 255, 255, 255, 255, 255, 255) << 1100 << "5.00"
                             << "12.75" << 7 << 0 << 2 << 0;
    QTest::newRow("1 V, 1 V") << frameOf(51, 20, 0, 128, 0x4C, 0x04, 200) << 1100 << "1.00"
                              << "1.00" << 1 << 55 << 41 << 800;
    QTest::newRow("smallest steps") << frameOf(2, 1, 0, 1, 0x4C, 0x04, 254) << 1100 << "0.03"
                                    << "0.05" << 0 << 1 << 80 << 800;
    QTest::newRow("0.80 V") << frameOf(41, 0, 0, 0, 0, 0, 0) << 0 << "0.80"
                            << "0.00" << 1 << 255 << 80 << 0;
  }
  void decode() {
    QFETCH(LiveFrame, frame);
    QFETCH(int, reference);
    QFETCH(QString, lambdaText);
    QFETCH(QString, tpsText);
    QFETCH(int, lit);
    QFETCH(int, valve);
    QFETCH(int, lambda2Row);
    QFETCH(int, shown);
    LiveDecoder d;
    d.settings.lambdaKey = QStringLiteral("255");
    d.settings.idlePeriodReference = reference;
    const LiveReadings r = d.decode(frame);
    QCOMPARE(r.lambdaText, lambdaText);
    QCOMPARE(r.tpsText, tpsText);
    QCOMPARE(r.litIndicator, lit);
    QCOMPARE(r.valve, valve);
    QCOMPARE(r.tpsBar, frame[1]);
    QCOMPARE(r.lambda2Row, lambda2Row);
    QCOMPARE(r.speed.shown, shown);
  }

  // Every count reads as its true voltage truncated to hundredths: a TPS count is exactly 0.05 V,
  // so no TPS reading may end in 4 or 9 through a floating-point near miss.
  void voltTextsAreExactTruncations() {
    for (int b = 0; b <= 255; ++b) {
      const int tps = b * 5;
      QCOMPARE(tpsVoltText(b),
               QStringLiteral("%1.%2").arg(tps / 100).arg(tps % 100, 2, 10, QLatin1Char('0')));
      const int lambda = b * 500 / 255;
      QCOMPARE(
          lambdaVoltText(b),
          QStringLiteral("%1.%2").arg(lambda / 100).arg(lambda % 100, 2, 10, QLatin1Char('0')));
    }
    QCOMPARE(tpsVoltText(23), QStringLiteral("1.15"));
    QCOMPARE(lambdaVoltText(51), QStringLiteral("1.00"));
    QCOMPARE(lambdaVoltText(2), QStringLiteral("0.03"));
    QCOMPARE(tpsVoltText(255), QStringLiteral("12.75"));
  }

  void decodeUsesItsRanges() {
    LiveDecoder d;
    d.settings.lambdaKey = QStringLiteral("82");
    d.settings.lambdaLow = 41;
    d.settings.lambdaHigh = 82;
    d.settings.lambdaBarRange = 41;
    d.settings.tpsRange = TpsRange::Rising5V;
    const LiveReadings r = d.decode(frameOf(82, 106, 0, 0, 0, 0, 0));
    QCOMPARE(r.lambdaRow, 2);
    QCOMPARE(r.litIndicator, 7);
    QCOMPARE(r.tpsRow, 2);
    QCOMPARE(r.lambdaText, QStringLiteral("1.60"));
    QCOMPARE(r.tpsText, QStringLiteral("5.30"));
  }

  // Whole frames whose period jumps past double or half the last one shown: held, then shown
  // with the next when that confirms them, dropped when it does not.
  void shiftedFramesHeld_data() {
    QTest::addColumn<QList<int>>("periods");  // of the frames offered, in order
    QTest::addColumn<QList<int>>("shown");
    QTest::addColumn<int>("dropped");
    QTest::newRow("steady") << QList<int>{1100, 1100, 1100} << QList<int>{1100, 1100, 1100} << 0;
    QTest::newRow("read from gas and vacuum, between")
        << QList<int>{293, 29570, 293} << QList<int>{293, 293} << 1;
    QTest::newRow("doubled exactly") << QList<int>{1100, 2200} << QList<int>{1100, 2200} << 0;
    QTest::newRow("more than doubled, confirmed")
        << QList<int>{1100, 2201, 2300, 2300} << QList<int>{1100, 2201, 2300, 2300} << 0;
    QTest::newRow("halved and back") << QList<int>{1100, 549, 1100} << QList<int>{1100, 1100} << 1;
    QTest::newRow("two shifted, unlike each other")
        << QList<int>{293, 29570, 8000, 293} << QList<int>{293, 293} << 2;
    QTest::newRow("period 0 left to the warning")
        << QList<int>{1100, 0, 1100} << QList<int>{1100, 0, 1100} << 0;
  }
  void shiftedFramesHeld() {
    QFETCH(QList<int>, periods);
    LiveFrameFilter filter;
    QList<int> shown;
    int dropped = 0;
    for (int p : periods) {
      RawLiveFrame f{23, 60, 130, 115, std::uint8_t(p & 0xFF), std::uint8_t(p >> 8), 200, 1};
      const LiveFrameFilter::Verdict v = filter.offer(f);
      for (const RawLiveFrame& s : v.show)
        shown << s[4] + 256 * s[5];
      dropped += v.dropped;
    }
    QTEST(shown, "shown");
    QTEST(dropped, "dropped");
  }
};

QTEST_GUILESS_MAIN(TestMonitorDecoder)
#include "test_monitor_decoder.moc"
