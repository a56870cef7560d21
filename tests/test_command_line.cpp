// The program's own options answer on the terminal, with no display to be had (over SSH, in a
// script), instead of aborting for want of one.
#include <QProcess>
#include <QProcessEnvironment>
#include <QtTest>

class CommandLineTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void optionsNeedNoDisplay_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("firstLine");
    QTest::newRow("--help") << "--help"
                            << "Usage: ";
    QTest::newRow("-h") << "-h"
                        << "Usage: ";
    QTest::newRow("--version") << "--version"
                               << "orvel " ORVEL_VERSION;
    QTest::newRow("-v") << "-v"
                        << "orvel " ORVEL_VERSION;
  }

  void optionsNeedNoDisplay() {
    QFETCH(QString, option);
    QFETCH(QString, firstLine);
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
      env.remove(name);
    program.setProcessEnvironment(env);
    program.start(ORVEL_PROGRAM_PATH, {option});
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
    QVERIFY2(out.startsWith(firstLine), qPrintable(out));
    QCOMPARE(program.readAllStandardError(), QByteArray());
  }
};

QTEST_MAIN(CommandLineTest)
#include "test_command_line.moc"
