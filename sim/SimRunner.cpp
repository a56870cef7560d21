#include "sim/SimRunner.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

#include "sim/Clock.h"
#include "sim/ControlCommand.h"

namespace orvel::sim {

namespace {

// While replies are going out the log is flushed at least this often; once the
// line is quiet it is flushed at once.
constexpr std::int64_t kFlushIntervalNs = 20'000'000;
constexpr std::size_t kMaxControlLine = 1024;

}  // namespace

void reportNotice(const std::string& text) {
  std::fprintf(stderr, "orvel-sim: %s\n", text.c_str());
  std::fflush(stderr);
}

SimRunner::SimRunner(ProtocolEngine& engine, SerialLine& line, ByteLog& log,
                     const Settings& settings, std::int64_t startNs)
    : engine_(engine),
      line_(line),
      log_(log),
      settings_(settings),
      startNs_(startNs),
      pacer_(settings.pace),
      noise_(settings.seed),
      bitErrors_(settings.seed),
      adapter_(startNs),
      lastFlushNs_(startNs) {
  noise_.setRate(settings.noiseRate, startNs);
  bitErrors_.setSpacing(settings.bitErrorSpacing);
  adapter_.setLatencyMs(settings.latencyMs);
}

double SimRunner::seconds(std::int64_t ns) const {
  return static_cast<double>(ns - startNs_) * 1e-9;
}

void SimRunner::hangup() {
  line_.close();
  pacer_.clear();
  log_.flush();
  reportNotice("line closed (hang-up)");
}

int SimRunner::run(const sigset_t* pollMask, const volatile std::sig_atomic_t* stop) {
  constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();
  const std::int64_t hangupAt =
      settings_.hangupAfter < 0 || settings_.hangupAfter > 1e9
          ? kNever
          : startNs_ + static_cast<std::int64_t>(settings_.hangupAfter * 1e9);
  for (;;) {
    if (stop && *stop) {
      log_.flush();
      return 0;
    }
    std::int64_t now = monotonicNs();
    if (now >= hangupAt) {
      hangup();
      return 0;
    }

    const std::vector<std::uint8_t> burst = noise_.popDue(now);
    if (!burst.empty()) pacer_.enqueue(burst, now);
    Outcome outcome = sendDue();
    if (outcome == Outcome::Failure) return 1;

    now = monotonicNs();
    if (log_.dirty() && (pacer_.empty() || now - lastFlushNs_ >= kFlushIntervalNs)) {
      log_.flush();
      lastFlushNs_ = now;
    }

    std::int64_t wake = hangupAt;
    if (!pacer_.empty()) wake = std::min(wake, pacer_.nextDueNs());
    wake = std::min(wake, adapter_.nextDueNs());
    if (log_.dirty()) wake = std::min(wake, lastFlushNs_ + kFlushIntervalNs);
    wake = std::min(wake, noise_.nextDueNs());
    timespec timeout{};
    timespec* timeoutPtr = nullptr;
    if (wake != kNever) {
      const std::int64_t wait = std::max<std::int64_t>(0, wake - now);
      timeout.tv_sec = static_cast<time_t>(wait / 1'000'000'000);
      timeout.tv_nsec = static_cast<long>(wait % 1'000'000'000);
      timeoutPtr = &timeout;
    }

    pollfd fds[2] = {{line_.fd(), POLLIN, 0}, {settings_.controlFd, POLLIN, 0}};
    const int ready = ::ppoll(fds, 2, timeoutPtr, pollMask);
    if (ready < 0) {
      if (errno == EINTR) continue;
      reportNotice(std::string("poll failed: ") + std::strerror(errno));
      return 1;
    }
    if (ready == 0) continue;

    if (fds[0].revents & POLLIN) {
      outcome = readLine();
    } else if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
      reportNotice("the serial line was closed by the other side");
      outcome = Outcome::Failure;
    }
    if (outcome == Outcome::Continue && fds[1].revents & POLLNVAL) {
      settings_.controlFd = -1;  // started without a standard input at all
    } else if (outcome == Outcome::Continue && fds[1].revents) {
      outcome = readControl();
    }
    switch (outcome) {
      case Outcome::Continue:
        break;
      case Outcome::Quit:
        log_.flush();
        return 0;
      case Outcome::Hangup:
        hangup();
        return 0;
      case Outcome::Failure:
        log_.flush();
        return 1;
    }
  }
}

SimRunner::Outcome SimRunner::sendDue() {
  // The log has each byte when it is on the line; the program gets it when the adapter hands it
  // over.
  std::int64_t now = monotonicNs();
  while (const auto due = pacer_.popDue(now)) {
    // A flipped bit happens on the line: the log shows what the program will get.
    const std::uint8_t byte = bitErrors_.pass(*due);
    log_.record(seconds(now), false, byte);
    adapter_.take(byte, now);
    const Outcome outcome = handOver();
    if (outcome != Outcome::Continue) return outcome;
    now = monotonicNs();
  }
  return handOver();
}

SimRunner::Outcome SimRunner::handOver() {
  const std::vector<std::uint8_t> chunk = adapter_.popDue(monotonicNs());
  std::size_t done = 0;
  while (done < chunk.size()) {
    const ssize_t written = ::write(line_.fd(), chunk.data() + done, chunk.size() - done);
    if (written > 0) {
      done += static_cast<std::size_t>(written);
    } else if (written < 0 && errno == EINTR) {
      continue;
    } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // Nobody is draining the other end; like a UART, the bytes are simply lost.
      if (!droppedReported_) reportNotice("the other side is not reading; reply bytes are lost");
      droppedReported_ = true;
      break;
    } else {
      reportNotice(std::string("write to the serial line failed: ") + std::strerror(errno));
      return Outcome::Failure;
    }
  }
  return Outcome::Continue;
}

SimRunner::Outcome SimRunner::readLine() {
  std::uint8_t buf[256];
  const ssize_t n = ::read(line_.fd(), buf, sizeof buf);
  const std::int64_t now = monotonicNs();
  if (n < 0) {
    if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) return Outcome::Continue;
    reportNotice(std::string("read from the serial line failed: ") + std::strerror(errno));
    return Outcome::Failure;
  }
  if (n == 0) {
    reportNotice("the serial line was closed by the other side");
    return Outcome::Failure;
  }
  const double t = seconds(now);
  for (ssize_t i = 0; i < n; ++i) {
    log_.record(t, true, buf[i]);
    pacer_.enqueue(engine_.receive(buf[i], t), now);
  }
  return Outcome::Continue;
}

