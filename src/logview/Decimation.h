#pragma once

#include <QList>
#include <QPointF>

#include <cstddef>

namespace orvel {

// The points to draw of a channel (times in ms, in order) over the time window [fromMs, toMs]
// on `columns` pixel columns, as (seconds, value). A column with more samples than it can show
// gives its lowest and highest, in the order they came, so that every peak stays on the chart
// however far it is zoomed out; a window with few samples gives them all. The samples just
// outside the window are kept so that the line runs on to the edges. NaN values are left out.
QList<QPointF> decimate(const qint64* times, const float* values, std::size_t count, double fromMs,
                        double toMs, int columns);

// The visible stretch of a log and its zooming and panning, in ms.
class TimeWindow {
 public:
  // The narrowest window: a few frames still make a line.
  static constexpr double kMinimumSpanMs = 200.0;

  void setExtent(double firstMs, double lastMs);
  void showAll();
  // Zooms by `factor` (below 1 zooms in) keeping `anchorMs` where it is on the screen.
  void zoom(double anchorMs, double factor);
  void pan(double deltaMs);

  double from() const { return from_; }
  double to() const { return to_; }
  double span() const { return to_ - from_; }
  double first() const { return first_; }
  double last() const { return last_; }
  bool showsAll() const { return from_ <= first_ && to_ >= last_; }

 private:
  void clamp();

  double first_ = 0, last_ = kMinimumSpanMs;
  double from_ = 0, to_ = kMinimumSpanMs;
};

}  // namespace orvel
