#include "logview/LogChart.h"

#include "core/Language.h"
#include "monitor/Diagnosis.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <cmath>

namespace orvel {

namespace {

constexpr int kLeft = 74;  // the lanes' value labels and titles
constexpr int kRight = 14;
constexpr int kTop = 6;
constexpr int kLaneBottom = 6;
constexpr int kTimeAxisHeight = 34;  // the bottom lane's time labels and title
constexpr int kDragThreshold = 4;
constexpr double kWheelStep = 1.25;  // zoom per wheel notch

// The panel's chart colours where it has them.
const QColor kLaneColours[kLanes] = {QColor(0, 0, 200), QColor(0, 0, 255), QColor(128, 0, 0),
                                     QColor(128, 0, 128), QColor(200, 0, 0)};

// 1, 2 or 5 times a power of ten, at least `raw`.
double niceStep(double raw) {
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (m * power >= raw) return m * power;
  return 10.0 * power;
}

// The smallest round clock step of at least `raw` seconds: 1, 2 or 5 of a power of ten below
// a second, then the steps a clock face is read by.
double clockStep(double raw) {
  static constexpr double kSteps[] = {1,   2,   5,    10,   15,   30,    60,    120,   300,
                                      600, 900, 1800, 3600, 7200, 10800, 21600, 43200, 86400};
  if (raw < 1.0) return std::min(1.0, niceStep(raw));
  for (double step : kSteps)
    if (step >= raw) return step;
  return 86400.0 * niceStep(raw / 86400.0);
}

// A scale that holds the log's values and reads as the panel's own.
double laneTop(Lane lane, const LogData& log) {
  const auto& v = log.lanes[static_cast<std::size_t>(lane)];
  float max = 0;
  for (float x : v)
    if (x > max) max = x;  // NaN compares false
  switch (lane) {
    case Lane::Speed:
      return std::max(1000.0, std::ceil(max / 1000.0) * 1000.0);
    case Lane::Lambda1:
      return max <= 1.0f ? 1.0 : max <= 2.0f ? 2.0 : 5.0;
    case Lane::Tps:
      return max <= 5.0f ? 5.0 : 12.75;
    case Lane::Lambda2:
      return 5.0;
    case Lane::Valve:
      return 255.0;
  }
  return 1.0;
}

}  // namespace

LogChart::LogChart(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setMinimumSize(400, 300);
  setAttribute(Qt::WA_OpaquePaintEvent);
  retranslate();
}

LogChart::~LogChart() = default;

void LogChart::retranslate() {
  update();
}

void LogChart::setLog(const LogData* log) {
  log_ = log;
  cursor_.reset();
  fixed_ = false;
  selection_.reset();
  if (log_ && !log_->rows.empty()) {
    window_.setExtent(double(log_->firstMs()), double(log_->lastMs()));
    for (Lane lane : kAllLanes) {
      const double top = laneTop(lane, *log_);
      scales_[static_cast<std::size_t>(lane)] = {top, top == 12.75   ? 3.0
                                                      : top == 255.0 ? 85.0
                                                                     : top / 4.0};
    }
  } else {
    window_.setExtent(0, 0);
  }
  redraw();
}

void LogChart::setLaneVisible(Lane lane, bool visible) {
  visible_[static_cast<std::size_t>(lane)] = visible;
  redraw();
}

bool LogChart::isLaneVisible(Lane lane) const {
  return visible_[static_cast<std::size_t>(lane)];
}

int LogChart::plotLeft() const {
  return kLeft;
}

int LogChart::plotWidth() const {
  return std::max(1, width() - kLeft - kRight);
}

double LogChart::timeAtX(double x) const {
  return window_.from() + (x - kLeft) * window_.span() / plotWidth();
}

double LogChart::xAtTime(double ms) const {
  return kLeft + (ms - window_.from()) * plotWidth() / window_.span();
}

QList<QPointF> LogChart::lanePoints(Lane lane) const {
  return points_[static_cast<std::size_t>(lane)];
}

std::array<QRect, kLanes> LogChart::laneRects() const {
  std::array<QRect, kLanes> rects{};
  const int shown = static_cast<int>(std::count(visible_.begin(), visible_.end(), true));
  if (shown == 0) return rects;
  const int laneHeight = (height() - kTimeAxisHeight) / shown;
  int top = 0;
  for (std::size_t k = 0; k < rects.size(); ++k) {
    if (!visible_[k]) continue;
    rects[k] = QRect(kLeft, top + kTop, plotWidth(), laneHeight - kTop - kLaneBottom);
    top += laneHeight;
  }
  return rects;
}

void LogChart::redraw() {
  for (std::size_t k = 0; k < points_.size(); ++k) {
    if (!visible_[k] || !log_) {
      points_[k].clear();
      continue;
    }
    points_[k] = decimate(log_->times.data(), log_->lanes[k].data(), log_->times.size(),
                          window_.from(), window_.to(), plotWidth());
  }
  update();
}

void LogChart::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().color(QPalette::Base));
  QFont f = font();
  f.setPointSize(7);
  p.setFont(f);
  const auto rects = laneRects();
  int last = -1;
  for (std::size_t k = 0; k < rects.size(); ++k)
    if (visible_[k]) last = static_cast<int>(k);
  for (std::size_t k = 0; k < rects.size(); ++k) {
    if (!visible_[k]) continue;
    paintTimeAxis(p, rects[k], static_cast<int>(k) == last);
    paintLane(p, kAllLanes[k], rects[k]);
  }
  paintCursor(p, rects);
}

