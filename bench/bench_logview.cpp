// The drive log viewer on an hour of driving (180,000 frames, one every 20 ms, from the
// simulator's engine model: idling, revving, idling again): reading, parsing and decoding the
// file, opening it in the viewer up to its first picture, each redraw while zooming and
// panning (decimation, the charts' update and the repaint of the window, offscreen), and the
// diagnosis of the whole hour. With --write FILE it only writes the hour's log there.
#include "CpuTime.h"
#include "logview/LogChart.h"
#include "logview/LogData.h"
#include "logview/LogViewer.h"
#include "monitor/Diagnosis.h"
#include "monitor/DriveLogFormat.h"
#include "sim/EngineModel.h"
#include "support/RecordingDialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QByteArray hourOfDriving(int frames) {
  orvel::sim::EngineModel engine(11);
  QByteArray out = orvel::driveLogHeader();
  out.reserve(frames * 80);
  orvel::DriveLogRow row;
  row.settings.lambdaKey = QStringLiteral("51");
  row.settings.lambdaHigh = 51;
  row.settings.tpsRange = orvel::TpsRange::Rising5V;
  row.settings.idlePeriodReference = orvel::sim::kDefaultIdlePeriod;
  for (int i = 0; i < frames; ++i) {
    const double t = i * 0.02;
    // A minute's cycle: 25 s of idle, then 35 s on the throttle.
    const int second = i / 50 % 60;
    if (i % 50 == 0 && second == 25) engine.rev(t);
    if (i % 50 == 0 && second == 0) engine.idle(t);
    const auto f = engine.frame(t);
    row.timeMs = qint64(i) * 20;
    std::copy(f.begin(), f.end(), row.raw.begin());
    out += orvel::formatDriveLogRow(row);
  }
  return out;
}

struct Stats {
  double median, p99, max;
};

Stats statsOf(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return {v[v.size() / 2], v[static_cast<std::size_t>(0.99 * (v.size() - 1))], v.back()};
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const int frames = 180000;
  const QByteArray bytes = hourOfDriving(frames);
  for (int i = 1; i + 1 < argc; ++i) {
    if (QByteArray(argv[i]) == "--write") {
      QFile out(QString::fromLocal8Bit(argv[i + 1]));
      if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) return 1;
      std::printf("wrote %s (%lld bytes)\n", argv[i + 1], static_cast<long long>(bytes.size()));
      return 0;
    }
  }
  QTemporaryDir dir;
  const QString path = dir.path() + QStringLiteral("/hour.csv");
  {
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) return 1;
  }
  orvel::test::RecordingDialogs dialogs;
  QElapsedTimer clock;

  clock.start();
  const orvel::ParsedDriveLog parsed = orvel::parseDriveLog(bytes);
  const double parseMs = clock.nsecsElapsed() / 1e6;
  clock.start();
  const orvel::LogData decoded = orvel::decodeDriveLog(parsed);
  const double decodeMs = clock.nsecsElapsed() / 1e6;
  clock.start();
  double cpu = cpuSeconds();
  const orvel::LogLoad load = orvel::loadDriveLog(path);
  const double loadMs = clock.nsecsElapsed() / 1e6;
  const double loadCpuMs = (cpuSeconds() - cpu) * 1000.0;

  orvel::LogViewer viewer;
  viewer.resize(1280, 800);
  clock.start();
  cpu = cpuSeconds();
  viewer.openFile(path);
  if (!QTest::qWaitForWindowExposed(&viewer)) std::fprintf(stderr, "window not exposed\n");
  QCoreApplication::processEvents();
  const double openMs = clock.nsecsElapsed() / 1e6;
  const double openCpuMs = (cpuSeconds() - cpu) * 1000.0;

  orvel::LogChart& chart = viewer.chart();
  std::vector<double> redraws, updates;
  const auto measure = [&](auto change) {
    clock.start();
    change();
    chart.redraw();
    updates.push_back(clock.nsecsElapsed() / 1e6);
    QCoreApplication::processEvents();  // the scenes' update and the repaint of the window
    redraws.push_back(clock.nsecsElapsed() / 1e6);
  };
  const double middle = (chart.timeWindow().first() + chart.timeWindow().last()) / 2;
  const double cpuBefore = cpuSeconds();
  for (int k = 0; k < 40; ++k)
    measure([&] { chart.timeWindow().zoom(middle, 0.8); });
  for (int k = 0; k < 40; ++k)
    measure([&] { chart.timeWindow().pan(chart.timeWindow().span() / 20); });
  for (int k = 0; k < 40; ++k)
    measure([&] { chart.timeWindow().zoom(middle, 1.25); });
  for (int k = 0; k < 40; ++k)
    measure([&] { chart.timeWindow().pan(-chart.timeWindow().span() / 20); });
  const Stats redraw = statsOf(redraws);
  const double cpuPerRedraw = (cpuSeconds() - cpuBefore) * 1000.0 / double(redraws.size());

  // The chart's own painting, into an image of its size.
  std::vector<double> paints;
  QImage image(chart.size(), QImage::Format_ARGB32_Premultiplied);
  for (int k = 0; k < 100; ++k) {
    chart.timeWindow().pan(k % 2 ? 1000.0 : -1000.0);
    chart.redraw();
    clock.start();
    chart.render(&image);
    paints.push_back(clock.nsecsElapsed() / 1e6);
  }

  std::vector<double> diag;
  double sink = 0;
  for (int k = 0; k < 20; ++k) {
    clock.start();
    const orvel::Diagnosis d = decoded.diagnosis(0, decoded.rows.size());
    diag.push_back(clock.nsecsElapsed() / 1e6);
    sink += d.crossingsPerSecond;
  }
  const orvel::Diagnosis d = decoded.diagnosis(0, decoded.rows.size());

  std::printf("log: %d rows, %.1f MB, plot %d px wide, %d points per lane at most\n",
              int(load.data ? load.data->rows.size() : 0), bytes.size() / 1e6, chart.plotWidth(),
              2 * chart.plotWidth() + 2);
  std::printf("%-40s %8.1f ms\n", "parse (parseDriveLog)", parseMs);
  std::printf("%-40s %8.1f ms\n", "decode for the lanes", decodeMs);
  std::printf("%-40s %8.1f ms   (CPU %.1f ms)\n", "read + parse + decode (loadDriveLog)", loadMs,
              loadCpuMs);
  std::printf("%-40s %8.1f ms   (CPU %.1f ms)\n", "open in the viewer, first picture", openMs,
              openCpuMs);
  std::printf("%-40s median %6.2f ms   p99 %6.2f ms   max %6.2f ms  (%zu redraws)\n",
              "redraw (zoom/pan, offscreen)", redraw.median, redraw.p99, redraw.max,
              redraws.size());
  std::printf("%-40s mean %6.2f ms of CPU time\n", "  redraw", cpuPerRedraw);
  std::printf("%-40s median %6.2f ms   p99 %6.2f ms\n", "  of which decimation",
              statsOf(updates).median, statsOf(updates).p99);
  std::printf("%-40s median %6.2f ms   p99 %6.2f ms\n", "chart painting alone (render)",
              statsOf(paints).median, statsOf(paints).p99);
  std::printf("%-40s median %6.2f ms   max %6.2f ms\n", "diagnosis of the hour",
              statsOf(diag).median, statsOf(diag).max);
  std::printf("hour: %.2f switches/s, rich %.0f%%, idle %.0f +- %.0f rpm over %d frames\n",
              d.crossingsPerSecond, d.richShare * 100, d.idleRpmMean, d.idleRpmStdDev,
              d.idleFrames);
  return sink < 0;
}
