#pragma once
// The Gaussian blur dialog, the reference member of the filter variant.
#include "dialogs/ParamDialog.h"
#include "pixel/Blur.h"

namespace qm {

class TBlurForm final : public TParamDialogOf<TGaussianBlurParams> {
 public:
  static constexpr TDialogTraits kTraits{"TBlurForm", TextId::TrFixDlgGaussianBlur, TextId::GetTrMnuGaussianBlur};
  TBlurForm();
};

}  // namespace qm
