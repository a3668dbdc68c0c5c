#include "pixel/ColorAdjust.h"

#include <cstring>
#include <vector>

#include "pixel/Chassis.h"
#include "pixel/ImgUtils.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"

namespace qm {

void TintRect(TBitmap& bmp, TColor color, int percent, TRect rect) {
  if (percent == 0 || percent < -100 || percent > 100) return;
  const TColor c = ColorToRGB(color);
  const int ch[3] = {GetBValue(c), GetGValue(c), GetRValue(c)};
  uint8_t t[3][256];
  for (int k = 0; k < 3; ++k)
    for (int v = 0; v < 256; ++v) t[k][v] = ClampByte(v + (ch[k] - v) * percent / 100);
  ApplyTables(bmp, rect, t[0], t[1], t[2]);
}

namespace {
// floor(s / 9) for s <= 9 * 255: 7282 / 2^16 is close enough to 1/9 over that range
// (checked exhaustively in the tests) and keeps the loop free of divisions.
inline uint8_t Div9(unsigned s) { return uint8_t((s * 7282u) >> 16); }

// Blurs one row: prev, cur and next are the unchanged rows (n pixels from the rect's
// left edge), out the row to write.
void BlurRow(const uint8_t* prev, const uint8_t* cur, const uint8_t* next, uint8_t* out, int n,
             uint16_t* colsum) {
  const int nb = 3 * n;
  for (int i = 0; i < nb; ++i) colsum[i] = uint16_t(prev[i] + cur[i] + next[i]);
  if (n == 1) {
    for (int i = 0; i < 3; ++i) out[i] = Div9(3u * colsum[i]);
    return;
  }
  for (int i = 0; i < 3; ++i) out[i] = Div9(2u * colsum[i] + colsum[i + 3]);
  for (int i = 3; i < nb - 3; ++i) out[i] = Div9(unsigned(colsum[i - 3]) + colsum[i] + colsum[i + 3]);
  for (int i = nb - 3; i < nb; ++i) out[i] = Div9(unsigned(colsum[i - 3]) + 2u * colsum[i]);
}
}  // namespace

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
      BlurRow(prev.data(), cur.data(), next, row, n, colsum.data());
      prev.swap(cur);
    }
  }
}

}  // namespace qm
