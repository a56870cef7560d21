#include "calibration/CalibrationWizard.h"

#include "calibration/CalibrationSampler.h"
#include "calibration/WizardLimits.h"
#include "core/ControllerState.h"
#include "core/Language.h"
#include "link/Protocol.h"
#include "settings/Conversions.h"

// The steps: each checks its entry, sends its value and records it.

namespace orvel {

using wizard::kMaxByte;
using wizard::kMaxWaveMs;
namespace allowed = wizard::allowed;

namespace {

// Settings template lines the steps write (values in raw controller units).
namespace line {
constexpr int kLambda1High = 3;
constexpr int kLambda1Period = 5;
constexpr int kTpsThreshold = 7;
constexpr int kChangeoverPeriod = 9;
constexpr int kLambdaThreshold = 14;
constexpr int kStepperMax = 16;
constexpr int kStepperMin = 18;
constexpr int kMaxSpeedPeriod = 23;
constexpr int kLambdaRange = SettingsTemplate::kLambdaMaximumLine;
constexpr int kStepperStart = 41;
constexpr int kFlags = 43;
constexpr int kCutoffPosition = 45;
constexpr int kCutoffPeriod = 47;
constexpr int kLambda2High = 49;
constexpr int kLambda2Period = 51;
constexpr int kStartDelay = 53;
}  // namespace line

QString twoValues(const QString& first, const QString& second) {
  return first + QStringLiteral(" / ") + second;
}

QString saveOrCancelPrompt(bool okInCapitals) {
  return plIt(QStringLiteral("Aby zapisać parametry do sterownika naciśnij OK. Aby zostawić "
                             "wartości poprzednie naciśnij Anuluj."),
              okInCapitals ? QStringLiteral("Per salvare i parametri premere OK. Per lasciare i "
                                            "valori precedenti premere Cancella")
                           : QStringLiteral("Per salvare i parametri premere ok. Per lasciare i "
                                            "valori precedenti premere Cancella"));
}

}  // namespace

// 1. Probe type and changeover speed.
void CalibrationWizard::medrpmClick() {
  if (step_ != 1) return;
  const QString text = view_.text(Entry::Rpm);
  const auto rpm = wizardInteger(text);
  if (!rpm) return invalidEntry({Entry::Rpm}, allowed::changeover());
  if (*rpm < 1000 || *rpm > 9000) return;  // outside the range the prompt names: no reaction
  const ProbeType probe = probeType(view_.choice(Choice::ProbeType));
  send(commands::lambda1Range(probe.rangeArgument));

  changeoverRpm_ = *rpm;
  view_.setSummary(SummaryLine::Changeover, text);
  setEditor(EditorField::ChangeoverRpm, text);
  state_.lambdaLow = probe.lambdaLow;
  state_.lambdaHigh = probe.lambdaHigh;
  setLine(line::kLambdaRange, probe.rangeLine);
  showStep(2, plIt(QStringLiteral("Ustaw wolne obroty. Zostanie odczytana dolna wartość TPS oraz "
                                  "zostaną skalibrowane obroty silnika."),
                   QStringLiteral("Scrivi iniziale giri")));
}

// 2. Idle: the run's end moves on.
void CalibrationWizard::Slowrpm1Click() {
  if (step_ != 2) return;
  sampler_.startIdleRun();
}

void CalibrationWizard::idleRunEnded() {
  if (step_ != 2) return;
  showStep(3, plIt(QStringLiteral("Ustaw obroty na około 3000.") + QString(31, QLatin1Char(' ')) +
                       QStringLiteral("Odczytany zostanie górny poziom TPS."),
                   QStringLiteral("Scrivi giri a circa 3000")));
}

// 3. About 3000 rpm: the run's end moves on.
void CalibrationWizard::Maxrpm1Click() {
  if (step_ != 3) return;
  sampler_.startHighRpmRun();
}

void CalibrationWizard::highRpmRunEnded() {
  if (step_ != 3) return;
  view_.setText(Entry::Edit2, defaultLambdaThreshold(state_.lambdaLow, state_.lambdaHigh));
  showStep(4, plIt(QStringLiteral("Podaj próg przełączania sondy Lambda: (domyślna wartość = 50% "
                                  "zakresu)"),
                   QStringLiteral("Soglia commutazione sonda lambda (registrata = 50% limite)")));
}

// 4. Lambda threshold, "d.d".
void CalibrationWizard::Slowbisrpm1Click() {
  if (step_ != 4) return;
  const QString text = view_.text(Entry::Edit2);
  const auto tenths = lambdaThresholdTenths(text);
  if (!tenths) return invalidEntry({Entry::Edit2}, allowed::lambdaThreshold());
  const long long raw = lambdaThresholdRaw(*tenths);
  if (raw > kMaxByte) return invalidEntry({Entry::Edit2}, allowed::lambdaThreshold());
  send(commands::lambdaThreshold(raw));

  view_.setSummary(SummaryLine::LambdaThreshold, text);
  setLine(line::kLambdaThreshold, raw);
  view_.setText(Entry::Edit2, defaultTpsThreshold(state_.tpsLow, state_.tpsHigh));
  showStep(5, plIt(QStringLiteral("Podaj próg przełączania TPS:"),
                   QStringLiteral("Soglia commutazione tps")));
}

// 5. TPS threshold, "d.dd".
void CalibrationWizard::ButtonTPS1Click() {
  if (step_ != 5) return;
  const QString text = view_.text(Entry::Edit2);
  const auto hundredths = voltHundredths(text);
  if (!hundredths || *hundredths > 999)
    return invalidEntry({Entry::Edit2}, allowed::tpsThreshold());
  const long long raw = tpsThresholdRaw(*hundredths);  // at most 200 for 9.99 V
  send(commands::tpsThreshold(raw));

  setLine(line::kTpsThreshold, lowByte(raw));
  view_.setSummary(SummaryLine::TpsThreshold, text);
  view_.setText(Entry::Edit2, QStringLiteral("5000"));
  showStep(6, plIt(QStringLiteral("Podaj maksymalne obroty dla gazu (domyślnie 5000)"),
                   QStringLiteral("Fuori giri (registrati 5000)")));
}

// 6. Maximum speed on gas.
void CalibrationWizard::ButtonMaxRpmGaz1Click() {
  if (step_ != 6) return;
  const QString text = view_.text(Entry::Edit2);
  view_.setSummary(SummaryLine::MaxRpm, text);
  const auto rpm = wizardInteger(text);
  const auto p = rpm ? period(*rpm) : std::nullopt;
  if (!p) return invalidEntry({Entry::Edit2}, rpmRange());
  send(commands::maxSpeedOnGas(*p));

  setLine(line::kMaxSpeedPeriod, *p);
  showStep(7, plIt(QStringLiteral("Obroty rosnące / malejące"),
                   QStringLiteral("Giri crescendi / diminuendi")));
}

// 7. Changeover on rising or falling speed.
void CalibrationWizard::ButtonWarunekRpm1Click() {
  if (step_ != 7) return;
  // Step 1 admitted only 1000..9000 rpm, whose period always fits.
  const long long p = period(changeoverRpm_).value_or(0);
  send(commands::changeoverSpeed(p));

  setLine(line::kChangeoverPeriod, p);
  falling_ = view_.choice(Choice::Direction) == 1;
  if (falling_) {
    view_.setText(Entry::Edit2, QStringLiteral("500"));
    showStep(8, plIt(QStringLiteral("Podaj deltę obrotów"), QStringLiteral("Delta giri")));
  } else {
    showStep(8, plIt(QStringLiteral("Przełączenie przy obrotach rosnących"),
                     QStringLiteral("Commutazione in accelerazione")));
  }
}

// 8. Delta for the changeover on falling speed.
void CalibrationWizard::ButtonDeltaRpm1Click() {
  if (step_ != 8) return;
  if (falling_) {
    const QString text = view_.text(Entry::Edit2);
    view_.setSummary(SummaryLine::Delta, text);
    const auto delta = wizardInteger(text);
    const auto difference = delta ? fallingDelta(*delta) : std::nullopt;
    if (!difference) return invalidEntry({Entry::Edit2}, deltaRange());
    send(commands::fallingDelta(*difference));
  }
  view_.setText(Entry::Edit2, QStringLiteral("100"));
  showStep(9, plIt(QStringLiteral("Podaj pozycję startową silnika krokowego"),
                   QStringLiteral("Scrivi reset attuatore")));
}

// 9. Stepper start position.
void CalibrationWizard::ButtonSilnikKrok1Click() {
  if (step_ != 9) return;
  const QString text = view_.text(Entry::Edit2);
  view_.setSummary(SummaryLine::StepperStart, text);
  const auto position = wizardInteger(text);
  if (!position || *position < 0 || *position > kMaxByte)
    return invalidEntry({Entry::Edit2}, allowed::position());
  send(commands::stepperStart(*position));

  setEditor(EditorField::StepperStart, text);
  setLine(line::kStepperStart, kMaxByte - *position);
  view_.setText(Entry::Edit2, QStringLiteral("10"));
  view_.setText(Entry::Edit3, QStringLiteral("240"));
  showStep(10, plIt(QStringLiteral("Podaj zakres sterowania silnika krokowego"),
                    QStringLiteral("I limiti lavoro attuatore")));
}

// 10. Stepper range: lower then upper position.
void CalibrationWizard::ButtonMinMax1Click() {
  if (step_ != 10) return;
  const QString lowerText = view_.text(Entry::Edit2);
  const QString upperText = view_.text(Entry::Edit3);
  view_.setSummary(SummaryLine::StepperRange, twoValues(lowerText, upperText));
  const auto lower = wizardInteger(lowerText);
  const auto upper = wizardInteger(upperText);
  const auto inRange = [](const std::optional<long long>& v) {
    return v && *v >= 0 && *v <= kMaxByte;
  };
  if (!inRange(lower) || !inRange(upper))
    return invalidEntry({Entry::Edit2, Entry::Edit3}, allowed::position());
  send(commands::stepperRange(*lower, *upper));

  setEditor(EditorField::StepperMax, lowerText);
  setEditor(EditorField::StepperMin, upperText);
  setLine(line::kStepperMax, kMaxByte - *lower);
  setLine(line::kStepperMin, kMaxByte - *upper);
  view_.setText(Entry::Edit2, QStringLiteral("500"));
  view_.setText(Entry::Edit3, QStringLiteral("500"));
  showStep(11, plIt(QStringLiteral("Podaj parametry fali lambda1:"),
                    QStringLiteral("Parametri sonda lambda 1:")));
}

// 11 and 12: a lambda simulation wave, TH and TL in milliseconds. False when the entry was
// refused.
bool CalibrationWizard::lambdaWave(int step) {
  const bool first = step == 11;
  const QString highText = view_.text(Entry::Edit2);
  const QString lowText = view_.text(Entry::Edit3);
  const auto th = wizardInteger(highText);
  const auto tl = wizardInteger(lowText);
  if (!th || !tl) {
    invalidEntry({Entry::Edit2, Entry::Edit3}, allowed::waveTime());
    return false;
  }
  // Checked on the true values: a negative TL must not pass as a large number whose 16-bit sum
  // with TH wraps below 4000.
  if (*th < 0 || *tl < 0 || *th > kMaxWaveMs || *th + *tl > kMaxWaveMs) {
    waveOutOfRange();
    return false;
  }
  const long long high = waveCounts(*th);
  const long long periodCount = waveCounts(*th + *tl);
  send(first ? commands::lambda1Shape(high, periodCount)
             : commands::lambda2Shape(high, periodCount));

  setLine(first ? line::kLambda1High : line::kLambda2High, quarterOf(high));
  setLine(first ? line::kLambda1Period : line::kLambda2Period, quarterOf(periodCount));
  view_.setSummary(first ? SummaryLine::Lambda1Wave : SummaryLine::Lambda2Wave,
                   twoValues(highText, lowText));
  return true;
}

void CalibrationWizard::ButtonlambdaoldClick() {
  if (step_ != 11 || !lambdaWave(11)) return;
  view_.setText(Entry::Edit2, QStringLiteral("500"));
  view_.setText(Entry::Edit3, QStringLiteral("500"));
  showStep(12, plIt(QStringLiteral("Podaj parametry sondy lambda2:"),
                    QStringLiteral("Parametri sonda lambda 2:")));
}

void CalibrationWizard::ButtonLambda12Click() {
  if (step_ != 12 || !lambdaWave(12)) return;
  view_.setText(Entry::Edit2, QStringLiteral("1"));
  showStep(13, plIt(QStringLiteral("Podaj opóźnienie po włączeniu:"),
                    QStringLiteral("Ritardo dopo accendere:")));
}

// 13. Start delay in seconds, sent in units of 200 ms.
void CalibrationWizard::ButtonDelayStart1Click() {
  if (step_ != 13) return;
  const QString text = view_.text(Entry::Edit2);
  const auto seconds = wizardInteger(text);
  if (!seconds || *seconds < 0 || *seconds * 5 > kMaxByte)
    return invalidEntry({Entry::Edit2}, allowed::startDelay());
  send(commands::powerOnDelay(powerOnDelayCount(*seconds)));

  setLine(line::kStartDelay, text);
  view_.setSummary(SummaryLine::StartDelay, text);
  showStep(14, plIt(QStringLiteral("Funkcja hamowania silnika (CUTOFF):"),
                    QStringLiteral("Funzione frenata motore (CUTOFF):")));
}

// 14. Cutoff on or off; the installation flags go whole.
void CalibrationWizard::Button151Click() {
  if (step_ != 14) return;
  const bool cutoffOn = view_.choice(Choice::Cutoff) == 0;
  const std::uint8_t flags =
      calibrationFlags(cutoffOn, sampler_.gasSensorPresent(), falling_, state_.lambdaLow,
                       state_.lambdaHigh, state_.tpsLow, state_.tpsHigh);
  send(commands::installationFlags(flags));

  state_.installationFlags = flags;
  setLine(line::kFlags, flags);
  if (cutoffOn) {
    view_.setText(Entry::Edit2, QStringLiteral("20"));
    showStep(15, plIt(QStringLiteral("Podaj poziom silnika krokowego (cutoff):"),
                      QStringLiteral("Scrivi valore attuatore (cutoff):")));
  } else {
    showStep(17, saveOrCancelPrompt(false));
  }
}

// 15. Cutoff stepper position.
void CalibrationWizard::Button161Click() {
  if (step_ != 15) return;
  const QString text = view_.text(Entry::Edit2);
  const auto position = wizardInteger(text);
  if (!position || *position < 0 || *position > kMaxByte)
    return invalidEntry({Entry::Edit2}, allowed::position());
  send(commands::cutoffPosition(*position));

  setLine(line::kCutoffPosition, kMaxByte - *position);
  view_.setSummary(SummaryLine::CutoffLevel, text);
  view_.setText(Entry::Edit2, QStringLiteral("1500"));
  showStep(16, plIt(QStringLiteral("Podaj próg obrotów przy hamowaniu silnika (cutoff)."),
                    QStringLiteral("Soglia giri freno motore (cutoff).")));
}

// 16. Cutoff speed.
void CalibrationWizard::Button171Click() {
  if (step_ != 16) return;
  const QString text = view_.text(Entry::Edit2);
  const auto rpm = wizardInteger(text);
  const auto p = rpm ? period(*rpm) : std::nullopt;
  if (!p) return invalidEntry({Entry::Edit2}, rpmRange());
  send(commands::cutoffSpeed(*p));

  setLine(line::kCutoffPeriod, *p);
  view_.setSummary(SummaryLine::CutoffRpm, text);
  showStep(17, saveOrCancelPrompt(true));
}

// 17. Write the EEPROM.
void CalibrationWizard::ZapisEEprom1Click() {
  if (step_ != 17) return;
  send(commands::writeEeprom());
  showStep(kWizardDone,
           plIt(QStringLiteral("Kalibracja zakończona"), QStringLiteral("Calibrazione terminata")));
}

}  // namespace orvel
