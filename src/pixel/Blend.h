#pragma once
// Copying, blending and compositing one 24-bit bitmap, a pattern or a colour into
// another. Every routine clips its rectangles first and returns at once when nothing
// is left; none fails. Masks are grey 24-bit bitmaps read through the first byte of
// each pixel: 0 applies fully, 255 leaves the destination untouched.
//
// Placement: X, Y put the source block's top-left corner in the destination;
// destination pixel (x, y) takes source pixel (x - X, y - Y). The source rect only
// bounds the block's size. Source and destination may be the same bitmap: the result
// is as if the source had been copied first.
#include <cstdint>

#include "pixel/Params.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Colors.h"
#include "platform/core/Types.h"

namespace qm {

// --- Per-pixel blends (dst, src: B, G, R pixels; percent an integer) -------------

// Tolerance > 0: each of the three low bytes of a and b differ by at most the
// tolerance; otherwise the three low bytes are equal. Values compared as passed.
bool SameColorWithin(int tolerance, TColor a, TColor b);
// dst += trunc((src - dst) * percent / 100) per channel; percent >= 100 copies.
void BlendPixel(uint8_t* dst, const uint8_t* src, int percent);
// As BlendPixel with q = floor((255 - mask) * percent / 255) in place of percent.
void BlendPixelMasked(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int percent);
// Nothing when every channel of src is within the tolerance of key; else BlendPixel.
void BlendPixelKeyed(uint8_t* dst, const uint8_t* src, int percent, const uint8_t* key, int tolerance);
void BlendPixelKeyedMasked(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int percent,
                           const uint8_t* key, int tolerance);

// --- Block copies --------------------------------------------------------------

void CopyBitmap24(const TBitmap& src, TBitmap& dst);
void CopyBitmap24At(const TBitmap& src, TBitmap& dst, int X, int Y);
void CopyBitmapRect(const TBitmap& src, TRect srcRect, TBitmap& dst, int X, int Y, TRect dstRect);
void CopyBitmapRectOpacity(const TBitmap& src, TRect srcRect, TBitmap& dst, int X, int Y, TRect dstRect,
                           int opacity);
void CopyBitmapRectTransparent(const TBitmap& src, TRect srcRect, TBitmap& dst, int X, int Y, TRect dstRect,
                               int opacity, TColor key, int tolerance);
// The mask must be at least as large as the source bitmap; it is read at the source
// position of each pixel.
void CopyBitmapRectMasked(const TBitmap& src, TRect srcRect, TBitmap& dst, int X, int Y, TRect dstRect,
                          int opacity, const TBitmap& mask);
// As CopyBitmapRectMasked, the mask acting as on (below 255) or off.
void CopyBitmapRectWhereMasked(const TBitmap& src, TRect srcRect, TBitmap& dst, int X, int Y, TRect dstRect,
                               int opacity, const TBitmap& mask);

// --- Stretching copies ----------------------------------------------------------
// dstRect is where the whole (clipped) source rect lands; clipRect limits what is
// written. Nearest-pixel sampling.

void StretchBitmapRect(const TBitmap& src, TRect srcRect, TBitmap& dst, TRect dstRect, TRect clipRect);
void StretchBitmapRectOpacity(const TBitmap& src, TRect srcRect, TBitmap& dst, TRect dstRect, TRect clipRect,
                              int opacity);
void StretchBitmapRectTransparent(const TBitmap& src, TRect srcRect, TBitmap& dst, TRect dstRect,
                                  TRect clipRect, int opacity, TColor key, int tolerance);
void StretchBitmapRectMasked(const TBitmap& src, TRect srcRect, TBitmap& dst, TRect dstRect, TRect clipRect,
                             int opacity, const TBitmap& mask);
// StretchBitmapRect into 32-bit words 0xFFRRGGBB (the screen's format): dst holds
// dstHeight rows of dstWidth words, stride bytes apart. The same pixels land where
// StretchBitmapRect into a 24-bit bitmap of that size would put them.
void StretchBitmapRectToXrgb(const TBitmap& src, TRect srcRect, uint32_t* dst, ptrdiff_t stride, int dstWidth,
                             int dstHeight, TRect dstRect, TRect clipRect);

// --- Patterns, colours and masks ------------------------------------------------
// Pattern tiling: destination (x, y) takes pattern ((x - originX) mod W, (y - originY)
// mod H). An empty pattern leaves the destination unchanged.

void FillRectWithPatternPlain(const TBitmap& pattern, TBitmap& dst, int originX, int originY, TRect rect);
void FillRectWithPatternOpacity(const TBitmap& pattern, TBitmap& dst, int originX, int originY, TRect rect,
                                int opacity);
void FillRectWithPattern(const TBitmap& pattern, TBitmap& dst, int originX, int originY, TRect rect,
                         int opacity, TColor key, int tolerance);
// Where the mask (placed at X, Y) is below 255, blends the colour by the mask.
void BlendColorThroughMask(const TBitmap& mask, TRect maskRect, TBitmap& dst, int X, int Y, TRect dstRect,
                           TColor color, int opacity);
// As BlendColorThroughMask with a pattern anchored at the clipped rect's top-left;
// with useKey and a key other than clNone, pattern pixels equal to the key are skipped.
void FillPatternThroughMask(const TBitmap& mask, TRect maskRect, TBitmap& dst, int X, int Y, TRect dstRect,
                            const TBitmap& pattern, bool useKey, TColor key, int opacity);
// Destination := colour wherever low <= mask <= high.
void FillColorWhereMaskInRange(const TBitmap& mask, TRect maskRect, TBitmap& dst, int X, int Y, TRect dstRect,
                               TColor color, int low, int high);
// Texture relief: under a black pattern pixel (sum of bytes <= 15) darkens by percent
// of the pixel's own value, under a white one (sum >= 750) lightens, else leaves it.
void ApplyTexturePattern(const TBitmap& pattern, TBitmap& dst, TRect rect, int percent);

// --- Row kernels shared with other kernel families -------------------------------

// dst[i] += trunc((src[i] - dst[i]) * percent / 100) for n bytes, percent 0..100.
void BlendRow(uint8_t* dst, const uint8_t* src, int n, int percent);
// The same with a weight 0..100 per byte.
void BlendRowWeighted(uint8_t* dst, const uint8_t* src, const uint8_t* weight, int n);

// The fade of the last change of an image: its result mixed back over the image as it
// was before it, Opacity percent of it (100 the whole change, 0 none), by BlendRow's
// rule over the change's rectangle (the history keeps both sides).
struct TFadeParams {
  int Opacity;
};
template <>
struct TParamTable<TFadeParams> {
  static constexpr std::array Fields{
      IntParam("Opacity", &TFadeParams::Opacity, {0, 100}, {0, 100}, 100),
  };
};

}  // namespace qm
