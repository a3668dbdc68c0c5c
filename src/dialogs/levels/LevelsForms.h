#pragma once
// The tonal dialogs: the levels and the gamma (adjustments), and the fade of the last
// change, which works on the history itself.
#include "dialogs/ParamDialog.h"
#include "pixel/Blend.h"
#include "pixel/ColorAdjust.h"

namespace qm {

class TNiveauxForm final : public TParamDialogOf<TLevelsParams> {
 public:
  static constexpr TDialogTraits kTraits{"TNiveauxForm", TextId::TrFixDlgLevels, TextId::GetTrMnuLevels,
                                         dvAdjustment};
  TNiveauxForm();
};

class TGammaForm final : public TParamDialogOf<TGammaParams> {
 public:
  static constexpr TDialogTraits kTraits{"TGammaForm", TextId::TrFixDlgGamma, TextId::GetTrMnuGamma, dvAdjustment};
  TGammaForm();
};

// The fade mixes the result of the last change back over the image as it was before
// it: the current step holds that result (a fade step the command pushed over the
// step it fades, or one made earlier that the command opens again) and the step under
// it the image before. Each percent starts again from those two, never from what the
// layer shows. OK stores the percent in the fade step; the history does not move, so
// the document is marked changed by hand.
class TAttenuerForm final : public TParamDialogOf<TFadeParams> {
 public:
  static constexpr TDialogTraits kTraits{.ClassName = "TAttenuerForm",
                                         .Caption = TextId::GetTrMnuFade,
                                         .MenuText = TextId::GetTrMnuFade,
                                         .UndoKind = ukFade,
                                         .NotRepeated = true,
                                         .Live = true,
                                         .TitleFromCommand = true};
  TAttenuerForm();

 private:
  bool TakeRequest(TDialogHost& host, const TDialogRequest& request) override;
  bool ShowResult(bool restoreFirst) override;
  void Applied() override;
  void TakeBack(bool previewed) override;
  // The image at percent of the faded change; false when the two steps are gone.
  bool FadeTo(int percent);

  bool fresh_ = false;  // the command pushed the fade step for this showing
};

}  // namespace qm
