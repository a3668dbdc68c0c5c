#pragma once
// The transparency of an image or a layer set from one of its colours: the image's
// transparent colour (after similar colours are pulled onto it), a black-and-white
// transparency mask of one colour with its edge treatment, and a layer's mask opened
// where the layer has one colour.
#include <array>

#include "pixel/Params.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Colors.h"
#include "platform/core/Types.h"

namespace qm {

// The image's transparent colour. Merge: 0 the colours within the tolerance of Color
// take the transparent colour the image has already, 1 they take Color, which becomes
// the transparent colour. Disable: the transparency is switched off instead.
struct TTransColorParams {
  TColor Color;
  int Tolerance;
  int Merge;
  bool Disable;
};
template <>
struct TParamTable<TTransColorParams> {
  static constexpr std::array Fields{
      ColorParam("Color", &TTransColorParams::Color, clWhite),
      IntParam("Tolerance", &TTransColorParams::Tolerance, {0, 255}, {0, 100}, 30),
      ChoiceParam("Merge", &TTransColorParams::Merge, 2, 0),
      BoolParam("Disable", &TTransColorParams::Disable, false),
  };
};
// The pixels of the rect within the tolerance of color become target (ReplaceColorRect);
// target becomes the bitmap's transparent colour, transparency on.
void SetTransparentColor(TBitmap& bmp, TColor color, TColor target, int tolerance, TRect rect);

// The edge treatments of a transparency mask.
enum TMaskEdge : int { meNone = 0, meSmooth = 1, meBlur = 2, meProgressive = 3, meDiffusion = 4 };
constexpr int kMaskEdgeCount = 5;

struct TTransMaskParams {
  TColor Color;
  int Tolerance;
  int Effect;  // a TMaskEdge
};
template <>
struct TParamTable<TTransMaskParams> {
  static constexpr std::array Fields{
      ColorParam("Color", &TTransMaskParams::Color, clWhite),
      IntParam("Tolerance", &TTransMaskParams::Tolerance, {0, 255}, {0, 100}, 30),
      ChoiceParam("Effect", &TTransMaskParams::Effect, kMaskEdgeCount, meSmooth),
  };
};
// mask := source's pixels within the tolerance of the colour white (255), the others
// black (0), over the whole bitmap (mask takes source's size), then the edge treatment:
//   Aucun none; Lissage one shrink pass, then the stair steps ramped over 33 pixels;
//   Flou three shrink passes, then three 3 x 3 box blurs; Contour progressif eight
//   shrink passes, then a Gaussian blur of radius 4; Diffusion three shrink passes,
//   then the pixels spread by 6.
// The mask is not transparent. mask and source must be different bitmaps.
void MakeTransparencyMask(TBitmap& mask, const TBitmap& source, const TTransMaskParams& params);

// A layer's pixels of one colour hidden by its mask: Opacity 0 hides them fully, 100
// leaves them shown.
struct TLayerTransParams {
  TColor Color;
  int Tolerance;
  int Opacity;
};
template <>
struct TParamTable<TLayerTransParams> {
  static constexpr std::array Fields{
      ColorParam("Color", &TLayerTransParams::Color, clWhite),
      IntParam("Tolerance", &TLayerTransParams::Tolerance, {0, 255}, {0, 100}, 30),
      IntParam("Opacity", &TLayerTransParams::Opacity, {0, 100}, {0, 100}, 0),
  };
};
// Where the image's pixel of the rect is within the tolerance of the colour, the mask
// (the image's size) takes the grey 255 - Opacity * 255 div 100.
void HideColorInMask(const TBitmap& image, TBitmap& mask, const TLayerTransParams& params, TRect rect);

}  // namespace qm
