// The records commands in the whole program on fakes: the user-data window (F2), the report
// (Ctrl+P) printed into a PDF file and read back, settings files (Ctrl+S) and the viewer
// (Ctrl+O), and every file write that fails.
#include <QtTest>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>

#include "core/TextFile.h"
#include "records/ParameterListing.h"
#include "records/RecordsCommands.h"
#include "records/TForm2.h"
#include "records/TForm3.h"
#include "settings/SettingsDecoder.h"
#include "settings/TEdytuj_dane.h"
#include "support/ProgramFixture.h"
#include "support/ScratchVolume.h"
#include "support/ScriptedFileDialogs.h"
#include "support/SettingsBlocks.h"
#include "ui_TForm1.h"
#include "ui_TForm2.h"
#include "ui_TForm3.h"

#include <sys/stat.h>
#include <unistd.h>

using namespace orvel;
using orvel::test::ProgramFixture;
using orvel::test::ScratchVolume;
using orvel::test::ScriptedFileDialogs;
using orvel::test::typicalBlock;

namespace {

// A workshop's dane.cfg in Windows-1250: "Zakład Gazowy Łódź", "ul. Świętokrzyska 12", ...
const QByteArray kDane =
    "Zak\xb3\x61\x64 Gazowy \xa3\xf3\x64\x9f\r\n"
    "ul. \x8cwi\xeatokrzyska 12\r\n"
    "90-001 \xa3\xf3\x64\x9f\r\n"
    "tel. 42 123 45 67\r\n"
    "NIP 725-000-00-00\r\n"
    "K7\r\n"
    "Fiat Punto 1.2\r\n"
    "WE 12345, \xbf\xf3\xb3ty\r\n";

QByteArray readBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
  QCOMPARE(f.write(bytes), bytes.size());
}

// Types a text, Polish letters included, as key presses.
void typeText(QWidget* field, const QString& text) {
  for (const QChar c : text)
    QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

QString golden(const char* name) {
  return QStringLiteral(ORVEL_SOURCE_DIR "/tests/golden/records/") + QLatin1String(name);
}

// Compares with a golden file; a difference leaves the actual bytes in the temporary folder.
bool matchesGolden(const QByteArray& actual, const char* name) {
  if (actual == readBytes(golden(name))) return true;
  const QString out = QDir::temp().filePath(QLatin1String(name) + QStringLiteral(".actual"));
  QFile f(out);
  if (f.open(QIODevice::WriteOnly)) f.write(actual);
  qWarning("%s differs from its golden file; actual bytes in %s", name, qPrintable(out));
  return false;
}

QStringList simplifiedNonEmpty(const QStringList& lines) {
  QStringList out;
  for (const QString& line : lines)
    if (!line.simplified().isEmpty()) out << line.simplified();
  return out;
}

// What a poppler tool prints about a PDF file, as lines.
QStringList poppler(const char* tool, const QStringList& arguments) {
  QProcess p;
  p.start(QLatin1String(tool), arguments);
  if (!p.waitForFinished(30000) || p.exitCode() != 0)
    return {QStringLiteral("<%1 failed>").arg(tool)};
  return QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'));
}

// The text of a PDF file as pdftotext reads it: the non-empty lines, blanks simplified.
QStringList pdfLines(const QString& pdf) {
  return simplifiedNonEmpty(poppler("pdftotext", {"-enc", "UTF-8", pdf, "-"}));
}

QString pdfTitle(const QString& pdf) {
  const QStringList info =
      poppler("pdfinfo", {"-enc", "UTF-8", pdf}).filter(QRegularExpression("^Title:"));
  return info.isEmpty() ? QString() : info.first().mid(6).trimmed();
}

}  // namespace

