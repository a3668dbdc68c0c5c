#include "dialogs/coloradjust/ColorAdjustForms.h"

namespace qm {

TLCForm::TLCForm() : TParamDialogOf(kTraits, &AdjustBrightnessContrast) {
  AddSlider(&TBrightnessContrastParams::Brightness,
            {.Name = "TBLuminosite", .LabelName = "LblLuminosite", .Format = TextId::GetTrFmtBrightness, .PageStep = 10});
  AddSlider(&TBrightnessContrastParams::Contrast,
            {.Name = "TBContraste", .LabelName = "LblContraste", .Format = TextId::GetTrFmtContrast, .PageStep = 10});
  AddChannelCombo(&TBrightnessContrastParams::Channel);
}

TTSForm::TTSForm() : TParamDialogOf(kTraits, &AdjustHueSaturation) {
  AddSlider(&THueSaturationParams::Hue, {.Name = "TBTeinte", .LabelName = "LblTeinte", .Format = TextId::GetTrFmtHue});
  AddSlider(&THueSaturationParams::Saturation,
            {.Name = "TBSaturation", .LabelName = "LblSaturation", .Format = TextId::GetTrFmtSaturation});
  AddChannelCombo(&THueSaturationParams::Channel);
}

// Each slider between its colour and the opposite one, the value (not translated) at
// the right.
TRVBForm::TRVBForm() : TParamDialogOf(kTraits, &AdjustColorBalance) {
  const struct {
    int TColorBalanceParams::*Field;
    const char *Name, *Label;
    TCaptionText Low, High;
  } rows[] = {
      {&TColorBalanceParams::Red, "TBRouge", "LblR", {TextId::GetTrLblChannelRed, TextId::TrFixChannelRed},
       {TextId::GetTrLblChannelCyan, TextId::TrFixChannelCyan}},
      {&TColorBalanceParams::Green, "TBVert", "LblV", {TextId::GetTrLblChannelGreen, TextId::TrFixChannelGreen},
       {TextId::GetTrLblChannelMagenta, TextId::TrFixChannelMagenta}},
      {&TColorBalanceParams::Blue, "TBBleu", "LblB", {TextId::GetTrLblChannelBlue, TextId::TrFixChannelBlue},
       {TextId::GetTrLblChannelYellow, TextId::TrFixChannelYellow}},
  };
  for (const auto& r : rows)
    AddSlider(r.Field, {.Name = r.Name, .LabelName = r.Label, .Format = TextId::TrFixFmtPercent, .LowEnd = r.Low,
                        .HighEnd = r.High});
}

}  // namespace qm
