#include "sim/SettingsBlock.h"

#include <cmath>

namespace orvel::sim {

std::uint16_t get16(const SettingsBlock& block, std::size_t offset) {
  return static_cast<std::uint16_t>(block.at(offset) | (block.at(offset + 1) << 8));
}

void put16(SettingsBlock& block, std::size_t offset, std::uint16_t value) {
  block.at(offset) = static_cast<std::uint8_t>(value & 0xFF);
  block.at(offset + 1) = static_cast<std::uint8_t>(value >> 8);
}

int periodForRpm(int rpm, int idlePeriod) {
  // std::nearbyint rounds halves to even, as the desktop program does.
  return static_cast<int>(std::nearbyint(800.0 / rpm * idlePeriod));
}

SettingsBlock factoryDefaults(int idlePeriod) {
  // A lambda time count is 1/244 s.
  constexpr std::uint16_t kLambdaHigh = 122;    // 500 ms
  constexpr std::uint16_t kLambdaPeriod = 244;  // 1000 ms
  // Stepper speed code for "10 times slower".
  constexpr std::uint16_t kStepperSpeed10 = (25 - 10) * 2650;

  const int changeover = periodForRpm(2000, idlePeriod);

  SettingsBlock b{};
  b[field::kGasThreshold] = 120;
  put16(b, field::kLambda1High, kLambdaHigh);
  put16(b, field::kLambda1Period, kLambdaPeriod);
  b[field::kTpsThreshold] = 20;  // 1.00 V
  put16(b, field::kChangeoverPeriod, static_cast<std::uint16_t>(changeover));
  b[field::kFlags] = 0x51;          // TPS falling, cutoff on, dynamic mode
  b[field::kLambdaThreshold] = 25;  // 0.50 V
  b[field::kStepperMax] = invertPosition(210);
  b[field::kStepperMin] = invertPosition(15);
  b[field::kStepperStart] = invertPosition(40);
  put16(b, field::kMaxSpeedPeriod, static_cast<std::uint16_t>(periodForRpm(5000, idlePeriod)));
  put16(b, field::kChangeoverDelay, 244);  // about one second
  // Stored as the period at (changeover - 500 rpm) minus the period at the changeover speed.
  put16(b, field::kFallingDelta,
        static_cast<std::uint16_t>(periodForRpm(1500, idlePeriod) - changeover));
  put16(b, field::kCutoffPeriod, static_cast<std::uint16_t>(periodForRpm(1500, idlePeriod)));
  b[field::kCutoffPosition] = invertPosition(210);
  b[field::kPowerOnDelay] = 10;  // 2 s
  put16(b, field::kLambda2High, kLambdaHigh);
  put16(b, field::kLambda2Period, kLambdaPeriod);
  b[field::kAccelSteps] = 5;
  put16(b, field::kIdleStepperSpeed, kStepperSpeed10);
  b[field::kLowGasSteps] = 5;
  b[field::kLambdaRange] = 1;  // 1 V narrowband probe
  put16(b, field::kIdlePeriodRef, static_cast<std::uint16_t>(idlePeriod));
  put16(b, field::kStepperSpeed2, kStepperSpeed10);
  return b;
}

}  // namespace orvel::sim
