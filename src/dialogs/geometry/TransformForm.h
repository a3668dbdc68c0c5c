#pragma once
// The layer's free transform by numbers: rotation, scale and the two skews of the
// active layer. The layer is not rewritten while the dialog is shown: the
// transformation is attached to it, the view draws the layer through it and an outline
// of the transformed layer over the image; OK renders the layer through it once, into
// the step the command opened; any other close detaches it and drops the step.
#include <array>
#include <memory>

#include "dialogs/command/CommandDialog.h"
#include "dialogs/DialogStep.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;

namespace qm {

class TMyImage;

class TRotSelForm final : public TCommandDialog {
 public:
  static constexpr TCommandDialogTraits kTraits{.ClassName = "TRotSelForm",
                                                .Caption = TextId::TrFixDlgTransform,
                                                .MenuText = TextId::GetTrMnuTransformFree};
  TRotSelForm();
  ~TRotSelForm() override;

  QSlider* TBAngle;
  QSlider* TBEchelle;
  QSlider* TBIX;
  QSlider* TBIY;
  QCheckBox* ChkPreview;
  QPushButton* BApercu;

  // The transformation as the controls say, attached to the layer and outlined; with
  // ok, the outline goes (OK renders next).
  void Preview(bool ok = false);

 protected:
  bool FormShow() override;
  bool Apply() override;
  void FormHide() override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  class TOutline;
  void Hook(bool on);

  TDialogStep step_;
  std::unique_ptr<TOutline> outline_;
  TMyImage* view_ = nullptr;  // the view the outline is hooked into
  TRect layerRect_{};         // the layer in image coordinates, at the showing
  TRect bounds_{};            // the transformed layer's
  std::array<TPoint, 4> corners_{};
  bool changed_ = false, applied_ = false;
  bool switchSet_ = false;  // the box took the shell's live preview at the first showing
};

}  // namespace qm
