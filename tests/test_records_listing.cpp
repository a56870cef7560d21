// The parameter listing, the report's margins and the dane.cfg store, without windows.
#include <QtTest>

#include "core/TextFile.h"
#include "records/ParameterListing.h"
#include "records/UserData.h"

#include <sys/stat.h>

using namespace orvel;

namespace {

// The editor as designed, holding a typical read-out.
EditorSnapshot typicalSnapshot() {
  EditorSnapshot s;
  s.texts = {
      {"Label4", "Próg wyzwalania TPS [0..10] V: "},
      {"Label5", "Próg przełącznia B/G [rpm]: "},
      {"Label7", "Próg sondy lambda [0..5] V: "},
      {"Label13", "Opóźnienie startowe [1..50s]: "},
      {"Label11", "Maksymalne obroty na gazie [rpm]:"},
      {"Label15", "Otwarcie silnika krokowego [2..50]"},
      {"Label3", "Liczba kroków otwarcia silnika krokowego przy braku gazu"},
      {"Label16", "Delta obrotów [rpm]"},
      {"Label1", "TH/TL Lambda1 [0..4000ms]: "},
      {"Label2", "TH/TL Lambda2 [0..4000ms]: "},
      {"Label8", "Silnik krokowy min,max [1..255]:"},
      {"Label10", "Silnik krokowy start [1..255]:"},
      {"Label9", "Pozycja silnika (cutoff) [1..255]:"},
      {"Label6", "Obroty silnika dla cutoff [rpm]:"},
      {"Label18", "Prędkość silnika krok. [1..24] razy wolniej"},
      {"Label22", "Poniżej TPS"},
      {"Label23", "Powyżej TPS"},
      {"RadioGroup3", "Tryb pracy sterownika"},
      {"RadioGroup4", "Czujnik gazu"},
      {"RadioGroup2", "TPS"},
      {"RadioGroup5", "Rodzaj obrotow"},
      {"EditProgTPS", "1.00"},
      {"EditProgGB", "800"},
      {"EditProgLambda", "0.50"},
      {"Edit5", "4"},
      {"Editobrotymax", "5000"},
      {"Edit4", "10"},
      {"Edit6", "5"},
      {"Edit3", "100"},
      {"EditThLambda", "500"},
      {"EditOkresLambda", "500"},
      {"EditThLambda2", "61"},
      {"EditOkresLambda2", "61"},
      {"Editsilnikmax", "210"},
      {"EditSilnikmin", "15"},
      {"EditSilnikopt", "40"},
      {"Edit1", "30"},
      {"Edit2", "1500"},
      {"Edit7", "10"},
      {"Edit8", "1"},
  };
  for (FlagRadio radio : kFlagRadios)
    s.selected[radio] = 0;
  return s;
}

QString pathIn(const QTemporaryDir& dir, const char* name) {
  return dir.path() + QLatin1Char('/') + QLatin1String(name);
}

void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray readBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

}  // namespace

class TestRecordsListing : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void listingLine_data();
  void listingLine();
  void listingHeadComesFromUserData_data();
  void listingHeadComesFromUserData();
  void listingReadsEveryNamedControl();
  void reportMargins();
  void marginsStopAfterFiftyLines();
  void userDataFiles_data();
  void userDataFiles();
  void userDataKeepsStoreWhenFileCannotBeRead_data();
  void userDataKeepsStoreWhenFileCannotBeRead();
};

