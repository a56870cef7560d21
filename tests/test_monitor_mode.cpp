// Oscilloscope mode on the whole program with a scripted controller and virtual time: entering,
// pausing, resuming and leaving, the live loop's pacing and watchdog, every byte value of a live
// frame as the fitter sees it, Enter as the panel's default button, and F5 out of and back into
// the mode.
#include <QtTest>

#include "monitor/ChartPlotter.h"
#include "monitor/DiagnosisReadout.h"
#include "monitor/DriveLog.h"
#include "monitor/Gauge.h"
#include "monitor/OscilloscopePanel.h"
#include "monitor/Wykresy.h"
#include "settings/TEdytuj_dane.h"
#include "support/LiveFrameController.h"
#include "support/ProgramFixture.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

using namespace orvel;
using namespace orvel::test;

Q_DECLARE_METATYPE(orvel::Language)

class TestMonitorMode : public QObject {
  Q_OBJECT

  std::unique_ptr<ProgramFixture> f;

  TForm1& form() { return f->form(); }
  LinkControl& link() { return f->control(); }
  OscilloscopePanel& scope() { return *form().findChild<OscilloscopePanel*>(); }
  QFrame* panel() { return scope().panel(); }
  template <typename T = QWidget>
  T* control(const char* name) {
    T* w = panel()->findChild<T*>(QLatin1String(name));
    if (!w) qFatal("no control %s", name);
    return w;
  }
  QString text(const char* name) { return control<QLabel>(name)->text(); }
  int gauge(const char* name) { return control<Gauge>(name)->value(); }
  QAction* action(const char* name) { return form().findChild<QAction*>(QLatin1String(name)); }
  QToolButton* toolButton(const char* name) {
    return form().findChild<QToolButton*>(QLatin1String(name));
  }
  int requests() { return static_cast<int>(f->link.written().count('\x02')); }
  QString litIndicator() {
    QString lit;
    for (int k = 7; k <= 14; ++k) {
      const QString name = QStringLiteral("Gauge%1").arg(k);
      if (panel()->findChild<Gauge*>(name)->value() == 1) lit += name;
    }
    return lit;
  }
  int lastRow(Wykresy::Chart chart) { return scope().charts().plotter(chart).sweep().current.y(); }
  void advanceMs(double ms) { f->timers.advanceMs(ms); }
  void enter() { toolButton("Wykresy")->click(); }
  // The main commands' enabled states as one string, F5..F8 then the menu items.
  QString commandStates() {
    QString s;
    for (const char* b : {"SpeedButton3", "SpeedButton4", "Wykresy", "SpeedButton14"})
      s += toolButton(b)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    s += QLatin1Char(' ');
    for (const char* a :
         {"Zmianaparametrwpracy1", "Autokalibracja1", "Tryboscyloskopu1", "SkalowanieobrotwPB1"})
      s += action(a)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    return s;
  }

 private Q_SLOTS:
  void init() {
    f = std::make_unique<ProgramFixture>();
    f->start();
  }
  void cleanup() { f.reset(); }

  void enterSetsUpTheMode_data() {
    QTest::addColumn<Language>("language");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("pause");
    QTest::newRow("Polish") << Language::Polish << "Tryb oscyloskopu"
                            << "Pauza";
    QTest::newRow("Italian") << Language::Italian << "Stato Osciloscopo"
                             << "Pausa";
    QTest::newRow("English has the second wording") << Language::English << "Stato Osciloscopo"
                                                    << "Pausa";
  }
  void enterSetsUpTheMode() {
    QFETCH(Language, language);
    QFETCH(QString, status);
    QFETCH(QString, pause);
    form().selectLanguage(language);
    const int centredLeft =
        int(std::nearbyint(form().clientWidth() / 2.0)) - int(std::nearbyint(396 / 2.0));

    action("Tryboscyloskopu1")->trigger();

    QCOMPARE(form().statusText(), status);
    QCOMPARE(control<QPushButton>("BtnPauza")->text(), pause);
    QCOMPARE(commandStates(), QStringLiteral("1100 1100"));
    QVERIFY(!panel()->isHidden());
    QVERIFY(link().oscilloscopeMode);
    QVERIFY(!link().sweepPaused);
    QCOMPARE(f->link.written(), QByteArray("\x02"));
    QVERIFY(link().Timer2.isRunning());
    // A compact panel comes up with both sides enlarged, widened to the left.
    QCOMPARE(panel()->width(), 736);
    QCOMPARE(panel()->x(), centredLeft - 170);
    QVERIFY(!control("Skalarpm1")->isHidden());
    QVERIFY(!control("Skalalambda1")->isHidden());
  }

