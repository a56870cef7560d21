#pragma once

#include "core/Language.h"

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

namespace orvel {

// One caption of a language table: where the control is (a window by its class name, or a panel
// of one: "TForm1/Panel1"), the control's object name (empty for the window's own caption; a
// radio group's item is "<group>Item<n>"), and the text to set.
struct CaptionRow {
  const char* scope;
  const char* control;
  const char* text;
};

// The caption tables of the three interface languages, in the order they are applied. The
// Italian table starts with one row more than the Polish one ("&Cancella" on the calibration
// panel's cancel button); the English table leaves the calibration panel alone.
QList<CaptionRow> Polski_napisy();
QList<CaptionRow> Angielski_napisy();
QList<CaptionRow> Wloski_napisy();
QList<CaptionRow> captionTable(Language language);

// Captions of the controls this program has beyond the tables above (the port device item and
// the like), in the same form.
QList<CaptionRow> additionalCaptions(Language language);
// The archive window's captions.
QList<CaptionRow> archiveCaptions(Language language);

// Sets each row's text on its control, in order: a menu's title, an action's, a label's or a
// button's text, a group box's title, a window's title. The windows are found among `windows` by
// object name. Returns a description of every row that names no control, or more than one.
QStringList applyCaptions(const QList<CaptionRow>& rows, const QList<QWidget*>& windows);

}  // namespace orvel
