// The simulated engine's live frames: idle and revving ranges, lambda
// switching, smooth transitions, stepper travel and determinism.
#include <QtTest>

#include <algorithm>
#include <cmath>

#include "sim/EngineModel.h"

using namespace orvel::sim;

namespace {

constexpr int kReference = 1100;  // the idle period reference the desktop program would hold

int rpmOf(const LiveFrame& f) {
  return std::lround(kReference * 800.0 / (f[4] | f[5] << 8));
}

struct Stats {
  int minRpm = 100000, maxRpm = 0, minTps = 255, maxTps = 0;
  int minLambda = 255, maxLambda = 0, minGas = 255, maxGas = 0, minVac = 255, maxVac = 0;
  int minStepper = 255, maxStepper = 0;
  int lambdaSwitches = 0;  // crossings of 0.45 V in either direction
  double meanRpm = 0;
  bool trailerAlwaysAck = true;
};

// Samples the model every 20 ms, like the desktop program's live loop.
Stats sample(EngineModel& model, double from, double to) {
  Stats s;
  int count = 0;
  int lastSide = -1;
  for (double t = from; t < to; t += 0.02) {
    const LiveFrame f = model.frame(t);
    const int rpm = rpmOf(f);
    s.minRpm = std::min(s.minRpm, rpm);
    s.maxRpm = std::max(s.maxRpm, rpm);
    s.meanRpm += rpm;
    ++count;
    s.minLambda = std::min<int>(s.minLambda, f[0]);
    s.maxLambda = std::max<int>(s.maxLambda, f[0]);
    s.minTps = std::min<int>(s.minTps, f[1]);
    s.maxTps = std::max<int>(s.maxTps, f[1]);
    s.minGas = std::min<int>(s.minGas, f[2]);
    s.maxGas = std::max<int>(s.maxGas, f[2]);
    s.minVac = std::min<int>(s.minVac, f[3]);
    s.maxVac = std::max<int>(s.maxVac, f[3]);
    s.minStepper = std::min<int>(s.minStepper, f[6]);
    s.maxStepper = std::max<int>(s.maxStepper, f[6]);
    s.trailerAlwaysAck = s.trailerAlwaysAck && f[7] == kAck;
    const int side = f[0] > 23 ? 1 : 0;
    if (lastSide >= 0 && side != lastSide) ++s.lambdaSwitches;
    lastSide = side;
  }
  s.meanRpm /= count;
  return s;
}

}  // namespace

class TestSimEngine : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void idleRanges() {
    EngineModel model(7);
    const Stats s = sample(model, 0.0, 20.0);
    QVERIFY2(s.minRpm >= 770 && s.maxRpm <= 830,
             qPrintable(QString("%1..%2").arg(s.minRpm).arg(s.maxRpm)));
    QVERIFY(std::abs(s.meanRpm - 800) < 10);
    QVERIFY(s.maxRpm > s.minRpm);                     // some jitter, not a constant
    QVERIFY(s.minTps >= 9 && s.maxTps <= 11);         // about 0.5 V
    QVERIFY(s.minLambda <= 7 && s.minLambda >= 3);    // lean about 0.1 V
    QVERIFY(s.maxLambda >= 43 && s.maxLambda <= 48);  // rich about 0.9 V
    QVERIFY(s.minGas >= 100 && s.maxGas <= 200);
    QVERIFY(s.minVac >= 150 && s.maxVac <= 220);
    // Stepper travel within the default range, on the wire as 255 - position.
    QVERIFY(s.minStepper >= 255 - 210 && s.maxStepper <= 255 - 15);
    QVERIFY(s.trailerAlwaysAck);
  }

  void lambdaSwitchesAboutOnceASecond_data() {
    QTest::addColumn<quint64>("seed");
    for (quint64 seed : {1ULL, 2ULL, 99ULL, 123456789ULL}) {
      QTest::addRow("seed %llu", static_cast<unsigned long long>(seed)) << seed;
    }
  }

  void lambdaSwitchesAboutOnceASecond() {
    QFETCH(quint64, seed);
    EngineModel model(seed);
    const Stats s = sample(model, 0.0, 20.0);
    // One rich and one lean half per cycle: two crossings per second on average.
    QVERIFY2(s.lambdaSwitches >= 30 && s.lambdaSwitches <= 50,
             qPrintable(QString::number(s.lambdaSwitches)));
  }

  void revRisesSmoothlyAndFallsBack() {
    EngineModel model(3);
    model.rev(5.0);
    const int justAfter = rpmOf(model.frame(5.05));
    QVERIFY2(justAfter < 1000, qPrintable(QString::number(justAfter)));  // no jump
    int previous = justAfter;
    for (double t = 5.25; t < 7.0; t += 0.25) {
      const int rpm = rpmOf(model.frame(t));
      QVERIFY2(rpm > previous, qPrintable(QString("%1 at %2").arg(rpm).arg(t)));
      previous = rpm;
    }
    const Stats revving = sample(model, 9.0, 12.0);
    QVERIFY(revving.minRpm >= 2800 && revving.maxRpm <= 3200);
    QVERIFY(revving.minTps >= 57 && revving.maxTps <= 63);  // about 3 V
    QVERIFY(revving.maxVac < 150);                          // throttle open, vacuum drops
    QVERIFY(revving.lambdaSwitches >= 8);                   // still switching, somewhat faster

    model.idle(12.0);
    QVERIFY(rpmOf(model.frame(12.05)) > 2500);
    const Stats settled = sample(model, 16.0, 18.0);
    QVERIFY(settled.minRpm >= 770 && settled.maxRpm <= 830);
    QVERIFY(settled.maxTps <= 11);
  }

  void stepperStaysWithinConfiguredRange() {
    EngineModel model(5);
    // Narrow range with the start at the top, so revving pushes against the limit.
    model.setStepperLimits(30, 60, 60);
    model.rev(1.0);
    const Stats s = sample(model, 0.0, 10.0);
    QVERIFY2(s.minStepper >= 255 - 60 && s.maxStepper <= 255 - 30,
             qPrintable(QString("%1..%2").arg(s.minStepper).arg(s.maxStepper)));
    QCOMPARE(s.minStepper, 255 - 60);
  }

  void manualMoveHoldsThenReturns() {
    EngineModel model(5);
    model.setStepperWire(0x10, 1.0);  // far outside the default travel
    QCOMPARE(int(model.frame(3.0)[6]), 0x10);
    const int later = model.frame(12.0)[6];
    QVERIFY2(later >= 255 - 210 && later <= 255 - 15, qPrintable(QString::number(later)));
  }

  // Same seed, same engine, however often it is read; another seed differs.
  void deterministic() {
    EngineModel often(42);
    EngineModel rarely(42);
    EngineModel other(43);
    bool differs = false;
    for (double t = 0; t < 4; t += 0.013)
      differs = often.frame(t) != other.frame(t) || differs;
    often.rev(4.0);
    rarely.rev(4.0);
    QVERIFY(often.frame(6.5) == rarely.frame(6.5));
    QVERIFY(differs);
  }
};

QTEST_GUILESS_MAIN(TestSimEngine)
#include "test_sim_engine.moc"
