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

// Texts of this program's own beyond those (the workshop server and the like) follow the
// interface language, all three of them.
inline QString tr3(const char* polish, const char* english, const char* italian) {
  const Language language = CurrentLanguage::get();
  return QString::fromUtf8(language == Language::English   ? english
                           : language == Language::Italian ? italian
                                                           : polish);
}

// The title of the program's own warnings (the link's and the like).
inline QString attentionTitle() {
  return plIt(QStringLiteral("Uwaga"), QStringLiteral("!!!"));
}

}  // namespace orvel
