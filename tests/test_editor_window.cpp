// The settings editor in the whole program on a fake link: read-outs, sends, marks, check boxes
// and the end of the exchange.
#include <QtTest>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>

#include "settings/SettingsDecoder.h"
#include "settings/ShapePictogram.h"
#include "settings/TEdytuj_dane.h"
#include "support/ProgramFixture.h"
#include "support/SettingsBlocks.h"

using namespace orvel;
using orvel::test::ProgramFixture;

using orvel::test::setWord;
using orvel::test::typicalBlock;

class TestEditorWindow : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void init();
  void cleanup();

  void windowAsDesigned_data();
  void windowAsDesigned();
  void firstReadOutFillsTheEditor();
  void readOutsSendFlagsOncePerChangedGroup();
  void uncalibratedControllerKeepsEditorClosed();
  void okAndEnterSendTheField_data();
  void okAndEnterSendTheField();
  void unsentMarkFollowsTheField();
  void refusalsShowTheirBoxAndSendNothing();
  void radioChoiceSendsFlags();
  void cutoffCheckBox();
  void boschCheckBox();
  void maxSpeedCheckBox();
  void lambdaSendRedrawsPictogram();
  void longReadOutValuesAreShownWhole();
  void unsentEditsOnClosing_data();
  void unsentEditsOnClosing();
  void keysOnTheUnsentQuestionSendNothing_data();
  void keysOnTheUnsentQuestionSendNothing();
  void closingEndsTheExchange_data();
  void closingEndsTheExchange();
  void portFailingInASend();
  void portFailingInAReadOut();

 private:
  TEdytuj_dane& editor() { return f->program->editor(); }
  template <typename T = QWidget>
  T* child(const QString& name) {
    T* w = editor().findChild<T*>(name);
    if (!w) qFatal("no control %s", qPrintable(name));
    return w;
  }
  QLineEdit* field(const QString& name) { return child<QLineEdit>(name); }
  QToolButton* ok(const QString& name) { return child<QToolButton>(name); }
  // What went to the controller since the last mark.
  QString sent() const { return toHexText(f->link.written().mid(mark_)); }
  void mark() { mark_ = static_cast<int>(f->link.written().size()); }
  // Every write so far succeeded, so the log holds them all.
  int writesSoFar() const { return static_cast<int>(f->link.writeLog().size()); }
  void type(const QString& name, const QString& text) {
    field(name)->selectAll();
    QTest::keyClicks(field(name), text);
  }
  // On the left edge, where check boxes and radio buttons have their indicator.
  void click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
  }

  // F5, the controller's answer to AAh and the read-out request 1.1 s later.
  void startExchange() {
    f->control().startSettingsExchange();
    f->link.inject({0x01});
    f->timers.advanceMs(1100);
    QVERIFY(f->link.written().endsWith('\x09'));
    mark();
  }
  // The block, and the same block again for the read that confirms it; what goes to the
  // controller is counted from that second request.
  void readOut(const QByteArray& block) {
    f->link.inject(block);
    f->timers.advance(LinkControl::kBlockRereadDelay);
    QVERIFY(f->link.written().endsWith('\x09'));
    mark();
    f->link.inject(block);
  }
  // A further read-out while the editor is open.
  void readOutAgain(const QByteArray& block) {
    mark();
    f->control().Timer6.start();  // as inside an exchange
    f->control().settingsReadOutRequest();
    f->answerReadOut(block);
  }
  void openEditor(const QByteArray& block = typicalBlock()) {
    startExchange();
    readOut(block);
    QVERIFY(editor().isVisible());
    mark();
  }

  std::unique_ptr<ProgramFixture> f;
  int mark_ = 0;
};

void TestEditorWindow::init() {
  mark_ = 0;
  f = std::make_unique<ProgramFixture>();
  f->start();
}

void TestEditorWindow::cleanup() {
  f.reset();
}

