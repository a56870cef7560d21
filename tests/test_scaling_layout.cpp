// The oscilloscope panel's layouts: the engine-speed and lambda sides enlarged and restored in
// every order, with chart enlargements in between. The layout must depend only on which sides
// and which chart are enlarged, so every restore returns each control exactly to where it was.
#include <QtTest>

#include "monitor/DiagnosisReadout.h"
#include "monitor/OscilloscopePanel.h"
#include "monitor/PanelScaling.h"
#include "monitor/Wykresy.h"
#include "support/ProgramFixture.h"

#include <QAction>
#include <QLabel>
#include <QToolButton>

#include <map>
#include <random>

using namespace orvel;
using namespace orvel::test;

namespace {

struct ControlState {
  QRect geometry;
  bool hidden = false;
  int pointSize = 0;
  bool operator==(const ControlState& o) const {
    return geometry == o.geometry && hidden == o.hidden && pointSize == o.pointSize;
  }
};

using Snapshot = std::map<QString, ControlState>;

// Every control of the panel by name, and the panel itself.
Snapshot snapshot(QWidget* panel) {
  Snapshot s;
  s[QStringLiteral("<panel>")] = {panel->geometry(), panel->isHidden(), 0};
  for (QWidget* w : panel->findChildren<QWidget*>()) {
    if (w->objectName().isEmpty()) continue;  // parts of Qt's own widgets
    s[w->objectName()] = {w->geometry(), w->isHidden(), w->font().pointSize()};
  }
  return s;
}

QString describe(const ControlState& c) {
  return QStringLiteral("(%1,%2 %3x%4)%5 %6pt")
      .arg(c.geometry.x())
      .arg(c.geometry.y())
      .arg(c.geometry.width())
      .arg(c.geometry.height())
      .arg(c.hidden ? QStringLiteral(" hidden") : QString())
      .arg(c.pointSize);
}

// The first control that differs, for the failure message.
QString difference(const Snapshot& actual, const Snapshot& expected) {
  for (const auto& [name, state] : expected) {
    const auto it = actual.find(name);
    if (it == actual.end()) return name + QStringLiteral(" missing");
    if (!(it->second == state))
      return name + QStringLiteral(": ") + describe(it->second) + QStringLiteral(", expected ") +
             describe(state);
  }
  return actual.size() == expected.size() ? QString() : QStringLiteral("extra controls");
}

}  // namespace

class TestScalingLayout : public QObject {
  Q_OBJECT

  std::unique_ptr<ProgramFixture> f;

  OscilloscopePanel& scope() { return *f->form().findChild<OscilloscopePanel*>(); }
  QFrame* panel() { return scope().panel(); }
  QWidget* control(const QString& name) {
    QWidget* w = panel()->findChild<QWidget*>(name);
    if (!w) qFatal("no control %s", qPrintable(name));
    return w;
  }
  QRect geometry(const char* name) { return control(QLatin1String(name))->geometry(); }

  // What the fitter can do on the panel: the visible glyph buttons and double clicks on the
  // visible charts.
  QStringList possibleActions() {
    QStringList out;
    for (const char* b : {"Skalarpm", "Skalarpm1", "Skalalambda", "Skalalambda1"})
      if (!control(QLatin1String(b))->isHidden()) out << QLatin1String(b);
    for (const char* c : {"WykresLambda", "WykresTPS", "WykresPodcis"})
      if (!control(QLatin1String(c))->isHidden()) out << QLatin1String(c);
    return out;
  }
  void act(const QString& name) {
    QWidget* w = control(name);
    QVERIFY2(!w->isHidden(), qPrintable(name + QStringLiteral(" is hidden")));
    if (auto* b = qobject_cast<QToolButton*>(w)) {
      b->click();
    } else {
      QTest::mouseDClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    }
  }
  // The layout's state: which sides and which chart are enlarged.
  QString layoutState() {
    QString s = QString::number(panel()->width());
    s += control(QStringLiteral("Skalarpm1"))->isHidden() ? QStringLiteral(" rpm")
                                                          : QStringLiteral(" RPM");
    s += control(QStringLiteral("Skalalambda1"))->isHidden() ? QStringLiteral(" lambda")
                                                             : QStringLiteral(" LAMBDA");
    for (auto chart : {Wykresy::Lambda1, Wykresy::Tps, Wykresy::Lambda2})
      s += scope().charts().zoomed(chart) ? QStringLiteral(" Z") : QStringLiteral(" -");
    return s;
  }

  void startWith(const QString& windowState) {
    f = std::make_unique<ProgramFixture>();
    QStringList config = ConfigFile::templateLines();
    ConfigFile::setValue(config, ConfigFile::kWindowStateLine, windowState);
    f->writeConfig(config);
    f->start();
    panel()->show();  // the layout works the same with the mode off
  }

