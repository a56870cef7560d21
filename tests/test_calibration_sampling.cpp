// The calibration's sampling runs and the rpm scaling on the whole program, on virtual time:
// averages growing by tenths, rounding, the silent, short, stray and failing controller, a run
// started again, what reaches the live display, and F5 to F8 in every order while they run.
#include "calibration/SampleRun.h"
#include "monitor/OscilloscopePanel.h"
#include "settings/TEdytuj_dane.h"
#include "support/CalibrationRig.h"
#include "ui_Panel1.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

using namespace orvel;
using namespace orvel::test;

Q_DECLARE_METATYPE(orvel::Language)

namespace {

const QString kNotOnPl = QStringLiteral(
    "Sterownik nie został włączony.\r\nWłącz sterownik i spróbuj "
    "ponownie");

const QString kRefusedPl = QStringLiteral("Zakłócenia na linii: pomiar nieudany.");

ScriptedController::Frame idleFrame(int tps, int period) {
  return {23, tps, 140, 185, period & 0xFF, period >> 8, 200};
}

}  // namespace

class TestCalibrationSampling : public QObject {
  Q_OBJECT

  std::unique_ptr<CalibrationRig> r;

  QString tpsLowText() { return r->panel().summaryValue(SummaryLine::TpsLow)->text(); }
  OscilloscopePanel& scope() { return *r->form().findChild<OscilloscopePanel*>(); }

  // A sampling run fed reply by reply, one token each: G the engine at idle (TPS 10, period
  // 1100, valve 200), at 3000 rpm (TPS 60, period 293) for a high run; Tn, Pn, Vn the same with
  // TPS, period or valve n; S a stray byte ahead of it, S1 the same with valve byte 01h, F8 and
  // F3 with the period's bit 8 or TPS's bit 3 flipped.
  static void columns() {
    QTest::addColumn<bool>("high");
    QTest::addColumn<QString>("replies");  // then the engine's own frames
    QTest::addColumn<int>("kept");         // TPS high or the idle period reference; -1 refused
    QTest::addColumn<int>("requests");     // from the step's OK on
    QTest::addColumn<QString>("box");
  }
  void checkRun() {
    QFETCH(bool, high);
    QFETCH(QString, replies);
    QFETCH(int, kept);
    r->controller->frame = idleFrame(10, 1100);
    r->walkTo(high ? 3 : 2);
    r->controller->frame = high ? idleFrame(60, 293) : idleFrame(10, 1100);
    for (const QString& token : replies.split(' ')) {
      ScriptedController::Frame f = r->controller->frame;
      const int n = token.mid(1).toInt();
      if (token[0] == 'T' || token == "F3") f[1] = token == "F3" ? f[1] ^ 8 : n;
      if (token[0] == 'P') f = idleFrame(f[1], n);
      if (token[0] == 'V') f[6] = n;
      if (token == "F8") f[5] ^= 1;
      if (token == "S1") f[6] = 1;
      QByteArray reply = token[0] == 'S' ? QByteArray("\xFF") : QByteArray();
      for (int b : f)
        reply.append(char(b));
      r->controller->rawReplies << reply.append('\x01').left(8);
    }
    const int before = r->requests();
    r->press();
    r->advanceMs(5000);
    QTEST(r->requests() - before, "requests");
    QTEST(r->f.dialogs.texts().value(0), "box");
    const ControllerState& s = r->form().controller();
    if (kept < 0) {
      QCOMPARE(r->commands().filter(QRegularExpression("^1F")).size(), high ? 1 : 0);
      return;
    }
    QCOMPARE(high ? s.tpsHigh : s.idlePeriodReference, kept);
    if (!high)
      QCOMPARE(r->commands().last(), QString::asprintf("1F %02X %02X", kept & 0xFF, kept >> 8));
  }
  bool scopeShown() { return !scope().panel()->isHidden(); }
  bool wizardShown() { return !r->panel().panel()->isHidden(); }

 private Q_SLOTS:
  void init() { r = std::make_unique<CalibrationRig>(); }
  void cleanup() { r.reset(); }

