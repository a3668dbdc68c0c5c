#pragma once
// The per-dab kernels of the painting tools: blur, smudge, airbrush, clone, pattern and
// retouch. A stroke calls one kernel per dab at a point (x, y) of a 24-bit bitmap.
//
// Every kernel changes, in place, only the pixels of the brush box (the square of side
// 2 radius + 1 around the point, cut to the rect clipped to the bitmap) whose integer
// distance to the point (IntDistance) is at most the radius. Each such pixel moves
// toward a target t by a weight w percent, per channel v += (t - v) * w / 100
// truncating toward zero, where w is the strength (1..100; more counts as 100, less
// does nothing) up to the core radius and then falls off linearly to 0 at the radius:
// w = (radius - d) * strength / (radius - core). The core is radius / 3, radius / 4 for
// the airbrush and the retouch. A negative radius does nothing.
#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

// Target: the 3 x 3 mean of the pixels as they were before the dab, neighbours outside
// the brush box replaced by the pixel's own row or column.
void BlurBrushDab(TBitmap& bmp, int x, int y, TRect rect, int strength, int radius);
// Target: a pixel as it was before the dab, from a copy of the brush box shifted by the
// steps (each clamped to -1..1) and cut to the rect: the copy is read at the pixel's
// offset in the brush box plus the steps, clamped to the copy. Nothing when the shifted
// box is empty.
void SmudgeDab(TBitmap& bmp, int x, int y, TRect rect, int verticalStep, int horizontalStep, int strength,
               int radius);
// Target: the colour, for the pixels a draw of Random(sparsity) picks (the draw gives 0;
// sparsity 0 or 1 picks every pixel). Draws come from the program's one generator, one
// per pixel within the radius, rows top to bottom. Sparsity below 0 does nothing.
void AirbrushDab(TBitmap& bmp, int x, int y, TRect rect, int sparsity, TColor color, int strength, int radius);
// Target: the source pixel at (px + horizontalOffset, py + verticalOffset); pixels whose
// source lies outside the source bitmap are left alone. The source may be the bitmap
// itself: it is then read as the dab goes, rows top to bottom, pixels left to right.
void CloneDab(TBitmap& bmp, const TBitmap& source, int x, int y, TRect rect, int strength, int verticalOffset,
              int horizontalOffset, int radius);
// Target: the pattern tiled over the bitmap from (x - radius, y - radius) when anchored,
// else from (0, 0). A transparent pattern's key-coloured pixels are skipped.
void PatternDab(TBitmap& bmp, const TBitmap& pattern, int x, int y, TRect rect, bool anchored, int strength,
                int radius);
// Target by mode, per channel v, L the pixel's luminance: 0 darken round((v / 255)^1.13
// * 255); 1 lighten round((v / 255)^0.88 * 255); 2 desaturate round(v - (v - L) * 0.2);
// 3 saturate round(v + (v - L) * 0.1); 4 red eye: when red / (blue + 1) and
// red / (green + 1) are both at least 1.33, red's target is round(L * 0.69). Targets
// are clamped to 0..255; other modes do nothing.
void RetouchDab(TBitmap& bmp, int x, int y, TRect rect, int mode, int strength, int radius);

}  // namespace qm
