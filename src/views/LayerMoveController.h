#pragma once
// Moving the active layer of a layered image with the pointer and the keys: the
// interaction of the layer-move mode, apart from any widget so it can be driven by the
// view (and by tests) in image coordinates.
//
// A press on a movable layer arms a drag (with PickByClick it first selects the layer
// under the pointer, through its mask); the first move away from the press makes it a
// drag (lmDragStart); each move places the layer at its start position plus the
// pointer's movement: with Shift only along the axis that moved more (on a tie x stays
// fixed), with the grid on multiples of its width (halves to even). The release reports
// lmMoved when the layer ended elsewhere, then lmDragEnd. Esc puts a dragged layer
// back; the arrows nudge a movable layer by 1 pixel, 8 with Shift.
#include <qnamespace.h>

#include "document/LayeredImage.h"
#include "views/ViewTypes.h"
#include "platform/core/Types.h"

namespace qm {

enum class TMoveState { Idle, Pressed, Dragging };

class TLayerMoveController {
 public:
  TLayerMoveController(TLayeredImage& image, const TViewGrid& grid) : image_(image), grid_(grid) {}

  bool PickByClick = false;  // a press first selects the layer under the pointer

  TMoveState State() const { return state_; }
  bool Constrain() const { return constrain_; }
  TPoint StartPoint() const { return startPoint_; }  // image point of the press
  TPoint StartPos() const { return startPos_; }      // the layer's position at the press

  // Whether the active layer is movable at an image point: on its Image, and with
  // PickByClick on a pixel its mask does not hide.
  bool IsMovableAt(TPoint p) const;

  // onImage: whether the pointer is over the image on screen (picking needs it; the
  // image point of a pointer just outside the image can still be a pixel of it).
  void MouseDown(TPoint p, bool onImage);
  void MouseMove(TPoint p, bool shift);
  void MouseUp();
  // Qt's keys: Esc, the arrows; true when the key was used.
  bool KeyDown(int key, Qt::KeyboardModifiers modifiers);
  // Shift pressed or released during a drag: the constraint is applied again.
  void ShiftChanged(bool shift);

 private:
  void DragTo(TPoint p);
  void EndDrag();

  TLayeredImage& image_;
  const TViewGrid& grid_;
  TMoveState state_ = TMoveState::Idle;
  TPoint startPoint_{}, startPos_{}, lastPoint_{};
  bool constrain_ = false;
};

}  // namespace qm
