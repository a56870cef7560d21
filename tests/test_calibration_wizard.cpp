// The autocalibration wizard on the whole program with a scripted controller and virtual time,
// walked with the keyboard alone: full runs as a table (entries, template lines, editor fields,
// summary lines, bytes on the wire), prompts in both languages, refused entries, cancelling at
// every step, and the panel's layout.
#include "settings/TEdytuj_dane.h"
#include "support/CalibrationRig.h"
#include "ui_TEdytuj_dane.h"

#include <QtTest>

using namespace orvel;
using namespace orvel::test;

Q_DECLARE_METATYPE(orvel::Language)

using Entries = QMap<int, QStringList>;
using Lines = QMap<int, QString>;
Q_DECLARE_METATYPE(Entries)
Q_DECLARE_METATYPE(Lines)

namespace {

const QString kDots = QStringLiteral("...........");
const QString kInvalid = QStringLiteral("Nieprawidłowa wartość");
QString refused(const char* allowed) {
  return kInvalid + QStringLiteral("\r\nDozwolone: ") + QString::fromUtf8(allowed);
}
const QString kWave =
    QStringLiteral("Dane poza zakresem   TH, TL - 0...4000ms\r\nTH+TL max 4000ms");

}  // namespace

class TestCalibrationWizard : public QObject {
  Q_OBJECT

  std::unique_ptr<CalibrationRig> r;

  QStringList summaryTexts() {
    QStringList out;
    for (int k = 0; k < kSummaryLines; ++k)
      out << r->panel().summaryValue(SummaryLine(k))->text();
    return out;
  }
  // The step buttons that are shown, by step number.
  QList<int> shownSteps() {
    QList<int> out;
    for (int k = 1; k <= kWizardSteps; ++k) {
      if (!r->panel().stepButton(k)->isHidden()) out << k;
    }
    return out;
  }

 private Q_SLOTS:
  void init() { r = std::make_unique<CalibrationRig>(); }
  void cleanup() { r.reset(); }

  void startShowsOnlyTheFirstStep() {
    r->walkTo(1);
    Ui::PanelKalib& ui = r->ui();
    QVERIFY(!r->panel().panel()->isHidden());
    QCOMPARE(r->panel().panel()->height(), 168);
    QCOMPARE(shownSteps(), QList<int>{1});
    QVERIFY(!ui.RadioGroup3->isHidden());
    QVERIFY(!ui.editrpm->isHidden() && !ui.Label15->isHidden());
    for (QWidget* w :
         {static_cast<QWidget*>(ui.Edit2), static_cast<QWidget*>(ui.Edit3),
          static_cast<QWidget*>(ui.RadioGroup1), static_cast<QWidget*>(ui.RadioGroup2)})
      QVERIFY2(w->isHidden(), qPrintable(w->objectName()));
    QCOMPARE(ui.editrpm->text(), QString("2000"));
    QCOMPARE(r->form().focusWidget(), ui.editrpm);
    QCOMPARE(ui.editrpm->selectedText(), QString("2000"));
    QCOMPARE(r->panel().defaultButton(), ui.medrpm);
    QCOMPARE(ui.KalibAnuluj->text(), QString("&Anuluj"));
    QCOMPARE(r->form().statusText(), QString("Automatyczna kalibracja"));
    QCOMPARE(r->commandStates(), QString("0000 0000"));
    QCOMPARE(r->commands(), QStringList{"AA"});
    QCOMPARE(r->f.timers.totalPaused(), Millis(100));
    for (const QString& t : summaryTexts())
      QCOMPARE(t, kDots);
    // Every step's controls at the one place the start gives them.
    for (int k = 1; k <= kWizardSteps; ++k)
      QCOMPARE(r->panel().stepButton(k)->y(), 50);
    for (QWidget* w : {static_cast<QWidget*>(ui.editrpm), static_cast<QWidget*>(ui.Edit2),
                       static_cast<QWidget*>(ui.Edit3), static_cast<QWidget*>(ui.KalibAnuluj)})
      QCOMPARE(w->y(), 50);
    QCOMPARE(ui.RadioGroup1->y(), 37);
    QCOMPARE(ui.RadioGroup2->y(), 37);
    // Centred in the work area by the design height, between the top and the status bar.
    const int left = int(std::nearbyint(r->form().clientWidth() * 0.5)) - 224 - 5;
    const int top =
        int(std::nearbyint((r->form().clientHeight() + r->form().statusBarHeight() - 357) * 0.5));
    QCOMPARE(r->panel().panel()->pos(), QPoint(left, top));
  }

