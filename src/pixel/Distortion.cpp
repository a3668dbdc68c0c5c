#include "pixel/Distortion.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "pixel/ImgUtils.h"
#include "pixel/Sampling.h"
#include "platform/core/Colors.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"

#if defined(__AVX512F__)
#define QM_DISTORTION_AVX512 1
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12's AVX-512 conversion intrinsics start from an undefined vector it then warns about.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#endif
#if defined(__AVX512F__) || defined(__SSSE3__)
#include <immintrin.h>
#endif

namespace qm {
namespace {

inline bool Is24(const TBitmap& b) { return b.PixelFormat() == pf24bit && !b.Empty(); }

// The bitmap to read from: the source itself, or a copy of it when it is also the
// destination.
const TBitmap& Readable(const TBitmap& src, const TBitmap& dst, TBitmap& holder) {
  if (&src != &dst) return src;
  holder = src.Clone();
  return holder;
}

inline void Put(uint8_t* d, const uint8_t* s) { std::memcpy(d, s, 3); }

void FillPixels(uint8_t* d, int n, const TPixel24& c) {
  for (int i = 0; i < n; ++i, d += 3) Put(d, &c.B);
}

// round((1 - f) * a + f * b) per channel, clamped: the one-axis blend.
inline void Lerp(uint8_t* d, const uint8_t* a, const uint8_t* b, double f) {
  const double g = 1.0 - f;
  for (int k = 0; k < 3; ++k) {
    const double v = RoundEven(g * a[k] + f * b[k]);
    d[k] = uint8_t(v < 0.0 ? 0.0 : (v > 255.0 ? 255.0 : v));
  }
}

// --- Per-row maps ------------------------------------------------------------------------
// The spiral and the lens compute a square root, divisions and (the spiral) a sine and a
// cosine for every pixel. Each map has a one-pixel form and, where the machine has
// AVX-512, an eight-pixel form that performs the same IEEE operations in the same order
// per lane (no fused multiply-add, floor for every rounding), so both give the same
// bits and a row's remainder may take either.
//
// sin and cos: the library's cost more than the rest of the pixel's work and do not
// vectorise. Here: a reduction by pi / 2 in three parts (the first two products exact
// while the quotient stays below 2^20, far beyond any twist), then Taylor series on
// [-pi/4, pi/4] cut where the next term is below 1e-19, so within an ulp or two of the
// exact values.

constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
constexpr double kPio2a = 0x1.921fb544p+0, kPio2b = 0x1.0b4611a6p-34, kPio2c = 0x1.3198a2e037073p-69;
// sin y = y + y z S(z) and cos y = 1 + z C(z), z = y^2, the series' coefficients lowest first.
constexpr double kSinSeries[8] = {-1.0 / 6,        1.0 / 120,          -1.0 / 5040,          1.0 / 362880,
                                  -1.0 / 39916800, 1.0 / 6227020800.0, -1.0 / 1307674368000.0, 1.0 / 355687428096000.0};
constexpr double kCosSeries[9] = {-1.0 / 2,           1.0 / 24,
                                  -1.0 / 720,         1.0 / 40320,
                                  -1.0 / 3628800,     1.0 / 479001600.0,
                                  -1.0 / 87178291200.0, 1.0 / 20922789888000.0,
                                  -1.0 / 6402373705728000.0};

inline void SinCosOne(double x, double& sn, double& cs) {
  const double k = std::floor(x * kTwoOverPi + 0.5);
  const double y = ((x - k * kPio2a) - k * kPio2b) - k * kPio2c;
  const double z = y * y;
  double ps = kSinSeries[7], pc = kCosSeries[8];
  for (int j = 6; j >= 0; --j) ps = kSinSeries[j] + z * ps;
  for (int j = 7; j >= 0; --j) pc = kCosSeries[j] + z * pc;
  ps = y + y * z * ps;
  pc = 1.0 + z * pc;
  const double q = k - 4.0 * std::floor(k * 0.25);  // quadrant 0..3
  const bool odd = q == 1.0 || q == 3.0;
  const double s = odd ? pc : ps, c = odd ? ps : pc;
  sn = q >= 2.0 ? -s : s;
  cs = (q == 1.0 || q == 2.0) ? -c : c;
}

// The spiral's turn at distance sqrt(dx^2 + dy^2): (1 - t) * twist while t = r / R <= 1.
inline double SpiralAngleOne(double dx, double dy, double R, double twist) {
  const double t = R > 0 ? std::sqrt(dx * dx + dy * dy) / R : 0.0;
  return t <= 1.0 ? (1.0 - t) * twist : 0.0;
}

// The lens's source position (u, v) from the rect's corner for the offset (dx, dy)
// from its centre (hx, hy); far outside when there is none.
inline void LensOne(double dx, double dy, double hx, double hy, double R, double s, double& u, double& v) {
  const double r = std::sqrt(dx * dx + dy * dy);
  u = v = -1e300;
  if (!(r < R)) return;  // at R the mapping runs to infinity: background from there on
  if (r > 0.0) {
    const double q = (1.0 / (1.0 - r / R) - 1.0) * (R / 2) * s;
    u = dx * q / r + hx;
    v = dy * q / r + hy;
  } else {
    u = hx;
    v = hy;
  }
}

// Positions (u, v) counted from (ox, oy), the corner of the rect being distorted, to
// neighbours: ix = floor(u) + ox and iy = floor(v) + oy with the weights u - floor(u)
// and v - floor(v), where ix lies in [x0, x1] and iy in [y0, y1]; elsewhere (NaN
// included) ix = kNoSample, iy = 0 and both weights 0. Tested as doubles before any
// conversion. Sampling in the rect's own coordinates makes a distortion the same
// wherever its rect lies.
struct CoordLimits {
  int ox, oy;
  double ua, ub, va, vb;  // u in [ua, ub), v in [va, vb)
  CoordLimits(int ox_, int oy_, int x0, int x1, int y0, int y1)
      : ox(ox_), oy(oy_), ua(double(x0) - ox_), ub(double(x1) - ox_ + 1), va(double(y0) - oy_),
        vb(double(y1) - oy_ + 1) {}
};

inline void CoordOne(double u, double v, const CoordLimits& l, int32_t& ix, int32_t& iy, double& wx, double& wy) {
  if (u >= l.ua && u < l.ub && v >= l.va && v < l.vb) {
    const double fu = std::floor(u), fv = std::floor(v);
    ix = int32_t(fu) + l.ox;
    iy = int32_t(fv) + l.oy;
    wx = u - fu;
    wy = v - fv;
  } else {
    ix = kNoSample;
    iy = 0;
    wx = wy = 0.0;
  }
}

#if QM_DISTORTION_AVX512

constexpr int kLanes = 8;
constexpr int kFloor = _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC;

inline __m512d Set(double v) { return _mm512_set1_pd(v); }
inline __m512d Add(__m512d a, __m512d b) { return _mm512_add_pd(a, b); }
inline __m512d Sub(__m512d a, __m512d b) { return _mm512_sub_pd(a, b); }
inline __m512d Mul(__m512d a, __m512d b) { return _mm512_mul_pd(a, b); }
inline __m512d Neg(__m512d a, __mmask8 m) {
  return _mm512_castsi512_pd(
      _mm512_mask_xor_epi64(_mm512_castpd_si512(a), m, _mm512_castpd_si512(a), _mm512_set1_epi64(INT64_MIN)));
}
// dx of eight pixels from column lx: (lx + i) - hx.
inline __m512d Offsets(int lx, double hx) {
  return Sub(Add(Set(lx), _mm512_setr_pd(0, 1, 2, 3, 4, 5, 6, 7)), Set(hx));
}

inline void SinCosLanes(__m512d x, __m512d& sn, __m512d& cs) {
  const __m512d k = _mm512_roundscale_pd(Add(Mul(x, Set(kTwoOverPi)), Set(0.5)), kFloor);
  const __m512d y = Sub(Sub(Sub(x, Mul(k, Set(kPio2a))), Mul(k, Set(kPio2b))), Mul(k, Set(kPio2c)));
  const __m512d z = Mul(y, y);
  __m512d ps = Set(kSinSeries[7]), pc = Set(kCosSeries[8]);
  for (int j = 6; j >= 0; --j) ps = Add(Set(kSinSeries[j]), Mul(z, ps));
  for (int j = 7; j >= 0; --j) pc = Add(Set(kCosSeries[j]), Mul(z, pc));
  ps = Add(y, Mul(Mul(y, z), ps));
  pc = Add(Set(1.0), Mul(z, pc));
  const __m512d q = Sub(k, Mul(Set(4.0), _mm512_roundscale_pd(Mul(k, Set(0.25)), kFloor)));
  const __mmask8 q1 = _mm512_cmp_pd_mask(q, Set(1.0), _CMP_EQ_OQ), q2 = _mm512_cmp_pd_mask(q, Set(2.0), _CMP_EQ_OQ),
                 q3 = _mm512_cmp_pd_mask(q, Set(3.0), _CMP_EQ_OQ);
  const __mmask8 odd = q1 | q3;
  sn = Neg(_mm512_mask_blend_pd(odd, ps, pc), q2 | q3);
  cs = Neg(_mm512_mask_blend_pd(odd, pc, ps), q1 | q2);
}

inline __m512d SpiralAngleLanes(__m512d dx, double dy, double R, double twist) {
  if (!(R > 0)) return _mm512_setzero_pd();  // t = 0 everywhere
  const __m512d t = _mm512_div_pd(_mm512_sqrt_pd(Add(Mul(dx, dx), Set(dy * dy))), Set(R));
  const __mmask8 in = _mm512_cmp_pd_mask(t, Set(1.0), _CMP_LE_OQ);
  return _mm512_maskz_mul_pd(in, Sub(Set(1.0), t), Set(twist));
}

inline void LensLanes(__m512d dx, double dy, double hx, double hy, double R, double s, double* u, double* v) {
  const __m512d DY = Set(dy);
  const __m512d r = _mm512_sqrt_pd(Add(Mul(dx, dx), Mul(DY, DY)));
  const __mmask8 in = _mm512_cmp_pd_mask(r, Set(R), _CMP_LT_OQ), away = _mm512_cmp_pd_mask(r, Set(0.0), _CMP_GT_OQ);
  const __m512d q =
      Mul(Mul(Sub(_mm512_div_pd(Set(1.0), Sub(Set(1.0), _mm512_div_pd(r, Set(R)))), Set(1.0)), Set(R / 2)), Set(s));
  // Lanes at the centre divide by 0 here and are replaced below.
  const __m512d pu = Add(_mm512_div_pd(Mul(dx, q), r), Set(hx)), pv = Add(_mm512_div_pd(Mul(DY, q), r), Set(hy));
  const __m512d far = Set(-1e300);
  _mm512_storeu_pd(u, _mm512_mask_blend_pd(in, far, _mm512_mask_blend_pd(away, Set(hx), pu)));
  _mm512_storeu_pd(v, _mm512_mask_blend_pd(in, far, _mm512_mask_blend_pd(away, Set(hy), pv)));
}

inline void CoordLanes(const double* u, const double* v, const CoordLimits& l, int32_t* ix, int32_t* iy, double* wx,
                       double* wy) {
  const __m512d U = _mm512_loadu_pd(u), V = _mm512_loadu_pd(v);
  const __mmask8 ok = _mm512_cmp_pd_mask(U, Set(l.ua), _CMP_GE_OQ) & _mm512_cmp_pd_mask(U, Set(l.ub), _CMP_LT_OQ) &
                      _mm512_cmp_pd_mask(V, Set(l.va), _CMP_GE_OQ) & _mm512_cmp_pd_mask(V, Set(l.vb), _CMP_LT_OQ);
  // Lanes that fail are 0 before the conversion, so it never sees a value out of range.
  const __m512d FU = _mm512_maskz_roundscale_pd(ok, U, kFloor), FV = _mm512_maskz_roundscale_pd(ok, V, kFloor);
  _mm512_storeu_pd(wx, _mm512_maskz_sub_pd(ok, U, FU));
  _mm512_storeu_pd(wy, _mm512_maskz_sub_pd(ok, V, FV));
  const __m256i X = _mm256_add_epi32(_mm512_cvttpd_epi32(FU), _mm256_set1_epi32(l.ox));
  const __m256i Y = _mm256_add_epi32(_mm512_cvttpd_epi32(FV), _mm256_set1_epi32(l.oy));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(ix), _mm256_mask_mov_epi32(_mm256_set1_epi32(kNoSample), ok, X));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(iy), _mm256_maskz_mov_epi32(ok, Y));
}

