#pragma once

#include "core/SettingsTemplate.h"

#include <cstdint>

namespace orvel {

// What the program knows about the connected controller, shared by the settings read-out, the
// editor, the autocalibration and the live display.
struct ControllerState {
  // The engine period taken as exactly 800 rpm; 0 until a read-out, an autocalibration or an rpm
  // scaling has set it.
  std::int32_t idlePeriodReference = 0;
  // The controller's bit flags, always sent whole with command 0Bh.
  std::uint8_t installationFlags = 0;
  SettingsTemplate szablon;

  // Results of the autocalibration's sampling runs (raw 0..255 values).
  std::int32_t lambdaLow = 0;
  std::int32_t lambdaHigh = 0;
  std::int32_t tpsLow = 0;
  std::int32_t tpsHigh = 0;
};

}  // namespace orvel