class TestRecordsProgram : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void init();
  void cleanup();

  void userWindowAsDesigned();
  void userWindowSavesCarLines();
  void userWindowLeftWithoutSaving_data();
  void userWindowLeftWithoutSaving();
  void userWindowWithoutFile();
  void workshopLinesBehindTheSwitch_data();
  void workshopLinesBehindTheSwitch();
  void userDataNeverReplacedWithLess_data();
  void userDataNeverReplacedWithLess();

  void saveRefusedBeforeReadOut();
  void saveCancelled();
  void savedFileMatchesGolden();
  void saveAddsExtensionAndReplaces_data();
  void saveAddsExtensionAndReplaces();

  void viewerShowsSavedFileAndPrintsItTheSameTwice();
  void viewerRefusals_data();
  void viewerRefusals();
  void viewerShowsAnyBytes();

  void reportAbandoned_data();
  void reportAbandoned();
  void reportWithStoredUserData();
  void reportMatchesGoldenAndPrintsIntoPdf();
  void reportOfEditorNeverFilled();

  void writeFailures_data();
  void writeFailures();

 private:
  TForm3& userWindow() { return f->program->form3(); }
  TForm2& viewer() { return f->program->form2(); }
  Ui::TForm1& mainUi() { return f->form().ui(); }
  QString installFile(const char* name) const {
    return QDir(f->installDir.path()).filePath(QLatin1String(name));
  }
  QString scratchFile(const char* name) const { return QDir(scratch->path()).filePath(name); }
  void readOut() {
    f->control().startSettingsExchange();
    f->link.inject({0x01});
    f->timers.advanceMs(1100);
    f->answerReadOut(typicalBlock());
    QVERIFY(f->program->editor().isVisible());
    // The fitter closes the editor; its fields keep the settings.
    f->program->editor().close();
  }
  void restart(const QString& installPath) {
    f.reset();
    f = std::make_unique<ProgramFixture>();
    f->installPath = installPath;
    f->start();
  }

  std::unique_ptr<ScriptedFileDialogs> dialogs;
  std::unique_ptr<ProgramFixture> f;
  std::unique_ptr<QTemporaryDir> scratch;
};

void TestRecordsProgram::init() {
  dialogs = std::make_unique<ScriptedFileDialogs>();
  f = std::make_unique<ProgramFixture>();
  f->start();
  scratch = std::make_unique<QTemporaryDir>();
}

void TestRecordsProgram::cleanup() {
  f.reset();
  dialogs.reset();
  scratch.reset();
}

// ---------------------------------------------------------------------------------------------
// User-data window (F2)

void TestRecordsProgram::userWindowAsDesigned() {
  TForm3& w = userWindow();
  Ui::TForm3& ui = w.ui();
  QCOMPARE(w.size(), QSize(420, 212));
  QCOMPARE(w.minimumSize(), w.maximumSize());
  QVERIFY(w.windowFlags() & Qt::WindowStaysOnTopHint);
  for (QLineEdit* e : {ui.Edit1, ui.Edit2, ui.Edit3, ui.Edit4, ui.Edit5})
    QVERIFY(e->isReadOnly() && !e->hasFrame());
  QVERIFY(ui.Edit6->isHidden());
  QCOMPARE(ui.Edit7->maxLength(), 25);
  QCOMPARE(ui.Edit8->maxLength(), 33);
  QVERIFY(ui.SpeedButton2->isDefault());
  QCOMPARE(ui.SpeedButton2->text() + ui.SpeedButton1->text(), QStringLiteral("&Zapisz&Anuluj"));
  QCOMPARE(mainUi().puste31->shortcut(), QKeySequence(Qt::Key_F2));
}

void TestRecordsProgram::userWindowSavesCarLines() {
  writeBytes(installFile("dane.cfg"), kDane);
  mainUi().puste31->trigger();
  Ui::TForm3& ui = userWindow().ui();
  QVERIFY(userWindow().isVisible());
  QVERIFY(!f->form().isEnabled());
  QStringList shown;
  for (QLineEdit* e : {ui.Edit1, ui.Edit2, ui.Edit5, ui.Edit6, ui.Edit7, ui.Edit8})
    shown << e->text();
  QCOMPARE(shown, (QStringList{"Zakład Gazowy Łódź", "ul. Świętokrzyska 12", "NIP 725-000-00-00",
                               "K7", "Fiat Punto 1.2", "WE 12345, żółty"}));
  ui.Edit7->selectAll();
  typeText(ui.Edit7, QStringLiteral("Škoda Fabia"));
  ui.Edit8->selectAll();
  typeText(ui.Edit8, QStringLiteral("ŁDZ 0001"));
  // Enter anywhere in the window is "&Zapisz", the default button.
  QTest::keyClick(ui.Edit8, Qt::Key_Return);
  QVERIFY(!userWindow().isVisible());
  QVERIFY(f->form().isEnabled());
  QCOMPARE(readBytes(installFile("dane.cfg")),
           kDane.left(kDane.indexOf("Fiat")) + "\x8akoda Fabia\r\n\xa3\x44Z 0001\r\n");
  QVERIFY(f->dialogs.boxes.isEmpty());
}

