#pragma once

#include <QIcon>
#include <QPixmap>

namespace orvel {

// The program's pictures are drawn, not shipped: they stay sharp at any scale and need no
// binary assets in the repository. The logo's line under the name is in the interface language.
QPixmap logoPicture(const QSize& size);
QPixmap aboutPicture();

enum class CommandPicture { Settings, Calibration, Oscilloscope, RpmScaling };
QIcon commandIcon(CommandPicture which);

// Small arrow glyphs for flat buttons (the panel's enlarge and restore buttons).
enum class ArrowGlyph { Left, Right, Up, Down };
QIcon arrowIcon(ArrowGlyph direction);

}  // namespace orvel
