#include "pixel/ImgUtils.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "pixel/RectUtils.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"

namespace qm {
namespace {

// Bytes per pixel of the byte-addressed formats; 0 for the 1- and 4-bit ones.
inline int BytesPerPixel(TPixelFormat pf) { return pf >= pf8bit ? pf / 8 : 0; }

// Copies a w x h block between two bitmaps of the same pixel format.
void CopyPixels(const TBitmap& src, int sx, int sy, TBitmap& dst, int dx, int dy, int w, int h) {
  const int bpp = BytesPerPixel(src.PixelFormat());
  for (int y = 0; y < h; ++y) {
    if (bpp) {
      std::memmove(dst.ScanLine(dy + y) + ptrdiff_t(dx) * bpp, src.ScanLine(sy + y) + ptrdiff_t(sx) * bpp,
                   size_t(w) * bpp);
    } else {
      for (int x = 0; x < w; ++x) dst.SetPixelIndex(dx + x, dy + y, src.GetPixelIndex(sx + x, sy + y));
    }
  }
}

// A new bitmap of the source's format and palette, sized w x h and filled with fill.
TBitmap MakeLike(const TBitmap& src, int w, int h, TColor fill) {
  TBitmap b;
  b.SetPixelFormat(src.PixelFormat());
  if (src.PixelFormat() <= pf8bit) b.SetPalette(src.Palette());
  b.BrushColor = fill;
  b.SetSize(w, h);
  b.Transparent = src.Transparent;
  b.TransparentColor = src.TransparentColor;
  return b;
}

// Writes the n pixels of src, bpp bytes each, into dst in reverse order (the buffers do
// not overlap).
void ReversePixels(const uint8_t* src, uint8_t* dst, int n, int bpp) {
  if (n <= 0) return;
  switch (bpp) {
    case 1: std::reverse_copy(src, src + n, dst); return;
    case 4: {
      for (int i = 0; i < n; ++i) std::memcpy(dst + 4 * ptrdiff_t(i), src + 4 * ptrdiff_t(n - 1 - i), 4);
      return;
    }
    default: {
      // A pixel moves as one 4-byte load and store, its fourth byte overwritten by the
      // next pixel; the two ends, where that byte lies outside the row, move by 3 bytes.
      std::memcpy(dst, src + 3 * ptrdiff_t(n - 1), 3);
      for (int i = 1; i < n - 1; ++i) {
        uint32_t v;
        std::memcpy(&v, src + 3 * ptrdiff_t(n - 1 - i), 4);
        std::memcpy(dst + 3 * ptrdiff_t(i), &v, 4);
      }
      if (n > 1) std::memcpy(dst + 3 * ptrdiff_t(n - 1), src, 3);
      return;
    }
  }
}

// Mirrors the pixels of a rect: horizontally, vertically or both. The rows (or pairs of
// rows) are independent of each other and shared among the threads.
void MirrorRect(TBitmap& bmp, TRect r, bool horizontal, bool vertical) {
  r = IntersectRect(r, GetBitmapRect(bmp));
  if (r.IsEmpty()) return;
  const int bpp = BytesPerPixel(bmp.PixelFormat());
  const int w = r.Width(), h = r.Height();
  if (bpp) {
    const size_t n = size_t(w) * bpp;
    const int pairs = vertical ? (h + 1) / 2 : h;
    ParallelRows(0, pairs, int64_t(w) * h, [&](int k0, int k1) {
      std::vector<uint8_t> a(n), b(n);
      for (int k = k0; k < k1; ++k) {
        const int y1 = r.Top + k, y2 = vertical ? r.Bottom - 1 - k : y1;
        uint8_t* p1 = bmp.ScanLine(y1) + ptrdiff_t(r.Left) * bpp;
        uint8_t* p2 = bmp.ScanLine(y2) + ptrdiff_t(r.Left) * bpp;
        if (!horizontal) {
          std::swap_ranges(p1, p1 + n, p2);
          continue;
        }
        std::memcpy(a.data(), p1, n);
        if (y1 != y2) {
          std::memcpy(b.data(), p2, n);
          ReversePixels(b.data(), p1, w, bpp);
        }
        ReversePixels(a.data(), p2, w, bpp);
      }
    });
    return;
  }
  std::vector<unsigned> a(static_cast<size_t>(w)), b(static_cast<size_t>(w));
  for (int k = 0; k < (vertical ? (h + 1) / 2 : h); ++k) {
    int y1 = r.Top + k, y2 = vertical ? r.Bottom - 1 - k : y1;
    for (int i = 0; i < w; ++i) {
      a[size_t(i)] = bmp.GetPixelIndex(r.Left + i, y1);
      b[size_t(i)] = bmp.GetPixelIndex(r.Left + i, y2);
    }
    if (horizontal) {
      std::reverse(a.begin(), a.end());
      std::reverse(b.begin(), b.end());
    }
    for (int i = 0; i < w; ++i) {
      bmp.SetPixelIndex(r.Left + i, y2, a[size_t(i)]);
      if (y1 != y2) bmp.SetPixelIndex(r.Left + i, y1, b[size_t(i)]);
    }
  }
}

}  // namespace

void GetBitmapRect(const TBitmap& bmp, TRect& out) { out = TRect{0, 0, bmp.Width(), bmp.Height()}; }
TRect GetBitmapRect(const TBitmap& bmp) { return TRect{0, 0, bmp.Width(), bmp.Height()}; }

void ClipRectToBitmap(TRect& r, const TBitmap& bmp) {
  TRect o;
  OrderRect(r, o);
  r = IntersectRect(o, GetBitmapRect(bmp));
}

void CropBitmap(TBitmap& bmp, TRect r) {
  if (bmp.Empty()) return;
  TBitmap out;
  CopyBitmapRegion(bmp, out, r);
  bmp = std::move(out);
}

void CopyBitmapRegion(const TBitmap& src, TBitmap& dst, TRect r) {
  ClipRectToBitmap(r, src);
  TBitmap out = MakeLike(src, r.Width(), r.Height(), clBlack);
  if (!r.IsEmpty()) CopyPixels(src, r.Left, r.Top, out, 0, 0, r.Width(), r.Height());
  dst = std::move(out);
}

void ResizeBitmap(int width, int height, TBitmap& bmp) {
  if (bmp.Empty()) return;
  TBitmap out;
  StretchBitmapTo(width, height, bmp, out);
  bmp = std::move(out);
}

void StretchBitmapTo(int width, int height, const TBitmap& src, TBitmap& dst) {
  if (src.Empty()) return;
  TBitmap out = MakeLike(src, std::max(width, 0), std::max(height, 0), src.TransparentColor);
  if (!out.Empty()) {
    // nearest pixel, sampled at the centre of each destination pixel
    const int bpp = BytesPerPixel(src.PixelFormat());
    std::vector<int> sx(size_t(out.Width()));
    for (int x = 0; x < out.Width(); ++x)
      sx[size_t(x)] = int((int64_t(2 * x + 1) * src.Width()) / (2 * int64_t(out.Width())));
    for (int y = 0; y < out.Height(); ++y) {
      int sy = int((int64_t(2 * y + 1) * src.Height()) / (2 * int64_t(out.Height())));
      const uint8_t* s = src.ScanLine(sy);
      uint8_t* d = out.ScanLine(y);
      for (int x = 0; x < out.Width(); ++x) {
        if (bpp) std::memcpy(d + ptrdiff_t(x) * bpp, s + ptrdiff_t(sx[size_t(x)]) * bpp, size_t(bpp));
        else out.SetPixelIndex(x, y, src.GetPixelIndex(sx[size_t(x)], sy));
      }
    }
  }
  dst = std::move(out);
}

void TileBlt(TCanvas& dst, int left, int top, int width, int height, const TBitmap& src, int tileWidth,
             int tileHeight) {
  if (width <= 0 || height <= 0 || tileWidth <= 0 || tileHeight <= 0) return;
  for (int y = top; y < top + height; y += tileHeight)
    for (int x = left; x < left + width; x += tileWidth)
      dst.DrawBitmap(x, y, src,
                     TRect{0, 0, std::min(tileWidth, left + width - x), std::min(tileHeight, top + height - y)});
}

void FlipBitmapRectVertical(TBitmap& bmp, TRect r) { MirrorRect(bmp, r, false, true); }
void FlipBitmapVertical(TBitmap& bmp) { MirrorRect(bmp, GetBitmapRect(bmp), false, true); }
void FlipBitmapRectHorizontal(TBitmap& bmp, TRect r) { MirrorRect(bmp, r, true, false); }
void FlipBitmapHorizontal(TBitmap& bmp) { MirrorRect(bmp, GetBitmapRect(bmp), true, false); }
void RotateBitmapRect180(TBitmap& bmp, TRect r) { MirrorRect(bmp, r, true, true); }
void RotateBitmap180(TBitmap& bmp) { MirrorRect(bmp, GetBitmapRect(bmp), true, true); }

void ScrollBitmapWrapVertical(TBitmap& bmp, int n) {
  if (bmp.Empty()) return;
  n = ModFloor(n, bmp.Height());
  if (n == 0) return;
  const size_t rowBytes = size_t(TBitmap::StrideFor(bmp.Width(), bmp.PixelFormat()));
  std::vector<uint8_t> tmp(rowBytes * size_t(bmp.Height()));
  for (int y = 0; y < bmp.Height(); ++y) std::memcpy(tmp.data() + rowBytes * size_t(y), bmp.ScanLine(y), rowBytes);
  for (int y = 0; y < bmp.Height(); ++y)
    std::memcpy(bmp.ScanLine((y + n) % bmp.Height()), tmp.data() + rowBytes * size_t(y), rowBytes);
}

void ScrollBitmapWrapHorizontal(TBitmap& bmp, int n) {
  if (bmp.Empty()) return;
  const int w = bmp.Width();
  n = ModFloor(n, w);
  if (n == 0) return;
  const int bpp = BytesPerPixel(bmp.PixelFormat());
  std::vector<unsigned> idx(bpp ? 0 : size_t(w));
  for (int y = 0; y < bmp.Height(); ++y) {
    if (bpp) {
      uint8_t* row = bmp.ScanLine(y);
      // content moves right by n: the last n pixels come to the front
      std::rotate(row, row + ptrdiff_t(w - n) * bpp, row + ptrdiff_t(w) * bpp);
    } else {
      for (int x = 0; x < w; ++x) idx[size_t(x)] = bmp.GetPixelIndex(x, y);
      for (int x = 0; x < w; ++x) bmp.SetPixelIndex((x + n) % w, y, idx[size_t(x)]);
    }
  }
}

void FitSizeProportional(int& width, int& height, int maxWidth, int maxHeight) {
  if (width < 1 || height < 1 || maxWidth < 1 || maxHeight < 1) return;
  const double f = std::max(double(width) / maxWidth, double(height) / maxHeight);
  // A side that rounds to nothing keeps one pixel: 5000 x 1 fits 10 x 10 as 10 x 1.
  width = std::clamp(RoundHalfEven(width / f), 1, maxWidth);
  height = std::clamp(RoundHalfEven(height / f), 1, maxHeight);
}

void FillRectFrame(TCanvas& canvas, const TRect& r, TColor color, int t) {
  if (r.IsEmpty()) return;
  canvas.FillRect(TRect{r.Left, r.Top, r.Right, r.Top + t}, color);
  canvas.FillRect(TRect{r.Left, r.Bottom - t, r.Right, r.Bottom}, color);
  canvas.FillRect(TRect{r.Left, r.Top + t, r.Left + t, r.Bottom - t}, color);
  canvas.FillRect(TRect{r.Right - t, r.Top + t, r.Right, r.Bottom - t}, color);
}

void ResizeCanvasInto(const TBitmap& src, TBitmap& dst, int width, int height, TColor background,
                      TAlignment alignment, TRect& imageRect) {
  imageRect = TRect{};
  if (width < 1 || height < 1) return;
  TBitmap out = MakeLike(src, width, height, background);
  TRect placed{0, 0, src.Width(), src.Height()};
  AlignRectInRect(placed, TRect{0, 0, width, height}, alignment);
  TRect d = IntersectRect(placed, GetBitmapRect(out));
  if (!d.IsEmpty())
    CopyPixels(src, d.Left - placed.Left, d.Top - placed.Top, out, d.Left, d.Top, d.Width(), d.Height());
  dst = std::move(out);
  imageRect = placed;
}

void ResizeCanvas(TBitmap& bmp, int width, int height, TColor background, TAlignment alignment,
                  TRect& imageRect) {
  TBitmap out;
  ResizeCanvasInto(bmp, out, width, height, background, alignment, imageRect);
  if (width < 1 || height < 1) return;
  bmp = std::move(out);
}

void AddImageBorder(TBitmap& bmp, int border, TColor color, bool enlarge) {
  if (enlarge) {
    TRect r;
    ResizeCanvas(bmp, bmp.Width() + 2 * border, bmp.Height() + 2 * border, color, alCenter, r);
    return;
  }
  TBitmapCanvas canvas(bmp);
  FillRectFrame(canvas, canvas.ClipRect(), color, border);
}

void FindTrimRect(const TBitmap& bmp, int tolerance, TColor color, TRect& out) {
  const int W = bmp.Width(), H = bmp.Height();
  out = TRect{0, 0, W, H};
  if (bmp.Empty()) {
    out = TRect{};
    return;
  }
  auto rowMatches = [&](int y, TColor ref) {
    for (int x = 0; x < W; ++x)
      if (!ColorsWithinTolerance(bmp.GetPixel(x, y), ref, tolerance)) return false;
    return true;
  };
  auto colMatches = [&](int x, TColor ref) {
    for (int y = 0; y < H; ++y)
      if (!ColorsWithinTolerance(bmp.GetPixel(x, y), ref, tolerance)) return false;
    return true;
  };
  TColor ref = color != clNone ? color : bmp.GetPixel(W / 2, 0);
  while (out.Top < H && rowMatches(out.Top, ref)) ++out.Top;
  ref = color != clNone ? color : bmp.GetPixel(W / 2, H - 1);
  while (out.Bottom > out.Top && rowMatches(out.Bottom - 1, ref)) --out.Bottom;
  ref = color != clNone ? color : bmp.GetPixel(0, H / 2);
  while (out.Left < W && colMatches(out.Left, ref)) ++out.Left;
  ref = color != clNone ? color : bmp.GetPixel(W - 1, H / 2);
  while (out.Right > out.Left && colMatches(out.Right - 1, ref)) --out.Right;
}

bool ColorsWithinTolerance(TColor a, TColor b, int tolerance) {
  a = ColorToRGB(a);
  b = ColorToRGB(b);
  return std::abs(int(GetRValue(a)) - GetRValue(b)) <= tolerance &&
         std::abs(int(GetGValue(a)) - GetGValue(b)) <= tolerance &&
         std::abs(int(GetBValue(a)) - GetBValue(b)) <= tolerance;
}

TColor MixColors(TColor a, TColor b, int percent) {
  if (percent < 1 || percent > 100) return a;
  a = ColorToRGB(a);
  b = ColorToRGB(b);
  auto mix = [&](int x, int y) { return x + (y - x) * percent / 100; };
  return RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)), mix(GetBValue(a), GetBValue(b)));
}

