#include "core/ConfigFile.h"

#include "core/TextFile.h"

namespace orvel {

QStringList ConfigFile::templateLines() {
  const QString rule(57, QLatin1Char('='));
  return {
      QStringLiteral("00"),
      QStringLiteral("01     *Plik konfiguracyjny programu Orvel 2001 v2.2*"),
      QStringLiteral("02 "),
      QStringLiteral("03 UWAGA! Proszę nie modyfikować zawartości. "),
      QStringLiteral("04 ") + rule + QLatin1Char(' '),
      QStringLiteral("05 Ustawienia języka: {0-polski, 1-angielski, 2-włoski}"),
      QStringLiteral("0"),
      QStringLiteral("07 Wielkość po uruchomieniu: {wsnormal/wsmaximized}"),
      QStringLiteral("wsmaximized"),
      QStringLiteral("09 ") + rule,
      QStringLiteral("10 Numer portu szeregowego: {com1/com2}"),
      QStringLiteral("com1"),
      QStringLiteral("12 ") + rule,
  };
}

QStringList ConfigFile::load(const QString& path) {
  const auto read = readTextLines(path);
  QStringList lines = read ? *read : templateLines();
  if (value(lines, kWindowStateLine).isEmpty()) lines = templateLines();
  return lines;
}

void ConfigFile::save(const QString& path, const QStringList& lines) {
  writeTextLines(path, lines);
}

QString ConfigFile::value(const QStringList& lines, int index) {
  return index >= 0 && index < lines.size() ? lines.at(index) : QString();
}

void ConfigFile::setValue(QStringList& lines, int index, const QString& text) {
  if (index >= 0 && index < lines.size()) lines[index] = text;
}

void ConfigFile::storeOnClose(QStringList& lines, bool com1Checked, WindowState state,
                              Language language) {
  setValue(lines, kPortLine, com1Checked ? QStringLiteral("com1") : QStringLiteral("com2"));
  if (state == WindowState::Normal) setValue(lines, kWindowStateLine, QStringLiteral("wsnormal"));
  if (state == WindowState::Maximized) {
    setValue(lines, kWindowStateLine, QStringLiteral("wsmaximized"));
  }
  switch (language) {
    case Language::Polish:
      setValue(lines, kLanguageLine, QStringLiteral("0"));
      break;
    case Language::English:
      setValue(lines, kLanguageLine, QStringLiteral("1"));
      break;
    case Language::Italian:
      setValue(lines, kLanguageLine, QStringLiteral("2"));
      break;
  }
}

}  // namespace orvel
