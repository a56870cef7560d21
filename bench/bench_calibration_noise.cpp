// The calibration's sampling runs against the controller simulator under line noise: runs of the
// wizard's idle step (F6) and of the rpm scaling (F8) on a steady idling engine (period 1100,
// TPS 0.50 V), each counted as within 1 % of those values, refused with the noise message, or
// wrong. Also what reaches the controller: a refused run must send no 1Fh.
// Usage: bench_calibration_noise [--runs N] [--rates 0,300,900] [--moving]
//   --moving: the simulator's engine as it varies (no --steady), to count runs the spread bound
//   refuses on a clean line.
#include "app/Program.h"
#include "calibration/CalibrationPanel.h"
#include "calibration/CalibrationSampler.h"
#include "core/ControllerState.h"
#include "support/LiveProgram.h"
#include "support/ScriptedController.h"
#include "support/SimProcess.h"
#include "ui_PanelKalib.h"
#include "ui_TForm1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRegularExpression>

#include <cstdio>
#include <functional>

namespace {

using orvel::test::LiveProgram;

struct Tally {
  int within = 0;
  int refused = 0;
  int wrong = 0;
  int repeats = 0;  // runs that needed more than one attempt
  QStringList wrongDetails;
};

const QString kRefused = QStringLiteral("Zakłócenia na linii: pomiar nieudany");

// The commands the program sent since `from` entries of the simulator's log, without 02h.
QStringList sentSince(const SimProcess& sim, int from) {
  const QList<SimProcess::LogEntry> log = sim.log();
  QByteArray rx;
  for (int i = from; i < log.size(); ++i)
    if (log[i].rx) rx.append(static_cast<char>(log[i].byte));
  return orvel::test::splitCommands(rx);
}

bool waitFor(const std::function<bool()>& done, int ms) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms)
    orvel::test::runEventLoop(10);
  return done();
}

void judge(Tally& tally, bool refusedBox, bool ended, const orvel::ControllerState& s,
           const QStringList& sent, bool wizard, int attempts) {
  const QStringList references = sent.filter(QRegularExpression(QStringLiteral("^1F")));
  const bool refOk = std::abs(s.idlePeriodReference - 1100) <= 11 && s.tpsLow == 10;
  // The wizard sends the reference it keeps, once; the rpm scaling sends none.
  const QString kept = QStringLiteral("1F %1 %2")
                           .arg(s.idlePeriodReference & 0xFF, 2, 16, QLatin1Char('0'))
                           .arg(s.idlePeriodReference >> 8, 2, 16, QLatin1Char('0'))
                           .toUpper();
  const bool sentOk = wizard ? references == QStringList{kept} : references.isEmpty();
  if (attempts > 1) ++tally.repeats;
  if (refusedBox && references.isEmpty()) {
    ++tally.refused;
  } else if (ended && refOk && sentOk) {
    ++tally.within;
  } else {
    ++tally.wrong;
    tally.wrongDetails << QStringLiteral("ref %1 tps %2 sent [%3]%4")
                              .arg(s.idlePeriodReference)
                              .arg(s.tpsLow)
                              .arg(references.join(','))
                              .arg(ended ? QString() : QStringLiteral(" (no end)"));
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  int runs = 20;
  QList<int> rates{0, 300, 900};
  bool moving = false;
  for (int i = 1; i < argc; ++i) {
    const QByteArray a(argv[i]);
    if (a == "--moving") moving = true;
    if (i + 1 < argc && a == "--runs") runs = std::max(1, atoi(argv[++i]));
    if (i + 1 < argc && a == "--rates") {
      rates.clear();
      for (const QByteArray& r : QByteArray(argv[++i]).split(','))
        rates << r.toInt();
    }
  }

  for (int rate : rates) {
    SimProcess sim;
    QStringList args{QStringLiteral("--noise"), QString::number(rate), QStringLiteral("--seed"),
                     QString::number(rate + 7)};
    if (!moving) args << QStringLiteral("--steady") << QStringLiteral("idle");
    const QString pty = sim.start(args);
    if (pty.isEmpty()) {
      std::fprintf(stderr, "simulator: %s\n", qPrintable(sim.errorString()));
      return 1;
    }
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    LiveProgram live(pty);
    orvel::TForm1& form = live.form();
    live.program->show();
    auto* panel = form.findChild<orvel::CalibrationPanel*>();
    orvel::ControllerState& state = form.controller();
    orvel::LinkControl& link = form.link();
    QStringList cleanWire;

    Tally f6, f8;
    for (int run = 0; run < runs; ++run) {
      // F6, step 1 with its 2000 rpm, then the idle step.
      live.dialogs.boxes.clear();
      state.idlePeriodReference = 0;
      state.tpsLow = -1;
      int from = static_cast<int>(sim.log().size());
      form.ui().Autokalibracja1->trigger();
      orvel::test::runEventLoop(100);
      panel->ui().medrpm->click();
      orvel::test::runEventLoop(100);
      panel->ui().Slowrpm->click();
      bool ended = waitFor(
          [&] { return panel->wizard().step() == 3 || !live.dialogs.boxes.isEmpty(); }, 10000);
      orvel::test::runEventLoop(100);
      bool refusedBox =
          !live.dialogs.texts().isEmpty() && live.dialogs.texts().first().startsWith(kRefused);
      judge(f6, refusedBox, ended && panel->wizard().step() == 3, state, sentSince(sim, from), true,
            panel->sampler().attempt());
      panel->ui().KalibAnuluj->click();
      orvel::test::runEventLoop(200);
      if (rate == 0 && run == 0) cleanWire << sentSince(sim, from).join(' ');

      // F8.
      live.dialogs.boxes.clear();
      state.idlePeriodReference = 0;
      state.tpsLow = -1;
      from = static_cast<int>(sim.log().size());
      form.ui().SkalowanieobrotwPB1->trigger();
      ended = waitFor(
          [&] {
            return (link.samplesRemaining == 0 && state.idlePeriodReference != 0) ||
                   !live.dialogs.boxes.isEmpty();
          },
          10000);
      orvel::test::runEventLoop(200);
      refusedBox =
          !live.dialogs.texts().isEmpty() && live.dialogs.texts().first().startsWith(kRefused);
      judge(f8, refusedBox, ended, state, sentSince(sim, from), false, panel->sampler().attempt());
      if (rate == 0 && run == 0) cleanWire << sentSince(sim, from).join(' ');
    }
    for (const auto& [name, t] : {std::pair<const char*, Tally&>{"F6 idle step", f6},
                                  std::pair<const char*, Tally&>{"F8", f8}}) {
      std::printf(
          "noise %3d B/s%s, %s: %d runs: %d within 1 %%, %d refused with the message, "
          "%d wrong; %d needed a repeat\n",
          rate, moving ? " (moving engine)" : "", name, runs, t.within, t.refused, t.wrong,
          t.repeats);
      for (const QString& d : t.wrongDetails)
        std::printf("  wrong: %s\n", qPrintable(d));
    }
    for (const QString& w : cleanWire)
      std::printf("  wire of the first clean run: %s\n", qPrintable(w));
    std::fflush(stdout);
  }
  return 0;
}
