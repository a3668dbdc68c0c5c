#include "pixel/Transparency.h"

#include "pixel/Blend.h"
#include "pixel/Blur.h"
#include "pixel/ColorAdjust.h"
#include "pixel/Composite.h"
#include "pixel/Mask.h"

namespace qm {

void SetTransparentColor(TBitmap& bmp, TColor color, TColor target, int tolerance, TRect rect) {
  ReplaceColorRect(bmp, color, target, tolerance, rect);
  bmp.TransparentColor = target;
  bmp.Transparent = true;
}

void MakeTransparencyMask(TBitmap& mask, const TBitmap& source, const TTransMaskParams& params) {
  if (&mask == &source || source.Empty()) return;
  mask.Transparent = false;
  MaskByColorTolerance(source, mask, params.Color, params.Tolerance, true, UnboundedRect);
  switch (params.Effect) {
    case meSmooth:
      ApplyMinMaxPasses(mask, -1, UnboundedRect);
      RampMaskEdges(mask, UnboundedRect, 33);
      break;
    case meBlur:
      ApplyMinMaxPasses(mask, -3, UnboundedRect);
      ApplyBlurPasses(mask, 3, UnboundedRect);
      break;
    case meProgressive:
      ApplyMinMaxPasses(mask, -8, UnboundedRect);
      GaussianBlurRect(mask, 4, UnboundedRect);
      break;
    case meDiffusion:
      ApplyMinMaxPasses(mask, -3, UnboundedRect);
      SpreadRect(mask, 6, 0, UnboundedRect);
      break;
    default: break;
  }
}

void HideColorInMask(const TBitmap& image, TBitmap& mask, const TLayerTransParams& params, TRect rect) {
  if (image.Empty() || mask.Width() != image.Width() || mask.Height() != image.Height()) return;
  // The matching pixels are marked 0 on white; the grey goes through that mark at full
  // strength.
  TBitmap marks(image.Width(), image.Height());
  MaskByColorToleranceInverted(image, marks, params.Color, params.Tolerance, false, rect);
  const int grey = 255 - params.Opacity * 255 / 100;
  BlendColorThroughMask(marks, rect, mask, 0, 0, rect, RGB(grey, grey, grey), 100);
}

}  // namespace qm
