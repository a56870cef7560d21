#include "sim/EngineModel.h"

#include <algorithm>
#include <cmath>

namespace orvel::sim {

namespace {

constexpr double kIdleRpm = 800.0;
constexpr double kRevRpm = 3000.0;
constexpr double kIdleTps = 0.5;  // volts
constexpr double kRevTps = 3.0;
constexpr double kRpmLag = 0.6;  // first-order time constants, seconds
constexpr double kTpsLag = 0.15;
constexpr double kLambdaLag = 0.05;    // a narrowband probe flips quickly
constexpr double kStepperRate = 60.0;  // steps per second
constexpr double kManualHold = 5.0;    // seconds

// The steady states: TPS bytes (0.05 V each), lambda, gas and vacuum bytes.
constexpr std::uint8_t kSteadyIdleTps = 10;  // 0.50 V
constexpr std::uint8_t kSteadyRevTps = 60;   // 3.00 V
constexpr std::uint8_t kSteadyLambda = 23;   // 0.45 V, the middle of a narrowband probe's swing
constexpr std::uint8_t kSteadyGas = 140;
constexpr std::uint8_t kSteadyIdleVacuum = 185;
constexpr std::uint8_t kSteadyRevVacuum = 115;

std::uint8_t toByte(double value) {
  return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

double approach(double value, double target, double tau) {
  return value + (target - value) * (1.0 - std::exp(-EngineModel::kStep / tau));
}

}  // namespace

std::uint64_t EngineModel::Rng::next() {
  // splitmix64: tiny, and the same sequence on every platform.
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

double EngineModel::Rng::uniform(double lo, double hi) {
  return lo + (hi - lo) * static_cast<double>(next() >> 11) * 0x1.0p-53;
}

EngineModel::EngineModel(std::uint64_t seed, int idlePeriod)
    : rng_{seed}, idlePeriod_(idlePeriod > 0 ? idlePeriod : kDefaultIdlePeriod) {
  rich_ = rng_.next() & 1;
  startLambdaHalf();
  halfLeft_ = rng_.uniform(0.0, halfLeft_);  // start somewhere inside the first half-wave
  lambda_ = lambdaTarget_;
  stepper_ = stepperStart_;
}

void EngineModel::rev(double t) {
  advanceTo(t);
  cycleStart_ = -1.0;
  revving_ = true;
}

void EngineModel::idle(double t) {
  advanceTo(t);
  cycleStart_ = -1.0;
  revving_ = false;
}

void EngineModel::setRevCycle(bool on, double t) {
  advanceTo(t);
  cycleStart_ = on ? std::max(now(), 0.0) : -1.0;
  revving_ = false;
}

void EngineModel::setStepperLimits(int minPosition, int maxPosition, int startPosition) {
  if (minPosition > maxPosition) std::swap(minPosition, maxPosition);
  stepperMin_ = minPosition;
  stepperMax_ = maxPosition;
  stepperStart_ = std::clamp(startPosition, minPosition, maxPosition);
}

void EngineModel::setStepperLimits(const SettingsBlock& block) {
  setStepperLimits(255 - block[field::kStepperMin], 255 - block[field::kStepperMax],
                   255 - block[field::kStepperStart]);
}

void EngineModel::moveStepper(int steps, double t) {
  advanceTo(t);
  stepper_ = std::clamp(std::round(stepper_) + steps, 0.0, 255.0);
  manualHoldUntil_ = now() + kManualHold;
}

void EngineModel::setStepperWire(std::uint8_t wirePosition, double t) {
  advanceTo(t);
  stepper_ = 255 - wirePosition;
  manualHoldUntil_ = now() + kManualHold;
}

void EngineModel::advanceTo(double t) {
  const auto target = static_cast<std::int64_t>(std::floor(t / kStep + 1e-9));
  // After a long quiet spell only the last minutes matter (every lag has long
  // settled), so a frame requested after hours idle does not stall the line.
  constexpr std::int64_t kMaxCatchUp = static_cast<std::int64_t>(600 / kStep);
  if (target - steps_ > kMaxCatchUp) steps_ = target - kMaxCatchUp;
  while (steps_ < target)
    step();
}

void EngineModel::startLambdaHalf() {
  // Closed-loop mixture control swings faster as the engine speeds up.
  const double base = 0.5 * std::sqrt(kIdleRpm / std::max(rpm_, 400.0));
  halfLeft_ = base * rng_.uniform(0.8, 1.2);
  lambdaTarget_ = rich_ ? rng_.uniform(0.85, 0.92) : rng_.uniform(0.08, 0.12);
}

void EngineModel::step() {
  ++steps_;
  if (cycleStart_ >= 0.0) {
    revving_ = std::fmod(now() - cycleStart_, kCycleIdle + kCycleRev) >= kCycleIdle;
  }

  rpmWander_ = 0.98 * rpmWander_ + rng_.uniform(-1.2, 1.2);
  const double rpmTarget = (revving_ ? kRevRpm : kIdleRpm) + rpmWander_;
  rpm_ = approach(rpm_, rpmTarget, kRpmLag);
  periodJitter_ = 0.7 * periodJitter_ + rng_.uniform(-0.0015, 0.0015);

  tps_ = approach(tps_, revving_ ? kRevTps : kIdleTps, kTpsLag);
  tpsNoise_ = rng_.uniform(-0.015, 0.015);

  halfLeft_ -= kStep;
  if (halfLeft_ <= 0.0) {
    rich_ = !rich_;
    startLambdaHalf();
  }
  lambda_ = approach(lambda_, lambdaTarget_, kLambdaLag);

  gas_ = std::clamp(gas_ + rng_.uniform(-0.3, 0.3), 130.0, 150.0);
  vacuumNoise_ = 0.9 * vacuumNoise_ + rng_.uniform(-0.3, 0.3);

  if (now() >= manualHoldUntil_) {
    // Open the valve further as the load rises, and dither with the probe.
    const double load = std::clamp((rpm_ - kIdleRpm) / (kRevRpm - kIdleRpm), 0.0, 1.0);
    double target = stepperStart_ + load * 0.5 * (stepperMax_ - stepperStart_);
    target += rich_ ? -3.0 : 3.0;
    target = std::clamp(target, static_cast<double>(stepperMin_), static_cast<double>(stepperMax_));
    const double maxMove = kStepperRate * kStep;
    stepper_ += std::clamp(target - stepper_, -maxMove, maxMove);
  }
}

std::uint16_t EngineModel::period(double t) {
  advanceTo(t);
  if (steady_) {
    const LiveFrame f = steadyFrame();
    return static_cast<std::uint16_t>(f[4] | f[5] << 8);
  }
  const double period = idlePeriod_ * kIdleRpm / rpm_ * (1.0 + periodJitter_);
  return static_cast<std::uint16_t>(std::clamp(std::lround(period), 1L, 65535L));
}

std::uint8_t EngineModel::stepperWire(double t) {
  advanceTo(t);
  return invertPosition(static_cast<int>(std::lround(stepper_)));
}

LiveFrame EngineModel::steadyFrame() const {
  int p = revving_ ? periodForRpm(static_cast<int>(kRevRpm), idlePeriod_) : idlePeriod_;
  int tps = revving_ ? kSteadyRevTps : kSteadyIdleTps;
  int valve = static_cast<int>(std::lround(stepper_));
  const auto n = static_cast<int>(wanderFrames_ % 720);  // a common multiple of every pattern
  switch (wander_) {
    case Wander::Off:
      break;
    case Wander::TpsDrift: {
      // Up a count a frame from 58 to 67 and back; the speed follows, 20 rpm a count.
      const int up = n % 18;
      tps = 58 + (up <= 9 ? up : 18 - up);
      p = periodForRpm(static_cast<int>(kRevRpm) + (tps - 62) * 20, idlePeriod_);
      break;
    }
    case Wander::TpsAlternate:
      tps = n % 2 == 0 ? 60 : 64;
      break;
    case Wander::IdleAlternate:
      // 1100 and 1170 at the default idle.
      if (n % 2 == 1) p = static_cast<int>(std::lround(p * 1170.0 / 1100.0));
      break;
    case Wander::Misfire:
      // 1300 among 1100s.
      if (n % 10 == 9) p = static_cast<int>(std::lround(p * 1300.0 / 1100.0));
      break;
    case Wander::ValveHunt: {
      // From 20 steps below to 20 above and back, 5 steps a frame.
      const int up = n % 16;
      valve += (up <= 8 ? up : 16 - up) * 5 - 20;
      break;
    }
  }
  const auto wire = static_cast<std::uint16_t>(std::clamp(p, 1, 65535));
  return LiveFrame{kSteadyLambda,
                   static_cast<std::uint8_t>(tps),
                   kSteadyGas,
                   revving_ ? kSteadyRevVacuum : kSteadyIdleVacuum,
                   static_cast<std::uint8_t>(wire & 0xFF),
                   static_cast<std::uint8_t>(wire >> 8),
                   invertPosition(std::clamp(valve, 0, 255)),
                   kAck};
}

LiveFrame EngineModel::frame(double t) {
  advanceTo(t);
  if (steady_) {
    const LiveFrame f = steadyFrame();
    if (wander_ != Wander::Off) ++wanderFrames_;
    return f;
  }
  const std::uint16_t p = period(t);
  const double vacuum = 185.0 - (tps_ - kIdleTps) * 28.0 + vacuumNoise_;
  return LiveFrame{toByte(lambda_ * 51.0),
                   toByte((tps_ + tpsNoise_) * 20.0),
                   toByte(gas_),
                   toByte(vacuum),
                   static_cast<std::uint8_t>(p & 0xFF),
                   static_cast<std::uint8_t>(p >> 8),
                   stepperWire(t),
                   kAck};
}

}  // namespace orvel::sim