void LogChart::paintLane(QPainter& p, Lane lane, const QRect& plot) const {
  const auto k = static_cast<std::size_t>(lane);
  const LaneScale& scale = scales_[k];
  const QColor grid(225, 225, 225);
  const QFontMetrics fm = p.fontMetrics();
  const auto yOf = [&](double v) { return plot.bottom() - v * plot.height() / scale.top; };
  for (double v = 0; v <= scale.top + 1e-9; v += scale.interval) {
    const double y = yOf(v);
    p.setPen(grid);
    p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    p.setPen(Qt::black);
    const QString label =
        scale.top >= 100 ? QString::number(v, 'f', 0) : QString::number(v, 'f', 2);
    p.drawText(QRectF(plot.left() - 44, y - fm.height() / 2.0, 40, fm.height()),
               Qt::AlignRight | Qt::AlignVCenter, label);
  }
  p.setPen(QColor(160, 160, 160));
  p.drawRect(plot.adjusted(0, 0, -1, -1));
  // The lane's name and unit, upright along its left edge.
  p.save();
  p.translate(plot.left() - 58, plot.center().y());
  p.rotate(-90);
  p.setPen(Qt::black);
  p.drawText(QRectF(-plot.height() / 2.0, -fm.height() / 2.0, plot.height(), fm.height()),
             Qt::AlignCenter, QStringLiteral("%1 [%2]").arg(laneName(lane), laneUnit(lane)));
  p.restore();

  const QList<QPointF>& points = points_[k];
  if (points.isEmpty()) return;
  // Whole pixels: the painter's quickest line, and the columns hold no finer detail anyway.
  QPolygon line;
  line.reserve(points.size());
  const double perMs = plot.width() / window_.span();
  for (const QPointF& pt : points) {
    line.append(QPoint(static_cast<int>(plot.left() + (pt.x() * 1000.0 - window_.from()) * perMs),
                       static_cast<int>(yOf(pt.y()))));
  }
  p.save();
  p.setClipRect(plot);
  p.setPen(QPen(kLaneColours[k], 1));
  p.drawPolyline(line);
  p.restore();
}

