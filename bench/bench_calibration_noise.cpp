// The calibration's sampling runs against the controller simulator: the wizard's idle step and
// high-rpm step (F6) and the rpm scaling (F8), row by row.
// - Line rows: a steady engine (idle period 1100, TPS 0.50 V; 3.00 V at 3000 rpm) under stray
//   bytes (--noise) or flipped bits (--bit-errors). A run is accepted within the line's bound of
//   those values (1 % with stray bytes, 2 % with flipped bits: a flipped low bit is a value no
//   rule can tell from an engine's), refused with a message, timed out (a reply that did not
//   complete within its window: the controller is reported silent), or wrong.
// - Engine rows: a clean line and an engine that varies as a real one does (--wander), held where
//   the mode holds it for every step. A run must be accepted with exactly the average of the ten
//   replies it took, read from the simulator's log.
// Also what reaches the controller: an accepted F6 idle step sends the reference it keeps, once;
// a refused one sends none, and F8 never does.
// Usage: bench_calibration_noise [--runs N] [--rows clean,noise100,...]
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
#include <QMap>
#include <QRegularExpression>

#include <cmath>
#include <cstdio>
#include <functional>

namespace {

using orvel::test::LiveProgram;

struct Row {
  const char* name;
  QStringList args;
  double bound;  // share of the true value a line row may be off; 0: an engine row
};

const QList<Row> kRows{
    {"clean", {"--steady", "idle"}, 0.01},
    {"noise100", {"--steady", "idle", "--noise", "100"}, 0.01},
    {"noise300", {"--steady", "idle", "--noise", "300"}, 0.01},
    {"noise900", {"--steady", "idle", "--noise", "900"}, 0.01},
    {"bits500", {"--steady", "idle", "--bit-errors", "500"}, 0.02},
    {"bits100", {"--steady", "idle", "--bit-errors", "100"}, 0.02},
    {"bits500+noise300", {"--steady", "idle", "--bit-errors", "500", "--noise", "300"}, 0.02},
    {"tps-drift", {"--wander", "tps-drift"}, 0},
    {"tps-alternate", {"--wander", "tps-alternate"}, 0},
    {"idle-alternate", {"--wander", "idle-alternate"}, 0},
    {"misfire", {"--wander", "misfire"}, 0},
    {"valve-hunt", {"--wander", "valve-hunt"}, 0},
};

struct Tally {
  int accepted = 0;
  int refused = 0;
  int timedOut = 0;  // "Sterownik nie został włączony": a reply that never completed in time
  int wrong = 0;
  int extraReplies = 0;  // replies beyond the ten, over all runs
  int mostExtra = 0;
  QStringList details;
  QMap<long long, int> kept;  // what accepted runs kept (reference, or TPS high), how often
  QString refusal;            // the first refusal's text
};

// The replies to 02h in the log from `from` on: each request and the bytes sent after it up to
// the next byte received.
QList<QByteArray> repliesSince(const QList<SimProcess::LogEntry>& log, int from) {
  QList<QByteArray> replies;
  bool inReply = false;
  for (int i = from; i < log.size(); ++i) {
    if (log[i].rx) {
      inReply = log[i].byte == 0x02;
      if (inReply) replies << QByteArray();
    } else if (inReply) {
      replies.last().append(static_cast<char>(log[i].byte));
    }
  }
  return replies;
}

QStringList sentSince(const QList<SimProcess::LogEntry>& log, int from) {
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

long long average(const QList<QByteArray>& replies,
                  const std::function<int(const QByteArray&)>& f) {
  long long sum = 0;
  for (int i = 0; i < 10 && i < replies.size(); ++i)
    sum += f(replies[i]);
  return std::llround(std::nearbyint(static_cast<double>(sum) / 10.0));
}

int byteAt(const QByteArray& r, int k) {
  return k < r.size() ? static_cast<quint8>(r[k]) : 0;
}

enum class RunKind { IdleStep, HighStep, Scaling };

struct Outcome {
  bool ended = false;
  bool refusedBox = false;
  bool timedOut = false;
  QString box;
  int replies = 0;  // taken by the run, the one after its end not counted
};

void judge(Tally& t, RunKind kind, const Row& row, const Outcome& o,
           const orvel::ControllerState& s, const QList<SimProcess::LogEntry>& log, int from) {
  const QList<QByteArray> replies = repliesSince(log, from);
  const QStringList refs = sentSince(log, from).filter(QRegularExpression(QStringLiteral("^1F")));
  const int extra = std::max(0, o.replies - 10);
  QString why;
  if (o.refusedBox || o.timedOut) {
    if (!refs.isEmpty()) why = QStringLiteral("refused but sent %1").arg(refs.join(','));
  } else if (!o.ended) {
    why = QStringLiteral("no end, %1").arg(o.box.isEmpty() ? QStringLiteral("no box") : o.box);
  } else {
    long long want = 0, got = 0, wantTps = 0, gotTps = 0;
    const bool idle = kind != RunKind::HighStep;
    if (row.bound > 0) {
      want = idle ? 1100 : 0;
      wantTps = idle ? 10 : 60;
    } else {
      want = idle ? average(replies,
                            [](const QByteArray& r) { return byteAt(r, 4) + 256 * byteAt(r, 5); })
                  : 0;
      wantTps = average(replies, [](const QByteArray& r) { return byteAt(r, 1); });
    }
    got = idle ? s.idlePeriodReference : 0;
    gotTps = idle ? s.tpsLow : s.tpsHigh;
    const double bound = row.bound > 0 ? row.bound : 0.0;
    const bool periodOk = std::abs(got - want) <= bound * static_cast<double>(want);
    const bool tpsOk = std::abs(gotTps - wantTps) <= bound * static_cast<double>(wantTps);
    const QString kept = QStringLiteral("1F %1 %2")
                             .arg(s.idlePeriodReference & 0xFF, 2, 16, QLatin1Char('0'))
                             .arg(s.idlePeriodReference >> 8, 2, 16, QLatin1Char('0'))
                             .toUpper();
    const bool sentOk = kind == RunKind::IdleStep ? refs == QStringList{kept} : refs.isEmpty();
    if (!periodOk || !tpsOk || !sentOk) {
      why = QStringLiteral("period %1 (want %2), TPS %3 (want %4), sent [%5]")
                .arg(got)
                .arg(want)
                .arg(gotTps)
                .arg(wantTps)
                .arg(refs.join(','));
    }
  }
  if (!why.isEmpty()) {
    ++t.wrong;
    t.details << why;
  } else if (o.refusedBox) {
    ++t.refused;
    if (t.refusal.isEmpty()) t.refusal = o.box.simplified();
  } else if (o.timedOut) {
    ++t.timedOut;
  } else {
    ++t.accepted;
    ++t.kept[kind == RunKind::HighStep ? s.tpsHigh : s.idlePeriodReference];
    t.extraReplies += extra;
    t.mostExtra = std::max(t.mostExtra, extra);
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  int runs = 20;
  QStringList chosen;
  for (int i = 1; i < argc; ++i) {
    const QByteArray a(argv[i]);
    if (i + 1 < argc && a == "--runs") runs = std::max(1, atoi(argv[++i]));
    if (i + 1 < argc && a == "--rows") chosen = QString::fromLatin1(argv[++i]).split(',');
  }

  for (const Row& row : kRows) {
    if (!chosen.isEmpty() && !chosen.contains(QLatin1String(row.name))) continue;
    SimProcess sim;
    const QString pty = sim.start(row.args + QStringList{"--seed", "7"});
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
    // A line row switches the steady engine between idle and 3000 rpm for the steps; an engine
    // row leaves its engine as the mode holds it, so that no run starts on a frame of the state
    // before.
    const bool lineRow = row.bound > 0;
    const auto hold = [&](const char* engineState) {
      if (!lineRow) return;
      sim.command(QLatin1String(engineState));
      orvel::test::runEventLoop(300);
    };
    // The log as far as the simulator has written it once the line is quiet (under noise it never
    // is: then as it stands after a while).
    const auto settledLog = [&] {
      int size = -1;
      for (int tries = 0; tries < 5 && size != static_cast<int>(sim.log().size()); ++tries) {
        size = static_cast<int>(sim.log().size());
        orvel::test::runEventLoop(60);
      }
      return static_cast<int>(sim.log().size());
    };

    const auto refused = [&] {
      const QStringList texts = live.dialogs.texts();
      return !texts.isEmpty() && (texts.first().startsWith(QStringLiteral("Zakłócenia na linii")) ||
                                  texts.first().startsWith(QStringLiteral("Pomiar nieudany")));
    };
    // Runs one sampling run started by `start`, waiting for `ended`.
    const auto runOnce = [&](Tally& t, RunKind kind, const std::function<void()>& start,
                             const std::function<bool()>& ended) {
      live.dialogs.boxes.clear();
      const int from = settledLog();
      start();
      Outcome o;
      o.ended = waitFor([&] { return ended() || !live.dialogs.boxes.isEmpty(); }, 10000);
      settledLog();
      o.ended = ended();
      o.refusedBox = refused();
      o.box = live.dialogs.texts().value(0);
      o.timedOut = o.box.startsWith(QStringLiteral("Sterownik nie został włączony"));
      o.replies = panel->sampler().run().replies();
      judge(t, kind, row, o, state, sim.log(), from);
    };

    Tally idleStep, highStep, scaling;
    for (int run = 0; run < runs; ++run) {
      state.idlePeriodReference = 0;
      state.tpsLow = state.tpsHigh = -1;
      hold("idle");
      form.ui().Autokalibracja1->trigger();
      orvel::test::runEventLoop(100);
      panel->ui().medrpm->click();
      orvel::test::runEventLoop(100);
      runOnce(
          idleStep, RunKind::IdleStep, [&] { panel->ui().Slowrpm->click(); },
          [&] { return panel->wizard().step() == 3; });
      if (panel->wizard().step() == 3) {
        hold("rev");
        runOnce(
            highStep, RunKind::HighStep, [&] { panel->ui().Maxrpm->click(); },
            [&] { return panel->wizard().step() == 4; });
      }
      panel->ui().KalibAnuluj->click();
      orvel::test::runEventLoop(150);
      hold("idle");

      state.idlePeriodReference = 0;
      state.tpsLow = -1;
      runOnce(
          scaling, RunKind::Scaling, [&] { form.ui().SkalowanieobrotwPB1->trigger(); },
          [&] { return link.samplesRemaining == 0 && state.idlePeriodReference != 0; });
      orvel::test::runEventLoop(100);
    }
    const QString what =
        row.bound > 0 ? QStringLiteral("within %1 %").arg(row.bound * 100) : "exact";
    for (const auto& [name, t] : {std::pair<const char*, Tally&>{"F6 idle step", idleStep},
                                  std::pair<const char*, Tally&>{"F6 high step", highStep},
                                  std::pair<const char*, Tally&>{"F8", scaling}}) {
      const int total = t.accepted + t.refused + t.timedOut + t.wrong;
      std::printf(
          "%-17s %-13s %2d runs: %2d accepted %s, %2d refused, %d timed out, %d wrong; "
          "re-requests %.1f a run (most %d)\n",
          row.name, name, total, t.accepted, qPrintable(what), t.refused, t.timedOut, t.wrong,
          t.accepted ? static_cast<double>(t.extraReplies) / t.accepted : 0.0, t.mostExtra);
      QStringList kept;
      for (auto it = t.kept.cbegin(); it != t.kept.cend(); ++it)
        kept << QStringLiteral("%1 x%2").arg(it.key()).arg(it.value());
      std::printf("    kept %s: %s\n", &t == &highStep ? "TPS high" : "reference",
                  qPrintable(kept.join(QStringLiteral(", "))));
      if (!t.refusal.isEmpty()) std::printf("    first refusal: %s\n", qPrintable(t.refusal));
      for (const QString& d : t.details)
        std::printf("    wrong: %s\n", qPrintable(d));
    }
    std::fflush(stdout);
  }
  return 0;
}