  // Complete runs: every step confirmed with Enter, on the values typed or proposed.
  void fullRun_data() {
    QTest::addColumn<int>("probe");
    QTest::addColumn<int>("direction");
    QTest::addColumn<int>("cutoff");
    QTest::addColumn<QList<int>>("idleFrame");  // TPS, period
    QTest::addColumn<int>("highTps");
    QTest::addColumn<Entries>("entries");
    QTest::addColumn<QStringList>("wire");
    QTest::addColumn<Lines>("lines");
    QTest::addColumn<QStringList>("editor");  // EditProgGB, EditSilnikopt, Editsilnikmax, ..min
    QTest::addColumn<QStringList>("summary");

    QTest::newRow("0..1 V, rising, cutoff on, defaults")
        << 0 << 0 << 0 << QList<int>{10, 1100} << 60 << Entries{}
        << QStringList{"AA",       "1E 01",          "1F 4C 04",       "0F 1A",
                       "07 10",    "14 B0 00",       "08 B8 01",       "13 9B",
                       "12 F5 0F", "06 7A 00 F4 00", "1A 7A 00 F4 00", "19 05",
                       "0B 10",    "17 EB",          "18 4B 02",       "11",
                       "0A"}
        << Lines{{3, "30"},  {5, "61"},    {7, "16"},    {9, "440"}, {14, "26"},  {16, "245"},
                 {18, "15"}, {23, "176"},  {26, "1100"}, {31, "0"},  {33, "51"},  {35, "10"},
                 {37, "60"}, {39, "1400"}, {41, "155"},  {43, "16"}, {45, "235"}, {47, "587"},
                 {49, "30"}, {51, "61"},   {53, "1"}}
        << QStringList{"2000", "100", "10", "240"}
        << QStringList{"2000", "0.00", "0.50",     "1.00",      "3.00",      "0.5", "0.80", "5000",
                       kDots,  "100",  "10 / 240", "500 / 500", "500 / 500", "1",   "20",   "1500"};

    QTest::newRow("5..0 V (+), falling, cutoff off, falling TPS")
        << 3 << 1 << 1 << QList<int>{200, 1250} << 20 << Entries{{1, {"2500"}}}
        << QStringList{"AA",       "1E 00",          "1F E2 04",
                       "0F 80",    "07 BC",          "14 C8 00",
                       "08 90 01", "16 64 00",       "13 9B",
                       "12 F5 0F", "06 7A 00 F4 00", "1A 7A 00 F4 00",
                       "19 05",    "0B 07",          "11",
                       "0A"}
        << Lines{{7, "188"}, {9, "400"},  {14, "128"}, {23, "200"}, {26, "1250"}, {31, "255"},
                 {33, "0"},  {35, "200"}, {37, "20"},  {43, "7"},   {45, "210"},  {47, "800"}}
        << QStringList{"2500", "100", "10", "240"}
        << QStringList{"2500", "5.00", "10.00",    "0.00",      "1.00",      "2.5", "9.40", "5000",
                       "500",  "100",  "10 / 240", "500 / 500", "500 / 500", "1",   kDots,  kDots};

    QTest::newRow("0,8..1,6 V, rising, cutoff on, typed values")
        << 5 << 0 << 0 << QList<int>{10, 1100} << 60
        << Entries{{4, {"1.1"}},        {5, {"2.55"}},        {6, {"6000"}},       {9, {"40"}},
                   {10, {"15", "210"}}, {11, {"300", "700"}}, {12, {"4000", "0"}}, {13, {"50"}},
                   {15, {"255"}},       {16, {"3000"}}}
        << QStringList{"AA",       "1E 02",          "1F 4C 04",       "0F 38",
                       "07 33",    "14 93 00",       "08 B8 01",       "13 D7",
                       "12 F0 2D", "06 49 00 F4 00", "1A D0 03 D0 03", "19 FA",
                       "0B 10",    "17 00",          "18 25 01",       "11",
                       "0A"}
        << Lines{{3, "18"},   {5, "61"},   {31, "41"},  {33, "82"}, {41, "215"}, {45, "0"},
                 {47, "293"}, {49, "244"}, {51, "244"}, {53, "50"}, {16, "240"}, {18, "45"}}
        << QStringList{"2000", "40", "15", "210"}
        << QStringList{"2000", "0.80", "0.50",     "1.60",      "3.00",     "1.1", "2.55", "6000",
                       kDots,  "40",   "15 / 210", "300 / 700", "4000 / 0", "50",  "255",  "3000"};
  }
  void fullRun() {
    QFETCH(int, probe);
    QFETCH(int, direction);
    QFETCH(int, cutoff);
    QFETCH(QList<int>, idleFrame);
    QFETCH(int, highTps);
    QFETCH(Entries, entries);
    QFETCH(QStringList, wire);
    QFETCH(Lines, lines);
    QFETCH(QStringList, editor);
    QFETCH(QStringList, summary);

    r->controller->frame = {23, idleFrame[0], 140, 185, idleFrame[1] & 0xFF, idleFrame[1] >> 8,
                            200};
    WalkPath path;
    path.probe = probe;
    path.direction = direction;
    path.cutoff = cutoff;
    path.highFrame = {23, highTps, 140, 115, 0x25, 0x01, 180};
    r->walkTo(kWizardDone, path, entries);

    QCOMPARE(r->wizard().step(), kWizardDone);
    QCOMPARE(shownSteps(), QList<int>{});
    QCOMPARE(r->ui().KalibAnuluj->text(), QString("&Zakończ"));
    QCOMPARE(r->panel().defaultButton(), r->ui().KalibAnuluj);
    QCOMPARE(r->ui().LabelKalib->text(), QString("Kalibracja zakończona"));
    r->press();  // Enter finishes
    QVERIFY(r->panel().panel()->isHidden());

    QCOMPARE(r->commands(), wire);
    QCOMPARE(r->requests(), 22);  // ten samples and one unused request per run
    QVERIFY(r->f.dialogs.boxes.isEmpty());
    const SettingsTemplate& t = r->form().controller().szablon;
    for (auto it = lines.cbegin(); it != lines.cend(); ++it)
      QCOMPARE(QString("%1: %2").arg(it.key()).arg(t.line(it.key())),
               QString("%1: %2").arg(it.key()).arg(it.value()));
    Ui::TEdytuj_dane& e = r->f.program->editor().ui();
    QCOMPARE((QStringList{e.EditProgGB->text(), e.EditSilnikopt->text(), e.Editsilnikmax->text(),
                          e.EditSilnikmin->text()}),
             editor);
    QCOMPARE(summaryTexts(), summary);
    QCOMPARE(r->form().controller().idlePeriodReference, idleFrame[1]);
    QCOMPARE(r->form().controller().tpsLow, idleFrame[0]);
    QCOMPARE(r->form().controller().tpsHigh, highTps);
    QCOMPARE(r->commandStates(), QString("1111 1111"));
    QCOMPARE(r->form().statusText(), QString());
    QCOMPARE(r->panel().panel()->height(), 357);
  }

