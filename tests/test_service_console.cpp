// The hidden service console on the whole program with virtual time and an in-memory link: the
// way in and out, what "Wyślij" sends for every kind of entry and how each received byte is
// listed, the line numbers beside the list, and the link's dispatch kept away from bytes that
// arrive while the console is open.
#include "link/Protocol.h"
#include "service/ConsoleLogic.h"
#include "service/LineNumbers.h"
#include "service/ServiceConsole.h"
#include "service/TForm7.h"
#include "settings/Conversions.h"
#include "settings/TEdytuj_dane.h"
#include "support/ProgramFixture.h"
#include "ui_ServiceConsole.h"
#include "ui_TForm1.h"

#include <QGroupBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyle>
#include <QTest>

#include <cmath>

using namespace orvel;
using orvel::test::ProgramFixture;

namespace {

ServiceConsole& consoleOf(ProgramFixture& f) {
  auto* console = f.form().ui().GroupBox1->findChild<ServiceConsole*>();
  if (!console) qFatal("the service console is not built into GroupBox1");
  return *console;
}

void openConsole(ProgramFixture& f) {
  f.form().ui().MaskEdit1->setText(QStringLiteral("ster oscylator"));
}

QStringList listLines(ServiceConsole& console) {
  const QString text = console.ui().RichEdit2->toPlainText();
  return text.isEmpty() ? QStringList{} : text.split(QLatin1Char('\n'));
}

// A settings block the dispatch accepts: idle period reference 1100, everything else zero.
QByteArray settingsBlock() {
  QByteArray block(kSettingsBlockLength, '\0');
  block[32] = '\x4C';
  block[33] = '\x04';
  block[36] = '\x01';
  return block;
}

}  // namespace

class ServiceConsoleTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  // What is typed, what goes on the line, and how that byte is listed when it comes back.
  void entryAndReplyTable_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("sent");  // -1: nothing is sent
    QTest::addColumn<QString>("line");
    // Refused in the interface's language, naming the allowed values.
    const QString bad = QStringLiteral("Nieprawidłowa wartość\r\nDozwolone: 0...255");
    QTest::newRow("170, start of communication") << "170" << 0xAA << "170";
    QTest::newRow("zero") << "0" << 0 << "000";
    QTest::newRow("one digit: two zeros") << "7" << 7 << "007";
    QTest::newRow("two digits: one zero") << "42" << 42 << "042";
    QTest::newRow("99") << "99" << 99 << "099";
    QTest::newRow("100") << "100" << 100 << "100";
    QTest::newRow("255") << "255" << 255 << "255";
    QTest::newRow("256 sends 00h") << "256" << 0 << "000";
    QTest::newRow("999 sends its low byte") << "999" << 231 << "231";
    QTest::newRow("-1 sends FFh") << "-1" << 255 << "255";
    QTest::newRow("-12") << "-12" << 244 << "244";
    QTest::newRow("plus sign") << "+5" << 5 << "005";
    QTest::newRow("four digits: three kept") << "1234" << 123 << "123";
    QTest::newRow("empty") << "" << -1 << bad;
    QTest::newRow("letters") << "abc" << -1 << bad;
    QTest::newRow("digit and letter") << "1a" << -1 << bad;
    QTest::newRow("leading blank") << " 5" << -1 << bad;
    QTest::newRow("hex prefix") << "0x1" << -1 << bad;
    QTest::newRow("sign alone") << "-" << -1 << bad;
    QTest::newRow("non-ASCII digits") << QString::fromUtf8("١٢") << -1 << bad;
  }
  void entryAndReplyTable() {
    QFETCH(QString, typed);
    QFETCH(int, sent);
    QFETCH(QString, line);
    ProgramFixture f;
    f.start();
    ServiceConsole& console = consoleOf(f);
    Ui::ServiceConsole& ui = console.ui();
    openConsole(f);
    f.link.inject({3});  // something already listed
    f.link.clearWritten();

    ui.Edit1->setText(typed);
    const QString entry = ui.Edit1->text();
    QVERIFY(entry.size() <= 3);
    ui.Button1->click();

    if (sent < 0) {
      QCOMPARE(f.dialogs.texts(), QStringList{line});
      QCOMPARE(f.dialogs.boxes.first().title, QStringLiteral("Uwaga"));
      QVERIFY(f.link.written().isEmpty());
      QCOMPARE(ui.Edit1->text(), entry);  // both fields keep their contents
      QCOMPARE(listLines(console), QStringList{"003"});
      return;
    }
    QVERIFY2(f.dialogs.boxes.isEmpty(), qPrintable(f.dialogs.texts().join('|')));
    QCOMPARE(f.link.written(), QByteArray(1, static_cast<char>(sent)));
    QVERIFY(ui.Edit1->text().isEmpty());
    QVERIFY(listLines(console).isEmpty());

    // The controller's echo of that byte: three digits, CR LF in the list's text.
    f.link.inject({sent});
    QCOMPARE(listLines(console), QStringList{line});
    QCOMPARE(console.replies().text(), line + "\r\n");
  }

  // Every byte of a reply is listed, however long; past the list's limit the oldest lines give
  // way and the first line says how many.
  void longReply_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("dropped");
    QTest::newRow("past the receive buffer") << ReceiveBuffer::kMaxStoredBytes + 904 << 0;
    QTest::newRow("one past the limit") << kMaxListedBytes + 1 << kListTrimBlock;
    QTest::newRow("two blocks past") << kMaxListedBytes + kListTrimBlock + 7 << 2 * kListTrimBlock;
  }
  void longReply() {
    QFETCH(int, length);
    QFETCH(int, dropped);
    ProgramFixture f;
    f.start();
    ServiceConsole& console = consoleOf(f);
    openConsole(f);
    QByteArray reply(length, '\0');
    for (int i = 0; i < length; ++i)
      reply[i] = static_cast<char>(i % 251);
    f.link.inject(reply);
    const QStringList lines = listLines(console);
    const int note = dropped > 0 ? 1 : 0;
    QCOMPARE(lines.size(), length - dropped + note);
    QCOMPARE(console.droppedBytes(), dropped);
    if (note) QVERIFY2(lines.first().contains(QString::number(dropped)), qPrintable(lines.first()));
    // The lines are the newest bytes in order, the very last one included.
    for (int k : {note, static_cast<int>(lines.size()) / 2, static_cast<int>(lines.size()) - 1}) {
      const int byteIndex = dropped + k - note;
      QCOMPARE(lines.at(k), QStringLiteral("%1").arg(byteIndex % 251, 3, 10, QLatin1Char('0')));
    }
    // "Wyślij" starts a fresh list.
    console.ui().Edit1->setText(QStringLiteral("1"));
    console.ui().Button1->click();
    QVERIFY(listLines(console).isEmpty());
    QCOMPARE(console.droppedBytes(), 0);
  }

  // A typing slip is told before the port is touched, even when the port is gone.
  void entryJudgedBeforeThePort() {
    ProgramFixture f;
    f.start();
    ServiceConsole& console = consoleOf(f);
    openConsole(f);
    f.link.loseDevice(5);
    f.link.failingPorts = {f.link.openedPort()};
    const int opens = f.link.opens();
    f.dialogs.boxes.clear();  // the lost device's own box
    console.ui().Edit1->setText(QStringLiteral("x"));
    console.ui().Button1->click();
    QCOMPARE(f.dialogs.texts(), QStringList{"Nieprawidłowa wartość\r\nDozwolone: 0...255"});
    QCOMPARE(f.link.opens(), opens);
  }

  // The phrase is checked on every change of the field, whole and case-sensitively.
  void accessPhrase_data() {
    QTest::addColumn<QStringList>("edits");  // successive texts of the field
    QTest::addColumn<bool>("opens");
    QTest::newRow("exact") << QStringList{"ster oscylator"} << true;
    QTest::newRow("capital letter") << QStringList{"Ster oscylator"} << false;
    QTest::newRow("all capitals") << QStringList{"STER OSCYLATOR"} << false;
    QTest::newRow("trailing space") << QStringList{"ster oscylator "} << false;
    QTest::newRow("leading space") << QStringList{" ster oscylator"} << false;
    QTest::newRow("two spaces") << QStringList{"ster  oscylator"} << false;
    QTest::newRow("one letter short") << QStringList{"ster oscylato"} << false;
    QTest::newRow("mended after a typo")
        << QStringList{"ster oscylatox", "ster oscylato", "ster oscylator"} << true;
    QTest::newRow("complete on the way, then one more letter")
        << QStringList{"ster oscylator", "ster oscylatorr"} << true;
  }
  void accessPhrase() {
    QFETCH(QStringList, edits);
    QFETCH(bool, opens);
    ProgramFixture f;
    f.start();
    Ui::TForm1& ui = f.form().ui();
    for (const QString& text : edits)
      ui.MaskEdit1->setText(text);
    QCOMPARE(f.control().serviceMode, opens);
    QCOMPARE(ui.GroupBox1->isHidden(), !opens);
    QCOMPARE(ui.Image1->isHidden(), opens);
    QCOMPARE(ui.MaskEdit1->text(), edits.last());  // a wrong phrase stays as typed
  }

  void wayInAndOut() {
    ProgramFixture f;
    f.start();
    TForm1& form = f.form();
    Ui::TForm1& ui = form.ui();
    form.showMaximized();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QVERIFY(ui.Button2->isHidden());
    QVERIFY(ui.MaskEdit1->isHidden());

    form.StatusBar1DblClick();
    QVERIFY(!ui.Button2->isHidden());
    ui.Button2->click();
    QVERIFY(!ui.MaskEdit1->isHidden());
    QCOMPARE(ui.MaskEdit1->y(), ui.StatusBar1->y() + 5);
    QCOMPARE(ui.MaskEdit1->echoMode(), QLineEdit::Password);
    QCOMPARE(ui.MaskEdit1->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr,
                                              ui.MaskEdit1),
             int('*'));

    QTest::keyClicks(ui.MaskEdit1, "ster oscylator");
    QVERIFY(f.control().serviceMode);
    QVERIFY(ui.Image1->isHidden());
    QGroupBox* box = ui.GroupBox1;
    QVERIFY(box->isVisible());
    QCOMPARE(box->size(), QSize(208, 521));
    const int cw = form.clientWidth();
    const int ch = form.clientHeight();
    const int sb = form.statusBarHeight();
    QCOMPARE(box->x(), halfRounded(cw) - 104);
    QCOMPARE(box->y(), static_cast<int>(std::nearbyint((ch + sb - 521) / 2.0)));
    ServiceConsole& console = consoleOf(f);
    QVERIFY(console.ui().Edit1->hasFocus());
    console.ui().SpeedButton13->click();  // "Lista poleceń": not modal, the console stays usable
    QVERIFY(f.program->form7().isVisible());
    QVERIFY(form.isEnabled());

    console.ui().SpeedButton7->click();  // "Koniec"
    QVERIFY(!f.control().serviceMode);
    QVERIFY(box->isHidden());
    QVERIFY(ui.MaskEdit1->isHidden());
    QVERIFY(ui.MaskEdit1->text().isEmpty());
    QVERIFY(ui.Button2->isHidden());
    QVERIFY(!ui.Image1->isHidden());
    QVERIFY(f.dialogs.boxes.isEmpty());
  }

  // "Wyślij" is the console's default button: Enter in the entry field, or with the list
  // focused, sends.
  void enterSends() {
    ProgramFixture f;
    f.start();
    f.form().show();
    QVERIFY(QTest::qWaitForWindowActive(&f.form()));
    Ui::ServiceConsole& ui = consoleOf(f).ui();
    openConsole(f);
    QTest::keyClicks(ui.Edit1, "170");
    QTest::keyClick(ui.Edit1, Qt::Key_Return);
    QCOMPARE(f.link.written(), QByteArray("\xAA"));
    QVERIFY(ui.Edit1->hasFocus());
    ui.Edit1->setText("10");
    ui.RichEdit2->setFocus();
    QTest::keyClick(ui.RichEdit2, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(f.link.written(), QByteArray("\xAA\x0A"));
  }

  void aLostLinkIsReopenedBeforeTheByteOrReportedOnce() {
    ProgramFixture f;
    f.link.failingPorts = {"COM1", "COM2"};
    f.start();
    f.dialogs.boxes.clear();
    Ui::ServiceConsole& ui = consoleOf(f).ui();
    openConsole(f);
    ui.Edit1->setText("170");
    ui.Button1->click();
    QCOMPARE(f.dialogs.texts(), QStringList{"Unable to open com port (win error code: 2)\r\n"
                                            "COM2: No such file or directory [2]\r\n"
                                            "COM1: No such file or directory [2]\r\n"
                                            "Port wybiera się w menu Opcje."});
    QVERIFY(f.link.written().isEmpty());
    QCOMPARE(ui.Edit1->text(), QString("170"));

    f.dialogs.boxes.clear();
    f.link.failingPorts.clear();
    ui.Button1->click();
    QVERIFY(f.dialogs.boxes.isEmpty());
    QVERIFY(f.link.isConnected());
    QCOMPARE(f.link.written(), QByteArray("\xAA"));
  }

  // The numbers 01: to 37: stand level with the lines they number, all 37 in view, also when
  // the fitter scrolls a longer list.
  void lineNumbersStayLevelWithTheirLines() {
    ProgramFixture f;
    f.start();
    f.form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.form()));
    ServiceConsole& console = consoleOf(f);
    Ui::ServiceConsole& ui = console.ui();
    openConsole(f);
    QByteArray bytes;
    for (int k = 0; k < 60; ++k)
      bytes.append(static_cast<char>(k));
    f.link.inject(bytes.left(kNumberedLines));
    QApplication::processEvents();

    LineNumbers* numbers = ui.Label24;
    const QStringList words = numbers->words();
    QCOMPARE(words.size(), 37);
    QCOMPARE(words.first(), QString("01:"));
    QCOMPARE(words.last(), QString("37:"));
    QCOMPARE(numbers->font(), ui.RichEdit2->font());
    const int viewportBottom =
        ui.RichEdit2->viewport()->mapTo(f.form().ui().GroupBox1, QPoint(0, 0)).y() +
        ui.RichEdit2->viewport()->height();
    for (int k = 0; k < 37; ++k) {
      const qreal listTop = console.replyLineTop(k);
      QVERIFY2(qAbs(listTop - (numbers->y() + numbers->wordTop(k))) < 0.5,
               qPrintable(QString("line %1: %2 vs %3")
                              .arg(k)
                              .arg(listTop)
                              .arg(numbers->y() + numbers->wordTop(k))));
    }
    QVERIFY2(console.replyLineTop(36) + numbers->pitch() <= viewportBottom,
             "the 37th line is not in view");
    QVERIFY(ui.RichEdit2->verticalScrollBar()->maximum() == 0);

    f.link.inject(bytes.mid(kNumberedLines));
    QCOMPARE(ui.RichEdit2->verticalScrollBar()->value(), 0);  // the list does not run away
    ui.RichEdit2->verticalScrollBar()->setValue(5);
    QApplication::processEvents();
    for (int k = 5; k < 37; ++k)
      QVERIFY(qAbs(console.replyLineTop(k) - (numbers->y() + numbers->wordTop(k))) < 0.5);
  }

  // Once the oldest lines of a stream of settings blocks give way, the note on them takes the
  // first line, and 01: to 37: stand beside the bytes of a block, first to last.
  void numbersAfterATrim() {
    ProgramFixture f;
    f.start();
    f.form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.form()));
    ServiceConsole& console = consoleOf(f);
    openConsole(f);
    QByteArray stream;
    for (int k = 0; k < kMaxListedBytes + 100; ++k)
      stream.append(static_cast<char>(k % kSettingsBlockLength));
    f.link.inject(stream);
    QApplication::processEvents();
    const QStringList lines = listLines(console);
    LineNumbers* numbers = console.ui().Label24;
    QVERIFY(lines.first().contains(QString::number(console.droppedBytes())));
    for (int k = 0; k < kSettingsBlockLength; ++k) {
      QCOMPARE(lines.at(1 + k), QStringLiteral("%1").arg(k, 3, 10, QLatin1Char('0')));
      QVERIFY(qAbs(console.replyLineTop(1 + k) - (numbers->y() + numbers->wordTop(k))) < 0.5);
    }
  }

  // Bytes arriving while the console is open are listed and never dispatched; the reply count
  // starts again when it closes, so no part of a reply split around the console is ever taken
  // for a whole one. Columns: bytes of a settings block before the console opens, while it is
  // open, and after it closes.
  void settingsBlockSplitAroundTheConsole_data() {
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("during");
    QTest::addColumn<int>("after");
    QTest::addColumn<int>("decoded");
    QTest::newRow("all while open") << 0 << 37 << 0 << 0;
    QTest::newRow("head before, tail while open") << 20 << 17 << 0 << 0;
    QTest::newRow("head while open, tail after") << 0 << 10 << 27 << 0;
    QTest::newRow("in three pieces") << 12 << 13 << 12 << 0;
    QTest::newRow("one byte while open") << 18 << 1 << 18 << 0;
    QTest::newRow("all after an empty visit") << 0 << 0 << 37 << 1;
    QTest::newRow("all before") << 37 << 0 << 0 << 1;
  }
  void settingsBlockSplitAroundTheConsole() {
    QFETCH(int, before);
    QFETCH(int, during);
    QFETCH(int, after);
    QFETCH(int, decoded);
    ProgramFixture f;
    f.start();
    LinkControl& link = f.control();
    int decodes = 0;
    const auto decode = link.hooks.decodeSettings;
    link.hooks.decodeSettings = [&decodes, decode] {
      ++decodes;
      decode();
    };
    ServiceConsole& console = consoleOf(f);
    link.Timer6.start();  // the read-out of a running exchange
    link.settingsReadOutRequest();
    const QByteArray block = settingsBlock();
    f.link.inject(block.left(before));
    const int countBefore = link.replyCount;
    openConsole(f);
    f.link.inject(block.mid(before, during));
    QCOMPARE(link.replyCount, countBefore);
    QCOMPARE(console.replies().storedBytes(), during);
    console.ui().SpeedButton7->click();
    f.link.inject(block.mid(before + during, after));
    // The read that confirms the block.
    f.timers.advance(LinkControl::kBlockRereadDelay);
    f.link.inject(block);
    QCOMPARE(decodes, decoded);
    QCOMPARE(f.program->editor().isVisible(), decoded == 1);
  }

  // Oscilloscope mode keeps polling behind the open console: its frames are listed, nothing is
  // shown, and the loop goes on by its watchdog; after "Koniec" frames are shown again.
  void oscilloscopePollingBehindTheConsole() {
    ProgramFixture f;
    f.start();
    LinkControl& link = f.control();
    int shown = 0;
    const auto show = link.hooks.showLiveFrame;
    link.hooks.showLiveFrame = [&shown, show] {
      ++shown;
      show();
    };
    f.link.onWrite = [&f](std::uint8_t b) {
      if (b == 0x02) f.link.inject({51, 20, 7, 128, 0x4C, 0x04, 200, 1});
    };
    f.form().ui().Wykresy->click();
    QCOMPARE(shown, 1);
    openConsole(f);
    ServiceConsole& console = consoleOf(f);
    f.timers.advanceMs(3000);  // the frames in flight and those the watchdog brings
    QCOMPARE(shown, 1);
    const int listed = console.replies().storedBytes();
    QVERIFY2(listed >= 16 && listed % 8 == 0, qPrintable(QString::number(listed)));
    QVERIFY(f.dialogs.boxes.isEmpty());

    console.ui().SpeedButton7->click();
    f.timers.advanceMs(1500);
    QVERIFY(shown > 1);
    f.link.onWrite = nullptr;
  }
};

QTEST_MAIN(ServiceConsoleTest)
#include "test_service_console.moc"
