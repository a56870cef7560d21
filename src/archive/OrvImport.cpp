#include "archive/OrvImport.h"

#include "archive/ArchivedSettings.h"
#include "core/Language.h"
#include "records/UserData.h"
#include "settings/Conversions.h"

#include <QRegularExpression>

#include <algorithm>
#include <array>

namespace orvel {

namespace {

constexpr int kCarLine1 = UserData::kCarLine1;
constexpr int kCarLine2 = UserData::kCarLine2;
// A line quoted in the refusal is cut to this: a crafted file may hold one of any length.
constexpr int kQuotedLength = 60;
constexpr int kFirstSettingLine = 13;
constexpr int kLastLine = 48;

// A value line, the editor field(s) it fills and the setting whose send checks it.
struct ValueLine {
  int line;
  Setting setting;
  QString DecodedSettings::*first;
  QString DecodedSettings::*second;  // the value after "; ", or nothing
};

const std::array<ValueLine, 14>& valueLines() {
  static const std::array<ValueLine, 14> lines{{
      {14, Setting::TpsThreshold, &DecodedSettings::EditProgTPS, nullptr},
      {16, Setting::ChangeoverSpeed, &DecodedSettings::EditProgGB, nullptr},
      {18, Setting::LambdaThreshold, &DecodedSettings::EditProgLambda, nullptr},
      {20, Setting::StartDelay, &DecodedSettings::Edit5, nullptr},
      {22, Setting::MaxSpeed, &DecodedSettings::Editobrotymax, nullptr},
      {28, Setting::FallingDelta, &DecodedSettings::Edit3, nullptr},
      {30, Setting::Lambda1, &DecodedSettings::EditThLambda, &DecodedSettings::EditOkresLambda},
      {32, Setting::Lambda2, &DecodedSettings::EditThLambda2, &DecodedSettings::EditOkresLambda2},
      {34, Setting::StepperRange, &DecodedSettings::Editsilnikmax, &DecodedSettings::EditSilnikmin},
      {36, Setting::StepperStart, &DecodedSettings::EditSilnikopt, nullptr},
      {38, Setting::CutoffPosition, &DecodedSettings::Edit1, nullptr},
      {40, Setting::CutoffSpeed, &DecodedSettings::Edit2, nullptr},
      {42, Setting::IdleStepperSpeed, &DecodedSettings::Edit7, nullptr},
      {44, Setting::SecondStepperSpeed, &DecodedSettings::Edit8, nullptr},
  }};
  return lines;
}

// The option lines: caption, then one of two words that are the same in every language.
struct OptionLine {
  int line;
  Setting setting;
  FlagRadio radio;
  const char* firstWord;
  const char* otherWord;
};
constexpr OptionLine kOptionLines[] = {
    {45, Setting::OperatingMode, FlagRadio::OperatingMode, ":   Praca dynamiczna",
     ":   Praca ekonomiczna"},
    {46, Setting::GasSensor, FlagRadio::GasSensor, ":   Brak", ":   Obecny"},
    {47, Setting::TpsDirection, FlagRadio::Tps, ":   Rosnący", ":   Malejący"},
    {48, Setting::SpeedSignal, FlagRadio::SpeedSignal, ":   Rosnące", ":   Malejące"},
};

// Lines 24 and 26 are plain bytes of the block (the acceleration steps, whose send refuses
// values a controller may still hold, and the steps with gas low, which the editor never sends).
constexpr int kAccelerationLine = 24;
constexpr int kLowGasLine = 26;

SettingsBlock importBase() {
  SettingsBlock b{};
  b[0] = 120;  // gas sensor threshold as the settings template starts with it
  b[15] = 244;
  b[16] = 0;  // changeover delay of about one second
  b[31] = 1;  // 1 V lambda probe
  b[32] = static_cast<std::uint8_t>(kImportReference & 0xFF);
  b[33] = static_cast<std::uint8_t>(kImportReference >> 8);
  b[36] = 0x01;
  return b;
}

std::optional<std::uint8_t> byteValue(const QString& text) {
  const auto v = parseInteger(text);
  if (!v || *v < 0 || *v > 255) return std::nullopt;
  return static_cast<std::uint8_t>(*v);
}

int radioIndex(FlagRadio radio) {
  for (std::size_t i = 0; i < kFlagRadios.size(); ++i)
    if (kFlagRadios[i] == radio) return static_cast<int>(i);
  return 0;
}

}  // namespace

ImportResult parseSettingsListing(const QStringList& lines) {
  // Every line is looked at, so that the one named is the first that does not fit even where a
  // later check would fail first.
  int firstBad = std::max(static_cast<int>(lines.size()), kCarLine2 + 1);
  const auto bad = [&firstBad](int line) { firstBad = std::min(firstBad, line); };
  if (lines.size() <= kLastLine) bad(static_cast<int>(lines.size()));
  // The car lines are no longer than the F2 window takes them.
  if (lines.value(kCarLine1).size() > UserData::kCarLine1Length) bad(kCarLine1);
  if (lines.value(kCarLine2).size() > UserData::kCarLine2Length) bad(kCarLine2);
  for (int line = kFirstSettingLine; line < 45; line += 2)
    if (lines.value(line).trimmed().isEmpty()) bad(line);
  DecodedSettings shown;
  static const QRegularExpression kPair(QStringLiteral("^(-?\\d+); (-?\\d+)$"));
  static const QRegularExpression kVolts(QStringLiteral("^\\d\\.\\d\\d$"));
  SettingsBlock block = importBase();
  std::uint8_t flags = 0;
  for (const ValueLine& v : valueLines()) {
    const QString text = lines.value(v.line);
    bool fits = true;
    if (v.second) {
      const QRegularExpressionMatch m = kPair.match(text);
      fits = m.hasMatch();
      shown.*v.first = m.captured(1);
      shown.*v.second = m.captured(2);
    } else {
      const bool volts =
          v.setting == Setting::TpsThreshold || v.setting == Setting::LambdaThreshold;
      const bool off = v.setting == Setting::MaxSpeed && text == maxSpeedOffText();
      fits = volts ? kVolts.match(text).hasMatch() : off || parseInteger(text).has_value();
      shown.*v.first = text;
    }
    const std::optional<Command> command =
        fits ? editorCommand(v.setting, shown, kImportReference, flags) : std::nullopt;
    if (!command || !applyToBlock(block, *command)) bad(v.line);
  }
  if (const auto acceleration = byteValue(lines.value(kAccelerationLine))) {
    block[27] = *acceleration;
  } else {
    bad(kAccelerationLine);
  }
  if (const auto lowGas = byteValue(lines.value(kLowGasLine))) {
    block[30] = *lowGas;
  } else {
    bad(kLowGasLine);
  }
  for (const OptionLine& o : kOptionLines) {
    const QString text = lines.value(o.line);
    const QString first = QString::fromUtf8(o.firstWord);
    const QString other = QString::fromUtf8(o.otherWord);
    const bool isFirst = text.endsWith(first) && text.size() > first.size();
    if (!isFirst && !(text.endsWith(other) && text.size() > other.size())) bad(o.line);
    shown.radioItems[static_cast<std::size_t>(radioIndex(o.radio))] = isFirst ? 0 : 1;
    if (const auto command = editorCommand(o.setting, shown, kImportReference, flags))
      applyToBlock(block, *command);
  }
  ImportResult result;
  if (firstBad <= kLastLine) {
    result.badLine = firstBad;
    result.badText = lines.value(firstBad);
    return result;
  }
  result.settings = ImportedSettings{{lines.at(kCarLine1), lines.at(kCarLine2)}, block};
  return result;
}

QString importRefusalText(const ImportResult& result) {
  const QString line = QString::number(result.badLine + 1);
  return tr3("To nie jest plik ustawień tego programu: wiersz %1 nie pasuje (\"%2\").\r\nNic "
             "nie zostało zapisane w archiwum.",
             "This is not a settings file of this program: line %1 does not match "
             "(\"%2\").\r\nNothing has been stored in the archive.",
             "Non è un file di parametri di questo programma: la riga %1 non corrisponde "
             "(\"%2\").\r\nNiente è stato salvato nell'archivio.")
      .arg(line, result.badText.size() > kQuotedLength
                     ? result.badText.left(kQuotedLength) + QStringLiteral("...")
                     : result.badText);
}

}  // namespace orvel
