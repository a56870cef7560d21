#pragma once

#include "calibration/CalibrationRules.h"
#include "calibration/SampleRun.h"

#include <QString>

#include <functional>

namespace orvel {

class LinkControl;
class LinkView;
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
// high-rpm run (TPS high). Each takes ten live frames through the link's sample loop (sample
// request, Timerznak), shows the averages growing on the summary lines as it goes and stores its
// results when the tenth counted frame is in. The loop itself, its pacing and its reply timeout
// belong to LinkControl; the dispatch hands each whole frame to takeIdleSample() or
// takeHighRpmSample() and tells of a broken one through sampleDropped().
//
// Which replies count is SampleRun's judgement: one that noise spoilt is requested again within
// the run, so the run averages ten counted samples; a run that cannot collect ten is given up
// with a message naming the likely cause, and sends and stores nothing.
class CalibrationSampler {
 public:
  static constexpr int kSamples = SampleRun::kSamples;

  struct Listener {
    std::function<void(SummaryLine, const QString&)> showSummary;
    std::function<void()> idleRunEnded;
    std::function<void()> highRpmRunEnded;
    // The changeover speed as typed in the wizard's first step (`editrpm`).
    std::function<QString()> changeoverRpmText;
  };

  CalibrationSampler(LinkControl& link, LinkView& view, ControllerState& state);

  Listener listener;

  // Starting a run while one is going begins it afresh at ten. A run is not started while the
  // service console takes the controller's replies: the fitter is told why, and false returned.
  bool startIdleRun();
  bool startHighRpmRun();
  // Ends whatever run is going: no further request, and frames that still come are not taken.
  void stop();
  void clearPeriodSum() { sums_.period = 0; }

  // The dispatch's hooks; the frame is in the link's receive buffer.
  void takeIdleSample();
  void takeHighRpmSample();
  // A reply of the run that was not whole: it is requested again unless the run is spent.
  void sampleDropped();
  // The link gave the run up (no complete reply in time, or the port failed): what it showed so
  // far is no measurement.
  void runFailed();
  // The end of an rpm scaling run, once the link has given the commands back.
  void rpmScalingEnded();

  const SampleSums& sums() const { return sums_; }
  int divisor() const { return divisor_; }
  const SampleRun& run() const { return run_; }
  // Cleared by every idle sample: no rule tells a fitted gas sensor from its channel.
  bool gasSensorPresent() const { return gasSensorPresent_; }

  // Averages besides those kept in ControllerState.
  long long gasLow = 0;
  long long vacuumLow = 0;
  long long idleAverage = 0;
  long long gasHigh = 0;
  long long vacuumHigh = 0;

 private:
  bool startRun(bool idle);
  void resetRun(bool idle);
  // Judges the frame; true once the tenth sample counts, and the run goes on otherwise.
  bool takeSample(bool idle);
  // Samples remaining, the sums and what the summary lines show follow the counted samples.
  void followRun(bool idle);
  void refuseRun(bool idle);
  void clearShown(bool idle);
  void endIdleRun(long long tpsLow);
  void show(SummaryLine line, const QString& text);
  int frameByte(int k) const;

  LinkControl& link_;
  LinkView& view_;
  ControllerState& state_;
  SampleSums sums_;
  SampleRun run_;
  int divisor_ = kSamples;
  bool gasSensorPresent_ = false;
};

}  // namespace orvel
