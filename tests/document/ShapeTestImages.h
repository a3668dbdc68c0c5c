#pragma once
// Masks and comparisons shared by the selection tests.
#include <cmath>
#include <cstdlib>

#include "platform/core/Bitmap.h"
#include "support/TestImages.h"

namespace qm::test {

// A grey mask of random soft blobs (discs of random radii, darker inside), levels
// 0..255 so that tracing at any threshold gives ragged outlines with holes.
inline TBitmap RandomBlobs(int w, int h, uint32_t seed, int blobs) {
  TBitmap m(w, h, pf24bit, clWhite);
  Rng rng(seed);
  for (int i = 0; i < blobs; ++i) {
    const int cx = rng.Int(-10, w + 10), cy = rng.Int(-10, h + 10), r = rng.Int(1, std::max(2, std::min(w, h) / 4));
    const int level = rng.Int(0, 200);
    for (int y = std::max(0, cy - r); y < std::min(h, cy + r + 1); ++y)
      for (int x = std::max(0, cx - r); x < std::min(w, cx + r + 1); ++x) {
        const int d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
        if (d2 > r * r) continue;
        uint8_t* p = Px(m, x, y);
        const int v = std::min<int>(p[0], level + (d2 * 50) / (r * r + 1));
        p[0] = p[1] = p[2] = uint8_t(v);
      }
  }
  // a sprinkle of single pixels and holes
  for (int i = 0; i < w * h / 50; ++i) {
    uint8_t* p = Px(m, rng.Int(0, w - 1), rng.Int(0, h - 1));
    p[0] = p[1] = p[2] = uint8_t(rng.Chance(50) ? 0 : 255);
  }
  return m;
}

// 1 where the mask's first byte is at most the level.
inline bool Inside(const TBitmap& m, int x, int y, int level = 128) { return Px(m, x, y)[0] <= level; }

// True when every pixel differing between the two masks (inside at the level) lies
// within one pixel (8-neighbourhood) of a pixel where a and b both change state.
inline bool DifferOnlyNearEdges(const TBitmap& a, const TBitmap& b, int level = 128) {
  const int w = a.Width(), h = a.Height();
  auto edge = [&](const TBitmap& m, int x, int y) {
    const bool in = Inside(m, x, y, level);
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx) {
        const int xx = x + dx, yy = y + dy;
        if (xx < 0 || yy < 0 || xx >= w || yy >= h) continue;
        if (Inside(m, xx, yy, level) != in) return true;
      }
    return false;
  };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (Inside(a, x, y, level) != Inside(b, x, y, level) && !edge(a, x, y) && !edge(b, x, y)) return false;
  return true;
}

}  // namespace qm::test
