#pragma once
#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

// Draws one cell of an image browser into target: with a shadow width, a surround
// colour and a feathered shadow around a framed cell; the cell colour inside; then
// the source fitted and centred within the margin, never enlarged. imageRect receives
// where the image was drawn.
void DrawThumbnail(const TBitmap& source, TBitmap& target, TColor cellColor, int margin, int shadowWidth,
                   TColor surroundColor, bool smooth, TRect& imageRect);

// A quick area reduction of a large 24-bit picture, the first step of a thumbnail. The
// source rect (clipped to the source) is cut into dst's width x height blocks with integer edges (block i of n over
// a side of s spans [i * s / n, (i + 1) * s / n)); each destination pixel is the
// rounded average of its block, read on at most rowsPerPixel of the block's rows
// (those at the centres of as many equal bands) and on every column of those rows.
// Reading a fraction of the rows is what makes it fast; a smoothing filter run on the
// result hides the sampling.
// With a key colour (not clNone), pixels of that colour are left out of the average
// (a block read entirely of them takes the key colour) and keyMask becomes a 24-bit grey
// mask of dst's size whose pixels hold the share of the key colour read, 0 (none) to
// 255 (all). Nothing unless both bitmaps are 24-bit, dst is not empty nor wider or
// higher than the clipped rect and rowsPerPixel is at least 1.
void ReduceForThumbnail(const TBitmap& src, TRect srcRect, TBitmap& dst, int rowsPerPixel, TColor key = clNone,
                        TBitmap* keyMask = nullptr);

}  // namespace qm
