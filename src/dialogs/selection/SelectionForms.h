#pragma once
// The selection's width dialogs, modal commands that take no undo step: "Sélection"
// grows (mode 0) or shrinks (mode 1) the active selection by a width, "Frange" puts a
// band along its outline in its place. Both keep their widths for the whole run.
#include "dialogs/command/CommandDialog.h"
#include "platform/core/Types.h"

class QLabel;
class QSlider;

namespace qm {

// The selection's rectangle grown by n on every side (shrunk for a negative n); the
// empty rectangle when nothing is left.
TRect GrownSelectionRect(const TRect& selection, int n);
// "%d:%d => %d:%d (L=%d  H=%d)" of a rectangle (its right and bottom pixels inside),
// "?" for an empty one.
std::string SelectionRectText(const TRect& r);

class TOptionSelForm final : public TCommandDialog {
 public:
  static constexpr TCommandDialogTraits kTraits{"TOptionSelForm", TextId::TrFixDlgSelection,
                                                TextId::TrFixDlgSelection};
  TOptionSelForm();

  QSlider* TBN;
  QLabel *LblEpaisseur, *Label1, *LblInfos;

 protected:
  bool FormShow() override;
  bool Apply() override;

 private:
  int Width() const;  // signed: negative when shrinking
  TRect Result();     // the active selection's rectangle grown, shown in LblInfos
};

class TFrangeForm final : public TCommandDialog {
 public:
  static constexpr TCommandDialogTraits kTraits{"TFrangeForm", TextId::TrFixDlgBorder, TextId::GetTrMnuSelGrow};
  TFrangeForm();

  QSlider* TBN;
  QLabel* LblEpaisseur;

 protected:
  bool FormShow() override;
  bool Apply() override;
};

}  // namespace qm
