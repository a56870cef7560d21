// The drive log viewer: its decimation keeps every peak however far it is zoomed out, its time
// axis is labelled on round clock steps, and on the whole program a recorded log opens from the
// menu with its malformed rows counted, the cursor reads each frame as the panel's read-outs
// show it when the log is replayed from the cursor (the replay counting in the log's own time),
// the chart is saved as a picture with what it shows, and an open viewer follows the language.
#include <QtTest>

#include "logview/Decimation.h"
#include "logview/LogChart.h"
#include "logview/LogViewer.h"
#include "monitor/DriveLog.h"
#include "support/ProgramFixture.h"
#include "support/ScriptedFileDialogs.h"

#include <QAction>
#include <QLabel>
#include <QLayout>
#include <QPushButton>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

using namespace orvel;
using namespace orvel::test;

namespace {

using Rows = std::vector<DriveLogRow>;

RawLiveFrame frame(int lambda, int tps, int lambda2, int period, int valveByte) {
  return {std::uint8_t(lambda),
          std::uint8_t(tps),
          7,
          std::uint8_t(lambda2),
          std::uint8_t(period & 0xFF),
          std::uint8_t(period >> 8),
          std::uint8_t(valveByte),
          1};
}

Rows rows(const LiveSettings& settings, const QList<RawLiveFrame>& frames) {
  Rows out;
  for (int i = 0; i < frames.size(); ++i)
    out.push_back({qint64(i) * 700, frames[i], settings});
  return out;
}

LiveSettings settings(const char* key, int low, int high, TpsRange tps, int reference) {
  LiveSettings s;
  s.lambdaKey = QString::fromLatin1(key);
  s.lambdaLow = low;
  s.lambdaHigh = high;
  s.tpsRange = tps;
  s.idlePeriodReference = reference;
  return s;
}

QString withoutUnit(const QString& text) {
  return text.section(QLatin1Char(' '), 0, 0);
}

}  // namespace

Q_DECLARE_METATYPE(Rows)
Q_DECLARE_METATYPE(std::vector<float>)

class TestLogView : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void decimationKeepsEveryPeak_data() {
    QTest::addColumn<std::vector<float>>("values");
    QTest::addColumn<double>("from");  // ms; samples are 20 ms apart
    QTest::addColumn<double>("to");
    QTest::addColumn<int>("columns");
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<float> flat(100000, 1.0f);

