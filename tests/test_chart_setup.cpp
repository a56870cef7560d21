// The charts as the fitter sees them on entry to oscilloscope mode: Y labels by the lambda range
// key and the TPS range class, sweeps that restart while the old trace stays, zoom that
// survives leaving the mode, and the bitmap shown stretched, pixel for pixel.
#include <QtTest>

#include "monitor/ChartPlotter.h"
#include "monitor/ChartView.h"
#include "monitor/OscilloscopePanel.h"
#include "monitor/Wykresy.h"
#include "support/ProgramFixture.h"

#include <QLabel>
#include <QPushButton>
#include <QToolButton>

using namespace orvel;
using namespace orvel::test;

namespace {

QByteArray liveFrame(int b0, int b1, int b3) {
  QByteArray out;
  for (int b : {b0, b1, 0, b3, 0x4C, 0x04, 100})
    out.append(static_cast<char>(b));
  out.append('\x01');
  return out;
}

}  // namespace

class TestChartSetup : public QObject {
  Q_OBJECT

  std::unique_ptr<ProgramFixture> f;

  OscilloscopePanel& scope() { return *f->form().findChild<OscilloscopePanel*>(); }
  QWidget* control(const QString& name) { return scope().panel()->findChild<QWidget*>(name); }
  QStringList yLabels(const QString& prefix) {
    QStringList out;
    for (int i = 1; i <= 5; ++i)
      out << static_cast<QLabel*>(control(prefix + QStringLiteral("Y%1").arg(i)))->text();
    return out;
  }
  const ChartPlotter& plotter(Wykresy::Chart c) { return scope().charts().plotter(c); }
  void enter() { f->form().findChild<QToolButton*>(QStringLiteral("Wykresy"))->click(); }
  void leave() { static_cast<QPushButton*>(control(QStringLiteral("Koniec")))->click(); }
  // One answered request: the frame is shown and the next request goes out.
  void frame(int b0, int b1 = 0, int b3 = 0) {
    f->link.inject(liveFrame(b0, b1, b3));
    f->timers.advanceMs(20);
  }
  void setLambdaKey(const QString& key) { f->form().controller().szablon.setLine(33, key); }

 private Q_SLOTS:
  void init() {
    f = std::make_unique<ProgramFixture>();
    f->start();
  }
  void cleanup() { f.reset(); }

