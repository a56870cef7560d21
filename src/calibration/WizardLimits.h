#pragma once

namespace orvel::wizard {

// Everything a step changes in the controller must fit the bytes it travels in; what would only
// arrive there cut to its low bits is refused like any other invalid entry.
inline constexpr long long kMaxByte = 255;
inline constexpr long long kMaxWord = 65535;
inline constexpr long long kMaxWaveMs = 4000;

}  // namespace orvel::wizard
