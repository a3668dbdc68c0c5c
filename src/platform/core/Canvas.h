#pragma once
// A drawing surface: a bitmap, or a window or printer page at the Qt edge. The
// routines that paint frames, shadows and zoomed images draw through this interface,
// so they stay free of any toolkit.
#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

class TCanvas {
 public:
  virtual ~TCanvas() = default;

  // The colour FillRect(rect) paints with.
  TColor BrushColor = clWhite;

  // The area drawing is limited to, in canvas coordinates.
  virtual TRect ClipRect() const = 0;
  // Narrows the clip area to its intersection with r; RestoreClip undoes the last call.
  virtual void IntersectClip(const TRect& r) = 0;
  virtual void RestoreClip() = 0;

  // Paints r (cut by the clip area) in a solid colour.
  virtual void FillRect(const TRect& r, TColor c) = 0;
  void FillRect(const TRect& r) { FillRect(r, BrushColor); }

  // Copies the part src of a 24-bit bitmap with its top-left corner at (x, y), cut by
  // the clip area. With a key other than clNone, pixels of that colour are not drawn.
  virtual void DrawBitmap(int x, int y, const TBitmap& bmp, const TRect& src, TColor key = clNone) = 0;

  // The bitmap this canvas draws into, when it is one, so callers can write the
  // pixels directly; nullptr otherwise.
  virtual TBitmap* Surface() { return nullptr; }
};

// A canvas over a bitmap of any format.
class TBitmapCanvas final : public TCanvas {
 public:
  explicit TBitmapCanvas(TBitmap& bmp);
  TRect ClipRect() const override;
  void IntersectClip(const TRect& r) override;
  void RestoreClip() override;
  void FillRect(const TRect& r, TColor c) override;
  using TCanvas::FillRect;
  void DrawBitmap(int x, int y, const TBitmap& bmp, const TRect& src, TColor key = clNone) override;
  TBitmap* Surface() override { return &bmp_; }

 private:
  TBitmap& bmp_;
  TRect clip_;
  TRect saved_[8];
  int depth_ = 0;
};

}  // namespace qm
