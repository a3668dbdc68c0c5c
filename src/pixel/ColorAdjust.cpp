#include "pixel/ColorAdjust.h"

#if defined(__AVX512VBMI__) && defined(__AVX512BW__) && defined(__AVX512VL__)
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12's AVX-512 intrinsics start from an undefined vector it then warns about.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <immintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "pixel/Chassis.h"
#include "pixel/ImgUtils.h"
#include "pixel/Planes.h"
#include "platform/core/Colors.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"
#include "platform/core/Random.h"

namespace qm {
namespace {

using Table = uint8_t[256];

// Clamps a 64-bit value to a byte: table entries are built in 64 bits so that any
// percent, however large, cannot overflow.
inline uint8_t ClampByte64(int64_t v) { return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v)); }

inline bool Is24(const TBitmap& b) { return b.PixelFormat() == pf24bit && !b.Empty(); }

// The clipped rect, or false when nothing is left to do.
inline bool Clip(const TBitmap& bmp, TRect& rect) {
  if (!Is24(bmp)) return false;
  ClipRectToBitmap(rect, bmp);
  return !rect.IsEmpty();
}

inline uint8_t* RowAt(TBitmap& bmp, int y, int x) { return bmp.ScanLine(y) + ptrdiff_t(x) * 3; }
inline const uint8_t* RowAt(const TBitmap& bmp, int y, int x) { return bmp.ScanLine(y) + ptrdiff_t(x) * 3; }

void LightenDarkenTable(int p, Table t) {
  for (int v = 0; v < 256; ++v)
    t[v] = ClampByte64(v + (p > 0 ? int64_t(255 - v) * p / 100 : int64_t(v) * p / 100));
}

void ContrastTable(int p, Table t) {
  for (int v = 0; v < 256; ++v) t[v] = ClampByte64(v + int64_t(v - 128) * p / 100);
}

// A gamma that leaves its channel as it is: 0 and 1 by definition, and the values a
// power cannot sensibly take (negative, infinite or not a number).
inline bool NeutralGamma(double g) { return !(g > 0.0) || g == 1.0 || !std::isfinite(g); }

void GammaTable(double g, Table t) {
  if (NeutralGamma(g)) {
    for (int v = 0; v < 256; ++v) t[v] = uint8_t(v);
    return;
  }
  const double e = 1.0 / g;
  for (int v = 0; v < 256; ++v) {
    const double x = 255.0 * std::pow(v / 255.0, e);
    t[v] = ClampByte64(Trunc(x));
  }
}

// --- Integer HSV, fused for the per-pixel hue kernels ---------------------------------
// Gives exactly what RGBToHSV and HSVToRGB give (checked over every colour in the
// tests) without their two divisions by a pixel-dependent value: floor(n / d) for
// n <= 65025 and d <= 255 is (n * ceil(2^32 / d)) >> 32, since the excess of the
// reciprocal, under d / 2^32, cannot lift n / d over the next integer at that range.
struct Reciprocals {
  uint64_t r[256];
  Reciprocals() {
    r[0] = 0;
    for (uint64_t d = 1; d < 256; ++d) r[d] = ((uint64_t(1) << 32) + d - 1) / d;
  }
};
const Reciprocals kRecip;

inline int DivSmall(int n, int d) { return int((uint64_t(n) * kRecip.r[d]) >> 32); }

struct Hsv {
  int h, s, v;
};

inline Hsv ToHsv(int b, int g, int r) {
  const int V = std::max({r, g, b});
  const int d = V - std::min({r, g, b});
  if (d == 0) return {0, 0, V};  // grey; also V = 0
  const int s = DivSmall(d * 255, V);
  int num, base;
  if (r == V) num = g - b, base = 0;
  else if (g == V) num = b - r, base = 120;
  else num = r - g, base = 240;
  const int q = DivSmall(std::abs(num) * 60, d);
  int h = (num < 0 ? -q : q) + base;
  if (h < 0) h += 360;
  return {h, s, V};
}

// hue 0..359
inline void FromHsv(int hue, int S, int V, uint8_t* px) {
  if (S == 0 || V == 0) {
    px[0] = px[1] = px[2] = uint8_t(V);
    return;
  }
  // hue div 60 by a multiplication, exact for hue < 360
  const int sector = (hue * 1093) >> 16;
  const int f = hue - sector * 60;
  const int vs = V * S;
  const int p = V - vs / 255;
  const int q = V - vs * f / 15300;
  const int t = V - vs * (60 - f) / 15300;
  int r, g, b;
  switch (sector) {
    case 0: r = V, g = t, b = p; break;
    case 1: r = q, g = V, b = p; break;
    case 2: r = p, g = V, b = t; break;
    case 3: r = p, g = q, b = V; break;
    case 4: r = t, g = p, b = V; break;
    default: r = V, g = p, b = q; break;
  }
  px[0] = uint8_t(b);
  px[1] = uint8_t(g);
  px[2] = uint8_t(r);
}

inline bool Within(const uint8_t* p, const uint8_t* c, int tol) {
  return std::abs(int(p[0]) - c[0]) <= tol && std::abs(int(p[1]) - c[1]) <= tol && std::abs(int(p[2]) - c[2]) <= tol;
}


// How a hue kernel picks the new hue: the old one shifted (wrapping once; the shift is
// 0..359) or a fixed one (0..359).
struct HueRule {
  bool set;
  int value;
  int operator()(int h) const {
    if (set) return value;
    h += value;
    return h > 359 ? h - 360 : h;
  }
};

#if defined(__AVX512VBMI__) && defined(__AVX512BW__) && defined(__AVX512VL__)
// Sixteen pixels at a time: the same integer HSV round trip in 32-bit lanes. The
// divisions go through single floats, which is exact here: every dividend is below
// 2^24 and every quotient below 256, so the float quotient stays within 2^-16 of the
// true one while a quotient that is not whole sits at least 1/255 (1/15300 for the
// sector terms) from the next integer; truncating it gives the integer quotient.
constexpr __mmask64 k48Bytes = 0xFFFFFFFFFFFFull;

inline __m512i DivFloat(__m512i num, __m512i den, __mmask16 ok) {
  return _mm512_maskz_cvttps_epi32(ok, _mm512_maskz_div_ps(ok, _mm512_cvtepi32_ps(num), _mm512_cvtepi32_ps(den)));
}

// Sixteen B, G, R pixels to three planes of 32-bit lanes, and back.
inline void Split3(const uint8_t* p, __m512i& B, __m512i& G, __m512i& R) {
  static const __m512i kSplit = [] {
    alignas(64) uint8_t idx[64] = {};
    for (int j = 0; j < 16; ++j) idx[j] = uint8_t(3 * j), idx[16 + j] = uint8_t(3 * j + 1), idx[32 + j] = uint8_t(3 * j + 2);
    return _mm512_load_si512(idx);
  }();
  const __m512i planes = _mm512_permutexvar_epi8(kSplit, _mm512_maskz_loadu_epi8(k48Bytes, p));
  B = _mm512_cvtepu8_epi32(_mm512_castsi512_si128(planes));
  G = _mm512_cvtepu8_epi32(_mm512_extracti32x4_epi32(planes, 1));
  R = _mm512_cvtepu8_epi32(_mm512_extracti32x4_epi32(planes, 2));
}

// Lanes must hold 0..255.
inline void Join3(uint8_t* p, __m512i B, __m512i G, __m512i R) {
  static const __m512i kJoin = [] {
    alignas(64) uint8_t idx[64] = {};
    for (int j = 0; j < 16; ++j) idx[3 * j] = uint8_t(j), idx[3 * j + 1] = uint8_t(16 + j), idx[3 * j + 2] = uint8_t(32 + j);
    return _mm512_load_si512(idx);
  }();
  __m512i planes = _mm512_castsi128_si512(_mm512_cvtepi32_epi8(B));
  planes = _mm512_inserti32x4(planes, _mm512_cvtepi32_epi8(G), 1);
  planes = _mm512_inserti32x4(planes, _mm512_cvtepi32_epi8(R), 2);
  _mm512_mask_storeu_epi8(p, k48Bytes, _mm512_permutexvar_epi8(kJoin, planes));
}

