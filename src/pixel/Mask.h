#pragma once
// Kernels that make and reshape grey masks, and two fills that share their machinery
// (a radial gradient and a cloud texture).
//
// Masks are 24-bit bitmaps read through the first byte of each pixel: 0 is inside
// (fully applied), 255 outside (untouched); every kernel writes the three bytes of a
// pixel alike. Each kernel clips its rect to the bitmap first and does nothing for an
// empty rect or an out-of-range parameter. The neighbourhood passes treat the rect as
// the world: they never read a pixel outside it.
//
// The integer distance the gradient uses is IntDistance (platform/core/Numeric.h).
#include <cstdint>

#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

// Every pixel of the rect: d = IntDistance to the centre; t = (radius - d) * 255 div
// radius when d < radius, else 0; each channel B + trunc((A - B) * t / 255). So A at
// the centre and B at and beyond the radius; a radius of 0 or less gives B everywhere.
void FillRadialGradient(TBitmap& bmp, TColor colorA, TColor colorB, int radius, int centerX, int centerY,
                        TRect rect);

// A plasma texture between B (grid value 0) and A (grid value 192), made by midpoint
// displacement on a 256 x 256 grid that is walked as a triangle wave, so the texture
// tiles without seams. Draws from the shared random generator: seed it first to repeat
// a texture.
void RenderClouds(TBitmap& bmp, TColor colorA, TColor colorB, TRect rect);

// The mask is sized to the source (the overlap kept, new pixels 255). For each pixel of
// the rect: a source pixel not within the tolerance of the colour (every channel) makes
// the mask pixel 0; a matching one makes it 255 when set is true and leaves it
// otherwise. Nothing for a tolerance below 0 or a source that is not 24-bit.
void MaskByColorTolerance(const TBitmap& src, TBitmap& mask, TColor color, int tolerance, bool set, TRect rect);
// The same with the roles exchanged: matching pixels become 0, the others 255 when set.
void MaskByColorToleranceInverted(const TBitmap& src, TBitmap& mask, TColor color, int tolerance, bool set,
                                  TRect rect);
// Mask sized as above; matching source pixels make the mask pixel 255, the others
// leave it.
void ExcludeColorFromMask(const TBitmap& src, TBitmap& mask, TColor color, int tolerance, TRect rect);

// One feathering pass: a pixel below 255 becomes min(sum div 9, 255) of its 3 x 3
// values, where a neighbour outside the rect or equal to 255 counts as 333. The inside
// edge of a region grows lighter while its interior stays.
void FeatherMaskEdgesRect(TBitmap& mask, TRect rect);
// Every pixel below 255 becomes 255 when its value is above the level, else 0.
void ThresholdMaskRect(TBitmap& mask, int level, TRect rect);
// True when the first byte of every pixel of the clipped rect equals the value; an
// empty rect gives true, a bitmap that is not 24-bit false.
bool MaskRectEquals(const TBitmap& bmp, int value, TRect rect);

// n < 0: -n shrink passes (a pixel below 255 with a 4-neighbour at 255 or outside the
// rect becomes 255); n > 0: n grow passes (a pixel at 255 with a 4-neighbour below 255
// becomes 0). Any number of passes costs about as much as one.
void ApplyMinMaxPasses(TBitmap& mask, int n, TRect rect);
// passes cross-blur passes: each pixel := (left + above + self + right + below) div 5
// of the first bytes, a neighbour outside the rect standing for the pixel itself.
void BlurMaskCrossPasses(TBitmap& bmp, int passes, TRect rect);

// Destination pixel (x, y) of the rect (clipped to the destination and to the source
// placed at X, Y) takes source pixel (x - X, y - Y) where the source's first byte is
// greater: keeps the lighter of two masks.
void MergeRectMax(const TBitmap& src, TBitmap& dst, int X, int Y, TRect rect);

// Removes a background of nearly uniform colour that touches the rect's edges: scans
// each row from both ends toward the middle (horizontal) and then each column
// (vertical), setting the mask to 255 while the image stays within the tolerance of
// the colour where the run started; a mask pixel already at 255 starts a new run.
// Nothing for a tolerance below 1.
void MaskOutBackgroundFromEdges(const TBitmap& image, TBitmap& mask, bool horizontal, bool vertical,
                                int tolerance, TRect rect);

// Outlines the region of mask pixels at or below the level: every such pixel on the
// rect's edge or with a 4-neighbour above the level stamps a square of the pen size
// (centred, cut to the rect and to the destination) in the colour onto the destination.
// Nothing for a pen size below 1.
void StrokeMaskOutline(const TBitmap& mask, TBitmap& dst, TColor color, int penSize, int level, TRect rect);

// Cuts a tiled pattern's transparent parts out of a mask: pixel (x, y) of the rect
// whose value is below 255 becomes 255 (all three bytes) where the pattern pixel at
// ((x - originX) mod W, (y - originY) mod H) has exactly the key colour. Nothing for an
// empty pattern or one that is not 24-bit.
void MaskByTiledPattern(TBitmap& mask, TRect rect, const TBitmap& pattern, TColor key, int originX, int originY);

// Anti-aliases the stair steps of a hard mask: along each step shorter than the width
// (a negative width means no limit), the pixels outside the region beside an inside
// (0) pixel get a linear ramp from the inside outward; longer steps (straight edges)
// stay hard.
void RampMaskEdges(TBitmap& mask, TRect rect, int width);

}  // namespace qm
