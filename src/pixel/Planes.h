#pragma once
// The bytes of a 24-bit row taken apart by channel: one channel as a plane of a byte a
// pixel, and a plane put back into the three bytes of each pixel. Grey masks keep their
// value in the first byte of a pixel and write all three; the kernels that work on such
// masks a row at a time go through a plane, where their arithmetic is plain byte
// arithmetic that vectorises. Where the machine has AVX-512 VBMI these run 64 pixels at
// a time through byte permutes; elsewhere (and for the last pixels of a row) one by one.
#include <cstdint>

#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

#if defined(__AVX512VBMI__) && defined(__AVX512BW__)
#include <immintrin.h>
#define QM_PLANES_VBMI 1
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12's AVX-512 intrinsics start from an undefined vector it then warns about, in
// every file that inlines them.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#endif

namespace qm {

#if QM_PLANES_VBMI
// Tables of byte permutes over 64 pixels (192 bytes, three registers a, b, c).
// Gathering channel k, pixel j's byte 3j + k is picked from (a, b) below 128 and from
// (b, c) from 128 on; spreading, byte j of register r belongs to pixel (64r + j) / 3.
struct TPermuteTables {
  alignas(64) uint8_t fromAB[3][64];
  alignas(64) uint8_t fromBC[3][64];
  uint64_t useBC[3];
  alignas(64) uint8_t spread[3][64];
};

constexpr TPermuteTables MakePermuteTables() {
  TPermuteTables t{};
  for (int k = 0; k < 3; ++k) {
    t.useBC[k] = 0;
    for (int j = 0; j < 64; ++j) {
      const int at = 3 * j + k;
      t.fromAB[k][j] = uint8_t(at & 127);
      t.fromBC[k][j] = uint8_t((at - 64) & 127);
      if (at >= 128) t.useBC[k] |= uint64_t(1) << j;
    }
    for (int j = 0; j < 64; ++j) t.spread[k][j] = uint8_t((64 * k + j) / 3);
  }
  return t;
}
inline constexpr TPermuteTables kPermuteTables = MakePermuteTables();

// Channel k of the 64 pixels at px.
inline __m512i Plane64(const uint8_t* px, int k) {
  const __m512i a = _mm512_loadu_si512(px), b = _mm512_loadu_si512(px + 64), c = _mm512_loadu_si512(px + 128);
  const __m512i lo = _mm512_permutex2var_epi8(a, _mm512_load_si512(kPermuteTables.fromAB[k]), b);
  const __m512i hi = _mm512_permutex2var_epi8(b, _mm512_load_si512(kPermuteTables.fromBC[k]), c);
  return _mm512_mask_blend_epi8(kPermuteTables.useBC[k], lo, hi);
}
// Register r (0, 1, 2) of the 192 bytes that repeat each of the 64 values three times.
inline __m512i Spread64(__m512i v, int r) {
  return _mm512_permutexvar_epi8(_mm512_load_si512(kPermuteTables.spread[r]), v);
}

// A 256-entry byte table in four registers; a look-up of 64 bytes is two two-register
// permutes (each covers 128 entries through the low seven bits of the index) and a
// blend on the top bit.
struct TByteTable {
  __m512i q0, q1, q2, q3;
  explicit TByteTable(const uint8_t* t)
      : q0(_mm512_loadu_si512(t)), q1(_mm512_loadu_si512(t + 64)), q2(_mm512_loadu_si512(t + 128)),
        q3(_mm512_loadu_si512(t + 192)) {}
  __m512i operator()(__m512i x) const {
    const __m512i lo = _mm512_permutex2var_epi8(q0, x, q1), hi = _mm512_permutex2var_epi8(q2, x, q3);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), lo, hi);
  }
};
#endif

// out[i] = px[3 * i + channel] for i < n (channel 0, 1 or 2).
void ChannelPlane(const uint8_t* px, int n, int channel, uint8_t* out);
// px[3 * i], px[3 * i + 1] and px[3 * i + 2] = v[i] for i < n.
void SpreadPlane(const uint8_t* v, int n, uint8_t* px);
// The same with one value, only for the pixels whose flag is not 0; the other pixels
// keep their bytes.
void SpreadValueWhere(const uint8_t* flags, int n, uint8_t value, uint8_t* px);
// True when every one of the n pixels has three equal bytes.
bool IsGreyRow(const uint8_t* px, int n);
// The same for every pixel of a rect of a 24-bit bitmap (clipped already, not empty),
// the rows shared among the threads; stops at the first pixel that is not grey.
bool IsGreyRect(const TBitmap& bmp, const TRect& rect);

}  // namespace qm
