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

// An engine at 50 frames a second: the throttle at tps(t) counts, the speed following target(t)
// with a lag of `lag` seconds, `wobble(t)` rpm on top, shown as 0 below 300 rpm.
Stream engine(
    double seconds, const std::function<int(double)>& tps,
    const std::function<double(double)>& target, double lag,
    const std::function<double(double)>& wobble = [](double) { return 0.0; }) {
  Stream s;
  double rpm = target(0);
  for (int i = 0; i < seconds * 50; ++i) {
    const double t = i * 0.02;
    rpm += (target(t) - rpm) * (1.0 - std::exp(-0.02 / lag));
    const long shown = std::lround(rpm + wobble(t));
    s.push_back(
        {qint64(i) * 20, 20, static_cast<std::uint8_t>(tps(t)), int(shown < 300 ? 0 : shown)});
  }
  return s;
}

// Revs of `rev` seconds to 3000 rpm every `every` seconds, the first after `idle` seconds.
std::function<bool(double)> revs(double idle, double rev, double every) {
  return [=](double t) { return t >= idle && std::fmod(t - idle, every) < rev; };
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
Q_DECLARE_METATYPE(orvel::Language)

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

  // What the panel says, word for word, in each language: every figure with its unit and the
  // window it covers. Twelve seconds of a clean 1 Hz probe at a steady 800 rpm idle.
  void panelText_data() {
    QTest::addColumn<Language>("language");
    QTest::addColumn<int>("tps");  // of the last frame; the calibration is 10 to 60
    QTest::addColumn<QString>("text");
    QTest::newRow("Polish") << Language::Polish << 10
                            << "Ostatnie 10 s:\nλ1: 2.0 przeł./s\nBogata: 50%\nλ1: 0.09–0.88 V\n"
                               "Jałowe:\n800 ± 0 obr/min\nTPS: 0.50–0.50 V";
    QTest::newRow("English") << Language::English << 10
                             << "Last 10 s:\nλ1: 2.0 switches/s\nRich: 50%\nλ1: 0.09–0.88 V\n"
                                "Idle:\n800 ± 0 rpm\nTPS: 0.50–0.50 V";
    QTest::newRow("Italian, TPS beyond its calibration")
        << Language::Italian << 70
        << "Ultimi 10 s:\nλ1: 2.0 comm./s\nRicca: 50%\nλ1: 0.09–0.88 V\nMinimo:\n"
           "800 ± 0 giri/min\nTPS: 0.50–3.50 V\nTPS fuori calibr.!";
  }
  void panelText() {
    QFETCH(Language, language);
    QFETCH(int, tps);
    QFETCH(QString, text);
    QWidget panel;
    DiagnosisReadout readout(&panel);
    readout.reset(probe("51"), TpsCalibration{10, 60});
    const auto lambda = switching(5, 45);
    for (int i = 0; i <= 600; ++i) {
      const LiveFrame f{lambda(i), i == 600 ? tps : 10, 0, 0, 0x4C, 0x04, 0};
      readout.add(Nanos(Millis(i * 20)), f, engineSpeed(1100, 1100));
    }
    QCOMPARE(readout.label()->text().split(QLatin1Char('\n')).first(),
             QStringLiteral("Ostatnie 10 s:"));
    // The figures on show are said again in the language chosen meanwhile.
    CurrentLanguage::set(language);
    readout.retranslate();
    QCOMPARE(readout.label()->text(), text);
    CurrentLanguage::set(Language::Polish);
  }

  // The idle figure is the settled idle: the speed running down after a rev, a blip, engine
  // braking or a restart stays out of it, while an idle that hunts, jitters or drifts with the
  // engine's warmth counts with all its spread.
  void idleSettles_data() {
    QTest::addColumn<Stream>("frames");
    QTest::addColumn<double>("mean");
    QTest::addColumn<double>("stdDev");
    QTest::addColumn<double>("tolerance");  // of both
    QTest::addColumn<int>("minFrames");
    const auto shut = [](double) { return 10; };
    const auto flat = [](double) { return 800.0; };
    const auto hum = [](double t) { return 3.0 * std::sin(2 * M_PI * 1.7 * t); };
    for (const double lag : {0.6, 1.5}) {
      const auto rev = revs(10, 6, 18);
      QTest::addRow("three revs, run-down lag %.1f s", lag)
          << engine(
                 54, [rev](double t) { return rev(t) ? 60 : 10; },
                 [rev](double t) { return rev(t) ? 3000.0 : 800.0; }, lag, hum)
          << 800.0 << 2.1 << 1.6 << (lag < 1 ? 1000 : 650);
    }
    QTest::newRow("a blip of the throttle")
        << engine(
               18, [](double t) { return t >= 8 && t < 8.4 ? 40 : 10; },
               [](double t) { return t >= 8 && t < 8.4 ? 2500.0 : 800.0; }, 0.6, hum)
        << 800.0 << 2.1 << 1.6 << 500;
    QTest::newRow("engine braking above the band, then the run-down")
        << engine(
               18, [](double t) { return t < 5 ? 60 : 10; },
               [](double t) { return t < 5   ? 2500.0
                                     : t < 8 ? 1800.0
                                             : 800.0; }, 0.6, hum)
        << 800.0 << 2.1 << 1.6 << 250;
    QTest::newRow("switched off, restarted with a flare")
        << engine(
               18, shut,
               [](double t) {
                 return t < 5 ? 800.0 : t < 6 ? 0.0 : t < 6.5 ? 1300.0 : 800.0;
               },
               0.05, hum)
        << 800.0 << 2.1 << 1.6 << 350;
    QTest::newRow("idle hunting 50 rpm each way at 0.5 Hz")
        << engine(20, shut, flat, 0.01, [](double t) { return 50 * std::sin(M_PI * t); }) << 800.0
        << 35.4 << 2.5 << 800;
    QTest::newRow("jitter of 20 rpm frame to frame") << engine(20, shut, flat, 0.01, [](double t) {
      return double(int(t * 50 * 7919) % 41 - 20);
    }) << 800.0 << 11.8 << 1.5 << 850;
    QTest::newRow("warming up: 5 rpm a second down")
        << engine(
               30, shut, [](double t) { return 1000.0 - 5 * t; }, 0.01)
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
    const QString got = QStringLiteral("%1 ± %2 in %3 frames")
                            .arg(d.idleRpmMean)
                            .arg(d.idleRpmStdDev)
                            .arg(d.idleFrames);
    QVERIFY2(qAbs(d.idleRpmMean - mean) <= tolerance, qPrintable(got));
    QVERIFY2(qAbs(d.idleRpmStdDev - stdDev) <= tolerance, qPrintable(got));
    QVERIFY2(d.idleFrames >= minFrames, qPrintable(got));
  }

  // A minute of the simulator revving to 3000 rpm for 6 s every 18 s, at about the live loop's
  // pace, recorded as a drive log: the viewer's idle figure is the settled idle, and the panel
  // marks its last ten seconds exactly as the viewer marks the same frames.
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
      RawLiveFrame raw{};
      std::copy(b.begin(), b.end(), raw.begin());
      csv += formatDriveLogRow({ms, raw, settings});
      readout.add(Nanos(Millis(ms)), displayedBytes(raw), engineSpeed(1100, raw[4] + 256 * raw[5]));
    }
    const LogData log = decodeDriveLog(parseDriveLog(csv));
    const Diagnosis whole = log.diagnosis(0, log.rows.size());
    QVERIFY2(
        qAbs(whole.idleRpmMean - 800) < 8 && whole.idleRpmStdDev < 16 && whole.idleFrames > 500,
        qPrintable(QStringLiteral("%1 ± %2 in %3 frames")
                       .arg(whole.idleRpmMean)
                       .arg(whole.idleRpmStdDev)
                       .arg(whole.idleFrames)));
    const Diagnosis live = readout.current();
    const Diagnosis same =
        log.diagnosis(log.rows.size() - std::size_t(live.frames), log.rows.size());
    QVERIFY(live.idleFrames > 0);
    QCOMPARE(live.idleFrames, same.idleFrames);
    QCOMPARE(live.idleRpmMean, same.idleRpmMean);
    QCOMPARE(live.idleRpmStdDev, same.idleRpmStdDev);
  }
};

QTEST_MAIN(TestDiagnosis)
#include "test_diagnosis.moc"
