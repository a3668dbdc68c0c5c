#pragma once
// The image view with the drawing of selection shapes and lines by the pointer: a
// rectangle-based shape from the press to the pointer (Shift: a square; on the grid
// when it aligns), a line (Shift: 45 degrees or an axis), a free-hand polygon, or a
// polygon drawn vertex by vertex (MultiLine), reported through OnSelection.
#include <functional>

#include "document/Shapes.h"
#include "views/CustomImage.h"

namespace qm {

// What OnSelection reports.
enum TSelectionOption : int { soStart = 0, soChanged = 1, soFinished = 2, soCancelled = 4 };

class TMyImage : public TMyCustomImage {
 public:
  explicit TMyImage(QWidget* parent = nullptr);

  // Shapes drawn on screen smaller than this (or than the zoom, rounded up) are cancelled.
  static constexpr int kMinShapeSize = 8;

  TSelMode SelectionMode() const { return selectionMode_; }
  void SetSelectionMode(TSelMode m);
  // Ignored while a shape is drawn or a layer moved, and for the line kinds.
  TMyShape SelShape() const { return selShape_; }
  void SetSelShape(TMyShape s);
  // ssLine or ssLineWidth only, and not while a shape is drawn.
  TMyShape LineShape() const { return lineShape_; }
  void SetLineShape(TMyShape s);
  bool MultiLine = false;
  int LineWidth = 1;  // image pixels of an ssLineWidth line

  // r in image coordinates: the shape's bounding rectangle (Right and Bottom
  // exclusive), or for a line its start (Left, Top) and end (Right, Bottom). On
  // soFinished, Shape() holds a polygon's points in image space; the view clears it
  // right after the call.
  std::function<void(TMyImage& sender, const TRect& r, TSelectionOption option)> OnSelection;

  // A double click on the view that no overlay took and that ends no polygon (client
  // point): the document window opens the layer options from it in the layer-move mode.
  std::function<void(TMyImage& sender, TPoint p)> OnDoubleClick;

  bool IsDragTracking() const { return tracking_ == 2; }
  bool IsTracking() const { return tracking_ != 0; }
  TShapeManager& Shape() { return shape_; }

 protected:
  // Whether a layer is being moved (the layered view): the shape kind stays meanwhile.
  virtual bool IsMovingLayer() const { return false; }

  bool ImageBusy() const override { return tracking_ != 0; }
  void ImageMousePress(QMouseEvent* e) override;
  void ImageMouseMove(QMouseEvent* e) override;
  void ImageMouseRelease(QMouseEvent* e) override;
  void ImageMouseDoubleClick(QMouseEvent* e) override;
  bool ImageKeyPress(QKeyEvent* e) override;
  bool ImageKeyRelease(QKeyEvent* e) override;
  void PaintOver(QPainter& painter, const QRegion& region) override;
  void ViewMoved(int dx, int dy) override;

 private:
  TMyShape TrackedKind() const { return selectionMode_ == smLine ? lineShape_ : selShape_; }
  bool IsLine() const { return TrackedKind() == ssLine || TrackedKind() == ssLineWidth; }
  bool IsPolygon() const { return TrackedKind() == ssPolygon; }
  bool IsMultiLinePolygon() const { return IsPolygon() && MultiLine; }
  int CloseRadius() const;
  int MinSize() const;
  TPoint ClampToImage(TPoint p) const;
  // 45 degrees or the nearer axis for a segment from a to p.
  static TPoint SnapAngle(TPoint a, TPoint p);
  void StartTracking();
  void TrackTo(TPoint p);
  void AddVertex(TPoint p);
  void Finish();
  void Cancel();
  void EndTracking(TSelectionOption option);
  void Report(TSelectionOption option);
  // The outline's bounding rectangle on screen, with room for the pen.
  QRect OutlineBounds() const;
  void RepaintOutline(const QRect& before);
  TRect ReportRect() const;

  TSelMode selectionMode_ = smShape;
  TMyShape selShape_ = ssRect;
  TMyShape lineShape_ = ssLineWidth;
  TShapeManager shape_;
  int tracking_ = 0;  // 0 idle, 1 pressed, 2 tracking
  TPoint start_{};    // client point of the press
  TPoint last_{};     // the pointer's last client point
  TRect rect_{};      // the rectangle-based shape, or the line from Left, Top to Right, Bottom
  TPoint rubber_{};   // end of a multi-line polygon's rubber segment
  bool hasRubber_ = false;
  bool shift_ = false;
};

}  // namespace qm
