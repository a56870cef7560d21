#include "calibration/CalibrationSampler.h"

#include "core/ControllerState.h"
#include "core/Dialogs.h"
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

CalibrationSampler::CalibrationSampler(LinkControl& link, ControllerState& state)
    : link_(link), state_(state) {}

void CalibrationSampler::startRun(bool idle) {
  // A run started again while its pacing tick is still due would have two requests in flight.
  link_.Timerznak.stop();
  link_.samplesRemaining = kSamples;
  divisor_ = kSamples;
  link_.idleSampling = idle;
  link_.highRpmSampling = !idle;
  sums_.lambda = 0;
  sums_.tps = 0;
  sums_.gas = 0;
  sums_.vacuum = 0;
  if (idle) sums_.period = 0;
  // Completed 02h replies are samples now, not live frames to draw.
  link_.oscilloscopeMode = false;
  try {
    link_.sampleRequest();
  } catch (const AppError&) {
    // A run whose first request never went out is not waiting for anything.
    stop();
    throw;
  }
}

void CalibrationSampler::startIdleRun() {
  startRun(true);
}

void CalibrationSampler::startHighRpmRun() {
  startRun(false);
}

void CalibrationSampler::stop() {
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

void CalibrationSampler::takeIdleSample() {
  sums_.lambda += frameByte(0);
  sums_.tps += frameByte(1);
  sums_.gas += frameByte(2);
  sums_.vacuum += frameByte(3);
  sums_.period += frameByte(5) * 256 + frameByte(4);

  state_.tpsLow = static_cast<std::int32_t>(averageOf(sums_.tps, divisor_));
  gasLow = averageOf(sums_.gas, divisor_);
  vacuumLow = averageOf(sums_.vacuum, divisor_);
  idleAverage = averageOf(sums_.period, divisor_);

  show(SummaryLine::LambdaLow, lambdaVoltText(state_.lambdaLow));
  show(SummaryLine::TpsLow, tpsVoltText(state_.tpsLow));
  gasSensorPresent_ = false;

  if (link_.samplesRemaining > 0) return;
  endIdleRun();
}

void CalibrationSampler::endIdleRun() {
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

void CalibrationSampler::takeHighRpmSample() {
  sums_.lambda += frameByte(0);
  sums_.tps += frameByte(1);
  sums_.gas += frameByte(2);
  sums_.vacuum += frameByte(3);

  state_.tpsHigh = static_cast<std::int32_t>(averageOf(sums_.tps, divisor_));
  gasHigh = averageOf(sums_.gas, divisor_);
  vacuumHigh = averageOf(sums_.vacuum, divisor_);

  show(SummaryLine::LambdaHigh, lambdaVoltText(state_.lambdaHigh));
  show(SummaryLine::TpsHigh, tpsVoltText(state_.tpsHigh));

  if (link_.samplesRemaining > 0) return;
  state_.szablon.setLine(kLambdaHighLine, QString::number(state_.lambdaHigh));
  state_.szablon.setLine(kTpsHighLine, QString::number(state_.tpsHigh));
  if (listener.highRpmRunEnded) listener.highRpmRunEnded();
}

}  // namespace orvel