void TestEditorWindow::windowAsDesigned_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<int>("maxLength");
  QTest::addColumn<QString>("okName");
  const QList<std::tuple<const char*, int, const char*>> fields = {
      {"EditProgTPS", 4, "SendProgTPS"},
      {"EditProgLambda", 4, "SendProgLambda"},
      {"EditProgGB", 4, "SendProgGB"},
      {"Edit5", 2, "SpeedButton8"},
      {"Editobrotymax", 4, "SpeedButton6"},
      {"Edit4", 2, "SpeedButton10"},
      {"Edit3", 4, "SpeedButton9"},
      {"Edit7", 3, "SpeedButton12"},
      {"Edit8", 2, "SendProgGazu"},
      {"EditThLambda", 4, "SendOkresLambda"},
      {"EditOkresLambda", 4, "SendOkresLambda"},
      {"EditThLambda2", 4, "SendOkresLambda2"},
      {"EditOkresLambda2", 4, "SendOkresLambda2"},
      {"Editsilnikmax", 3, "SpeedButton2"},
      {"EditSilnikmin", 3, "SpeedButton2"},
      {"EditSilnikopt", 3, "SpeedButton4"},
      {"Edit1", 3, "SpeedButton3"},
      {"Edit2", 4, "Sendcutoffobr"},
  };
  for (const auto& [name, length, okName] : fields)
    QTest::newRow(name) << name << length << okName;
}

void TestEditorWindow::windowAsDesigned() {
  QFETCH(QString, name);
  QFETCH(int, maxLength);
  QFETCH(QString, okName);
  QCOMPARE(editor().size(), QSize(605, 427));
  QVERIFY(editor().windowFlags() & Qt::WindowStaysOnTopHint);
  QCOMPARE(editor().windowModality(), Qt::NonModal);
  QCOMPARE(editor().windowTitle(), QStringLiteral("Ręczne wpisywanie ustawień"));
  QVERIFY(!editor().isVisible());

  QCOMPARE(field(name)->maxLength(), maxLength);
  QVERIFY(field(name)->text().isEmpty());
  QCOMPARE(ok(okName)->text(), QStringLiteral("OK"));
  QVERIFY(!TEdytuj_dane::isUnsent(ok(okName)));

  QCOMPARE(field("Edit6")->text(), QStringLiteral("5"));
  for (const char* hidden : {"RadioGroup4", "Edit6", "Label3", "Editdelay"})
    QVERIFY2(child(hidden)->isHidden(), hidden);
  QCOMPARE(child<QGroupBox>("RadioGroup3")->title(), QStringLiteral("Tryb pracy sterownika"));
  QCOMPARE(child<QRadioButton>("RadioGroup3Item1")->text(), QStringLiteral("praca ekonomiczna"));
  QCOMPARE(child<QLabel>("Label4")->text(), QStringLiteral("Próg wyzwalania TPS [0..10] V: "));
  QCOMPARE(child<QLabel>("Image1")->size(), QSize(47, 21));
  QCOMPARE(child<QLabel>("Image1")->toolTip(), QStringLiteral("Kształt sondy lambda"));
  QCOMPARE(ok("SpeedButton1")->text(), QStringLiteral("&Zapisz"));
  for (FlagRadio radio : kFlagRadios)
    QCOMPARE(editor().selectedItem(radio), -1);
}