  void pauseAndResume_data() {
    QTest::addColumn<Language>("language");
    QTest::addColumn<QString>("resumeCaption");
    QTest::addColumn<QString>("pausedStatus");
    QTest::addColumn<QString>("pauseCaption");
    QTest::addColumn<QString>("runningStatus");
    QTest::newRow("Polish") << Language::Polish << "Dalej"
                            << "Przebiegi zatrzymane"
                            << "Pauza"
                            << "Tryb oscyloskopu";
    QTest::newRow("Italian") << Language::Italian << "Next"
                             << "Pausa osciloscopo"
                             << "Pausa"
                             << "Stato Osciloscopo";
  }
  void pauseAndResume() {
    QFETCH(Language, language);
    QFETCH(QString, resumeCaption);
    QFETCH(QString, pausedStatus);
    QFETCH(QString, pauseCaption);
    QFETCH(QString, runningStatus);
    form().selectLanguage(language);
    LiveFrameController controller(*f);
    enter();
    // Requests on the 20 ms grid from the first one; the one at 100 ms is answered at 109.4.
    advanceMs(105);
    const int before = requests();
    QCOMPARE(before, 6);

    // Paused with a request in flight: its reply is still shown, then the loop rests.
    controller.setFrame({102, 40, 0, 0, 0x4C, 0x04, 100});
    control<QPushButton>("BtnPauza")->click();
    QCOMPARE(control<QPushButton>("BtnPauza")->text(), resumeCaption);
    QCOMPARE(form().statusText(), pausedStatus);
    QVERIFY(link().sweepPaused);
    advanceMs(508);
    QCOMPARE(requests(), before);
    QCOMPARE(text("Panel6"), QStringLiteral("2.00"));
    QCOMPARE(text("Panel4"), QStringLiteral("155"));
    QVERIFY(!link().Timer2.isRunning());

    control<QPushButton>("BtnPauza")->click();
    QCOMPARE(control<QPushButton>("BtnPauza")->text(), pauseCaption);
    QCOMPARE(form().statusText(), runningStatus);
    f->timers.processDue();
    QCOMPARE(requests(), before + 1);  // its slot has gone: at once, and the grid follows
    advanceMs(15);
    QCOMPARE(requests(), before + 1);
    advanceMs(100);
    QCOMPARE(requests(), before + 6);
  }

  // One request every 20 ms from the first while the controller answers within that time; each
  // answer moves every chart's pen by two columns, and the
  // sweep wraps after 76 samples.
  void loopPacing() {
    LiveFrameController controller(*f);
    enter();
    advanceMs(1000);
    QCOMPARE(requests(), 51);
    const auto& log = f->link.writeLog();
    for (std::size_t i = 1; i < log.size(); ++i)
      QCOMPARE((log[i].at - log[i - 1].at).count(), 20'000'000LL);
    for (int second = 0; second < 3; ++second) {
      for (auto chart : {Wykresy::Lambda1, Wykresy::Tps, Wykresy::Lambda2}) {
        QCOMPARE(scope().charts().plotter(chart).sweep().current.x(),
                 3 + 2 * (controller.replies % 76));
      }
      advanceMs(1000);
    }
    QVERIFY(controller.replies > 150);
  }

