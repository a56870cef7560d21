#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>

namespace orvel {

// One sweeping chart, drawn like a storage oscilloscope: each sample moves the pen two pixels to
// the right and joins it to the previous sample with a red segment, the old trace is wiped just
// ahead of the pen, and at the right edge the sweep starts again at the left without a line back.
// All drawing is in bitmap coordinates (154 x 84); the widget that shows the bitmap only
// stretches it.
class ChartPlotter {
 public:
  static constexpr int kWidth = 154;
  static constexpr int kHeight = 84;

  // The sweep record. Before the first set-up it is all zeros, which makes every sample land on
  // the (degenerate) left limit and draw nothing.
  struct Sweep {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int step = 0;
    QPoint previous;
    QPoint current;  // current.x() is the pen column of the next sample
    bool operator==(const Sweep& o) const {
      return left == o.left && top == o.top && right == o.right && bottom == o.bottom &&
             step == o.step && previous == o.previous && current == o.current;
    }
  };

  static const QRgb kWhite;
  static const QRgb kBlack;
  static const QRgb kSilver;
  static const QRgb kTrace;

  ChartPlotter();

  // The empty chart: white plot area, black frame, silver margins with the division ticks.
  static QImage blankImage();

  // The sweep starts again at the left edge. The bitmap is left as it is: the old trace stays
  // until the new sweep wipes it.
  void resetSweep();
  // One sample at pixel row `row` (0 at the top; rows outside the bitmap are clipped). Returns
  // the part of the bitmap that changed, so that only that strip needs repainting.
  QRect plot(int row);

  const QImage& image() const { return image_; }
  const Sweep& sweep() const { return sweep_; }

 private:
  void wipe(int fromColumn, int toColumn);
  void wipeAhead();
  void drawSegment();

  QImage image_;
  Sweep sweep_;
  QRect dirty_;
};

}  // namespace orvel
