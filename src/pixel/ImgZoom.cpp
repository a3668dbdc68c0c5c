#include "pixel/ImgZoom.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "pixel/Blend.h"
#include "pixel/ImgUtils.h"
#include "pixel/Planes.h"
#include "pixel/RectUtils.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"

namespace qm {
namespace {

// Weights of the area filter, per axis: destination pixel k covers source pixels
// start[k] .. start[k] + count[k] - 1 with weights summing to exactly 1 << kWeightBits,
// so a uniform area stays uniform. 11 bits per axis keep both passes within 32 bits.
constexpr int kWeightBits = 11;

struct AxisTaps {
  std::vector<int> start, count, offset;
  std::vector<uint32_t> weight;
};

// Destination pixels first .. first + n - 1 (relative to the destination rect's start)
// of a mapping of srcLen source pixels (from srcStart) onto dstLen destination pixels.
AxisTaps MakeTaps(int srcStart, int srcLen, int dstLen, int first, int n) {
  AxisTaps t;
  t.start.resize(size_t(n));
  t.count.resize(size_t(n));
  t.offset.resize(size_t(n));
  const int64_t S = srcLen, D = dstLen, one = int64_t(1) << kWeightBits;
  for (int k = 0; k < n; ++k) {
    // the pixel covers [a, b) in units of 1 / D source pixels
    const int64_t a = int64_t(first + k) * S, b = a + S;
    const int64_t i0 = a / D, i1 = (b - 1) / D;
    t.start[size_t(k)] = srcStart + int(i0);
    t.count[size_t(k)] = int(i1 - i0 + 1);
    t.offset[size_t(k)] = int(t.weight.size());
    int64_t prev = 0;
    for (int64_t i = i0; i <= i1; ++i) {
      const int64_t covEnd = std::min(b, (i + 1) * D) - a;  // coverage up to the end of pixel i
      const int64_t cum = (covEnd * one + S / 2) / S;
      t.weight.push_back(uint32_t(cum - prev));
      prev = cum;
    }
  }
  return t;
}

// The source columns a block of destination pixels reads, about: their sums (3 KB)
// and the rows' bytes they come from stay in the processor's first cache.
constexpr double kBlockColumns = 256;

// The most source rows summed in one pass over their columns: more would be more
// streams from memory at once than the processor follows ahead, and a strong reduction
// (a thumbnail, a print preview) then waits on memory. A destination row of more rows
// is made whole, its rows summed in groups of that many.
constexpr int kPassRows = 8;

// How far ahead a source row summed whole is read: the processor's own streams stop at
// each 4 KB page of a row, and the sums would then wait on memory.
constexpr size_t kPrefetchAhead = 2048, kPrefetchPiece = 256;

// c[j] = sum of w[i] * rows[i][j] over the n rows, for the bytes j0 <= j < j1 (their
// columns' channels); a row's bytes up to `span` may be read ahead.
void SumRows(const uint8_t* const* rows, const uint32_t* w, int n, size_t j0, size_t j1, size_t span, uint32_t* c) {
  // A few rows summed block by block ask for the next block's bytes first; rows summed
  // whole ask for theirs as they go.
  const bool blocked = n <= kPassRows;
  if (blocked) {
    const size_t ahead = std::min(span, j1 + (j1 - j0));
    for (int i = 0; i < n; ++i)
      for (size_t b = j1; b < ahead; b += 64) __builtin_prefetch(rows[i] + b);
  }
  for (int g0 = 0; g0 < n; g0 += kPassRows) {
    const int g1 = std::min(n, g0 + kPassRows);
    size_t j = j0;
#if QM_PLANES_VBMI
    // 32 bytes of two rows at a time: their levels and weights interleaved as 16-bit
    // pairs, each pair's two products summed into 32 bits by one multiply-add (a
    // weight is at most 2048, a level 255). The interleaving works within 128-bit
    // lanes: the low half holds bytes 0-3, 8-11, 16-19, 24-27, the high half the
    // others, put back in order once the rows are summed.
    static const __m512i first = _mm512_setr_epi32(0, 1, 2, 3, 16, 17, 18, 19, 4, 5, 6, 7, 20, 21, 22, 23);
    static const __m512i second = _mm512_setr_epi32(8, 9, 10, 11, 24, 25, 26, 27, 12, 13, 14, 15, 28, 29, 30, 31);
    for (; j + 32 <= j1; j += 32) {
      if (!blocked && (j & 63) == 0 && j + kPrefetchAhead < span)
        for (int i = g0; i < g1; ++i) __builtin_prefetch(rows[i] + j + kPrefetchAhead);
      __m512i lo = _mm512_setzero_si512(), hi = _mm512_setzero_si512();
      for (int i = g0; i < g1; i += 2) {
        const __m512i a = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[i] + j)));
        const bool pair = i + 1 < g1;
        const __m512i b =
            pair ? _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[i + 1] + j)))
                 : _mm512_setzero_si512();
        const __m512i wp = _mm512_set1_epi32(int(w[i] | (pair ? w[i + 1] << 16 : 0u)));
        lo = _mm512_add_epi32(lo, _mm512_madd_epi16(_mm512_unpacklo_epi16(a, b), wp));
        hi = _mm512_add_epi32(hi, _mm512_madd_epi16(_mm512_unpackhi_epi16(a, b), wp));
      }
      __m512i v0 = _mm512_permutex2var_epi32(lo, first, hi), v1 = _mm512_permutex2var_epi32(lo, second, hi);
      if (g0 > 0) {
        v0 = _mm512_add_epi32(v0, _mm512_loadu_si512(c + j));
        v1 = _mm512_add_epi32(v1, _mm512_loadu_si512(c + j + 16));
      }
      _mm512_storeu_si512(c + j, v0);
      _mm512_storeu_si512(c + j + 16, v1);
    }
