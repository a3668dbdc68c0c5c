#include "pixel/Blend.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "pixel/ImgUtils.h"
#include "pixel/Planes.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"


namespace qm {
namespace {

inline bool Is24(const TBitmap& b) { return b.PixelFormat() == pf24bit && !b.Empty(); }

// trunc(t / 100) for |t| <= 25500: 5243 / 2^19 exceeds 1/100 by so little that the
// product never crosses the next integer in that range (checked exhaustively in the
// tests), and it keeps the loops free of divisions so they vectorise.
inline int Div100Trunc(int t) {
  int a = t < 0 ? -t : t;
  int q = (a * 5243) >> 19;
  return t < 0 ? -q : q;
}

inline int ClampPercent(int p) { return p > 100 ? 100 : p; }

#if QM_PLANES_VBMI
// d + trunc((s - d) * q / 100) for 64 bytes, q 0..100 per byte: the products fit 16
// bits, and (|t| * 5243) >> 19 is the high half of the 16-bit product shifted by 3,
// exactly Div100Trunc.
inline __m256i BlendHalf(__m256i d8, __m256i s8, __m256i q8) {
  const __m512i d = _mm512_cvtepu8_epi16(d8);
  const __m512i t = _mm512_mullo_epi16(_mm512_sub_epi16(_mm512_cvtepu8_epi16(s8), d), _mm512_cvtepu8_epi16(q8));
  const __m512i a = _mm512_srli_epi16(_mm512_mulhi_epu16(_mm512_abs_epi16(t), _mm512_set1_epi16(5243)), 3);
  const __mmask32 negative = _mm512_movepi16_mask(t);
  return _mm512_cvtepi16_epi8(_mm512_add_epi16(d, _mm512_mask_sub_epi16(a, negative, _mm512_setzero_si512(), a)));
}

inline __m512i Blend64(__m512i d, __m512i s, __m512i q) {
  const __m256i lo = BlendHalf(_mm512_castsi512_si256(d), _mm512_castsi512_si256(s), _mm512_castsi512_si256(q));
  const __m256i hi = BlendHalf(_mm512_extracti64x4_epi64(d, 1), _mm512_extracti64x4_epi64(s, 1),
                               _mm512_extracti64x4_epi64(q, 1));
  return _mm512_inserti64x4(_mm512_castsi256_si512(lo), hi, 1);
}

#endif

// The masked blend of a row: pixel i of d takes weight table[m[3i]] (percent) of pixel i
// of s. 64 pixels at a time where the machine allows, and a block of pixels the mask
// leaves whole (weight 0) or shows whole (100) is left or copied: the same bytes.
void MaskedRow(uint8_t* d, const uint8_t* s, const uint8_t* m, int npix, const uint8_t* table, uint8_t* w) {
  int i = 0;
#if QM_PLANES_VBMI
  const TByteTable lookUp(table);
  const __m512i zero = _mm512_setzero_si512(), full = _mm512_set1_epi8(100);
  for (; i + 64 <= npix; i += 64) {
    const __m512i q = lookUp(Plane64(m + 3 * i, 0));
    if (_mm512_cmpneq_epi8_mask(q, zero) == 0) continue;
    uint8_t* dd = d + 3 * i;
    const uint8_t* ss = s + 3 * i;
    if (_mm512_cmpneq_epi8_mask(q, full) == 0) {
      std::memmove(dd, ss, 192);
      continue;
    }
    for (int r = 0; r < 3; ++r) {
      const __m512i qr = Spread64(q, r);
      _mm512_storeu_si512(dd + 64 * r,
                          Blend64(_mm512_loadu_si512(dd + 64 * r), _mm512_loadu_si512(ss + 64 * r), qr));
    }
  }
#endif
  const int rest = npix - i;
  if (rest <= 0) return;
  for (int k = 0; k < rest; ++k) {
    const uint8_t v = table[m[3 * (i + k)]];
    w[3 * k] = w[3 * k + 1] = w[3 * k + 2] = v;
  }
  BlendRowWeighted(d + 3 * i, s + 3 * i, w, 3 * rest);
}

inline bool KeyMatch(const uint8_t* s, const uint8_t* key, int tol) {
  return std::abs(int(s[0]) - key[0]) <= tol && std::abs(int(s[1]) - key[1]) <= tol &&
         std::abs(int(s[2]) - key[2]) <= tol;
}

// How the source lands on the destination.
enum class Mode { Copy, Opacity, Keyed, Masked, WhereMasked, KeyedMasked };

// A mode with its parameters, ready for the row loops.
struct Blending {
  Mode mode = Mode::Copy;
  int percent = 100;
  uint8_t key[3] = {0, 0, 0};
  int tolerance = 0;
  const TBitmap* mask = nullptr;
  uint8_t qtab[256];  // floor((255 - m) * percent / 255), for the masked modes

