#pragma once

#include "settings/SettingsDecoder.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <map>

namespace orvel {

// What the settings editor shows, as plain data: the current caption of each label and radio
// group and the text of each field, by control name, and the selected item of each radio group
// (-1 while none is, as before the first read-out). The editor is the program's only store of
// the current settings as text; the report and the settings file are built from this.
struct EditorSnapshot {
  QHash<QString, QString> texts;
  std::map<FlagRadio, int> selected;

  // Empty for a control the snapshot does not hold.
  QString text(const QString& control) const { return texts.value(control); }
  int selectedItem(FlagRadio radio) const;
};

// The controls of the editor whose caption (labels, radio groups) or text (fields) the listing
// reads, in the order it reads them.
QStringList listingControls();

// The parameter listing, lines 0..48: the eight dane.cfg lines (a missing one is empty), five
// empty lines, the editor's settings as caption and value line pairs, the four option lines.
constexpr int kListingLineCount = 49;
QStringList parameterListing(const QStringList& userDataLines, const EditorSnapshot& editor);

// The printed report as param.cfg holds it: two empty lines on top, then the listing and the
// empty line after its last break, every one of those 50 lines indented by five blanks.
QStringList reportLines(const QStringList& listing);

// The report's left and top margins, added to the first 50 lines of any text and above it: the
// viewer prints a file with them as the report is printed.
QStringList withPrintMargins(const QStringList& lines);

}  // namespace orvel
