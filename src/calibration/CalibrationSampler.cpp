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
  run_.reset();
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
    showMessage(tr3("Pomiar czeka: konsola serwisowa jest otwarta i odbiera odpowiedzi "
                    "sterownika.\r\nZamknij konsolę i uruchom pomiar ponownie.",
                    "The measurement waits: the service console is open and takes the controller's "
                    "replies.\r\nClose the console and start the measurement again.",
                    "La misura attende: la console di servizio è aperta e riceve le risposte della "
                    "centralina.\r\nChiudere la console e riprovare."),
                warningTitle(), MessageIcon::Warning);
    return false;
  }
  // A run started again while its pacing tick is still due would have two requests in flight.
  link_.Timerznak.stop();
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
  SampleFrame frame{};
  for (int k = 0; k < static_cast<int>(frame.size()); ++k)
    frame[static_cast<std::size_t>(k)] = frameByte(k);
  run_.offer(frame);
  followRun(idle);
  if (run_.complete()) return true;
  if (run_.exhausted()) refuseRun(idle);
  return false;
}

void CalibrationSampler::sampleDropped() {
  if (!link_.idleSampling && !link_.highRpmSampling) return;
  run_.offerBroken();
  if (run_.exhausted()) refuseRun(link_.idleSampling);
}

void CalibrationSampler::followRun(bool idle) {
  // The dispatch counted the reply down; a reply that did not count, or a run that went on from
  // two new samples, puts it back.
  link_.samplesRemaining = kSamples - run_.counted();
  sums_.lambda = 0;
  sums_.tps = 0;
  sums_.gas = 0;
  sums_.vacuum = 0;
  if (idle) sums_.period = 0;
  for (int i = 0; i < run_.counted(); ++i) {
    const SampleFrame& f = run_.sample(i);
    sums_.lambda += f[0];
    sums_.tps += f[1];
    sums_.gas += f[2];
    sums_.vacuum += f[3];
    if (idle) sums_.period += samplePeriod(f);
  }
  if (run_.counted() == 0) return;
  // The averages grow by tenths as the run goes; they become results only at its end.
  const int tps = static_cast<int>(averageOf(sums_.tps, divisor_));
  show(idle ? SummaryLine::LambdaLow : SummaryLine::LambdaHigh,
       lambdaVoltText(idle ? state_.lambdaLow : state_.lambdaHigh));
  show(idle ? SummaryLine::TpsLow : SummaryLine::TpsHigh, tpsVoltText(tps));
}

void CalibrationSampler::refuseRun(bool idle) {
  const SampleRun spent = run_;
  stop();
  clearShown(idle);
  // As when the controller does not answer: the commands come back, and the wizard's step (or
  // F8) starts the run again.
  view_.setStatusText(QString());
  QString text;
  if (spent.likelyCause() == SampleRun::Cause::Line) {
    text = tr3("Zakłócenia na linii: pomiar nieudany.\r\nUszkodzone odpowiedzi sterownika: %1 "
               "z %2. Sprawdź przewody i złącze sterownika i spróbuj ponownie.",
               "Interference on the line: the measurement failed.\r\nBroken replies from the "
               "controller: %1 of %2. Check the cables and the controller's connector and try "
               "again.",
               "Disturbi sulla linea: misura non riuscita.\r\nRisposte della centralina "
               "danneggiate: %1 su %2. Controllare i cavi e il connettore della centralina e "
               "riprovare.")
               .arg(spent.broken())
               .arg(spent.replies());
  } else {
    text =
        tr3("Pomiar nieudany: silnik nie pracował równo.\r\nObroty lub przepustnica "
            "zmieniały się zbyt mocno między odczytami. Utrzymaj stałe obroty i spróbuj "
            "ponownie.",
            "The measurement failed: the engine did not run steadily.\r\nThe speed or the "
            "throttle changed too much between readings. Hold the speed steady and try "
            "again.",
            "Misura non riuscita: il motore non girava regolarmente.\r\nI giri o la farfalla "
            "cambiavano troppo tra le letture. Mantenere i giri costanti e riprovare.");
  }
  showMessage(text, warningTitle(), MessageIcon::Warning);
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
  view_.setStatusTextFrom([reference = state_.idlePeriodReference] {
    return tr3("Skalowanie obrotów: okres %1 przyjęty jako 800 obr/min",
               "Rpm scaling: period %1 taken as 800 rpm",
               "Taratura giri: periodo %1 preso come 800 giri/min")
        .arg(reference);
  });
}

void CalibrationSampler::takeHighRpmSample() {
  if (!takeSample(false)) return;
  state_.tpsHigh = static_cast<std::int32_t>(averageOf(sums_.tps, divisor_));
  gasHigh = averageOf(sums_.gas, divisor_);
  vacuumHigh = averageOf(sums_.vacuum, divisor_);

  state_.szablon.setLine(kLambdaHighLine, QString::number(state_.lambdaHigh));
  state_.szablon.setLine(kTpsHighLine, QString::number(state_.tpsHigh));
  if (listener.highRpmRunEnded) listener.highRpmRunEnded();
}

}  // namespace orvel
