// The simulator's event loop: moves bytes between the serial line and the
// protocol engine, paces replies, takes run-time commands from standard input
// and keeps the traffic log. Sleeps in ppoll() between events.
#pragma once

#include <signal.h>

#include <csignal>
#include <cstdint>
#include <string>

#include "sim/AdapterLatency.h"
#include "sim/ByteLog.h"
#include "sim/LineNoise.h"
#include "sim/ProtocolEngine.h"
#include "sim/SerialLine.h"
#include "sim/TxPacer.h"

namespace orvel::sim {

class SimRunner {
 public:
  struct Settings {
    bool pace = true;
    double hangupAfter = -1.0;  // seconds since start; negative: never
    int controlFd = 0;          // run-time commands; -1 for none
    double noiseRate = 0.0;     // stray bytes per second on the line; 0: none
    int bitErrorSpacing = 0;    // one sent byte in this many has a bit flipped; 0: none
    std::uint64_t seed = 1;     // of the line noise and the bit errors
    int latencyMs = 0;          // of a USB adapter's latency timer on the program's side; 0: none
  };

  // startNs: the monotonic time taken as 0 in the log and by the engine.
  SimRunner(ProtocolEngine& engine, SerialLine& line, ByteLog& log, const Settings& settings,
            std::int64_t startNs);

  // Runs until quit, hang-up, *stop becoming non-zero (set from a signal
  // handler) or an I/O failure. pollMask is the signal mask in force while
  // waiting, so that stop signals blocked elsewhere are delivered only there.
  // Returns the process exit code.
  int run(const sigset_t* pollMask, const volatile std::sig_atomic_t* stop);

 private:
  enum class Outcome { Continue, Quit, Hangup, Failure };

  double seconds(std::int64_t ns) const;
  Outcome sendDue();
  Outcome handOver();
  Outcome readLine();
  Outcome readControl();
  Outcome handleControlLine(const std::string& line);
  void hangup();

  ProtocolEngine& engine_;
  SerialLine& line_;
  ByteLog& log_;
  Settings settings_;
  std::int64_t startNs_;
  TxPacer pacer_;
  LineNoise noise_;
  BitErrors bitErrors_;
  AdapterLatency adapter_;
  std::int64_t lastFlushNs_ = 0;
  std::string controlBuffer_;
  bool droppedReported_ = false;
};

void reportNotice(const std::string& text);

}  // namespace orvel::sim
