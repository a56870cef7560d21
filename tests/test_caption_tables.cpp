// The interface languages: the three caption tables as data (their shape, every row naming one
// existing control), what each language shows and keeps, the stored language at start, and
// captions that fit their controls in every language.
#include "app/CaptionTables.h"
#include "app/TAboutBox.h"
#include "calibration/CalibrationPanel.h"
#include "core/ConfigFile.h"
#include "monitor/OscilloscopePanel.h"
#include "records/TForm2.h"
#include "records/TForm3.h"
#include "settings/TEdytuj_dane.h"
#include "support/ProgramFixture.h"
#include "support/ScriptedFileDialogs.h"
#include "ui_PanelKalib.h"
#include "ui_TForm1.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

using namespace orvel;
using namespace orvel::test;

Q_DECLARE_METATYPE(orvel::Language)

namespace {

QList<QWidget*> windowsOf(Program& p) {
  return {&p.form1(), &p.aboutBox(), &p.form3(), &p.form2(), &p.editor()};
}

QObject* control(Program& p, const CaptionRow& row) {
  const QStringList path = QString::fromLatin1(row.scope).split('/');
  QObject* root = nullptr;
  for (QWidget* w : windowsOf(p))
    if (w->objectName() == path.first()) root = w;
  for (int i = 1; root && i < path.size(); ++i)
    root = root->findChild<QObject*>(path[i]);
  if (!root || !*row.control) return root;
  return root->findChild<QObject*>(QString::fromLatin1(row.control));
}

QString captionOf(QObject* o) {
  if (auto* m = qobject_cast<QMenu*>(o)) return m->title();
  if (auto* a = qobject_cast<QAction*>(o)) return a->text();
  if (auto* l = qobject_cast<QLabel*>(o)) return l->text();
  if (auto* b = qobject_cast<QAbstractButton*>(o)) return b->text();
  if (auto* g = qobject_cast<QGroupBox*>(o)) return g->title();
  if (auto* w = qobject_cast<QWidget*>(o)) return w->windowTitle();
  return QString();
}

bool isCalibration(const CaptionRow& row) {
  return QString::fromLatin1(row.scope) == QLatin1String("TForm1/PanelKalib");
}

}  // namespace

class CaptionTablesTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void tablesHaveTheirShape() {
    const QList<CaptionRow> pl = Polski_napisy();
    const QList<CaptionRow> en = Angielski_napisy();
    const QList<CaptionRow> it = Wloski_napisy();
    // Italian: one row more, first, for the calibration panel's cancel button.
    QCOMPARE(it.size(), pl.size() + 1);
    QCOMPARE(QString(it.first().control), QString("KalibAnuluj"));
    QCOMPARE(QString::fromUtf8(it.first().text), QString("&Cancella"));
    for (int i = 0; i < pl.size(); ++i) {
      QCOMPARE(QString(pl[i].scope), QString(it[i + 1].scope));
      QCOMPARE(QString(pl[i].control), QString(it[i + 1].control));
    }
    // English: the same rows up to the editor's, none for the calibration panel.
    QVERIFY(std::none_of(en.begin(), en.end(), isCalibration));
    const int uncalibrated = static_cast<int>(
        std::count_if(pl.begin(), pl.end(), [](auto& r) { return !isCalibration(r); }));
    QCOMPARE(en.size(), uncalibrated);
    for (int i = 0; i < en.size(); ++i)
      QCOMPARE(QString(en[i].control), QString(pl[i].control));
  }

  void everyRowNamesOneControlAndSetsIt_data() {
    QTest::addColumn<Language>("language");
    QTest::newRow("Polish") << Language::Polish;
    QTest::newRow("English") << Language::English;
    QTest::newRow("Italian") << Language::Italian;
  }
  void everyRowNamesOneControlAndSetsIt() {
    QFETCH(Language, language);
    ProgramFixture f;
    f.start();
    QList<CaptionRow> rows = captionTable(language) + additionalCaptions(language);
    QCOMPARE(applyCaptions(rows, windowsOf(*f.program)), QStringList());
    for (const CaptionRow& row : rows) {
      QObject* o = control(*f.program, row);
      QVERIFY2(o, row.control);
      QCOMPARE(captionOf(o), QString::fromUtf8(row.text));
    }
    // A row naming no control is reported, not skipped.
    const QList<CaptionRow> wrong{{"TForm1", "NoSuchControl", "x"}, {"TForm9", "", "x"}};
    QCOMPARE(applyCaptions(wrong, windowsOf(*f.program)).size(), 2);
  }

  void menuSwitchesWhatEachLanguageShows() {
    ProgramFixture f;
    f.start();
    auto& ui = f.form().ui();
    ui.Woski1->trigger();
    QVERIFY(ui.Woski1->isChecked() && !ui.Polski1->isChecked());
    QCOMPARE(ui.d1->title(), QString("&Opzioni"));
    QCOMPARE(f.program->editor().windowTitle(), QString("scrittura manuale"));
    auto* cancel = f.form().findChild<QAbstractButton*>("KalibAnuluj");
    auto* changeover = f.form().findChild<QLabel*>("Label37");
    QVERIFY(cancel && changeover);
    QCOMPARE(cancel->text(), QString("&Cancella"));
    QCOMPARE(changeover->text(), QString("Soglia Commutazione B/G"));
    // English leaves the calibration panel as the last language left it.
    ui.Angielski1->trigger();
    QCOMPARE(ui.d1->title(), QString("&Options"));
    QCOMPARE(ui.Zamknijprogram1->text(), QString("Exit"));
    QCOMPARE(cancel->text(), QString("&Cancella"));
    QCOMPARE(changeover->text(), QString("Soglia Commutazione B/G"));
    // Polish from the menu: the table's texts, which differ from the design's in places.
    ui.Polski1->trigger();
    QCOMPARE(ui.Zamknijprogram1->text(), QString("Wyjście z programu"));
    QCOMPARE(changeover->text(), QString("Próg przełączania B/G [rpm]"));
    QCOMPARE(cancel->text(), QString("&Cancella"));  // Polish has no row for it
  }

  void storedLanguageAtStart_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("exit");
    QTest::newRow("0") << "0"
                       << "&Opcje"
                       << "Zamknij program   Alt+F4";
    QTest::newRow("1") << "1"
                       << "&Options"
                       << "Exit";
    QTest::newRow("2") << "2"
                       << "&Opzioni"
                       << "Esci dal programma";
    QTest::newRow("3") << "3"
                       << "&Opcje"
                       << "Zamknij program   Alt+F4";
    QTest::newRow("empty") << ""
                           << "&Opcje"
                           << "Zamknij program   Alt+F4";
    QTest::newRow("'1 '") << "1 "
                          << "&Opcje"
                          << "Zamknij program   Alt+F4";
  }
  void storedLanguageAtStart() {
    QFETCH(QString, stored);
    QFETCH(QString, options);
    QFETCH(QString, exit);
    ProgramFixture f;
    QStringList lines = ConfigFile::templateLines();
    lines[6] = stored;
    f.writeConfig(lines);
    f.start();
    f.timers.advanceMs(600);
    QCOMPARE(f.form().ui().d1->title(), options);
    QCOMPARE(f.form().ui().Zamknijprogram1->text(), exit);
  }

  // In English the pause button reads "Pause": it must still pause, and resume.
  void pauseWorksInEveryLanguage_data() {
    QTest::addColumn<Language>("language");
    QTest::newRow("Polish") << Language::Polish;
    QTest::newRow("English") << Language::English;
    QTest::newRow("Italian") << Language::Italian;
  }
  void pauseWorksInEveryLanguage() {
    QFETCH(Language, language);
    ProgramFixture f;
    f.start();
    f.form().ui().Wykresy->click();
    f.form().selectLanguage(language);
    auto* scope = f.form().findChild<OscilloscopePanel*>();
    auto* pause = scope->panel()->findChild<QAbstractButton*>("BtnPauza");
    pause->click();
    QVERIFY(f.control().sweepPaused);
    pause->click();
    QVERIFY(!f.control().sweepPaused);
  }

  // Prompts, status texts and messages: Polish when "Polski" is checked, Italian otherwise,
  // whatever window or mode is open when the language changes.
  void messagesFollowTheLanguageInEveryMode_data() { everyRowNamesOneControlAndSetsIt_data(); }
  void messagesFollowTheLanguageInEveryMode() {
    QFETCH(Language, language);
    const bool polish = language == Language::Polish;
    ProgramFixture f;
    ScriptedFileDialogs files;
    f.start();
    auto& ui = f.form().ui();

    ui.SpeedButton4->click();  // the wizard, at step 1
    f.form().selectLanguage(language);
    auto* panel = f.form().findChild<CalibrationPanel*>();
    panel->ui().editrpm->setText("abc");
    panel->ui().medrpm->click();
    QVERIFY(f.dialogs.boxes.last().text.startsWith(polish ? QString("Nieprawidłowa wartość")
                                                          : QString("Dati fuori limiti")));
    QCOMPARE(f.dialogs.boxes.last().title, polish ? QString("Uwaga") : QString("Errore"));
    panel->ui().KalibAnuluj->click();

    ui.Wykresy->click();  // oscilloscope mode
    f.form().selectLanguage(language);
    auto* scope = f.form().findChild<OscilloscopePanel*>();
    scope->panel()->findChild<QAbstractButton*>("BtnPauza")->click();
    QCOMPARE(f.form().statusText(),
             polish ? QString("Przebiegi zatrzymane") : QString("Pausa osciloscopo"));
    scope->KoniecClick();

    f.program->editor().show();  // the records, with the editor never filled
    f.form().selectLanguage(language);
    ui.Zapiszdopliku1->trigger();
    QCOMPARE(f.dialogs.boxes.last().text.startsWith("Przed zapisaniem"), polish);
    QCOMPARE(f.dialogs.boxes.last().title, polish ? QString("Uwaga") : QString("!!!"));
  }

  // Every caption the tables set fits its control: nothing is cut in any language.
  void captionsFitTheirControls_data() { everyRowNamesOneControlAndSetsIt_data(); }
  void captionsFitTheirControls() {
    QFETCH(Language, language);
    ProgramFixture f;
    f.start();
    // The calibration panel shows the Italian captions in English too.
    if (language == Language::English) f.form().selectLanguage(Language::Italian);
    f.form().selectLanguage(language);
    QStringList cut;
    for (const CaptionRow& row : captionTable(language) + additionalCaptions(language)) {
      auto* w = qobject_cast<QWidget*>(control(*f.program, row));
      if (!w || !*row.control || qobject_cast<QMenu*>(w)) continue;
      // The width the text itself takes (the mnemonic's "&" is not drawn), plus what the
      // control puts around it.
      const QString text = QString::fromUtf8(row.text).remove(QRegularExpression("&(?!&)"));
      const int advance = w->fontMetrics().horizontalAdvance(text);
      int needed = w->sizeHint().width();
      if (auto* label = qobject_cast<QLabel*>(w)) {
        needed = label->wordWrap() && label->heightForWidth(label->width()) <= label->height()
                     ? 0
                     : advance + 2 * label->margin() + 2 * label->frameWidth();
      } else if (qobject_cast<QGroupBox*>(w)) {
        needed = advance + 16;
      } else if (qobject_cast<QPushButton*>(w)) {
        needed = advance + 8;
      }
      if (needed > w->width()) {
        cut << QStringLiteral("%1 %2 \"%3\": %4 > %5")
                   .arg(row.scope, row.control, QString::fromUtf8(row.text))
                   .arg(needed)
                   .arg(w->width());
      }
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join('\n')));
  }
};

QTEST_MAIN(CaptionTablesTest)
#include "test_caption_tables.moc"
