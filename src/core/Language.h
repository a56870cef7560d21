#pragma once

#include <QString>

namespace orvel {

enum class Language { Polish, English, Italian };

// The interface language is whatever item of the language menu is checked; the main window
// mirrors its check marks here so that code without access to the menu can apply the message
// rule below.
class CurrentLanguage {
 public:
  static Language get();
  static void set(Language language);
  static bool isPolish() { return get() == Language::Polish; }
};

// Prompts, status texts and message boxes exist in Polish and Italian only: Polish when the
// Polish item is checked, Italian otherwise (English users see the Italian wording too).
inline QString plIt(const QString& polish, const QString& italian) {
  return CurrentLanguage::isPolish() ? polish : italian;
}

// Texts of the program's own that no caption table has follow the interface language, whichever
// of the three it is.
inline QString tr3(const QString& pl, const QString& en, const QString& it) {
  switch (CurrentLanguage::get()) {
    case Language::English:
      return en;
    case Language::Italian:
      return it;
    case Language::Polish:
      break;
  }
  return pl;
}

// The same for UTF-8 literals.
inline QString tr3(const char* polish, const char* english, const char* italian) {
  switch (CurrentLanguage::get()) {
    case Language::English:
      return QString::fromUtf8(english);
    case Language::Italian:
      return QString::fromUtf8(italian);
    case Language::Polish:
      break;
  }
  return QString::fromUtf8(polish);
}

// The title of the controller's and the link's warnings, which fitters know by it.
inline QString attentionTitle() {
  return plIt(QStringLiteral("Uwaga"), QStringLiteral("!!!"));
}

// The title of every other warning: the program's own boxes speak the interface language whole.
inline QString warningTitle() {
  return tr3("Uwaga", "Warning", "Attenzione");
}

// The unit of engine speed beside a number.
inline QString rpmUnitText() {
  return tr3("obr/min", "rpm", "giri/min");
}

}  // namespace orvel
