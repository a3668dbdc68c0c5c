#pragma once
// Smooth resampling of layers through GraphicsMagick, the program's resampling library.
#include "platform/core/Bitmap.h"

namespace qm {

// Starts GraphicsMagick once for the process; safe to call from any thread, any number
// of times (also when the program has started it itself).
void EnsureGraphicsMagick();

// out := src (24-bit) resampled to w x h with GraphicsMagick's triangle filter. False,
// with out untouched, when src is not a non-empty 24-bit bitmap, the size is below 1 or
// the library fails.
bool ResampleTriangle(const TBitmap& src, int w, int h, TBitmap& out);

}  // namespace qm
