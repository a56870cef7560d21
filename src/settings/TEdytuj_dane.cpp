#include "settings/TEdytuj_dane.h"

#include "core/ControllerState.h"
#include "core/Dialogs.h"
#include "core/Handlers.h"
#include "core/Language.h"
#include "core/WindowPlacement.h"
#include "link/LinkError.h"
#include "settings/ShapePictogram.h"
#include "ui_TEdytuj_dane.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QLabel>
#include <QPixmap>
#include <QRegularExpression>
#include <QSignalBlocker>

#include <algorithm>

namespace orvel {

// One OK button: the fields it belongs to (their changes mark it, Enter in them presses it), the
// fields its operation reads, in the operation's order, and the operation.
struct TEdytuj_dane::Send {
  QToolButton* ok;
  QLabel* label;  // names the field in the question on closing
  std::vector<QLineEdit*> own;
  std::vector<QLineEdit*> inputs;
  std::function<SendOutcome(const QStringList& texts, long long reference)> operation;
  // The texts of the own fields as the controller holds them: last read out or sent.
  QStringList held = {};
};

struct TEdytuj_dane::Radio {
  FlagRadio flag;
  QButtonGroup* group;
  // The item last acted on. Qt reports a change as two toggles (old item off, new item on);
  // comparing with this makes each change act once.
  int selected = -1;
};

QString unsentQuestionText(const QString& fields) {
  return tr3(QStringLiteral("Zmiany nie zostały wysłane do sterownika:\r\n%1\r\n\r\n"
                            "Wysłać je teraz?"),
             QStringLiteral("Changes not sent to the controller:\r\n%1\r\n\r\n"
                            "Send them now?"),
             QStringLiteral("Modifiche non inviate alla centralina:\r\n%1\r\n\r\n"
                            "Inviarle adesso?"))
      .arg(fields);
}

QString unsentQuestionTitle() {
  return warningTitle();
}

QStringList unsentQuestionButtons() {
  return {tr3(QStringLiteral("Wyślij"), QStringLiteral("Send"), QStringLiteral("Invia")),
          tr3(QStringLiteral("Odrzuć"), QStringLiteral("Discard"), QStringLiteral("Scarta")),
          tr3(QStringLiteral("Wróć"), QStringLiteral("Go back"), QStringLiteral("Torna"))};
}

TEdytuj_dane::TEdytuj_dane(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowSystemMenuHint),
      ui_(std::make_unique<Ui::TEdytuj_dane>()),
      pictogram_(blankShapePictogram()) {
  ui_->setupUi(this);
  // The geometry is fixed in pixels, so the font is too: sized in points it would grow with the
  // screen's resolution and run out of its labels.
  QFont small = font();
  small.setPixelSize(11);
  setFont(small);
  // Holders of values for the settings file and the report; the fitter never sees them.
  for (QWidget* holder : std::initializer_list<QWidget*>{ui_->RadioGroup4, ui_->Label3, ui_->Edit6,
                                                         ui_->Label12, ui_->Editdelay}) {
    holder->hide();
  }
  ui_->Image1->setPixmap(QPixmap::fromImage(pictogram_));
  ui_->Image2->setPixmap(QPixmap::fromImage(pulsePicture()));
  // Until the first read-out the cutoff is off, as its unchecked box says.
  setCutoffEnabled(false);
  bindSends();
  bindFlags();
  onEvent(ui_->SpeedButton1, &QToolButton::clicked, this, [this] { close(); });
  fixSize(this);
  centreOnScreen(this);
}

TEdytuj_dane::~TEdytuj_dane() = default;

void TEdytuj_dane::attach(ControllerState& state, CommandSink send) {
  state_ = &state;
  send_ = std::move(send);
}

void TEdytuj_dane::closeEvent(QCloseEvent* event) {
  bool close = false;
  guarded([&] { close = settleUnsent(); });
  if (!close) {
    event->ignore();
    return;
  }
  event->accept();
  Q_EMIT closedByUser();
}

namespace {
QString fieldName(const QLabel* label) {
  return QStringLiteral("  ") +
         label->text().trimmed().remove(QRegularExpression(QStringLiteral("[:;]$")));
}
}  // namespace

QStringList TEdytuj_dane::unsentFields() const {
  QStringList names;
  for (const Send& s : sends_) {
    if (isUnsent(s.ok) && s.ok->isEnabled()) names << fieldName(s.label);
  }
  return names;
}

bool TEdytuj_dane::settleUnsent() {
  std::vector<Send*> pending;
  QStringList names;
  for (Send& s : sends_) {
    if (!isUnsent(s.ok) || !s.ok->isEnabled()) continue;
    pending.push_back(&s);
    names << fieldName(s.label);
  }
  if (!pending.empty()) {
    // Enter and Escape go back to the window: a key pressed without reading sends nothing.
    const Answer answer = askQuestion(unsentQuestionText(names.join(QStringLiteral("\r\n"))),
                                      unsentQuestionTitle(), unsentQuestionButtons());
    if (answer == Answer::Cancel) return false;
    if (answer == Answer::First) {
      bool allSent = true;
      for (Send* s : pending) {
        bool linkDown = false;
        guarded([&] {
          try {
            runSend(*s);
          } catch (const LinkError&) {
            linkDown = true;
            throw;
          }
        });
        allSent = allSent && !isUnsent(s->ok);
        // One answer to one question: the sends after it would fail the same way.
        if (linkDown) break;
      }
      // A refused or failed send keeps the window open, its message shown, its field marked.
      if (!allSent) return false;
    }
  }
  // What stays in the fields is what the settings file and the report take for the settings:
  // discarded edits, and those of controls switched off, go back to what the controller holds.
  for (Send& s : sends_) {
    if (!isUnsent(s.ok)) continue;
    for (std::size_t i = 0; i < s.own.size(); ++i)
      setFieldText(s.own[i], s.held.value(static_cast<int>(i)));
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Send operations

void TEdytuj_dane::bindSends() {
  Ui::TEdytuj_dane& u = *ui_;
  const auto one = [](SendOutcome (*op)(const QString&)) {
    return [op](const QStringList& t, long long) { return op(t.at(0)); };
  };
  const auto rpm = [](SendOutcome (*op)(const QString&, long long)) {
    return [op](const QStringList& t, long long r) { return op(t.at(0), r); };
  };
  const auto two = [](SendOutcome (*op)(const QString&, const QString&)) {
    return [op](const QStringList& t, long long) { return op(t.at(0), t.at(1)); };
  };
  sends_ = {
      {u.SendProgTPS, u.Label4, {u.EditProgTPS}, {u.EditProgTPS}, one(&sends::tpsThreshold)},
      {u.SendProgLambda,
       u.Label7,
       {u.EditProgLambda},
       {u.EditProgLambda},
       one(&sends::lambdaThreshold)},
      {u.SendProgGB, u.Label5, {u.EditProgGB}, {u.EditProgGB}, rpm(&sends::changeoverSpeed)},
      {u.SpeedButton8, u.Label13, {u.Edit5}, {u.Edit5}, one(&sends::startDelay)},
      {u.SpeedButton6, u.Label11, {u.Editobrotymax}, {u.Editobrotymax}, rpm(&sends::maxSpeed)},
      {u.SpeedButton10, u.Label15, {u.Edit4}, {u.Edit4}, one(&sends::accelerationSteps)},
      {u.SpeedButton9,
       u.Label16,
       {u.Edit3},
       {u.EditProgGB, u.Edit3},
       [](const QStringList& t, long long r) { return sends::fallingDelta(t.at(0), t.at(1), r); }},
      {u.SpeedButton12, u.Label22, {u.Edit7}, {u.Edit7}, one(&sends::idleStepperSpeed)},
      {u.SendProgGazu, u.Label23, {u.Edit8}, {u.Edit8}, one(&sends::secondStepperSpeed)},
      {u.SendOkresLambda,
       u.Label1,
       {u.EditThLambda, u.EditOkresLambda},
       {u.EditThLambda, u.EditOkresLambda},
       two(&sends::lambda1Shape)},
      {u.SendOkresLambda2,
       u.Label2,
       {u.EditThLambda2, u.EditOkresLambda2},
       {u.EditThLambda2, u.EditOkresLambda2},
       two(&sends::lambda2Shape)},
      {u.SpeedButton2,
       u.Label8,
       {u.Editsilnikmax, u.EditSilnikmin},
       {u.Editsilnikmax, u.EditSilnikmin},
       two(&sends::stepperRange)},
      {u.SpeedButton4, u.Label10, {u.EditSilnikopt}, {u.EditSilnikopt}, one(&sends::stepperStart)},
      {u.SpeedButton3, u.Label9, {u.Edit1}, {u.Edit1}, one(&sends::cutoffPosition)},
      {u.Sendcutoffobr, u.Label6, {u.Edit2}, {u.Edit2}, rpm(&sends::cutoffSpeed)},
  };

  for (std::size_t i = 0; i < sends_.size(); ++i) {
    Send& s = sends_[i];
    onEvent(s.ok, &QToolButton::clicked, this, [this, i] { runSend(sends_[i]); });
    for (QLineEdit* field : s.own) {
      onEvent(field, &QLineEdit::returnPressed, this, [this, i] { runSend(sends_[i]); });
      onEvent(field, &QLineEdit::textChanged, this, [this, i] { refreshMark(sends_[i]); });
    }
    // Nothing was typed yet: what the fields show is no change.
    markHeld(s);
  }
  for (QLineEdit* field : findChildren<QLineEdit*>()) {
    designLengths_.insert(field, field->maxLength());
    onEvent(field, &QLineEdit::textEdited, this, [this, field] { keepTypingLimit(field); });
  }
}

QStringList TEdytuj_dane::ownTexts(const Send& s) {
  QStringList texts;
  for (const QLineEdit* field : s.own)
    texts << field->text();
  return texts;
}

void TEdytuj_dane::markHeld(Send& s) {
  s.held = ownTexts(s);
  refreshMark(s);
}

void TEdytuj_dane::refreshMark(const Send& s) {
  setUnsent(s.ok, ownTexts(s) != s.held);
}

void TEdytuj_dane::runSend(Send& s) {
  QStringList texts;
  for (const QLineEdit* field : s.inputs)
    texts << field->text();
  const SendOutcome outcome = s.operation(texts, reference());
  for (const SendOutcome::Notice& notice : outcome.notices) {
    showMessage(notice.text, notice.title.isEmpty() ? editor_text::title() : notice.title,
                MessageIcon::Error);
    for (int input : notice.clearInputs)
      setFieldText(s.inputs.at(static_cast<std::size_t>(input)), QString());
  }
  if (!outcome.command) return;
  // The mark goes only once the bytes are out: a port that fails keeps it.
  transmit(*outcome.command);
  markHeld(s);
  if (outcome.shape) redrawPictogram(*outcome.shape);
}

TEdytuj_dane::Send& TEdytuj_dane::sendOf(const QToolButton* ok) {
  const auto it =
      std::find_if(sends_.begin(), sends_.end(), [ok](const Send& s) { return s.ok == ok; });
  Q_ASSERT(it != sends_.end());
  return *it;
}

void TEdytuj_dane::transmit(const Command& command) {
  Q_ASSERT(send_);
  send_(command);
}

long long TEdytuj_dane::reference() const {
  return state_ ? state_->idlePeriodReference : 0;
}

// ---------------------------------------------------------------------------------------------
// Flag controls

void TEdytuj_dane::bindFlags() {
  Ui::TEdytuj_dane& u = *ui_;
  const auto group = [this](const char* name, QRadioButton* item0, QRadioButton* item1) {
    auto* g = new QButtonGroup(this);
    g->setObjectName(QString::fromLatin1(name));
    g->addButton(item0, 0);
    g->addButton(item1, 1);
    return g;
  };
  radios_ = {
      {FlagRadio::Tps, group("RadioGroup2Buttons", u.RadioGroup2Item0, u.RadioGroup2Item1)},
      {FlagRadio::SpeedSignal, group("RadioGroup5Buttons", u.RadioGroup5Item0, u.RadioGroup5Item1)},
      {FlagRadio::GasSensor, group("RadioGroup4Buttons", u.RadioGroup4Item0, u.RadioGroup4Item1)},
      {FlagRadio::OperatingMode,
       group("RadioGroup3Buttons", u.RadioGroup3Item0, u.RadioGroup3Item1)},
  };
  for (std::size_t i = 0; i < radios_.size(); ++i) {
    onEvent(radios_[i].group, &QButtonGroup::idToggled, this,
            [this, i] { radioChosen(radios_[i]); });
  }
  // Check boxes act on the fitter's click or space bar only, never when the program sets them.
  onEvent(u.CheckBox1, &QCheckBox::clicked, this, [this] { CheckBox1Click(); });
  onEvent(u.CheckBox2, &QCheckBox::clicked, this, [this] { CheckBox2Click(); });
  onEvent(u.CheckBox3, &QCheckBox::clicked, this, [this] { CheckBox3Click(); });
}

TEdytuj_dane::Radio& TEdytuj_dane::radio(FlagRadio flag) {
  for (Radio& r : radios_) {
    if (r.flag == flag) return r;
  }
  Q_UNREACHABLE();
}

const TEdytuj_dane::Radio& TEdytuj_dane::radio(FlagRadio flag) const {
  for (const Radio& r : radios_) {
    if (r.flag == flag) return r;
  }
  Q_UNREACHABLE();
}

int TEdytuj_dane::selectedItem(FlagRadio flag) const {
  return radio(flag).group->checkedId();
}

void TEdytuj_dane::selectItem(FlagRadio flag, int item) {
  Radio& r = radio(flag);
  QAbstractButton* button = r.group->button(item);
  if (!button || button->isChecked()) return;
  {
    // Acted on below, directly, so that a failing send reaches the caller.
    const QSignalBlocker quiet(r.group);
    button->setChecked(true);
  }
  radioChosen(r);
}

void TEdytuj_dane::radioChosen(Radio& r) {
  const int item = r.group->checkedId();
  if (item == r.selected) return;
  r.selected = item;
  if (item < 0) return;
  state_->installationFlags = flagsWithRadioItem(r.flag, state_->installationFlags, item);
  transmit(commands::installationFlags(state_->installationFlags));
}

void TEdytuj_dane::CheckBox1Click() {
  const bool on = ui_->CheckBox1->isChecked();
  state_->installationFlags = flagsWithBit(state_->installationFlags, kCutoffBit, on);
  // The controller kept the cutoff position and speed the fields show (it reports them whether
  // the cutoff is on or not), so switching it on leaves nothing unsent.
  setCutoffEnabled(on);
  transmit(commands::installationFlags(state_->installationFlags));
}

void TEdytuj_dane::CheckBox2Click() {
  const QString time = ui_->CheckBox2->isChecked() ? QStringLiteral("0") : QStringLiteral("500");
  setFieldText(ui_->EditThLambda, time);
  setFieldText(ui_->EditOkresLambda, time);
  runSend(sendOf(ui_->SendOkresLambda));
}

void TEdytuj_dane::CheckBox3Click() {
  if (ui_->CheckBox3->isChecked()) {
    setMaxSpeedEnabled(false);
    setFieldText(ui_->Editobrotymax, maxSpeedOffText());
    transmit(commands::maxSpeedOff());
    // "OFF" is what the controller now has.
    markHeld(sendOf(ui_->SpeedButton6));
    return;
  }
  setMaxSpeedEnabled(true);
  Send& maxSpeed = sendOf(ui_->SpeedButton6);
  if (maxSpeedShowsOff()) {
    setFieldText(ui_->Editobrotymax, QStringLiteral("5000"));
    runSend(maxSpeed);
  } else {
    runSend(maxSpeed);
    runSend(maxSpeed);
  }
}

// ---------------------------------------------------------------------------------------------
// Read-out

void TEdytuj_dane::showSettings(const DecodedSettings& d) {
  Q_ASSERT(state_);
  Ui::TEdytuj_dane& u = *ui_;
  setFieldText(u.EditThLambda, d.EditThLambda);
  setFieldText(u.EditOkresLambda, d.EditOkresLambda);
  if (d.lambda1Bosch) u.CheckBox2->setChecked(true);
  setFieldText(u.EditThLambda2, d.EditThLambda2);
  setFieldText(u.EditOkresLambda2, d.EditOkresLambda2);
  setFieldText(u.EditProgTPS, d.EditProgTPS);
  setFieldText(u.EditProgGB, d.EditProgGB);

  state_->installationFlags = d.installationFlags;
  for (std::size_t i = 0; i < kFlagRadios.size(); ++i)
    selectItem(kFlagRadios[i], d.radioItems[i]);
  u.CheckBox1->setChecked(d.cutoffOn);
  setCutoffEnabled(d.cutoffOn);

  setFieldText(u.EditProgLambda, d.EditProgLambda);
  setFieldText(u.Editsilnikmax, d.Editsilnikmax);
  setFieldText(u.EditSilnikmin, d.EditSilnikmin);
  setFieldText(u.EditSilnikopt, d.EditSilnikopt);
  if (d.maxSpeedOff) {
    u.CheckBox3->setChecked(true);
    setMaxSpeedEnabled(false);
  }
  setFieldText(u.Editobrotymax, d.Editobrotymax);
  setFieldText(u.Edit3, d.Edit3);
  setFieldText(u.Edit2, d.Edit2);
  setFieldText(u.Edit1, d.Edit1);
  setFieldText(u.Edit5, d.Edit5);
  setFieldText(u.Edit4, d.Edit4);
  setFieldText(u.Edit7, d.Edit7);
  setFieldText(u.Edit8, d.Edit8);
  setFieldText(u.Editdelay, d.Editdelay);
  // What was read out is what the controller holds.
  for (Send& s : sends_)
    markHeld(s);
}

bool TEdytuj_dane::maxSpeedShowsOff() const {
  return ui_->Editobrotymax->text() == maxSpeedOffText();
}

// ---------------------------------------------------------------------------------------------
// Presentation

void TEdytuj_dane::setFieldText(QLineEdit* field, const QString& text) {
  const int design = designLengths_.value(field, field->maxLength());
  field->setMaxLength(std::max(design, static_cast<int>(text.size())));
  field->setText(text);
}

void TEdytuj_dane::keepTypingLimit(QLineEdit* field) {
  // A long written value that the fitter shortens lowers the limit with it, down to the design's.
  const int design = designLengths_.value(field, field->maxLength());
  field->setMaxLength(std::max(design, static_cast<int>(field->text().size())));
}

bool TEdytuj_dane::isUnsent(const QToolButton* ok) {
  return ok->font().bold();
}

void TEdytuj_dane::setUnsent(QToolButton* ok, bool unsent) {
  QFont font = ok->font();
  if (font.bold() == unsent) return;
  font.setBold(unsent);
  ok->setFont(font);
}

void TEdytuj_dane::setCutoffEnabled(bool enabled) {
  for (QWidget* w : std::initializer_list<QWidget*>{ui_->Label9, ui_->Edit1, ui_->SpeedButton3,
                                                    ui_->Label6, ui_->Edit2, ui_->Sendcutoffobr}) {
    w->setEnabled(enabled);
  }
}

void TEdytuj_dane::setMaxSpeedEnabled(bool enabled) {
  for (QWidget* w :
       std::initializer_list<QWidget*>{ui_->Label11, ui_->Editobrotymax, ui_->SpeedButton6}) {
    w->setEnabled(enabled);
  }
}

void TEdytuj_dane::redrawPictogram(const LambdaShape& shape) {
  drawShapePictogram(pictogram_, shape.high, shape.low);
  ui_->Image1->setPixmap(QPixmap::fromImage(pictogram_));
}

}  // namespace orvel