  // The prompt of every step as the fitter meets it, and that each fits its label.
  void prompts_data() {
    QTest::addColumn<Language>("language");
    QTest::addColumn<int>("cutoff");
    QTest::addColumn<QStringList>("expected");
    const QString step3 = QStringLiteral("Ustaw obroty na około 3000.") + QString(31, ' ') +
                          QStringLiteral("Odczytany zostanie górny poziom TPS.");
    const QString savePl = QStringLiteral(
        "Aby zapisać parametry do sterownika naciśnij OK. Aby "
        "zostawić wartości poprzednie naciśnij Anuluj.");
    QTest::newRow("Polish, cutoff on")
        << Language::Polish << 0
        << QStringList{
               "Podaj ilość obrotów przy której powinno nastąpić przełączenie z benzyny na gaz "
               "(1000..9000):",
               "Ustaw wolne obroty. Zostanie odczytana dolna wartość TPS oraz zostaną "
               "skalibrowane obroty silnika.",
               step3,
               "Podaj próg przełączania sondy Lambda: (domyślna wartość = 50% zakresu)",
               "Podaj próg przełączania TPS:",
               "Podaj maksymalne obroty dla gazu (domyślnie 5000)",
               "Obroty rosnące / malejące",
               "Podaj deltę obrotów",
               "Podaj pozycję startową silnika krokowego",
               "Podaj zakres sterowania silnika krokowego",
               "Podaj parametry fali lambda1:",
               "Podaj parametry sondy lambda2:",
               "Podaj opóźnienie po włączeniu:",
               "Funkcja hamowania silnika (CUTOFF):",
               "Podaj poziom silnika krokowego (cutoff):",
               "Podaj próg obrotów przy hamowaniu silnika (cutoff).",
               savePl,
               "Kalibracja zakończona"};
    QTest::newRow("English shows the Italian wording; cutoff off")
        << Language::English << 1
        << QStringList{"Scrivi i giri della commutazione dalla benzina a gaz (1000..9000):",
                       "Scrivi iniziale giri",
                       "Scrivi giri a circa 3000",
                       "Soglia commutazione sonda lambda (registrata = 50% limite)",
                       "Soglia commutazione tps",
                       "Fuori giri (registrati 5000)",
                       "Giri crescendi / diminuendi",
                       "Delta giri",
                       "Scrivi reset attuatore",
                       "I limiti lavoro attuatore",
                       "Parametri sonda lambda 1:",
                       "Parametri sonda lambda 2:",
                       "Ritardo dopo accendere:",
                       "Funzione frenata motore (CUTOFF):",
                       "Per salvare i parametri premere ok. Per lasciare i valori precedenti "
                       "premere Cancella",
                       "Calibrazione terminata"};
  }
  void prompts() {
    QFETCH(Language, language);
    QFETCH(int, cutoff);
    QFETCH(QStringList, expected);
    r->form().selectLanguage(language);
    WalkPath path;
    path.direction = 1;
    path.cutoff = cutoff;
    QLabel* prompt = r->ui().LabelKalib;
    QStringList seen;
    for (int step = 1; step <= kWizardDone; ++step) {
      if (cutoff == 1 && (step == 15 || step == 16)) continue;
      r.reset(new CalibrationRig);
      r->form().selectLanguage(language);
      r->walkTo(step, path);
      prompt = r->ui().LabelKalib;
      seen << prompt->text();
      QVERIFY2(prompt->heightForWidth(prompt->width()) <= prompt->height(),
               qPrintable(QString("step %1 needs %2 px")
                              .arg(step)
                              .arg(prompt->heightForWidth(prompt->width()))));
    }
    QCOMPARE(seen, expected);
    QCOMPARE(r->ui().KalibAnuluj->text(),
             language == Language::Polish ? QString("&Zakończ") : QString("&Esci"));
  }

