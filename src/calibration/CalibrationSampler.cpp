#include "calibration/CalibrationSampler.h"

#include "core/ControllerState.h"
#include "core/Dialogs.h"
#include "core/Language.h"
#include "link/LinkControl.h"
#include "settings/Conversions.h"

#include <algorithm>

namespace orvel {

namespace {

// Template lines the runs write (values in raw controller units).
constexpr int kChangeoverLine = 9;
constexpr int kIdleReferenceLine = 26;
constexpr int kLambdaLowLine = SettingsTemplate::kLambdaMinimumLine;   // 31
constexpr int kLambdaHighLine = SettingsTemplate::kLambdaMaximumLine;  // 33
constexpr int kTpsLowLine = 35;
constexpr int kTpsHighLine = 37;
constexpr int kGasSumLine = 39;

}  // namespace

CalibrationSampler::CalibrationSampler(LinkControl& link, LinkView& view, ControllerState& state)
    : link_(link), view_(view), state_(state) {}

void CalibrationSampler::resetRun(bool idle) {
  link_.samplesRemaining = kSamples;
  divisor_ = kSamples;
  sums_.lambda = 0;
  sums_.tps = 0;
  sums_.gas = 0;
  sums_.vacuum = 0;
  if (idle) sums_.period = 0;
}

bool CalibrationSampler::startRun(bool idle) {
  if (link_.serviceMode) {
    // Every byte goes to the console while it is open: the run would wait for replies it never
    // gets.
    showMessage(
        plIt(QStringLiteral("Pomiar czeka: konsola serwisowa jest otwarta i odbiera "
                            "odpowiedzi sterownika.\r\nZamknij konsolę i uruchom pomiar "
                            "ponownie."),
             QStringLiteral("La misura attende: la console di servizio è aperta e riceve "
                            "le risposte del sistema.\r\nChiudere la console e riprovare.")),
        attentionTitle(), MessageIcon::Warning);
    return false;
  }
  // A run started again while its pacing tick is still due would have two requests in flight.
  link_.Timerznak.stop();
  attempt_ = 1;
  resetRun(idle);
  link_.idleSampling = idle;
  link_.highRpmSampling = !idle;
  // Completed 02h replies are samples now, not live frames to draw.
  link_.oscilloscopeMode = false;
  try {
    link_.sampleRequest();
  } catch (const AppError&) {
    // A run whose first request never went out is not waiting for anything.
    stop();
    throw;
  }
  return true;
}

bool CalibrationSampler::startIdleRun() {
  return startRun(true);
}

bool CalibrationSampler::startHighRpmRun() {
  return startRun(false);
}

void CalibrationSampler::stop() {
  // A run cut short (cancelled, taken over) leaves no partial average to be read as a result.
  runFailed();
  link_.Timerznak.stop();
  // A request still unanswered would otherwise report a silent controller after the run is gone.
  link_.Timer1.stop();
  link_.idleSampling = false;
  link_.highRpmSampling = false;
}

int CalibrationSampler::frameByte(int k) const {
  return std::max(0, link_.byte(k));
}

void CalibrationSampler::show(SummaryLine line, const QString& text) {
  if (listener.showSummary) listener.showSummary(line, text);
}

void CalibrationSampler::clearShown(bool idle) {
  show(idle ? SummaryLine::LambdaLow : SummaryLine::LambdaHigh, emptySummaryText());
  show(idle ? SummaryLine::TpsLow : SummaryLine::TpsHigh, emptySummaryText());
}

bool CalibrationSampler::takeSample(bool idle) {
  const int index = std::clamp(kSamples - 1 - link_.samplesRemaining, 0, kSamples - 1);
  SampleFrame& frame = frames_[static_cast<std::size_t>(index)];
  for (int k = 0; k < static_cast<int>(frame.size()); ++k)
    frame[static_cast<std::size_t>(k)] = frameByte(k);
  sums_.lambda += frame[0];
  sums_.tps += frame[1];
  sums_.gas += frame[2];
  sums_.vacuum += frame[3];
  if (idle) sums_.period += frame[5] * 256 + frame[4];

  // The averages grow by tenths as the run goes; they become results only at its end.
  const int tps = static_cast<int>(averageOf(sums_.tps, divisor_));
  show(idle ? SummaryLine::LambdaLow : SummaryLine::LambdaHigh,
       lambdaVoltText(idle ? state_.lambdaLow : state_.lambdaHigh));
  show(idle ? SummaryLine::TpsLow : SummaryLine::TpsHigh, tpsVoltText(tps));

  if (link_.samplesRemaining > 0) return false;
  if (steadyRun(frames_, idle)) return true;
  if (attempt_ >= kAttempts) {
    refuseRun(idle);
    return false;
  }
  ++attempt_;
  clearShown(idle);
  view_.setStatusText(plIt(QStringLiteral("Zakłócenia na linii: pomiar powtórzony"),
                           QStringLiteral("Disturbi sulla linea: misura ripetuta")));
  // The dispatch's pacing tick sends the first request of the new attempt.
  resetRun(idle);
  return false;
}

void CalibrationSampler::refuseRun(bool idle) {
  stop();
  clearShown(idle);
  // As when the controller does not answer: the commands come back, and the wizard's step (or
  // F8) starts the run again.
  view_.setStatusText(QString());
  showMessage(plIt(QStringLiteral("Zakłócenia na linii: pomiar nieudany.\r\nSprawdź przewody "
                                  "sterownika i spróbuj ponownie."),
                   QStringLiteral("Disturbi sulla linea: misura non riuscita.\r\nControllare i "
                                  "cavi del sistema e riprovare.")),
              attentionTitle(), MessageIcon::Warning);
  view_.setCommandsEnabled(kAllButtons | kItemScope | kItemScaling, true);
}

void CalibrationSampler::runFailed() {
  if (link_.samplesRemaining <= 0) return;  // the run had ended; its results stand
  if (link_.idleSampling) clearShown(true);
  if (link_.highRpmSampling) clearShown(false);
}

void CalibrationSampler::takeIdleSample() {
  const bool complete = takeSample(true);
  gasSensorPresent_ = false;
  if (complete) endIdleRun(averageOf(sums_.tps, divisor_));
}

void CalibrationSampler::endIdleRun(long long tpsLow) {
  state_.tpsLow = static_cast<std::int32_t>(tpsLow);
  gasLow = averageOf(sums_.gas, divisor_);
  vacuumLow = averageOf(sums_.vacuum, divisor_);
  idleAverage = averageOf(sums_.period, divisor_);
  if (attempt_ > 1 && !link_.rpmScalingOnly) view_.setStatusText(calibrationStatusText());

  SettingsTemplate& t = state_.szablon;
  t.setLine(kLambdaLowLine, QString::number(state_.lambdaLow));
  t.setLine(kTpsLowLine, QString::number(state_.tpsLow));
  t.setLine(kGasSumLine, QString::number(sums_.gas));
  state_.idlePeriodReference = static_cast<std::int32_t>(idleAverage);
  t.setLine(kIdleReferenceLine, QString::number(state_.idlePeriodReference));

  link_.delay(100);
  if (!link_.rpmScalingOnly) link_.send(commands::idlePeriodReference(state_.idlePeriodReference));

  // The changeover period follows the new reference. The rpm scaling runs with the wizard's
  // field wherever an earlier wizard left it; a field that holds no usable speed leaves the line.
  const QString rpmText = listener.changeoverRpmText ? listener.changeoverRpmText() : QString();
  if (const auto rpm = parseInteger(rpmText)) {
    if (const auto period = periodFromRpm(state_.idlePeriodReference, *rpm))
      t.setLine(kChangeoverLine, QString::number(*period));
  }

  if (listener.idleRunEnded) listener.idleRunEnded();
}

void CalibrationSampler::rpmScalingEnded() {
  view_.setStatusText(plIt(QStringLiteral("Skalowanie obrotów: okres %1 przyjęty jako 800 obr/min"),
                           QStringLiteral("Taratura giri: periodo %1 preso come 800 giri/min"))
                          .arg(state_.idlePeriodReference));
}

void CalibrationSampler::takeHighRpmSample() {
  if (!takeSample(false)) return;
  state_.tpsHigh = static_cast<std::int32_t>(averageOf(sums_.tps, divisor_));
  gasHigh = averageOf(sums_.gas, divisor_);
  vacuumHigh = averageOf(sums_.vacuum, divisor_);
  if (attempt_ > 1) view_.setStatusText(calibrationStatusText());

  state_.szablon.setLine(kLambdaHighLine, QString::number(state_.lambdaHigh));
  state_.szablon.setLine(kTpsHighLine, QString::number(state_.tpsHigh));
  if (listener.highRpmRunEnded) listener.highRpmRunEnded();
}

}  // namespace orvel