  void MakeMaskTable() {
    for (int m = 0; m < 256; ++m) qtab[m] = uint8_t((255 - m) * percent / 255);
  }
};

Blending MakeBlending(Mode mode, int percent) {
  Blending s;
  s.mode = mode;
  s.percent = percent;
  if (mode == Mode::Masked || mode == Mode::KeyedMasked) s.MakeMaskTable();
  return s;
}

// Applies one row: d and s point at npix pixels, m (masked modes) at the mask value of
// the first pixel with mstride bytes between pixels. w is scratch of 3 * npix bytes.
void ApplyRow(uint8_t* d, const uint8_t* s, const uint8_t* m, int mstride, int npix, const Blending& sp,
              uint8_t* w) {
  const int nb = npix * 3;
  switch (sp.mode) {
    case Mode::Copy:
      std::memmove(d, s, size_t(nb));
      return;
    case Mode::Opacity:
      BlendRow(d, s, nb, sp.percent);
      return;
    case Mode::Keyed:
      for (int i = 0; i < npix; ++i) {
        uint8_t v = KeyMatch(s + 3 * i, sp.key, sp.tolerance) ? 0 : uint8_t(sp.percent);
        w[3 * i] = w[3 * i + 1] = w[3 * i + 2] = v;
      }
      break;
    case Mode::Masked: {
      // A row the mask shows whole (the default mask of a layer) is copied, one it hides
      // whole is left: the same bytes as the weighted blend, without its two passes.
      // (a grey mask row of one value has all its bytes equal: one fast comparison)
      const uint8_t first = sp.qtab[m[0]];
      if ((first == 0 || first == 100) && mstride == 3 && std::memcmp(m, m + 1, size_t(nb) - 1) == 0) {
        if (first == 100) std::memmove(d, s, size_t(nb));
        return;
      }
      if (mstride == 3) return MaskedRow(d, s, m, npix, sp.qtab, w);
      for (int i = 0; i < npix; ++i) {
        uint8_t v = sp.qtab[m[ptrdiff_t(i) * mstride]];
        w[3 * i] = w[3 * i + 1] = w[3 * i + 2] = v;
      }
      break;
    }
    case Mode::WhereMasked:
      for (int i = 0; i < npix; ++i) {
        uint8_t v = m[ptrdiff_t(i) * mstride] < 255 ? uint8_t(sp.percent) : 0;
        w[3 * i] = w[3 * i + 1] = w[3 * i + 2] = v;
      }
      break;
    case Mode::KeyedMasked:
      for (int i = 0; i < npix; ++i) {
        uint8_t v = KeyMatch(s + 3 * i, sp.key, sp.tolerance) ? 0 : sp.qtab[m[ptrdiff_t(i) * mstride]];
        w[3 * i] = w[3 * i + 1] = w[3 * i + 2] = v;
      }
      break;
  }
  BlendRowWeighted(d, s, w, nb);
}

inline bool UsesMask(Mode m) { return m == Mode::Masked || m == Mode::WhereMasked || m == Mode::KeyedMasked; }

// Where a block lands: destination rect d, whose top-left pixel takes source pixel
// (sx, sy).
struct Block {
  TRect d;
  int sx = 0, sy = 0;
};

// Clips a block: source (or mask) rect to its bitmap, destination rect to its bitmap,
// then to the block's footprint at (X, Y). With honourOffset the block starts at the
// source rect's own corner; otherwise the source rect only bounds the size.
bool PlaceBlock(const TBitmap& src, TRect srcRect, const TBitmap& dst, int X, int Y, TRect dstRect,
                bool honourOffset, Block& b) {
  ClipRectToBitmap(srcRect, src);
  if (srcRect.IsEmpty()) return false;
  ClipRectToBitmap(dstRect, dst);
  b.d = IntersectRect(dstRect, Bounds(X, Y, srcRect.Width(), srcRect.Height()));
  if (b.d.IsEmpty()) return false;
  b.sx = b.d.Left - X + (honourOffset ? srcRect.Left : 0);
  b.sy = b.d.Top - Y + (honourOffset ? srcRect.Top : 0);
  return true;
}

// A private copy of the part of bmp a block reads, for when it is also written.
TBitmap CopyOfBlockSource(const TBitmap& bmp, Block& b) {
  TBitmap t(b.d.Width(), b.d.Height(), pf24bit, clBlack);
  ParallelRows(0, b.d.Height(), int64_t(b.d.Width()) * b.d.Height(), [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y)
      std::memcpy(t.ScanLine(y), bmp.ScanLine(b.sy + y) + ptrdiff_t(b.sx) * 3, size_t(b.d.Width()) * 3);
  });
  return t;
}

// Draws src into dst through a placed block. The mask, when used, is read at the
// source position.
void RunBlock(const TBitmap& src0, TBitmap& dst, Block b, const Blending& sp0) {
  const TBitmap* src = &src0;
  Blending sp = sp0;
  TBitmap srcCopy, maskCopy;
  int mx = b.sx, my = b.sy;
  if (UsesMask(sp.mode) && sp.mask == &dst) {
    maskCopy = CopyOfBlockSource(*sp.mask, b);
    sp.mask = &maskCopy;
    mx = my = 0;
  }
  if (&src0 == &dst) {
    srcCopy = CopyOfBlockSource(src0, b);
    src = &srcCopy;
    b.sx = b.sy = 0;
  }
  const int w = b.d.Width();
  ParallelRows(b.d.Top, b.d.Bottom, int64_t(w) * b.d.Height(), [&](int y0, int y1) {
    std::vector<uint8_t> weights(size_t(w) * 3);
    for (int y = y0; y < y1; ++y) {
      uint8_t* d = dst.ScanLine(y) + ptrdiff_t(b.d.Left) * 3;
      const uint8_t* s = src->ScanLine(y - b.d.Top + b.sy) + ptrdiff_t(b.sx) * 3;
      const uint8_t* m = UsesMask(sp.mode) ? sp.mask->ScanLine(y - b.d.Top + my) + ptrdiff_t(mx) * 3 : nullptr;
      ApplyRow(d, s, m, 3, w, sp, weights.data());
    }
  });
}

bool MaskCoversSource(const TBitmap& mask, const TBitmap& src) {
  return mask.PixelFormat() == pf24bit && mask.Width() >= src.Width() && mask.Height() >= src.Height();
}

// The block copies, with the choice of honouring the source rect's offset (used when a
// 1:1 stretch hands over to them).
void CopyRectImpl(const TBitmap& src, TRect srcRect, TBitmap& dst, int X, int Y, TRect dstRect, bool honour) {
  if (!Is24(src) || !Is24(dst)) return;
  Block b;
  if (!PlaceBlock(src, srcRect, dst, X, Y, dstRect, honour, b)) return;
  RunBlock(src, dst, b, MakeBlending(Mode::Copy, 100));
}

void CopyRectOpacityImpl(const TBitmap& src, TRect srcRect, TBitmap& dst, int X, int Y, TRect dstRect,
                         int opacity, bool honour) {
  if (opacity < 1) return;
  opacity = ClampPercent(opacity);
  if (opacity == 100) return CopyRectImpl(src, srcRect, dst, X, Y, dstRect, honour);
  if (!Is24(src) || !Is24(dst)) return;
  Block b;
  if (!PlaceBlock(src, srcRect, dst, X, Y, dstRect, honour, b)) return;
  RunBlock(src, dst, b, MakeBlending(Mode::Opacity, opacity));
}

void CopyRectTransparentImpl(const TBitmap& src, TRect srcRect, TBitmap& dst, int X, int Y, TRect dstRect,
                             int opacity, TColor key, int tolerance, bool honour) {
  if (opacity < 1) return;
  opacity = ClampPercent(opacity);
  if (tolerance < 0) tolerance = 0;
  if (key == clNone) return CopyRectOpacityImpl(src, srcRect, dst, X, Y, dstRect, opacity, honour);
  if (!Is24(src) || !Is24(dst)) return;
  Block b;
  if (!PlaceBlock(src, srcRect, dst, X, Y, dstRect, honour, b)) return;
  Blending sp = MakeBlending(Mode::Keyed, opacity);
  ColorToPixel24(key, sp.key);
  sp.tolerance = tolerance;
  RunBlock(src, dst, b, sp);
}

void CopyRectMaskedImpl(const TBitmap& src, TRect srcRect, TBitmap& dst, int X, int Y, TRect dstRect,
                        int opacity, const TBitmap& mask, Mode mode, bool honour) {
  if (opacity < 1 || !MaskCoversSource(mask, src)) return;
  if (!Is24(src) || !Is24(dst)) return;
  Block b;
  if (!PlaceBlock(src, srcRect, dst, X, Y, dstRect, honour, b)) return;
  Blending sp = MakeBlending(mode, ClampPercent(opacity));
  sp.mask = &mask;
  RunBlock(src, dst, b, sp);
}

// The stretch geometry: which destination area is written and the source pixel of
// every written column and row.
struct StretchMap {
  TRect area;
  std::vector<int> sx, sy;
};

// Returns false when nothing is written. Fills handover when the clipped source and
// the destination have the same size (the caller then hands over to a block copy).
bool PrepareStretch(const TBitmap& src, TRect& srcRect, const TRect& dstBounds, const TRect& dstRect, TRect clip,
                    bool& handover, StretchMap& map) {
  handover = false;
  if (dstRect.IsEmpty()) return false;
  ClipRectToBitmap(srcRect, src);
  if (srcRect.IsEmpty()) return false;
  if (srcRect.Width() == dstRect.Width() && srcRect.Height() == dstRect.Height()) {
    handover = true;
    return true;
  }
  const double scaleX = double(dstRect.Width()) / srcRect.Width();
  const double scaleY = double(dstRect.Height()) / srcRect.Height();
  clip = IntersectRect(IntersectRect(clip, dstRect), dstBounds);
  map.area = IntersectRect(dstRect, clip);
  if (map.area.IsEmpty()) return false;
  map.sx.resize(size_t(map.area.Width()));
  map.sy.resize(size_t(map.area.Height()));
  for (int x = map.area.Left; x < map.area.Right; ++x)
    map.sx[size_t(x - map.area.Left)] =
        std::min(Trunc((x - dstRect.Left) / scaleX + srcRect.Left), src.Width() - 1);
  for (int y = map.area.Top; y < map.area.Bottom; ++y)
    map.sy[size_t(y - map.area.Top)] =
        std::min(Trunc((y - dstRect.Top) / scaleY + srcRect.Top), src.Height() - 1);
  return true;
}

void RunStretch(const TBitmap& src0, TBitmap& dst, const StretchMap& map, const Blending& sp0) {
  const TBitmap* src = &src0;
  TBitmap srcCopy, maskCopy;
  if (&src0 == &dst) {
    srcCopy = src0.Clone();
    src = &srcCopy;
  }
  // a mask that is also the destination is read as it was before the call, whatever
  // order the threads write the rows in
  Blending sp = sp0;
  if (UsesMask(sp.mode) && sp.mask == &dst) {
    maskCopy = dst.Clone();
    sp.mask = &maskCopy;
  }
  const int w = map.area.Width();
  ParallelRows(map.area.Top, map.area.Bottom, int64_t(w) * map.area.Height(), [&](int y0, int y1) {
    std::vector<uint8_t> row(size_t(w) * 3), weights(size_t(w) * 3), mrow(UsesMask(sp.mode) ? size_t(w) : 0);
    for (int y = y0; y < y1; ++y) {
      int sy = map.sy[size_t(y - map.area.Top)];
      const uint8_t* s = src->ScanLine(sy);
      uint8_t* d = dst.ScanLine(y) + ptrdiff_t(map.area.Left) * 3;
      uint8_t* g = sp.mode == Mode::Copy ? d : row.data();
      // A magnified copy repeats each source row: the row just written is copied again.
      if (sp.mode == Mode::Copy && y > y0 && map.sy[size_t(y - 1 - map.area.Top)] == sy) {
        std::memcpy(d, dst.ScanLine(y - 1) + ptrdiff_t(map.area.Left) * 3, size_t(w) * 3);
        continue;
      }
      for (int i = 0; i < w; ++i) {
        const uint8_t* p = s + ptrdiff_t(map.sx[size_t(i)]) * 3;
        g[3 * i] = p[0];
        g[3 * i + 1] = p[1];
        g[3 * i + 2] = p[2];
      }
      if (sp.mode == Mode::Copy) continue;
      if (UsesMask(sp.mode)) {
        const uint8_t* m = sp.mask->ScanLine(sy);
        for (int i = 0; i < w; ++i) mrow[size_t(i)] = m[ptrdiff_t(map.sx[size_t(i)]) * 3];
      }
      ApplyRow(d, row.data(), mrow.data(), 1, w, sp, weights.data());
    }
  });
}

// Tiles the pattern into the row buffer: pixel i of the row takes pattern pixel
// ((x0 + i - originX) mod W) of pattern row py.
void TilePatternRow(const TBitmap& pattern, int py, int x0, int n, int originX, uint8_t* out) {
  const uint8_t* prow = pattern.ScanLine(py);
  const int W = pattern.Width();
  int px = ModFloor(int64_t(x0) - originX, W);
  int i = 0;
  while (i < n) {
    int run = std::min(W - px, n - i);
    std::memcpy(out + ptrdiff_t(i) * 3, prow + ptrdiff_t(px) * 3, size_t(run) * 3);
    i += run;
    px = 0;
  }
}

void FillPatternImpl(const TBitmap& pattern, TBitmap& dst, int originX, int originY, TRect rect,
                     const Blending& sp) {
  if (!Is24(pattern) || !Is24(dst)) return;
  ClipRectToBitmap(rect, dst);
  if (rect.IsEmpty()) return;
  TBitmap patCopy;
  const TBitmap* pat = &pattern;
  if (&pattern == &dst) {
    patCopy = pattern.Clone();
    pat = &patCopy;
  }
  const int w = rect.Width();
  ParallelRows(rect.Top, rect.Bottom, int64_t(w) * rect.Height(), [&](int y0, int y1) {
    std::vector<uint8_t> row(size_t(w) * 3), weights(size_t(w) * 3);
    for (int y = y0; y < y1; ++y) {
      int py = ModFloor(int64_t(y) - originY, pat->Height());
      uint8_t* d = dst.ScanLine(y) + ptrdiff_t(rect.Left) * 3;
      if (sp.mode == Mode::Copy) {
        TilePatternRow(*pat, py, rect.Left, w, originX, d);
        continue;
      }
      TilePatternRow(*pat, py, rect.Left, w, originX, row.data());
      ApplyRow(d, row.data(), nullptr, 0, w, sp, weights.data());
    }
  });
}

// Runs a mask-driven fill: the mask placed at (X, Y), source pixels coming from
// makeRow(y, buffer) for each destination row of the block (once for all the rows of a
// band when every row is the same).
template <class MakeRow>
void RunMaskFill(const TBitmap& mask0, TRect maskRect, TBitmap& dst, int X, int Y, TRect dstRect, Blending sp,
                 MakeRow makeRow, bool sameRows = false) {
  if (!Is24(mask0) || !Is24(dst)) return;
  Block b;
  if (!PlaceBlock(mask0, maskRect, dst, X, Y, dstRect, false, b)) return;
  const TBitmap* mask = &mask0;
  TBitmap maskCopy;
  if (&mask0 == &dst) {
    maskCopy = CopyOfBlockSource(mask0, b);
    mask = &maskCopy;
    b.sx = b.sy = 0;
  }
  const int w = b.d.Width();
  ParallelRows(b.d.Top, b.d.Bottom, int64_t(w) * b.d.Height(), [&](int y0, int y1) {
    std::vector<uint8_t> row(size_t(w) * 3), weights(size_t(w) * 3);
    for (int y = y0; y < y1; ++y) {
      uint8_t* d = dst.ScanLine(y) + ptrdiff_t(b.d.Left) * 3;
      const uint8_t* m = mask->ScanLine(y - b.d.Top + b.sy) + ptrdiff_t(b.sx) * 3;
      if (!sameRows || y == y0) makeRow(b.d, y, row.data());
      ApplyRow(d, row.data(), m, 3, w, sp, weights.data());
    }
  });
}

}  // namespace

