// The workshop archive: what an F5 read-out leaves in it, settings files taken in, a database
// file that cannot be used, and a record written back into the simulator with a check.
#include "app/Program.h"
#include "archive/ArchiveWindow.h"
#include "archive/ArchivedSettings.h"
#include "core/FileDialogs.h"
#include "core/TextFile.h"
#include "settings/TEdytuj_dane.h"
#include "sim/Eeprom.h"
#include "support/LiveProgram.h"
#include "support/ProgramFixture.h"
#include "support/ScratchVolume.h"
#include "support/ScriptedFileDialogs.h"
#include "support/SettingsBlocks.h"
#include "support/SimProcess.h"
#include "ui_TEdytuj_dane.h"
#include "ui_TForm1.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTest>

#include <iostream>
#include <string>

using namespace orvel;
using test::ProgramFixture;

namespace {

QPushButton* buttonOf(ArchiveWindow& w, const char* name) {
  return w.findChild<QPushButton*>(QLatin1String(name));
}

void readOut(ProgramFixture& f, const QByteArray& block) {
  f.control().startSettingsExchange();
  f.link.inject({0x01});
  f.timers.advanceMs(1100);
  f.answerReadOut(block);
  f.program->editor().close();
}

// A workshop's script on the archive, as a second process: the sqlite3 command.
struct OutsideReader {
  QProcess process;
  QTemporaryDir dir;
  QString error;

  // Holds the database in a transaction (a write lock, or a read one) until release().
  bool hold(const QString& db, const char* begin = "BEGIN EXCLUSIVE;") {
    const QString marker = dir.filePath("held");
    process.start("sqlite3", {db});
    if (!process.waitForStarted(5000)) return error = "sqlite3 did not start", false;
    process.write(QByteArray(begin) + "\n.shell touch " + marker.toUtf8() + "\n");
    QElapsedTimer t;
    t.start();
    while (!QFile::exists(marker) && t.elapsed() < 10000)
      QTest::qWait(20);
    if (!QFile::exists(marker)) return error = process.readAllStandardError(), false;
    return true;
  }
  bool read(const QString& db) { return hold(db, "BEGIN; SELECT count(*) FROM readouts;"); }
  void release() {
    process.write("COMMIT;\n.quit\n");
    process.closeWriteChannel();
    process.waitForFinished(5000);
  }

  static QString run(const QString& db, const QString& sql) {
    QProcess p;
    p.start("sqlite3", {db, sql});
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
  }
  static int count(const QString& db) { return run(db, "SELECT count(*) FROM readouts").toInt(); }
  static QVariant count(const QString& db, const QString& sql) {
    const QString out = run(db, sql);
    bool number = false;
    const int n = out.toInt(&number);
    return number ? QVariant(n) : QVariant(out);
  }

  // A version 1 archive with `rows` read-outs, its last rows still in the -wal file: its writer
  // was killed before a checkpoint.
  static bool leaveVersion1WithJournal(const QString& db, int rows) {
    QByteArray sql =
        "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;\n"
        "CREATE TABLE cars(id INTEGER PRIMARY KEY, line1 TEXT NOT NULL, line2 TEXT NOT NULL, "
        "UNIQUE(line1, line2));\n"
        "CREATE TABLE readouts(id INTEGER PRIMARY KEY, car_id INTEGER NOT NULL REFERENCES "
        "cars(id), taken_at TEXT NOT NULL, source TEXT NOT NULL CHECK(source IN ('read', "
        "'import', 'write')), block BLOB NOT NULL CHECK(length(block) = 37), note TEXT NOT NULL "
        "DEFAULT '');\n"
        "CREATE INDEX readouts_by_time ON readouts(taken_at, id, car_id);\n"
        "PRAGMA user_version = 1;\n"
        "INSERT INTO cars VALUES(1, 'Opel Astra', 'WX 1234');\n";
    const char* notes[] = {"one", "two", "three"};
    for (int i = 0; i < rows; ++i) {
      sql += QString(
                 "INSERT INTO readouts(car_id, taken_at, source, block, note) VALUES(1, "
                 "'2024-05-0%1T10:00:00Z', '%2', zeroblob(37), '%3');\n")
                 .arg(i + 1)
                 .arg(i == 1 ? "write" : "read")
                 .arg(i < 3 ? notes[i] : "")
                 .toUtf8();
    }
    QTemporaryDir marker;
    sql += ".shell touch " + marker.filePath("done").toUtf8() + "\n";
    QProcess writer;
    writer.start("sqlite3", {db});
    if (!writer.waitForStarted(5000)) return false;
    writer.write(sql);
    QElapsedTimer t;
    t.start();
    while (!QFile::exists(marker.filePath("done")) && t.elapsed() < 10000)
      QTest::qWait(20);
    writer.kill();
    writer.waitForFinished(5000);
    return QFile::exists(marker.filePath("done"));
  }
};

// Reads the child's standard output until a line holds `text`.
bool waitForLine(QProcess& process, const QByteArray& text) {
  if (!process.waitForStarted(10000)) return false;
  QElapsedTimer t;
  t.start();
  QByteArray seen;
  while (t.elapsed() < 30000 && process.state() == QProcess::Running) {
    process.waitForReadyRead(200);
    seen += process.readAllStandardOutput();
    if (seen.contains(text)) return true;
  }
  return false;
}

SettingsBlock toBlock(const QByteArray& bytes) {
  SettingsBlock b{};
  std::copy(bytes.begin(), bytes.end(), b.begin());
  return b;
}

// The bytes a settings file holds: all but the cutoff switch, the idle period reference and the
// few bytes the editor never shows.
SettingsBlock fileBytes(SettingsBlock b) {
  for (int k : {0, 15, 16, 30, 31, 32, 33})
    b[static_cast<std::size_t>(k)] = 0;
  b[8] &= 0x4D;
  return b;
}

}  // namespace

class ArchiveTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  // A file saved by the program in each interface language, as it is or damaged in one line,
  // taken in through "Importuj .orv...".
  void importSettingsFile_data() {
    QTest::addColumn<QString>("language");  // the language menu item
    QTest::addColumn<int>("line");          // the line changed, from 0; -1: none
    QTest::addColumn<QString>("text");      // its new text; "<cut>": the file ends before it
    QTest::addColumn<int>("refused");       // the line named, from 0; -1: taken in; -2: too large
    QTest::newRow("Polish") << "Polski1" << -1 << "" << -1;
    QTest::newRow("English") << "Angielski1" << -1 << "" << -1;
    QTest::newRow("Italian") << "Woski1" << -1 << "" << -1;
    QTest::newRow("caption rewritten") << "Polski1" << 13 << "TPS threshold" << -1;
    QTest::newRow("volts not a number") << "Angielski1" << 14 << "1,00" << 14;
    QTest::newRow("rpm not a number") << "Woski1" << 16 << "800 rpm" << 16;
    QTest::newRow("OFF where rpm belongs") << "Polski1" << 40 << "OFF" << 40;
    QTest::newRow("one number of a pair") << "Polski1" << 30 << "500" << 30;
    QTest::newRow("stepper speed out of range") << "Angielski1" << 42 << "25" << 42;
    QTest::newRow("position out of range") << "Polski1" << 36 << "256" << 36;
    QTest::newRow("option word unknown") << "Woski1" << 47 << "TPS:   Tak" << 47;
    QTest::newRow("caption missing") << "Polski1" << 21 << "" << 21;
    QTest::newRow("file cut short") << "Polski1" << 40 << "<cut>" << 40;
    QTest::newRow("over 64 KB") << "Polski1" << 49 << QString(70 * 1024, 'x') << -2;
    // The car lines are what the F2 window takes, 25 and 33 characters.
    QTest::newRow("car line as long as F2 takes") << "Polski1" << 6 << QString(25, 'A') << -1;
    QTest::newRow("car line longer than F2 takes") << "Polski1" << 6 << QString(26, 'A') << 6;
    QTest::newRow("second car line of 60,000 characters")
        << "Polski1" << 7 << QString(60000, 'B') << 7;
  }
  void importSettingsFile() {
    QFETCH(QString, language);
    QFETCH(int, line);
    QFETCH(QString, text);
    QFETCH(int, refused);
    test::ScriptedFileDialogs files;
    ProgramFixture f;
    f.start();
    f.form().findChild<QAction*>(language)->trigger();
    readOut(f, test::typicalBlock());
    QTemporaryDir dir;
    const QString path = dir.filePath("car.orv");
    files.answers = {path};
    f.form().ui().Zapiszdopliku1->trigger();
    QStringList lines = *readTextLines(path);
    if (text == "<cut>") {
      lines = lines.mid(0, line);
    } else if (line >= 0) {
      while (lines.size() <= line)
        lines << QString();
      lines[line] = text;
    }
    writeTextLines(path, lines);

    ArchiveWindow& window = f.program->archiveWindow();
    f.form().ui().Archiwum1->trigger();
    const int before = window.listModel().rowCount();
    QCOMPARE(before, 1);  // the read-out
    files.answers = {path};
    const int boxes = f.dialogs.boxes.size();
    buttonOf(window, "BtnImport")->click();
    if (refused != -1) {
      QCOMPARE(window.listModel().rowCount(), before);
      QCOMPARE(f.dialogs.boxes.size(), boxes + 1);
      const QString message = f.dialogs.boxes.last().text;
      if (refused == -2) {
        QVERIFY2(message.contains("za duży jak na plik ustawień"), qPrintable(message));
        return;
      }
      QVERIFY2(message.contains(QString(" %1 ").arg(refused + 1)), qPrintable(message));
      // The line quoted, a long one cut short.
      QVERIFY2(message.contains(lines.value(refused).left(60)), qPrintable(message));
      QVERIFY(message.size() < 400);
      return;
    }
    QCOMPARE(window.listModel().rowCount(), before + 1);
    QCOMPARE(f.dialogs.boxes.size(), boxes);
    const auto imported = f.program->archive().store().readout(window.selectedIds().value(0));
    QVERIFY(imported);
    QCOMPARE(imported->source, ReadoutSource::Import);
    QCOMPARE(fileBytes(imported->block), fileBytes(toBlock(test::typicalBlock())));
  }

  // A database the program cannot write now never costs a read-out: the fitter is told why, in
  // the interface language with the driver's words, and the read-out waits (in a file beside the
  // database, across a restart too) until the database takes it; a damaged file is moved aside
  // untouched and a new one started.
  void unusableDatabase_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("boxes");
    QTest::addColumn<QStringList>("told");  // pieces of what the boxes say
    QTest::addColumn<int>("waiting");       // read-outs waiting before the database is free
    QTest::newRow("damaged") << "damaged" << 1 << QStringList{"uszkodzony"} << 0;
    QTest::newRow("folder cannot be written")
        << "read-only" << 1
        << QStringList{"nie można zapisywać", "\r\nSzczegóły: ", "tylko w pamięci"} << 2;
    QTest::newRow("held by a workshop script")
        << "held" << 2
        << QStringList{"inny program", "Szczegóły: database is locked", "czeka w pliku",
                       "czekały na archiwum (2)"}
        << 2;
    QTest::newRow("held across a restart")
        << "restart" << 2 << QStringList{"inny program", "czekały na archiwum (2)"} << 2;
  }
  void unusableDatabase() {
    QFETCH(QString, kind);
    QFETCH(int, boxes);
    QFETCH(QStringList, told);
    QFETCH(int, waiting);
    QTemporaryDir dir;
    ProgramFixture f;
    f.archiveDir = dir.filePath("archiwum");
    const QString db = f.archiveDir + "/archiwum.sqlite";
    const QByteArray garbage = QByteArray("not an archive at all, ").repeated(200);
    QVERIFY(QDir().mkpath(f.archiveDir));
    if (kind == "damaged") writeFileBytes(db, garbage);
    if (kind == "read-only") f.archiveDir = test::pathUnderAFile(dir);
    OutsideReader script;
    if (kind == "held" || kind == "restart") {
      ArchiveStore(db).open();
      QVERIFY2(script.hold(db), qPrintable(script.error));
    }
    f.start();
    for (int i = 0; i < 2; ++i) {
      readOut(f, test::typicalBlock(0x51, 176 + i));
      QVERIFY(!f.program->editor().isVisible());  // it opened, and was closed by the fitter
    }
    QCOMPARE(f.program->archive().waiting(), waiting);
    if (kind == "restart") {
      f.program.reset();  // the program closes while the script still holds the database
      script.release();
      f.start();
      f.timers.advanceMs(200);
    } else if (kind == "held") {
      QVERIFY(QFile::exists(f.archiveDir + "/archiwum-oczekujace.json"));
      script.release();
      f.timers.advanceMs(1000);
    }
    const QString texts = f.dialogs.texts().join("\n---\n");
    QCOMPARE(f.dialogs.boxes.size(), boxes);
    for (const QString& piece : told)
      QVERIFY2(texts.contains(piece), qPrintable(texts));
    if (kind == "damaged") {
      const QStringList aside =
          QDir(f.archiveDir).entryList({"archiwum.sqlite.damaged-*"}, QDir::Files);
      QCOMPARE(aside.size(), 1);
      QCOMPARE(readRegularFile(f.archiveDir + "/" + aside.first(), 1 << 20).bytes, garbage);
    }
    if (kind == "read-only") return;
    // Every read-out in the file, in the order taken.
    QCOMPARE(f.program->archive().waiting(), 0);
    QVERIFY(!QFile::exists(f.archiveDir + "/archiwum-oczekujace.json"));
    const std::vector<ReadoutSummary> rows = f.program->archive().store().list();
    QCOMPARE(rows.size(), std::size_t(2));
    QCOMPARE(f.program->archive().store().readout(rows.front().id)->block[13], std::uint8_t(177));
  }

  // Nothing in the program opens the archive's files but SQLite, whatever a dialog shows or the
  // fitter picks: a workshop script reading the file meanwhile finds it in use and leaves its
  // journal alone, and after a crash (kill -9) every read-out is in the file. Run as a second
  // process so that it can be killed.
  void noDescriptorButSqlite_data() {
    QTest::addColumn<QString>("action");
    QTest::newRow("a file dialog shows the archive's folder") << "browse";
    QTest::newRow("the import picks the database") << "import";
    QTest::newRow("Ctrl+O picks the database") << "view";
  }
  void noDescriptorButSqlite() {
    QFETCH(QString, action);
    QVERIFY2(!QStandardPaths::findExecutable("sqlite3").isEmpty(),
             "the sqlite3 command (scripts/install-deps.sh installs it)");
    QTemporaryDir dir;
    const QString db = dir.filePath("archiwum/archiwum.sqlite");
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ORVEL_ARCHIVE_CHILD", dir.path());
    env.insert("ORVEL_ARCHIVE_ACTION", action);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(waitForLine(program, "done"));
    // The script: it must find the archive in use, so it leaves the -wal file alone.
    QCOMPARE(OutsideReader::count(db), 1);
    QVERIFY(QFile::exists(db + "-wal"));
    program.write("more\n");
    QVERIFY(waitForLine(program, "kept"));
    QCOMPARE(OutsideReader::count(db), 3);
    program.kill();
    QVERIFY(program.waitForFinished(5000));
    QCOMPARE(OutsideReader::count(db), 3);
  }

  // An archive of schema version 1, left in the installation folder with rows still in its
  // -wal file (its writer was killed), is carried over once through SQLite, its rows all there
  // and brought to this schema; one another program has open stays where it is, in use, and is
  // moved at a later start.
  void carryOver_data() {
    QTest::addColumn<bool>("heldOpen");
    QTest::addColumn<QString>("told");
    QTest::newRow("rows still in the journal") << false << "przeniesione";
    QTest::newRow("open in another program") << true << "inny program ma je otwarte";
  }
  void carryOver() {
    QFETCH(bool, heldOpen);
    QFETCH(QString, told);
    ProgramFixture f;
    const QString old = f.installDir.filePath("archiwum.sqlite");
    const QString moved = f.installDir.filePath("archiwum/archiwum.sqlite");
    QVERIFY(OutsideReader::leaveVersion1WithJournal(old, 3));
    QVERIFY(QFile::exists(old + "-wal"));
    OutsideReader script;
    if (heldOpen) QVERIFY2(script.read(old), qPrintable(script.error));
    f.start();
    readOut(f, test::typicalBlock());
    QVERIFY2(f.dialogs.texts().join("").contains(told), qPrintable(f.dialogs.texts().join("\n")));
    const QString inUse = heldOpen ? old : moved;
    QCOMPARE(f.program->archive().store().path(), inUse);
    QCOMPARE(f.program->archive().store().list().size(), std::size_t(4));
    if (!heldOpen) {
      for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        QVERIFY(!QFile::exists(old + suffix));
      QCOMPARE(
          OutsideReader::count(moved, "SELECT group_concat(note) FROM readouts WHERE note <> ''"),
          QString("one,two,three"));
      // Brought to this schema step by step, every row and id kept.
      QCOMPARE(OutsideReader::count(moved, "PRAGMA user_version"), ArchiveStore::kSchemaVersion);
      QCOMPARE(OutsideReader::count(moved, "SELECT group_concat(id || source) FROM readouts"),
               QString("1read,2write,3read,4read"));
      return;
    }
    // Once the other program lets go, the next start carries it over.
    script.release();
    f.program.reset();
    f.dialogs.boxes.clear();
    f.start();
    f.program->archive().tellProblems();
    QVERIFY(f.dialogs.texts().join("").contains("przeniesione"));
    QCOMPARE(f.program->archive().store().list().size(), std::size_t(4));
    QVERIFY(!QFile::exists(old));
  }

  // The idle period reference goes back only into the engine it was measured on; rpm settings
  // always go out through the reference the controller holds then.
  void idleReferenceOnlyForTheSameEngine_data() {
    QTest::addColumn<bool>("sameEngine");
    QTest::addColumn<int>("recordReference");
    QTest::addColumn<QStringList>("commands");  // code and arguments of each step, in order
    QTest::newRow("another engine") << false << 1000 << QStringList{};
    QTest::newRow("same engine") << true << 1000
                                 << QStringList{"1F E8 03", "08 E8 03", "14 A0 00", "16 4D 01",
                                                "18 D7 02"};
    QTest::newRow("same engine, not calibrated") << true << 0x0101 << QStringList{};
  }
  void idleReferenceOnlyForTheSameEngine() {
    QFETCH(bool, sameEngine);
    QFETCH(int, recordReference);
    QFETCH(QStringList, commands);
    // The same settings as the controller shows, taken with another reference.
    Readout record;
    record.block = toBlock(test::typicalBlock());
    record.block[32] = static_cast<std::uint8_t>(recordReference & 0xFF);
    record.block[33] = static_cast<std::uint8_t>(recordReference >> 8);
    QByteArray scaled = test::typicalBlock();
    const SettingsBlock controller = toBlock(scaled);
    // Periods scaled to the record's reference show the controller's rpm.
    for (int k : {6, 13, 17, 19}) {
      const int v = (scaled[k] & 0xFF) | ((scaled[k + 1] & 0xFF) << 8);
      test::setWord(scaled, k, v * recordReference / 1100);
    }
    for (int k : {6, 13, 17, 19}) {
      record.block[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(scaled[k]);
      record.block[static_cast<std::size_t>(k + 1)] = static_cast<std::uint8_t>(scaled[k + 1]);
    }
    const WritePlan plan = planWriteBack(record, controller, sameEngine);
    QStringList sent;
    for (const WriteStep& step : plan.steps)
      sent << QString(step.command->bytes().toHex(' ')).toUpper();
    QCOMPARE(sent, commands);
  }

  // Settings changed on the simulator; the read-out taken before is written back: only the
  // changed settings go out, each as the editor sends it, then 0Ah; a new read-out finds the
  // simulator's block equal to the record, and its EEPROM, what an ignition cycle brings back,
  // holds the record too.
  void writeBackToTheSimulator() {
    SimProcess sim;
    const QString eeprom = sim.tempPath("eeprom");
    const QString pty = sim.start({"--state", eeprom});
    QVERIFY(!pty.isEmpty());
    test::LiveProgram p(pty);
    TForm1& form = p.form();
    TEdytuj_dane& editor = p.program->editor();
    Ui::TEdytuj_dane& ui = editor.ui();
    form.ui().SpeedButton3->click();
    QTRY_VERIFY_WITH_TIMEOUT(editor.isVisible(), 5000);
    ui.EditProgTPS->setText("2.50");
    ui.SendProgTPS->click();
    ui.Editsilnikmax->setText("200");
    ui.EditSilnikmin->setText("20");
    ui.SpeedButton2->click();
    ui.RadioGroup3Item1->click();
    editor.close();

    ArchiveWindow& window = p.program->archiveWindow();
    form.ui().Archiwum1->trigger();
    QCOMPARE(window.listModel().rowCount(), 1);
    const qint64 recordId = window.listModel().idAt(0);
    window.selectIds({recordId});
    auto log = sim.waitForLog(0);
    buttonOf(window, "BtnZapiszSterownik")->click();
    QPushButton* confirm = buttonOf(window, "BtnPotwierdz");
    QTRY_VERIFY_WITH_TIMEOUT(confirm->isVisible(), 5000);
    auto* table = window.findChild<QTableWidget*>("Porownanie");
    QCOMPARE(table->rowCount(), 3);
    QCOMPARE(table->item(0, 1)->text(), QString("2.50"));
    QCOMPARE(table->item(0, 2)->text(), QString("1.00"));
    log = sim.waitForLog(log.size() + 2 + 38);
    const int before = SimProcess::bytes(log, true).size();
    confirm->click();
    QTRY_VERIFY_WITH_TIMEOUT(buttonOf(window, "BtnZapiszSterownik")->isEnabled(), 5000);
    log = sim.waitForLog(log.size() + 54);
    QCOMPARE(SimProcess::bytes(log, true).mid(before), QByteArray::fromHex("0714"
                                                                           "122DF0"
                                                                           "0B51"
                                                                           "0A"
                                                                           "AA0909"
                                                                           "11"
                                                                           "0A"));
    QVERIFY(p.dialogs.boxes.isEmpty());

    // Kept: the read-out before writing and the one after, which equals the record.
    const std::vector<ReadoutSummary> rows = p.program->archive().store().list();
    QCOMPARE(rows.size(), std::size_t(3));
    QCOMPARE(rows.front().source, QString("write"));
    const auto written = p.program->archive().store().readout(rows.front().id);
    const auto record = p.program->archive().store().readout(recordId);
    QVERIFY(written->block == record->block);
    for (int row = 0; row < table->rowCount(); ++row)
      QCOMPARE(table->item(row, 4)->text(), QString("zapisane i potwierdzone"));
    const auto stored = sim::decodeEepromImage(readRegularFile(eeprom, 4096).bytes.toStdString());
    QVERIFY(stored);
    QVERIFY(std::equal(stored->begin(), stored->end(), record->block.begin()));
  }
};

