#pragma once
// Point operations on 24-bit bitmaps, and a few small neighbourhood ones. Each works
// in place on the rect (clipped to the bitmap) and does nothing for an empty rect or
// a neutral or out-of-range parameter.
#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

// Moves each channel toward the colour by percent (away from it when negative):
// v + trunc((c - v) * p / 100). Nothing for 0 or outside -100..100.
void TintRect(TBitmap& bmp, TColor color, int percent, TRect rect);
// 3 x 3 mean of the unchanged pixels, the rect's edge pixels standing in for the
// neighbours outside the rect.
void BoxBlur3x3Rect(TBitmap& bmp, TRect rect);

}  // namespace qm
