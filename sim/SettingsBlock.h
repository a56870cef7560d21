// The controller's settings block: the 36 bytes it keeps in EEPROM and
// returns (followed by an acknowledgement byte) in answer to 09h.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace orvel::sim {

constexpr std::size_t kSettingsSize = 36;
using SettingsBlock = std::array<std::uint8_t, kSettingsSize>;

// The controller's "done" byte: it closes every reply and acknowledges every setting.
constexpr std::uint8_t kAck = 0x01;

// Byte offsets of the fields; 16-bit fields are stored least significant byte first.
namespace field {
constexpr std::size_t kGasThreshold = 0;
constexpr std::size_t kLambda1High = 1;    // 16 bit, counts of 1/244 s
constexpr std::size_t kLambda1Period = 3;  // 16 bit
constexpr std::size_t kTpsThreshold = 5;   // volts x 20
constexpr std::size_t kChangeoverPeriod = 6;
constexpr std::size_t kFlags = 8;
constexpr std::size_t kLambdaThreshold = 9;  // volts x 51
constexpr std::size_t kStepperMax = 10;      // stepper positions travel as 255 - position
constexpr std::size_t kStepperMin = 11;
constexpr std::size_t kStepperStart = 12;
constexpr std::size_t kMaxSpeedPeriod = 13;  // 1 = limit off
constexpr std::size_t kChangeoverDelay = 15;
constexpr std::size_t kFallingDelta = 17;
constexpr std::size_t kCutoffPeriod = 19;
constexpr std::size_t kCutoffPosition = 21;
constexpr std::size_t kPowerOnDelay = 22;  // counts of 200 ms
constexpr std::size_t kLambda2High = 23;
constexpr std::size_t kLambda2Period = 25;
constexpr std::size_t kAccelSteps = 27;
constexpr std::size_t kIdleStepperSpeed = 28;
constexpr std::size_t kLowGasSteps = 30;
constexpr std::size_t kLambdaRange = 31;
constexpr std::size_t kIdlePeriodRef = 32;  // 0101h = never calibrated
constexpr std::size_t kStepperSpeed2 = 34;
}  // namespace field

// What a controller that was never calibrated reports as its idle period reference.
constexpr std::uint16_t kUncalibratedIdlePeriod = 0x0101;

// The physical idle period of the simulated engine (800 rpm).
constexpr int kDefaultIdlePeriod = 1100;

std::uint16_t get16(const SettingsBlock& block, std::size_t offset);
void put16(SettingsBlock& block, std::size_t offset, std::uint16_t value);

// A stepper position as the controller stores and sends it (counted from the other end).
constexpr std::uint8_t invertPosition(int position) {
  return static_cast<std::uint8_t>(255 - (position & 0xFF));
}

// Engine period at a speed, relative to the period taken as 800 rpm.
int periodForRpm(int rpm, int idlePeriod);

// Settings of a freshly programmed controller, consistent with an engine whose
// idle period is idlePeriod.
SettingsBlock factoryDefaults(int idlePeriod = kDefaultIdlePeriod);

}  // namespace orvel::sim
