#include "settings/SettingsSends.h"

#include "core/Dialogs.h"
#include "settings/Conversions.h"

namespace orvel::sends {

namespace {

constexpr long long kMaxWord = 0xFFFF;
constexpr long long kMaxShapeMs = 4000;

long long integerOrThrow(const QString& text) {
  const auto value = parseInteger(text);
  if (!value) throw ConversionError(text);
  return *value;
}

// Hundredths of a volt from a threshold volt text; a character that is not a digit is reported
// as the conversion error of that one character, as the text is read digit by digit.
long long voltHundredthsOrThrow(const QString& text) {
  int bad = 0;
  const auto hundredths = hundredthsFromVoltText(text, &bad);
  if (!hundredths) throw ConversionError(text.mid(bad, 1));
  return *hundredths;
}

SendOutcome sent(Command command) {
  SendOutcome out;
  out.command = std::move(command);
  return out;
}

SendOutcome refused(std::vector<int> inputsToClear) {
  SendOutcome out;
  out.notices.push_back({editor_text::invalidValue(), std::move(inputsToClear)});
  return out;
}

bool isPosition(long long value) {
  return value >= 0 && value <= 255;
}

// A period that the controller can hold: a zero period would mean an infinite speed and 16 bits
// are all it has.
std::optional<long long> sendablePeriod(long long rpm, long long reference) {
  if (rpm <= 0) return std::nullopt;
  const auto period = periodFromRpm(reference, rpm);
  if (!period || *period <= 0 || *period > kMaxWord) return std::nullopt;
  return period;
}

SendOutcome rpmSend(Command (*make)(long long), const QString& rpmText, long long reference) {
  if (rpmText.isEmpty()) return {};
  const auto period = sendablePeriod(integerOrThrow(rpmText), reference);
  if (!period) return refused({0});
  return sent(make(*period));
}

SendOutcome positionSend(Command (*make)(long long), const QString& text) {
  if (text.isEmpty()) return {};
  const long long position = integerOrThrow(text);
  if (!isPosition(position)) return refused({0});
  return sent(make(position));
}

SendOutcome stepperSpeed(Command (*make)(long long), const QString& text) {
  // An empty field is not a number either: both messages, as for any unreadable text.
  SendOutcome out;
  const auto parsed = parseInteger(text);
  if (!parsed) out.notices.push_back({editor_text::badSpeed(), {0}});
  // What could not be read counts as 0, which the range check then refuses as well.
  const long long speed = parsed.value_or(0);
  if (speed < 1 || speed > 24) {
    out.notices.push_back({editor_text::speedRange(), {0}});
    return out;
  }
  out.command = make(stepperSpeedCode(speed));
  return out;
}

SendOutcome lambdaShape(Command (*make)(long long, long long), const QString& highText,
                        const QString& lowText) {
  SendOutcome out;
  // An unreadable time (an empty field included) is reported and nothing is sent: taking it as
  // 0 would switch the simulation to a shape the fitter never typed.
  const auto high16 = parseInteger(highText);
  const auto low16 = high16 ? parseInteger(lowText) : std::nullopt;
  if (!high16 || !low16) {
    out.notices.push_back({editor_text::badShape(), {}});
    return out;
  }
  // Times travel as unsigned 16-bit values. The sum is checked in full: cut to 16 bits, a
  // "negative" TL such as -36 (65500) would pass and send a period shorter than the high time.
  const long long high = *high16 & kMaxWord;
  const long long low = *low16 & kMaxWord;
  if (high > kMaxShapeMs || high + low > kMaxShapeMs) {
    out.notices.push_back({editor_text::shapeRange(), {}});
    return out;
  }
  out.command = make(lambdaCountFromMs(high), lambdaCountFromMs(high + low));
  out.shape = LambdaShape{high, low};
  return out;
}

}  // namespace

SendOutcome tpsThreshold(const QString& volts) {
  if (volts.isEmpty()) return {};
  // At most 9.99 V can be read back, which is 200: always a byte.
  return sent(commands::tpsThreshold(tpsRawFromHundredths(voltHundredthsOrThrow(volts))));
}

SendOutcome lambdaThreshold(const QString& volts) {
  if (volts.isEmpty()) return {};
  const long long raw = lambdaRawFromHundredths(voltHundredthsOrThrow(volts));
  // Above 5.00 V the byte would wrap round to a threshold near 0 V.
  if (raw > 255) return refused({0});
  return sent(commands::lambdaThreshold(raw));
}

SendOutcome changeoverSpeed(const QString& rpm, long long reference) {
  return rpmSend(&commands::changeoverSpeed, rpm, reference);
}

SendOutcome startDelay(const QString& seconds) {
  if (seconds.isEmpty()) return {};
  const long long s = integerOrThrow(seconds);
  if (s < 0 || 5 * s > 255) return refused({0});
  return sent(commands::powerOnDelay(powerOnDelayCount(s)));
}

SendOutcome maxSpeed(const QString& rpm, long long reference) {
  return rpmSend(&commands::maxSpeedOnGas, rpm, reference);
}

SendOutcome accelerationSteps(const QString& steps) {
  if (steps.isEmpty()) return {};
  const long long v = integerOrThrow(steps);
  if (v < 2 || v > 50) return {};
  return sent(commands::accelerationSteps(v));
}

SendOutcome fallingDelta(const QString& changeoverRpm, const QString& deltaRpm,
                         long long reference) {
  // Only the changeover field must be filled; an empty delta is an unreadable number.
  if (changeoverRpm.isEmpty()) return {};
  const long long changeover = integerOrThrow(changeoverRpm);
  const long long delta = integerOrThrow(deltaRpm);
  // The delta's OK reports on the delta only: a changeover speed that cannot be sent is
  // refused by its own OK.
  if (delta < 0 || delta >= changeover) return refused({1});
  const auto upper = sendablePeriod(changeover, reference);
  const auto lower = sendablePeriod(changeover - delta, reference);
  if (!upper || !lower) return refused({1});
  const long long difference = *lower - *upper;
  if (difference < 0 || difference > kMaxWord) return refused({1});
  return sent(commands::fallingDelta(difference));
}

SendOutcome idleStepperSpeed(const QString& speed) {
  return stepperSpeed(&commands::idleStepperSpeed, speed);
}

SendOutcome secondStepperSpeed(const QString& speed) {
  return stepperSpeed(&commands::secondStepperSpeed, speed);
}

SendOutcome lambda1Shape(const QString& high, const QString& low) {
  return lambdaShape(&commands::lambda1Shape, high, low);
}

SendOutcome lambda2Shape(const QString& high, const QString& low) {
  return lambdaShape(&commands::lambda2Shape, high, low);
}

SendOutcome stepperRange(const QString& maxPosition, const QString& minPosition) {
  if (maxPosition.isEmpty() || minPosition.isEmpty()) return {};
  const long long max = integerOrThrow(maxPosition);
  const long long min = integerOrThrow(minPosition);
  std::vector<int> outOfRange;
  if (!isPosition(max)) outOfRange.push_back(0);
  if (!isPosition(min)) outOfRange.push_back(1);
  if (!outOfRange.empty()) return refused(std::move(outOfRange));
  return sent(commands::stepperRange(max, min));
}

SendOutcome stepperStart(const QString& position) {
  return positionSend(&commands::stepperStart, position);
}

SendOutcome cutoffPosition(const QString& position) {
  return positionSend(&commands::cutoffPosition, position);
}

SendOutcome cutoffSpeed(const QString& rpm, long long reference) {
  return rpmSend(&commands::cutoffSpeed, rpm, reference);
}

}  // namespace orvel::sends
