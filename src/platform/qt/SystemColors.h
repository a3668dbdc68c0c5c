#pragma once
// System colours on screen. A colour value that names a system colour (Colors.h) is
// shown in the colour of the matching role of a widget's palette, so swatches, menus
// and controls follow the desktop's theme. Pixels written into images keep resolving
// through ColorToRGB's fixed table, so a document never depends on the theme.
#include <QColor>
#include <QPalette>

#include "platform/core/Colors.h"

namespace qm {

// The palette role that stands for a system colour, and the group it is read from
// (the active group; grey text from the disabled one). False for a value that is not a
// system colour or names an index without a role.
bool SystemColorRole(TColor c, QPalette::ColorGroup& group, QPalette::ColorRole& role);

// The colour a value shows in: a system colour through its palette role, any other
// value (or a system index without a role, through ColorToRGB) as it is.
QColor ColorToQColor(TColor c, const QPalette& palette);

// The colour value of an opaque colour on screen.
inline TColor QColorToColor(const QColor& c) { return RGB(c.red(), c.green(), c.blue()); }

}  // namespace qm
