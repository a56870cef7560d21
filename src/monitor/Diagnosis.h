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

// Frames count as idle when TPS is within this many counts (0.05 V each) of the closed-throttle
// reading and the engine turns between a standstill and kIdleRpmCeiling; the ceiling keeps
// engine braking with the throttle shut out of the idle figures.
constexpr int kIdleTpsMargin = 3;
constexpr int kIdleRpmCeiling = 1500;
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

// The figures of frames [first, last), which are in time order.
Diagnosis diagnose(const DiagnosisSample* first, const DiagnosisSample* last,
                   const DiagnosisInput& input);

// The figures as text in the interface language: a few short lines for the panel, or a longer
// line per figure for the viewer.
QStringList diagnosisLines(const Diagnosis& d, bool compact);

// A text by the interface language, for labels the program adds to its windows.
QString byLanguage(const char* polish, const char* english, const char* italian);

}  // namespace orvel
