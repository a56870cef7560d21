// orvel-sim: plays the LPG controller on a serial line for demonstrations and
// tests of the service tool.
#include <signal.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sim/ByteLog.h"
#include "sim/Clock.h"
#include "sim/Options.h"
#include "sim/ProtocolEngine.h"
#include "sim/SerialLine.h"
#include "sim/SimRunner.h"

namespace {

volatile std::sig_atomic_t gStop = 0;

void onStopSignal(int) {
  gStop = 1;
}

// Stop signals stay blocked except inside ppoll(), so none can slip in between
// checking the flag and going to sleep.
bool installSignalHandlers(sigset_t* pollMask) {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, nullptr);

  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  if (::sigprocmask(SIG_BLOCK, &stopSignals, pollMask) != 0) return false;
  sigdelset(pollMask, SIGINT);
  sigdelset(pollMask, SIGTERM);
  sigdelset(pollMask, SIGHUP);

  struct sigaction stop {};
  stop.sa_handler = onStopSignal;
  sigemptyset(&stop.sa_mask);
  return ::sigaction(SIGINT, &stop, nullptr) == 0 && ::sigaction(SIGTERM, &stop, nullptr) == 0 &&
         ::sigaction(SIGHUP, &stop, nullptr) == 0;
}

bool makeLink(const std::string& link, const std::string& target) {
  char existing[512];
  if (::readlink(link.c_str(), existing, sizeof existing) >= 0) ::unlink(link.c_str());
  if (::symlink(target.c_str(), link.c_str()) != 0) {
    orvel::sim::reportNotice("cannot create link " + link + ": " + std::strerror(errno));
    return false;
  }
  return true;
}

void removeLink(const std::string& link, const std::string& target) {
  char existing[512] = {};
  const ssize_t n = ::readlink(link.c_str(), existing, sizeof existing - 1);
  if (n >= 0 && target == std::string(existing, static_cast<std::size_t>(n))) {
    ::unlink(link.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orvel::sim;
  const std::int64_t startNs = monotonicNs();
  const std::string program = argc > 0 ? argv[0] : "orvel-sim";

  const ParsedOptions parsed = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", program.c_str(), parsed.error.c_str(),
                 program.c_str());
    return 2;
  }
  const Options& opt = parsed.options;
  if (opt.help) {
    std::fputs(usageText(program).c_str(), stdout);
    return 0;
  }

#ifdef __linux__
  // Sub-millisecond wake-ups matter for pacing at 9600 baud.
  ::prctl(PR_SET_TIMERSLACK, 1000UL);
#endif
  sigset_t pollMask;
  if (!installSignalHandlers(&pollMask)) {
    reportNotice(std::string("cannot install signal handlers: ") + std::strerror(errno));
    return 1;
  }

  ByteLog log;
  std::string error;
  if (!opt.logPath.empty() && !log.open(opt.logPath, &error)) {
    reportNotice(error);
    return 1;
  }

  ProtocolEngine::Config config;
  config.statePath = opt.statePath;
  config.seed = opt.seed;
  config.idlePeriod = opt.idlePeriod;
  config.steady = opt.steady;
  config.revCycle = opt.revCycle;
  config.wander = opt.wander;
  config.faults.silent = opt.silent;
  config.faults.shortLength = opt.shortLength;
  config.faults.strayEach = opt.stray;
  config.faults.uncalibrated = opt.uncalibrated;
  ProtocolEngine engine(config);

  SerialLine line;
  const bool opened = opt.devicePath.empty() ? line.openPseudoTerminal(&error)
                                             : line.openDevice(opt.devicePath, &error);
  if (!opened) {
    reportNotice(error);
    return 1;
  }
  // The first line of output is all a launcher needs to find the port.
  std::printf("%s\n", line.path().c_str());
  std::fflush(stdout);

  engine.setNoticeHandler(reportNotice);
  if (!opt.linkPath.empty() && !makeLink(opt.linkPath, line.path())) return 1;

  SimRunner::Settings settings;
  settings.pace = opt.pace;
  settings.hangupAfter = opt.hangupAfter;
  settings.controlFd = STDIN_FILENO;
  settings.noiseRate = opt.noiseRate;
  settings.bitErrorSpacing = opt.bitErrorSpacing;
  settings.latencyMs = opt.latencyMs;
  settings.seed = opt.seed;
  SimRunner runner(engine, line, log, settings, startNs);
  const int status = runner.run(&pollMask, &gStop);

  if (!opt.linkPath.empty()) removeLink(opt.linkPath, line.path());
  log.close();
  return status;
}
