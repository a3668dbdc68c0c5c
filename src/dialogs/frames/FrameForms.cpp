#include "dialogs/frames/FrameForms.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <QWidget>
#include <memory>

#include "controls/ColorEditor.h"
#include "controls/SpinEdit.h"
#include "dialogs/frames/FrameOps.h"
#include "document/LayerHost.h"
#include "platform/core/Messages.h"
#include "platform/texts/UiTexts.h"

namespace qm {
namespace {

TCaptionText Fixed(TextId entry, TextId design) { return {entry, design}; }

const TCaptionText kWidth = Fixed(TextId::GetTrLblWidth, TextId::TrFixLblWidth);
const TCaptionText kColor = Fixed(TextId::GetTrLblColor, TextId::TrFixLblColor);

TSliderSpec OpacitySlider(const char* name) {
  return {.Name = name, .LabelName = "LblPct", .Format = TextId::GetTrFmtOpacity, .PageStep = 5};
}

// The four corners of the edge and shadow placements, in the order of their codes.
TRadioGroupSpec CornerGroup(const char* name) {
  return {name,
          {TextId::GetTrLblPosition, TextId::TrFixPosition},
          {{"RBHautGauche", {TextId::GetTrLblTopLeft, TextId::TrFixTopLeft}},
           {"RBBasGauche", {TextId::GetTrLblBottomLeft, TextId::TrFixBottomLeft}},
           {"RBHautDroite", {TextId::GetTrLblTopRight, TextId::TrFixTopRight}},
           {"RBBasDroite", {TextId::GetTrLblBottomRight, TextId::TrFixBottomRight}}}};
}

TRadioGroupSpec StyleGroup() {
  return {"RGStyle",
          {TextId::GetTrLblStyle, TextId::TrFixStyleGroup},
          {{"RBPlat", {TextId::GetTrLblFlat, TextId::TrFixFlat}},
           {"RBLisse", {TextId::GetTrLblSmooth, TextId::TrFixSmoothed}}}};
}

}  // namespace

// --- Frame ------------------------------------------------------------------------------------

TCadreForm::TCadreForm() : TParamDialogOf(kTraits) {
  AddSpinEdit(&TFrameParams::Width, {.Name = "SELargeur", .Label = kWidth, .Characters = 3});
  AddColorEdit(&TFrameParams::Color, {"ColorEdit", kColor});
  AddSlider(&TFrameParams::Opacity, OpacitySlider("TBPct"));
}

TLayerOperation TCadreForm::Operation() const {
  return [params = Params()](TLayerRun& run) { FrameEffect(run, params); };
}

// --- 3-D contour ------------------------------------------------------------------------------

TBord3DForm::TBord3DForm() : TParamDialogOf(kTraits) {
  using P = TContour3DParams;
  QCheckBox* boxes[2] = {
      AddCheckBox(&P::Edge1, {"CB1", Fixed(TextId::GetTrLblColor1, TextId::TrFixLblColor1)}),
      nullptr};
  TColorEdit* edits[2];
  edits[0] = AddColorEdit(&P::Color1, {"ColorEdit1", {}, "SB1"});
  boxes[1] = AddCheckBox(&P::Edge2, {"CB2", Fixed(TextId::GetTrLblColor2, TextId::TrFixLblColor2)});
  edits[1] = AddColorEdit(&P::Color2, {"ColorEdit2", {}, "SB2"});
  AddSpinEdit(&P::Width, {.Name = "SELargeur", .Label = kWidth, .Characters = 2});
  AddSpinEdit(&P::Opacity,
              {.Name = "EdiOpacite", .Label = Fixed(TextId::GetTrLblOpacity, TextId::TrFixLblOpacity), .Characters = 3});
  AddRadioGroup(&P::Position, CornerGroup("RGPos"));
  // A box enables its colour and pick button; the button is down while enabled.
  for (int i = 0; i < 2; ++i) {
    auto* pick = findChild<QToolButton*>(i == 0 ? QStringLiteral("SB1") : QStringLiteral("SB2"));
    QCheckBox* box = boxes[i];
    TColorEdit* edit = edits[i];
    connect(box, &QCheckBox::toggled, this, [box, edit, pick] {
      edit->setEnabled(box->isChecked());
      if (pick) {
        pick->setEnabled(box->isChecked());
        pick->setChecked(box->isChecked());
      }
    });
  }
}

void TBord3DForm::Showing() {
  for (const char* name : {"CB1", "CB2"})
    if (auto* box = findChild<QCheckBox*>(QLatin1String(name))) emit box->toggled(box->isChecked());
  if (auto* sb1 = findChild<QToolButton*>(QStringLiteral("SB1")); sb1 && sb1->isEnabled()) sb1->setChecked(true);
}

TLayerOperation TBord3DForm::Operation() const {
  TLayerHost* host = &Host().LayerHost();
  return [host, params = Params()](TLayerRun& run) { Contour3DEffect(*host, run, params); };
}

// --- Drop shadow ------------------------------------------------------------------------------

TOmbreForm::TOmbreForm() : TParamDialogOf(kTraits) {
  using P = TDropShadowParams;
  AddColorEdit(&P::Color, {"ColorEdit", kColor});
  AddRadioGroup(&P::Style, StyleGroup());
  Controls().BeginGroup("GBDecalage", Fixed(TextId::GetTrMnuOffset, TextId::TrFixOffsetGroup));
  AddSpinEdits(&P::Offset, {.Name = "SEDX", .Label = Fixed(TextId::Count, TextId::TrFixDeltaX), .Characters = 4},
               {.Name = "SEDY", .Label = Fixed(TextId::Count, TextId::TrFixDeltaY), .Characters = 4});
  Controls().EndGroup();
  AddSpinEdit(&P::Opacity,
              {.Name = "SEOpacite", .Label = Fixed(TextId::GetTrLblOpacity, TextId::TrFixLblOpacity), .Characters = 3});
}

TLayerOperation TOmbreForm::Operation() const {
  TLayerHost* host = &Host().LayerHost();
  return [host, params = Params()](TLayerRun& run) { DropShadowEffect(*host, run, params); };
}

// --- Progressive contour ----------------------------------------------------------------------

TContourProgForm::TContourProgForm() : TParamDialogOf(kTraits) {
  using P = TProgressiveContourParams;
  AddColorEdit(&P::Color, {"ColorEdit", kColor});
  AddSlider(&P::Opacity, OpacitySlider("TBPct"));
  AddSpinEdit(&P::Width, {.Name = "SELargeur", .Label = kWidth, .Characters = 3});
  CBInverser = AddCheckBox(&P::Outside, {"CBInverser", Fixed(TextId::GetTrLblOutside, TextId::TrFixOutside)});
  AddRadioGroup(&P::Effect, {"RGEffet",
                             {TextId::GetTrLblEffect, TextId::TrFixEffectGroup},
                             {{"RBAucun", {TextId::GetTrLblNone, TextId::TrFixFilterNone}},
                              {"RBFlou", {TextId::GetTrMnuBlur, TextId::TrFixBlurEffect}},
                              {"RBDiffusion", {TextId::GetTrLblDiffusion, TextId::TrFixDiffusion}}}});
}

void TContourProgForm::Showing() {
  // Outside the selection only when there is one.
  const TSelectionOverlay* sel = Host().LayerHost().ActiveSelection();
  const bool shown = sel && sel->Visible;
  if (!shown) CBInverser->setChecked(false);
  CBInverser->setEnabled(shown);
}

TLayerOperation TContourProgForm::Operation() const {
  TLayerHost* host = &Host().LayerHost();
  return [host, params = Params()](TLayerRun& run) {
    TProgressiveContourParams p = params;
    // A repeat on a document without a selection has nothing to go around.
    const TSelectionOverlay* sel = host->ActiveSelection();
    if (!sel || !sel->Visible) p.Outside = false;
    ProgressiveContourEffect(*host, run, p);
  };
}

// --- Outline and fill -------------------------------------------------------------------------

TCRForm::TCRForm() : TParamDialogOf(kTraits) {
  using P = TOutlineFillParams;
  Controls().BeginGroup("GBContour", Fixed(TextId::GetTrLblStrkeOptions, TextId::TrFixStrokeOptions));
  CBContour = AddCheckBox(&P::Outline, {"CBContour", Fixed(TextId::GetTrLblStroke, TextId::TrFixStroke)});
  ColorEdit1 = AddColorEdit(&P::OutlineColor, {"ColorEdit1", kColor, "SB1"});
  AddSpinEdit(&P::Width, {.Name = "SELargeur", .Label = kWidth, .Characters = 2});
  CBLisser = AddCheckBox(&P::Smooth, {"CBLisser", Fixed(TextId::GetTrLblSmooth, TextId::TrFixSmoothStroke)});
  Controls().EndGroup();
  Controls().BeginGroup("GBRemplissage", Fixed(TextId::GetTrLblFillOptions, TextId::TrFixFillOptions));
  CBRempl = AddCheckBox(&P::Fill, {"CBRempl", Fixed(TextId::GetTrLblFill, TextId::TrFixFillBox)});
  ColorEdit2 = AddColorEdit(&P::FillColor, {"ColorEdit2", kColor, "SB2"});
  CBStyle = AddCombo(&P::Style, {"CBStyle",
                                 Fixed(TextId::GetTrLblStyle, TextId::TrFixLblStyle),
                                 {{TextId::Count, TextId::TrFixHatchSolid},
                                  {TextId::Count, TextId::TrFixHatchHorizontal},
                                  {TextId::Count, TextId::TrFixHatchVertical},
                                  {TextId::Count, TextId::TrFixHatchFDiagonal},
                                  {TextId::Count, TextId::TrFixHatchBDiagonal},
                                  {TextId::Count, TextId::TrFixHatchCross},
                                  {TextId::Count, TextId::TrFixHatchDiagCross}}});
  // Each item shows a sample of its hatch beside its name.
  CBStyle->setIconSize(QSize(40, 14));
  for (int i = 0; i < CBStyle->count(); ++i) {
    QPixmap sample(CBStyle->iconSize());
    sample.fill(Qt::white);
    QPainter painter(&sample);
    painter.fillRect(sample.rect(), QBrush(Qt::black, HatchStyle(i)));
    painter.setPen(Qt::gray);
    painter.drawRect(sample.rect().adjusted(0, 0, -1, -1));
    painter.end();
    CBStyle->setItemIcon(i, QIcon(sample));
  }
  auto* patternBox = new QWidget(this);
  auto* grid = new QGridLayout(patternBox);
  grid->setContentsMargins(0, 0, 0, 0);
  pattern_ = new TPatternRow(*this, *grid, 0);
  pattern_->CBMotif->setText(CaptionText(TextId::GetTrLblFillPattern, TextId::TrFixLblFillPattern));
  AddWidget(patternBox);
  Controls().EndGroup();
  TBOpacite = AddSlider(&P::Opacity, {.Name = "TBOpacite",
                                      .LabelName = "LblOpacite",
                                      .Format = TextId::GetTrFmtOpacity,
                                      .PageStep = 5});
  for (QCheckBox* box : {CBContour, CBRempl, pattern_->CBMotif}) connect(box, &QCheckBox::toggled, this, [this] { Follow(); });
  // OK with nothing to do closes as Cancel does.
  if (auto* ok = findChild<QPushButton*>(QLatin1String(kTraits.Buttons.Ok))) {
    disconnect(ok, &QPushButton::clicked, nullptr, nullptr);
    connect(ok, &QPushButton::clicked, this, [this] {
      if (!Params().Outline && !Params().Fill) Cancel();
      else Ok();
    });
  }
}

void TCRForm::Follow() {
  if (!hosted_) return;
  const bool trueColor = Host().LayerHost().IsActiveImageTrueColor();
  const bool outline = CBContour->isChecked(), fill = CBRempl->isChecked();
  for (QWidget* w : {static_cast<QWidget*>(ColorEdit1), findChild<QWidget*>(QStringLiteral("SELargeur")),
                     findChild<QWidget*>(QStringLiteral("SB1"))})
    if (w) w->setEnabled(outline);
  const TSelectionOverlay* sel = Host().LayerHost().ActiveSelection();
  CBLisser->setEnabled(outline && trueColor && sel && sel->Visible && sel->ShapeKind != ssRect);
  ColorEdit1->SetReadOnly(!trueColor);
  ColorEdit2->SetReadOnly(!trueColor);
  for (QWidget* w : {static_cast<QWidget*>(ColorEdit2), findChild<QWidget*>(QStringLiteral("SB2"))})
    if (w) w->setEnabled(fill);
  // Off with the fill, the pattern box keeps its tick for when the fill comes back; a
  // palette image has none.
  if (!trueColor) pattern_->SetAvailable(false);
  else pattern_->SetEnabled(fill);
  CBStyle->setEnabled(fill && !pattern_->Checked());
}

void TCRForm::Showing() {
  hosted_ = true;
  TBOpacite->setValue(100);
  TLayerHost& layers = Host().LayerHost();
  if (!layers.IsActiveImageTrueColor()) {
    // A palette image draws in its own colours: both take its first pixel's.
    if (const TBitmap* layer = layers.ActiveLayerBitmap(); layer && !layer->Empty()) {
      ColorEdit1->SetColor(layer->GetPixel(0, 0));
      ColorEdit2->SetColor(layer->GetPixel(0, 0));
    }
  }
  Follow();
}

void TCRForm::BeforePreview() {
  patternBitmap_ = TBitmap();
  patternKey_ = clNone;
  patternMissing_ = false;
  if (!CBRempl->isChecked() || !pattern_->Checked()) return;
  if (pattern_->Incomplete()) patternMissing_ = true;
  else if (!pattern_->Load(Host(), patternBitmap_, patternKey_)) patternBitmap_ = TBitmap();
}

TLayerOperation TCRForm::Operation() const {
  TLayerHost* host = &Host().LayerHost();
  TOutlineFillParams params = Params();
  // Without the style list the fill is solid.
  if (!CBStyle->isEnabled()) params.Style = fhSolid;
  auto pattern = std::make_shared<TBitmap>(patternBitmap_.Clone());
  return [host, params, pattern, key = patternKey_, missing = patternMissing_](TLayerRun& run) {
    if (missing) {
      ShowMessageDialog(Tr(TextId::GetTrDldGlb1), mtWarning, mbOK);
      run.Refused = true;
      return;
    }
    OutlineFillEffect(*host, run, params, pattern->Empty() ? nullptr : pattern.get(), key);
  };
}

}  // namespace qm
