#include "document/Sheerlay.h"

#include "document/Resample.h"
#include "pixel/Blend.h"
#include "pixel/ColorAdjust.h"
#include "pixel/Composite.h"

namespace qm {

TBitmap BuildSheerlayMask(const TBitmap& picture, int w, int h, const TSheerlayParams& params, int mode,
                          bool layerMaskEmpty) {
  TBitmap m;
  if (picture.Empty() || w < 1 || h < 1) return m;
  const TRect all{0, 0, w, h};
  if (params.Fit == 0) {
    if (!Resample(picture, w, h, TResampleFilter::Triangle, m)) return TBitmap();
    m.Transparent = false;
    // the filter leaves a faint grey where the picture is white: it would tint the
    // whole rectangle
    ReplaceColorRect(m, clWhite, clWhite, 12, all);
  } else {
    m = TBitmap(w, h);
    FillRectWithPattern(picture, m, 0, 0, all, 100, clNone, 0);
  }
  if (params.Soften) ApplyBlurPasses(m, 2, all);
  // The two tones cut the grey mask between 129 (black) and 130 (white): the cut of a
  // luminance weighted to 255, where grey v reads v - 1, at 128. Luminance here keeps a
  // grey's value, hence the level 129.
  if (params.Duotone || (mode == slTransparency && layerMaskEmpty)) ThresholdRect(m, 129, clBlack, clWhite, all);
  if (mode == slGray || mode == slBlur) InvertRect(m, all);
  return m;
}

void ApplySheerlay(TSheerlayTarget& t, const TBitmap& picture, int mode, const TSheerlayParams& params, TRect rect) {
  TBitmap& layer = t.Layer;
  const bool maskEmpty = !t.LayerMask || t.LayerMask->Empty();
  const TRect clipped = IntersectRect(rect, TRect{0, 0, layer.Width(), layer.Height()});
  if (t.Background) layer.Transparent = false;
  if (clipped.IsEmpty()) return;
  const TBitmap m = BuildSheerlayMask(picture, rect.Width(), rect.Height(), params, mode, maskEmpty);
  if (m.Empty()) return;
  const TRect mr{0, 0, m.Width(), m.Height()};
  switch (mode) {
    case slColor:
      BlendColorThroughMask(m, mr, layer, rect.Left, rect.Top, rect, params.Color, params.Opacity);
      break;
    case slGray:
    case slBlur: {
      // The rectangle as it was, at the mask's origin: the copy back reads the mask
      // where it reads its source.
      TBitmap before(rect.Width(), rect.Height());
      CopyBitmapRect(t.Source, rect, before, -rect.Left, -rect.Top, mr);
      if (mode == slGray) GrayscaleRect(layer, clipped);
      else MotionBlurTwoPass(layer, clipped);
      CopyBitmapRectMasked(before, mr, layer, rect.Left, rect.Top, rect, params.Opacity, m);
      break;
    }
    case slPattern:
      if (t.Pattern && !t.Pattern->Empty())
        FillPatternThroughMask(m, mr, layer, rect.Left, rect.Top, rect, *t.Pattern, t.PatternKey != clNone,
                               t.PatternKey, params.Opacity);
      break;
    case slTransparency:
      if (!maskEmpty) {
        BlendColorThroughMask(m, mr, *t.LayerMask, rect.Left, rect.Top, rect, clWhite, params.Opacity);
      } else if (t.Background) {
        BlendColorThroughMask(m, mr, layer, rect.Left, rect.Top, rect, kSheerlayKey, 100);
        layer.TransparentColor = kSheerlayKey;
        layer.Transparent = true;
      }
      break;
    default: break;
  }
}

}  // namespace qm
