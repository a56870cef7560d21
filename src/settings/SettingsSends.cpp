#include "settings/SettingsSends.h"

#include "core/Dialogs.h"
#include "settings/Conversions.h"

#include <algorithm>

namespace orvel::sends {

namespace {

constexpr long long kMaxWord = 0xFFFF;
constexpr long long kMaxShapeMs = 4000;
// No engine turns faster, and the rpm fields take four digits.
constexpr long long kMaxRpm = 9999;
constexpr int kMaxTpsHundredths = 1000;    // the top of "[0..10] V"
constexpr int kMaxLambdaHundredths = 500;  // "[0..5] V": 255, the largest byte

SendOutcome sent(Command command) {
  SendOutcome out;
  out.command = std::move(command);
  return out;
}

SendOutcome refused(std::vector<int> inputsToClear, const QString& allowed) {
  SendOutcome out;
  out.notices.push_back({invalidEntryText(allowed), std::move(inputsToClear), invalidEntryTitle()});
  return out;
}

QString span(long long low, long long high, const QString& unit = QString()) {
  QString text = QStringLiteral("%1...%2").arg(low).arg(high);
  if (!unit.isEmpty()) text += QLatin1Char(' ') + unit;
  return text;
}

QString voltSpan(int maxHundredths) {
  return QStringLiteral("0.00...%1.%2 V")
      .arg(maxHundredths / 100)
      .arg(maxHundredths % 100, 2, 10, QLatin1Char('0'));
}

const QString kPositions = span(0, 255);

bool isPosition(long long value) {
  return value >= 0 && value <= 255;
}

// A period that the controller can hold: a zero period would mean an infinite speed and 16 bits
// are all it has.
std::optional<long long> sendablePeriod(long long rpm, long long reference) {
  if (rpm <= 0 || rpm > kMaxRpm) return std::nullopt;
  const auto period = periodFromRpm(reference, rpm);
  if (!period || *period <= 0 || *period > kMaxWord) return std::nullopt;
  return period;
}

// The lowest rpm whose period fits 16 bits against this reference; nothing when none up to the
// highest does.
std::optional<long long> lowestSendableRpm(long long reference) {
  if (reference <= 0) return std::nullopt;
  long long rpm = std::max(1LL, static_cast<long long>(800.0 * reference / (kMaxWord + 1.0)));
  while (rpm > 1 && sendablePeriod(rpm - 1, reference))
    --rpm;
  while (rpm <= kMaxRpm && !sendablePeriod(rpm, reference))
    ++rpm;
  if (rpm > kMaxRpm) return std::nullopt;
  return rpm;
}

QString rpmSpan(long long reference) {
  const auto lowest = lowestSendableRpm(reference);
  return lowest ? span(*lowest, kMaxRpm, QStringLiteral("rpm")) : QString();
}

SendOutcome rpmSend(Command (*make)(long long), const QString& rpmText, long long reference) {
  if (rpmText.isEmpty()) return {};
  const auto rpm = parseInteger(rpmText);
  const auto period = rpm ? sendablePeriod(*rpm, reference) : std::nullopt;
  if (!period) return refused({0}, rpmSpan(reference));
  return sent(make(*period));
}

SendOutcome positionSend(Command (*make)(long long), const QString& text) {
  if (text.isEmpty()) return {};
  const auto position = parseInteger(text);
  if (!position || !isPosition(*position)) return refused({0}, kPositions);
  return sent(make(*position));
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
  const auto hundredths = hundredthsFromDecimalText(volts);
  if (!hundredths || *hundredths > kMaxTpsHundredths)
    return refused({0}, voltSpan(kMaxTpsHundredths));
  return sent(commands::tpsThreshold(tpsRawFromHundredths(*hundredths)));
}

SendOutcome lambdaThreshold(const QString& volts) {
  if (volts.isEmpty()) return {};
  const auto hundredths = hundredthsFromDecimalText(volts);
  // Above 5.00 V the byte would wrap round to a threshold near 0 V.
  if (!hundredths || *hundredths > kMaxLambdaHundredths)
    return refused({0}, voltSpan(kMaxLambdaHundredths));
  return sent(commands::lambdaThreshold(lambdaRawFromHundredths(*hundredths)));
}

SendOutcome changeoverSpeed(const QString& rpm, long long reference) {
  return rpmSend(&commands::changeoverSpeed, rpm, reference);
}

SendOutcome startDelay(const QString& seconds) {
  if (seconds.isEmpty()) return {};
  const auto s = parseInteger(seconds);
  if (!s || *s < 0 || 5 * *s > 255) return refused({0}, span(0, 51, QStringLiteral("s")));
  return sent(commands::powerOnDelay(powerOnDelayCount(*s)));
}

SendOutcome maxSpeed(const QString& rpm, long long reference) {
  return rpmSend(&commands::maxSpeedOnGas, rpm, reference);
}

SendOutcome accelerationSteps(const QString& steps) {
  if (steps.isEmpty()) return {};
  // Refused aloud: a silent refusal would leave an edit that neither its OK nor the closing of
  // the window can send, without telling why.
  const auto v = parseInteger(steps);
  if (!v || *v < 2 || *v > 50) return refused({0}, span(2, 50));
  return sent(commands::accelerationSteps(*v));
}

SendOutcome fallingDelta(const QString& changeoverRpm, const QString& deltaRpm,
                         long long reference) {
  // Only the changeover field must be filled; an empty delta is an unreadable number.
  if (changeoverRpm.isEmpty()) return {};
  // The delta's OK reports on the delta only: a changeover speed that cannot be sent is refused
  // by its own OK, so it is named here but not emptied.
  const auto changeover = parseInteger(changeoverRpm);
  const auto upper = changeover ? sendablePeriod(*changeover, reference) : std::nullopt;
  const auto lowest = lowestSendableRpm(reference);
  if (!upper || !lowest) return refused({}, rpmSpan(reference));
  const QString allowed = span(0, std::max(0LL, *changeover - *lowest), QStringLiteral("rpm"));
  const auto delta = parseInteger(deltaRpm);
  if (!delta || *delta < 0 || *delta >= *changeover) return refused({1}, allowed);
  const auto lower = sendablePeriod(*changeover - *delta, reference);
  if (!lower) return refused({1}, allowed);
  const long long difference = *lower - *upper;
  if (difference < 0 || difference > kMaxWord) return refused({1}, allowed);
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
  const auto max = parseInteger(maxPosition);
  const auto min = parseInteger(minPosition);
  std::vector<int> outOfRange;
  if (!max || !isPosition(*max)) outOfRange.push_back(0);
  if (!min || !isPosition(*min)) outOfRange.push_back(1);
  if (!outOfRange.empty()) return refused(std::move(outOfRange), kPositions);
  return sent(commands::stepperRange(*max, *min));
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