#else

constexpr int kLanes = 0;  // one pixel at a time

#endif

// sin and cos of the spiral's angles for pixels lx .. lx + n - 1 of a row dy from the
// centre (hx from the corner).
void SpiralRow(int lx, int n, double hx, double dy, double R, double twist, double* sn, double* cs) {
  int i = 0;
#if QM_DISTORTION_AVX512
  for (; i + kLanes <= n; i += kLanes) {
    __m512d s, c;
    SinCosLanes(SpiralAngleLanes(Offsets(lx + i, hx), dy, R, twist), s, c);
    _mm512_storeu_pd(sn + i, s);
    _mm512_storeu_pd(cs + i, c);
  }
#endif
  for (; i < n; ++i) SinCosOne(SpiralAngleOne((lx + i) - hx, dy, R, twist), sn[i], cs[i]);
}

// The lens's source positions for pixels lx .. lx + n - 1 of a row dy from the centre.
void LensRow(int lx, int n, double hx, double hy, double dy, double R, double s, double* u, double* v) {
  int i = 0;
#if QM_DISTORTION_AVX512
  for (; i + kLanes <= n; i += kLanes) LensLanes(Offsets(lx + i, hx), dy, hx, hy, R, s, u + i, v + i);
#endif
  for (; i < n; ++i) LensOne((lx + i) - hx, dy, hx, hy, R, s, u[i], v[i]);
}

