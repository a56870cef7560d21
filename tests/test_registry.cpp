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

  // A packaged program with no directory named keeps its files in the user's data folder; a
  // program run from its build tree, or told a directory, behaves as before.
  void installationDirectoryOfAnInstalledProgram_data() {
    QTest::addColumn<QByteArray>("ini");  // "-": no file
    QTest::addColumn<QString>("layout");  // "prefix": <dir>/bin beside <dir>/share/orvel
    QTest::addColumn<bool>("xdgDataHome");
    QTest::addColumn<QString>("expected");  // relative to the scratch folder; "" for none
    QTest::newRow("installed, no file") << QByteArray("-") << "prefix" << true << "data/orvel2001";
    QTest::newRow("installed, empty default")
        << QByteArray("[orvel2001]\ndefault=\n") << "prefix" << true << "data/orvel2001";
    QTest::newRow("installed, no XDG_DATA_HOME")
        << QByteArray("-") << "prefix" << false << "home/.local/share/orvel2001";
    QTest::newRow("installed, damaged file")
        << QByteArray("\xff\xfe[[[\x00\x01 = = \n[orvel2001\ndefault", 31) << "prefix" << true
        << "data/orvel2001";
    QTest::newRow("installed, default named")
        << QByteArray("[orvel2001]\ndefault=/opt/orvel\n") << "prefix" << true << "/opt/orvel";
    QTest::newRow("build tree") << QByteArray("-") << "build" << true << "";
    QTest::newRow("bin without share/orvel") << QByteArray("-") << "bin" << true << "";
  }

  void installationDirectoryOfAnInstalledProgram() {
    QFETCH(QByteArray, ini);
    QFETCH(QString, layout);
    QFETCH(bool, xdgDataHome);
    QFETCH(QString, expected);
    QTemporaryDir scratch;
    const QString root = scratch.path();
    if (ini != "-") writeIni(ini);
    const QString program = root + (layout == "build" ? "/build/src" : "/usr/bin");
    QVERIFY(QDir().mkpath(program));
    if (layout == "prefix") QVERIFY(QDir().mkpath(root + "/usr/share/orvel"));
    const QByteArray savedHome = qgetenv("HOME");
    qputenv("HOME", (root + "/home").toLocal8Bit());
    if (xdgDataHome) {
      qputenv("XDG_DATA_HOME", (root + "/data").toLocal8Bit());
    } else {
      qunsetenv("XDG_DATA_HOME");
    }
    const QString dir = Registry::installationDirectoryFor(program);
    qputenv("HOME", savedHome);
    qunsetenv("XDG_DATA_HOME");
    const QString want =
        expected.isEmpty() || expected.startsWith('/') ? expected : root + "/" + expected;
    QCOMPARE(dir, want);
    if (!want.isEmpty()) QVERIFY(QFileInfo(want).isDir() || want == "/opt/orvel");
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