void TestEditorWindow::firstReadOutFillsTheEditor() {
  startExchange();
  readOut(typicalBlock());
  // Every radio group goes from no item to one: four times the flags byte.
  QCOMPARE(sent(), QStringLiteral("0Bh 51h 0Bh 51h 0Bh 51h 0Bh 51h"));
  QVERIFY(editor().isVisible());

  const QMap<QString, QString> texts = {
      {"EditProgTPS", "1.00"},
      {"EditProgLambda", "0.50"},
      {"EditProgGB", "800"},
      {"Edit5", "2"},
      {"Editobrotymax", "5000"},
      {"Edit4", "5"},
      {"Edit3", "200"},
      {"Edit7", "10"},
      {"Edit8", "24"},
      {"EditThLambda", "500"},
      {"EditOkresLambda", "500"},
      {"Editsilnikmax", "210"},
      {"EditSilnikmin", "15"},
      {"EditSilnikopt", "40"},
      {"Edit1", "210"},
      {"Edit2", "1100"},
      {"Edit6", "5"},
  };
  for (auto it = texts.cbegin(); it != texts.cend(); ++it)
    QCOMPARE(field(it.key())->text(), it.value());
  QCOMPARE(editor().selectedItem(FlagRadio::Tps), 1);
  QCOMPARE(editor().selectedItem(FlagRadio::SpeedSignal), 0);
  QCOMPARE(editor().selectedItem(FlagRadio::GasSensor), 0);
  QCOMPARE(editor().selectedItem(FlagRadio::OperatingMode), 0);
  QVERIFY(child<QCheckBox>("CheckBox1")->isChecked());
  QVERIFY(field("Edit1")->isEnabled());
  QVERIFY(ok("Sendcutoffobr")->isEnabled());
  QVERIFY(!child<QCheckBox>("CheckBox2")->isChecked());
  QVERIFY(!child<QCheckBox>("CheckBox3")->isChecked());

  ControllerState& state = f->form().controller();
  QCOMPARE(state.installationFlags, std::uint8_t(0x51));
  QCOMPARE(state.idlePeriodReference, 1100);
  QCOMPARE(state.szablon.line(33), QStringLiteral("82"));
}

void TestEditorWindow::readOutsSendFlagsOncePerChangedGroup() {
  openEditor(typicalBlock(0x51));
  readOutAgain(typicalBlock(0x51));
  QCOMPARE(sent(), QStringLiteral("09h 09h"));
  // Speed signal falls (bit 2) and the mode turns economic (bit 6): two groups change.
  readOutAgain(typicalBlock(0x15));
  QCOMPARE(sent(), QStringLiteral("09h 09h 0Bh 15h 0Bh 15h"));
  // Only the cutoff bit: the check box follows without a word to the controller.
  readOutAgain(typicalBlock(0x05));
  QCOMPARE(sent(), QStringLiteral("09h 09h"));
  QVERIFY(!child<QCheckBox>("CheckBox1")->isChecked());
  QVERIFY(!field("Edit2")->isEnabled());
  QVERIFY(!child("Label9")->isEnabled());
}

void TestEditorWindow::uncalibratedControllerKeepsEditorClosed() {
  startExchange();
  QByteArray block = typicalBlock();
  setWord(block, 32, 0x0101);
  readOut(block);
  QCOMPARE(f->dialogs.boxes.size(), 1);
  QCOMPARE(f->dialogs.boxes.at(0).title, QStringLiteral("Uwaga"));
  QVERIFY(!editor().isVisible());
  QCOMPARE(sent(), QString());
  QVERIFY(field("EditProgTPS")->text().isEmpty());
}

