#pragma once
// The values of the frame, edge, shadow and contour effects, and the outer shadow's
// composition. The effects that follow the selection's shape are drawn by the dialogs
// with the selection masks; what is here reads no selection.
#include <array>

#include "pixel/Params.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Colors.h"
#include "platform/core/Types.h"

namespace qm {

// A band of Width pixels along the inside of the rectangle, tinted toward Color by
// Opacity percent (DrawImageFrame).
struct TFrameParams {
  int Width;
  TColor Color;
  int Opacity;
};
template <>
struct TParamTable<TFrameParams> {
  static constexpr std::array Fields{
      IntParam("Width", &TFrameParams::Width, {1, 500}, {1, 500}, 20),
      ColorParam("Color", &TFrameParams::Color, clWhite),
      IntParam("Opacity", &TFrameParams::Opacity, {10, 100}, {10, 100}, 60),
  };
};
// The frame fits when 2 x width + 1 pixels fit in the rectangle's width and height.
bool FrameFits(TRect rect, int width);

// Placements of an edge or a shadow toward a corner: 0 top left, 1 bottom left, 2 top
// right, 3 bottom right.
enum TCornerPosition : int { cpTopLeft = 0, cpBottomLeft = 1, cpTopRight = 2, cpBottomRight = 3 };
constexpr int kCornerPositionCount = 4;

// A light and a dark blurred edge along the selection's outline, shifted toward
// opposite corners (Position gives the first edge's).
struct TContour3DParams {
  bool Edge1;
  TColor Color1;
  bool Edge2;
  TColor Color2;
  int Width;
  int Opacity;
  int Position;
};
template <>
struct TParamTable<TContour3DParams> {
  static constexpr std::array Fields{
      BoolParam("Edge1", &TContour3DParams::Edge1, true),
      ColorParam("Color1", &TContour3DParams::Color1, clWhite),
      BoolParam("Edge2", &TContour3DParams::Edge2, true),
      ColorParam("Color2", &TContour3DParams::Color2, clBlack),
      IntParam("Width", &TContour3DParams::Width, {1, 20}, {1, 20}, 5),
      IntParam("Opacity", &TContour3DParams::Opacity, {10, 100}, {10, 100}, 70),
      ChoiceParam("Position", &TContour3DParams::Position, kCornerPositionCount, cpTopLeft),
  };
};
// Where an edge mask of margin m (a mask grown by 2m around the rectangle) is placed,
// relative to the rectangle's top-left corner, for a corner position.
TPoint Contour3DEdgeOffset(int position, int margin);

enum TShadowStyle : int { shFlat = 0, shSmoothed = 1 };

// The selection's shadow moved by Offset, flat or blurred, under the selection.
struct TDropShadowParams {
  TColor Color;
  int Style;
  TPoint Offset;
  int Opacity;
};
template <>
struct TParamTable<TDropShadowParams> {
  static constexpr std::array Fields{
      ColorParam("Color", &TDropShadowParams::Color, clBlack),
      ChoiceParam("Style", &TDropShadowParams::Style, 2, shSmoothed),
      PointParam("Offset", &TDropShadowParams::Offset, {-100, 100}, {-100, 100}, TPoint{10, 10}),
      IntParam("Opacity", &TDropShadowParams::Opacity, {10, 100}, {10, 100}, 70),
  };
};
// The rectangle grown toward the offset: its left edge by a negative X, its right edge
// by a positive one, and likewise with Y.
TRect GrowTowardOffset(TRect rect, TPoint offset);

enum TContourEffect : int { ceNone = 0, ceBlur = 1, ceSpread = 2 };

// A gradient of Color from full strength on the selection's outline to nothing Width
// pixels away, inside the selection or outside it.
struct TProgressiveContourParams {
  TColor Color;
  int Opacity;
  int Width;
  bool Outside;
  int Effect;
};
template <>
struct TParamTable<TProgressiveContourParams> {
  static constexpr std::array Fields{
      ColorParam("Color", &TProgressiveContourParams::Color, clBlack),
      IntParam("Opacity", &TProgressiveContourParams::Opacity, {50, 100}, {50, 100}, 100),
      IntParam("Width", &TProgressiveContourParams::Width, {3, 100}, {3, 100}, 20),
      BoolParam("Outside", &TProgressiveContourParams::Outside, false),
      ChoiceParam("Effect", &TProgressiveContourParams::Effect, 3, ceBlur),
  };
};
// The mask level k steps into a gradient of width steps: k * 255 div width.
constexpr int ContourGrey(int k, int width) { return width > 0 ? k * 255 / width : 255; }

// The inside gradient of a shape that does not nest (a polygon, a free outline): mask
// holds the shape in black (0) on white within rect (not clipped). Over rect grown by
// 4 (cut to the mask), a shape pixel becomes grey(min(s, width)), s the number of
// one-pixel shrink steps (ApplyMinMaxPasses(-1) over rect shrunk by one pixel more at
// each step) it survives; every other pixel of that area becomes 0. What painting each
// level through the shrinking shape gives, in two passes of a 4-neighbour distance.
void InsideContourLevels(TBitmap& mask, TRect rect, int width);

// The brush hatches of the fill, in the order of the style list.
enum TFillHatch : int { fhSolid, fhHorizontal, fhVertical, fhForwardDiagonal, fhBackwardDiagonal, fhCross, fhDiagCross };
constexpr int kFillHatchCount = 7;

// The selection's outline stroked and its rectangle filled, then the whole faded.
struct TOutlineFillParams {
  bool Outline;
  TColor OutlineColor;
  int Width;
  bool Smooth;
  bool Fill;
  TColor FillColor;
  int Style;
  int Opacity;
};
template <>
struct TParamTable<TOutlineFillParams> {
  static constexpr std::array Fields{
      BoolParam("Outline", &TOutlineFillParams::Outline, true),
      ColorParam("OutlineColor", &TOutlineFillParams::OutlineColor, clBlack),
      IntParam("Width", &TOutlineFillParams::Width, {1, 50}, {1, 50}, 1),
      BoolParam("Smooth", &TOutlineFillParams::Smooth, true),
      BoolParam("Fill", &TOutlineFillParams::Fill, false),
      ColorParam("FillColor", &TOutlineFillParams::FillColor, clWhite),
      ChoiceParam("Style", &TOutlineFillParams::Style, kFillHatchCount, fhSolid),
      IntParam("Opacity", &TOutlineFillParams::Opacity, {10, 100}, {10, 100}, 100),
  };
};

// The outer shadow: a canvas of the image grown by the offset and twice the margin,
// the shadow and the image toward opposite corners.
struct TOuterShadowLayout {
  int Width = 0, Height = 0;  // the canvas
  TPoint Image, Shadow;       // their top-left corners on it
};
TOuterShadowLayout OuterShadowLayout(int imageWidth, int imageHeight, int offset, int margin, int position);
// The shadow of an image of the size, blurred when smoothed, blended in the colour at the
// opacity into the canvas at the layout's place.
void DrawOuterShadow(TBitmap& canvas, const TOuterShadowLayout& layout, int imageWidth, int imageHeight,
                     TColor color, int opacity, bool smoothed);

}  // namespace qm