void HueLanes(uint8_t* p, HueRule rule, const uint8_t* key, int tol) {
  __m512i B, G, R;
  Split3(p, B, G, R);
  __mmask16 sel = 0xFFFF;
  if (key) {
    const __m512i T = _mm512_set1_epi32(tol);
    sel = _mm512_cmple_epi32_mask(_mm512_abs_epi32(_mm512_sub_epi32(B, _mm512_set1_epi32(key[0]))), T) &
          _mm512_cmple_epi32_mask(_mm512_abs_epi32(_mm512_sub_epi32(G, _mm512_set1_epi32(key[1]))), T) &
          _mm512_cmple_epi32_mask(_mm512_abs_epi32(_mm512_sub_epi32(R, _mm512_set1_epi32(key[2]))), T);
    if (!sel) return;
  }
  const __m512i zero = _mm512_setzero_si512();
  // RGB to HSV
  const __m512i V = _mm512_max_epi32(_mm512_max_epi32(R, G), B);
  const __m512i d = _mm512_sub_epi32(V, _mm512_min_epi32(_mm512_min_epi32(R, G), B));
  const __m512i S = DivFloat(_mm512_mullo_epi32(d, _mm512_set1_epi32(255)), V, _mm512_cmpgt_epi32_mask(V, zero));
  const __mmask16 rmax = _mm512_cmpeq_epi32_mask(R, V);
  const __mmask16 gmax = _mm512_cmpeq_epi32_mask(G, V) & ~rmax;
  __m512i num = _mm512_mask_mov_epi32(_mm512_sub_epi32(R, G), gmax, _mm512_sub_epi32(B, R));
  num = _mm512_mask_mov_epi32(num, rmax, _mm512_sub_epi32(G, B));
  __m512i base = _mm512_mask_mov_epi32(_mm512_set1_epi32(240), gmax, _mm512_set1_epi32(120));
  base = _mm512_mask_mov_epi32(base, rmax, zero);
  const __m512i q = DivFloat(_mm512_mullo_epi32(_mm512_abs_epi32(num), _mm512_set1_epi32(60)), d,
                             _mm512_cmpgt_epi32_mask(d, zero));
  __m512i h = _mm512_add_epi32(_mm512_mask_sub_epi32(q, _mm512_cmplt_epi32_mask(num, zero), zero, q), base);
  h = _mm512_mask_add_epi32(h, _mm512_cmplt_epi32_mask(h, zero), h, _mm512_set1_epi32(360));
  // the new hue
  if (rule.set) {
    h = _mm512_set1_epi32(rule.value);
  } else {
    h = _mm512_add_epi32(h, _mm512_set1_epi32(rule.value));
    h = _mm512_mask_sub_epi32(h, _mm512_cmpgt_epi32_mask(h, _mm512_set1_epi32(359)), h, _mm512_set1_epi32(360));
  }
  // HSV to RGB (a grey, S = 0, gives p = q = t = V, and V = 0 gives 0: no special case)
  const __m512i sector = _mm512_srli_epi32(_mm512_mullo_epi32(h, _mm512_set1_epi32(1093)), 16);
  const __m512i f = _mm512_sub_epi32(h, _mm512_mullo_epi32(sector, _mm512_set1_epi32(60)));
  const __m512i vs = _mm512_mullo_epi32(V, S);
  // floor(vs / 255) = (vs * 32897) >> 23 for vs <= 65535
  const __m512i P = _mm512_sub_epi32(V, _mm512_srli_epi32(_mm512_mullo_epi32(vs, _mm512_set1_epi32(32897)), 23));
  const __m512i k15300 = _mm512_set1_epi32(15300);
  const __m512i Q = _mm512_sub_epi32(V, DivFloat(_mm512_mullo_epi32(vs, f), k15300, 0xFFFF));
  const __m512i Tt =
      _mm512_sub_epi32(V, DivFloat(_mm512_mullo_epi32(vs, _mm512_sub_epi32(_mm512_set1_epi32(60), f)), k15300, 0xFFFF));
  __mmask16 sec[6];
  for (int k = 0; k < 6; ++k) sec[k] = _mm512_cmpeq_epi32_mask(sector, _mm512_set1_epi32(k));
  __m512i r = _mm512_mask_mov_epi32(V, sec[1], Q);
  r = _mm512_mask_mov_epi32(r, sec[2] | sec[3], P);
  r = _mm512_mask_mov_epi32(r, sec[4], Tt);
  __m512i g = _mm512_mask_mov_epi32(P, sec[0], Tt);
  g = _mm512_mask_mov_epi32(g, sec[1] | sec[2], V);
  g = _mm512_mask_mov_epi32(g, sec[3], Q);
  __m512i b = _mm512_mask_mov_epi32(V, sec[0] | sec[1], P);
  b = _mm512_mask_mov_epi32(b, sec[2], Tt);
  b = _mm512_mask_mov_epi32(b, sec[5], Q);
  b = _mm512_mask_mov_epi32(B, sel, b);
  g = _mm512_mask_mov_epi32(G, sel, g);
  r = _mm512_mask_mov_epi32(R, sel, r);
  Join3(p, b, g, r);
}

// c + trunc((c - L) * p / 100), clamped, for sixteen pixels; |p| <= 25600 so that the
// product stays below 2^23 and the float quotient truncates exactly (see above).
void SaturationLanes(uint8_t* p, const int* pct) {
  __m512i C[3];
  Split3(p, C[0], C[1], C[2]);
  const __m512i L = _mm512_srli_epi32(
      _mm512_add_epi32(_mm512_add_epi32(_mm512_mullo_epi32(C[0], _mm512_set1_epi32(kLumaBlue)),
                                        _mm512_mullo_epi32(C[1], _mm512_set1_epi32(kLumaGreen))),
                       _mm512_mullo_epi32(C[2], _mm512_set1_epi32(kLumaRed))),
      8);
  const __m512 hundred = _mm512_set1_ps(100.0f);
  for (int k = 0; k < 3; ++k) {
    const __m512i t = _mm512_mullo_epi32(_mm512_sub_epi32(C[k], L), _mm512_set1_epi32(pct[k]));
    const __m512i off = _mm512_cvttps_epi32(_mm512_div_ps(_mm512_cvtepi32_ps(t), hundred));
    C[k] = _mm512_min_epi32(_mm512_max_epi32(_mm512_add_epi32(C[k], off), _mm512_setzero_si512()),
                            _mm512_set1_epi32(255));
  }
  Join3(p, C[0], C[1], C[2]);
}