  // With the divisor always ten, the idle TPS shown grows by a tenth of its value per frame.
  void idleRunGrowsByTenths() {
    r->controller->frame = idleFrame(40, 1100);
    r->walkTo(2);
    r->press();
    QStringList shown;
    for (int ms = 0; ms < 1000; ++ms) {
      r->advanceMs(1);
      if (shown.isEmpty() || shown.last() != tpsLowText()) shown << tpsLowText();
    }
    QCOMPARE(shown, (QStringList{"...........", "0.20", "0.40", "0.60", "0.80", "1.00", "1.20",
                                 "1.40", "1.60", "1.80", "2.00"}));
    QCOMPARE(r->panel().summaryValue(SummaryLine::LambdaLow)->text(), QString("0.00"));
    QCOMPARE(r->wizard().step(), 3);
    QCOMPARE(r->form().controller().idlePeriodReference, 1100);
    QCOMPARE(r->form().controller().szablon.line(26), QString("1100"));
    QCOMPARE(r->commands().last(), QString("1F 4C 04"));
    // Ten samples, then one more request whose reply changes nothing.
    QCOMPARE(r->requests(), 11);
    QCOMPARE(r->link().samplesRemaining, 0);
    // That request waits for nothing: silence now is no fault in the middle of the wizard.
    r->controller->silent = true;
    r->advanceMs(2000);
    QCOMPARE(r->requests(), 11);
    QCOMPARE(r->commands().last(), QString("1F 4C 04"));
    QVERIFY(r->f.dialogs.boxes.isEmpty());
    QCOMPARE(r->commandStates(), QString("0000 0000"));
  }

  void averagesRoundHalfToEven_data() {
    QTest::addColumn<bool>("high");
    QTest::addColumn<QList<int>>("tps");
    QTest::addColumn<QList<int>>("periods");
    QTest::addColumn<int>("average");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("reference");
    const QList<int> steady(10, 1100);
    QTest::newRow("idle TPS 405 -> 40")
        << false << QList<int>{40, 40, 40, 40, 40, 41, 41, 41, 41, 41} << steady << 40 << "2.00"
        << 1100;
    QTest::newRow("idle TPS 415 -> 42")
        << false << QList<int>{41, 41, 41, 41, 41, 42, 42, 42, 42, 42} << steady << 42 << "2.10"
        << 1100;
    QTest::newRow("periods 11005 -> 1100")
        << false << QList<int>(10, 20)
        << QList<int>{1100, 1100, 1100, 1100, 1100, 1101, 1101, 1101, 1101, 1101} << 20 << "1.00"
        << 1100;
    QTest::newRow("periods 11015 -> 1102")
        << false << QList<int>(10, 20)
        << QList<int>{1101, 1101, 1101, 1101, 1101, 1102, 1102, 1102, 1102, 1102} << 20 << "1.00"
        << 1102;
    QTest::newRow("TPS 229 shown exactly")
        << false << QList<int>(10, 229) << steady << 229 << "11.45" << 1100;
    QTest::newRow("high TPS 405 -> 40")
        << true << QList<int>{40, 40, 40, 40, 40, 41, 41, 41, 41, 41} << steady << 40 << "2.00"
        << 1100;
    QTest::newRow("high TPS 255") << true << QList<int>(10, 255) << steady << 255 << "12.75"
                                  << 1100;
  }
  void averagesRoundHalfToEven() {
    QFETCH(bool, high);
    QFETCH(QList<int>, tps);
    QFETCH(QList<int>, periods);
    QFETCH(int, average);
    QFETCH(QString, text);
    QFETCH(int, reference);
    r->controller->frame = idleFrame(10, 1100);
    r->walkTo(high ? 3 : 2);
    for (int k = 0; k < 10; ++k)
      r->controller->queued << idleFrame(tps[k], periods[k]);
    r->press();
    r->advanceMs(1000);
    const ControllerState& s = r->form().controller();
    QCOMPARE(high ? s.tpsHigh : s.tpsLow, average);
    QCOMPARE(r->panel().summaryValue(high ? SummaryLine::TpsHigh : SummaryLine::TpsLow)->text(),
             text);
    QCOMPARE(s.szablon.line(high ? 37 : 35), QString::number(average));
    QCOMPARE(s.idlePeriodReference, reference);
    QCOMPARE(r->wizard().step(), high ? 4 : 3);
  }