void TestRecordsListing::listingLine_data() {
  QTest::addColumn<QStringList>("changes");  // "control=text", or "#radio=item" for a selection
  QTest::addColumn<int>("line");
  QTest::addColumn<QString>("expected");
  QTest::newRow("13: TPS caption as shown, trailing blank kept")
      << QStringList{} << 13 << "Próg wyzwalania TPS [0..10] V: ";
  QTest::newRow("13: caption of another language")
      << QStringList{"Label4=Trigger level TPS [0..10V]:"} << 13 << "Trigger level TPS [0..10V]:";
  QTest::newRow("14: TPS threshold as shown") << QStringList{} << 14 << "1.00";
  QTest::newRow("16: changeover rpm") << QStringList{} << 16 << "800";
  QTest::newRow("22: maximum rpm switched off") << QStringList{"Editobrotymax=OFF"} << 22 << "OFF";
  QTest::newRow("25: hidden label printed")
      << QStringList{} << 25 << "Liczba kroków otwarcia silnika krokowego przy braku gazu";
  QTest::newRow("26: always the hidden field's 5") << QStringList{} << 26 << "5";
  QTest::newRow("30: lambda 1 TH; TL") << QStringList{} << 30 << "500; 500";
  QTest::newRow("32: lambda 2 TH; TL") << QStringList{} << 32 << "61; 61";
  QTest::newRow("30: one field empty") << QStringList{"EditOkresLambda="} << 30 << "500; ";
  QTest::newRow("34: stepper maximum first") << QStringList{} << 34 << "210; 15";
  QTest::newRow("41: caption pieces joined by a blank")
      << QStringList{} << 41 << "Prędkość silnika krok. [1..24] razy wolniej Poniżej TPS";
  QTest::newRow("43") << QStringList{} << 43
                      << "Prędkość silnika krok. [1..24] razy wolniej Powyżej TPS";
  QTest::newRow("44: above TPS") << QStringList{} << 44 << "1";
  QTest::newRow("45: first item") << QStringList{} << 45
                                  << "Tryb pracy sterownika:   Praca dynamiczna";
  QTest::newRow("45: second item")
      << QStringList{"#3=1"} << 45 << "Tryb pracy sterownika:   Praca ekonomiczna";
  QTest::newRow("45: nothing selected yet")
      << QStringList{"#3=-1"} << 45 << "Tryb pracy sterownika:   Praca ekonomiczna";
  QTest::newRow("45: caption of another language")
      << QStringList{"RadioGroup3=Stato sistema"} << 45 << "Stato sistema:   Praca dynamiczna";
  QTest::newRow("46: gas sensor absent") << QStringList{} << 46 << "Czujnik gazu:   Brak";
  QTest::newRow("46: present") << QStringList{"#2=1"} << 46 << "Czujnik gazu:   Obecny";
  QTest::newRow("47: TPS rising") << QStringList{} << 47 << "TPS:   Rosnący";
  QTest::newRow("47: falling") << QStringList{"#0=1"} << 47 << "TPS:   Malejący";
  QTest::newRow("48: rpm rising") << QStringList{} << 48 << "Rodzaj obrotow:   Rosnące";
  QTest::newRow("48: falling") << QStringList{"#1=1"} << 48 << "Rodzaj obrotow:   Malejące";
  QTest::newRow("22: editor never filled") << QStringList{"Editobrotymax="} << 22 << "";
}

void TestRecordsListing::listingLine() {
  QFETCH(QStringList, changes);
  QFETCH(int, line);
  QFETCH(QString, expected);
  EditorSnapshot s = typicalSnapshot();
  for (const QString& change : changes) {
    const QString name = change.section(QLatin1Char('='), 0, 0);
    const QString value = change.section(QLatin1Char('='), 1);
    if (name.startsWith(QLatin1Char('#')))
      s.selected[kFlagRadios.at(name.mid(1).toUInt())] = value.toInt();
    else
      s.texts[name] = value;
  }
  const QStringList listing = parameterListing({}, s);
  QCOMPARE(listing.size(), kListingLineCount);
  QCOMPARE(listing.at(line), expected);
}

void TestRecordsListing::listingHeadComesFromUserData_data() {
  QTest::addColumn<QStringList>("userData");
  QTest::addColumn<QStringList>("head");  // listing lines 0..12
  const QStringList empty13(13);
  QTest::newRow("missing dane.cfg: thirteen empty lines") << QStringList{} << empty13;
  QStringList eight{"Warsztat", "ul. Łąkowa 5", "00-950 Łódź", "tel. 1",
                    "NIP",      "AB",           "Fiat",        "1.2 8V"};
  QTest::newRow("eight lines, then five empty") << eight << eight + QStringList(5);
  QTest::newRow("short file: the rest empty")
      << QStringList{"Warsztat"} << QStringList{"Warsztat"} + QStringList(12);
  QTest::newRow("long file: only eight lines")
      << eight + QStringList{"ninth", "tenth"} << eight + QStringList(5);
}