// Sixty-four pixels (three whole vectors) to the dark colour, where the luminance is at
// or below the level, or to the light one. Only plain loads and stores: on the 8-core
// machine the masked 48-byte loads and stores of the sixteen-pixel split above cost
// more than the whole rest of a threshold (24 MP on one thread: 27 ms that way, 31 ms
// pixel by pixel, 3.5 ms this way).
struct ThresholdBlocks {
  __m512i pickA[3], pickB[3], spread[3];  // byte indices: planes out of the block, pixels into bytes
  __mmask64 late[3];                      // the plane's pixels that lie in the last two vectors
  __m512i dark[3], light[3];              // the colours as the three vectors' bytes
  ThresholdBlocks(const TPixel24& d, const TPixel24& l) {
    alignas(64) uint8_t a[64], b[64], sp[64], dk[64], lt[64];
    const uint8_t dc[3] = {d.B, d.G, d.R}, lc[3] = {l.B, l.G, l.R};
    for (int c = 0; c < 3; ++c) {
      late[c] = 0;
      for (int i = 0; i < 64; ++i) {
        const int at = 3 * i + c;  // in the block
        a[i] = uint8_t(at < 128 ? at : 0);
        b[i] = uint8_t(at >= 128 ? at - 64 : 0);
        if (at >= 128) late[c] |= __mmask64(1) << i;
      }
      for (int j = 0; j < 64; ++j) {
        sp[j] = uint8_t((64 * c + j) / 3);
        dk[j] = dc[(64 * c + j) % 3];
        lt[j] = lc[(64 * c + j) % 3];
      }
      pickA[c] = _mm512_load_si512(a);
      pickB[c] = _mm512_load_si512(b);
      spread[c] = _mm512_load_si512(sp);
      dark[c] = _mm512_load_si512(dk);
      light[c] = _mm512_load_si512(lt);
    }
  }
  void Block(uint8_t* p, int level) const {
    const __m512i v0 = _mm512_loadu_si512(p), v1 = _mm512_loadu_si512(p + 64), v2 = _mm512_loadu_si512(p + 128);
    // The luminance in 16-bit lanes: at most 256 * 255, which they hold.
    static constexpr int16_t kWeight[3] = {kLumaBlue, kLumaGreen, kLumaRed};
    __m512i lo = _mm512_setzero_si512(), hi = _mm512_setzero_si512();
    for (int c = 0; c < 3; ++c) {
      const __m512i plane = _mm512_mask_blend_epi8(late[c], _mm512_permutex2var_epi8(v0, pickA[c], v1),
                                                   _mm512_permutex2var_epi8(v1, pickB[c], v2));
      const __m512i w = _mm512_set1_epi16(kWeight[c]);
      lo = _mm512_add_epi16(lo, _mm512_mullo_epi16(_mm512_cvtepu8_epi16(_mm512_castsi512_si256(plane)), w));
      hi = _mm512_add_epi16(hi, _mm512_mullo_epi16(_mm512_cvtepu8_epi16(_mm512_extracti64x4_epi64(plane, 1)), w));
    }
    const __m512i lv = _mm512_set1_epi16(int16_t(level));
    const __mmask64 isDark = _mm512_kunpackd(_mm512_cmple_epu16_mask(_mm512_srli_epi16(hi, 8), lv),
                                             _mm512_cmple_epu16_mask(_mm512_srli_epi16(lo, 8), lv));
    const __m512i flags = _mm512_movm_epi8(isDark);
    for (int c = 0; c < 3; ++c) {
      const __mmask64 bytes = _mm512_movepi8_mask(_mm512_permutexvar_epi8(spread[c], flags));
      _mm512_storeu_si512(p + 64 * c, _mm512_mask_blend_epi8(bytes, light[c], dark[c]));
    }
  }
};

// Colour noise over sixteen bytes per step: lane j holds the state of draw i + j + 1
// and steps sixteen draws at a time (lane); Random(amount) is the high half of the
// 64-bit product, made for the even lanes and the odd ones apart.
void ColorNoiseLanes(uint8_t* p, int64_t& i, int64_t draws, uint32_t* states, int amount, int half,
                     const TRandomJump& lane) {
  __m512i s = _mm512_loadu_si512(states);
  const __m512i n = _mm512_set1_epi32(amount), h = _mm512_set1_epi32(half);
  const __m512i mul = _mm512_set1_epi32(int(lane.Multiplier)), inc = _mm512_set1_epi32(int(lane.Increment));
  const __m512i zero = _mm512_setzero_si512(), top = _mm512_set1_epi32(255);
  for (; i + 16 <= draws; i += 16) {
    const __m512i even = _mm512_srli_epi64(_mm512_mul_epu32(s, n), 32);
    const __m512i odd = _mm512_mul_epu32(_mm512_srli_epi64(s, 32), n);
    const __m512i offset = _mm512_sub_epi32(_mm512_mask_blend_epi32(0xAAAA, even, odd), h);
    const __m512i v = _mm512_add_epi32(_mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i))),
                                       offset);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i),
                     _mm512_cvtepi32_epi8(_mm512_min_epi32(_mm512_max_epi32(v, zero), top)));
    s = _mm512_add_epi32(_mm512_mullo_epi32(s, mul), inc);
  }
  _mm512_storeu_si512(states, s);
}
constexpr int kHueLanes = 16;
#else
constexpr int kHueLanes = 0;
inline void HueLanes(uint8_t*, HueRule, const uint8_t*, int) {}
inline void SaturationLanes(uint8_t*, const int*) {}
struct ThresholdBlocks {
  ThresholdBlocks(const TPixel24&, const TPixel24&) {}
  void Block(uint8_t*, int) const {}
};
inline void ColorNoiseLanes(uint8_t*, int64_t&, int64_t, uint32_t*, int, int, const TRandomJump&) {}
#endif

// The hue kernels' row: pixels within tol of key (all of them without a key) take the
// rule's hue and keep their saturation and value.
void HueRow(uint8_t* px, int n, HueRule rule, const uint8_t* key, int tol) {
  int i = 0;
  if (kHueLanes)
    for (; i + kHueLanes <= n; i += kHueLanes) HueLanes(px + ptrdiff_t(i) * 3, rule, key, tol);
  for (uint8_t* p = px + ptrdiff_t(i) * 3; i < n; ++i, p += 3) {
    if (key && !Within(p, key, tol)) continue;
    const Hsv c = ToHsv(p[0], p[1], p[2]);
    FromHsv(rule(c.h), c.s, c.v, p);
  }
}

// The saturation rule of three percents (blue, green, red order inside), for one row.
// Beyond +-25600 % every channel that differs from L at all is pushed past 0 or 255,
// so the percents are cut there; then off[k][255 + c - L] = trunc((c - L) * p_k / 100),
// itself cut to +-512 (as far past 0..255 as it matters) to fit 16 bits.
struct SaturationRule {
  int p[3];
  int16_t off[3][511];
  SaturationRule(int red, int green, int blue)
      : p{std::clamp(blue, -25600, 25600), std::clamp(green, -25600, 25600), std::clamp(red, -25600, 25600)} {
    for (int k = 0; k < 3; ++k)
      for (int d = -255; d <= 255; ++d) off[k][d + 255] = int16_t(std::clamp(d * p[k] / 100, -512, 512));
  }
  void Row(uint8_t* px, int n) const {
    int i = 0;
    if (kHueLanes)
      for (; i + kHueLanes <= n; i += kHueLanes, px += 3 * kHueLanes) SaturationLanes(px, p);
    for (; i < n; ++i, px += 3) {
      const int L = Luminance(px[0], px[1], px[2]);
      for (int k = 0; k < 3; ++k) px[k] = ClampByte(px[k] + off[k][px[k] - L + 255]);
    }
  }
};

}  // namespace

// --- Tables ------------------------------------------------------------------------------

void LightenDarkenRect(TBitmap& bmp, int percent, TRect rect) {
  if (percent == 0) return;
  Table t;
  LightenDarkenTable(percent, t);
  ApplyTable(bmp, rect, t);
}

void LightenDarkenChannelsRect(TBitmap& bmp, int red, int green, int blue, TRect rect) {
  if (red == 0 && green == 0 && blue == 0) return;
  Table r, g, b;
  LightenDarkenTable(red, r);
  LightenDarkenTable(green, g);
  LightenDarkenTable(blue, b);
  ApplyTables(bmp, rect, b, g, r);
}

void ContrastRect(TBitmap& bmp, int percent, TRect rect) {
  if (percent == 0) return;
  ContrastChannelsRect(bmp, percent, percent, percent, rect);
}

void ContrastChannelsRect(TBitmap& bmp, int red, int green, int blue, TRect rect) {
  if (red == 0 && green == 0 && blue == 0) return;
  Table r, g, b;
  ContrastTable(red, r);
  ContrastTable(green, g);
  ContrastTable(blue, b);
  ApplyTables(bmp, rect, b, g, r);
}

