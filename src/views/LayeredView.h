#pragma once
// The document's image control: the view of a layered image (owned by the document
// window beside it, never by the view), showing the composed layers over a
// checkerboard where the document lets it through, and moving the active layer with
// the pointer and the keys in the layer-move mode.
#include <QCursor>

#include "document/LayeredImage.h"
#include "views/LayerMoveController.h"
#include "views/MyImage.h"

namespace qm {

class TMyImageLayered : public TMyImage {
 public:
  // The image must outlive the view; the view installs its repaint and cursor hooks on
  // it and takes them off when it dies.
  explicit TMyImageLayered(TLayeredImage& image, QWidget* parent = nullptr);
  ~TMyImageLayered() override;

  TLayeredImage& Image() { return image_; }
  TLayerMoveController& LayerMove() { return move_; }
  // The cursor over a movable layer in the layer-move mode.
  QCursor MoveCursor;

  // The composed layers; a lone plain background is shown as it stands.
  const TBitmap* DisplayBitmap() override;

  // The coordinate chain between the viewport, the image and the active layer.
  TRect ClientToLayerRect(const TRect& r) const { return image_.ImageRectToLayerRect(ClientToImageRect(r)); }
  TPoint ClientToLayerPoint(TPoint p) const { return image_.ImageToLayerPoint(ClientToImagePoint(p)); }
  TPoint LayerToClientPoint(TPoint p) const { return ImageToClientPoint(image_.LayerToImagePoint(p)); }
  // A viewport point over the active layer's Image (over the image, for the background).
  bool IsPointOnActiveLayer(TPoint p) const;

 protected:
  bool IsMovingLayer() const override { return move_.State() != TMoveState::Idle; }
  bool ImageBusy() const override { return IsMovingLayer() || TMyImage::ImageBusy(); }
  void PaintImage(TBitmap& buffer, const TRect& clip) override;
  bool ImagePaintedPlain() override;
  QCursor ImageCursorAt(TPoint p) const override;
  void ImageMousePress(QMouseEvent* e) override;
  void ImageMouseMove(QMouseEvent* e) override;
  void ImageMouseRelease(QMouseEvent* e) override;
  bool ImageKeyPress(QKeyEvent* e) override;
  bool ImageKeyRelease(QKeyEvent* e) override;

 private:
  TLayeredImage& image_;
  TLayerMoveController move_;
  // The layers composed over black, for a background that lets things through: with
  // the composition over white it gives each pixel's cover.
  TBitmap overBlack_;
  TRect blackPending_{};
  TZoomCache blackReduction_;
  TBitmap backBlack_;  // overBlack_ as the viewport shows it
};

}  // namespace qm
