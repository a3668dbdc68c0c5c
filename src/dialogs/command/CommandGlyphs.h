#pragma once
// The small glyphs of the command dialogs' buttons, drawn at their size in the
// palette's text colour: the anchor grid's (the image where it is anchored, an arrow
// toward each neighbour it grows to), the pattern browse button's, the text alignments'.
#include <QIcon>

class QAbstractButton;

namespace qm {

// The anchor grid's button at (dx, dy) cells from the anchor: the image at (0, 0), an
// arrow toward a neighbour, nothing further away.
QIcon AnchorGlyph(int dx, int dy);
// A tiled pattern.
QIcon PatternGlyph();
// A button that chooses a picture file (a pattern, or a mask when told): the tiled
// pattern's glyph, and its hint.
void SetPatternChooser(QAbstractButton* button, bool mask = false);
// Text lines aligned 0 left, 1 centre, 2 right.
QIcon AlignmentGlyph(int alignment);

}  // namespace qm
