#pragma once

#include "core/Language.h"

#include <QString>

#include <memory>

class QTranslator;

namespace orvel {

// Qt's own texts (the standard file and print dialogs, the buttons of message boxes and of the
// fields' context menus) in the interface language. Debian ships Qt's catalogues in
// qt6-translations-l10n; English needs none, and a language whose catalogue is missing falls
// back to Qt's English rather than failing.
class QtTranslations {
 public:
  // folder: where the catalogues are; Qt's own translations folder when empty.
  explicit QtTranslations(QString folder = QString());
  ~QtTranslations();
  QtTranslations(const QtTranslations&) = delete;
  QtTranslations& operator=(const QtTranslations&) = delete;

  // Puts the language's catalogue on the application in place of the previous one; false when
  // that language has none there.
  bool apply(Language language);

 private:
  QString folder_;
  std::unique_ptr<QTranslator> translator_;
};

}  // namespace orvel
