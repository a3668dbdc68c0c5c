#include "pixel/RectUtils.h"

#include <cstdlib>

#include "platform/core/Numeric.h"

namespace qm {

int32_t RectWidth(const TRect& r) { return std::abs(r.Right - r.Left); }
int32_t RectHeight(const TRect& r) { return std::abs(r.Bottom - r.Top); }
bool IsRectZeroSize(const TRect& r) { return r.Left == r.Right && r.Top == r.Bottom; }

void OrderRect(const TRect& r, TRect& out) { MakeOrderedRect(r.Left, r.Top, r.Right, r.Bottom, out); }

void MakeOrderedRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, TRect& out) {
  out = TRect{x1 < x2 ? x1 : x2, y1 < y2 ? y1 : y2, x1 < x2 ? x2 : x1, y1 < y2 ? y2 : y1};
}

void MakeRectSquare(const TRect& r, bool keepLeft, bool keepTop, TRect& out) {
  out = r;
  const int32_t w = RectWidth(r), h = RectHeight(r);
  if (h >= w) {
    if (keepTop) out.Bottom = out.Top + w;
    else out.Top = out.Bottom - w;
  } else {
    if (keepLeft) out.Right = out.Left + h;
    else out.Left = out.Right - h;
  }
}

void FitRectToAspect(const TRect& r, bool anchorLeft, bool anchorTop, double ratio, TRect& out) {
  out = r;
  if (!(ratio > 0)) return;
  int32_t w = RectWidth(r), h = RectHeight(r);
  const double q = w / ratio;
  if (h >= q) h = RoundHalfEven(q);
  else w = RoundHalfEven(h * ratio);
  if (anchorLeft) out.Right = out.Left + w;
  else out.Left = out.Right - w;
  if (anchorTop) out.Bottom = out.Top + h;
  else out.Top = out.Bottom - h;
}

void AlignRectInRect(TRect& r, const TRect& b, TAlignment alignment) {
  const int32_t w = r.Right - r.Left, h = r.Bottom - r.Top;
  int32_t x = r.Left, y = r.Top;
  switch (alignment) {
    case 1: case 4: case 7: case 9: x = b.Left + (b.Right - b.Left - w) / 2; break;
    case 0: case 3: case 6: x = b.Left; break;
    case 2: case 5: case 8: x = b.Right - w; break;
    default: break;
  }
  switch (alignment) {
    case 3: case 4: case 5: case 10: y = b.Top + (b.Bottom - b.Top - h) / 2; break;
    case 0: case 1: case 2: y = b.Top; break;
    case 6: case 7: case 8: y = b.Bottom - h; break;
    default: break;
  }
  r = TRect{x, y, x + w, y + h};
}

void EnsureMinRectSize(TRect& r, int32_t minWidth, int32_t minHeight, bool anchorLeft, bool anchorTop) {
  if (RectWidth(r) < minWidth) {
    if (anchorLeft) r.Right = r.Left + minWidth;
    else r.Left = r.Right - minWidth;
  }
  if (RectHeight(r) < minHeight) {
    if (anchorTop) r.Bottom = r.Top + minHeight;
    else r.Top = r.Bottom - minHeight;
  }
}

void KeepRectInside(TRect& r, const TRect& b, bool clip) {
  if (r.Right > b.Right) r = OffsetRect(r, b.Right - r.Right, 0);
  if (r.Bottom > b.Bottom) r = OffsetRect(r, 0, b.Bottom - r.Bottom);
  if (r.Left < b.Left) r = OffsetRect(r, b.Left - r.Left, 0);
  if (r.Top < b.Top) r = OffsetRect(r, 0, b.Top - r.Top);
  if (clip) r = IntersectRect(r, b);
}

}  // namespace qm
