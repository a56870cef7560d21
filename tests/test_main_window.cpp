// The main window frame: start-up probing of the ports, the menu and toolbar as fitters know
// them, port choice, help, About, the status bar and the layout rules.
#include "app/HelpWindow.h"
#include "app/TAboutBox.h"
#include "calibration/CalibrationWizard.h"
#include "calibration/RpmScaling.h"
#include "core/FileDialogs.h"
#include "monitor/OscilloscopePanel.h"
#include "records/TForm3.h"
#include "settings/Conversions.h"
#include "settings/TEdytuj_dane.h"
#include "support/ProgramFixture.h"
#include "support/ScriptedFileDialogs.h"
#include "ui_TAboutBox.h"
#include "ui_TForm1.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

using namespace orvel;
using orvel::test::ProgramFixture;
using orvel::test::ScriptedFileDialogs;

namespace {

QStringList configWithPort(const QString& port) {
  QStringList lines = ConfigFile::templateLines();
  lines[11] = port;
  return lines;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void startupProbe_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("failing");
    QTest::addColumn<QString>("port");  // name in force after start
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QStringList>("messages");
    // The message of the port finally chosen, then what each port said.
    const QString com1First =
        "Unable to open com port (win error code: 2).\r\n"
        "COM1: Device or resource busy [16]\r\n"
        "COM2: No such file or directory [2].";
    const QString com2First =
        "Unable to open com port (win error code: 16).\r\n"
        "COM2: No such file or directory [2]\r\n"
        "COM1: Device or resource busy [16].";
    QTest::newRow("com1 works") << "com1" << QStringList{} << "COM1" << true << QStringList{};
    QTest::newRow("com1 fails: silent fall-back to COM2")
        << "com1" << QStringList{"COM1"} << "COM2" << true << QStringList{};
    QTest::newRow("com2 works") << "com2" << QStringList{} << "COM2" << true << QStringList{};
    QTest::newRow("com2 fails: silent fall-back to COM1")
        << "com2" << QStringList{"COM2"} << "COM1" << true << QStringList{};
    QTest::newRow("both fail from com1: one message, link closed")
        << "com1" << QStringList{"COM1", "COM2"} << "COM2" << false << QStringList{com1First};
    QTest::newRow("both fail from com2: one message, link closed")
        << "com2" << QStringList{"COM1", "COM2"} << "COM1" << false << QStringList{com2First};
  }
  void startupProbe() {
    QFETCH(QString, stored);
    QFETCH(QStringList, failing);
    QFETCH(QString, port);
    QFETCH(bool, connected);
    QFETCH(QStringList, messages);
    ProgramFixture f;
    for (const QString& p : failing)
      f.link.failingPorts.insert(p);
    f.link.openErrnos["COM1"] = EBUSY;
    f.writeConfig(configWithPort(stored));
    f.start();
    QCOMPARE(f.link.portName(), port);
    QCOMPARE(f.link.isConnected(), connected);
    QCOMPARE(f.form().ui().COM11->isChecked(), port == "COM1");
    QCOMPARE(f.form().ui().COM21->isChecked(), port == "COM2");
    QCOMPARE(f.dialogs.texts(), messages);
    for (const auto& box : f.dialogs.boxes) {
      QCOMPARE(box.title, QString("Orvel 2001-2.2"));
      QCOMPARE(box.icon, MessageIcon::Error);
    }
    if (connected) {
      // A successful probe opens and closes the port before the real open; after a failed
      // probe the other port is opened directly.
      QCOMPARE(f.link.opens(), failing.isEmpty() ? 2 : 1);
      QCOMPARE(f.link.closes(), failing.isEmpty() ? 1 : 0);
    }
    QVERIFY(f.link.written().isEmpty());  // nothing is sent at start
  }