void TestEditorWindow::okAndEnterSendTheField_data() {
  QTest::addColumn<QStringList>("fieldsAndTexts");
  QTest::addColumn<QString>("okName");
  QTest::addColumn<QString>("bytes");
  QTest::newRow("TPS") << QStringList{"EditProgTPS", "2.5"} << "SendProgTPS"
                       << "07h 32h";
  QTest::newRow("lambda") << QStringList{"EditProgLambda", "0.50"} << "SendProgLambda"
                          << "0Fh 19h";
  QTest::newRow("changeover") << QStringList{"EditProgGB", "800"} << "SendProgGB"
                              << "08h 4Ch 04h";
  QTest::newRow("start delay") << QStringList{"Edit5", "2"} << "SpeedButton8"
                               << "19h 0Ah";
  QTest::newRow("max speed") << QStringList{"Editobrotymax", "5000"} << "SpeedButton6"
                             << "14h B0h 00h";
  QTest::newRow("acceleration") << QStringList{"Edit4", "2"} << "SpeedButton10"
                                << "1Bh 02h";
  QTest::newRow("delta") << QStringList{"Edit3", "200"} << "SpeedButton9"
                         << "16h 6Fh 01h";
  QTest::newRow("idle speed") << QStringList{"Edit7", "24"} << "SpeedButton12"
                              << "1Ch 5Ah 0Ah";
  QTest::newRow("second speed") << QStringList{"Edit8", "1"} << "SendProgGazu"
                                << "20h 70h F8h";
  QTest::newRow("lambda 1") << QStringList{"EditThLambda", "500", "EditOkresLambda", "500"}
                            << "SendOkresLambda"
                            << "06h 7Ah 00h F4h 00h";
  QTest::newRow("lambda 2") << QStringList{"EditThLambda2", "250", "EditOkresLambda2", "750"}
                            << "SendOkresLambda2"
                            << "1Ah 3Dh 00h F4h 00h";
  QTest::newRow("stepper range") << QStringList{"Editsilnikmax", "210", "EditSilnikmin", "15"}
                                 << "SpeedButton2"
                                 << "12h 2Dh F0h";
  QTest::newRow("start position") << QStringList{"EditSilnikopt", "0"} << "SpeedButton4"
                                  << "13h FFh";
  QTest::newRow("cutoff position") << QStringList{"Edit1", "210"} << "SpeedButton3"
                                   << "17h 2Dh";
  QTest::newRow("cutoff speed") << QStringList{"Edit2", "1100"} << "Sendcutoffobr"
                                << "18h 20h 03h";
}

void TestEditorWindow::okAndEnterSendTheField() {
  QFETCH(QStringList, fieldsAndTexts);
  QFETCH(QString, okName);
  QFETCH(QString, bytes);
  openEditor();
  for (int i = 0; i < fieldsAndTexts.size(); i += 2) {
    type(fieldsAndTexts.at(i), fieldsAndTexts.at(i + 1) + QLatin1Char('9'));  // a visible change
    type(fieldsAndTexts.at(i), fieldsAndTexts.at(i + 1));
  }
  // Enter in any field of the OK does what the OK does.
  for (int i = 0; i < fieldsAndTexts.size(); i += 2) {
    mark();
    QTest::keyClick(field(fieldsAndTexts.at(i)), Qt::Key_Return);
    QCOMPARE(sent(), bytes);
    QVERIFY(!TEdytuj_dane::isUnsent(ok(okName)));
    type(fieldsAndTexts.at(i), fieldsAndTexts.at(i + 1));  // select + retype: no change
  }
  mark();
  click(ok(okName));
  QCOMPARE(sent(), bytes);
  QVERIFY(f->dialogs.boxes.isEmpty());
}

void TestEditorWindow::unsentMarkFollowsTheField() {
  openEditor();
  // What the read-out wrote is what the controller holds: nothing is marked.
  QVERIFY(!TEdytuj_dane::isUnsent(ok("SendProgTPS")));
  type("EditProgTPS", "1.5");
  QVERIFY(TEdytuj_dane::isUnsent(ok("SendProgTPS")));
  // Back to the held text, the mark goes without a send.
  type("EditProgTPS", "1.00");
  QVERIFY(!TEdytuj_dane::isUnsent(ok("SendProgTPS")));
  type("EditProgTPS", "1.5");
  click(ok("SendProgTPS"));
  QVERIFY(!TEdytuj_dane::isUnsent(ok("SendProgTPS")));
  // A read-out writes what the controller holds, whatever was sent before.
  readOutAgain(typicalBlock());
  QCOMPARE(field("EditProgTPS")->text(), QStringLiteral("1.00"));
  QVERIFY(!TEdytuj_dane::isUnsent(ok("SendProgTPS")));
  // A field of a pair marks the pair's OK; the delta's OK does not follow the changeover field.
  QTest::keyClick(field("EditOkresLambda"), Qt::Key_Backspace);
  QTest::keyClick(field("EditProgGB"), Qt::Key_Backspace);
  QVERIFY(TEdytuj_dane::isUnsent(ok("SendOkresLambda")));
  QVERIFY(!TEdytuj_dane::isUnsent(ok("SpeedButton9")));
  // Enter that sends nothing leaves the mark: nothing reached the controller.
  type("Edit4", "60");
  QTest::keyClick(field("Edit4"), Qt::Key_Return);
  QVERIFY(TEdytuj_dane::isUnsent(ok("SpeedButton10")));
}

