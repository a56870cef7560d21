#pragma once

#include <QImage>
#include <QWidget>

namespace orvel {

// Shows a chart bitmap stretched to the control's size (the bitmap keeps its resolution when
// the chart is enlarged) and reports double clicks, which enlarge and restore the chart.
class ChartView : public QWidget {
  Q_OBJECT
 public:
  explicit ChartView(QWidget* parent = nullptr);

  // The bitmap is not copied: the plotter that owns it outlives the view's use of it, and the
  // view is told to repaint after each sample.
  void setImage(const QImage* image);
  const QImage* image() const { return image_; }
  // Repaints the part of the control that shows the given rectangle of the bitmap.
  void updateImageRect(const QRect& imageRect);

  QSize sizeHint() const override { return {154, 84}; }

 Q_SIGNALS:
  void doubleClicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  const QImage* image_ = nullptr;
};

}  // namespace orvel
