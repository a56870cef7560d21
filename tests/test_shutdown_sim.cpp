// The real program ended by a signal (a desktop logout, `kill`, Ctrl+C) closes as its close box
// does: config.cfg written, the port and its lock file released, a normal exit.
#include "support/SimProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <signal.h>

namespace {

// QSerialPort's lock file for a device: LCK.. and the name below /dev, in the first of the
// usual lock folders that can be written.
QString lockFileFor(const QString& device) {
  QString name = device.mid(QStringLiteral("/dev/").size());
  name.replace(QLatin1Char('/'), QLatin1Char('_'));
  const QStringList folders{"/var/lock",
                            "/etc/locks",
                            "/var/spool/locks",
                            "/var/spool/uucp",
                            "/tmp",
                            "/var/tmp",
                            "/var/lock/lockdev",
                            "/run/lock",
                            QStandardPaths::writableLocation(QStandardPaths::TempLocation)};
  for (const QString& folder : folders) {
    if (QFileInfo(folder).isWritable()) return folder + "/LCK.." + name;
  }
  return QString();
}

bool waitFor(const std::function<bool()>& condition, int ms) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > ms) return false;
    QTest::qWait(20);
  }
  return true;
}

}  // namespace

class ShutdownTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void signalClosesLikeTheCloseBox_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGHUP") << SIGHUP;
  }

  void signalClosesLikeTheCloseBox() {
    QFETCH(int, signal);
    SimProcess sim;
    const QString device = sim.start({"--no-pace"});
    QVERIFY2(!device.isEmpty(), qPrintable(sim.errorString()));
    QTemporaryDir home;
    const QString install = home.path() + "/install";
    QVERIFY(QDir().mkpath(install) && QDir().mkpath(home.path() + "/orvel2001"));
    QFile ini(home.path() + "/orvel2001/registry.ini");
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[orvel2001]\ndefault=" + install.toLocal8Bit() + "\n");
    ini.close();

    // A test run from a background job starts with SIGINT ignored, and the program would inherit
    // that; it is the program's own handling that is tested here.
    ::signal(signal, SIG_DFL);
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", home.path());
    env.insert("ORVEL_COM1", device);
    env.insert("ORVEL_COM2", "/dev/orvel-test-no-com2");
    program.setProcessEnvironment(env);
    program.start(ORVEL_PROGRAM_PATH, {});
    QVERIFY(program.waitForStarted());

    const QString lock = lockFileFor(device);
    QVERIFY(!lock.isEmpty());
    QVERIFY2(waitFor([&] { return QFileInfo::exists(lock); }, 10000), qPrintable(lock));
    // The port opens while the windows are made; the event loop runs a moment later.
    QTest::qWait(1500);
    QVERIFY(program.state() == QProcess::Running);
    ::kill(static_cast<pid_t>(program.processId()), signal);

    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QFile config(install + "/config.cfg");
    QVERIFY(config.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = config.readAll().split('\n');
    QCOMPARE(lines.size(), 14);  // 13 lines ended by CR LF
    QCOMPARE(lines[11], QByteArray("com1\r"));
    QVERIFY2(!QFileInfo::exists(lock), qPrintable(lock));
  }
};

QTEST_MAIN(ShutdownTest)
#include "test_shutdown_sim.moc"