// --- Row kernels ------------------------------------------------------------------

void BlendRow(uint8_t* __restrict dst, const uint8_t* __restrict src, int n, int percent) {
  for (int i = 0; i < n; ++i) {
    int d = dst[i];
    dst[i] = uint8_t(d + Div100Trunc((int(src[i]) - d) * percent));
  }
}

void BlendRowWeighted(uint8_t* __restrict dst, const uint8_t* __restrict src, const uint8_t* __restrict weight,
                      int n) {
  for (int i = 0; i < n; ++i) {
    int d = dst[i];
    dst[i] = uint8_t(d + Div100Trunc((int(src[i]) - d) * int(weight[i])));
  }
}

// --- Per-pixel blends ---------------------------------------------------------------

bool SameColorWithin(int tolerance, TColor a, TColor b) {
  if (tolerance <= 0) return (a & 0xFFFFFF) == (b & 0xFFFFFF);
  return std::abs(int(GetRValue(a)) - GetRValue(b)) <= tolerance &&
         std::abs(int(GetGValue(a)) - GetGValue(b)) <= tolerance &&
         std::abs(int(GetBValue(a)) - GetBValue(b)) <= tolerance;
}

void BlendPixel(uint8_t* dst, const uint8_t* src, int percent) {
  if (percent >= 100) {
    dst[0] = src[0];
    dst[1] = src[1];
    dst[2] = src[2];
    return;
  }
  for (int c = 0; c < 3; ++c) dst[c] = uint8_t(dst[c] + (int(src[c]) - dst[c]) * percent / 100);
}

