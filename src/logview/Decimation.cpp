#include "logview/Decimation.h"

#include <algorithm>
#include <cmath>

namespace orvel {

QList<QPointF> decimate(const qint64* times, const float* values, std::size_t count, double fromMs,
                        double toMs, int columns) {
  QList<QPointF> out;
  if (count == 0 || columns <= 0 || !(toMs > fromMs)) return out;
  const qint64* end = times + count;
  // Samples inside the window, and one on each side of it.
  std::size_t lo = static_cast<std::size_t>(
      std::lower_bound(times, end, fromMs, [](qint64 t, double v) { return t < v; }) - times);
  std::size_t hi = static_cast<std::size_t>(
      std::upper_bound(times, end, toMs, [](double v, qint64 t) { return v < t; }) - times);
  if (lo > 0) --lo;
  if (hi < count) ++hi;
  const auto point = [&](std::size_t i) {
    return QPointF(static_cast<double>(times[i]) / 1000.0, static_cast<double>(values[i]));
  };

  if (hi - lo <= static_cast<std::size_t>(2 * columns) + 2) {
    out.reserve(static_cast<qsizetype>(hi - lo));
    for (std::size_t i = lo; i < hi; ++i)
      if (!std::isnan(values[i])) out.append(point(i));
    return out;
  }

  out.reserve(2 * columns + 4);
  const double perColumn = static_cast<double>(columns) / (toMs - fromMs);
  std::size_t i = lo;
  if (static_cast<double>(times[i]) < fromMs) {
    if (!std::isnan(values[i])) out.append(point(i));
    ++i;
  }
  std::size_t last = hi;
  if (last > i && static_cast<double>(times[last - 1]) > toMs) --last;
  while (i < last) {
    const int column = std::min(
        columns - 1, static_cast<int>((static_cast<double>(times[i]) - fromMs) * perColumn));
    std::size_t minAt = count, maxAt = count;
    for (; i < last; ++i) {
      const int c = std::min(
          columns - 1, static_cast<int>((static_cast<double>(times[i]) - fromMs) * perColumn));
      if (c != column) break;
      const float v = values[i];
      if (std::isnan(v)) continue;
      if (minAt == count || v < values[minAt]) minAt = i;
      if (maxAt == count || v > values[maxAt]) maxAt = i;
    }
    if (minAt == count) continue;
    out.append(point(std::min(minAt, maxAt)));
    if (minAt != maxAt) out.append(point(std::max(minAt, maxAt)));
  }
  if (last < hi && !std::isnan(values[last])) out.append(point(last));
  return out;
}

void TimeWindow::setExtent(double firstMs, double lastMs) {
  first_ = firstMs;
  last_ = std::max(lastMs, firstMs + kMinimumSpanMs);
  showAll();
}

void TimeWindow::showAll() {
  from_ = first_;
  to_ = last_;
}

void TimeWindow::zoom(double anchorMs, double factor) {
  const double full = last_ - first_;
  const double span = std::clamp(this->span() * factor, std::min(kMinimumSpanMs, full), full);
  const double share = this->span() > 0 ? (anchorMs - from_) / this->span() : 0.5;
  from_ = anchorMs - share * span;
  to_ = from_ + span;
  clamp();
}

void TimeWindow::pan(double deltaMs) {
  from_ += deltaMs;
  to_ += deltaMs;
  clamp();
}

void TimeWindow::clamp() {
  const double span = std::min(this->span(), last_ - first_);
  if (from_ < first_) from_ = first_;
  if (from_ + span > last_) from_ = last_ - span;
  to_ = from_ + span;
}

}  // namespace orvel
