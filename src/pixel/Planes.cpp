#include "pixel/Planes.h"

#include <atomic>

#include "platform/core/Parallel.h"

namespace qm {

void ChannelPlane(const uint8_t* px, int n, int channel, uint8_t* out) {
  int i = 0;
#if QM_PLANES_VBMI
  for (; i + 64 <= n; i += 64) _mm512_storeu_si512(out + i, Plane64(px + 3 * i, channel));
#endif
  for (; i < n; ++i) out[i] = px[3 * i + channel];
}

void SpreadPlane(const uint8_t* v, int n, uint8_t* px) {
  int i = 0;
#if QM_PLANES_VBMI
  for (; i + 64 <= n; i += 64) {
    const __m512i x = _mm512_loadu_si512(v + i);
    uint8_t* p = px + 3 * i;
    for (int r = 0; r < 3; ++r) _mm512_storeu_si512(p + 64 * r, Spread64(x, r));
  }
#endif
  for (; i < n; ++i) px[3 * i] = px[3 * i + 1] = px[3 * i + 2] = v[i];
}

void SpreadValueWhere(const uint8_t* flags, int n, uint8_t value, uint8_t* px) {
  int i = 0;
#if QM_PLANES_VBMI
  const __m512i fill = _mm512_set1_epi8(char(value));
  for (; i + 64 <= n; i += 64) {
    const __m512i f = _mm512_loadu_si512(flags + i);
    const __mmask64 m = _mm512_test_epi8_mask(f, f);
    if (!m) continue;
    const __m512i on = _mm512_movm_epi8(m);
    uint8_t* p = px + 3 * i;
    for (int r = 0; r < 3; ++r)
      _mm512_mask_storeu_epi8(p + 64 * r, _mm512_movepi8_mask(Spread64(on, r)), fill);
  }
#endif
  for (; i < n; ++i)
    if (flags[i]) px[3 * i] = px[3 * i + 1] = px[3 * i + 2] = value;
}

bool IsGreyRow(const uint8_t* px, int n) {
  int i = 0;
#if QM_PLANES_VBMI
  for (; i + 64 <= n; i += 64) {
    const uint8_t* p = px + 3 * i;
    const __m512i b = Plane64(p, 0), g = Plane64(p, 1), r = Plane64(p, 2);
    if (_mm512_cmpneq_epi8_mask(b, g) | _mm512_cmpneq_epi8_mask(b, r)) return false;
  }
#endif
  for (; i < n; ++i)
    if (px[3 * i] != px[3 * i + 1] || px[3 * i] != px[3 * i + 2]) return false;
  return true;
}

bool IsGreyRect(const TBitmap& bmp, const TRect& r) {
  std::atomic<bool> grey{true};
  ParallelPieces(r.Top, r.Bottom, 64, int64_t(r.Width()) * r.Height(), [&](int y0, int y1) {
    for (int y = y0; y < y1 && grey.load(std::memory_order_relaxed); ++y)
      if (!IsGreyRow(bmp.ScanLine(y) + ptrdiff_t(r.Left) * 3, r.Width())) grey.store(false, std::memory_order_relaxed);
  });
  return grey.load();
}

}  // namespace qm
