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

void TZoomCache::Draw(const TBitmap& bmp, TCanvas& canvas, const TRect& viewRect, int left, int top, int zw,
                      int zh) {
  if (bmp.Empty() || zw < 1 || zh < 1) return;
  const TRect all{0, 0, zw, zh};
  if (source_ != &bmp || sourceW_ != bmp.Width() || sourceH_ != bmp.Height() || reduced_.Width() != zw ||
      reduced_.Height() != zh) {
    reduced_ = TBitmap(zw, zh, pf24bit, clBlack);
    StretchBitmapRectHalftone(bmp, GetBitmapRect(bmp), reduced_, all, all);
    source_ = &bmp;
    sourceW_ = bmp.Width();
    sourceH_ = bmp.Height();
    dirty_ = TRect{};
  } else if (!dirty_.IsEmpty()) {
    // the reduced pixels whose areas meet the change, with one pixel of slack for the
    // area weights' rounding
    const int64_t w = bmp.Width(), h = bmp.Height();
    const TRect part{int32_t(std::max<int64_t>(0, int64_t(dirty_.Left) * zw / w - 1)),
                     int32_t(std::max<int64_t>(0, int64_t(dirty_.Top) * zh / h - 1)),
                     int32_t(std::min<int64_t>(zw, (int64_t(dirty_.Right) * zw + w - 1) / w + 1)),
                     int32_t(std::min<int64_t>(zh, (int64_t(dirty_.Bottom) * zh + h - 1) / h + 1))};
    StretchBitmapRectHalftone(bmp, GetBitmapRect(bmp), reduced_, all, part);
    dirty_ = TRect{};
  }
  TRect drawn;
  DrawBitmapZoomed(&reduced_, &canvas, viewRect, left, top, 1.0, false, false, false, false, drawn);
}

}  // namespace qm