void BlendPixelMasked(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int percent) {
  if (*mask == 0 && percent >= 100) {
    dst[0] = src[0];
    dst[1] = src[1];
    dst[2] = src[2];
    return;
  }
  int q = (255 - *mask) * percent / 255;
  for (int c = 0; c < 3; ++c) dst[c] = uint8_t(dst[c] + (int(src[c]) - dst[c]) * q / 100);
}

void BlendPixelKeyed(uint8_t* dst, const uint8_t* src, int percent, const uint8_t* key, int tolerance) {
  if (KeyMatch(src, key, tolerance)) return;
  for (int c = 0; c < 3; ++c) dst[c] = uint8_t(dst[c] + (int(src[c]) - dst[c]) * percent / 100);
}

void BlendPixelKeyedMasked(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int percent,
                           const uint8_t* key, int tolerance) {
  if (KeyMatch(src, key, tolerance)) return;
  int q = (255 - *mask) * percent / 255;
  for (int c = 0; c < 3; ++c) dst[c] = uint8_t(dst[c] + (int(src[c]) - dst[c]) * q / 100);
}

// --- Block copies ---------------------------------------------------------------------

void CopyBitmap24(const TBitmap& src, TBitmap& dst) { CopyBitmapRect(src, UnboundedRect, dst, 0, 0, UnboundedRect); }

