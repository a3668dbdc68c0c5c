#include "dialogs/deform/DeformForms.h"

#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>

#include "controls/ColorEditor.h"
#include "document/LayeredImage.h"
#include "document/Undo.h"
#include "platform/texts/Format.h"

namespace qm {

template <class P>
bool TDeformDialog<P>::ActiveLayerHasMask() {
  const TLayeredImage* image = this->Host().LayerHost().ActiveImage();
  const TLayerItem* layer = image ? image->GetActiveLayer() : nullptr;
  return layer && !layer->Mask.Empty();
}

template <class P>
TLayerOperation TDeformDialog<P>::Operation() const {
  return [layer = layer_, mask = mask_, params = this->Params()](TLayerRun& c) {
    layer(c.Layer, c.Source, params, c.Rect);
    if (c.Item && !c.Item->Mask.Empty()) mask(c.Item->Mask, params, c.Rect);
    // The mask changed with the pixels: a fade of the image alone would part them.
    if (c.Step) SetUndoStepParam(*c.Step, upNoFade, 1);
  };
}

template <class P>
bool TDeformDialog<P>::ShowResult(bool restoreFirst) {
  // The layer is rebuilt from the copy; only a mask turned in place (or a preview that
  // an identity replaces) needs the step's pixels back first.
  return TParamDialog::ShowResult(restoreFirst && (ActiveLayerHasMask() || IsIdentityValues()));
}

template <class P>
void TDeformDialog<P>::Showing() {
  // What no pixel maps to is hidden on a masked layer: white shows it as such.
  if (background_ && ActiveLayerHasMask()) background_->SetColor(clWhite);
}

template class TDeformDialog<TSpiralParams>;
template class TDeformDialog<TTrapezoidParams>;
template class TDeformDialog<TLensParams>;

namespace {

const TColorEditSpec kBackground{"ColorEdit", {TextId::GetTrLblBkg, TextId::TrFixLblBkg}};

TRadioGroupSpec AxisGroup(const char* name, const char* horizontal, const char* vertical) {
  return {name,
          {},
          {{horizontal, {TextId::GetTrLblHorzAxis, TextId::TrFixHorzAxis}},
           {vertical, {TextId::GetTrLblVertAxis, TextId::TrFixVertAxis}}}};
}

}  // namespace

TSpiraleForm::TSpiraleForm() : TDeformDialog(kTraits, &ApplySpiral, &ApplySpiralToMask) {
  AddSlider(&TSpiralParams::Amount, {.Name = "TBN", .LabelName = "LblPct", .Format = TextId::GetTrFmtAmount});
  AddRadioGroup(&TSpiralParams::Sense,
                {"GBSens",
                 {},
                 {{"RBHoraire", {TextId::GetTrLblClockwise, TextId::TrFixClockwise}},
                  {"RBAntiHoraire", {TextId::GetTrLblCounterClockwise, TextId::TrFixCounterClockwise}}}});
  background_ = AddColorEdit(&TSpiralParams::Background, kBackground);
}

TTrapezeForm::TTrapezeForm() : TDeformDialog(kTraits, &ApplyTrapezoid, &ApplyTrapezoidToMask) {
  QSlider* tb1 = AddSlider(&TTrapezoidParams::First,
                           {.Name = "TB1", .LabelName = "Lbl1", .Format = TextId::GetTrFmtTopDistort, .PageStep = 10});
  QSlider* tb2 = AddSlider(&TTrapezoidParams::Second, {.Name = "TB2", .LabelName = "Lbl2",
                                                       .Format = TextId::GetTrFmtBottomDistort, .PageStep = 10});
  QGroupBox* axis = AddRadioGroup(&TTrapezoidParams::Axis, AxisGroup("GBAxe", "RBHorz", "RBVert"));
  background_ = AddColorEdit(&TTrapezoidParams::Background, kBackground);
  lbl1_ = findChild<QLabel*>(QStringLiteral("Lbl1"));
  lbl2_ = findChild<QLabel*>(QStringLiteral("Lbl2"));
  tb1_ = tb1;
  tb2_ = tb2;
  vertical_ = axis->findChild<QRadioButton*>(QStringLiteral("RBVert"));
  // Connected after the controls' own handlers: the axis's texts have the last word.
  connect(tb1, &QSlider::valueChanged, this, [this] { Relabel(); });
  connect(tb2, &QSlider::valueChanged, this, [this] { Relabel(); });
  for (QRadioButton* rb : axis->findChildren<QRadioButton*>())
    connect(rb, &QRadioButton::toggled, this, [this] { Relabel(); });
}

void TTrapezeForm::Showing() {
  TDeformDialog::Showing();
  Relabel();
}

void TTrapezeForm::Relabel() {
  // (read from the controls: the fields may take the change after this handler)
  const bool rows = !vertical_->isChecked();
  lbl1_->setText(QString::fromStdString(
      Format(rows ? TextId::GetTrFmtTopDistort : TextId::GetTrFmtLeftDistort, {tb1_->value()})));
  lbl2_->setText(QString::fromStdString(
      Format(rows ? TextId::GetTrFmtBottomDistort : TextId::GetTrFmtRightDistort, {tb2_->value()})));
}

TLensForm::TLensForm() : TDeformDialog(kTraits, &ApplyLens, &ApplyLensToMask) {
  AddSlider(&TLensParams::Amount, {.Name = "TBN", .LabelName = "Label2", .Format = TextId::GetTrFmtAmount});
  background_ = AddColorEdit(&TLensParams::Background, kBackground);
}

TOndeForm::TOndeForm() : TParamDialogOf(kTraits, &ApplyWave) {
  AddSlider(&TWaveParams::Period, {.Name = "TBPeriode", .LabelName = "LblPeriode", .Format = TextId::GetTrFmtPeriod});
  AddSlider(&TWaveParams::Amplitude,
            {.Name = "TBAmplitude", .LabelName = "LblAmplitude", .Format = TextId::GetTrFmtAmplitude});
  AddRadioGroup(&TWaveParams::Axis, AxisGroup("GBAxe", "CBHoriz", "CBVerti"));
}

// Rows whose source lies outside keep the layer's pixels: they must be the step's,
// also before the first preview.
bool TOndeForm::ShowResult(bool) { return TParamDialog::ShowResult(true); }

}  // namespace qm