  // Every byte at 0 and at 255, with and without an idle period reference. The baseline frame
  // (800 rpm, 1 V lambda, 1 V TPS, valve 55) is shown first, so "unchanged" is visible.
  void everyByteValue_data() {
    QTest::addColumn<int>("reference");
    QTest::addColumn<QList<int>>("frame");
    QTest::addColumn<QString>("lambda");
    QTest::addColumn<QString>("lit");
    QTest::addColumn<int>("lambdaRow");
    QTest::addColumn<QString>("tps");
    QTest::addColumn<int>("tpsBar");
    QTest::addColumn<int>("tpsRow");
    QTest::addColumn<int>("lambda2Row");
    QTest::addColumn<QString>("rpmText");
    QTest::addColumn<int>("rpmBar");
    QTest::addColumn<QString>("valve");
    QTest::addColumn<int>("valveBar");
    QTest::addColumn<bool>("message");

    const auto with = [](int pos, int value) {
      QList<int> frame = kBaseline;
      frame[pos] = value;
      return frame;
    };
    for (int reference : {1100, 0}) {
      // The speed display: what the baseline left, or nothing when no reference is known.
      const QString base = reference ? QStringLiteral("800") : QStringLiteral("0");
      const int baseBar = reference ? 800 : 0;
      const auto row = [&](const char* name) {
        QTestData& data = QTest::addRow("%s, %s", name, reference ? "reference" : "no reference");
        data << reference;
        return &data;
      };
      *row("baseline") << kBaseline << "1.00"
                       << "Gauge7" << 2 << "1.00" << 20 << 74 << 41 << base << baseBar << "55" << 55
                       << false;
      *row("lambda 0") << with(0, 0) << "0.00"
                       << "Gauge14" << 80 << "1.00" << 20 << 74 << 41 << base << baseBar << "55"
                       << 55 << false;
      *row("lambda 255") << with(0, 255) << "5.00"
                         << "Gauge7" << -310 << "1.00" << 20 << 74 << 41 << base << baseBar << "55"
                         << 55 << false;
      *row("TPS 0") << with(1, 0) << "1.00"
                    << "Gauge7" << 2 << "0.00" << 0 << 80 << 41 << base << baseBar << "55" << 55
                    << false;
      *row("TPS 255") << with(1, 255) << "1.00"
                      << "Gauge7" << 2 << "12.75" << 255 << 2 << 41 << base << baseBar << "55" << 55
                      << false;
      for (int gas : {0, 255}) {
        *row(gas ? "gas 255" : "gas 0")
            << with(2, gas) << "1.00"
            << "Gauge7" << 2 << "1.00" << 20 << 74 << 41 << base << baseBar << "55" << 55 << false;
      }
      *row("vacuum 0") << with(3, 0) << "1.00"
                       << "Gauge7" << 2 << "1.00" << 20 << 74 << 80 << base << baseBar << "55" << 55
                       << false;
      *row("vacuum 255") << with(3, 255) << "1.00"
                         << "Gauge7" << 2 << "1.00" << 20 << 74 << 2 << base << baseBar << "55"
                         << 55 << false;
      // Period 0400h: 859 rpm, read-out 850. Period 04FFh: 688 rpm, read-out 700.
      *row("period low byte 0") << with(4, 0) << "1.00"
                                << "Gauge7" << 2 << "1.00" << 20 << 74 << 41
                                << (reference ? "850" : "0") << (reference ? 859 : 0) << "55" << 55
                                << false;
      *row("period low byte 255") << with(4, 255) << "1.00"
                                  << "Gauge7" << 2 << "1.00" << 20 << 74 << 41
                                  << (reference ? "700" : "0") << (reference ? 688 : 0) << "55"
                                  << 55 << false;
      // Period 004Ch: 11579 rpm, the bar full. Period FF4Ch: 13 rpm, a standstill.
      *row("period high byte 0") << with(5, 0) << "1.00"
                                 << "Gauge7" << 2 << "1.00" << 20 << 74 << 41
                                 << (reference ? "11600" : "0") << (reference ? 8000 : 0) << "55"
                                 << 55 << false;
      *row("period high byte 255")
          << with(5, 255) << "1.00"
          << "Gauge7" << 2 << "1.00" << 20 << 74 << 41 << "0" << 0 << "55" << 55 << false;
      *row("valve byte 0: fully open")
          << with(6, 0) << "1.00"
          << "Gauge7" << 2 << "1.00" << 20 << 74 << 41 << base << baseBar << "255" << 255 << false;
      *row("valve byte 255: closed")
          << with(6, 255) << "1.00"
          << "Gauge7" << 2 << "1.00" << 20 << 74 << 41 << base << baseBar << "0" << 0 << false;
      // Period 0: interference; everything else of the frame is still shown.
      *row("period 0") << QList<int>{0, 255, 7, 0, 0, 0, 0} << "0.00"
                       << "Gauge14" << 80 << "12.75" << 255 << 2 << 80 << base << baseBar << "255"
                       << 255 << (reference != 0);
      *row("period 1") << QList<int>{255, 0, 7, 255, 1, 0, 255} << "5.00"
                       << "Gauge7" << -310 << "0.00" << 0 << 80 << 2 << (reference ? "880000" : "0")
                       << (reference ? 8000 : 0) << "0" << 0 << false;
    }
  }
  void everyByteValue() {
    QFETCH(int, reference);
    QFETCH(QList<int>, frame);
    form().controller().idlePeriodReference = reference;
    enter();
    f->link.inject(liveFrame(kBaseline));
    advanceMs(20);
    QCOMPARE(requests(), 2);
    f->link.inject(liveFrame(frame));
    // A period past double or half the baseline's is no step an engine takes between two
    // frames: it shows once the next frame confirms it.
    const int period = frame[4] + 256 * frame[5];
    const bool jump = period != 0 && (period > 2 * 1100 || 2 * period < 1100);
    if (jump) {
      advanceMs(20);
      f->link.inject(liveFrame(frame));
    }

    QTEST(text("Panel6"), "lambda");
    QTEST(litIndicator(), "lit");
    QTEST(lastRow(Wykresy::Lambda1), "lambdaRow");
    QTEST(text("Panel5"), "tps");
    QTEST(gauge("Gauge4"), "tpsBar");
    QTEST(lastRow(Wykresy::Tps), "tpsRow");
    QTEST(lastRow(Wykresy::Lambda2), "lambda2Row");
    QTEST(text("Panelobroty"), "rpmText");
    QTEST(gauge("Gauge1"), "rpmBar");
    QTEST(text("Panel4"), "valve");
    QTEST(gauge("Gauge2"), "valveBar");
    QFETCH(bool, message);
    f->timers.processDue();  // the box opens once the frame's dispatch is over
    if (message) {
      QCOMPARE(f->dialogs.boxes.size(), 1);
      QCOMPARE(f->dialogs.boxes[0].text,
               QStringLiteral("Pojawiły się zakłócenia\r\npodczas czytania obrotów. "
                              "Powtórz czytanie."));
      QCOMPARE(f->dialogs.boxes[0].title, QStringLiteral("Uwaga"));
    } else {
      QVERIFY(f->dialogs.boxes.isEmpty());
    }
    // The loop goes on after every frame, the message box included.
    advanceMs(20);
    QCOMPARE(requests(), jump ? 4 : 3);
  }

