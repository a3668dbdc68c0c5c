#pragma once
// The slide mount: a frame of a colour round a rectangle, its inner corners rounded and
// its inner edge blurred, drawn through a mask (the rounded rectangle painted through
// QPainter, aliased).
#include <array>
#include <cstdint>

#include "pixel/Params.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

struct TSlideParams {
  int Width;  // of the frame, inside the rect
  TColor Color;
  int Opacity;
  int Blur;   // 0 light (2 blur passes), 1 strong (8)
  int Round;  // 0 light (corner ellipse 20 x 20), 1 strong (60 x 60)
};
template <>
struct TParamTable<TSlideParams> {
  static constexpr std::array Fields{
      IntParam("Width", &TSlideParams::Width, {3, 500}, {3, 500}, 10),
      ColorParam("Color", &TSlideParams::Color, clBlack),
      IntParam("Opacity", &TSlideParams::Opacity, {10, 100}, {10, 100}, 100),
      ChoiceParam("Blur", &TSlideParams::Blur, 2, 0),
      ChoiceParam("Round", &TSlideParams::Round, 2, 0),
  };
};

// Whether the frame fits the rect: twice its width and one pixel across both sides.
bool SlideFrameFits(const TSlideParams& params, TRect rect);

// A black mask of the bitmap's size takes the white rounded rectangle of the rect
// shrunk by the width, is blurred, and the colour is blended into the rect at the
// opacity where the mask is dark: the frame, fading along its rounded inner edge.
// Nothing when the frame does not fit or the bitmap is not 24-bit.
void ApplySlideFrame(TBitmap& bmp, const TSlideParams& params, TRect rect);

}  // namespace qm
