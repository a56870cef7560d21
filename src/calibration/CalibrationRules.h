#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

namespace orvel {

// The sixteen summary lines of the autocalibration panel, in the panel's order.
enum class SummaryLine {
  Changeover,       // "Próg przełączania B/G [rpm]:"
  LambdaLow,        // "Dolna wartość LAMBDA [V]:"
  TpsLow,           // "Dolna wartość TPS [V]:"
  LambdaHigh,       // "Górna wartość LAMBDA [V]:"
  TpsHigh,          // "Górna wartość TPS [V]:"
  LambdaThreshold,  // "Próg przełączania LAMBDA:"
  TpsThreshold,     // "Próg przełączenia TPS [V]:"
  MaxRpm,           // "Maksymalne obroty dla gazu:"
  Delta,            // "Delta przy obrotach malejących:"
  StepperStart,     // "Pozycja startowa silnika krok. :"
  StepperRange,     // "Zakres silnika krokowego:"
  Lambda1Wave,      // "TH/TL sondy Lambda1:"
  Lambda2Wave,      // "TH/TL sondy Lambda2:"
  StartDelay,       // "Opóźnienie początkowe [s]:"
  CutoffLevel,      // "Silnik krok. (hamowanie):"
  CutoffRpm,        // "Obroty hamowania silnika:"
};
constexpr int kSummaryLines = 16;
// What a summary value shows before anything was measured or entered.
QString emptySummaryText();
// The status text while the wizard is open.
QString calibrationStatusText();

// The settings editor's fields that the wizard fills in as it goes.
enum class EditorField {
  ChangeoverRpm,  // EditProgGB
  StepperStart,   // EditSilnikopt
  StepperMax,     // Editsilnikmax
  StepperMin,     // EditSilnikmin
};
using EditorFieldSink = std::function<void(EditorField, const QString&)>;

// The lambda probe types of the wizard's first step, in the order of their radio items.
struct ProbeType {
  int lambdaLow;               // raw 0..255 value of the probe's low end (255 = 5 V)
  int lambdaHigh;              // raw value of its high end
  int rangeLine;               // settings template line 33: selects the lambda scale of the charts
  std::uint8_t rangeArgument;  // argument of 1Eh: 0 = 5 V, 1 = 1 V, 2 = 1.6 V
};
constexpr int kProbeTypes = 6;
// An item outside 0..5 is taken as item 0.
ProbeType probeType(int item);

// The proposed lambda threshold: the probe's midpoint in volts as "d.d".
QString defaultLambdaThreshold(int lambdaLow, int lambdaHigh);
// The proposed TPS threshold: a little above the idle value, towards the high-rpm value, as
// "d.dd" (hundredths in steps of 5); "0.50" when both ends are equal.
QString defaultTpsThreshold(int tpsLow, int tpsHigh);

// A voltage as a fitter types it: whole volts, then optionally a point or a comma and up to two
// decimals ("3", "3,0", "3.0", "3.00"; blanks around it do not count). Hundredths of a volt.
std::optional<int> voltHundredths(const QString& text);
// A lambda threshold in tenths of a volt: a voltage whose hundredths digit is 0.
std::optional<int> lambdaThresholdTenths(const QString& text);
// An integer entry, blanks around it not counting.
std::optional<long long> wizardInteger(const QString& text);
// round(tenths × 0.02 × 255), worked out exactly from the digits as 51 × tenths / 10 with halves
// to even: the threshold byte (may exceed 255 for more than 5.0 V).
long long lambdaThresholdRaw(int tenths);
// round(hundredths × 0.002 × 240 × 5/12): the TPS threshold byte, volts × 20.
long long tpsThresholdRaw(int hundredths);

// Lambda simulation wave times in counts of 1/244 s, and the template's quarter of a count.
long long waveCounts(long long ms);     // round(ms × 244 × 0.001)
long long quarterOf(long long counts);  // round(counts × 0.25)

// The installation flags byte as the wizard composes it (bits 0-4; 5-7 are 0).
std::uint8_t calibrationFlags(bool cutoffOn, bool gasSensorPresent, bool fallingChangeover,
                              int lambdaLow, int lambdaHigh, int tpsLow, int tpsHigh);

// One reply to 02h as a sampling run keeps it: lambda, TPS, gas, vacuum, period LSB and MSB,
// stepper, and the reply's closing 01h.
using SampleFrame = std::array<int, 8>;

// The line has no checksum, so a run is judged by what a steady engine can show. Stray bytes that
// shift a reply or take its place give frames that do not close with 01h and whose channels
// jump by far more than these bounds; a steady engine stays well inside them:
// - the period of an idle run within 5 % of the run's median: a warm idle held by the controller
//   wanders by some 20-30 rpm at 800 (3-4 %), the simulated engine by under 1 %;
// - TPS within 3 counts (0.15 V) of the median: a throttle that is not moved reads the same
//   count give or take one, also held by a foot at 3000 rpm;
// - the gas sensor within 8 counts of the median: its signal drifts slowly, a few counts a second.
// A sample inside the bounds moves an average by at most a tenth of them, so an accepted run's
// period is within 0.5 % and its TPS within 0.3 counts of what the engine showed.
constexpr int kPeriodSpreadPercent = 5;
constexpr int kTpsSpread = 3;
constexpr int kGasSpread = 8;
bool steadyRun(const std::array<SampleFrame, 10>& frames, bool idle);

// Averages of a sampling run: the sum over the divisor, rounded half to even.
long long averageOf(long long sum, int divisor);

}  // namespace orvel
