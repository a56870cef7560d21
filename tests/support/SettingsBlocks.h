#pragma once

#include "settings/SettingsDecoder.h"

#include <QByteArray>

namespace orvel::test {

// A 16-bit field of a settings block, low byte first.
inline void setWord(QByteArray& b, int k, int value) {
  b[k] = static_cast<char>(value & 0xFF);
  b[k + 1] = static_cast<char>((value >> 8) & 0xFF);
}

// Reference 1100, flags 51h, changeover 800 rpm, max speed 5000 rpm, lambda 500/500 ms.
inline QByteArray typicalBlock(int flags = 0x51, int maxSpeedPeriod = 176) {
  QByteArray b(kSettingsBlockLength, '\0');
  setWord(b, 1, 122);
  setWord(b, 3, 244);
  b[5] = 20;
  setWord(b, 6, 1100);
  b[8] = static_cast<char>(flags);
  b[9] = 25;
  b[10] = 45;
  b[11] = static_cast<char>(240);
  b[12] = static_cast<char>(215);
  setWord(b, 13, maxSpeedPeriod);
  setWord(b, 17, 367);
  setWord(b, 19, 800);
  b[21] = 45;
  b[22] = 10;
  setWord(b, 23, 122);
  setWord(b, 25, 244);
  b[27] = 5;
  setWord(b, 28, 39750);
  b[31] = 2;
  setWord(b, 32, 1100);
  setWord(b, 34, 2650);
  b[36] = 1;
  return b;
}

}  // namespace orvel::test
