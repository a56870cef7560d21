// The archive on virtual time and an in-memory link: what a write-back sends, what stops it, that
// the archive takes only the settings block its own exchange asked for, and the file as a
// workshop's script and the list see it.
#include "app/Program.h"
#include "archive/ArchiveWindow.h"
#include "core/TextFile.h"
#include "service/ServiceConsole.h"
#include "settings/TEdytuj_dane.h"
#include "support/ProgramFixture.h"
#include "support/SettingsBlocks.h"
#include "ui_ServiceConsole.h"
#include "ui_TForm1.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTest>

using namespace orvel;
using test::ProgramFixture;

namespace {

QByteArray hex(const QString& text) {
  return QByteArray::fromHex(text.toLatin1().replace(' ', ""));
}

// The car the F2 window names now (dane.cfg line 6).
void writeCar(ProgramFixture& f, const QString& car) {
  QStringList lines(8);
  lines[6] = car;
  writeTextLines(f.installDir.filePath("dane.cfg"), lines);
}

// The same settings taken with another idle period reference: every period scaled to it.
QByteArray withReference(QByteArray block, int reference) {
  for (int k : {6, 13, 17, 19}) {
    const int v = (block[k] & 0xFF) | ((block[k + 1] & 0xFF) << 8);
    test::setWord(block, k, v * reference / 1100);
  }
  test::setWord(block, 32, reference);
  return block;
}

QPushButton* buttonOf(ArchiveWindow& w, const char* name) {
  return w.findChild<QPushButton*>(QLatin1String(name));
}

// The controller's side of one settings exchange: 01h to AAh, then the block to 09h.
void answerReadOut(ProgramFixture& f, const QByteArray& block) {
  f.link.inject({0x01});
  f.timers.advanceMs(1100);
  if (!block.isEmpty()) f.answerReadOut(block);
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
  // What the read-back shows, and what the report says of it: never more than the controller
  // gave back. The EEPROM is written only after a read-back that shows exactly what was sent.
  void writeBack_data() {
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QByteArray>("controller");  // what the first read finds
    QTest::addColumn<int>("failWriteAfter");     // writes allowed after the confirmation; -1: all
    QTest::addColumn<QByteArray>("readBack");    // empty: the controller stays silent
    QTest::addColumn<int>("eeprom");             // the answer to 11h; -1: none
    QTest::addColumn<bool>("scope");             // started from oscilloscope mode
    QTest::addColumn<QString>("sent");           // every byte after the confirmation
    QTest::addColumn<QStringList>("results");    // each report row's result, in order
    QTest::addColumn<QStringList>("summary");    // pieces of the closing line
    QTest::addColumn<QString>("stored");         // the newest row's source
    QTest::addColumn<int>("boxes");

    const QByteArray typical = test::typicalBlock();
    const QByteArray offLimit = test::typicalBlock(0x51, 1);
    const QStringList confirmed{"zapisane i potwierdzone"};
    QTest::newRow("confirmed, EEPROM answers, from oscilloscope mode")
        << offLimit << typical << -1 << offLimit << 1 << true << "14 01 00 0A AA 09 09 11 0A 02"
        << confirmed << QStringList{"bajt po bajcie z tym, co wysłano", "11h, odpowiedź 01h"}
        << "write" << 0;
    QTest::newRow("confirmed, EEPROM silent")
        << offLimit << typical << -1 << offLimit << -1 << false << "14 01 00 0A AA 09 09 11 0A"
        << confirmed << QStringList{"bajt po bajcie", "nie odpowiedział w ciągu 1 s"} << "write"
        << 0;
    // 900 rpm with the delta still 200 rpm: the controller keeps the delta as a period
    // difference at the changeover speed, so it goes out again.
    QByteArray changeover = typical;
    test::setWord(changeover, 6, 1000);
    QByteArray moved = typical;
    test::setWord(moved, 6, 978);
    test::setWord(moved, 17, 279);
    QTest::newRow("changeover takes the delta along")
        << changeover << typical << -1 << moved << 1 << false
        << "08 D2 03 16 17 01 0A AA 09 09 11 0A"
        << QStringList{confirmed.first(), confirmed.first()} << QStringList{"bajt po bajcie"}
        << "write" << 0;
    QTest::newRow("read back differs")
        << offLimit << typical << -1 << typical << 1 << false << "14 01 00 0A AA 09 09 0A"
        << QStringList{"inne po zapisie"}
        << QStringList{"różni się", "(bajty bloku: 13)", "nie zapisano w pamięci EEPROM",
                       "zapis niepotwierdzony"}
        << "write-unconfirmed" << 0;
    // The controller takes the rpm settings sent for the record's idle period reference, but
    // keeps its own reference: they mean other speeds now.
    const QByteArray own = withReference(typical, 1000);
    QByteArray keptOwn = own;
    test::setWord(keptOwn, 32, 1100);
    const QString through = "niepotwierdzone: wartość przeliczono przez „Okres obrotów";
    QTest::newRow("reference not taken")
        << own << typical << -1 << keptOwn << 1 << false
        << "1F E8 03 08 E8 03 14 A0 00 16 4D 01 18 D7 02 0A AA 09 09 0A"
        << QStringList{"inne po zapisie", through, through, through, through}
        << QStringList{"różni się", "(bajty bloku: 32, 33)", "Niepotwierdzone: Okres"}
        << "write-unconfirmed" << 0;
    QByteArray steps60 = offLimit;
    steps60[27] = 60;
    QTest::newRow("a value the editor cannot send")
        << steps60 << typical << -1 << offLimit << 1 << false << "14 01 00 0A AA 09 09 11 0A"
        << QStringList{confirmed.first(), "nie wysłane: Nieprawidłowa wartość; Dozwolone: 2...50"}
        << QStringList{"bajt po bajcie", "Nie wysłano (edytor nie przyjmuje tych wartości)"}
        << "write" << 0;
    // The editor sends what it shows: the record's bytes that only round to the same text stay
    // as the controller has them.
    QByteArray rounded = typical;
    rounded[9] = 26;                  // 0.50 V
    test::setWord(rounded, 6, 1101);  // 800 rpm
    QByteArray lambda60 = typical;
    lambda60[9] = 31;  // 0.60 V
    QTest::newRow("display rounding")
        << rounded << lambda60 << -1 << typical << 1 << false << "0F 19 0A AA 09 09 11 0A"
        << QStringList{"zapisane i potwierdzone; na ekranie to samo, w sterowniku inne bajty "
                       "(26 / 25): zaokrąglenie wyświetlania",
                       "na ekranie to samo, w sterowniku inne bajty (77 4 / 76 4): zaokrąglenie "
                       "wyświetlania"}
        << QStringList{"bajt po bajcie", "inne bajty niż w odczycie z archiwum"} << "write" << 0;
    QByteArray two = typical;
    two[5] = 50;                       // TPS 2.50 V
    two[10] = static_cast<char>(55);   // stepper max 200
    two[11] = static_cast<char>(235);  // stepper min 20
    const QString unchecked = "wysłane, nie sprawdzone";
    QTest::newRow("silent after the settings")
        << two << typical << -1 << QByteArray() << -1 << false << "07 32 12 37 EB 0A AA"
        << QStringList{unchecked, unchecked}
        << QStringList{"Zapis przerwany: sterownik nie odpowiedział",
                       "Wysłano: ", "Nic z tego nie zostało sprawdzone",
                       "nie zapisano niczego jako zapisu"}
        << "read" << 1;
    // The link's own single box, and nothing after the failed write.
    QTest::newRow("link fails after the first setting")
        << two << typical << 2 << QByteArray() << -1 << false << "07 32"
        << QStringList{unchecked, "nie wysłane (zapis przerwany)"}
        << QStringList{"Zapis przerwany: łącze", "Wysłano: "} << "read" << 1;
  }
  void writeBack() {
    QFETCH(QByteArray, record);
    QFETCH(QByteArray, controller);
    QFETCH(int, failWriteAfter);
    QFETCH(QByteArray, readBack);
    QFETCH(int, eeprom);
    QFETCH(bool, scope);
    QFETCH(QString, sent);
    QFETCH(QStringList, results);
    QFETCH(QStringList, summary);
    QFETCH(QString, stored);
    QFETCH(int, boxes);
    ProgramFixture f;
    writeCar(f, "Skoda Fabia");
    ArchiveWindow& window = archiveOnReadOut(f, record);
    if (scope) f.form().ui().Tryboscyloskopu1->trigger();

    buttonOf(window, "BtnZapiszSterownik")->click();
    answerReadOut(f, controller);
    QVERIFY(buttonOf(window, "BtnPotwierdz")->isVisibleTo(&window));
    const int before = f.link.written().size();
    if (failWriteAfter >= 0) f.link.failWritesFrom = f.link.writesSoFar() + failWriteAfter;
    buttonOf(window, "BtnPotwierdz")->click();
    if (failWriteAfter < 0 && readBack.isEmpty()) f.timers.advanceMs(6200);
    if (!readBack.isEmpty()) {
      answerReadOut(f, readBack);
      if (eeprom >= 0) f.link.inject({eeprom});
      f.timers.advanceMs(1100);
    }
    QCOMPARE(f.link.written().mid(before).toHex(' '), hex(sent).toHex(' '));
    auto* table = window.findChild<QTableWidget*>("Porownanie");
    QCOMPARE(window.findChild<QStackedWidget*>()->currentWidget(), table);  // the report stays
    QCOMPARE(table->rowCount(), results.size());
    for (int row = 0; row < table->rowCount(); ++row) {
      const QString text = table->item(row, 4)->text();
      QVERIFY2(text.startsWith(results[row]), qPrintable(text));
    }
    const QString line = window.findChild<QLabel*>("LabelWynik")->text();
    for (const QString& piece : summary)
      QVERIFY2(line.contains(piece), qPrintable(line));
    if (!readBack.isEmpty() && !results.contains("inne po zapisie"))
      QVERIFY(!line.contains("różni się"));
    QCOMPARE(f.program->archive().store().list().front().source, stored);
    QCOMPARE(f.dialogs.boxes.size(), boxes);
    if (boxes == 1 && failWriteAfter < 0) QCOMPARE(f.dialogs.boxes.first().text, line);
    QVERIFY(f.form().ui().Zmianaparametrwpracy1->isEnabled());
    QCOMPARE(f.control().oscilloscopeMode, scope);
  }

  // Every way an exchange of the archive ends ends the archive's part in it: the controller is
  // told 0Ah where it answered, the commands come back, and the next F5 is an ordinary one.
  void exchangeEndings_data() {
    QTest::addColumn<QString>("action");  // "compare" or "write"
    QTest::addColumn<QString>("stage");   // "read", "plan", "read-back", "eeprom"
    QTest::addColumn<QString>("ending");
    QTest::addColumn<QString>("wire");  // every byte from the ending on, before the next F5
    QTest::addColumn<int>("boxes");
    const struct {
      const char* action;
      const char* stage;
      const char* ending;
      const char* wire;
      int boxes;
    } rows[] = {
        {"compare", "start", "port gone", "", 1},
        {"compare", "read", "uncalibrated", "09 09 0A", 1},
        {"compare", "read", "silent", "", 0},
        {"compare", "read", "closed", "0A", 0},
        {"compare", "read", "console", "0A", 0},
        {"write", "read", "uncalibrated", "09 09 0A", 1},
        {"write", "read", "lost link", "", 1},
        {"write", "read", "closed", "0A", 0},
        {"write", "plan", "closed", "0A", 0},
        {"write", "plan", "console", "0A", 0},
        {"write", "read-back", "uncalibrated", "09 09 0A", 2},
        {"write", "read-back", "silent", "", 1},
        {"write", "read-back", "lost link", "", 2},
        {"write", "read-back", "closed", "0A", 1},
        {"write", "read-back", "console", "0A", 1},
        {"write", "eeprom", "closed", "0A", 1},
        {"write", "eeprom", "console", "0A", 0},
    };
    for (const auto& r : rows)
      QTest::addRow("%s, %s, %s", r.action, r.stage, r.ending)
          << r.action << r.stage << r.ending << r.wire << r.boxes;
  }
  void exchangeEndings() {
    QFETCH(QString, action);
    QFETCH(QString, stage);
    QFETCH(QString, ending);
    QFETCH(QString, wire);
    QFETCH(int, boxes);
    ProgramFixture f;
    const QByteArray offLimit = test::typicalBlock(0x51, 1);
    ArchiveWindow& window = archiveOnReadOut(f, offLimit);
    QByteArray uncalibrated = test::typicalBlock();
    test::setWord(uncalibrated, 32, 0x0101);
    int mark = 0;
    const auto end = [&] {
      mark = f.link.written().size();
      if (ending == "uncalibrated") answerReadOut(f, uncalibrated);
      if (ending == "lost link") f.link.loseDevice(5);
      if (ending == "silent" || ending == "lost link") f.timers.advanceMs(6200);
      if (ending == "closed") window.close();
      if (ending == "console") f.form().ui().MaskEdit1->setText("ster oscylator");
    };
    if (stage == "start") {
      mark = f.link.written().size();
      f.link.failingPorts.insert(f.link.portName());
      f.link.close();
    }
    buttonOf(window, action == "compare" ? "BtnPorownaj" : "BtnZapiszSterownik")->click();
    f.link.failingPorts.clear();
    if (stage == "start") {
      QVERIFY(buttonOf(window, "BtnPorownaj")->isEnabled());
    } else if (stage == "read") {
      end();
    } else {
      answerReadOut(f, test::typicalBlock());
      if (stage == "plan") {
        end();
      } else {
        buttonOf(window, "BtnPotwierdz")->click();
        if (stage == "eeprom") answerReadOut(f, offLimit);
        end();
      }
    }
    QCOMPARE(f.link.written().mid(mark).toHex(' '), hex(wire).toHex(' '));
    QCOMPARE(f.dialogs.boxes.size(), boxes);
    if (ending == "console") {
      f.form().ui().GroupBox1->findChild<ServiceConsole*>()->ui().SpeedButton7->click();
    }
    QVERIFY(f.form().ui().SpeedButton3->isEnabled());
    QVERIFY(f.form().statusText() != "Podawanie parametrów");
    QVERIFY(!buttonOf(window, "BtnPotwierdz")->isVisibleTo(&window));
    // Nothing of the ended exchange acts later, and the next F5 opens the editor.
    f.timers.advanceMs(7000);
    const int next = f.link.written().size();
    f.control().startSettingsExchange();
    answerReadOut(f, test::typicalBlock());
    QVERIFY(f.program->editor().isVisible());
    QCOMPARE(f.link.written().mid(next).toHex(' '), hex("AA 09 09").toHex(' '));
  }

  // The new rows of an exchange belong to the car the fitter says the controller is fitted to,
  // asked before anything is sent when the record's car and the F2 window's differ.
  void carOfNewRows_data() {
    QTest::addColumn<QString>("f2Car");
    QTest::addColumn<int>("answer");       // the fitter's answer; -1: no question
    QTest::addColumn<QString>("rowsCar");  // the car of the new read-out; empty: nothing sent
    QTest::newRow("the same car") << "Skoda Fabia" << -1 << "Skoda Fabia";
    QTest::newRow("another car, the read-out's chosen")
        << "Opel Astra" << int(Answer::First) << "Skoda Fabia";
    QTest::newRow("another car, the F2 window's chosen")
        << "Opel Astra" << int(Answer::Second) << "Opel Astra";
    QTest::newRow("another car, called off") << "Opel Astra" << int(Answer::Cancel) << "";
  }
  void carOfNewRows() {
    QFETCH(QString, f2Car);
    QFETCH(int, answer);
    QFETCH(QString, rowsCar);
    ProgramFixture f;
    writeCar(f, "Skoda Fabia");
    ArchiveWindow& window = archiveOnReadOut(f, test::typicalBlock());
    writeCar(f, f2Car);
    if (answer >= 0) f.dialogs.answers = {Answer(answer)};
    const int before = f.link.written().size();
    buttonOf(window, "BtnPorownaj")->click();
    QCOMPARE(f.dialogs.questions.size(), answer >= 0 ? 1 : 0);
    if (answer >= 0) QVERIFY(f.dialogs.boxes.first().text.contains("Opel Astra"));
    if (rowsCar.isEmpty()) {
      QCOMPARE(f.link.written().size(), before);
      return;
    }
    answerReadOut(f, test::typicalBlock());
    const auto rows = f.program->archive().store().list();
    QCOMPARE(rows.size(), std::size_t(2));
    QCOMPARE(rows.front().car.line1, rowsCar);
  }

  // An open archive window lists a new read-out at once and keeps what it shows; the search
  // finds notes too; the car columns are captioned as the F2 window's lines; the window fits
  // the screen.
  void windowFollowsTheArchive() {
    ProgramFixture f;
    ArchiveWindow& window = archiveOnReadOut(f, test::typicalBlock());
    auto* listing = window.findChild<QPlainTextEdit*>("Listing");
    const QString shown = listing->toPlainText();
    const QList<qint64> selected = window.selectedIds();
    f.control().startSettingsExchange();
    answerReadOut(f, test::typicalBlock(0x11));
    f.program->editor().close();
    QCOMPARE(window.listModel().rowCount(), 2);
    QCOMPARE(window.selectedIds(), selected);
    QCOMPARE(listing->toPlainText(), shown);

    auto* note = window.findChild<QLineEdit*>("EditNotatka");
    note->setText("Po wymianie reduktora");
    Q_EMIT note->editingFinished();
    window.findChild<QLineEdit*>("EditSzukaj")->setText("REDUKTOR");
    QCOMPARE(window.listModel().rowCount(), 1);
    QCOMPARE(window.listModel().idAt(0), selected.first());

    auto& model = window.listModel();
    QCOMPARE(model.headerData(ArchiveListModel::CarLine1, Qt::Horizontal, Qt::DisplayRole),
             QVariant("Samochód"));
    QCOMPARE(model.headerData(ArchiveListModel::CarLine2, Qt::Horizontal, Qt::DisplayRole),
             QVariant("Nr rejestracyjny"));
    QVERIFY(window.screen()->availableGeometry().contains(window.geometry()));
  }

  // A record the controller already holds: nothing is sent; the fitter may have the settings
  // written to the EEPROM, or end the communication.
  void nothingDiffers_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("wire");
    QTest::addColumn<QString>("result");
    QTest::newRow("EEPROM written") << "BtnPotwierdz"
                                    << "AA 09 09 11 0A"
                                    << "nic poza zapisem";
    QTest::newRow("called off") << "BtnAnuluj"
                                << "AA 09 09 0A"
                                << "Nic nie zostało wysłane";
  }
  void nothingDiffers() {
    QFETCH(QString, button);
    QFETCH(QString, wire);
    QFETCH(QString, result);
    ProgramFixture f;
    ArchiveWindow& window = archiveOnReadOut(f, test::typicalBlock());
    const int before = f.link.written().size();
    buttonOf(window, "BtnZapiszSterownik")->click();
    answerReadOut(f, test::typicalBlock());
    QCOMPARE(buttonOf(window, "BtnPotwierdz")->text(), QString("Zapisz w EEPROM"));
    buttonOf(window, button.toLatin1())->click();
    f.link.inject({0x01});
    f.timers.advanceMs(100);
    QCOMPARE(f.link.written().mid(before).toHex(' '), hex(wire).toHex(' '));
    const QString line = window.findChild<QLabel*>("LabelWynik")->text();
    QVERIFY2(line.contains(result), qPrintable(line));
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
    QVERIFY2(line.startsWith(answers ? "Różnych ustawień: 1" : "Sterownik nie odpowiada"),
             qPrintable(line));
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