void LocalCoords(const double* u, const double* v, int n, const CoordLimits& l, int32_t* ix, int32_t* iy, double* wx,
                 double* wy) {
  int i = 0;
#if QM_DISTORTION_AVX512
  for (; i + kLanes <= n; i += kLanes) CoordLanes(u + i, v + i, l, ix + i, iy + i, wx + i, wy + i);
#endif
  for (; i < n; ++i) CoordOne(u[i], v[i], l, ix[i], iy[i], wx[i], wy[i]);
}

// --- bilinear sampling inside a window ----------------------------------------------------

// The 2 x 2 neighbourhood at (ix, iy) read from the window of src; a neighbour outside
// it is `outside`.
inline void WindowTaps(const TBitmap& src, const TRect& win, int ix, int iy, const uint8_t* outside,
                       uint64_t& top, uint64_t& bottom) {
  if (ix >= win.Left && ix + 3 <= win.Right && iy >= win.Top && iy + 2 <= win.Bottom) {
    std::memcpy(&top, src.ScanLine(iy) + ptrdiff_t(ix) * 3, 8);
    std::memcpy(&bottom, src.ScanLine(iy + 1) + ptrdiff_t(ix) * 3, 8);
    top &= 0xFFFFFFFFFFFFull;
    bottom &= 0xFFFFFFFFFFFFull;
    return;
  }
  auto at = [&](int x, int y) {
    return x >= win.Left && x < win.Right && y >= win.Top && y < win.Bottom ? src.ScanLine(y) + ptrdiff_t(x) * 3
                                                                             : outside;
  };
  top = PackPixelPair(at(ix, iy), at(ix + 1, iy));
  bottom = PackPixelPair(at(ix, iy + 1), at(ix + 1, iy + 1));
}

// Per-thread buffers of one row segment of a sampled distortion.
struct SampleRow {
  std::vector<double> u, v, s, c, wx, wy;
  std::vector<int32_t> ix, iy;
  std::vector<uint64_t> top, bottom;
  std::vector<uint32_t> out;
  explicit SampleRow(size_t n)
      : u(n), v(n), s(n), c(n), wx(n), wy(n), ix(n), iy(n), top(n), bottom(n), out(n) {}
};

