// The archive on virtual time and an in-memory link: what a write-back sends, what stops it, that
// the archive takes only the settings block its own exchange asked for, and the file as a
// workshop's script and the list see it.
#include "app/Program.h"
#include "archive/ArchiveWindow.h"
#include "settings/TEdytuj_dane.h"
#include "support/ProgramFixture.h"
#include "support/SettingsBlocks.h"
#include "ui_TForm1.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTest>

using namespace orvel;
using test::ProgramFixture;

namespace {

QByteArray hex(const QString& text) {
  return QByteArray::fromHex(text.toLatin1().replace(' ', ""));
}

QPushButton* buttonOf(ArchiveWindow& w, const char* name) {
  return w.findChild<QPushButton*>(QLatin1String(name));
}

// The controller's side of one settings exchange: 01h to AAh, then the block to 09h.
void answerReadOut(ProgramFixture& f, const QByteArray& block) {
  f.link.inject({0x01});
  f.timers.advanceMs(1100);
  if (!block.isEmpty()) f.link.inject(block);
}

// A read-out of `block` archived by F5, the editor closed, and the archive open on it.
ArchiveWindow& archiveOnReadOut(ProgramFixture& f, const QByteArray& block) {
  f.start();
  f.control().startSettingsExchange();
  answerReadOut(f, block);
  f.program->editor().close();
  ArchiveWindow& window = f.program->archiveWindow();
  f.form().ui().Archiwum1->trigger();
  window.selectIds({window.listModel().idAt(0)});
  return window;
}

}  // namespace

class ArchiveExchangeTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void writeBack_data() {
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<int>("failWriteAfter");  // writes allowed after the confirmation; -1: all
    QTest::addColumn<QString>("sent");        // bytes after the confirmation, up to the read-back
    QTest::addColumn<QString>("result");      // part of the window's closing line
    QTest::addColumn<QByteArray>("readBack");

