// The real program ended by a signal (a logout, `kill`, Ctrl+C) closes as its close box does.
#include "support/SimProcess.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <signal.h>

class ShutdownTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void signalClosesLikeTheCloseBox_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGHUP") << SIGHUP;
    // Nobody is there to read a box: standard error says so and the program ends.
    QTest::newRow("SIGTERM, config.cfg cannot be written") << SIGTERM;
  }

  // config.cfg written, a normal exit, and the lock file (LCK.. and the device's name
  // below /dev; root writes it in /var/lock) gone with the port.
  void signalClosesLikeTheCloseBox() {
    QFETCH(int, signal);
    SimProcess sim;
    const QString device = sim.start({"--no-pace"});
    QVERIFY(!device.isEmpty());
    QTemporaryDir home;
    QVERIFY(QDir().mkpath(home.path() + "/orvel2001"));
    QFile ini(home.path() + "/orvel2001/registry.ini");
    QVERIFY(ini.open(QIODevice::WriteOnly));
    const bool writable = !QByteArray(QTest::currentDataTag()).contains("cannot");
    const QString dir = writable ? home.path() : ini.fileName() + "/below-a-file";
    ini.write("[orvel2001]\ndefault=" + dir.toLocal8Bit() + "\n");
    ini.close();
    // A test run as a background job starts with SIGINT ignored, which the program would keep.
    ::signal(signal, SIG_DFL);
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", home.path());
    env.insert("ORVEL_COM1", device);
    program.setProcessEnvironment(env);
    program.start(ORVEL_PROGRAM_PATH, {});
    const QString lock = "/var/lock/LCK.." + device.mid(5).replace('/', '_');
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(lock), 10000);
    QTest::qWait(1500);  // the port opens while the windows are made; the event loop runs later
    ::kill(pid_t(program.processId()), signal);
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    const QString errors = QString::fromLocal8Bit(program.readAllStandardError());
    QCOMPARE(errors.contains("Cannot create file " + dir + "/config.cfg."), !writable);
    if (!writable) return;
    QFile config(home.path() + "/config.cfg");
    QVERIFY(config.open(QIODevice::ReadOnly));
    QCOMPARE(config.readAll().split('\n').value(11), QByteArray("com1\r"));
    QVERIFY(!QFile::exists(lock));
  }
};

QTEST_MAIN(ShutdownTest)
#include "test_shutdown_sim.moc"
