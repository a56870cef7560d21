// The sweeping chart bitmap checked pixel by pixel: the empty chart, the first samples of a
// sweep, the wrap from column 153 back to column 3, rows outside the bitmap and the wipe ahead of
// the pen over an old trace.
#include <QtTest>

#include "monitor/ChartPlotter.h"

using namespace orvel;

namespace {

constexpr QRgb W = qRgb(255, 255, 255);
constexpr QRgb B = qRgb(0, 0, 0);
constexpr QRgb S = qRgb(192, 192, 192);
constexpr QRgb R = qRgb(255, 0, 0);

// The empty chart as described to the fitter: a white plot area in a black frame, silver margins
// at the left and bottom with ticks every 20 rows and every 30 columns.
QRgb blankPixel(int x, int y) {
  if (y == 0 || y == 81) return B;
  if (x == 2 || x == 153) return B;
  if (x >= 3 && x <= 152 && y >= 1 && y <= 80) return W;
  if (x <= 1 && y <= 81) return (y == 21 || y == 41 || y == 61) ? B : S;
  return (x == 33 || x == 63 || x == 93 || x == 123) ? B : S;
}

QImage blank() {
  QImage img(ChartPlotter::kWidth, ChartPlotter::kHeight, QImage::Format_RGB32);
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      img.setPixel(x, y, blankPixel(x, y));
  return img;
}

// Compares every pixel and names the first that differs.
bool samePixels(const QImage& actual, const QImage& expected, QString* where) {
  if (actual.size() != expected.size()) {
    *where = QStringLiteral("size differs");
    return false;
  }
  for (int y = 0; y < expected.height(); ++y) {
    for (int x = 0; x < expected.width(); ++x) {
      if (actual.pixel(x, y) != expected.pixel(x, y)) {
        *where = QStringLiteral("pixel (%1, %2): %3, expected %4")
                     .arg(x)
                     .arg(y)
                     .arg(actual.pixel(x, y) & 0xFFFFFF, 6, 16, QLatin1Char('0'))
                     .arg(expected.pixel(x, y) & 0xFFFFFF, 6, 16, QLatin1Char('0'));
        return false;
      }
    }
  }
  return true;
}

#define COMPARE_PIXELS(actual, expected)                                 \
  do {                                                                   \
    QString where_;                                                      \
    QVERIFY2(samePixels(actual, expected, &where_), qPrintable(where_)); \
  } while (false)

void paint(QImage& img, int x, int y, QRgb c) {
  if (x >= 0 && x < img.width() && y >= 0 && y < img.height()) img.setPixel(x, y, c);
}

QList<QPoint> redPixels(const QImage& img, int fromX, int toX) {
  QList<QPoint> out;
  for (int x = fromX; x <= toX; ++x)
    for (int y = 0; y < img.height(); ++y)
      if (img.pixel(x, y) == R) out << QPoint(x, y);
  return out;
}

}  // namespace

