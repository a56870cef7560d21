#include "app/HelpPage.h"

#include "core/Registry.h"

#include <QFileInfo>

namespace orvel {

QString helpPageName(Language language) {
  switch (language) {
    case Language::English:
      return QStringLiteral("help-en.html");
    case Language::Italian:
      return QStringLiteral("help-it.html");
    case Language::Polish:
      break;
  }
  return QStringLiteral("pomoc.html");
}

QString findHelpPage(Language language, const QStringList& folders) {
  QStringList names{helpPageName(language)};
  if (language != Language::Polish) names << helpPageName(Language::Polish);
  for (const QString& name : names) {
    for (const QString& folder : folders) {
      const QFileInfo page(installationFile(folder, name));
      if (page.isFile()) return page.absoluteFilePath();
    }
  }
  return QString();
}

QStringList helpFolders(const QString& installationDirectory, const QString& programDirectory) {
  return {installationDirectory, programDirectory,
          programDirectory + QStringLiteral("/../share/orvel")};
}

}  // namespace orvel