  // The interference message is Polish and titled "Uwaga" in every language.
  void interferenceMessageInEveryLanguage() {
    for (Language language : {Language::Italian, Language::English}) {
      form().selectLanguage(language);
      form().controller().idlePeriodReference = 1100;
      enter();
      f->link.inject(liveFrame({51, 20, 7, 128, 0, 0, 200}));
      f->timers.processDue();
      QCOMPARE(f->dialogs.boxes.last().title, QStringLiteral("Uwaga"));
      QVERIFY(f->dialogs.boxes.last().text.startsWith(QStringLiteral("Pojawiły się")));
      control<QPushButton>("Koniec")->click();
    }
  }

  // Eight bytes that are no whole frame, or look whole only by chance, are not shown, charted,
  // recorded or taken into the figures; they are counted, and the loop keeps to its grid rather
  // than waiting for the watchdog.
  void brokenFrameIsDropped_data() {
    QTest::addColumn<QList<int>>("reply");
    QTest::newRow("a stray byte ahead") << QList<int>{0xFF, 102, 40, 7, 128, 0x4C, 0x04, 200};
    QTest::newRow("the closing byte flipped") << QList<int>{102, 40, 7, 128, 0x4C, 0x04, 200, 0x81};
    QTest::newRow("two stray bytes, period 0") << QList<int>{0xFF, 0xFF, 102, 40, 7, 128, 0, 0};
    QTest::newRow("two stray bytes, 01h last by chance")
        << QList<int>{0xFF, 0xFF, 102, 40, 7, 128, 0x25, 0x01};
  }
  void brokenFrameIsDropped() {
    QFETCH(QList<int>, reply);
    form().controller().idlePeriodReference = 1100;
    enter();
    control<QPushButton>("BtnZapis")->click();
    auto* driveLog = form().findChild<DriveLog*>();
    f->link.inject(liveFrame(kBaseline));
    advanceMs(20);
    QByteArray broken;
    for (int b : reply)
      broken.append(char(b));
    f->link.inject(broken);
    advanceMs(20);
    f->link.inject(liveFrame(kBaseline));
    f->timers.processDue();
    QCOMPARE(scope().charts().plotter(Wykresy::Tps).sweep().current.x(), 7);
    QCOMPARE(driveLog->recorder().rowsWritten(), 2);
    QVERIFY(f->dialogs.boxes.isEmpty());
    const Diagnosis d = scope().diagnosis().current();
    QCOMPARE(d.frames, 2);
    QCOMPARE(d.dropped, 1);
    QCOMPARE(d.tpsMax, 20);
    advanceMs(20);
    QCOMPARE(requests(), 4);
    control<QPushButton>("BtnZapis")->click();
  }