void TestRecordsListing::listingHeadComesFromUserData() {
  QFETCH(QStringList, userData);
  QFETCH(QStringList, head);
  const QStringList listing = parameterListing(userData, typicalSnapshot());
  QCOMPARE(listing.mid(0, 13), head);
  QCOMPARE(listing.at(13), QStringLiteral("Próg wyzwalania TPS [0..10] V: "));
}

void TestRecordsListing::listingReadsEveryNamedControl() {
  // Every control the listing names shows up in it: a control left out of the table, or a name
  // misspelt, would print an empty line here.
  EditorSnapshot s;
  for (const QString& name : listingControls())
    s.texts.insert(name, QStringLiteral("<%1>").arg(name));
  const QString all = parameterListing({}, s).join(QLatin1Char('\n'));
  for (const QString& name : listingControls())
    QVERIFY2(all.contains(QStringLiteral("<%1>").arg(name)), qPrintable(name));
  QCOMPARE(listingControls().size(), 21 + 19);  // 17 labels, 4 radio groups, 19 fields
}

void TestRecordsListing::reportMargins() {
  const QStringList listing = parameterListing({"Warsztat"}, typicalSnapshot());
  const QStringList report = reportLines(listing);
  QCOMPARE(report.size(), 2 + 50);
  QCOMPARE(report.at(0), QString());
  QCOMPARE(report.at(1), QString());
  for (int i = 0; i < 49; ++i)
    QCOMPARE(report.at(2 + i), QStringLiteral("     ") + listing.at(i));
  QCOMPARE(report.at(51), QStringLiteral("     "));
  QCOMPARE(report.at(2 + 30), QStringLiteral("     500; 500"));
}

void TestRecordsListing::marginsStopAfterFiftyLines() {
  QStringList sixty;
  for (int i = 0; i < 60; ++i)
    sixty << QString::number(i);
  const QStringList printed = withPrintMargins(sixty);
  QCOMPARE(printed.size(), 62);
  QCOMPARE(printed.at(2), QStringLiteral("     0"));
  QCOMPARE(printed.at(51), QStringLiteral("     49"));
  QCOMPARE(printed.at(52), QStringLiteral("50"));
  QCOMPARE(withPrintMargins({}), QStringList(2));
}

void TestRecordsListing::userDataFiles_data() {
  QTest::addColumn<QByteArray>("file");       // dane.cfg as found; "<none>": no file
  QTest::addColumn<QStringList>("shown");     // lines 0..7 as read
  QTest::addColumn<QStringList>("carLines");  // what the fitter leaves in lines 6 and 7
  QTest::addColumn<QByteArray>("saved");      // dane.cfg after saving

  const QByteArray polish =
      "Zak\xb3\x61\x64 Gazowy\r\nul. \xa3\xb9kowa 5\r\n";  // "Zakład", "Łąkowa"
  QTest::newRow("missing: eight lines, the car lines typed")
      << QByteArray("<none>") << QStringList(8) << QStringList{"Fiat", "Punto"}
      << QByteArray("\r\n\r\n\r\n\r\n\r\n\r\nFiat\r\nPunto\r\n");
  QTest::newRow("empty file") << QByteArray() << QStringList(8) << QStringList{"", ""}
                              << QByteArray("\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n");
  QTest::newRow("Windows-1250 read and written back")
      << polish + "a\r\nb\r\nc\r\nXY12\r\nFord\r\nKa\r\n"
      << QStringList{"Zakład Gazowy", "ul. Łąkowa 5", "a", "b", "c", "XY12", "Ford", "Ka"}
      << QStringList{"Škoda", "Fabia 1.4 żółta"}
      << polish + "a\r\nb\r\nc\r\nXY12\r\n\x8akoda\r\nFabia 1.4 \xbf\xf3\xb3ta\r\n";
  QTest::newRow("bytes without meaning in the code page carried byte for byte")
      << QByteArray("\x81\x83\x88\r\n\x90\x98\r\n\r\n\r\n\r\n\x98\r\nA\r\nB\r\n")
      << QStringList{"\u0081\u0083\u0088", "\u0090\u0098", "", "", "", "\u0098", "A", "B"}
      << QStringList{"A", "C"}
      << QByteArray("\x81\x83\x88\r\n\x90\x98\r\n\r\n\r\n\r\n\x98\r\nA\r\nC\r\n");
  QTest::newRow("LF only, three lines: padded to eight with CR LF")
      << QByteArray("one\ntwo\nthree\n") << QStringList{"one", "two", "three", "", "", "", "", ""}
      << QStringList{"Opel", ""} << QByteArray("one\r\ntwo\r\nthree\r\n\r\n\r\n\r\nOpel\r\n\r\n");
  QTest::newRow("ten lines: the two past the car lines carried through")
      << QByteArray("0\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n")
      << QStringList{"0", "1", "2", "3", "4", "5", "6", "7"} << QStringList{"six", "seven"}
      << QByteArray("0\r\n1\r\n2\r\n3\r\n4\r\n5\r\nsix\r\nseven\r\n8\r\n9\r\n");
  const QByteArray longLine(300, 'L');
  QTest::newRow("overlong car line kept whole when not edited")
      << QByteArray("\r\n\r\n\r\n\r\n\r\n\r\n") + longLine + "\r\nx\r\n"
      << QStringList{"", "", "", "", "", "", QString(longLine), "x"}
      << QStringList{QString(longLine), "y"}
      << QByteArray("\r\n\r\n\r\n\r\n\r\n\r\n") + longLine + "\r\ny\r\n";
  QTest::newRow("binary: shown as code-page text, written back")
      << QByteArray("\x00\x01\xff\r\n", 5)
      << QStringList{QString::fromUtf16(u"\u0000\u0001\u02d9", 3), "", "", "", "", "", "", ""}
      << QStringList{"", ""} << QByteArray("\x00\x01\xff\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n", 19);
}