void LogChart::paintTimeAxis(QPainter& p, const QRect& plot, bool labelled) const {
  if (!log_) return;
  const double step = tickStep(plot.width());
  const int decimals = step >= 1.0 ? 0 : step >= 0.1 ? 1 : step >= 0.01 ? 2 : 3;
  const QFontMetrics fm = p.fontMetrics();
  for (double s : timeTicks(plot.width())) {
    const double x = plot.left() + (s * 1000.0 - window_.from()) * plot.width() / window_.span();
    p.setPen(QColor(225, 225, 225));
    p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    if (!labelled) continue;
    p.setPen(Qt::black);
    // The cursor's clock, to the precision the step needs.
    QString label = clockTextMs(static_cast<qint64>(std::nearbyint(s * 1000.0)));
    label.chop(decimals == 0 ? 4 : 3 - decimals);
    // Centred under its tick, but kept whole at the chart's edges.
    const double w = fm.horizontalAdvance(label) + 2;
    const double left = std::clamp(x - w / 2, 0.0, std::max(0.0, width() - w));
    p.drawText(QRectF(left, plot.bottom() + 3, w, fm.height()), Qt::AlignHCenter, label);
  }
  if (labelled) {
    const bool hours = window_.to() >= 3600.0 * 1000.0;
    p.drawText(QRectF(plot.left(), plot.bottom() + 4 + fm.height(), plot.width(), fm.height()),
               Qt::AlignHCenter,
               hours ? tr3("czas [h:min:s]", "time [h:min:s]", "tempo [h:min:s]")
                     : tr3("czas [min:s]", "time [min:s]", "tempo [min:s]"));
  }
}

double LogChart::tickStep(int width) const {
  // Labels at least about 110 pixels apart.
  return clockStep(std::max(0.001, window_.span() / 1000.0 * 110.0 / std::max(1, width)));
}

QList<double> LogChart::timeTicks(int width) const {
  QList<double> ticks;
  if (!log_) return ticks;
  const double step = tickStep(width);
  // Counted in whole steps, so that a tenth of a second does not drift off the clock.
  const auto first = static_cast<long long>(std::ceil(window_.from() / 1000.0 / step - 1e-9));
  const auto last = static_cast<long long>(std::floor(window_.to() / 1000.0 / step + 1e-9));
  for (long long k = first; k <= last; ++k)
    ticks << double(k) * step;
  return ticks;
}

void LogChart::paintCursor(QPainter& p, const std::array<QRect, kLanes>& rects) const {
  if (!log_ || log_->rows.empty()) return;
  const int left = plotLeft();
  const int right = left + plotWidth();
  if (selection_) {
    const double a = std::clamp(xAtTime(selection_->first), double(left), double(right));
    const double b = std::clamp(xAtTime(selection_->second), double(left), double(right));
    p.fillRect(QRectF(a, 0, b - a, height() - kTimeAxisHeight), QColor(0, 120, 215, 50));
  }
  if (!cursor_) return;
  const double x = xAtTime(*cursor_);
  if (x < left || x > right) return;
  p.setPen(QPen(fixed_ ? QColor(220, 0, 0) : QColor(60, 60, 60), 1));
  p.drawLine(QPointF(x, 0), QPointF(x, height() - kTimeAxisHeight));
  const CursorReading reading = cursorReading(*log_, log_->rowAt(*cursor_));
  QFont f = font();
  f.setPointSize(8);
  p.setFont(f);
  const QFontMetrics fm(f);
  const auto box = [&](const QString& text, int top) {
    const int w = fm.horizontalAdvance(text) + 8;
    // Beside the line, on the side with room.
    const double at = x + 6 + w <= right ? x + 6 : x - 6 - w;
    const QRectF r(at, top, w, fm.height() + 2);
    p.fillRect(r, QColor(255, 255, 225, 235));
    p.setPen(QColor(90, 90, 90));
    p.drawRect(r);
    p.setPen(Qt::black);
    p.drawText(r, Qt::AlignCenter, text);
  };
  bool first = true;
  for (Lane lane : kAllLanes) {
    const auto k = static_cast<std::size_t>(lane);
    if (!visible_[k]) continue;
    int top = rects[k].top() + 2;
    if (first) {
      box(reading.time, top);
      top += fm.height() + 4;
      first = false;
    }
    box(laneName(lane) + QStringLiteral(": ") + reading.values[k], top);
  }
}

