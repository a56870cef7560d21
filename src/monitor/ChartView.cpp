#include "monitor/ChartView.h"

#include <QMouseEvent>
#include <QPainter>

namespace orvel {

ChartView::ChartView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void ChartView::setImage(const QImage* image) {
  image_ = image;
  update();
}

void ChartView::updateImageRect(const QRect& imageRect) {
  if (!image_ || image_->isNull()) return;
  // Widget pixels [floor(x * w / W), ceil((x + 1) * w / W)) show bitmap column x; the same for
  // rows.
  const int iw = image_->width();
  const int ih = image_->height();
  const int x0 = imageRect.left() * width() / iw;
  const int y0 = imageRect.top() * height() / ih;
  const int x1 = ((imageRect.right() + 1) * width() + iw - 1) / iw;
  const int y1 = ((imageRect.bottom() + 1) * height() + ih - 1) / ih;
  update(QRect(QPoint(x0, y0), QPoint(x1 - 1, y1 - 1)));
}

void ChartView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (!image_) {
    p.fillRect(rect(), palette().color(QPalette::Button));
    return;
  }
  // Nearest-pixel stretching: an enlarged chart shows its bitmap's pixels, not a blur of them.
  p.setRenderHint(QPainter::SmoothPixmapTransform, false);
  p.drawImage(rect(), *image_);
}

void ChartView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    Q_EMIT doubleClicked();
    event->accept();
    return;
  }
  QWidget::mouseDoubleClickEvent(event);
}

}  // namespace orvel
