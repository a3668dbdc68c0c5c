#pragma once
// Tile effects: shifted tiles and grids of lines, and the geometry of the effects that
// draw curves, lines and ellipses (puzzle, cross-stitch, pointillism; drawn in
// pixel/qt/TileDraw). Every routine clips its rect to the bitmap it names, returns at
// once on an empty result or an out-of-range parameter, and draws only inside the rect.
//
// The effects that draw at random positions draw from the program's one generator in a
// fixed order on one thread; they never reseed it, so seeding it first repeats a result.
#include <array>
#include <cstdint>

#include "pixel/Params.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

// How many pieces of about `size` a span holds: span div size, plus one when the
// remainder is more than 2 * size div 3. At least 1; size must be at least 1.
int PieceCount(int span, int size);

// Makes dst a 24-bit bitmap of src's size; the pixels both share are kept.
void SizeLikeSource(const TBitmap& src, TBitmap& dst);

// Tiles: the destination takes the source's size, the rect is filled with the colour,
// then every size x size square of the source from the rect's corner (while it starts
// before the rect's last row and column) is copied to a place moved vertically, then
// horizontally, by gap div 2 - Random(gap) and pushed back inside the rect; with the
// outline flag each copied square is framed in the colour (1 pixel). Size 2..100,
// gap 0..20; a gap of 0 leaves every tile in place.
void FilterTiles(const TBitmap& src, TBitmap& dst, int size, TRect rect, bool outline, TColor color, int gap);

// Grid: with the frame flag a frame of the thickness inside the rect; then bands of
// the thickness in the colour: rows top + round(p) for p = step - thickness div 2,
// p + step, ... while p < height - thickness (horizontal flag), and likewise columns
// (vertical flag). Both steps are the cell size, or with the fit flag the height and
// the width divided by their piece counts. Nothing for a cell below 1, a thickness below
// 1, a cell larger than half the rect's width or height, or a bitmap that is not 24-bit.
void DrawGridLines(TBitmap& bmp, int cell, TColor color, TRect rect, bool fit, bool horizontal, bool vertical,
                   bool frame, int thickness);

// --- Geometry of the drawn effects ---------------------------------------------------

// Puzzle edges: Bezier poly-curves of ten points (a start and three segments) in a
// 15 x 15 unit cell: 0 and 1 horizontal (tabs on opposite sides), 2 and 3 vertical.
extern const TPoint kPuzzleEdges[4][10];
// The ten points of edge shape `shape` of the piece in column c and row r of a grid of
// cw x ch cells from (left, top): (round(px * cw / 15 + c * cw + left),
// round(py * ch / 15 + r * ch + top)).
void PuzzleEdgePoints(int shape, int c, int r, double cw, double ch, int left, int top, TPoint out[10]);

// --- The tile dialogs' parameter sets ------------------------------------------------

// Mosaic: MosaicRect in blocks of Block, then with Outline a one-pixel grid of the
// block size in Color (DrawGridLines, neither fitted nor framed).
struct TMosaicParams {
  int Block;
  bool Outline;
  TColor Color;
};
template <>
struct TParamTable<TMosaicParams> {
  static constexpr std::array Fields{
      IntParam("Block", &TMosaicParams::Block, {2, 30}, {2, 30}, 5),
      BoolParam("Outline", &TMosaicParams::Outline, true),
      ColorParam("Color", &TMosaicParams::Color, clBlack),
  };
};
void ApplyMosaic(TBitmap& bmp, const TMosaicParams& params, TRect rect);

// Tiles of Size from the copy taken before the change, moved by up to 3 pixels
// (FilterTiles with a gap of 6), framed in Color with Outline.
struct TTilesParams {
  int Size;
  bool Outline;
  TColor Color;
};
template <>
struct TParamTable<TTilesParams> {
  static constexpr std::array Fields{
      IntParam("Size", &TTilesParams::Size, {10, 100}, {10, 100}, 40),
      BoolParam("Outline", &TTilesParams::Outline, true),
      ColorParam("Color", &TTilesParams::Color, clWhite),
  };
};
void ApplyTiles(TBitmap& bmp, const TBitmap& source, const TTilesParams& params, TRect rect);

// Grid lines of Thickness in Color every Cell pixels (DrawGridLines, unframed), then
// with Relief convolution preset 11 over the rect.
struct TGridParams {
  int Cell;
  bool Vertical;
  bool Horizontal;
  bool Fit;
  bool Outline;  // the selection's outline drawn too (by the dialog, after the grid)
  bool Relief;
  int Thickness;
  TColor Color;
};
template <>
struct TParamTable<TGridParams> {
  static constexpr std::array Fields{
      IntParam("Cell", &TGridParams::Cell, {2, 100}, {2, 100}, 40),
      BoolParam("Vertical", &TGridParams::Vertical, true),
      BoolParam("Horizontal", &TGridParams::Horizontal, true),
      BoolParam("Fit", &TGridParams::Fit, true),
      BoolParam("Outline", &TGridParams::Outline, true),
      BoolParam("Relief", &TGridParams::Relief, false),
      IntParam("Thickness", &TGridParams::Thickness, {1, 5}, {1, 5}, 1),
      ColorParam("Color", &TGridParams::Color, clBlack),
  };
};
void ApplyGrid(TBitmap& bmp, const TGridParams& params, TRect rect);

}  // namespace qm
