#pragma once
// The layered image of a document, without its widget: the layer stack with its active
// layer, the composed bitmap (the stack drawn onto one 24-bit bitmap of the
// background's size, what is shown, saved and picked from), adding, merging and picking
// layers, and the coordinate chain between the view, the image and the active layer.
//
// The model knows nothing of the widget that shows it: it works in image coordinates,
// and tells its host (the document's view) what to repaint through OnRepaint. Moving a
// layer with the pointer and the keys is the view's (src/views): the model only
// places layers and composes a dragged layer without its shadow.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "document/LayerItem.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

class TUndoList;

// Stages reported by OnLayerMove while the active layer is moved.
enum TLayerMoveStage : int { lmDragStart = 0, lmDragging = 1, lmDragEnd = 2, lmMoved = 3 };

class TLayeredImage : public TLayerListOwner {
 public:
  TLayeredImage();
  ~TLayeredImage() override;
  TLayeredImage(const TLayeredImage&) = delete;
  TLayeredImage& operator=(const TLayeredImage&) = delete;

  TLayerList Layers;

  // While set, invalidation neither recomposes nor queues anything (dialogs set it while
  // they draw previews straight into the composed bitmap).
  bool SuspendComposition = false;

  // Image properties the files carry.
  double ResolutionX = 72, ResolutionY = 72;
  std::string Comment;
  int ColorCount = 0;

  std::function<void(TLayeredImage& sender, TLayerMoveStage stage)> OnLayerMove;
  std::function<void(TLayeredImage& sender, TLayerItem& layer)> OnLayerDeleting;
  std::function<void(TLayeredImage& sender, TLayerItem& layer)> OnLayerSelect;

  // The host's side: an image rectangle to repaint (it may reach past the image: the
  // host clips),
  // and a change of the active layer (the view's cursor may follow it). Either may be
  // empty.
  std::function<void(const TRect& imageRect)> OnRepaint;
  std::function<void()> OnActiveLayerChanged;

  // The history whose steps must never outlive their layers: every layer deleted from
  // the stack first has its steps removed from it (at any depth). May be null; a history
  // freed before the image must be detached first (freeing the image itself tells it
  // nothing).
  void SetHistory(TUndoList* history) { history_ = history; }

  // --- Active layer --------------------------------------------------------------
  int ActiveIndex() const override { return activeIndex_; }
  TLayerItem* GetActiveLayer();
  const TLayerItem* GetActiveLayer() const;
  // Ignored outside 0..Count-1; then the cursor is refreshed.
  void SetActiveLayerIndex(int i);
  int GetLayerCount() const { return Layers.GetCount(); }

  // --- The composed bitmap ---------------------------------------------------------
  // A stack that is one plain background (visible, opaque, unmasked, without colour
  // key, shadow or transformation) composes to the background itself: no bitmap of its
  // own is kept for it, and UpdatedComposition answers the background.
  //
  // The composed bitmap as it stands, a bitmap of its own that the caller may draw into
  // (a dialog does while composition is suspended): for a plain background it is made
  // then, a copy of the background. Always the background's size while there are layers.
  TBitmap& ComposedBitmap();
  // The composed bitmap with everything invalidated since the last composition redone
  // (unless composition is suspended): what is shown, saved and picked from. Read only:
  // it may be the background's own bitmap. Valid until the layers change.
  const TBitmap& UpdatedComposition();
  // The size of the composition: the background's (0 x 0 without layers).
  TRect ImageRect() const;
  // Queues an image rectangle (or the whole image) for recomposition and asks the view
  // to repaint it. Nothing while composition is suspended.
  void InvalidateImageRect(TRect r);
  void InvalidateImage();
  // An image rectangle of the active layer changed: its shadow's reach is included.
  void InvalidateLayerRect(TRect r);
  // The part of the image queued for recomposition.
  TRect PendingRect() const { return pending_; }