namespace {

// The program's side of noDescriptorButSqlite, in a process of its own: a read-out, then the
// archive's files shown in a file dialog or picked in one, then two more read-outs when told;
// it then waits to be killed.
int archiveChild(int argc, char** argv) {
  QApplication app(argc, argv);
  ProgramFixture f;
  f.installPath = qEnvironmentVariable("ORVEL_ARCHIVE_CHILD");
  f.start();
  readOut(f, test::typicalBlock());
  const QString folder = f.installPath + "/archiwum";
  const QString action = qEnvironmentVariable("ORVEL_ARCHIVE_ACTION");
  bool shown = true;
  if (action == "browse") {
    QFileDialog dialog(nullptr, QString(), folder);
    useNameOnlyFileDialog(dialog);
    dialog.setViewMode(QFileDialog::Detail);
    dialog.show();
    auto* model = dialog.findChild<QFileSystemModel*>();
    // Every file's icon and type, asked for again as the folder's details come in.
    for (int pass = 0; pass < 30; ++pass) {
      QTest::qWait(50);
      const QModelIndex root = model->index(folder);
      for (int row = 0; row < model->rowCount(root); ++row) {
        for (int column = 0; column < model->columnCount(root); ++column) {
          model->data(model->index(row, column, root), Qt::DecorationRole);
          model->data(model->index(row, column, root), Qt::DisplayRole);
        }
      }
      shown = model->rowCount(root) >= 3;  // the database, its -wal and -shm files
    }
    dialog.close();
  } else {
    test::ScriptedFileDialogs files;
    files.answers = {folder + "/archiwum.sqlite"};
    if (action == "import") {
      f.form().ui().Archiwum1->trigger();
      buttonOf(f.program->archiveWindow(), "BtnImport")->click();
    } else {
      f.form().ui().Odczytajzpliku1->trigger();
    }
  }
  // What became of the files is judged from outside, by the script and after the kill.
  std::cout << (shown ? "done" : "the dialog did not list the archive's files") << std::endl;
  std::string line;
  std::getline(std::cin, line);
  for (int i = 0; i < 2; ++i)
    readOut(f, test::typicalBlock());
  std::cout << "kept" << std::endl;
  std::getline(std::cin, line);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsSet("ORVEL_ARCHIVE_CHILD")) return archiveChild(argc, argv);
  QApplication app(argc, argv);
  app.setAttribute(Qt::AA_Use96Dpi, true);
  ArchiveTest test;
  QTEST_SET_MAIN_SOURCE_PATH
  return QTest::qExec(&test, argc, argv);
}

#include "test_archive.moc"
