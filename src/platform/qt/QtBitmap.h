#pragma once
// The Qt edge of our bitmaps: a QImage that shares a bitmap's pixels, conversions
// both ways, and a canvas that paints through a QPainter.
#include <QImage>
#include <QPainter>
#include <vector>

#include "platform/core/Bitmap.h"
#include "platform/core/Canvas.h"

namespace qm {

inline QRgb ColorToQRgb(TColor c) {
  c = ColorToRGB(c);
  return qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
}
inline TColor QRgbToColor(QRgb c) { return RGB(qRed(c), qGreen(c), qBlue(c)); }

// A QImage over the bitmap's own pixels (no copy) for 1-, 8-, 24- and 32-bit bitmaps;
// painting on it changes the bitmap. The view is valid while the bitmap keeps its
// size and format. 4-bit bitmaps, which QImage cannot address, give a converted copy.
// 32-bit bitmaps are seen with their alpha channel (not premultiplied).
QImage BitmapAsQImage(TBitmap& bmp);
QImage BitmapAsQImage(const TBitmap& bmp);  // read-only view

// A 24-bit bitmap (32-bit when withAlpha and the image has an alpha channel) with the
// image's pixels.
TBitmap BitmapFromQImage(const QImage& img, bool withAlpha = false);

// Copies the rectangle r of a 24-bit bitmap into the same rectangle of a QImage of
// Format_RGB32 (opaque), clipped to both: what a widget's surface blits without
// converting. Nothing for other formats.
void CopyBitmapToRGB32(const TBitmap& src, QImage& dst, TRect r);

// A canvas painting through a QPainter, in the painter's device coordinates.
class TQtCanvas final : public TCanvas {
 public:
  explicit TQtCanvas(QPainter& painter);
  TRect ClipRect() const override;
  void IntersectClip(const TRect& r) override;
  void RestoreClip() override;
  void FillRect(const TRect& r, TColor c) override;
  using TCanvas::FillRect;
  void DrawBitmap(int x, int y, const TBitmap& bmp, const TRect& src, TColor key = clNone) override;

 private:
  QPainter& painter_;
  int saves_ = 0;
};

}  // namespace qm