// Writes n packed pixels (B | G << 8 | R << 16) as 3-byte pixels.
void StorePacked(uint8_t* d, const uint32_t* px, int n) {
  int i = 0;
#if defined(__SSSE3__)
  // Four pixels to twelve bytes; each 16-byte store's last four bytes are overwritten
  // by the next one, so the last group of a row is stored exactly.
  const __m128i pick = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  for (; i + 8 <= n; i += 4)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + ptrdiff_t(i) * 3),
                     _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(px + i)), pick));
#endif
  for (; i < n; ++i) std::memcpy(d + ptrdiff_t(i) * 3, &px[i], 3);  // the low three bytes
}

}  // namespace

// --- Emboss -----------------------------------------------------------------------------

void FilterEmboss(const TBitmap& src0, TBitmap& dst, int direction, int depth, TColor color, TRect rect) {
  if (direction < 0 || !Is24(src0) || !Is24(dst)) return;
  ClipRectToBitmap(rect, dst);
  rect = IntersectRect(rect, GetBitmapRect(src0));
  if (rect.IsEmpty()) return;
  TBitmap holder;
  const TBitmap& src = Readable(src0, dst, holder);
  static constexpr int kDx[8] = {1, 1, 0, -1, -1, -1, 0, 1}, kDy[8] = {0, -1, -1, -1, 0, 1, 1, 1};
  const int k = std::min(direction, 7);
  // Beyond the rect's size no neighbour falls inside it, whatever the depth.
  const int limit = std::max(rect.Width(), rect.Height());
  const int d = std::clamp(depth, -limit, limit);
  const int dx = kDx[k] * d, dy = kDy[k] * d;
  const TPixel24 c = ColorToPixel24(color);
  const int w = rect.Width();
  std::vector<uint8_t> half(size_t(w) * 3);
  for (int i = 0; i < w; ++i) {
    half[size_t(i) * 3] = uint8_t(c.B >> 1);
    half[size_t(i) * 3 + 1] = uint8_t(c.G >> 1);
    half[size_t(i) * 3 + 2] = uint8_t(c.R >> 1);
  }
  // Columns whose neighbour lies inside the rect.
  const int xa = std::max(rect.Left, rect.Left - dx) - rect.Left, xb = std::min(rect.Right, rect.Right - dx) - rect.Left;
  ParallelRows(rect.Top, rect.Bottom, int64_t(w) * rect.Height(), [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      uint8_t* out = dst.ScanLine(y) + ptrdiff_t(rect.Left) * 3;
      const int ny = y + dy;
      if (ny < rect.Top || ny >= rect.Bottom || xa >= xb) {
        std::memcpy(out, half.data(), half.size());  // P + C / 2 - P
        continue;
      }
      const uint8_t* p = src.ScanLine(y) + ptrdiff_t(rect.Left + xa) * 3;
      const uint8_t* nb = src.ScanLine(ny) + ptrdiff_t(rect.Left + xa + dx) * 3;
      const uint8_t* h = half.data() + ptrdiff_t(xa) * 3;
      uint8_t* o = out + ptrdiff_t(xa) * 3;
      std::memcpy(out, half.data(), size_t(xa) * 3);
      for (int i = 0; i < (xb - xa) * 3; ++i) o[i] = ClampByte(int(p[i]) + h[i] - nb[i]);
      std::memcpy(out + ptrdiff_t(xb) * 3, half.data(), size_t(w - xb) * 3);
    }
  });
}

// --- Spiral -------------------------------------------------------------------------------

void DistortSpiral(const TBitmap& src0, TBitmap& dst, bool clockwise, TRect rect, bool interpolate,
                   TColor background, int strength) {
  if (!Is24(src0) || !Is24(dst)) return;
  ClipRectToBitmap(rect, dst);
  if (rect.IsEmpty()) return;
  TBitmap holder;
  const TBitmap& src = Readable(src0, dst, holder);
  const int SW = src.Width(), SH = src.Height();
  // Everything in the rect's own coordinates: the centre (hx, hy) from its corner.
  const double hx = rect.Width() / 2, hy = rect.Height() / 2;
  const double R = std::max(rect.Width(), rect.Height()) / 2;
  const double twist = (clockwise ? 1.0 : -1.0) * (double(strength) * std::numbers::pi / 8);
  const TPixel24 bg = ColorToPixel24(background);
  // Neighbour range: the pixel itself, or with a blend the one before the source too.
  const int lo = interpolate ? -1 : 0;
  const CoordLimits limits(rect.Left, rect.Top, lo, SW - 1, lo, SH - 1);
  ParallelSlabs(rect.Top, rect.Bottom, int64_t(rect.Width()) * rect.Height(), [&](int y0, int y1) {
    SampleRow b(static_cast<size_t>(std::min(rect.Width(), kTileColumns)));
    ForEachTileSegment(y0, y1, rect.Left, rect.Right, [&](int y, int x0, int x1) {
      const int n = x1 - x0, lx = x0 - rect.Left;
      const double dy = (y - rect.Top) - hy;
      SpiralRow(lx, n, hx, dy, R, twist, b.s.data(), b.c.data());
      // (dx, dy) turned by the angle: r sin and r cos of (its angle + the twist).
      for (int i = 0; i < n; ++i) {
        const double dx = (lx + i) - hx, c = b.c[size_t(i)], s = b.s[size_t(i)];
        b.u[size_t(i)] = hx + (dx * c + dy * s);
        b.v[size_t(i)] = hy + (dy * c - dx * s);
      }
      LocalCoords(b.u.data(), b.v.data(), n, limits, b.ix.data(), b.iy.data(), b.wx.data(), b.wy.data());
      uint8_t* d = dst.ScanLine(y) + ptrdiff_t(x0) * 3;
      if (!interpolate) {
        for (int i = 0; i < n; ++i, d += 3) {
          const int32_t ix = b.ix[size_t(i)];
          Put(d, ix == kNoSample ? &bg.B : src.ScanLine(b.iy[size_t(i)]) + ptrdiff_t(ix) * 3);
        }
        return;
      }
      GatherTaps(src, SW, SH, b.ix.data(), b.iy.data(), n, &bg.B, 0, 0, b.wx.data(), b.wy.data(), b.top.data(),
                 b.bottom.data());
      BlendTaps(b.top.data(), b.bottom.data(), b.wx.data(), b.wy.data(), n, true, 3, b.out.data());
      StorePacked(d, b.out.data(), n);
    });
  });
}

