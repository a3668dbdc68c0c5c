#include "dialogs/effects/ArtForms.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLineEdit>
#include <QToolButton>

#include "controls/SpinEdit.h"
#include "dialogs/effects/EffectRuns.h"

namespace qm {
namespace {

constexpr TCaptionText kColor{TextId::GetTrLblColor, TextId::TrFixLblColor};
constexpr TCaptionText kLight{TextId::GetTrLblLow, TextId::TrFixLight};
constexpr TCaptionText kHigh{TextId::GetTrLblHigh, TextId::TrFixRadiusHigh};

}  // namespace

// --- Colour pencils -------------------------------------------------------------------

TCrayonForm::TCrayonForm() : TParamDialogOf(kTraits, &ApplyPencil) {
  AddCombo(&TPencilParams::Texture, {"CBTexture",
                                     {TextId::GetTrLblPaperTexture, TextId::TrFixLblPaperTexture},
                                     {{TextId::GetTrLblLargeGrain, TextId::TrFixLargeGrain},
                                      {TextId::GetTrLblFineGrain, TextId::TrFixFineGrain},
                                      {TextId::GetTrMnuGridGenerator, TextId::TrFixDlgGrid, kPlainCaption}}});
  Controls().BeginGroup("GroupBox1", {TextId::GetTrLblShadows, TextId::TrFixShadowsGroup});
  AddSlider(&TPencilParams::Intensity, {.Name = "TBN", .LabelName = "LblN", .Format = TextId::GetTrFmtAmount});
  AddSlider(&TPencilParams::Threshold, {.Name = "TBN2", .LabelName = "LblN2", .Format = TextId::GetTrFmtThreshold});
  Controls().EndGroup();
}

// --- Slide ----------------------------------------------------------------------------

TDiapoForm::TDiapoForm() : TParamDialogOf(kTraits) {
  AddSpinEdit(&TSlideParams::Width, {"SELargeur", {TextId::GetTrLblWidth, TextId::TrFixLblWidth}, 3});
  AddColorEdit(&TSlideParams::Color, {"ColorEdit", kColor});
  AddSlider(&TSlideParams::Opacity,
            {.Name = "TBPct", .LabelName = "LblPct", .Format = TextId::GetTrFmtOpacity, .PageStep = 10});
  AddRadioGroup(&TSlideParams::Blur, {"RGFlou",
                                      {TextId::GetTrMnuBlur, TextId::TrFixBlurGroup},
                                      {{"RBFlouLeger", kLight}, {"RBFlouEleve", kHigh}}});
  AddRadioGroup(&TSlideParams::Round, {"RGRound",
                                       {TextId::GetTrLblRounded, TextId::TrFixRoundGroup},
                                       {{"RBRoundLeger", kLight}, {"RBRoundEleve", kHigh}}});
}

TLayerOperation TDiapoForm::Operation() const {
  return [p = Params()](TLayerRun& run) {
    if (!SlideFrameFits(p, run.Rect)) return RefuseTooSmall(run);
    ApplySlideFrame(run.Layer, p, run.Rect);
  };
}

// --- Gradient -------------------------------------------------------------------------

TFiltreDegradeForm::TFiltreDegradeForm() : TParamDialogOf(kTraits, &ApplyGradient) {
  Controls().BeginGroup("GroupBox1", {TextId::GetTrLblColor1, TextId::TrFixColor1Group});
  AddColorEdit(&TGradientParams::Color1, {"ColorEdit1", {}, "SB1"});
  AddSlider(&TGradientParams::Opacity1,
            {.Name = "TBAlpha1", .LabelName = "LblAlpha1", .Format = TextId::GetTrFmtOpacity, .PageStep = 10});
  second_ = Controls().BeginGroup("GroupBox2", {TextId::GetTrLblColor2, TextId::TrFixColor2Group});
  AddColorEdit(&TGradientParams::Color2, {"ColorEdit2", {}, "SB2"});
  AddSlider(&TGradientParams::Opacity2,
            {.Name = "TBAlpha2", .LabelName = "LblAlpha2", .Format = TextId::GetTrFmtOpacity, .PageStep = 10});
  Controls().EndGroup();
  AddRadioGroup(&TGradientParams::Direction, {"RGDirection",
                                              {TextId::GetTrLblDirection, TextId::TrFixDirectionGroup},
                                              {{"RBLeftRight", {TextId::GetTrLblLeftToRight, TextId::TrFixLeftToRight}},
                                               {"RBTopBottom", {TextId::GetTrLblTopToBottom, TextId::TrFixTopToBottom}},
                                               {"RBRightLeft", {TextId::GetTrLblRightToLeft, TextId::TrFixRightToLeft}},
                                               {"RBBottomTop", {TextId::GetTrLblBottomToTop, TextId::TrFixBottomToTop}}}});
  QGroupBox* style = AddRadioGroup(&TGradientParams::Style,
                                   {"RGStyle",
                                    {TextId::GetTrLblStyle, TextId::TrFixStyleGroup},
                                    {{"RBBichrome", {TextId::GetTrMnuDuotone, TextId::TrFixBichrome}},
                                     {"RBMonochrome", {TextId::GetTrLblMonochrom, TextId::TrFixMonochrome}}}});
  sb1_ = findChild<QToolButton*>(QStringLiteral("SB1"));
  // A button's toggle comes before its group's, which stores the choice: the button
  // says which style it is.
  for (QAbstractButton* b : style->findChildren<QAbstractButton*>())
    connect(b, &QAbstractButton::toggled, this, [this, b](bool on) {
      if (on) FollowStyle(b->objectName() == QLatin1String("RBMonochrome"));
    });
}

// One colour: the second colour's group is off and picks go to the first.
void TFiltreDegradeForm::FollowStyle(bool mono) {
  second_->setEnabled(!mono);
  if (mono && sb1_) sb1_->setChecked(true);
}

void TFiltreDegradeForm::Showing() { FollowStyle(Params().Style == 1); }

}  // namespace qm
