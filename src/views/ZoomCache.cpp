#include "views/ZoomCache.h"

#include <algorithm>

#include "pixel/ImgUtils.h"
#include "pixel/ImgZoom.h"

namespace qm {

namespace {

// acc grows to hold r too.
void Grow(TRect& acc, const TRect& r) {
  if (r.IsEmpty()) return;
  if (acc.IsEmpty()) {
    acc = r;
    return;
  }
  acc.Left = std::min(acc.Left, r.Left);
  acc.Top = std::min(acc.Top, r.Top);
  acc.Right = std::max(acc.Right, r.Right);
  acc.Bottom = std::max(acc.Bottom, r.Bottom);
}

// The bounding rectangle of what is left of r once inner (inside r) is taken out.
TRect Remainder(const TRect& r, const TRect& inner) {
  const bool fullWidth = inner.Left <= r.Left && inner.Right >= r.Right;
  const bool fullHeight = inner.Top <= r.Top && inner.Bottom >= r.Bottom;
  if (fullWidth && fullHeight) return TRect{};
  if (fullWidth) {
    if (inner.Top <= r.Top) return TRect{r.Left, inner.Bottom, r.Right, r.Bottom};
    if (inner.Bottom >= r.Bottom) return TRect{r.Left, r.Top, r.Right, inner.Top};
  } else if (fullHeight) {
    if (inner.Left <= r.Left) return TRect{inner.Right, r.Top, r.Right, r.Bottom};
    if (inner.Right >= r.Right) return TRect{r.Left, r.Top, inner.Left, r.Bottom};
  }
  return r;
}

}  // namespace

void TZoomCache::Invalidate(const TRect& r) { Grow(dirty_, r); }

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
    stale_ = TRect{};
  } else if (!dirty_.IsEmpty() || !stale_.IsEmpty()) {
    if (!dirty_.IsEmpty()) {
      // the reduced pixels whose areas meet the change, with one pixel of slack for the
      // area weights' rounding
      const int64_t w = bmp.Width(), h = bmp.Height();
      const TRect part{int32_t(std::max<int64_t>(0, int64_t(dirty_.Left) * zw / w - 1)),
                       int32_t(std::max<int64_t>(0, int64_t(dirty_.Top) * zh / h - 1)),
                       int32_t(std::min<int64_t>(zw, (int64_t(dirty_.Right) * zw + w - 1) / w + 1)),
                       int32_t(std::min<int64_t>(zh, (int64_t(dirty_.Bottom) * zh + h - 1) / h + 1))};
      Grow(stale_, part);
      dirty_ = TRect{};
    }
    // Only what the view shows is reduced now; the rest stays stale until it scrolls
    // into view.
    const TRect shown =
        IntersectRect(stale_, TRect{viewRect.Left - left, viewRect.Top - top, viewRect.Right - left,
                                    viewRect.Bottom - top});
    if (!shown.IsEmpty()) {
      StretchBitmapRectHalftone(bmp, GetBitmapRect(bmp), reduced_, all, shown);
      stale_ = Remainder(stale_, shown);
    }
  }
  TRect drawn;
  DrawBitmapZoomed(&reduced_, &canvas, viewRect, left, top, 1.0, false, false, false, false, drawn);
}

}  // namespace qm
