#include "dialogs/effects/TileForms.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "controls/ColorEditor.h"
#include "controls/SpinEdit.h"
#include "dialogs/effects/EffectRuns.h"

namespace qm {
namespace {

constexpr TCaptionText kThickness{TextId::GetTrLblWidth, TextId::TrFixLblThickness};
constexpr TCaptionText kColor{TextId::GetTrLblColor, TextId::TrFixLblColor};
constexpr TCaptionText kRelief{TextId::Count, TextId::TrFixRelief};
constexpr TCaptionText kContour{TextId::GetTrLblContour, TextId::TrFixContour};

// The label the controls put before a field.
QLabel* LabelOf(QWidget& dialog, const QWidget* field) {
  for (QLabel* l : dialog.findChildren<QLabel*>())
    if (l->buddy() == field) return l;
  return nullptr;
}

}  // namespace

// --- Puzzle ---------------------------------------------------------------------------

TPuzzleForm::TPuzzleForm() : TParamDialogOf(kTraits) {
  AddSlider(&TPuzzleParams::Size,
            {.Name = "TBN", .LabelName = "LabelPieces", .Format = TextId::GetTrFmtPiecesSize, .PageStep = 10});
  AddSpinEdit(&TPuzzleParams::Thickness, {"SETrait", kThickness, 1});
  AddColorEdit(&TPuzzleParams::Color, {"ColorEdit", kColor});
  AddCheckBox(&TPuzzleParams::Relief, {"CBRelief", kRelief});
}

TLayerOperation TPuzzleForm::Operation() const {
  return [&host = Host(), p = Params()](TLayerRun& run) {
    if (!CellsFit(run, p.Size)) return;
    ApplyPuzzle(run.Layer, p, run.Rect);
    FinishOnSelection(host, run, seHard, true, p.Color, p.Thickness);
  };
}

// --- Mosaic ---------------------------------------------------------------------------

TMosaiqueForm::TMosaiqueForm() : TParamDialogOf(kTraits) {
  AddSlider(&TMosaicParams::Block,
            {.Name = "TBN", .LabelName = "LblPct", .Format = TextId::GetTrFmtCellSize, .PageStep = 5});
  QCheckBox* contour = AddCheckBox(&TMosaicParams::Outline, {"CBContour", kContour});
  TColorEdit* color = AddColorEdit(&TMosaicParams::Color, {"ColorEdit", kColor});
  auto follow = [contour, color] { color->setEnabled(contour->isChecked()); };
  connect(contour, &QCheckBox::toggled, this, follow);
  follow();
}

void TMosaiqueForm::TakePickedColor(TColor color) {
  if (Params().Outline) TParamDialogOf::TakePickedColor(color);
}

TLayerOperation TMosaiqueForm::Operation() const {
  return [&host = Host(), p = Params()](TLayerRun& run) {
    if (!CellsFit(run, p.Block)) return;
    ApplyMosaic(run.Layer, p, run.Rect);
    FinishOnSelection(host, run, p.Outline ? seHard : seProgressive, p.Outline, p.Color, 1);
  };
}

// --- Tiles ----------------------------------------------------------------------------

TCarreauxForm::TCarreauxForm() : TParamDialogOf(kTraits) {
  AddSlider(&TTilesParams::Size,
            {.Name = "TBN", .LabelName = "LabelCarreaux", .Format = TextId::GetTrFmtPiecesSize, .PageStep = 10});
  AddCheckBox(&TTilesParams::Outline, {"CBContour", kContour});
  AddColorEdit(&TTilesParams::Color, {"ColorEdit", kColor});
}

TLayerOperation TCarreauxForm::Operation() const {
  return [&host = Host(), p = Params()](TLayerRun& run) {
    ApplyTiles(run.Layer, run.Source, p, run.Rect);
    FinishOnSelection(host, run, p.Outline ? seHard : seProgressive, p.Outline, p.Color, 1);
  };
}

// --- Grid -----------------------------------------------------------------------------

TQuadrillageForm::TQuadrillageForm() : TParamDialogOf(kTraits) {
  AddSlider(&TGridParams::Cell,
            {.Name = "TBN", .LabelName = "LabelCarreaux", .Format = TextId::GetTrFmtCellSize, .PageStep = 10});
  AddCheckBox(&TGridParams::Vertical, {"CBVert", {TextId::GetTrLblVertLines, TextId::TrFixVertLines}});
  AddCheckBox(&TGridParams::Horizontal, {"CBHorz", {TextId::GetTrLblHorzLines, TextId::TrFixHorzLines}});
  AddCheckBox(&TGridParams::Fit, {"CBAjuster", {TextId::GetTrLblAdjust, TextId::TrFixAdjust}});
  AddCheckBox(&TGridParams::Outline, {"CBContour", kContour});
  AddCheckBox(&TGridParams::Relief, {"CBRelief", kRelief});
  AddSpinEdit(&TGridParams::Thickness, {"SETrait", kThickness, 1});
  AddColorEdit(&TGridParams::Color, {"ColorEdit", kColor});
}

TLayerOperation TQuadrillageForm::Operation() const {
  return [&host = Host(), p = Params()](TLayerRun& run) {
    if (!CellsFit(run, p.Cell)) return;
    ApplyGrid(run.Layer, p, run.Rect);
    FinishOnSelection(host, run, seHard, p.Outline, p.Color, p.Thickness);
  };
}

// --- Cross-stitch ---------------------------------------------------------------------

TCroixForm::TCroixForm() : TParamDialogOf(kTraits) {
  AddSlider(&TCrossStitchParams::Length,
            {.Name = "TBN", .LabelName = "LabelPieces", .Format = TextId::GetTrFmtPointLength, .PageStep = 2});
  style_ = AddCombo(&TCrossStitchParams::Style, {"CmbPoint",
                                                 {TextId::GetTrLblStyle, TextId::TrFixLblStyle},
                                                 {{TextId::GetTrLblCrossPoint1, TextId::TrFixCrossPoint1},
                                                  {TextId::GetTrLblCrossPoint2, TextId::TrFixCrossPoint2},
                                                  {TextId::GetTrLblCrossPoint3, TextId::TrFixCrossPoint3},
                                                  {TextId::GetTrLblCrossPoint4, TextId::TrFixCrossPoint4}}});
  thickness_ = AddSpinEdit(&TCrossStitchParams::Thickness, {"SETrait", kThickness, 1});
  if (QLabel* label = LabelOf(*this, thickness_)) label->setObjectName(QStringLiteral("Label3"));
  AddCheckBox(&TCrossStitchParams::Grid, {"CBGrille", {TextId::GetTrMnuGrid, TextId::TrFixGridBox}});
  AddColorEdit(&TCrossStitchParams::Background, {"ColorEdit", {TextId::GetTrLblBkg, TextId::TrFixLblBkg}});
  connect(style_, &QComboBox::currentIndexChanged, this, [this] { ShowThickness(); });
}

void TCroixForm::ShowThickness() {
  const bool shown = Params().Style != ssTriangle;
  thickness_->setVisible(shown);
  if (QLabel* label = LabelOf(*this, thickness_)) label->setVisible(shown);
}

void TCroixForm::Showing() { ShowThickness(); }

TLayerOperation TCroixForm::Operation() const {
  return [&host = Host(), p = Params()](TLayerRun& run) {
    ApplyCrossStitch(run.Layer, run.Source, p, run.Rect);
    FinishOnSelection(host, run, p.Grid ? seHard : seProgressive, p.Grid, clBlack, 1);
  };
}

}  // namespace qm
