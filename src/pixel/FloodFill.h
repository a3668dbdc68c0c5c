#pragma once
// Flood fill behind the bucket and magic-wand tools: the 4-connected region of pixels
// that match the seed pixel's colour within a tolerance, limited to a rectangle and,
// optionally, to a selection mask, is either painted with a colour in the bitmap or
// painted black in an output mask (which is first made white everywhere, the bitmap
// left as it was).
#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

// Results of the fills.
constexpr int ffDone = 2;      // filled (also: nothing to fill)
constexpr int ffPartial = 1;   // memory ran out part way; what was filled stays
constexpr int ffFailed = -1;   // nothing painted: a mask of another size or format, or no memory

// Fills from the seed (x, y). A pixel belongs to the region when it lies in the rect
// (clipped to the bitmap), each channel is within |tolerance| of the seed colour's (0:
// equal), and, with a non-empty selection mask, the mask's first byte there is below
// 255. An empty output mask is ignored; a given one (non-empty) receives the region.
// Without an output mask the region is painted with the fill colour; clNone then
// paints nothing. An empty rect or a seed outside it gives ffDone.
int FloodFillBitmap(TBitmap& bmp, const TBitmap* selectionMask, int x, TBitmap* outputMask, TRect rect,
                    int tolerance, TColor fillColor, int y);
// The scan-line fill proper, with the same parameters, guards and results.
int FloodFillScan(TBitmap& bmp, const TBitmap* selectionMask, int x, TBitmap* outputMask, TRect rect,
                  int tolerance, TColor fillColor, int y);

}  // namespace qm