void CopyBitmap24At(const TBitmap& src, TBitmap& dst, int X, int Y) {
  CopyBitmapRect(src, UnboundedRect, dst, X, Y, UnboundedRect);
}

void CopyBitmapRect(const TBitmap& src, TRect srcRect, TBitmap& dst, int X, int Y, TRect dstRect) {
  CopyRectImpl(src, srcRect, dst, X, Y, dstRect, false);
}

void CopyBitmapRectOpacity(const TBitmap& src, TRect srcRect, TBitmap& dst, int X, int Y, TRect dstRect,
                           int opacity) {
  CopyRectOpacityImpl(src, srcRect, dst, X, Y, dstRect, opacity, false);
}

void CopyBitmapRectTransparent(const TBitmap& src, TRect srcRect, TBitmap& dst, int X, int Y, TRect dstRect,
                               int opacity, TColor key, int tolerance) {
  CopyRectTransparentImpl(src, srcRect, dst, X, Y, dstRect, opacity, key, tolerance, false);
}

void CopyBitmapRectMasked(const TBitmap& src, TRect srcRect, TBitmap& dst, int X, int Y, TRect dstRect,
                          int opacity, const TBitmap& mask) {
  CopyRectMaskedImpl(src, srcRect, dst, X, Y, dstRect, opacity, mask, Mode::Masked, false);
}

