// The direct-commands reference as the fitter reads it: the 29 entries in order with their
// titles and command lines as the controller's documentation writes them, replies and units that
// agree with the command catalogue, and the window that shows them.
#include "link/Protocol.h"
#include "service/CommandReference.h"
#include "service/TForm7.h"
#include "settings/SettingsDecoder.h"
#include "ui_TForm7.h"

#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>

using namespace orvel;

namespace {

struct ParsedEntry {
  int number = 0;
  QString separator;  // between "N)" and the title
  QStringList lines;  // every line after the first, as written
};

// Reads the window's text back the way a fitter does: entries separated by an empty line, each
// starting with its number and ")".
QList<ParsedEntry> parse(const QString& text) {
  QList<ParsedEntry> out;
  static const QRegularExpression head(QStringLiteral("^(\\d+)\\)(\\s)(.*)$"));
  for (const QString& block : text.trimmed().split(QStringLiteral("\n\n"))) {
    QStringList lines = block.split(QLatin1Char('\n'));
    const QRegularExpressionMatch m = head.match(lines.takeFirst());
    ParsedEntry e;
    if (m.hasMatch()) {
      e.number = m.captured(1).toInt();
      e.separator = m.captured(2);
      e.lines << m.captured(3);
    }
    e.lines << lines;
    out << e;
  }
  return out;
}

ParsedEntry entry(int number) {
  const QList<ParsedEntry> all = parse(referenceText());
  return number >= 1 && number <= all.size() ? all.at(number - 1) : ParsedEntry{};
}

// The lines after "Dane odebrane:" numbered "1. ", "2. "...
QStringList numberedReply(const ParsedEntry& e) {
  QStringList items;
  static const QRegularExpression item(QStringLiteral("^\\s*(\\d+)\\. (.*)$"));
  for (const QString& line : e.lines) {
    const QRegularExpressionMatch m = item.match(line);
    if (m.hasMatch()) items << m.captured(2);
  }
  return items;
}

}  // namespace

class CommandReferenceTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void entries_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<QStringList>("title");
    QTest::addColumn<QString>("command");
    const auto row = [](int n, const QStringList& title, const QString& command) {
      QTest::addRow("%d", n) << n << title << command;
    };
    row(1, {"Rozpoczęcie komunikacji:"}, "170=AAh");
    row(2, {"Zakończenie komunikacji:"}, "10=0Ah");
    row(3, {"Weryfikacja urządzenia:"}, "01h");
    row(4, {"Odczyt kanałów analogowych i prędkości obrotowej oraz pozycji ", "silnika krokowego:"},
        "02h");
    row(5, {"Otwarcie/zamknięcie zaworu dopływu gazu (silnik krokowy):"}, "03h/04h, [xx]");
    row(6, {"Podanie progu wyzwalania czujnika gazu 14%"}, "05h, [xx]");
    row(7, {"Ustawianie kształtu sygnału sondy lambda:"}, "06h, [LSBx],[MSBx], [LSBy],[MSBy]");
    row(8, {"Podanie progu wyzwalania czujnika TPS"}, "07h, [xx]");
    row(9, {"Próg obrotów przełącznika gaz/benzyna (czas opóźnienia ", "wyłączenia benzyny):"},
        "08h, [LSB], [MSB]");
    row(10, {"Odczyt ustawionych wartości:"}, "09h");
    row(11, {"Flagi instalacji gazowej – ustawianie:"}, "11=0Bh, [xx]");
    row(12, {"Odczyt okresu silnika"}, "12=0Ch");
    row(13, {"Odczyt/zapis pozycji silnika krokowego"}, "13/14=0Dh/0Eh,  [xx]");
    row(14, {"Ustawienie prógu sondy lambda"}, "15=0Fh, [xx]");
    row(15, {"Kasowanie Eepromu:"}, "16=10h");
    row(16, {"Zapis do Eepromu:"}, "17=11h");
    row(17, {"Podanie maksymalnej i minimalnej pozycji silnika:"}, "18=12h, [max], [min]");
    row(18,
        {"Ustawienie pozycji startowej silnika krokowego do rozpoczęcia ",
         "autokalibracji (na 1/3 zakresu otwarcia):"},
        "19=13h, [xx]");
    row(19, {"Podanie górnego progu obrotów przy którym układ przejdzie ", "ponownie na benzynę:"},
        "20=14h, [LSB], [MSB]");
    row(20, {"Podanie opóźnienia przy przełączaniu z benzyny na gaz:"}, "21=15h, [LSB], [MSB]");
    row(21, {"Ustawienie różnicy obrotów do przełączania na opadających"}, "22=16h [LSB,MSB]");
    row(22, {"Pozycja silnika krokowego na cutoff."}, "23=17h [xx]");
    row(23, {"Ustawienie obrotów zadziałania cutoff."}, "24=18h[LSB,MSB]");
    row(24, {"Ustawienie opóźnienia po włączeniu zasilania."}, "25=19h [xx]");
    row(25, {"Parametry symulacji drugiej sondy lambda"}, "26=1ah [LSBx, MSBx] [LSBy, MSBy]");
    row(26, {"Ustaw parametry funkcji przyśpieszania"}, "27=1Bh [xx]");
    row(27, {"Ustaw prędkość silnika krokowego na luzie"}, "28=1Ch [LSB,  MSB]");
    row(28, {"Ustawienie ile kroków otworzyć silnik krokowy jeśli małe stężenie ", "gazu"},
        "29=1Dh [xx]");
    row(29, {"Podanie zakresu symulacji sondy Lambda 1"}, "30=1Eh [xx]");
  }
  void entries() {
    QFETCH(int, number);
    QFETCH(QStringList, title);
    QFETCH(QString, command);
    QCOMPARE(parse(referenceText()).size(), 29);
    const ParsedEntry e = entry(number);
    QCOMPARE(e.number, number);
    const bool spaced = number == 17 || number >= 21;
    QCOMPARE(e.separator, spaced ? QString(" ") : QString("\t"));
    const QString indent = number >= 21 ? QString(8, ' ') : QString("\t");
    QCOMPARE(e.lines.first(), title.first());
    for (int k = 1; k < title.size(); ++k)
      QCOMPARE(e.lines.at(k), indent + title.at(k));
    QCOMPARE(e.lines.at(title.size()), indent + command);
    for (int k = 1; k < e.lines.size(); ++k)
      QVERIFY2(e.lines.at(k).startsWith(indent), qPrintable(e.lines.at(k)));
    QVERIFY(e.lines.at(title.size() + 1).contains("Dane odebrane:"));
  }

  // The decimal and hexadecimal codes written in each command line are those of the catalogue
  // the entry's reply and unit lines are taken from.
  void commandLinesNameTheCatalogueCodes() {
    static const QRegularExpression written(
        QStringLiteral("^(?:([\\d/]+)=)?((?:[0-9A-Fa-f]{2}h/?)+)"));
    for (const ReferenceEntry& e : commandReference()) {
      const QRegularExpressionMatch m = written.match(e.command);
      QVERIFY2(m.hasMatch(), qPrintable(e.command));
      const QStringList hexes = m.captured(2).split('/', Qt::SkipEmptyParts);
      const QStringList decimals = m.captured(1).split('/', Qt::SkipEmptyParts);
      QCOMPARE(hexes.size(), static_cast<int>(e.codes.size()));
      for (std::size_t k = 0; k < e.codes.size(); ++k) {
        const int i = static_cast<int>(k);
        QCOMPARE(hexes.at(i).chopped(1).toInt(nullptr, 16), int(e.codes[k]));
        if (!decimals.isEmpty()) QCOMPARE(decimals.at(i).toInt(), int(e.codes[k]));
      }
    }
  }

  // Every reply the catalogue states is listed byte for byte, the acknowledgement last.
  void repliesHaveTheCatalogueLengths() {
    for (int code = 0; code < 256; ++code) {
      const auto c = static_cast<std::uint8_t>(code);
      const std::optional<int> length = statedReplyLength(c);
      if (!length) {
        QVERIFY(replyItems(c).isEmpty());
        continue;
      }
      const QStringList items = replyItems(c);
      QCOMPARE(items.size(), *length);
      if (*length > 0) QCOMPARE(items.last(), QString("01h"));
    }
    QCOMPARE(numberedReply(entry(4)).size(), kLiveFrameLength);
    QCOMPARE(numberedReply(entry(10)).size(), kSettingsBlockLength);
    QVERIFY(numberedReply(entry(10)).at(32).contains("800"));  // byte 32 under number 33
    QVERIFY(entry(2).lines.join('\n').contains("Dane odebrane: brak"));
    QVERIFY(entry(3).lines.join('\n').contains("Dane odebrane: 03h"));
    QVERIFY(entry(21).lines.join('\n').contains("Dane odebrane: nie określono"));
  }

  // A "Jednostka:" line exactly where the command carries a time or a speed.
  void unitLines() {
    const QList<int> withUnit{4, 7, 9, 12, 19, 20, 21, 23, 24, 25, 27};
    for (int n = 1; n <= 29; ++n) {
      const bool has = entry(n).lines.join('\n').contains("Jednostka: T=");
      QVERIFY2(has == withUnit.contains(n), qPrintable(QString::number(n)));
    }
    QVERIFY(entry(9).lines.contains("\tJednostka: T=Data*4*8/Fosc"));
    QVERIFY(entry(27).lines.contains(QString(8, ' ') + "Jednostka: T=(-Data)*16*4/Fosc [s]"));
  }

  // Bit 6 reads as the settings editor applies it: set is "praca dynamiczna", its first item.
  void flagBitsAgreeWithTheEditor() {
    const QString text = entry(11).lines.join('\n');
    QCOMPARE(text.count(QRegularExpression("bit [0-6]: ")), 7);
    QVERIFY(text.contains("bit 6: tryb pracy: 0 - praca ekonomiczna, 1 - praca dynamiczna"));
    QCOMPARE(flagRadioItem(FlagRadio::OperatingMode, 0x40), 0);
  }

  void window() {
    TForm7 form;
    QCOMPARE(form.windowTitle(), QString("Polecenia bezpośrednie"));
    QCOMPARE(form.size(), QSize(385, 455));
    QPlainTextEdit* text = form.ui().Memo1;
    QVERIFY(text->isReadOnly());
    QCOMPARE(text->lineWrapMode(), QPlainTextEdit::NoWrap);
    QCOMPARE(text->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(text->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(text->toPlainText(), referenceText());
    const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
    QVERIFY(qAbs(form.frameGeometry().center().x() - centre.x()) <= 1);
    QVERIFY(qAbs(form.frameGeometry().center().y() - centre.y()) <= 1);
  }
};

QTEST_MAIN(CommandReferenceTest)
#include "test_command_reference.moc"
