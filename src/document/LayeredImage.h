#pragma once
// The layered image of a document, without its widget: the layer stack with its active
// layer, the composed bitmap (the stack drawn onto one 24-bit bitmap of the
// background's size, what is shown, saved and picked from), adding, merging and picking
// layers, and the coordinate chain between the view, the image and the active layer.
//
// The document window's image control (TMyImageLayered) derives from this class and
// from the scrolling view: it overrides the view hooks below (coordinate mapping,
// repaint, cursor) and paints UpdatedComposition(). Headless, the view is the identity
// at zoom 1.
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
enum : int { lmDragStart = 0, lmDragging = 1, lmDragEnd = 2, lmMoved = 3 };

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

  // Moving the active layer with the mouse or keys. MoveState: 0 idle, 1 pressed on the
  // layer, 2 dragging (a layer being dragged is composed without its shadow).
  int MoveState = 0;
  TPoint MoveStartPoint{};   // image coordinates of the press
  TPoint MoveStartPos{};     // the layer's Left, Top at the press
  int MoveCursor = 0;        // cursor shown over a movable layer
  bool Constrain = false;    // Shift held: only the axis with the larger movement moves
  bool PickByClick = false;  // a click selects the layer under the pointer, through its mask
  bool GridAlign = false;    // positions snap to multiples of GridWidth
  int GridWidth = 16;

  std::function<void(TLayeredImage& sender, int stage)> OnLayerMove;
  std::function<void(TLayeredImage& sender, TLayerItem& layer)> OnLayerDeleting;
  std::function<void(TLayeredImage& sender, TLayerItem& layer)> OnLayerSelect;

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
  // The composed bitmap as it stands (a dialog may draw into it while composition is
  // suspended). Always the background's size while there are layers.
  TBitmap& ComposedBitmap();
  // The composed bitmap with everything invalidated since the last composition redone
  // (unless composition is suspended).
  const TBitmap& UpdatedComposition();
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

  // --- Adding layers: each appends at the top and makes the new layer active ---------
  // Bitmap layer; image and mask are copied and made 24-bit. Returns the new index.
  int AddLayer(const TBitmap& image, const TBitmap& mask, const std::string& name, int opacity, TPoint position);
  int AddLayer(TBitmap&& image, TBitmap&& mask, const std::string& name, int opacity, TPoint position);
  int AddColorLayer(TColor color, int opacity, const std::string& name, bool negate);
  int AddAdjustmentLayer(const TLayerAdjustment& adjustment, int opacity, const std::string& name);
  // Text layer with its payload; its opacity stays 0 until the payload is rendered.
  int AddDataLayer(std::unique_ptr<TLayerData> data, const std::string& name);
  // A copy of layer i named name, visible and unlocked, at the top. -1 when i is out of
  // range.
  int DuplicateLayer(int i, const std::string& name);
  // A new background under the existing layers (only when there is at least one).
  // Returns its index (0), or -1.
  int InsertBottomLayer(const TBitmap& image, const TBitmap& mask, const std::string& name);
  // The stack becomes one background layer.
  void LoadFromBitmap(const TBitmap& image, const TBitmap& mask, const std::string& name);
  // A graphic of any format split into a 24-bit image and a mask (a 32-bit graphic's
  // alpha, a transparent graphic's key colour; none for an opaque one): a new bitmap
  // layer at the top, or (LoadFromGraphic) the one background layer at opacity 100.
  int AddLayerFromGraphic(const TBitmap& graphic, TPoint position, const std::string& name, int opacity);
  void LoadFromGraphic(const TBitmap& graphic, const std::string& name);
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
  // The topmost visible bitmap or text layer under a view point (through its mask
  // with PickByClick); null off the image.
  TLayerItem* LayerAtPoint(int x, int y);
  // Makes LayerAtPoint's layer active and reports it through OnLayerSelect.
  void SelectLayerAtPoint(int x, int y);

  // --- Coordinates -----------------------------------------------------------------
  // Image and active-layer coordinates differ by the active layer's position, except
  // for the background and when no layer is active.
  TRect ImageRectToLayerRect(TRect r) const;
  TRect LayerRectToImageRect(TRect r) const;
  TPoint ImageToLayerPoint(TPoint p) const;
  TPoint LayerToImagePoint(TPoint p) const;
  TRect ClientToLayerRect(TRect r) const { return ImageRectToLayerRect(ClientToImageRect(r)); }
  TPoint ClientToLayerPoint(TPoint p) const { return ImageToLayerPoint(ClientToImagePoint(p)); }
  TPoint LayerToClientPoint(TPoint p) const { return ImageToClientPoint(LayerToImagePoint(p)); }
  TRect GetActiveLayerBounds() const;
  // A view point on the active layer's Image (on the image, for the background).
  bool IsPointOnActiveLayer(TPoint p) const;
  // The background's Image is transparent (colour key) or has a mask.
  bool BackgroundHasTransparency() const;

  // --- Moving the active layer ---------------------------------------------------------
  // Whether the active layer can be moved (above the background, visible, unlocked, a
  // bitmap or text layer).
  bool IsActiveLayerMovable() const;
  // Moves the active layer, invalidating where it was and where it goes; reports
  // lmDragging during a drag and lmMoved otherwise.
  void MoveTo(int x, int y);

  // The layer move mode, driven by the view with its pointer and keys (view
  // coordinates). A press on a movable layer arms a drag (with PickByClick it first
  // selects the layer under the pointer); moving makes it a drag (lmDragStart), each
  // move places the layer at its start position plus the pointer's movement (Shift: on
  // the axis that moved more, y on a tie; GridAlign: on multiples of GridWidth), and the
  // release reports lmMoved when the layer ended elsewhere, then lmDragEnd. Esc puts a
  // dragged layer back; the arrow keys nudge a movable layer by 1 pixel, 8 with Shift.
  bool IsMovableAt(TPoint p) const;
  void LayerMouseDown(TPoint p);
  void LayerMouseMove(TPoint p, bool shift);
  void LayerMouseUp();
  // Esc (27) and the arrows (37 left, 38 up, 39 right, 40 down); true when handled.
  bool LayerKeyDown(int key, bool shift);
  // Shift pressed or released during a drag: the constraint is applied again.
  void LayerShiftChanged(bool shift);

  // --- View hooks --------------------------------------------------------------------
  // Headless defaults: the view shows the image at zoom 1 with its top-left at (0, 0).
  virtual TPoint ClientToImagePoint(TPoint p) const { return p; }
  virtual TPoint ImageToClientPoint(TPoint p) const { return p; }
  virtual TRect ClientToImageRect(TRect r) const { return r; }
  virtual bool IsPointOnImage(TPoint p) const;
  // The view repaints r (image coordinates); the cursor follows the state.
  virtual void RepaintImageRect(const TRect&) {}
  virtual void RefreshCursor() {}

  // --- TLayerListOwner -------------------------------------------------------------------
  void StoreActiveIndex(int index) override { activeIndex_ = index; }
  void LayerDeleting(TLayerItem& layer) override;
  void LayersChanged() override { InvalidateImage(); }

 private:
  struct TComposeStep;
  // Whether composition must paint white before the background: it does not cover
  // every pixel by itself.
  bool NeedsWhiteUnderBackground() const;
  // Keeps the composed bitmap at the background's size (queuing a full recomposition
  // when it changes).
  void SyncComposedSize();
  // Draws the listed layers into target inside r, after white when fillWhite.
  void Compose(TBitmap& target, TRect r, bool fillWhite, const std::vector<int>& layers);
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

  // Places the dragged layer for the pointer at image point p.
  void DragTo(TPoint p);
  // After a drag: the layer's shadow, left out while dragging, is drawn again.
  void EndDrag();

  TBitmap composed_;
  TRect pending_{};
  TPoint lastDragPoint_{};
  int activeIndex_ = -1;
  TUndoList* history_ = nullptr;
};

}  // namespace qm
