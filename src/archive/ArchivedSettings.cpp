#include "archive/ArchivedSettings.h"

#include "core/Dialogs.h"
#include "core/Language.h"
#include "settings/SettingsSends.h"

#include <algorithm>

namespace orvel {

namespace {

// Where the controller keeps what each setting command sends (its arguments, in order).
struct BlockPlace {
  std::uint8_t code;
  int offset;
};
constexpr BlockPlace kPlaces[] = {
    {0x05, 0},  {0x06, 1},  {0x07, 5},  {0x08, 6},  {0x0B, 8},  {0x0F, 9},  {0x12, 10},
    {0x13, 12}, {0x14, 13}, {0x15, 15}, {0x16, 17}, {0x17, 21}, {0x18, 19}, {0x19, 22},
    {0x1A, 23}, {0x1B, 27}, {0x1C, 28}, {0x1D, 30}, {0x1E, 31}, {0x1F, 32}, {0x20, 34},
};

int placeOf(std::uint8_t code) {
  for (const BlockPlace& p : kPlaces)
    if (p.code == code) return p.offset;
  return -1;
}

DecodedSettings shownOf(const SettingsBlock& block) {
  return decodeSettingsBlock(block, blockReference(block), false);
}

QString pair(const QString& a, const QString& b) {
  return a + QStringLiteral("; ") + b;
}

// The words for a flag, in the interface language; English and Italian as the editor's items say
// them.
QString flagWord(Setting setting, const DecodedSettings& d) {
  const auto item = [&d](FlagRadio radio) {
    for (std::size_t i = 0; i < kFlagRadios.size(); ++i)
      if (kFlagRadios[i] == radio) return d.radioItems[i];
    return 0;
  };
  switch (setting) {
    case Setting::TpsDirection:
      return item(FlagRadio::Tps) == 0 ? tr3("Rosnący", "Up", "Crescente")
                                       : tr3("Malejący", "Down", "Calante");
    case Setting::SpeedSignal:
      return item(FlagRadio::SpeedSignal) == 0 ? tr3("Rosnące", "Up", "Crescenti")
                                               : tr3("Malejące", "Down", "Calanti");
    case Setting::OperatingMode:
      return item(FlagRadio::OperatingMode) == 0
                 ? tr3("Praca dynamiczna", "Dynamic", "Lavoro dinamico")
                 : tr3("Praca ekonomiczna", "Economic", "Lavoro economico");
    case Setting::GasSensor:
      return item(FlagRadio::GasSensor) == 0 ? tr3("Brak", "None", "Assente")
                                             : tr3("Obecny", "Present", "Presente");
    case Setting::Cutoff:
      return d.cutoffOn ? QStringLiteral("ON") : QStringLiteral("OFF");
    default:
      return QString();
  }
}

// The editor's command for an outcome; a notice means it would refuse the value and send
// nothing, and its text says why.
std::optional<Command> editorSent(const SendOutcome& outcome, QString* whyNot) {
  if (outcome.notices.empty() && outcome.command) return outcome.command;
  if (whyNot) {
    QStringList texts;
    for (const SendOutcome::Notice& notice : outcome.notices)
      texts << notice.text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)
                   .join(QStringLiteral("; "));
    *whyNot = texts.join(QStringLiteral("; "));
  }
  return std::nullopt;
}

std::optional<FlagRadio> radioOf(Setting setting) {
  switch (setting) {
    case Setting::TpsDirection:
      return FlagRadio::Tps;
    case Setting::SpeedSignal:
      return FlagRadio::SpeedSignal;
    case Setting::OperatingMode:
      return FlagRadio::OperatingMode;
    case Setting::GasSensor:
      return FlagRadio::GasSensor;
    default:
      return std::nullopt;
  }
}

bool sendsRpm(Setting setting) {
  return setting == Setting::ChangeoverSpeed || setting == Setting::MaxSpeed ||
         setting == Setting::FallingDelta || setting == Setting::CutoffSpeed;
}

}  // namespace

const std::vector<Setting>& allSettings() {
  static const std::vector<Setting> order{
      Setting::IdleReference,      Setting::TpsThreshold, Setting::LambdaThreshold,
      Setting::ChangeoverSpeed,    Setting::StartDelay,   Setting::MaxSpeed,
      Setting::AccelerationSteps,  Setting::FallingDelta, Setting::IdleStepperSpeed,
      Setting::SecondStepperSpeed, Setting::Lambda1,      Setting::Lambda2,
      Setting::StepperRange,       Setting::StepperStart, Setting::CutoffPosition,
      Setting::CutoffSpeed,        Setting::TpsDirection, Setting::SpeedSignal,
      Setting::OperatingMode,      Setting::GasSensor,    Setting::Cutoff,
  };
  return order;
}