  // A refused entry: the step stays, nothing is sent, the message and the fields as described;
  // an accepted one moves on.
  void entries_data() {
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("edit2");  // editrpm at step 1
    QTest::addColumn<QString>("edit3");
    QTest::addColumn<QString>("message");  // empty: none
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("summary");  // what the step's summary line shows after, if any
    const auto row = [](const char* name, int step, const QString& e2, const QString& e3,
                        const QString& message, bool accepted, const QString& summary = {}) {
      QTest::newRow(name) << step << e2 << e3 << message << accepted << summary;
    };
    row("1: letters", 1, "abc", {}, refused("1000...9000 obr/min"), false);
    row("1: empty", 1, "", {}, refused("1000...9000 obr/min"), false);
    row("1: blank inside", 1, "20 0", {}, refused("1000...9000 obr/min"), false);
    row("1: 999 ignored", 1, "999", {}, {}, false);
    row("1: 9001 ignored", 1, "9001", {}, {}, false);
    row("1: signed, out of range", 1, "+200", {}, {}, false);
    row("1: 1000", 1, "1000", {}, {}, true);
    row("1: 9000", 1, "9000", {}, {}, true);
    row("4: whole volts", 4, "2", {}, {}, true, "2");
    row("4: letters", 4, "a.5", {}, refused("0.0...5.0 V"), false);
    row("4: comma", 4, "2,5", {}, {}, true, "2,5");
    row("4: hundredths not read", 4, "2.55", {}, {}, true, "2.55");
    row("4: above 5 V wraps", 4, "5.1", {}, refused("0.0...5.0 V"), false);
    row("4: 5.0", 4, "5.0", {}, {}, true, "5.0");
    row("5: 25 V", 5, "25", {}, refused("0.00...9.99 V"), false);
    row("5: two whole digits", 5, "10.0", {}, refused("0.00...9.99 V"), false);
    row("5: bad hundredths", 5, "2.5x", {}, refused("0.00...9.99 V"), false);
    row("5: 2.5", 5, "2.5", {}, {}, true, "2.5");
    row("5: 3", 5, "3", {}, {}, true, "3");
    row("5: 3,0", 5, "3,0", {}, {}, true, "3,0");
    row("5: 3.00", 5, "3.00", {}, {}, true, "3.00");
    row("6: zero rpm", 6, "0", {}, refused("14...9999 obr/min"), false, "0");
    row("6: letters shown first", 6, "abc", {}, refused("14...9999 obr/min"), false, "abc");
    row("6: negative", 6, "-100", {}, refused("14...9999 obr/min"), false, "-100");
    row("6: period too long", 6, "5", {}, refused("14...9999 obr/min"), false, "5");
    row("6: 4000", 6, "4000", {}, {}, true, "4000");
    row("8: delta equal to changeover", 8, "2000", {}, refused("0...1986 obr/min"), false, "2000");
    row("8: negative delta", 8, "-500", {}, refused("0...1986 obr/min"), false, "-500");
    row("8: period difference too long", 8, "1999", {}, refused("0...1986 obr/min"), false, "1999");
    row("8: zero", 8, "0", {}, {}, true, "0");
    row("9: above 255", 9, "256", {}, refused("0...255"), false, "256");
    row("9: negative", 9, "-1", {}, refused("0...255"), false, "-1");
    row("9: 255", 9, "255", {}, {}, true, "255");
    row("10: letters clear both", 10, "10", "x", refused("0...255"), false, "10 / x");
    row("10: above 255", 10, "300", "240", refused("0...255"), false, "300 / 240");
    row("11: 4000 and 0", 11, "4000", "0", {}, true, "4000 / 0");
    row("11: sum over 4000", 11, "2000", "2001", kWave, false);
    row("11: TH over 4000", 11, "4001", "0", kWave, false);
    row("11: negative TL", 11, "500", "-100", kWave, false);
    row("11: letters", 11, "x", "500", refused("0...4000 ms"), false);
    row("12: sum over 4000", 12, "3000", "1500", kWave, false);
    row("13: byte would wrap", 13, "52", {}, refused("0...51 s"), false);
    row("13: 51", 13, "51", {}, {}, true, "51");
    row("15: above 255", 15, "256", {}, refused("0...255"), false);
    row("16: zero rpm", 16, "0", {}, refused("14...9999 obr/min"), false);
    row("16: period too long", 16, "5", {}, refused("14...9999 obr/min"), false);
    row("16: 9000", 16, "9000", {}, {}, true, "9000");
  }
  void entries() {
    QFETCH(int, step);
    QFETCH(QString, edit2);
    QFETCH(QString, edit3);
    QFETCH(QString, message);
    QFETCH(bool, accepted);
    QFETCH(QString, summary);
    WalkPath path;
    path.direction = 1;  // so that step 8 has an entry
    r->walkTo(step, path);
    QCOMPARE(r->wizard().step(), step);
    QLineEdit* first = step == 1 ? r->ui().editrpm : r->ui().Edit2;
    QCOMPARE(r->form().focusWidget(), first);
    // Typed where the field takes it; longer texts as a program would put them there.
    first->setText(edit2);
    if (!edit3.isNull()) r->ui().Edit3->setText(edit3);
    const QStringList before = r->commands();
    r->press();

    const int expectedStep = !accepted ? step : step == 16 ? 17 : step + 1;
    QCOMPARE(r->wizard().step(), expectedStep);
    if (message.isEmpty()) {
      QVERIFY(r->f.dialogs.boxes.isEmpty());
    } else {
      QCOMPARE(r->f.dialogs.texts(), QStringList{message});
      QCOMPARE(r->f.dialogs.boxes.first().title,
               message == kWave ? QString("Błąd") : QString("Uwaga"));
    }
    if (!accepted) {
      QCOMPARE(r->commands(), before);
      const bool cleared = message.startsWith(kInvalid);
      QCOMPARE(first->text(), cleared ? QString() : edit2);
      if (!edit3.isNull()) QCOMPARE(r->ui().Edit3->text(), cleared ? QString() : edit3);
    } else {
      QVERIFY(r->commands().size() > before.size());
    }
    if (!summary.isNull()) {
      static const QMap<int, SummaryLine> lineOf{
          {4, SummaryLine::LambdaThreshold}, {5, SummaryLine::TpsThreshold},
          {6, SummaryLine::MaxRpm},          {8, SummaryLine::Delta},
          {9, SummaryLine::StepperStart},    {10, SummaryLine::StepperRange},
          {11, SummaryLine::Lambda1Wave},    {13, SummaryLine::StartDelay},
          {16, SummaryLine::CutoffRpm}};
      QCOMPARE(r->panel().summaryValue(lineOf.value(step))->text(), summary);
    }
  }

