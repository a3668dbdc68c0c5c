#pragma once
// The single-operation colour dialogs: the colour filter and the noise (filters, kept
// for the repeat command), the two-colour threshold and the posterisation
// (adjustments that show their result as they open), and the channel swap with its
// own preview switch.
#include "dialogs/ParamDialog.h"
#include "pixel/ColorAdjust.h"

namespace qm {

class TFiltreForm final : public TParamDialogOf<TColorFilterParams> {
 public:
  static constexpr TDialogTraits kTraits{"TFiltreForm", TextId::TrFixDlgColorFilter, TextId::GetTrMnuColoredLayer,
                                         dvFilter, ukWorkRect, true};
  TFiltreForm();
};

class TBichromieForm final : public TParamDialogOf<TTwoColorParams> {
 public:
  static constexpr TDialogTraits kTraits{.ClassName = "TBichromieForm",
                                         .Caption = TextId::TrFixDlgDuotone,
                                         .MenuText = TextId::GetTrMnuDuotone,
                                         .Variant = dvAdjustment,
                                         .PreviewOnShow = true};
  TBichromieForm();
};

class TPosterForm final : public TParamDialogOf<TPosterizeParams> {
 public:
  static constexpr TDialogTraits kTraits{.ClassName = "TPosterForm",
                                         .Caption = TextId::TrFixDlgPosterize,
                                         .MenuText = TextId::GetTrMnuPosterize,
                                         .Variant = dvAdjustment,
                                         .PreviewOnShow = true};
  TPosterForm();
};

class TBruitForm final : public TParamDialogOf<TNoiseParams> {
 public:
  static constexpr TDialogTraits kTraits{"TBruitForm", TextId::TrFixDlgNoise, TextId::GetTrMnuAddNoise};
  TBruitForm();
};

class TSwapRGBForm final : public TParamDialogOf<TSwapChannelsParams> {
 public:
  static constexpr TDialogTraits kTraits{.ClassName = "TSwapRGBForm",
                                         .Caption = TextId::TrFixDlgSwapChannels,
                                         .MenuText = TextId::GetTrMnuSwapChannel,
                                         .PreviewOnShow = true,
                                         .NotRepeated = true,
                                         .PreviewSwitch = true,
                                         .Buttons = {"BPreview", "BOk", "BCancel"}};
  TSwapRGBForm();
};

}  // namespace qm
