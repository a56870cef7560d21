#include "calibration/CalibrationRules.h"

#include "settings/Conversions.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace orvel {

QString emptySummaryText() {
  return QStringLiteral("...........");
}

ProbeType probeType(int item) {
  static constexpr std::array<ProbeType, kProbeTypes> kTypes{{
      {0, 51, 51, 0x01},    // "0..1 V"
      {0, 255, 255, 0x00},  // "0..5 V (+)"
      {255, 0, 255, 0x00},  // "0..5 V (-)"
      {255, 0, 255, 0x00},  // "5..0 V (+)"
      {0, 255, 255, 0x00},  // "5..0 V (-)"
      {41, 82, 82, 0x02},   // "0,8..1,6 V"
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

std::optional<int> lambdaThresholdTenths(const QString& text) {
  const auto digit = [&text](int i) -> std::optional<int> {
    if (i >= text.size()) return std::nullopt;
    const char16_t c = text.at(i).unicode();
    if (c < u'0' || c > u'9') return std::nullopt;
    return static_cast<int>(c - u'0');
  };
  const auto units = digit(0);
  const auto tenths = digit(2);
  if (!units || !tenths) return std::nullopt;
  return 10 * *units + *tenths;
}

long long lambdaThresholdRaw(int tenths) {
  return roundHalfEven(tenths * 0.02 * 255.0);
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

long long averageOf(long long sum, int divisor) {
  return roundHalfEven(static_cast<double>(sum) / divisor);
}

}  // namespace orvel