void DistortSpiralInPlace(TBitmap& bmp, bool clockwise, int strength, TRect rect, bool interpolate,
                          TColor background) {
  DistortSpiral(bmp, bmp, clockwise, rect, interpolate, background, strength);
}

// --- Reflection -----------------------------------------------------------------------------

void FilterReflection(const TBitmap& src0, TBitmap& dst, int n, int m, TColor color, TRect rect) {
  if (m == 0 || !Is24(src0) || !Is24(dst)) return;
  ClipRectToBitmap(rect, src0);
  rect = IntersectRect(rect, GetBitmapRect(dst));
  if (rect.IsEmpty()) return;
  TBitmap holder;
  const TBitmap& src = Readable(src0, dst, holder);
  const int H = rect.Height(), w = rect.Width();
  const double phase = double(n) * 2 * std::numbers::pi / m, k = H / 16.0;
  const TPixel24 c = ColorToPixel24(color);
  ParallelRows(rect.Top, rect.Bottom, int64_t(w) * H, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      const int d = y - rect.Top;
      const double offset = std::sin(double(H - d) * 16 / (d + 1) + phase) * (d + 24) * k / H;
      const int64_t row = int64_t(y) + 1 + RoundHalfEven(offset);
      uint8_t* out = dst.ScanLine(y) + ptrdiff_t(rect.Left) * 3;
      if (row >= 0 && row < src.Height())
        std::memcpy(out, src.ScanLine(int(row)) + ptrdiff_t(rect.Left) * 3, size_t(w) * 3);
      else
        FillPixels(out, w, c);
    }
  });
}

// --- Wave -----------------------------------------------------------------------------------

void DistortWave(const TBitmap& src0, TBitmap& dst, int period, TRect rect, bool rows, int amplitude) {
  if (period < 1 || amplitude < 1 || !Is24(src0) || !Is24(dst)) return;
  ClipRectToBitmap(rect, dst);
  if (rect.IsEmpty()) return;
  TBitmap holder;
  const TBitmap& src = Readable(src0, dst, holder);
  const int SW = src.Width(), SH = src.Height();
  auto shifted = [&](int pos, int origin) {
    return int64_t(RoundHalfEven(std::sin(double(pos - origin) / period * std::numbers::pi) * amplitude + pos));
  };
  if (rows) {
    // The source's columns that the rect covers.
    const int x1 = std::min(rect.Right, SW);
    if (x1 <= rect.Left) return;
    ParallelRows(rect.Top, rect.Bottom, int64_t(rect.Width()) * rect.Height(), [&](int y0, int y1) {
      for (int y = y0; y < y1; ++y) {
        const int64_t sy = shifted(y, rect.Top);
        if (sy < 0 || sy >= SH) continue;
        std::memcpy(dst.ScanLine(y) + ptrdiff_t(rect.Left) * 3, src.ScanLine(int(sy)) + ptrdiff_t(rect.Left) * 3,
                    size_t(x1 - rect.Left) * 3);
      }
    });
    return;
  }
  // Source column of every column of the rect, -1 where it keeps its pixels.
  std::vector<int32_t> sx(size_t(rect.Width()));
  for (int x = rect.Left; x < rect.Right; ++x) {
    const int64_t s = shifted(x, rect.Left);
    sx[size_t(x - rect.Left)] = s >= 0 && s < SW ? int32_t(s) : -1;
  }
  const int y1 = std::min(rect.Bottom, SH);
  ParallelRows(rect.Top, y1, int64_t(rect.Width()) * rect.Height(), [&](int r0, int r1) {
    for (int y = r0; y < r1; ++y) {
      uint8_t* d = dst.ScanLine(y) + ptrdiff_t(rect.Left) * 3;
      const uint8_t* s = src.ScanLine(y);
      for (int i = 0; i < rect.Width(); ++i, d += 3)
        if (sx[size_t(i)] >= 0) Put(d, s + ptrdiff_t(sx[size_t(i)]) * 3);
    }
  });
}

void DistortWaveInPlace(TBitmap& bmp, int period, int amplitude, TRect rect, bool rows) {
  DistortWave(bmp, bmp, period, rect, rows, amplitude);
}

// --- Trapezium --------------------------------------------------------------------------------