    QByteArray offLimit = test::typicalBlock(0x51, 1);
    QTest::newRow("speed limit switched off") << offLimit << -1 << "14 01 00 0A"
                                              << "bajt po bajcie" << offLimit;
    // 900 rpm with the delta still 200 rpm: the controller keeps the delta as a period
    // difference at the changeover speed, so it goes out again.
    QByteArray changeover = test::typicalBlock();
    test::setWord(changeover, 6, 1000);
    QByteArray moved = test::typicalBlock();
    test::setWord(moved, 6, 978);
    test::setWord(moved, 17, 279);
    QTest::newRow("changeover takes the delta along") << changeover << -1 << "08 D2 03 16 17 01 0A"
                                                      << "bajt po bajcie" << moved;
    // A controller that kept something else than it was sent.
    QTest::newRow("read back differs") << offLimit << -1 << "14 01 00 0A"
                                       << "różni się" << test::typicalBlock();
    QByteArray two = test::typicalBlock();
    two[5] = 50;                       // TPS 2.50 V
    two[10] = static_cast<char>(55);   // stepper max 200
    two[11] = static_cast<char>(235);  // stepper min 20
    QTest::newRow("link fails after the first setting") << two << 2 << "07 32"
                                                        << "Wysłano już: Próg" << QByteArray();
  }
  void writeBack() {
    QFETCH(QByteArray, record);
    QFETCH(int, failWriteAfter);
    QFETCH(QString, sent);
    QFETCH(QString, result);
    QFETCH(QByteArray, readBack);
    ProgramFixture f;
    ArchiveWindow& window = archiveOnReadOut(f, record);

    buttonOf(window, "BtnZapiszSterownik")->click();
    answerReadOut(f, test::typicalBlock());
    QVERIFY(buttonOf(window, "BtnPotwierdz")->isVisibleTo(&window));
    const int before = f.link.written().size();
    if (failWriteAfter >= 0) f.link.failWritesFrom = f.link.writesSoFar() + failWriteAfter;
    buttonOf(window, "BtnPotwierdz")->click();
    QByteArray expected = hex(sent);
    if (failWriteAfter < 0) {
      expected += hex("AA 09");
      answerReadOut(f, readBack);
      expected += hex("0A");
      QCOMPARE(f.dialogs.boxes.size(), 0);
    } else {
      // The link's own single box, and nothing after the failed write.
      QCOMPARE(f.dialogs.boxes.size(), 1);
    }
    QCOMPARE(f.link.written().mid(before).toHex(' '), expected.toHex(' '));
    const QString line = window.findChild<QLabel*>("LabelWynik")->text();
    QVERIFY2(line.contains(result), qPrintable(line));
    QVERIFY(f.form().ui().Zmianaparametrwpracy1->isEnabled());
  }

  // A record the controller already holds: the controller is read, nothing is sent, and the
  // communication ends at once.
  void nothingDiffersSendsNothing() {
    ProgramFixture f;
    ArchiveWindow& window = archiveOnReadOut(f, test::typicalBlock());
    const int before = f.link.written().size();
    buttonOf(window, "BtnZapiszSterownik")->click();
    answerReadOut(f, test::typicalBlock());
    QCOMPARE(f.link.written().mid(before), hex("AA 09 0A"));
    QVERIFY(!buttonOf(window, "BtnPotwierdz")->isVisibleTo(&window));
  }

  // The archive's exchange takes its block and the editor stays shut; one that gave up leaves
  // nothing behind, and the next F5 opens the editor as always.
  void archiveTakesOnlyItsOwnBlock_data() {
    QTest::addColumn<bool>("answers");
    QTest::newRow("controller answers") << true;
    QTest::newRow("controller silent") << false;
  }
  void archiveTakesOnlyItsOwnBlock() {
    QFETCH(bool, answers);
    ProgramFixture f;
    ArchiveWindow& window = archiveOnReadOut(f, test::typicalBlock());
    buttonOf(window, "BtnPorownaj")->click();
    QByteArray other = test::typicalBlock();
    other[5] = 50;
    answerReadOut(f, answers ? other : QByteArray());
    if (!answers) f.timers.advanceMs(6200);
    QVERIFY(!f.program->editor().isVisible());
    QCOMPARE(window.listModel().rowCount(), answers ? 2 : 1);
    const QString line = window.findChild<QLabel*>("LabelWynik")->text();
    QCOMPARE(line, answers ? QString("Różnych ustawień: 1") : QString("Sterownik nie odpowiada"));
    QVERIFY(f.form().ui().Zmianaparametrwpracy1->isEnabled());

    f.control().startSettingsExchange();
    answerReadOut(f, test::typicalBlock());
    QVERIFY(f.program->editor().isVisible());
    QCOMPARE(f.program->archive().store().list().size(), std::size_t(answers ? 3 : 2));
  }

  // While the editor holds the communication the archive starts none of its own.
  void editorOpenRefusesExchange() {
    ProgramFixture f;
    f.start();
    f.control().startSettingsExchange();
    answerReadOut(f, test::typicalBlock());
    QVERIFY(f.program->editor().isVisible());
    ArchiveWindow& window = f.program->archiveWindow();
    f.form().ui().Archiwum1->trigger();
    window.selectIds({window.listModel().idAt(0)});
    const int before = f.link.written().size();
    for (const char* name : {"BtnPorownaj", "BtnZapiszSterownik"})
      buttonOf(window, name)->click();
    f.timers.advanceMs(7000);
    QCOMPARE(f.link.written().size(), before);
    QCOMPARE(f.dialogs.boxes.size(), 2);
    QVERIFY(f.program->editor().isVisible());
  }

  // Two read-outs side by side, captions in the interface's language, the rows that differ
  // marked; the note of one read-out is kept in the file.
  void sideBySide_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("tpsCaption");
    QTest::newRow("Polish") << "Polski1"
                            << "Próg przełączania TPS [0..10V]:";
    QTest::newRow("English") << "Angielski1"
                             << "Trigger level TPS [0..10V]:";
    QTest::newRow("Italian") << "Woski1"
                             << "Soglia commutazione TPS [0..10V]:";
  }
  void sideBySide() {
    QFETCH(QString, language);
    QFETCH(QString, tpsCaption);
    ProgramFixture f;
    f.start();
    f.form().findChild<QAction*>(language)->trigger();
    QByteArray other = test::typicalBlock();
    other[5] = 50;
    for (const QByteArray& block : {test::typicalBlock(), other}) {
      f.control().startSettingsExchange();
      answerReadOut(f, block);
      f.program->editor().close();
    }
    ArchiveWindow& window = f.program->archiveWindow();
    f.form().ui().Archiwum1->trigger();
    window.selectIds({window.listModel().idAt(0), window.listModel().idAt(1)});
    auto* table = window.findChild<QTableWidget*>("Porownanie");
    QStringList marked;
    for (int row = 0; row < table->rowCount(); ++row)
      if (table->item(row, 0)->font().bold()) marked << table->item(row, 0)->text();
    QCOMPARE(marked, QStringList{tpsCaption});
    const int tps = 1;  // after the idle period reference
    QCOMPARE(table->item(tps, 1)->text(), QString("1.00"));
    QCOMPARE(table->item(tps, 2)->text(), QString("2.50"));

    window.selectIds({window.listModel().idAt(1)});
    auto* note = window.findChild<QLineEdit*>("EditNotatka");
    QVERIFY(note->isEnabled());
    note->setText("po wymianie wtryskiwaczy");
    Q_EMIT note->editingFinished();
    const auto kept = f.program->archive().store().readout(window.listModel().idAt(1));
    QCOMPARE(kept->note, QString("po wymianie wtryskiwaczy"));
  }

  // What a workshop's script finds in the file, and how the list orders and filters it.
  void fileAndList_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QList<int>>("shown");  // the read-outs listed, by the order they were kept
    QTest::newRow("everything, newest first") << "" << QList<int>{3, 2, 1, 0};
    QTest::newRow("first car line, any case") << "OPEL" << QList<int>{2, 0};
    QTest::newRow("second car line") << "kr 55" << QList<int>{3, 1};
    QTest::newRow("no car") << "Fiat" << QList<int>{};
  }
  void fileAndList() {
    QFETCH(QString, filter);
    QFETCH(QList<int>, shown);
    QTemporaryDir dir;
    const QString path = dir.filePath(ArchiveStore::fileName());
    std::vector<qint64> ids;
    {
      ArchiveStore store(path);
      const CarLines cars[] = {{"Opel Astra", "WX 1234"}, {"Skoda Fabia", "KR 5555"}};
      const QDateTime start = QDateTime::fromString("2025-01-01T08:00:00Z", Qt::ISODate);
      SettingsBlock block{};
      for (int i = 0; i < 4; ++i)
        ids.push_back(*store.add(cars[i % 2], ReadoutSource::Read, block, start.addDays(i)));
      ArchiveListModel model;
      model.load(store);
      model.setFilter(filter);
      QList<int> listed;
      for (int row = 0; row < model.rowCount(); ++row)
        listed << int(std::find(ids.begin(), ids.end(), model.idAt(row)) - ids.begin());
      QCOMPARE(listed, shown);
    }
    QSqlDatabase script = QSqlDatabase::addDatabase("QSQLITE", "script");
    script.setDatabaseName(path);
    QVERIFY(script.open());
    QSqlQuery q(script);
    QVERIFY(q.exec("PRAGMA user_version") && q.next());
    QCOMPARE(q.value(0).toInt(), ArchiveStore::kSchemaVersion);
    QVERIFY(q.exec("PRAGMA journal_mode") && q.next());
    QCOMPARE(q.value(0).toString(), QString("wal"));
    QVERIFY(q.exec("SELECT count(*) FROM cars") && q.next());
    QCOMPARE(q.value(0).toInt(), 2);
    QVERIFY(q.exec("SELECT c.line1, c.line2, r.taken_at, r.source, length(r.block), r.note "
                   "FROM readouts r JOIN cars c ON c.id = r.car_id ORDER BY r.id LIMIT 1") &&
            q.next());
    QCOMPARE(q.value(0).toString(), QString("Opel Astra"));
    QCOMPARE(q.value(1).toString(), QString("WX 1234"));
    QCOMPARE(q.value(2).toString(), QString("2025-01-01T08:00:00Z"));
    QCOMPARE(q.value(3).toString(), QString("read"));
    QCOMPARE(q.value(4).toInt(), kSettingsBlockLength);
    QCOMPARE(q.value(5).toString(), QString(""));
    q = QSqlQuery();
    script.close();
    script = QSqlDatabase();
    QSqlDatabase::removeDatabase("script");
  }
};

QTEST_MAIN(ArchiveExchangeTest)
#include "test_archive_exchange.moc"
