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
// the editor itself would refuse or ignore the value; then `whyNot`, when given, gets the
// editor's own words for it.
std::optional<Command> editorCommand(Setting setting, const DecodedSettings& shown,
                                     long long reference, std::uint8_t& flags,
                                     QString* whyNot = nullptr);

// Where the controller keeps a setting in its block: the bytes, and for a flag its bit of the
// flags byte.
struct BlockBytes {
  std::vector<int> offsets;
  std::uint8_t mask = 0xFF;
};
BlockBytes blockBytesOf(Setting setting);
bool sameBytes(Setting setting, const SettingsBlock& a, const SettingsBlock& b);
// The setting's bytes as decimal numbers, "26" or "76 4 ".
QString bytesText(Setting setting, const SettingsBlock& block);

// The settings whose sent bytes the controller interprets through another setting: rpm values
// go out as periods of the idle period reference, and the falling delta as a period difference
// at the changeover speed. A speed limit switched off (14h 01h 00h) depends on nothing.
std::vector<Setting> convertedThrough(Setting setting, const Command& command);

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
  // Shown alike but kept in other bytes, and why; empty when the bytes agree too.
  QString byteNote;
};
using CaptionLookup = std::function<QString(const QString& control)>;
QString settingCaption(Setting setting, const CaptionLookup& caption);
std::vector<ComparisonRow> compareReadouts(const Readout& left, const Readout& right,
                                           const CaptionLookup& caption);
// For a setting both blocks show alike: why their bytes differ (display rounding, or another
// idle period reference), naming the bytes; empty when they do not.
QString byteDifferenceNote(Setting setting, const SettingsBlock& left, const SettingsBlock& right);

// Writing a kept read-out back into a controller whose block was just read.
struct WriteStep {
  Setting setting;
  QString oldText;                 // as the controller shows it now
  QString newText;                 // as the record shows it
  std::optional<Command> command;  // nothing: the editor cannot send this value
  QString whyNotSent;              // the editor's words for a value it cannot send
};
struct WritePlan {
  std::vector<WriteStep> steps;  // in the order they are sent
  SettingsBlock expected{};      // the controller's block once every step has been sent
  // Some step has bytes to send.
  bool sendsAnything() const {
    for (const WriteStep& step : steps)
      if (step.command) return true;
    return false;
  }
};
// sameEngine: the record was taken on the engine the controller is fitted to now; only then may
// its idle period reference be written. rpm settings go out through the reference the
// controller will hold.
WritePlan planWriteBack(const Readout& record, const SettingsBlock& controller, bool sameEngine);

// What the read-back shows of one step of a write.
enum class StepOutcome {
  Confirmed,           // its bytes, and those of any setting it was converted through, are back
  Differs,             // its own bytes are not what was sent
  ThroughUnconfirmed,  // its bytes are back, but a setting it was converted through is not
  NotSent,             // the editor cannot send the record's value
  NotReached,          // the write broke off before it
  SentUnchecked,       // sent, but nothing was read back
};
// readBack: the block read after writing, nothing when none came; sent: the settings whose
// bytes went out.
std::vector<StepOutcome> stepOutcomes(const WritePlan& plan, const std::vector<Setting>& sent,
                                      const std::optional<SettingsBlock>& readBack);

}  // namespace orvel