 private Q_SLOTS:
  void init() { startWith(QStringLiteral("wsmaximized")); }
  void cleanup() { f.reset(); }

  // Sequences that end where they began, compared control by control.
  void roundTrips_data() {
    QTest::addColumn<QStringList>("actions");
    const auto row = [](const char* name, const QString& seq) {
      QTest::newRow(name) << seq.split(QLatin1Char(','));
    };
    row("engine side", "Skalarpm,Skalarpm1");
    row("lambda side", "Skalalambda,Skalalambda1");
    row("both, restored in order", "Skalarpm,Skalalambda,Skalarpm1,Skalalambda1");
    row("both, restored crosswise", "Skalarpm,Skalalambda,Skalalambda1,Skalarpm1");
    row("lambda first, in order", "Skalalambda,Skalarpm,Skalarpm1,Skalalambda1");
    row("lambda first, crosswise", "Skalalambda,Skalarpm,Skalalambda1,Skalarpm1");
    row("each chart", "WykresLambda,WykresLambda,WykresTPS,WykresTPS,WykresPodcis,WykresPodcis");
    row("chart across the lambda side", "WykresTPS,Skalalambda,WykresTPS,Skalalambda1");
    row("side across a chart",
        "Skalalambda,WykresPodcis,Skalalambda1,Skalarpm,WykresPodcis,"
        "Skalarpm1");
    row("everything nested",
        "Skalarpm,WykresLambda,Skalalambda,Skalarpm1,WykresLambda,"
        "WykresTPS,Skalarpm,WykresTPS,Skalalambda1,Skalarpm1");
  }
  void roundTrips() {
    QFETCH(QStringList, actions);
    const Snapshot before = snapshot(panel());
    for (const QString& a : actions)
      act(a);
    const QString diff = difference(snapshot(panel()), before);
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
  }

  // A long walk through every layout in every order: each time a layout is reached, every
  // control of the panel is exactly where it was the first time.
  void layoutDependsOnlyOnItsState() {
    std::map<QString, Snapshot> seen;
    std::mt19937 random(20240611);
    for (int step = 0; step < 3000; ++step) {
      const QString state = layoutState();
      const Snapshot now = snapshot(panel());
      const auto it = seen.find(state);
      if (it == seen.end()) {
        seen[state] = now;
      } else {
        const QString diff = difference(now, it->second);
        QVERIFY2(diff.isEmpty(),
                 qPrintable(QStringLiteral("step %1, %2: %3").arg(step).arg(state, diff)));
      }
      const QStringList actions = possibleActions();
      act(actions[static_cast<int>(random() % static_cast<unsigned>(actions.size()))]);
    }
    // Two sides in two states each, times no chart or one of three enlarged.
    QCOMPARE(static_cast<int>(seen.size()), 16);
  }

  // The drive log's toggle sits beside "Koniec" and follows it: in every layout it is inside
  // the panel, shown, and clear of every other control shown. So are the diagnosis figures, at
  // their widest (in Italian), with room for every line, whenever no chart is enlarged.
  void recordToggleStaysClear() {
    f->form().findChild<QAction*>(QStringLiteral("Woski1"))->trigger();
    LiveSettings probe;
    probe.lambdaKey = QStringLiteral("255");
    scope().diagnosis().reset(probe, TpsCalibration{0, 60});
    // A probe switching every frame, idle at about 1250 ± 250 rpm, then the throttle wide open.
    for (int i = 0; i <= 150; ++i) {
      const int period = i % 2 ? 880 : 587;
      scope().diagnosis().add(Nanos(Millis(i * 20)),
                              {i % 2 * 255, i == 150 ? 255 : 0, 0, 0, 0, 0, 0},
                              engineSpeed(1100, i == 150 ? 200 : period));
    }
    QLabel* figures = scope().diagnosis().label();
    QVERIFY(figures->text().contains(QStringLiteral("giri/min\nTPS: 0.00–12.75 V\nTPS fuori")));
    std::map<QString, QRect> seen;
    std::mt19937 random(7);
    QWidget* toggle = control(QStringLiteral("BtnZapis"));
    for (int step = 0; step < 600; ++step) {
      const QString state = layoutState();
      const QRect place = toggle->geometry();
      if (!seen.count(state)) {
        seen[state] = place;
        QVERIFY2(!toggle->isHidden(), qPrintable(state));
        QVERIFY2(QRect(QPoint(0, 0), panel()->size()).contains(place), qPrintable(state));
        QCOMPARE(place.top(), geometry("Koniec").top());
        QCOMPARE(place.left(), geometry("Koniec").right() + 6);
        QVERIFY2(figures->isHidden() == state.contains(QLatin1Char('Z')), qPrintable(state));
        const QRect text = figures->geometry();
        QVERIFY2(figures->isHidden() || figures->heightForWidth(text.width()) <= text.height(),
                 qPrintable(state));
        for (QWidget* w : panel()->findChildren<QWidget*>()) {
          if (w->objectName().isEmpty() || !w->isVisibleTo(panel())) continue;
          const QRect other(w->mapTo(panel(), QPoint(0, 0)), w->size());
          for (QWidget* mine : {toggle, static_cast<QWidget*>(figures)}) {
            QVERIFY2(w == mine || mine->isHidden() || !other.intersects(mine->geometry()),
                     qPrintable(QStringLiteral("%1: %2 overlaps %3")
                                    .arg(state, mine->objectName(), w->objectName())));
          }
        }
      }
      const QStringList actions = possibleActions();
      act(actions[static_cast<int>(random() % static_cast<unsigned>(actions.size()))]);
    }
    QCOMPARE(static_cast<int>(seen.size()), 16);
  }