#endif
    // what is left, a row at a time, in pieces read ahead as above
    for (int i = g0; i < g1; ++i) {
      const uint8_t* s = rows[i];
      const uint32_t wv = w[i];
      for (size_t q0 = j; q0 < j1; q0 += kPrefetchPiece) {
        const size_t q1 = std::min(j1, q0 + kPrefetchPiece);
        if (!blocked)
          for (size_t b = q0 + kPrefetchAhead; b < q1 + kPrefetchAhead && b < span; b += 64) __builtin_prefetch(s + b);
        if (i == 0) {
          for (size_t q = q0; q < q1; ++q) c[q] = wv * s[q];
        } else {
          for (size_t q = q0; q < q1; ++q) c[q] += wv * s[q];
        }
      }
    }
  }
}

#if QM_PLANES_VBMI
// The horizontal sums of 16 destination pixels at a time, one channel at a time: tap
// t of pixel k reads the vertical sums at index at[t * n + k] (its column times 3),
// weight[t * n + k]; pixels with fewer taps than the most read their first column again
// with weight 0. The same integer products and sums as one pixel at a time.
struct LaneTaps {
  int taps = 0, n = 0;
  std::vector<int32_t> at;
  std::vector<uint32_t> weight;
  // the same taps as columns (at / 3); per group of sixteen pixels its first column,
  // or -1 when its columns reach further than kPlaneReach from it, and how many
  // pairs of 16-value registers its columns take
  std::vector<int32_t> column, base, pairs;
};

constexpr int kPlaneReach = 128;

LaneTaps MakeLaneTaps(const AxisTaps& tx, int sx0, int n) {
  LaneTaps l;
  l.n = n;
  for (int k = 0; k < n; ++k) l.taps = std::max(l.taps, tx.count[size_t(k)]);
  l.at.assign(size_t(l.taps) * size_t(n), 0);
  l.weight.assign(size_t(l.taps) * size_t(n), 0);
  for (int k = 0; k < n; ++k)
    for (int t = 0; t < l.taps; ++t) {
      const bool own = t < tx.count[size_t(k)];
      l.at[size_t(t) * size_t(n) + size_t(k)] = (tx.start[size_t(k)] + (own ? t : 0) - sx0) * 3;
      if (own) l.weight[size_t(t) * size_t(n) + size_t(k)] = tx.weight[size_t(tx.offset[size_t(k)] + t)];
    }
  l.column.resize(l.at.size());
  for (size_t i = 0; i < l.at.size(); ++i) l.column[i] = l.at[i] / 3;
  for (int k0 = 0; k0 + 16 <= n; k0 += 16) {
    const int first = tx.start[size_t(k0)] - sx0, last = tx.start[size_t(k0) + 15] + tx.count[size_t(k0) + 15] - sx0;
    l.base.push_back(last - first <= kPlaneReach ? first : -1);
    l.pairs.push_back(std::max(1, (last - first + 31) / 32));
  }
  return l;
}

