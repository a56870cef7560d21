#include "monitor/LiveDecoder.h"

#include "settings/Conversions.h"

#include <algorithm>

namespace orvel {

QString tpsRangeName(TpsRange range) {
  switch (range) {
    case TpsRange::Rising5V:
      return QStringLiteral("0/5");
    case TpsRange::Falling5V:
      return QStringLiteral("5\\0");
    case TpsRange::Rising12V:
      return QStringLiteral("0/12");
    case TpsRange::Falling12V:
      return QStringLiteral("12\\0");
  }
  return {};
}

TpsRange chooseTpsRange(int low, int high) {
  // At most one rule can hold; an unknown sensor is drawn on the wider 12 V scale so that nothing
  // leaves the chart.
  if (70 < high && high < 130 && low < 30) return TpsRange::Rising5V;
  if (70 < low && low < 130 && high < 30) return TpsRange::Falling5V;
  if (high > 170 && low < 30) return TpsRange::Rising12V;
  if (low > 170 && high < 30) return TpsRange::Falling12V;
  return TpsRange::Rising12V;
}

bool isFiveVolt(TpsRange range) {
  return range == TpsRange::Rising5V || range == TpsRange::Falling5V;
}

int lambdaChartValue(int byte0, const QString& lambdaKey) {
  if (lambdaKey == QLatin1String("255")) return byte0;
  if (lambdaKey == QLatin1String("82")) {
    return static_cast<int>(roundHalfEven(byte0 * (255.0 / 82.0)));
  }
  return static_cast<int>(roundHalfEven(byte0 * 5.0));
}

int tpsChartValue(int byte1, TpsRange range) {
  // A 5 V sensor uses only about 106 counts of the converter; stretching by 2.4 fills the chart.
  if (isFiveVolt(range)) return static_cast<int>(roundHalfEven(byte1 * 2.4));
  return byte1;
}

int chartRow(int value) {
  return 80 - static_cast<int>(roundHalfEven(value * 100.0 / 327.0));
}

std::array<int, kIndicators - 1> lambdaThresholds(int range) {
  std::array<int, kIndicators - 1> t{};
  for (int k = 1; k < kIndicators; ++k)
    t[k - 1] = static_cast<int>(roundHalfEven(range * static_cast<double>(k) / 8.0));
  return t;
}

int lambdaIndicatorValue(int byte0, int lambdaLow, int lambdaHigh) {
  if (lambdaLow > 10 && lambdaHigh > 10) return byte0 - 41;
  return byte0;
}

int litIndicator(int value, int range) {
  const auto t = lambdaThresholds(range);
  int lit = 0;
  while (lit < kIndicators - 1 && value > t[lit])
    ++lit;
  return lit;
}

EngineSpeed engineSpeed(std::int32_t idlePeriodReference, int period) {
  EngineSpeed s;
  if (idlePeriodReference == 0) return s;
  if (period == 0) {
    s.kind = EngineSpeed::Kind::Fault;
    return s;
  }
  s.kind = EngineSpeed::Kind::Measured;
  long long rpm = *rpmFromPeriod(idlePeriodReference, period);
  // Below 300 rpm the period counter is not trustworthy (cranking, stalling): show a standstill.
  if (rpm < 300) rpm = 0;
  s.rpm = static_cast<int>(rpm);
  s.shown = static_cast<int>(roundHalfEven(static_cast<double>(rpm) * 0.02) * 50);
  return s;
}

LiveReadings LiveDecoder::decode(const LiveFrame& frame) const {
  LiveReadings r;
  const int lambda = frame[0];
  const int tps = frame[1];
  r.lambdaRow = chartRow(lambdaChartValue(lambda, settings.lambdaKey));
  r.lambdaText = lambdaVoltText(lambda);
  r.litIndicator =
      litIndicator(lambdaIndicatorValue(lambda, settings.lambdaLow, settings.lambdaHigh),
                   settings.lambdaBarRange);
  r.tpsRow = chartRow(tpsChartValue(tps, settings.tpsRange));
  r.tpsText = tpsVoltText(tps);
  r.tpsBar = tps;
  r.lambda2Row = chartRow(frame[3]);
  r.speed = engineSpeed(settings.idlePeriodReference, frame[4] + 256 * frame[5]);
  r.valve = 255 - frame[6];
  return r;
}

}  // namespace orvel
