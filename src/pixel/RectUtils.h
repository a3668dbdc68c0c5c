#pragma once
// Measuring, ordering, squaring, fitting and placing rectangles.
#include <cstdint>

#include "platform/core/Types.h"

namespace qm {

// Alignment codes for placing a rectangle in another: 0..8 a 3 x 3 grid read row by
// row (0 top-left, 4 centre, 8 bottom-right), 9 centred horizontally only,
// 10 centred vertically only. The zoom viewport adds 11, a free position.
enum TAlignment : uint8_t {
  alTopLeft = 0, alTopCenter, alTopRight, alMiddleLeft, alCenter, alMiddleRight,
  alBottomLeft, alBottomCenter, alBottomRight, alCenterHorz, alCenterVert, alFree
};

int32_t RectWidth(const TRect& r);   // |Right - Left|
int32_t RectHeight(const TRect& r);  // |Bottom - Top|
bool IsRectZeroSize(const TRect& r);  // Left = Right and Top = Bottom
void OrderRect(const TRect& r, TRect& out);
void MakeOrderedRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, TRect& out);
// Cuts the longer side to the shorter one, keeping the left / top edge when asked.
void MakeRectSquare(const TRect& r, bool keepLeft, bool keepTop, TRect& out);
// Cuts the rect to the ratio width / height; a ratio of 0 or less leaves it as it is.
void FitRectToAspect(const TRect& r, bool anchorLeft, bool anchorTop, double ratio, TRect& out);
void AlignRectInRect(TRect& r, const TRect& bounds, TAlignment alignment);
void EnsureMinRectSize(TRect& r, int32_t minWidth, int32_t minHeight, bool anchorLeft, bool anchorTop);
// Moves the rect (never resizes it) back inside bounds; with clip it is then cut to them.
void KeepRectInside(TRect& r, const TRect& bounds, bool clip);

}  // namespace qm