  void aCommandOpensALinkThatIsNotOpen() {
    ProgramFixture f;
    f.link.failingPorts = {"COM1", "COM2"};
    f.start();
    f.dialogs.boxes.clear();
    // Still unavailable: one open error naming both ports tried, the command does not start,
    // nothing is written.
    f.form().ui().SpeedButton3->click();
    QCOMPARE(f.dialogs.texts(), QStringList{"Unable to open com port (win error code: 2)\r\n"
                                            "COM2: No such file or directory [2]\r\n"
                                            "COM1: No such file or directory [2]\r\n"
                                            "Port wybiera się w menu Opcje."});
    QVERIFY(f.form().ui().SpeedButton3->isEnabled());
    QVERIFY(f.form().statusText().isEmpty());
    QVERIFY(f.link.written().isEmpty());
    // The adapter is back: the next command opens the port silently and goes ahead.
    f.link.failingPorts.clear();
    f.form().ui().SpeedButton3->click();
    QCOMPARE(f.dialogs.boxes.size(), 1);
    QVERIFY(f.link.isConnected());
    QCOMPARE(f.link.written(), QByteArray("\xAA"));
  }

  void menuItemsAndShortcuts_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shortcut");
    QTest::newRow("exit") << "Zamknijprogram1"
                          << "Zamknij program   Alt+F4"
                          << "";
    QTest::newRow("COM1") << "COM11"
                          << "COM1"
                          << "";
    QTest::newRow("COM2") << "COM21"
                          << "COM2"
                          << "";
    QTest::newRow("Polish") << "Polski1"
                            << "Polski"
                            << "";
    QTest::newRow("English") << "Angielski1"
                             << "Angielski"
                             << "";
    QTest::newRow("Italian") << "Woski1"
                             << "Włoski"
                             << "";
    QTest::newRow("print") << "Drukowanieparametrw1"
                           << "Drukowanie parametrów"
                           << "Ctrl+P";
    QTest::newRow("user") << "puste31"
                          << "Użytkownik programu"
                          << "F2";
    QTest::newRow("save") << "Zapiszdopliku1"
                          << "Zapisz do pliku"
                          << "Ctrl+S";
    QTest::newRow("open") << "Odczytajzpliku1"
                          << "Odczytaj z pliku"
                          << "Ctrl+O";
    QTest::newRow("settings") << "Zmianaparametrwpracy1"
                              << "Zmiana parametrów pracy"
                              << "F5";
    QTest::newRow("autocal") << "Autokalibracja1"
                             << "Autokalibracja"
                             << "F6";
    QTest::newRow("scope") << "Tryboscyloskopu1"
                           << "Tryb oscyloskopu"
                           << "F7";
    QTest::newRow("scaling") << "SkalowanieobrotwPB1"
                             << "Skalowanie obrotów [PB]"
                             << "F8";
    QTest::newRow("help") << "Opis1"
                          << "Pomoc"
                          << "F1";
    QTest::newRow("about") << "Oprogramie1"
                           << "O programie"
                           << "";
  }
  void menuItemsAndShortcuts() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, shortcut);
    ProgramFixture f;
    f.start();
    auto* action = f.form().findChild<QAction*>(name);
    QVERIFY2(action, qPrintable(name));
    QCOMPARE(action->text(), text);
    QCOMPARE(action->shortcut().toString(), shortcut);
    QVERIFY(action->isVisible());
    QVERIFY(action->isEnabled());
  }

  // Every command item reaches its handler: what the fitter sees right after choosing it, with
  // no controller attached and the editor never filled.
  void everyCommandDoesSomething_data() {
    QTest::addColumn<QString>("item");
    QTest::newRow("F5 settings exchange") << "Zmianaparametrwpracy1";
    QTest::newRow("F6 autocalibration") << "Autokalibracja1";
    QTest::newRow("F7 oscilloscope") << "Tryboscyloskopu1";
    QTest::newRow("F8 rpm scaling") << "SkalowanieobrotwPB1";
    QTest::newRow("Ctrl+P report") << "Drukowanieparametrw1";
    QTest::newRow("F2 user data") << "puste31";
    QTest::newRow("Ctrl+S save") << "Zapiszdopliku1";
    QTest::newRow("Ctrl+O open") << "Odczytajzpliku1";
  }
  void everyCommandDoesSomething() {
    QFETCH(QString, item);
    ProgramFixture f;
    ScriptedFileDialogs files;
    files.printAnswer.reset();  // the print dialog is cancelled
    f.start();
    f.form().findChild<QAction*>(item)->trigger();
    auto& ui = f.form().ui();
    if (item == "Zmianaparametrwpracy1") {
      QCOMPARE(f.form().statusText(), QString("Podawanie parametrów"));
      QCOMPARE(f.link.written(), QByteArray("\xAA"));
    } else if (item == "Autokalibracja1") {
      QVERIFY(!ui.PanelKalib->isHidden());
      QCOMPARE(f.link.written(), QByteArray("\xAA"));
    } else if (item == "Tryboscyloskopu1") {
      QVERIFY(!ui.Panel1->isHidden());
      QCOMPARE(f.link.written(), QByteArray("\x02"));
    } else if (item == "SkalowanieobrotwPB1") {
      QCOMPARE(f.form().statusText(), QString("Skalowanie obrotów"));
      QCOMPARE(f.link.written(), QByteArray("\x02"));
    } else if (item == "Drukowanieparametrw1") {
      QCOMPARE(files.printOffers.size(), 1);
    } else if (item == "puste31") {
      QVERIFY(f.program->form3().isVisible());
      QVERIFY(!f.form().isEnabled());
    } else if (item == "Zapiszdopliku1") {
      QCOMPARE(f.dialogs.texts(),
               QStringList{"Przed zapisaniem do pliku odczytaj dane ze sterownika\r\nza pomocą "
                           "ręcznego podawania parametrów"});
    } else {
      QCOMPARE(files.openOffers.size(), 1);
    }
  }

  void menuStructure() {
    ProgramFixture f;
    f.start();
    QStringList titles;
    for (QAction* a : f.form().menuBar()->actions())
      titles << a->text();
    QCOMPARE(titles, (QStringList{"&Wyjście", "&Opcje", "&Parametry", "&Pomoc"}));
    auto& ui = f.form().ui();
    QCOMPARE(ui.Wybrportu1->title(), QString("Wybór portu"));
    QCOMPARE(ui.Wybierzj1->title(), QString("Wybierz język"));
    QVERIFY(ui.Polski1->isChecked());
    QVERIFY(!ui.Angielski1->isChecked());
    QVERIFY(!ui.Woski1->isChecked());
    // The service item is there but never visible or enabled.
    QVERIFY(!ui.Trybserwisowy1->isVisible());
    QVERIFY(!ui.Trybserwisowy1->isEnabled());
    QCOMPARE(ui.c1->actions().first(), ui.Trybserwisowy1);
  }

  void toolbarAndStatusBar() {
    ProgramFixture f;
    f.start();
    auto& ui = f.form().ui();
    const QList<QPair<QToolButton*, QStringList>> buttons{
        {ui.SpeedButton3, {"(F5)", "Ręczne wpisywanie ustawień"}},
        {ui.SpeedButton4, {"(F6)", "Autokalibracja"}},
        {ui.Wykresy, {"(F7)", "Oscyloskop"}},
        {ui.SpeedButton14, {"(F8)", "Oscyloskop na benzynie"}},
    };
    int previousRight = -1;
    for (const auto& [button, texts] : buttons) {
      QCOMPARE(button->text(), texts[0]);
      QCOMPARE(button->toolTip(), texts[1]);
      QVERIFY(button->autoRaise());
      QVERIFY(!button->icon().isNull());
      QVERIFY(button->x() > previousRight);
      previousRight = button->x() + button->width();
    }
    QCOMPARE(f.form().findChildren<QFrame*>(QRegularExpression("^ToolDivider")).size(), 3);
    auto* panel = f.form().findChild<QLabel*>("StatusPanel0");
    QVERIFY(panel);
    QCOMPARE(panel->width(), 210);
    QVERIFY(panel->font().bold());
    // The bold text with its frame is not cut at the bottom (an underscore would vanish).
    panel->setText("param_2.pdf");
    f.form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.form()));
    QVERIFY(panel->height() >= panel->sizeHint().height());
    QVERIFY(!ui.Image1->pixmap().isNull());
  }

  void portChoice() {
    ProgramFixture f;
    f.start();
    auto& ui = f.form().ui();
    ui.COM21->trigger();
    QCOMPARE(f.link.portName(), QString("COM2"));
    QVERIFY(f.link.isConnected());
    QVERIFY(ui.COM21->isChecked());
    QVERIFY(!ui.COM11->isChecked());
    ui.COM21->trigger();  // choosing the port in force changes nothing
    QVERIFY(ui.COM21->isChecked());
    QVERIFY(f.link.isConnected());

    // The new port cannot be opened: the message, a closed link, the marks on the old port.
    f.link.failingPorts.insert("COM1");
    ui.COM11->trigger();
    QCOMPARE(f.dialogs.texts(), QStringList{"Unable to open com port (win error code: 2)."});
    QVERIFY(!f.link.isConnected());
    QVERIFY(ui.COM21->isChecked());
    QVERIFY(!ui.COM11->isChecked());
    // The name follows the marks, so the next command reopens the port that worked.
    QCOMPARE(f.link.portName(), QString("COM2"));

    // With the link closed, choosing the port again opens it: the adapter is back.
    ui.COM21->trigger();
    QVERIFY(f.link.isConnected());
    QVERIFY(ui.COM21->isChecked());
    QCOMPARE(f.dialogs.boxes.size(), 1);

    // A closed link and a port that still fails: the marks move to the choice, as they do
    // without a link, and the failure is said once.
    f.link.close();
    ui.COM11->trigger();
    QCOMPARE(f.dialogs.boxes.size(), 2);
    QVERIFY(!f.link.isConnected());
    QVERIFY(ui.COM11->isChecked());
    QCOMPARE(f.link.portName(), QString("COM1"));
  }

  void aboutDisablesTheMainWindowWhileShown() {
    ProgramFixture f;
    f.start();
    f.form().show();
    f.form().ui().Oprogramie1->trigger();
    auto& about = f.program->aboutBox();
    QVERIFY(about.isVisible());
    QVERIFY(!f.form().isEnabled());
    QCOMPARE(about.windowTitle(), QString("O programie"));
    QCOMPARE(about.ui().Version->text(), QString("Wersja: 2.2        3.01.2002"));
    QVERIFY(!about.ui().ProgramIcon->pixmap().isNull());
    about.ui().OKButton->click();
    QVERIFY(!about.isVisible());
    QVERIFY(f.form().isEnabled());
    // Closed by its close box too.
    f.form().ui().Oprogramie1->trigger();
    about.close();
    QVERIFY(f.form().isEnabled());
  }

  void helpOpensThePageAtItsTopic() {
    ProgramFixture f;
    QFile page(f.installDir.path() + "/pomoc.html");
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.write("<html></html>");
    page.close();
    f.start();
    f.form().ui().Opis1->trigger();
    QCOMPARE(f.openedUrl.fragment(), QString("IDH_5310"));
    QCOMPARE(f.openedUrl.toLocalFile(), QFileInfo(page).absoluteFilePath());
    QVERIFY(f.dialogs.boxes.isEmpty());
  }

  void missingHelpSaysSo() {
    // The page is looked for in the installation directory and beside the program; the test
    // binaries have none beside them, so none is found.
    const QString appDir = QCoreApplication::applicationDirPath();
    QVERIFY(!QFile::exists(appDir + "/pomoc.html"));
    QVERIFY(!QFile::exists(appDir + "/../share/orvel/pomoc.html"));
    ProgramFixture f;
    f.start();
    f.form().ui().Opis1->trigger();
    QVERIFY(f.openedUrl.isEmpty());
    QCOMPARE(f.dialogs.boxes.size(), 1);
    QCOMPARE(f.dialogs.boxes.first().text,
             "Nie znaleziono pliku pomocy:\r\n" + f.installDir.path() + "/pomoc.html");
    QCOMPARE(f.dialogs.boxes.first().title, QString("Uwaga"));
  }

  // The interface language's page, in the browser or, without one, in the program's own window;
  // the Polish page stands in for a missing one.
  void helpPageByLanguage_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<bool>("browser");
    QTest::addColumn<QString>("shown");
    QTest::newRow("English, browser") << int(Language::English) << true << "help-en.html";
    QTest::newRow("Italian, no browser") << int(Language::Italian) << false << "help-it.html";
    QTest::newRow("English page missing") << int(Language::English) << false << "pomoc.html";
  }
  void helpPageByLanguage() {
    QFETCH(int, language);
    QFETCH(bool, browser);
    QFETCH(QString, shown);
    ProgramFixture f;
    const QStringList pages{"pomoc.html", "help-it.html", browser ? "help-en.html" : ""};
    for (const QString& name : pages) {
      QFile page(f.installDir.path() + "/" + name);
      if (!name.isEmpty() && page.open(QIODevice::WriteOnly))
        page.write("<title>" + name.toUtf8() + "</title><h1 id=\"IDH_5310\">x</h1>");
    }
    f.browser = browser;
    f.start();
    f.form().selectLanguage(Language(language));
    f.form().ui().Opis1->trigger();
    QVERIFY(f.dialogs.boxes.isEmpty());
    const QString path = QFileInfo(f.installDir.path() + "/" + shown).absoluteFilePath();
    HelpWindow* help = f.form().helpWindow();
    QCOMPARE(f.openedUrl.toLocalFile(), browser ? path : QString());
    QCOMPARE(help && help->isVisible(), !browser);
    if (help) QCOMPARE(help->browser().source().toLocalFile() + help->windowTitle(), path + shown);
  }

  // A box or a file dialog opens over a window that stays on top (the settings editor, the user
  // data window), not behind it where the program would look frozen.
  void boxesOpenAboveWindowsOnTop_data() {
    QTest::addColumn<QString>("open");  // shown besides the main window, which stays active
    QTest::addColumn<bool>("fileDialog");
    QTest::addColumn<QString>("parent");
    QTest::newRow("main window only") << "" << false << "TForm1";
    QTest::newRow("editor") << "TEdytuj_dane" << false << "TEdytuj_dane";
    QTest::newRow("user data") << "TForm3" << false << "TForm3";
    QTest::newRow("save dialog, editor") << "TEdytuj_dane" << true << "TEdytuj_dane";
  }
  void boxesOpenAboveWindowsOnTop() {
    QFETCH(QString, open);
    QFETCH(bool, fileDialog);
    QFETCH(QString, parent);
    ProgramFixture f;
    f.start();
    f.form().show();
    for (QWidget* w :
         {static_cast<QWidget*>(&f.program->editor()), static_cast<QWidget*>(&f.program->form3())})
      if (w->objectName() == open) w->show();
    f.form().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f.form()));
    QString seenParent;
    bool onTop = false;
    QTimer::singleShot(0, [&] {
      QWidget* box = QApplication::activeModalWidget();
      if (!box || !box->parentWidget()) return;
      seenParent = box->parentWidget()->objectName();
      onTop = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
      box->close();
    });
    if (fileDialog)
      WidgetFileDialogs().saveFileName(&f.form(), f.installDir.path(), "*.orv", "orv");
    else
      WidgetDialogs().message("text", "title", MessageIcon::Warning);
    QCOMPARE(seenParent, parent);
    QCOMPARE(onTop, parent != "TForm1");
  }

  // The texts of the program's own and Qt's dialogs follow the interface language, switched
  // with the menu: a catalogue replaced, English with none.
  void newTextsFollowTheLanguage_data() {
    QTest::addColumn<QList<int>>("languages");  // chosen in turn
    QTest::addColumn<QString>("texts");         // the hints by their first words
    const QString en =
        "Warning: Send/Discard/Go back | Changes not sent to the controller: | Engine speed "
        "unknown: | Before F8: let | F8 comes back | Step 5 of 17 V | lower/upper | Save As: "
        "Look in:/Cancel";
    QTest::newRow("Polish at start")
        << QList<int>{}
        << "Uwaga: Wyślij/Odrzuć/Wróć | Zmiany nie zostały wysłane do sterownika: | Obroty "
           "nieznane: naciśnij | Przed F8: silnik | F8 będzie znów | Krok 5 z 17 V | dolna/górna "
           "| Zachowaj jako: Szukaj w:/Anuluj";
    QTest::newRow("English") << QList<int>{int(Language::English)} << en;
    QTest::newRow("Italian")
        << QList<int>{int(Language::Italian)}
        << "Attenzione: Invia/Scarta/Torna | Modifiche non inviate alla centralina: | Giri "
           "sconosciuti: premere | Prima di F8: | F8 torna disponibile | Passo 5 di 17 V | "
           "inferiore/superiore | Salva come: Cerca in:/Annulla";
    QTest::newRow("Italian, then English")
        << QList<int>{int(Language::Italian), int(Language::English)} << en;
  }
  void newTextsFollowTheLanguage() {
    QFETCH(QList<int>, languages);
    ProgramFixture f;
    f.start();
    for (int language : languages)
      f.form().selectLanguage(Language(language));
    QFileDialog save(&f.form());
    save.setOption(QFileDialog::DontUseNativeDialog);
    save.setAcceptMode(QFileDialog::AcceptSave);
    auto* cancel = save.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel);
    const QString texts =
        QStringList{unsentQuestionTitle() + ": " + unsentQuestionButtons().join('/'),
                    unsentQuestionText("").section("\r\n", 0, 0),
                    speedUnknownHint().section(' ', 0, 2),
                    rpmScalingTip().section(' ', 0, 2),
                    rpmScalingDoneHint().section(' ', 0, 2),
                    wizardStepText(5) + ' ' + wizardUnits(5).edit2,
                    wizardUnits(10).edit2 + '/' + wizardUnits(10).edit3,
                    save.windowTitle() + ": " + save.findChild<QLabel*>("lookInLabel")->text() +
                        '/' + cancel->text().remove('&')}
            .join(" | ");
    QTEST(texts, "texts");
  }

  void statusBarDoubleClickRevealsTheServiceButtonOnlyWhenMaximised() {
    ProgramFixture f;
    f.start();
    auto& ui = f.form().ui();
    f.form().setWindowState(Qt::WindowNoState);
    f.form().StatusBar1DblClick();
    QVERIFY(ui.Button2->isHidden());
    QCOMPARE(ui.Button2->y(), ui.StatusBar1->y() + 5);
    f.form().setWindowState(Qt::WindowMaximized);
    f.form().StatusBar1DblClick();
    QVERIFY(!ui.Button2->isHidden());
    f.form().StatusBar1DblClick();
    QVERIFY(ui.Button2->isHidden());
  }

  void layoutInTheNormalStateFollowsThePanel() {
    ProgramFixture f;
    QStringList lines = ConfigFile::templateLines();
    lines[8] = "wsnormal";
    f.writeConfig(lines);
    f.start();
    TForm1& form = f.form();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto& ui = form.ui();
    QCOMPARE(form.frameGeometry().width(), ui.Panel1->width() + 20);
    QCOMPARE(form.frameGeometry().height(),
             ui.Panel1->height() + form.toolBarHeight() + form.statusBarHeight() + 80);
    // Placed by the program in the middle of the screen, frame included.
    const QPoint centre = form.screen()->availableGeometry().center();
    QVERIFY2(
        (form.frameGeometry().center() - centre).manhattanLength() <= 2,
        qPrintable(QString("%1,%2").arg(form.frameGeometry().x()).arg(form.frameGeometry().y())));
    // A resize snaps back; the overlaid elements are centred by the rules.
    form.resize(900, 700);
    QTest::qWait(20);
    QCOMPARE(form.frameGeometry().width(), ui.Panel1->width() + 20);
    const int cw = form.clientWidth();
    const int ch = form.clientHeight();
    const auto half = [](int v) { return int(roundHalfEven(v * 0.5)); };
    QCOMPARE(ui.Panel1->x(), half(cw) - half(ui.Panel1->width()) - 5);
    QCOMPARE(ui.Panel1->y(), int(roundHalfEven((ch - ui.Panel1->height()) * 0.5)));
    QCOMPARE(ui.Image1->x(), half(cw) - half(ui.Image1->width()));
    QCOMPARE(ui.Image1->y(),
             int(roundHalfEven((ch + form.statusBarHeight() - ui.Image1->height()) * 0.5)));
    QCOMPARE(ui.PanelKalib->x(), half(cw) - half(ui.PanelKalib->width()) - 5);
    // Toolbar on top, status bar at the bottom of the client area.
    QCOMPARE(ui.ToolBar1->y(), 0);
    QCOMPARE(ui.StatusBar1->y() + ui.StatusBar1->height(), ui.ClientArea->height());
  }

  void closingEndsTheProgramEvenWithOtherWindowsOpen() {
    ProgramFixture f;
    f.start();
    f.form().show();
    f.form().ui().Oprogramie1->trigger();
    bool closed = false;
    QObject::connect(&f.form(), &TForm1::closed, [&] { closed = true; });
    f.form().close();
    QVERIFY(closed);
    QVERIFY(!f.program->aboutBox().isVisible());
  }
};

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
