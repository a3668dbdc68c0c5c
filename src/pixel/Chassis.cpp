#include "pixel/Chassis.h"

#include <cstring>

#include "pixel/Planes.h"

namespace qm {
namespace {

#if QM_PLANES_VBMI
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
#if QM_PLANES_VBMI
  const TByteTable tb(blue), tg(green), tr(red);
#endif
  ForEachRow(bmp, rect, [&](uint8_t* p, int n) {
    const int nb = 3 * n;
    int i = 0;
#if QM_PLANES_VBMI
    // A table pass runs at the speed of memory: 64 bytes looked up in four instructions
    // rather than one load per byte. 64 = 1 (mod 3): each block starts one channel
    // further on.
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
#if QM_PLANES_VBMI
  const TByteTable t(table);
#endif
  ForEachRow(bmp, rect, [&](uint8_t* p, int n) {
    const int nb = 3 * n;
    int i = 0;
#if QM_PLANES_VBMI
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
