#pragma once

#include <QString>

namespace orvel::wizard {

// Everything a step changes in the controller must fit the bytes it travels in; what would only
// arrive there cut to its low bits is refused like any other invalid entry.
inline constexpr long long kMaxByte = 255;
inline constexpr long long kMaxWord = 65535;
inline constexpr long long kMaxWaveMs = 4000;

// What a step takes, as its refusal names it.
namespace allowed {
QString changeover();
QString lambdaThreshold();
QString tpsThreshold();
QString position();
QString waveTime();
QString startDelay();
}  // namespace allowed

}  // namespace orvel::wizard
