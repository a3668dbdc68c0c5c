#include "dialogs/transparency/TransparencyForms.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include "controls/ColorEditor.h"
#include "document/LayeredImage.h"

namespace qm {
namespace {

constexpr TColor kNoTransparentColor = 0x1FFFFFFF;

TBitmap* Background(TDialogHost& host) {
  TLayeredImage* image = host.LayerHost().ActiveImage();
  return image && image->Layers.GetCount() > 0 ? &image->Layers[0].Image : nullptr;
}

const TSliderSpec kTolerance{.Name = "TBN", .LabelName = "LblN", .Format = TextId::GetTrFmtTolerance,
                             .PageStep = 10, .TickInterval = 5};

}  // namespace

// --- The image's transparent colour ---------------------------------------------------

TCouleurTransForm::TCouleurTransForm() : TParamDialogOf(kTraits) {
  using P = TTransColorParams;
  AddSlider(&P::Tolerance, kTolerance);
  AddColorEdit(&P::Color, {"ColorEdit", {TextId::GetTrLblColor, TextId::TrFixLblColor}});
  merge_ = AddRadioGroup(&P::Merge, {"RGTransp",
                                     {},
                                     {{"RBCombiner", {TextId::GetTrLblMergeTransColor, TextId::TrFixMergeTransColor}},
                                      {"RBRemplacer",
                                       {TextId::GetTrLblReplaceTranspColor, TextId::TrFixReplaceTransColor}}}});
  disable_ = AddCheckBox(&P::Disable, {"CBAnnulerTransp", {TextId::GetTrLblDisableTrans, TextId::TrFixDisableTrans}});
  connect(disable_, &QCheckBox::toggled, this, [this] { FollowDisable(); });
}

void TCouleurTransForm::FollowDisable() {
  const bool off = Params().Disable;
  for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (w != disable_ && !qobject_cast<QPushButton*>(w)) w->setEnabled(!off);
  if (auto* preview = findChild<QPushButton*>(QStringLiteral("BApercu"))) preview->setEnabled(!off);
}

void TCouleurTransForm::Showing() {
  const TBitmap* bg = Background(Host());
  const bool transparent = bg && bg->Transparent;
  old_ = transparent ? bg->EffectiveTransparentColor() : kNoTransparentColor;
  if (bg) Params().Color = transparent ? old_ : bg->GetPixel(0, 0);
  Params().Disable = false;
  Controls().Show(TParamControls::rsKeep);
  merge_->setVisible(transparent);
  disable_->setVisible(transparent);
  FollowDisable();
}

TLayerOperation TCouleurTransForm::Operation() const {
  const TTransColorParams p = Params();
  const bool merge = !merge_->isHidden() && p.Merge == 0 && old_ != kNoTransparentColor;
  const TColor target = merge ? old_ : p.Color;
  return [p, target](TLayerRun& c) {
    if (p.Disable) c.Layer.Transparent = false;
    else SetTransparentColor(c.Layer, p.Color, target, p.Tolerance, c.Rect);
  };
}

void TCouleurTransForm::Applied() { Host().UpdateCommandStates(); }

// --- The transparency mask ------------------------------------------------------------

TMaskCoulForm::TMaskCoulForm() : TParamDialogOf(kTraits) {
  using P = TTransMaskParams;
  AddSlider(&P::Tolerance, kTolerance);
  AddColorEdit(&P::Color, {"ColorEdit", {TextId::GetTrLblColor, TextId::TrFixLblColor}})->SetReadOnly(true);
  AddRadioGroup(&P::Effect, {"RGEffet",
                             {TextId::GetTrLblEffect, TextId::TrFixEffectGroup},
                             {{"RBAucun", {TextId::GetTrLblNone, TextId::TrFixFilterNone}},
                              {"RBLissage", {TextId::GetTrLblSmooth, TextId::TrFixEffectSmooth}},
                              {"RBFlou", {TextId::GetTrMnuBlur, TextId::TrFixEffectBlur}},
                              {"RBProgressif", {TextId::GetTrMnuProgressiveContour, TextId::TrFixEffectProgressive}},
                              {"RBDiffusion", {TextId::GetTrLblDiffusion, TextId::TrFixDiffusion}}}});
}

void TMaskCoulForm::Showing() {
  const TBitmap* bg = Background(Host());
  keyed_ = bg && bg->Transparent;
  TTransMaskParams& p = Params();
  if (keyed_) {
    p.Color = bg->EffectiveTransparentColor();
    p.Tolerance = 0;
    p.Effect = meNone;
  } else {
    if (bg) p.Color = bg->GetPixel(0, 0);
    p.Tolerance = 30;
    p.Effect = meSmooth;
  }
  Controls().Show(TParamControls::rsKeep);
  for (const char* name : {"TBN", "LblN"})
    if (auto* w = findChild<QWidget*>(QLatin1String(name))) w->setEnabled(!keyed_);
}

void TMaskCoulForm::TakePickedColor(TColor color) {
  if (!keyed_) TParamDialogOf::TakePickedColor(color);
}

TLayerOperation TMaskCoulForm::Operation() const {
  return [p = Params()](TLayerRun& c) { MakeTransparencyMask(c.Layer, c.Source, p); };
}

void TMaskCoulForm::Applied() {
  if (TLayeredImage* image = Host().LayerHost().ActiveImage()) image->ColorCount = 256;
  Host().UpdateStatusBar();
  Host().UpdateCommandStates();
}

// --- A layer's transparent colour -----------------------------------------------------

TCouleurTransCalqueForm::TCouleurTransCalqueForm() : TParamDialogOf(kTraits) {
  using P = TLayerTransParams;
  AddSlider(&P::Tolerance, kTolerance);
  AddSlider(&P::Opacity, {.Name = "TBAlpha", .LabelName = "LblOpacite", .Format = TextId::GetTrFmtOpacity,
                          .PageStep = 10, .TickInterval = 5});
  AddColorEdit(&P::Color, {"ColorEdit", {TextId::GetTrLblColor, TextId::TrFixLblColor}})->SetReadOnly(true);
}

void TCouleurTransCalqueForm::Showing() {
  if (const TBitmap* layer = Host().GetActiveLayerBitmap(); layer && !layer->Empty())
    Params().Color = layer->GetPixel(0, 0);
  Controls().Show(TParamControls::rsKeep);
}

TLayerOperation TCouleurTransCalqueForm::Operation() const {
  return [p = Params()](TLayerRun& c) {
    if (c.Item) HideColorInMask(c.Layer, c.Item->Mask, p, c.Rect);
  };
}

}  // namespace qm
