#include "monitor/DiagnosisReadout.h"

#include "core/Language.h"

#include <QLabel>

namespace orvel {

namespace {

long long windowSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(DiagnosisReadout::kWindow).count();
}

bool sameProbeAndSensor(const LiveSettings& a, const LiveSettings& b) {
  return a.lambdaKey == b.lambdaKey && a.lambdaLow == b.lambdaLow && a.lambdaHigh == b.lambdaHigh &&
         a.tpsRange == b.tpsRange;
}

Diagnosis nothingYet() {
  Diagnosis none;
  none.dropped = 0;
  return none;
}

}  // namespace

DiagnosisReadout::DiagnosisReadout(QWidget* panel) : label_(new QLabel(panel)) {
  label_->setObjectName(QStringLiteral("DiagnozaOdczyt"));
  label_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label_->setTextFormat(Qt::PlainText);
  // In the panel's own type, as its captions; a figure longer than the column wraps rather than
  // being cut off.
  label_->setWordWrap(true);
  samples_.reserve(4096);
  shown_ = nothingYet();
  retranslate();
}

void DiagnosisReadout::reset(const LiveSettings& settings,
                             std::optional<TpsCalibration> calibration) {
  samples_.clear();
  drops_.clear();
  head_ = 0;
  started_ = false;
  settings_ = settings;
  input_ = diagnosisInput(settings, calibration);
  idle_ = IdleRule(input_);
  show(nothingYet());
}

void DiagnosisReadout::retranslate() {
  label_->setToolTip(tr3("Wskaźniki z ostatnich %1 s, odświeżane co sekundę",
                         "The figures of the last %1 s, refreshed every second",
                         "Indici degli ultimi %1 s, aggiornati ogni secondo")
                         .arg(windowSeconds()));
  show(shown_);
}

void DiagnosisReadout::show(const Diagnosis& d) {
  shown_ = d;
  label_->setText(tr3("Ostatnie %1 s:", "Last %1 s:", "Ultimi %1 s:").arg(windowSeconds()) +
                  QLatin1Char('\n') + diagnosisLines(d, true).join(QLatin1Char('\n')));
  if (rateShown) rateShown(liveRateText(d));
}

void DiagnosisReadout::follow(const LiveSettings& settings) {
  if (sameProbeAndSensor(settings, settings_)) return;
  settings_ = settings;
  input_ = diagnosisInput(settings, input_.calibration);
  // Figures of two probes would mean neither.
  samples_.clear();
  head_ = 0;
  idle_ = IdleRule(input_);
}

void DiagnosisReadout::start(Nanos now) {
  if (started_) return;
  started_ = true;
  origin_ = now;
  nextRefresh_ = now + kRefresh;
}

void DiagnosisReadout::add(Nanos now, const LiveFrame& frame, const EngineSpeed& speed) {
  start(now);
  const qint64 ms = std::chrono::duration_cast<Millis>(now - origin_).count();
  DiagnosisSample sample = diagnosisSample(ms, frame, speed);
  sample.idle = idle_.next(sample);
  samples_.push_back(sample);
  refreshIfDue(now);
}

void DiagnosisReadout::frameDropped(Nanos now) {
  start(now);
  drops_.push_back(now);
  // A line so noisy that no frame comes whole still says so.
  refreshIfDue(now);
}

void DiagnosisReadout::refreshIfDue(Nanos now) {
  if (now < nextRefresh_) return;
  nextRefresh_ = now + kRefresh;
  refresh(now);
}

Diagnosis DiagnosisReadout::current() const {
  Diagnosis d = diagnose(samples_.data() + head_, samples_.data() + samples_.size(), input_);
  d.dropped = static_cast<int>(drops_.size());
  return d;
}

void DiagnosisReadout::refresh(Nanos now) {
  while (!drops_.empty() && drops_.front() < now - kWindow)
    drops_.pop_front();
  const qint64 from = std::chrono::duration_cast<Millis>(now - origin_ - kWindow).count();
  while (head_ < samples_.size() && samples_[head_].timeMs < from)
    ++head_;
  // The samples that left the window are let go of in one piece now and then, not one by one.
  if (head_ > 1024 && head_ * 2 > samples_.size()) {
    samples_.erase(samples_.begin(), samples_.begin() + static_cast<std::ptrdiff_t>(head_));
    head_ = 0;
  }
  show(current());
}

}  // namespace orvel
