#pragma once
// The pictures of the tool palette, drawn by the program: the tool buttons' glyphs,
// the selection page's glyphs, the brush tips and the image cursors of the tools.
#include <QCursor>
#include <QPixmap>

#include "platform/core/Bitmap.h"
#include "shell/palette/PaletteRules.h"

namespace qm {

inline constexpr int kToolGlyphSize = 20;
// A tool button's glyph; greyed for a disabled button.
QPixmap ToolGlyph(TTool tool, bool disabled);

// The selection page's buttons TB0..TB11, by their number in the page.
inline constexpr int kSelectionButtonCount = 12;
QPixmap SelectionGlyph(int button, bool disabled);
// The colour area's buttons: swap the two colours, back to black on white.
QPixmap SwapColorsGlyph();
QPixmap ResetColorsGlyph();
// The layer page's buttons: new, duplicate, delete, merge down, options.
QPixmap LayerCommandGlyph(int button);
// The arrow pictures beside the line page's two boxes: a head at one end, at both.
QPixmap ArrowGlyph(bool bothEnds);

// The brush tips' glyphs: grey 24-bit bitmaps, black where the tip paints fully,
// white where it leaves the pixel. The brush page has twelve (its first three stand
// for the tips made at the chosen size), the advanced brush page fifteen.
inline constexpr int kBrushTipCount = 12, kAdvancedTipCount = 15;
const TBitmap& BrushTipGlyph(int index);
const TBitmap& AdvancedTipGlyph(int index);

// The image cursors by the numbers the main window loads them under: 5 pipette, 6
// free-hand, 7 line, 8 fill, 9 blur, 10 airbrush, 11 clone source, 12 polygon, 16 magic
// wand, 17 smudge, 18 retouch; -3 a cross, -22 the four arrows; 0 and any other number
// the arrow.
QCursor ToolCursor(int number);

}  // namespace qm
