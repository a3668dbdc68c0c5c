#include "pixel/Rotation.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#if defined(__SSE4_1__)
#include <immintrin.h>
#endif

#include "pixel/Blend.h"
#include "pixel/RectUtils.h"
#include "pixel/Sampling.h"
#include "platform/core/Colors.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"

namespace qm {
namespace {

// A 24-bit view of the source: itself, or a converted copy kept in holder.
const TBitmap& As24(const TBitmap& src, TBitmap& holder) {
  if (src.PixelFormat() == pf24bit) return src;
  holder = src.Clone();
  holder.SetPixelFormat(pf24bit);
  return holder;
}

// Makes dst a 24-bit w x h bitmap for a kernel that then writes every pixel, so a
// destination that already has that shape is reused as it is.
void PrepareDest(TBitmap& dst, int w, int h, TColor brush) {
  dst.BrushColor = brush;
  if (dst.PixelFormat() == pf24bit && dst.Width() == w && dst.Height() == h) return;
  dst.Clear();
  dst.SetPixelFormat(pf24bit);
  dst.SetSize(w, h);
}

// A quarter turn is a transpose with one axis reversed: destination row dy is a
// source column, destination column dx a source row. It is walked in square tiles
// whose source and destination rows stay in the second-level cache, and inside a tile
// in 4 x 4 blocks moved through registers, so that every load and store carries four
// pixels. On one core of the development machine (Zen 4, 1 MB L2) a 24 MP turn took
// 59 ms one pixel at a time in 64-pixel tiles; with the blocks, 38 ms in 32-pixel
// tiles, 33 ms in 64, 28 ms in 128 (48 KB read and written per tile), 33 ms in 256.
// Where AVX2 is there the blocks are 8 x 8, half the instructions a pixel: on a shared
// AMD EPYC server, one core, 26-29 ms with 4 x 4 blocks, 18-19 ms with 8 x 8.
constexpr int kTile = 128;

// The source pixel of destination (dx, dy), as the row it lies in and the column.
struct TurnMap {
  const TBitmap& src;
  bool clockwise;
  int W, H;
  // clockwise (dx, dy) <- (dy, H - 1 - dx); otherwise (dx, dy) <- (W - 1 - dy, dx)
  const uint8_t* Row(int dx) const { return src.ScanLine(clockwise ? H - 1 - dx : dx); }
  ptrdiff_t Column(int dy) const { return ptrdiff_t(clockwise ? dy : W - 1 - dy) * 3; }
};

#if defined(__SSE4_1__)
// 12 bytes (four pixels) into the low three quarters of a register, and back.
inline __m128i Load12(const uint8_t* p) {
  int32_t tail;
  std::memcpy(&tail, p + 8, 4);
  return _mm_insert_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), tail, 2);
}
inline void Store12(uint8_t* p, __m128i v) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v);
  const int32_t tail = _mm_extract_epi32(v, 2);
  std::memcpy(p + 8, &tail, 4);
}

// The 4 x 4 block of destination rows dy..dy+3 and columns dx..dx+3. Each source row
// gives the four pixels of one destination column: spread to 32-bit lanes (reversed
// when the columns run backwards), transposed, packed again, one row per store.
inline void Block4(const TurnMap& m, TBitmap& dst, int dx, int dy) {
  const __m128i spread = m.clockwise ? _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1)
                                     : _mm_setr_epi8(9, 10, 11, -1, 6, 7, 8, -1, 3, 4, 5, -1, 0, 1, 2, -1);
  const __m128i pack = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  // the leftmost of the four source pixels
  const ptrdiff_t at = m.clockwise ? m.Column(dy) : m.Column(dy + 3);
  const __m128i a = _mm_shuffle_epi8(Load12(m.Row(dx) + at), spread);
  const __m128i b = _mm_shuffle_epi8(Load12(m.Row(dx + 1) + at), spread);
  const __m128i c = _mm_shuffle_epi8(Load12(m.Row(dx + 2) + at), spread);
  const __m128i d = _mm_shuffle_epi8(Load12(m.Row(dx + 3) + at), spread);
  const __m128i ab0 = _mm_unpacklo_epi32(a, b), ab1 = _mm_unpackhi_epi32(a, b);
  const __m128i cd0 = _mm_unpacklo_epi32(c, d), cd1 = _mm_unpackhi_epi32(c, d);
  const ptrdiff_t x = ptrdiff_t(dx) * 3;
  Store12(dst.ScanLine(dy) + x, _mm_shuffle_epi8(_mm_unpacklo_epi64(ab0, cd0), pack));
  Store12(dst.ScanLine(dy + 1) + x, _mm_shuffle_epi8(_mm_unpackhi_epi64(ab0, cd0), pack));
  Store12(dst.ScanLine(dy + 2) + x, _mm_shuffle_epi8(_mm_unpacklo_epi64(ab1, cd1), pack));
  Store12(dst.ScanLine(dy + 3) + x, _mm_shuffle_epi8(_mm_unpackhi_epi64(ab1, cd1), pack));
}
#endif