void TestRecordsProgram::userWindowLeftWithoutSaving_data() {
  QTest::addColumn<QString>("how");
  QTest::newRow("&Anuluj") << "cancel";
  QTest::newRow("Escape") << "escape";
  QTest::newRow("close box") << "close";
}

void TestRecordsProgram::userWindowLeftWithoutSaving() {
  QFETCH(QString, how);
  writeBytes(installFile("dane.cfg"), kDane);
  mainUi().puste31->trigger();
  Ui::TForm3& ui = userWindow().ui();
  ui.Edit7->selectAll();
  QTest::keyClicks(ui.Edit7, QStringLiteral("changed"));
  if (how == "cancel") QTest::mouseClick(ui.SpeedButton1, Qt::LeftButton);
  if (how == "escape") QTest::keyClick(ui.Edit7, Qt::Key_Escape);
  if (how == "close") userWindow().close();
  QVERIFY(!userWindow().isVisible());
  QVERIFY(f->form().isEnabled());
  QCOMPARE(readBytes(installFile("dane.cfg")), kDane);
  // The next opening shows the file again, not the abandoned edit.
  mainUi().puste31->trigger();
  QCOMPARE(ui.Edit7->text(), QStringLiteral("Fiat Punto 1.2"));
}

void TestRecordsProgram::userWindowWithoutFile() {
  mainUi().puste31->trigger();
  Ui::TForm3& ui = userWindow().ui();
  for (QLineEdit* e : {ui.Edit1, ui.Edit5, ui.Edit6, ui.Edit7, ui.Edit8})
    QVERIFY(e->text().isEmpty());
  QTest::keyClicks(ui.Edit7, QStringLiteral("Opel Astra"));
  QTest::mouseClick(ui.SpeedButton2, Qt::LeftButton);
  QCOMPARE(readBytes(installFile("dane.cfg")),
           QByteArray("\r\n\r\n\r\n\r\n\r\n\r\nOpel Astra\r\n\r\n"));
  QVERIFY(f->dialogs.boxes.isEmpty());
}

void TestRecordsProgram::workshopLinesBehindTheSwitch_data() {
  QTest::addColumn<bool>("switchOn");
  QTest::addColumn<QByteArray>("firstLine");  // dane.cfg's first line after "&Zapisz"
  QTest::newRow("switch off: read-only") << false << kDane.left(kDane.indexOf("\r\n"));
  QTest::newRow("switch on: Windows-1250") << true << QByteArray("Warsztat \xaf\xf3\xb3w");
}

void TestRecordsProgram::workshopLinesBehindTheSwitch() {
  QFETCH(bool, switchOn);
  QFETCH(QByteArray, firstLine);
  writeBytes(installFile("dane.cfg"), kDane);
  mainUi().puste31->trigger();
  Ui::TForm3& ui = userWindow().ui();
  QCOMPARE(ui.CheckBoxWarsztat->text(), QStringLiteral("Edytuj dane warsztatu"));
  QCOMPARE(ui.LabelCar1->text() + '|' + ui.LabelCar2->text(),
           QStringLiteral("Samochód|Nr rejestracyjny"));
  // The car lines keep the focus; the switch is off at every opening.
  QVERIFY(!ui.CheckBoxWarsztat->isChecked());
  if (switchOn) ui.CheckBoxWarsztat->click();
  QCOMPARE(ui.Edit1->isReadOnly(), !switchOn);
  ui.Edit1->selectAll();
  typeText(ui.Edit1, QStringLiteral("Warsztat Żółw"));
  QTest::mouseClick(ui.SpeedButton2, Qt::LeftButton);
  const QByteArray rest = kDane.mid(kDane.indexOf("\r\n"));
  QCOMPARE(readBytes(installFile("dane.cfg")), firstLine + rest);
  mainUi().puste31->trigger();
  QVERIFY(!ui.CheckBoxWarsztat->isChecked());
  QVERIFY(ui.Edit1->isReadOnly());
}

