#include "pixel/Blur.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#if defined(__AVX512F__)
#include <immintrin.h>
#endif

#include "pixel/ImgUtils.h"
#include "pixel/Planes.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"

// How the blur is computed fast and still exactly.
//
// The result is defined by the sum t = sum of w[k] * pixel in double precision, rounded
// to the nearest level. With float weights of at least 2^-22 (the cut tails keep every
// weight far above that) and byte pixels, that double sum is exact, so it does not
// depend on the order of the terms. The kernels below compute t in single precision
// with 16 lanes, pairing the symmetric taps (the pair sums of byte values are exact),
// which is off by at most half a unit in the last place (2^-17 below 256) per rounding:
// S + 1 roundings for S taps on each side with fused multiply-adds, 2S + 1 without.
// Only when t lies that close to a half level can the rounding differ from that of
// the exact sum; those (rare) values are computed again in double precision. So the
// result is exactly the defined one, whatever the vector width and whether multiply
// and add are fused.
//
// Passes: first the rows, in bands of 16 transposed so that the band's rows are the 16
// lanes; then the columns, in strips down the rect, each with a ring of float copies of
// the rows it still needs (the rows are written back in place as the strip goes). Both
// make four outputs of a run at once, sliding the pairs of inputs through registers so
// that each input is loaded once for the four, and two runs side by side.

