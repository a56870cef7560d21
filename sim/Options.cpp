#include "sim/Options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace orvel::sim {

namespace {

bool parseInt(const std::string& text, long long lo, long long hi, long long* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value < lo || value > hi) return false;
  *out = value;
  return true;
}

bool parseSeconds(const std::string& text, double* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text.c_str(), &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(value) || value < 0) return false;
  *out = value;
  return true;
}

}  // namespace

ParsedOptions parseOptions(const std::vector<std::string>& args) {
  ParsedOptions result;
  Options& o = result.options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::string value;
    bool hasValue = false;
    if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
      hasValue = true;
    }
    const auto takeValue = [&]() -> bool {
      if (hasValue) return true;
      if (i + 1 >= args.size()) {
        result.error = "option " + name + " needs a value";
        return false;
      }
      value = args[++i];
      return true;
    };
    const auto noValue = [&]() -> bool {
      if (hasValue) result.error = "option " + name + " takes no value";
      return !hasValue;
    };
    const auto bad = [&](const char* what) {
      result.error = "bad value '" + value + "' for " + name + " (" + what + ")";
      return result;
    };

    long long n = 0;
    if (name == "--help" || name == "-h") {
      if (!noValue()) return result;
      o.help = true;
    } else if (name == "--state") {
      if (!takeValue()) return result;
      o.statePath = value;
    } else if (name == "--log") {
      if (!takeValue()) return result;
      o.logPath = value;
    } else if (name == "--device") {
      if (!takeValue()) return result;
      o.devicePath = value;
    } else if (name == "--link") {
      if (!takeValue()) return result;
      o.linkPath = value;
    } else if (name == "--no-pace") {
      if (!noValue()) return result;
      o.pace = false;
    } else if (name == "--silent") {
      if (!noValue()) return result;
      o.silent = true;
    } else if (name == "--stray") {
      if (!noValue()) return result;
      o.stray = true;
    } else if (name == "--noise") {
      if (!takeValue()) return result;
      if (!parseInt(value, 0, kMaxNoiseRate, &n)) return bad("0..960 bytes a second");
      o.noiseRate = static_cast<int>(n);
    } else if (name == "--latency") {
      if (!takeValue()) return result;
      if (!parseInt(value, 0, kMaxLatencyMs, &n)) return bad("0..255 milliseconds");
      o.latencyMs = static_cast<int>(n);
    } else if (name == "--uncalibrated") {
      if (!noValue()) return result;
      o.uncalibrated = true;
    } else if (name == "--short") {
      if (!takeValue()) return result;
      if (!parseInt(value, 0, 1000, &n)) return bad("a byte count");
      o.shortLength = static_cast<int>(n);
    } else if (name == "--hangup-after") {
      if (!takeValue()) return result;
      if (!parseSeconds(value, &o.hangupAfter)) return bad("seconds");
    } else if (name == "--seed") {
      if (!takeValue()) return result;
      if (!parseInt(value, 0, INT64_MAX, &n)) return bad("a non-negative integer");
      o.seed = static_cast<std::uint64_t>(n);
    } else if (name == "--steady") {
      if (!takeValue()) return result;
      const auto state = parseSteadyState(value);
      if (!state || *state == SteadyState::Off) return bad("idle or high");
      o.steady = *state;
    } else if (name == "--rev-cycle") {
      if (!noValue()) return result;
      o.revCycle = true;
    } else if (name == "--idle-period") {
      if (!takeValue()) return result;
      if (!parseInt(value, 100, 65535, &n)) return bad("100..65535");
      o.idlePeriod = static_cast<int>(n);
    } else if (name == "--wander") {
      // A real engine and a line that flips bits.
      if (!takeValue()) return result;
      const auto mode = parseWander(value);
      if (!mode || *mode == Wander::Off) {
        return bad("tps-drift, tps-alternate, idle-alternate, misfire or valve-hunt");
      }
      o.wander = *mode;
    } else if (name == "--bit-errors") {
      if (!takeValue()) return result;
      if (!parseInt(value, kMinBitErrorSpacing, kMaxBitErrorSpacing, &n)) {
        return bad("one byte in 2..1000000");
      }
      o.bitErrorSpacing = static_cast<int>(n);
    } else {
      result.error =
          name.rfind("-", 0) == 0 ? "unknown option " + name : "unexpected argument " + name;
      return result;
    }
  }
  if (!o.devicePath.empty() && !o.linkPath.empty()) {
    result.error = "--link is for the pseudo-terminal; it cannot be used with --device";
  }
  return result;
}

