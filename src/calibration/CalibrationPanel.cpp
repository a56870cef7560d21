#include "calibration/CalibrationPanel.h"

#include "calibration/CalibrationSampler.h"
#include "calibration/RpmScaling.h"
#include "core/Handlers.h"
#include "core/WorkArea.h"
#include "link/LinkControl.h"
#include "settings/Conversions.h"
#include "ui_PanelKalib.h"

#include <QKeyEvent>
#include <QRadioButton>

namespace orvel {

CalibrationPanel::CalibrationPanel(QFrame* host, WorkArea& area, LinkView& view, LinkControl& link,
                                   ControllerState& state, EditorFieldSink editor)
    : QObject(host),
      host_(host),
      area_(area),
      window_(area.windowWidget()),
      ui_(std::make_unique<Ui::PanelKalib>()) {
  ui_->setupUi(host);
  // Drawn for a narrow interface face, like the oscilloscope panel: a semi-condensed face keeps
  // the Italian captions inside their places too.
  QFont f = host->font();
  f.setStretch(QFont::SemiCondensed);
  host->setFont(f);

  steps_ = {ui_->medrpm,           ui_->Slowrpm,         ui_->Maxrpm,           ui_->Slowbisrpm,
            ui_->ButtonTPS,        ui_->ButtonMaxRpmGaz, ui_->ButtonWarunekRpm, ui_->ButtonDeltaRpm,
            ui_->ButtonSilnikKrok, ui_->ButtonMinMax,    ui_->Buttonlambda,     ui_->ButtonLambda1,
            ui_->ButtonDelayStart, ui_->Button15,        ui_->Button16,         ui_->Button17,
            ui_->ZapisEEprom};
  summary_ = {ui_->Label38, ui_->Label40, ui_->Label42, ui_->Label46, ui_->Label48, ui_->Label36,
              ui_->Label56, ui_->Label57, ui_->Label58, ui_->Label59, ui_->Label60, ui_->Label65,
              ui_->Label67, ui_->Label87, ui_->Label79, ui_->Label77};

  sampler_ = std::make_unique<CalibrationSampler>(link, view, state);
  wizard_ =
      std::make_unique<CalibrationWizard>(link, view, state, *sampler_, *this, std::move(editor));
  rpmScaling_ = std::make_unique<RpmScaling>(link, view, *sampler_, *wizard_);

  CalibrationWizard* wizard = wizard_.get();
  sampler_->listener.showSummary = [this](SummaryLine line, const QString& text) {
    setSummary(line, text);
  };
  sampler_->listener.idleRunEnded = [wizard] { wizard->idleRunEnded(); };
  sampler_->listener.highRpmRunEnded = [wizard] { wizard->highRpmRunEnded(); };
  sampler_->listener.changeoverRpmText = [this] { return ui_->editrpm->text(); };

  for (int k = 1; k <= kWizardSteps; ++k) {
    onEvent(stepButton(k), &QPushButton::clicked, this, [wizard, k] { wizard->confirm(k); });
  }
  onEvent(ui_->KalibAnuluj, &QPushButton::clicked, this, [wizard] { wizard->KalibAnuluj1Click(); });

  // Qt honours default buttons only in dialogs: an Enter that nothing on the panel took is
  // caught on its way up to the window.
  window_->installEventFilter(this);
}

CalibrationPanel::~CalibrationPanel() = default;

QPushButton* CalibrationPanel::stepButton(int step) const {
  return step >= 1 && step <= kWizardSteps ? steps_[static_cast<std::size_t>(step - 1)] : nullptr;
}

QLabel* CalibrationPanel::summaryValue(SummaryLine line) const {
  return summary_[static_cast<std::size_t>(line)];
}

QLineEdit* CalibrationPanel::field(Entry entry) const {
  switch (entry) {
    case Entry::Rpm:
      return ui_->editrpm;
    case Entry::Edit2:
      return ui_->Edit2;
    case Entry::Edit3:
      return ui_->Edit3;
  }
  return ui_->Edit2;
}

QGroupBox* CalibrationPanel::group(Choice choice) const {
  switch (choice) {
    case Choice::ProbeType:
      return ui_->RadioGroup3;
    case Choice::Direction:
      return ui_->RadioGroup1;
    case Choice::Cutoff:
      return ui_->RadioGroup2;
  }
  return ui_->RadioGroup3;
}

QString CalibrationPanel::text(Entry entry) const {
  return field(entry)->text();
}

void CalibrationPanel::setText(Entry entry, const QString& text) {
  field(entry)->setText(text);
}

int CalibrationPanel::choice(Choice choice) const {
  const QList<QRadioButton*> items =
      group(choice)->findChildren<QRadioButton*>(QString(), Qt::FindDirectChildrenOnly);
  for (QRadioButton* item : items) {
    if (item->isChecked()) {
      // Items are named <group>Item<index>.
      const QString name = item->objectName();
      return name.mid(name.lastIndexOf(QLatin1String("Item")) + 4).toInt();
    }
  }
  return 0;
}

void CalibrationPanel::setSummary(SummaryLine line, const QString& text) {
  summaryValue(line)->setText(text);
}

void CalibrationPanel::setDefault(QPushButton* button) {
  if (default_ == button) return;
  if (default_) default_->setDefault(false);
  default_ = button;
  if (default_) default_->setDefault(true);
}

void CalibrationPanel::focusChoice(Choice choice) {
  const QList<QRadioButton*> items =
      group(choice)->findChildren<QRadioButton*>(QString(), Qt::FindDirectChildrenOnly);
  for (QRadioButton* item : items) {
    if (item->isChecked()) {
      item->setFocus();
      return;
    }
  }
  if (!items.isEmpty()) items.first()->setFocus();
}

void CalibrationPanel::showScreen(const WizardScreen& s) {
  Ui::PanelKalib& u = *ui_;
  u.LabelKalib->setText(s.prompt);
  u.RadioGroup3->setVisible(s.probeType);
  u.editrpm->setVisible(s.rpmEntry);
  u.Label15->setVisible(s.rpmEntry);
  u.Edit2->setVisible(s.edit2);
  u.Edit3->setVisible(s.edit3);
  u.RadioGroup1->setVisible(s.direction);
  u.RadioGroup2->setVisible(s.cutoff);
  for (int k = 1; k <= kWizardSteps; ++k) {
    QPushButton* b = stepButton(k);
    b->setVisible(k == s.step);
    b->setEnabled(k == s.step);
  }
  if (!s.cancelCaption.isEmpty()) u.KalibAnuluj->setText(s.cancelCaption);
  setDefault(s.step >= 1 && s.step <= kWizardSteps ? stepButton(s.step) : u.KalibAnuluj);
  host_->resize(host_->width(), s.panelHeight);
  shownStep_ = s.step;
  u.LabelKrok->setVisible(s.step >= 1 && s.step <= kWizardSteps);
  u.LabelJednostka2->setVisible(s.edit2);
  u.LabelJednostka3->setVisible(s.edit3);
  // One field: its unit beside it, where step 1 has "obr/min"; two: each name under its field.
  if (s.edit3) {
    u.LabelJednostka2->setGeometry(u.Edit2->x(), u.LabelJednostka3->y(),
                                   u.Edit3->x() - u.Edit2->x(), u.LabelJednostka3->height());
    u.LabelJednostka2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  } else {
    u.LabelJednostka2->setGeometry(u.Label15->geometry());
    u.LabelJednostka2->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  }
  retranslate();

  if (s.step == kWizardClosed || host_->isHidden()) return;
  switch (s.focus) {
    case WizardFocus::Rpm:
      u.editrpm->setFocus();
      u.editrpm->selectAll();
      break;
    case WizardFocus::Edit2:
      u.Edit2->setFocus();
      u.Edit2->selectAll();
      break;
    case WizardFocus::Direction:
      focusChoice(Choice::Direction);
      break;
    case WizardFocus::Cutoff:
      focusChoice(Choice::Cutoff);
      break;
    case WizardFocus::StepButton:
    case WizardFocus::Finish:
      default_->setFocus();
      break;
  }
}

void CalibrationPanel::retranslate() {
  ui_->LabelKrok->setText(wizardStepText(shownStep_));
  const WizardUnits units = wizardUnits(shownStep_);
  ui_->LabelJednostka2->setText(units.edit2);
  ui_->LabelJednostka3->setText(units.edit3);
}

void CalibrationPanel::centre() {
  host_->move(halfRounded(area_.clientWidth()) - halfRounded(host_->width()) - 5,
              static_cast<int>(roundHalfEven(
                  (area_.clientHeight() + area_.statusBarHeight() - host_->height()) * 0.5)));
}

void CalibrationPanel::setPanelVisible(bool visible) {
  host_->setVisible(visible);
  if (visible) host_->raise();
}

bool CalibrationPanel::eventFilter(QObject* watched, QEvent* event) {
  // The window is asked by its pointer: while it is being destroyed it is no work area any more.
  if (event->type() == QEvent::KeyPress && watched == window_ && !host_->isHidden()) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (enter && mods == Qt::NoModifier) {
      // A button that has the keyboard takes Enter itself, as on the desktop the fitter knows
      // (Enter on a focused "Anuluj" cancels); anywhere else Enter is the default button's.
      auto* focused = qobject_cast<QPushButton*>(window_->focusWidget());
      QPushButton* target = focused && focused->isVisibleTo(host_) && host_->isAncestorOf(focused)
                                ? focused
                                : default_;
      if (target && target->isEnabled() && target->isVisibleTo(host_)) {
        target->click();
        return true;
      }
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace orvel