void CopyBitmapRectWhereMasked(const TBitmap& src, TRect srcRect, TBitmap& dst, int X, int Y, TRect dstRect,
                               int opacity, const TBitmap& mask) {
  CopyRectMaskedImpl(src, srcRect, dst, X, Y, dstRect, opacity, mask, Mode::WhereMasked, false);
}

// --- Stretching copies ------------------------------------------------------------------
// A 1:1 stretch hands over to the block copy at the destination rect's corner, keeping
// the source rect's offset, so it gives exactly what every other scale gives.

void StretchBitmapRect(const TBitmap& src, TRect srcRect, TBitmap& dst, TRect dstRect, TRect clipRect) {
  if (!Is24(src) || !Is24(dst)) return;
  bool handover;
  StretchMap map;
  if (!PrepareStretch(src, srcRect, GetBitmapRect(dst), dstRect, clipRect, handover, map)) return;
  if (handover) return CopyRectImpl(src, srcRect, dst, dstRect.Left, dstRect.Top, clipRect, true);
  RunStretch(src, dst, map, MakeBlending(Mode::Copy, 100));
}

void StretchBitmapRectOpacity(const TBitmap& src, TRect srcRect, TBitmap& dst, TRect dstRect, TRect clipRect,
                              int opacity) {
  if (opacity < 1) return;
  opacity = ClampPercent(opacity);
  if (opacity == 100) return StretchBitmapRect(src, srcRect, dst, dstRect, clipRect);
  if (!Is24(src) || !Is24(dst)) return;
  bool handover;
  StretchMap map;
  if (!PrepareStretch(src, srcRect, GetBitmapRect(dst), dstRect, clipRect, handover, map)) return;
  if (handover) return CopyRectOpacityImpl(src, srcRect, dst, dstRect.Left, dstRect.Top, clipRect, opacity, true);
  RunStretch(src, dst, map, MakeBlending(Mode::Opacity, opacity));
}

void StretchBitmapRectTransparent(const TBitmap& src, TRect srcRect, TBitmap& dst, TRect dstRect,
                                  TRect clipRect, int opacity, TColor key, int tolerance) {
  if (opacity < 1) return;
  opacity = ClampPercent(opacity);
  if (tolerance < 0) tolerance = 0;
  if (key == clNone) return StretchBitmapRectOpacity(src, srcRect, dst, dstRect, clipRect, opacity);
  if (!Is24(src) || !Is24(dst)) return;
  bool handover;
  StretchMap map;
  if (!PrepareStretch(src, srcRect, GetBitmapRect(dst), dstRect, clipRect, handover, map)) return;
  if (handover)
    return CopyRectTransparentImpl(src, srcRect, dst, dstRect.Left, dstRect.Top, clipRect, opacity, key,
                                   tolerance, true);
  Blending sp = MakeBlending(Mode::Keyed, opacity);
  ColorToPixel24(key, sp.key);
  sp.tolerance = tolerance;
  RunStretch(src, dst, map, sp);
}