std::string usageText(const std::string& program) {
  return "Usage: " + program + R"( [options]
Plays the LPG controller on a serial line at 9600 8N1 so that the service tool
can be run without hardware. Prints the serial device path as its first line.

Line:
  --device PATH          attach to an existing serial device instead of
                         creating a pseudo-terminal
  --link PATH            also make PATH a symlink to the pseudo-terminal
  --no-pace              send replies at once instead of at 9600 baud
  --latency MS           play a USB adapter with a latency timer of MS ms
                         (0..255): what the controller sends reaches the
                         program in chunks, when the timer runs out

Controller:
  --state FILE           EEPROM contents; loaded at start, written by 11h,
                         removed by 10h (factory defaults if absent or damaged)
  --seed N               seed of the engine model (default 1)
  --idle-period N        engine period at idle, 800 rpm (default 1100)
  --steady idle|high     start with a steady engine: every live frame the same,
                         at idle (period N, TPS 0.50 V) or at 3000 rpm
                         (TPS 3.00 V), for calibration runs
  --rev-cycle            rev the engine to ~3000 rpm for 6 s every 18 s, so
                         that the live view has something to show
  --wander MODE          a steady engine that varies frame by frame as a real
                         one does during a calibration run:
                           tps-drift       TPS 58..67..58 counts, one a frame,
                                           at ~3000 rpm (throttle held by foot)
                           tps-alternate   TPS 60 and 64 in turn at 3000 rpm
                           idle-alternate  idle period N and N + 6 % in turn
                           misfire         every tenth idle period 18 % longer
                           valve-hunt      the valve hunting +-20 steps

Faults:
  --silent               carry out commands but never answer
  --short N              send only the first N bytes of each reply
  --stray                send a stray FFh byte before each reply
  --noise RATE           line noise: random bursts of 1-4 random bytes at random
                         times, RATE bytes a second on average (0..960)
  --bit-errors N         flip one bit in one of N bytes sent on the line, on
                         average (replies and noise; 2..1000000)
  --uncalibrated         report idle period reference 0101h until 1Fh sets it
  --hangup-after SECONDS close the line after that time and exit

Output:
  --log FILE             one line per byte on the line:
                         "<seconds since start> RX|TX <hex byte>"
  -h, --help             show this help

Commands on standard input, one per line:
  rev | idle                      open the throttle to ~3000 rpm / let it idle
                                  (either ends the periodic revving)
  rev on|off                      start / stop the periodic revving of
                                  --rev-cycle (off leaves the engine idling)
  steady idle|high|off            hold the engine steady at idle / at 3000 rpm,
                                  or let it vary again
  silent on|off                   stop / resume answering
  short N | short off             truncate replies to N bytes / stop truncating
  stray                           one stray byte before the next reply
  noise RATE | noise off          line noise at RATE bytes a second / none
  bit-errors N | bit-errors off   a flipped bit in one sent byte in N / none
  wander MODE | wander off        a real engine's variation (see --wander) /
                                  a plainly steady engine
  latency MS | latency off        the adapter's latency timer / none
  uncalibrated on|off             hide / show the idle period reference
  hangup                          close the line now and exit
  quit                            exit

Exit status: 0 normal end or hang-up, 1 I/O failure, 2 bad usage.
)";
}

}  // namespace orvel::sim
