// A petrol engine with an LPG installation, seen through the controller's
// sensors. Time is injected (seconds since the simulator started) and the
// model advances in fixed steps, so its output at a given time depends only on
// the seed and on when it was told to rev or idle, not on how often it is read.
#pragma once

#include <array>
#include <cstdint>

#include "sim/ControlCommand.h"
#include "sim/SettingsBlock.h"

namespace orvel::sim {

using LiveFrame = std::array<std::uint8_t, 8>;

class EngineModel {
 public:
  static constexpr double kStep = 0.005;  // seconds

  explicit EngineModel(std::uint64_t seed = 1, int idlePeriod = kDefaultIdlePeriod);

  // Throttle: "rev" holds about 3000 rpm, "idle" lets the engine fall back. Either ends the
  // periodic revving.
  void rev(double t);
  void idle(double t);
  bool revving() const { return revving_; }

  // Periodic revving, so that an unattended demo has something to show: from t on, idle for
  // kCycleIdle seconds, then rev for kCycleRev, and again. Switched off the engine idles, so a
  // fitter can calibrate on it.
  static constexpr double kCycleIdle = 12.0;
  static constexpr double kCycleRev = 6.0;
  void setRevCycle(bool on, double t);
  bool revCycle() const { return cycleStart_ >= 0.0; }

  // A steady engine for calibration runs: while set, every frame (and 0Ch) reports the same
  // values, those of a settled idle or, while revving, of a settled 3000 rpm, so that the
  // averages the desktop program takes are known exactly. The model keeps running underneath and
  // takes over again when this is cleared.
  void setSteady(bool steady) { steady_ = steady; }
  bool steady() const { return steady_; }
  LiveFrame steadyFrame() const;

  // A real engine's way of varying from frame to frame on top of the steady frame (see Wander),
  // so that a calibration run's ten samples, and what it must average, are known exactly. It
  // applies while the engine is steady; every live frame moves it on by one.
  void setWander(Wander mode) { wander_ = mode; }
  Wander wander() const { return wander_; }

  // The stepper's travel, as true positions (not inverted).
  void setStepperLimits(int minPosition, int maxPosition, int startPosition);
  void setStepperLimits(const SettingsBlock& block);

  // Service commands. A manual move holds the valve there for a while
  // before the closed loop takes over again.
  void moveStepper(int steps, double t);
  void setStepperWire(std::uint8_t wirePosition, double t);

  void advanceTo(double t);

  // Reply to 02h: lambda, TPS, gas, vacuum, period LSB, MSB, stepper (inverted), 01h.
  LiveFrame frame(double t);
  std::uint16_t period(double t);
  std::uint8_t stepperWire(double t);

  // Physical state at the last advance, for diagnostics and tests.
  double rpm() const { return rpm_; }
  double tpsVolts() const { return tps_; }
  double lambdaVolts() const { return lambda_; }
  double stepperPosition() const { return stepper_; }

 private:
  struct Rng {
    std::uint64_t state;
    std::uint64_t next();
    double uniform(double lo, double hi);
  };

  void step();
  void startLambdaHalf();
  double now() const { return static_cast<double>(steps_) * kStep; }

  Rng rng_;
  int idlePeriod_;
  std::int64_t steps_ = 0;
  bool revving_ = false;
  bool steady_ = false;
  Wander wander_ = Wander::Off;
  std::uint64_t wanderFrames_ = 0;
  double cycleStart_ = -1.0;  // negative: no periodic revving

  double rpm_ = 800.0;
  double rpmWander_ = 0.0;
  double periodJitter_ = 0.0;
  double tps_ = 0.5;
  double tpsNoise_ = 0.0;

  bool rich_ = false;
  double halfLeft_ = 0.0;
  double lambdaTarget_ = 0.1;
  double lambda_ = 0.1;

  double gas_ = 140.0;
  double vacuumNoise_ = 0.0;

  int stepperMin_ = 15;
  int stepperMax_ = 210;
  int stepperStart_ = 40;
  double stepper_ = 40.0;
  double manualHoldUntil_ = -1.0;
};

}  // namespace orvel::sim
