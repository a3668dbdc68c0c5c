#include "views/ZoomCache.h"

#include <algorithm>

#include "pixel/ImgUtils.h"
#include "pixel/ImgZoom.h"

namespace qm {

void TZoomCache::Invalidate(const TRect& r) {
  if (r.IsEmpty()) return;
  if (dirty_.IsEmpty()) {
    dirty_ = r;
    return;
  }
  dirty_ = TRect{std::min(dirty_.Left, r.Left), std::min(dirty_.Top, r.Top), std::max(dirty_.Right, r.Right),
                 std::max(dirty_.Bottom, r.Bottom)};
}

void TZoomCache::Reduce(const TBitmap& bmp, const TRect& part) {
  const TRect all{0, 0, reduced_.Width(), reduced_.Height()};
  StretchBitmapRectHalftone(bmp, GetBitmapRect(bmp), reduced_, all, part);
}

void TZoomCache::Draw(const TBitmap& bmp, TCanvas& canvas, const TRect& viewRect, int left, int top, int zw,
                      int zh) {
  if (bmp.Empty() || zw < 1 || zh < 1) return;
  const TRect all{0, 0, zw, zh};
  if (source_ != &bmp || sourceW_ != bmp.Width() || sourceH_ != bmp.Height() || reduced_.Width() != zw ||
      reduced_.Height() != zh) {
    reduced_ = TBitmap::Uninitialized(zw, zh);  // only the parts made are ever drawn
    source_ = &bmp;
    sourceW_ = bmp.Width();
    sourceH_ = bmp.Height();
    valid_ = dirty_ = TRect{};
  }
  if (!dirty_.IsEmpty()) {
    // the reduced pixels whose areas meet the change, with one pixel of slack for the
    // area weights' rounding; only those already made are made again
    const int64_t w = bmp.Width(), h = bmp.Height();
    const TRect part{int32_t(std::max<int64_t>(0, int64_t(dirty_.Left) * zw / w - 1)),
                     int32_t(std::max<int64_t>(0, int64_t(dirty_.Top) * zh / h - 1)),
                     int32_t(std::min<int64_t>(zw, (int64_t(dirty_.Right) * zw + w - 1) / w + 1)),
                     int32_t(std::min<int64_t>(zh, (int64_t(dirty_.Bottom) * zh + h - 1) / h + 1))};
    const TRect stale = IntersectRect(part, valid_);
    if (!stale.IsEmpty()) Reduce(bmp, stale);
    dirty_ = TRect{};
  }
  // The part of the reduction this drawing shows is made when it is not yet: the
  // strips of the grown rectangle around what was made before.
  const TRect shown = IntersectRect(OffsetRect(IntersectRect(viewRect, canvas.ClipRect()), -left, -top), all);
  if (!shown.IsEmpty() && IntersectRect(shown, valid_) != shown) {
    if (valid_.IsEmpty()) {
      Reduce(bmp, shown);
      valid_ = shown;
    } else {
      const TRect v = valid_;
      const TRect g{std::min(v.Left, shown.Left), std::min(v.Top, shown.Top), std::max(v.Right, shown.Right),
                    std::max(v.Bottom, shown.Bottom)};
      const TRect strips[4] = {{g.Left, g.Top, g.Right, v.Top},
                               {g.Left, v.Bottom, g.Right, g.Bottom},
                               {g.Left, v.Top, v.Left, v.Bottom},
                               {v.Right, v.Top, g.Right, v.Bottom}};
      for (const TRect& strip : strips)
        if (!strip.IsEmpty()) Reduce(bmp, strip);
      valid_ = g;
    }
  }
  TRect drawn;
  DrawBitmapZoomed(&reduced_, &canvas, viewRect, left, top, 1.0, false, false, false, false, drawn);
}

}  // namespace qm
