// What the diagnosis read-out adds to each live frame of the oscilloscope panel: the sample
// kept for the last ten seconds, and once a second the figures, their text and the label's
// repaint (offscreen). Frames from the simulator's engine model at 50 a second, idling and
// revving in turns; the mean includes the once-a-second refresh.
#include "CpuTime.h"
#include "monitor/DiagnosisReadout.h"
#include "sim/EngineModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const int frames = 60000;  // twenty minutes of frames
  orvel::sim::EngineModel engine(3);
  std::vector<orvel::LiveFrame> wire;
  for (int i = 0; i < frames; ++i) {
    const double t = i * 0.02;
    if (i % 1500 == 0) (i / 1500) % 2 ? engine.rev(t) : engine.idle(t);
    const auto f = engine.frame(t);
    orvel::LiveFrame frame{};
    for (std::size_t k = 0; k < frame.size(); ++k)
      frame[k] = f[k];
    wire.push_back(frame);
  }
  orvel::LiveSettings settings;
  settings.lambdaKey = QStringLiteral("51");
  settings.idlePeriodReference = orvel::sim::kDefaultIdlePeriod;

  QWidget panel;
  panel.resize(396, 365);
  orvel::DiagnosisReadout readout(&panel);
  readout.label()->setGeometry(298, 128, 94, 112);
  panel.show();
  readout.reset(settings, orvel::TpsCalibration{10, 60});
  QCoreApplication::processEvents();  // the first picture of the panel is not the read-out's

  std::vector<double> us;
  us.reserve(wire.size());
  QElapsedTimer clock;
  const double cpu = cpuSeconds();
  for (std::size_t i = 0; i < wire.size(); ++i) {
    const orvel::LiveFrame& f = wire[i];
    const orvel::EngineSpeed speed =
        orvel::engineSpeed(settings.idlePeriodReference, f[4] + 256 * f[5]);
    clock.start();
    readout.add(orvel::Nanos(static_cast<long long>(i) * 20'000'000), f, speed);
    if (i % 50 == 49) QCoreApplication::processEvents();  // the label's repaint
    us.push_back(clock.nsecsElapsed() / 1000.0);
  }
  const double cpuPerFrame = (cpuSeconds() - cpu) * 1e6 / frames;
  std::vector<double> sorted = us;
  std::sort(sorted.begin(), sorted.end());
  double sum = 0;
  for (double v : us)
    sum += v;
  std::printf("frames: %d, read-out refreshed %d times\n", frames, frames / 50);
  std::printf(
      "added per frame: median %.3f us   p99 %.3f us   mean %.3f us   max %.1f us   "
      "(CPU %.3f us per frame)\n",
      sorted[sorted.size() / 2], sorted[static_cast<std::size_t>(0.99 * sorted.size())],
      sum / frames, sorted.back(), cpuPerFrame);
  const orvel::Diagnosis d = readout.current();
  std::vector<double> refreshes;
  for (std::size_t i = 49; i < us.size(); i += 50)
    refreshes.push_back(us[i]);
  std::sort(refreshes.begin(), refreshes.end());
  std::printf("the refreshing frame (figures, text, repaint): median %.1f us   p99 %.1f us\n",
              refreshes[refreshes.size() / 2],
              refreshes[static_cast<std::size_t>(0.99 * refreshes.size())]);
  std::printf("last 10 s: %.1f switches/s, rich %.0f%%, idle %.0f +- %.0f rpm\n",
              d.crossingsPerSecond, d.richShare * 100, d.idleRpmMean, d.idleRpmStdDev);
  return 0;
}