void LogChart::placeCursor(double ms, bool fixed) {
  cursor_ = ms;
  fixed_ = fixed;
  update();
  Q_EMIT cursorChanged();
}

void LogChart::clearCursor() {
  cursor_.reset();
  fixed_ = false;
  update();
  Q_EMIT cursorChanged();
}

void LogChart::windowMoved() {
  redraw();
  Q_EMIT windowChanged();
}

void LogChart::resizeEvent(QResizeEvent*) {
  redraw();
}

void LogChart::wheelEvent(QWheelEvent* event) {
  if (!log_) return;
  const double notches = event->angleDelta().y() / 120.0;
  if (notches == 0) return;
  window_.zoom(timeAtX(event->position().x()), std::pow(kWheelStep, -notches));
  windowMoved();
  event->accept();
}

void LogChart::mousePressEvent(QMouseEvent* event) {
  if (!log_ || event->button() != Qt::LeftButton) return;
  setFocus();
  pressAt_ = event->position().toPoint();
  pressFrom_ = window_.from();
  if (event->modifiers() & Qt::ShiftModifier) {
    drag_ = Drag::Selecting;
    selectFrom_ = timeAtX(pressAt_.x());
    selection_.reset();
  } else {
    drag_ = Drag::Pending;
  }
}

void LogChart::mouseMoveEvent(QMouseEvent* event) {
  if (!log_) return;
  const QPoint at = event->position().toPoint();
  if (drag_ == Drag::Pending && std::abs(at.x() - pressAt_.x()) >= kDragThreshold)
    drag_ = Drag::Panning;
  if (drag_ == Drag::Panning) {
    const double perPixel = window_.span() / plotWidth();
    window_.pan(pressFrom_ - (at.x() - pressAt_.x()) * perPixel - window_.from());
    windowMoved();
  } else if (drag_ == Drag::Selecting) {
    const double now = std::clamp(timeAtX(at.x()), window_.first(), window_.last());
    selection_ = std::make_pair(std::min(selectFrom_, now), std::max(selectFrom_, now));
    update();
  }
  if (!fixed_) placeCursor(timeAtX(at.x()), false);
}

void LogChart::mouseReleaseEvent(QMouseEvent* event) {
  if (!log_ || event->button() != Qt::LeftButton) return;
  const Drag drag = drag_;
  drag_ = Drag::None;
  if (drag == Drag::Pending) {
    placeCursor(timeAtX(event->position().x()), true);
  } else if (drag == Drag::Selecting) {
    // A click with Shift is no stretch.
    if (selection_ && selection_->second - selection_->first < window_.span() / plotWidth())
      selection_.reset();
    update();
    Q_EMIT selectionChanged();
  }
}

void LogChart::mouseDoubleClickEvent(QMouseEvent* event) {
  if (!log_ || event->button() != Qt::LeftButton) return;
  window_.showAll();
  windowMoved();
}

void LogChart::keyPressEvent(QKeyEvent* event) {
  if (!log_) {
    QWidget::keyPressEvent(event);
    return;
  }
  const double centre = fixed_ && cursor_ ? *cursor_ : (window_.from() + window_.to()) / 2;
  switch (event->key()) {
    case Qt::Key_Left:
      window_.pan(-window_.span() / 10);
      break;
    case Qt::Key_Right:
      window_.pan(window_.span() / 10);
      break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      window_.zoom(centre, 0.5);
      break;
    case Qt::Key_Minus:
      window_.zoom(centre, 2.0);
      break;
    case Qt::Key_Home:
      window_.showAll();
      break;
    case Qt::Key_Escape:
      selection_.reset();
      clearCursor();
      Q_EMIT selectionChanged();
      return;
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  windowMoved();
}

void LogChart::leaveEvent(QEvent*) {
  if (!fixed_ && cursor_) clearCursor();
}

}  // namespace orvel
