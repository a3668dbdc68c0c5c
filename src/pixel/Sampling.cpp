#include "pixel/Sampling.h"

#include <cmath>

#if defined(__AVX512F__) && defined(__AVX512DQ__) && defined(__AVX512BW__) && defined(__AVX512VL__)
#define QM_SAMPLING_AVX512 1
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12's AVX-512 conversion intrinsics start from an undefined vector it then warns about.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#elif defined(__AVX2__)
#define QM_SAMPLING_AVX2 1
#include <immintrin.h>
#endif

// The vector paths do per lane exactly what the scalar helpers below do, operation for
// operation (IEEE additions, multiplications, floor and ties-to-even rounding give one
// result wherever they run), and the scalar helpers finish every row's remainder, so
// the tests exercise both.

namespace qm {

double RoundEven(double v) {
  const double f = std::floor(v);
  const double d = v - f;  // exact
  if (d > 0.5) return f + 1.0;
  if (d < 0.5) return f;
  const double half = f * 0.5;
  return half == std::floor(half) ? f : f + 1.0;
}

namespace {

inline void CoordsOne(double u, double v, int width, int height, int32_t& ix, int32_t& iy, double& wx,
                      double& wy) {
  if (!(u >= -1.0 && u < double(width) && v >= -1.0 && v < double(height))) {
    ix = kNoSample;
    return;
  }
  const double fu = std::floor(u), fv = std::floor(v);
  ix = int32_t(fu);  // in -1..width - 1: checked above
  iy = int32_t(fv);
  wx = u - fu;
  wy = v - fv;
}

inline void GatherOne(const TBitmap& src, int width, int height, int32_t ix, int32_t iy, const uint8_t* outside,
                      double& wx, double& wy, uint64_t& top, uint64_t& bottom) {
  if (ix == kNoSample) {
    wx = wy = 0.0;
    top = bottom = PackPixelPair(outside, outside);
  } else {
    LoadTaps(src, width, height, ix, iy, outside, top, bottom);
  }
}

inline uint32_t BlendOne(uint64_t top, uint64_t bottom, double wx, double wy, bool roundColumns, int channels) {
  const double ay = 1.0 - wy, ax = 1.0 - wx;
  uint32_t out = 0;
  for (int k = 0; k < channels; ++k) {
    const double v00 = double((top >> (8 * k)) & 0xFF), v10 = double((top >> (24 + 8 * k)) & 0xFF);
    const double v01 = double((bottom >> (8 * k)) & 0xFF), v11 = double((bottom >> (24 + 8 * k)) & 0xFF);
    double c0 = ay * v00 + wy * v01;
    double c1 = ay * v10 + wy * v11;
    if (roundColumns) {
      c0 = RoundEven(c0);
      c1 = RoundEven(c1);
    }
    double r = RoundEven(ax * c0 + wx * c1);
    r = r < 0.0 ? 0.0 : (r > 255.0 ? 255.0 : r);
    out |= uint32_t(r) << (8 * k);
  }
  return out;
}

#if QM_SAMPLING_AVX512

constexpr int kLanes = 8;
constexpr int kRoundNearest = _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC;
constexpr int kRoundDown = _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC;

inline void CoordsLanes(const double* u, const double* v, int width, int height, int32_t* ix, int32_t* iy,
                        double* wx, double* wy) {
  const __m512d U = _mm512_loadu_pd(u), V = _mm512_loadu_pd(v), lo = _mm512_set1_pd(-1.0);
  // Ordered comparisons: NaN fails them all.
  const __mmask8 ok = _mm512_cmp_pd_mask(U, lo, _CMP_GE_OQ) & _mm512_cmp_pd_mask(U, _mm512_set1_pd(width), _CMP_LT_OQ) &
                      _mm512_cmp_pd_mask(V, lo, _CMP_GE_OQ) & _mm512_cmp_pd_mask(V, _mm512_set1_pd(height), _CMP_LT_OQ);
  // Lanes that fail are 0 before the conversion, so it never sees a value out of range.
  const __m512d FU = _mm512_maskz_roundscale_pd(ok, U, kRoundDown), FV = _mm512_maskz_roundscale_pd(ok, V, kRoundDown);
  _mm512_storeu_pd(wx, _mm512_sub_pd(U, FU));
  _mm512_storeu_pd(wy, _mm512_sub_pd(V, FV));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(ix),
                      _mm256_mask_mov_epi32(_mm256_set1_epi32(kNoSample), ok, _mm512_cvttpd_epi32(FU)));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(iy), _mm512_cvttpd_epi32(FV));
}

