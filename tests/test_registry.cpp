// The INI file that stands in for the registry: the installation directory and the devices
// behind COM1 and COM2.
#include "core/Registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace orvel;

class RegistryTest : public QObject {
  Q_OBJECT

  QTemporaryDir home_;

  QString iniPath() const { return home_.path() + "/orvel2001/registry.ini"; }
  void writeIni(const QByteArray& content) {
    QDir().mkpath(home_.path() + "/orvel2001");
    QFile f(iniPath());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
  }

 private Q_SLOTS:
  void init() {
    QFile::remove(iniPath());
    qputenv("XDG_CONFIG_HOME", home_.path().toLocal8Bit());
    qunsetenv("ORVEL_COM1");
    qunsetenv("ORVEL_COM2");
  }

  void fileFollowsXdgConfigHome() {
    QCOMPARE(Registry::filePath(), iniPath());
    qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(Registry::filePath(), QDir::homePath() + "/.config/orvel2001/registry.ini");
  }

  void missingFileIsCreatedWithAnEmptyKey() {
    QVERIFY(!QFile::exists(iniPath()));
    QCOMPARE(Registry::installationDirectory(), QString());
    QVERIFY(QFile::exists(iniPath()));
    QFile f(iniPath());
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    QVERIFY2(text.contains("[orvel2001]"), text.constData());
    QVERIFY2(text.contains("default="), text.constData());
  }

  void storedDirectoryIsRead() {
    writeIni("[orvel2001]\ndefault=/opt/orvel\n");
    QCOMPARE(Registry::installationDirectory(), QString("/opt/orvel"));
  }

  void missingKeyIsAddedAndOtherEntriesKept() {
    writeIni("[ports]\nCOM1=/dev/ttyUSB0\n");
    QCOMPARE(Registry::installationDirectory(), QString());
    QCOMPARE(Registry::devicePathForPort("COM1"), QString("/dev/ttyUSB0"));
  }

  void garbageFileGivesAnEmptyDirectoryAndIsLeftAlone() {
    static const char kGarbage[] = "\xff\xfe[[[\x00\x01 = = \n[orvel2001\ndefault";
    const QByteArray garbage(kGarbage, sizeof kGarbage - 1);
    writeIni(garbage);
    QCOMPARE(Registry::installationDirectory(), QString());
    QFile f(iniPath());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), garbage);
  }

  // A packaged program with no directory named keeps its files in the user's data folder; one
  // run from its build tree, or told a directory, behaves as before.
  void installationDirectoryOfAnInstalledProgram_data() {
    QTest::addColumn<QByteArray>("ini");  // empty: no file
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("expected");  // below the scratch folder unless absolute
    QTest::newRow("no file") << QByteArray() << "/usr/bin"
                             << "data/orvel2001";
    QTest::newRow("empty default") << QByteArray("[orvel2001]\ndefault=\n") << "/usr/bin"
                                   << "data/orvel2001";
    // Not the next row's length: Qt keeps a file's settings while its size and time are the same,
    // and both rows may write in the same second.
    QTest::newRow("damaged file") << QByteArray("\xff\xfe[[[\x00\x01 = = \n[orvel2001\ndef", 27)
                                  << "/usr/bin"
                                  << "data/orvel2001";
    QTest::newRow("default named") << QByteArray("[orvel2001]\ndefault=/opt/orvel\n") << "/usr/bin"
                                   << "/opt/orvel";
    QTest::newRow("build tree") << QByteArray() << "/build/src"
                                << "";
    QTest::newRow("bin without share/orvel") << QByteArray() << "/opt/bin"
                                             << "";
  }
  void installationDirectoryOfAnInstalledProgram() {
    QFETCH(QByteArray, ini);
    QFETCH(QString, program);
    QFETCH(QString, expected);
    QTemporaryDir scratch;
    if (!ini.isEmpty()) writeIni(ini);
    QVERIFY(QDir().mkpath(scratch.path() + program) &&
            QDir().mkpath(scratch.path() + "/usr/share/orvel"));
    qputenv("XDG_DATA_HOME", (scratch.path() + "/data").toLocal8Bit());
    const QString dir = Registry::installationDirectoryFor(scratch.path() + program);
    qunsetenv("XDG_DATA_HOME");
    QCOMPARE(dir, expected.isEmpty() || expected.startsWith('/') ? expected
                                                                 : scratch.path() + "/" + expected);
    QVERIFY(expected.isEmpty() || expected.startsWith('/') || QFileInfo(dir).isDir());
  }

  void portDevices_data() {
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QByteArray>("env1");
    QTest::addColumn<QString>("com1");
    QTest::addColumn<QString>("com2");
    QTest::newRow("defaults") << QByteArray() << QByteArray() << "/dev/ttyS0"
                              << "/dev/ttyS1";
    QTest::newRow("from the file") << QByteArray("[ports]\nCOM1=/dev/ttyUSB0\nCOM2=/dev/ttyACM0\n")
                                   << QByteArray() << "/dev/ttyUSB0"
                                   << "/dev/ttyACM0";
    QTest::newRow("environment wins")
        << QByteArray("[ports]\nCOM1=/dev/ttyUSB0\n") << QByteArray("/dev/pts/7") << "/dev/pts/7"
        << "/dev/ttyS1";
    QTest::newRow("empty entry means default")
        << QByteArray("[ports]\nCOM1=\n") << QByteArray() << "/dev/ttyS0"
        << "/dev/ttyS1";
  }
  void portDevices() {
    QFETCH(QByteArray, ini);
    QFETCH(QByteArray, env1);
    QFETCH(QString, com1);
    QFETCH(QString, com2);
    if (!ini.isEmpty()) writeIni(ini);
    if (!env1.isEmpty()) qputenv("ORVEL_COM1", env1);
    QCOMPARE(Registry::devicePathForPort("COM1"), com1);
    QCOMPARE(Registry::devicePathForPort("COM2"), com2);
    QCOMPARE(Registry::devicePathForPort("/dev/ttyUSB3"), QString("/dev/ttyUSB3"));
  }

  void fileNames() {
    QCOMPARE(installationFile("", "config.cfg"), QString("config.cfg"));
    QCOMPARE(installationFile("/opt/orvel", "config.cfg"), QString("/opt/orvel/config.cfg"));
  }
};

QTEST_MAIN(RegistryTest)
#include "test_registry.moc"
