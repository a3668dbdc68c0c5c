#pragma once
// The frame, edge, shadow and contour dialogs. Five are previewed filters over the
// active layer, each taking a colour picked on the image:
//   TCadreForm ("Cadre"): a tinted band along the inside of the working rectangle;
//   TBord3DForm ("Contour 3D"): a light and a dark blurred edge along the selection;
//   TOmbreForm ("Ombre portée"): the selection's shadow, flat or blurred, under it;
//   TContourProgForm ("Contour progressif"): a fading colour along the outline, inside
//     or outside;
//   TCRForm ("Contour et remplissage"): the selection's rectangle filled and its
//     outline stroked, faded; not kept for the repeat command.
// Two are commands that grow the canvas around the whole image at OK:
//   TCadreExtForm ("Encadrement extérieur"): a border of a colour or a pattern;
//   TOmbreExtForm ("Ombre extérieure"): the image's shadow toward a corner, on a colour
//     or a pattern, with a margin.
#include "dialogs/ParamDialog.h"
#include "dialogs/command/CommandControls.h"
#include "dialogs/command/CommandDialog.h"
#include "pixel/FrameEffects.h"

class QComboBox;
class QGroupBox;
class QRadioButton;
class QSlider;
class QToolButton;

namespace qm {

class TColorEdit;
class TSpinEdit2;

class TCadreForm final : public TParamDialogOf<TFrameParams> {
 public:
  static constexpr TDialogTraits kTraits{.ClassName = "TCadreForm",
                                         .Caption = TextId::TrFixDlgFrame,
                                         .MenuText = TextId::GetTrMnuSimpleFrame,
                                         .PicksColors = true,
                                         .RepeatGuard = rgContour,
                                         .Unrestricted = true,
                                         .PlusMinusAsA = true};
  TCadreForm();

 protected:
  TLayerOperation Operation() const override;
};

class TBord3DForm final : public TParamDialogOf<TContour3DParams> {
 public:
  static constexpr TDialogTraits kTraits{.ClassName = "TBord3DForm",
                                         .Caption = TextId::TrFixDlgContour3D,
                                         .MenuText = TextId::GetTrLblContour,
                                         .PicksColors = true,
                                         .RepeatGuard = rgShadow};
  TBord3DForm();

 protected:
  TLayerOperation Operation() const override;
  void Showing() override;
};

class TOmbreForm final : public TParamDialogOf<TDropShadowParams> {
 public:
  static constexpr TDialogTraits kTraits{.ClassName = "TOmbreForm",
                                         .Caption = TextId::TrFixDlgDropShadow,
                                         .MenuText = TextId::GetTrMnuDropShadow,
                                         .PicksColors = true,
                                         .RepeatGuard = rgShadow,
                                         .Unrestricted = true};
  TOmbreForm();

 protected:
  TLayerOperation Operation() const override;
};

class TContourProgForm final : public TParamDialogOf<TProgressiveContourParams> {
 public:
  static constexpr TDialogTraits kTraits{.ClassName = "TContourProgForm",
                                         .Caption = TextId::TrFixDlgProgressiveContour,
                                         .MenuText = TextId::GetTrMnuProgressiveContour,
                                         .PicksColors = true,
                                         .RepeatGuard = rgProgressive,
                                         .Unrestricted = true};
  TContourProgForm();

 protected:
  TLayerOperation Operation() const override;
  void Showing() override;

 private:
  QCheckBox* CBInverser;
};

class TCRForm final : public TParamDialogOf<TOutlineFillParams> {
 public:
  static constexpr TDialogTraits kTraits{.ClassName = "TCRForm",
                                         .Caption = TextId::TrFixDlgStrokeFill,
                                         .MenuText = TextId::GetTrMnuStrokeFill,
                                         .PicksColors = true,
                                         .NotRepeated = true,
                                         .Unrestricted = true};
  TCRForm();

 protected:
  TLayerOperation Operation() const override;
  void Showing() override;
  void BeforePreview() override;

 private:
  void Follow();
  QCheckBox *CBContour, *CBLisser, *CBRempl;
  TColorEdit *ColorEdit1, *ColorEdit2;
  QComboBox* CBStyle;
  QSlider* TBOpacite;
  TPatternRow* pattern_;
  // The pattern read for the preview about to run: none, loaded, or asked without a
  // file (refused).
  TBitmap patternBitmap_;
  TColor patternKey_ = clNone;
  bool patternMissing_ = false;
  bool hosted_ = false;  // shown once: the host is known
};

class TCadreExtForm final : public TCommandDialog {
 public:
  static constexpr TCommandDialogTraits kTraits{.ClassName = "TCadreExtForm",
                                                .Caption = TextId::TrFixDlgOuterFrame,
                                                .MenuText = TextId::GetTrMnuOutsideFrame,
                                                .PicksColors = true,
                                                .PlusMinusAsA = true};
  TCadreExtForm();

 protected:
  bool FormShow() override;
  bool Apply() override;
  void TakePickedColor(TColor color) override;

 private:
  TSpinEdit2* SELargeur;
  TColorEdit* ColorEdit;
  TPatternRow* pattern_;
};

class TOmbreExtForm final : public TCommandDialog {
 public:
  static constexpr TCommandDialogTraits kTraits{.ClassName = "TOmbreExtForm",
                                                .Caption = TextId::TrFixDlgOuterShadow,
                                                .MenuText = TextId::GetTrMnuOutsideShadow,
                                                .PicksColors = true,
                                                .PlusMinusAsA = true};
  TOmbreExtForm();

 protected:
  bool FormShow() override;
  bool Apply() override;
  void TakePickedColor(TColor color) override;

 private:
  TColorEdit *ColorEdit1, *ColorEdit2;
  QToolButton *SB1, *SB2;
  TSpinEdit2 *SE1, *SE2, *SE3;
  QGroupBox *RGPos, *RGStyle;
  TPatternRow* pattern_;
};

}  // namespace qm
