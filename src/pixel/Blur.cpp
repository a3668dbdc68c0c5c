#include "pixel/Blur.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#if defined(__AVX512F__)
#include <immintrin.h>
#endif

#include "pixel/ImgUtils.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"

// How the blur is computed fast and still exactly.
//
// The result is defined by the sum t = sum of w[k] * pixel in double precision, rounded
// to the nearest level. With float weights of at least 2^-22 (the cut tails keep every
// weight far above that) and byte pixels, that double sum is exact, so it does not
// depend on the order of the terms. The kernels below compute t in single precision
// with 16 lanes, pairing the symmetric taps, which is off by at most one rounding per
// operation: (2S + 3) * 2^-17 for S taps on each side, every partial sum being below
// 256. Only when t lies that close to a half level can the rounding differ from that of
// the exact sum; those (rare) values are computed again in double precision. So the
// result is exactly the defined one, whatever the vector width and whether multiply
// and add are fused.
//
// Passes: the rows, each from a float copy of the row with S repeated edge pixels on
// each side; then the columns, in strips of 256 values: a strip walks down the rect with
// a ring of float copies of the rows it still needs (the rows are written back in place
// as the strip goes) and makes four output rows at a time, sliding the pairs of input
// rows through registers, so each row is loaded once per four outputs.

