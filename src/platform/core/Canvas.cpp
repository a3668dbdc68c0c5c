#include "platform/core/Canvas.h"

#include <cstring>

namespace qm {

TBitmapCanvas::TBitmapCanvas(TBitmap& bmp) : bmp_(bmp), clip_{0, 0, bmp.Width(), bmp.Height()} {
  BrushColor = bmp.BrushColor;
}

TRect TBitmapCanvas::ClipRect() const {
  return IntersectRect(clip_, TRect{0, 0, bmp_.Width(), bmp_.Height()});
}

void TBitmapCanvas::IntersectClip(const TRect& r) {
  if (depth_ < int(sizeof(saved_) / sizeof(saved_[0]))) saved_[depth_] = clip_;
  ++depth_;
  clip_ = IntersectRect(clip_, r);
}

void TBitmapCanvas::RestoreClip() {
  if (depth_ == 0) return;
  --depth_;
  if (depth_ < int(sizeof(saved_) / sizeof(saved_[0]))) clip_ = saved_[depth_];
}

void TBitmapCanvas::FillRect(const TRect& r, TColor c) { bmp_.FillRect(IntersectRect(r, ClipRect()), c); }

void TBitmapCanvas::DrawBitmap(int x, int y, const TBitmap& bmp, const TRect& src, TColor key) {
  TRect s = IntersectRect(src, TRect{0, 0, bmp.Width(), bmp.Height()});
  if (s.IsEmpty()) return;
  int dx = x + (s.Left - src.Left), dy = y + (s.Top - src.Top);
  TRect d = IntersectRect(Bounds(dx, dy, s.Width(), s.Height()), ClipRect());
  if (d.IsEmpty()) return;
  const bool direct = bmp.PixelFormat() == pf24bit && bmp_.PixelFormat() == pf24bit && key == clNone;
  TColor k = key == clNone ? clNone : (ColorToRGB(key) & 0xFFFFFF);
  for (int yy = d.Top; yy < d.Bottom; ++yy) {
    int sy = yy - dy + s.Top;
    if (direct) {
      std::memmove(bmp_.ScanLine(yy) + ptrdiff_t(d.Left) * 3,
                   bmp.ScanLine(sy) + ptrdiff_t(d.Left - dx + s.Left) * 3, size_t(d.Width()) * 3);
      continue;
    }
    for (int xx = d.Left; xx < d.Right; ++xx) {
      TColor c = bmp.GetPixel(xx - dx + s.Left, sy);
      if (c == k) continue;
      bmp_.SetPixel(xx, yy, c);
    }
  }
}

}  // namespace qm
