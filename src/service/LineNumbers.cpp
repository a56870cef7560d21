#include "service/LineNumbers.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QRegularExpression>

namespace orvel {

void LineNumbers::setLineGeometry(qreal firstTop, qreal pitch) {
  if (firstTop == firstTop_ && pitch == pitch_) return;
  firstTop_ = firstTop;
  pitch_ = pitch;
  update();
}

QStringList LineNumbers::words() const {
  static const QRegularExpression blanks(QStringLiteral("\\s+"));
  return text().split(blanks, Qt::SkipEmptyParts);
}

void LineNumbers::paintEvent(QPaintEvent* event) {
  if (pitch_ <= 0) {
    QLabel::paintEvent(event);
    return;
  }
  QPainter painter(this);
  painter.setFont(font());
  painter.setPen(palette().color(foregroundRole()));
  const qreal ascent = QFontMetricsF(font()).ascent();
  const QRect area = contentsRect();
  const QStringList all = words();
  for (int k = 0; k < all.size(); ++k) {
    const qreal top = wordTop(k);
    // Only whole words: a number cut by the edge of the list would stand beside no line.
    if (top < area.top() || top + pitch_ > area.bottom() + 1) continue;
    painter.drawText(QPointF(area.left(), top + ascent), all.at(k));
  }
}

}  // namespace orvel
