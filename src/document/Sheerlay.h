#pragma once
// Sheerlay, the photo mask: an effect laid on a rectangle of a layer through a grey
// picture, whole where the picture is black, absent where it is white. The picture is
// stretched (a triangle resampling) or tiled over the rectangle, may be blurred and
// reduced to two tones; the effect is a colour, a greyscale, a blur, a pattern, or the
// layer's transparency.
#include <array>

#include "pixel/Params.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Colors.h"
#include "platform/core/Types.h"

namespace qm {

enum TSheerlayMode : int { slColor = 0, slGray = 1, slBlur = 2, slPattern = 3, slTransparency = 4 };
constexpr int kSheerlayModeCount = 5;
// The key colour a background takes where the transparency mode hides it.
constexpr TColor kSheerlayKey = 0xDCEDCE;

struct TSheerlayParams {
  TColor Color;   // the colour of slColor
  int Opacity;    // percent
  bool Soften;    // two box-blur passes over the mask
  int Fit;        // 0 the picture stretched over the rectangle, 1 tiled from its top-left
  bool Duotone;   // the mask reduced to black and white
};
template <>
struct TParamTable<TSheerlayParams> {
  static constexpr std::array Fields{
      ColorParam("Color", &TSheerlayParams::Color, clWhite),
      IntParam("Opacity", &TSheerlayParams::Opacity, {10, 100}, {10, 100}, 100),
      BoolParam("Soften", &TSheerlayParams::Soften, false),
      ChoiceParam("Fit", &TSheerlayParams::Fit, 2, 0),
      BoolParam("Duotone", &TSheerlayParams::Duotone, false),
  };
};

// What the effect works on.
struct TSheerlayTarget {
  TBitmap& Layer;         // the active layer's image
  const TBitmap& Source;  // the same before the change (read by the grey and blur modes)
  TBitmap* LayerMask;     // the active layer's mask; null or empty: none
  // The layer is the background: the transparency mode without a layer mask keys it,
  // and its transparency follows the mode. Nothing else touches a background's flag.
  bool Background = false;
  const TBitmap* Pattern = nullptr;  // slPattern's picture (24-bit); null: nothing drawn
  TColor PatternKey = clNone;        // its transparent colour, skipped; clNone: none
};

// The mask of the effect for a rectangle of w x h from the grey picture: stretched
// (near-white, within 12, snapped to white) or tiled; blurred; two tones (with
// Duotone, or in the transparency mode without a layer mask: greys up to 129
// black); inverted for the grey and blur modes. Empty for an empty picture or size.
TBitmap BuildSheerlayMask(const TBitmap& picture, int w, int h, const TSheerlayParams& params, int mode,
                          bool layerMaskEmpty);

// The effect over rect (layer coordinates, clipped) through the picture.
void ApplySheerlay(TSheerlayTarget& target, const TBitmap& picture, int mode, const TSheerlayParams& params,
                   TRect rect);

}  // namespace qm