QStringList captionControls(Setting setting) {
  switch (setting) {
    case Setting::IdleReference:
      return {};
    case Setting::TpsThreshold:
      return {QStringLiteral("Label4")};
    case Setting::LambdaThreshold:
      return {QStringLiteral("Label7")};
    case Setting::ChangeoverSpeed:
      return {QStringLiteral("Label5")};
    case Setting::StartDelay:
      return {QStringLiteral("Label13")};
    case Setting::MaxSpeed:
      return {QStringLiteral("Label11")};
    case Setting::AccelerationSteps:
      return {QStringLiteral("Label15")};
    case Setting::FallingDelta:
      return {QStringLiteral("Label16")};
    case Setting::IdleStepperSpeed:
      return {QStringLiteral("Label18"), QStringLiteral("Label22")};
    case Setting::SecondStepperSpeed:
      return {QStringLiteral("Label18"), QStringLiteral("Label23")};
    case Setting::Lambda1:
      return {QStringLiteral("Label1")};
    case Setting::Lambda2:
      return {QStringLiteral("Label2")};
    case Setting::StepperRange:
      return {QStringLiteral("Label8")};
    case Setting::StepperStart:
      return {QStringLiteral("Label10")};
    case Setting::CutoffPosition:
      return {QStringLiteral("Label9")};
    case Setting::CutoffSpeed:
      return {QStringLiteral("Label6")};
    case Setting::TpsDirection:
      return {QStringLiteral("RadioGroup2")};
    case Setting::SpeedSignal:
      return {QStringLiteral("RadioGroup5")};
    case Setting::OperatingMode:
      return {QStringLiteral("RadioGroup3")};
    case Setting::GasSensor:
      return {QStringLiteral("RadioGroup4")};
    case Setting::Cutoff:
      return {QStringLiteral("CheckBox1")};
  }
  return {};
}

long long blockReference(const SettingsBlock& block) {
  return block[32] + 256LL * block[33];
}

bool holdsSetting(ReadoutSource source, Setting setting) {
  return source != ReadoutSource::Import ||
         (setting != Setting::Cutoff && setting != Setting::IdleReference);
}

QString settingText(Setting setting, const SettingsBlock& block) {
  const DecodedSettings d = shownOf(block);
  switch (setting) {
    case Setting::IdleReference:
      return QString::number(blockReference(block));
    case Setting::TpsThreshold:
      return d.EditProgTPS;
    case Setting::LambdaThreshold:
      return d.EditProgLambda;
    case Setting::ChangeoverSpeed:
      return d.EditProgGB;
    case Setting::StartDelay:
      return d.Edit5;
    case Setting::MaxSpeed:
      return d.Editobrotymax;
    case Setting::AccelerationSteps:
      return d.Edit4;
    case Setting::FallingDelta:
      return d.Edit3;
    case Setting::IdleStepperSpeed:
      return d.Edit7;
    case Setting::SecondStepperSpeed:
      return d.Edit8;
    case Setting::Lambda1:
      return pair(d.EditThLambda, d.EditOkresLambda);
    case Setting::Lambda2:
      return pair(d.EditThLambda2, d.EditOkresLambda2);
    case Setting::StepperRange:
      return pair(d.Editsilnikmax, d.EditSilnikmin);
    case Setting::StepperStart:
      return d.EditSilnikopt;
    case Setting::CutoffPosition:
      return d.Edit1;
    case Setting::CutoffSpeed:
      return d.Edit2;
    default:
      return flagWord(setting, d);
  }
}