// The vertical sums of columns [c0, c1) taken apart by channel: planes[c * stride + m]
// is channel c of column m. Whole groups of sixteen columns are written (col is read
// up to 48 values past column c1's, the planes written up to 15 columns past c1).
void SumsToPlanes(const uint32_t* col, int c0, int c1, uint32_t* planes, size_t stride) {
  static const struct TTables {
    __m512i pair[3], third[3];
    __mmask16 fromThird[3];
    TTables() {
      for (int c = 0; c < 3; ++c) {
        alignas(64) int32_t a[16], b[16];
        unsigned m = 0;
        for (int i = 0; i < 16; ++i) {
          const int q = 3 * i + c;
          a[i] = q & 31;
          b[i] = q & 15;
          if (q >= 32) m |= 1u << i;
        }
        pair[c] = _mm512_load_si512(a);
        third[c] = _mm512_load_si512(b);
        fromThird[c] = __mmask16(m);
      }
    }
  } t;
  for (int m = c0; m < c1; m += 16) {
    const uint32_t* q = col + size_t(m) * 3;
    const __m512i a = _mm512_loadu_si512(q), b = _mm512_loadu_si512(q + 16), c = _mm512_loadu_si512(q + 32);
    for (int ch = 0; ch < 3; ++ch) {
      const __m512i v = _mm512_mask_permutexvar_epi32(_mm512_permutex2var_epi32(a, t.pair[ch], b), t.fromThird[ch],
                                                      t.third[ch], c);
      _mm512_storeu_si512(planes + size_t(ch) * stride + size_t(m), v);
    }
  }
}

// The three channels' sums of sixteen pixels rounded back to levels and written as
// their 48 bytes.
inline void StoreSixteen(const __m512i (&sums)[3], uint8_t* out) {
  static const __m512i join = [] {
    alignas(64) uint8_t idx[64] = {};
    for (int q = 0; q < 48; ++q) idx[q] = uint8_t((q % 3) * 16 + q / 3);
    return _mm512_load_si512(idx);
  }();
  const __m512i half = _mm512_set1_epi32(1 << (2 * kWeightBits - 1));
  __m128i b[3];
  for (int c = 0; c < 3; ++c)
    b[c] = _mm512_cvtepi32_epi8(_mm512_srli_epi32(_mm512_add_epi32(sums[c], half), 2 * kWeightBits));
  __m512i bytes = _mm512_castsi128_si512(b[0]);
  bytes = _mm512_inserti32x4(bytes, b[1], 1);
  bytes = _mm512_inserti32x4(bytes, b[2], 2);
  _mm512_mask_storeu_epi8(out, 0xFFFFFFFFFFFFull, _mm512_permutexvar_epi8(join, bytes));
}

// Pixels k0 .. k0 + 15 of a destination row from the planes of the vertical sums, when
// their columns lie within kPlaneReach of the group's first: each tap's sums picked
// from up to eight registers of each plane by permutes, where a gather from memory
// waited on each of its sixteen values. The same integer products and sums as one
// pixel at a time.
template <int kPairs>
void SixteenPixelsFromPlanes(const LaneTaps& l, const uint32_t* planes, size_t stride, int k0, int base,
                             uint8_t* out) {
  const __m512i from = _mm512_set1_epi32(base);
  __m512i sums[3];
  for (int c = 0; c < 3; ++c) {
    const uint32_t* p = planes + size_t(c) * stride + size_t(base);
    __m512i r[2 * kPairs];
    for (int q = 0; q < 2 * kPairs; ++q) r[q] = _mm512_loadu_si512(p + 16 * q);
    __m512i acc = _mm512_setzero_si512();
    for (int t = 0; t < l.taps; ++t) {
      const size_t at = size_t(t) * size_t(l.n) + size_t(k0);
      const __m512i idx = _mm512_sub_epi32(_mm512_loadu_si512(&l.column[at]), from);
      // a permute picks from two registers (32 values) by the index's low five bits;
      // the pair an index falls in is its value divided by 32
      __m512i v = _mm512_permutex2var_epi32(r[0], idx, r[1]);
      for (int q = 1; q < kPairs; ++q)
        v = _mm512_mask_mov_epi32(v, _mm512_cmpge_epi32_mask(idx, _mm512_set1_epi32(32 * q)),
                                  _mm512_permutex2var_epi32(r[2 * q], idx, r[2 * q + 1]));
      acc = _mm512_add_epi32(acc, _mm512_mullo_epi32(v, _mm512_loadu_si512(&l.weight[at])));
    }
    sums[c] = acc;
  }
  StoreSixteen(sums, out);
}

