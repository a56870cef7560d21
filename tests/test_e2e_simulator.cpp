// The program's real link and timers against the controller simulator on a pseudo-terminal: what
// the simulator logs is what went over the line, with its timing.
#include "app/Program.h"
#include "calibration/CalibrationPanel.h"
#include "link/Timers.h"
#include "link/TtyTransport.h"
#include "monitor/OscilloscopePanel.h"
#include "service/LineNumbers.h"
#include "service/ServiceConsole.h"
#include "settings/TEdytuj_dane.h"
#include "support/LiveProgram.h"
#include "support/RecordingDialogs.h"
#include "support/SimProcess.h"
#include "ui_Panel1.h"
#include "ui_PanelKalib.h"
#include "ui_ServiceConsole.h"
#include "ui_TEdytuj_dane.h"
#include "ui_TForm1.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace orvel;

namespace {

CalibrationPanel& calibrationOf(test::LiveProgram& p) {
  return *p.form().findChild<CalibrationPanel*>();
}

QByteArray hex(const char* text) {
  return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

}  // namespace

class EndToEndTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void programOpensTheSimulatorsPortAndSendsNothingByItself() {
    SimProcess sim;
    const QString pty = sim.start();
    QVERIFY2(!pty.isEmpty(), qPrintable(sim.errorString()));
    test::LiveProgram p(pty);
    QVERIFY(p.link.isConnected());
    QCOMPARE(p.link.portName(), QString("COM1"));
    QVERIFY(p.dialogs.boxes.isEmpty());
    QTest::qWait(200);
    QVERIFY(SimProcess::bytes(sim.log(), true).isEmpty());

    // Commands go out byte by byte exactly as the catalogue encodes them; the answer arrives.
    LinkControl& link = p.form().link();
    link.liveFrameRequest();
    QTRY_COMPARE_WITH_TIMEOUT(link.replyCount, 8, 2000);
    QCOMPARE(link.byte(7), 1);
    const auto log = sim.waitForLog(9);
    QCOMPARE(SimProcess::bytes(log, true), QByteArray("\x02"));
    QCOMPARE(SimProcess::bytes(log, false).size(), 8);
  }

  void fallsBackToCom2WhenCom1IsMissing() {
    SimProcess sim;
    const QString pty = sim.start();
    QVERIFY(!pty.isEmpty());
    test::LiveProgram p("/dev/orvel-test-no-com1", pty);
    QCOMPARE(p.link.portName(), QString("COM2"));
    QVERIFY(p.link.isConnected());
    QVERIFY(p.form().ui().COM21->isChecked());
    QVERIFY(p.dialogs.boxes.isEmpty());
  }

