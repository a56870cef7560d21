#include "service/ConsoleLogic.h"

#include "core/Dialogs.h"
#include "link/Protocol.h"
#include "settings/Conversions.h"

#include <QStringList>

namespace orvel {

QString accessPhrase() {
  return QStringLiteral("ster oscylator");
}

bool isAccessPhrase(const QString& text) {
  return text == accessPhrase();
}

std::uint8_t consoleByte(const QString& text) {
  const std::optional<long long> value = parseInteger(text);
  if (!value) throw ConversionError(text);
  return lowByte(*value);
}

QString lineNumbersText() {
  QStringList numbers;
  for (int k = 1; k <= kNumberedLines; ++k)
    numbers << QStringLiteral("%1:").arg(k, 2, 10, QLatin1Char('0'));
  return numbers.join(QLatin1Char(' '));
}

}  // namespace orvel
