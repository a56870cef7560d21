#include "settings/ShapePictogram.h"

#include "settings/Conversions.h"

#include <QPainter>
#include <QPolygon>

namespace orvel {

namespace {

constexpr int kLow = 19;
constexpr int kHigh = 1;
constexpr int kLeft = 1;
constexpr int kRight = 49;
constexpr int kPeriodPixels = 25;

}  // namespace

QImage blankShapePictogram() {
  QImage image(kShapePictogramWidth, kShapePictogramHeight, QImage::Format_RGB32);
  image.fill(Qt::white);
  return image;
}

void drawShapePictogram(QImage& image, long long high, long long low) {
  QPainter painter(&image);
  // A cosmetic one-pixel pen without antialiasing puts every line on whole pixels, end points
  // included.
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.fillRect(QRect(0, 0, 51, 20), Qt::white);
  painter.setPen(QPen(QColor(255, 0, 0), 0));

  const long long period = high + low;
  if (high == 0 || period == 0) {
    painter.drawLine(kLeft, kLow, kRight, kLow);
  } else if (high == period) {
    painter.drawLine(kLeft, kHigh, kRight, kHigh);
  } else {
    const int g = static_cast<int>(
        roundHalfEven(static_cast<double>(high) * kPeriodPixels / static_cast<double>(period)));
    QPolygon wave;
    wave << QPoint(kLeft, kLow) << QPoint(kLeft, kHigh) << QPoint(g + 1, kHigh)
         << QPoint(g + 1, kLow) << QPoint(kLeft + kPeriodPixels, kLow)
         << QPoint(kLeft + kPeriodPixels, kHigh) << QPoint(g + 1 + kPeriodPixels, kHigh)
         << QPoint(g + 1 + kPeriodPixels, kLow) << QPoint(kRight, kLow);
    painter.drawPolyline(wave);
  }
}

QImage pulsePicture() {
  QImage image(64, 34, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QPen(Qt::black, 0));
  // One period: low lead-in, high for TH, low for TL.
  const int low = 30;
  const int high = 16;
  QPolygon pulse;
  pulse << QPoint(1, low) << QPoint(8, low) << QPoint(8, high) << QPoint(30, high)
        << QPoint(30, low) << QPoint(62, low);
  painter.drawPolyline(pulse);
  QFont font = painter.font();
  font.setPixelSize(10);
  painter.setFont(font);
  painter.drawText(QRect(8, 2, 22, 13), Qt::AlignCenter, QStringLiteral("TH"));
  painter.drawText(QRect(30, 16, 32, 13), Qt::AlignCenter, QStringLiteral("TL"));
  return image;
}

}  // namespace orvel
