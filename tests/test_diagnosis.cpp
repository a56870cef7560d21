// The diagnosis figures on synthetic frame streams whose answers are known: probes that switch
// cleanly, with noise, stuck or biased, of each voltage range and direction; idle speed among
// driving and engine braking; TPS leaving its calibrated range.
#include <QtTest>

#include "monitor/Diagnosis.h"
#include "monitor/DiagnosisReadout.h"

#include <QLabel>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

using namespace orvel;

namespace {

using Stream = std::vector<DiagnosisSample>;

// 50 frames a second for `seconds`; each frame's lambda, TPS and rpm from its index.
Stream stream(int seconds, const std::function<int(int)>& lambda,
              const std::function<int(int)>& tps, const std::function<int(int)>& rpm) {
  Stream s;
  for (int i = 0; i < seconds * 50; ++i) {
    s.push_back({qint64(i) * 20, static_cast<std::uint8_t>(lambda(i)),
                 static_cast<std::uint8_t>(tps(i)), rpm(i)});
  }
  return s;
}

// A probe switching once a second (rich for `richFrames` of every 50, lean for the rest).
std::function<int(int)> switching(int lean, int rich, int richFrames = 25) {
  return [=](int i) { return i % 50 >= 50 - richFrames ? rich : lean; };
}

std::function<int(int)> constant(int v) {
  return [v](int) { return v; };
}

LiveSettings probe(const char* key, int low = 0, int high = 0) {
  LiveSettings s;
  s.lambdaKey = QString::fromLatin1(key);
  s.lambdaLow = low;
  s.lambdaHigh = high;
  return s;
}

struct Expected {
  double perSecond;
  double richShare;
  int lambdaMin, lambdaMax;
  int idleFrames;
  double idleMean, idleStdDev;
  bool below, above;
};

}  // namespace

Q_DECLARE_METATYPE(Stream)
Q_DECLARE_METATYPE(LiveSettings)
Q_DECLARE_METATYPE(std::optional<TpsCalibration>)
Q_DECLARE_METATYPE(Expected)

class TestDiagnosis : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void figures_data() {
    QTest::addColumn<Stream>("frames");
    QTest::addColumn<LiveSettings>("settings");
    QTest::addColumn<std::optional<TpsCalibration>>("calibration");
    QTest::addColumn<Expected>("expected");
    const auto idle = constant(10);
    const auto rpm800 = constant(800);
    const std::optional<TpsCalibration> none;
    // 20 s of 1 Hz switching: 39 changes between the first and the last frame (19.98 s).
    const double clean = 39 / 19.98;