namespace {

// One line of a trapezium or skew: out[i] samples the line `line` (pixel j at line + j
// * step bytes, j in [lo, hi), the rest background) at position pos[i].
void SampleLine(uint8_t* out, ptrdiff_t outStep, const uint8_t* line, ptrdiff_t step, int lo, int hi,
                const double* pos, int n, bool interpolate, const TPixel24& bg) {
  for (int i = 0; i < n; ++i, out += outStep) {
    const double p = pos[i];
    if (!interpolate) {
      if (p >= lo && p < hi) Put(out, line + ptrdiff_t(std::floor(p)) * step);
      else Put(out, &bg.B);
      continue;
    }
    if (!(p >= lo - 1 && p < hi)) {
      Put(out, &bg.B);
      continue;
    }
    const double fp = std::floor(p);
    const int j = int(fp);  // in lo - 1 .. hi - 1: checked above
    const uint8_t* a = j >= lo ? line + ptrdiff_t(j) * step : &bg.B;
    const uint8_t* b = j + 1 < hi ? line + ptrdiff_t(j + 1) * step : &bg.B;
    Lerp(out, a, b, p - fp);
  }
}

#if QM_DISTORTION_AVX512
// Eight pixels of a horizontal trapezium's row, from column x of the row, linearly:
// the positions as SampleLine computes them, the two neighbours of each read as 4-byte
// words and blended per channel in double precision with the same operations as Lerp,
// rounded to even. Packed pixels (B | G << 8 | R << 16) go to out. False, with nothing
// written, unless every lane's pair lies in [lo, hi - 1), where both are pixels of the
// line and the word of the second ends inside the line.
bool TrapezoidLanes(uint32_t* out, const uint8_t* line, int x, double margin, int lo, int hi, int L, double width) {
  const __m512d X = Add(Set(x), _mm512_setr_pd(0, 1, 2, 3, 4, 5, 6, 7));
  const __m512d p = Add(_mm512_div_pd(Mul(Sub(Sub(X, Set(margin)), Set(lo)), Set(L)), Set(width)), Set(lo));
  const __m512d fp = _mm512_roundscale_pd(p, kFloor);
  const __mmask8 inside =
      _mm512_cmp_pd_mask(fp, Set(lo), _CMP_GE_OQ) & _mm512_cmp_pd_mask(fp, Set(double(hi) - 2), _CMP_LT_OQ);
  if (inside != 0xFF) return false;
  const __m256i j = _mm512_cvttpd_epi32(fp);
  const __m256i at = _mm256_add_epi32(_mm256_add_epi32(j, j), j);
  const int* base = reinterpret_cast<const int*>(line);
  const __m256i a = _mm256_i32gather_epi32(base, at, 1);
  const __m256i b = _mm256_i32gather_epi32(base, _mm256_add_epi32(at, _mm256_set1_epi32(3)), 1);
  const __m512d f = Sub(p, fp), g = Sub(Set(1.0), f);
  const __m256i byte = _mm256_set1_epi32(255);
  __m256i packed = _mm256_setzero_si256();
  for (int k = 0; k < 3; ++k) {
    const __m512d ak = _mm512_cvtepi32_pd(_mm256_and_si256(_mm256_srli_epi32(a, 8 * k), byte));
    const __m512d bk = _mm512_cvtepi32_pd(_mm256_and_si256(_mm256_srli_epi32(b, 8 * k), byte));
    __m512d v = _mm512_roundscale_pd(Add(Mul(g, ak), Mul(f, bk)), _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
    v = _mm512_min_pd(_mm512_max_pd(v, Set(0.0)), Set(255.0));
    packed = _mm256_or_si256(packed, _mm256_slli_epi32(_mm512_cvttpd_epi32(v), 8 * k));
  }
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), packed);
  return true;
}
#endif

