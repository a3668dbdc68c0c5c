#include "pixel/Composite.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "pixel/Blend.h"
#include "pixel/ColorAdjust.h"
#include "pixel/Convolution.h"
#include "pixel/Distortion.h"
#include "pixel/ImgUtils.h"
#include "pixel/Mask.h"
#include "pixel/Rank.h"
#include "pixel/Tiles.h"
#include "platform/core/Colors.h"
#include "platform/core/Numeric.h"

namespace qm {
namespace {

inline bool Is24(const TBitmap& b) { return b.PixelFormat() == pf24bit && !b.Empty(); }

// Clips the working rect; false when there is nothing to do.
bool Prepare(const TBitmap& bmp, TRect& rect) {
  if (!Is24(bmp)) return false;
  ClipRectToBitmap(rect, bmp);
  return !rect.IsEmpty();
}

// The same for a chain that also reads a copy of the bitmap.
bool Prepare(const TBitmap& bmp, const TBitmap& copy, TRect& rect) {
  return Is24(copy) && copy.Width() == bmp.Width() && copy.Height() == bmp.Height() && Prepare(bmp, rect);
}

// TintRect on a rect computed here, which must not be taken for its reversed twin.
void Tint(TBitmap& bmp, TColor c, int percent, const TRect& r) {
  if (!r.IsEmpty()) TintRect(bmp, c, percent, r);
}

// --- The notation of the chains ---------------------------------------------------------

// Pixel (x, y) of the rect takes pixel (x - dx, y - dy) of the bitmap as it was, at the
// percent, unless that pixel is the key colour (clNone: no key). The pixels it reads are
// first copied into the scratch bitmap (the bitmap's size), over the threads, and the
// blend reads them there: a chain's self-blends share one scratch instead of each
// copying the whole block anew.
void SelfBlend(TBitmap& bmp, TBitmap& scratch, int dx, int dy, int percent, const TRect& rect, TColor key = clNone) {
  const TRect read = IntersectRect(OffsetRect(rect, -dx, -dy), GetBitmapRect(bmp));
  if (read.IsEmpty()) return;
  CopyBitmapRect(bmp, GetBitmapRect(bmp), scratch, 0, 0, read);
  CopyBitmapRectTransparent(scratch, GetBitmapRect(scratch), bmp, dx, dy, rect, percent, key, 0);
}

// A scratch bitmap for SelfBlend.
TBitmap ScratchFor(const TBitmap& bmp) { return TBitmap(bmp.Width(), bmp.Height(), pf24bit); }

// src over dst moved by (dx, dy), the key colour skipped.
void KeyedCopy(const TBitmap& src, TBitmap& dst, TColor key, const TRect& rect, int dx = 0, int dy = 0) {
  CopyBitmapRectTransparent(src, GetBitmapRect(src), dst, dx, dy, rect, 100, key, 0);
}

// src over dst at the same place through the mask.
void MaskedCopy(const TBitmap& src, TBitmap& dst, const TBitmap& mask, int percent, const TRect& rect) {
  CopyBitmapRectMasked(src, GetBitmapRect(src), dst, 0, 0, rect, percent, mask);
}

void Copy(const TBitmap& src, TBitmap& dst, const TRect& rect) {
  CopyBitmapRect(src, GetBitmapRect(src), dst, 0, 0, rect);
}

// T := the bitmap again, over the rect.
void Refresh(TBitmap& t, const TBitmap& bmp, const TRect& rect) { Copy(bmp, t, rect); }

void Median(TBitmap& bmp, TBitmap& t, int radius, const TRect& rect) {
  ApplyRankFilter(bmp, t, rkMedian, rect, 0, radius);
}

// The edge sketch of the bitmap into a new bitmap (the bitmap is smoothed on the way).
TBitmap EdgeSketch(TBitmap& bmp, TColor dark, int spread, int contrast, TColor light, const TRect& rect) {
  TBitmap t;
  DrawEdgeSketch(&t, bmp, dark, rect, spread, contrast, light);
  return t;
}

// Black through the sketch of the bitmap's edges at the percent.
void InkEdges(TBitmap& bmp, int percent, const TRect& rect) {
  const TBitmap t = EdgeSketch(bmp, clBlack, 0, 0, clWhite, rect);
  BlendColorThroughMask(t, GetBitmapRect(t), bmp, 0, 0, rect, clBlack, percent);
}

// The head of the painterly chains: blocks, scattered, then a median; t is left a copy
// of the bitmap as it was before the median.
void MosaicSpreadMedian(TBitmap& bmp, TBitmap& t, int block, int spread, int radius, const TRect& rect) {
  MosaicRect(bmp, block, rect);
  t = bmp.Clone();
  SpreadPixels(bmp, t, spread, 0, rect);
  Refresh(t, bmp, rect);
  Median(bmp, t, radius, rect);
}

constexpr TColor kGrey22 = RGB(0x22, 0x22, 0x22), kGreyDD = RGB(0xDD, 0xDD, 0xDD), kGreyC0 = RGB(0xC0, 0xC0, 0xC0),
                 kGrey33 = RGB(0x33, 0x33, 0x33), kGreyCC = RGB(0xCC, 0xCC, 0xCC), kGreyEE = RGB(0xEE, 0xEE, 0xEE);

}  // namespace

// --- The edge sketch ----------------------------------------------------------------------

void DrawEdgeSketch(TBitmap* dst, TBitmap& src, TColor dark, TRect rect, int spread, int contrast, TColor light) {
  if (!Prepare(src, rect)) return;
  DirectionalSmoothRect(src, 0, rect);
  ContrastRect(src, contrast, rect);
  TBitmap& target = dst ? *dst : src;
  if (dst) ApplyConvolutionPreset(*dst, src, 9, rect);
  else ApplyConvolutionPresetInPlace(src, 9, rect);
  ThresholdRect(target, 250, dark, light, rect);
  SpreadRect(target, spread, 0, rect);
}

// --- Fills, frames and blurs --------------------------------------------------------------

void DrawImageFrame(TBitmap& bmp, TRect rect, TColor color, int percent, int width) {
  if (width < 1 || !Prepare(bmp, rect)) return;
  // Bands wider than the rect meet (and tint twice where they overlap) but stay inside it.
  const int w = std::min(width, std::max(rect.Width(), rect.Height()));
  const TRect& r = rect;
  Tint(bmp, color, percent, IntersectRect(TRect{r.Left, r.Top, r.Right, r.Top + w}, r));
  Tint(bmp, color, percent, IntersectRect(TRect{r.Left, r.Bottom - w, r.Right, r.Bottom}, r));
  Tint(bmp, color, percent, IntersectRect(TRect{r.Left, r.Top + w, r.Left + w, r.Bottom - w}, r));
  Tint(bmp, color, percent, IntersectRect(TRect{r.Right - w, r.Top + w, r.Right, r.Bottom - w}, r));
}

void FillHueSpectrum(TBitmap& bmp, bool vertical) {
  if (!Is24(bmp)) return;
  const int W = bmp.Width(), H = bmp.Height();
  const int n = vertical ? H : W;
  std::vector<TPixel24> hue(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) hue[size_t(i)] = ColorToPixel24(HSVToColor(int(int64_t(i) * 360 / n), 255, 255));
  for (int y = 0; y < H; ++y) {
    uint8_t* d = bmp.ScanLine(y);
    for (int x = 0; x < W; ++x, d += 3) {
      const TPixel24& c = hue[size_t(vertical ? y : x)];
      d[0] = c.B;
      d[1] = c.G;
      d[2] = c.R;
    }
  }
}

void FillGradientRect(TBitmap& bmp, TColor startColor, int startPercent, TRect rect, int mode, int endPercent,
                      TColor endColor) {
  if (mode < 0 || mode > 5 || !Prepare(bmp, rect)) return;
  if (mode >= 4) {
    std::swap(startColor, endColor);
    std::swap(startPercent, endPercent);
    mode -= 4;
  }
  const bool columns = mode == 0 || mode == 2;
  const int n = columns ? rect.Width() : rect.Height();
  const TPixel24 a = ColorToPixel24(startColor), b = ColorToPixel24(endColor);
  // Colour and percent of every step; a percent TintRect would refuse leaves its step.
  struct Step {
    int c[3];
    int percent;
  };
  std::vector<Step> steps(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    Step& s = steps[size_t(i)];
    s.c[0] = a.B + (b.B - a.B) * i / n;
    s.c[1] = a.G + (b.G - a.G) * i / n;
    s.c[2] = a.R + (b.R - a.R) * i / n;
    s.percent = int(startPercent + (int64_t(endPercent) - startPercent) * i / n);
    if (s.percent < -100 || s.percent > 100) s.percent = 0;
  }
  for (int y = rect.Top; y < rect.Bottom; ++y) {
    uint8_t* d = bmp.ScanLine(y) + ptrdiff_t(rect.Left) * 3;
    for (int x = 0; x < rect.Width(); ++x, d += 3) {
      const Step& s = steps[size_t(columns ? x : y - rect.Top)];
      for (int k = 0; k < 3; ++k) d[k] = ClampByte(d[k] + (s.c[k] - d[k]) * s.percent / 100);
    }
  }
}

void DrawBevelRing(TBitmap& bmp, TRect r, TColor c1, TColor c2, TColor c3, TColor c4, int percent) {
  if (r.IsEmpty()) return;
  Tint(bmp, c1, percent, TRect{r.Left + 1, r.Top, r.Right, r.Top + 1});
  Tint(bmp, c2, percent, TRect{r.Left, r.Top, r.Left + 1, r.Bottom});
  Tint(bmp, c3, percent, TRect{r.Right - 1, r.Top + 1, r.Right, r.Bottom - 1});
  Tint(bmp, c4, percent, TRect{r.Left + 1, r.Bottom - 1, r.Right, r.Bottom});
}

void FilterRelief3D(TBitmap& bmp, TRect rect, int width, bool sunken, int percent) {
  if (width < 1 || rect.IsEmpty() || !Is24(bmp)) return;
  const TColor raised[4] = {clWhite, kGreyCC, kGrey22, clBlack}, low[4] = {clBlack, kGrey22, kGreyCC, clWhite};
  const TColor* c = sunken ? low : raised;
  // Ring i is the rect grown by i on every side. Only the rings that can reach the
  // bitmap are drawn: from the first whose box meets it to the one after the first that
  // encloses it whole. Counted in 64 bits, and each ring's sides pulled to just outside
  // the bitmap, so a rect anywhere in the coordinate range is safe and quick.
  const int64_t W = bmp.Width(), H = bmp.Height();
  const int64_t L = rect.Left, T = rect.Top, R = rect.Right, B = rect.Bottom;
  const int64_t first = std::max({int64_t(1), L - W + 1, 1 - R, T - H + 1, 1 - B});
  const int64_t last = std::min<int64_t>(width, std::max({L, T, W - R, H - B}) + 1);
  auto side = [](int64_t v, int64_t size) { return int32_t(std::clamp<int64_t>(v, -1, size + 1)); };
  for (int64_t i = first; i <= last; ++i)
    DrawBevelRing(bmp, TRect{side(L - i, W), side(T - i, H), side(R + i, W), side(B + i, H)}, c[0], c[1], c[2], c[3],
                  percent);
}

void ApplyBlurPasses(TBitmap& bmp, int n, TRect rect) {
  if (!Prepare(bmp, rect)) return;
  BoxBlur3x3Passes(bmp, n, rect);
}

void BlurRectBorder(TBitmap& bmp, const TBitmap& copy, int band, TRect rect) {
  if (band < 0 || !Prepare(bmp, copy, rect)) return;
  BoxBlur3x3Rect(bmp, rect);
  // A band as wide as half the rect leaves no inside (and a huge one must not wrap).
  if (2 * int64_t(band) >= rect.Width() || 2 * int64_t(band) >= rect.Height()) return;
  Copy(copy, bmp, TRect{rect.Left + band, rect.Top + band, rect.Right - band, rect.Bottom - band});
}

void MotionBlurTwoPass(TBitmap& bmp, TRect rect) {
  if (!Prepare(bmp, rect)) return;
  TBitmap t = bmp.Clone();
  FilterMotionBlur(bmp, t, 1, rect);
  Refresh(t, bmp, rect);
  FilterMotionBlur(bmp, t, 2, rect);
}

// --- Filters ------------------------------------------------------------------------------

void FilterFragment(TBitmap& bmp, const TBitmap& copy, TRect rect) {
  if (!Prepare(bmp, copy, rect)) return;
  CopyBitmapRectOpacity(copy, GetBitmapRect(copy), bmp, -4, -4, rect, 33);
  CopyBitmapRectOpacity(copy, GetBitmapRect(copy), bmp, -8, -8, rect, 33);
}

void FilterMotionBlur(TBitmap& bmp, const TBitmap& copy, int mode, TRect rect) {
  if (mode < 0 || !Prepare(bmp, copy, rect)) return;
  for (int k = -5; k <= 5; ++k) {
    if (k == 0) continue;
    const int dx = mode == 1 || mode == 0 ? 3 * k : 0, dy = mode == 1 ? 0 : 3 * k;
    CopyBitmapRectOpacity(copy, GetBitmapRect(copy), bmp, dx, dy, rect, 20);
  }
  BoxBlur3x3Rect(bmp, rect);
}

void FilterSharpEdges(TBitmap& bmp, const TBitmap& copy, TRect rect) {
  if (!Prepare(bmp, copy, rect)) return;
  TBitmap t = EdgeSketch(bmp, clWhite, 0, 100, clBlack, rect);
  Copy(t, bmp, rect);
  BoxBlur3x3Rect(t, rect);
  KeyedCopy(bmp, t, clBlack, rect);
  // Preset 2 from the copy into the bitmap (a convolution reads only the rect).
  Copy(copy, bmp, rect);
  ApplyConvolutionPresetInPlace(bmp, 2, rect);
  MaskedCopy(copy, bmp, t, 100, rect);
}

void BlurThroughMask(TBitmap& bmp, const TBitmap& copy, TRect rect) {
  if (!Prepare(bmp, copy, rect)) return;
  TBitmap t = EdgeSketch(bmp, clBlack, 0, 100, clWhite, rect);
  Copy(t, bmp, rect);
  BoxBlur3x3Rect(t, rect);
  KeyedCopy(bmp, t, clWhite, rect);
  Copy(copy, bmp, rect);
  BoxBlur3x3Rect(bmp, rect);
  MaskedCopy(copy, bmp, t, 100, rect);
}

void FilterContours(TBitmap& bmp, TRect rect) { DrawEdgeSketch(nullptr, bmp, clBlack, rect, 0, 100, clWhite); }

void FilterChalk(TBitmap& bmp, TRect rect) { DrawEdgeSketch(nullptr, bmp, clWhite, rect, 2, 100, clBlack); }

void FilterGraphite(TBitmap& bmp, TRect rect) { DrawEdgeSketch(nullptr, bmp, kGrey22, rect, 2, 100, kGreyDD); }

void FilterColorContours(TBitmap& bmp, const TBitmap& copy, TRect rect) {
  if (!Prepare(bmp, copy, rect)) return;
  const TBitmap t = EdgeSketch(bmp, clBlack, 2, 100, clWhite, rect);
  TintRect(bmp, clWhite, 100, rect);
  MaskedCopy(copy, bmp, t, 100, rect);
  SaturationRect(bmp, 77, rect);
}

void FilterInkOutlines(TBitmap& bmp, TRect rect) {
  if (!Prepare(bmp, rect)) return;
  InkEdges(bmp, 88, rect);
}

void FilterPhotocopy(TBitmap& bmp, TRect rect) {
  if (!Prepare(bmp, rect)) return;
  const TBitmap t = EdgeSketch(bmp, clBlack, 0, 100, clWhite, rect);
  ThresholdRect(bmp, 33, clBlack, clWhite, rect);
  KeyedCopy(t, bmp, clWhite, rect);
}

void FilterPaper(TBitmap& bmp, TRect rect) {
  if (!Prepare(bmp, rect)) return;
  DirectionalSmoothRect(bmp, 0, rect);
  PosterizeRect(bmp, 120, rect);
  TintRect(bmp, kGreyC0, 50, rect);
  AddColorNoiseRect(bmp, 10, rect);
  ApplyConvolutionPresetInPlace(bmp, 7, rect);
  GrayscaleRect(bmp, rect);
}

void FilterGlass(TBitmap& bmp, const TBitmap& copy, TRect rect) {
  if (!Prepare(bmp, copy, rect)) return;
  DistortWave(copy, bmp, 4, rect, true, 4);
  DistortWaveInPlace(bmp, 4, 4, rect, false);
}

void FilterPastel(TBitmap& bmp, const TBitmap& copy, bool stripes, TRect rect) {
  if (!Prepare(bmp, copy, rect)) return;
  const TBitmap t = EdgeSketch(bmp, clBlack, 3, 100, clWhite, rect);
  SpreadPixels(bmp, copy, 12, 3, rect);
  TBitmap scratch = ScratchFor(bmp);
  SelfBlend(bmp, scratch, 1, -1, 33, rect);
  SelfBlend(bmp, scratch, 2, -2, 33, rect);
  MaskedCopy(copy, bmp, t, 77, rect);
  if (!stripes) return;
  TintRectStripes(bmp, 2, 2, clBlack, 7, rect);
  SpreadRect(bmp, 2, 3, rect);
}

void FilterCharcoal(TBitmap& bmp, bool black, TRect rect) {
  if (!Prepare(bmp, rect)) return;
  const TColor dark = black ? clBlack : RGB(0x77, 0x22, 0x00), light = black ? kGreyEE : RGB(0xFF, 0xFF, 0xCC);
  TBitmap t = EdgeSketch(bmp, dark, 0, 100, clWhite, rect);
  ThresholdRect(bmp, 33, dark, light, rect);
  DrawGridLines(bmp, 7, light, rect, false, true, true, false, 3);
  SpreadRect(bmp, 4, 3, rect);
  DirectionalSmoothRect(bmp, 0, rect);
  KeyedCopy(t, bmp, clWhite, rect);
  // T has served: it holds the self-blends' pixels from here on.
  for (int d : {1, 2, 4}) SelfBlend(bmp, t, d, -d, 70, rect, light);
  SpreadRect(bmp, 6, 0, rect);
}

void FilterPencil(TBitmap& bmp, const TBitmap& copy, int style, int level, int density, TRect rect) {
  if (!Prepare(bmp, copy, rect)) return;
  level = std::clamp(level, 1, 20);
  density = std::clamp(density, 0, 15);
  TBitmap t = EdgeSketch(bmp, clBlack, 0, 100, clWhite, rect);
  if (style == 0 || style == 1) {
    const int band = style == 0 ? 3 : 2;
    TintRectStripes(t, band, band, kGrey33, 100, rect);
    SpreadRect(t, 3, 2, rect);
  } else {
    DrawGridLines(t, 5, kGrey33, rect, false, true, true, false, 1);
    SpreadRect(t, 2, 3, rect);
  }
  const int g = (15 - density) * 17;
  ThresholdRect(bmp, level, RGB(g, g, g), clWhite, rect);
  MaskedCopy(copy, bmp, t, 100, rect);
}

void FilterInk(TBitmap& bmp, TRect rect) {
  if (!Prepare(bmp, rect)) return;
  TBitmap t = EdgeSketch(bmp, clBlack, 0, 100, clWhite, rect);
  KeyedCopy(t, t, clWhite, rect, 2, -2);
  ThresholdRect(bmp, 33, clBlack, clWhite, rect);
  TintRectStripes(bmp, 3, 3, clWhite, 33, rect);
  SpreadRect(bmp, 4, 2, rect);
  KeyedCopy(t, bmp, clWhite, rect);
  SpreadRect(bmp, 3, 3, rect);
  DirectionalSmoothRect(bmp, 0, rect);
}

void FilterBlackPencil(TBitmap& bmp, TRect rect) {
  if (!Prepare(bmp, rect)) return;
  DitherBlackWhiteRect(bmp, rect);
  TBitmap scratch = ScratchFor(bmp);
  for (int d : {1, 2, 4}) SelfBlend(bmp, scratch, d, -d, 33, rect);
  AddMonoNoiseRect(bmp, 100, rect);
}

void FilterRadialBlur(TBitmap& bmp, const TBitmap& copy, TRect rect) {
  if (!Prepare(bmp, copy, rect)) return;
  TBitmap t(bmp.Width(), bmp.Height(), pf24bit, clWhite);
  const int radius = std::min(rect.Width(), rect.Height()) / 2;
  FillRadialGradient(t, clBlack, clWhite, radius, rect.Left + rect.Width() / 2, rect.Top + rect.Height() / 2, rect);
  MotionBlurTwoPass(bmp, rect);
  MaskedCopy(copy, bmp, t, 100, rect);
}

void FilterMist(TBitmap& bmp, TColor color, int percent, TRect rect) {
  if (!Prepare(bmp, rect)) return;
  TBitmap t(bmp.Width(), bmp.Height(), pf24bit, clWhite);
  RenderClouds(t, clBlack, clWhite, rect);
  TBitmap scratch = ScratchFor(t);
  for (int d : {1, 2, 4}) SelfBlend(t, scratch, d, -d, 33, rect);
  BlendColorThroughMask(t, GetBitmapRect(t), bmp, 0, 0, rect, color, percent);
}

void FilterSmear(TBitmap& bmp, TRect rect) {
  if (!Prepare(bmp, rect)) return;
  MosaicRect(bmp, 5, rect);
  SpreadRect(bmp, 7, 0, rect);
  TBitmap scratch = ScratchFor(bmp);
  SelfBlend(bmp, scratch, 1, -1, 33, rect);
  SelfBlend(bmp, scratch, 2, -2, 33, rect);
}

void FilterOilPaint(TBitmap& bmp, TRect rect) {
  if (!Prepare(bmp, rect)) return;
  TBitmap t;
  MosaicSpreadMedian(bmp, t, 4, 4, 1, rect);
  Refresh(t, bmp, rect);
  ApplyConvolutionPreset(bmp, t, 6, rect);
  Refresh(t, bmp, rect);
  ApplyConvolutionPreset(bmp, t, 3, rect);
}

void FilterPaletteKnife(TBitmap& bmp, TRect rect) {
  if (!Prepare(bmp, rect)) return;
  TBitmap t;
  MosaicSpreadMedian(bmp, t, 12, 12, 2, rect);
  Refresh(t, bmp, rect);
  ApplyConvolutionPreset(bmp, t, 6, rect);
  Refresh(t, bmp, rect);
  ApplyConvolutionPreset(bmp, t, 3, rect);
}

void FilterWatercolor(TBitmap& bmp, TRect rect) {
  if (!Prepare(bmp, rect)) return;
  FilterMist(bmp, clWhite, 22, rect);
  TBitmap t;
  MosaicSpreadMedian(bmp, t, 5, 4, 1, rect);
  Refresh(t, bmp, rect);
  ApplyConvolutionPreset(bmp, t, 2, rect);
  InkEdges(bmp, 33, rect);
}

void FilterWatercolorFinish(TBitmap& bmp, TRect rect) {
  if (!Prepare(bmp, rect)) return;
  TBitmap t;
  MosaicSpreadMedian(bmp, t, 5, 4, 1, rect);
  Refresh(t, bmp, rect);
  ApplyConvolutionPreset(bmp, t, 3, rect);
}

void FilterComicStrip(TBitmap& bmp, TRect rect) {
  if (!Prepare(bmp, rect)) return;
  TBitmap t = bmp.Clone();
  Median(bmp, t, 1, rect);
  Refresh(t, bmp, rect);
  ApplyConvolutionPreset(bmp, t, 3, rect);
  Refresh(t, bmp, rect);
  Median(bmp, t, 1, rect);
  Refresh(t, bmp, rect);
  ApplyConvolutionPreset(bmp, t, 3, rect);
  InkEdges(bmp, 22, rect);
}

void FilterCrystallize(TBitmap& bmp, TRect rect) {
  if (!Prepare(bmp, rect)) return;
  TBitmap t;
  MosaicSpreadMedian(bmp, t, 4, 4, 1, rect);
}

void ApplyPencil(TBitmap& bmp, const TBitmap& source, const TPencilParams& params, TRect rect) {
  FilterPencil(bmp, source, params.Texture, params.Threshold, params.Intensity, rect);
}

void ApplyGradient(TBitmap& bmp, const TGradientParams& params, TRect rect) {
  const bool mono = params.Style == 1;
  FillGradientRect(bmp, params.Color1, params.Opacity1, rect, params.Direction + 2, mono ? 0 : params.Opacity2,
                   mono ? params.Color1 : params.Color2);
}

}  // namespace qm
