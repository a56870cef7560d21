// The program's own texts in the interface language, one of each window or subsystem, with the
// windows opened in Polish before the language changes: what is already on the screen follows
// the change. The controller's own messages keep their Polish and Italian wording.
#include "app/HelpWindow.h"
#include "app/TAboutBox.h"
#include "archive/ArchivedSettings.h"
#include "core/Dialogs.h"
#include "link/PortDeviceDialog.h"
#include "records/TForm2.h"
#include "support/ProgramFixture.h"
#include "support/SettingsBlocks.h"
#include "sync/ServerDialog.h"
#include "ui_PortDeviceDialog.h"
#include "ui_TAboutBox.h"
#include "ui_TForm1.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <functional>

using namespace orvel;
using orvel::test::ProgramFixture;

namespace {

// What a row does before the language changes, and how it reads the text shown after.
struct Probe {
  std::function<void(ProgramFixture&)> before;
  std::function<QString(ProgramFixture&)> shown;
};

QString lastBox(ProgramFixture& f) {
  if (f.dialogs.boxes.isEmpty()) return QStringLiteral("(no box)");
  const auto& box = f.dialogs.boxes.last();
  return box.title + QStringLiteral(": ") + box.text.section(QStringLiteral("\r\n"), 0, 0);
}

Probe probe(const QString& name) {
  const auto nothing = [](ProgramFixture&) {};
  if (name == "status bar") {
    // F5 with no controller: the exchange gives up.
    return {[](ProgramFixture& f) {
              f.form().ui().Zmianaparametrwpracy1->trigger();
              f.timers.advanceMs(6300);
            },
            [](ProgramFixture& f) { return f.form().statusText(); }};
  }
  if (name == "port device dialog") {
    return {[](ProgramFixture& f) { f.form().ui().Urzadzenieportu1->trigger(); },
            [](ProgramFixture& f) {
              auto* d = f.form().findChild<PortDeviceDialog*>(QStringLiteral("PortDeviceDialog"));
              return d ? d->ui().ListLabel->text() : QString();
            }};
  }
  if (name == "archive server dialog") {
    return {[](ProgramFixture& f) {
              f.form().findChild<QAction*>(QStringLiteral("SerwerArchiwum1"))->trigger();
            },
            [](ProgramFixture& f) {
              auto* d = f.form().findChild<ServerDialog*>();
              return d ? d->findChild<QLineEdit*>(QStringLiteral("EditSerwer"))
                             ->placeholderText()
                             .section(' ', 0, 2)
                       : QString();
            }};
  }
  if (name == "help window") {
    // No browser: the program's own window shows the page, titled by it.
    return {[](ProgramFixture& f) {
              for (const char* page : {"pomoc.html", "help-en.html", "help-it.html"}) {
                QFile file(f.installDir.filePath(QString::fromLatin1(page)));
                if (file.open(QIODevice::WriteOnly))
                  file.write(QByteArray("<title>") + page + "</title><h1 id=\"IDH_5310\">x</h1>");
              }
              f.browser = false;
              f.form().ui().Opis1->trigger();
            },
            [](ProgramFixture& f) {
              return f.form().helpWindow() ? f.form().helpWindow()->windowTitle() : QString();
            }};
  }
  if (name == "about box") {
    return {nothing, [](ProgramFixture& f) { return f.program->aboutBox().ui().Comments->text(); }};
  }
  if (name == "drive log button") {
    return {nothing, [](ProgramFixture& f) {
              const QString tip =
                  f.form().findChild<QPushButton*>(QStringLiteral("BtnZapis"))->toolTip();
              return tip.left(tip.lastIndexOf(' '));  // without the folder
            }};
  }
  if (name == "file viewer box") {
    return {nothing, [](ProgramFixture& f) {
              f.program->form2().showFile(f.installDir.path());
              return lastBox(f);
            }};
  }
  if (name == "archive settings") {
    return {nothing, [](ProgramFixture&) {
              const QByteArray bytes = test::typicalBlock(0x51);
              SettingsBlock block{};
              std::copy(bytes.begin(), bytes.end(), block.begin());
              return settingText(Setting::TpsDirection, block);
            }};
  }
  if (name == "invalid entry") {
    // The controller's wording, then the values allowed in the interface language.
    return {nothing, [](ProgramFixture&) {
              return invalidEntryTitle() + QStringLiteral(": ") +
                     invalidEntryText(QStringLiteral("0...255")).replace("\r\n", " | ");
            }};
  }
  if (name == "controller's message") {
    return {nothing, [](ProgramFixture& f) {
              f.form().ui().Zapiszdopliku1->trigger();
              return lastBox(f);
            }};
  }
  return {};
}

}  // namespace

class InterfaceTextsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void ownTextsFollowTheLanguage_data() {
    QTest::addColumn<QString>("what");
    QTest::addColumn<QStringList>("texts");  // Polish, English, Italian
    const auto row = [](const char* what, const QStringList& texts) {
      QTest::newRow(what) << QString::fromUtf8(what) << texts;
    };
    row("status bar", {"Sterownik nie odpowiada", "The controller does not answer",
                       "La centralina non risponde"});
    row("port device dialog",
        {"Urządzenia szeregowe w systemie:", "Serial devices of this machine:",
         "Dispositivi seriali nel sistema:"});
    row("archive server dialog",
        {"host=serwer dbname=orvel user=stanowisko1", "host=server dbname=orvel user=workstation1",
         "host=server dbname=orvel user=postazione1"});
    row("help window", {"pomoc.html", "help-en.html", "help-it.html"});
    row("about box",
        {"Ustawienia, autokalibracja i podgląd pracy silnika przez łącze szeregowe.",
         "Settings, autocalibration and a live view of the engine over a serial line.",
         "Parametri, autotaratura e motore visto in tempo reale sulla linea seriale."});
    row("drive log button", {"Zapis przebiegów do pliku CSV w folderze",
                             "Records the traces to a CSV file in the folder",
                             "Registra i dati in un file CSV nella cartella"});
    row("file viewer box", {"Uwaga: To nie jest zwykły plik, nie można go wyświetlić:",
                            "Warning: This is not a regular file; it cannot be shown:",
                            "Attenzione: Non è un file normale, impossibile visualizzarlo:"});
    row("archive settings", {"Malejący", "Down", "Calante"});
    row("invalid entry", {"Uwaga: Nieprawidłowa wartość | Dozwolone: 0...255",
                          "Errore: Dati fuori limiti | Allowed values: 0...255",
                          "Errore: Dati fuori limiti | Valori ammessi: 0...255"});
    row("controller's message", {"Uwaga: Przed zapisaniem do pliku odczytaj dane ze sterownika",
                                 "!!!: Prima di salvare nel file leggere i dati dalla centralina",
                                 "!!!: Prima di salvare nel file leggere i dati dalla centralina"});
  }
  void ownTextsFollowTheLanguage() {
    QFETCH(QString, what);
    QFETCH(QStringList, texts);
    const Probe p = probe(what);
    QVERIFY2(p.shown, qPrintable(what));
    const Language languages[] = {Language::Polish, Language::English, Language::Italian};
    for (int i = 0; i < 3; ++i) {
      ProgramFixture f;
      f.start();
      p.before(f);
      // Through another language, so that a text made once at start cannot pass.
      f.form().selectLanguage(i == 2 ? Language::English : Language::Italian);
      f.form().selectLanguage(languages[i]);
      QCOMPARE(p.shown(f), texts.at(i));
    }
  }
};

QTEST_MAIN(InterfaceTextsTest)
#include "test_interface_texts.moc"