void TestEditorWindow::refusalsShowTheirBoxAndSendNothing() {
  openEditor();
  type("Edit7", "x");
  click(ok("SpeedButton12"));
  QCOMPARE(f->dialogs.texts(), (QStringList{"Błędna dana", "Prędkość w granicach 1...24"}));
  for (const auto& box : f->dialogs.boxes)
    QCOMPARE(box.title, QStringLiteral("Błąd"));
  QVERIFY(field("Edit7")->text().isEmpty());

  f->dialogs.boxes.clear();
  type("EditSilnikopt", "256");
  QTest::keyClick(field("EditSilnikopt"), Qt::Key_Return);
  QCOMPARE(f->dialogs.texts(), QStringList{"Nieprawidłowa wartość\r\nDozwolone: 0...255"});
  QVERIFY(field("EditSilnikopt")->text().isEmpty());
  QVERIFY(TEdytuj_dane::isUnsent(ok("SpeedButton4")));

  // A text that is no number: the interface's language and the values allowed, never the
  // platform's English conversion error.
  f->dialogs.boxes.clear();
  f->form().selectLanguage(Language::Italian);
  type("EditProgGB", "8OO");
  click(ok("SendProgGB"));
  QCOMPARE(f->dialogs.boxes.size(), 1);
  QCOMPARE(f->dialogs.boxes.at(0).text,
           QStringLiteral("Dati fuori limiti\r\nValori ammessi: 14...9999 rpm"));
  QCOMPARE(f->dialogs.boxes.at(0).title, QStringLiteral("Errore"));
  QVERIFY(field("EditProgGB")->text().isEmpty());
  QCOMPARE(sent(), QString());
}

void TestEditorWindow::radioChoiceSendsFlags() {
  openEditor(typicalBlock(0x51));
  click(child<QRadioButton>("RadioGroup3Item1"));
  QCOMPARE(sent(), QStringLiteral("0Bh 11h"));
  click(child<QRadioButton>("RadioGroup3Item1"));
  QCOMPARE(sent(), QStringLiteral("0Bh 11h"));
  click(child<QRadioButton>("RadioGroup2Item0"));
  QCOMPARE(sent(), QStringLiteral("0Bh 11h 0Bh 10h"));
  QCOMPARE(f->form().controller().installationFlags, std::uint8_t(0x10));
}

void TestEditorWindow::cutoffCheckBox() {
  openEditor(typicalBlock(0x51));
  click(ok("SpeedButton3"));
  click(ok("Sendcutoffobr"));
  mark();
  auto* box = child<QCheckBox>("CheckBox1");
  click(box);
  QCOMPARE(sent(), QStringLiteral("0Bh 41h"));
  QVERIFY(!field("Edit1")->isEnabled());
  QVERIFY(!ok("Sendcutoffobr")->isEnabled());
  QVERIFY(!TEdytuj_dane::isUnsent(ok("SpeedButton3")));
  QTest::keyClick(box, Qt::Key_Space);
  QCOMPARE(sent(), QStringLiteral("0Bh 41h 0Bh 51h"));
  QVERIFY(field("Edit1")->isEnabled());
  QVERIFY(child("Label6")->isEnabled());
  // The controller reported the position and speed the fields show: nothing to send.
  QVERIFY(!TEdytuj_dane::isUnsent(ok("SpeedButton3")));
  QVERIFY(!TEdytuj_dane::isUnsent(ok("Sendcutoffobr")));
}