// The 64-byte vectors never cross a public interface, so their calling convention
// without AVX-512 does not matter.
#pragma GCC diagnostic ignored "-Wpsabi"

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
inline void StoreF(float* p, VF v) { std::memcpy(p, &v, sizeof v); }
inline VB LoadB(const uint8_t* p) {
  VB v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline void StoreB(uint8_t* p, VB v) { std::memcpy(p, &v, sizeof v); }

// Bytes to floats (the generic conversion of the vector extension goes byte by byte).
inline VF ToFloat(VB b) {
#if defined(__AVX512F__)
  return __builtin_convertvector(VI(_mm512_maskz_cvtepu8_epi32(__mmask16(0xFFFF), __m128i(b))), VF);
#else
  VF f;
  for (int i = 0; i < kLanes; ++i) f[i] = float(b[i]);
  return f;
#endif
}

inline VF Splat(float w) { return VF{w, w, w, w, w, w, w, w, w, w, w, w, w, w, w, w}; }

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
#if defined(__AVX512F__)
  const int roundings = t.S + 2;  // one per fused multiply-add, one for the centre, one spare
#else
  const int roundings = 2 * t.S + 3;
#endif
  t.margin = float(0.5 - roundings * std::ldexp(1.0, -17));
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

// Redoes the lanes too close to a half level (rare: kept out of the hot loops).
template <class Exact>
[[gnu::noinline, gnu::cold]] void RedoNearHalf(VI near, uint8_t* out, const Exact& exact) {
  for (int l = 0; l < kLanes; ++l)
    if (near[l]) out[l] = exact(l);
}

// Rounds 16 sums to levels; lanes too close to a half level are redone by exact(lane).
template <class Exact>
inline void Levels(const Taps& tp, VF t, uint8_t* out, const Exact& exact) {
  const VF magic = Splat(12582912.0f);  // 1.5 * 2^23: adding it rounds to an integer, halves to even
  const VF r = (t + magic) - magic;
  const VF d = t - r;
  const VI near = (d > tp.margin) | (d < -tp.margin);
  VI v = __builtin_convertvector(r, VI);
  v = v > 255 ? 255 : v;
  v = v < 0 ? 0 : v;
  if (tp.snap) v = v > 250 ? 255 : v;
  StoreB(out, __builtin_convertvector(v, VB));
  if (__builtin_expect(AnyLane(near), 0)) RedoNearHalf(near, out, exact);
}

// Four outputs of one run at once, at offsets 0..3 of the run: at(d) points at the 16
// values (lanes) at offset d, d = -S .. S + 3. The pairs (d - k, d + k) slide through
// registers, so each input is loaded once for the four outputs.
struct Sums4 {
  VF s0, s1, s2, s3;
};

template <class At>
inline Sums4 SumFour(const Taps& tp, At at) {
  const int S = tp.S;
  const VF w0 = Splat(tp.w[0]);
  VF l0 = LoadF(at(-1)), l1 = LoadF(at(0)), l2 = LoadF(at(1)), l3 = LoadF(at(2));
  VF h0 = l2, h1 = l3, h2 = LoadF(at(3)), h3 = LoadF(at(4));
  VF a0 = w0 * l1, a1 = w0 * l2, a2 = w0 * l3, a3 = w0 * h2;
  for (int k = 1;; ++k) {  // l_j = value at j - k, h_j = value at j + k
    const VF wk = Splat(tp.w[k]);
    a0 = Fma(l0 + h0, wk, a0);
    a1 = Fma(l1 + h1, wk, a1);
    a2 = Fma(l2 + h2, wk, a2);
    a3 = Fma(l3 + h3, wk, a3);
    if (k == S) break;
    l3 = l2;
    l2 = l1;
    l1 = l0;
    l0 = LoadF(at(-k - 1));
    h0 = h1;
    h1 = h2;
    h2 = h3;
    h3 = LoadF(at(4 + k));
  }
  return {a0, a1, a2, a3};
}

// The same for two runs at once, the second's values `second` floats after the first's,
// for more independent chains of multiply-adds in flight.
template <class At>
inline void SumFourTwice(const Taps& tp, At at, ptrdiff_t second, Sums4& x, Sums4& y) {
  const int S = tp.S;
  const VF w0 = Splat(tp.w[0]);
  VF l0 = LoadF(at(-1)), l1 = LoadF(at(0)), l2 = LoadF(at(1)), l3 = LoadF(at(2));
  VF h0 = l2, h1 = l3, h2 = LoadF(at(3)), h3 = LoadF(at(4));
  VF m0 = LoadF(at(-1) + second), m1 = LoadF(at(0) + second), m2 = LoadF(at(1) + second),
     m3 = LoadF(at(2) + second);
  VF g0 = m2, g1 = m3, g2 = LoadF(at(3) + second), g3 = LoadF(at(4) + second);
  VF a0 = w0 * l1, a1 = w0 * l2, a2 = w0 * l3, a3 = w0 * h2;
  VF b0 = w0 * m1, b1 = w0 * m2, b2 = w0 * m3, b3 = w0 * g2;
  for (int k = 1;; ++k) {
    const VF wk = Splat(tp.w[k]);
    a0 = Fma(l0 + h0, wk, a0);
    b0 = Fma(m0 + g0, wk, b0);
    a1 = Fma(l1 + h1, wk, a1);
    b1 = Fma(m1 + g1, wk, b1);
    a2 = Fma(l2 + h2, wk, a2);
    b2 = Fma(m2 + g2, wk, b2);
    a3 = Fma(l3 + h3, wk, a3);
    b3 = Fma(m3 + g3, wk, b3);
    if (k == S) break;
    l3 = l2;
    l2 = l1;
    l1 = l0;
    m3 = m2;
    m2 = m1;
    m1 = m0;
    const float* lo = at(-k - 1);
    l0 = LoadF(lo);
    m0 = LoadF(lo + second);
    h0 = h1;
    h1 = h2;
    h2 = h3;
    g0 = g1;
    g1 = g2;
    g2 = g3;
    const float* hi = at(4 + k);
    h3 = LoadF(hi);
    g3 = LoadF(hi + second);
  }
  x = {a0, a1, a2, a3};
  y = {b0, b1, b2, b3};
}

inline VF Nth(const Sums4& s, int j) { return j == 0 ? s.s0 : j == 1 ? s.s1 : j == 2 ? s.s2 : s.s3; }

// --- Rows ---------------------------------------------------------------------------
//
// The rows go in bands of 16, transposed so that the 16 rows are the lanes: the
// horizontal pass then slides along a band exactly as the column pass slides down a
// strip. C values per pixel (3 channels, or the first byte of a mask), each channel
// convolved with its own values C positions apart.

constexpr int kBand = 16;
constexpr int kChunk = 960;  // positions per chunk: a multiple of 8 * 3 and of 16

inline VB ZipLo(VB a, VB b) {
  return __builtin_shufflevector(a, b, 0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23);
}
inline VB ZipHi(VB a, VB b) {
  return __builtin_shufflevector(a, b, 8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31);
}

// m[r] holds row r of a 16 x 16 block of bytes; afterwards m[c] holds column c. Four
// rounds of pairing rows i and i + 8 into rows 2i and 2i + 1.
inline void Transpose16(VB m[16]) {
  for (int round = 0; round < 4; ++round) {
    VB t[16];
    for (int i = 0; i < 8; ++i) {
      t[2 * i] = ZipLo(m[i], m[i + 8]);
      t[2 * i + 1] = ZipHi(m[i], m[i + 8]);
    }
    for (int i = 0; i < 16; ++i) m[i] = t[i];
  }
}

template <int C>
void BlurRows(TBitmap& bmp, const TRect& r, const Taps& tp) {
  const int n = r.Width(), h = r.Height(), S = tp.S, m = n * C;
  const int pad = (S + 8) * C;  // repeated edge values on each side: the taps and the last groups' reach
  const int span = (m + 2 * pad + 15) / 16 * 16;
  const ptrdiff_t left = ptrdiff_t(r.Left) * 3;
  const int bands = (h + kBand - 1) / kBand;
  ParallelPieces(0, bands, 4, int64_t(n) * h * (2 * S + 1) / 8, [&](int b0, int b1) {
    std::vector<uint8_t> tb(size_t(span + 16) * kBand);               // position q at (q + pad) * 16
    std::vector<uint8_t> values(C == 1 ? size_t(kBand) * (m + 16) : 0);  // a mask's first bytes
    std::vector<float> tf(size_t(kChunk + 2 * pad) * kBand);
    std::vector<uint8_t> ob(size_t(kChunk + 16) * kBand);
    for (int band = b0; band < b1; ++band) {
      const int y0 = r.Top + band * kBand, rows = std::min(kBand, r.Bottom - y0);
      const uint8_t* src[kBand];
      for (int l = 0; l < kBand; ++l) {
        const uint8_t* row = bmp.ScanLine(y0 + std::min(l, rows - 1)) + left;
        if constexpr (C == 3) {
          src[l] = row;
        } else {
          uint8_t* v = &values[size_t(l) * size_t(m + 16)];
          ChannelPlane(row, n, 0, v);
          src[l] = v;
        }
      }
      // Transpose the band; the lanes past its last row repeat that row.
      for (int q = 0; q < m; q += 16) {
        VB blk[16];
        for (int l = 0; l < kBand; ++l) {
          if (q + 16 <= m) {
            blk[l] = LoadB(src[l] + q);
          } else {
            uint8_t part[16] = {};
            std::memcpy(part, src[l] + q, size_t(m - q));
            blk[l] = LoadB(part);
          }
        }
        Transpose16(blk);
        for (int i = 0; i < 16; ++i) StoreB(&tb[size_t(q + pad + i) * kBand], blk[i]);
      }
      // The run's end pixels repeated.
      for (int q = -pad; q < 0; ++q)
        std::memcpy(&tb[size_t(q + pad) * kBand], &tb[size_t(pad + ((q % C) + C) % C) * kBand], kBand);
      for (int q = m; q < m + pad; ++q)
        std::memcpy(&tb[size_t(q + pad) * kBand], &tb[size_t(pad + m - C + (q - m) % C) * kBand], kBand);
      for (int x0 = 0; x0 < m; x0 += kChunk) {
        const int x1 = std::min(m, x0 + kChunk);
        const int base = x0 - pad;  // position of tf's first entry
        for (int q = base; q < x1 + pad; ++q)
          StoreF(&tf[size_t(q - base) * kBand], ToFloat(LoadB(&tb[size_t(q + pad) * kBand])));
        // The four outputs x, x + C, x + 2C, x + 3C of a channel at a time, two such
        // groups together: the next channel's (C = 3) or the next four pixels' (C = 1).
        auto at = [&](int x) { return [&, x](int d) { return &tf[size_t(x + C * d - base) * kBand]; }; };
        auto emit = [&](int x, const Sums4& s) {
          for (int j = 0; j < 4; ++j) {
            const int q = x + C * j;
            if (q >= x1) break;
            Levels(tp, Nth(s, j), &ob[size_t(q - x0) * kBand], [&](int l) {
              return ExactLevel(tp, [&](int k) { return double(tf[size_t(q - C * k - base) * kBand + size_t(l)]); });
            });
          }
        };
        for (int g = x0; g < x1; g += 8 * C) {  // eight pixels: the groups at g and g + 4C
          Sums4 a, b;
          if constexpr (C == 3) {
            SumFourTwice(tp, at(g), kBand, a, b);  // channels 0 and 1 of the first four pixels
            emit(g, a);
            emit(g + 1, b);
            SumFourTwice(tp, at(g + 2), 10 * kBand, a, b);  // channel 2, then channel 0 of the next four
            emit(g + 2, a);
            if (g + 12 < x1) emit(g + 12, b);
            SumFourTwice(tp, at(g + 13), kBand, a, b);  // channels 1 and 2 of the next four
            if (g + 13 < x1) emit(g + 13, a);
            if (g + 14 < x1) emit(g + 14, b);
          } else {
            SumFourTwice(tp, at(g), 4 * kBand, a, b);
            emit(g, a);
            if (g + 4 < x1) emit(g + 4, b);
          }
        }
        // Back to rows.
        for (int q = x0; q < x1; q += 16) {
          VB blk[16];
          for (int i = 0; i < 16; ++i) blk[i] = LoadB(&ob[size_t(q - x0 + i) * kBand]);
          Transpose16(blk);
          const int cnt = std::min(16, x1 - q);
          for (int l = 0; l < rows; ++l) {
            uint8_t lv[16];
            StoreB(lv, blk[l]);
            if constexpr (C == 3) {
              uint8_t* row = bmp.ScanLine(y0 + l) + left;
              if (cnt == 16) StoreB(row + q, blk[l]);
              else std::memcpy(row + q, lv, size_t(cnt));
            } else {
              std::memcpy(&values[size_t(l) * size_t(m + 16) + size_t(q)], lv, size_t(cnt));
            }
          }
        }
      }
      // A mask's levels, gathered per row, go into its pixels' three bytes at once.
      if constexpr (C == 1)
        for (int l = 0; l < rows; ++l) SpreadPlane(&values[size_t(l) * size_t(m + 16)], n, bmp.ScanLine(y0 + l) + left);
    }
  });
}

// --- Columns ------------------------------------------------------------------------

// Values per strip: the ring of rows a strip needs stays near 256 KB (second level
// cache), and there are strips enough for every thread. Strips (and bands of rows)
// go to whichever thread is free: with other processes on the 8-core machine, the
// radius 30 blur of a 12 MP rectangle at 8 threads took 81 ms so against 104 ms in
// equal shares (four runs each, alternated).
int StripWidth(int values, int S) {
  const int ringBytes = (2 * S + 5) * int(sizeof(float));
  const int widest = std::max(64, (256 * 1024 / ringBytes) / 32 * 32);
  int strips = (values + widest - 1) / widest;
  const int threads = EngineThreads();
  if (threads > 1) strips = (strips + threads - 1) / threads * threads;
  return std::max(32, ((values + strips - 1) / strips + 31) / 32 * 32);
}

constexpr int kRows = 4;  // output rows made together

template <int C>
void BlurColumns(TBitmap& bmp, const TRect& r, const Taps& tp) {
  const int h = r.Height(), S = tp.S, m = r.Width() * C;
  const int kStrip = StripWidth(m, S);
  const int strips = (m + kStrip - 1) / kStrip;
  const int ring = 2 * S + kRows + 1;
  ParallelPieces(0, strips, 1, int64_t(r.Width()) * h * (2 * S + 1) / 8, [&](int s0, int s1) {
    std::vector<float> rows(size_t(ring) * kStrip, 0.0f);
    std::vector<const float*> at(size_t(2 * S + kRows + 1));
    // a mask's first bytes as read, and its levels of the rows made, a row at a time
    std::vector<uint8_t> plane(C == 1 ? size_t(kStrip) : 0), levels(C == 1 ? size_t(kRows) * kStrip : 0);
    for (int s = s0; s < s1; ++s) {
      const int v0 = s * kStrip, sw = std::min(kStrip, m - v0);
      int loaded = 0;
      for (int y = 0; y < h; y += kRows) {
        // the rows down to y + kRows - 1 + S, as they were before the pass
        for (const int need = std::min(h - 1, y + kRows - 1 + S); loaded <= need; ++loaded) {
          float* dst = &rows[size_t(loaded % ring) * kStrip];
          const uint8_t* src = bmp.ScanLine(r.Top + loaded) + ptrdiff_t(r.Left) * 3;
          // the strip walks down the bitmap: ask for the rows it reads next in advance
          if (loaded + 8 < h) {
            const uint8_t* ahead = bmp.ScanLine(r.Top + loaded + 8) + ptrdiff_t(r.Left) * 3 + (C == 3 ? v0 : 3 * v0);
            for (int b = 0; b < sw * (C == 3 ? 1 : 3); b += 64) __builtin_prefetch(ahead + b);
          }
          const uint8_t* bytes = src + v0;
          if constexpr (C == 1) {
            ChannelPlane(src + 3 * v0, sw, 0, plane.data());
            bytes = plane.data();
          }
          int i = 0;
          for (; i + kLanes <= sw; i += kLanes) StoreF(dst + i, ToFloat(LoadB(bytes + i)));
          for (; i < sw; ++i) dst[i] = bytes[i];
        }
        // at[S + d]: row y + d, the rect's first and last rows repeated beyond it
        for (int q = 0; q < 2 * S + kRows + 1; ++q)
          at[size_t(q)] = &rows[size_t(ClampInt(y - S + q, 0, h - 1) % ring) * kStrip];
        const float* const* row = at.data() + S;
        for (int v = 0; v < sw; v += 2 * kLanes) {
          Sums4 sums[2];
          SumFourTwice(tp, [&](int d) { return row[d] + v; }, kLanes, sums[0], sums[1]);
          for (int half = 0; half < 2; ++half) {
            const int vv = v + half * kLanes;
            if (vv >= sw) break;
            const int cnt = std::min(kLanes, sw - vv);
            for (int j = 0; j < kRows && y + j < h; ++j) {
              uint8_t lv[kLanes];
              Levels(tp, Nth(sums[half], j), lv, [&](int l) {
                return ExactLevel(tp, [&](int k) { return double(row[j - k][vv + l]); });
              });
              if constexpr (C == 3) {
                uint8_t* out = bmp.ScanLine(r.Top + y + j) + ptrdiff_t(r.Left) * 3 + v0 + vv;
                if (cnt == kLanes) StoreB(out, LoadB(lv));
                else std::memcpy(out, lv, size_t(cnt));
              } else {
                std::memcpy(&levels[size_t(j) * kStrip + size_t(vv)], lv, size_t(cnt));
              }
            }
          }
        }
        if constexpr (C == 1)
          for (int j = 0; j < kRows && y + j < h; ++j)
            SpreadPlane(&levels[size_t(j) * kStrip], sw, bmp.ScanLine(r.Top + y + j) + ptrdiff_t(r.Left + v0) * 3);
      }
    }
  });
}

// mask: the grey form, which snaps near-white levels.
template <int C>
void Blur(TBitmap& bmp, int radius, const TRect& rect, bool mask) {
  TKernel scratch;
  const Taps tp = MakeTaps(KernelFor(radius, scratch), mask);
  BlurRows<C>(bmp, rect, tp);
  BlurColumns<C>(bmp, rect, tp);
}

bool Clip(const TBitmap& bmp, int radius, TRect& rect) {
  if (radius < 1 || bmp.PixelFormat() != pf24bit) return false;
  ClipRectToBitmap(rect, bmp);
  return !rect.IsEmpty();
}

}  // namespace

void GaussianBlurRect(TBitmap& bmp, int radius, TRect rect) {
  if (!Clip(bmp, radius, rect)) return;
  // Three equal channels blur alike: a grey picture (a mask, most often) is blurred
  // once, through its first bytes, and the levels written to all three. The test reads
  // the rect once and stops at the first coloured pixel.
  if (IsGreyRect(bmp, rect)) Blur<1>(bmp, radius, rect, false);
  else Blur<3>(bmp, radius, rect, false);
}

void GaussianBlurMaskRect(TBitmap& bmp, int radius, TRect rect) {
  if (Clip(bmp, radius, rect)) Blur<1>(bmp, radius, rect, true);
}

void GaussianBlur(TBitmap& bmp, const TGaussianBlurParams& params, TRect rect) {
  if (InHardRange(params)) GaussianBlurRect(bmp, params.Radius, rect);
}

}  // namespace qm
