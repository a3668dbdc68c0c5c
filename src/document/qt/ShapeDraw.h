#pragma once
// Selection shapes drawn through a QPainter (antialiasing off). The overlay draws
// outlines with it; the selection masks draw shapes filled or stroked into 24-bit
// bitmaps through a QImage view.
#include <QPainter>
#include <vector>

#include "document/Shapes.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

// Draws the shape of kind in r. Mode 1 uses style 0, 2 style 1, 3 style 3 when
// AntsPhase is set else style 2 and then toggles AntsPhase, 4 the same choice without
// toggling; mode 0 the painter's pen and brush as the caller set them. A style means:
// no brush, the style's background colour behind dotted pens, its pen mode (XOR
// becomes the raster XOR composition), a 1-pixel pen of its colour and dash.
// Traced outlines (ssMultiPoints) set their pixels directly in every mode.
void Draw(TShapeManager& shape, QPainter& painter, const TRect& r, int mode, TMyShape kind);

// The shape of kind in r filled in one colour (solid brush, copy pen of width 1).
void DrawShapeFilled(TShapeManager& shape, TBitmap& bmp, const TRect& r, TMyShape kind, TColor color);
// A run of columns [x0, x1) of one row.
struct TSpan {
  int x0, x1;
};
// The columns of row y that DrawShapeFilled covers for the kinds it fills by rows
// (rectangle, ellipse, rounded rectangle), cut to [lo, hi): spans replaces its content
// with ascending, disjoint, non-adjacent runs. False, spans empty, for another kind.
bool FilledShapeRowSpans(const TRect& r, TMyShape kind, int y, int lo, int hi, std::vector<TSpan>& spans);

// The shape's outline with a solid copy pen of the width, no fill.
void DrawShapeStroked(TShapeManager& shape, TBitmap& bmp, const TRect& r, TMyShape kind, TColor color,
                      int penWidth);

}  // namespace qm
