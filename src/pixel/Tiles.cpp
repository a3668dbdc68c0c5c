#include "pixel/Tiles.h"

#include <algorithm>
#include <cstring>

#include "pixel/ImgUtils.h"
#include "platform/core/Canvas.h"
#include "platform/core/Numeric.h"
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

// The 1-pixel outline of r, cut to clip.
void Outline(TBitmap& bmp, const TRect& r, TColor c, const TRect& clip) {
  if (r.IsEmpty()) return;
  bmp.FillRect(IntersectRect(TRect{r.Left, r.Top, r.Right, r.Top + 1}, clip), c);
  bmp.FillRect(IntersectRect(TRect{r.Left, r.Bottom - 1, r.Right, r.Bottom}, clip), c);
  bmp.FillRect(IntersectRect(TRect{r.Left, r.Top, r.Left + 1, r.Bottom}, clip), c);
  bmp.FillRect(IntersectRect(TRect{r.Right - 1, r.Top, r.Right, r.Bottom}, clip), c);
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
  dst.FillRect(rect, color);
  for (int y = rect.Top; y < rect.Bottom - 1; y += size)
    for (int x = rect.Left; x < rect.Right - 1; x += size) {
      TRect s{x, y, x + size, y + size}, d = s;
      Jitter(gap / 2 - Random(gap), rect.Top, rect.Bottom, d.Top, d.Bottom, s.Top, s.Bottom);
      Jitter(gap / 2 - Random(gap), rect.Left, rect.Right, d.Left, d.Right, s.Left, s.Right);
      CopyShifted(*src, dst, d, s.Left - d.Left, s.Top - d.Top, rect);
      if (outline) Outline(dst, d, color, rect);
    }
}

void DrawGridLines(TBitmap& bmp, int cell, TColor color, TRect rect, bool fit, bool horizontal, bool vertical,
                   bool frame, int thickness) {
  if (cell < 1 || thickness < 1 || bmp.Empty()) return;
  ClipRectToBitmap(rect, bmp);
  if (rect.IsEmpty()) return;
  const int W = rect.Width(), H = rect.Height();
  if (2 * int64_t(cell) > W || 2 * int64_t(cell) > H) return;
  TBitmapCanvas canvas(bmp);
  canvas.IntersectClip(rect);
  if (frame) FillRectFrame(canvas, rect, color, thickness);
  const double hStep = fit ? double(H) / PieceCount(H, cell) : cell;
  const double vStep = fit ? double(W) / PieceCount(W, cell) : cell;
  if (horizontal)
    for (double p = hStep - thickness / 2; p < H - thickness; p += hStep) {
      const int y = rect.Top + RoundHalfEven(p);
      canvas.FillRect(TRect{rect.Left, y, rect.Right, y + thickness}, color);
    }
  if (vertical)
    for (double p = vStep - thickness / 2; p < W - thickness; p += vStep) {
      const int x = rect.Left + RoundHalfEven(p);
      canvas.FillRect(TRect{x, rect.Top, x + thickness, rect.Bottom}, color);
    }
  canvas.RestoreClip();
}

}  // namespace qm
