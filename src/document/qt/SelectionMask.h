#pragma once
// Masks of the active selection, and the selection rebuilt from masks.
//
// Masks are grey 24-bit bitmaps: 0 selected (applied), 255 not. A restore mask is the
// complement used after a change of the active layer: 0 where the pre-change pixel
// comes back (outside the selection), 255 where the change stays. All routines work on
// the active document through the host; none raises, and an empty rectangle or a
// missing document gives a null mask or leaves the selection as it is.
#include <cstdint>
#include <memory>
#include <vector>

#include "document/SelectionHost.h"
#include "document/Shapes.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

// The edge of a restore mask: hard, progressive (shrunk and blurred) or smoothed
// (ramped or antialiased).
enum TSelectionEdge : uint8_t { seHard = 0, seProgressive = 1, seSmooth = 2 };
// How the magic wand's pick meets the selection: it becomes the selection, is added to
// it or is taken from it.
enum TWandCombine : uint8_t { wcReplace = 0, wcAdd = 1, wcSubtract = 2 };

// False when no selection is shown; true for a shape other than a rectangle or an
// inverted selection; a plain rectangle only when allowRect.
bool HasUsableSelection(TSelectionHost& host, bool allowRect);
// A bitmap of the active layer's size, white or black; null without a layer.
std::unique_ptr<TBitmap> CreateSelectionMaskBitmap(TSelectionHost& host, bool white);

// The selection over rect (active layer coordinates, cut to the layer): white with
// the shape black, or the reverse when inverted. A hidden selection stands for the
// whole layer. Null when the cut rect is empty.
std::unique_ptr<TBitmap> BuildSelectionMask(TSelectionHost& host, TRect rect, bool inverted);
std::unique_ptr<TBitmap> BuildSelectionMask(TSelectionHost& host, bool inverted);  // the whole layer
// The same over the whole image, in image coordinates.
std::unique_ptr<TBitmap> BuildMergedSelectionMask(TSelectionHost& host, TRect rect, bool inverted);
std::unique_ptr<TBitmap> BuildMergedSelectionMask(TSelectionHost& host, bool inverted);

// The selection's shape fitted to rect and filled in the colour. With usePolygon the
// polygon kinds (triangles, lozenge, polygon) are filled and outlined antialiased by
// the polygon rasteriser; every other kind is drawn with a solid pen and brush.
void RenderSelectionShapeToMask(TSelectionHost& host, TBitmap& bmp, const TRect& rect, TColor color,
                                bool usePolygon);
// The outline instead of the fill, with a pen of the width.
void StrokeSelectionShape(TSelectionHost& host, TBitmap& bmp, const TRect& rect, TColor color, bool usePolygon,
                          int penWidth);

// The restore mask of the shown selection over the active layer, with the edge asked
// for. Null without a shown selection.
std::unique_ptr<TBitmap> ApplySelectionMaskToLayer(TSelectionHost& host, TSelectionEdge edge);
// The hard-edged restore mask of the shown selection over the active layer drawn at
// width x height, as if the layer had that size: what confines a change on a thumbnail
// of the layer. Null without a shown selection or for an empty size.
std::unique_ptr<TBitmap> SelectionRestoreMaskAt(TSelectionHost& host, int width, int height);
// What a restriction made, kept for the next one (the previews of a dialog, the next
// command on the same selection): the restore mask, made again when the selection (its
// kind, rectangle, outline and inversion), the edge or the area it covers differ.
struct TRestoreMaskCache {
  TBitmap Mask;
  TRect SelRect{}, Area{};
  TMyShape Kind = ssRect;
  bool Inverted = false;
  TSelectionEdge Edge = seHard;
  std::vector<TPoint> Points;  // the shape's outline, in its own space
  std::vector<uint8_t> PointFlags;
  TRect ShapeBounds{};
  bool Valid = false;
  void Clear() { *this = TRestoreMaskCache(); }
};

// After a change of the active layer, brings the pre-change pixels back outside the
// selection. Does nothing without a usable selection or a pre-change copy of the
// layer's size. The edge asked for gives way to the Selection menu's smoothing (none:
// hard; progressive asked without progressive smoothing: smoothed) and a rectangle
// selection's edge is always hard. With a cache, a mask made for an earlier
// restriction of the same change is used again.
void RestrictChangeToSelection(TSelectionHost& host, TSelectionEdge edge, TRestoreMaskCache* cache = nullptr);

// Strokes the selection outline on the active layer in the colour and width (a frame
// along the layer's border when no selection is shown or it is inverted).
void StrokeSelectionOutline(TSelectionHost& host, TColor color, int width, bool smooth);

// Each of these rebuilds the selection as a traced outline (ssMultiPoints) and
// returns its new rect in image coordinates, or an empty rect, leaving the selection
// as it was, when nothing would be selected.
// The selection's complement within the image.
void InvertSelectionShape(TSelectionHost& host, TRect& rect);
// Adds (or with subtract removes) a shape just drawn in the view, in rect (image
// coordinates). The result is not inverted.
void CombineDrawnShapeWithSelection(TSelectionHost& host, TShapeManager& drawn, TMyShape drawnKind,
                                    const TRect& rect, bool subtract, TRect& outRect);
// The magic wand's mask (the active layer's size, 0 = picked) combined with the
// selection. The result is not inverted.
void CombineMaskWithSelection(TSelectionHost& host, const TBitmap& mask, TWandCombine combine, TRect& rect);
// A band of the width along the selection's outline (and the image's border for an
// inverted selection). The result is not inverted.
void ConvertSelectionToBorder(TSelectionHost& host, int width, TRect& rect);

}  // namespace qm
