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
// A lambda threshold in tenths of a volt: the whole volts and the first decimal of a voltage;
// a hundredths digit is not read ("2.55" is 2.5 V).
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
int samplePeriod(const SampleFrame& frame);

// The line has no checksum, so a sample is judged by what noise does to a reply, never by how
// steady the engine is: an engine that wanders, misfires or has its valve hunting is what a run
// measures and averages. Noise either breaks a reply (stray bytes shift it, so it does not close
// with 01h; a period of 0 no engine gives) or changes a value by more than an engine can between
// two samples some 60 ms apart. The lines between engine and noise:
// - TPS: kTpsStep counts (0.30 V). A throttle held by foot wobbles by a count or two a sample and
//   a sensor's last digit by one (60/64 alternating is 4); a jump of 8 counts or more is a
//   flipped bit 3-7 or a shifted reply. A flipped bit 0-2 (1 to 4 counts) passes and moves the
//   average by at most 0.4 of a count.
// - Period: kPeriodStepPercent of the smaller of two periods. Idle wanders by a few per cent a
//   sample and a misfire lengthens one revolution by up to a fifth (1300 among 1100s is 18 %);
//   a shifted reply reads gas and vacuum or TPS and gas as the period, tens of times off, and a
//   flipped bit of the high byte changes a period below 1280 by more than a fifth (1100 becomes
//   1356). A flipped bit of the low byte passes: at most 128 counts, 1.2 % of an 1100 average.
// Lambda, gas, vacuum and the valve are not judged: nothing sent to the controller or read by the
// charts comes from them (the gas sum is only noted in the settings template), and a probe, a
// missing gas sensor's open input or a hunting valve swing freely on a healthy engine.
constexpr int kTpsStep = 6;
constexpr int kPeriodStepPercent = 20;
// A reply whose shape no controller gives: no closing 01h, or a period of 0.
bool wellFormedSample(const SampleFrame& frame);
// Two samples an engine can give one after the other.
bool samplesAgree(const SampleFrame& a, const SampleFrame& b);

// Averages of a sampling run: the sum over the divisor, rounded half to even.
long long averageOf(long long sum, int divisor);

}  // namespace orvel