#if defined(__AVX2__)
// 24 bytes (eight pixels) into the low three quarters of a register, each half's four
// pixels spread to its 32-bit lanes (reversed when the columns run backwards); and a
// row of eight pixels in 32-bit lanes packed back and stored as 24 bytes.
inline __m256i Load24Spread(const uint8_t* p, bool forward) {
  const __m256i v = _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
      _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 16)), 1);
  // dwords 0-2 hold pixels 0-3, dwords 3-5 pixels 4-7
  const __m256i halves = forward ? _mm256_setr_epi32(0, 1, 2, 0, 3, 4, 5, 0) : _mm256_setr_epi32(3, 4, 5, 0, 0, 1, 2, 0);
  const __m256i spread =
      forward ? _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0, 1, 2, -1, 3, 4, 5, -1, 6, 7,
                                 8, -1, 9, 10, 11, -1)
              : _mm256_setr_epi8(9, 10, 11, -1, 6, 7, 8, -1, 3, 4, 5, -1, 0, 1, 2, -1, 9, 10, 11, -1, 6, 7, 8, -1, 3,
                                 4, 5, -1, 0, 1, 2, -1);
  return _mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(v, halves), spread);
}
inline void Store24Packed(uint8_t* p, __m256i v) {
  const __m256i pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1, 2, 4, 5, 6, 8,
                                        9, 10, 12, 13, 14, -1, -1, -1, -1);
  const __m256i w = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(v, pack), _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(w));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 16), _mm256_extracti128_si256(w, 1));
}

// The 8 x 8 block of destination rows dy..dy+7 and columns dx..dx+7: eight source rows
// of eight pixels, transposed as 32-bit lanes, one destination row per store.
inline void Block8(const TurnMap& m, TBitmap& dst, int dx, int dy) {
  const ptrdiff_t at = m.clockwise ? m.Column(dy) : m.Column(dy + 7);
  __m256i r[8];
  for (int i = 0; i < 8; ++i) r[i] = Load24Spread(m.Row(dx + i) + at, m.clockwise);
  __m256i t[8], u[8];
  for (int i = 0; i < 8; i += 2) {
    t[i] = _mm256_unpacklo_epi32(r[i], r[i + 1]);
    t[i + 1] = _mm256_unpackhi_epi32(r[i], r[i + 1]);
  }
  for (int i = 0; i < 8; i += 4) {
    u[i] = _mm256_unpacklo_epi64(t[i], t[i + 2]);
    u[i + 1] = _mm256_unpackhi_epi64(t[i], t[i + 2]);
    u[i + 2] = _mm256_unpacklo_epi64(t[i + 1], t[i + 3]);
    u[i + 3] = _mm256_unpackhi_epi64(t[i + 1], t[i + 3]);
  }
  const ptrdiff_t x = ptrdiff_t(dx) * 3;
  for (int j = 0; j < 4; ++j) {
    Store24Packed(dst.ScanLine(dy + j) + x, _mm256_permute2x128_si256(u[j], u[j + 4], 0x20));
    Store24Packed(dst.ScanLine(dy + j + 4) + x, _mm256_permute2x128_si256(u[j], u[j + 4], 0x31));
  }
}
constexpr int kBlock = 8;
#elif defined(__SSE4_1__)
constexpr int kBlock = 4;
#else
constexpr int kBlock = 0;  // no blocks: every pixel on its own
#endif

// Destination rows [dy0, dy1) and columns [dx0, dx1), one pixel at a time.
void Pixels(const TurnMap& m, TBitmap& dst, int dx0, int dx1, int dy0, int dy1) {
  for (int dy = dy0; dy < dy1; ++dy) {
    uint8_t* d = dst.ScanLine(dy);
    const ptrdiff_t sx = m.Column(dy);
    for (int dx = dx0; dx < dx1; ++dx) std::memcpy(d + ptrdiff_t(dx) * 3, m.Row(dx) + sx, 3);
  }
}

