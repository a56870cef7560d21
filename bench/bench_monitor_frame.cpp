// The program's own cost per live frame in oscilloscope mode, on the offscreen platform: the
// dispatch, the decoder, gauges and read-outs, three charts, the repaint of the main window and
// the next request. The link and the clock are fakes, so only the program's work is measured.
// Frames come from the simulator's engine model (idling, revving, idling again).
// The same frames are shown again in blocks with the drive log recording and without, to give
// what recording adds per frame, and the recorder's own work (format and write) alone.
#include "app/Program.h"
#include "monitor/ChartPlotter.h"
#include "monitor/DriveLog.h"
#include "monitor/DriveLogRecorder.h"
#include "monitor/LiveDecoder.h"
#include "sim/EngineModel.h"
#include "support/ProgramFixture.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Counts the paint events the widgets of the window receive, to show that the repaint is part
// of what is measured.
class PaintCounter : public QObject {
 public:
  long paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

struct Stats {
  double median, p99, mean, max;
};

Stats statsOf(std::vector<double> us) {
  std::sort(us.begin(), us.end());
  double sum = 0;
  for (double v : us)
    sum += v;
  const auto at = [&](double q) { return us[static_cast<std::size_t>(q * (us.size() - 1))]; };
  return {at(0.5), at(0.99), sum / us.size(), us.back()};
}

void print(const char* what, const Stats& s) {
  std::printf("%-44s median %8.2f us   p99 %8.2f us   mean %8.2f us   max %8.2f us\n", what,
              s.median, s.p99, s.mean, s.max);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  int frames = 20000;
  for (int i = 1; i + 1 < argc; ++i)
    if (QByteArray(argv[i]) == "--frames") frames = std::max(100, atoi(argv[i + 1]));

  // Realistic frames: the engine idles, revs to about 3000 rpm and idles again.
  orvel::sim::EngineModel engine(7);
  std::vector<QByteArray> wire;
  for (int i = 0; i < frames; ++i) {
    const double t = i * 0.02;
    if (i == frames / 3) engine.rev(t);
    if (i == 2 * frames / 3) engine.idle(t);
    const auto f = engine.frame(t);
    wire.emplace_back(reinterpret_cast<const char*>(f.data()), static_cast<int>(f.size()));
  }

  orvel::test::ProgramFixture fixture;
  fixture.start();
  orvel::TForm1& form = fixture.form();
  form.controller().idlePeriodReference = 1100;
  form.controller().szablon.setLine(33, QStringLiteral("255"));
  fixture.program->show();
  if (!QTest::qWaitForWindowExposed(&form)) std::fprintf(stderr, "window not exposed\n");
  form.findChild<QToolButton*>(QStringLiteral("Wykresy"))->click();
  QCoreApplication::processEvents();

  PaintCounter counter;
  for (QWidget* w : form.findChildren<QWidget*>())
    w->installEventFilter(&counter);

  std::vector<double> whole;
  whole.reserve(wire.size());
  QElapsedTimer clock;
  for (const QByteArray& frame : wire) {
    clock.start();
    fixture.link.inject(frame);         // dispatch, decode, gauges, read-outs, charts
    QCoreApplication::processEvents();  // repaint and flush of the window
    fixture.timers.advanceMs(20);       // sweep tick: the next request
    whole.push_back(clock.nsecsElapsed() / 1000.0);
  }

  // Recording on and off in alternate blocks of the same frames, so that a slow moment of the
  // machine falls on both alike.
  QPushButton* zapis = form.findChild<QPushButton*>(QStringLiteral("BtnZapis"));
  std::vector<double> plain;
  std::vector<double> recording;
  const std::size_t block = 500;
  for (std::size_t first = 0; first < wire.size(); first += block) {
    const bool record = (first / block) % 2 == 1;
    if (record) zapis->click();
    std::vector<double>& into = record ? recording : plain;
    for (std::size_t i = first; i < std::min(wire.size(), first + block); ++i) {
      clock.start();
      fixture.link.inject(wire[i]);
      QCoreApplication::processEvents();
      fixture.timers.advanceMs(20);
      into.push_back(clock.nsecsElapsed() / 1000.0);
    }
    if (record) zapis->click();
  }
  const QString logs = orvel::DriveLog::logsFolder(fixture.installDir.path());

  // The recorder alone: one row formatted and written to a file on the disk of the temporary
  // folder.
  QTemporaryDir folder;
  orvel::DriveLogRecorder recorder;
  recorder.start(folder.path(), QDateTime::currentDateTime(), orvel::Nanos(0));
  orvel::LiveSettings settings;
  settings.lambdaKey = QStringLiteral("255");
  settings.idlePeriodReference = 1100;
  std::vector<double> rows;
  for (std::size_t i = 0; i < wire.size(); ++i) {
    orvel::RawLiveFrame raw{};
    for (std::size_t k = 0; k < raw.size(); ++k)
      raw[k] = static_cast<std::uint8_t>(wire[i][static_cast<int>(k)]);
    clock.start();
    recorder.record(orvel::Nanos(static_cast<long long>(i) * 20'000'000), raw, settings);
    rows.push_back(clock.nsecsElapsed() / 1000.0);
  }
  recorder.stop();

  // The parts without widgets, for comparison.
  orvel::LiveDecoder decoder;
  decoder.settings.lambdaKey = QStringLiteral("255");
  decoder.settings.idlePeriodReference = 1100;
  std::vector<double> decode;
  std::vector<double> charts;
  orvel::ChartPlotter plotters[3];
  for (auto& p : plotters)
    p.resetSweep();
  int sink = 0;
  for (const QByteArray& frame : wire) {
    orvel::LiveFrame f{};
    for (int k = 0; k < 7; ++k)
      f[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(frame[k]);
    clock.start();
    const orvel::LiveReadings r = decoder.decode(f);
    decode.push_back(clock.nsecsElapsed() / 1000.0);
    sink += r.valve + r.lambdaText.size();
    clock.start();
    plotters[0].plot(r.lambdaRow);
    plotters[1].plot(r.tpsRow);
    plotters[2].plot(r.lambda2Row);
    charts.push_back(clock.nsecsElapsed() / 1000.0);
  }

  std::printf("frames: %d (offscreen, main window shown, both panel sides enlarged)\n", frames);
  print("whole frame (dispatch..repaint, next request)", statsOf(whole));
  std::printf("%-44s %.1f paint events per frame\n", "", double(counter.paints) / frames);
  const Stats off = statsOf(plain);
  const Stats on = statsOf(recording);
  print("whole frame, drive log off (alternate blocks)", off);
  print("whole frame, drive log recording", on);
  std::printf("%-44s median %+8.2f us   mean %+8.2f us  (logs in %s)\n", "recording adds",
              on.median - off.median, on.mean - off.mean, qPrintable(logs));
  print("recorder alone (format + unbuffered write)", statsOf(rows));
  print("decode only", statsOf(decode));
  print("three chart samples only (bitmaps)", statsOf(charts));
  if (fixture.dialogs.boxes.size() > 0)
    std::printf("note: %d message boxes recorded\n", int(fixture.dialogs.boxes.size()));
  return sink == -1;
}