  // Draws layer i into target (image coordinates) inside clipRect, as composition does.
  void DrawLayer(int i, TBitmap& target, TRect clipRect);
  // Recomposes r of the composed bitmap: white first when the background does not cover
  // it, then every layer from the bottom. RenderLayers does the whole image.
  void RenderRect(TRect r);
  void RenderLayers();
  // Composes r of every layer onto a backdrop colour in target (a 24-bit bitmap of the
  // image's size), whatever the background covers. Composed over black and over white,
  // the image shows what it lets through: the view draws it over a checkerboard so.
  void RenderRectOnto(TBitmap& target, TRect r, TColor backdrop);

  // --- Adding layers: each appends at the top and makes the new layer active ---------
  // Bitmap layer; image and mask are copied and made 24-bit. Returns the new index.
  int AddLayer(const TBitmap& image, const TBitmap& mask, const std::string& name, int opacity, TPoint position);
  int AddLayer(TBitmap&& image, TBitmap&& mask, const std::string& name, int opacity, TPoint position);
  int AddColorLayer(TColor color, int opacity, const std::string& name, bool negate);
  int AddAdjustmentLayer(const TLayerAdjustment& adjustment, int opacity, const std::string& name);
  // Text layer with its payload, drawn once the payload is rendered, which gives it the
  // payload's opacity (100 until then).
  int AddDataLayer(std::unique_ptr<TLayerData> data, const std::string& name);
  // A copy of layer i named name, visible and unlocked, at the top. -1 when i is out of
  // range.
  int DuplicateLayer(int i, const std::string& name);
  // A new background under the existing layers (only when there is at least one).
  // Returns its index (0), or -1.
  int InsertBottomLayer(const TBitmap& image, const TBitmap& mask, const std::string& name);
  // The stack becomes one background layer (the moving form takes the bitmaps' pixels).
  void LoadFromBitmap(const TBitmap& image, const TBitmap& mask, const std::string& name);
  void LoadFromBitmap(TBitmap&& image, TBitmap&& mask, const std::string& name);
  // A graphic of any format split into a 24-bit image and a mask (a 32-bit graphic's
  // alpha, a transparent graphic's key colour; none for an opaque one): a new bitmap
  // layer at the top, or (LoadFromGraphic) the one background layer at opacity 100.
  int AddLayerFromGraphic(const TBitmap& graphic, TPoint position, const std::string& name, int opacity);
  void LoadFromGraphic(const TBitmap& graphic, const std::string& name);
  // The same, taking an opaque graphic's pixels as they are.
  void LoadFromGraphic(TBitmap&& graphic, const std::string& name);
  // A copy of another image's layers, composed bitmap and properties; null clears.
  void AssignImage(const TLayeredImage* source);

  // --- Merging -------------------------------------------------------------------
  // Every layer drawn into the background, the hidden ones dropped.
  void FlattenAllLayers();
  // The visible layers drawn into the background; hidden layers stay.
  void MergeVisibleLayers();
  // Merges upper into lower (or lower into upper with keepUpper); the kept layer becomes
  // a bitmap layer at opacity 100 covering both. Nothing when lower is not a bitmap
  // layer. The caller deletes the other layer.
  void MergeLayers(TLayerItem& upper, TLayerItem& lower, bool crop, bool keepUpper);
  // The active layer merged into the one below it, then deleted. Nothing for the
  // background or when the layer below is not a bitmap layer.
  void MergeLayerDown(bool crop);

  // Bakes an enabled shadow into the layer (merged under it, the layer growing to hold
  // it) and switches the shadow off. The background's shadow is cut to the image, so
  // the background keeps its place and size.
  void ApplyLayerShadow(TLayerItem& layer);