void StretchBitmapRectMasked(const TBitmap& src, TRect srcRect, TBitmap& dst, TRect dstRect, TRect clipRect,
                             int opacity, const TBitmap& mask) {
  if (!MaskCoversSource(mask, src) || dstRect.IsEmpty() || opacity < 1) return;
  opacity = ClampPercent(opacity);
  if (!Is24(src) || !Is24(dst)) return;
  bool handover;
  StretchMap map;
  if (!PrepareStretch(src, srcRect, GetBitmapRect(dst), dstRect, clipRect, handover, map)) return;
  if (handover)
    return CopyRectMaskedImpl(src, srcRect, dst, dstRect.Left, dstRect.Top, clipRect, opacity, mask,
                              Mode::Masked, true);
  Blending sp = MakeBlending(Mode::Masked, opacity);
  sp.mask = &mask;
  RunStretch(src, dst, map, sp);
}

void StretchBitmapRectToXrgb(const TBitmap& src, TRect srcRect, uint32_t* dst, ptrdiff_t stride, int dstWidth,
                             int dstHeight, TRect dstRect, TRect clipRect) {
  if (!Is24(src) || !dst) return;
  const TRect bounds{0, 0, std::max(dstWidth, 0), std::max(dstHeight, 0)};
  bool handover;
  StretchMap map;
  if (!PrepareStretch(src, srcRect, bounds, dstRect, clipRect, handover, map)) return;
  if (handover) {
    // the block copy's placement: the source rect's corner at the destination rect's
    map.area = IntersectRect(IntersectRect(clipRect, bounds),
                             Bounds(dstRect.Left, dstRect.Top, srcRect.Width(), srcRect.Height()));
    if (map.area.IsEmpty()) return;
    map.sx.resize(size_t(map.area.Width()));
    map.sy.resize(size_t(map.area.Height()));
    for (size_t i = 0; i < map.sx.size(); ++i) map.sx[i] = map.area.Left - dstRect.Left + srcRect.Left + int(i);
    for (size_t i = 0; i < map.sy.size(); ++i) map.sy[i] = map.area.Top - dstRect.Top + srcRect.Top + int(i);
  }
  const TRect& a = map.area;
  const int w = a.Width();
  // the source columns the rows read (the map never goes back)
  const int sx0 = map.sx.front(), span = map.sx.back() - sx0 + 1;
  auto* bytes = reinterpret_cast<uint8_t*>(dst);
  // One pass over a viewport's worth of memory, on the calling thread: waking the
  // engine's threads costs more than they save (a full-HD viewport at 400 % took
  // 0.58 ms alone, 0.7 ms on eight threads that sleep between operations). A source
  // row is converted once, then its words picked: cheaper than the three bytes of
  // every destination pixel.
  std::vector<uint32_t> words(handover ? 0 : size_t(span));
  for (int y = a.Top; y < a.Bottom; ++y) {
    const int sy = map.sy[size_t(y - a.Top)];
    auto* d = reinterpret_cast<uint32_t*>(bytes + stride * y) + a.Left;
    // a magnified row repeats the one just written
    if (y > a.Top && map.sy[size_t(y - 1 - a.Top)] == sy) {
      std::memcpy(d, reinterpret_cast<const uint32_t*>(bytes + stride * (y - 1)) + a.Left, size_t(w) * 4);
      continue;
    }
    const uint8_t* s = src.ScanLine(sy) + ptrdiff_t(sx0) * 3;
    if (handover) {
      Row24ToXrgb(s, d, w);
      continue;
    }
    Row24ToXrgb(s, words.data(), span);
    const uint32_t* wv = words.data() - sx0;
    const int* sx = map.sx.data();
    for (int i = 0; i < w; ++i) d[i] = wv[sx[i]];
  }
}

// --- Patterns, colours and masks -----------------------------------------------------------

void FillRectWithPatternPlain(const TBitmap& pattern, TBitmap& dst, int originX, int originY, TRect rect) {
  FillPatternImpl(pattern, dst, originX, originY, rect, MakeBlending(Mode::Copy, 100));
}

void FillRectWithPatternOpacity(const TBitmap& pattern, TBitmap& dst, int originX, int originY, TRect rect,
                                int opacity) {
  if (opacity < 1) return;
  opacity = ClampPercent(opacity);
  if (opacity == 100) return FillRectWithPatternPlain(pattern, dst, originX, originY, rect);
  FillPatternImpl(pattern, dst, originX, originY, rect, MakeBlending(Mode::Opacity, opacity));
}

void FillRectWithPattern(const TBitmap& pattern, TBitmap& dst, int originX, int originY, TRect rect,
                         int opacity, TColor key, int tolerance) {
  if (opacity < 1) return;
  opacity = ClampPercent(opacity);
  if (tolerance < 0) tolerance = 0;
  if (key == clNone) return FillRectWithPatternOpacity(pattern, dst, originX, originY, rect, opacity);
  Blending sp = MakeBlending(Mode::Keyed, opacity);
  ColorToPixel24(key, sp.key);
  sp.tolerance = tolerance;
  FillPatternImpl(pattern, dst, originX, originY, rect, sp);
}

