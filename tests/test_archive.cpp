// The workshop archive: what an F5 read-out leaves in it, settings files taken in, a database
// file that cannot be used, and a record written back into the simulator with a check.
#include "app/Program.h"
#include "archive/ArchiveWindow.h"
#include "archive/ArchivedSettings.h"
#include "core/TextFile.h"
#include "settings/TEdytuj_dane.h"
#include "support/LiveProgram.h"
#include "support/ProgramFixture.h"
#include "support/ScratchVolume.h"
#include "support/ScriptedFileDialogs.h"
#include "support/SettingsBlocks.h"
#include "support/SimProcess.h"
#include "ui_TEdytuj_dane.h"
#include "ui_TForm1.h"

#include <QDir>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTest>

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
  f.link.inject(block);
  f.program->editor().close();
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
    QTest::addColumn<int>("refused");       // the line named, from 0; -1: taken in
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
    if (refused >= 0) {
      QCOMPARE(window.listModel().rowCount(), before);
      QCOMPARE(f.dialogs.boxes.size(), boxes + 1);
      const QString message = f.dialogs.boxes.last().text;
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

  // A database file that cannot be used never stops a read-out and is told once per run; a
  // damaged one is moved aside untouched and a new one started.
  void unusableDatabase_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("damaged") << "damaged";
    QTest::newRow("read-only folder") << "read-only";
    QTest::newRow("locked") << "locked";
  }
  void unusableDatabase() {
    QFETCH(QString, kind);
    test::ScratchVolume volume(2048);
    ProgramFixture f;
    f.installPath = volume.path();
    const QString db = volume.file(ArchiveStore::fileName());
    const QByteArray garbage = QByteArray("not an archive at all, ").repeated(200);
    QTemporaryDir elsewhere;
    if (kind == "damaged") writeFileBytes(db, garbage);
    if (kind == "read-only" && !volume.makeReadOnly()) {
      // Root ignores permissions: a folder under a file cannot take a database either.
      f.installPath = test::pathUnderAFile(elsewhere);
    }
    {
      // Another program holds the file for writing throughout.
      QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other");
      other.setDatabaseName(db);
      if (kind == "locked") {
        QVERIFY(other.open());
        QVERIFY(QSqlQuery(other).exec("BEGIN EXCLUSIVE"));
      }
    }
    const auto release = qScopeGuard([] { QSqlDatabase::removeDatabase("other"); });
    f.start();
    for (int i = 0; i < 2; ++i) {
      readOut(f, test::typicalBlock());
      QVERIFY(!f.program->editor().isVisible());  // it opened, and was closed by the fitter
    }
    QCOMPARE(f.dialogs.boxes.size(), 1);
    if (kind == "damaged") {
      const QStringList aside =
          QDir(volume.path()).entryList({"archiwum.sqlite.damaged-*"}, QDir::Files);
      QCOMPARE(aside.size(), 1);
      QCOMPARE(readRegularFile(volume.file(aside.first()), 1 << 20).bytes, garbage);
      QCOMPARE(f.program->archive().store().list().size(), std::size_t(2));
    } else {
      QVERIFY(f.program->archive().store().list().empty());
    }
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
  // changed settings go out, each as the editor sends it, then 0Ah, and a new read-out finds
  // the simulator's block equal to the record.
  void writeBackToTheSimulator() {
    SimProcess sim;
    const QString pty = sim.start();
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
    log = sim.waitForLog(log.size() + 52);
    QCOMPARE(SimProcess::bytes(log, true).mid(before), QByteArray::fromHex("0714"
                                                                           "122DF0"
                                                                           "0B51"
                                                                           "0A"
                                                                           "AA09"
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
      QCOMPARE(table->item(row, 3)->text(), QString("zapisane i potwierdzone"));
  }
};

QTEST_MAIN(ArchiveTest)
#include "test_archive.moc"
