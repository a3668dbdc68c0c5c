#pragma once
// The colour pencils, the slide mount and the gradient: filters over the working
// rectangle, kept for the repeat command. The slide and the gradient take colours
// picked on the image; the slide refuses a frame that does not fit the rectangle.
#include "dialogs/ParamDialog.h"
#include "pixel/Composite.h"
#include "pixel/qt/SlideFrame.h"

class QToolButton;

namespace qm {

class TCrayonForm final : public TParamDialogOf<TPencilParams> {
 public:
  static constexpr TDialogTraits kTraits{.ClassName = "TCrayonForm",
                                         .Caption = TextId::TrFixDlgPencils,
                                         .MenuText = TextId::GetTrMnuColoredPencil};
  TCrayonForm();
};

class TDiapoForm final : public TParamDialogOf<TSlideParams> {
 public:
  static constexpr TDialogTraits kTraits{.ClassName = "TDiapoForm",
                                         .Caption = TextId::TrFixDlgSlide,
                                         .MenuText = TextId::GetTrMnuSlideFrame,
                                         .PicksColors = true,
                                         .RepeatGuard = rgContour,
                                         .Unrestricted = true,
                                         .PlusMinusAsA = true};
  TDiapoForm();

 protected:
  TLayerOperation Operation() const override;
};

class TFiltreDegradeForm final : public TParamDialogOf<TGradientParams> {
 public:
  static constexpr TDialogTraits kTraits{.ClassName = "TFiltreDegradeForm",
                                         .Caption = TextId::TrFixDlgGradient,
                                         .MenuText = TextId::GetTrMnuGradient,
                                         .PicksColors = true};
  TFiltreDegradeForm();

 protected:
  void Showing() override;

 private:
  void FollowStyle(bool mono);
  QGroupBox* second_;
  QToolButton* sb1_ = nullptr;
};

}  // namespace qm
