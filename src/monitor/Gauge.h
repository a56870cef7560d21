#pragma once

#include <QColor>
#include <QWidget>

namespace orvel {

// A vertical bar that fills from the bottom in proportion to its value within [minimum,
// maximum]. It carries no text: the numbers sit in read-outs next to it. The value is clamped to
// the range (the read-outs show what was measured, the bar only how far it got), and the bar
// repaints only when the filled part it shows changes, so a live loop that sets the same reading
// fifty times a second costs no painting.
class Gauge : public QWidget {
  Q_OBJECT
  Q_PROPERTY(int value READ value WRITE setValue)
  Q_PROPERTY(int minimum READ minimum WRITE setMinimum)
  Q_PROPERTY(int maximum READ maximum WRITE setMaximum)
  Q_PROPERTY(QColor foreColor READ foreColor WRITE setForeColor)
  // An invalid colour stands for the palette's button face.
  Q_PROPERTY(QColor backColor READ backColor WRITE setBackColor)

 public:
  explicit Gauge(QWidget* parent = nullptr);

  int value() const { return value_; }
  int minimum() const { return minimum_; }
  int maximum() const { return maximum_; }
  QColor foreColor() const { return foreColor_; }
  QColor backColor() const { return backColor_; }

  void setValue(int value);
  void setMinimum(int minimum);
  void setMaximum(int maximum);
  // Both ends at once, so that no intermediate range clamps the value on the way.
  void setRange(int minimum, int maximum);
  void setForeColor(const QColor& color);
  void setBackColor(const QColor& color);

  // Filled fraction of the range, 0..1.
  double fraction() const;
  // Height in pixels of the filled part for a bar whose inner height is innerHeight.
  int filledPixels(int innerHeight) const;

  QSize sizeHint() const override { return {25, 100}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int clamp(int value) const;
  int innerHeight() const { return height() - 2; }
  // Sets the state through `change` and repaints if what the bar shows moved.
  template <typename Change>
  void changeShown(Change change);

  int value_ = 0;
  int minimum_ = 0;
  int maximum_ = 100;
  QColor foreColor_{Qt::black};
  QColor backColor_;
};

}  // namespace orvel
