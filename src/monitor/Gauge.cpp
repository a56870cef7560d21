#include "monitor/Gauge.h"

#include "settings/Conversions.h"

#include <QPainter>

#include <algorithm>

namespace orvel {

Gauge::Gauge(QWidget* parent) : QWidget(parent) {
  // The whole rectangle is painted every time; Qt need not clear it first.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

int Gauge::clamp(int value) const {
  return std::clamp(value, std::min(minimum_, maximum_), std::max(minimum_, maximum_));
}

double Gauge::fraction() const {
  if (maximum_ <= minimum_) return value_ > minimum_ ? 1.0 : 0.0;
  return static_cast<double>(value_ - minimum_) / static_cast<double>(maximum_ - minimum_);
}

int Gauge::filledPixels(int innerHeight) const {
  if (innerHeight <= 0) return 0;
  return static_cast<int>(roundHalfEven(fraction() * innerHeight));
}

template <typename Change>
void Gauge::changeShown(Change change) {
  const int before = filledPixels(innerHeight());
  change();
  value_ = clamp(value_);
  if (filledPixels(innerHeight()) != before) update();
}

void Gauge::setValue(int value) {
  changeShown([&] { value_ = value; });
}

void Gauge::setMinimum(int minimum) {
  changeShown([&] { minimum_ = minimum; });
}

void Gauge::setMaximum(int maximum) {
  changeShown([&] { maximum_ = maximum; });
}

void Gauge::setRange(int minimum, int maximum) {
  changeShown([&] {
    minimum_ = minimum;
    maximum_ = maximum;
  });
}

void Gauge::setForeColor(const QColor& color) {
  if (color == foreColor_) return;
  foreColor_ = color;
  update();
}

void Gauge::setBackColor(const QColor& color) {
  if (color == backColor_) return;
  backColor_ = color;
  update();
}

void Gauge::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect outer = rect();
  p.setPen(palette().color(QPalette::Dark));
  p.setBrush(Qt::NoBrush);
  p.drawRect(outer.adjusted(0, 0, -1, -1));
  const QRect inner = outer.adjusted(1, 1, -1, -1);
  if (inner.isEmpty()) return;
  const int filled = filledPixels(inner.height());
  const QColor back = backColor_.isValid() ? backColor_ : palette().color(QPalette::Button);
  p.fillRect(inner.x(), inner.y(), inner.width(), inner.height() - filled, back);
  p.fillRect(inner.x(), inner.bottom() + 1 - filled, inner.width(), filled, foreColor_);
}

}  // namespace orvel
