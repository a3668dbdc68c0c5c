#include "pixel/Sampling.h"

#include <cmath>

#if defined(__AVX2__)
#include <immintrin.h>
#endif

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

}  // namespace

#if defined(__AVX2__)

void BilinearCoords(const double* u, const double* v, int n, int width, int height, int32_t* ix, int32_t* iy,
                    double* wx, double* wy) {
  const __m256d lo = _mm256_set1_pd(-1.0), hiU = _mm256_set1_pd(double(width)), hiV = _mm256_set1_pd(double(height));
  const __m128i none = _mm_set1_epi32(kNoSample);
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    const __m256d U = _mm256_loadu_pd(u + i), V = _mm256_loadu_pd(v + i);
    // Ordered comparisons: NaN fails them all.
    const __m256d ok = _mm256_and_pd(_mm256_and_pd(_mm256_cmp_pd(U, lo, _CMP_GE_OQ), _mm256_cmp_pd(U, hiU, _CMP_LT_OQ)),
                                     _mm256_and_pd(_mm256_cmp_pd(V, lo, _CMP_GE_OQ), _mm256_cmp_pd(V, hiV, _CMP_LT_OQ)));
    // Positions that fail are replaced by 0 before the conversion, so it never sees a
    // value out of the int32 range.
    const __m256d FU = _mm256_and_pd(_mm256_floor_pd(U), ok), FV = _mm256_and_pd(_mm256_floor_pd(V), ok);
    _mm256_storeu_pd(wx + i, _mm256_sub_pd(U, FU));
    _mm256_storeu_pd(wy + i, _mm256_sub_pd(V, FV));
    const __m128i okI = _mm256_cvtpd_epi32(_mm256_and_pd(ok, _mm256_set1_pd(1.0)));
    const __m128i IX = _mm256_cvttpd_epi32(FU);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(ix + i), _mm_blendv_epi8(none, IX, _mm_cmpeq_epi32(okI, _mm_set1_epi32(1))));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(iy + i), _mm256_cvttpd_epi32(FV));
  }
  for (; i < n; ++i) CoordsOne(u[i], v[i], width, height, ix[i], iy[i], wx[i], wy[i]);
}

namespace {
// Bytes of 64-bit lanes to doubles: or-ing the exponent of 2^52 in makes a double of
// 2^52 + b, from which 2^52 is subtracted exactly.
inline __m256d ToDouble(__m256i b) {
  const __m256i magic = _mm256_set1_epi64x(0x4330000000000000ll);
  return _mm256_sub_pd(_mm256_castsi256_pd(_mm256_or_si256(b, magic)), _mm256_set1_pd(4503599627370496.0));
}
inline __m256d Round(__m256d x) { return _mm256_round_pd(x, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC); }
}  // namespace

void BlendTaps(const uint64_t* top, const uint64_t* bottom, const double* wx, const double* wy, int n,
               bool roundColumns, int channels, uint32_t* out) {
  const __m256i ff = _mm256_set1_epi64x(0xFF);
  const __m256d one = _mm256_set1_pd(1.0), zero = _mm256_setzero_pd(), max = _mm256_set1_pd(255.0);
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    const __m256i T = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(top + i));
    const __m256i B = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bottom + i));
    const __m256d WX = _mm256_loadu_pd(wx + i), WY = _mm256_loadu_pd(wy + i);
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
      r = _mm256_min_pd(_mm256_max_pd(r, zero), max);
      // r is a whole number in 0..255: its low mantissa bits after adding 2^52 are it.
      const __m256i bits = _mm256_castpd_si256(_mm256_add_pd(r, _mm256_set1_pd(4503599627370496.0)));
      acc = _mm256_or_si256(acc, _mm256_sll_epi64(_mm256_and_si256(bits, ff), s0));
    }
    // The low 32 bits of each 64-bit lane, in order.
    const __m256i packed = _mm256_permutevar8x32_epi32(acc, _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm256_castsi256_si128(packed));
  }
  for (; i < n; ++i) out[i] = BlendOne(top[i], bottom[i], wx[i], wy[i], roundColumns, channels);
}

#else

void BilinearCoords(const double* u, const double* v, int n, int width, int height, int32_t* ix, int32_t* iy,
                    double* wx, double* wy) {
  for (int i = 0; i < n; ++i) CoordsOne(u[i], v[i], width, height, ix[i], iy[i], wx[i], wy[i]);
}

void BlendTaps(const uint64_t* top, const uint64_t* bottom, const double* wx, const double* wy, int n,
               bool roundColumns, int channels, uint32_t* out) {
  for (int i = 0; i < n; ++i) out[i] = BlendOne(top[i], bottom[i], wx[i], wy[i], roundColumns, channels);
}

#endif

}  // namespace qm
