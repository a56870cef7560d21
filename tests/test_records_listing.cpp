// The parameter listing, the report's margins and the dane.cfg store, without windows.
#include <QtTest>

#include "core/TextFile.h"
#include "records/ParameterListing.h"
#include "records/UserData.h"

#include <sys/stat.h>

using namespace orvel;

namespace {

// An editor that shows only the four radio groups' captions and the given selections.
EditorSnapshot radioSnapshot(const QList<int>& selected) {
  EditorSnapshot s;
  s.texts = {{"RadioGroup3", "Tryb pracy sterownika"},
             {"RadioGroup4", "Czujnik gazu"},
             {"RadioGroup2", "TPS"},
             {"RadioGroup5", "Rodzaj obrotow"}};
  for (int i = 0; i < selected.size(); ++i)
    s.selected[kFlagRadios.at(static_cast<std::size_t>(i))] = selected.at(i);
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
  void optionLines_data();
  void optionLines();
  void listingHead();
  void listingReadsEveryNamedControl();
  void reportMargins();
  void userDataFiles_data();
  void userDataFiles();
  void userDataKeepsStoreWhenFileCannotBeRead_data();
  void userDataKeepsStoreWhenFileCannotBeRead();
};

void TestRecordsListing::optionLines_data() {
  QTest::addColumn<QList<int>>("selected");  // TPS, rpm signal, gas sensor, operating mode
  QTest::addColumn<QStringList>("lines");    // listing lines 45..48
  QTest::newRow("first items") << QList<int>{0, 0, 0, 0}
                               << QStringList{"Tryb pracy sterownika:   Praca dynamiczna",
                                              "Czujnik gazu:   Brak", "TPS:   Rosnący",
                                              "Rodzaj obrotow:   Rosnące"};
  const QStringList others{"Tryb pracy sterownika:   Praca ekonomiczna", "Czujnik gazu:   Obecny",
                           "TPS:   Malejący", "Rodzaj obrotow:   Malejące"};
  QTest::newRow("second items") << QList<int>{1, 1, 1, 1} << others;
  QTest::newRow("nothing selected before a read-out") << QList<int>{} << others;
}

void TestRecordsListing::optionLines() {
  QFETCH(QList<int>, selected);
  QFETCH(QStringList, lines);
  const QStringList listing = parameterListing({}, radioSnapshot(selected));
  QCOMPARE(listing.size(), kListingLineCount);
  QCOMPARE(listing.mid(45), lines);
}

void TestRecordsListing::listingHead() {
  // A missing dane.cfg: eight empty lines, then the five empty ones.
  QCOMPARE(parameterListing({}, {}).mid(0, 13), QStringList(13));
  // Only eight lines of a longer file.
  QStringList ten;
  for (int i = 0; i < 10; ++i)
    ten << QString::number(i);
  QCOMPARE(parameterListing(ten, {}).mid(0, 13), ten.mid(0, 8) + QStringList(5));
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
  const QStringList listing = parameterListing({"Warsztat"}, radioSnapshot({0, 0, 0, 0}));
  QStringList expected{"", ""};
  for (const QString& line : listing + QStringList{""})
    expected << QStringLiteral("     ") + line;
  QCOMPARE(reportLines(listing), expected);
  // Any text: the first 50 lines only.
  QStringList sixty;
  for (int i = 0; i < 60; ++i)
    sixty << QString::number(i);
  const QStringList printed = withPrintMargins(sixty);
  QCOMPARE(printed.mid(51, 2), (QStringList{"     49", "50"}));
}

void TestRecordsListing::userDataFiles_data() {
  QTest::addColumn<QByteArray>("file");       // dane.cfg as found; "<none>": no file
  QTest::addColumn<QStringList>("shown");     // lines 0..7 as read
  QTest::addColumn<QStringList>("carLines");  // what the fitter leaves in lines 6 and 7
  QTest::addColumn<QByteArray>("saved");      // dane.cfg after saving

  QTest::newRow("missing: eight lines, the car lines typed")
      << QByteArray("<none>") << QStringList(8) << QStringList{"Fiat", "Punto"}
      << QByteArray("\r\n\r\n\r\n\r\n\r\n\r\nFiat\r\nPunto\r\n");
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
