// Measures the settings exchange on the real event loop and serial link against the simulator:
// the delay from the controller's answer to AAh until the read-out request 09h (from the
// simulator's byte log), the give-up time with a silent controller (from F5 until the commands
// come back), and what F5 makes of a noisy line: settings taken as the controller holds them,
// taken wrong, or refused. Prints numbers; it is not a pass/fail test.
#include "app/Program.h"
#include "link/LinkControl.h"
#include "link/Timers.h"
#include "link/TtyTransport.h"
#include "settings/TEdytuj_dane.h"
#include "support/RecordingDialogs.h"
#include "support/SimProcess.h"
#include "ui_TForm1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace orvel;

namespace {

struct Stats {
  std::vector<double> v;
  void add(double x) { v.push_back(x); }
  void print(const char* what, double target) {
    std::sort(v.begin(), v.end());
    double sum = 0;
    for (double x : v)
      sum += x;
    const double mean = sum / v.size();
    std::printf(
        "%-44s n=%zu  mean %.4f s  min %.4f s  max %.4f s  (target %.3f s, mean error %+.1f ms)\n",
        what, v.size(), mean, v.front(), v.back(), target, (mean - target) * 1000.0);
  }
};

std::unique_ptr<Program> startProgram(TtyTransport& link, QtTimerService& timers,
                                      const QString& dir) {
  Environment env;
  env.link = &link;
  env.timers = &timers;
  env.installationDirectory = [dir] { return dir; };
  env.openUrl = [](const QUrl&) { return true; };
  return std::make_unique<Program>(std::move(env));
}

// Runs the real event loop until `done` holds (QTest::qWait would sleep between slices and
// delay the very events being timed).
void waitUntil(const std::function<bool()>& done, int timeoutMs) {
  QEventLoop loop;
  QTimer poll;
  poll.setTimerType(Qt::PreciseTimer);
  poll.setInterval(1);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (done()) loop.quit();
  });
  QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
  poll.start();
  loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
  test::RecordingDialogs dialogs;
  QTemporaryDir dir;

  Stats answerTo09;
  for (int i = 0; i < runs; ++i) {
    SimProcess sim;
    const QString pty = sim.start();
    if (pty.isEmpty()) {
      std::fprintf(stderr, "simulator: %s\n", qPrintable(sim.errorString()));
      return 1;
    }
    qputenv("ORVEL_COM1", pty.toLocal8Bit());
    qputenv("ORVEL_COM2", "/dev/orvel-bench-none");
    QtTimerService timers;
    TtyTransport link;
    auto program = startProgram(link, timers, dir.path());
    program->form1().ui().SpeedButton3->click();
    waitUntil([&] { return program->editor().isVisible(); }, 5000);
    double lastAnswer = -1;
    double request = -1;
    for (const auto& e : sim.log()) {
      if (!e.rx && request < 0) lastAnswer = e.t;
      if (e.rx && e.byte == 0x09 && request < 0) request = e.t;
    }
    if (request > 0 && lastAnswer > 0) answerTo09.add(request - lastAnswer);
    program->editor().close();
    waitUntil([] { return false; }, 50);
  }

  Stats giveUp;
  for (int i = 0; i < runs; ++i) {
    SimProcess sim;
    const QString pty = sim.start({"--silent"});
    qputenv("ORVEL_COM1", pty.toLocal8Bit());
    QtTimerService timers;
    TtyTransport link;
    auto program = startProgram(link, timers, dir.path());
    QElapsedTimer clock;
    clock.start();
    program->form1().ui().SpeedButton3->click();
    waitUntil([&] { return program->form1().ui().SpeedButton3->isEnabled(); }, 10000);
    giveUp.add(clock.nsecsElapsed() / 1e9);
    bool sent09 = false;
    for (const auto& e : sim.log())
      sent09 |= e.rx && e.byte == 0x09;
    if (sent09) std::printf("unexpected: 09h sent to a silent controller\n");
  }

  // F5 on noisy lines. The block the controller holds is the one a clean line gives.
  QByteArray truth;
  const auto readOut = [&](const QStringList& line, int seed, QByteArray& taken, int& boxes) {
    SimProcess sim;
    const QString pty = sim.start(line + QStringList{"--seed", QString::number(seed)});
    qputenv("ORVEL_COM1", pty.toLocal8Bit());
    QtTimerService timers;
    TtyTransport link;
    auto program = startProgram(link, timers, dir.path());
    LinkControl& control = program->form1().link();
    const auto decode = control.hooks.decodeSettings;
    control.hooks.decodeSettings = [&control, &taken, decode] {
      for (int k = 0; k < kSettingsBlockLength; ++k)
        taken.append(static_cast<char>(control.byte(k)));
      decode();
    };
    const int before = dialogs.boxes.size();
    program->form1().ui().SpeedButton3->click();
    waitUntil(
        [&] {
          return program->editor().isVisible() || program->form1().ui().SpeedButton3->isEnabled();
        },
        9000);
    boxes = dialogs.boxes.size() - before;
    program->editor().close();
    waitUntil([] { return false; }, 50);
  };
  int ignored = 0;
  readOut({}, 1, truth, ignored);
  const QList<QStringList> lines{{"--noise", "200", "--latency", "16"},
                                 {"--noise", "900"},
                                 {"--bit-errors", "500"},
                                 {"--bit-errors", "100"}};
  for (const QStringList& line : lines) {
    int right = 0, wrong = 0, refused = 0, silent = 0;
    for (int i = 0; i < runs; ++i) {
      QByteArray taken;
      int boxes = 0;
      readOut(line, i + 1, taken, boxes);
      if (taken.isEmpty()) {
        ++(boxes > 0 ? refused : silent);
      } else {
        ++(taken == truth ? right : wrong);
      }
    }
    std::printf("F5 on %-32s right %d  wrong %d  refused %d  gave up %d  (of %d)\n",
                qPrintable(line.join(' ')), right, wrong, refused, silent, runs);
  }

  answerTo09.print("answer to AAh -> 09h on the line", 1.1);
  giveUp.print("silent controller: F5 -> commands back", 6.2);
  return 0;
}