  // No byte within 1.6 s: the fitter is told, the commands come back, the run stays where it
  // was, and the step's OK starts it again from ten.
  void silentControllerTimesOut_data() {
    QTest::addColumn<Language>("language");
    QTest::addColumn<int>("answered");   // replies before the controller falls silent
    QTest::addColumn<bool>("cutShort");  // it answers, but stops five bytes into each reply
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("title");
    QTest::newRow("silent from the start") << Language::Polish << 0 << false << kNotOnPl << "Uwaga";
    QTest::newRow("silent after four")
        << Language::Italian << 4 << false << "Sistema non acceso.\r\naccendi sistema e riprova"
        << "!!!";
    QTest::newRow("short from the start") << Language::Polish << 0 << true << kNotOnPl << "Uwaga";
  }
  void silentControllerTimesOut() {
    QFETCH(Language, language);
    QFETCH(int, answered);
    QFETCH(bool, cutShort);
    QFETCH(QString, text);
    QFETCH(QString, title);
    r->form().selectLanguage(language);
    r->controller->frame = idleFrame(40, 1100);
    r->walkTo(2);
    r->controller->silent = answered == 0 && !cutShort;
    r->controller->shortLength = cutShort ? 5 : -1;
    r->press();
    if (answered > 0) {
      for (int ms = 0; ms < 1000 && r->link().samplesRemaining > 10 - answered; ++ms)
        r->advanceMs(1);
      r->controller->silent = true;
      const int requests = r->requests();
      for (int ms = 0; ms < 100 && r->requests() == requests; ++ms)
        r->advanceMs(1);
    }
    r->advanceMs(1599);
    QVERIFY(r->f.dialogs.boxes.isEmpty());
    r->advanceMs(1);
    QCOMPARE(r->f.dialogs.texts(), QStringList{text});
    QCOMPARE(r->f.dialogs.boxes.first().title, title);
    QCOMPARE(r->form().statusText(), QString());
    QCOMPARE(r->commandStates(), QString("1111 0011"));
    QVERIFY(wizardShown());
    QCOMPARE(r->wizard().step(), 2);
    QCOMPARE(r->link().samplesRemaining, 10 - answered);
    QCOMPARE(tpsLowText(), QString("..........."));  // no partial average left as a measurement
    const int requests = r->requests();
    r->advanceMs(5000);
    QCOMPARE(r->requests(), requests);

    r->controller->silent = false;
    r->controller->shortLength = -1;
    r->press();  // the step's OK, still the default
    QCOMPARE(r->link().samplesRemaining, 10);
    r->advanceMs(1000);
    QCOMPARE(r->wizard().step(), 3);
    QCOMPARE(tpsLowText(), QString("2.00"));
  }

  // While the service console takes every byte a run would wait for nothing: it is not started,
  // and the fitter is told why.
  void consoleOpenHoldsTheRun() {
    r->walkTo(2);
    r->link().serviceMode = true;
    r->press();
    QCOMPARE(r->f.dialogs.texts().size(), 1);
    QVERIFY(r->f.dialogs.texts().first().contains("konsola serwisowa"));
    QCOMPARE(r->requests(), 0);
    QCOMPARE(r->wizard().step(), 2);
  }

  // A stray byte shifts one frame: that reply is asked for again within the run, the summary
  // line pauses rather than taking it, and only the engine's own reference is sent.
  void strayByteRepeatsTheSample() {
    r->controller->frame = idleFrame(40, 1100);
    r->walkTo(2);
    r->press();
    r->advanceMs(60);
    r->controller->strayOnce = true;
    QStringList shown;
    for (int ms = 0; ms < 2000; ++ms) {
      r->advanceMs(1);
      if (shown.isEmpty() || shown.last() != tpsLowText()) shown << tpsLowText();
    }
    QCOMPARE(shown,
             (QStringList{"0.40", "0.60", "0.80", "1.00", "1.20", "1.40", "1.60", "1.80", "2.00"}));
    QCOMPARE(r->form().statusText(), QString("Automatyczna kalibracja"));
    QCOMPARE(r->wizard().step(), 3);
    QVERIFY(r->f.dialogs.boxes.isEmpty());
  }

