#pragma once
// The tile effects that draw curves, lines, polygons and ellipses through QPainter:
// antialiasing off, drawing clipped to the rect. Bands of rows are painted on the
// engine's threads, each by a painter clipped to its band, with the pixels one painter
// over the whole rect gives; the random draws are made first, on the calling thread.
// Each clips its rect to the bitmap it names and returns at once on an empty result or
// an out-of-range parameter. The ones that read a source make the destination a 24-bit
// bitmap of the source's size first; source and destination may be the same bitmap.
#include <array>
#include <cstdint>

#include "pixel/Params.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

// Puzzle outlines drawn in place: the rect is cut into PieceCount columns and rows of
// about `size` pixels, and every inner edge is drawn in the colour with a pen of the
// width, as one of the two puzzle edge curves of its direction chosen by Random(2)
// (the top edge of a piece before its left edge, pieces row by row). Size 5..500, pen
// width 1..10, and the size at most half the rect's width and height.
void FilterPuzzle(TBitmap& bmp, int size, TColor color, TRect rect, int penWidth);

// Cross-stitch lines: the rect is filled with the background; from each cell x cell
// corner (x, y) of the rect, with h = thickness div 2, the first diagonal runs from
// (x + h, y + h) to (x + cell - h, y + cell - h) and the second from (x + cell - h,
// y + h) to (x + h, y + cell - h), drawn in the source colour at (x, y) with a pen of
// the thickness. Thickness 1..5, cell 3..50.
void FilterCrossStitch(const TBitmap& src, TBitmap& dst, TColor background, TRect rect, bool secondDiagonal,
                       bool firstDiagonal, int thickness, int cell);

// Cross-stitch halves: as FilterCrossStitch with filled triangles in the cell's colour:
// the first half (x + 1, y + 1), (x + cell - 1, y + cell - 1), (x + 1, y + cell - 1);
// the second (x + cell - 1, y + 1), (x + 1, y + cell - 1), (x + cell - 1, y + cell - 1).
// Cell 3..50.
void DrawCrossStitch(const TBitmap& src, TBitmap& dst, TColor background, TRect rect, bool secondHalf,
                     bool firstHalf, int cell);

// Pointillism: the rect is filled with the background unless it is clNone; then for
// every step-th row and column (x, y) of the rect a filled disc of the source colour at
// (x, y) is drawn in the size x size box from (x - Random(size), y - Random(size)).
// Dot size 3..50, step at least 1.
void FilterPointillism(const TBitmap& src, TBitmap& dst, int size, TRect rect, TColor background, int step);

// --- The drawn tile dialogs' parameter sets ------------------------------------------

// Puzzle: FilterPuzzle with pieces of Size and a pen of Thickness in Color, then with
// Relief convolution preset 11 over the rect.
struct TPuzzleParams {
  int Size;
  int Thickness;
  TColor Color;
  bool Relief;
};
template <>
struct TParamTable<TPuzzleParams> {
  static constexpr std::array Fields{
      IntParam("Size", &TPuzzleParams::Size, {5, 300}, {5, 300}, 50),
      IntParam("Thickness", &TPuzzleParams::Thickness, {1, 5}, {1, 5}, 1),
      ColorParam("Color", &TPuzzleParams::Color, clBlack),
      BoolParam("Relief", &TPuzzleParams::Relief, true),
  };
};
void ApplyPuzzle(TBitmap& bmp, const TPuzzleParams& params, TRect rect);

// The styles of the cross-stitch: both diagonals, the rising one (from bottom left),
// the falling one, or filled half-cells.
enum TStitchStyle : uint8_t { ssCross = 0, ssRising = 1, ssFalling = 2, ssTriangle = 3 };

// Cross-stitch of Length from the copy taken before the change on a Background fill;
// with Grid a black one-pixel grid of the stitch length over it.
struct TCrossStitchParams {
  int Length;
  int Style;  // a TStitchStyle
  int Thickness;
  bool Grid;
  TColor Background;
};
template <>
struct TParamTable<TCrossStitchParams> {
  static constexpr std::array Fields{
      IntParam("Length", &TCrossStitchParams::Length, {3, 20}, {3, 20}, 11),
      ChoiceParam("Style", &TCrossStitchParams::Style, 4, ssCross),
      IntParam("Thickness", &TCrossStitchParams::Thickness, {1, 5}, {1, 5}, 2),
      BoolParam("Grid", &TCrossStitchParams::Grid, false),
      ColorParam("Background", &TCrossStitchParams::Background, clWhite),
  };
};
void ApplyCrossStitch(TBitmap& bmp, const TBitmap& source, const TCrossStitchParams& params, TRect rect);

}  // namespace qm