// The shared body of both trapezia: lines run along x (horizontal) or y (vertical).
void Trapezoid(const TBitmap& src0, TBitmap& dst, int p1, TRect rect, bool interpolate, TColor background,
               int p2, bool vertical) {
  if (p1 <= 0 || p2 <= 0 || !Is24(src0) || !Is24(dst)) return;
  ClipRectToBitmap(rect, src0);
  rect = IntersectRect(rect, GetBitmapRect(dst));
  // Below two lines the slope of the edge is undefined.
  if (rect.Width() < 2 || rect.Height() < 2) return;
  TBitmap holder;
  const TBitmap& src = Readable(src0, dst, holder);
  const TPixel24 bg = ColorToPixel24(background);
  // Along a line (L pixels from lo) and across the lines (N lines).
  const int L = vertical ? rect.Height() : rect.Width(), N = vertical ? rect.Width() : rect.Height();
  const int lo = vertical ? rect.Top : rect.Left;
  const int64_t w1 = int64_t(L) * p1 / 100, w2 = int64_t(L) * p2 / 100;
  // Each line's width and margin.
  std::vector<double> width(static_cast<size_t>(N)), margin(static_cast<size_t>(N));
  for (int j = 0; j < N; ++j) {
    width[size_t(j)] = double(w2 - w1) * j / (N - 1) + double(w1);
    margin[size_t(j)] = (L - width[size_t(j)]) / 2;
  }
  const int w = rect.Width();
  ParallelRows(rect.Top, rect.Bottom, int64_t(w) * rect.Height(), [&](int y0, int y1) {
    std::vector<double> pos(static_cast<size_t>(w));
#if QM_DISTORTION_AVX512
    std::vector<uint32_t> packed(!vertical && interpolate ? size_t(w) : 0);
#endif
    for (int y = y0; y < y1; ++y) {
      uint8_t* out = dst.ScanLine(y) + ptrdiff_t(rect.Left) * 3;
      if (!vertical) {
        const double rw = width[size_t(y - rect.Top)], mg = margin[size_t(y - rect.Top)];
        if (!(rw >= 1.0)) {
          FillPixels(out, w, bg);  // narrower than a pixel
          continue;
        }
        const auto position = [&](int i) { return ((rect.Left + i) - mg - lo) * L / rw + lo; };
#if QM_DISTORTION_AVX512
        if (interpolate) {
          // Eight pixels at a time inside the row; near its ends (the background, the
          // line's last pixels) one at a time.
          for (int i = 0; i < w; i += 8) {
            const int n = std::min(8, w - i);
            if (n == 8 && TrapezoidLanes(&packed[size_t(i)], src.ScanLine(y), rect.Left + i, mg, lo, rect.Right, L, rw))
              continue;
            uint8_t one[8 * 3];
            for (int k = 0; k < n; ++k) pos[size_t(k)] = position(i + k);
            SampleLine(one, 3, src.ScanLine(y), 3, rect.Left, rect.Right, pos.data(), n, true, bg);
            for (int k = 0; k < n; ++k)
              packed[size_t(i + k)] = one[3 * k] | uint32_t(one[3 * k + 1]) << 8 | uint32_t(one[3 * k + 2]) << 16;
          }
          StorePacked(out, packed.data(), w);
          continue;
        }
#endif
        for (int i = 0; i < w; ++i) pos[size_t(i)] = position(i);
        SampleLine(out, 3, src.ScanLine(y), 3, rect.Left, rect.Right, pos.data(), w, interpolate, bg);
        continue;
      }
      // Vertical: every column is its own line, sampled here one row at a time.
      for (int i = 0; i < w; ++i) {
        const double cw = width[size_t(i)];
        pos[size_t(i)] = cw >= 1.0 ? (y - margin[size_t(i)] - lo) * L / cw + lo : -1e300;
      }
      for (int i = 0; i < w; ++i)
        SampleLine(out + ptrdiff_t(i) * 3, 3, src.ScanLine(0) + ptrdiff_t(rect.Left + i) * 3, src.Stride(),
                   rect.Top, rect.Bottom, &pos[size_t(i)], 1, interpolate, bg);
    }
  });
}

}  // namespace

void DistortTrapezoid(const TBitmap& src, TBitmap& dst, int p1, TRect rect, bool interpolate, TColor background,
                      int p2) {
  Trapezoid(src, dst, p1, rect, interpolate, background, p2, false);
}

void DistortTrapezoidVertical(const TBitmap& src, TBitmap& dst, int p1, TRect rect, bool interpolate,
                              TColor background, int p2) {
  Trapezoid(src, dst, p1, rect, interpolate, background, p2, true);
}

void DistortTrapezoidInPlace(TBitmap& bmp, int p1, TRect rect, bool interpolate, TColor background, int p2) {
  Trapezoid(bmp, bmp, p1, rect, interpolate, background, p2, false);
}

void DistortTrapezoidVerticalInPlace(TBitmap& bmp, int p1, TRect rect, bool interpolate, TColor background,
                                     int p2) {
  Trapezoid(bmp, bmp, p1, rect, interpolate, background, p2, true);
}

// --- Skew -----------------------------------------------------------------------------------

namespace {

void Skew(const TBitmap& src0, TBitmap& dst, int shift, bool interpolate, TColor background, bool reverse,
          bool vertical) {
  if (shift == 0 || src0.Empty()) return;
  int64_t S = shift;
  if (S < 0) {
    S = -S;
    reverse = !reverse;
  }
  const int W = src0.Width(), H = src0.Height();
  // The lines that move: rows for the horizontal skew; below two the slope is undefined.
  const int lines = vertical ? W : H;
  if (lines < 2 || (vertical ? H : W) + S > kMaxBitmapSide) return;
  TBitmap holder;
  const TBitmap* src = &src0;
  if (&src0 == &dst || src0.PixelFormat() != pf24bit) {
    holder = src0.Clone();
    holder.SetPixelFormat(pf24bit);
    src = &holder;
  }
  const int W2 = vertical ? W : W + int(S), H2 = vertical ? H + int(S) : H;
  dst.Clear();
  dst.SetPixelFormat(pf24bit);
  dst.BrushColor = background;
  dst.SetSize(W2, H2);
  const TPixel24 bg = ColorToPixel24(background);
  // How far each line moves.
  std::vector<double> offset(static_cast<size_t>(lines));
  for (int j = 0; j < lines; ++j) offset[size_t(j)] = double(S * (reverse ? lines - 1 - j : j)) / (lines - 1);
  ParallelRows(0, H2, int64_t(W2) * H2, [&](int y0, int y1) {
    std::vector<double> pos(static_cast<size_t>(W2));
    for (int y = y0; y < y1; ++y) {
      uint8_t* out = dst.ScanLine(y);
      if (!vertical) {
        const double off = offset[size_t(y)];
        for (int x = 0; x < W2; ++x) pos[size_t(x)] = x - off;
        SampleLine(out, 3, src->ScanLine(y), 3, 0, W, pos.data(), W2, interpolate, bg);
        continue;
      }
      for (int x = 0; x < W; ++x) pos[size_t(x)] = y - offset[size_t(x)];
      for (int x = 0; x < W; ++x)
        SampleLine(out + ptrdiff_t(x) * 3, 3, src->ScanLine(0) + ptrdiff_t(x) * 3, src->Stride(), 0, H,
                   &pos[size_t(x)], 1, interpolate, bg);
    }
  });
}

}  // namespace

