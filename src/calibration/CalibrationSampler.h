#pragma once

#include "calibration/CalibrationRules.h"

#include <QString>

#include <functional>

namespace orvel {

class LinkControl;
struct ControllerState;

// The running sums of one sampling run: ten replies to 02h, channel by channel.
struct SampleSums {
  long long lambda = 0;
  long long tps = 0;
  long long gas = 0;
  long long vacuum = 0;
  long long period = 0;  // idle runs only
};

// The calibration's sampling runs: the idle run (TPS low and the idle period reference) and the
// high-rpm run (TPS high). Each takes ten consecutive live frames through the link's sample loop
// (sample request, Timerznak), shows the averages growing on the summary lines as it goes and
// stores its results when the tenth frame is in. The loop itself, its pacing and its reply
// timeout belong to LinkControl; the dispatch hands each complete frame to takeIdleSample() or
// takeHighRpmSample().
class CalibrationSampler {
 public:
  static constexpr int kSamples = 10;

  struct Listener {
    std::function<void(SummaryLine, const QString&)> showSummary;
    std::function<void()> idleRunEnded;
    std::function<void()> highRpmRunEnded;
    // The changeover speed as typed in the wizard's first step (`editrpm`).
    std::function<QString()> changeoverRpmText;
  };

  CalibrationSampler(LinkControl& link, ControllerState& state);

  Listener listener;

  // Starting a run while one is going begins it afresh at ten.
  void startIdleRun();
  void startHighRpmRun();
  // Ends whatever run is going: no further request, and frames that still come are not taken.
  void stop();
  void clearPeriodSum() { sums_.period = 0; }

  // The dispatch's hooks; the frame is in the link's receive buffer.
  void takeIdleSample();
  void takeHighRpmSample();

  const SampleSums& sums() const { return sums_; }
  int divisor() const { return divisor_; }
  // Cleared by every idle sample: no rule tells a fitted gas sensor from its channel.
  bool gasSensorPresent() const { return gasSensorPresent_; }

  // Averages besides those kept in ControllerState.
  long long gasLow = 0;
  long long vacuumLow = 0;
  long long idleAverage = 0;
  long long gasHigh = 0;
  long long vacuumHigh = 0;

 private:
  void startRun(bool idle);
  void endIdleRun();
  void show(SummaryLine line, const QString& text);
  int frameByte(int k) const;

  LinkControl& link_;
  ControllerState& state_;
  SampleSums sums_;
  int divisor_ = kSamples;
  bool gasSensorPresent_ = false;
};

}  // namespace orvel
