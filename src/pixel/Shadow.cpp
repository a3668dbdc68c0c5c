#include "pixel/Shadow.h"

#include <algorithm>

#include "pixel/ImgUtils.h"
#include "platform/core/Numeric.h"
#include "platform/core/Random.h"

namespace qm {
namespace {

// Paints one band segment: (left, top, right, bottom, percent).
template <class Band>
void FlatShadow(TRect r, int w, int p, Band band) {
  band(r.Left, r.Bottom, r.Right + w, r.Bottom + w, p);
  band(r.Right, r.Top, r.Right + w, r.Bottom, p);
}

// One step of a feathered shadow: the row y = B and the column x = R of the rect, each
// fading in over its first four pixels and, unless the step is open, out at the far
// limits (X, Y).
template <class Band>
void FeatherStep(const TRect& r, int p, int X, int Y, Band band) {
  const int L = r.Left, T = r.Top, R = r.Right, B = r.Bottom;
  const int p8 = p * 8 / 10, p6 = p * 6 / 10, p4 = p * 4 / 10, p2 = p * 2 / 10;
  const bool open = R < X || Y > B;
  // the row y = B
  band(L, B, L + 1, B + 1, p2);
  band(L + 1, B, L + 2, B + 1, p4);
  band(L + 2, B, L + 3, B + 1, p6);
  band(L + 3, B, L + 4, B + 1, p8);
  band(L + 4, B, open ? R + 1 : X, B + 1, p);
  // the column x = R
  band(R, T, R + 1, T + 1, p2);
  band(R, T + 1, R + 1, T + 2, p4);
  band(R, T + 2, R + 1, T + 3, p6);
  band(R, T + 3, R + 1, T + 4, p8);
  band(R, T + 4, R + 1, open ? B : Y, p);
  if (!open) {
    band(X, B, X + 1, B + 1, p8);
    if (R - X > 0) band(X + 1, B, X + 2, B + 1, p6);
    if (R - X > 1) band(X + 2, B, X + 3, B + 1, p4);
    if (R - X > 2) band(X + 3, B, X + 4, B + 1, p2);
    if (B - Y > 0) band(R, Y, R + 1, Y + 1, p8);
    if (B - Y > 1) band(R, Y + 1, R + 1, Y + 2, p6);
    if (B - Y > 2) band(R, Y + 2, R + 1, Y + 3, p4);
    if (B - Y > 3) band(R, Y + 3, R + 1, Y + 4, p2);
  }
}

// rect already offset by the width
template <class Band>
void FeatheredShadow(TRect r, int w, int p0, Band band) {
  if (w > 4) {
    for (int i = 0; i < w - 4; ++i) {
      FeatherStep(r, p0, 9999, 9999, band);
      ++r.Right;
      ++r.Bottom;
    }
    w = 4;
  }
  const int R0 = r.Right, B0 = r.Bottom;
  int p = p0;
  for (int i = 0; i < w; ++i) {
    p -= p0 / (w + 1);
    if (p < 1) break;
    FeatherStep(r, p, R0, B0, band);
    ++r.Right;
    ++r.Bottom;
  }
}

}  // namespace

void DarkenWithNoise(TBitmap& bmp, int left, int top, int right, int bottom, int percent) {
  if (bmp.PixelFormat() != pf24bit) return;
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, bmp.Width());
  bottom = std::min(bottom, bmp.Height());
  for (int y = top; y < bottom; ++y) {
    uint8_t* p = bmp.ScanLine(y);
    for (int i = left * 3; i < right * 3; ++i) {
      const int v = p[i];
      p[i] = ClampByte(v - v * percent / 100 + Random(7) - 3);
    }
  }
}

void DrawFlatShadow(TBitmap& bmp, TRect rect, int width, int percent) {
  FlatShadow(rect, width, percent,
             [&](int l, int t, int r, int b, int p) { DarkenWithNoise(bmp, l, t, r, b, p); });
}

void DrawFeatheredShadow(TBitmap& bmp, TRect rect, int width, int percent) {
  FeatheredShadow(rect, width, percent,
                  [&](int l, int t, int r, int b, int p) { DarkenWithNoise(bmp, l, t, r, b, p); });
}

void DrawBitmapShadow(TBitmap& bmp, TRect rect, int width, int percent, bool feathered) {
  if (rect.IsEmpty() || width < 1 || percent < 1 || percent > 100) return;
  if (bmp.Width() <= rect.Right || bmp.Height() <= rect.Bottom) return;
  rect.Left += width;
  rect.Top += width;
  if (feathered) DrawFeatheredShadow(bmp, rect, width, percent);
  else DrawFlatShadow(bmp, rect, width, percent);
}

void FillShadowBand(TCanvas& canvas, int left, int top, int right, int bottom, int percent, TColor color) {
  canvas.FillRect(TRect{left, top, right, bottom}, MixColors(color, clBlack, percent));
}

void DrawCanvasFlatShadow(TCanvas& canvas, TRect rect, int width, int percent, TColor color) {
  FlatShadow(rect, width, percent,
             [&](int l, int t, int r, int b, int p) { FillShadowBand(canvas, l, t, r, b, p, color); });
}

void DrawCanvasFeatheredShadow(TCanvas& canvas, TRect rect, int width, int percent, TColor color) {
  FeatheredShadow(rect, width, percent,
                  [&](int l, int t, int r, int b, int p) { FillShadowBand(canvas, l, t, r, b, p, color); });
}

void DrawCanvasShadow(TCanvas& canvas, TRect rect, int width, int percent, TColor color, bool feathered,
                      bool corner) {
  if (rect.IsEmpty() || width < 1 || percent < 1 || percent > 100) return;
  TRect r = rect;
  r.Left += width;
  r.Top += width;
  if (feathered) DrawCanvasFeatheredShadow(canvas, r, width, percent, color);
  else DrawCanvasFlatShadow(canvas, r, width, percent, color);
  if (corner) {
    canvas.FillRect(Bounds(rect.Right, rect.Top, width, width), color);
    canvas.FillRect(Bounds(rect.Left, rect.Bottom, width, width), color);
  }
}

}  // namespace qm
