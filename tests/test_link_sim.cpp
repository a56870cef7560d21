// The link on a real car's line, end to end with the real serial link and timers against the
// simulator: random bursts of stray bytes in oscilloscope mode (noise is the dispatch's business:
// the port stays open and frames keep coming), and a controller that hangs up in the middle of
// the live loop and comes back under the same device name.
#include <QtTest>

#include "app/Program.h"
#include "link/Timers.h"
#include "link/TtyTransport.h"
#include "monitor/OscilloscopePanel.h"
#include "support/LiveProgram.h"
#include "support/RecordingDialogs.h"
#include "support/SimProcess.h"

#include <QFrame>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

using namespace orvel;
using orvel::test::runEventLoop;

class TestLinkSim : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void oscilloscopeModeSurvivesLineNoise() {
    SimProcess sim;
    // bench/link-noise.sh runs this longer and at other rates to measure what the link takes.
    const int rate = qEnvironmentVariableIsSet("ORVEL_NOISE_RATE")
                         ? qEnvironmentVariableIntValue("ORVEL_NOISE_RATE")
                         : 300;
    const QString pty = sim.start({QStringLiteral("--noise"), QString::number(rate),
                                   QStringLiteral("--seed"), QStringLiteral("7")});
    QVERIFY2(!pty.isEmpty(), qPrintable(sim.errorString()));
    test::LiveProgram program(pty);
    TtyTransport& link = program.link;
    test::RecordingDialogs& dialogs = program.dialogs;
    QVERIFY(link.isConnected());

    TForm1& form = program.form();
    form.controller().idlePeriodReference = 1100;
    auto* scope = form.findChild<OscilloscopePanel*>();
    int frames = 0;
    LinkHooks& hooks = form.link().hooks;
    const auto show = hooks.showLiveFrame;
    hooks.showLiveFrame = [&] {
      ++frames;
      show();
    };
    form.findChild<QToolButton*>(QStringLiteral("Wykresy"))->click();
    const int seconds = qEnvironmentVariableIntValue("ORVEL_NOISE_SECONDS") > 0
                            ? qEnvironmentVariableIntValue("ORVEL_NOISE_SECONDS")
                            : 6;
    for (int s = 0; s < seconds; ++s) {
      runEventLoop(1000);
      QVERIFY2(link.isConnected(), qPrintable(QStringLiteral("port closed after %1 s: %2")
                                                  .arg(s + 1)
                                                  .arg(dialogs.texts().join(QLatin1Char('|')))));
    }
    scope->panel()->findChild<QPushButton*>(QStringLiteral("Koniec"))->click();
    runEventLoop(100);

    int stray = 0;
    for (const SimProcess::LogEntry& e : sim.log())
      if (!e.rx) ++stray;
    qInfo(
        "noise %d B/s: %d frames decoded in %d s (%.1f frames/s); %d bytes from the line; "
        "%d read reports found harmless",
        rate, frames, seconds, double(frames) / seconds, stray, link.spuriousErrors());
    QVERIFY(link.isConnected());
    // Noise costs frames (a shifted frame waits for the watchdog), never the link.
    if (rate <= 300) QVERIFY2(frames >= 10 * seconds, qPrintable(QString::number(frames)));
    for (const QString& box : dialogs.texts())
      QVERIFY2(!box.contains(QLatin1String("function failed")), qPrintable(box));
  }

  void hangUpMidLoopThenTheSameDeviceComesBack() {
    QTemporaryDir home;
    const QString device = home.filePath(QStringLiteral("ttyCOM1"));  // like /dev/serial/by-id
    SimProcess first;
    QVERIFY2(!first.start({QStringLiteral("--link"), device}).isEmpty(),
             qPrintable(first.errorString()));
    test::LiveProgram program(device);
    TtyTransport& link = program.link;
    test::RecordingDialogs& dialogs = program.dialogs;
    QVERIFY(link.isConnected());
    TForm1& form = program.form();
    form.controller().idlePeriodReference = 1100;
    auto* scope = form.findChild<OscilloscopePanel*>();
    auto* f7 = form.findChild<QToolButton*>(QStringLiteral("Wykresy"));
    f7->click();
    runEventLoop(500);

    first.command(QStringLiteral("hangup"));
    QTRY_VERIFY_WITH_TIMEOUT(!link.isConnected(), 3000);
    runEventLoop(1500);  // long enough for several rounds of the live loop
    QCOMPARE(dialogs.boxes.size(), 1);
    // Whichever side meets the dead line first reports it: the reading or the next request.
    const QString box = dialogs.boxes.first().text;
    QVERIFY2(box == QLatin1String("ReadFile function failed (win error code: 5).") ||
                 box == QLatin1String("WriteFile function failed (win error code: 5)."),
             qPrintable(box));
    QVERIFY(scope->panel()->isHidden());  // the loop ended as "Koniec" ends it
    QVERIFY(f7->isEnabled());
    first.waitForFinished();

    // The controller is back under the same name, on a new pseudo-terminal.
    SimProcess second;
    QVERIFY2(!second.start({QStringLiteral("--link"), device}).isEmpty(),
             qPrintable(second.errorString()));
    f7->click();
    QVERIFY(link.isConnected());
    QVERIFY(!scope->panel()->isHidden());
    runEventLoop(500);
    QCOMPARE(dialogs.boxes.size(), 1);
    QVERIFY(SimProcess::bytes(second.log(), true).count('\x02') >= 10);
    scope->panel()->findChild<QPushButton*>(QStringLiteral("Koniec"))->click();
  }
};

QTEST_MAIN(TestLinkSim)
#include "test_link_sim.moc"
