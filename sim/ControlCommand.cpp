#include "sim/ControlCommand.h"

#include <cctype>
#include <charconv>
#include <vector>

namespace orvel::sim {

namespace {

std::vector<std::string_view> words(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])))
      ++i;
    const std::size_t start = i;
    while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])))
      ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

std::optional<bool> onOff(std::string_view word) {
  if (word == "on") return true;
  if (word == "off") return false;
  return std::nullopt;
}

// A whole word that is a number from lo to hi.
std::optional<int> numberIn(std::string_view word, int lo, int hi) {
  int n = 0;
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), n);
  if (ec != std::errc() || end != word.data() + word.size() || n < lo || n > hi)
    return std::nullopt;
  return n;
}

}  // namespace

std::optional<SteadyState> parseSteadyState(std::string_view word) {
  if (word == "idle") return SteadyState::Idle;
  if (word == "high") return SteadyState::High;
  if (word == "off") return SteadyState::Off;
  return std::nullopt;
}

std::optional<Wander> parseWander(std::string_view word) {
  if (word == "tps-drift") return Wander::TpsDrift;
  if (word == "tps-alternate") return Wander::TpsAlternate;
  if (word == "idle-alternate") return Wander::IdleAlternate;
  if (word == "misfire") return Wander::Misfire;
  if (word == "valve-hunt") return Wander::ValveHunt;
  if (word == "off") return Wander::Off;
  return std::nullopt;
}

std::optional<ControlCommand> parseControlLine(std::string_view line, std::string* error) {
  using Kind = ControlCommand::Kind;
  const std::vector<std::string_view> w = words(line);
  ControlCommand cmd;
  if (w.empty()) return cmd;

  const std::string_view verb = w[0];
  if (w.size() == 1) {
    if (verb == "rev") cmd.kind = Kind::Rev;
    if (verb == "idle") cmd.kind = Kind::Idle;
    if (verb == "stray") cmd.kind = Kind::Stray;
    if (verb == "hangup") cmd.kind = Kind::Hangup;
    if (verb == "quit") cmd.kind = Kind::Quit;
  } else if (w.size() == 2) {
    const auto flag = onOff(w[1]);
    if (verb == "rev" && flag) {
      cmd = {Kind::RevCycle, *flag, 0};
    } else if (verb == "silent" && flag) {
      cmd = {Kind::Silent, *flag, 0};
    } else if (verb == "steady" && parseSteadyState(w[1])) {
      const SteadyState state = *parseSteadyState(w[1]);
      cmd = {Kind::Steady, state != SteadyState::Off, static_cast<int>(state)};
    } else if (verb == "uncalibrated" && flag) {
      cmd = {Kind::Uncalibrated, *flag, 0};
    } else if (verb == "wander" && parseWander(w[1])) {
      const Wander mode = *parseWander(w[1]);
      cmd = {Kind::Wander, mode != Wander::Off, static_cast<int>(mode)};
    } else if (verb == "bit-errors" && flag == false) {
      cmd = {Kind::BitErrors, false, 0};
    } else if (verb == "bit-errors") {
      if (const auto n = numberIn(w[1], kMinBitErrorSpacing, kMaxBitErrorSpacing))
        cmd = {Kind::BitErrors, true, *n};
    } else if ((verb == "short" || verb == "noise") && flag == false) {
      cmd = {verb == "short" ? Kind::Short : Kind::Noise, false, 0};
    } else if (verb == "latency" && flag == false) {
      cmd = {Kind::Latency, false, 0};
    } else if (verb == "latency") {
      if (const auto ms = numberIn(w[1], 0, kMaxLatencyMs)) cmd = {Kind::Latency, *ms > 0, *ms};
    } else if (verb == "short" || verb == "noise") {
      if (const auto n = numberIn(w[1], 0, verb == "short" ? 1000 : kMaxNoiseRate))
        cmd = {verb == "short" ? Kind::Short : Kind::Noise, verb == "short" || *n > 0, *n};
    }
  }
  if (cmd.kind == Kind::Blank) {
    if (error) *error = "unknown command: " + std::string(line);
    return std::nullopt;
  }
  return cmd;
}

}  // namespace orvel::sim