void TestRecordsListing::userDataFiles() {
  QFETCH(QByteArray, file);
  QFETCH(QStringList, shown);
  QFETCH(QStringList, carLines);
  QFETCH(QByteArray, saved);
  QTemporaryDir dir;
  const QString path = pathIn(dir, "dane.cfg");
  if (file != "<none>") writeBytes(path, file);

  UserData store;
  store.load(path);
  QCOMPARE(store.lines(), shown);
  // As "&Zapisz" does: the hidden line 5 as shown, the car lines as typed.
  store.setLine(5, store.line(5));
  store.setLine(UserData::kCarLine1, carLines.at(0));
  store.setLine(UserData::kCarLine2, carLines.at(1));
  store.save(path);
  QCOMPARE(readBytes(path), saved);
}

void TestRecordsListing::userDataKeepsStoreWhenFileCannotBeRead_data() {
  QTest::addColumn<QString>("kind");
  QTest::addColumn<int>("failure");
  QTest::newRow("missing") << "missing" << int(FileContent::Failure::Missing);
  QTest::newRow("a directory of that name") << "directory" << int(FileContent::Failure::NotRegular);
  QTest::newRow("10 MB") << "huge" << int(FileContent::Failure::TooLarge);
  QTest::newRow("a FIFO, without blocking") << "fifo" << int(FileContent::Failure::NotRegular);
}

void TestRecordsListing::userDataKeepsStoreWhenFileCannotBeRead() {
  QFETCH(QString, kind);
  QFETCH(int, failure);
  QTemporaryDir dir;
  const QString good = pathIn(dir, "good.cfg");
  writeBytes(good, "W\r\nA\r\n");
  const QString bad = pathIn(dir, "dane.cfg");
  if (kind == "directory") QVERIFY(QDir(dir.path()).mkdir("dane.cfg"));
  if (kind == "huge") writeBytes(bad, QByteArray(10 * 1024 * 1024, 'x'));
  if (kind == "fifo") QCOMPARE(::mkfifo(QFile::encodeName(bad).constData(), 0600), 0);

  UserData store;
  QCOMPARE(store.size(), 7);  // as at start
  QVERIFY(store.load(good).ok());
  QCOMPARE(int(store.load(bad).failure), failure);
  QCOMPARE(store.lines(3), (QStringList{"W", "A", ""}));
}

QTEST_MAIN(TestRecordsListing)
#include "test_records_listing.moc"