void TestEditorWindow::boschCheckBox() {
  openEditor();
  auto* box = child<QCheckBox>("CheckBox2");
  click(box);
  QCOMPARE(field("EditThLambda")->text(), QStringLiteral("0"));
  QCOMPARE(field("EditOkresLambda")->text(), QStringLiteral("0"));
  QCOMPARE(sent(), QStringLiteral("06h 00h 00h 00h 00h"));
  mark();
  click(box);
  QCOMPARE(field("EditThLambda")->text(), QStringLiteral("500"));
  QCOMPARE(field("EditOkresLambda")->text(), QStringLiteral("500"));
  QCOMPARE(sent(), QStringLiteral("06h 7Ah 00h F4h 00h"));
  QVERIFY(!TEdytuj_dane::isUnsent(ok("SendOkresLambda")));
}

void TestEditorWindow::maxSpeedCheckBox() {
  openEditor();
  auto* box = child<QCheckBox>("CheckBox3");
  click(box);
  QCOMPARE(sent(), QStringLiteral("14h 01h 00h"));
  QCOMPARE(field("Editobrotymax")->text(), QStringLiteral("OFF"));
  for (const char* name : {"Label11", "Editobrotymax", "SpeedButton6"})
    QVERIFY2(!child(name)->isEnabled(), name);

  mark();
  click(box);
  QCOMPARE(field("Editobrotymax")->text(), QStringLiteral("5000"));
  QCOMPARE(sent(), QStringLiteral("14h B0h 00h"));
  for (const char* name : {"Label11", "Editobrotymax", "SpeedButton6"})
    QVERIFY2(child(name)->isEnabled(), name);

  // A value other than "OFF" when the limit comes back on goes out twice.
  click(box);
  editor().setFieldText(field("Editobrotymax"), QStringLiteral("4000"));
  mark();
  click(box);
  QCOMPARE(sent(), QStringLiteral("14h DCh 00h 14h DCh 00h"));

  // A controller with the limit off: the read-out ticks the box and sends no 14h.
  readOutAgain(typicalBlock(0x51, 1));
  QCOMPARE(sent(), QStringLiteral("09h 09h"));
  QVERIFY(box->isChecked());
  QVERIFY(!field("Editobrotymax")->isEnabled());
  QCOMPARE(field("Editobrotymax")->text(), QStringLiteral("OFF"));
}

void TestEditorWindow::lambdaSendRedrawsPictogram() {
  openEditor();
  type("EditThLambda2", "300");
  type("EditOkresLambda2", "700");
  click(ok("SendOkresLambda2"));
  QImage expected = blankShapePictogram();
  drawShapePictogram(expected, 300, 700);
  QCOMPARE(editor().shapePictogram(), expected);
  QCOMPARE(child<QLabel>("Image1")->pixmap().toImage(), expected);
  // A refused shape leaves the picture as it was.
  type("EditThLambda", "4001");
  click(ok("SendOkresLambda"));
  QCOMPARE(editor().shapePictogram(), expected);
}

void TestEditorWindow::longReadOutValuesAreShownWhole() {
  QByteArray erased(kSettingsBlockLength, '\xFF');
  erased[kSettingsBlockLength - 1] = '\x01';
  openEditor(erased);
  QLineEdit* high = field("EditThLambda");
  QCOMPARE(high->text(), QStringLiteral("268600"));
  QCOMPARE(field("Edit4")->text(), QStringLiteral("255"));
  // The fitter can shorten it but not make it longer, down to the design's four characters.
  high->setFocus();
  high->end(false);
  QTest::keyClick(high, Qt::Key_Backspace);
  QTest::keyClick(high, Qt::Key_1);
  QCOMPARE(high->text(), QStringLiteral("26860"));
  type("EditThLambda", "123456");
  QCOMPARE(high->text(), QStringLiteral("1234"));
  QCOMPARE(high->maxLength(), 4);
}