  void engineSideAlone() {
    const QRect chart = geometry("WykresTPS");
    act(QStringLiteral("Skalarpm"));
    QCOMPARE(panel()->width(), 566);
    QCOMPARE(geometry("Gauge1"), QRect(506, 15, 25, 135));
    QCOMPARE(geometry("Gauge2"), QRect(506, 185, 25, 135));
    QCOMPARE(geometry("WykresTPS"), chart);
    QVERIFY(control(QStringLiteral("Skalarpm"))->isHidden());
    QCOMPARE(geometry("Skalarpm1"), QRect(539, 344, 22, 17));
    // Read-outs and labels around the tall bars.
    QCOMPARE(geometry("Panelobroty").right() + 1, 506 - 25);
    QCOMPARE(geometry("Panel4").topLeft(), QPoint(506 - 25 - geometry("Panel4").width(), 200));
    QCOMPARE(geometry("Label17").top(), 152);
    QCOMPARE(geometry("Label20").top(), 322);
    QCOMPARE(geometry("Label21").top(), 170);
    for (const char* label : {"Label17", "Label18"})
      QVERIFY(std::abs(geometry(label).center().x() - geometry("Gauge1").center().x()) <= 1);
    for (const char* label : {"Label20", "Label21"})
      QVERIFY(std::abs(geometry(label).center().x() - geometry("Gauge2").center().x()) <= 1);
  }

  void lambdaSideAlone() {
    const int left = panel()->x();
    const QRect chart = geometry("WykresLambda");
    act(QStringLiteral("Skalalambda"));
    QCOMPARE(panel()->width(), 566);
    QCOMPARE(panel()->x(), left - 170);
    QCOMPARE(geometry("Panel7"), QRect(35, 17, 25, 135));
    QCOMPARE(geometry("Gauge14"), QRect(0, 112, 25, 17));
    QCOMPARE(geometry("Gauge4"), QRect(35, 185, 25, 135));
    QCOMPARE(geometry("WykresLambda"), chart.translated(170, 0));
    QCOMPARE(geometry("Koniec"), QRect(386, 248, 44, 22));
    // The compact engine-speed group keeps its place relative to the panel's right edge.
    QCOMPARE(geometry("Gauge1"), QRect(429, 287, 10, 58));
    QCOMPARE(geometry("Skalarpm").x(), 540);
    QCOMPARE(geometry("Label75").topLeft(), QPoint(70, 15));
    QCOMPARE(geometry("Panel5").topLeft(), QPoint(70, 210));
    QCOMPARE(geometry("Label73").top(), 322);
  }

  // Entering the mode with a compact panel enlarges both sides; the sides' order does not
  // change the result.
  void bothSides() {
    act(QStringLiteral("Skalalambda"));
    act(QStringLiteral("Skalarpm"));
    const Snapshot lambdaFirst = snapshot(panel());
    QCOMPARE(panel()->width(), 736);
    QCOMPARE(geometry("Gauge1"), QRect(676, 15, 25, 135));
    QCOMPARE(geometry("Skalarpm1"), QRect(709, 344, 22, 17));
    act(QStringLiteral("Skalalambda1"));
    act(QStringLiteral("Skalarpm1"));

    act(QStringLiteral("Skalarpm"));
    act(QStringLiteral("Skalalambda"));
    const QString diff = difference(snapshot(panel()), lambdaFirst);
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
  }

  // Leaving the mode keeps the layout; entering enlarges only a compact panel.
  void entryEnlargesOnlyACompactPanel() {
    auto* wykresy = f->form().findChild<QToolButton*>(QStringLiteral("Wykresy"));
    auto* koniec = control(QStringLiteral("Koniec"));
    wykresy->click();
    QCOMPARE(panel()->width(), 736);
    act(QStringLiteral("Skalarpm1"));
    static_cast<QAbstractButton*>(koniec)->click();
    wykresy->click();
    QCOMPARE(panel()->width(), 566);
    QVERIFY(!control(QStringLiteral("Skalarpm"))->isHidden());
  }