std::optional<Command> editorCommand(Setting setting, const DecodedSettings& s, long long reference,
                                     std::uint8_t& flags, QString* whyNot) {
  const auto sentBy = [whyNot](const SendOutcome& outcome) { return editorSent(outcome, whyNot); };
  try {
    switch (setting) {
      case Setting::IdleReference:
        return commands::idlePeriodReference(reference);
      case Setting::TpsThreshold:
        return sentBy(sends::tpsThreshold(s.EditProgTPS));
      case Setting::LambdaThreshold:
        return sentBy(sends::lambdaThreshold(s.EditProgLambda));
      case Setting::ChangeoverSpeed:
        return sentBy(sends::changeoverSpeed(s.EditProgGB, reference));
      case Setting::StartDelay:
        return sentBy(sends::startDelay(s.Edit5));
      case Setting::MaxSpeed:
        // "Wyłącz maksymalne obroty" sends the switched-off limit.
        if (s.Editobrotymax == maxSpeedOffText()) return commands::maxSpeedOff();
        return sentBy(sends::maxSpeed(s.Editobrotymax, reference));
      case Setting::AccelerationSteps:
        return sentBy(sends::accelerationSteps(s.Edit4));
      case Setting::FallingDelta:
        return sentBy(sends::fallingDelta(s.EditProgGB, s.Edit3, reference));
      case Setting::IdleStepperSpeed:
        return sentBy(sends::idleStepperSpeed(s.Edit7));
      case Setting::SecondStepperSpeed:
        return sentBy(sends::secondStepperSpeed(s.Edit8));
      case Setting::Lambda1:
        return sentBy(sends::lambda1Shape(s.EditThLambda, s.EditOkresLambda));
      case Setting::Lambda2:
        return sentBy(sends::lambda2Shape(s.EditThLambda2, s.EditOkresLambda2));
      case Setting::StepperRange:
        return sentBy(sends::stepperRange(s.Editsilnikmax, s.EditSilnikmin));
      case Setting::StepperStart:
        return sentBy(sends::stepperStart(s.EditSilnikopt));
      case Setting::CutoffPosition:
        return sentBy(sends::cutoffPosition(s.Edit1));
      case Setting::CutoffSpeed:
        return sentBy(sends::cutoffSpeed(s.Edit2, reference));
      case Setting::Cutoff:
        flags = flagsWithBit(flags, kCutoffBit, s.cutoffOn);
        return commands::installationFlags(flags);
      default:
        break;
    }
    const std::optional<FlagRadio> radio = radioOf(setting);
    if (!radio) return std::nullopt;
    for (std::size_t i = 0; i < kFlagRadios.size(); ++i) {
      if (kFlagRadios[i] == *radio) flags = flagsWithRadioItem(*radio, flags, s.radioItems[i]);
    }
    return commands::installationFlags(flags);
  } catch (const ConversionError& e) {
    if (whyNot) *whyNot = e.text();
    return std::nullopt;
  }
}

bool applyToBlock(SettingsBlock& block, const Command& command) {
  const int offset = placeOf(command.code);
  if (offset < 0 || offset + static_cast<int>(command.args.size()) > kSettingsBlockLength - 1)
    return false;
  std::copy(command.args.begin(), command.args.end(), block.begin() + offset);
  return true;
}

QString settingCaption(Setting setting, const CaptionLookup& caption) {
  const QStringList controls = captionControls(setting);
  if (controls.isEmpty()) {
    return tr3("Okres obrotów biegu jałowego (800 rpm)", "Idle period reference (800 rpm)",
               "Periodo del minimo (800 rpm)");
  }
  QStringList pieces;
  for (const QString& control : controls)
    pieces << caption(control).trimmed();
  return pieces.join(QLatin1Char(' '));
}

std::vector<ComparisonRow> compareReadouts(const Readout& left, const Readout& right,
                                           const CaptionLookup& caption) {
  std::vector<ComparisonRow> rows;
  for (Setting setting : allSettings()) {
    ComparisonRow row{setting,  settingCaption(setting, caption), QString(), QString(), false,
                      QString()};
    const bool inLeft = holdsSetting(left.source, setting);
    const bool inRight = holdsSetting(right.source, setting);
    row.left = inLeft ? settingText(setting, left.block) : QStringLiteral("-");
    row.right = inRight ? settingText(setting, right.block) : QStringLiteral("-");
    row.differs = inLeft && inRight && row.left != row.right;
    if (inLeft && inRight && !row.differs)
      row.byteNote = byteDifferenceNote(setting, left.block, right.block);
    rows.push_back(row);
  }
  return rows;
}

WritePlan planWriteBack(const Readout& record, const SettingsBlock& controller, bool sameEngine) {
  WritePlan plan;
  plan.expected = controller;
  const DecodedSettings wanted = shownOf(record.block);
  const long long recordReference = blockReference(record.block);
  long long reference = blockReference(controller);
  std::uint8_t flags = controller[8];
  bool rpmRebased = false;
  bool changeoverSent = false;
  for (Setting setting : allSettings()) {
    if (!holdsSetting(record.source, setting)) continue;
    const QString oldText = settingText(setting, controller);
    const QString newText = settingText(setting, record.block);
    if (setting == Setting::IdleReference) {
      // A reference measured on another engine would make every rpm setting wrong; an
      // uncalibrated one would stop the next read-out.
      if (!sameEngine || recordReference == kUncalibratedReference || recordReference == 0 ||
          recordReference == reference)
        continue;
      reference = recordReference;
      rpmRebased = true;
    }
    std::uint8_t stepFlags = flags;
    QString whyNot;
    std::optional<Command> command = editorCommand(setting, wanted, reference, stepFlags, &whyNot);
    bool include = oldText != newText;
    // The controller keeps rpm settings as periods, and the delta as a period difference at the
    // changeover speed: a new reference or changeover speed changes what the same texts mean.
    if (!include && command && sendsRpm(setting) &&
        (rpmRebased || (setting == Setting::FallingDelta && changeoverSent))) {
      SettingsBlock probe = plan.expected;
      include = applyToBlock(probe, *command) && probe != plan.expected;
    }
    if (!include) continue;
    if (command) {
      applyToBlock(plan.expected, *command);
      flags = stepFlags;
      if (setting == Setting::ChangeoverSpeed) changeoverSent = true;
    }
    plan.steps.push_back({setting, oldText, newText, command, command ? QString() : whyNot});
  }
  return plan;
}