// Eight pixels whose neighbourhoods all lie inside (see LoadTaps): two gathers.
inline bool GatherLanes(const uint8_t* base, ptrdiff_t stride, int width, int height, const int32_t* ix,
                        const int32_t* iy, ptrdiff_t prefetch, uint64_t* top, uint64_t* bottom) {
  const __m256i IX = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(ix));
  const __m256i IY = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(iy));
  const __m256i zero = _mm256_setzero_si256();
  const __mmask8 inside = _mm256_cmp_epi32_mask(IX, zero, _MM_CMPINT_NLT) &
                          _mm256_cmp_epi32_mask(IX, _mm256_set1_epi32(width - 3), _MM_CMPINT_LE) &
                          _mm256_cmp_epi32_mask(IY, zero, _MM_CMPINT_NLT) &
                          _mm256_cmp_epi32_mask(IY, _mm256_set1_epi32(height - 2), _MM_CMPINT_LE);
  if (inside != 0xFF) return false;
  const __m512i S = _mm512_set1_epi64(stride);
  const __m512i off = _mm512_add_epi64(_mm512_mullo_epi64(_mm512_cvtepi32_epi64(IY), S),
                                       _mm512_mullo_epi64(_mm512_cvtepi32_epi64(IX), _mm512_set1_epi64(3)));
  const __m512i m48 = _mm512_set1_epi64(0xFFFFFFFFFFFFll);
  if (prefetch) {
    // Every other lane: eight neighbouring pixels share most of their cache lines.
    alignas(64) int64_t o[8];
    _mm512_store_si512(o, off);
    // Addresses as integers: they may lie outside the bitmap, which a prefetch ignores.
    const uintptr_t b = reinterpret_cast<uintptr_t>(base) + uintptr_t(prefetch);
    for (int j = 0; j < 8; j += 2) {
      _mm_prefetch(reinterpret_cast<const char*>(b + uintptr_t(o[j])), _MM_HINT_T0);
      _mm_prefetch(reinterpret_cast<const char*>(b + uintptr_t(o[j] + stride)), _MM_HINT_T0);
    }
  }
  _mm512_storeu_si512(top, _mm512_and_si512(_mm512_i64gather_epi64(off, base, 1), m48));
  _mm512_storeu_si512(bottom, _mm512_and_si512(_mm512_i64gather_epi64(_mm512_add_epi64(off, S), base, 1), m48));
  return true;
}

template <int k>
inline void BlendChannel(__m512i T, __m512i B, __m512d AX, __m512d WX, __m512d AY, __m512d WY, bool roundColumns,
                         __m512i& acc) {
  const __m512i ff = _mm512_set1_epi64(0xFF);
  const __m512d v00 = _mm512_cvtepu64_pd(_mm512_and_si512(_mm512_srli_epi64(T, 8 * k), ff));
  const __m512d v10 = _mm512_cvtepu64_pd(_mm512_and_si512(_mm512_srli_epi64(T, 24 + 8 * k), ff));
  const __m512d v01 = _mm512_cvtepu64_pd(_mm512_and_si512(_mm512_srli_epi64(B, 8 * k), ff));
  const __m512d v11 = _mm512_cvtepu64_pd(_mm512_and_si512(_mm512_srli_epi64(B, 24 + 8 * k), ff));
  __m512d c0 = _mm512_add_pd(_mm512_mul_pd(AY, v00), _mm512_mul_pd(WY, v01));
  __m512d c1 = _mm512_add_pd(_mm512_mul_pd(AY, v10), _mm512_mul_pd(WY, v11));
  if (roundColumns) {
    c0 = _mm512_roundscale_pd(c0, kRoundNearest);
    c1 = _mm512_roundscale_pd(c1, kRoundNearest);
  }
  __m512d r = _mm512_roundscale_pd(_mm512_add_pd(_mm512_mul_pd(AX, c0), _mm512_mul_pd(WX, c1)), kRoundNearest);
  r = _mm512_min_pd(_mm512_max_pd(r, _mm512_setzero_pd()), _mm512_set1_pd(255.0));
  acc = _mm512_or_si512(acc, _mm512_slli_epi64(_mm512_cvttpd_epu64(r), 8 * k));
}

