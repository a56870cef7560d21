#pragma once

#include "core/Language.h"

#include <QString>
#include <QStringList>

namespace orvel {

// The help page of a language: "pomoc.html" (Polish), "help-en.html", "help-it.html".
QString helpPageName(Language language);

// The page to show: the interface language's page in the first folder that has it, else the
// Polish page (every installation has it) in the first folder that has that; empty when none
// has either. Folders are searched in order; an empty folder name is the working directory.
QString findHelpPage(Language language, const QStringList& folders);

// Where a program finds its help: the installation directory first, then beside the program
// (the build tree) and the share folder of the prefix it was installed into.
QStringList helpFolders(const QString& installationDirectory, const QString& programDirectory);

}  // namespace orvel
