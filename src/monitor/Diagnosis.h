#pragma once

#include "monitor/LiveDecoder.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace orvel {

// The figures a fitter judges a conversion by, computed from decoded live frames. The live panel
// (its last seconds), the drive log viewer (a whole log or a stretch of it) and the tests all go
// through diagnose(), so they cannot disagree.

// One live frame as the figures need it.
struct DiagnosisSample {
  qint64 timeMs = 0;
  std::uint8_t lambda = 0;  // byte 0, lambda probe 1
  std::uint8_t tps = 0;     // byte 1
  std::int32_t rpm = -1;    // the engine-speed bar's value; -1 when the frame gave none
  bool idle = false;        // counted in the idle figures (see IdleRule)
};
DiagnosisSample diagnosisSample(qint64 timeMs, const LiveFrame& frame, const EngineSpeed& speed);

// Lambda probe 1's ends and switching band, in raw counts doubled (0..510 = 0..5 V), so that the
// midpoint of an odd span stays a whole number.
struct ProbeBand {
  int mid2 = 51;
  int richFrom2 = 66;  // the rich state is entered at this value (rich above when richIsHigh)
  int leanFrom2 = 36;  // the lean state is entered at this value
  bool richIsHigh = true;
};
// The band of the probe type the display settings describe: the autocalibration's probe ends when
// it ran, else the ends the lambda range key names; an unknown key is a 0..1 V probe, as the
// chart treats it.
ProbeBand probeBand(const LiveSettings& settings);

// TPS at idle and at about 3000 rpm as the autocalibration measured them.
struct TpsCalibration {
  int low = 0;
  int high = 0;
};

struct DiagnosisInput {
  ProbeBand probe;
  bool tpsFalling = false;  // a 5\0 or 12\0 sensor: the closed throttle reads highest
  std::optional<TpsCalibration> calibration;
};
DiagnosisInput diagnosisInput(const LiveSettings& settings,
                              std::optional<TpsCalibration> calibration);

// The throttle counts as shut while TPS is within this many counts (0.05 V each) of its closed
// reading, and the engine idles between a standstill and kIdleRpmCeiling; the ceiling keeps
// engine braking with the throttle shut out of the idle figures.
constexpr int kIdleTpsMargin = 3;
constexpr int kIdleRpmCeiling = 1500;
// The engine has settled once, with the throttle shut and the speed in the idle band, it has set
// no new low more than kIdleSettleRpm under the last one for kIdleSettleMs.
constexpr qint64 kIdleSettleMs = 2000;
constexpr int kIdleSettleRpm = 25;
// A settled engine below this share of its low is dying away rather than idling.
constexpr double kIdleDyingShare = 0.75;
// TPS is said to have left the calibrated range only beyond this many counts, so that the
// converter's last digit does not raise the alarm.
constexpr int kTpsCalibrationTolerance = 2;

struct Diagnosis {
  int frames = 0;
  qint64 spanMs = 0;  // first to last frame
  int crossings = 0;  // rich/lean changes of state counted with the band
  double crossingsPerSecond = 0;
  double richShare = 0;  // frames on the rich side of the midpoint, 0..1
  int lambdaMin = 0;     // raw counts
  int lambdaMax = 0;
  int idleFrames = 0;
  double idleRpmMean = 0;
  double idleRpmStdDev = 0;  // over the idle frames themselves
  int tpsMin = 0;
  int tpsMax = 0;
  bool calibrationKnown = false;
  bool tpsBelowCalibration = false;
  bool tpsAboveCalibration = false;
  // Live frames that came broken (noise on the line) within the same stretch: the panel shows
  // them beside the rate of the whole ones. -1 where nobody counted them (a recorded log).
  int dropped = -1;
};

// Tells, frame by frame in time order, which frames count in the idle figures: only those after
// the engine has settled with the throttle shut. The closed reading is the calibrated idle TPS
// when it is known, else the furthest-closed TPS seen so far. The engine running down after a
// rev keeps setting new lows until it has settled, and its frames would read as an unsteady
// idle; an idle that hunts or jitters keeps coming back to lows it has already made, so it
// settles and counts with all its spread. A frame without a speed (no reference, interference)
// neither counts nor breaks the stretch; the throttle opening, the speed leaving the band or a
// stall (below 300 rpm) ends it, and the frames of the engine dying before a stall do not count.
class IdleRule {
 public:
  explicit IdleRule(const DiagnosisInput& input);
  bool next(const DiagnosisSample& s);

 private:
  bool tpsFalling_;
  int closed_ = -1;  // -1 until a frame or the calibration gives it
  bool calibrated_ = false;
  bool shut_ = false;  // a stretch with the throttle shut is under way
  bool settled_ = false;
  int low_ = 0;
  qint64 lowAt_ = 0;
};

// The figures of frames [first, last), which are in time order and carry their idle marks.
Diagnosis diagnose(const DiagnosisSample* first, const DiagnosisSample* last,
                   const DiagnosisInput& input);

// The figures as text in the interface language: short lines for the panel's narrow column, or
// a line per figure for the viewer.
QStringList diagnosisLines(const Diagnosis& d, bool compact);
// The live loop's frames a second over the stretch and the frames dropped as broken meanwhile,
// for the status bar while the live mode runs; empty for figures that count no drops (a log).
QString liveRateText(const Diagnosis& d);

}  // namespace orvel