  // What a real engine does during a run: every reply counts, none is asked for again, and what
  // is kept is the average of the ten taken. The odd sample sits first or in the middle, where a
  // rule that judged by the run's median or its first sample would show. An engine that never
  // holds still is refused with a box that sends nobody to the wiring.
  void realEngine_data() {
    columns();
    const auto ten = [](const char* first, const char* rest) {
      return QString(first) + QString(" ") + QString(rest).repeated(9).trimmed();
    };
    QTest::newRow("TPS drifting 58 -> 67 held by foot")
        << true << "T58 T59 T60 T61 T62 T63 T64 T65 T66 T67" << 62 << 11 << QString();
    QTest::newRow("TPS 60 / 64 in turn")
        << true << QString("T60 T64 ").repeated(5).trimmed() << 62 << 11 << QString();
    QTest::newRow("idle 1100 / 1170 in turn")
        << false << QString("G P1170 ").repeated(5).trimmed() << 1135 << 11 << QString();
    QTest::newRow("misfire first") << false << ten("P1300", "G ") << 1120 << 11 << QString();
    QTest::newRow("misfire in the middle")
        << false << "G G G G P1300 G G G G G" << 1120 << 11 << QString();
    QTest::newRow("valve hunting 20 steps")
        << false << QString("V180 G V220 G ").repeated(3).trimmed() << 1100 << 11 << QString();
    QString opening;
    for (int k = 0; k < 40; ++k)
      opening += QString("T%1 ").arg(8 * k % 256);
    QTest::newRow("throttle opened all the time")
        << true << opening.trimmed() << -1 << 40
        << "Pomiar nieudany: silnik nie pracował równo.\r\nObroty lub przepustnica zmieniały się "
           "zbyt mocno między odczytami. Utrzymaj stałe obroty i spróbuj ponownie.";
  }
  void realEngine() { checkRun(); }

  // What noise makes of a reply at the first and in the middle of an idle run: it is asked for
  // again, and the run keeps the engine's own average, its misfire included. A line that breaks
  // every reply is refused after the bound, naming the line.
  void noisyReplies_data() {
    columns();
    const QString tail = QStringLiteral(" G G G G G G");
    QTest::newRow("shifted by a stray byte, first")
        << false << "S G G G G" + tail << 1100 << 12 << QString();
    QTest::newRow("shifted by a stray byte, middle")
        << false << "G G G G S" + tail << 1100 << 12 << QString();
    QTest::newRow("shifted, 01h last by chance, first")
        << false << "S1 G G G G" + tail << 1100 << 12 << QString();
    QTest::newRow("shifted, 01h last by chance, middle")
        << false << "G G G G S1" + tail << 1100 << 12 << QString();
    QTest::newRow("period bit 8 flipped, first")
        << false << "F8 G G G G" + tail << 1100 << 12 << QString();
    QTest::newRow("TPS bit 3 flipped, middle")
        << false << "G G G G F3" + tail << 1100 << 12 << QString();
    QTest::newRow("two broken in a row")
        << false << "G G G G S S1" + tail << 1100 << 13 << QString();
    QTest::newRow("noise beside a misfire")
        << false << "P1300 G G G S G" + tail << 1120 << 12 << QString();
    QTest::newRow("every reply broken")
        << false << QString("S ").repeated(40).trimmed() << -1 << 40
        << "Zakłócenia na linii: pomiar nieudany.\r\nUszkodzone odpowiedzi sterownika: 40 z 40. "
           "Sprawdź przewody i złącze sterownika i spróbuj ponownie.";
  }
  void noisyReplies() { checkRun(); }

