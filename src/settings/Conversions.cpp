#include "settings/Conversions.h"

#include <algorithm>
#include <cfenv>
#include <cmath>

namespace orvel {

long long roundHalfEven(double x) {
  // nearbyint honours the current rounding mode, which the program never changes from the
  // default round-to-nearest-even.
  return static_cast<long long>(std::nearbyint(x));
}

std::optional<long long> rpmFromPeriod(long long reference, long long period) {
  if (period == 0) return std::nullopt;
  return roundHalfEven(static_cast<double>(reference) / static_cast<double>(period) * 800.0);
}

std::optional<long long> periodFromRpm(long long reference, long long rpm) {
  if (rpm == 0) return std::nullopt;
  return roundHalfEven(800.0 / static_cast<double>(rpm) * static_cast<double>(reference));
}

double lambdaMsFromCount(long long count) {
  return static_cast<double>(count) * 1000.0 * (1.0 / 244.0);
}

long long lambdaCountFromMs(long long ms) {
  const long long n = 244 * ms + 499;
  // Integer division as the controller's tools do it: truncation towards zero.
  return n / 1000;
}

long long lambdaCountFromMsRounded(double ms) {
  return roundHalfEven(ms * 244.0 * 0.001);
}

long long changeoverDelayCountFromSeconds(double seconds) {
  return roundHalfEven(seconds * 4000000.0 / 16384.0);
}

long long changeoverDelayMsShown(long long count) {
  return roundHalfEven(static_cast<double>(count) * 512.0 * 0.008 * 0.1) * 10;
}

std::uint8_t powerOnDelayCount(long long seconds) {
  return static_cast<std::uint8_t>(static_cast<unsigned long long>(5 * seconds) & 0xFFu);
}

long long powerOnDelaySeconds(long long count) {
  return roundHalfEven(static_cast<double>(count) * 0.2);
}

long long stepperSpeedCode(long long speed) {
  return (25 - speed) * 2650;
}

long long stepperSpeedFromCode(long long code) {
  return roundHalfEven(25.0 - static_cast<double>(code) * (1.0 / 2650.0));
}

QString thresholdVoltText(double volts) {
  double whole = std::trunc(volts);
  const long long h = static_cast<long long>(std::trunc((volts - whole) * 100.0));
  long long q = roundHalfEven(static_cast<double>(h) * 0.2) * 5;
  if (q == 100) {
    whole += 1.0;
    q = 0;
  }
  return QString::number(static_cast<long long>(whole)) + QLatin1Char('.') +
         QString::number(q).rightJustified(2, QLatin1Char('0'));
}

std::optional<int> hundredthsFromVoltText(const QString& text, int* badPosition) {
  // Only ASCII digits: QChar::isDigit() would also take digits of other scripts, which no
  // controller tool reads as numbers.
  const auto digit = [&](int i) -> std::optional<int> {
    if (i >= text.size()) return std::nullopt;
    const char16_t c = text.at(i).unicode();
    if (c < u'0' || c > u'9') return std::nullopt;
    return static_cast<int>(c - u'0');
  };
  const auto fail = [&](int position) -> std::optional<int> {
    if (badPosition) *badPosition = position;
    return std::nullopt;
  };
  const auto whole = digit(0);
  if (!whole) return fail(0);
  const auto tenths = digit(2);
  if (!tenths) return fail(2);
  int hundredths = 0;
  if (text.size() > 3) {
    const auto h = digit(3);
    if (!h) return fail(3);
    hundredths = *h;
  }
  return 100 * *whole + 10 * *tenths + hundredths;
}

std::optional<int> hundredthsFromDecimalText(const QString& text) {
  int whole = 0;
  int wholeDigits = 0;
  int fraction = 0;
  int fractionDigits = 0;
  bool separator = false;
  for (const QChar ch : text) {
    const char16_t c = ch.unicode();
    if (c == u'.' || c == u',') {
      if (separator) return std::nullopt;
      separator = true;
    } else if (c >= u'0' && c <= u'9') {
      const int d = c - u'0';
      if (!separator) {
        if (++wholeDigits > 2) return std::nullopt;
        whole = whole * 10 + d;
      } else {
        if (++fractionDigits > 2) return std::nullopt;
        fraction = fraction * 10 + d;
      }
    } else {
      return std::nullopt;
    }
  }
  if (wholeDigits + fractionDigits == 0) return std::nullopt;
  if (fractionDigits == 1) fraction *= 10;
  return 100 * whole + fraction;
}

std::optional<long long> parseInteger(const QString& text) {
  int i = 0;
  bool negative = false;
  if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-')) {
    negative = text.at(i) == u'-';
    ++i;
  }
  if (i == text.size()) return std::nullopt;
  long long magnitude = 0;
  for (; i < text.size(); ++i) {
    const char16_t c = text.at(i).unicode();
    if (c < u'0' || c > u'9') return std::nullopt;
    magnitude = magnitude * 10 + (c - u'0');
    if (magnitude > 2147483648LL) return std::nullopt;
  }
  const long long value = negative ? -magnitude : magnitude;
  if (value > 2147483647LL) return std::nullopt;
  return value;
}

double tpsVolts(long long raw) {
  return static_cast<double>(raw) * 12.0 * (1.0 / 240.0);
}
long long tpsRawFromHundredths(long long hundredths) {
  return (hundredths + 2) / 5;
}

double lambdaVolts(long long raw) {
  return static_cast<double>(raw) * 5.0 * (1.0 / 255.0);
}
long long lambdaRawFromHundredths(long long hundredths) {
  return (51 * hundredths + 49) / 100;
}

namespace {
QString hundredthsText(long long hundredths) {
  return QString::number(hundredths / 100) + QLatin1Char('.') +
         QString::number(hundredths % 100).rightJustified(2, QLatin1Char('0'));
}
}  // namespace

QString lambdaVoltText(int raw) {
  return hundredthsText(std::max(raw, 0) * 500LL / 255);
}

QString tpsVoltText(int raw) {
  return hundredthsText(std::max(raw, 0) * 1200LL / 240);
}

int halfRounded(int v) {
  return static_cast<int>(roundHalfEven(v * 0.5));
}

long long editorRpm(long long rpm) {
  return roundHalfEven(static_cast<double>(rpm) * 0.01) * 100;
}

}  // namespace orvel