// src 24-bit and not dst.
void QuarterTurn(const TBitmap& src, TBitmap& dst, bool clockwise) {
  const int W = src.Width(), H = src.Height();
  PrepareDest(dst, H, W, dst.BrushColor);
  if (dst.Empty()) return;
  const TurnMap m{src, clockwise, W, H};
  ParallelRows(0, W, int64_t(W) * H, [&](int y0, int y1) {
    for (int ty = y0; ty < y1; ty += kTile) {
      const int ty1 = std::min(ty + kTile, y1);
      // the rows and columns the blocks cover; the rest one pixel at a time
      const int by1 = kBlock ? ty + (ty1 - ty) / kBlock * kBlock : ty;
      for (int tx = 0; tx < H; tx += kTile) {
        const int tx1 = std::min(tx + kTile, H);
        const int bx1 = kBlock ? tx + (tx1 - tx) / kBlock * kBlock : tx;
#if defined(__AVX2__)
        for (int dy = ty; dy < by1; dy += kBlock)
          for (int dx = tx; dx < bx1; dx += kBlock) Block8(m, dst, dx, dy);
#elif defined(__SSE4_1__)
        for (int dy = ty; dy < by1; dy += kBlock)
          for (int dx = tx; dx < bx1; dx += kBlock) Block4(m, dst, dx, dy);
#endif
        Pixels(m, dst, bx1, tx1, ty, by1);
        Pixels(m, dst, tx, tx1, by1, ty1);
      }
    }
  });
}

// src 24-bit and not dst; turns is 0 (a copy) or 2 (a half turn).
void StraightTurn(const TBitmap& src, TBitmap& dst, int turns) {
  const int W = src.Width(), H = src.Height();
  PrepareDest(dst, W, H, dst.BrushColor);
  if (dst.Empty()) return;
  ParallelRows(0, H, int64_t(W) * H, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      uint8_t* d = dst.ScanLine(y);
      if (turns == 0) {
        std::memcpy(d, src.ScanLine(y), size_t(W) * 3);
        continue;
      }
      const uint8_t* s = src.ScanLine(H - 1 - y) + ptrdiff_t(W - 1) * 3;
      for (int x = 0; x < W; ++x, d += 3, s -= 3) std::memcpy(d, s, 3);
    }
  });
}

// How a rotation is carried out: a number of quarter turns, or the general sampling
// with the cosine and sine of the angle; and the destination's size.
struct Plan {
  int quarters = -1;  // 0..3 clockwise, or -1
  double c = 1, s = 0;
  int width = 0, height = 0;
};

bool MakePlan(int W, int H, double degrees, bool enlarge, Plan& p) {
  if (degrees == 0.0 || !std::isfinite(degrees)) return false;
  const double d = std::fmod(degrees, 360.0);
  if (std::fmod(d, 90.0) == 0.0) {
    p.quarters = ((int(d / 90.0) % 4) + 4) % 4;
    const bool swap = enlarge && (p.quarters & 1);
    p.width = swap ? H : W;
    p.height = swap ? W : H;
    return true;
  }
  const double r = -d * std::numbers::pi / 180.0;
  p.c = std::cos(r);
  p.s = std::sin(r);
  if (enlarge) {
    const int64_t w = std::abs(int64_t(RoundHalfEven(H * p.s))) + std::abs(int64_t(RoundHalfEven(W * p.c)));
    const int64_t h = std::abs(int64_t(RoundHalfEven(W * p.s))) + std::abs(int64_t(RoundHalfEven(H * p.c)));
    if (w > kMaxBitmapSide || h > kMaxBitmapSide) return false;
    p.width = int(w);
    p.height = int(h);
  } else {
    p.width = W;
    p.height = H;
  }
  return true;
}

// The x range in which alpha * x + beta may lie in [lo, hi), cut to [0, limit]. The
// per-pixel arithmetic rounds differently from this linear model, by far less than
// 1e-6 at any coordinate a bitmap can have: the range is widened by that in value and
// by two pixels in x, so that no pixel it leaves out could have been sampled (a nearly
// vertical source edge, alpha close to 0, widens it to the whole row).
void Span(double alpha, double beta, double lo, double hi, int limit, int& x0, int& x1) {
  lo -= 1e-6;
  hi += 1e-6;
  double a, b;
  if (alpha > 0) {
    a = (lo - beta) / alpha;
    b = (hi - beta) / alpha;
  } else if (alpha < 0) {
    a = (hi - beta) / alpha;
    b = (lo - beta) / alpha;
  } else if (beta >= lo && beta < hi) {
    a = -1.0, b = limit + 1.0;
  } else {
    a = b = -1.0;
  }
  a = std::clamp(a - 2.0, -1.0, limit + 1.0);
  b = std::clamp(b + 2.0, -1.0, limit + 1.0);
  x0 = std::clamp(int(std::floor(a)), 0, limit);
  x1 = std::clamp(int(std::ceil(b)), 0, limit);
}

