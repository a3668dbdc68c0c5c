#include "support/TestImages.h"

#include <cstring>
#include <sstream>

namespace qm::test {

TBitmap RandomBitmap(int w, int h, uint32_t seed, TPixelFormat pf) {
  TBitmap b(w, h, pf, clBlack);
  Rng rng(seed);
  const size_t n = size_t(TBitmap::StrideFor(w, pf));
  const size_t used = (size_t(w) * pf + 7) / 8;
  for (int y = 0; y < h; ++y) {
    uint8_t* row = b.ScanLine(y);
    for (size_t i = 0; i < used; ++i) row[i] = uint8_t(rng.Int(0, 255));
    // keep the padding and the unused bits of the last byte clear
    for (size_t i = used; i < n; ++i) row[i] = 0;
    if ((size_t(w) * pf) % 8) row[used - 1] &= uint8_t(0xFF << (8 - (size_t(w) * pf) % 8));
  }
  return b;
}

TBitmap RandomMask(int w, int h, uint32_t seed) {
  TBitmap b(w, h, pf24bit, clBlack);
  Rng rng(seed);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = b.ScanLine(y);
    int x = 0;
    while (x < w) {
      int run = rng.Int(1, 12);
      int kind = rng.Int(0, 3);
      for (int i = 0; i < run && x < w; ++i, ++x) {
        uint8_t v = kind == 0 ? 0 : kind == 1 ? 255 : uint8_t(rng.Int(0, 255));
        row[3 * x] = v;
        row[3 * x + 1] = uint8_t(rng.Int(0, 255));  // only the first byte counts
        row[3 * x + 2] = v;
      }
    }
  }
  return b;
}

TRect RandomRect(Rng& rng, int w, int h) {
  switch (rng.Int(0, 9)) {
    case 0: return UnboundedRect;
    case 1: return TRect{rng.Int(-5, w + 5), rng.Int(-5, h + 5), 0, 0};  // maybe reversed
    case 2: {
      int x = rng.Int(-5, w + 5), y = rng.Int(-5, h + 5);
      return TRect{x, y, x, y + 3};  // empty
    }
    default: {
      int x1 = rng.Int(-w / 2 - 3, w + 3), x2 = rng.Int(-3, w + w / 2 + 3);
      int y1 = rng.Int(-h / 2 - 3, h + 3), y2 = rng.Int(-3, h + h / 2 + 3);
      return TRect{x1, y1, x2, y2};
    }
  }
}

static size_t VisibleBytes(const TBitmap& b) { return (size_t(b.Width()) * b.PixelFormat() + 7) / 8; }

::testing::AssertionResult SameBitmaps(const TBitmap& a, const TBitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height() || a.PixelFormat() != b.PixelFormat())
    return ::testing::AssertionFailure() << "shapes differ: " << a.Width() << "x" << a.Height() << "@"
                                         << int(a.PixelFormat()) << " vs " << b.Width() << "x" << b.Height()
                                         << "@" << int(b.PixelFormat());
  const size_t n = VisibleBytes(a);
  for (int y = 0; y < a.Height(); ++y) {
    const uint8_t* p = a.ScanLine(y);
    const uint8_t* q = b.ScanLine(y);
    if (std::memcmp(p, q, n) == 0) continue;
    for (size_t i = 0; i < n; ++i)
      if (p[i] != q[i]) {
        int bpp = a.PixelFormat() >= 8 ? a.PixelFormat() / 8 : 1;
        return ::testing::AssertionFailure() << "first difference at pixel (" << i / bpp << ", " << y
                                             << ") byte " << i % bpp << ": " << int(p[i]) << " vs " << int(q[i]);
      }
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult SameOutside(const TBitmap& a, const TBitmap& b, const TRect& r) {
  if (a.Width() != b.Width() || a.Height() != b.Height() || a.PixelFormat() != pf24bit ||
      b.PixelFormat() != pf24bit)
    return ::testing::AssertionFailure() << "shapes differ";
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x) {
      if (x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom) continue;
      if (std::memcmp(a.ScanLine(y) + 3 * x, b.ScanLine(y) + 3 * x, 3) != 0)
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") outside the rect changed";
    }
  return ::testing::AssertionSuccess();
}

uint64_t Checksum(const TBitmap& bmp) {
  uint64_t h = 1469598103934665603ull;
  const size_t n = VisibleBytes(bmp);
  for (int y = 0; y < bmp.Height(); ++y) {
    const uint8_t* p = bmp.ScanLine(y);
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
  }
  return h;
}

}  // namespace qm::test