SimRunner::Outcome SimRunner::readControl() {
  char buf[512];
  const ssize_t n = ::read(settings_.controlFd, buf, sizeof buf);
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) return Outcome::Continue;
  if (n <= 0) {
    // End of input is not the end of the run: the demo may start us with stdin closed.
    if (!controlBuffer_.empty()) {
      const Outcome outcome = handleControlLine(controlBuffer_);
      controlBuffer_.clear();
      if (outcome != Outcome::Continue) return outcome;
    }
    settings_.controlFd = -1;
    return Outcome::Continue;
  }
  controlBuffer_.append(buf, static_cast<std::size_t>(n));
  std::size_t eol;
  while ((eol = controlBuffer_.find('\n')) != std::string::npos) {
    const std::string line = controlBuffer_.substr(0, eol);
    controlBuffer_.erase(0, eol + 1);
    const Outcome outcome = handleControlLine(line);
    if (outcome != Outcome::Continue) return outcome;
  }
  if (controlBuffer_.size() > kMaxControlLine) {
    reportNotice("command line too long; ignored");
    controlBuffer_.clear();
  }
  return Outcome::Continue;
}

SimRunner::Outcome SimRunner::handleControlLine(const std::string& line) {
  std::string error;
  const auto command = parseControlLine(line, &error);
  if (!command) {
    reportNotice(error);
    return Outcome::Continue;
  }
  switch (command->kind) {
    case ControlCommand::Kind::Quit:
      return Outcome::Quit;
    case ControlCommand::Kind::Hangup:
      return Outcome::Hangup;
    case ControlCommand::Kind::Noise:
      noise_.setRate(command->on ? command->value : 0.0, monotonicNs());
      return Outcome::Continue;
    case ControlCommand::Kind::BitErrors:
      bitErrors_.setSpacing(command->on ? command->value : 0);
      return Outcome::Continue;
    case ControlCommand::Kind::Latency:
      adapter_.setLatencyMs(command->on ? command->value : 0);
      return Outcome::Continue;
    default:
      engine_.control(*command, seconds(monotonicNs()));
      return Outcome::Continue;
  }
}

}  // namespace orvel::sim
