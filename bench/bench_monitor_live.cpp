// The live loop against the controller simulator on a pseudo-terminal with 9600-baud pacing:
// frames per second (one request per 20 ms is the ceiling: 50/s), the sweep's drift against
// real time, and the CPU the program uses meanwhile (user + system of this process; the
// simulator is a separate process and not counted). With --record the drive log records every
// frame meanwhile; with --noise RATE the simulator adds that many stray bytes a second; with
// --latency MS it plays a USB adapter whose latency timer hands the replies over every MS ms.
// With --scaling RUNS it runs the rpm scaling (F8) that many times instead and reports how its
// sample requests were paced (never sooner than 50 ms apart, at best exactly 50).
#include "app/Program.h"
#include "link/Timers.h"
#include "link/TtyTransport.h"
#include "support/LiveProgram.h"
#include "support/SimProcess.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include "CpuTime.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

// The real link, noting when each live-data request went out on the program's clock.
class TimedLink : public orvel::TtyTransport {
 public:
  explicit TimedLink(const orvel::TimerService& clock) : clock_(clock) {}
  std::vector<double> requestsMs;

 protected:
  void writeDevice(const QByteArray& bytes) override {
    if (bytes == QByteArray(1, '\x02')) requestsMs.push_back(clock_.now().count() / 1e6);
    TtyTransport::writeDevice(bytes);
  }

 private:
  const orvel::TimerService& clock_;
};

// The whole program on that link, as LiveProgram puts it together.
struct ScalingProgram {
  orvel::QtTimerService timers;
  TimedLink link{timers};
  orvel::test::RecordingDialogs dialogs;
  QTemporaryDir installDir;
  std::unique_ptr<orvel::Program> program;

  explicit ScalingProgram(const QString& com1) {
    qputenv("ORVEL_COM1", com1.toLocal8Bit());
    qputenv("ORVEL_COM2", "/dev/orvel-bench-no-com2");
    orvel::Environment env;
    env.link = &link;
    env.timers = &timers;
    const QString dir = installDir.path();
    env.installationDirectory = [dir] { return dir; };
    env.openUrl = [](const QUrl&) { return true; };
    program = std::make_unique<orvel::Program>(std::move(env));
    program->show();
  }
};

