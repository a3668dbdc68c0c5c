#include "pixel/qt/SlideFrame.h"

#include <QImage>
#include <QPainter>

#include "pixel/Blend.h"
#include "pixel/Composite.h"
#include "pixel/ImgUtils.h"
#include "platform/qt/QtBitmap.h"

namespace qm {

bool SlideFrameFits(const TSlideParams& params, TRect rect) {
  const int span = 2 * params.Width + 1;
  return span <= rect.Width() && span <= rect.Height();
}

void ApplySlideFrame(TBitmap& bmp, const TSlideParams& params, TRect rect) {
  if (bmp.Empty() || bmp.PixelFormat() != pf24bit || !SlideFrameFits(params, rect)) return;
  TBitmap mask(bmp.Width(), bmp.Height(), pf24bit, clBlack);
  const int w = params.Width;
  const TRect inner{rect.Left + w, rect.Top + w, rect.Right - w, rect.Bottom - w};
  {
    QImage view = BitmapAsQImage(mask);
    QPainter p(&view);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    // The corner ellipse's diameter, as a GDI rounded rectangle gives it.
    const double radius = params.Round == 1 ? 30 : 10;
    p.drawRoundedRect(QRect(inner.Left, inner.Top, inner.Width(), inner.Height()), radius, radius);
  }
  // The blur spreads one pixel a pass: outside the rect grown by the passes the mask is
  // black and stays so, and within it the result is the whole mask's.
  const int passes = params.Blur == 1 ? 8 : 2;
  TRect blurred{rect.Left - passes - 1, rect.Top - passes - 1, rect.Right + passes + 1, rect.Bottom + passes + 1};
  ClipRectToBitmap(blurred, mask);
  ApplyBlurPasses(mask, passes, blurred);
  BlendColorThroughMask(mask, UnboundedRect, bmp, 0, 0, rect, params.Color, params.Opacity);
}

}  // namespace qm