  // A chart enlarged to twice its size near 48, 39, its Y labels 40 pixels apart, 10-point
  // labels; the other charts hidden.
  void enlargedChart_data() {
    QTest::addColumn<QString>("chart");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QPoint>("place");
    QTest::newRow("Lambda 1") << "WykresLambda"
                              << "WykresLambda" << QPoint(48, 39);
    QTest::newRow("TPS") << "WykresTPS"
                         << "WykresTPS" << QPoint(46, 39);
    QTest::newRow("Lambda 2") << "WykresPodcis"
                              << "WykresPodcis" << QPoint(48, 39);
  }
  void enlargedChart() {
    QFETCH(QString, chart);
    QFETCH(QString, prefix);
    QFETCH(QPoint, place);
    act(chart);
    QCOMPARE(control(chart)->geometry(), QRect(place, QSize(308, 168)));
    for (const char* other : {"WykresLambda", "WykresTPS", "WykresPodcis"}) {
      const bool self = chart == QLatin1String(other);
      QCOMPARE(control(QLatin1String(other))->isHidden(), !self);
      QCOMPARE(control(QLatin1String(other) + QStringLiteral("X"))->isHidden(), !self);
    }
    for (int i = 1; i < 4; ++i) {
      const int gap = control(prefix + QStringLiteral("Y%1").arg(i))->y() -
                      control(prefix + QStringLiteral("Y%1").arg(i + 1))->y();
      QCOMPARE(gap, 40);
    }
    auto* y1 = static_cast<QLabel*>(control(prefix + QStringLiteral("Y1")));
    QCOMPARE(y1->font().pointSize(), 10);
    QVERIFY(y1->width() >= y1->fontMetrics().horizontalAdvance(y1->text()));
  }

  // In its normal state the main window grows and shrinks with the panel instead of cutting it
  // off; maximised, it keeps its size and the lambda side grows to the left.
  void windowFollowsThePanel() {
    startWith(QStringLiteral("wsnormal"));
    TForm1& form = f->form();
    for (const char* a : {"Skalarpm", "Skalalambda", "Skalarpm1", "Skalalambda1"}) {
      act(QLatin1String(a));
      QCOMPARE(form.frameGeometry().width(), panel()->width() + 20);
      QCOMPARE(panel()->x(), int(std::nearbyint(form.clientWidth() * 0.5)) -
                                 int(std::nearbyint(panel()->width() * 0.5)) - 5);
    }
  }

  void maximisedWindowKeepsItsSize() {
    TForm1& form = f->form();
    const QSize size = form.size();
    const int left = panel()->x();
    act(QStringLiteral("Skalalambda"));
    act(QStringLiteral("Skalarpm"));
    QCOMPARE(form.size(), size);
    QCOMPARE(panel()->x(), left - 170);
  }

  // Every caption and read-out fits its place in every layout, with the widest text it shows.
  void textsFit() {
    const std::map<QString, QString> widest{
        {QStringLiteral("Panelobroty"), QStringLiteral("10000")},
        {QStringLiteral("Panel4"), QStringLiteral("255")},
        {QStringLiteral("Panel5"), QStringLiteral("12.75")},
        {QStringLiteral("Panel6"), QStringLiteral("5.00")}};
    const auto check = [&](const QString& layout) {
      for (QLabel* l : panel()->findChildren<QLabel*>()) {
        if (l->wordWrap()) continue;  // the diagnosis figures: see recordToggleStaysClear
        const auto it = widest.find(l->objectName());
        const QString text = it != widest.end() ? it->second : l->text().trimmed();
        const int needed = l->fontMetrics().horizontalAdvance(text);
        QVERIFY2(needed <= l->contentsRect().width() + 1,
                 qPrintable(QStringLiteral("%1 in %2: '%3' needs %4, has %5")
                                .arg(l->objectName(), layout, text)
                                .arg(needed)
                                .arg(l->contentsRect().width())));
      }
    };
    check(QStringLiteral("compact"));
    act(QStringLiteral("Skalarpm"));
    act(QStringLiteral("Skalalambda"));
    check(QStringLiteral("both sides"));
    for (const char* chart : {"WykresLambda", "WykresTPS", "WykresPodcis"}) {
      act(QLatin1String(chart));
      check(QLatin1String(chart));
      act(QLatin1String(chart));
    }
  }
};

QTEST_MAIN(TestScalingLayout)
#include "test_scaling_layout.moc"