  // Frames with a period of 0 keep coming while the fitter reads the box: one box at a time,
  // and the live loop goes on behind it at its full rate.
  void interferenceBoxNeverStallsTheLoop() {
    form().controller().idlePeriodReference = 1100;
    LiveFrameController controller(*f, {{51, 20, 7, 128, 0, 0, 200}});
    int open = 0, mostOpen = 0;
    QList<int> requestsWhileOpen;
    f->dialogs.onMessage = [&](const RecordingDialogs::Box&) {
      mostOpen = std::max(mostOpen, ++open);
      const int before = requests();
      advanceMs(1000);  // the fitter reads it for a second
      requestsWhileOpen << requests() - before;
      --open;
    };
    enter();
    advanceMs(2500);
    f->dialogs.onMessage = nullptr;
    QCOMPARE(mostOpen, 1);
    QCOMPARE(requestsWhileOpen, (QList<int>{50, 50, 50}));
    QCOMPARE(text("Panel6"), QStringLiteral("1.00"));  // the rest of each frame is shown
    // The rate the fitter sees at the status bar's end, gone with the mode.
    auto* rate = form().findChild<QLabel*>(QStringLiteral("StatusLinkRate"));
    QCOMPARE(rate->text(), QStringLiteral("Łącze: 50 klatek/s, odrzucone: 0"));
    control<QPushButton>("Koniec")->click();
    QVERIFY(rate->isHidden());
  }

  // Bytes of one frame arriving one by one, and a ninth stray byte: the frame is shown once.
  void frameInPieces() {
    enter();
    QByteArray frame = liveFrame({102, 40, 0, 0, 0, 0, 100});
    for (int i = 0; i < 7; ++i)
      f->link.inject(frame.mid(i, 1));
    QCOMPARE(text("Panel6"), QStringLiteral("0"));
    f->link.inject(frame.mid(7) + QByteArray("\x55"));
    QCOMPARE(text("Panel6"), QStringLiteral("2.00"));
    QCOMPARE(scope().charts().plotter(Wykresy::Lambda1).sweep().current.x(), 5);
  }

