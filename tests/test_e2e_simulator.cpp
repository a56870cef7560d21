// The program's real link and timers against the controller simulator on a pseudo-terminal: what
// the simulator logs is what went over the line, with its timing.
#include "app/Program.h"
#include "link/QtSerialTransport.h"
#include "link/Timers.h"
#include "settings/TEdytuj_dane.h"
#include "support/RecordingDialogs.h"
#include "support/SimProcess.h"
#include "ui_TForm1.h"

#include <QTemporaryDir>
#include <QTest>

using namespace orvel;

namespace {

struct LiveProgram {
  QtTimerService timers;
  QtSerialTransport link;
  test::RecordingDialogs dialogs;
  QTemporaryDir installDir;
  std::unique_ptr<Program> program;

  explicit LiveProgram(const QString& com1, const QString& com2 = "/dev/orvel-test-no-com2") {
    qputenv("ORVEL_COM1", com1.toLocal8Bit());
    qputenv("ORVEL_COM2", com2.toLocal8Bit());
    Environment env;
    env.link = &link;
    env.timers = &timers;
    const QString dir = installDir.path();
    env.installationDirectory = [dir] { return dir; };
    env.openUrl = [](const QUrl&) { return true; };
    program = std::make_unique<Program>(std::move(env));
  }
  TForm1& form() { return program->form1(); }
};

QList<SimProcess::LogEntry> received(const QList<SimProcess::LogEntry>& log) {
  QList<SimProcess::LogEntry> out;
  for (const auto& e : log) {
    if (e.rx) out << e;
  }
  return out;
}

QByteArray bytesOf(const QList<SimProcess::LogEntry>& log, bool rx) {
  QByteArray out;
  for (const auto& e : log) {
    if (e.rx == rx) out.append(char(e.byte));
  }
  return out;
}

}  // namespace

class EndToEndTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void programOpensTheSimulatorsPortAndSendsNothingByItself() {
    SimProcess sim;
    const QString pty = sim.start();
    QVERIFY2(!pty.isEmpty(), qPrintable(sim.errorString()));
    LiveProgram p(pty);
    QVERIFY(p.link.isConnected());
    QCOMPARE(p.link.portName(), QString("COM1"));
    QVERIFY(p.dialogs.boxes.isEmpty());
    QTest::qWait(200);
    QVERIFY(received(sim.log()).isEmpty());

    // Commands go out byte by byte exactly as the catalogue encodes them; the answer arrives.
    LinkControl& link = p.form().link();
    link.liveFrameRequest();
    QTRY_COMPARE_WITH_TIMEOUT(link.replyCount, 8, 2000);
    QCOMPARE(link.byte(7), 1);
    const auto log = sim.waitForLog(9);
    QCOMPARE(bytesOf(log, true), QByteArray("\x02"));
    QCOMPARE(bytesOf(log, false).size(), 8);
  }

  void fallsBackToCom2WhenCom1IsMissing() {
    SimProcess sim;
    const QString pty = sim.start();
    QVERIFY(!pty.isEmpty());
    LiveProgram p("/dev/orvel-test-no-com1", pty);
    QCOMPARE(p.link.portName(), QString("COM2"));
    QVERIFY(p.link.isConnected());
    QVERIFY(p.form().ui().COM21->isChecked());
    QVERIFY(p.dialogs.boxes.isEmpty());
  }

  void settingsExchangeTimingOnTheLine() {
    SimProcess sim;
    const QString pty = sim.start();
    QVERIFY(!pty.isEmpty());
    LiveProgram p(pty);
    TForm1& form = p.form();
    form.ui().SpeedButton3->click();
    QVERIFY(!form.ui().SpeedButton3->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(p.program->editor().isVisible(), 5000);
    const auto log = sim.log();
    const QByteArray rx = bytesOf(log, true);
    QVERIFY2(rx.startsWith("\xAA\x09"), rx.toHex().constData());
    // From the controller's answer to AAh to the read-out request: 1.1 s.
    double answered = -1;
    double requested = -1;
    for (const auto& e : log) {
      if (!e.rx && answered < 0) answered = e.t;
      if (e.rx && e.byte == 0x09) requested = e.t;
    }
    const double delay = requested - answered;
    QVERIFY2(delay > 1.09 && delay < 1.4, qPrintable(QString::number(delay)));
    QCOMPARE(form.controller().idlePeriodReference, 1100);

    // Closing the editor ends the communication and gives the commands back.
    p.program->editor().close();
    QVERIFY(form.ui().SpeedButton3->isEnabled());
    QVERIFY(form.ui().Wykresy->isEnabled());
    const auto after = sim.waitForLog(log.size() + 1);
    QCOMPARE(bytesOf(after, true).right(1), QByteArray("\x0A"));
  }

  void aSimulatorThatHangsUpIsReportedOnce() {
    SimProcess sim;
    const QString pty = sim.start();
    QVERIFY(!pty.isEmpty());
    LiveProgram p(pty);
    QVERIFY(p.link.isConnected());
    sim.command("hangup");
    QTRY_VERIFY_WITH_TIMEOUT(!p.link.isConnected(), 3000);
    QTest::qWait(200);
    QCOMPARE(p.dialogs.boxes.size(), 1);
    QVERIFY(p.dialogs.boxes.first().text.startsWith("ReadFile function failed"));
    // A command afterwards fails with the write error instead of hanging or crashing.
    p.form().ui().SpeedButton3->click();
    QCOMPARE(p.dialogs.boxes.size(), 2);
    QVERIFY(p.dialogs.boxes.last().text.startsWith("WriteFile function failed"));
  }
};

QTEST_MAIN(EndToEndTest)
#include "test_e2e_simulator.moc"
