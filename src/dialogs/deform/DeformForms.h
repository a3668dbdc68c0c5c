#pragma once
// The deformation filters: spiral, wave, trapezium and lens over the working rectangle
// of the active layer.
//
// The spiral, the trapezium and the lens build the layer afresh from the copy taken
// before the change, so their previews restore nothing, unless the layer has a mask:
// they turn that mask in place (white where nothing maps), and a preview after another
// must start again from the step's mask. Their steps keep image and mask and cannot be
// faded. They take colours picked on the image; a layer with a mask opens them on a
// white background. The wave reads rows of the layer that it may not rewrite: each of
// its previews starts again from the step.
#include "dialogs/ParamDialog.h"
#include "pixel/Distortion.h"

class QLabel;
class QRadioButton;
class QSlider;

namespace qm {

// The spiral, trapezium and lens dialogs' shared protocol over their parameters P.
template <class P>
class TDeformDialog : public TParamDialogOf<P> {
 protected:
  using TApplyFrom = void (*)(TBitmap& layer, const TBitmap& source, const P& params, TRect rect);
  using TApplyMask = void (*)(TBitmap& mask, const P& params, TRect rect);
  TDeformDialog(const TDialogTraits& traits, TApplyFrom layer, TApplyMask mask)
      : TParamDialogOf<P>(traits), layer_(layer), mask_(mask) {}

  TLayerOperation Operation() const override;
  bool ShowResult(bool restoreFirst) override;
  void Showing() override;
  // Values that leave the layer as it is: a preview then only takes back the one before.
  virtual bool IsIdentityValues() const { return false; }

  TColorEdit* background_ = nullptr;

 private:
  bool ActiveLayerHasMask();
  TApplyFrom layer_;
  TApplyMask mask_;
};

class TSpiraleForm final : public TDeformDialog<TSpiralParams> {
 public:
  static constexpr TDialogTraits kTraits{.ClassName = "TSpiraleForm",
                                         .Caption = TextId::TrFixDlgSpiral,
                                         .MenuText = TextId::GetTrMnuTwirl,
                                         .UndoKind = ukWorkRectImageAndMask,
                                         .PicksColors = true};
  TSpiraleForm();
};

class TTrapezeForm final : public TDeformDialog<TTrapezoidParams> {
 public:
  static constexpr TDialogTraits kTraits{.ClassName = "TTrapezeForm",
                                         .Caption = TextId::TrFixDlgTrapezoid,
                                         .MenuText = TextId::GetTrMnuTapezoid,
                                         .UndoKind = ukWorkRectImageAndMask,
                                         .PicksColors = true};
  TTrapezeForm();

 protected:
  bool IsIdentityValues() const override { return IsIdentity(Params()); }
  void Showing() override;

 private:
  // The edges' labels name the axis chosen.
  void Relabel();
  QLabel* lbl1_ = nullptr;
  QLabel* lbl2_ = nullptr;
  QSlider* tb1_ = nullptr;
  QSlider* tb2_ = nullptr;
  QRadioButton* vertical_ = nullptr;
};

class TLensForm final : public TDeformDialog<TLensParams> {
 public:
  static constexpr TDialogTraits kTraits{.ClassName = "TLensForm",
                                         .Caption = TextId::TrFixDlgLens,
                                         .MenuText = TextId::GetTrMnuSpherize,
                                         .UndoKind = ukWorkRectImageAndMask,
                                         .PicksColors = true};
  TLensForm();
};

class TOndeForm final : public TParamDialogOf<TWaveParams> {
 public:
  static constexpr TDialogTraits kTraits{"TOndeForm", TextId::TrFixDlgWave, TextId::GetTrMnuRipple};
  TOndeForm();

 protected:
  bool ShowResult(bool restoreFirst) override;
};

}  // namespace qm