namespace qm {

void MakeGaussianKernel(TKernel& kernel, double granularity, double maximum, double radius) {
  kernel = TKernel{};
  if (!(radius > 0) || !std::isfinite(radius)) {
    kernel.Size = 1;
    kernel.W(0) = 1;
    return;
  }
  for (int j = -100; j <= 100; ++j) {
    const double x = j / radius;
    kernel.W(j) = float(std::exp(-x * x / 2));
  }
  double sum = 0;
  for (int j = -100; j <= 100; ++j) sum += kernel.W(j);
  for (int j = -100; j <= 100; ++j) kernel.W(j) = float(kernel.W(j) / sum);
  // Cut the tails while what they hold stays below half a level.
  const double delta = maximum > 0 ? granularity / (2 * maximum) : 0;
  int size = 100;
  double tail = 0;
  while (tail < delta && size > 1) {
    tail += 2.0 * kernel.W(size);
    --size;
  }
  double kept = 0;
  for (int j = -size; j <= size; ++j) kept += kernel.W(j);
  for (int j = -size; j <= size; ++j) kernel.W(j) = float(kernel.W(j) / kept);
  kernel.Size = uint8_t(size);
}

namespace {

TKernel BuiltKernel(double radius) {
  TKernel k;
  MakeGaussianKernel(k, 1.0, 255.0, radius);
  return k;
}

// The dialogs' common radii are built once; any other radius per call.
const TKernel& KernelFor(int radius, TKernel& scratch) {
  static const TKernel k2 = BuiltKernel(2), k3 = BuiltKernel(3), k4 = BuiltKernel(4), k7 = BuiltKernel(7);
  switch (radius) {
    case 2: return k2;
    case 3: return k3;
    case 4: return k4;
    case 7: return k7;
    default: MakeGaussianKernel(scratch, 1.0, 255.0, radius); return scratch;
  }
}

typedef float VF __attribute__((vector_size(64)));
typedef int32_t VI __attribute__((vector_size(64)));
typedef uint8_t VB __attribute__((vector_size(16)));
constexpr int kLanes = 16;

inline VF LoadF(const float* p) {
  VF v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline VF Fma(VF a, VF b, VF c) {
#if defined(__AVX512F__)
  return VF(_mm512_fmadd_ps(__m512(a), __m512(b), __m512(c)));
#else
  return a * b + c;
#endif
}

inline bool AnyLane(VI m) {
#if defined(__AVX512F__)
  return _mm512_test_epi32_mask(__m512i(m), __m512i(m)) != 0;
#else
  int32_t any = 0;
  for (int i = 0; i < kLanes; ++i) any |= m[i];
  return any != 0;
#endif
}

// The kernel as the passes use it.
struct Taps {
  int S;
  float w[101];    // w[k], k = 0..S (the kernel is symmetric)
  double wd[201];  // w[-S..S] in double precision, for the exact sums
  float margin;    // beyond this distance from a level, t rounds like the exact sum
  bool snap;       // the mask form: values above 250 become 255
};

Taps MakeTaps(const TKernel& k, bool snap) {
  Taps t{};
  t.S = k.Size;
  for (int j = 0; j <= t.S; ++j) t.w[j] = k.W(j);
  for (int j = -t.S; j <= t.S; ++j) t.wd[j + t.S] = k.W(j);
  t.margin = float(0.5 - (2 * t.S + 3) * std::ldexp(1.0, -17));
  t.snap = snap;
  return t;
}

inline uint8_t ToLevel(double t, bool snap) {
  int v = ClampInt(RoundHalfEven(t), 0, 255);
  if (snap && v > 250) v = 255;
  return uint8_t(v);
}

// The defined sum at one position: value(k) is the pixel at clamp(j - k), k = -S..S.
template <class Value>
inline uint8_t ExactLevel(const Taps& tp, Value value) {
  double t = 0;
  for (int k = -tp.S; k <= tp.S; ++k) t += tp.wd[k + tp.S] * value(k);
  return ToLevel(t, tp.snap);
}

// Rounds 16 sums to levels; lanes too close to a half level are redone by exact(lane).
template <class Exact>
inline void Levels(const Taps& tp, VF t, uint8_t out[kLanes], Exact exact) {
  const VF magic = VF{} + 12582912.0f;  // 1.5 * 2^23: adding it rounds to an integer, halves to even
  const VF r = (t + magic) - magic;
  const VF d = t - r;
  const VI near = (d > tp.margin) | (d < -tp.margin);
  VI v = __builtin_convertvector(r, VI);
  v = v > 255 ? 255 : v;
  v = v < 0 ? 0 : v;
  if (tp.snap) v = v > 250 ? 255 : v;
  const VB b = __builtin_convertvector(v, VB);
  std::memcpy(out, &b, kLanes);
  if (AnyLane(near))
    for (int l = 0; l < kLanes; ++l)
      if (near[l]) out[l] = exact(l);
}

// Writes n levels of one channel (C = 3: consecutive bytes) or of a grey mask (C = 1:
// each level into the three bytes of consecutive pixels).
template <int C>
inline void PutLevels(uint8_t* dst, const uint8_t* lv, int n) {
  if constexpr (C == 3) {
    std::memcpy(dst, lv, size_t(n));
  } else {
    for (int l = 0; l < n; ++l) dst[3 * l] = dst[3 * l + 1] = dst[3 * l + 2] = lv[l];
  }
}

// --- Rows ---------------------------------------------------------------------------

// Blurs m values of a row held in b (b[-S*C] .. b[m - 1 + S*C] readable, the run's end
// pixels repeated), C values per pixel; out receives the levels.
template <int C>
void BlurRun(const float* b, int m, const Taps& tp, uint8_t* out) {
  constexpr int kBlock = 4 * kLanes;
  const int S = tp.S;
  const VF w0 = VF{} + tp.w[0];
  for (int i = 0; i < m; i += kBlock) {
    VF acc[4];
    for (int j = 0; j < 4; ++j) acc[j] = w0 * LoadF(b + i + j * kLanes);
    for (int k = 1; k <= S; ++k) {
      const VF wk = VF{} + tp.w[k];
      const float* lo = b + i - k * C;
      const float* hi = b + i + k * C;
      for (int j = 0; j < 4; ++j) acc[j] = Fma(LoadF(lo + j * kLanes) + LoadF(hi + j * kLanes), wk, acc[j]);
    }
    for (int j = 0; j < 4; ++j) {
      const int at = i + j * kLanes;
      if (at >= m) break;
      uint8_t lv[kLanes];
      Levels(tp, acc[j], lv, [&](int l) {
        const float* p = b + at + l;
        return ExactLevel(tp, [&](int k) { return double(p[-k * C]); });
      });
      PutLevels<C>(out + (C == 3 ? at : 3 * at), lv, std::min(kLanes, m - at));
    }
  }
}

template <int C>
void BlurRows(TBitmap& bmp, const TRect& r, const Taps& tp) {
  const int n = r.Width(), S = tp.S, m = n * C;
  const ptrdiff_t left = ptrdiff_t(r.Left) * 3;
  ParallelRows(r.Top, r.Bottom, int64_t(n) * r.Height() * (2 * S + 1) / 8, [&](int y0, int y1) {
    // S repeated pixels on each side, and slack for the last block of vectors
    std::vector<float> buf(size_t(m + 2 * S * C + 4 * kLanes), 0.0f);
    float* b = buf.data() + S * C;
    for (int y = y0; y < y1; ++y) {
      uint8_t* row = bmp.ScanLine(y) + left;
      if constexpr (C == 3) {
        for (int i = 0; i < m; ++i) b[i] = row[i];
      } else {
        for (int x = 0; x < n; ++x) b[x] = row[3 * x];
      }
      for (int k = 1; k <= S; ++k)
        for (int c = 0; c < C; ++c) {
          b[-k * C + c] = b[c];
          b[m - C + k * C + c] = b[m - C + c];
        }
      BlurRun<C>(b, m, tp, row);
    }
  });
}

// --- Columns ------------------------------------------------------------------------

constexpr int kStrip = 256;  // values per strip: 1 KB of floats per ring row
constexpr int kRows = 4;     // output rows made together

template <int C>
void BlurColumns(TBitmap& bmp, const TRect& r, const Taps& tp) {
  const int h = r.Height(), S = tp.S, m = r.Width() * C;
  const int strips = (m + kStrip - 1) / kStrip;
  const int ring = 2 * S + kRows + 1;
  ParallelRows(0, strips, int64_t(r.Width()) * h * (2 * S + 1) / 8, [&](int s0, int s1) {
    std::vector<float> rows(size_t(ring) * kStrip, 0.0f);
    std::vector<const float*> at(size_t(2 * S + kRows));
    for (int s = s0; s < s1; ++s) {
      const int v0 = s * kStrip, sw = std::min(kStrip, m - v0);
      int loaded = 0;
      for (int y = 0; y < h; y += kRows) {
        // the rows down to y + kRows - 1 + S, as they were before the pass
        for (const int need = std::min(h - 1, y + kRows - 1 + S); loaded <= need; ++loaded) {
          float* dst = &rows[size_t(loaded % ring) * kStrip];
          const uint8_t* src = bmp.ScanLine(r.Top + loaded) + ptrdiff_t(r.Left) * 3;
          if constexpr (C == 3) {
            for (int i = 0; i < sw; ++i) dst[i] = src[v0 + i];
          } else {
            for (int i = 0; i < sw; ++i) dst[i] = src[3 * (v0 + i)];
          }
        }
        // at[q]: row y - S + q, the rect's first and last rows repeated beyond it
        for (int q = 0; q < 2 * S + kRows; ++q)
          at[size_t(q)] = &rows[size_t(ClampInt(y - S + q, 0, h - 1) % ring) * kStrip];
        const float* const* row = at.data() + S;  // row[d]: row y + d
        const VF w0 = VF{} + tp.w[0];
        for (int v = 0; v < sw; v += kLanes) {
          VF acc[kRows], lo[kRows], hi[kRows];
          for (int j = 0; j < kRows; ++j) {
            acc[j] = w0 * LoadF(row[j] + v);
            lo[j] = LoadF(row[j - 1] + v);
            hi[j] = LoadF(row[j + 1] + v);
          }
          for (int k = 1;; ++k) {  // lo[j] = row y + j - k, hi[j] = row y + j + k
            const VF wk = VF{} + tp.w[k];
            for (int j = 0; j < kRows; ++j) acc[j] = Fma(lo[j] + hi[j], wk, acc[j]);
            if (k == S) break;
            for (int j = kRows - 1; j > 0; --j) lo[j] = lo[j - 1];
            lo[0] = LoadF(row[-k - 1] + v);
            for (int j = 0; j + 1 < kRows; ++j) hi[j] = hi[j + 1];
            hi[kRows - 1] = LoadF(row[kRows + k] + v);
          }
          const int cnt = std::min(kLanes, sw - v);
          for (int j = 0; j < kRows && y + j < h; ++j) {
            uint8_t lv[kLanes];
            Levels(tp, acc[j], lv, [&](int l) {
              return ExactLevel(tp, [&](int k) { return double(row[j - k][v + l]); });
            });
            uint8_t* out = bmp.ScanLine(r.Top + y + j) + ptrdiff_t(r.Left) * 3;
            PutLevels<C>(out + (C == 3 ? v0 + v : 3 * (v0 + v)), lv, cnt);
          }
        }
      }
    }
  });
}

template <int C>
void Blur(TBitmap& bmp, int radius, TRect rect) {
  if (radius < 1 || bmp.PixelFormat() != pf24bit) return;
  ClipRectToBitmap(rect, bmp);
  if (rect.IsEmpty()) return;
  TKernel scratch;
  const Taps tp = MakeTaps(KernelFor(radius, scratch), C == 1);
  BlurRows<C>(bmp, rect, tp);
  BlurColumns<C>(bmp, rect, tp);
}

}  // namespace

void GaussianBlurRect(TBitmap& bmp, int radius, TRect rect) { Blur<3>(bmp, radius, rect); }

void GaussianBlurMaskRect(TBitmap& bmp, int radius, TRect rect) { Blur<1>(bmp, radius, rect); }

}  // namespace qm
