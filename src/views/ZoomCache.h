#pragma once
// A smooth reduction of a whole bitmap at the view's zoom, kept between paints: a
// repaint below 100 % copies from it instead of averaging the full image again, and a
// change of the image reduces again only the part it touched. Each reduced pixel is the
// average of its own area of the whole image, so the reduction stays put while the view
// scrolls (a reduction of the visible part alone would shift by a fraction of a pixel
// with the scroll position); it is made only where it is shown, the first time it is
// shown, so that a new zoom costs the part of the picture in view rather than all of it.
#include "platform/core/Bitmap.h"
#include "platform/core/Canvas.h"
#include "platform/core/Types.h"

namespace qm {

class TZoomCache {
 public:
  // Draws bmp zoomed to zw x zh with its top-left at (left, top), inside viewRect and
  // the canvas's clip: the area average of the engine's smooth reduction.
  void Draw(const TBitmap& bmp, TCanvas& canvas, const TRect& viewRect, int left, int top, int zw, int zh);
  // Pixels of the image changed (image coordinates).
  void Invalidate(const TRect& imageRect);
  // Everything changed (another image, or its size).
  void Reset() { source_ = nullptr; }

 private:
  void Reduce(const TBitmap& bmp, const TRect& part);

  TBitmap reduced_;
  const TBitmap* source_ = nullptr;
  int sourceW_ = 0, sourceH_ = 0;
  TRect dirty_{};
  TRect valid_{};  // the part of reduced_ made so far
};

}  // namespace qm