  // Line noise in bursts of one to four random bytes at random times, seeded: every run either
  // gives the engine's own values or is refused with the message, never anything between, and a
  // refused run sends and stores nothing.
  void noiseNeverBecomesACalibration_data() {
    QTest::addColumn<int>("run");   // 2 idle step, 3 high-rpm step, 0 F8
    QTest::addColumn<int>("rate");  // stray bytes per second
    QTest::addColumn<int>("seed");
    for (int run : {2, 3, 0}) {
      for (int rate : {30, 300, 900}) {
        for (int seed = 1; seed <= 4; ++seed)
          QTest::addRow("%s, %d B/s, seed %d",
                        run == 2   ? "idle"
                        : run == 3 ? "high"
                                   : "F8",
                        rate, seed)
              << run << rate << seed;
      }
    }
  }
  void noiseNeverBecomesACalibration() {
    QFETCH(int, run);
    QFETCH(int, rate);
    QFETCH(int, seed);
    r->controller->frame = idleFrame(10, 1100);
    if (run) r->walkTo(run);
    const ControllerState& s = r->form().controller();
    const QString line26 = s.szablon.line(26);
    const QString line37 = s.szablon.line(37);
    const int sentBefore = static_cast<int>(r->commands().size());
    QRandomGenerator rng(static_cast<quint32>(seed));
    if (run == 3) r->controller->frame = {23, 60, 140, 115, 0x25, 0x01, 180};
    run ? r->press() : r->f8();
    for (int ms = 0; ms < 6000; ++ms) {
      // A burst of 2.5 bytes on average, so rate / 2.5 bursts a second.
      if (rng.bounded(1000.0) < rate / 2.5) {
        QByteArray burst;
        for (int k = rng.bounded(1, 5); k > 0; --k)
          burst.append(static_cast<char>(rng.bounded(256)));
        r->f.link.inject(burst);
      }
      r->advanceMs(1);
    }
    const bool refused =
        r->f.dialogs.texts().size() == 1 && r->f.dialogs.texts().first().startsWith(kRefusedPl);
    const bool accepted = run == 2   ? r->wizard().step() == 3
                          : run == 3 ? r->wizard().step() == 4
                                     : s.idlePeriodReference != 0;
    QVERIFY2(refused != accepted, qPrintable(r->f.dialogs.texts().join('|')));
    const QStringList references = r->commands().mid(sentBefore).filter(QRegularExpression("^1F"));
    if (refused) {
      QCOMPARE(references, QStringList{});
      QCOMPARE(s.szablon.line(26), line26);
      QCOMPARE(s.szablon.line(37), line37);
      QCOMPARE(r->commandStates().left(4), QString("1111"));
      QCOMPARE(r->wizard().step(), run ? run : 0);
    } else if (run == 3) {
      QCOMPARE(s.tpsHigh, 60);
      QCOMPARE(s.szablon.line(37), QString("60"));
    } else {
      QCOMPARE(s.idlePeriodReference, 1100);
      QCOMPARE(s.tpsLow, 10);
      QCOMPARE(s.szablon.line(39), QString("1400"));
      QCOMPARE(references, run ? QStringList{"1F 4C 04"} : QStringList{});
    }
  }

  // OK again during a run starts it afresh, with a single request in flight.
  void okAgainStartsTheRunAfresh() {
    r->controller->frame = idleFrame(40, 1100);
    r->walkTo(2);
    r->press();
    r->advanceMs(130);  // three samples, the pacing tick of the fourth still due
    QCOMPARE(tpsLowText(), QString("0.60"));
    r->press();
    QCOMPARE(r->link().samplesRemaining, 10);
    QVERIFY(!r->link().Timerznak.isRunning());
    r->advanceMs(10);
    QCOMPARE(tpsLowText(), QString("0.20"));
    r->advanceMs(1000);
    QCOMPARE(r->wizard().step(), 3);
    QCOMPARE(r->requests(), 3 + 11);
    QCOMPARE(tpsLowText(), QString("2.00"));
  }

