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

struct ControlCommand {
  enum class Kind {
    Blank,
    Rev,
    Idle,
    RevCycle,
    Silent,
    Short,
    Stray,
    Noise,
    Uncalibrated,
    Steady,
    Hangup,
    Quit,
    Latency
  };
  Kind kind = Kind::Blank;
  bool on = false;  // rev on|off, silent, short, noise, uncalibrated, steady
  // short: reply length; noise: stray bytes per second; latency: milliseconds; steady: SteadyState
  int value = 0;
};

// The steady engine states of "steady idle|high|off" and --steady.
enum class SteadyState { Off = 0, Idle = 1, High = 2 };
std::optional<SteadyState> parseSteadyState(std::string_view word);

// nullopt with *error set for a line that is not a known command.
std::optional<ControlCommand> parseControlLine(std::string_view line, std::string* error);

}  // namespace orvel::sim