void HSVToRGB(int hue, int saturation, int value, int& red, int& green, int& blue) {
  if (saturation == 0 || value == 0) {
    red = green = blue = value;
  } else {
    const int V = value, S = saturation;
    const int f = hue % 60;
    const int p = V - V * S / 255;
    const int q = V - (V * S * f) / 15300;
    const int t = V - (V * S * (60 - f)) / 15300;
    switch (hue / 60) {
      case 0: red = V; green = t; blue = p; break;
      case 1: red = q; green = V; blue = p; break;
      case 2: red = p; green = V; blue = t; break;
      case 3: red = p; green = q; blue = V; break;
      case 4: red = t; green = p; blue = V; break;
      case 5: red = V; green = p; blue = q; break;
      default: red = green = blue = 0; break;
    }
  }
  red = ClampInt(red, 0, 255);
  green = ClampInt(green, 0, 255);
  blue = ClampInt(blue, 0, 255);
}

TColor HSVToColor(int hue, int saturation, int value) {
  int r, g, b;
  HSVToRGB(hue, saturation, value, r, g, b);
  return RGB(r, g, b);
}

void RGBToHSV(int red, int green, int blue, int& hue, int& saturation, int& value) {
  const int V = std::max({red, green, blue});
  const int d = V - std::min({red, green, blue});
  value = V;
  saturation = V == 0 ? 0 : d * 255 / V;
  if (saturation == 0) {
    hue = 0;
    return;
  }
  int H;
  if (red == V) H = (green - blue) * 60 / d;
  else if (green == V) H = (blue - red) * 60 / d + 120;
  else H = (red - green) * 60 / d + 240;
  if (H < 0) H += 360;
  hue = H;
}

}  // namespace qm