namespace {
// False (and no table) where ContrastInRangeRect changes nothing.
bool ContrastInRangeTable(int percent, int low, int high, int pivot, Table t) {
  if (percent == 0 || pivot < 0 || pivot > 255 || low < 0 || high > 255 || low >= high) return false;
  for (int v = 0; v < 256; ++v)
    t[v] = v >= low && v <= high ? ClampByte64(v + int64_t(v - pivot) * percent / 100) : uint8_t(v);
  return true;
}
}  // namespace

void ContrastInRangeRect(TBitmap& bmp, int percent, int low, int high, int pivot, TRect rect) {
  Table t;
  if (ContrastInRangeTable(percent, low, high, pivot, t)) ApplyTable(bmp, rect, t);
}

namespace {
void TintTables(TColor color, int percent, uint8_t t[3][256]) {
  const TColor c = ColorToRGB(color);
  const int ch[3] = {GetBValue(c), GetGValue(c), GetRValue(c)};
  for (int k = 0; k < 3; ++k)
    for (int v = 0; v < 256; ++v) t[k][v] = ClampByte(v + (ch[k] - v) * percent / 100);
}
}  // namespace

void TintRect(TBitmap& bmp, TColor color, int percent, TRect rect) {
  if (percent == 0 || percent < -100 || percent > 100) return;
  uint8_t t[3][256];
  TintTables(color, percent, t);
  ApplyTables(bmp, rect, t[0], t[1], t[2]);
}

void TintRectStripes(TBitmap& bmp, int bandHeight, int gap, TColor color, int percent, TRect rect) {
  // A band height below 1 or a negative gap would never leave the rect.
  if (percent < 1 || percent > 100 || bandHeight < 1 || gap < 0) return;
  if (!Clip(bmp, rect)) return;
  uint8_t t[3][256];
  TintTables(color, percent, t);
  const int64_t period = int64_t(bandHeight) + gap;
  for (int64_t top = int64_t(rect.Top) + gap; top < rect.Bottom; top += period) {
    const int bottom = int(std::min<int64_t>(top + bandHeight, rect.Bottom));
    ApplyTables(bmp, TRect{rect.Left, int(top), rect.Right, bottom}, t[0], t[1], t[2]);
  }
}

void GammaRect(TBitmap& bmp, TRect rect, double gamma) { GammaChannelsRect(bmp, rect, gamma, gamma, gamma); }

void GammaChannelsRect(TBitmap& bmp, TRect rect, double red, double green, double blue) {
  if (NeutralGamma(red) && NeutralGamma(green) && NeutralGamma(blue)) return;
  Table r, g, b;
  GammaTable(red, r);
  GammaTable(green, g);
  GammaTable(blue, b);
  ApplyTables(bmp, rect, b, g, r);
}

void PosterizeRect(TBitmap& bmp, int step, TRect rect) {
  if (step < 2) return;
  Table t;
  for (int v = 0; v < 256; ++v) t[v] = v < step ? 0 : v > 255 - step ? 255 : uint8_t(v / step * step);
  ApplyTable(bmp, rect, t);
}

void InvertRect(TBitmap& bmp, TRect rect) {
  ForEachRow(
      bmp, rect,
      [](uint8_t* p, int n) {
        const int nb = 3 * n;
        for (int i = 0; i < nb; ++i) p[i] = uint8_t(255 - p[i]);
      },
      kMemoryBoundThreads);
}

// --- Per pixel ---------------------------------------------------------------------------

void SaturationRect(TBitmap& bmp, int percent, TRect rect) {
  if (percent == 0) return;
  SaturationChannelsRect(bmp, percent, percent, percent, rect);
}

void SaturationChannelsRect(TBitmap& bmp, int red, int green, int blue, TRect rect) {
  if (red == 0 && green == 0 && blue == 0) return;
  const SaturationRule rule(red, green, blue);
  ForEachRow(bmp, rect, [&](uint8_t* px, int n) { rule.Row(px, n); });
}

void ThresholdRect(TBitmap& bmp, int level, TColor dark, TColor light, TRect rect) {
  if (level < 1 || level > 254) return;
  const TPixel24 d = ColorToPixel24(dark), l = ColorToPixel24(light);
  const ThresholdBlocks blocks(d, l);
  ForEachRow(bmp, rect, [&](uint8_t* px, int n) {
    int i = 0;
    if (kHueLanes)
      for (; i + 64 <= n; i += 64, px += 192) blocks.Block(px, level);
    for (; i < n; ++i, px += 3) {
      const TPixel24& c = Luminance(px[0], px[1], px[2]) <= level ? d : l;
      px[0] = c.B;
      px[1] = c.G;
      px[2] = c.R;
    }
  });
}

void GrayscaleRect(TBitmap& bmp, TRect rect) {
  ForEachRow(bmp, rect, [](uint8_t* px, int n) {
    for (int i = 0; i < n; ++i, px += 3) px[0] = px[1] = px[2] = Luminance(px[0], px[1], px[2]);
  });
}

void ReplaceColorRect(TBitmap& bmp, TColor from, TColor to, int tolerance, TRect rect) {
  if (tolerance < 0) return;
  const TPixel24 f = ColorToPixel24(from), t = ColorToPixel24(to);
  // Each channel within [lo, lo + span] is one unsigned compare, v - lo <= span, and the
  // select is written without a branch: the loop vectorises over the packed pixels (24 MP
  // at one thread on the 8-core machine: 15 ms, against 27 ms with a branch per pixel).
  uint8_t lo[3], span[3];
  const uint8_t* c = &f.B;
  for (int k = 0; k < 3; ++k) {
    const int low = std::max(0, c[k] - tolerance), high = std::min(255, c[k] + tolerance);
    lo[k] = uint8_t(low);
    span[k] = uint8_t(high - low);
  }
  const uint8_t tb = t.B, tg = t.G, tr = t.R;
  ForEachRow(bmp, rect, [&](uint8_t* px, int n) {
    for (int i = 0; i < n; ++i) {
      uint8_t* p = px + 3 * i;
      const uint8_t b = p[0], g = p[1], r = p[2];
      const bool in = (uint8_t(b - lo[0]) <= span[0]) & (uint8_t(g - lo[1]) <= span[1]) & (uint8_t(r - lo[2]) <= span[2]);
      p[0] = in ? tb : b;
      p[1] = in ? tg : g;
      p[2] = in ? tr : r;
    }
  });
}

// --- Hue ---------------------------------------------------------------------------------

void ReplaceHueWithinToleranceRect(TBitmap& bmp, TColor a, TColor b, int tolerance, TRect rect) {
  if (tolerance < 0) return;
  const TPixel24 ca = ColorToPixel24(a), cb = ColorToPixel24(b);
  const HueRule rule{true, ToHsv(cb.B, cb.G, cb.R).h};
  ForEachRow(bmp, rect, [&](uint8_t* px, int n) { HueRow(px, n, rule, &ca.B, tolerance); });
}

void SetHueRect(TBitmap& bmp, int hue, TRect rect) {
  // Hues of a full turn or more used to fall outside every sector and give black.
  const HueRule rule{true, ModFloor(hue, 360)};
  ForEachRow(bmp, rect, [&](uint8_t* px, int n) { HueRow(px, n, rule, nullptr, 0); });
}

void SetHueFromColorRect(TBitmap& bmp, TColor color, TRect rect) {
  const TPixel24 c = ColorToPixel24(color);
  SetHueRect(bmp, ToHsv(c.B, c.G, c.R).h, rect);
}

void ShiftHueRect(TBitmap& bmp, int degrees, TRect rect) {
  if (degrees == 0) return;
  const HueRule rule{false, ModFloor(degrees, 360)};
  ForEachRow(bmp, rect, [&](uint8_t* px, int n) { HueRow(px, n, rule, nullptr, 0); });
}

