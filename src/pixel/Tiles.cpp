#include "pixel/Tiles.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "pixel/ColorAdjust.h"
#include "pixel/Convolution.h"
#include "pixel/ImgUtils.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"
#include "platform/core/Random.h"

namespace qm {

const TPoint kPuzzleEdges[4][10] = {
    {{0, 0}, {1, -2}, {6, 2}, {6, 0}, {4, -6}, {11, -4}, {9, 0}, {9, 1}, {15, -1}, {15, 0}},
    {{0, 0}, {0, 1}, {6, -2}, {6, 0}, {3, 6}, {10, 5}, {9, 0}, {9, -2}, {15, 0}, {15, 0}},
    {{0, 0}, {0, 2}, {0, 4}, {0, 6}, {6, 4}, {5, 11}, {0, 9}, {0, 12}, {0, 13}, {0, 15}},
    {{0, 0}, {0, 2}, {0, 3}, {0, 6}, {-6, 4}, {-5, 11}, {0, 9}, {0, 10}, {0, 13}, {0, 15}},
};

int PieceCount(int span, int size) {
  if (size < 1 || span < 1) return 1;
  const int n = span / size + (2 * int64_t(size) / 3 < span % size ? 1 : 0);
  return std::max(n, 1);
}

void SizeLikeSource(const TBitmap& src, TBitmap& dst) {
  if (dst.PixelFormat() != pf24bit) dst.SetPixelFormat(pf24bit);
  if (dst.Width() != src.Width() || dst.Height() != src.Height()) dst.SetSize(src.Width(), src.Height());
}

void PuzzleEdgePoints(int shape, int c, int r, double cw, double ch, int left, int top, TPoint out[10]) {
  const TPoint* p = kPuzzleEdges[std::clamp(shape, 0, 3)];
  for (int i = 0; i < 10; ++i)
    out[i] = TPoint{RoundHalfEven(p[i].X * cw / 15 + c * cw + left), RoundHalfEven(p[i].Y * ch / 15 + r * ch + top)};
}

namespace {

// Copies the source pixels of block d (clipped to `clip`), destination (x, y) taking
// source (x + ox, y + oy); pixels whose source lies outside the source keep theirs.
void CopyShifted(const TBitmap& src, TBitmap& dst, TRect d, int ox, int oy, const TRect& clip) {
  d = IntersectRect(d, clip);
  d = IntersectRect(d, OffsetRect(GetBitmapRect(src), -ox, -oy));
  if (d.IsEmpty()) return;
  for (int y = d.Top; y < d.Bottom; ++y)
    std::memcpy(dst.ScanLine(y) + ptrdiff_t(d.Left) * 3, src.ScanLine(y + oy) + ptrdiff_t(d.Left + ox) * 3,
                size_t(d.Width()) * 3);
}

// Rect r (cut to clip) painted from line, a row of the colour at least as wide.
void FillFromLine(TBitmap& bmp, TRect r, const TRect& clip, const uint8_t* line) {
  r = IntersectRect(r, clip);
  if (r.IsEmpty()) return;
  const size_t n = size_t(r.Width()) * 3;
  for (int y = r.Top; y < r.Bottom; ++y) {
    uint8_t* d = bmp.ScanLine(y) + ptrdiff_t(r.Left) * 3;
    if (n == 3) d[0] = line[0], d[1] = line[1], d[2] = line[2];  // a side of an outline
    else std::memcpy(d, line, n);
  }
}

// The 1-pixel outline of r, cut to clip.
void Outline(TBitmap& bmp, const TRect& r, const uint8_t* line, const TRect& clip) {
  if (r.IsEmpty()) return;
  FillFromLine(bmp, TRect{r.Left, r.Top, r.Right, r.Top + 1}, clip, line);
  FillFromLine(bmp, TRect{r.Left, r.Bottom - 1, r.Right, r.Bottom}, clip, line);
  FillFromLine(bmp, TRect{r.Left, r.Top, r.Left + 1, r.Bottom}, clip, line);
  FillFromLine(bmp, TRect{r.Right - 1, r.Top, r.Right, r.Bottom}, clip, line);
}

// Moves the span [a0, a1) of the destination by the jitter, the source span [s0, s1)
// with it where the destination is pushed back inside [lo, hi).
void Jitter(int j, int lo, int hi, int& a0, int& a1, int& s0, int& s1) {
  a0 += j;
  a1 += j;
  if (a0 < lo) {
    s0 += lo - a0;
    a0 = lo;
  }
  if (a1 > hi) {
    s1 -= a1 - hi;
    a1 = hi;
  }
}

}  // namespace

void FilterTiles(const TBitmap& src0, TBitmap& dst, int size, TRect rect, bool outline, TColor color, int gap) {
  if (size < 2 || size > 100 || gap < 0 || gap > 20) return;
  if (src0.PixelFormat() != pf24bit || src0.Empty()) return;
  ClipRectToBitmap(rect, src0);
  if (rect.IsEmpty()) return;
  TBitmap holder;
  const TBitmap* src = &src0;
  if (&src0 == &dst) {
    holder = src0.Clone();
    src = &holder;
  }
  SizeLikeSource(*src, dst);
  // The jitters are drawn first, in the order of the tiles, two a tile (a gap of at
  // most 20 keeps each within -9..10). Then bands of rows are painted on their own
  // threads: each paints the fill and every tile that reaches it, in the tiles' order,
  // cut to its rows, so each pixel ends as the last tile over it left it, as when the
  // tiles are painted one after the other over the whole rect.
  const int rows = (rect.Height() - 1 + size - 1) / size, cols = (rect.Width() - 1 + size - 1) / size;
  std::vector<int8_t> jitter(size_t(rows) * size_t(cols) * 2);
  for (int8_t& j : jitter) j = int8_t(gap / 2 - Random(gap));
  constexpr int kReach = 10;  // the farthest a jitter moves a tile
  const TPixel24 c = ColorToPixel24(color);
  std::vector<uint8_t> line(size_t(rect.Width()) * 3);
  for (size_t i = 0; i < line.size(); i += 3) std::memcpy(&line[i], &c.B, 3);
  ParallelRows(rect.Top, rect.Bottom, int64_t(rect.Width()) * rect.Height(), [&](int y0, int y1) {
    const TRect band{rect.Left, y0, rect.Right, y1};
    FillFromLine(dst, band, band, line.data());
    const int first = std::max(0, (y0 - rect.Top - size - kReach) / size);
    const int last = std::min(rows, (y1 - rect.Top + kReach) / size + 1);
    for (int r = first; r < last; ++r)
      for (int c = 0; c < cols; ++c) {
        const int x = rect.Left + c * size, y = rect.Top + r * size;
        const int8_t* j = &jitter[(size_t(r) * size_t(cols) + size_t(c)) * 2];
        TRect s{x, y, x + size, y + size}, d = s;
        Jitter(j[0], rect.Top, rect.Bottom, d.Top, d.Bottom, s.Top, s.Bottom);
        Jitter(j[1], rect.Left, rect.Right, d.Left, d.Right, s.Left, s.Right);
        CopyShifted(*src, dst, d, s.Left - d.Left, s.Top - d.Top, band);
        if (outline) Outline(dst, d, line.data(), band);
      }
  });
}

void DrawGridLines(TBitmap& bmp, int cell, TColor color, TRect rect, bool fit, bool horizontal, bool vertical,
                   bool frame, int thickness) {
  if (cell < 1 || thickness < 1 || bmp.PixelFormat() != pf24bit || bmp.Empty()) return;
  ClipRectToBitmap(rect, bmp);
  if (rect.IsEmpty()) return;
  const int W = rect.Width(), H = rect.Height();
  if (2 * int64_t(cell) > W || 2 * int64_t(cell) > H) return;
  // Everything is painted in the one colour, so the bands can be gathered first and
  // painted row by row: whole rows for the frame's top and bottom and the horizontal
  // bands, the columns of the vertical bands and the frame's sides elsewhere.
  std::vector<uint8_t> fullRow(size_t(H), 0), inColumn(size_t(W), 0);
  auto mark = [](std::vector<uint8_t>& on, int64_t a, int64_t b) {
    for (int64_t i = std::max<int64_t>(a, 0); i < std::min<int64_t>(b, int64_t(on.size())); ++i) on[size_t(i)] = 1;
  };
  if (frame) {
    mark(fullRow, 0, thickness);
    mark(fullRow, int64_t(H) - thickness, H);
    mark(inColumn, 0, thickness);
    mark(inColumn, int64_t(W) - thickness, W);
  }
  const double hStep = fit ? double(H) / PieceCount(H, cell) : cell;
  const double vStep = fit ? double(W) / PieceCount(W, cell) : cell;
  if (horizontal)
    for (double p = hStep - thickness / 2; p < H - thickness; p += hStep) {
      const int64_t y = RoundHalfEven(p);
      mark(fullRow, y, y + thickness);
    }
  if (vertical)
    for (double p = vStep - thickness / 2; p < W - thickness; p += vStep) {
      const int64_t x = RoundHalfEven(p);
      mark(inColumn, x, x + thickness);
    }
  // The row a band paints, and the spans of the columns.
  const TPixel24 c = ColorToPixel24(color);
  std::vector<uint8_t> line(size_t(W) * 3);
  for (int i = 0; i < W; ++i) std::memcpy(&line[size_t(i) * 3], &c.B, 3);
  std::vector<std::pair<int, int>> spans;
  for (int i = 0; i < W;) {
    if (!inColumn[size_t(i)]) {
      ++i;
      continue;
    }
    int j = i;
    while (j < W && inColumn[size_t(j)]) ++j;
    spans.emplace_back(i, j);
    i = j;
  }
  ParallelRows(rect.Top, rect.Bottom, int64_t(W) * H, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      uint8_t* row = bmp.ScanLine(y) + ptrdiff_t(rect.Left) * 3;
      if (fullRow[size_t(y - rect.Top)]) {
        std::memcpy(row, line.data(), line.size());
        continue;
      }
      for (const auto& [a, b] : spans) std::memcpy(row + ptrdiff_t(a) * 3, line.data(), size_t(b - a) * 3);
    }
  });
}

void ApplyMosaic(TBitmap& bmp, const TMosaicParams& params, TRect rect) {
  MosaicRect(bmp, params.Block, rect);
  if (params.Outline) DrawGridLines(bmp, params.Block, params.Color, rect, false, true, true, false, 1);
}

void ApplyTiles(TBitmap& bmp, const TBitmap& source, const TTilesParams& params, TRect rect) {
  FilterTiles(source, bmp, params.Size, rect, params.Outline, params.Color, 6);
}

void ApplyGrid(TBitmap& bmp, const TGridParams& params, TRect rect) {
  DrawGridLines(bmp, params.Cell, params.Color, rect, params.Fit, params.Horizontal, params.Vertical, false,
                params.Thickness);
  if (params.Relief) ApplyConvolutionPresetInPlace(bmp, 11, rect);
}

}  // namespace qm
