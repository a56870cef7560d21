#include "monitor/ChartPlotter.h"

#include <algorithm>
#include <cstdlib>

namespace orvel {

const QRgb ChartPlotter::kWhite = qRgb(255, 255, 255);
const QRgb ChartPlotter::kBlack = qRgb(0, 0, 0);
const QRgb ChartPlotter::kSilver = qRgb(192, 192, 192);
const QRgb ChartPlotter::kTrace = qRgb(255, 0, 0);

namespace {

constexpr int kLeftLimit = 3;
constexpr int kTopLimit = 1;
constexpr int kRightLimit = 153;
constexpr int kBottomLimit = 81;
constexpr int kStep = 2;
constexpr int kFarRows = 4096;

}  // namespace

ChartPlotter::ChartPlotter() : image_(blankImage()) {}

QImage ChartPlotter::blankImage() {
  QImage img(kWidth, kHeight, QImage::Format_RGB32);
  img.fill(kSilver);
  // Plot area.
  for (int y = 1; y <= 80; ++y)
    for (int x = 3; x <= 152; ++x)
      img.setPixel(x, y, kWhite);
  // Frame: rows 0 and 81 over the full width, column 2 and column 153 over the full height.
  for (int x = 0; x < kWidth; ++x) {
    img.setPixel(x, 0, kBlack);
    img.setPixel(x, 81, kBlack);
  }
  for (int y = 0; y < kHeight; ++y) {
    img.setPixel(2, y, kBlack);
    img.setPixel(153, y, kBlack);
  }
  // Ticks in the margins: four vertical divisions of 20 rows, five horizontal ones of 30
  // columns (15 samples each).
  for (int y : {21, 41, 61}) {
    img.setPixel(0, y, kBlack);
    img.setPixel(1, y, kBlack);
  }
  for (int x : {33, 63, 93, 123}) {
    img.setPixel(x, 82, kBlack);
    img.setPixel(x, 83, kBlack);
  }
  return img;
}

void ChartPlotter::resetSweep() {
  sweep_.left = kLeftLimit;
  sweep_.top = kTopLimit;
  sweep_.right = kRightLimit;
  sweep_.bottom = kBottomLimit;
  sweep_.step = kStep;
  sweep_.previous = QPoint(kLeftLimit, kTopLimit);
  sweep_.current = QPoint(kLeftLimit, kTopLimit);
}

QRect ChartPlotter::plot(int row) {
  dirty_ = QRect();
  // Chart values are bytes scaled by at most 5, so rows stay within a few hundred pixels. Rows
  // beyond this bound are brought in: the visible part of a two-column segment is the same, and
  // the line walk stays short and free of overflow whatever the caller passes.
  row = std::clamp(row, -kFarRows, kHeight + kFarRows);
  Sweep& s = sweep_;
  QPoint& cur = s.current;
  if (cur.x() == s.left) {
    // Start of a sweep: no line from where the previous sweep ended.
    cur.setY(row);
    s.previous = cur;
    wipe(cur.x(), cur.x() + s.step);
    drawSegment();
    cur.rx() += s.step;
    return dirty_;
  }
  if (cur.x() == s.right) {
    cur.setY(row);
    drawSegment();
    cur.setX(s.left);
  }
  if (cur.x() == s.right - s.step) {
    // The last columns are drawn without wiping, so the frame column is never touched.
    cur.setY(row);
    drawSegment();
    s.previous = cur;
    cur.rx() += s.step;
  } else if (s.left < cur.x() && cur.x() < s.right - s.step) {
    cur.setY(row);
    wipeAhead();
    drawSegment();
    s.previous = cur;
    cur.rx() += s.step;
  }
  return dirty_;
}

void ChartPlotter::wipeAhead() {
  const Sweep& s = sweep_;
  const int x = s.current.x();
  const int last = x == s.right - 2 * s.step ? x + 2 * s.step - 1 : x + 2 * s.step;
  wipe(x, last);
}

void ChartPlotter::wipe(int fromColumn, int toColumn) {
  // The plot area has no grid, so filling the rows between the limits with white gives the same
  // picture as whitening only the pixels that are not white.
  const int x0 = std::max(fromColumn, 0);
  const int x1 = std::min(toColumn, kWidth - 1);
  const int y0 = std::max(sweep_.top + 1, 0);
  const int y1 = std::min(sweep_.bottom - 1, kHeight - 1);
  if (x0 > x1 || y0 > y1) return;
  dirty_ |= QRect(QPoint(x0, y0), QPoint(x1, y1));
  for (int y = y0; y <= y1; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image_.scanLine(y));
    std::fill(line + x0, line + x1 + 1, kWhite);
  }
}

void ChartPlotter::drawSegment() {
  // A line from the previous to the current point that leaves out its end point (the next
  // segment starts there), clipped to the bitmap pixel by pixel so that rows far outside still
  // leave their visible part. Integer Bresenham: the same pixels on every platform.
  int x = sweep_.previous.x();
  int y = sweep_.previous.y();
  const int x1 = sweep_.current.x();
  const int y1 = sweep_.current.y();
  const int dx = std::abs(x1 - x);
  const int dy = -std::abs(y1 - y);
  const int sx = x < x1 ? 1 : -1;
  const int sy = y < y1 ? 1 : -1;
  int err = dx + dy;
  while (x != x1 || y != y1) {
    if (x >= 0 && x < kWidth && y >= 0 && y < kHeight) {
      reinterpret_cast<QRgb*>(image_.scanLine(y))[x] = kTrace;
      dirty_ |= QRect(x, y, 1, 1);
    }
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

}  // namespace orvel
