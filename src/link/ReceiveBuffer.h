#pragma once

#include <QString>

#include <cstdint>

namespace orvel {

// The receive buffer: every received byte as five characters, three decimal digits with leading
// zeros then CR LF, so byte k of the current reply sits at character 5 * k. Every request clears
// it; what arrives past the longest reply is counted by the dispatch but kept only up to a fixed
// limit, so a chattering line cannot make it grow without bound.
class ReceiveBuffer {
 public:
  static constexpr int kMaxStoredBytes = 4096;

  static QString formatByte(std::uint8_t value);

  void append(std::uint8_t value);
  void clear() { text_.clear(); }
  // Byte k of the current reply (0..255), or -1 when it has not arrived (or was not kept).
  int byteAt(int k) const;
  // The 16-bit field at bytes k and k + 1 (least significant first), or -1.
  int wordAt(int k) const;
  int storedBytes() const { return static_cast<int>(text_.size() / 5); }
  const QString& text() const { return text_; }

 private:
  QString text_;
};

}  // namespace orvel
