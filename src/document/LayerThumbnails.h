#pragma once
// The pictures of the layer strip beside a document: the size of its thumbnails, and
// one layer's thumbnail drawn over a checkerboard as it sits on the background. Headless:
// the strip widget paints these pictures and adds its glyphs.
#include <vector>

#include "document/LayerItem.h"
#include "platform/core/Bitmap.h"

namespace qm {

// How a strip of a given client width shows a background of a given size. Every layer
// has a cell of ListWidth x ListHeight; the background's thumbnail, ThumbWidth x
// ThumbHeight, sits in it, Scale image pixels to one thumbnail pixel. No field is below
// 1, whatever the width: a strip narrower than its margins still gets 1-pixel cells.
struct TThumbGeometry {
  int ListWidth = 1, ListHeight = 1;
  int ThumbWidth = 1, ThumbHeight = 1;
  double Scale = 1.0;
  friend bool operator==(const TThumbGeometry&, const TThumbGeometry&) = default;
};

// Cells are clientWidth - 2 x spacing - margin - 2 wide and three quarters of that high.
// A background at least as wide as high gets a thumbnail 6 narrower than the cell, its
// height following from Scale = (width - 1) / ThumbWidth; when that is too high for
// the cell, or the background is higher than wide, the height is fixed to the cell's
// less 6 in the same way. A Scale below 1 becomes 1: small images keep their own size.
TThumbGeometry ComputeThumbGeometry(int clientWidth, int backgroundWidth, int backgroundHeight, int spacing,
                                    int margin);

// The colours of the checkerboard under thumbnails: white and this grey, squares of
// kThumbCheckerSquare pixels, a grey square at the top-left.
constexpr TColor kThumbCheckerColor = 0xC0C0C0;
constexpr int kThumbCheckerSquare = 4;
void FillThumbChecker(TBitmap& bmp);

// The thumbnail of a layer: ThumbWidth x ThumbHeight of checkerboard, and for a bitmap
// layer its image scaled by 1 / Scale (the triangle filter, after a quick reduction for
// large layers; nearest pixel below 2 x 2) drawn through its scaled mask, or through a
// mask made from its transparent colour, at its opacity at (Left / Scale, Top / Scale).
// Other kinds of layer give the checkerboard alone: the strip shows their glyphs.
TBitmap RenderLayerThumbnail(const TLayerItem& layer, const TThumbGeometry& g);

// RenderLayerThumbnail for the layers at the indexes (out[k] for indexes[k]), several
// layers at once on the engine's threads. Indexes outside the list give empty bitmaps.
void RenderLayerThumbnails(const TLayerList& layers, const TThumbGeometry& g, const std::vector<int>& indexes,
                           std::vector<TBitmap>& out);

}  // namespace qm
