#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace orvel {

QtTranslations::QtTranslations(QString folder)
    : folder_(folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath)
                               : std::move(folder)) {}

QtTranslations::~QtTranslations() = default;

bool QtTranslations::apply(Language language) {
  // Removed before the next is loaded: the application asks its translators newest first, and a
  // catalogue left behind would answer for the language chosen before.
  translator_.reset();
  QLocale locale;
  switch (language) {
    case Language::English:
      return true;
    case Language::Polish:
      locale = QLocale(QLocale::Polish, QLocale::Poland);
      break;
    case Language::Italian:
      locale = QLocale(QLocale::Italian, QLocale::Italy);
      break;
  }
  // Only the base catalogue: the serial port's error texts stay the fixed English ones.
  auto translator = std::make_unique<QTranslator>();
  if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder_))
    return false;
  if (!QCoreApplication::installTranslator(translator.get())) return false;
  translator_ = std::move(translator);
  return true;
}

}  // namespace orvel
