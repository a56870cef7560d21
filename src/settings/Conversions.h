#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace orvel {

// Round to nearest, halves to the even neighbour (the controller's documentation and every
// figure a fitter compares against were made that way; std::round would differ at the halves).
long long roundHalfEven(double x);

// Engine speed is never derived from the controller's clock: every rpm value is a ratio against
// the idle period reference R, the engine period measured at idle, taken as exactly 800 rpm.
//   rpm = round(R / period * 800)          period = round(800 / rpm * R)
// Both return nothing where the formula divides by zero.
std::optional<long long> rpmFromPeriod(long long reference, long long period);
std::optional<long long> periodFromRpm(long long reference, long long rpm);

// Lambda simulation times: one count is 1/244 s.
double lambdaMsFromCount(long long count);      // count * 1000 * (1/244)
long long lambdaCountFromMs(long long ms);      // (244 * ms + 499) div 1000, halves down
long long lambdaCountFromMsRounded(double ms);  // round(ms * 244 / 1000)

// Petrol-to-gas changeover delay: one count is 4.096 ms (16384 / 4 MHz).
long long changeoverDelayCountFromSeconds(double seconds);  // round(s * 4,000,000 / 16384)
long long changeoverDelayMsShown(long long count);          // round(count * 512 * 0.008 * 0.1) * 10

// Delay after power-on: one count is 200 ms.
std::uint8_t powerOnDelayCount(long long seconds);  // low 8 bits of 5 * seconds
long long powerOnDelaySeconds(long long count);     // round(count * 0.2)

// Stepper speed 1..24 ("times slower") and its 16-bit code.
long long stepperSpeedCode(long long speed);     // (25 - speed) * 2650
long long stepperSpeedFromCode(long long code);  // round(25 - code * (1/2650))

// Threshold volt text: whole volts, ".", hundredths rounded to a multiple of 5 (two digits).
QString thresholdVoltText(double volts);
// Hundredths of a volt read back from a threshold volt text: character 0 is the whole volts,
// character 2 the tenths and, if present, character 3 the hundredths; character 1 is not looked
// at. Nothing when one of them is not a digit 0-9 (so only a single-digit whole part can be read
// back); badPosition then gets the first such position, which may lie past the end of the text.
std::optional<int> hundredthsFromVoltText(const QString& text, int* badPosition = nullptr);

// Hundredths of a volt from a decimal text as people type it: whole volts of at most two digits,
// then optionally "." or "," and at most two digits of fraction ("3", "3,0", "3.", "3.00" and
// ",5" are all read). Nothing for anything else: a sign, a blank, a third decimal.
std::optional<int> hundredthsFromDecimalText(const QString& text);

// A whole number as fitters type it: an optional sign and decimal digits 0-9, nothing else (no
// blanks, no hex), within the 32-bit range of the controller tools. Nothing otherwise.
std::optional<long long> parseInteger(const QString& text);

// TPS threshold byte: volts = raw * 12 * (1/240); back: (H + 2) div 5.
double tpsVolts(long long raw);
long long tpsRawFromHundredths(long long hundredths);
// Lambda threshold byte: volts = raw * 5 * (1/255); back: (51 * H + 49) div 100.
double lambdaVolts(long long raw);
long long lambdaRawFromHundredths(long long hundredths);

// Two-decimal volt texts of the live and calibration read-outs: whole volts, ".", the hundredths
// truncated. They are computed in integers: the floating-point product would show, for example,
// TPS 23 (1.15 V) as 1.14.
QString lambdaVoltText(int raw);  // raw * 5 / 255 V
QString tpsVoltText(int raw);     // raw * 12 / 240 V, 0.05 V per count

// round(v / 2): the half of a width or height in the layout rules.
int halfRounded(int v);

// The rpm shown in the settings editor: round(rpm * 0.01) * 100.
long long editorRpm(long long rpm);

}  // namespace orvel
