// A drive log replayed by the whole program on the real timers (offscreen): a log of N minutes
// of frames every 20 ms from the simulator's engine model is written, opened like "Odtwórz
// zapis..." opens it, and played to its end. Reported: how long the replay took against the
// recorded span, how far the display fell behind the recorded time at any moment, and the CPU.
//   bench_drivelog_replay [--minutes N]     (default 10)
#include "app/Program.h"
#include "link/Timers.h"
#include "link/TtyTransport.h"
#include "monitor/DriveLog.h"
#include "monitor/DriveLogFormat.h"
#include "sim/EngineModel.h"
#include "support/LiveProgram.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include "CpuTime.h"

#include <algorithm>
#include <cstdio>

namespace {}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  int minutes = 10;
  for (int i = 1; i + 1 < argc; ++i)
    if (QByteArray(argv[i]) == "--minutes") minutes = std::max(1, atoi(argv[i + 1]));

  QTemporaryDir home;
  qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());

  // Frames as the live loop records them: about 20 ms apart with a little jitter, the engine
  // idling and revving in turn.
  orvel::sim::EngineModel engine(3);
  QByteArray log = orvel::driveLogHeader();
  orvel::DriveLogRow row;
  row.settings.lambdaKey = QStringLiteral("255");
  row.settings.idlePeriodReference = 1100;
  const qint64 spanMs = qint64(minutes) * 60'000;
  qint64 rows = 0;
  for (qint64 t = 9; t <= spanMs + 9; t += 20 + (rows % 7 == 3 ? 1 : 0)) {
    const double s = t / 1000.0;
    if (rows % 1500 == 500) engine.rev(s);
    if (rows % 1500 == 1000) engine.idle(s);
    const auto f = engine.frame(s);
    for (std::size_t k = 0; k < row.raw.size(); ++k)
      row.raw[k] = f[k];
    row.timeMs = t;
    log += orvel::formatDriveLogRow(row);
    ++rows;
  }
  const QString path = home.filePath(QStringLiteral("drive.csv"));
  {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(log) != log.size()) return 1;
  }
  const orvel::ParsedDriveLog parsed = orvel::parseDriveLog(log);
  const double recordedSpan = (parsed.rows.back().timeMs - parsed.rows.front().timeMs) / 1000.0;

  orvel::test::LiveProgram live(home.filePath(QStringLiteral("no-port-1")),
                                home.filePath(QStringLiteral("no-port-2")));
  orvel::Program& program = *live.program;
  program.show();
  orvel::DriveLog& driveLog = *program.form1().findChild<orvel::DriveLog*>();

  // How far the rows on show lag behind the recorded time, sampled every 2 ms.
  double worstLagMs = 0;
  double startedMs = 0;  // the file read and parsed, the first row on show
  QElapsedTimer wall;
  QTimer probe;
  probe.setTimerType(Qt::PreciseTimer);
  QEventLoop loop;
  double playedSpan = 0;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    const auto& player = driveLog.player();
    const double elapsedMs = wall.nsecsElapsed() / 1e6;
    if (player.state() == orvel::DriveLogPlayer::State::Finished) {
      playedSpan = (elapsedMs - startedMs) / 1000.0;
      loop.quit();
      return;
    }
    // The next row is due at its recorded time; once that has passed it should be on show.
    const std::size_t next = player.rowsShown();
    if (next < parsed.rows.size()) {
      const double dueMs = double(parsed.rows[next].timeMs - parsed.rows.front().timeMs);
      worstLagMs = std::max(worstLagMs, elapsedMs - startedMs - dueMs);
    }
  });

  const double cpu0 = cpuSeconds();
  wall.start();
  driveLog.replayFile(path);
  startedMs = wall.nsecsElapsed() / 1e6;
  probe.start(2);
  loop.exec();
  const double cpu = cpuSeconds() - cpu0;

  std::printf("log: %lld rows, recorded span %.3f s, %lld bytes\n", static_cast<long long>(rows),
              recordedSpan, static_cast<long long>(log.size()));
  std::printf("file read and parsed, first row shown: %.1f ms\n", startedMs);
  std::printf("replay on real timers: %.3f s, off by %+.3f s (%+.4f %% of the span)\n", playedSpan,
              playedSpan - recordedSpan, 100.0 * (playedSpan - recordedSpan) / recordedSpan);
  // No controller: the start-up box about the ports is expected.
  std::printf("rows shown %zu, skipped %d, message boxes %d\n", driveLog.player().rowsShown(),
              driveLog.skippedRows(), int(live.dialogs.boxes.size()));
  for (const auto& box : live.dialogs.boxes)
    std::printf("message: %s\n", qPrintable(box.text.section(QLatin1Char('\r'), 0, 0)));
  std::printf("worst lag of the display behind the recorded time: %.1f ms (2 ms probe)\n",
              std::max(0.0, worstLagMs));
  std::printf("program CPU (with the probe): %.2f s over %.1f s = %.2f %% of one core\n", cpu,
              playedSpan, 100.0 * cpu / playedSpan);
  return 0;
}
