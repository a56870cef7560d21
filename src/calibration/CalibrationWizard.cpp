#include "calibration/CalibrationWizard.h"

#include "calibration/CalibrationSampler.h"
#include "core/ControllerState.h"
#include "core/Dialogs.h"
#include "core/Language.h"
#include "link/LinkControl.h"
#include "link/SerialTransport.h"
#include "settings/Conversions.h"

namespace orvel {

CalibrationWizard::CalibrationWizard(LinkControl& link, LinkView& linkView, ControllerState& state,
                                     CalibrationSampler& sampler, CalibrationView& view,
                                     EditorFieldSink editor)
    : link_(link),
      linkView_(linkView),
      state_(state),
      sampler_(sampler),
      view_(view),
      editor_(std::move(editor)) {}

// ---------------------------------------------------------------------------------------------
// Helpers

void CalibrationWizard::send(const Command& command) {
  link_.send(command);
}

void CalibrationWizard::setLine(int lineIndex, long long value) {
  state_.szablon.setLine(lineIndex, QString::number(value));
}

void CalibrationWizard::setLine(int lineIndex, const QString& text) {
  state_.szablon.setLine(lineIndex, text);
}

void CalibrationWizard::setEditor(EditorField field, const QString& text) {
  if (editor_) editor_(field, text);
}

// ---------------------------------------------------------------------------------------------
// Start and cancel

void CalibrationWizard::SpeedButton4Click() {
  link_.ensureOpen();
  // Started again once a reply timeout gave the commands back, or over an rpm scaling still
  // sampling: neither run may feed this wizard.
  sampler_.stop();
  link_.rpmScalingOnly = false;
  // The live view's end gives every command back, so it goes before the commands are taken.
  if (linkView_.oscilloscopePanelVisible() && link_.hooks.endOscilloscopeMode)
    link_.hooks.endOscilloscopeMode();
  const MainCommands others =
      kButtonF5 | kButtonF8 | kButtonF7 | kItemSettings | kItemScaling | kItemScope;
  linkView_.setCommandsEnabled(others, false);
  link_.delay(100);
  try {
    send(commands::startCommunication());
  } catch (const AppError&) {
    // Nothing was opened: the commands come back rather than staying locked.
    linkView_.setCommandsEnabled(others, true);
    throw;
  }

  view_.setText(Entry::Rpm, QStringLiteral("2000"));
  sampler_.clearPeriodSum();
  linkView_.setStatusText(calibrationStatusText());
  view_.centre();
  linkView_.setCommandsEnabled(kButtonF6 | kItemAutocal, false);
  falling_ = false;
  view_.setPanelVisible(true);
  step_ = 1;
  WizardScreen first;
  first.step = 1;
  first.prompt = plIt(QStringLiteral("Podaj ilość obrotów przy której powinno nastąpić "
                                     "przełączenie z benzyny na gaz (1000..9000):"),
                      QStringLiteral("Scrivi i giri della commutazione dalla benzina a gaz "
                                     "(1000..9000):"));
  first.probeType = true;
  first.rpmEntry = true;
  first.panelHeight = 168;
  first.focus = WizardFocus::Rpm;
  first.cancelCaption = plIt(QStringLiteral("&Anuluj"), QStringLiteral("&Cancella"));
  view_.showScreen(first);
}

void CalibrationWizard::KalibAnuluj1Click() {
  if (!isOpen()) return;
  sampler_.stop();
  step_ = kWizardClosed;
  WizardScreen closed;
  closed.rpmEntry = true;
  view_.showScreen(closed);
  view_.setPanelVisible(false);
  linkView_.setCommandsEnabled(kAllButtons | kAllItems, true);
  linkView_.setStatusText(QString());
  // The end of the communication goes last, so that a link lost meanwhile (already reported
  // when it went) leaves the window usable. There is nothing to tell a closed link.
  if (link_.transport().isConnected()) send(commands::endCommunication());
}

void CalibrationWizard::yieldLink() {
  if (isOpen()) {
    KalibAnuluj1Click();
  } else {
    sampler_.stop();
  }
}

// ---------------------------------------------------------------------------------------------
// Steps

void CalibrationWizard::confirm(int step) {
  switch (step) {
    case 1:
      return medrpmClick();
    case 2:
      return Slowrpm1Click();
    case 3:
      return Maxrpm1Click();
    case 4:
      return Slowbisrpm1Click();
    case 5:
      return ButtonTPS1Click();
    case 6:
      return ButtonMaxRpmGaz1Click();
    case 7:
      return ButtonWarunekRpm1Click();
    case 8:
      return ButtonDeltaRpm1Click();
    case 9:
      return ButtonSilnikKrok1Click();
    case 10:
      return ButtonMinMax1Click();
    case 11:
      return ButtonlambdaoldClick();
    case 12:
      return ButtonLambda12Click();
    case 13:
      return ButtonDelayStart1Click();
    case 14:
      return Button151Click();
    case 15:
      return Button161Click();
    case 16:
      return Button171Click();
    case 17:
      return ZapisEEprom1Click();
    default:
      return;
  }
}

}  // namespace orvel