  void settingsExchangeTimingOnTheLine() {
    SimProcess sim;
    const QString pty = sim.start();
    QVERIFY(!pty.isEmpty());
    test::LiveProgram p(pty);
    TForm1& form = p.form();
    TEdytuj_dane& editor = p.program->editor();
    form.ui().SpeedButton3->click();
    QVERIFY(!form.ui().SpeedButton3->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(editor.isVisible(), 5000);
    // The simulator flushes its log a little after the line falls quiet: AAh, 09h twice and four
    // times 0Bh with the flags, its acknowledgements and the 37 bytes of each block.
    auto log = sim.waitForLog(1 + 2 + 8 + 1 + 2 * 37 + 4);
    const QByteArray rx = SimProcess::bytes(log, true);
    // AAh, the read-out and the read that confirms it, then the installation flags once for each
    // of the four radio groups that got their first selection.
    QVERIFY2(rx.startsWith("\xAA\x09\x09\x0B\x51\x0B\x51\x0B\x51\x0B\x51"), rx.toHex().constData());
    // From the controller's answer to AAh to the read-out request: 1.1 s.
    double answered = -1;
    double requested = -1;
    for (const auto& e : log) {
      if (!e.rx && answered < 0) answered = e.t;
      if (e.rx && e.byte == 0x09 && requested < 0) requested = e.t;
    }
    const double delay = requested - answered;
    QVERIFY2(delay > 1.09 && delay < 1.4, qPrintable(QString::number(delay)));
    QCOMPARE(form.controller().idlePeriodReference, 1100);

    // The editor shows the simulator's factory settings.
    Ui::TEdytuj_dane& ui = editor.ui();
    QCOMPARE(ui.EditProgTPS->text(), QString("1.00"));
    QCOMPARE(ui.EditProgLambda->text(), QString("0.50"));
    QCOMPARE(ui.EditProgGB->text(), QString("2000"));
    QCOMPARE(ui.Editobrotymax->text(), QString("5000"));
    QCOMPARE(ui.Editsilnikmax->text(), QString("210"));
    QCOMPARE(ui.EditSilnikmin->text(), QString("15"));
    QCOMPARE(ui.EditSilnikopt->text(), QString("40"));
    QCOMPARE(ui.EditThLambda->text(), QString("500"));
    QCOMPARE(ui.EditOkresLambda->text(), QString("500"));
    QCOMPARE(ui.Edit3->text(), QString("500"));
    QCOMPARE(ui.Edit2->text(), QString("1500"));
    QCOMPARE(ui.Edit5->text(), QString("2"));
    QCOMPARE(ui.Edit7->text(), QString("10"));

    // A few edits, each on the line as its exact bytes.
    const int before = rx.size();
    ui.EditProgTPS->setText("1.50");
    ui.SendProgTPS->click();
    ui.Editsilnikmax->setText("200");
    ui.EditSilnikmin->setText("20");
    ui.SpeedButton2->click();
    ui.Edit7->setText("12");
    QTest::keyClick(ui.Edit7, Qt::Key_Return);
    ui.RadioGroup3Item1->click();  // "praca ekonomiczna": bit 6 cleared
    log = sim.waitForLog(log.size() + 30);
    QCOMPARE(SimProcess::bytes(log, true).mid(before),
             QByteArray("\x07\x1E\x12\x37\xEB\x1C\x92\x86\x0B\x11"));
    QVERIFY(p.dialogs.boxes.isEmpty());

    // Closing the editor ends the communication and gives the commands back.
    editor.close();
    for (QToolButton* b : {form.ui().SpeedButton3, form.ui().SpeedButton4, form.ui().Wykresy,
                           form.ui().SpeedButton14}) {
      QVERIFY(b->isEnabled());
    }
    QVERIFY(form.ui().Zmianaparametrwpracy1->isEnabled());
    log = sim.waitForLog(log.size() + 1);
    QCOMPARE(SimProcess::bytes(log, true).right(1), QByteArray("\x0A"));

    // The controller kept the new values: a second read-out shows them.
    form.ui().SpeedButton3->click();
    QTRY_VERIFY_WITH_TIMEOUT(editor.isVisible(), 5000);
    QCOMPARE(ui.EditProgTPS->text(), QString("1.50"));
    QCOMPARE(ui.Editsilnikmax->text(), QString("200"));
    QCOMPARE(ui.EditSilnikmin->text(), QString("20"));
    QCOMPARE(ui.Edit7->text(), QString("12"));
    QVERIFY(ui.RadioGroup3Item1->isChecked());
    editor.close();
  }

  // The hidden console against the simulator: 170 is answered by one line 001, 2 by the eight
  // bytes of a live frame, numbered 01: to 08: beside them; the program dispatches none of it.
  void serviceConsoleExchange() {
    SimProcess sim;
    const QString pty = sim.start();
    QVERIFY(!pty.isEmpty());
    test::LiveProgram p(pty);
    TForm1& form = p.form();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.ui().MaskEdit1->setText("ster oscylator");
    auto* console = form.ui().GroupBox1->findChild<ServiceConsole*>();
    QVERIFY(console);
    Ui::ServiceConsole& ui = console->ui();
    const auto lines = [&ui] { return ui.RichEdit2->toPlainText().split('\n'); };

    QTest::keyClicks(ui.Edit1, "170");
    QTest::keyClick(ui.Edit1, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(ui.RichEdit2->toPlainText(), QString("001"), 2000);
    QCOMPARE(console->replies().text(), QString("001\r\n"));
    QVERIFY(ui.Edit1->text().isEmpty());

    ui.Edit1->setText("2");
    ui.Button1->click();
    QTRY_COMPARE_WITH_TIMEOUT(lines().size(), 8, 2000);
    QTest::qWait(100);  // nothing more follows
    const QStringList frame = lines();
    QCOMPARE(frame.size(), 8);
    QCOMPARE(frame.last(), QString("001"));
    for (const QString& line : frame)
      QVERIFY(QRegularExpression("^\\d{3}$").match(line).hasMatch());
    for (int k = 0; k < 8; ++k) {
      QCOMPARE(ui.Label24->words().at(k), QString("%1:").arg(k + 1, 2, 10, QChar('0')));
      QVERIFY(qAbs(console->replyLineTop(k) - (ui.Label24->y() + ui.Label24->wordTop(k))) < 0.5);
    }
    LinkControl& link = form.link();
    QCOMPARE(link.replyCount, 0);
    QVERIFY(!link.Timer4.isRunning());

    ui.Edit1->setText("10");
    ui.Button1->click();
    const auto log = sim.waitForLog(12);
    QCOMPARE(SimProcess::bytes(log, true), QByteArray("\xAA\x02\x0A"));
    ui.SpeedButton7->click();
    QVERIFY(!link.serviceMode);
  }

  // The whole wizard with the keyboard against a steady engine: exactly the bytes of each step
  // reach the controller, which keeps them; the next read-out shows them in the editor.
  void autocalibrationEndToEnd() {
    SimProcess sim;
    const QString pty = sim.start({"--steady", "idle"});
    QVERIFY2(!pty.isEmpty(), qPrintable(sim.errorString()));
    test::LiveProgram p(pty);
    TForm1& form = p.form();
    CalibrationWizard& wizard = calibrationOf(p).wizard();

    form.ui().SpeedButton4->click();
    QCOMPARE(wizard.step(), 1);
    p.enter();
    QCOMPARE(wizard.step(), 2);
    QTest::qWait(50);  // the acknowledgement of 1Eh is in before the run starts
    p.enter();         // the idle run
    QTRY_COMPARE_WITH_TIMEOUT(wizard.step(), 3, 5000);
    QCOMPARE(calibrationOf(p).summaryValue(SummaryLine::TpsLow)->text(), QString("0.50"));
    QTest::qWait(100);  // the reply to the run's extra request is in
    QVERIFY(sim.command("steady high"));
    QTest::qWait(200);  // the simulator reads its commands between replies
    p.enter();          // the high-rpm run
    QTRY_COMPARE_WITH_TIMEOUT(wizard.step(), 4, 5000);
    QCOMPARE(calibrationOf(p).summaryValue(SummaryLine::TpsHigh)->text(), QString("3.00"));
    QTest::qWait(100);
    while (wizard.step() != kWizardDone) {
      const int step = wizard.step();
      p.enter();
      QCOMPARE_NE(wizard.step(), step);
      QTest::qWait(20);  // a fitter is slower than the acknowledgement
    }
    p.enter();  // "Zakończ"
    QVERIFY(!wizard.isOpen());
    QVERIFY2(p.dialogs.boxes.isEmpty(), qPrintable(p.dialogs.texts().join('|')));

    const auto log = sim.waitForLog(0);
    QByteArray rx = SimProcess::bytes(sim.waitForLog(log.size() + 1, 500), true);
    const QByteArray idleRun = QByteArray(10, '\x02') + hex("1F 4C 04") + QByteArray(1, '\x02');
    const QByteArray highRun(11, '\x02');
    const QByteArray expected = hex("AA 1E 01") + idleRun + highRun +
                                hex("0F 1A  07 10  14 B0 00  08 B8 01  13 9B  12 F5 0F"
                                    "06 7A 00 F4 00  1A 7A 00 F4 00  19 05  0B 10  17 EB"
                                    "18 4B 02  11  0A");
    QCOMPARE(rx.toHex(' '), expected.toHex(' '));

    // The controller kept it all: F5 reads it back into the editor.
    TEdytuj_dane& editor = p.program->editor();
    form.ui().SpeedButton3->click();
    QTRY_VERIFY_WITH_TIMEOUT(editor.isVisible(), 5000);
    Ui::TEdytuj_dane& ui = editor.ui();
    QCOMPARE(form.controller().idlePeriodReference, 1100);
    QCOMPARE(ui.EditProgGB->text(), QString("2000"));
    QCOMPARE(ui.EditProgTPS->text(), QString("0.80"));
    QCOMPARE(ui.EditProgLambda->text(), QString("0.50"));
    QCOMPARE(ui.Editobrotymax->text(), QString("5000"));
    QCOMPARE(ui.EditSilnikopt->text(), QString("100"));
    QCOMPARE(ui.Editsilnikmax->text(), QString("10"));
    QCOMPARE(ui.EditSilnikmin->text(), QString("240"));
    QCOMPARE(ui.EditThLambda->text(), QString("500"));
    QCOMPARE(ui.EditOkresLambda->text(), QString("500"));
    QCOMPARE(ui.EditThLambda2->text(), QString("500"));
    QCOMPARE(ui.Edit5->text(), QString("1"));
    QCOMPARE(ui.Edit1->text(), QString("20"));
    QCOMPARE(ui.Edit2->text(), QString("1500"));
    QVERIFY(ui.CheckBox1->isChecked());
    QVERIFY(ui.RadioGroup5Item0->isChecked());  // changeover on rising speed
    editor.close();
  }

  // F8 on petrol: ten idle frames make the idle period reference, nothing else goes on the line,
  // and the speed read-out then shows 800 at that idle.
  void rpmScalingEndToEnd() {
    SimProcess sim;
    const QString pty = sim.start({"--steady", "idle", "--idle-period", "1250"});
    QVERIFY2(!pty.isEmpty(), qPrintable(sim.errorString()));
    test::LiveProgram p(pty);
    TForm1& form = p.form();
    form.ui().SpeedButton14->click();
    QCOMPARE(form.statusText(), QString("Skalowanie obrotów"));
    QTRY_COMPARE_WITH_TIMEOUT(form.statusText(),
                              QString("Skalowanie obrotów: okres 1250 przyjęty jako 800 obr/min"),
                              5000);
    QCOMPARE(form.controller().idlePeriodReference, 1250);
    QVERIFY(!form.ui().SpeedButton14->isEnabled());
    QTest::qWait(100);
    QCOMPARE(SimProcess::bytes(sim.log(), true), QByteArray(11, '\x02'));

    form.ui().Wykresy->click();
    OscilloscopePanel& scope = *form.findChild<OscilloscopePanel*>();
    QTRY_COMPARE_WITH_TIMEOUT(scope.ui().Panelobroty->text(), QString("800"), 3000);
    scope.KoniecClick();
    QVERIFY(form.ui().SpeedButton14->isEnabled());
    QVERIFY(p.dialogs.boxes.isEmpty());
  }

  // F5 against a silent controller gives up; the controller answers again and F7 starts: the
  // read-out that was given up never comes back (no 09h, no editor, no flags written).
  void aGivenUpReadOutStaysGivenUp() {
    SimProcess sim;
    const QString pty = sim.start();
    QVERIFY(!pty.isEmpty());
    test::LiveProgram p(pty);
    TForm1& form = p.form();
    QVERIFY(sim.command("silent on"));
    form.ui().SpeedButton3->click();
    QVERIFY(!form.ui().SpeedButton3->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(form.ui().SpeedButton3->isEnabled(), 8000);
    QCOMPARE(form.statusText(), QString("Sterownik nie odpowiada"));
    QVERIFY(sim.command("silent off"));
    form.ui().Wykresy->click();
    test::runEventLoop(2500);
    QVERIFY(!p.program->editor().isVisible());
    const QByteArray rx = SimProcess::bytes(sim.log(), true);
    QVERIFY2(rx.startsWith("\xAA"), rx.toHex().constData());
    QVERIFY2(rx.count('\x02') == rx.size() - 1 && rx.size() > 50, rx.toHex().constData());
    form.findChild<OscilloscopePanel*>()->KoniecClick();
    QVERIFY(p.dialogs.boxes.isEmpty());
  }

  void aSimulatorThatHangsUpIsReportedOnce() {
    SimProcess sim;
    const QString pty = sim.start();
    QVERIFY(!pty.isEmpty());
    test::LiveProgram p(pty);
    QVERIFY(p.link.isConnected());
    sim.command("hangup");
    QTRY_VERIFY_WITH_TIMEOUT(!p.link.isConnected(), 3000);
    QTest::qWait(200);
    QCOMPARE(p.dialogs.boxes.size(), 1);
    QVERIFY(p.dialogs.boxes.first().text.startsWith("ReadFile function failed"));
    // A command afterwards tries to open the port again; with the device gone that fails with
    // one open error, and the command does not start.
    p.form().ui().SpeedButton3->click();
    QCOMPARE(p.dialogs.boxes.size(), 2);
    QVERIFY(p.dialogs.boxes.last().text.startsWith("Unable to open com port"));
    QVERIFY(p.form().ui().SpeedButton3->isEnabled());
  }
};

QTEST_MAIN(EndToEndTest)
#include "test_e2e_simulator.moc"