  void lambdaLabels_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("labels");
    QTest::newRow("0..1 V") << "51"
                            << QStringList{"0.00 V", "0.25 V", "0.50 V", "0.75 V", "1.00 V"};
    QTest::newRow("0.8..1.6 V") << "82" << QStringList{"0.0 V", "0.4 V", "0.8 V", "1.2 V", "1.6 V"};
    QTest::newRow("0..5 V") << "255"
                            << QStringList{"0.00 V", "1.25 V", "2.50 V", "3.75 V", "5.00 V"};
    QTest::newRow("unknown: the design's labels")
        << "0" << QStringList{"-2.0 V", "-1.6 V", "-1.2 V", "-0.8 V", "-0.4 V"};
  }
  void lambdaLabels() {
    QFETCH(QString, key);
    QFETCH(QStringList, labels);
    setLambdaKey(key);
    enter();
    QCOMPARE(yLabels(QStringLiteral("WykresLambda")), labels);
    QCOMPARE(yLabels(QStringLiteral("WykresPodcis")),
             (QStringList{"0.00 V", "1.25 V", "2.50 V", "3.75 V", "5.00 V"}));
  }

  void tpsLabels_data() {
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::addColumn<QStringList>("labels");
    const QStringList five{"0.00 V", "1.25 V", "2.50 V", "3.75 V", "5.00 V"};
    const QStringList twelve{"0.0 V", "3.0 V", "6.0 V", "9.0 V", "12 V"};
    QTest::newRow("not calibrated") << 0 << 0 << twelve;
    QTest::newRow("rising 5 V") << 10 << 100 << five;
    QTest::newRow("falling 5 V") << 100 << 10 << five;
    QTest::newRow("rising 12 V") << 10 << 200 << twelve;
  }
  void tpsLabels() {
    QFETCH(int, low);
    QFETCH(int, high);
    QFETCH(QStringList, labels);
    f->form().controller().tpsLow = low;
    f->form().controller().tpsHigh = high;
    enter();
    QCOMPARE(yLabels(QStringLiteral("WykresTPS")), labels);
  }

  // With a 5 V TPS the reading is stretched: 106 counts plot on row 2.
  void tpsRangeClassScalesTheTrace() {
    f->form().controller().tpsLow = 10;
    f->form().controller().tpsHigh = 100;
    enter();
    frame(0, 106);
    QCOMPARE(plotter(Wykresy::Tps).sweep().current.y(), 2);
  }

  // An unknown lambda key leaves the Lambda 1 chart as its previous set-up left it; the other
  // charts start a new sweep. The pictures are never cleared by an entry.
  void reentryKeepsTracesAndUnknownKeyKeepsTheSweep() {
    setLambdaKey(QStringLiteral("255"));
    enter();
    for (int i = 0; i < 10; ++i)
      frame(20 * i, 10 * i, 5 * i);
    leave();
    const QImage lambdaPicture = plotter(Wykresy::Lambda1).image();
    const QImage tpsPicture = plotter(Wykresy::Tps).image();
    QCOMPARE(plotter(Wykresy::Lambda1).sweep().current.x(), 23);

    setLambdaKey(QStringLiteral("0"));
    enter();
    QCOMPARE(yLabels(QStringLiteral("WykresLambda")),
             (QStringList{"0.00 V", "1.25 V", "2.50 V", "3.75 V", "5.00 V"}));
    QCOMPARE(plotter(Wykresy::Lambda1).sweep().current.x(), 23);
    QCOMPARE(plotter(Wykresy::Tps).sweep().current.x(), 3);
    QCOMPARE(plotter(Wykresy::Lambda2).sweep().current.x(), 3);
    QCOMPARE(plotter(Wykresy::Lambda1).image(), lambdaPicture);
    QCOMPARE(plotter(Wykresy::Tps).image(), tpsPicture);
    // With the unknown key the trace scales as a 1 V probe: 51 counts at the top.
    frame(51);
    QCOMPARE(plotter(Wykresy::Lambda1).sweep().current.y(), 2);
  }

  // Before any set-up with a known key the Lambda 1 chart draws nothing.
  void unknownKeyFromTheStartDrawsNothing() {
    setLambdaKey(QStringLiteral("0"));
    enter();
    for (int i = 0; i < 10; ++i)
      frame(200 - 10 * i);
    QCOMPARE(plotter(Wykresy::Lambda1).image(), ChartPlotter::blankImage());
    QVERIFY(plotter(Wykresy::Tps).image() != ChartPlotter::blankImage());
  }

  // An enlarged chart stays enlarged when the mode is left and entered again, and goes on
  // plotting at bitmap resolution.
  void zoomSurvivesLeavingTheMode() {
    enter();
    QTest::mouseDClick(control(QStringLiteral("WykresTPS")), Qt::LeftButton);
    QVERIFY(scope().charts().zoomed(Wykresy::Tps));
    leave();
    enter();
    QVERIFY(scope().charts().zoomed(Wykresy::Tps));
    QCOMPARE(control(QStringLiteral("WykresTPS"))->size(), QSize(308, 168));
    QVERIFY(control(QStringLiteral("WykresLambda"))->isHidden());
    frame(0, 255);
    QCOMPARE(plotter(Wykresy::Tps).image().size(), QSize(154, 84));
    QCOMPARE(plotter(Wykresy::Tps).sweep().current.x(), 5);
    // A right double click does nothing.
    QTest::mouseDClick(control(QStringLiteral("WykresTPS")), Qt::RightButton);
    QVERIFY(scope().charts().zoomed(Wykresy::Tps));
  }

  // What the control shows is the bitmap stretched pixel for pixel, compact and enlarged.
  void displayIsTheStretchedBitmap() {
    enter();
    for (int i = 0; i < 40; ++i)
      frame((i * 53) % 256, 0, (i * 29) % 256);
    auto* view = static_cast<ChartView*>(control(QStringLiteral("WykresPodcis")));
    const QImage bitmap = plotter(Wykresy::Lambda2).image();
    QCOMPARE(view->grab().toImage().convertToFormat(QImage::Format_RGB32), bitmap);
    QTest::mouseDClick(view, Qt::LeftButton);
    const QImage shown = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.size(), QSize(308, 168));
    QCOMPARE(shown, bitmap.scaled(308, 168, Qt::IgnoreAspectRatio, Qt::FastTransformation));
  }
};

QTEST_MAIN(TestChartSetup)
#include "test_chart_setup.moc"
