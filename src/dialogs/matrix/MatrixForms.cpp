#include "dialogs/matrix/MatrixForms.h"

#include "controls/SpinEdit.h"

namespace qm {

TPersoForm::TPersoForm() : TParamDialogOf(kTraits) {
  using P = TCustomFilterParams;
  const auto cell = [](const char* name) { return TSpinSpec{.Name = name, .Characters = 4, .EmptyReads = 0}; };
  AddSpinEditGrid({{&P::M0, cell("SE0")}, {&P::M1, cell("SE1")}, {&P::M2, cell("SE2")},
                   {&P::M3, cell("SE3")}, {&P::M4, cell("SE4")}, {&P::M5, cell("SE5")},
                   {&P::M6, cell("SE6")}, {&P::M7, cell("SE7")}, {&P::M8, cell("SE8")}},
                  3, {TextId::GetTrLblMatrix, TextId::TrFixLblMatrix});
  divisor_ = AddSpinEdit(&P::Divisor, {.Name = "SE9",
                                       .Label = {TextId::GetTrLblDivisor, TextId::TrFixLblDivisor},
                                       .Characters = 4,
                                       .EmptyReads = 0});
}

TLayerOperation TPersoForm::Operation() const {
  return [params = Params()](TLayerRun& c) { CustomFilter(c.Layer, c.Source, params, c.Rect); };
}

void TPersoForm::BeforePreview() {
  if (Params().Divisor != 0) return;
  divisor_->SetValue(1);
  divisor_->selectAll();
}

TMinMaxMedForm::TMinMaxMedForm() : TParamDialogOf(kTraits) {
  AddRadioGroup(&TRankFilterParams::Radius,
                {"RadioGroup",
                 {TextId::GetTrLblRadius, TextId::TrFixRadiusGroup},
                 {{"RBFaible", {TextId::GetTrLblLow, TextId::TrFixRadiusLow}},
                  {"RBMoyen", {TextId::GetTrLblMedium, TextId::TrFixRadiusMedium}},
                  {"RBEleve", {TextId::GetTrLblHigh, TextId::TrFixRadiusHigh}}}});
  AddSlider(&TRankFilterParams::Threshold,
            {.Name = "TBSeuil", .LabelName = "LblSeuil", .Format = TextId::GetTrFmtThreshold, .PageStep = 10});
}

TLayerOperation TMinMaxMedForm::Operation() const {
  const TRankMode mode = Mode() == 0 ? rkMinimum : Mode() == 1 ? rkMaximum : rkMedian;
  return [mode, params = Params()](TLayerRun& c) { RankFilter(c.Layer, c.Source, mode, params, c.Rect); };
}

}  // namespace qm
