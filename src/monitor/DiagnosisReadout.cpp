#include "monitor/DiagnosisReadout.h"

#include <QLabel>

namespace orvel {

namespace {

bool sameProbeAndSensor(const LiveSettings& a, const LiveSettings& b) {
  return a.lambdaKey == b.lambdaKey && a.lambdaLow == b.lambdaLow && a.lambdaHigh == b.lambdaHigh &&
         a.tpsRange == b.tpsRange;
}

}  // namespace

DiagnosisReadout::DiagnosisReadout(QWidget* panel) : label_(new QLabel(panel)) {
  label_->setObjectName(QStringLiteral("DiagnozaOdczyt"));
  label_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label_->setTextFormat(Qt::PlainText);
  // The panel's own read-outs stay the eye-catchers; the figures are small print beside them.
  QFont f = label_->font();
  f.setPointSize(7);
  label_->setFont(f);
  label_->setToolTip(byLanguage("Ostatnie 10 s, odświeżane co sekundę", "Last 10 s, every second",
                                "Ultimi 10 s, ogni secondo"));
  samples_.reserve(4096);
}

void DiagnosisReadout::reset(const LiveSettings& settings,
                             std::optional<TpsCalibration> calibration) {
  samples_.clear();
  drops_.clear();
  head_ = 0;
  started_ = false;
  settings_ = settings;
  input_ = diagnosisInput(settings, calibration);
  label_->setToolTip(byLanguage("Ostatnie 10 s, odświeżane co sekundę", "Last 10 s, every second",
                                "Ultimi 10 s, ogni secondo"));
  Diagnosis none;
  none.dropped = 0;
  label_->setText(diagnosisLines(none, true).join(QLatin1Char('\n')));
}

void DiagnosisReadout::follow(const LiveSettings& settings) {
  if (sameProbeAndSensor(settings, settings_)) return;
  settings_ = settings;
  input_ = diagnosisInput(settings, input_.calibration);
  // Figures of two probes would mean neither.
  samples_.clear();
  head_ = 0;
}

void DiagnosisReadout::add(Nanos now, const LiveFrame& frame, const EngineSpeed& speed) {
  if (!started_) {
    started_ = true;
    origin_ = now;
    nextRefresh_ = now + kRefresh;
  }
  const qint64 ms = std::chrono::duration_cast<Millis>(now - origin_).count();
  samples_.push_back(diagnosisSample(ms, frame, speed));
  refreshIfDue(now);
}

void DiagnosisReadout::frameDropped(Nanos now) {
  if (!started_) {
    started_ = true;
    origin_ = now;
    nextRefresh_ = now + kRefresh;
  }
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
  label_->setText(diagnosisLines(current(), true).join(QLatin1Char('\n')));
}

}  // namespace orvel