// The general rotation: every destination pixel sampled at its centre.
void SampledTurn(const TBitmap& src, TBitmap& dst, const Plan& p, bool smooth, TColor background) {
  const int W = src.Width(), H = src.Height(), W2 = p.width, H2 = p.height;
  PrepareDest(dst, W2, H2, background);
  if (dst.Empty()) return;
  const TPixel24 bg = ColorToPixel24(background);
  std::vector<uint8_t> bgRow(size_t(W2) * 3);
  for (int x = 0; x < W2; ++x) std::memcpy(&bgRow[size_t(x) * 3], &bg.B, 3);
  const double c = p.c, s = p.s;
  const double hw = W / 2.0, hh = H / 2.0, hw2 = W2 / 2.0, hh2 = H2 / 2.0;
  // dx * c and dx * s of every column, the same products the per-pixel formula takes.
  std::vector<double> pc(static_cast<size_t>(W2)), ps(static_cast<size_t>(W2));
  for (int x = 0; x < W2; ++x) {
    const double dx = (x + 0.5) - hw2;
    pc[size_t(x)] = dx * c;
    ps[size_t(x)] = dx * s;
  }
  const ptrdiff_t prefetch = smooth ? PrefetchDistance(-kPrefetchRows * s, kPrefetchRows * c, src.Stride()) : 0;
  ParallelSlabs(0, H2, int64_t(W2) * H2, [&](int y0, int y1) {
    const size_t n0 = size_t(std::min(W2, kTileColumns));
    std::vector<double> u(n0), v(n0), wx, wy;
    std::vector<int32_t> ix, iy;
    std::vector<uint64_t> top, bottom;
    std::vector<uint32_t> out;
    if (smooth) {
      wx.resize(n0);
      wy.resize(n0);
      ix.resize(n0);
      iy.resize(n0);
      top.resize(n0);
      bottom.resize(n0);
      out.resize(n0);
    }
    ForEachTileSegment(y0, y1, 0, W2, [&](int y, int t0, int t1) {
      const double dy = (y + 0.5) - hh2;
      const double a = dy * s, b = dy * c;
      // fx = (dx c - dy s) + W/2 and fy = (dx s + dy c) + H/2; only where they come
      // near the source is anything sampled.
      int xa, xb, xa2, xb2;
      Span(c, (0.5 - hw2) * c - a + hw, -0.5, W + 0.5, W2, xa, xb);
      Span(s, (0.5 - hw2) * s + b + hh, -0.5, H + 0.5, W2, xa2, xb2);
      xa = std::clamp(std::max(xa, xa2), t0, t1);
      xb = std::clamp(std::min(xb, xb2), xa, t1);
      const int n = xb - xa;
      uint8_t* d = dst.ScanLine(y);
      std::memcpy(d + ptrdiff_t(t0) * 3, bgRow.data(), size_t(xa - t0) * 3);
      std::memcpy(d + ptrdiff_t(xb) * 3, bgRow.data(), size_t(t1 - xb) * 3);
      const double off = smooth ? 0.5 : 0.0;  // bilinear taps sit on pixel centres
      for (int i = 0; i < n; ++i) {
        u[size_t(i)] = ((pc[size_t(xa + i)] - a) + hw) - off;
        v[size_t(i)] = ((ps[size_t(xa + i)] + b) + hh) - off;
      }
      uint8_t* dd = d + ptrdiff_t(xa) * 3;
      if (!smooth) {
        for (int i = 0; i < n; ++i, dd += 3) {
          const double fx = u[size_t(i)], fy = v[size_t(i)];
          if (fx >= 0.0 && fx < W && fy >= 0.0 && fy < H)
            std::memcpy(dd, src.ScanLine(int(fy)) + ptrdiff_t(int(fx)) * 3, 3);  // floor of a non-negative
          else
            std::memcpy(dd, &bg.B, 3);
        }
        return;
      }
      BilinearCoords(u.data(), v.data(), n, W, H, ix.data(), iy.data(), wx.data(), wy.data());
      GatherTaps(src, W, H, ix.data(), iy.data(), n, &bg.B, 0, prefetch, wx.data(), wy.data(), top.data(),
                 bottom.data());
      BlendTaps(top.data(), bottom.data(), wx.data(), wy.data(), n, true, 3, out.data());
      // Four bytes at a time, the fourth overwritten by the next pixel; the segment's
      // last pixel gets three, as its right neighbour may already be written.
      for (int i = 0; i + 1 < n; ++i, dd += 3) std::memcpy(dd, &out[size_t(i)], 4);
      if (n > 0) std::memcpy(dd, &out[size_t(n) - 1], 3);
    });
  });
}

