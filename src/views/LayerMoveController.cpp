#include "views/LayerMoveController.h"

#include <cstdlib>

#include "document/Layers.h"
#include "pixel/ImgUtils.h"
#include "platform/core/Numeric.h"

namespace qm {

bool TLayerMoveController::IsMovableAt(TPoint p) const {
  if (!image_.IsActiveLayerMovable()) return false;
  const TLayerItem& l = *image_.GetActiveLayer();
  const TPoint lp = image_.ImageToLayerPoint(p);
  if (!PtInRect(GetBitmapRect(l.Image), lp)) return false;
  return !(PickByClick && IsMaskPixelHidden(l.Mask, lp.X, lp.Y));
}

void TLayerMoveController::EndDrag() {
  const bool wasDragging = state_ == TMoveState::Dragging;
  state_ = TMoveState::Idle;
  if (wasDragging) image_.SetActiveLayerDragging(false);
  image_.ReportLayerMove(lmDragEnd);
}

void TLayerMoveController::MouseDown(TPoint p, bool onImage) {
  if (state_ == TMoveState::Dragging) EndDrag();
  state_ = TMoveState::Idle;
  if (PickByClick && onImage) image_.SelectLayerAtPoint(p.X, p.Y, true);
  if (!IsMovableAt(p)) return;
  const TLayerItem& l = *image_.GetActiveLayer();
  state_ = TMoveState::Pressed;
  startPoint_ = lastPoint_ = p;
  startPos_ = TPoint{l.Left, l.Top};
}

void TLayerMoveController::DragTo(TPoint p) {
  lastPoint_ = p;
  int dx = p.X - startPoint_.X, dy = p.Y - startPoint_.Y;
  if (constrain_) {
    if (std::abs(dx) > std::abs(dy)) dy = 0;
    else dx = 0;
  }
  int x = startPos_.X + dx, y = startPos_.Y + dy;
  if (grid_.Align && grid_.Width >= 1) {
    x = RoundHalfEven(double(x) / grid_.Width) * grid_.Width;
    y = RoundHalfEven(double(y) / grid_.Width) * grid_.Width;
  }
  image_.MoveTo(x, y);
}

void TLayerMoveController::MouseMove(TPoint p, bool shift) {
  constrain_ = shift;
  if (state_ == TMoveState::Pressed) {
    if (p == startPoint_) return;
    state_ = TMoveState::Dragging;
    image_.SetActiveLayerDragging(true);
    image_.ReportLayerMove(lmDragStart);
  }
  if (state_ == TMoveState::Dragging) DragTo(p);
}

void TLayerMoveController::MouseUp() {
  if (state_ == TMoveState::Dragging) {
    const TLayerItem* l = image_.GetActiveLayer();
    if (l && (l->Left != startPos_.X || l->Top != startPos_.Y)) image_.ReportLayerMove(lmMoved);
    EndDrag();
  }
  state_ = TMoveState::Idle;
}

bool TLayerMoveController::KeyDown(int key, Qt::KeyboardModifiers modifiers) {
  if (key == Qt::Key_Escape && state_ == TMoveState::Dragging) {
    image_.MoveTo(startPos_.X, startPos_.Y);
    EndDrag();
    return true;
  }
  const bool arrow = key == Qt::Key_Left || key == Qt::Key_Up || key == Qt::Key_Right || key == Qt::Key_Down;
  if (!arrow || state_ != TMoveState::Idle || !image_.IsActiveLayerMovable()) return false;
  const int step = modifiers & Qt::ShiftModifier ? 8 : 1;
  const TLayerItem& l = *image_.GetActiveLayer();
  const int x = l.Left + (key == Qt::Key_Left ? -step : key == Qt::Key_Right ? step : 0);
  const int y = l.Top + (key == Qt::Key_Up ? -step : key == Qt::Key_Down ? step : 0);
  image_.ReportLayerMove(lmDragStart);
  image_.MoveTo(x, y);
  image_.ReportLayerMove(lmDragEnd);
  return true;
}

void TLayerMoveController::ShiftChanged(bool shift) {
  constrain_ = shift;
  if (state_ == TMoveState::Dragging) DragTo(lastPoint_);
}

}  // namespace qm
