#pragma once
// What the image view and its overlays share: the grid settings, the modes, and the
// interface of an overlay painted in the view's own paint pass.
#include <QRegion>
#include <cstdint>

#include "platform/core/Types.h"

class QPainter;
class QMouseEvent;
class QKeyEvent;
class QCursor;

namespace qm {

// The view's grid, as drawing and snapping read it.
struct TViewGrid {
  bool Show = false;   // drawn
  bool Align = false;  // drawn and moved rectangles snap to it
  int Width = 16;      // spacing in image pixels
  TColor Color = 0xC0C0C0;
};

// When the viewport reduces smoothly: never, below 100 %, always.
enum TOptimizeMode : uint8_t { omNone, omReduction, omSystem };
enum TBorderStyle : uint8_t { bsNone, bsSingle };
// What a press on the image does.
enum TSelMode : uint8_t { smNone, smShape, smLine, smMoveLayer };

// An overlay drawn over the image in the view's paint pass (the selection, the
// transform handles). The view offers it the pointer and the keys before handling
// them itself, topmost overlay first; an overlay answers true when it took the event,
// and then gets the moves and the release of that press alone. Coordinates are the
// viewport's.
class TViewOverlay {
 public:
  virtual ~TViewOverlay() = default;
  virtual bool IsShown() const = 0;
  // Paints what lies in the dirty region, over the image already drawn there.
  virtual void Paint(QPainter& painter, const QRegion& dirty) = 0;
  // A step of marching ants alone: the image under the band was not drawn again, so
  // only what an ant step changes is painted (copy-mode pixels, never XOR).
  virtual void PaintAntsStep(QPainter&, const QRegion&) {}
  // The zoom or the scroll position changed.
  virtual void ViewChanged() {}
  // The cursor over a point, when the overlay owns the point there.
  virtual bool CursorAt(const QPoint&, QCursor&) const { return false; }
  virtual bool MousePress(QMouseEvent*) { return false; }
  virtual bool MouseMove(QMouseEvent*) { return false; }
  virtual bool MouseRelease(QMouseEvent*) { return false; }
  virtual bool KeyPress(QKeyEvent*) { return false; }
  virtual bool KeyRelease(QKeyEvent*) { return false; }
  // Whether a drag of the overlay is under way (the view then leaves the pointer to it).
  virtual bool IsDragging() const { return false; }
};

}  // namespace qm
