// Run-time switches typed on the simulator's standard input, one per line.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvel::sim {

// The line carries 960 bytes a second at 9600 baud.
constexpr int kMaxNoiseRate = 960;
// An adapter's latency timer, in milliseconds (common chips allow up to 255).
constexpr int kMaxLatencyMs = 255;

// Bit errors: one byte in N on the line has a bit flipped, N from 2 (a line that hardly works)
// to a million.
constexpr int kMinBitErrorSpacing = 2;
constexpr int kMaxBitErrorSpacing = 1'000'000;

struct ControlCommand {
  // clang-format off
  enum class Kind {
    Blank, Rev, Idle, RevCycle, Silent, Short, Stray, Noise, Uncalibrated, Steady, Hangup, Quit,
    Wander, BitErrors, Latency
  };
  // clang-format on
  Kind kind = Kind::Blank;
  bool on = false;  // rev on|off, silent, short, noise, uncalibrated, steady, wander, bit errors,
  // latency
  // short: reply length; noise: stray bytes per second; steady: SteadyState; wander: Wander;
  // bit errors: one byte in this many; latency: milliseconds
  int value = 0;
};

// The steady engine states of "steady idle|high|off" and --steady.
enum class SteadyState { Off = 0, Idle = 1, High = 2 };
std::optional<SteadyState> parseSteadyState(std::string_view word);

// What a real engine does to the readings of a calibration run, frame by frame, on top of a
// steady engine ("wander MODE", --wander):
//   tps-drift       TPS creeping 58 -> 67 -> 58 counts at about 3000 rpm, the speed with it, as a
//                   throttle held by foot
//   tps-alternate   TPS 60 and 64 in turn at 3000 rpm (the sensor's last digits)
//   idle-alternate  the idle period and 6 % more in turn (1100 / 1170)
//   misfire         every tenth idle frame a period a fifth longer (1300 among 1100)
//   valve-hunt      the valve hunting +-20 steps while the controller regulates
enum class Wander { Off = 0, TpsDrift, TpsAlternate, IdleAlternate, Misfire, ValveHunt };
std::optional<Wander> parseWander(std::string_view word);

// nullopt with *error set for a line that is not a known command.
std::optional<ControlCommand> parseControlLine(std::string_view line, std::string* error);

}  // namespace orvel::sim
