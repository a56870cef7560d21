#pragma once

#include "archive/ArchiveStore.h"
#include "link/Protocol.h"
#include "settings/SettingsDecoder.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace orvel {

// The settings a fitter can set in the editor, one per OK button or flag control, in the order
// the editor lists its send operations and then its flag controls; the idle period reference,
// which only the calibration sends, goes first.
enum class Setting {
  IdleReference,
  TpsThreshold,
  LambdaThreshold,
  ChangeoverSpeed,
  StartDelay,
  MaxSpeed,
  AccelerationSteps,
  FallingDelta,
  IdleStepperSpeed,
  SecondStepperSpeed,
  Lambda1,
  Lambda2,
  StepperRange,
  StepperStart,
  CutoffPosition,
  CutoffSpeed,
  TpsDirection,
  SpeedSignal,
  OperatingMode,
  GasSensor,
  Cutoff,
};
const std::vector<Setting>& allSettings();

// The editor's controls whose captions, joined by a blank, name a setting; empty for the idle
// period reference, which has no control in the editor.
QStringList captionControls(Setting setting);

// What the editor would show for the setting of a block read against its own reference.
QString settingText(Setting setting, const SettingsBlock& block);

// An .orv file holds neither the cutoff switch nor the idle period reference: an imported
// block carries placeholders there, never shown as settings nor written.
bool holdsSetting(ReadoutSource source, Setting setting);

// The idle period reference a block carries (bytes 32-33); 0101h means not calibrated.
long long blockReference(const SettingsBlock& block);
constexpr long long kUncalibratedReference = 0x0101;

// The bytes the editor sends for a setting shown as in `shown`, rpm through `reference`; flags go
// out whole, as the editor sends them, with this setting's bit changed in `flags`. Nothing when
// the editor itself would refuse or ignore the value.
std::optional<Command> editorCommand(Setting setting, const DecodedSettings& shown,
                                     long long reference, std::uint8_t& flags);

// Puts a setting command's arguments where the controller keeps them in its settings block.
// False for a command that sets nothing in the block.
bool applyToBlock(SettingsBlock& block, const Command& command);

// One row of the side-by-side view.
struct ComparisonRow {
  Setting setting;
  QString caption;
  QString left;
  QString right;
  bool differs = false;
};
using CaptionLookup = std::function<QString(const QString& control)>;
QString settingCaption(Setting setting, const CaptionLookup& caption);
std::vector<ComparisonRow> compareReadouts(const Readout& left, const Readout& right,
                                           const CaptionLookup& caption);

// Writing a kept read-out back into a controller whose block was just read.
struct WriteStep {
  Setting setting;
  QString oldText;                 // as the controller shows it now
  QString newText;                 // as the record shows it
  std::optional<Command> command;  // nothing: the editor cannot send this value
};
struct WritePlan {
  std::vector<WriteStep> steps;  // in the order they are sent
  SettingsBlock expected{};      // the controller's block once every step has been sent
  bool empty() const { return steps.empty(); }
};
// sameEngine: the record was taken on the engine the controller is fitted to now; only then may
// its idle period reference be written. rpm settings go out through the reference the
// controller will hold.
WritePlan planWriteBack(const Readout& record, const SettingsBlock& controller, bool sameEngine);

// For each step: its bytes in the block read back are those it sent.
std::vector<bool> confirmedSteps(const WritePlan& plan, const SettingsBlock& readBack);

}  // namespace orvel
