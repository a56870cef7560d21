#pragma once

#include "logview/Decimation.h"
#include "logview/LogData.h"

#include <QWidget>

class QPainter;

#include <array>
#include <optional>
#include <utility>

namespace orvel {

// The log's channels on stacked lanes with one time axis, drawn with a painter: at most two
// points per pixel column and lane (see decimate()). The wheel zooms around the pointer,
// a drag pans, a double click shows the whole log, Shift and a drag select a stretch; the
// keyboard does the same with the arrows, + and -, Home. A cursor line follows the pointer
// until a click fixes it (Escape frees it).
class LogChart : public QWidget {
  Q_OBJECT
 public:
  explicit LogChart(QWidget* parent = nullptr);
  ~LogChart() override;

  // Not owned; nullptr empties the chart.
  void setLog(const LogData* log);
  void setLaneVisible(Lane lane, bool visible);
  bool isLaneVisible(Lane lane) const;
  void retranslate();

  TimeWindow& timeWindow() { return window_; }
  // Draws the window's points again: after a change of the window, the size or the lanes.
  void redraw();

  std::optional<double> cursorMs() const { return cursor_; }
  bool isCursorFixed() const { return fixed_; }
  void placeCursor(double ms, bool fixed);
  void clearCursor();
  std::optional<std::pair<double, double>> selection() const { return selection_; }

  // The plot's horizontal extent in this widget; every lane shares it.
  int plotLeft() const;
  int plotWidth() const;
  double timeAtX(double x) const;
  double xAtTime(double ms) const;
  // The times of the time axis's labels, in seconds, for a plot `width` pixels wide: whole
  // multiples of a round clock step (1, 2, 5, 10, 15, 30 s, 1, 2, 5, 10, 15, 30 min, 1 h...).
  QList<double> timeTicks(int width) const;
  double tickStep(int width) const;
  // The points on show of a lane, for checks.
  QList<QPointF> lanePoints(Lane lane) const;

 Q_SIGNALS:
  void cursorChanged();
  void selectionChanged();
  void windowChanged();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  struct LaneScale {
    double top = 1;
    double interval = 0.25;
  };

  // The lanes' rectangles, plot areas only, top to bottom; hidden lanes are empty.
  std::array<QRect, kLanes> laneRects() const;
  void windowMoved();
  void paintLane(QPainter& p, Lane lane, const QRect& plot) const;
  void paintTimeAxis(QPainter& p, const QRect& plot, bool labelled) const;
  void paintCursor(QPainter& p, const std::array<QRect, kLanes>& rects) const;

  std::array<bool, kLanes> visible_{true, true, true, true, true};
  std::array<LaneScale, kLanes> scales_{};
  std::array<QList<QPointF>, kLanes> points_;
  const LogData* log_ = nullptr;
  TimeWindow window_;
  std::optional<double> cursor_;
  bool fixed_ = false;
  std::optional<std::pair<double, double>> selection_;
  // The press of a drag under way.
  enum class Drag { None, Pending, Panning, Selecting } drag_ = Drag::None;
  QPoint pressAt_;
  double pressFrom_ = 0;
  double selectFrom_ = 0;
};

}  // namespace orvel