  // A frame that arrives after the watchdog gave up on it is still its request's reply and is
  // shown; the loop rests all the same and polls again when the rest is over.
  void frameAfterTheWatchdogIsStillShown() {
    enter();
    advanceMs(799);
    QCOMPARE(form().statusText(), QStringLiteral("Tryb oscyloskopu"));
    advanceMs(1);
    QCOMPARE(form().statusText(), QString());
    QVERIFY(link().sweepPaused);
    advanceMs(100);
    f->link.inject(liveFrame({102, 40, 0, 0, 0, 0, 100}));
    QCOMPARE(text("Panel6"), QStringLiteral("2.00"));
    advanceMs(449);
    QCOMPARE(requests(), 1);
    advanceMs(1);  // 1.35 s after the request
    QCOMPARE(requests(), 2);
    QCOMPARE(form().statusText(), QStringLiteral("Tryb oscyloskopu"));
    QVERIFY(!link().sweepPaused);
  }

  // A silent controller: a request every 0.8 + 0.55 s, the status text empty during each rest.
  // The rest also ends a pause the fitter made meanwhile, without touching the button's caption.
  void watchdogPausesAndResumes() {
    enter();
    advanceMs(10'000);
    const auto& log = f->link.writeLog();
    QCOMPARE(static_cast<int>(log.size()), 8);
    for (std::size_t i = 1; i < log.size(); ++i)
      QCOMPARE((log[i].at - log[i - 1].at).count(), 1'350'000'000LL);
    QCOMPARE(form().statusText(),
             QStringLiteral("Tryb oscyloskopu"));  // since the rest's end at 9.45 s
    advanceMs(330);
    QCOMPARE(form().statusText(), QString());  // inside the rest
    QCOMPARE(control<QPushButton>("BtnPauza")->text(), QStringLiteral("Pauza"));

    f->link.clearWritten();
    advanceMs(560);  // the request at 10.8 s
    control<QPushButton>("BtnPauza")->click();
    QCOMPARE(form().statusText(), QStringLiteral("Przebiegi zatrzymane"));
    advanceMs(1400);
    QCOMPARE(f->link.written().count('\x02'), 2);
    QCOMPARE(control<QPushButton>("BtnPauza")->text(), QStringLiteral("Dalej"));
    QCOMPARE(form().statusText(), QStringLiteral("Tryb oscyloskopu"));
  }

  void leaveRestoresTheWindow_data() {
    QTest::addColumn<double>("leaveAfterMs");
    QTest::addColumn<bool>("answering");
    QTest::newRow("request in flight") << 5.0 << true;
    QTest::newRow("between frames") << 25.0 << true;
    QTest::newRow("waiting for the watchdog") << 500.0 << false;
    QTest::newRow("resting after a missed frame") << 1000.0 << false;
  }
  void leaveRestoresTheWindow() {
    QFETCH(double, leaveAfterMs);
    QFETCH(bool, answering);
    LiveFrameController controller(*f);
    controller.answering = answering;
    enter();
    advanceMs(leaveAfterMs);
    control<QPushButton>("Koniec")->click();

    QCOMPARE(commandStates(), QStringLiteral("1111 1111"));
    QVERIFY(panel()->isHidden());
    QVERIFY(!link().oscilloscopeMode);
    QVERIFY(link().sweepPaused);
    QVERIFY(!link().Timer2.isRunning());
    QVERIFY(!link().Timer3.isRunning());
    QCOMPARE(link().Timer2.count(), 0);
    QCOMPARE(link().Timer3.count(), 0);
    QCOMPARE(form().statusText(), QString());
    QCOMPARE(control<QPushButton>("BtnPauza")->text(), QStringLiteral("Dalej"));
    QCOMPARE(link().EditDane.storedBytes(), 0);
    // Nothing more goes out, whatever was pending; a late reply is not shown.
    const int sent = requests();
    const QString shown = text("Panel6");
    controller.setFrame({255, 0, 0, 0, 0, 0, 0});
    advanceMs(5000);
    QCOMPARE(requests(), sent);
    QCOMPARE(text("Panel6"), shown);
    QCOMPARE(form().statusText(), QString());
  }

  // In and out many times, at every phase of the loop: each entry sends exactly one request at
  // once, each exit stops the loop, and the panel comes back in the same place and layout.
  void enterAndLeaveManyTimes() {
    LiveFrameController controller(*f);
    enter();
    const QRect geometry = panel()->geometry();
    control<QPushButton>("Koniec")->click();
    for (int i = 0; i < 60; ++i) {
      controller.answering = i % 5 != 4;
      f->link.clearWritten();
      enter();
      QCOMPARE(requests(), 1);
      QCOMPARE(panel()->geometry(), geometry);
      QCOMPARE(scope().charts().plotter(Wykresy::Lambda2).sweep().current.x(), 3);
      const long long stayUs = 3000 + i * 7300;  // 3 ms .. 433.7 ms
      advanceMs(stayUs / 1000.0);
      // Requests every 20 ms from the first.
      const int expected = controller.answering ? 1 + int(stayUs / 20000) : 1;
      QCOMPARE(requests(), expected);
      control<QPushButton>("Koniec")->click();
      advanceMs(2000);
      QCOMPARE(requests(), expected);
      QCOMPARE(commandStates(), QStringLiteral("1111 1111"));
    }
    QVERIFY(f->dialogs.boxes.isEmpty());
  }

  void lambdaBarRange_data() {
    QTest::addColumn<QString>("minimum");
    QTest::addColumn<QString>("maximum");
    QTest::addColumn<int>("range");
    QTest::newRow("template defaults") << "0"
                                       << "51" << 51;
    QTest::newRow("0.8..1.6 V probe") << "41"
                                      << "82" << 41;
    QTest::newRow("reversed probe") << "255"
                                    << "0" << 255;
    QTest::newRow("same text keeps the previous range") << "51"
                                                        << "51" << 255;
    QTest::newRow("same number, other text") << "51"
                                             << "051" << 0;
  }
  void lambdaBarRange() {
    QFETCH(QString, minimum);
    QFETCH(QString, maximum);
    QFETCH(int, range);
    form().controller().szablon.setLine(31, minimum);
    form().controller().szablon.setLine(33, maximum);
    enter();
    QCOMPARE(scope().lambdaBarRange(), range);
    QCOMPARE(scope().liveSettings().lambdaBarRange, range);
    if (minimum != maximum)
      QCOMPARE(control<Gauge>("Gauge6")->minimum(), std::min(minimum.toInt(), maximum.toInt()));
  }

  void lambdaBarRangeIsKeptFromTheLastEntry() {
    form().controller().szablon.setLine(31, QStringLiteral("41"));
    form().controller().szablon.setLine(33, QStringLiteral("82"));
    enter();
    control<QPushButton>("Koniec")->click();
    form().controller().szablon.setLine(31, QStringLiteral("7"));
    form().controller().szablon.setLine(33, QStringLiteral("7"));
    enter();
    QCOMPARE(scope().lambdaBarRange(), 41);
  }

  // A template line that is not a number ends the entry with the standard error box, naming
  // what the line may hold.
  void lambdaBarRangeNotANumber() {
    form().controller().szablon.setLine(33, QStringLiteral("x1"));
    enter();
    QCOMPARE(f->dialogs.boxes.size(), 1);
    QCOMPARE(f->dialogs.boxes[0].icon, MessageIcon::Error);
    QVERIFY(f->dialogs.boxes[0].text.contains(QStringLiteral("0...255")));
  }

  // "Koniec" is the panel's default button: Enter on the main window ends the mode, a focused
  // panel button takes Enter for itself, and other windows keep their Enter.
  void enterKeyEndsTheMode_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("ends");
    QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier) << true;
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << true;
    QTest::newRow("Ctrl+Return is not Enter")
        << int(Qt::Key_Return) << int(Qt::ControlModifier) << false;
    QTest::newRow("Space") << int(Qt::Key_Space) << int(Qt::NoModifier) << false;
  }
  void enterKeyEndsTheMode() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, ends);
    enter();
    QTest::keyClick(&form(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(panel()->isHidden(), ends);
    QCOMPARE(link().oscilloscopeMode, !ends);
  }

  void enterKeyElsewhere() {
    // With the panel hidden Enter does nothing.
    QTest::keyClick(&form(), Qt::Key_Return);
    QCOMPARE(commandStates(), QStringLiteral("1111 1111"));
    QVERIFY(f->link.written().isEmpty());

    enter();
    // Another window's Enter is its own.
    QTest::keyClick(&f->program->editor(), Qt::Key_Return);
    QVERIFY(!panel()->isHidden());
    // A focused panel button takes Enter: the pause button pauses instead of ending the mode.
    QTest::keyClick(control<QPushButton>("BtnPauza"), Qt::Key_Return);
    QVERIFY(!panel()->isHidden());
    QCOMPARE(control<QPushButton>("BtnPauza")->text(), QStringLiteral("Dalej"));
    QTest::keyClick(control<QPushButton>("Koniec"), Qt::Key_Enter, Qt::KeypadModifier);
    QVERIFY(panel()->isHidden());
  }

  // Without an idle period reference the speed read-out keeps what it showed and the status bar
  // says the speed is unknown and how to get it, until the mode ends.
  void unknownSpeedIsSaid() {
    LiveFrameController controller(*f);
    enter();
    advanceMs(50);
    auto* hint = form().findChild<QLabel*>(QStringLiteral("StatusPanel1"));
    QCOMPARE(hint->text(), speedUnknownHint());
    QCOMPARE(text("Panelobroty"), QStringLiteral("0"));
    control<QPushButton>("Koniec")->click();
    QCOMPARE(hint->text(), QString());
  }

  // F5 in the mode: the settings exchange ends the mode, runs with the commands disabled, and
  // the mode starts again when the editor closes.
  void settingsExchangeFromTheMode() {
    form().controller().idlePeriodReference = 1100;
    LiveFrameController controller(*f);
    enter();
    advanceMs(50);
    const int before = requests();
    QCOMPARE(before, 3);

    action("Zmianaparametrwpracy1")->trigger();
    QVERIFY(panel()->isHidden());
    QVERIFY(!link().oscilloscopeMode);
    QVERIFY(link().resumeOscilloscope);
    QCOMPARE(commandStates(), QStringLiteral("0000 0000"));
    QCOMPARE(form().statusText(), QStringLiteral("Podawanie parametrów"));
    QVERIFY(f->link.written().endsWith('\xAA'));

    // The controller answers AAh, 1.1 s later comes 09h, then the 37-byte block.
    controller.answering = false;
    f->link.inject({0x01});
    advanceMs(1100);
    QVERIFY(f->link.written().endsWith('\x09'));
    QByteArray block(37, '\0');
    block[32] = 0x4C;
    block[33] = 0x04;
    block[36] = 0x01;
    f->answerReadOut(block);
    QVERIFY(f->program->editor().isVisible());
    advanceMs(2000);
    QCOMPARE(requests(), before);  // no live frames while the editor is open

    controller.answering = true;
    f->link.clearWritten();
    f->program->editor().close();
    const QByteArray after = f->link.written();
    QVERIFY2(after.startsWith('\x0A') && after.endsWith('\x02'), qPrintable(after.toHex()));
    QVERIFY(!panel()->isHidden());
    QVERIFY(link().oscilloscopeMode);
    QVERIFY(!link().resumeOscilloscope);
    QCOMPARE(form().statusText(), QStringLiteral("Tryb oscyloskopu"));
    QCOMPARE(commandStates(), QStringLiteral("1100 1100"));
    QCOMPARE(panel()->width(), 736);
    advanceMs(100);
    QCOMPARE(f->link.written().count('\x02'), 6);
    QCOMPARE(text("Panelobroty"), QStringLiteral("800"));
  }
};

QTEST_MAIN(TestMonitorMode)
#include "test_monitor_mode.moc"
