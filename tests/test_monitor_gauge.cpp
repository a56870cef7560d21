// The bar gauge: it clamps to its range, fills from the bottom, and repaints only when the
// filled part it shows changes.
#include <QtTest>

#include "monitor/Gauge.h"

using namespace orvel;

namespace {

class PaintCounter : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return QObject::eventFilter(watched, event);
  }
};

}  // namespace

class TestMonitorGauge : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void clamps_data() {
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("filled");                                   // of 133 inner rows
    QTest::newRow("speed within") << 0 << 8000 << 4000 << 4000 << 66;  // 66.5 to even
    QTest::newRow("speed above") << 0 << 8000 << 10000 << 8000 << 133;
    QTest::newRow("speed below") << 0 << 8000 << -5 << 0 << 0;
    QTest::newRow("valve full") << 0 << 255 << 255 << 255 << 133;
    QTest::newRow("indicator on") << 0 << 1 << 1 << 1 << 133;
    QTest::newRow("indicator, 2 clamps") << 0 << 1 << 2 << 1 << 133;
    QTest::newRow("offset range") << 41 << 82 << 10 << 41 << 0;
    QTest::newRow("empty range, at the end") << 5 << 5 << 5 << 5 << 0;
    QTest::newRow("empty range, above") << 5 << 5 << 9 << 5 << 0;
  }
  void clamps() {
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(int, value);
    QFETCH(int, shown);
    QFETCH(int, filled);
    Gauge g;
    g.setRange(minimum, maximum);
    g.setValue(value);
    QCOMPARE(g.value(), shown);
    QCOMPARE(g.filledPixels(133), filled);
  }

  // A narrower range clamps the value already set.
  void rangeChangeClamps() {
    Gauge g;
    g.setRange(0, 255);
    g.setValue(200);
    g.setMaximum(100);
    QCOMPARE(g.value(), 100);
  }

  void fillsFromTheBottom() {
    Gauge g;
    g.resize(10, 12);  // inner 8 x 10
    g.setForeColor(Qt::blue);
    g.setBackColor(Qt::red);
    g.setRange(0, 10);
    g.setValue(3);
    const QImage img = g.grab().toImage();
    QCOMPARE(QColor(img.pixel(5, 10)), QColor(Qt::blue));  // bottom inner row
    QCOMPARE(QColor(img.pixel(5, 8)), QColor(Qt::blue));   // third from the bottom
    QCOMPARE(QColor(img.pixel(5, 7)), QColor(Qt::red));
    QCOMPARE(QColor(img.pixel(5, 1)), QColor(Qt::red));
  }

  // Fifty readings a second must not cost fifty repaints when the bar does not move.
  void repaintsOnlyWhenTheFillChanges() {
    Gauge g;
    g.setRange(0, 8000);
    g.resize(25, 135);
    PaintCounter counter;
    g.installEventFilter(&counter);
    g.show();
    QVERIFY(QTest::qWaitForWindowExposed(&g));
    QCoreApplication::processEvents();
    const auto paintsAfter = [&](int value) {
      counter.paints = 0;
      g.setValue(value);
      QCoreApplication::processEvents();
      return counter.paints;
    };
    QCOMPARE(paintsAfter(800), 1);
    QCOMPARE(paintsAfter(800), 0);
    QCOMPARE(paintsAfter(810), 0);   // same row of pixels
    QCOMPARE(paintsAfter(9000), 1);  // clamped to full
    QCOMPARE(paintsAfter(10000), 0);
    QCOMPARE(paintsAfter(0), 1);
    counter.paints = 0;
    g.setForeColor(Qt::green);
    QCoreApplication::processEvents();
    QCOMPARE(counter.paints, 1);
  }
};

QTEST_MAIN(TestMonitorGauge)
#include "test_monitor_gauge.moc"
