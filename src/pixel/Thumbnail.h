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

}  // namespace qm
