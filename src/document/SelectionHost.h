#pragma once
// What the selection masks need of the rest of the program: the active document's
// layers, its selection, the copy of the layer taken before the current change, the
// smoothing chosen in the Selection menu and its undo step. The shell implements
// TSelectionHost; the document window's selection overlay derives from
// TSelectionOverlay and redraws itself in the setters.
#include <cstdint>

#include "document/Shapes.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

// The smoothing radio items of the Selection menu, by their tags.
enum TSelectionSmoothing : uint8_t { selSmoothNone = 0, selSmoothEdge = 1, selSmoothProgressive = 2 };

// The state of a document's selection.
class TSelectionOverlay {
 public:
  virtual ~TSelectionOverlay() = default;

  bool Visible = false;   // the selection is shown
  bool Inverted = false;  // the selection is everything outside the shape
  TMyShape ShapeKind = ssRect;
  TRect SelRect;  // image coordinates
  TShapeManager Shape;

  // ssLine, ssLineWidth and ssPolyline select a rectangle.
  virtual void SetShape(TMyShape kind) {
    ShapeKind = kind == ssLine || kind == ssLineWidth || kind == ssPolyline ? ssRect : kind;
  }
  // Ignored for an empty rect.
  virtual void SetSelectionRect(const TRect& r) {
    if (!r.IsEmpty()) SelRect = r;
  }
  virtual void SetOutlineInset(bool inverted) { Inverted = inverted; }
};

// The active document as the selection masks see it. Every method may be called
// without a document: the bitmap and selection getters then give nullptr.
class TSelectionHost {
 public:
  virtual ~TSelectionHost() = default;
  // The active layer's image bitmap (24-bit).
  virtual TBitmap* ActiveLayerBitmap() = 0;
  // The active layer's top-left corner in image coordinates.
  virtual TPoint ActiveLayerOrigin() = 0;
  // Layer 0's image bitmap; its size is the image's.
  virtual TBitmap* BaseLayerBitmap() = 0;
  virtual TSelectionOverlay* ActiveSelection() = 0;
  virtual bool IsActiveImageTrueColor() = 0;
  // The active layer as it was when the current change began; nullptr or empty when
  // no change is under way.
  virtual const TBitmap* PreChangeCopy() = 0;
  virtual TSelectionSmoothing SelectionSmoothing() = 0;
  // Takes the current undo step's snapshot again over rect (layer coordinates), so
  // that it covers a stroke wider than the rect it was opened for.
  virtual void ResnapUndoStep(const TRect& rect) = 0;
};

}  // namespace qm
