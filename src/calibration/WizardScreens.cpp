#include "calibration/CalibrationWizard.h"

#include "core/Language.h"

// What each step shows: the step table behind the panel's controls.

namespace orvel {

QString wizardStepText(int step) {
  if (step < 1 || step > kWizardSteps) return QString();
  return tr3(QStringLiteral("Krok %1 z %2"), QStringLiteral("Step %1 of %2"),
             QStringLiteral("Passo %1 di %2"))
      .arg(step)
      .arg(kWizardSteps);
}

WizardUnits wizardUnits(int step) {
  const QString rpm = rpmUnitText();
  // Stepper positions have no unit; their range says what they are.
  const QString position = tr3(QStringLiteral("poz. 1..255"), QStringLiteral("pos. 1..255"),
                               QStringLiteral("pos. 1..255"));
  switch (step) {
    case 4:
    case 5:
      return {QStringLiteral("V"), {}};
    case 6:
    case 8:
    case 16:
      return {rpm, {}};
    case 9:
    case 15:
      return {position, {}};
    case 10:
      return {tr3(QStringLiteral("dolna"), QStringLiteral("lower"), QStringLiteral("inferiore")),
              tr3(QStringLiteral("górna"), QStringLiteral("upper"), QStringLiteral("superiore"))};
    case 11:
    case 12:
      return {QStringLiteral("TH [ms]"), QStringLiteral("TL [ms]")};
    case 13:
      return {QStringLiteral("s"), {}};
    default:
      return {};
  }
}

void CalibrationWizard::showStep(int step, const QString& prompt) {
  step_ = step;
  WizardScreen s;
  s.step = step;
  s.prompt = prompt;
  s.panelHeight = step == 1 ? 168 : 357;
  switch (step) {
    case 1:
      s.probeType = true;
      s.rpmEntry = true;
      s.focus = WizardFocus::Rpm;
      break;
    case 4:
    case 5:
    case 6:
    case 9:
    case 13:
    case 15:
    case 16:
      s.edit2 = true;
      s.focus = WizardFocus::Edit2;
      break;
    case 7:
      s.direction = true;
      s.focus = WizardFocus::Direction;
      break;
    case 8:
      s.edit2 = falling_;
      s.focus = falling_ ? WizardFocus::Edit2 : WizardFocus::StepButton;
      break;
    case 10:
    case 11:
    case 12:
      s.edit2 = true;
      s.edit3 = true;
      s.focus = WizardFocus::Edit2;
      break;
    case 14:
      s.cutoff = true;
      s.focus = WizardFocus::Cutoff;
      break;
    case kWizardDone:
      s.focus = WizardFocus::Finish;
      s.cancelCaption = plIt(QStringLiteral("&Zakończ"), QStringLiteral("&Esci"));
      break;
    default:  // 2, 3, 17: nothing to type, Enter confirms
      break;
  }
  view_.showScreen(s);
}

}  // namespace orvel