BlockBytes blockBytesOf(Setting setting) {
  switch (setting) {
    case Setting::IdleReference:
      return {{32, 33}};
    case Setting::TpsThreshold:
      return {{5}};
    case Setting::LambdaThreshold:
      return {{9}};
    case Setting::ChangeoverSpeed:
      return {{6, 7}};
    case Setting::StartDelay:
      return {{22}};
    case Setting::MaxSpeed:
      return {{13, 14}};
    case Setting::AccelerationSteps:
      return {{27}};
    case Setting::FallingDelta:
      return {{17, 18}};
    case Setting::IdleStepperSpeed:
      return {{28, 29}};
    case Setting::SecondStepperSpeed:
      return {{34, 35}};
    case Setting::Lambda1:
      return {{1, 2, 3, 4}};
    case Setting::Lambda2:
      return {{23, 24, 25, 26}};
    case Setting::StepperRange:
      return {{10, 11}};
    case Setting::StepperStart:
      return {{12}};
    case Setting::CutoffPosition:
      return {{21}};
    case Setting::CutoffSpeed:
      return {{19, 20}};
    case Setting::TpsDirection:
      return {{8}, 0x01};
    case Setting::SpeedSignal:
      return {{8}, 0x04};
    case Setting::GasSensor:
      return {{8}, 0x08};
    case Setting::Cutoff:
      return {{8}, 0x10};
    case Setting::OperatingMode:
      return {{8}, 0x40};
  }
  return {};
}

bool sameBytes(Setting setting, const SettingsBlock& a, const SettingsBlock& b) {
  const BlockBytes place = blockBytesOf(setting);
  for (int k : place.offsets) {
    const auto i = static_cast<std::size_t>(k);
    if ((a[i] & place.mask) != (b[i] & place.mask)) return false;
  }
  return true;
}

QString bytesText(Setting setting, const SettingsBlock& block) {
  const BlockBytes place = blockBytesOf(setting);
  QStringList out;
  for (int k : place.offsets)
    out << QString::number(block[static_cast<std::size_t>(k)] & place.mask);
  return out.join(QLatin1Char(' '));
}

std::vector<Setting> convertedThrough(Setting setting, const Command& command) {
  if (!sendsRpm(setting) || command == commands::maxSpeedOff()) return {};
  if (setting == Setting::FallingDelta) return {Setting::IdleReference, Setting::ChangeoverSpeed};
  return {Setting::IdleReference};
}

QString byteDifferenceNote(Setting setting, const SettingsBlock& left, const SettingsBlock& right) {
  if (sameBytes(setting, left, right)) return QString();
  const QString bytes =
      bytesText(setting, left) + QStringLiteral(" / ") + bytesText(setting, right);
  if (sendsRpm(setting) && !sameBytes(Setting::IdleReference, left, right)) {
    return tr3("na ekranie to samo, w sterowniku inne bajty (%1): inny okres biegu jałowego",
               "shown alike, stored in other bytes (%1): another idle period reference",
               "uguali a video, byte diversi (%1): altro periodo del minimo")
        .arg(bytes);
  }
  return tr3("na ekranie to samo, w sterowniku inne bajty (%1): zaokrąglenie wyświetlania",
             "shown alike, stored in other bytes (%1): display rounding",
             "uguali a video, byte diversi (%1): arrotondamento della visualizzazione")
      .arg(bytes);
}

std::vector<StepOutcome> stepOutcomes(const WritePlan& plan, const std::vector<Setting>& sent,
                                      const std::optional<SettingsBlock>& readBack) {
  std::vector<StepOutcome> out;
  for (const WriteStep& step : plan.steps) {
    if (!step.command) {
      out.push_back(StepOutcome::NotSent);
    } else if (std::find(sent.begin(), sent.end(), step.setting) == sent.end()) {
      out.push_back(StepOutcome::NotReached);
    } else if (!readBack) {
      out.push_back(StepOutcome::SentUnchecked);
    } else if (!sameBytes(step.setting, *readBack, plan.expected)) {
      // The step's own bytes as the plan meant them once every step was sent.
      out.push_back(StepOutcome::Differs);
    } else {
      bool through = true;
      for (Setting base : convertedThrough(step.setting, *step.command))
        through = through && sameBytes(base, *readBack, plan.expected);
      out.push_back(through ? StepOutcome::Confirmed : StepOutcome::ThroughUnconfirmed);
    }
  }
  return out;
}

}  // namespace orvel
