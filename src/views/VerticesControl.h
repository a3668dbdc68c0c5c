#pragma once
// The transform handles: four corners and four side midpoints over the image view,
// with which the user bends a layer or a selection. In free mode each corner moves
// alone (a perspective distortion); in rectangle mode the corners keep a rectangle,
// resized by its corners and sides. Drawn in XOR in the view's paint pass.
#include <QCursor>
#include <array>
#include <functional>

#include "views/MyImage.h"
#include "views/ViewTypes.h"

namespace qm {

// What OnChange reports.
enum TVerticesChange : int { vcBegin = 0, vcMoving = 1, vcEnd = 2, vcChanged = 3 };

class TVerticesControl : public TViewOverlay {
 public:
  // Points 0..3: the corners from the top-left clockwise; 4 + i the midpoint between
  // corner i and corner (i + 1) mod 4. Image pixels.
  using TPoints = std::array<TPoint, 8>;
  static constexpr int kMoveAll = 8;

  explicit TVerticesControl(TMyImage& image);
  ~TVerticesControl() override;
  TVerticesControl(const TVerticesControl&) = delete;
  TVerticesControl& operator=(const TVerticesControl&) = delete;

  TMyImage& Image;
  bool FreeMode = false;
  bool Constrain = false;
  // The handles' sizes in screen pixels, odd: the square around each point that takes
  // the pointer, and the square drawn.
  int HitSize = 15;
  int DrawSize = 7;
  QCursor VertexCursor{Qt::PointingHandCursor};
  QCursor MoveCursor{Qt::SizeAllCursor};
  std::function<void(TVerticesControl& sender, TVerticesChange code)> OnChange;

  void Show();
  void Hide();
  bool IsShown() const override { return shown_; }

  const TPoints& Points() const { return points_; }
  const TPoints& StartPoints() const { return startPoints_; }
  int ActiveVertex() const { return activeVertex_; }
  void SetCornersFromRect(const TRect& r);
  std::array<TPoint, 4> GetCorners() const { return {points_[0], points_[1], points_[2], points_[3]}; }
  TRect GetBoundsRect() const;
  bool IsDraggingCorner() const { return activeVertex_ >= 0; }
  // The handle (0..7) under a client point, kMoveAll inside, -1 elsewhere.
  int HitTest(const QPoint& p) const;

  bool HandleKeyDown(int key, Qt::KeyboardModifiers modifiers);
  bool HandleKeyUp(int key, Qt::KeyboardModifiers modifiers);

  // TViewOverlay
  void Paint(QPainter& painter, const QRegion& dirty) override;
  void ViewChanged() override {}
  bool CursorAt(const QPoint& p, QCursor& cursor) const override;
  bool MousePress(QMouseEvent* e) override;
  bool MouseMove(QMouseEvent* e) override;
  bool MouseRelease(QMouseEvent* e) override;
  bool KeyPress(QKeyEvent* e) override;
  bool KeyRelease(QKeyEvent* e) override;
  bool IsDragging() const override { return activeVertex_ >= 0; }

 private:
  void Changed(TVerticesChange code);
  void UpdateMidpoints();
  // The handles' and outline's rectangle on screen, with the handles' reach.
  QRect ScreenBounds() const;
  void SetPoints(const TPoints& pts);
  void DragUpdate(TPoint p);

  bool shown_ = false;
  TPoints points_{}, startPoints_{};
  int activeVertex_ = -1;
  TPoint dragStart_{}, lastPoint_{};
};

}  // namespace qm