void SkewHorizontal(const TBitmap& src, TBitmap& dst, int shift, bool interpolate, TColor background, bool reverse) {
  Skew(src, dst, shift, interpolate, background, reverse, false);
}

void SkewVertical(const TBitmap& src, TBitmap& dst, int shift, bool interpolate, TColor background, bool reverse) {
  Skew(src, dst, shift, interpolate, background, reverse, true);
}

void SkewHorizontalInPlace(TBitmap& bmp, int shift, bool interpolate, TColor background, bool reverse) {
  Skew(bmp, bmp, shift, interpolate, background, reverse, false);
}

void SkewVerticalInPlace(TBitmap& bmp, int shift, bool interpolate, TColor background, bool reverse) {
  Skew(bmp, bmp, shift, interpolate, background, reverse, true);
}

// --- Lens -----------------------------------------------------------------------------------

void DistortLens(const TBitmap& src0, TBitmap& dst, TColor background, TRect rect, double strength) {
  if (!Is24(src0) || !Is24(dst)) return;
  ClipRectToBitmap(rect, dst);
  // The lens reads only the rect of the source.
  rect = IntersectRect(rect, GetBitmapRect(src0));
  if (rect.IsEmpty()) return;
  TBitmap holder;
  const TBitmap& src = Readable(src0, dst, holder);
  const int w = rect.Width();
  const double hx = w / 2, hy = rect.Height() / 2;
  const double R = std::min(w, rect.Height()) * strength, s = strength;
  const TPixel24 bg = ColorToPixel24(background);
  // Neighbours from the column and row before the rect to its last ones.
  const CoordLimits limits(rect.Left, rect.Top, rect.Left - 1, rect.Right - 1, rect.Top - 1, rect.Bottom - 1);
  // A rect that is the whole source has the source's own edges, which the shared
  // gather knows.
  const bool whole = rect == GetBitmapRect(src);
  ParallelSlabs(rect.Top, rect.Bottom, int64_t(w) * rect.Height(), [&](int y0, int y1) {
    SampleRow b(static_cast<size_t>(std::min(w, kTileColumns)));
    ForEachTileSegment(y0, y1, rect.Left, rect.Right, [&](int y, int x0, int x1) {
      const int n = x1 - x0;
      // In the rect's own coordinates, from its centre.
      LensRow(x0 - rect.Left, n, hx, hy, (y - rect.Top) - hy, R, s, b.u.data(), b.v.data());
      LocalCoords(b.u.data(), b.v.data(), n, limits, b.ix.data(), b.iy.data(), b.wx.data(), b.wy.data());
      if (whole) {
        GatherTaps(src, src.Width(), src.Height(), b.ix.data(), b.iy.data(), n, &bg.B, 0, 0, b.wx.data(), b.wy.data(),
                   b.top.data(), b.bottom.data());
      } else {
        for (int i = 0; i < n; ++i) {
          if (b.ix[size_t(i)] == kNoSample) b.top[size_t(i)] = b.bottom[size_t(i)] = PackPixelPair(&bg.B, &bg.B);
          else WindowTaps(src, rect, b.ix[size_t(i)], b.iy[size_t(i)], &bg.B, b.top[size_t(i)], b.bottom[size_t(i)]);
        }
      }
      BlendTaps(b.top.data(), b.bottom.data(), b.wx.data(), b.wy.data(), n, true, 3, b.out.data());
      StorePacked(dst.ScanLine(y) + ptrdiff_t(x0) * 3, b.out.data(), n);
    });
  });
}

void DistortLensInPlace(TBitmap& bmp, TColor background, TRect rect, double strength) {
  DistortLens(bmp, bmp, background, rect, strength);
}

// --- The deformation filters ----------------------------------------------------------------

void ApplySpiral(TBitmap& layer, const TBitmap& source, const TSpiralParams& p, TRect rect) {
  DistortSpiral(source, layer, p.Sense == 0, rect, true, p.Background, p.Amount);
}

void ApplySpiralToMask(TBitmap& mask, const TSpiralParams& p, TRect rect) {
  DistortSpiralInPlace(mask, p.Sense == 0, p.Amount, rect, true, clWhite);
}

void ApplyWave(TBitmap& layer, const TBitmap& source, const TWaveParams& p, TRect rect) {
  DistortWave(source, layer, p.Period, rect, p.Axis == 0, p.Amplitude);
}

void ApplyTrapezoid(TBitmap& layer, const TBitmap& source, const TTrapezoidParams& p, TRect rect) {
  if (IsIdentity(p)) return;
  if (p.Axis == 0) DistortTrapezoid(source, layer, p.First, rect, true, p.Background, p.Second);
  else DistortTrapezoidVertical(source, layer, p.First, rect, true, p.Background, p.Second);
}

void ApplyTrapezoidToMask(TBitmap& mask, const TTrapezoidParams& p, TRect rect) {
  if (IsIdentity(p)) return;
  if (p.Axis == 0) DistortTrapezoidInPlace(mask, p.First, rect, true, clWhite, p.Second);
  else DistortTrapezoidVerticalInPlace(mask, p.First, rect, true, clWhite, p.Second);
}

void ApplyLens(TBitmap& layer, const TBitmap& source, const TLensParams& p, TRect rect) {
  DistortLens(source, layer, p.Background, rect, LensStrength(p.Amount));
}

void ApplyLensToMask(TBitmap& mask, const TLensParams& p, TRect rect) {
  DistortLensInPlace(mask, clWhite, rect, LensStrength(p.Amount));
}

}  // namespace qm
