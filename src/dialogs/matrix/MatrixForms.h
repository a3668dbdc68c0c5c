#pragma once
// The repeated filters that read the copy of the layer taken before the change, so that
// their previews never restore first: a 3 x 3 matrix of the user's ("Personnalisé"), and
// the rank filters minimum, maximum and dust removal (median), one dialog the three
// commands open with their modes.
#include "dialogs/ParamDialog.h"
#include "pixel/Convolution.h"
#include "pixel/Rank.h"

namespace qm {

class TSpinEdit2;

// An empty field reads as 0, a divisor 0 as 1, and each preview shows them so. Enter in
// a field is OK, Esc a Cancel.
class TPersoForm final : public TParamDialogOf<TCustomFilterParams> {
 public:
  static constexpr TDialogTraits kTraits{.ClassName = "TPersoForm",
                                         .Caption = TextId::TrFixDlgCustomFilter,
                                         .MenuText = TextId::GetTrMnuCustom,
                                         .ReadsSource = true};
  TPersoForm();

 protected:
  TLayerOperation Operation() const override;
  void BeforePreview() override;

 private:
  TSpinEdit2* divisor_;
};

// The mode the command gives (0 minimum, 1 maximum, 2 median) names the dialog and its
// step; radius and threshold start again at "Faible" and 0 at each showing. The repeat
// runs the same mode with the same values.
class TMinMaxMedForm final : public TParamDialogOf<TRankFilterParams> {
 public:
  static constexpr TDialogTraits kTraits{.ClassName = "TMinMaxMedForm",
                                         .Caption = TextId::TrFixDlgRankFilter,
                                         .MenuText = TextId::GetTrMnuDustReduction,
                                         .ReadsSource = true,
                                         .ResetEachShowing = true,
                                         .TitleFromCommand = true};
  TMinMaxMedForm();

 protected:
  TLayerOperation Operation() const override;
};

}  // namespace qm
