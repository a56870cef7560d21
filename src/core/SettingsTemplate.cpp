#include "core/SettingsTemplate.h"

namespace orvel {

SettingsTemplate::SettingsTemplate() : lines_(defaults()) {}

QStringList SettingsTemplate::defaults() {
  return {
      QStringLiteral("Próg czujnika gazu:"),
      QStringLiteral("120"),
      QStringLiteral("TH sondy lambda1:"),
      QStringLiteral("61"),
      QStringLiteral("Okres sondy Lambda1:"),
      QStringLiteral("61"),
      QStringLiteral("Próg wyzwalania TPS:"),
      QStringLiteral("20"),
      QStringLiteral("Próg obrotów B/G:"),
      QStringLiteral("1300"),
      QString(),
      QStringLiteral("Typy czujników [13]:"),
      QStringLiteral("0"),
      QStringLiteral("Próg sondy lambda1:"),
      QStringLiteral("25"),
      QStringLiteral("Silnik krokowy maks:"),
      QStringLiteral("210"),
      QStringLiteral("Silnik krokowy min:"),
      QStringLiteral("15"),
      QStringLiteral("Opóźnienie przełaczenia B/G:"),
      QStringLiteral("220"),
      QStringLiteral("122"),
      QStringLiteral("Maksymalne obroty:"),
      QStringLiteral("240"),
      QString(),
      QStringLiteral("800 rpm:"),
      QStringLiteral("1100"),
      QStringLiteral("Delta obrotów:"),
      QStringLiteral("4500"),
      QString(),
      QStringLiteral("Minimum sondy lambda1"),
      QStringLiteral("0"),
      QStringLiteral("Maksimum sondy lambda1"),
      QStringLiteral("51"),
      QStringLiteral("minimum TPS"),
      QStringLiteral("0"),
      QStringLiteral("Maksimum TPS"),
      QStringLiteral("230"),
      QStringLiteral("Obecność czujnika gazu"),
      QStringLiteral("0"),
      QStringLiteral("Pozycja startowa silnika krokowego"),
      QStringLiteral("40"),
      QStringLiteral("Flaga znaczników:"),
      QStringLiteral("0"),
      QStringLiteral("Pozycja silnika dla CUTOFF"),
      QStringLiteral("210"),
      QStringLiteral("Obroty silnika krokowego dla CUTOFF"),
      QStringLiteral("800"),
      QStringLiteral("TH sondy Lambda2:"),
      QStringLiteral("61"),
      QStringLiteral("Okres sondy Lambda2:"),
      QStringLiteral("61"),
      QStringLiteral("Opóźnienie początkowe:"),
      QStringLiteral("2"),
      QStringLiteral("Prędkość silnika"),
      QStringLiteral("10"),
      QStringLiteral("Parametry przyspieszania"),
      QStringLiteral("5"),
      QStringLiteral("Liczba kroków silnika przy braku gazu"),
      QStringLiteral("5"),
  };
}

QString SettingsTemplate::line(int index) const {
  return index >= 0 && index < lines_.size() ? lines_.at(index) : QString();
}

void SettingsTemplate::setLine(int index, const QString& text) {
  if (index >= 0 && index < lines_.size()) lines_[index] = text;
}

}  // namespace orvel
