#include "pixel/Chassis.h"

#include <cstring>

#if defined(__AVX512VBMI__) && defined(__AVX512BW__)
#include <immintrin.h>
#define QM_CHASSIS_VBMI 1
#endif

namespace qm {
namespace {

#if QM_CHASSIS_VBMI
// A 256-entry byte table in four registers; a lookup is two two-register byte
// permutes (each covers 128 entries through the low seven bits of the index) and a
// blend on the top bit: 64 bytes in four instructions, so a table pass runs at the
// speed of memory rather than one load per byte.
struct VTable {
  __m512i q0, q1, q2, q3;
  explicit VTable(const uint8_t* t)
      : q0(_mm512_loadu_si512(t)), q1(_mm512_loadu_si512(t + 64)), q2(_mm512_loadu_si512(t + 128)),
        q3(_mm512_loadu_si512(t + 192)) {}
  __m512i operator()(__m512i x) const {
    const __m512i lo = _mm512_permutex2var_epi8(q0, x, q1), hi = _mm512_permutex2var_epi8(q2, x, q3);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), lo, hi);
  }
};

// Bytes j of a 64-byte block whose first byte is channel `phase` that belong to
// channel c: (phase + j) mod 3 == c.
constexpr uint64_t ChannelMask(int phase, int c) {
  uint64_t m = 0;
  for (int j = 0; j < 64; ++j)
    if ((phase + j) % 3 == c) m |= uint64_t(1) << j;
  return m;
}
constexpr __mmask64 kChannel[3][3] = {{ChannelMask(0, 0), ChannelMask(0, 1), ChannelMask(0, 2)},
                                      {ChannelMask(1, 0), ChannelMask(1, 1), ChannelMask(1, 2)},
                                      {ChannelMask(2, 0), ChannelMask(2, 1), ChannelMask(2, 2)}};
#endif

}  // namespace

void ApplyTables(TBitmap& bmp, TRect rect, const uint8_t* blue, const uint8_t* green, const uint8_t* red) {
  if (std::memcmp(blue, green, 256) == 0 && std::memcmp(blue, red, 256) == 0) return ApplyTable(bmp, rect, blue);
#if QM_CHASSIS_VBMI
  const VTable tb(blue), tg(green), tr(red);
#endif
  ForEachRow(bmp, rect, [&](uint8_t* p, int n) {
    const int nb = 3 * n;
    int i = 0;
#if QM_CHASSIS_VBMI
    // 64 = 1 (mod 3): each block starts one channel further on.
    for (int phase = 0; i + 64 <= nb; i += 64, phase = phase == 2 ? 0 : phase + 1) {
      const __m512i x = _mm512_loadu_si512(p + i);
      __m512i r = tb(x);
      r = _mm512_mask_mov_epi8(r, kChannel[phase][1], tg(x));
      r = _mm512_mask_mov_epi8(r, kChannel[phase][2], tr(x));
      _mm512_storeu_si512(p + i, r);
    }
#endif
    for (; i < nb; ++i) {
      const int c = i % 3;
      p[i] = (c == 0 ? blue : c == 1 ? green : red)[p[i]];
    }
  }, kMemoryBoundThreads);
}

void ApplyTable(TBitmap& bmp, TRect rect, const uint8_t* table) {
#if QM_CHASSIS_VBMI
  const VTable t(table);
#endif
  ForEachRow(bmp, rect, [&](uint8_t* p, int n) {
    const int nb = 3 * n;
    int i = 0;
#if QM_CHASSIS_VBMI
    for (; i + 64 <= nb; i += 64) _mm512_storeu_si512(p + i, t(_mm512_loadu_si512(p + i)));
    if (i < nb) {
      const __mmask64 m = (~__mmask64(0)) >> (64 - (nb - i));
      _mm512_mask_storeu_epi8(p + i, m, t(_mm512_maskz_loadu_epi8(m, p + i)));
      return;
    }
#endif
    for (; i < nb; ++i) p[i] = table[p[i]];
  }, kMemoryBoundThreads);
}

}  // namespace qm
