// Run-time switches typed on the simulator's standard input, one per line.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvel::sim {

// The line carries 960 bytes a second at 9600 baud.
constexpr int kMaxNoiseRate = 960;

struct ControlCommand {
  enum class Kind { Blank, Rev, Idle, Silent, Short, Stray, Noise, Uncalibrated, Hangup, Quit };
  Kind kind = Kind::Blank;
  bool on = false;  // silent, short, noise, uncalibrated
  int value = 0;    // short: reply length; noise: stray bytes per second
};

// nullopt with *error set for a line that is not a known command.
std::optional<ControlCommand> parseControlLine(std::string_view line, std::string* error);

}  // namespace orvel::sim