inline void BlendLanes(const uint64_t* top, const uint64_t* bottom, const double* wx, const double* wy,
                       bool roundColumns, int channels, uint32_t* out) {
  const __m512i T = _mm512_loadu_si512(top), B = _mm512_loadu_si512(bottom);
  const __m512d WX = _mm512_loadu_pd(wx), WY = _mm512_loadu_pd(wy), one = _mm512_set1_pd(1.0);
  const __m512d AX = _mm512_sub_pd(one, WX), AY = _mm512_sub_pd(one, WY);
  __m512i acc = _mm512_setzero_si512();
  BlendChannel<0>(T, B, AX, WX, AY, WY, roundColumns, acc);
  if (channels > 1) {
    BlendChannel<1>(T, B, AX, WX, AY, WY, roundColumns, acc);
    BlendChannel<2>(T, B, AX, WX, AY, WY, roundColumns, acc);
  }
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm512_cvtepi64_epi32(acc));
}

#elif QM_SAMPLING_AVX2

constexpr int kLanes = 4;

inline void CoordsLanes(const double* u, const double* v, int width, int height, int32_t* ix, int32_t* iy,
                        double* wx, double* wy) {
  const __m256d U = _mm256_loadu_pd(u), V = _mm256_loadu_pd(v), lo = _mm256_set1_pd(-1.0);
  const __m256d ok =
      _mm256_and_pd(_mm256_and_pd(_mm256_cmp_pd(U, lo, _CMP_GE_OQ), _mm256_cmp_pd(U, _mm256_set1_pd(width), _CMP_LT_OQ)),
                    _mm256_and_pd(_mm256_cmp_pd(V, lo, _CMP_GE_OQ), _mm256_cmp_pd(V, _mm256_set1_pd(height), _CMP_LT_OQ)));
  const __m256d FU = _mm256_and_pd(_mm256_floor_pd(U), ok), FV = _mm256_and_pd(_mm256_floor_pd(V), ok);
  _mm256_storeu_pd(wx, _mm256_sub_pd(U, FU));
  _mm256_storeu_pd(wy, _mm256_sub_pd(V, FV));
  const __m128i okI = _mm256_cvtpd_epi32(_mm256_and_pd(ok, _mm256_set1_pd(1.0)));
  const __m128i IX = _mm256_cvttpd_epi32(FU);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(ix),
                   _mm_blendv_epi8(_mm_set1_epi32(kNoSample), IX, _mm_cmpeq_epi32(okI, _mm_set1_epi32(1))));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(iy), _mm256_cvttpd_epi32(FV));
}

inline bool GatherLanes(const uint8_t*, ptrdiff_t, int, int, const int32_t*, const int32_t*, ptrdiff_t, uint64_t*,
                        uint64_t*) {
  return false;  // four scalar loads are as quick as a gather here
}

// Bytes of 64-bit lanes to doubles: or-ing the exponent of 2^52 in makes a double of
// 2^52 + b, from which 2^52 is subtracted exactly.
inline __m256d ToDouble(__m256i b) {
  return _mm256_sub_pd(_mm256_castsi256_pd(_mm256_or_si256(b, _mm256_set1_epi64x(0x4330000000000000ll))),
                       _mm256_set1_pd(4503599627370496.0));
}
inline __m256d Round(__m256d x) { return _mm256_round_pd(x, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC); }

