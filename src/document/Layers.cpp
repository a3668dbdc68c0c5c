#include "document/Layers.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "document/Resample.h"
#include "pixel/Blend.h"
#include "pixel/Blur.h"
#include "pixel/ColorAdjust.h"
#include "pixel/ImgUtils.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"
#include "platform/core/Random.h"

namespace qm {

void DrawLayerBitmap(const TBitmap& source, TBitmap& target, int left, const TBitmap& mask, int opacity,
                     TRect clipRect, int top) {
  if (source.Empty() || target.Empty()) return;
  ClipRectToBitmap(clipRect, target);
  if (clipRect.IsEmpty()) return;
  const TRect all = GetBitmapRect(source);
  if (!mask.Empty())
    CopyBitmapRectMasked(source, all, target, left, top, clipRect, opacity, mask);
  else if (source.Transparent)
    CopyBitmapRectTransparent(source, all, target, left, top, clipRect, opacity,
                              source.EffectiveTransparentColor(), 0);
  else
    CopyBitmapRectOpacity(source, all, target, left, top, clipRect, opacity);
}

void ApplyLayerAdjustments(TBitmap& target, const TLayerAdjustment& a, int opacity, TRect rect) {
  opacity = std::clamp(opacity, 0, 100);
  // 64-bit products: the settings are stored values and may be anything.
  auto scaled = [&](int32_t v) { return int(std::clamp<int64_t>(int64_t(v) * opacity / 100, INT32_MIN, INT32_MAX)); };
  if (a.Lighten != 0) LightenDarkenRect(target, scaled(a.Lighten), rect);
  if (a.Contrast != 0) ContrastRect(target, scaled(a.Contrast), rect);
  if (a.Saturation != 0) SaturationRect(target, scaled(a.Saturation), rect);
  if (a.Gamma != 1.0) GammaRect(target, rect, (a.Gamma - 1.0) * opacity / 100.0 + 1.0);
}

void RasterizeLayer(const TBitmap& source, TBitmap& target, TTransformation& transform, bool smooth,
                    const TBitmap& mask, int opacity) {
  if (!mask.Empty())
    RasterizeTransformMasked(source, target, transform, opacity, mask, smooth);
  else
    RasterizeTransformOpacity(source, target, transform, opacity, smooth);
}

void TintLayerRect(TBitmap& target, TColor color, int opacity, TRect rect, bool negate) {
  TintRect(target, color, negate ? -opacity : opacity, rect);
}

namespace {
// Shadow offsets are stored values: they are cut to the range every coordinate of the
// program stays in, so that sums of them never overflow.
int OffsetOf(int32_t v) { return std::clamp(v, -kCoordLimit, kCoordLimit); }
}  // namespace

TRect ExtendRectByShadow(TRect r, const TLayerShadow& s) {
  if (!s.Enabled) return r;
  const int ox = OffsetOf(s.OffsetX), oy = OffsetOf(s.OffsetY);
  if (ox < 0) r.Left += ox; else r.Right += ox;
  if (oy < 0) r.Top += oy; else r.Bottom += oy;
  const int m = ShadowReach(s);
  return TRect{r.Left - m, r.Top - m, r.Right + m, r.Bottom + m};
}

namespace {
// The blur kernel never reaches further than 100 pixels: a larger stored radius is
// read as 100, for the scatter too, so that a shadow's work area stays bounded.
constexpr int kMaxShadowRadius = 100;

// The fixed seed of spread shadows: the same layer always casts the same noise.
constexpr uint32_t kSpreadShadowSeed = 0x51ADE5u;

int RadiusOf(const TLayerShadow& s) { return std::min(s.Radius, kMaxShadowRadius); }

void ScatterOrBlur(TBitmap& work, const TLayerShadow& s) {
  const int r = RadiusOf(s);
  if (r <= 0) return;
  if (s.Spread) {
    // The program's generator, seeded for this and then put back as it was, so that the
    // noise of other operations does not depend on when the image is composed.
    const uint32_t saved = GetRandSeed();
    RandSeed(kSpreadShadowSeed);
    SpreadRect(work, 4 * r, 0, GetBitmapRect(work));
    RandSeed(saved);
  } else {
    GaussianBlurMaskRect(work, r, GetBitmapRect(work));
  }
}
}  // namespace

int ShadowReach(const TLayerShadow& s) {
  const int r = RadiusOf(s);
  if (r <= 0) return 0;
  if (s.Spread) return 2 * r;  // the scatter moves pixels by -2r..2r - 1
  TKernel k;
  MakeGaussianKernel(k, 1.0, 255.0, r);
  return k.Size;
}

TShadowMask PrepareShadowMask(const TBitmap& mask, int left, int top, int width, int height,
                              const TLayerShadow& shadow, TRect clip, int opacity) {
  TShadowMask out;
  out.Color = shadow.Color;
  out.Opacity = std::clamp(opacity, 0, 100) * std::clamp(shadow.Opacity, 0, 100) / 100;
  if (width <= 0 || height <= 0 || out.Opacity < 1) return out;
  const bool useMask = !mask.Empty() && mask.Width() >= width && mask.Height() >= height &&
                       mask.PixelFormat() == pf24bit;
  const int reach = ShadowReach(shadow);
  const TRect cast = Bounds(left + OffsetOf(shadow.OffsetX), top + OffsetOf(shadow.OffsetY), width, height);
  const TRect whole{cast.Left - reach, cast.Top - reach, cast.Right + reach, cast.Bottom + reach};
  out.Draw = IntersectRect(whole, clip);
  if (out.Draw.IsEmpty()) return out;
  // Blurring reads at most reach pixels away, so a margin of reach around what is drawn
  // gives exactly the pixels of the whole shadow; noise must be drawn over the whole.
  out.Area = shadow.Spread && shadow.Radius > 0
                 ? whole
                 : IntersectRect(whole, TRect{out.Draw.Left - reach, out.Draw.Top - reach, out.Draw.Right + reach,
                                              out.Draw.Bottom + reach});
  out.Work = TBitmap(out.Area.Width(), out.Area.Height(), pf24bit, clWhite);
  const TRect all = GetBitmapRect(out.Work);
  if (useMask)
    CopyBitmapRect(mask, Bounds(0, 0, width, height), out.Work, cast.Left - out.Area.Left, cast.Top - out.Area.Top,
                   all);
  else
    out.Work.FillRect(OffsetRect(cast, -out.Area.Left, -out.Area.Top), clBlack);
  ScatterOrBlur(out.Work, shadow);
  // No shadow under the layer itself.
  if (useMask)
    FillColorWhereMaskInRange(mask, Bounds(0, 0, width, height), out.Work, left - out.Area.Left,
                              top - out.Area.Top, all, clWhite, 0, 254);
  else
    out.Work.FillRect(Bounds(left - out.Area.Left, top - out.Area.Top, width, height), clWhite);
  return out;
}

void DrawShadowMask(const TShadowMask& s, TBitmap& target, TRect clip) {
  if (s.Empty()) return;
  const TRect r = IntersectRect(clip, s.Draw);
  if (r.IsEmpty()) return;
  BlendColorThroughMask(s.Work, GetBitmapRect(s.Work), target, s.Area.Left, s.Area.Top, r, s.Color, s.Opacity);
}

void RenderShadowFromMask(const TBitmap& mask, TBitmap& target, int left, int height, int width,
                          const TLayerShadow& shadow, TRect clip, int opacity, int top) {
  ClipRectToBitmap(clip, target);
  if (clip.IsEmpty()) return;
  DrawShadowMask(PrepareShadowMask(mask, left, top, width, height, shadow, clip, opacity), target, clip);
}

bool IsMaskPixelHidden(const TBitmap& mask, int x, int y) {
  if (mask.Empty() || x < 0 || y < 0 || x >= mask.Width() || y >= mask.Height()) return false;
  return mask.ScanLine(y)[3 * ptrdiff_t(x)] == 255;
}

void WhitenMaskedArea(TBitmap& image, const TBitmap& mask) {
  if (mask.Empty() || image.Empty()) return;
  FillColorWhereMaskInRange(mask, GetBitmapRect(mask), image, 0, 0, GetBitmapRect(image), clWhite, 255, 255);
}

TRect GetLayerContentRect(const TBitmap& image, const TBitmap& mask) {
  if (mask.Empty()) return GetBitmapRect(image);
  TRect r;
  FindTrimRect(mask, 0, clWhite, r);
  if (r.IsEmpty()) return TRect{};
  return r;
}

void CropLayerToMask(TBitmap& image, TBitmap& mask, TPoint& position) {
  const TRect r = GetLayerContentRect(image, mask);
  if (r.IsEmpty() || r == GetBitmapRect(mask)) return;
  CropBitmap(image, r);
  CropBitmap(mask, r);
  position.X += r.Left;
  position.Y += r.Top;
}

void ResizeLayerBitmap(TBitmap& bmp, int w, int h, bool smooth) {
  if (bmp.Empty() || w < 1 || h < 1) return;
  if (bmp.Width() == w && bmp.Height() == h) return;
  if (smooth && bmp.PixelFormat() == pf24bit && Resample(bmp, w, h, TResampleFilter::Triangle, bmp)) return;
  // Without smoothing, or when the library could not do it: the size still has to be
  // reached, since a mask must keep its image's size.
  ResizeBitmap(w, h, bmp);
}

void RepeatEdgePass(TBitmap& bmp, int passes, TColor keyColor, TRect rect) {
  if (bmp.PixelFormat() != pf24bit) return;
  ClipRectToBitmap(rect, bmp);
  if (rect.IsEmpty() || passes <= 0) return;
  const TPixel24 key = ColorToPixel24(keyColor);
  const int w = rect.Width();
  const size_t rowBytes = size_t(w) * 3;
  auto rowAt = [&](int y) { return bmp.ScanLine(y) + ptrdiff_t(rect.Left) * 3; };
  auto isKey = [&](const uint8_t* p) { return p[0] == key.B && p[1] == key.G && p[2] == key.R; };
  // A pass reads only the pixels as they were before it, so the rows split into bands
  // that run side by side; each band keeps a copy of the rows just outside it, which
  // its neighbours may rewrite meanwhile. Buffers are sized to the rect (any width).
  const int rows = rect.Height();
  const int bands = WorthThreading(int64_t(w) * rows) ? std::min(EngineThreads(), rows) : 1;
  std::vector<int> start(size_t(bands) + 1);
  for (int b = 0; b <= bands; ++b) start[size_t(b)] = rect.Top + int(int64_t(rows) * b / bands);
  std::vector<uint8_t> edges(2 * rowBytes * size_t(bands));
  for (int pass = 0; pass < passes; ++pass) {
    for (int b = 0; b < bands; ++b) {
      const int y0 = start[size_t(b)], y1 = start[size_t(b) + 1];
      // above the band's first row and below its last; the rect's edges stand for themselves
      std::memcpy(&edges[2 * rowBytes * size_t(b)], rowAt(y0 > rect.Top ? y0 - 1 : y0), rowBytes);
      std::memcpy(&edges[2 * rowBytes * size_t(b) + rowBytes], rowAt(y1 < rect.Bottom ? y1 : y1 - 1), rowBytes);
    }
    ParallelRows(0, bands, int64_t(w) * rows, [&](int b0, int b1) {
      std::vector<uint8_t> prev(rowBytes), cur(rowBytes);
      for (int b = b0; b < b1; ++b) {
        const int y0 = start[size_t(b)], y1 = start[size_t(b) + 1];
        std::memcpy(prev.data(), &edges[2 * rowBytes * size_t(b)], rowBytes);
        const uint8_t* lastBelow = &edges[2 * rowBytes * size_t(b) + rowBytes];
        for (int y = y0; y < y1; ++y) {
          uint8_t* row = rowAt(y);
          std::memcpy(cur.data(), row, rowBytes);
          // inside the band the row below has not been written in this pass yet
          const uint8_t* below = y + 1 < y1 ? rowAt(y + 1) : lastBelow;
          for (int x = 0; x < w; ++x) {
            const uint8_t* self = &cur[3 * size_t(x)];
            if (!isKey(self)) continue;
            const uint8_t* candidates[4] = {&prev[3 * size_t(x)], below + 3 * ptrdiff_t(x),
                                            &cur[3 * size_t(x > 0 ? x - 1 : x)],
                                            &cur[3 * size_t(x + 1 < w ? x + 1 : x)]};
            for (const uint8_t* c : candidates) {
              if (!isKey(c)) {
                std::memcpy(row + 3 * ptrdiff_t(x), c, 3);
                break;
              }
            }
          }
          std::swap(prev, cur);
        }
      }
    });
  }
}

void BlendLayerThroughMasks(const TLayerItem& upper, const TLayerItem& lower, TBitmap& out, int originX,
                            int originY) {
  if (out.PixelFormat() != pf24bit || upper.Image.Empty() || lower.Image.Empty()) return;
  const TRect ur = Bounds(upper.Left, upper.Top, upper.Image.Width(), upper.Image.Height());
  const TRect lr = Bounds(lower.Left, lower.Top, lower.Image.Width(), lower.Image.Height());
  TRect area = IntersectRect(IntersectRect(ur, lr), Bounds(originX, originY, out.Width(), out.Height()));
  if (area.IsEmpty()) return;
  const bool uMask = upper.Mask.Width() >= upper.Image.Width() && upper.Mask.Height() >= upper.Image.Height();
  const bool lMask = lower.Mask.Width() >= lower.Image.Width() && lower.Mask.Height() >= lower.Image.Height();
  const double uo = upper.Opacity / 100.0, lo = lower.Opacity / 100.0;
  const int w = area.Width();
  ParallelRows(area.Top, area.Bottom, int64_t(w) * area.Height(), [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      const uint8_t* us = upper.Image.ScanLine(y - upper.Top) + 3 * ptrdiff_t(area.Left - upper.Left);
      const uint8_t* ls = lower.Image.ScanLine(y - lower.Top) + 3 * ptrdiff_t(area.Left - lower.Left);
      const uint8_t* um = uMask ? upper.Mask.ScanLine(y - upper.Top) + 3 * ptrdiff_t(area.Left - upper.Left) : nullptr;
      const uint8_t* lm = lMask ? lower.Mask.ScanLine(y - lower.Top) + 3 * ptrdiff_t(area.Left - lower.Left) : nullptr;
      uint8_t* d = out.ScanLine(y - originY) + 3 * ptrdiff_t(area.Left - originX);
      for (int i = 0; i < w; ++i, us += 3, ls += 3, d += 3) {
        const double au = (255 - (um ? um[3 * i] : 0)) / 255.0 * uo;
        const double al = (255 - (lm ? lm[3 * i] : 0)) / 255.0 * lo;
        uint8_t px[3] = {ls[0], ls[1], ls[2]};
        if (au < 0.01) {
          // the lower pixel as it is
        } else if (al < 0.01 || au > 0.99) {
          std::memcpy(px, us, 3);
        } else if (al > 0.99) {
          BlendPixel(px, us, RoundHalfEven(au * 100));
        } else {
          // The share of the upper layer in the combined coverage 1 - (1 - al)(1 - au),
          // computed on the 0..255 scale.
          const int t = 255 - RoundHalfEven(255 * al);
          const int dd = t - RoundHalfEven(t * au);
          const int combined = dd >= 0 ? 255 - dd : 255;
          BlendPixel(px, us, RoundHalfEven(au / (combined / 255.0) * 100));
        }
        std::memcpy(d, px, 3);
      }
    }
  });
}

}  // namespace qm