  // --- Picking ---------------------------------------------------------------------
  // clNone without layers or outside; composed: the composed colour at image point
  // (x, y) (recomposed first); otherwise the active layer's pixel under it.
  TColor PickComposedColor(int x, int y, bool composed);
  // The topmost visible bitmap or text layer under an image point (with throughMask,
  // only where its mask does not hide the pixel); null off the image.
  TLayerItem* LayerAtPoint(int x, int y, bool throughMask = false);
  // Makes LayerAtPoint's layer active and reports it through OnLayerSelect; false
  // when there is none.
  bool SelectLayerAtPoint(int x, int y, bool throughMask = false);

  // --- Coordinates -----------------------------------------------------------------
  // Image and active-layer coordinates differ by the active layer's position, except
  // for the background and when no layer is active.
  TRect ImageRectToLayerRect(TRect r) const;
  TRect LayerRectToImageRect(TRect r) const;
  TPoint ImageToLayerPoint(TPoint p) const;
  TPoint LayerToImagePoint(TPoint p) const;
  TRect GetActiveLayerBounds() const;
  // Whether an image point lies inside the image (the background's rectangle).
  bool ContainsImagePoint(TPoint p) const;
  // An image point on the active layer's Image (on the image, for the background).
  bool IsPointOnActiveLayer(TPoint p) const;
  // The background's Image is transparent (colour key) or has a mask.
  bool BackgroundHasTransparency() const;

  // --- Moving the active layer ---------------------------------------------------------
  // Whether the active layer can be moved (above the background, visible, unlocked, a
  // bitmap or text layer).
  bool IsActiveLayerMovable() const;
  // Moves the active layer, invalidating where it was and where it goes; reports
  // lmDragging while the active layer is being dragged and lmMoved otherwise.
  void MoveTo(int x, int y);
  // Whether the active layer is being dragged: it is then composed without its shadow.
  // Ending a drag repaints the shadow's reach.
  bool ActiveLayerDragging() const { return activeDragging_; }
  void SetActiveLayerDragging(bool dragging);
  // Reports a stage of a move through OnLayerMove.
  void ReportLayerMove(TLayerMoveStage stage) {
    if (OnLayerMove) OnLayerMove(*this, stage);
  }

  // --- TLayerListOwner -------------------------------------------------------------------
  void StoreActiveIndex(int index) override { activeIndex_ = index; }
  void LayerDeleting(TLayerItem& layer) override;
  void LayersChanged() override { InvalidateImage(); }

 private:
  struct TComposeStep;
  // Whether composition must paint white before the background: it does not cover
  // every pixel by itself.
  bool NeedsWhiteUnderBackground() const;
  // The stack is one plain background: the background is the composition.
  bool ComposesToBackground() const;
  // composed_ holds a composition (of the background's size), as it stands.
  bool HasOwnComposition() const;
  // Keeps the composed bitmap at the background's size (queuing a full recomposition
  // when it changes).
  void SyncComposedSize();
  // Draws the listed layers into target inside r, after filling it with fill (unless
  // clNone).
  void Compose(TBitmap& target, TRect r, TColor fill, const std::vector<int>& layers);
  void PrepareSteps(TRect r, int index, std::vector<TComposeStep>& steps);
  // Where a layer can change the composition: its rectangle with its shadow, or the
  // whole image for adjustment and colour layers.
  TRect LayerReach(const TLayerItem& layer) const;
  // Before layers are drawn into the background: where they reach, the background
  // takes the colour composition gives it over white and becomes opaque, so that what
  // is drawn there shows as it did. A hidden or translucent background is flattened
  // over white as a whole.
  void MakeBackgroundOpaqueUnder(const std::vector<int>& layers);
  int AppendLayer(std::unique_ptr<TLayerItem> layer);

  void ActiveLayerChanged() {
    if (OnActiveLayerChanged) OnActiveLayerChanged();
  }

  TBitmap composed_;
  TRect pending_{};
  int activeIndex_ = -1;
  bool activeDragging_ = false;
  TUndoList* history_ = nullptr;
};

}  // namespace qm