// F8 again and again; the gaps between its sample requests as the program made them and as the
// simulator saw them.
int scalingBench(SimProcess& sim, ScalingProgram& live, int runs) {
  orvel::TForm1& form = live.program->form1();
  int ended = 0;
  auto end = form.link().hooks.rpmScalingEnded;
  form.link().hooks.rpmScalingEnded = [&] {
    ++ended;
    if (end) end();
  };
  auto* f8 = form.findChild<QToolButton*>(QStringLiteral("SpeedButton14"));
  QElapsedTimer wall;
  wall.start();
  for (int run = 0; run < runs; ++run) {
    const int before = ended;
    // F8 stays off after a scaling run until another command gives it back.
    f8->setEnabled(true);
    f8->click();
    while (ended == before && wall.elapsed() < 10000L * (run + 1))
      orvel::test::runEventLoop(5);
    // The run's extra request, then a pause that tells one run from the next in the log.
    orvel::test::runEventLoop(300);
  }
  // Each run: ten requests paced 50 ms apart up to the tenth sample's, and the extra request
  // after the end of the run (which waits out the run's blocking pause first). Runs are told
  // apart by the pause between.
  // The program's own write times show its pacing; the simulator's read times add how late that
  // process woke for each byte.
  const auto report = [&](const char* side, const std::vector<double>& requests) {
    std::vector<std::vector<double>> runsSeen;
    for (std::size_t i = 0; i < requests.size(); ++i) {
      if (i == 0 || requests[i] - requests[i - 1] > 200) runsSeen.emplace_back();
      runsSeen.back().push_back(requests[i]);
    }
    std::vector<double> gaps;
    double duration = 0;
    int whole = 0;
    for (const std::vector<double>& r : runsSeen) {
      if (r.size() < 10) continue;
      for (std::size_t k = 1; k < 10; ++k)
        gaps.push_back(r[k] - r[k - 1]);
      duration += r[9] - r[0];
      ++whole;
    }
    if (gaps.empty()) {
      std::printf("%s: no whole sample runs\n", side);
      return;
    }
    std::sort(gaps.begin(), gaps.end());
    double sum = 0;
    for (double g : gaps)
      sum += g;
    std::printf(
        "%s: paced gaps (ms) min %.1f, median %.1f, mean %.1f, max %.1f; first to tenth "
        "request %.0f ms on average (%d runs)\n",
        side, gaps.front(), gaps[gaps.size() / 2], sum / gaps.size(), gaps.back(), duration / whole,
        whole);
    if (qEnvironmentVariableIsSet("ORVEL_BENCH_TRACE")) {
      for (const std::vector<double>& r : runsSeen) {
        for (double t : r)
          std::printf(" %.1f", t - r.front());
        std::printf("\n");
      }
    }
  };
  std::printf(
      "rpm scaling runs: %d of %d ended, message boxes %d; sample requests are paced "
      "50 ms apart, 9 x 50 ms at best from first to tenth\n",
      ended, runs, int(live.dialogs.boxes.size()));
  report("program's requests", live.link.requestsMs);
  std::vector<double> read;
  for (const SimProcess::LogEntry& e : sim.log())
    if (e.rx && e.byte == 0x02) read.push_back(e.t * 1000.0);
  report("as the simulator read them", read);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  int seconds = 30;
  bool record = false;
  int scalingRuns = 0;
  QStringList simArgs;
  for (int i = 1; i < argc; ++i) {
    if (QByteArray(argv[i]) == "--record") record = true;
    if (i + 1 < argc && QByteArray(argv[i]) == "--seconds")
      seconds = std::max(2, atoi(argv[i + 1]));
    if (i + 1 < argc && QByteArray(argv[i]) == "--noise")
      simArgs << QStringLiteral("--noise") << QString::fromLocal8Bit(argv[i + 1])
              << QStringLiteral("--seed") << QStringLiteral("7");
    if (i + 1 < argc && QByteArray(argv[i]) == "--latency")
      simArgs << QStringLiteral("--latency") << QString::fromLocal8Bit(argv[i + 1]);
    if (i + 1 < argc && QByteArray(argv[i]) == "--scaling")
      scalingRuns = std::max(1, atoi(argv[i + 1]));
  }

  SimProcess sim;
  const QString pty = sim.start(simArgs);
  if (pty.isEmpty()) {
    std::fprintf(stderr, "simulator: %s\n", qPrintable(sim.errorString()));
    return 1;
  }
  QTemporaryDir home;
  qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
  if (scalingRuns > 0) {
    ScalingProgram scaling(pty);
    return scalingBench(sim, scaling, scalingRuns);
  }
  orvel::test::LiveProgram live(pty, home.filePath(QStringLiteral("no-such-port")));
  orvel::QtTimerService& timers = live.timers;
  orvel::Program& program = *live.program;
  orvel::TForm1& form = program.form1();
  form.controller().idlePeriodReference = 1100;
  program.show();

  std::vector<qint64> shownAt;
  shownAt.reserve(static_cast<std::size_t>(seconds) * 60);
  auto show = form.link().hooks.showLiveFrame;
  form.link().hooks.showLiveFrame = [&] {
    shownAt.push_back(timers.now().count());
    show();
  };

  const double cpu0 = cpuSeconds();
  const long sleeps0 = sleepsSoFar();
  QElapsedTimer wall;
  wall.start();
  form.findChild<QToolButton*>(QStringLiteral("Wykresy"))->click();
  if (record) form.findChild<QPushButton*>(QStringLiteral("BtnZapis"))->click();
  // CPU per five-second window, to tell a steady cost from one that grows or from a moment when
  // something else on the machine got in the way.
  std::vector<double> windows;
  double lastCpu = cpu0;
  QTimer slice;
  slice.setTimerType(Qt::PreciseTimer);
  QObject::connect(&slice, &QTimer::timeout, [&] {
    const double now = cpuSeconds();
    windows.push_back(100.0 * (now - lastCpu) / 5.0);
    lastCpu = now;
  });
  slice.start(5000);
  QEventLoop loop;
  QTimer::singleShot(seconds * 1000 + 1, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
  const double elapsed = wall.nsecsElapsed() / 1e9;
  const double cpu = cpuSeconds() - cpu0;
  const long sleeps = sleepsSoFar() - sleeps0;
  form.findChild<QPushButton*>(QStringLiteral("Koniec"))->click();

  int requests = 0;
  for (const SimProcess::LogEntry& e : sim.log())
    if (e.rx && e.byte == 0x02) ++requests;

  const int frames = static_cast<int>(shownAt.size());
  if (frames < 2) {
    std::fprintf(stderr, "no frames shown\n");
    return 1;
  }
  // The first request starts the 20 ms grid; the steady loop is timed from the second frame on.
  const double span = (shownAt.back() - shownAt[1]) / 1e9;
  const int steady = frames - 2;
  const double fps = steady / span;
  // Drift of the sweep's time base: where 50 frames per second would have put the pen after
  // this long, against where it is.
  const double driftMs = span * 1000.0 - steady * 20.0;
  std::printf("run: %.1f s, frames shown %d, requests on the line %d, message boxes %d\n", elapsed,
              frames, requests, int(live.dialogs.boxes.size()));
  if (record) {
    const QDir logs(live.installDir.filePath(QStringLiteral("logs")));
    for (const QFileInfo& log : logs.entryInfoList(QDir::Files)) {
      QFile file(log.filePath());
      file.open(QIODevice::ReadOnly);
      std::printf("drive log: %s, %lld bytes, %lld rows\n", qPrintable(log.fileName()),
                  static_cast<long long>(log.size()),
                  static_cast<long long>(file.readAll().count('\n') - 1));
    }
  }
  std::printf("frames per second: %.2f (ceiling 50)\n", fps);
  std::printf("sweep drift: %.1f ms behind 50/s over %.1f s (%.2f %%), %.1f frames missing\n",
              driftMs, span, 100.0 * driftMs / (span * 1000.0), driftMs / 20.0);
  std::printf("one chart division (15 samples): %.3f s\n", 15.0 / fps);
  std::printf("program CPU: %.2f s over %.1f s = %.2f %% of one core\n", cpu, elapsed,
              100.0 * cpu / elapsed);
  std::printf("program wake-ups (user-interface thread): %.1f per frame shown (%ld in all)\n",
              static_cast<double>(sleeps) / frames, sleeps);
  std::printf("program CPU per 5 s window (%% of one core):");
  for (double w : windows)
    std::printf(" %.1f", w);
  std::printf("\n");
  return 0;
}
