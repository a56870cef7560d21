#include "settings/SettingsDecoder.h"

#include "settings/Conversions.h"

namespace orvel {

namespace {

struct RadioBit {
  int bit;
  int itemWhenSet;
};

constexpr RadioBit radioBit(FlagRadio radio) {
  switch (radio) {
    case FlagRadio::Tps:
      return {0, 1};
    case FlagRadio::SpeedSignal:
      return {2, 1};
    case FlagRadio::GasSensor:
      return {3, 1};
    case FlagRadio::OperatingMode:
      return {6, 0};
  }
  return {0, 1};
}

QString number(long long value) {
  return QString::number(value);
}

// The rpm of a period as the editor shows it, in steps of 100; 0 where there is no reference.
QString editorRpmText(long long reference, long long period) {
  return number(editorRpm(rpmFromPeriod(reference, period).value_or(0)));
}

// Lambda simulation times are shown in steps of 50 ms.
long long fiftyMsSteps(double ms) {
  return roundHalfEven(ms * 0.02) * 50;
}

// The delta is stored as the period at G - delta minus the period at G. The division order
// (R * 800 / p) differs from the rpm conversion's (R / p * 800) and is kept: the two disagree at
// a few near-halves.
QString fallingDeltaText(long long changeoverRpm, long long periodDifference, long long reference) {
  const auto changeoverPeriod = periodFromRpm(reference, changeoverRpm);
  if (!changeoverPeriod) return number(0);
  const long long lowerPeriod = periodDifference + *changeoverPeriod;
  if (lowerPeriod == 0) return number(0);
  const long long lowerRpm =
      roundHalfEven(static_cast<double>(reference) * 800.0 / static_cast<double>(lowerPeriod));
  return number(roundHalfEven(static_cast<double>(changeoverRpm - lowerRpm) * 0.01) * 100);
}

}  // namespace

int flagRadioItem(FlagRadio radio, std::uint8_t flags) {
  const RadioBit rb = radioBit(radio);
  const bool set = (flags >> rb.bit) & 1u;
  return set ? rb.itemWhenSet : 1 - rb.itemWhenSet;
}

std::uint8_t flagsWithBit(std::uint8_t flags, int bit, bool set) {
  const auto mask = static_cast<std::uint8_t>(1u << bit);
  return static_cast<std::uint8_t>(set ? flags | mask : flags & ~mask);
}

std::uint8_t flagsWithRadioItem(FlagRadio radio, std::uint8_t flags, int item) {
  const RadioBit rb = radioBit(radio);
  return flagsWithBit(flags, rb.bit, item == rb.itemWhenSet);
}

DecodedSettings decodeSettingsBlock(const SettingsBlock& b, long long reference,
                                    bool maxSpeedShowsOff) {
  const auto word = [&b](int k) -> long long { return b[k] + 256LL * b[k + 1]; };
  const auto nonZero = [](long long period, long long replacement) {
    return period == 0 ? replacement : period;
  };
  DecodedSettings d;

  switch (b[31]) {
    case 0:
      d.lambdaRangeLine = QStringLiteral("255");
      break;
    case 1:
      d.lambdaRangeLine = QStringLiteral("51");
      break;
    case 2:
      d.lambdaRangeLine = QStringLiteral("82");
      break;
    default:
      break;
  }

  {
    // TL is the period less the already rounded TH, so TH + TL shows the period.
    const long long high = roundHalfEven(lambdaMsFromCount(word(1)));
    d.EditThLambda = number(fiftyMsSteps(static_cast<double>(high)));
    d.EditOkresLambda =
        number(fiftyMsSteps(lambdaMsFromCount(word(3)) - static_cast<double>(high)));
    d.lambda1Bosch =
        d.EditThLambda == QLatin1String("0") && d.EditOkresLambda == QLatin1String("0");
  }
  {
    // Lambda 2's TH is rounded to 50 ms straight from the count, not via whole milliseconds: a
    // count of 55 (225.4 ms) shows 250 here and 200 for lambda 1.
    const double highMs = lambdaMsFromCount(word(23));
    d.EditThLambda2 = number(fiftyMsSteps(highMs));
    d.EditOkresLambda2 = number(
        fiftyMsSteps(lambdaMsFromCount(word(25)) - static_cast<double>(roundHalfEven(highMs))));
  }

  d.EditProgTPS = thresholdVoltText(tpsVolts(b[5]));
  d.EditProgGB = editorRpmText(reference, nonZero(word(6), 1));

  d.installationFlags = b[8];
  for (std::size_t i = 0; i < kFlagRadios.size(); ++i)
    d.radioItems[i] = flagRadioItem(kFlagRadios[i], d.installationFlags);
  d.cutoffOn = (d.installationFlags >> kCutoffBit) & 1u;

  d.EditProgLambda = thresholdVoltText(lambdaVolts(b[9]));
  d.Editsilnikmax = number(255 - b[10]);
  d.EditSilnikmin = number(255 - b[11]);
  d.EditSilnikopt = number(255 - b[12]);

  const long long maxSpeedPeriod = word(13);
  d.maxSpeedOff = maxSpeedPeriod == 1;
  d.Editobrotymax = d.maxSpeedOff || maxSpeedShowsOff
                        ? maxSpeedOffText()
                        : editorRpmText(reference, nonZero(maxSpeedPeriod, 2));

  d.Edit3 = fallingDeltaText(d.EditProgGB.toLongLong(), word(17), reference);
  d.Edit2 = editorRpmText(reference, nonZero(word(19), 1));
  d.Edit1 = number(255 - b[21]);
  d.Edit5 = number(powerOnDelaySeconds(b[22]));
  d.Edit4 = number(b[27]);
  d.Edit7 = number(stepperSpeedFromCode(word(28)));
  d.Edit8 = number(stepperSpeedFromCode(word(34)));
  d.Editdelay = number(changeoverDelayMsShown(word(15)));
  return d;
}

}  // namespace orvel