inline void BlendLanes(const uint64_t* top, const uint64_t* bottom, const double* wx, const double* wy,
                       bool roundColumns, int channels, uint32_t* out) {
  const __m256i ff = _mm256_set1_epi64x(0xFF);
  const __m256d one = _mm256_set1_pd(1.0);
  const __m256i T = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(top));
  const __m256i B = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bottom));
  const __m256d WX = _mm256_loadu_pd(wx), WY = _mm256_loadu_pd(wy);
  const __m256d AX = _mm256_sub_pd(one, WX), AY = _mm256_sub_pd(one, WY);
  __m256i acc = _mm256_setzero_si256();
  for (int k = 0; k < channels; ++k) {
    const __m128i s0 = _mm_cvtsi32_si128(8 * k), s1 = _mm_cvtsi32_si128(24 + 8 * k);
    const __m256d v00 = ToDouble(_mm256_and_si256(_mm256_srl_epi64(T, s0), ff));
    const __m256d v10 = ToDouble(_mm256_and_si256(_mm256_srl_epi64(T, s1), ff));
    const __m256d v01 = ToDouble(_mm256_and_si256(_mm256_srl_epi64(B, s0), ff));
    const __m256d v11 = ToDouble(_mm256_and_si256(_mm256_srl_epi64(B, s1), ff));
    __m256d c0 = _mm256_add_pd(_mm256_mul_pd(AY, v00), _mm256_mul_pd(WY, v01));
    __m256d c1 = _mm256_add_pd(_mm256_mul_pd(AY, v10), _mm256_mul_pd(WY, v11));
    if (roundColumns) {
      c0 = Round(c0);
      c1 = Round(c1);
    }
    __m256d r = Round(_mm256_add_pd(_mm256_mul_pd(AX, c0), _mm256_mul_pd(WX, c1)));
    r = _mm256_min_pd(_mm256_max_pd(r, _mm256_setzero_pd()), _mm256_set1_pd(255.0));
    // r is a whole number in 0..255: its low mantissa bits after adding 2^52 are it.
    const __m256i bits = _mm256_castpd_si256(_mm256_add_pd(r, _mm256_set1_pd(4503599627370496.0)));
    acc = _mm256_or_si256(acc, _mm256_sll_epi64(_mm256_and_si256(bits, ff), s0));
  }
  const __m256i packed = _mm256_permutevar8x32_epi32(acc, _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(packed));
}

#else

constexpr int kLanes = 1;

inline void CoordsLanes(const double* u, const double* v, int width, int height, int32_t* ix, int32_t* iy,
                        double* wx, double* wy) {
  CoordsOne(*u, *v, width, height, *ix, *iy, *wx, *wy);
}
inline bool GatherLanes(const uint8_t*, ptrdiff_t, int, int, const int32_t*, const int32_t*, ptrdiff_t, uint64_t*,
                        uint64_t*) {
  return false;
}
inline void BlendLanes(const uint64_t* top, const uint64_t* bottom, const double* wx, const double* wy,
                       bool roundColumns, int channels, uint32_t* out) {
  *out = BlendOne(*top, *bottom, *wx, *wy, roundColumns, channels);
}

#endif

}  // namespace

void BilinearCoords(const double* u, const double* v, int n, int width, int height, int32_t* ix, int32_t* iy,
                    double* wx, double* wy) {
  int i = 0;
  for (; i + kLanes <= n; i += kLanes) CoordsLanes(u + i, v + i, width, height, ix + i, iy + i, wx + i, wy + i);
  for (; i < n; ++i) CoordsOne(u[i], v[i], width, height, ix[i], iy[i], wx[i], wy[i]);
}

void GatherTaps(const TBitmap& src, int width, int height, const int32_t* ix, const int32_t* iy, int n,
                const uint8_t* outside, ptrdiff_t outsideStride, ptrdiff_t prefetch, double* wx, double* wy,
                uint64_t* top, uint64_t* bottom) {
  const uint8_t* base = src.Empty() ? nullptr : src.ScanLine(0);
  const ptrdiff_t stride = src.Stride();
  int i = 0;
  for (; i + kLanes <= n; i += kLanes) {
    if (GatherLanes(base, stride, width, height, ix + i, iy + i, prefetch, top + i, bottom + i)) continue;
    for (int j = i; j < i + kLanes; ++j)
      GatherOne(src, width, height, ix[j], iy[j], outside + j * outsideStride, wx[j], wy[j], top[j], bottom[j]);
  }
  for (; i < n; ++i)
    GatherOne(src, width, height, ix[i], iy[i], outside + i * outsideStride, wx[i], wy[i], top[i], bottom[i]);
}

ptrdiff_t PrefetchDistance(double dx, double dy, ptrdiff_t stride) {
  if (!(std::fabs(dx) < 1e4 && std::fabs(dy) < 1e4)) return 0;
  return ptrdiff_t(std::lround(dy)) * stride + ptrdiff_t(std::lround(dx)) * 3;
}

void BlendTaps(const uint64_t* top, const uint64_t* bottom, const double* wx, const double* wy, int n,
               bool roundColumns, int channels, uint32_t* out) {
  int i = 0;
  for (; i + kLanes <= n; i += kLanes) BlendLanes(top + i, bottom + i, wx + i, wy + i, roundColumns, channels, out + i);
  for (; i < n; ++i) out[i] = BlendOne(top[i], bottom[i], wx[i], wy[i], roundColumns, channels);
}

}  // namespace qm
