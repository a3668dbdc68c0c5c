#include "dialogs/colorfilters/ColorFilterForms.h"

namespace qm {

// A colour picked on the image becomes the filter's colour.
TFiltreForm::TFiltreForm() : TParamDialogOf(kTraits, &ApplyColorFilter) {
  AddSlider(&TColorFilterParams::Opacity,
            {.Name = "TBPct", .LabelName = "LblPct", .Format = TextId::GetTrFmtOpacity, .PageStep = 10});
  AddColorEdit(&TColorFilterParams::Color, {"ColorEdit", {TextId::GetTrLblColor, TextId::TrFixLblColor}});
  AddCheckBox(&TColorFilterParams::Invert, {"CBInverser", {TextId::GetTrMnuSelInvert, TextId::TrFixInvert}});
}

TBichromieForm::TBichromieForm() : TParamDialogOf(kTraits, &ApplyTwoColorThreshold) {
  AddSlider(&TTwoColorParams::Threshold,
            {.Name = "TBSeuil", .LabelName = "LblSeuil", .Format = TextId::GetTrFmtThreshold, .PageStep = 10});
  AddColorEdit(&TTwoColorParams::Color1, {"ColorEdit1", {TextId::GetTrLblColor1, TextId::TrFixLblColor1}});
  AddColorEdit(&TTwoColorParams::Color2, {"ColorEdit2", {TextId::GetTrLblColor2, TextId::TrFixLblColor2}});
}

TPosterForm::TPosterForm() : TParamDialogOf(kTraits, &ApplyPosterize) {
  AddSlider(&TPosterizeParams::Step,
            {.Name = "TBN", .LabelName = "LblN", .Format = TextId::GetTrFmtLevel2, .PageStep = 10});
}

TBruitForm::TBruitForm() : TParamDialogOf(kTraits, &AddNoise) {
  AddSlider(&TNoiseParams::Amount, {.Name = "TBN", .LabelName = "LblN", .Format = TextId::GetTrFmtAmount, .PageStep = 10});
  AddCheckBox(&TNoiseParams::Uniform, {"CBUniforme", {TextId::GetTrLblUniform, TextId::TrFixUniform}});
}

// One radio button per order, in the order of their codes.
TSwapRGBForm::TSwapRGBForm() : TParamDialogOf(kTraits, &SwapChannels) {
  AddRadioGroup(&TSwapChannelsParams::Order, {"RGOrdre",
                                              {},
                                              {{"RdbRBG", {TextId::GetTrLblRGB_RBG, TextId::TrFixRGB_RBG}},
                                               {"RdbGRB", {TextId::GetTrLblRGB_GRB, TextId::TrFixRGB_GRB}},
                                               {"RdbGBR", {TextId::GetTrLblRGB_GBR, TextId::TrFixRGB_GBR}},
                                               {"RdbBRG", {TextId::GetTrLblRGB_BRG, TextId::TrFixRGB_BRG}},
                                               {"RdbBGR", {TextId::GetTrLblRGB_BGR, TextId::TrFixRGB_BGR}}}});
}

}  // namespace qm