void TestEditorWindow::unsentEditsOnClosing_data() {
  QTest::addColumn<QStringList>("edits");  // field, text, field, text...
  QTest::addColumn<int>("answer");         // -1: no question expected
  QTest::addColumn<QString>("bytes");      // on the wire from "Zapisz" on
  QTest::addColumn<bool>("closes");
  QTest::addColumn<QString>("refused");  // the field a refused send cleared
  const int send = static_cast<int>(Answer::First);
  const int discard = static_cast<int>(Answer::Second);
  const int stay = static_cast<int>(Answer::Cancel);
  QTest::newRow("nothing edited") << QStringList{} << -1 << "0Ah" << true << "";
  QTest::newRow("edited back to the held text")
      << QStringList{"EditProgGB", "900", "EditProgGB", "800"} << -1 << "0Ah" << true << "";
  QTest::newRow("send one") << QStringList{"EditProgGB", "900"} << send << "08h D2h 03h 0Ah" << true
                            << "";
  // In the window's order, each with the bytes of its OK.
  QTest::newRow("send two") << QStringList{"Edit3", "600", "EditProgTPS", "3"} << send
                            << "07h 3Ch 16h E4h 0Ch 0Ah" << true << "";
  QTest::newRow("send a pair") << QStringList{"EditOkresLambda", "700"} << send
                               << "06h 7Ah 00h 25h 01h 0Ah" << true << "";
  QTest::newRow("discard") << QStringList{"Edit3", "600", "Edit2", "1500"} << discard << "0Ah"
                           << true << "";
  QTest::newRow("stay") << QStringList{"Edit3", "600"} << stay << "" << false << "";
  QTest::newRow("send refused: stays")
      << QStringList{"Edit5", "99", "EditProgTPS", "3"} << send << "07h 3Ch" << false << "Edit5";
}

void TestEditorWindow::unsentEditsOnClosing() {
  QFETCH(QStringList, edits);
  QFETCH(int, answer);
  QFETCH(QString, bytes);
  QFETCH(bool, closes);
  QFETCH(QString, refused);
  openEditor();
  QHash<QString, QString> held;
  QHash<QString, QString> typed;
  for (int i = 0; i < edits.size(); i += 2) {
    if (!held.contains(edits.at(i))) held.insert(edits.at(i), field(edits.at(i))->text());
    type(edits.at(i), edits.at(i + 1));
    typed.insert(edits.at(i), edits.at(i + 1));
  }
  if (answer >= 0) f->dialogs.answers = {static_cast<Answer>(answer)};
  mark();
  click(ok("SpeedButton1"));

  QCOMPARE(f->dialogs.questions.size(), answer >= 0 ? 1 : 0);
  QCOMPARE(sent(), bytes);
  QCOMPARE(editor().isVisible(), !closes);
  // Discarded edits give way to what the controller holds; the others stay as typed.
  for (const QString& name : typed.keys()) {
    const QString expected = answer == static_cast<int>(Answer::Second) ? held.value(name)
                             : name == refused                          ? QString()
                                                                        : typed.value(name);
    QCOMPARE(field(name)->text(), expected);
  }
  if (!closes) {
    // Still marked, so the next closing asks again.
    mark();
    click(ok("SpeedButton1"));
    QCOMPARE(f->dialogs.questions.size(), 2);
    QVERIFY(!editor().isVisible());
    QCOMPARE(sent(), QStringLiteral("0Ah"));
  }
}

// Enter and Escape on the question go back to the editor: a key pressed without reading sends
// nothing and drops nothing.
void TestEditorWindow::keysOnTheUnsentQuestionSendNothing_data() {
  QTest::addColumn<int>("key");
  QTest::newRow("Enter") << int(Qt::Key_Return);
  QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
  QTest::newRow("Escape") << int(Qt::Key_Escape);
}

