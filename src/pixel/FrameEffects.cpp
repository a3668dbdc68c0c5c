#include "pixel/FrameEffects.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "pixel/Blend.h"
#include "pixel/Composite.h"
#include "platform/core/Parallel.h"

namespace qm {

bool FrameFits(TRect rect, int width) {
  const int64_t need = 2 * int64_t(width) + 1;
  return need <= rect.Width() && need <= rect.Height();
}

TPoint Contour3DEdgeOffset(int position, int margin) {
  const int d = 4 - 2 * margin;
  switch (position) {
    case cpBottomLeft: return {-4, d};
    case cpTopRight: return {d, -4};
    case cpBottomRight: return {d, d};
    default: return {-4, -4};
  }
}

TRect GrowTowardOffset(TRect rect, TPoint offset) {
  if (offset.X < 0) rect.Left += offset.X;
  else rect.Right += offset.X;
  if (offset.Y < 0) rect.Top += offset.Y;
  else rect.Bottom += offset.Y;
  return rect;
}

TOuterShadowLayout OuterShadowLayout(int imageWidth, int imageHeight, int offset, int margin, int position) {
  TOuterShadowLayout l;
  l.Width = imageWidth + offset + 2 * margin;
  l.Height = imageHeight + offset + 2 * margin;
  const bool bottom = position == cpBottomLeft || position == cpBottomRight;
  const bool right = position == cpTopRight || position == cpBottomRight;
  l.Shadow = {margin + (right ? offset : 0), margin + (bottom ? offset : 0)};
  l.Image = {margin + (right ? 0 : offset), margin + (bottom ? 0 : offset)};
  return l;
}

namespace {

// Beyond this distance from its edges, the blurred shadow mask of a rectangle is the
// same in every row and column: the shrink (2) and the passes (4) reach 6 pixels.
constexpr int kReach = 8;

// Row y of a mask of w x h pixels, built from the small mask of the same shape: the
// first and last kReach columns (and rows) are its own, the middle repeats its centre.
void ExpandRow(const TBitmap& small, int w, int h, int y, uint8_t* out) {
  const int sw = small.Width(), sh = small.Height();
  const int sy = y < kReach ? y : y >= h - kReach ? y - (h - sh) : sh / 2;
  const uint8_t* s = small.ScanLine(sy);
  const int centre = sw / 2;
  for (int x = 0; x < w; ++x) {
    const int sx = x < kReach ? x : x >= w - kReach ? x - (w - sw) : centre;
    out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = s[3 * sx];
  }
}

}  // namespace

void DrawOuterShadow(TBitmap& canvas, const TOuterShadowLayout& layout, int imageWidth, int imageHeight,
                     TColor color, int opacity, bool smoothed) {
  if (imageWidth < 1 || imageHeight < 1) return;
  const int blur = smoothed ? 4 : 0;
  const int half = blur / 2;
  // The mask of a large image is never made whole: only the bands within kReach of its
  // edges differ from its middle, so a mask of at most (2 kReach + 1) pixels a side
  // gives every value, and the blend runs over strips built from it.
  const int sw = std::min(imageWidth, 2 * kReach + 1), sh = std::min(imageHeight, 2 * kReach + 1);
  TBitmap small(sw, sh, pf24bit, clWhite);
  small.FillRect(TRect{half, half, sw - half, sh - half}, clBlack);
  if (blur > 0) ApplyBlurPasses(small, blur, TRect{0, 0, sw, sh});
  const TRect target = Bounds(layout.Shadow.X, layout.Shadow.Y, imageWidth, imageHeight);
  constexpr int kStrip = 64;
  const int strip = std::min(imageHeight, kStrip);
  TBitmap rows = TBitmap::Uninitialized(imageWidth, strip, pf24bit);
  // The middle rows are all alike: one strip of them serves every band of the middle.
  const int middleTop = std::min(kReach, imageHeight), middleBottom = std::max(middleTop, imageHeight - kReach);
  bool middleBuilt = false;
  for (int top = 0; top < imageHeight;) {
    const bool middle = top >= middleTop && top < middleBottom;
    const int end = middle ? std::min(middleBottom, top + strip) : top < middleTop ? middleTop : imageHeight;
    const int n = std::min(end - top, strip);
    if (!middle || !middleBuilt) {
      for (int i = 0; i < n; ++i)
        ExpandRow(small, imageWidth, imageHeight, middle ? middleTop : top + i, rows.ScanLine(i));
      middleBuilt = middle;
    }
    BlendColorThroughMask(rows, TRect{0, 0, imageWidth, n}, canvas, target.Left, target.Top + top,
                          TRect{target.Left, target.Top + top, target.Right, target.Top + top + n}, color, opacity);
    top += n;
  }
}

void InsideContourLevels(TBitmap& mask, TRect rect, int width) {
  if (mask.Empty() || mask.PixelFormat() != pf24bit || width < 1) return;
  const TRect all{0, 0, mask.Width(), mask.Height()};
  const TRect area = IntersectRect(TRect{rect.Left - 4, rect.Top - 4, rect.Right + 4, rect.Bottom + 4}, all);
  const TRect c = IntersectRect(rect, all);
  if (area.IsEmpty()) return;
  // A shape pixel's shrink count is its 4-neighbour distance to the nearest pixel that
  // is white or outside the cut rect, less one: the rect's edge shrinks in step with the
  // shape's. Distances are capped past the width, so 16 bits hold them.
  const int w = c.Width(), h = c.Height();
  const int cap = width + 2;
  std::vector<uint16_t> dist(size_t(std::max(w, 0)) * std::max(h, 0));
  // Rows: the distance along the row, the cut rect's ends counting as outside.
  ParallelRows(0, h, int64_t(w) * h, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      const uint8_t* m = mask.ScanLine(c.Top + y) + 3 * size_t(c.Left);
      uint16_t* d = dist.data() + size_t(y) * w;
      int run = 0;
      for (int x = 0; x < w; ++x) {
        run = m[3 * x] == 255 ? 0 : std::min(run + 1, cap);
        d[x] = uint16_t(run);
      }
      run = 0;
      for (int x = w - 1; x >= 0; --x) {
        run = d[x] == 0 ? 0 : std::min(run + 1, cap);
        d[x] = uint16_t(std::min<int>(d[x], run));
      }
    }
  });
  // Columns: the least of the row distances plus the rows between, both ways; bands of
  // columns go to the threads, each walking its rows in order.
  ParallelPieces(0, w, 256, int64_t(w) * h, [&](int x0, int x1) {
    for (int x = x0; x < x1; ++x) dist[x] = uint16_t(std::min<int>(dist[x], 1));
    for (int y = 1; y < h; ++y) {
      uint16_t* d = dist.data() + size_t(y) * w;
      const uint16_t* up = d - w;
      for (int x = x0; x < x1; ++x) d[x] = uint16_t(std::min<int>(d[x], up[x] + 1));
    }
    for (int x = x0; x < x1; ++x) dist[size_t(h - 1) * w + x] = uint16_t(std::min<int>(dist[size_t(h - 1) * w + x], 1));
    for (int y = h - 2; y >= 0; --y) {
      uint16_t* d = dist.data() + size_t(y) * w;
      const uint16_t* down = d + w;
      for (int x = x0; x < x1; ++x) d[x] = uint16_t(std::min<int>(d[x], down[x] + 1));
    }
  });
  uint8_t level[1024];
  for (int s = 0; s < cap && s < 1024; ++s) level[s] = uint8_t(ContourGrey(std::min(s, width), width));
  ParallelRows(area.Top, area.Bottom, int64_t(area.Width()) * area.Height(), [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      uint8_t* m = mask.ScanLine(y);
      const bool inRows = y >= c.Top && y < c.Bottom;
      const uint16_t* d = inRows ? dist.data() + size_t(y - c.Top) * w : nullptr;
      for (int x = area.Left; x < area.Right; ++x) {
        uint8_t v = 0;
        if (d && x >= c.Left && x < c.Right && m[3 * x] != 255) v = level[d[x - c.Left] - 1];
        m[3 * x] = m[3 * x + 1] = m[3 * x + 2] = v;
      }
    }
  });
}

}  // namespace qm