    QTest::newRow("clean 1 Hz, 0..1 V probe")
        << stream(20, switching(5, 45), idle, rpm800) << probe("51") << none
        << Expected{clean, 0.5, 5, 45, 1000, 800, 0, false, false};
    // Every fifth frame falls into the band and across the midpoint (0.59 V while lean,
    // 0.41 V while rich): a count at the midpoint alone would find 400 more switches.
    QTest::newRow("noise inside the band")
        << stream(
               20,
               [](int i) {
                 const bool rich = i % 50 >= 25;
                 if (i % 5 == 2) return rich ? 21 : 30;
                 return rich ? 45 : 5;
               },
               idle, rpm800)
        << probe("51") << none << Expected{clean, 0.5, 5, 45, 1000, 800, 0, false, false};
    QTest::newRow("stuck rich") << stream(
                                       20, [](int i) { return 43 + i % 5; }, idle, rpm800)
                                << probe("51") << none
                                << Expected{0, 1.0, 43, 47, 1000, 800, 0, false, false};
    QTest::newRow("lean probe: rich a fifth of the time")
        << stream(20, switching(4, 44, 10), idle, rpm800) << probe("51") << none
        << Expected{clean, 0.2, 4, 44, 1000, 800, 0, false, false};
    QTest::newRow("lean, barely reaching the band")
        << stream(20, switching(5, 32), idle, rpm800) << probe("51") << none
        << Expected{0, 0.5, 5, 32, 1000, 800, 0, false, false};
    // Alternating 700/900 at idle; driving (TPS 60) and engine braking (throttle shut at
    // 1800 rpm) are no idle; TPS one count above the shut throttle still is.
    QTest::newRow("unsteady idle among driving")
        << stream(
               20, switching(5, 45), [](int i) { return i < 500   ? 10 + i % 2
                                                        : i < 750 ? 60
                                                                  : 10; },
               [](int i) { return i < 500   ? (i % 2 ? 900 : 700)
                                  : i < 750 ? 2500
                                            : 1800; })
        << probe("51") << none << Expected{clean, 0.5, 5, 45, 500, 800, 100, false, false};
    QTest::newRow("stalled and unknown speed are no idle")
        << stream(20, switching(5, 45), idle,
                  [](int i) { return i % 4 == 0   ? -1
                                     : i % 4 == 1 ? 0
                                                  : 850; })
        << probe("51") << none << Expected{clean, 0.5, 5, 45, 500, 850, 0, false, false};
    // 0.8..1.6 V: the midpoint is 1.2 V (61.5 counts); 58 and 66 are noise, 45 and 78 switch.
    QTest::newRow("0.8..1.6 V probe")
        << stream(20, switching(45, 78), idle, rpm800) << probe("82", 41, 82) << none
        << Expected{clean, 0.5, 45, 78, 1000, 800, 0, false, false};
    QTest::newRow("0.8..1.6 V probe, noise only")
        << stream(20, switching(58, 66), idle, rpm800) << probe("82", 41, 82) << none
        << Expected{0, 0.5, 58, 66, 1000, 800, 0, false, false};
    // A 0..1 V probe under the 5 V key would never reach the 5 V band.
    QTest::newRow("0..5 V probe") << stream(20, switching(20, 230), idle, rpm800)
                                  << probe("255", 0, 255) << none
                                  << Expected{clean, 0.5, 20, 230, 1000, 800, 0, false, false};
    QTest::newRow("0..5 V key, 0..1 V swing")
        << stream(20, switching(5, 45), idle, rpm800) << probe("255") << none
        << Expected{0, 0, 5, 45, 1000, 800, 0, false, false};
    // An inverted probe reads low when rich: 30 % of the time at 20.
    QTest::newRow("inverted 5..0 V probe")
        << stream(20, switching(230, 20, 15), idle, rpm800) << probe("255", 255, 0) << none
        << Expected{clean, 0.3, 20, 230, 1000, 800, 0, false, false};
    // Calibrated at 10 (idle) and 60: TPS reads 6 at idle now, 4 counts under, so the idle
    // frames are no longer found at the calibrated idle.
    QTest::newRow("TPS below its calibration")
        << stream(
               20, switching(5, 45), [](int i) { return i < 500 ? 6 : 40; }, rpm800)
        << probe("51") << std::optional<TpsCalibration>(TpsCalibration{10, 60})
        << Expected{clean, 0.5, 5, 45, 0, 0, 0, true, false};
    QTest::newRow("TPS within its calibration, the last digit aside")
        << stream(
               20, switching(5, 45), [](int i) { return i < 500 ? 8 : 62; }, rpm800)
        << probe("51") << std::optional<TpsCalibration>(TpsCalibration{10, 60})
        << Expected{clean, 0.5, 5, 45, 500, 800, 0, false, false};
    QTest::newRow("falling sensor above its calibration")
        << stream(
               20, switching(5, 45), [](int i) { return i < 500 ? 99 : 40; }, rpm800)
        <<
        [] {
          LiveSettings s = probe("51");
          s.tpsRange = TpsRange::Falling5V;
          return s;
        }()
        << std::optional<TpsCalibration>(TpsCalibration{96, 30})
        << Expected{clean, 0.5, 5, 45, 500, 800, 0, false, true};
    QTest::newRow("no frames") << stream(0, idle, idle, rpm800) << probe("51") << none
                               << Expected{0, 0, 0, 0, 0, 0, 0, false, false};
  }

  void figures() {
    QFETCH(Stream, frames);
    QFETCH(LiveSettings, settings);
    QFETCH(std::optional<TpsCalibration>, calibration);
    QFETCH(Expected, expected);
    const Diagnosis d = diagnose(frames.data(), frames.data() + frames.size(),
                                 diagnosisInput(settings, calibration));
    QCOMPARE(d.frames, int(frames.size()));
    QVERIFY2(qAbs(d.crossingsPerSecond - expected.perSecond) < 0.005,
             qPrintable(QString::number(d.crossingsPerSecond)));
    QVERIFY2(qAbs(d.richShare - expected.richShare) < 0.001,
             qPrintable(QString::number(d.richShare)));
    QCOMPARE(d.lambdaMin, expected.lambdaMin);
    QCOMPARE(d.lambdaMax, expected.lambdaMax);
    QCOMPARE(d.idleFrames, expected.idleFrames);
    QVERIFY2(qAbs(d.idleRpmMean - expected.idleMean) < 0.01,
             qPrintable(QString::number(d.idleRpmMean)));
    QVERIFY2(qAbs(d.idleRpmStdDev - expected.idleStdDev) < 0.01,
             qPrintable(QString::number(d.idleRpmStdDev)));
    QCOMPARE(d.calibrationKnown, calibration.has_value() && !frames.empty());
    QCOMPARE(d.tpsBelowCalibration, expected.below);
    QCOMPARE(d.tpsAboveCalibration, expected.above);
  }

  // The panel's read-out: refreshed only on each whole second of frames, over the last ten
  // seconds alone. A probe switching cleanly for 15 s and then stuck rich.
  void panelReadout_data() {
    QTest::addColumn<int>("frames");  // 20 ms apart
    QTest::addColumn<bool>("refreshed");
    QTest::addColumn<double>("perSecond");
    QTest::addColumn<double>("richShare");
    QTest::newRow("within the first second") << 50 << false << 0.0 << 0.0;
    QTest::newRow("at the first second") << 51 << true << 2.0 << 25.0 / 51;
    QTest::newRow("still switching") << 751 << true << 1.9 << 251.0 / 501;
    QTest::newRow("stuck for the last ten seconds") << 1251 << true << 0.0 << 1.0;
  }

  void panelReadout() {
    QFETCH(int, frames);
    QFETCH(bool, refreshed);
    QFETCH(double, perSecond);
    QFETCH(double, richShare);
    QWidget panel;
    DiagnosisReadout readout(&panel);
    readout.reset(probe("51"), std::nullopt);
    const QString empty = readout.label()->text();
    const auto lambda = switching(5, 45);
    for (int i = 0; i < frames; ++i) {
      const LiveFrame f{i < 750 ? lambda(i) : 45, 10, 0, 0, 0x4C, 0x04, 0};
      readout.add(Nanos(Millis(i * 20)), f, engineSpeed(1100, 1100));
    }
    QCOMPARE(readout.label()->text() != empty, refreshed);
    if (!refreshed) return;
    const Diagnosis d = readout.current();
    QVERIFY(d.spanMs <= 10000);
    QVERIFY2(qAbs(d.crossingsPerSecond - perSecond) < 0.005,
             qPrintable(QString::number(d.crossingsPerSecond)));
    QVERIFY(qAbs(d.richShare - richShare) < 1e-9);
    QCOMPARE(readout.label()->text(), diagnosisLines(d, true).join(QLatin1Char('\n')));
  }
};

QTEST_MAIN(TestDiagnosis)
#include "test_diagnosis.moc"
