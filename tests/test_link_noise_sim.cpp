// The link on a noisy line, end to end: the real serial link and timers in oscilloscope mode
// against the simulator adding random bursts of stray bytes. Noise is the dispatch's business:
// the port must stay open and frames must keep coming.
#include <QtTest>

#include "app/Program.h"
#include "link/QtSerialTransport.h"
#include "link/Timers.h"
#include "monitor/OscilloscopePanel.h"
#include "support/RecordingDialogs.h"
#include "support/SimProcess.h"

#include <QFrame>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

using namespace orvel;

namespace {

void runEventLoop(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace

class TestLinkNoiseSim : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void oscilloscopeModeSurvivesLineNoise() {
    SimProcess sim;
    const QString pty = sim.start({QStringLiteral("--noise"), QStringLiteral("300"),
                                   QStringLiteral("--seed"), QStringLiteral("7")});
    QVERIFY2(!pty.isEmpty(), qPrintable(sim.errorString()));
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    qputenv("ORVEL_COM1", pty.toLocal8Bit());
    qputenv("ORVEL_COM2", home.filePath(QStringLiteral("no-such-port")).toLocal8Bit());

    test::RecordingDialogs dialogs;
    QtTimerService timers;
    QtSerialTransport link;
    Environment env;
    env.link = &link;
    env.timers = &timers;
    env.installationDirectory = [&home] { return home.path(); };
    env.openUrl = [](const QUrl&) { return true; };
    Program program(std::move(env));
    QVERIFY(link.isConnected());

    TForm1& form = program.form1();
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
    qInfo("%d frames decoded in %d s; %d bytes from the line; %d read reports found harmless",
          frames, seconds, stray, link.spuriousErrors());
    QVERIFY(link.isConnected());
    // Noise costs frames (a shifted frame waits for the watchdog), never the link.
    QVERIFY2(frames >= 10 * seconds, qPrintable(QString::number(frames)));
    for (const QString& box : dialogs.texts())
      QVERIFY2(!box.contains(QLatin1String("function failed")), qPrintable(box));
  }
};

QTEST_MAIN(TestLinkNoiseSim)
#include "test_link_noise_sim.moc"
