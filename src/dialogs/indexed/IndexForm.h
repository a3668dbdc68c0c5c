#pragma once
// "Couleurs indexées": the whole background brought to a palette, a filter that is not
// repeated. Its command refuses an image of several layers and asks before it drops the
// background's transparency; the dialog opens over a step of the whole background,
// shows it opaque at once, and OK records the colour count of the choice (even when the
// picture had few enough colours and nothing was converted).
#include "dialogs/ParamDialog.h"
#include "pixel/ColorReduce.h"

namespace qm {

class TIndexForm final : public TParamDialogOf<TIndexedColorParams> {
 public:
  static constexpr TDialogTraits kTraits{.ClassName = "TIndexForm",
                                         .Caption = TextId::TrFixDlgIndexedColors,
                                         .MenuText = TextId::GetTrMnuModeIndexed,
                                         .UndoKind = ukWholeImage,
                                         .NotRepeated = true,
                                         .ChangesOnShow = true,
                                         .Unrestricted = true,
                                         .BusyText = TextId::GetTrStaPreparingColor};
  TIndexForm();

 protected:
  // The whole layer, converted only when the choice has fewer colours than the
  // document records.
  TLayerOperation Operation() const override;
  void Showing() override;
  void Applied() override;
};

}  // namespace qm
