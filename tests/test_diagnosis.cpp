// The diagnosis figures on synthetic frame streams whose answers are known: probes that switch
// cleanly, with noise, stuck or biased, of each voltage range and direction; idle speed among
// driving and engine braking, after revs and stalls, hunting or drifting; TPS leaving its
// calibrated range; a minute of the simulator revving and settling read by the viewer and the
// panel alike.
#include <QtTest>

#include "core/Language.h"
#include "logview/LogData.h"
#include "monitor/Diagnosis.h"
#include "monitor/DiagnosisReadout.h"
#include "sim/EngineModel.h"

#include <QLabel>
#include <QWidget>

#include <cmath>
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

// The frames as the panel and the viewer mark them, one after another.
Stream marked(Stream frames, const DiagnosisInput& input) {
  IdleRule rule(input);
  for (DiagnosisSample& f : frames)
    f.idle = rule.next(f);
  return frames;
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
        << Expected{clean, 0.5, 5, 45, 900, 800, 0, false, false};
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
        << probe("51") << none << Expected{clean, 0.5, 5, 45, 900, 800, 0, false, false};
    QTest::newRow("stuck rich") << stream(
                                       20, [](int i) { return 43 + i % 5; }, idle, rpm800)
                                << probe("51") << none
                                << Expected{0, 1.0, 43, 47, 900, 800, 0, false, false};
    QTest::newRow("lean probe: rich a fifth of the time")
        << stream(20, switching(4, 44, 10), idle, rpm800) << probe("51") << none
        << Expected{clean, 0.2, 4, 44, 900, 800, 0, false, false};
    QTest::newRow("lean, barely reaching the band")
        << stream(20, switching(5, 32), idle, rpm800) << probe("51") << none
        << Expected{0, 0.5, 5, 32, 900, 800, 0, false, false};
    // Alternating 700/900 at idle, counted once settled (after 2 s); driving (TPS 60) and engine
    // braking (throttle shut at 1800 rpm) are no idle; TPS one count above the shut throttle
    // still is.
    QTest::newRow("unsteady idle among driving")
        << stream(
               20, switching(5, 45), [](int i) { return i < 500   ? 10 + i % 2
                                                        : i < 750 ? 60
                                                                  : 10; },
               [](int i) { return i < 500   ? (i % 2 ? 900 : 700)
                                  : i < 750 ? 2500
                                            : 1800; })
        << probe("51") << none << Expected{clean, 0.5, 5, 45, 400, 800, 100, false, false};
    // Stalled for 5 s, then idling with every fourth frame without a speed: those neither
    // count nor keep the engine from settling (at 7 s).
    QTest::newRow("stalled and unknown speed are no idle")
        << stream(20, switching(5, 45), idle,
                  [](int i) { return i < 250      ? 0
                                     : i % 4 == 0 ? -1
                                                  : 850; })
        << probe("51") << none << Expected{clean, 0.5, 5, 45, 488, 850, 0, false, false};
    // 0.8..1.6 V: the midpoint is 1.2 V (61.5 counts); 58 and 66 are noise, 45 and 78 switch.
    QTest::newRow("0.8..1.6 V probe")
        << stream(20, switching(45, 78), idle, rpm800) << probe("82", 41, 82) << none
        << Expected{clean, 0.5, 45, 78, 900, 800, 0, false, false};
    QTest::newRow("0.8..1.6 V probe, noise only")
        << stream(20, switching(58, 66), idle, rpm800) << probe("82", 41, 82) << none
        << Expected{0, 0.5, 58, 66, 900, 800, 0, false, false};
    // A 0..1 V probe under the 5 V key would never reach the 5 V band.
    QTest::newRow("0..5 V probe") << stream(20, switching(20, 230), idle, rpm800)
                                  << probe("255", 0, 255) << none
                                  << Expected{clean, 0.5, 20, 230, 900, 800, 0, false, false};
    QTest::newRow("0..5 V key, 0..1 V swing")
        << stream(20, switching(5, 45), idle, rpm800) << probe("255") << none
        << Expected{0, 0, 5, 45, 900, 800, 0, false, false};
    // An inverted probe reads low when rich: 30 % of the time at 20.
    QTest::newRow("inverted 5..0 V probe")
        << stream(20, switching(230, 20, 15), idle, rpm800) << probe("255", 255, 0) << none
        << Expected{clean, 0.3, 20, 230, 900, 800, 0, false, false};
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
        << Expected{clean, 0.5, 5, 45, 400, 800, 0, false, false};
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
        << Expected{clean, 0.5, 5, 45, 400, 800, 0, false, true};
    QTest::newRow("no frames") << stream(0, idle, idle, rpm800) << probe("51") << none
                               << Expected{0, 0, 0, 0, 0, 0, 0, false, false};
  }

  void figures() {
    QFETCH(Stream, frames);
    QFETCH(LiveSettings, settings);
    QFETCH(std::optional<TpsCalibration>, calibration);
    QFETCH(Expected, expected);
    const DiagnosisInput input = diagnosisInput(settings, calibration);
    frames = marked(frames, input);
    const Diagnosis d = diagnose(frames.data(), frames.data() + frames.size(), input);
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
  }

  // What the panel says, word for word: every figure with its unit and the window it covers,
  // said again in the language chosen meanwhile. A clean 1 Hz probe at a steady 800 rpm idle,
  // and at last the throttle beyond its calibration.
  void panelText() {
    QWidget panel;
    DiagnosisReadout readout(&panel);
    readout.reset(probe("51"), TpsCalibration{10, 60});
    for (int i = 0; i <= 600; ++i) {
      const LiveFrame f{switching(5, 45)(i), i == 600 ? 70 : 10, 0, 0, 0x4C, 0x04, 0};
      readout.add(Nanos(Millis(i * 20)), f, engineSpeed(1100, 1100));
    }
    QVERIFY(readout.label()->text().startsWith(QStringLiteral("Ostatnie 10 s:\nλ1: 2.0 przeł./s")));
    CurrentLanguage::set(Language::Italian);
    readout.retranslate();
    CurrentLanguage::set(Language::Polish);
    QCOMPARE(readout.label()->text(),
             QStringLiteral("Ultimi 10 s:\nλ1: 2.0 comm./s\nRicca: 50%\nλ1: 0.09–0.88 V\nMinimo:\n"
                            "800 ± 0 giri/min\nTPS: 0.50–3.50 V\nTPS fuori calibr.!"));
  }

  // Beside the run-downs after revs (below): a switch-off and the flare of a restart stay out
  // of the idle figure; an idle that hunts or drifts as the engine warms counts, spread and all.
  void idleSettles_data() {
    QTest::addColumn<Stream>("frames");
    QTest::addColumn<double>("mean");
    QTest::addColumn<double>("stdDev");
    QTest::addColumn<double>("tolerance");  // of both
    QTest::addColumn<int>("minFrames");
    const auto t = [](int i) { return i * 0.02; };
    const auto hum = [t](int i) { return 3 * std::sin(10.7 * t(i)); };
    QTest::newRow("switched off at 5 s, restarted with a flare at 6 s")
        << stream(18, constant(20), constant(10),
                  [=](int i) {
                    return t(i) < 5      ? int(800 + hum(i))
                           : t(i) < 5.06 ? 500
                           : t(i) < 6    ? 0
                                         : int(800 + 500 * std::exp((6 - t(i)) / 0.3) + hum(i));
                  })
        << 800.0 << 2.1 << 1.6 << 350;
    QTest::newRow("hunting 50 rpm each way at 0.5 Hz")
        << stream(20, constant(20), constant(10),
                  [=](int i) { return int(800 + 50 * std::sin(M_PI * t(i))); })
        << 800.0 << 35.4 << 2.5 << 800;
    QTest::newRow("warming up, 5 rpm a second down")
        << stream(30, constant(20), constant(10), [=](int i) { return int(1000 - 5 * t(i)); })
        << 920.0 << 40.4 << 2.0 << 1350;
  }
  void idleSettles() {
    QFETCH(Stream, frames);
    QFETCH(double, mean);
    QFETCH(double, stdDev);
    QFETCH(double, tolerance);
    QFETCH(int, minFrames);
    const DiagnosisInput input = diagnosisInput(probe("51"), std::nullopt);
    frames = marked(frames, input);
    const Diagnosis d = diagnose(frames.data(), frames.data() + frames.size(), input);
    QVERIFY2(qAbs(d.idleRpmMean - mean) <= tolerance &&
                 qAbs(d.idleRpmStdDev - stdDev) <= tolerance && d.idleFrames >= minFrames,
             qPrintable(QStringLiteral("%1 ± %2, %3")
                            .arg(d.idleRpmMean)
                            .arg(d.idleRpmStdDev)
                            .arg(d.idleFrames)));
  }

  // A minute of the simulator revving to 3000 rpm for 6 s every 18 s, recorded at about the
  // live loop's pace: the viewer's idle figure is the settled idle (not 842 ± 116), and the
  // panel marks its last ten seconds as the viewer marks the same frames.
  void revAndSettleLog() {
    sim::EngineModel model(11);
    model.setRevCycle(true, 0.0);
    LiveSettings settings = probe("51");
    settings.idlePeriodReference = 1100;
    QWidget panel;
    DiagnosisReadout readout(&panel);
    readout.reset(settings, std::nullopt);
    QByteArray csv = driveLogHeader();
    for (qint64 ms = 0; ms < 61000; ms += 27) {
      const sim::LiveFrame b = model.frame(10.0 + double(ms) / 1000.0);
      const RawLiveFrame raw{b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7]};
      csv += formatDriveLogRow({ms, raw, settings});
      readout.add(Nanos(Millis(ms)), displayedBytes(raw), engineSpeed(1100, b[4] + 256 * b[5]));
    }
    const LogData log = decodeDriveLog(parseDriveLog(csv));
    const Diagnosis whole = log.diagnosis(0, log.rows.size());
    QVERIFY2(
        qAbs(whole.idleRpmMean - 800) < 8 && whole.idleRpmStdDev < 16 && whole.idleFrames > 500,
        qPrintable(QStringLiteral("%1 ± %2").arg(whole.idleRpmMean).arg(whole.idleRpmStdDev)));
    const Diagnosis live = readout.current();
    const Diagnosis same =
        log.diagnosis(log.rows.size() - std::size_t(live.frames), log.rows.size());
    QVERIFY(live.idleFrames > 0);
    QCOMPARE((std::array{double(live.idleFrames), live.idleRpmMean, live.idleRpmStdDev}),
             (std::array{double(same.idleFrames), same.idleRpmMean, same.idleRpmStdDev}));
  }
};

QTEST_MAIN(TestDiagnosis)
#include "test_diagnosis.moc"