void TestRecordsProgram::userDataNeverReplacedWithLess_data() {
  QTest::addColumn<QString>("kind");
  QTest::addColumn<QString>("reason");  // empty: saved without a word
  QTest::newRow("unreadable") << "loop"
                              << "błąd odczytu 40";
  QTest::newRow("too large") << "huge"
                             << "plik większy niż 1 MB";
  QTest::newRow("FIFO") << "fifo"
                        << "to nie jest zwykły plik";
  QTest::newRow("directory") << "directory"
                             << "to nie jest zwykły plik";
  QTest::newRow("missing") << "missing"
                           << "";
  QTest::newRow("past 64 KB: read whole") << "large"
                                          << "";
}

void TestRecordsProgram::userDataNeverReplacedWithLess() {
  QFETCH(QString, kind);
  QFETCH(QString, reason);
  const QString path = installFile("dane.cfg");
  const QByteArray encoded = QFile::encodeName(path);
  QByteArray before;
  if (kind == "loop") QCOMPARE(::symlink("dane.cfg", encoded.constData()), 0);
  if (kind == "huge") before = QByteArray(UserData::kMaxFileBytes + 1, 'x');
  if (kind == "large") before = kDane + QByteArray(100000, 'n') + "\r\n";
  if (!before.isEmpty()) writeBytes(path, before);
  if (kind == "fifo") QCOMPARE(::mkfifo(encoded.constData(), 0600), 0);
  if (kind == "directory") QVERIFY(QDir(f->installDir.path()).mkdir("dane.cfg"));
  // What is there: the link, the kind, and for a regular file its size and bytes (a FIFO is never
  // opened here, it would wait for a writer).
  const auto state = [&] {
    const QFileInfo info(path);
    QString what = info.symLinkTarget() + QString::number(info.isDir()) +
                   QString::number(info.isFile()) + QString::number(info.size());
    if (info.isFile()) what += QString::fromLatin1(readBytes(path).toHex());
    return what;
  };
  const QString kept = state();

  mainUi().puste31->trigger();
  QTest::mouseClick(userWindow().ui().SpeedButton2, Qt::LeftButton);
  QVERIFY(!userWindow().isVisible());
  if (kind == "missing") {
    QCOMPARE(readBytes(path), QByteArray("\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n"));
  } else {
    QCOMPARE(state(), kept);
    if (!before.isEmpty() && reason.isEmpty()) QCOMPARE(readBytes(path), before);
  }
  if (reason.isEmpty()) {
    QVERIFY(f->dialogs.boxes.isEmpty());
    return;
  }
  QCOMPARE(f->dialogs.boxes.size(), 1);
  QVERIFY2(f->dialogs.texts().first().contains(path + QStringLiteral(": nie można go odczytać (") +
                                               reason + ')'),
           qPrintable(f->dialogs.texts().first()));
  // Nothing was ever read from it: the report has no workshop to head it and is abandoned.
  readOut();
  mainUi().Drukowanieparametrw1->trigger();
  QCOMPARE(f->dialogs.texts().value(1), QStringLiteral("Cannot open file %1.").arg(path));
  QCOMPARE(state(), kept);
}