    auto spike = flat;
    spike[54321] = 9.0f;
    QTest::newRow("one-frame spike in 100,000") << spike << 0.0 << 2e6 << 500;
    auto dip = flat;
    dip[77777] = -3.0f;
    QTest::newRow("one-frame dip in 100,000") << dip << 0.0 << 2e6 << 700;
    auto edges = flat;
    edges[10000] = 5.0f;   // the first frame inside the window
    edges[60000] = -5.0f;  // the last
    QTest::newRow("peaks on the window's edges") << edges << 200000.0 << 1200000.0 << 333;
    std::vector<float> square(50000);
    for (std::size_t i = 0; i < square.size(); ++i)
      square[i] = (i / 3) % 2 ? 0.9f : 0.1f;
    QTest::newRow("switching faster than the columns") << square << 0.0 << 1e6 << 640;
    std::mt19937 random(5);
    std::vector<float> noise(80000);
    for (float& v : noise)
      v = float(random() % 1000) / 10.0f;
    QTest::newRow("noise") << noise << 0.0 << 1.6e6 << 1213;
    QTest::newRow("zoomed in: fewer frames than columns") << noise << 400000.0 << 410000.0 << 900;
    auto gaps = spike;
    for (std::size_t i = 30000; i < 40000; ++i)
      gaps[i] = nan;
    QTest::newRow("frames without a value") << gaps << 0.0 << 2e6 << 500;
  }

  void decimationKeepsEveryPeak() {
    QFETCH(std::vector<float>, values);
    QFETCH(double, from);
    QFETCH(double, to);
    QFETCH(int, columns);
    std::vector<qint64> times(values.size());
    for (std::size_t i = 0; i < times.size(); ++i)
      times[i] = qint64(i) * 20;
    const QList<QPointF> out =
        decimate(times.data(), values.data(), values.size(), from, to, columns);

    QVERIFY(out.size() <= 2 * columns + 2);
    for (int k = 1; k < out.size(); ++k)
      QVERIFY(out[k].x() > out[k - 1].x());
    const auto columnOf = [&](double ms) {
      return std::min(columns - 1, int((ms - from) * columns / (to - from)));
    };
    // Each column's lowest and highest frame is drawn, at its own time.
    std::vector<float> lo(columns, 1e9f), hi(columns, -1e9f);
    std::size_t inside = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (times[i] < from || times[i] > to || std::isnan(values[i])) continue;
      ++inside;
      const int c = columnOf(double(times[i]));
      lo[c] = std::min(lo[c], values[i]);
      hi[c] = std::max(hi[c], values[i]);
    }
    std::vector<bool> loSeen(columns), hiSeen(columns);
    for (const QPointF& p : out) {
      const double ms = p.x() * 1000.0;
      QVERIFY(!std::isnan(p.y()));
      if (ms < from || ms > to) continue;
      const int c = columnOf(ms);
      if (float(p.y()) == lo[c]) loSeen[c] = true;
      if (float(p.y()) == hi[c]) hiSeen[c] = true;
    }
    for (int c = 0; c < columns; ++c) {
      if (hi[c] < lo[c]) continue;  // nothing fell there
      QVERIFY2(loSeen[c] && hiSeen[c], qPrintable(QStringLiteral("column %1").arg(c)));
    }
    if (inside <= std::size_t(columns)) QCOMPARE(std::size_t(out.size()), inside + 2);
  }

  void cursorShowsTheReadouts_data() {
    QTest::addColumn<Rows>("log");
    QTest::addColumn<int>("start");  // the row the cursor is fixed on
    const LiveSettings probe1V = settings("51", 0, 51, TpsRange::Rising12V, 1100);
    const QList<RawLiveFrame> drive = {
        frame(5, 20, 128, 1100, 200),  frame(45, 21, 130, 1067, 180), frame(26, 60, 0, 440, 90),
        frame(51, 255, 255, 293, 0),   frame(0, 1, 64, 4400, 255),    frame(30, 20, 12, 88, 100),
        frame(12, 19, 200, 1100, 201),
    };
    QTest::newRow("0..1 V probe, idle and revving") << rows(probe1V, drive) << 0;
    QTest::newRow("replayed from the middle") << rows(probe1V, drive) << 3;
    QTest::newRow("0.8..1.6 V probe, 5 V TPS")
        << rows(settings("82", 41, 82, TpsRange::Rising5V, 1100), drive) << 1;
    QTest::newRow("interference: a period of 0 keeps the speed shown")
        << rows(probe1V, {frame(20, 20, 20, 1100, 10), frame(21, 20, 20, 0, 11),
                          frame(22, 20, 20, 0, 12), frame(23, 20, 20, 550, 13)})
        << 0;
    QTest::newRow("no engine reference: no speed")
        << rows(settings("255", 0, 255, TpsRange::Falling12V, 0), drive) << 2;
  }

  void cursorShowsTheReadouts() {
    QFETCH(Rows, log);
    QFETCH(int, start);
    ProgramFixture f;
    f.start();
    ScriptedFileDialogs dialogs;
    QDir().mkpath(DriveLog::logsFolder(f.installDir.path()));
    const QString path = DriveLog::logsFolder(f.installDir.path()) + QStringLiteral("/a.csv");
    QByteArray bytes = driveLogHeader();
    for (std::size_t i = 0; i < log.size(); ++i) {
      bytes += formatDriveLogRow(log[i]);
      if (i == 1) bytes += "1.000,800,0.45\r\n";  // cut short
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();

    dialogs.answers = {path};
    f.form().findChild<QAction*>(QStringLiteral("Przegladajzapis1"))->trigger();
    auto* viewer = f.form().findChild<LogViewer*>();
    QVERIFY(viewer && viewer->log());
    QCOMPARE(viewer->log()->rows.size(), log.size());
    QVERIFY2(viewer->statusText().endsWith(QStringLiteral("pominięte wiersze: 1")),
             qPrintable(viewer->statusText()));

    // Fixed between two frames: the frame on show then is the earlier one.
    viewer->chart().placeCursor(double(log[std::size_t(start)].timeMs) + 7, true);
    auto* replay = viewer->findChild<QPushButton*>(QStringLiteral("OdtworzStad"));
    QVERIFY(replay->isEnabled());
    replay->click();
    // Counted in the log's own time, from the frame under the cursor on.
    const auto clock = [](qint64 ms) { return QStringLiteral("0:0%1").arg(ms / 1000); };
    QCOMPARE(f.form().statusText(),
             QStringLiteral("Odtwarzanie: a.csv  %1 / %2")
                 .arg(clock(log[std::size_t(start)].timeMs), clock(log.back().timeMs)));
    QFrame* panel = f.form().findChild<QFrame*>(QStringLiteral("Panel1"));
    QVERIFY(!panel->isHidden());
    const auto shown = [panel](const char* name) {
      return panel->findChild<QLabel*>(QLatin1String(name))->text();
    };
    for (std::size_t i = std::size_t(start); i < log.size(); ++i) {
      const CursorReading c =
          cursorReading(*viewer->log(), viewer->log()->rowAt(log[i].timeMs + 699));
      const QList<QByteArray> columns = formatDriveLogRow(log[i]).trimmed().split(',');
      // The panel as the replay shows the frame, and the recorded columns.
      if (c.values[0] != QStringLiteral("—"))
        QCOMPARE(withoutUnit(c.values[0]), shown("Panelobroty"));
      QCOMPARE(withoutUnit(c.values[1]), shown("Panel6"));
      QCOMPARE(withoutUnit(c.values[2]), shown("Panel5"));
      QCOMPARE(withoutUnit(c.values[4]), shown("Panel4"));
      QCOMPARE(withoutUnit(c.values[1]), QString::fromLatin1(columns[2]));
      QCOMPARE(withoutUnit(c.values[2]), QString::fromLatin1(columns[3]));
      QCOMPARE(withoutUnit(c.values[3]), QString::fromLatin1(columns[4]));
      QCOMPARE(withoutUnit(c.values[4]), QString::fromLatin1(columns[5]));
      QCOMPARE(c.values[0] == QStringLiteral("—"), log[i].settings.idlePeriodReference == 0);
      f.timers.advanceMs(700);
    }
  }

  // An open viewer follows a change of the interface language at once, with room around its
  // buttons' captions; its picture holds the chart as on the screen, pixel for pixel, under the
  // log's name and recording time, with the figures beside it and in the PNG's text.
  void followsTheLanguageAndSavesWhatItShows() {
    ProgramFixture f;
    f.start();
    ScriptedFileDialogs dialogs;
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("2026-03-14_10-22-05.csv")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(driveLogHeader()) > 0);
    for (const DriveLogRow& row : rows(settings("51", 0, 51, TpsRange::Rising5V, 1100),
                                       QList<RawLiveFrame>(50, frame(5, 20, 9, 1000, 9))))
      file.write(formatDriveLogRow(row));
    file.close();
    dialogs.answers = {file.fileName(), dir.filePath(QStringLiteral("chart"))};
    f.form().findChild<QAction*>(QStringLiteral("Przegladajzapis1"))->trigger();
    auto* viewer = f.form().findChild<LogViewer*>();
    QVERIFY(viewer && viewer->log());
    f.form().findChild<QAction*>(QStringLiteral("Woski1"))->trigger();
    viewer->centralWidget()->layout()->activate();
    auto* replay = viewer->findChild<QPushButton*>(QStringLiteral("OdtworzStad"));
    QCOMPARE(viewer->windowTitle(),
             QStringLiteral("Visualizza registrazione – 2026-03-14_10-22-05.csv"));
    QCOMPARE(replay->text(), QStringLiteral("Riproduci da qui"));
    QVERIFY(replay->width() >= replay->fontMetrics().boundingRect(replay->text() + "MM").width());
    QVERIFY(viewer->statusText().contains(QStringLiteral("50 fotogrammi")));

    viewer->findChild<QPushButton*>(QStringLiteral("ZapiszObraz"))->click();
    const QImage saved =
        QImage(dir.filePath(QStringLiteral("chart.png"))).convertToFormat(QImage::Format_RGB32);
    const QImage chart = viewer->chart().grab().toImage().convertToFormat(QImage::Format_RGB32);
    int top = -1;
    for (int y = 0; y + chart.height() <= saved.height() && top < 0; ++y)
      if (saved.copy(0, y, chart.width(), chart.height()) == chart) top = y;
    QVERIFY2(top > 0, "the chart is not on the picture under a heading");
    // Words drawn above the chart and beside it: neither is a blank.
    for (const QRect r :
         {QRect(0, 0, saved.width(), top),
          QRect(chart.width(), top, saved.width() - chart.width(), chart.height())}) {
      QImage part = saved.copy(r), blank(r.size(), QImage::Format_RGB32);
      blank.fill(part.pixel(0, 0));
      QVERIFY(part != blank);
    }
    QCOMPARE(saved.text(QStringLiteral("Title")), QStringLiteral("2026-03-14_10-22-05.csv"));
    const QString description = saved.text(QStringLiteral("Description"));
    QVERIFY(description.contains(QStringLiteral("Registrato: 2026-03-14 10:22:05")));
  }

  // Labels about every 110 pixels on whole multiples of a step a clock is read by: an hour on
  // 700 pixels every 10 minutes, not 16:40.
  void timeTicksOnClockSteps_data() {
    QTest::addColumn<double>("spanS");
    QTest::addColumn<int>("width");
    QTest::newRow("a second") << 1.0 << 800;
    QTest::newRow("39 s") << 39.0 << 700;
    QTest::newRow("an hour") << 3600.0 << 700;
  }
  void timeTicksOnClockSteps() {
    QFETCH(double, spanS);
    QFETCH(int, width);
    const QList<double> clock{0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800};
    ParsedDriveLog parsed;
    for (const double t : {0.0, spanS})
      parsed.rows.push_back({qint64(t * 1000), frame(5, 10, 9, 1100, 9), {}});
    const LogData log = decodeDriveLog(parsed);
    LogChart chart;
    chart.setLog(&log);
    const double step = chart.tickStep(width);
    QVERIFY2(clock.contains(step), qPrintable(QString::number(step)));
    const double pixels = step * 1000 * width / chart.timeWindow().span();
    QVERIFY2(pixels >= 110 && pixels < 110 * 2.5, qPrintable(QString::number(pixels)));
    const QList<double> ticks = chart.timeTicks(width);
    QCOMPARE(ticks.size(), int(spanS / step) + 1);
  }
};

QTEST_MAIN(TestLogView)
#include "test_logview.moc"