  // Step 8 judges the difference the controller keeps, whatever the period below the changeover.
  void fallingDelta_data() {
    QTest::addColumn<QString>("delta");
    QTest::addColumn<QString>("sent");  // empty: refused
    // Idle period 60000, changeover 9000: 5333 at the changeover.
    QTest::newRow("period 68571 below, difference 63238 fits") << "8300"
                                                               << "16 06 F7";
    QTest::newRow("difference 74667 does not") << "8400" << QString();
  }
  void fallingDelta() {
    QFETCH(QString, delta);
    QFETCH(QString, sent);
    r->controller->frame = {23, 10, 140, 185, 0x60, 0xEA, 200};
    WalkPath path;
    path.direction = 1;
    r->walkTo(8, path, {{1, {"9000"}}});
    r->ui().Edit2->setText(delta);
    const QStringList before = r->commands();
    r->press();
    if (sent.isEmpty()) {
      QCOMPARE(r->commands(), before);
      QCOMPARE(r->f.dialogs.texts(), QStringList{refused("0...8322 obr/min")});
    } else {
      QCOMPARE(r->commands().mid(before.size()), QStringList{sent});
      QCOMPARE(r->wizard().step(), 9);
    }
  }

  void italianMessages() {
    r->form().selectLanguage(Language::Italian);
    r->walkTo(11);
    r->ui().Edit2->setText("4001");
    r->press();
    r->ui().Edit2->setText("?");
    r->press();
    QCOMPARE(r->f.dialogs.texts(),
             (QStringList{"Dati fuori limiti   TH, TL - 0...4000ms\r\nTH+TL max 4000ms",
                          "Dati fuori limiti\r\nValori ammessi: 0...4000 ms"}));
    QCOMPARE(r->f.dialogs.boxes.at(0).title, QString("Errore"));
    QCOMPARE(r->f.dialogs.boxes.at(1).title, QString("Errore"));
  }

