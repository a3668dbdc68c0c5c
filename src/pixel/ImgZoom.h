#pragma once
// How one bitmap is shown in one rectangle of a canvas: the zoom factor and how it is
// chosen, where the zoomed image sits, and the drawing itself.
#include <cstdint>

#include "pixel/RectUtils.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Canvas.h"
#include "platform/core/Types.h"

namespace qm {

// Fit modes of TImageZoom.
enum TFitMode : uint8_t { fmActualSize = 0, fmFitWidth = 1, fmFitHeight = 2, fmFitWhole = 3, fmExplicit = 4 };

// No zoomed side may exceed this, so sizes and positions stay far inside int32.
constexpr double kMaxZoomedSide = double(1 << 28);

class TImageZoom {
 public:
  TImageZoom() = default;

  // 0 without a bitmap, for an empty bitmap or an empty rect; mode 1: rect width /
  // bitmap width; 2: rect height / bitmap height; 3: the smaller; otherwise 1.
  static double ComputeFitZoom(const TBitmap* bmp, const TRect& rect, TFitMode mode);

  void Update();
  void UpdatePosition();

  const TBitmap* Bitmap() const { return bitmap_; }
  void SetBitmap(const TBitmap* bmp);
  TCanvas* Target() const { return target_; }
  // Also takes the canvas's clip rectangle as the view rect.
  void SetTarget(TCanvas* canvas);
  const TRect& ViewRect() const { return viewRect_; }
  void SetViewRect(const TRect& r);
  TFitMode FitMode() const { return fitMode_; }
  void SetFitMode(TFitMode mode);
  double Zoom() const { return zoom_; }
  // A value <= 0 or NaN becomes 1; the fit mode becomes explicit.
  void SetZoom(double z);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment alignment);
  int32_t ImageLeft() const { return imageLeft_; }
  int32_t ImageTop() const { return imageTop_; }
  // Both switch the alignment to 11 (free position).
  void SetImageLeft(int32_t x);
  void SetImageTop(int32_t y);
  int32_t ZoomedWidth() const { return zoomedWidth_; }
  int32_t ZoomedHeight() const { return zoomedHeight_; }
  void SetZoomedWidth(int32_t w);
  void SetZoomedHeight(int32_t h);

  TRect GetImageRect() const;
  void DrawTo(bool fillBackground, TRect& drawn);

  bool Halftone = false;      // smooth reduction when the bitmap is not transparent
  bool SnapToPixels = false;  // when magnifying, whole source pixels on the screen grid
  bool RawStretch = false;    // one plain nearest-pixel copy, nothing else

 private:
  void UpdateZoomedSize();
  const TBitmap* bitmap_ = nullptr;
  TCanvas* target_ = nullptr;
  TRect viewRect_{};
  int32_t imageLeft_ = 0, imageTop_ = 0;
  double zoom_ = 1.0;
  int32_t zoomedWidth_ = 0, zoomedHeight_ = 0;
  TFitMode fitMode_ = fmActualSize;
  TAlignment alignment_ = alTopLeft;
};

// Draws the bitmap scaled by zoom with its top-left corner at (left, top), limited to
// the view rect; drawn receives the part of the view rect the image covers.
void DrawBitmapZoomed(const TBitmap* bmp, TCanvas* canvas, const TRect& viewRect, int32_t left, int32_t top,
                      double zoom, bool fillBackground, bool halftone, bool snap, bool raw, TRect& drawn);

// DrawBitmapZoomed of an opaque 24-bit bitmap, nearest pixel, into 32-bit words
// 0xFFRRGGBB: dst holds height rows of width words, stride bytes apart, and is the
// view rect. Writes only inside clip; returns the rect it wrote (the same pixels as
// DrawBitmapZoomed onto a 24-bit canvas of that size clipped the same way).
TRect DrawBitmapZoomedToXrgb(const TBitmap& bmp, uint32_t* dst, ptrdiff_t stride, int width, int height,
                             int32_t left, int32_t top, double zoom, bool snap, TRect clip);

// Box-filtered (area-averaging) resampling of srcRect of a 24-bit bitmap onto dstRect,
// writing only inside clipRect: each destination pixel is the average of the source
// area it covers. Used for smooth reductions.
void StretchBitmapRectHalftone(const TBitmap& src, TRect srcRect, TBitmap& dst, TRect dstRect, TRect clipRect);

}  // namespace qm