// --- Random --------------------------------------------------------------------------------

namespace {
// Adds Random(amount) - amount div 2 to every byte (to the three bytes of a pixel for
// Mono), exactly as the one generator draws in row order from its state now, and
// leaves it where those draws would: each band of rows starts at its own state
// (TRandomJump), and within a row sixteen interleaved sequences each take every
// sixteenth draw, so neither the threads nor the lanes change a byte. (Drawn one after
// the other, the generator's step chain alone held a 24 MP colour noise to about 90 ms
// on one thread of the 8-core machine.)
template <bool Mono>
void AddNoiseRows(TBitmap& bmp, int amount, const TRect& rect) {
  constexpr int kLanes = 16;
  const uint32_t seed = GetRandSeed();
  const int64_t draws = Mono ? rect.Width() : 3 * int64_t(rect.Width());
  const int half = amount / 2;
  const TRandomJump step{1}, lane{kLanes}, row{uint64_t(draws)};
  ParallelRows(rect.Top, rect.Bottom, int64_t(rect.Width()) * rect.Height(), [&](int y0, int y1) {
    uint32_t rowState = TRandomJump(uint64_t(y0 - rect.Top) * uint64_t(draws))(seed);
    for (int y = y0; y < y1; ++y, rowState = row(rowState)) {
      uint8_t* p = RowAt(bmp, y, rect.Left);
      uint32_t s[kLanes];  // the states of draws i + 1 to i + kLanes
      s[0] = step(rowState);
      for (int j = 1; j < kLanes; ++j) s[j] = step(s[j - 1]);
      auto add = [&](int64_t i, uint32_t state) {
        const int o = RandomFromState(state, amount) - half;
        if (Mono) {
          uint8_t* px = p + 3 * i;
          px[0] = ClampByte(px[0] + o);
          px[1] = ClampByte(px[1] + o);
          px[2] = ClampByte(px[2] + o);
        } else {
          p[i] = ClampByte(p[i] + o);
        }
      };
      int64_t i = 0;
      if (!Mono && kHueLanes) ColorNoiseLanes(p, i, draws, s, amount, half, lane);
      for (; i + kLanes <= draws; i += kLanes)
        for (int j = 0; j < kLanes; ++j) {
          add(i + j, s[j]);
          s[j] = lane(s[j]);
        }
      for (int j = 0; i < draws; ++i, ++j) add(i, s[j]);
    }
  });
  RandSeed(TRandomJump(uint64_t(draws) * uint64_t(rect.Height()))(seed));
}
}  // namespace

void AddColorNoiseRect(TBitmap& bmp, int amount, TRect rect) {
  if (amount > 0 && Clip(bmp, rect)) AddNoiseRows<false>(bmp, amount, rect);
}

void AddMonoNoiseRect(TBitmap& bmp, int amount, TRect rect) {
  if (amount >= 1 && Clip(bmp, rect)) AddNoiseRows<true>(bmp, amount, rect);
}

void SpreadPixels(TBitmap& bmp, const TBitmap& source, int amount, int mode, TRect rect) {
  if (amount < 2 || !Is24(source) || source.Width() != bmp.Width() || source.Height() != bmp.Height()) return;
  if (&source == &bmp) return SpreadRect(bmp, amount, mode, rect);
  if (!Clip(bmp, rect)) return;
  const int64_t d = amount / 2;
  const int64_t maxX = bmp.Width() - 1, maxY = bmp.Height() - 1;
  // The draws of the one generator in row order (two a pixel in mode 0, else one),
  // each band of rows from the state the generator reaches there, and the generator
  // left where the whole pass leaves it: the rows go to several threads and the pixels
  // stay those of one pass.
  const uint32_t seed = GetRandSeed();
  const int64_t draws = int64_t(rect.Width()) * (mode == 0 ? 2 : 1);
  const TRandomJump step{1};
  ParallelRows(rect.Top, rect.Bottom, int64_t(rect.Width()) * rect.Height(), [&](int y0, int y1) {
    uint32_t state = TRandomJump(uint64_t(y0 - rect.Top) * uint64_t(draws))(seed);
    const auto next = [&] {
      state = step(state);
      return RandomFromState(state, amount);
    };
    for (int y = y0; y < y1; ++y) {
      uint8_t* p = RowAt(bmp, y, rect.Left);
      for (int x = rect.Left; x < rect.Right; ++x, p += 3) {
        int64_t sx = x, sy = y;
        switch (mode) {
          case 0:
            sx = x + next() - d;
            sy = y + next() - d;
            break;
          case 1: sx = x + next() - d; break;
          case 2: sy = y + next() - d; break;
          default:
            sx = x + next() - d;
            sy = y - (sx - x);
            break;
        }
        sx = std::clamp<int64_t>(sx, 0, maxX);
        sy = std::clamp<int64_t>(sy, 0, maxY);
        std::memcpy(p, RowAt(source, int(sy), int(sx)), 3);
      }
    }
  });
  RandSeed(TRandomJump(uint64_t(draws) * uint64_t(rect.Height()))(seed));
}

void SpreadRect(TBitmap& bmp, int amount, int mode, TRect rect) {
  if (amount < 2 || !Is24(bmp)) return;
  const TBitmap copy = bmp.Clone();
  SpreadPixels(bmp, copy, amount, mode, rect);
}

// --- Small neighbourhoods --------------------------------------------------------------------

void MosaicRect(TBitmap& bmp, int blockSize, TRect rect) {
  if (blockSize < 2 || !Clip(bmp, rect)) return;  // a block of one is its own anchor
  const int n = blockSize, w = rect.Width();
  // Every pixel takes its block's top-left pixel, the anchor, which never changes (it
  // may lie outside the rectangle, the blocks starting at the bitmap's origin). So the
  // rows of a block are all one row: the anchors' row spread across once, then copied
  // to each, which makes the pass a memory copy (24 MP in 5 px blocks at one thread:
  // 8 ms, against 42 ms for a copy of three bytes per pixel). Rows of blocks go to the
  // threads whole: no thread reads what another writes.
  const int first = rect.Top / n, last = (rect.Bottom - 1) / n + 1;
  ParallelPieces(first, last, std::max(1, 64 / n), int64_t(w) * rect.Height(), [&](int b0, int b1) {
    std::vector<uint8_t> spread(size_t(w) * 3);
    for (int b = b0; b < b1; ++b) {
      const uint8_t* anchors = bmp.ScanLine(b * n);
      uint8_t* d = spread.data();
      for (int x = rect.Left; x < rect.Right;) {
        const uint8_t* a = anchors + ptrdiff_t(x / n * n) * 3;
        for (const int end = std::min(x / n * n + n, rect.Right); x < end; ++x, d += 3) {
          d[0] = a[0];
          d[1] = a[1];
          d[2] = a[2];
        }
      }
      for (int y = std::max(b * n, rect.Top); y < std::min(b * n + n, rect.Bottom); ++y)
        std::memcpy(RowAt(bmp, y, rect.Left), spread.data(), spread.size());
    }
  });
}

