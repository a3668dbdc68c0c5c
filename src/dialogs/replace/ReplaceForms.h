#pragma once
// The colour replacement dialogs, filters that are not repeated and take colours picked
// on the image: one colour replaced by another ("Remplacer une couleur"), and the colours
// near one colour given a new hue ("Remplacer une gamme").
#include "dialogs/ParamDialog.h"
#include "pixel/ColorAdjust.h"

namespace qm {

class THueSwatch;

// The pick buttons SB1 and SB2 send a colour picked on the image to the colour replaced
// or to the new one; SB1 is down at each showing.
class TChgCouleurForm final : public TParamDialogOf<TReplaceColorParams> {
 public:
  static constexpr TDialogTraits kTraits{.ClassName = "TChgCouleurForm",
                                         .Caption = TextId::TrFixDlgReplaceColor,
                                         .MenuText = TextId::GetTrMnuReplaceColor,
                                         .PicksColors = true,
                                         .NotRepeated = true};
  TChgCouleurForm();
};

// The new hue is chosen on the hue bar or its slider; the swatch shows it at every
// change of the slider (a press on the bar, a key, the wheel). A colour picked on the
// image becomes the colour matched.
class TChgCouleur2Form final : public TParamDialogOf<TReplaceHueParams> {
 public:
  static constexpr TDialogTraits kTraits{.ClassName = "TChgCouleur2Form",
                                         .Caption = TextId::TrFixDlgReplaceRange,
                                         .MenuText = TextId::GetTrMnuReplaceColorRange,
                                         .PicksColors = true,
                                         .NotRepeated = true};
  TChgCouleur2Form();
};

}  // namespace qm