class TestChartPlotter : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void emptyChart() {
    ChartPlotter p;
    COMPARE_PIXELS(p.image(), blank());
    COMPARE_PIXELS(ChartPlotter::blankImage(), blank());
  }

  // Before its first set-up a chart's sweep is all zeros: samples go nowhere and draw nothing.
  void unsetChartDrawsNothing() {
    ChartPlotter p;
    for (int row : {40, 2, 80, -100, 500})
      QVERIFY(p.plot(row).isEmpty());
    COMPARE_PIXELS(p.image(), blank());
    QCOMPARE(p.sweep().current.x(), 0);
  }

  // The first sample only wipes columns 3..5; the second draws the first segment, which leaves
  // out its end point (the next segment starts there).
  void firstSamplesOfASweep() {
    ChartPlotter p;
    p.resetSweep();
    p.plot(40);
    COMPARE_PIXELS(p.image(), blank());
    QCOMPARE(p.sweep().current.x(), 5);

    p.plot(40);
    QImage expected = blank();
    paint(expected, 3, 40, R);
    paint(expected, 4, 40, R);
    COMPARE_PIXELS(p.image(), expected);

    // A 45-degree step and a steep one.
    p.plot(42);
    paint(expected, 5, 40, R);
    paint(expected, 6, 41, R);
    COMPARE_PIXELS(p.image(), expected);
    QCOMPARE(p.sweep().previous, QPoint(7, 42));
    QCOMPARE(p.sweep().current.x(), 9);
  }

  // Whatever the slope, a segment is one connected run of pixels from the previous point up to
  // (not including) the current one, within the two columns it spans.
  void segmentsAreConnected_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::newRow("steep up") << 70 << 10;
    QTest::newRow("steep down") << 10 << 70;
    QTest::newRow("one row") << 30 << 31;
    QTest::newRow("full height") << 80 << 2;
    QTest::newRow("flat") << 50 << 50;
  }
  void segmentsAreConnected() {
    QFETCH(int, from);
    QFETCH(int, to);
    ChartPlotter p;
    p.resetSweep();
    p.plot(from);
    p.plot(to);
    const QList<QPoint> red = redPixels(p.image(), 0, ChartPlotter::kWidth - 1);
    QVERIFY(red.contains(QPoint(3, from)));
    QVERIFY(!red.contains(QPoint(5, to)));
    // One pixel per row passed (steep) or per column (flat), none outside the box.
    QCOMPARE(red.size(), std::max(std::abs(to - from), 2));
    for (const QPoint& q : red) {
      QVERIFY(q.x() >= 3 && q.x() <= 5);
      QVERIFY(q.y() >= std::min(from, to) && q.y() <= std::max(from, to));
    }
    // 8-connected: every pixel but the first touches another one.
    for (const QPoint& q : red) {
      if (q == QPoint(3, from)) continue;
      const bool touches = std::any_of(red.begin(), red.end(), [&](const QPoint& o) {
        return o != q && std::abs(o.x() - q.x()) <= 1 && std::abs(o.y() - q.y()) <= 1;
      });
      QVERIFY2(touches, qPrintable(QStringLiteral("(%1, %2)").arg(q.x()).arg(q.y())));
    }
  }

  // Samples 1..76 land on columns 3, 5, ..., 153; the 76th draws up to column 153 (the frame
  // column itself stays black); the 77th starts again at column 3 without a line back.
  void wrapFrom153To3() {
    ChartPlotter p;
    p.resetSweep();
    for (int i = 0; i < 75; ++i)
      p.plot(30);
    QCOMPARE(p.sweep().current.x(), 153);
    p.plot(30);
    QCOMPARE(p.sweep().current.x(), 3);

    QImage expected = blank();
    for (int x = 3; x <= 152; ++x)
      paint(expected, x, 30, R);
    COMPARE_PIXELS(p.image(), expected);

    p.plot(60);
    for (int x = 3; x <= 5; ++x)
      paint(expected, x, 30, W);
    COMPARE_PIXELS(p.image(), expected);
    QCOMPARE(p.sweep().current.x(), 5);

    p.plot(60);
    paint(expected, 3, 60, R);
    paint(expected, 4, 60, R);
    // Wiping ahead of the pen clears columns 5..9.
    for (int x = 5; x <= 9; ++x)
      paint(expected, x, 30, W);
    COMPARE_PIXELS(p.image(), expected);
  }

  // Over an old trace, the pen wipes five columns ahead, four before the last two columns, and
  // none for the last two: the frame column 153 is never wiped and row 1 never is either.
  void wipeAheadOverAnOldTrace() {
    ChartPlotter p;
    p.resetSweep();
    for (int i = 0; i < 76; ++i)
      p.plot(i % 2 ? 1 : 80);  // a saw-tooth over the whole height, row 1 included
    const QImage old = p.image();
    p.resetSweep();
    for (int i = 0; i < 74; ++i)
      p.plot(40);
    // Pen now at 151: columns up to 152 are wiped, then redrawn flat at row 40.
    QImage expected = old;
    for (int x = 3; x <= 152; ++x) {
      for (int y = 2; y <= 80; ++y)
        paint(expected, x, y, W);
    }
    for (int x = 3; x <= 148; ++x)
      paint(expected, x, 40, R);
    COMPARE_PIXELS(p.image(), expected);
    // The two last samples draw without wiping.
    p.plot(40);
    p.plot(40);
    for (int x = 149; x <= 152; ++x)
      paint(expected, x, 40, R);
    COMPARE_PIXELS(p.image(), expected);
    // Steep segments into column 153 mark the frame column; as it is never wiped, those marks
    // stay (the expected image carries them over from the old sweep).
    QVERIFY(!redPixels(old, 153, 153).isEmpty());
  }

  // Rows outside the bitmap leave only their visible part; rows far off neither hang nor crash.
  void rowsOutsideTheBitmap_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("topmostRed");
    // A segment leaves out its end point, so a segment ending on the frame row paints up to row 1.
    QTest::newRow("1 V probe at 2 V (row -76)") << -76 << 0;
    QTest::newRow("value 264: just above") << -1 << 0;
    QTest::newRow("value 262: frame row") << 0 << 1;
    QTest::newRow("far above") << -2000000000 << 0;
  }
  void rowsOutsideTheBitmap() {
    QFETCH(int, row);
    QFETCH(int, topmostRed);
    ChartPlotter p;
    p.resetSweep();
    p.plot(80);
    p.plot(row);
    const QList<QPoint> red = redPixels(p.image(), 0, ChartPlotter::kWidth - 1);
    QVERIFY(!red.isEmpty());
    int top = ChartPlotter::kHeight;
    for (const QPoint& q : red) {
      top = std::min(top, q.y());
      QVERIFY(q.x() >= 3 && q.x() <= 5);
    }
    QCOMPARE(top, topmostRed);
    // The run is unbroken from row 80 up to the edge: one pixel per row.
    for (int y = top; y <= 80; ++y) {
      QVERIFY2(std::any_of(red.begin(), red.end(), [y](const QPoint& q) { return q.y() == y; }),
               qPrintable(QString::number(y)));
    }
    // The next segment starts from the clipped-off point and comes back into view.
    p.plot(40);
    const QList<QPoint> next = redPixels(p.image(), 5, 7);
    QVERIFY(std::any_of(next.begin(), next.end(), [](const QPoint& q) { return q.y() == 39; }));
  }

  void rowsBelowTheBitmap() {
    ChartPlotter p;
    p.resetSweep();
    p.plot(40);
    p.plot(2000000000);
    // Down through the frame row and the margin: the bitmap clips, nothing else does.
    const QList<QPoint> red = redPixels(p.image(), 3, 5);
    QCOMPARE(red.count(), ChartPlotter::kHeight - 40);
    QVERIFY(red.contains(QPoint(3, 81)));
    QVERIFY(red.contains(QPoint(3, 83)));
  }

  // A new set-up starts a sweep at the left but keeps the picture.
  void resetKeepsTheTrace() {
    ChartPlotter p;
    p.resetSweep();
    for (int i = 0; i < 30; ++i)
      p.plot(20);
    const QImage before = p.image();
    p.resetSweep();
    QCOMPARE(p.sweep().current, QPoint(3, 1));
    QCOMPARE(p.sweep().previous, QPoint(3, 1));
    QCOMPARE(p.image(), before);
  }

  // The changed strip that is repainted covers every pixel that changed.
  void dirtyRectCoversTheChange() {
    ChartPlotter p;
    p.resetSweep();
    QImage previous = p.image();
    for (int i = 0; i < 200; ++i) {
      const QRect dirty = p.plot((i * 37) % 120 - 20);
      const QImage now = p.image();
      for (int y = 0; y < now.height(); ++y)
        for (int x = 0; x < now.width(); ++x)
          if (now.pixel(x, y) != previous.pixel(x, y)) QVERIFY(dirty.contains(x, y));
      previous = now;
    }
  }
};

QTEST_GUILESS_MAIN(TestChartPlotter)
#include "test_chart_plotter.moc"