void Render(const TBitmap& src, TBitmap& dst, const Plan& p, bool smooth, TColor background) {
  const int W = src.Width(), H = src.Height();
  switch (p.quarters) {
    case 0:
    case 2:
      dst.BrushColor = background;
      StraightTurn(src, dst, p.quarters);
      return;
    case 1:
    case 3:
      dst.BrushColor = background;
      if (p.width == H) return QuarterTurn(src, dst, p.quarters == 1);
      {
        // The frame keeps the source's size: the turned picture is centred in it.
        TBitmap turned;
        QuarterTurn(src, turned, p.quarters == 1);
        dst.Clear();
        dst.SetPixelFormat(pf24bit);
        dst.SetSize(W, H);
        TRect r{0, 0, H, W};
        AlignRectInRect(r, TRect{0, 0, W, H}, alCenter);
        CopyBitmapRect(turned, UnboundedRect, dst, r.Left, r.Top, UnboundedRect);
      }
      return;
    default: SampledTurn(src, dst, p, smooth, background);
  }
}

}  // namespace

void RotateBitmap90To(const TBitmap& src0, TBitmap& dst, bool clockwise) {
  if (&src0 == &dst) return RotateBitmap90(dst, clockwise);
  TBitmap holder;
  QuarterTurn(As24(src0, holder), dst, clockwise);
}

void RotateBitmap90(TBitmap& bmp, bool clockwise) {
  TBitmap tmp = std::move(bmp);  // keeps bmp's colours and flags
  if (tmp.PixelFormat() != pf24bit) tmp.SetPixelFormat(pf24bit);
  QuarterTurn(tmp, bmp, clockwise);
}

void RotateBitmapAngleTo(const TBitmap& src0, TBitmap& dst, bool smooth, double degrees, bool enlarge,
                         TColor background) {
  if (&src0 == &dst) return RotateBitmapAngle(dst, smooth, enlarge, degrees, background);
  Plan p;
  if (!MakePlan(src0.Width(), src0.Height(), degrees, enlarge, p)) return;
  TBitmap holder;
  Render(As24(src0, holder), dst, p, smooth, background);
}

void RotateBitmapAngle(TBitmap& bmp, bool smooth, bool enlarge, double degrees, TColor background) {
  Plan p;
  if (!MakePlan(bmp.Width(), bmp.Height(), degrees, enlarge, p)) return;
  TBitmap tmp = std::move(bmp);
  if (tmp.PixelFormat() != pf24bit) tmp.SetPixelFormat(pf24bit);
  Render(tmp, bmp, p, smooth, background);
}

void RotatePointInFrame(TPoint p, int oldWidth, int oldHeight, double degrees, int newWidth, int newHeight,
                        TPoint& out) {
  const double r = -degrees * std::numbers::pi / 180.0;
  double c = std::cos(r), s = std::sin(r);
  // Quarter turns exactly, so that halves round to even rather than by the last bit
  // of a cosine of 90 degrees.
  if (std::isfinite(degrees) && std::fmod(degrees, 90.0) == 0.0) {
    const int q = ((int(std::fmod(degrees, 360.0) / 90.0) % 4) + 4) % 4;
    static constexpr double kCos[4] = {1, 0, -1, 0}, kSin[4] = {0, -1, 0, 1};
    c = kCos[q];
    s = kSin[q];
  }
  const double u = p.X - oldWidth / 2.0, v = oldHeight / 2.0 - p.Y;
  out = TPoint{RoundHalfEven(u * c - v * s + newWidth / 2.0), RoundHalfEven(newHeight / 2.0 - (u * s + v * c))};
}

}  // namespace qm
