// Timer semantics on virtual time: window timers expire on the tick their count reaches, and the
// pacing timers tick at once after a start only when a full interval has passed since their
// previous tick.
#include "core/Dialogs.h"
#include "link/Timers.h"
#include "support/FakeTimerService.h"
#include "support/RecordingDialogs.h"

#include <QElapsedTimer>
#include <QTest>

using namespace orvel;
using orvel::test::FakeTimerService;

class TimersTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void windowTimerExpiresOnItsTick_data() {
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("ticks");
    QTest::newRow("Timer1 1.6 s") << 100 << 16;
    QTest::newRow("Timer2 0.8 s") << 50 << 16;
    QTest::newRow("Timer3 0.55 s") << 50 << 11;
    QTest::newRow("Timer4 1.1 s") << 100 << 11;
    QTest::newRow("Timer6 6.2 s") << 200 << 31;
    QTest::newRow("Timer7 0.6 s") << 200 << 3;
  }
  void windowTimerExpiresOnItsTick() {
    QFETCH(int, interval);
    QFETCH(int, ticks);
    FakeTimerService clock;
    QList<double> expiries;
    WindowTimer t(clock, interval, ticks, [&] { expiries << clock.now().count() / 1e6; });
    t.start();
    clock.advanceMs(interval * ticks - 1);
    QVERIFY(expiries.isEmpty());
    QCOMPARE(t.count(), ticks - 1);
    clock.advanceMs(1);
    QCOMPARE(expiries, QList<double>{double(interval * ticks)});
    QCOMPARE(t.count(), 0);  // set to 0 on expiry; a timer left running counts again
    clock.advanceMs(interval * ticks);
    QCOMPARE(expiries.size(), 2);
  }

  void countsAreResetOnlyWhereAsked() {
    FakeTimerService clock;
    int expired = 0;
    WindowTimer t(clock, 100, 11, [&] { ++expired; });
    t.start();
    clock.advanceMs(500);
    QCOMPARE(t.count(), 5);
    t.stop();  // stopping keeps the count
    QCOMPARE(t.count(), 5);
    t.start();
    clock.advanceMs(600);  // 6 more ticks reach 11
    QCOMPARE(expired, 1);
    t.resetCount();
    t.start();  // already running: keeps its phase, no new interval
    clock.advanceMs(1000);
    QCOMPARE(expired, 1);
    clock.advanceMs(100);
    QCOMPARE(expired, 2);
  }

  void anExpiryThatFailsIsReportedAndTheTimerGoesOn() {
    test::RecordingDialogs dialogs;
    FakeTimerService clock;
    int calls = 0;
    WindowTimer t(clock, 50, 1, [&] {
      ++calls;
      throw AppError("boom");
    });
    t.start();
    clock.advanceMs(100);
    QCOMPARE(calls, 2);
    QCOMPARE(dialogs.texts(), (QStringList{"boom.", "boom."}));
  }

  // Each row: the timer's interval and minimum gap, times (ms) at which it is started (a reply
  // handled), a blocking pause of the thread (start, length; none when empty) that makes a
  // wake-up late; expected tick times. The ticks keep their grid while replies are quick, go at
  // once after a reply handled late (the grid moves there when it was more than half a slot
  // late), and never come closer than the minimum gap.
  void pacedTimerTicks_data() {
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("gap");
    QTest::addColumn<QList<int>>("starts");
    QTest::addColumn<QList<int>>("pause");
    QTest::addColumn<QList<int>>("ticks");
    QTest::newRow("first start ticks at once")
        << 20 << 18 << QList<int>{5} << QList<int>{} << QList<int>{5};
    QTest::newRow("restart soon after a tick waits for the interval")
        << 20 << 18 << QList<int>{0, 9} << QList<int>{} << QList<int>{0, 20};
    QTest::newRow("steady loop keeps the 20 ms grid")
        << 20 << 18 << QList<int>{0, 10, 30, 50, 70} << QList<int>{}
        << QList<int>{0, 20, 40, 60, 80};
    QTest::newRow("reply 3 ms late goes at once, then the grid is caught up")
        << 20 << 18 << QList<int>{0, 10, 43, 50, 70} << QList<int>{}
        << QList<int>{0, 20, 43, 61, 80};
    QTest::newRow("reply 12 ms late moves the grid")
        << 20 << 18 << QList<int>{0, 10, 52, 60} << QList<int>{} << QList<int>{0, 20, 52, 72};
    QTest::newRow("reply long after its slot goes at once")
        << 20 << 18 << QList<int>{0, 10, 95, 100} << QList<int>{} << QList<int>{0, 20, 95, 115};
    QTest::newRow("wake-up 3 ms late delays the next tick, then the grid holds")
        << 20 << 18 << QList<int>{0, 10, 30, 50} << QList<int>{15, 8} << QList<int>{0, 23, 41, 60};
    QTest::newRow("wake-up 8 ms late: the next tick 18 ms after it, not a slot later")
        << 20 << 18 << QList<int>{0, 10, 30, 50} << QList<int>{15, 13} << QList<int>{0, 28, 46, 64};
    QTest::newRow("sample loop: never closer than 50 ms after a late wake-up")
        << 50 << 50 << QList<int>{0, 10, 60, 110} << QList<int>{45, 10}
        << QList<int>{0, 55, 105, 155};
  }
  void pacedTimerTicks() {
    QFETCH(int, interval);
    QFETCH(int, gap);
    QFETCH(QList<int>, starts);
    QFETCH(QList<int>, pause);
    QFETCH(QList<int>, ticks);
    FakeTimerService clock;
    QList<int> seen;
    PacedTimer t(clock, interval, gap, [&] {
      t.stop();  // as every handler does: one tick per start
      seen << int(clock.now().count() / 1000000);
    });
    for (int at : starts) {
      if (!pause.isEmpty() && pause[0] < at && clock.now() <= Millis(pause[0])) {
        clock.advance(Millis(pause[0]) - clock.now());
        clock.blockingPause(Millis(pause[1]));
      }
      clock.advance(Millis(at) - clock.now());
      t.start();
      clock.processDue();
    }
    clock.advanceMs(1000);
    QCOMPARE(seen, ticks);
  }

  void pacedTimerLeftRunningTicksEveryInterval() {
    FakeTimerService clock;
    int ticks = 0;
    PacedTimer t(clock, 50, 50, [&] { ++ticks; });
    t.start();
    clock.advanceMs(1000);
    QCOMPARE(ticks, 21);  // at 0, 50, ..., 1000
    t.stop();
    clock.advanceMs(1000);
    QCOMPARE(ticks, 21);
  }

  void blockingPauseDelaysTimersWithoutFiringThem() {
    FakeTimerService clock;
    int expired = 0;
    WindowTimer t(clock, 100, 2, [&] { ++expired; });
    t.start();
    clock.blockingPause(Millis(500));
    QCOMPARE(expired, 0);
    clock.processDue();
    // The missed ticks are delivered as one, like an event loop that was held up.
    QCOMPARE(t.count(), 1);
    QCOMPARE(clock.pauseCount(), 1);
  }

  void realEventLoopPacesAt20ms() {
    // A sanity check of the Qt implementation: a self-restarting loop keeps its average period
    // (generous bounds; this is not a benchmark).
    QtTimerService service;
    int ticks = 0;
    PacedTimer* self = nullptr;
    PacedTimer t(service, 20, 18, [&] {
      self->stop();
      ++ticks;
      if (ticks < 26) self->start();
    });
    self = &t;
    QElapsedTimer elapsed;
    elapsed.start();
    t.start();
    QTRY_COMPARE_WITH_TIMEOUT(ticks, 26, 5000);
    const qint64 ms = elapsed.elapsed();
    QVERIFY2(ms >= 500, qPrintable(QString::number(ms)));  // 25 intervals, never early
    QVERIFY2(ms < 1500, qPrintable(QString::number(ms)));
  }
};

QTEST_MAIN(TimersTest)
#include "test_timers.moc"
