#pragma once
// The free transform of a layer: handles over the active layer of the active document
// with which the user scales it (rectangle handles, an affine transformation) or bends
// it (four free corners, a perspective one). Each change previews the layer through
// its transformation without touching its pixels; Enter (or the frame's pop-up) applies
// it as one undo step, Escape drops it and leaves the document as it was.
//
// While the frame is open the shell is locked on the main window: every other command
// is refused with the warning to finish the transformation first, and the document
// window refuses to close.
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

#include "platform/core/Types.h"

class QMenu;

namespace qm {

class TNewImgForm;
class TLayerItem;
class TShellServices;
class TVerticesControl;

enum class TLayerTransformMode { Scale = 0, Distort = 1 };

class TDistortionFrame : public QObject {
 public:
  // lockOwner: what holds the shell lock while the frame is open (the main window).
  TDistortionFrame(TShellServices& services, QWidget* lockOwner);
  ~TDistortionFrame() override;

  // Called after the frame opened, applied or was cancelled (the commands' states).
  std::function<void()> OnClosedOrOpened;
  // The frame's pop-up menu, shown by a right click on the image while it is open.
  QMenu* Popup = nullptr;

  // Opens the frame on the active layer of the active document; false (nothing locked)
  // without an upper bitmap layer that is shown, unlocked and not empty, or when a
  // parameter dialog holds the shell. A layer that already carries
  // a transformation is previewed through it at once.
  bool Open(TLayerTransformMode mode);
  bool IsOpen() const { return control_ != nullptr; }
  TLayerTransformMode Mode() const { return mode_; }
  TVerticesControl* Control() const { return control_.get(); }

  // The layer drawn through the transformation the handles give.
  void Preview();
  // The transformation rendered into the layer's bitmaps as one undo step captioned
  // with the layer transform menu's caption; the frame closes.
  void Apply();
  // The frame closes and the layer's transformation is dropped.
  void Cancel();
  // The view moved or zoomed: the handles are drawn again.
  void ViewMoved();

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  // The layer the frame works on, while its window and the layer are still there.
  TLayerItem* Layer() const;
  void Changed(int code);
  void ShowBounds();
  void Close();

  TShellServices& services_;
  QWidget* lockOwner_;
  TLayerTransformMode mode_ = TLayerTransformMode::Scale;
  QPointer<TNewImgForm> window_;
  int32_t layerId_ = 0;
  std::unique_ptr<TVerticesControl> control_;
  TRect drawn_{};  // where the transformed layer was last drawn
};

}  // namespace qm