void TestRecordsProgram::saveRefusedBeforeReadOut() {
  QCOMPARE(mainUi().Zapiszdopliku1->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
  mainUi().Zapiszdopliku1->trigger();
  QCOMPARE(f->dialogs.boxes.size(), 1);
  QCOMPARE(f->dialogs.boxes.first().text,
           QStringLiteral("Przed zapisaniem do pliku odczytaj dane ze sterownika\r\nza pomocą "
                          "ręcznego podawania parametrów"));
  QCOMPARE(f->dialogs.boxes.first().title, QStringLiteral("Uwaga"));
  QVERIFY(dialogs->saveOffers.isEmpty());
}

void TestRecordsProgram::saveCancelled() {
  readOut();
  dialogs->answers = {QString()};
  mainUi().Zapiszdopliku1->trigger();
  QCOMPARE(dialogs->saveOffers.size(), 1);
  QCOMPARE(dialogs->saveOffers.first().mid(1),
           (QStringList{"Pliki programu Orvel (*.orv)", "orv"}));
  // The first dialog of a run starts where the program's files are, wherever it was started.
  const QString install = QDir::cleanPath(QFileInfo(f->installDir.path()).absoluteFilePath());
  QCOMPARE(dialogs->saveOffers.first().first(), install);
  QVERIFY(QDir(scratch->path()).isEmpty());
  // The open dialog cancelled too: the viewer stays closed.
  dialogs->answers = {QString()};
  mainUi().Odczytajzpliku1->trigger();
  QCOMPARE(dialogs->openOffers.size(), 1);
  QCOMPARE(dialogs->openOffers.first().first(), install);
  QVERIFY(!viewer().isVisible());
  QVERIFY(f->dialogs.boxes.isEmpty());
}

void TestRecordsProgram::savedFileMatchesGolden() {
  writeBytes(installFile("dane.cfg"), kDane);
  readOut();
  // The fitter switches the maximum speed off and the controller to economic mode.
  TEdytuj_dane& editor = f->program->editor();
  QTest::mouseClick(editor.findChild<QAbstractButton*>("CheckBox3"), Qt::LeftButton, {},
                    QPoint(6, 8));
  editor.selectItem(FlagRadio::OperatingMode, 1);
  dialogs->answers = {scratchFile("fiat-punto")};
  mainUi().Zapiszdopliku1->trigger();
  QVERIFY(f->dialogs.boxes.isEmpty());
  QVERIFY(matchesGolden(readBytes(scratchFile("fiat-punto.orv")), "fiat-punto.orv"));
}

void TestRecordsProgram::saveAddsExtensionAndReplaces_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("written");
  QTest::newRow("no extension") << "car"
                                << "car.orv";
  QTest::newRow("own extension kept") << "car.txt"
                                      << "car.txt";
  QTest::newRow("existing file replaced without asking") << "old.orv"
                                                         << "old.orv";
}

void TestRecordsProgram::saveAddsExtensionAndReplaces() {
  QFETCH(QString, typed);
  QFETCH(QString, written);
  writeBytes(scratchFile("old.orv"), "previous car\r\n");
  readOut();
  dialogs->answers = {QDir(scratch->path()).filePath(typed)};
  mainUi().Zapiszdopliku1->trigger();
  const QByteArray bytes = readBytes(QDir(scratch->path()).filePath(written));
  QCOMPARE(bytes.count("\r\n"), 49);
  QVERIFY(bytes.contains("\r\n1.00\r\n"));
  // The next dialog starts where the last file went.
  dialogs->answers = {QString()};
  mainUi().Zapiszdopliku1->trigger();
  QCOMPARE(dialogs->saveOffers.last().first(), scratch->path());
}

// ---------------------------------------------------------------------------------------------
// Viewer (Ctrl+O)