void BlendColorThroughMask(const TBitmap& mask, TRect maskRect, TBitmap& dst, int X, int Y, TRect dstRect,
                           TColor color, int opacity) {
  if (opacity < 1) return;
  uint8_t px[3];
  ColorToPixel24(color, px);
  RunMaskFill(mask, maskRect, dst, X, Y, dstRect, MakeBlending(Mode::Masked, ClampPercent(opacity)),
              [&](const TRect& d, int, uint8_t* row) {
                for (int i = 0; i < d.Width(); ++i) {
                  row[3 * i] = px[0];
                  row[3 * i + 1] = px[1];
                  row[3 * i + 2] = px[2];
                }
              },
              true);
}

void FillPatternThroughMask(const TBitmap& mask, TRect maskRect, TBitmap& dst, int X, int Y, TRect dstRect,
                            const TBitmap& pattern, bool useKey, TColor key, int opacity) {
  if (opacity < 1 || !Is24(pattern)) return;
  opacity = ClampPercent(opacity);
  Blending sp = MakeBlending(useKey && key != clNone ? Mode::KeyedMasked : Mode::Masked, opacity);
  if (sp.mode == Mode::KeyedMasked) {
    ColorToPixel24(key, sp.key);
    sp.tolerance = 0;
  }
  TBitmap patCopy;
  const TBitmap* pat = &pattern;
  if (&pattern == &dst) {
    patCopy = pattern.Clone();
    pat = &patCopy;
  }
  // the pattern is anchored at the top-left of the clipped destination block
  RunMaskFill(mask, maskRect, dst, X, Y, dstRect, sp, [&](const TRect& d, int y, uint8_t* row) {
    TilePatternRow(*pat, ModFloor(int64_t(y) - d.Top, pat->Height()), d.Left, d.Width(), d.Left, row);
  });
}

void FillColorWhereMaskInRange(const TBitmap& mask0, TRect maskRect, TBitmap& dst, int X, int Y, TRect dstRect,
                               TColor color, int low, int high) {
  if (!Is24(mask0) || !Is24(dst)) return;
  Block b;
  if (!PlaceBlock(mask0, maskRect, dst, X, Y, dstRect, false, b)) return;
  const TBitmap* mask = &mask0;
  TBitmap maskCopy;
  if (&mask0 == &dst) {
    maskCopy = CopyOfBlockSource(mask0, b);
    mask = &maskCopy;
    b.sx = b.sy = 0;
  }
  uint8_t px[3];
  ColorToPixel24(color, px);
  const int w = b.d.Width();
  ParallelRows(b.d.Top, b.d.Bottom, int64_t(w) * b.d.Height(), [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      uint8_t* d = dst.ScanLine(y) + ptrdiff_t(b.d.Left) * 3;
      const uint8_t* m = mask->ScanLine(y - b.d.Top + b.sy) + ptrdiff_t(b.sx) * 3;
      for (int i = 0; i < w; ++i) {
        int v = m[3 * i];
        if (v >= low && v <= high) {
          d[3 * i] = px[0];
          d[3 * i + 1] = px[1];
          d[3 * i + 2] = px[2];
        }
      }
    }
  });
}

void ApplyTexturePattern(const TBitmap& pattern, TBitmap& dst, TRect rect, int percent) {
  if (percent < 1 || !Is24(pattern) || !Is24(dst)) return;
  const int p = ClampPercent(percent);
  ClipRectToBitmap(rect, dst);
  if (rect.IsEmpty()) return;
  TBitmap patCopy;
  const TBitmap* pat = &pattern;
  if (&pattern == &dst) {
    patCopy = pattern.Clone();
    pat = &patCopy;
  }
  // v + trunc(v * factor / 100) for factor -p, 0 and +p, as tables
  uint8_t darker[256], lighter[256];
  for (int v = 0; v < 256; ++v) {
    darker[v] = ClampByte(v - v * p / 100);
    lighter[v] = ClampByte(v + v * p / 100);
  }
  const int w = rect.Width();
  ParallelRows(rect.Top, rect.Bottom, int64_t(w) * rect.Height(), [&](int y0, int y1) {
    std::vector<uint8_t> row(size_t(w) * 3);
    for (int y = y0; y < y1; ++y) {
      TilePatternRow(*pat, ModFloor(int64_t(y) - rect.Top, pat->Height()), rect.Left, w, rect.Left, row.data());
      uint8_t* d = dst.ScanLine(y) + ptrdiff_t(rect.Left) * 3;
      for (int i = 0; i < w; ++i) {
        int s = row[3 * i] + row[3 * i + 1] + row[3 * i + 2];
        const uint8_t* t = s <= 15 ? darker : (s >= 750 ? lighter : nullptr);
        if (!t) continue;
        d[3 * i] = t[d[3 * i]];
        d[3 * i + 1] = t[d[3 * i + 1]];
        d[3 * i + 2] = t[d[3 * i + 2]];
      }
    }
  });
}

}  // namespace qm
