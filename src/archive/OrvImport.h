#pragma once

#include "archive/ArchiveStore.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace orvel {

// A settings file as the archive keeps it: the car it names and the settings block the
// controller would hold after the editor had sent every value the file shows.
struct ImportedSettings {
  CarLines car;
  SettingsBlock block{};
};

struct ImportResult {
  std::optional<ImportedSettings> settings;
  int badLine = -1;  // the first line that does not fit, from 0 as the listing counts
  QString badText;   // that line as it is in the file
};

// The reference rpm values of an import are converted through; the file holds rpm only, and the
// block keeps this reference so that it shows the same rpm again.
constexpr long long kImportReference = 1100;

// Reads a parameter listing (lines 0..48 of a settings file) by position: the car lines 6 and 7,
// every value line from 14 to 44 and the option lines 45 to 48; the caption lines may be in any
// interface language and only need to be there.
ImportResult parseSettingsListing(const QStringList& lines);

// The refusal for a file that does not parse, naming its line (counted from 1, as an editor
// shows it).
QString importRefusalText(const ImportResult& result);

}  // namespace orvel
