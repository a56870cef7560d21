// Command line of orvel-sim.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/ControlCommand.h"
#include "sim/SettingsBlock.h"

namespace orvel::sim {

struct Options {
  std::string statePath;
  std::string logPath;
  std::string devicePath;  // empty: create a pseudo-terminal
  std::string linkPath;    // optional symlink to the pseudo-terminal
  bool pace = true;
  bool silent = false;
  int shortLength = -1;
  bool stray = false;
  int noiseRate = 0;  // stray bytes per second
  int latencyMs = 0;  // an adapter's latency timer on the program's side
  bool uncalibrated = false;
  double hangupAfter = -1.0;  // seconds; negative: never
  std::uint64_t seed = 1;
  int idlePeriod = kDefaultIdlePeriod;
  SteadyState steady = SteadyState::Off;
  bool revCycle = false;
  bool help = false;

  // A real engine's variation and bit errors on the line, for the calibration's defences.
  Wander wander = Wander::Off;
  int bitErrorSpacing = 0;  // one byte in this many gets a flipped bit; 0: none
};

struct ParsedOptions {
  Options options;
  std::string error;  // non-empty: bad usage
};

ParsedOptions parseOptions(const std::vector<std::string>& args);
std::string usageText(const std::string& program);

}  // namespace orvel::sim