void TestRecordsProgram::viewerShowsSavedFileAndPrintsItTheSameTwice() {
  writeBytes(installFile("dane.cfg"), kDane);
  readOut();
  const QString saved = scratchFile("Ford Ka.orv");
  dialogs->answers = {saved, saved};
  mainUi().Zapiszdopliku1->trigger();
  QCOMPARE(f->form().statusText(),
           QStringLiteral("Zapisano ") + QFileInfo(saved).absoluteFilePath());
  QCOMPARE(mainUi().Odczytajzpliku1->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
  mainUi().Odczytajzpliku1->trigger();
  QCOMPARE(dialogs->openOffers.first().at(1), QStringLiteral("Pliki programu Orvel (*.orv)"));

  TForm2& v = viewer();
  QVERIFY(v.isVisible());
  QCOMPARE(v.size(), QSize(393, 400));
  QCOMPARE(v.minimumSize(), v.maximumSize());
  QCOMPARE(v.windowTitle(), QStringLiteral("Odczyt pliku - ") + QFileInfo(saved).fileName());
  QCOMPARE(v.windowModality(), Qt::NonModal);
  QCOMPARE(v.ui().RichEdit1->size(), QSize(375, 361));
  QCOMPARE(v.ui().RichEdit1->lineWrapMode(), QPlainTextEdit::NoWrap);
  QCOMPARE(v.ui().SpeedButton1->toolTip(), QStringLiteral("Drukowanie"));
  const QStringList shown = splitLines(v.text());
  QCOMPARE(shown.size(), 49);
  QCOMPARE(shown, splitLines(decodeCp1250(readBytes(saved))));
  QCOMPARE(shown.at(0), QStringLiteral("Zakład Gazowy Łódź"));

  const QString pdf = saved + QStringLiteral(".pdf");
  QList<QStringList> printouts;
  for (int i = 0; i < 2; ++i) {
    QTest::mouseClick(v.ui().SpeedButton1, Qt::LeftButton);
    QVERIFY(f->dialogs.boxes.isEmpty());
    printouts << pdfLines(pdf);
    QCOMPARE(splitLines(v.text()), shown);
  }
  QCOMPARE(printouts.at(1), printouts.at(0));
  QCOMPARE(printouts.at(0), simplifiedNonEmpty(shown));
  QCOMPARE(pdfTitle(pdf), QFileInfo(saved).absoluteFilePath());
  QCOMPARE(f->form().statusText(), QStringLiteral("Wydruk zapisany do pliku %1").arg(pdf));
}

void TestRecordsProgram::viewerRefusals_data() {
  QTest::addColumn<QString>("kind");
  QTest::addColumn<QString>("message");  // %1: the path
  QTest::newRow("missing") << "missing"
                           << "Cannot open file %1.";
  QTest::newRow("unreadable") << "unreadable"
                              << "Cannot open file %1.";
  QTest::newRow("directory") << "directory"
                             << "To nie jest zwykły plik, nie można go wyświetlić:\r\n%1";
  QTest::newRow("FIFO") << "fifo"
                        << "To nie jest zwykły plik, nie można go wyświetlić:\r\n%1";
  QTest::newRow("over 1 MB") << "huge"
                             << "Plik jest za duży, aby go wyświetlić (ponad 1 MB):\r\n%1";
}

void TestRecordsProgram::viewerRefusals() {
  QFETCH(QString, kind);
  QFETCH(QString, message);
  const QString path = scratchFile("file.orv");
  if (kind == "unreadable") {
    writeBytes(path, "x");
    if (::geteuid() == 0) {
      // Root reads any file; a file that vanishes between the dialog and the read is the same.
      QFile::remove(path);
    } else {
      QFile::setPermissions(path, {});
    }
  }
  if (kind == "directory") QVERIFY(QDir(scratch->path()).mkdir("file.orv"));
  if (kind == "fifo") QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
  if (kind == "huge") writeBytes(path, QByteArray(TForm2::kMaxFileBytes + 1, 'x'));
  dialogs->answers = {path};
  mainUi().Odczytajzpliku1->trigger();
  QCOMPARE(f->dialogs.texts(), QStringList{message.arg(path)});
  QVERIFY(!viewer().isVisible());
}

void TestRecordsProgram::viewerShowsAnyBytes() {
  // Exactly 1 MB of every byte value, one line: shown as Windows-1250 text, and the window
  // stays usable.
  QByteArray bytes(TForm2::kMaxFileBytes, Qt::Uninitialized);
  for (int i = 0; i < bytes.size(); ++i) {
    const char c = static_cast<char>(i % 256);
    bytes[i] = c == '\n' || c == '\r' ? ' ' : c;
  }
  writeBytes(scratchFile("binary.bin"), bytes);
  writeBytes(scratchFile("empty.orv"), QByteArray());
  dialogs->answers = {scratchFile("binary.bin"), scratchFile("empty.orv")};
  QElapsedTimer clock;
  clock.start();
  mainUi().Odczytajzpliku1->trigger();
  QVERIFY(viewer().isVisible());
  QCOMPARE(viewer().text().size(), TForm2::kMaxFileBytes);
  QCOMPARE(viewer().text().at(0xb9), QChar(u'ą'));
  QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
  QVERIFY(f->dialogs.boxes.isEmpty());
  mainUi().Odczytajzpliku1->trigger();
  QCOMPARE(viewer().text(), QString());
  QCOMPARE(viewer().fileName(), scratchFile("empty.orv"));
}

// ---------------------------------------------------------------------------------------------
// Report (Ctrl+P)

void TestRecordsProgram::reportAbandoned_data() {
  QTest::addColumn<bool>("userData");
  QTest::addColumn<QStringList>("messages");
  QTest::newRow("print dialog cancelled") << true << QStringList{};
  QTest::newRow("no dane.cfg, none read before") << false << QStringList{"Cannot open file %1."};
}

void TestRecordsProgram::reportAbandoned() {
  QFETCH(bool, userData);
  QFETCH(QStringList, messages);
  if (userData) writeBytes(installFile("dane.cfg"), kDane);
  writeBytes(installFile("param.cfg"), "last report\r\n");
  readOut();
  if (userData) dialogs->printAnswer.reset();
  mainUi().Drukowanieparametrw1->trigger();
  QCOMPARE(dialogs->printOffers.size(), 1);
  QCOMPARE(f->dialogs.texts(), messages.replaceInStrings("%1", installFile("dane.cfg")));
  QCOMPARE(readBytes(installFile("param.cfg")), QByteArray("last report\r\n"));
  QVERIFY(!QFile::exists(installFile("param.pdf")));
}

// A dane.cfg gone when printing after it was read once: its lines head the report all the same
// and the status bar says so (with none ever read the report is abandoned, above).
void TestRecordsProgram::reportWithStoredUserData() {
  const QString path = installFile("dane.cfg");
  writeBytes(path, kDane);
  mainUi().puste31->trigger();
  QTest::mouseClick(userWindow().ui().SpeedButton1, Qt::LeftButton);
  QVERIFY(QFile::remove(path));
  readOut();
  mainUi().Drukowanieparametrw1->trigger();
  QVERIFY(f->dialogs.boxes.isEmpty());
  QVERIFY(pdfLines(installFile("param.pdf")).contains(QStringLiteral("Zakład Gazowy Łódź")));
  QVERIFY2(f->form().statusText().contains(path + QStringLiteral(" (brak pliku)")),
           qPrintable(f->form().statusText()));
}

void TestRecordsProgram::reportMatchesGoldenAndPrintsIntoPdf() {
  writeBytes(installFile("dane.cfg"), kDane);
  readOut();
  QCOMPARE(mainUi().Drukowanieparametrw1->shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
  mainUi().Drukowanieparametrw1->trigger();
  QVERIFY(f->dialogs.boxes.isEmpty());
  // No printer on this machine: the dialog offers the PDF file in the installation directory.
  QCOMPARE(dialogs->printOffers.size(), 1);
  QCOMPARE(dialogs->printOffers.first().format, QPrinter::PdfFormat);
  QCOMPARE(dialogs->printOffers.first().outputFile, installFile("param.pdf"));

  const QByteArray report = readBytes(installFile("param.cfg"));
  QVERIFY(matchesGolden(report, "param.cfg"));
  const QString pdf = installFile("param.pdf");
  QCOMPARE(pdfLines(pdf), simplifiedNonEmpty(splitLines(decodeCp1250(report))));
  QCOMPARE(pdfTitle(pdf), installFile("param.cfg"));
  QCOMPARE(f->form().statusText(), QStringLiteral("Wydruk zapisany do pliku %1").arg(pdf));
  QVERIFY(pdfLines(pdf).contains(QStringLiteral("Zakład Gazowy Łódź")));
  QVERIFY(pdfLines(pdf).contains(QStringLiteral("TPS: Malejący")));

  // The fitter points the dialog at a file of his own.
  dialogs->printAnswer = scratchFile("own.pdf");
  mainUi().Drukowanieparametrw1->trigger();
  QCOMPARE(pdfLines(scratchFile("own.pdf")), pdfLines(pdf));
}

void TestRecordsProgram::reportOfEditorNeverFilled() {
  writeBytes(installFile("dane.cfg"), kDane);
  mainUi().Drukowanieparametrw1->trigger();
  QVERIFY(f->dialogs.boxes.isEmpty());
  const QStringList report = splitLines(decodeCp1250(readBytes(installFile("param.cfg"))));
  QCOMPARE(report.size(), 52);
  QCOMPARE(report.at(2 + 14), QStringLiteral("     "));
  QCOMPARE(report.at(2 + 30), QStringLiteral("     ; "));
  QCOMPARE(report.at(2 + 45), QStringLiteral("     Tryb pracy sterownika:   Praca ekonomiczna"));
  QVERIFY(QFile::exists(installFile("param.pdf")));
}

// ---------------------------------------------------------------------------------------------
// Writes that fail

void TestRecordsProgram::writeFailures_data() {
  QTest::addColumn<QString>("writer");  // what writes the failing file
  QTest::addColumn<QString>("place");   // why it fails
  for (const char* place : {"read-only", "full", "directory"}) {
    QTest::addRow("settings file, %s", place) << "save" << place;
    QTest::addRow("param.cfg, %s", place) << "report" << place;
  }
  QTest::newRow("report's PDF, full") << "reportPdf"
                                      << "full";
  QTest::newRow("viewer's PDF, read-only") << "viewerPdf"
                                           << "read-only";
  QTest::newRow("viewer's PDF, full") << "viewerPdf"
                                      << "full";
  QTest::newRow("dane.cfg, read-only") << "userData"
                                       << "read-only";
}

void TestRecordsProgram::writeFailures() {
  QFETCH(QString, writer);
  QFETCH(QString, place);
  ScratchVolume volume;
  const QHash<QString, QString> failing{{"save", "car.orv"},
                                        {"report", "param.cfg"},
                                        {"reportPdf", "report.pdf"},
                                        {"viewerPdf", "car.orv.pdf"},
                                        {"userData", "dane.cfg"}};
  const QString target = volume.file(failing.value(writer));
  const QByteArray previous = writer == "userData" ? kDane : QByteArray("previous\r\n");
  writeBytes(volume.file("dane.cfg"), kDane);
  writeBytes(volume.file("car.orv"), "Fiat\r\n");
  writeBytes(target, previous);
  // The program's own files are on the volume, but where the report's PDF fails param.cfg must
  // not (a file-size limit standing in for the full disk holds for every file).
  restart(writer == "reportPdf" ? QString() : volume.path());
  if (writer == "reportPdf") writeBytes(installFile("dane.cfg"), kDane);
  readOut();
  if (place == "read-only" && !volume.makeReadOnly()) {
    // Root without the right to mount: no read-only folder holds for it; a directory in the way
    // fails the same write.
    place = QStringLiteral("directory");
  }
  if (place == "directory") {
    QVERIFY(QFile::remove(target));
    QVERIFY(QDir(volume.path()).mkdir(QFileInfo(target).fileName()));
  }
  if (place == "full") volume.fill(writer == "reportPdf" ? 8 * 1024 : 16);

  if (writer == "save") {
    dialogs->answers = {target};
    mainUi().Zapiszdopliku1->trigger();
  } else if (writer == "report" || writer == "reportPdf") {
    dialogs->printAnswer = writer == "reportPdf" ? target : scratchFile("report.pdf");
    mainUi().Drukowanieparametrw1->trigger();
    // No printout without param.cfg.
    QVERIFY(!QFile::exists(scratchFile("report.pdf")));
  } else if (writer == "viewerPdf") {
    dialogs->answers = {volume.file("car.orv")};
    mainUi().Odczytajzpliku1->trigger();
    QTest::mouseClick(viewer().ui().SpeedButton1, Qt::LeftButton);
  } else {
    mainUi().puste31->trigger();
    QTest::keyClicks(userWindow().ui().Edit7, QStringLiteral("Opel"));
    QTest::mouseClick(userWindow().ui().SpeedButton2, Qt::LeftButton);
    if (place == "directory") {
      // A dane.cfg that cannot be read is never replaced: the refusal names it, nothing is tried.
      QCOMPARE(f->dialogs.boxes.size(), 1);
      QVERIFY(f->dialogs.boxes.first().text.contains(target));
      QVERIFY(QFileInfo(target).isDir());
      return;
    }
    // The window stays for the fitter to cancel, and he gets the main window back.
    QVERIFY(userWindow().isVisible() && !f->form().isEnabled());
    QTest::mouseClick(userWindow().ui().SpeedButton1, Qt::LeftButton);
    QVERIFY(f->form().isEnabled());
  }
  QCOMPARE(f->dialogs.texts(), QStringList{QStringLiteral("Cannot create file %1.").arg(target)});
  QCOMPARE(f->dialogs.boxes.first().icon, MessageIcon::Error);
  QCOMPARE(f->form().statusText(), QString());
  if (place == "directory") return;
  QCOMPARE(readBytes(target), previous);
  // Nothing half-written is left beside it.
  QStringList names = QDir(volume.path()).entryList(QDir::Files);
  names.removeAll(QStringLiteral("filler"));
  // The archive keeps the read-out taken before the disk filled.
  for (const char* kept : {"archiwum.sqlite", "archiwum.sqlite-wal", "archiwum.sqlite-shm"})
    names.removeAll(QLatin1String(kept));
  QCOMPARE(QSet<QString>(names.begin(), names.end()),
           (QSet<QString>{"dane.cfg", "car.orv", failing.value(writer)}));
}

QTEST_MAIN(TestRecordsProgram)
#include "test_records_program.moc"
