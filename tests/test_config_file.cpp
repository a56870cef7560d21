// config.cfg through a whole program run: what is read at start, what the window becomes, and
// the exact bytes written at close.
#include "core/ConfigFile.h"
#include "core/TextFile.h"
#include "support/ProgramFixture.h"
#include "support/ScratchVolume.h"
#include "ui_TForm1.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace orvel;
using orvel::test::ProgramFixture;
using orvel::test::ScratchVolume;

namespace {

// The template as the fitters' files hold it: Windows-1250, CR LF.
const QByteArray kTemplateBytes =
    "00\r\n"
    "01     *Plik konfiguracyjny programu Orvel 2001 v2.2*\r\n"
    "02 \r\n"
    "03 UWAGA! Prosz\xea nie modyfikowa\xe6 zawarto\x9c"
    "ci. \r\n"
    "04 =========================================================\x20\r\n"
    "05 Ustawienia j\xeazyka: {0-polski, 1-angielski, 2-w\xb3oski}\r\n"
    "0\r\n"
    "07 Wielko\x9c\xe6 po uruchomieniu: {wsnormal/wsmaximized}\r\n"
    "wsmaximized\r\n"
    "09 =========================================================\r\n"
    "10 Numer portu szeregowego: {com1/com2}\r\n"
    "com1\r\n"
    "12 =========================================================\r\n";

QByteArray withLine(QByteArray bytes, int index, const QByteArray& value) {
  QList<QByteArray> lines = bytes.split('\n');
  QByteArray& line = lines[index];
  line = value + "\r";
  return lines.join('\n');
}

QByteArray readAll(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return QByteArray("<missing>");
  return f.readAll();
}

}  // namespace

class ConfigFileTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void templateBytes() {
    QTemporaryDir dir;
    const QString path = dir.path() + "/config.cfg";
    ConfigFile::save(path, ConfigFile::templateLines());
    QCOMPARE(readAll(path), kTemplateBytes);
    QCOMPARE(ConfigFile::templateLines().size(), 13);
    QCOMPARE(ConfigFile::templateLines().at(4).size(), 3 + 57 + 1);
  }

  void splitLinesAcceptsEveryLineEnd_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("crlf") << "a\r\nb\r\n" << QStringList{"a", "b"};
    QTest::newRow("lf") << "a\nb\n" << QStringList{"a", "b"};
    QTest::newRow("cr") << "a\rb" << QStringList{"a", "b"};
    QTest::newRow("no final break") << "a\r\nb" << QStringList{"a", "b"};
    QTest::newRow("empty lines kept") << "\r\n\r\nx\r\n" << QStringList{"", "", "x"};
    QTest::newRow("empty") << "" << QStringList{};
  }
  void splitLinesAcceptsEveryLineEnd() {
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QCOMPARE(splitLines(text), lines);
  }

  void everyByteSurvivesTheCodePage() {
    QByteArray all;
    for (int i = 1; i < 256; ++i) {
      if (i != '\r' && i != '\n') all.append(static_cast<char>(i));
    }
    QCOMPARE(encodeCp1250(decodeCp1250(all)), all);
  }

  // One program run per row: the file before start (or a special case), how the window is left
  // at close, and the file expected afterwards.
  void startAndClose_data() {
    QTest::addColumn<QByteArray>("before");  // "<none>" = no file, "<dir>" = a directory
    QTest::addColumn<bool>("expectNormal");
    QTest::addColumn<QString>("expectPort");
    QTest::addColumn<int>("windowAtClose");  // 0 as started, 1 normal, 2 maximised, 3 minimised
    QTest::addColumn<QByteArray>("after");   // "<unchanged>" = as before

    const QByteArray normal = withLine(kTemplateBytes, 8, "wsnormal");
    QTest::newRow("no file: template, maximised, COM1")
        << QByteArray("<none>") << false << "COM1" << 0 << kTemplateBytes;
    QTest::newRow("normal window kept") << normal << true << "COM1" << 0 << normal;
    QTest::newRow("LF-only file is read, written back with CR LF")
        << QByteArray(normal).replace("\r\n", "\n") << true << "COM1" << 0 << normal;
    QTest::newRow("window maximised at close") << normal << true << "COM1" << 2 << kTemplateBytes;
    QTest::newRow("window normal at close") << kTemplateBytes << false << "COM1" << 1 << normal;
    QTest::newRow("minimised keeps line 8") << normal << true << "COM1" << 3 << normal;
    QTest::newRow("com2 stored") << withLine(kTemplateBytes, 11, "com2") << false << "COM2" << 0
                                 << withLine(kTemplateBytes, 11, "com2");
    QTest::newRow("upper-case COM1 is not com1: COM2 first")
        << withLine(kTemplateBytes, 11, "COM1") << false << "COM2" << 0
        << withLine(kTemplateBytes, 11, "com2");
    QTest::newRow("upper-case WSNORMAL means maximised")
        << withLine(kTemplateBytes, 8, "WSNORMAL") << false << "COM1" << 0 << kTemplateBytes;
    QTest::newRow("empty line 8: whole template")
        << withLine(normal, 8, "") << false << "COM1" << 0 << kTemplateBytes;
    QTest::newRow("empty file") << QByteArray() << false << "COM1" << 0 << kTemplateBytes;
    QTest::newRow("one line") << QByteArray("wsnormal\r\n") << false << "COM1" << 0
                              << kTemplateBytes;
    // Nine lines: line 8 is filled, lines 11 and beyond do not exist and are not written.
    const QByteArray nine = "a\r\nb\r\nc\r\nd\r\ne\r\nf\r\n1\r\nh\r\nwsnormal\r\n";
    QTest::newRow("nine lines: port line missing, COM2 first, file keeps nine lines")
        << nine << true << "COM2" << 0
        << QByteArray("a\r\nb\r\nc\r\nd\r\ne\r\nf\r\n0\r\nh\r\nwsnormal\r\n");
    QTest::newRow("bytes invalid in UTF-8 survive")
        << withLine(normal, 2, "02 \x81\x98\xff\xa5") << true << "COM1" << 0
        << withLine(normal, 2, "02 \x81\x98\xff\xa5");
    QTest::newRow("binary without a line 8")
        << QByteArray("\x00\x01\x02\xfe\xff", 5) << false << "COM1" << 0 << kTemplateBytes;
    QTest::newRow("ten megabytes on one line")
        << QByteArray(10 * 1024 * 1024, 'x') << false << "COM1" << 0 << kTemplateBytes;
  }
  void startAndClose() {
    QFETCH(QByteArray, before);
    QFETCH(bool, expectNormal);
    QFETCH(QString, expectPort);
    QFETCH(int, windowAtClose);
    QFETCH(QByteArray, after);

    ProgramFixture f;
    const QString path = f.installDir.path() + "/config.cfg";
    if (before != "<none>") {
      QFile file(path);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(before);
    }
    f.start();
    QCOMPARE(f.form().windowState() == Qt::WindowNoState, expectNormal);
    QCOMPARE(f.form().ui().COM11->isChecked(), expectPort == "COM1");
    QCOMPARE(f.form().ui().COM21->isChecked(), expectPort == "COM2");
    QCOMPARE(f.link.portName(), expectPort);
    QVERIFY(f.link.isConnected());
    QVERIFY(f.dialogs.boxes.isEmpty());

    if (windowAtClose == 1) f.form().setWindowState(Qt::WindowNoState);
    if (windowAtClose == 2) f.form().setWindowState(Qt::WindowMaximized);
    if (windowAtClose == 3) f.form().setWindowState(Qt::WindowMinimized);
    f.form().close();
    QCOMPARE(readAll(path), after);
    QVERIFY(f.dialogs.boxes.isEmpty());
  }

  void unwritableConfigIsReportedAndTheWindowStillCloses_data() {
    QTest::addColumn<QString>("where");
    QTest::newRow("a directory named config.cfg") << "dir";
    QTest::newRow("installation directory missing") << "missing";
    QTest::newRow("installation directory on a read-only file system") << "proc";
  }
  void unwritableConfigIsReportedAndTheWindowStillCloses() {
    QFETCH(QString, where);
    ProgramFixture f;
    QString dir = f.installDir.path();
    if (where == "dir") QVERIFY(QDir(dir).mkdir("config.cfg"));
    if (where == "missing") dir += "/not/there";
    if (where == "proc") dir = "/proc";
    Environment env;
    env.link = &f.link;
    env.timers = &f.timers;
    env.installationDirectory = [dir] { return dir; };
    f.program = std::make_unique<Program>(std::move(env));
    QVERIFY(f.dialogs.boxes.isEmpty());
    QCOMPARE(f.form().windowState(), Qt::WindowMaximized);  // template

    bool closed = false;
    QObject::connect(&f.form(), &TForm1::closed, [&] { closed = true; });
    f.form().close();
    QVERIFY(closed);
    QCOMPARE(f.dialogs.boxes.size(), 1);
    const auto box = f.dialogs.boxes.first();
    QCOMPARE(box.text, QString("Cannot create file %1/config.cfg.").arg(dir));
    QCOMPARE(box.title, QString("Orvel 2001-2.2"));
    QCOMPARE(box.icon, MessageIcon::Error);
  }

  // Writing config.cfg where it cannot be replaced: the old file survives a failure, and a
  // folder that cannot take a new file (a program installed by root) still gets the settings
  // written in place.
  void closeWhereTheFileCannotBeReplaced_data() {
    QTest::addColumn<QString>("place");
    QTest::addColumn<bool>("reported");
    QTest::addColumn<bool>("written");
    QTest::newRow("read-only folder and file") << "read-only" << true << false;
    QTest::newRow("disk full") << "full" << true << false;
    QTest::newRow("folder takes no new file") << "no new files" << false << true;
  }
  void closeWhereTheFileCannotBeReplaced() {
    QFETCH(QString, place);
    QFETCH(bool, reported);
    QFETCH(bool, written);
    ScratchVolume volume;
    const QString path = volume.file("config.cfg");
    const QByteArray normal = withLine(kTemplateBytes, 8, "wsnormal");
    {
      QFile file(path);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(normal);
    }
    ProgramFixture f;
    f.installPath = volume.path();
    f.start();
    if (place == "read-only") QVERIFY2(volume.makeReadOnly(), "no read-only folder here");
    if (place == "no new files") QVERIFY2(volume.blockNewFiles(), "no such folder here");
    // Without a mount the stand-in for a full disk is a file-size limit: the whole file is over it.
    if (place == "full") volume.fill(16);
    f.form().setWindowState(Qt::WindowMaximized);
    f.form().close();
    QCOMPARE(f.dialogs.boxes.size(), reported ? 1 : 0);
    QCOMPARE(readAll(path), written ? withLine(kTemplateBytes, 8, "wsmaximized") : normal);
  }

  // Only a small regular file is read as config.cfg; anything else gives the template, and the
  // start neither waits on a FIFO nor reads an endless device.
  void configThatIsNotAFileGivesTheTemplate_data() {
    QTest::addColumn<QString>("what");
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("symlink to /dev/zero") << "zero";
    QTest::newRow("directory") << "dir";
    QTest::newRow("over 64 KiB") << "big";
    QTest::newRow("symlink to nowhere") << "dangling";
  }
  void configThatIsNotAFileGivesTheTemplate() {
    QFETCH(QString, what);
    ProgramFixture f;
    const QString path = f.installDir.path() + "/config.cfg";
    const QByteArray native = QFile::encodeName(path);
    if (what == "fifo") QCOMPARE(::mkfifo(native.constData(), 0600), 0);
    if (what == "zero") QCOMPARE(::symlink("/dev/zero", native.constData()), 0);
    if (what == "dir") QVERIFY(QDir(f.installDir.path()).mkdir("config.cfg"));
    if (what == "dangling") QCOMPARE(::symlink("/nonexistent/config", native.constData()), 0);
    if (what == "big") {
      QByteArray big = withLine(kTemplateBytes, 8, "wsnormal");
      big += QByteArray(64 * 1024, ' ') + "\r\n";
      QFile file(path);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(big);
    }
    f.start();
    QCOMPARE(f.form().windowState(), Qt::WindowMaximized);  // the template's state
    QCOMPARE(f.form().configLines(), ConfigFile::templateLines());
  }

  void storedLanguageIsAppliedAfter600ms_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("expected");  // Language
    QTest::newRow("1 English") << QByteArray("1") << int(Language::English);
    QTest::newRow("2 Italian") << QByteArray("2") << int(Language::Italian);
    QTest::newRow("0 Polish") << QByteArray("0") << int(Language::Polish);
    QTest::newRow("other value stays Polish") << QByteArray("3") << int(Language::Polish);
    QTest::newRow("' 1' is not 1") << QByteArray(" 1") << int(Language::Polish);
  }
  void storedLanguageIsAppliedAfter600ms() {
    QFETCH(QByteArray, stored);
    QFETCH(int, expected);
    ProgramFixture f;
    {
      QFile file(f.installDir.path() + "/config.cfg");
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(withLine(kTemplateBytes, 6, stored));
    }
    f.start();
    QCOMPARE(CurrentLanguage::get(), Language::Polish);
    f.timers.advanceMs(599);
    QCOMPARE(CurrentLanguage::get(), Language::Polish);
    f.timers.advanceMs(1);
    QCOMPARE(int(CurrentLanguage::get()), expected);
    QCOMPARE(f.form().ui().Polski1->isChecked(), expected == int(Language::Polish));
    QCOMPARE(f.form().ui().Angielski1->isChecked(), expected == int(Language::English));
    QCOMPARE(f.form().ui().Woski1->isChecked(), expected == int(Language::Italian));
    QVERIFY(!f.form().timer7().isRunning());
    f.timers.advanceMs(2000);
    QCOMPARE(int(CurrentLanguage::get()), expected);

    // The choice is written back at close.
    f.form().close();
    const QStringList lines = *readTextLines(f.installDir.path() + "/config.cfg");
    const QString expectedLine = expected == int(Language::Polish)    ? "0"
                                 : expected == int(Language::English) ? "1"
                                                                      : "2";
    QCOMPARE(lines.at(6), expectedLine);
  }
};

QTEST_MAIN(ConfigFileTest)
#include "test_config_file.moc"
