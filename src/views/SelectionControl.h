#pragma once
// The visible selection of a document, painted over the image view: its outline as
// marching ants, eight resize zones and a move zone, dragged and nudged with the
// pointer and the keys. The selection state itself (shape, kind, rectangle in image
// pixels, inverted flag) is the TSelectionOverlay the selection masks read; this class
// repaints the view whenever it changes.
#include <QCursor>
#include <QPoint>
#include <QTimer>
#include <functional>
#include <vector>

#include "document/SelectionHost.h"
#include "views/MyImage.h"
#include "views/ViewTypes.h"

namespace qm {

// What OnChange reports.
enum TSelectionChange : int { scBegin = 0, scMoving = 1, scEnd = 2, scChanged = 3 };

// Handles 0..7 run clockwise from the top-left corner; 8 is the move zone.
enum : int { kNoHandle = -1, kMoveZone = 8 };

class TSelectionControl : public TSelectionOverlay, public TViewOverlay {
 public:
  explicit TSelectionControl(TMyImage& image);
  ~TSelectionControl() override;
  TSelectionControl(const TSelectionControl&) = delete;
  TSelectionControl& operator=(const TSelectionControl&) = delete;

  TMyImage& Image;
  bool Resizable = true;
  bool Movable = true;
  bool ClipToImage = false;  // rectangles stay inside the image
  bool Constrain = false;    // Shift held during the drag
  bool AntsEnabled = true;
  int HandleSize = 4;
  TColor AntsColorA = clWhite, AntsColorB = clBlack;
  QCursor MoveCursor{Qt::SizeAllCursor};

  std::function<void(TSelectionControl& sender, TSelectionChange code)> OnChange;
  std::function<void(TSelectionControl& sender)> OnDoubleClick;

  // Showing draws the outline and starts the ants; hiding erases it.
  void Show();
  void Hide();
  bool IsShown() const override { return Visible; }

  bool OutlineVisible() const { return outlineVisible_; }
  bool Locked() const { return locked_; }
  bool ShowBounds() const { return showBounds_; }
  bool Frozen() const { return frozen_; }
  int ActiveHandle() const { return activeHandle_; }
  int DragState() const { return dragState_; }
  const TRect& StartRect() const { return startRect_; }
  bool IsAntsRunning() const { return timer_.isActive(); }

  // ssLine, ssLineWidth and ssPolyline become ssRect.
  void SetShape(TMyShape kind) override;
  // The drawn shape of the view and its kind become the selection's.
  void SyncShape();
  // Ignored for an empty r; cut to the image with ClipToImage.
  void SetSelectionRect(const TRect& r) override;
  void SetOutlineInset(bool inverted) override;
  // These are ignored while dragging.
  void SetLocked(bool on);
  void SetOutlineVisible(bool on);
  void SetBoundsHitTest(bool on);
  void SetFrozen(bool on);
  // Re-maps the outline after a zoom or a scroll.
  void UpdatePosition();
  // Before a flip (0 vertical, 1 horizontal) or a turn (2 clockwise, 3 counter-clockwise,
  // 4 half) of the selection: triangles change kind, polygons turn their points, and a
  // quarter turn swaps the rectangle's width and height.
  void TransformTriangle(int code);

  // The selection rectangle on screen.
  QRect ClientRect() const;
  // The zone under a client point (kNoHandle, 0..7 or kMoveZone).
  int HandleAt(const QPoint& p) const;
  bool HitTest(const QPoint& p) const;
  // One step of the marching ants (the timer's event).
  void AntsStep();

  // Keys as the main window forwards them; true when used.
  bool HandleKeyDown(int key, Qt::KeyboardModifiers modifiers);
  bool HandleKeyUp(int key, Qt::KeyboardModifiers modifiers);

  // TViewOverlay
  void Paint(QPainter& painter, const QRegion& dirty) override;
  void PaintAntsStep(QPainter& painter, const QRegion& dirty) override;
  void ViewChanged() override { UpdatePosition(); }
  bool CursorAt(const QPoint& p, QCursor& cursor) const override;
  bool MousePress(QMouseEvent* e) override;
  bool MouseMove(QMouseEvent* e) override;
  bool MouseRelease(QMouseEvent* e) override;
  bool KeyPress(QKeyEvent* e) override;
  bool KeyRelease(QKeyEvent* e) override;
  bool IsDragging() const override { return dragState_ == 2; }

 private:
  void Changed(TSelectionChange code);
  void UpdateTimer();
  void Repaint(const QRect& before);
  // Where the outline lies: the rectangle on screen, one pixel in when inverted.
  QRect OutlineRect() const;
  QRegion AntsBand() const;
  void DragUpdate(const QPoint& global);
  void EndDrag();
  void DrawOutline(QPainter& painter, bool antsOnly);
  // A traced outline's pixels in the pen and in the second colour, for its rectangle.
  void PrepareTraced(const QRect& r);

  bool outlineVisible_ = true;
  bool locked_ = false;
  bool showBounds_ = false;
  bool frozen_ = false;
  int activeHandle_ = kNoHandle;
  int dragState_ = 0;  // 0 idle, 1 pressed on a zone, 2 dragging
  QPoint dragStart_, lastGlobal_;
  TRect startRect_{};
  QTimer timer_;
  QRect tracedRect_;
  bool tracedValid_ = false;
  std::vector<QPoint> tracedPen_, tracedSecond_;
};

}  // namespace qm
