#pragma once

#include "link/Timers.h"
#include "monitor/Diagnosis.h"

#include <vector>

class QLabel;
class QWidget;

namespace orvel {

// The oscilloscope panel's read-out of the diagnosis figures over the last ten seconds, refreshed
// once a second, in a narrow column of the panel's own type. Each frame costs one sample
// appended and marked by the idle rule, which sees every frame of the visit; the figures and the
// text are made only on the refresh.
class DiagnosisReadout {
 public:
  static constexpr Nanos kWindow = std::chrono::seconds(10);
  static constexpr Nanos kRefresh = std::chrono::seconds(1);

  explicit DiagnosisReadout(QWidget* panel);

  QLabel* label() const { return label_; }
  // A new visit of the mode: the figures start again from nothing.
  void reset(const LiveSettings& settings, std::optional<TpsCalibration> calibration);
  // Rows of a log recorded in another visit bring their own probe and sensor.
  void follow(const LiveSettings& settings);
  void add(Nanos now, const LiveFrame& frame, const EngineSpeed& speed);
  // The language has changed: the figures on show are said again.
  void retranslate();

  // The figures of the samples kept now.
  Diagnosis current() const;

 private:
  void refresh();
  void show(const Diagnosis& d);

  QLabel* label_;
  std::vector<DiagnosisSample> samples_;
  std::size_t head_ = 0;  // the samples before it have left the window
  Nanos origin_{0};
  Nanos nextRefresh_{0};
  bool started_ = false;
  LiveSettings settings_;
  DiagnosisInput input_;
  IdleRule idle_{DiagnosisInput{}};
  Diagnosis shown_;
};

}  // namespace orvel
