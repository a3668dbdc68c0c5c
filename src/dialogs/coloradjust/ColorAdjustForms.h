#pragma once
// The colour adjustment dialogs of the adjustment variant: brightness and contrast, hue
// and saturation, and the colour balance.
#include "dialogs/ParamDialog.h"
#include "pixel/ColorAdjust.h"

namespace qm {

class TLCForm final : public TParamDialogOf<TBrightnessContrastParams> {
 public:
  static constexpr TDialogTraits kTraits{"TLCForm", TextId::TrFixDlgBrightnessContrast, TextId::GetTrMnuBC,
                                         dvAdjustment};
  TLCForm();
};

class TTSForm final : public TParamDialogOf<THueSaturationParams> {
 public:
  static constexpr TDialogTraits kTraits{"TTSForm", TextId::TrFixDlgHueSaturation, TextId::GetTrMnuHS, dvAdjustment};
  TTSForm();
};

class TRVBForm final : public TParamDialogOf<TColorBalanceParams> {
 public:
  static constexpr TDialogTraits kTraits{"TRVBForm", TextId::TrFixDlgColorBalance, TextId::GetTrMnuRGB, dvAdjustment};
  TRVBForm();
};

}  // namespace qm