  // The line fails under a run: the error is shown and the wizard can still be left.
  void failingLineLeavesTheWizardUsable() {
    r->walkTo(2);
    r->f.link.failWritesFrom = static_cast<int>(r->f.link.writeLog().size()) + 3;
    r->press();
    r->advanceMs(1000);
    QVERIFY(!r->f.dialogs.boxes.isEmpty());
    QCOMPARE(tpsLowText(), QString("..........."));
    r->ui().KalibAnuluj->click();
    QVERIFY(!wizardShown());
    QCOMPARE(r->commandStates(), QString("1111 1111"));
    r->advanceMs(3000);
    QVERIFY(!r->link().Timerznak.isRunning() && !r->link().Timer1.isRunning());
  }

  // F8: ten idle frames become the idle period reference; nothing is sent to keep it; the
  // commands come back but F8, which only the end of another operation gives back.
  void rpmScaling_data() {
    QTest::addColumn<Language>("language");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("result");
    QTest::newRow("Polish") << Language::Polish << "Skalowanie obrotów"
                            << "Skalowanie obrotów: okres 1250 przyjęty jako 800 obr/min";
    QTest::newRow("Italian") << Language::Italian << "Taratura Giri"
                             << "Taratura giri: periodo 1250 preso come 800 giri/min";
  }
  void rpmScaling() {
    QFETCH(Language, language);
    QFETCH(QString, status);
    QFETCH(QString, result);
    r->form().selectLanguage(language);
    r->controller->frame = idleFrame(12, 1250);
    r->f8();
    QCOMPARE(r->commandStates(), QString("0000 1100"));
    QCOMPARE(r->form().statusText(), status);
    QVERIFY(r->link().rpmScalingOnly);
    r->advanceMs(1000);
    QCOMPARE(r->commandStates(), QString("1110 1110"));
    QCOMPARE(r->form().statusText(), result);
    QCOMPARE(r->requests(), 11);
    QCOMPARE(r->commands(), QStringList{});  // no AAh, no 1Fh, no 0Ah
    const ControllerState& s = r->form().controller();
    QCOMPARE(s.idlePeriodReference, 1250);
    QCOMPARE(s.szablon.line(26), QString("1250"));
    QCOMPARE(s.szablon.line(9), QString("500"));  // 2000 rpm at the new reference
    QVERIFY(!wizardShown());
    QVERIFY(r->f.dialogs.boxes.isEmpty());

    // The speed read-out now shows 800 at that idle.
    r->f7();
    r->advanceMs(100);
    QCOMPARE(scope().ui().Panelobroty->text(), QString("800"));
    scope().KoniecClick();
    QCOMPARE(r->commandStates(), QString("1111 1111"));
  }

  void rpmScalingWithASilentController() {
    r->controller->silent = true;
    r->f8();
    r->advanceMs(1600);
    QCOMPARE(r->f.dialogs.texts(), QStringList{kNotOnPl});
    QCOMPARE(r->commandStates(), QString("1111 1111"));
    QCOMPARE(r->form().statusText(), QString());
    QCOMPARE(r->form().controller().idlePeriodReference, 0);
  }

  // What the wizard measured is what the next oscilloscope mode works with.
  void measurementsReachTheLiveDisplay() {
    r->controller->frame = idleFrame(10, 1100);
    WalkPath path;
    path.probe = 5;  // 0.8..1.6 V
    path.highFrame = idleFrame(200, 293);
    r->walkTo(kWizardDone, path);
    r->press();
    r->controller->frame = idleFrame(10, 1100);
    r->f7();
    const LiveSettings& live = scope().liveSettings();
    QCOMPARE(live.lambdaLow, 41);
    QCOMPARE(live.lambdaHigh, 82);
    QCOMPARE(live.lambdaKey, QString("82"));
    QCOMPARE(live.lambdaBarRange, 41);
    QCOMPARE(live.tpsRange, chooseTpsRange(10, 200));
    r->advanceMs(100);
    QCOMPARE(scope().ui().Panelobroty->text(), QString("800"));
  }