void DitherBlackWhiteRect(TBitmap& bmp, TRect rect) {
  if (!Clip(bmp, rect)) return;
  const int n = rect.Width();
  // Grey levels of the current and the next row, with the error diffused so far; a
  // pixel's level is its luminance until error reaches it.
  std::vector<uint8_t> cur(static_cast<size_t>(n)), next(static_cast<size_t>(n));
  auto load = [&](int y, std::vector<uint8_t>& g) {
    const uint8_t* p = RowAt(bmp, y, rect.Left);
    for (int i = 0; i < n; ++i, p += 3) g[size_t(i)] = Luminance(p[0], p[1], p[2]);
  };
  load(rect.Top, cur);
  for (int y = rect.Top; y < rect.Bottom; ++y) {
    const bool below = y + 1 < rect.Bottom;
    if (below) load(y + 1, next);
    uint8_t* p = RowAt(bmp, y, rect.Left);
    for (int i = 0; i < n; ++i, p += 3) {
      const int old = cur[size_t(i)];
      const int nw = old < 128 ? 0 : 255;
      const int e = old - nw;
      p[0] = p[1] = p[2] = uint8_t(nw);
      if (i + 1 < n) cur[size_t(i) + 1] = ClampByte(cur[size_t(i) + 1] + e * 7 / 16);
      if (below) {
        if (i > 0) next[size_t(i) - 1] = ClampByte(next[size_t(i) - 1] + e * 3 / 16);
        next[size_t(i)] = ClampByte(next[size_t(i)] + e * 5 / 16);
        if (i + 1 < n) next[size_t(i) + 1] = ClampByte(next[size_t(i) + 1] + e / 16);
      }
    }
    cur.swap(next);
  }
}

namespace {
// The smoothing as the rows go, one pixel after the other: each pixel reads its
// neighbours as they are at its turn.
void SmoothSequential(TBitmap& bmp, int mode, const TRect& rect, int yFrom) {
  const int div = mode == 0 ? 4 : 2;
  for (int y = yFrom; y < rect.Bottom; ++y) {
    const int by = y + 1 < rect.Bottom ? y + 1 : (y > 0 ? y - 1 : y);
    uint8_t* row = bmp.ScanLine(y);
    const uint8_t* low = bmp.ScanLine(by);
    for (int x = rect.Left; x < rect.Right; ++x) {
      const int rx = x + 1 < rect.Right ? x + 1 : (x > 0 ? x - 1 : x);
      uint8_t* p = row + ptrdiff_t(x) * 3;
      const uint8_t* r = row + ptrdiff_t(rx) * 3;
      const uint8_t* b = low + ptrdiff_t(x) * 3;
      const uint8_t* br = low + ptrdiff_t(rx) * 3;
      for (int c = 0; c < 3; ++c) {
        int s = p[c];
        switch (mode) {
          case 0: s += r[c] + b[c] + br[c]; break;
          case 1: s += r[c]; break;
          case 2: s += b[c]; break;
          default: s += br[c]; break;
        }
        p[c] = uint8_t(s / div);
      }
    }
  }
}

// One row of a rect at least two pixels wide whose row below is unchanged: cur is the
// row as it was, low the row below; every pixel but the last reads its right
// neighbour unchanged, the last reads its left neighbour, already smoothed. One loop
// per mode, the divisor a constant, so that the rows vectorise.
template <int kMode>
inline int SmoothSum(int self, int right, int below, int belowRight) {
  if constexpr (kMode == 0) return (self + right + below + belowRight) / 4;
  else if constexpr (kMode == 1) return (self + right) / 2;
  else if constexpr (kMode == 2) return (self + below) / 2;
  else return (self + belowRight) / 2;
}

template <int kMode>
void SmoothRowOf(const uint8_t* __restrict cur, const uint8_t* __restrict low, uint8_t* __restrict out, int n) {
  const int nb = 3 * (n - 1);
  for (int i = 0; i < nb; ++i) out[i] = uint8_t(SmoothSum<kMode>(cur[i], cur[i + 3], low[i], low[i + 3]));
  for (int c = nb; c < nb + 3; ++c) out[c] = uint8_t(SmoothSum<kMode>(cur[c], out[c - 3], low[c], low[c - 3]));
}

void SmoothRow(const uint8_t* cur, const uint8_t* low, uint8_t* out, int n, int mode) {
  switch (mode) {
    case 0: return SmoothRowOf<0>(cur, low, out, n);
    case 1: return SmoothRowOf<1>(cur, low, out, n);
    case 2: return SmoothRowOf<2>(cur, low, out, n);
    default: return SmoothRowOf<3>(cur, low, out, n);
  }
}
}  // namespace

void DirectionalSmoothRect(TBitmap& bmp, int mode, TRect rect) {
  if (mode < 0 || mode > 3 || !Clip(bmp, rect)) return;
  const int n = rect.Width(), nb = 3 * n, x0 = rect.Left;
  const int last = rect.Bottom - 1, rows = last - rect.Top;
  // Every row but the last reads the row below unchanged, so those rows are
  // independent once each band's first row is kept for the band above; the last row
  // reads the row above, already smoothed, and goes after them. One-pixel-wide rects
  // and a lone row on the bitmap's top edge read pixels they change themselves: they
  // go pixel by pixel.
  if (n < 2 || rows == 0) return SmoothSequential(bmp, mode, rect, rect.Top);
  const int threads = WorthThreading(int64_t(n) * rows) ? std::min(EngineThreads(), rows) : 1;
  std::vector<int> start(size_t(threads) + 1);
  for (int i = 0; i <= threads; ++i) start[size_t(i)] = rect.Top + int(int64_t(rows) * i / threads);
  std::vector<uint8_t> border(size_t(threads) * nb);
  for (int i = 1; i < threads; ++i)
    std::memcpy(&border[size_t(i) * nb], bmp.ScanLine(start[size_t(i)]) + ptrdiff_t(x0) * 3, size_t(nb));
#pragma omp parallel for schedule(static) num_threads(threads) if (threads > 1)
  for (int t = 0; t < threads; ++t) {
    std::vector<uint8_t> cur(static_cast<size_t>(nb));
    for (int y = start[size_t(t)]; y < start[size_t(t) + 1]; ++y) {
      uint8_t* row = bmp.ScanLine(y) + ptrdiff_t(x0) * 3;
      const uint8_t* low = (y + 1 == start[size_t(t) + 1] && t + 1 < threads)
                               ? &border[size_t(t + 1) * nb]
                               : bmp.ScanLine(y + 1) + ptrdiff_t(x0) * 3;
      std::memcpy(cur.data(), row, size_t(nb));
      SmoothRow(cur.data(), low, row, n, mode);
    }
  }
  SmoothSequential(bmp, mode, rect, last);
}

void GrayTintBitmap(TBitmap& bmp, TColor key, TColor tint, int percent) {
  if (percent < 1 || !Is24(bmp)) return;
  const int p = std::min(percent, 100);
  const TPixel24 k = ColorToPixel24(key), c = ColorToPixel24(tint);
  uint8_t t[3][256];
  const int ch[3] = {c.B, c.G, c.R};
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 256; ++i) t[j][i] = ClampByte(i + (ch[j] - i) * p / 100);
  ForEachRow(bmp, UnboundedRect, [&](uint8_t* px, int n) {
    for (int i = 0; i < n; ++i, px += 3) {
      if (Within(px, &k.B, 7)) {
        px[0] = c.B;
        px[1] = c.G;
        px[2] = c.R;
      } else {
        const int m = (px[0] + px[1] + px[2]) / 3;
        px[0] = t[0][m];
        px[1] = t[1][m];
        px[2] = t[2][m];
      }
    }
  });
}

// --- Measures ------------------------------------------------------------------------------------

namespace {
// Histograms of the three bytes over the rect, summed over row bands (sums of counts do
// not depend on how the rows were split).
void ChannelHistograms(const TBitmap& bmp, TRect rect, std::vector<int64_t>& hist) {
  hist.assign(3 * 256, 0);
  std::mutex m;
  ParallelRows(rect.Top, rect.Bottom, int64_t(rect.Width()) * rect.Height(), [&](int y0, int y1) {
    std::vector<int64_t> local(3 * 256, 0);
    for (int y = y0; y < y1; ++y) {
      const uint8_t* p = RowAt(bmp, y, rect.Left);
      for (int i = 0; i < rect.Width(); ++i, p += 3) {
        ++local[p[0]];
        ++local[256 + p[1]];
        ++local[512 + p[2]];
      }
    }
    std::lock_guard<std::mutex> lock(m);
    for (size_t i = 0; i < local.size(); ++i) hist[i] += local[i];
  });
}
}  // namespace

