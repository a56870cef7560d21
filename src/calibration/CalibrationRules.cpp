#include "calibration/CalibrationRules.h"

#include "core/Language.h"
#include "settings/Conversions.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace orvel {

QString emptySummaryText() {
  return QStringLiteral("...........");
}

QString calibrationStatusText() {
  return plIt(QStringLiteral("Automatyczna kalibracja"), QStringLiteral("Taratura Automatica"));
}

ProbeType probeType(int item) {
  static constexpr std::array<ProbeType, kProbeTypes> kTypes{{
      {0, 51, 51, 0x01},    // "0..1 V"
      {0, 255, 255, 0x00},  // "0..5 V (+)"
      {255, 0, 255, 0x00},  // "0..5 V (-)"
      {255, 0, 255, 0x00},  // "5..0 V (+)"
      {0, 255, 255, 0x00},  // "5..0 V (-)"
      {41, 82, 82, 0x02},   // "0.8..1.6 V"
  }};
  return kTypes[static_cast<std::size_t>(item >= 0 && item < kProbeTypes ? item : 0)];
}

QString defaultLambdaThreshold(int lambdaLow, int lambdaHigh) {
  const double m = (lambdaLow + lambdaHigh) / 2.0 * 5.0 / 255.0;
  long long whole = static_cast<long long>(std::trunc(m));
  long long tenths = roundHalfEven((m - std::trunc(m)) * 10.0);
  if (tenths >= 10) {
    ++whole;
    tenths -= 10;
  }
  return QString::number(whole) + QLatin1Char('.') + QString::number(tenths);
}

QString defaultTpsThreshold(int tpsLow, int tpsHigh) {
  if (tpsLow == tpsHigh) return QStringLiteral("0.50");
  long long v = tpsLow < tpsHigh ? tpsLow + roundHalfEven((tpsHigh - tpsLow) * 0.05 + 3)
                                 : tpsLow - roundHalfEven((tpsLow - tpsHigh) * 0.05 + 3);
  // A falling sensor that idles near 0 V would otherwise propose a negative voltage.
  v = std::max(v, 0LL);
  long long whole = v / 20;
  long long hundredths = (v % 20) * 5;
  if (hundredths >= 90) {
    ++whole;
    hundredths = 0;
  }
  return QString::number(whole) + QLatin1Char('.') +
         QString::number(hundredths).rightJustified(2, QLatin1Char('0'));
}

std::optional<int> voltHundredths(const QString& typed) {
  const QString text = typed.trimmed();
  // Only ASCII digits: other scripts' digits are no numbers to a controller tool.
  const auto isDigit = [](QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; };
  int i = 0;
  long long whole = 0;
  for (; i < text.size() && isDigit(text.at(i)); ++i) {
    whole = whole * 10 + (text.at(i).unicode() - u'0');
    if (whole > 999) return std::nullopt;
  }
  if (i == 0) return std::nullopt;
  int hundredths = 0;
  if (i < text.size()) {
    if (text.at(i) != u'.' && text.at(i) != u',') return std::nullopt;
    const QString decimals = text.mid(i + 1);
    if (decimals.size() > 2 || !std::all_of(decimals.begin(), decimals.end(), isDigit))
      return std::nullopt;
    hundredths = decimals.leftJustified(2, QLatin1Char('0')).toInt();
  }
  return static_cast<int>(whole * 100 + hundredths);
}

std::optional<int> lambdaThresholdTenths(const QString& text) {
  const auto hundredths = voltHundredths(text);
  if (!hundredths) return std::nullopt;
  // The controller's threshold has tenths of a volt: a hundredths digit is typed but not read,
  // so 2.55 is 2.5 V as it always was.
  return *hundredths / 10;
}

std::optional<long long> wizardInteger(const QString& text) {
  return parseInteger(text.trimmed());
}

long long lambdaThresholdRaw(int tenths) {
  const long long q = 51LL * tenths;
  const long long raw = q / 10;
  const long long rest = q % 10;
  return rest > 5 || (rest == 5 && raw % 2 != 0) ? raw + 1 : raw;
}

long long tpsThresholdRaw(int hundredths) {
  return roundHalfEven(hundredths * 0.002 * 240.0 * 5.0 / 12.0);
}

long long waveCounts(long long ms) {
  return lambdaCountFromMsRounded(static_cast<double>(ms));
}

long long quarterOf(long long counts) {
  return roundHalfEven(static_cast<double>(counts) * 0.25);
}

std::uint8_t calibrationFlags(bool cutoffOn, bool gasSensorPresent, bool fallingChangeover,
                              int lambdaLow, int lambdaHigh, int tpsLow, int tpsHigh) {
  unsigned flags = 0;
  if (cutoffOn) flags |= 0x10;
  if (gasSensorPresent) flags |= 0x08;
  if (fallingChangeover) flags |= 0x04;
  if (lambdaLow > lambdaHigh) flags |= 0x02;
  if (tpsLow > tpsHigh) flags |= 0x01;
  return static_cast<std::uint8_t>(flags);
}

int samplePeriod(const SampleFrame& frame) {
  return frame[5] * 256 + frame[4];
}

bool wellFormedSample(const SampleFrame& frame) {
  return frame[7] == 0x01 && samplePeriod(frame) != 0;
}

bool samplesAgree(const SampleFrame& a, const SampleFrame& b) {
  if (std::abs(a[1] - b[1]) > kTpsStep) return false;
  const long long p = samplePeriod(a);
  const long long q = samplePeriod(b);
  return 100 * std::llabs(p - q) <= kPeriodStepPercent * std::min(p, q);
}

long long averageOf(long long sum, int divisor) {
  return roundHalfEven(static_cast<double>(sum) / divisor);
}

}  // namespace orvel