// Pixels k0 .. k0 + 15 of a destination row from the vertical sums col.
inline void SixteenPixels(const LaneTaps& l, const uint32_t* col, int k0, uint8_t* out) {
  __m512i sums[3];
  for (int c = 0; c < 3; ++c) {
    __m512i acc = _mm512_setzero_si512();
    for (int t = 0; t < l.taps; ++t) {
      const size_t at = size_t(t) * size_t(l.n) + size_t(k0);
      const __m512i idx = _mm512_add_epi32(_mm512_loadu_si512(&l.at[at]), _mm512_set1_epi32(c));
      const __m512i v = _mm512_i32gather_epi32(idx, col, 4);
      acc = _mm512_add_epi32(acc, _mm512_mullo_epi32(v, _mm512_loadu_si512(&l.weight[at])));
    }
    sums[c] = acc;
  }
  StoreSixteen(sums, out);
}
#endif

// A 24-bit copy of the part of a bitmap of another format that a drawing reads.
const TBitmap& As24(const TBitmap& bmp, TRect& s, TBitmap& holder) {
  if (bmp.PixelFormat() == pf24bit) return bmp;
  CopyBitmapRegion(bmp, holder, s);
  holder.SetPixelFormat(pf24bit);
  s = TRect{0, 0, s.Width(), s.Height()};
  return holder;
}

}  // namespace