void AverageChannelsInRange(const TBitmap& bmp, TRect rect, int low, int high, uint8_t& red, uint8_t& green,
                            uint8_t& blue) {
  if (!Clip(bmp, rect)) return;
  std::vector<int64_t> hist;
  ChannelHistograms(bmp, rect, hist);
  uint8_t* out[3] = {&blue, &green, &red};
  const int lo = std::max(low, 0), hi = std::min(high, 255);
  for (int k = 0; k < 3; ++k) {
    int64_t sum = 0, count = 0;
    for (int v = lo; v <= hi; ++v) {
      sum += int64_t(v) * hist[size_t(256 * k + v)];
      count += hist[size_t(256 * k + v)];
    }
    if (count > 0) *out[k] = uint8_t(sum / count);
  }
}

void CountLuminanceClasses(const TBitmap& bmp, TRect rect, int low, int high, int64_t& dark, int64_t& middle,
                           int64_t& light) {
  if (!Clip(bmp, rect)) return;
  int64_t hist[256] = {};
  std::mutex m;
  ParallelRows(rect.Top, rect.Bottom, int64_t(rect.Width()) * rect.Height(), [&](int y0, int y1) {
    int64_t local[256] = {};
    for (int y = y0; y < y1; ++y) {
      const uint8_t* p = RowAt(bmp, y, rect.Left);
      for (int i = 0; i < rect.Width(); ++i, p += 3) ++local[Luminance(p[0], p[1], p[2])];
    }
    std::lock_guard<std::mutex> lock(m);
    for (int i = 0; i < 256; ++i) hist[i] += local[i];
  });
  dark = middle = light = 0;
  for (int v = 0; v < 256; ++v) {
    if (v < low) dark += hist[v];
    else if (v > high) light += hist[v];
    else middle += hist[v];
  }
}

// --- The 3 x 3 box blur ----------------------------------------------------------------------------

namespace {
// floor(s / 9) for s <= 9 * 255: 7282 / 2^16 is close enough to 1/9 over that range
// (checked exhaustively in the tests) and keeps the loop free of divisions.
inline uint8_t Div9(unsigned s) { return uint8_t((s * 7282u) >> 16); }

// Blurs one row: prev, cur and next are the unchanged rows (n pixels of C bytes from
// the rect's left edge: C = 3, or 1 for a plane of grey levels), out the row to write.
template <int C>
void BlurRow(const uint8_t* __restrict prev, const uint8_t* __restrict cur, const uint8_t* __restrict next,
             uint8_t* __restrict out, int n, uint16_t* __restrict colsum) {
  const int nb = C * n;
  for (int i = 0; i < nb; ++i) colsum[i] = uint16_t(prev[i] + cur[i] + next[i]);
  if (n == 1) {
    for (int i = 0; i < C; ++i) out[i] = Div9(3u * colsum[i]);
    return;
  }
  for (int i = 0; i < C; ++i) out[i] = Div9(2u * colsum[i] + colsum[i + C]);
  for (int i = C; i < nb - C; ++i) out[i] = Div9(unsigned(colsum[i - C]) + colsum[i] + colsum[i + C]);
  for (int i = nb - C; i < nb; ++i) out[i] = Div9(unsigned(colsum[i - C]) + 2u * colsum[i]);
}

// Passes of the blur over a grey rect (the three bytes of every pixel equal): the
// first bytes taken once into a plane, each pass from one plane into another, the
// levels written back once: a third of the arithmetic of the three channels and of
// the memory traffic between passes.
void GreyBlurPasses(TBitmap& bmp, int passes, const TRect& r) {
  const int w = r.Width(), h = r.Height();
  const int64_t work = int64_t(w) * h;
  const std::unique_ptr<uint8_t[]> a(new uint8_t[size_t(work)]), b(new uint8_t[size_t(work)]);
  AdviseHugePages(a.get(), size_t(work));
  AdviseHugePages(b.get(), size_t(work));
  auto row = [w](uint8_t* plane, int y) { return plane + size_t(y) * size_t(w); };
  ParallelRows(0, h, work, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) ChannelPlane(bmp.ScanLine(r.Top + y) + ptrdiff_t(r.Left) * 3, w, 0, row(a.get(), y));
  });
  uint8_t* from = a.get();
  uint8_t* to = b.get();
  for (int pass = 0; pass < passes; ++pass) {
    ParallelRows(0, h, work, [&](int y0, int y1) {
      std::vector<uint16_t> colsum(static_cast<size_t>(w));
      for (int y = y0; y < y1; ++y)
        BlurRow<1>(row(from, y > 0 ? y - 1 : y), row(from, y), row(from, y + 1 < h ? y + 1 : y), row(to, y), w,
                   colsum.data());
    });
    std::swap(from, to);
  }
  ParallelRows(0, h, work, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) SpreadPlane(row(from, y), w, bmp.ScanLine(r.Top + y) + ptrdiff_t(r.Left) * 3);
  });
}
}  // namespace

void BoxBlur3x3Passes(TBitmap& bmp, int passes, TRect rect) {
  if (passes < 1 || bmp.PixelFormat() != pf24bit) return;
  ClipRectToBitmap(rect, bmp);
  if (rect.IsEmpty()) return;
  // One pass gains nothing from the plane: it would copy the rect twice more.
  if (passes >= 2 && IsGreyRect(bmp, rect)) return GreyBlurPasses(bmp, passes, rect);
  for (int i = 0; i < passes; ++i) BoxBlur3x3Rect(bmp, rect);
}

void BoxBlur3x3Rect(TBitmap& bmp, TRect rect) {
  if (bmp.PixelFormat() != pf24bit) return;
  ClipRectToBitmap(rect, bmp);
  if (rect.IsEmpty()) return;
  const int n = rect.Width(), nb = 3 * n;
  const int threads = WorthThreading(int64_t(n) * rect.Height()) ? std::min(EngineThreads(), rect.Height()) : 1;
  // The unchanged rows on each band's borders are kept before any band starts, so
  // bands can run at once and still read only unchanged pixels.
  std::vector<int> start(size_t(threads) + 1);
  for (int i = 0; i <= threads; ++i) start[size_t(i)] = rect.Top + int(int64_t(rect.Height()) * i / threads);
  std::vector<uint8_t> above(size_t(threads) * nb), below(size_t(threads) * nb);
  for (int i = 0; i < threads; ++i) {
    const int a = start[size_t(i)], b = start[size_t(i) + 1];
    std::memcpy(&above[size_t(i) * nb], bmp.ScanLine(a > rect.Top ? a - 1 : a) + ptrdiff_t(rect.Left) * 3, size_t(nb));
    std::memcpy(&below[size_t(i) * nb], bmp.ScanLine(b < rect.Bottom ? b : b - 1) + ptrdiff_t(rect.Left) * 3,
                size_t(nb));
  }
#pragma omp parallel for schedule(static) num_threads(threads) if (threads > 1)
  for (int t = 0; t < threads; ++t) {
    const int a = start[size_t(t)], b = start[size_t(t) + 1];
    std::vector<uint8_t> prev(&above[size_t(t) * nb], &above[size_t(t) * nb] + nb), cur(static_cast<size_t>(nb));
    std::vector<uint16_t> colsum(static_cast<size_t>(nb));
    for (int y = a; y < b; ++y) {
      uint8_t* row = bmp.ScanLine(y) + ptrdiff_t(rect.Left) * 3;
      std::memcpy(cur.data(), row, size_t(nb));
      const uint8_t* next;
      if (y + 1 < b) next = bmp.ScanLine(y + 1) + ptrdiff_t(rect.Left) * 3;
      else if (y + 1 < rect.Bottom) next = &below[size_t(t) * nb];
      else next = cur.data();
      if (y == rect.Top) prev = cur;
      BlurRow<3>(prev.data(), cur.data(), next, row, n, colsum.data());
      prev.swap(cur);
    }
  }
}

