#pragma once
// The routines that draw one layer into a bitmap, and the pixel work of the layer
// operations: shadows from a mask, the blend of two layers through their masks, edge
// colour spreading, content rectangles and layer resampling. Every routine clips its
// rectangle first and returns on an empty one; none throws for ordinary input.
#include <cstdint>

#include "document/LayerItem.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

// Source placed with its top-left corner at (left, top) of the target, drawn inside
// clipRect: through a non-empty mask (CopyBitmapRectMasked), else through a transparent
// source's colour key (tolerance 0), else at the opacity.
void DrawLayerBitmap(const TBitmap& source, TBitmap& target, int left, const TBitmap& mask, int opacity,
                     TRect clipRect, int top);

// The settings of an adjustment layer applied to rect of what lies below, each scaled
// by the opacity: lighten, contrast and saturation (percent x opacity / 100, truncated),
// then gamma (1 + (gamma - 1) x opacity / 100); zero settings and a gamma of 1 are
// skipped.
void ApplyLayerAdjustments(TBitmap& target, const TLayerAdjustment& adjustment, int opacity, TRect rect);

// Draws source through a transformation into target: through a non-empty mask, else at
// the opacity.
void RasterizeLayer(const TBitmap& source, TBitmap& target, TTransformation& transform, bool smooth,
                    const TBitmap& mask, int opacity);

// Tints rect toward the colour by the opacity (away from it with negate).
void TintLayerRect(TBitmap& target, TColor color, int opacity, TRect rect, bool negate);

// The rectangle a layer at r (image coordinates) covers together with its shadow: the
// offsets extend the side they point to, and the shadow's reach inflates the whole. A
// disabled shadow leaves r.
TRect ExtendRectByShadow(TRect r, const TLayerShadow& shadow);

// How far beyond its silhouette a shadow reaches: the blur kernel's half-width, the
// scatter distance (twice the radius), or 0 for a hard shadow. Radii above 100 count as
// 100, the furthest a blur kernel reaches.
int ShadowReach(const TLayerShadow& shadow);

// The part of a layer's shadow that does not depend on what lies below: the layer's
// silhouette (its mask, or its rectangle) moved by the offsets, blurred or spread, and
// cleared under the layer itself, over enough of the image around clip that drawing it
// inside clip gives the same pixels as drawing the whole shadow. A spread shadow draws
// its noise from a fixed seed over the whole shadow, so it too looks the same whatever
// part is drawn.
struct TShadowMask {
  TBitmap Work;     // grey mask: 0 full shadow, 255 none
  TRect Area{};     // where Work lies, image coordinates
  TRect Draw{};     // where the colour is blended: clip and the shadow's reach
  TColor Color = 0;
  int Opacity = 0;  // layer opacity x shadow opacity / 100
  bool Empty() const { return Draw.IsEmpty() || Opacity < 1; }
};
TShadowMask PrepareShadowMask(const TBitmap& mask, int left, int top, int width, int height,
                              const TLayerShadow& shadow, TRect clip, int opacity);
// Blends the shadow colour into target through the prepared mask, inside clip.
void DrawShadowMask(const TShadowMask& shadow, TBitmap& target, TRect clip);
// Both: the shadow of a layer at (left, top) of width x height, drawn into target inside
// clip at opacity x shadow opacity / 100.
void RenderShadowFromMask(const TBitmap& mask, TBitmap& target, int left, int height, int width,
                          const TLayerShadow& shadow, TRect clip, int opacity, int top);

// False for an empty mask or a point outside it; else whether the pixel is 255.
bool IsMaskPixelHidden(const TBitmap& mask, int x, int y);
// Image pixels white wherever a non-empty mask hides them fully (255).
void WhitenMaskedArea(TBitmap& image, const TBitmap& mask);
// The mask's rectangle less its uniform white edges, or the image's rectangle when the
// mask is empty. Empty when the mask is white everywhere.
TRect GetLayerContentRect(const TBitmap& image, const TBitmap& mask);
// Crops image and mask to GetLayerContentRect when that is neither empty nor the whole
// mask, and adds its top-left corner to position.
void CropLayerToMask(TBitmap& image, TBitmap& mask, TPoint& position);

// Resizes the bitmap to w x h: smooth with the triangle filter of GraphicsMagick,
// otherwise nearest pixel (ResizeBitmap keeps the top-left part). Nothing for a size
// below 1 or an empty bitmap.
void ResizeLayerBitmap(TBitmap& bmp, int w, int h, bool smooth);

// Spreads edge colours into the key-coloured pixels of rect, passes times: each pass
// gives every key-coloured pixel the colour of its first neighbour that is not the key,
// in the order above, below, left, right, all read as they were before the pass. The
// rect's edges stand in for the neighbours outside it.
void RepeatEdgePass(TBitmap& bmp, int passes, TColor keyColor, TRect rect);

// The overlap of two layers merged into one image out, whose pixel (0, 0) lies at
// (originX, originY) in image coordinates: per pixel of the intersection of both
// layers' rectangles, with au and al the coverages (255 - mask) / 255 x opacity / 100,
// the lower pixel, the upper pixel, or the lower one blended toward the upper one by the
// share of the upper layer in the combined coverage. Empty masks count as 0.
void BlendLayerThroughMasks(const TLayerItem& upper, const TLayerItem& lower, TBitmap& out, int originX,
                            int originY);

}  // namespace qm