  // Cancel at every step: the panel goes, the communication ends, every command comes back;
  // F6 again starts at step 1 with its defaults, the summary values kept.
  void cancelAndStartAgain_data() {
    QTest::addColumn<int>("step");
    for (int step = 1; step <= kWizardDone; ++step)
      QTest::addRow("step %d", step) << step;
  }
  void cancelAndStartAgain() {
    QFETCH(int, step);
    r->walkTo(step);
    const QStringList summaryBefore = summaryTexts();
    r->ui().KalibAnuluj->click();
    QVERIFY(r->panel().panel()->isHidden());
    QVERIFY(!r->wizard().isOpen());
    QCOMPARE(r->commands().last(), QString("0A"));
    QCOMPARE(r->commandStates(), QString("1111 1111"));
    QCOMPARE(r->form().statusText(), QString());
    QCOMPARE(r->panel().panel()->height(), 357);
    QVERIFY(!r->link().idleSampling && !r->link().highRpmSampling);
    QVERIFY(!r->link().Timerznak.isRunning() && !r->link().Timer1.isRunning());
    const int requests = r->requests();
    r->advanceMs(3000);
    QCOMPARE(r->requests(), requests);
    QVERIFY(r->f.dialogs.boxes.isEmpty());

    r->ui().editrpm->setText("3500");
    r->f6();
    QCOMPARE(r->wizard().step(), 1);
    QCOMPARE(shownSteps(), QList<int>{1});
    QCOMPARE(r->ui().editrpm->text(), QString("2000"));
    QVERIFY(!r->ui().RadioGroup3->isHidden());
    QVERIFY(r->ui().Edit2->isHidden() && r->ui().Edit3->isHidden());
    QVERIFY(r->ui().RadioGroup1->isHidden() && r->ui().RadioGroup2->isHidden());
    QCOMPARE(r->panel().panel()->height(), 168);
    QCOMPARE(r->ui().KalibAnuluj->text(), QString("&Anuluj"));
    QCOMPARE(summaryTexts(), summaryBefore);
  }

