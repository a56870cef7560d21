#include "link/ReceiveBuffer.h"

namespace orvel {

QString ReceiveBuffer::formatByte(std::uint8_t value) {
  return QString::number(value).rightJustified(3, QLatin1Char('0')) + QStringLiteral("\r\n");
}

void ReceiveBuffer::append(std::uint8_t value) {
  if (storedBytes() >= kMaxStoredBytes) return;
  text_ += formatByte(value);
}

int ReceiveBuffer::byteAt(int k) const {
  if (k < 0 || k >= storedBytes()) return -1;
  const int at = 5 * k;
  int value = 0;
  for (int i = at; i < at + 3; ++i)
    value = value * 10 + text_.at(i).digitValue();
  return value;
}

int ReceiveBuffer::wordAt(int k) const {
  const int lo = byteAt(k);
  const int hi = byteAt(k + 1);
  if (lo < 0 || hi < 0) return -1;
  return lo + 256 * hi;
}

}  // namespace orvel