// --- The adjustment dialogs' operations ---------------------------------------------------

namespace {
// The dialogs' sliders reach 80 percent of the kernels' range at their ends; a slider
// value times 0.8 never falls on a half, so rounding has no tie to break.
int EightyPercent(int v) { return int(std::lround(v * 0.8)); }
}  // namespace

void AdjustBrightnessContrast(TBitmap& bmp, const TBrightnessContrastParams& params, TRect rect) {
  if (!InHardRange(params) || IsNeutral(params)) return;
  int light[3], contrast[3];  // red, green, blue
  SplitByChannel(light[0], light[1], light[2], params.Channel, EightyPercent(params.Brightness), 0);
  SplitByChannel(contrast[0], contrast[1], contrast[2], params.Channel, EightyPercent(params.Contrast), 0);
  // Brightness, then contrast, each a table per channel: one table of the two in a row
  // gives the same bytes in one pass.
  Table t[3];
  for (int k = 0; k < 3; ++k) {
    Table a, b;
    LightenDarkenTable(light[k], a);
    ContrastTable(contrast[k], b);
    for (int v = 0; v < 256; ++v) t[k][v] = b[a[v]];
  }
  ApplyTables(bmp, rect, t[2], t[1], t[0]);
}

void AdjustHueSaturation(TBitmap& bmp, const THueSaturationParams& params, TRect rect) {
  if (!InHardRange(params) || IsNeutral(params)) return;
  int sat[3];  // red, green, blue
  SplitByChannel(sat[0], sat[1], sat[2], params.Channel, params.Saturation, 0);
  const bool hue = ModFloor(params.Hue, 360) != 0, saturate = sat[0] || sat[1] || sat[2];
  const HueRule rule{false, ModFloor(params.Hue, 360)};
  const SaturationRule saturation(sat[0], sat[1], sat[2]);
  // The hue shift, then the saturation of the shifted pixels, row by row while the row
  // is in the cache: one pass over the memory instead of two.
  ForEachRow(bmp, rect, [&](uint8_t* px, int n) {
    if (hue) HueRow(px, n, rule, nullptr, 0);
    if (saturate) saturation.Row(px, n);
  });
}

void AdjustColorBalance(TBitmap& bmp, const TColorBalanceParams& params, TRect rect) {
  if (InHardRange(params)) LightenDarkenChannelsRect(bmp, params.Red, params.Green, params.Blue, rect);
}

void ReplaceColor(TBitmap& bmp, const TReplaceColorParams& params, TRect rect) {
  if (InHardRange(params)) ReplaceColorRect(bmp, params.From, params.To, params.Tolerance, rect);
}

TColor HueColor(int hue) { return HSVToColor(ModFloor(hue, 360), 255, 255); }

void ReplaceHue(TBitmap& bmp, const TReplaceHueParams& params, TRect rect) {
  if (InHardRange(params))
    ReplaceHueWithinToleranceRect(bmp, params.From, HueColor(params.Hue), params.Tolerance, rect);
}

void VaryHueRect(TBitmap& bmp, TColor color, THueVariation method, TRect rect) {
  if (method == hvHue) {
    SetHueFromColorRect(bmp, color, rect);
    return;
  }
  if (method != hvColorize) return;
  // After the grey pass every pixel is (L, L, L): the rest of the chain is a function
  // of L alone, so the chain run once over the 256 greys gives a table, and one pass
  // over the picture replaces four.
  TBitmap greys(256, 1, pf24bit);
  uint8_t* g = greys.ScanLine(0);
  for (int v = 0; v < 256; ++v) g[3 * v] = g[3 * v + 1] = g[3 * v + 2] = uint8_t(v);
  const TRect all = GetBitmapRect(greys);
  TintRect(greys, color, 12, all);
  ContrastRect(greys, 17, all);
  SaturationRect(greys, 33, all);
  const uint8_t* t = greys.ScanLine(0);
  ForEachRow(bmp, rect, [t](uint8_t* px, int n) {
    for (int i = 0; i < n; ++i, px += 3) {
      const uint8_t* c = t + 3 * Luminance(px[0], px[1], px[2]);
      px[0] = c[0];
      px[1] = c[1];
      px[2] = c[2];
    }
  });
}

void AdjustLevels(TBitmap& bmp, const TLevelsParams& params, TRect rect) {
  if (!InHardRange(params) || IsNeutral(params)) return;
  // The dark pass, then the light pass over its result: one table of the two in a row
  // gives the same bytes in one pass over the memory.
  Table dark, light, t;
  if (!ContrastInRangeTable(params.DarkIntensity, 0, params.DarkThreshold, params.DarkThreshold, dark))
    for (int v = 0; v < 256; ++v) dark[v] = uint8_t(v);
  if (!ContrastInRangeTable(params.LightIntensity, params.LightThreshold, 255, params.LightThreshold, light))
    for (int v = 0; v < 256; ++v) light[v] = uint8_t(v);
  for (int v = 0; v < 256; ++v) t[v] = light[dark[v]];
  ApplyTable(bmp, rect, t);
}

void AdjustGamma(TBitmap& bmp, const TGammaParams& params, TRect rect) {
  if (!InHardRange(params) || IsNeutral(params)) return;
  double red, green, blue;
  SplitByChannel(red, green, blue, params.Channel, params.Gamma, 1.0);
  GammaChannelsRect(bmp, rect, red, green, blue);
}

void ApplyColorFilter(TBitmap& bmp, const TColorFilterParams& params, TRect rect) {
  if (InHardRange(params)) TintRect(bmp, params.Color, params.Invert ? -params.Opacity : params.Opacity, rect);
}

void ApplyTwoColorThreshold(TBitmap& bmp, const TTwoColorParams& params, TRect rect) {
  if (InHardRange(params)) ThresholdRect(bmp, params.Threshold, params.Color1, params.Color2, rect);
}

void ApplyPosterize(TBitmap& bmp, const TPosterizeParams& params, TRect rect) {
  if (InHardRange(params)) PosterizeRect(bmp, params.Step, rect);
}

void AddNoise(TBitmap& bmp, const TNoiseParams& params, TRect rect) {
  if (!InHardRange(params)) return;
  if (params.Uniform) AddMonoNoiseRect(bmp, params.Amount, rect);
  else AddColorNoiseRect(bmp, params.Amount, rect);
}

namespace {
// Byte k of each pixel takes the old byte From[k] (bytes in memory order: blue, green,
// red). The indices are constants of the instance, so the loop compiles to shuffles.
template <int B, int G, int R>
void PermuteRows(TBitmap& bmp, TRect rect) {
  ForEachRow(
      bmp, rect,
      [](uint8_t* p, int n) {
        for (int i = 0; i < n; ++i, p += 3) {
          const uint8_t old[3] = {p[0], p[1], p[2]};
          p[0] = old[B];
          p[1] = old[G];
          p[2] = old[R];
        }
      },
      kMemoryBoundThreads);
}
}  // namespace

void SwapChannelsRect(TBitmap& bmp, int order, TRect rect) {
  // The new blue, green and red of each order, as old bytes (0 blue, 1 green, 2 red).
  switch (order) {
    case coRBG: return PermuteRows<1, 0, 2>(bmp, rect);
    case coGRB: return PermuteRows<0, 2, 1>(bmp, rect);
    case coGBR: return PermuteRows<2, 0, 1>(bmp, rect);
    case coBRG: return PermuteRows<1, 2, 0>(bmp, rect);
    case coBGR: return PermuteRows<2, 1, 0>(bmp, rect);
    default: return;
  }
}

void SwapChannels(TBitmap& bmp, const TSwapChannelsParams& params, TRect rect) {
  if (InHardRange(params)) SwapChannelsRect(bmp, params.Order, rect);
}

}  // namespace qm