void TestEditorWindow::keysOnTheUnsentQuestionSendNothing() {
  QFETCH(int, key);
  openEditor();
  type("Edit5", "19");
  Dialogs::install(nullptr);  // the question on a real box, the key from the keyboard
  QTimer::singleShot(0,
                     [key] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key(key)); });
  click(ok("SpeedButton1"));
  Dialogs::install(&f->dialogs);
  QCOMPARE(sent(), QString());
  QVERIFY(editor().isVisible());
  QCOMPARE(field("Edit5")->text(), QStringLiteral("19"));
}

void TestEditorWindow::closingEndsTheExchange_data() {
  QTest::addColumn<bool>("byButton");
  QTest::newRow("&Zapisz") << true;
  QTest::newRow("close box") << false;
}

void TestEditorWindow::closingEndsTheExchange() {
  QFETCH(bool, byButton);
  openEditor();
  auto* f5 = f->form().findChild<QToolButton*>(QStringLiteral("SpeedButton3"));
  QVERIFY(f5 && !f5->isEnabled());
  if (byButton)
    click(ok("SpeedButton1"));
  else
    editor().close();
  QVERIFY(!editor().isVisible());
  QCOMPARE(sent(), QStringLiteral("0Ah"));
  QVERIFY(f5->isEnabled());
  QVERIFY(f->form().statusText().isEmpty());
  // The fields keep the settings for the file and the report.
  QCOMPARE(field("EditProgGB")->text(), QStringLiteral("800"));
}

void TestEditorWindow::portFailingInASend() {
  openEditor();
  type("EditProgGB", "900");
  // The command byte goes out, its first argument fails.
  f->link.failWritesFrom = writesSoFar() + 1;
  click(ok("SendProgGB"));
  QCOMPARE(f->dialogs.boxes.size(), 1);
  QVERIFY(f->dialogs.boxes.at(0).text.startsWith(QStringLiteral("WriteFile function failed")));
  QCOMPARE(f->dialogs.boxes.at(0).title, appTitle());
  QCOMPARE(sent(), QStringLiteral("08h"));
  QVERIFY(TEdytuj_dane::isUnsent(ok("SendProgGB")));
  QCOMPARE(field("EditProgGB")->text(), QStringLiteral("900"));
  // The window goes on: the next attempt is a new question and gets its answer again, and the
  // field stays unsent.
  QTest::keyClick(field("EditProgGB"), Qt::Key_Return);
  QCOMPARE(f->dialogs.boxes.size(), 2);
  QVERIFY(TEdytuj_dane::isUnsent(ok("SendProgGB")));
  // Closing with two edits unsent, sending them: one answer, and the window stays.
  type("EditProgTPS", "3");
  f->dialogs.answers = {Answer::First};
  click(ok("SpeedButton1"));
  const auto linkBoxes = [this] { return f->dialogs.texts().filter("WriteFile").size(); };
  QCOMPARE(linkBoxes(), 3);
  QVERIFY(editor().isVisible());
  // Discarding them, it closes without a further box.
  click(ok("SpeedButton1"));
  QCOMPARE(linkBoxes(), 3);
  QVERIFY(!editor().isVisible());
}

void TestEditorWindow::portFailingInAReadOut() {
  startExchange();
  f->link.inject(typicalBlock());
  f->timers.advance(LinkControl::kBlockRereadDelay);
  f->link.failWritesFrom = writesSoFar();  // the first 0Bh
  f->link.inject(typicalBlock());
  // One box for the failed 0Bh; the read-out stops there and the exchange gives up later.
  QCOMPARE(f->dialogs.boxes.size(), 1);
  QCOMPARE(f->dialogs.boxes.at(0).title, appTitle());
  QVERIFY(!editor().isVisible());
  f->timers.advanceMs(6200);
  auto* f5 = f->form().findChild<QToolButton*>(QStringLiteral("SpeedButton3"));
  QVERIFY(f5->isEnabled());
}

QTEST_MAIN(TestEditorWindow)
#include "test_editor_window.moc"