void StretchBitmapRectHalftone(const TBitmap& src, TRect srcRect, TBitmap& dst, TRect dstRect, TRect clipRect) {
  if (src.PixelFormat() != pf24bit || dst.PixelFormat() != pf24bit) return;
  if (dstRect.IsEmpty()) return;
  ClipRectToBitmap(srcRect, src);
  if (srcRect.IsEmpty()) return;
  const TRect area = IntersectRect(IntersectRect(clipRect, dstRect), GetBitmapRect(dst));
  if (area.IsEmpty()) return;
  const int w = area.Width();
  const AxisTaps tx = MakeTaps(srcRect.Left, srcRect.Width(), dstRect.Width(), area.Left - dstRect.Left, w);
  const AxisTaps ty = MakeTaps(srcRect.Top, srcRect.Height(), dstRect.Height(), area.Top - dstRect.Top, area.Height());
  // the source columns the area reads
  const int sx0 = tx.start[0], sx1 = tx.start[size_t(w) - 1] + tx.count[size_t(w) - 1];
  const size_t span = size_t(sx1 - sx0) * 3;
#if QM_PLANES_VBMI
  const LaneTaps lanes = MakeLaneTaps(tx, sx0, w);
#endif
  // The destination row is made in blocks of pixels whose source columns' sums stay
  // in the first cache between their vertical sums and the horizontal ones that read
  // them back; a block is a whole number of sixteen-pixel groups.
  const double columnsPerPixel = double(srcRect.Width()) / double(dstRect.Width());
  const int block = std::clamp(int(kBlockColumns / std::max(columnsPerPixel, 1.0)) / 16 * 16, 16, 1024);
  ParallelRows(area.Top, area.Bottom, int64_t(srcRect.Width()) * srcRect.Height(), [&](int y0, int y1) {
    // Within a block the covered source rows are first summed by their vertical
    // weights over every column (contiguous bytes), then each destination pixel sums
    // its columns by their horizontal weights. The products are exact integers, so the
    // order of the sums changes nothing in the result; rows on the border of two
    // destination rows, and columns on the border of two blocks, are read twice, which
    // costs less than filtering every source row horizontally.
    // (room past the end for the whole groups of columns taken apart by channel)
    std::vector<uint32_t> col(span + 48);
#if QM_PLANES_VBMI
    const size_t stride = span / 3 + kPlaneReach + 16;
    std::vector<uint32_t> planes(stride * 3);
#endif
    std::vector<const uint8_t*> rows;
    for (int y = y0; y < y1; ++y) {
      const size_t k = size_t(y - area.Top);
      const uint32_t* wy = ty.weight.data() + ty.offset[k];
      const int n = ty.count[k];
      rows.resize(size_t(n));
      for (int i = 0; i < n; ++i) rows[size_t(i)] = src.ScanLine(ty.start[k] + i) + ptrdiff_t(sx0) * 3;
      uint8_t* d = dst.ScanLine(y) + ptrdiff_t(area.Left) * 3;
      const int step = n > kPassRows ? w : block;
      for (int bx0 = 0; bx0 < w; bx0 += step) {
        const int bx1 = std::min(w, bx0 + step);
        const size_t j0 = size_t(tx.start[size_t(bx0)] - sx0) * 3;
        const size_t j1 = size_t(tx.start[size_t(bx1) - 1] + tx.count[size_t(bx1) - 1] - sx0) * 3;
        SumRows(rows.data(), wy, n, j0, j1, span, col.data());
        constexpr uint32_t half = 1u << (2 * kWeightBits - 1);
        int kx = bx0;
#if QM_PLANES_VBMI
        bool picked = false;  // some group of the block picks its sums from the planes
        for (int g = bx0 / 16; g < bx1 / 16 && !picked; ++g) picked = lanes.base[size_t(g)] >= 0;
        if (picked) SumsToPlanes(col.data(), int(j0 / 3), int(j1 / 3), planes.data(), stride);
        for (; kx + 16 <= bx1; kx += 16) {
          const int base = lanes.base[size_t(kx / 16)];
          uint8_t* at = d + 3 * kx;
          switch (base < 0 ? 0 : lanes.pairs[size_t(kx / 16)]) {
            case 1: SixteenPixelsFromPlanes<1>(lanes, planes.data(), stride, kx, base, at); break;
            case 2: SixteenPixelsFromPlanes<2>(lanes, planes.data(), stride, kx, base, at); break;
            case 3: SixteenPixelsFromPlanes<3>(lanes, planes.data(), stride, kx, base, at); break;
            case 4: SixteenPixelsFromPlanes<4>(lanes, planes.data(), stride, kx, base, at); break;
            default: SixteenPixels(lanes, col.data(), kx, at); break;
          }
        }
#endif
        for (; kx < bx1; ++kx) {
          const uint32_t* p = col.data() + size_t(tx.start[size_t(kx)] - sx0) * 3;
          const uint32_t* wx = tx.weight.data() + tx.offset[size_t(kx)];
          const int taps = tx.count[size_t(kx)];
          uint32_t b = 0, g = 0, r = 0;
          for (int i = 0; i < taps; ++i) {
            b += wx[i] * p[3 * i];
            g += wx[i] * p[3 * i + 1];
            r += wx[i] * p[3 * i + 2];
          }
          d[3 * kx] = uint8_t((b + half) >> (2 * kWeightBits));
          d[3 * kx + 1] = uint8_t((g + half) >> (2 * kWeightBits));
          d[3 * kx + 2] = uint8_t((r + half) >> (2 * kWeightBits));
        }
      }
    }
  });
}

