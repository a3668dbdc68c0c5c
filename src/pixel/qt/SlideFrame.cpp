#include "pixel/qt/SlideFrame.h"

#include <QImage>
#include <QPainter>
#include <vector>

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
  const int w = params.Width;
  const TRect inner{rect.Left + w, rect.Top + w, rect.Right - w, rect.Bottom - w};
  // The blur spreads one pixel a pass: beyond the rect grown by its reach the mask stays
  // black, so the mask covers that area only.
  const int passes = params.Blur == 1 ? 8 : 2;
  const int reach = passes + 1;
  TRect area{rect.Left - reach, rect.Top - reach, rect.Right + reach, rect.Bottom + reach};
  ClipRectToBitmap(area, bmp);
  if (area.IsEmpty()) return;
  TBitmap mask(area.Width(), area.Height(), pf24bit, clBlack);
  const int diameter = params.Round == 1 ? 60 : 20;  // the corner ellipse's, as GDI takes it
  {
    QImage view = BitmapAsQImage(mask);
    QPainter p(&view);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.translate(-area.Left, -area.Top);
    p.drawRoundedRect(QRect(inner.Left, inner.Top, inner.Width(), inner.Height()), diameter / 2.0, diameter / 2.0);
  }
  // Deeper inside the rounded rectangle than its corners and the blur's reach, the mask
  // is white and stays white, and the colour does not land: the blur and the blend run
  // over four bands along the frame only. Each band's cut lies where the rows (or
  // columns) repeat along a straight edge, so the blur's edge rule there reads what the
  // whole mask holds, and the bands give the whole mask's result.
  const int depth = diameter / 2 + reach + 1;
  const TRect core{inner.Left + depth, inner.Top + depth, inner.Right - depth, inner.Bottom - depth};
  std::vector<TRect> bands;
  if (core.IsEmpty()) {
    bands.push_back(area);
  } else {
    bands = {{area.Left, area.Top, area.Right, core.Top},
             {area.Left, core.Bottom, area.Right, area.Bottom},
             {area.Left, core.Top, core.Left, core.Bottom},
             {core.Right, core.Top, area.Right, core.Bottom}};
  }
  for (const TRect& band : bands) {
    const TRect local{band.Left - area.Left, band.Top - area.Top, band.Right - area.Left, band.Bottom - area.Top};
    ApplyBlurPasses(mask, passes, local);
  }
  for (const TRect& band : bands)
    BlendColorThroughMask(mask, GetBitmapRect(mask), bmp, area.Left, area.Top, IntersectRect(band, rect),
                          params.Color, params.Opacity);
}

}  // namespace qm