  // The keyboard alone: Enter on a focused "Anuluj" cancels; Enter elsewhere confirms the step;
  // a modified Enter does nothing.
  void enterGoesToTheFocusedButtonOrTheStep() {
    r->walkTo(4);
    QCOMPARE(r->form().focusWidget(), r->ui().Edit2);
    const QStringList before = r->commands();
    QTest::keyClick(r->ui().Edit2, Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(r->commands(), before);
    QTest::keyClick(r->ui().Edit2, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(r->wizard().step(), 5);
    r->ui().KalibAnuluj->setFocus();
    r->press();
    QVERIFY(!r->wizard().isOpen());
  }

  // After the one box for a lost link, each press of a step's button is answered again, and a
  // step that could not send stays where it is.
  void aStepOnALostLinkAnswersAndStays_data() {
    QTest::addColumn<int>("step");
    QTest::newRow("a step that sends its value") << 1;
    QTest::newRow("a sampling step") << 2;
  }
  void aStepOnALostLinkAnswersAndStays() {
    QFETCH(int, step);
    r->walkTo(step);
    r->f.link.loseDevice(5);
    r->f.link.failingPorts << "COM1"
                           << "COM2";
    r->press();
    r->advanceMs(3000);
    r->press();
    r->advanceMs(3000);
    const QStringList boxes = r->f.dialogs.texts();
    QCOMPARE(boxes.size(), 3);
    QCOMPARE(boxes.filter("Unable to open com port").size(), 2);
    QCOMPARE(r->wizard().step(), step);
  }

  // Every caption of the panel fits its place in Polish (as designed and as the Polish table
  // writes it) and in Italian, with the widest value each line can show.
  void textsFit() {
    r->walkTo(2);
    Ui::PanelKalib& u = r->ui();
    const QList<QPair<QWidget*, QStringList>> texts{
        {u.Label37, {"Próg przełączania B/G [rpm]:", "Soglia Commutazione B/G"}},
        {u.Label39, {"Dolna wartość LAMBDA [V]:", "Min Valore Lambda [V]"}},
        {u.Label41, {"Dolna wartość TPS [V]:", "Min Valore Tps [V]"}},
        {u.Label45, {"Górna wartość LAMBDA [V]:", "Mass Valore Lambda [V]"}},
        {u.Label47, {"Górna wartość TPS [V]:", "Mass Valore Tps [V]"}},
        {u.Label35, {"Próg przełączania LAMBDA:", "Soglia Commutazione Lambda"}},
        {u.Label51,
         {"Próg przełączenia TPS [V]:", "Próg przełączania TPS [V]",
          "Soglia Commutazione Tps [V]"}},
        {u.Label52, {"Maksymalne obroty dla gazu:", "Mass Giri Per Gas"}},
        {u.Label53, {"Delta przy obrotach malejących:", "Delta Ai Giri Scendenti"}},
        {u.Label54, {"Pozycja startowa silnika krok. :", "Reset Attuatore"}},
        {u.Label55, {"Zakres silnika krokowego:", "Limiti Lavoro Attuatore"}},
        {u.Label64, {"TH/TL sondy Lambda1:", "TH/TL Sonda Lambda 1"}},
        {u.Label66, {"TH/TL sondy Lambda2:", "TH/TL Sonda Lambda 2"}},
        {u.Label76, {"Obroty hamowania silnika:", "Giri Della Frenata Motore"}},
        {u.Label78, {"Silnik krok. (hamowanie):", "Attuatore (Frenata)"}},
        {u.Label86, {"Opóźnienie początkowe [s]:", "Ritardo Iniziale [S]"}},
        {u.Label15, {"obr/min"}},
        {u.RadioGroup1Item0, {"rosnące", "crescendi"}},
        {u.RadioGroup1Item1, {"malejące", "diminuendi"}},
        {u.RadioGroup2Item0, {"włączona (on)", "włączona [on]", "accendi [on]"}},
        {u.RadioGroup2Item1, {"wyłączona (off)", "wyłączona [off]", "non acceso [off]"}},
        {u.KalibAnuluj, {"&Anuluj", "&Cancella", "&Zakończ", "&Esci"}},
        {u.medrpm, {"OK"}},
        {u.RadioGroup3, {"Rodzaj sondy Lambda:", "Typ Sondy Lambda", "Tipo Sonda Lambda"}},
    };
    QStringList tooWide;
    const auto check = [&tooWide](QWidget* w, const QString& text, int extra) {
      QString shown = text;
      shown.remove(QLatin1Char('&'));
      const int needed = w->fontMetrics().horizontalAdvance(shown) + extra;
      if (needed > w->width())
        tooWide << QString("%1 '%2' %3>%4").arg(w->objectName(), text).arg(needed).arg(w->width());
    };
    for (const auto& [w, candidates] : texts) {
      // Radio buttons need room for their indicator, buttons and group titles for their frame.
      const int extra = qobject_cast<QRadioButton*>(w) ? 22 : qobject_cast<QLabel*>(w) ? 0 : 12;
      for (const QString& text : candidates)
        check(w, text, extra);
    }
    // The widest value of each line: four typed characters, two of them where a line shows two
    // entries, or a TPS voltage.
    for (int k = 0; k < kSummaryLines; ++k) {
      const auto line = SummaryLine(k);
      const bool two = line == SummaryLine::StepperRange || line == SummaryLine::Lambda1Wave ||
                       line == SummaryLine::Lambda2Wave;
      for (const QString& text : {kDots, two ? QString("4000 / 4000") : QString("12.75")})
        check(r->panel().summaryValue(line), text, 0);
    }
    for (int k = 0; k < kProbeTypes; ++k)
      check(r->probeItem(k), r->probeItem(k)->text(), 22);
    QVERIFY2(tooWide.isEmpty(), qPrintable(tooWide.join("; ")));
  }
};

QTEST_MAIN(TestCalibrationWizard)
#include "test_calibration_wizard.moc"