namespace {

// Where a zoomed bitmap lands in the view rect (V) and the source rect that maps onto
// it (S); false when none of it is visible. With snapping, V covers whole source
// pixels and may reach past the view rect: clipped is then set, and the drawing must
// be limited to the view rect.
bool PlaceZoomed(const TBitmap& bmp, const TRect& viewRect, int32_t left, int32_t top, double zoom, bool snap,
                 bool raw, TRect& V, TRect& S, bool& clipped) {
  clipped = false;
  // 1. the image rect and its visible part
  auto clamp32 = [](int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
  const TRect D{left, top, clamp32(int64_t(left) + RoundHalfEven(bmp.Width() * zoom)),
                clamp32(int64_t(top) + RoundHalfEven(bmp.Height() * zoom))};
  V = IntersectRect(D, viewRect);
  if (V.IsEmpty() || !(zoom > 0)) return false;
  // 2. the source rect that maps onto it
  S = TRect{Trunc((V.Left - double(left)) / zoom), Trunc((V.Top - double(top)) / zoom),
            Ceil((V.Right - double(left)) / zoom), Ceil((V.Bottom - double(top)) / zoom)};
  S = IntersectRect(S, GetBitmapRect(bmp));
  if (S.IsEmpty()) return false;
  // 3. snapping: whole source pixels, partly visible ones cut by the clip
  if (snap && !raw && zoom > 1.0) {
    V.Left = Trunc(S.Left * zoom + left);
    V.Top = Trunc(S.Top * zoom + top);
    V.Right = Trunc((S.Right - S.Left) * zoom + V.Left);
    V.Bottom = Trunc((S.Bottom - S.Top) * zoom + V.Top);
    clipped = true;
  }
  return true;
}

}  // namespace

TRect DrawBitmapZoomedToXrgb(const TBitmap& bmp, uint32_t* dst, ptrdiff_t stride, int width, int height,
                             int32_t left, int32_t top, double zoom, bool snap, TRect clip) {
  const TRect viewRect{0, 0, width, height};
  TRect V, S;
  bool clipped;
  if (bmp.PixelFormat() != pf24bit || !PlaceZoomed(bmp, viewRect, left, top, zoom, snap, false, V, S, clipped))
    return TRect{};
  clip = IntersectRect(clip, viewRect);
  StretchBitmapRectToXrgb(bmp, S, dst, stride, width, height, V, clip);
  return IntersectRect(V, clip);
}

void DrawBitmapZoomed(const TBitmap* bmp, TCanvas* canvas, const TRect& viewRect, int32_t left, int32_t top,
                      double zoom, bool fillBackground, bool halftone, bool snap, bool raw, TRect& drawn) {
  drawn = TRect{};
  if (!bmp || !canvas) return;
  TRect V, S;
  bool clipped;
  if (!PlaceZoomed(*bmp, viewRect, left, top, zoom, snap, raw, V, S, clipped)) {
    if (fillBackground) canvas->FillRect(viewRect);
    return;
  }
  if (clipped) canvas->IntersectClip(viewRect);
  // 4-5. the stretch itself
  const bool transparent = bmp->Transparent && !raw;
  const bool smooth = !raw && halftone && !transparent;
  const TColor key = transparent ? bmp->EffectiveTransparentColor() : clNone;
  if (transparent && fillBackground) canvas->FillRect(V);
  TBitmap holder;
  TRect s24 = S;
  const TBitmap& src = As24(*bmp, s24, holder);
  const TRect clip = canvas->ClipRect();
  TBitmap* surface = canvas->Surface();
  if (surface && surface->PixelFormat() == pf24bit) {
    if (smooth) StretchBitmapRectHalftone(src, s24, *surface, V, clip);
    else if (transparent) StretchBitmapRectTransparent(src, s24, *surface, V, clip, 100, key, 0);
    else StretchBitmapRect(src, s24, *surface, V, clip);
  } else {
    // draw into a bitmap of the visible part, then hand that to the canvas
    const TRect part = IntersectRect(V, clip);
    if (!part.IsEmpty()) {
      TBitmap tmp(part.Width(), part.Height(), pf24bit, clBlack);
      const TRect local = OffsetRect(V, -part.Left, -part.Top);
      const TRect all{0, 0, part.Width(), part.Height()};
      if (smooth) StretchBitmapRectHalftone(src, s24, tmp, local, all);
      else StretchBitmapRect(src, s24, tmp, local, all);
      canvas->DrawBitmap(part.Left, part.Top, tmp, all, key);
    }
  }
  if (clipped) canvas->RestoreClip();
  // 6. the background around the image
  if (fillBackground && !raw) {
    const TRect& vr = viewRect;
    if (V.Top > vr.Top) canvas->FillRect(TRect{vr.Left, vr.Top, vr.Right, V.Top});
    if (V.Bottom < vr.Bottom) canvas->FillRect(TRect{vr.Left, V.Bottom, vr.Right, vr.Bottom});
    if (V.Left > vr.Left) canvas->FillRect(TRect{vr.Left, V.Top, V.Left, V.Bottom});
    if (V.Right < vr.Right) canvas->FillRect(TRect{V.Right, V.Top, vr.Right, V.Bottom});
  }
  // 7.
  drawn = IntersectRect(V, viewRect);
}

// --- TImageZoom -------------------------------------------------------------------------

double TImageZoom::ComputeFitZoom(const TBitmap* bmp, const TRect& rect, TFitMode mode) {
  if (!bmp || bmp->Empty() || rect.IsEmpty()) return 0.0;
  const double zx = double(rect.Width()) / bmp->Width(), zy = double(rect.Height()) / bmp->Height();
  switch (mode) {
    case fmFitWidth: return zx;
    case fmFitHeight: return zy;
    case fmFitWhole: return std::min(zx, zy);
    default: return 1.0;
  }
}

void TImageZoom::UpdateZoomedSize() {
  if (!bitmap_) {
    zoomedWidth_ = zoomedHeight_ = 0;
    return;
  }
  const int side = std::max(bitmap_->Width(), bitmap_->Height());
  if (side > 0 && zoom_ * side > kMaxZoomedSide) zoom_ = kMaxZoomedSide / side;
  zoomedWidth_ = RoundHalfEven(bitmap_->Width() * zoom_);
  zoomedHeight_ = RoundHalfEven(bitmap_->Height() * zoom_);
}

void TImageZoom::Update() {
  if (!bitmap_) {
    zoomedWidth_ = zoomedHeight_ = 0;
    return;
  }
  if (!viewRect_.IsEmpty()) {
    switch (fitMode_) {
      case fmActualSize: zoom_ = 1.0; break;
      case fmFitWidth:
      case fmFitHeight:
      case fmFitWhole: zoom_ = ComputeFitZoom(bitmap_, viewRect_, fitMode_); break;
      default: break;
    }
  }
  UpdateZoomedSize();
  UpdatePosition();
}

void TImageZoom::UpdatePosition() {
  if (!bitmap_ || viewRect_.IsEmpty() || alignment_ == alFree) return;
  TRect r{imageLeft_, imageTop_, imageLeft_ + zoomedWidth_, imageTop_ + zoomedHeight_};
  AlignRectInRect(r, viewRect_, alignment_);
  imageLeft_ = r.Left;
  imageTop_ = r.Top;
}

void TImageZoom::SetBitmap(const TBitmap* bmp) {
  if (bmp == bitmap_) return;
  bitmap_ = bmp;
  Update();
}

void TImageZoom::SetTarget(TCanvas* canvas) {
  if (canvas == target_) return;
  target_ = canvas;
  viewRect_ = canvas ? canvas->ClipRect() : TRect{};
  Update();
}

void TImageZoom::SetViewRect(const TRect& r) {
  if (r == viewRect_) return;
  viewRect_ = r;
  Update();
}

void TImageZoom::SetFitMode(TFitMode mode) {
  if (mode == fitMode_) return;
  fitMode_ = mode;
  Update();
}

void TImageZoom::SetZoom(double z) {
  if (!(z > 0) || !std::isfinite(z)) z = 1.0;
  fitMode_ = fmExplicit;
  if (z == zoom_) return;
  zoom_ = z;
  Update();
}

void TImageZoom::SetAlignment(TAlignment alignment) {
  if (alignment == alignment_) return;
  alignment_ = alignment;
  UpdatePosition();
}

void TImageZoom::SetImageLeft(int32_t x) {
  imageLeft_ = x;
  alignment_ = alFree;
}

void TImageZoom::SetImageTop(int32_t y) {
  imageTop_ = y;
  alignment_ = alFree;
}

void TImageZoom::SetZoomedWidth(int32_t w) {
  if (!bitmap_ || bitmap_->Empty() || w < 1 || w == zoomedWidth_) return;
  zoom_ = double(w) / bitmap_->Width();
  fitMode_ = fmExplicit;
  UpdateZoomedSize();
  UpdatePosition();
}

void TImageZoom::SetZoomedHeight(int32_t h) {
  if (!bitmap_ || bitmap_->Empty() || h < 1 || h == zoomedHeight_) return;
  zoom_ = double(h) / bitmap_->Height();
  fitMode_ = fmExplicit;
  UpdateZoomedSize();
  UpdatePosition();
}

TRect TImageZoom::GetImageRect() const {
  return TRect{imageLeft_, imageTop_, imageLeft_ + zoomedWidth_, imageTop_ + zoomedHeight_};
}

void TImageZoom::DrawTo(bool fillBackground, TRect& drawn) {
  drawn = TRect{};
  if (!bitmap_ || !target_) return;
  DrawBitmapZoomed(bitmap_, target_, viewRect_, imageLeft_, imageTop_, zoom_, fillBackground, Halftone,
                   SnapToPixels, RawStretch, drawn);
}

}  // namespace qm