  // F5 to F8 and the wizard's keys in every order while a run goes or after it stopped: never a
  // crash, never two operations on the line at once, and nothing left locked.
  void commandsInEveryOrder_data() {
    QTest::addColumn<QString>("script");
    QTest::newRow("step 1: the other commands are locked") << "F6 F5 F7 F8 F6";
    QTest::newRow("idle run: locked too") << "F6 Enter Enter F5 F7 F8 F6 Wait";
    QTest::newRow("after a timeout F7 takes over")
        << "F6 Enter Tick Silent Enter Wait TimedOut Answer F7 Wait";
    QTest::newRow("after a timeout F8 takes over")
        << "F6 Enter Tick Silent Enter Wait TimedOut Answer F8 Wait";
    QTest::newRow("after a timeout F5 takes over")
        << "F6 Enter Tick Silent Enter Wait TimedOut Answer F5 Long";
    QTest::newRow("after a timeout F6 starts again")
        << "F6 Enter Tick Silent Enter Wait TimedOut Answer F6";
    QTest::newRow("high run timeout, then F8")
        << "F6 Enter Tick Enter Wait Silent Enter Wait TimedOut Answer F8 Wait";
    QTest::newRow("rpm scaling: the F6 item") << "F8 Tick F6 Wait";
    QTest::newRow("rpm scaling: the F5 item") << "F8 Tick F5 Long";
    QTest::newRow("rpm scaling stalled by a short reply, F6")
        << "Short F8 Wait Long Answer F6 Enter";
    QTest::newRow("F7 just after the rpm scaling") << "F8 Done F7 Wait";
    QTest::newRow("oscilloscope, then F6") << "F7 Tick F6 Enter";
    QTest::newRow("cancel, then everything") << "F6 Cancel F8 Wait F7 Tick F6 Cancel F5 Long";
  }
  void commandsInEveryOrder() {
    QFETCH(QString, script);
    for (const QString& step : script.split(' ')) {
      if (step == "F5") r->f5();
      if (step == "F6") r->f6();
      if (step == "F7") r->f7();
      if (step == "F8") r->f8();
      if (step == "Enter") r->press();
      if (step == "Cancel") r->ui().KalibAnuluj->click();
      if (step == "Silent") r->controller->silent = true;
      if (step == "Short") r->controller->shortLength = 3;
      if (step == "Answer") {
        r->controller->silent = false;
        r->controller->shortLength = -1;
      }
      if (step == "Tick") r->advanceMs(30);
      if (step == "TimedOut") QVERIFY(r->f.dialogs.texts().contains(kNotOnPl));
      if (step == "Wait") r->advanceMs(2000);
      if (step == "Long") r->advanceMs(7000);
      if (step == "Done") {
        for (int ms = 0; ms < 2000 && r->link().samplesRemaining > 0; ++ms)
          r->advanceMs(1);
      }
      // Never two operations on the line at once.
      QVERIFY2(!(scopeShown() && wizardShown()), qPrintable(step));
      if (wizardShown()) QVERIFY(r->wizard().isOpen());
      if (r->link().Timer6.isRunning()) QVERIFY(!wizardShown());  // a settings exchange runs
      if (scopeShown()) {
        QVERIFY(r->link().oscilloscopeMode);
        QVERIFY(!r->link().idleSampling && !r->link().highRpmSampling);
      }
    }
    if (scopeShown()) {
      // The live loop is not stuck.
      const int before = r->controller->liveRequests;
      r->advanceMs(500);
      QVERIFY(r->controller->liveRequests > before + 10);
      QVERIFY(!r->link().sweepPaused);
    }

    // Leave whatever is open: every command but F8 (given back only by the end of another
    // operation) must be free, and F6 must work again.
    if (r->f.program->editor().isVisible()) r->f.program->editor().close();
    if (wizardShown()) r->ui().KalibAnuluj->click();
    if (scopeShown()) scope().KoniecClick();
    r->advanceMs(8000);
    const QString states = r->commandStates();
    QVERIFY2(states.left(3) == "111" && states.mid(5, 3) == "111", qPrintable(states));
    r->controller->silent = false;
    const int before = r->commands().size();
    r->f6();
    QCOMPARE(r->wizard().step(), 1);
    QCOMPARE(r->commands().mid(before), QStringList{"AA"});
  }
};

QTEST_MAIN(TestCalibrationSampling)
#include "test_calibration_sampling.moc"
