#pragma once

#include "link/Protocol.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace orvel {

// The phrase that opens the service console. It is compared whole and case-sensitively on every
// change of the hidden password field, so it opens the console the moment it is complete.
QString accessPhrase();
bool isAccessPhrase(const QString& text);

// Edit1 takes at most three characters: enough for "255" and "-1".
constexpr int kConsoleEntryLength = 3;

// The byte "Wyślij" sends for what was typed: the low byte of a signed decimal integer, so 256
// sends 00h and -1 sends FFh. Nothing for a text that is not an integer.
std::optional<std::uint8_t> consoleByte(const QString& text);
// What the console's refusal names as allowed.
inline QString consoleByteRange() {
  return QStringLiteral("0...255");
}

// The reply list keeps this many bytes, the newest; older ones give way in blocks, and a first
// line says how many went. A block is a whole number of settings blocks (56 x 37 bytes) and of
// live frames with their acknowledgement (259 x 8), so that in a stream of either the numbers
// 01: on still start at a reply's first byte.
constexpr int kMaxListedBytes = 20000;
constexpr int kListTrimBlock = 56 * kSettingsBlockLength;
static_assert(kListTrimBlock % kLiveFrameLength == 0, "trimmed whole live frames too");
QString droppedBytesText(long long dropped);

// The numbers beside the reply list, one per line: the settings block, the longest reply, has 37
// bytes, so its bytes can be looked up by number in the command reference.
constexpr int kNumberedLines = kSettingsBlockLength;
QString lineNumbersText();  // "01: 02: ... 37:", one word per line of the list

}  // namespace orvel
