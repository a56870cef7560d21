#pragma once

#include "link/Protocol.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace orvel {

// The reply to command 09h as it arrived, byte 0 first.
using SettingsBlock = std::array<std::uint8_t, kSettingsBlockLength>;

// The radio groups of the editor that each hold one bit of the installation flags byte, in the
// order the read-out selects their items.
enum class FlagRadio {
  Tps,            // RadioGroup2 "TPS": rosnący / malejący
  SpeedSignal,    // RadioGroup5 "Rodzaj obrotow": rosnące / malejące
  GasSensor,      // RadioGroup4 "Czujnik gazu" (hidden): brak / obecny
  OperatingMode,  // RadioGroup3 "Tryb pracy sterownika": praca dynamiczna / praca ekonomiczna
};
constexpr std::array<FlagRadio, 4> kFlagRadios = {FlagRadio::Tps, FlagRadio::SpeedSignal,
                                                  FlagRadio::GasSensor, FlagRadio::OperatingMode};
constexpr int kCutoffBit = 4;  // CheckBox1 "CutOff tak/nie"

// The one mapping between a group's items and its bit, used by the read-out and by the user's
// choice alike. The operating mode is the odd one: its first item ("praca dynamiczna") is the
// set bit.
int flagRadioItem(FlagRadio radio, std::uint8_t flags);
std::uint8_t flagsWithRadioItem(FlagRadio radio, std::uint8_t flags, int item);
std::uint8_t flagsWithBit(std::uint8_t flags, int bit, bool set);

// Everything a settings read-out puts into the editor, in engineering units, as the editor shows
// it. Members are named after the controls they go to.
struct DecodedSettings {
  QString EditThLambda, EditOkresLambda;  // lambda 1 TH / TL, ms
  bool lambda1Bosch = false;              // both lambda 1 times 0: CheckBox2 becomes checked
  QString EditThLambda2, EditOkresLambda2;
  QString EditProgTPS;  // threshold volt text
  QString EditProgGB;   // changeover speed, rpm
  std::uint8_t installationFlags = 0;
  std::array<int, kFlagRadios.size()> radioItems{};  // in kFlagRadios order
  bool cutoffOn = false;                             // CheckBox1 and the cutoff controls
  QString EditProgLambda;
  QString Editsilnikmax, EditSilnikmin, EditSilnikopt;
  bool maxSpeedOff = false;  // bytes 13-14 are 1: CheckBox3 checked, its controls disabled
  QString Editobrotymax;     // rpm or "OFF"
  QString Edit3;             // delta on falling rpm
  QString Edit2;             // cutoff speed
  QString Edit1;             // cutoff stepper position
  QString Edit5;             // delay after power-on, s
  QString Edit4;             // acceleration steps
  QString Edit7, Edit8;      // stepper speeds below / above the TPS threshold
  QString Editdelay;         // changeover delay, ms (hidden)
  std::optional<QString> lambdaRangeLine;  // settings template line 33, when byte 31 names one
};

// Text of the maximum speed field while the limit is switched off.
inline QString maxSpeedOffText() {
  return QStringLiteral("OFF");
}

// Decodes a settings block against the idle period reference (already taken from bytes 32-33 by
// the dispatch). maxSpeedShowsOff tells whether the editor's maximum speed field shows "OFF"
// before this read-out: the check box and the field are only ever switched to "OFF" here, never
// back, so a field left at "OFF" keeps it. Never divides by zero: with a reference of 0 every rpm
// is 0.
DecodedSettings decodeSettingsBlock(const SettingsBlock& block, long long reference,
                                    bool maxSpeedShowsOff);

}  // namespace orvel
