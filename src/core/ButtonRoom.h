#pragma once

#include <QFontMetrics>
#include <QPushButton>

namespace orvel {

// Room around a caption, whichever language and style: a style that measures a button by its
// text alone leaves the longer captions touching the frame, or cut off.
inline void giveRoom(QPushButton* b) {
  const QFontMetrics metrics = b->fontMetrics();
  b->setMinimumWidth(metrics.horizontalAdvance(b->text()) + 3 * metrics.averageCharWidth() + 12);
}

}  // namespace orvel
