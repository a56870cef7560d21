#pragma once

#include "calibration/CalibrationRules.h"

#include <QString>

namespace orvel {

class CalibrationSampler;
class LinkControl;
class LinkView;
struct Command;
struct ControllerState;

// The wizard's entry fields and choices on its panel.
enum class Entry { Rpm /* editrpm */, Edit2, Edit3 };
enum class Choice {
  ProbeType /* RadioGroup3 */,
  Direction /* RadioGroup1 */,
  Cutoff /* RadioGroup2 */
};

// The wizard's steps. Each has its own OK button, in this order: medrpm, Slowrpm, Maxrpm,
// Slowbisrpm, ButtonTPS, ButtonMaxRpmGaz, ButtonWarunekRpm, ButtonDeltaRpm, ButtonSilnikKrok,
// ButtonMinMax, Buttonlambda, ButtonLambda1, ButtonDelayStart, Button15, Button16, Button17,
// ZapisEEprom.
constexpr int kWizardSteps = 17;
constexpr int kWizardClosed = 0;
constexpr int kWizardDone = kWizardSteps + 1;  // written; only the finish button is left

// What has the keyboard at a step.
enum class WizardFocus { StepButton, Rpm, Edit2, Direction, Cutoff, Finish };

// What the panel shows at a step. Only the step's own OK button is shown and enabled, and it is
// the default button (Enter); once written, the finish button is.
struct WizardScreen {
  int step = kWizardClosed;
  QString prompt;
  bool probeType = false;  // RadioGroup3
  bool rpmEntry = false;   // editrpm with its "obr/min"
  bool edit2 = false;
  bool edit3 = false;
  bool direction = false;  // RadioGroup1
  bool cutoff = false;     // RadioGroup2
  int panelHeight = 357;
  WizardFocus focus = WizardFocus::StepButton;
  QString cancelCaption;  // empty: leave as it is (the language tables may have set it)
};

// What the panel says beside a step, in the interface language: "Krok 5 z 17", and the unit (or
// the role, where a step asks for two numbers) of each entry field; empty where a step has none.
QString wizardStepText(int step);
struct WizardUnits {
  QString edit2;
  QString edit3;
};
WizardUnits wizardUnits(int step);

// What the wizard needs of its panel.
class CalibrationView {
 public:
  virtual ~CalibrationView() = default;
  virtual QString text(Entry entry) const = 0;
  virtual void setText(Entry entry, const QString& text) = 0;
  virtual int choice(Choice choice) const = 0;
  virtual void setSummary(SummaryLine line, const QString& text) = 0;
  virtual void showScreen(const WizardScreen& screen) = 0;
  // Centres the panel in the work area by its current height.
  virtual void centre() = 0;
  virtual void setPanelVisible(bool visible) = 0;
};

// The autocalibration wizard ("Autokalibracja", F6): a strictly linear walk through seventeen
// steps on a running engine. Each step checks its entry, sends its value to the controller at
// once (each byte its own write), writes it in raw units into the settings template and, for a
// few, into the settings editor's fields, and shows the next step. Only the last step writes the
// controller's EEPROM; cancelling at any step leaves the previous values there.
//
// An entry that is rejected sends nothing and changes nothing but the step's summary line where
// the step shows it before checking. Where a step sends, it sends before it moves on, so a link
// that fails leaves the wizard on that step.
class CalibrationWizard {
 public:
  CalibrationWizard(LinkControl& link, LinkView& linkView, ControllerState& state,
                    CalibrationSampler& sampler, CalibrationView& view, EditorFieldSink editor);

  int step() const { return step_; }
  bool isOpen() const { return step_ != kWizardClosed; }
  // The changeover speed accepted in step 1.
  long long changeoverRpm() const { return changeoverRpm_; }
  bool fallingChangeover() const { return falling_; }

  // Toolbar "(F6)" and menu "Autokalibracja".
  void SpeedButton4Click();

  // The step buttons, in step order.
  void medrpmClick();
  void Slowrpm1Click();
  void Maxrpm1Click();
  void Slowbisrpm1Click();
  void ButtonTPS1Click();
  void ButtonMaxRpmGaz1Click();
  void ButtonWarunekRpm1Click();
  void ButtonDeltaRpm1Click();
  void ButtonSilnikKrok1Click();
  void ButtonMinMax1Click();
  void ButtonlambdaoldClick();
  void ButtonLambda12Click();
  void ButtonDelayStart1Click();
  void Button151Click();
  void Button161Click();
  void Button171Click();
  void ZapisEEprom1Click();
  // The OK of a step (1..17); nothing unless it is the current step.
  void confirm(int step);

  // Cancel, and after the write the finish button.
  void KalibAnuluj1Click();

  // Another command takes the link over (F5, F7): a wizard left open after a reply timeout
  // gave the commands back is cancelled, and a sampling run still going is ended.
  void yieldLink();

  // The sampling runs report their end.
  void idleRunEnded();
  void highRpmRunEnded();

 private:
  void send(const Command& command);
  // The refused entry's message names what the step takes.
  void invalidEntry(std::initializer_list<Entry> entries, const QString& allowed);
  QString rpmRange() const;
  QString deltaRange() const;
  void waveOutOfRange();
  void setLine(int line, long long value);
  void setLine(int line, const QString& text);
  void setEditor(EditorField field, const QString& text);
  void showStep(int step, const QString& prompt);
  bool lambdaWave(int step);
  std::optional<long long> period(long long rpm) const;
  // The delta of step 8 as the controller keeps it: the period at (changeover - delta) less the
  // one at the changeover, when it fits its 16 bits.
  std::optional<long long> fallingDelta(long long delta) const;
  long long reference() const;

  LinkControl& link_;
  LinkView& linkView_;
  ControllerState& state_;
  CalibrationSampler& sampler_;
  CalibrationView& view_;
  EditorFieldSink editor_;

  int step_ = kWizardClosed;
  long long changeoverRpm_ = 0;
  bool falling_ = false;
};

}  // namespace orvel
