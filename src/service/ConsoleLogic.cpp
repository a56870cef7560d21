#include "service/ConsoleLogic.h"

#include "core/Language.h"
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

std::optional<std::uint8_t> consoleByte(const QString& text) {
  const std::optional<long long> value = parseInteger(text);
  if (!value) return std::nullopt;
  return lowByte(*value);
}

QString droppedBytesText(long long dropped) {
  return tr3("(%1 wcześniejszych bajtów usunięto z listy)",
             "(%1 earlier bytes removed from the list)", "(%1 byte precedenti tolti dalla lista)")
      .arg(dropped);
}

QString lineNumbersText() {
  QStringList numbers;
  for (int k = 1; k <= kNumberedLines; ++k)
    numbers << QStringLiteral("%1:").arg(k, 2, 10, QLatin1Char('0'));
  return numbers.join(QLatin1Char(' '));
}

}  // namespace orvel
