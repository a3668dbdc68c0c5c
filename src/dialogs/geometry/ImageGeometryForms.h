#pragma once
// The whole-image geometry dialogs of the image menu: free rotation and skew, applied
// at OK as one step over the background (its mask too under an alpha image), optionally
// every other layer with it; and the offset with wrap-around, previewed over the step
// its command opened, the other layers shifted with the background.
#include <QPointer>

#include "dialogs/command/CommandDialog.h"
#include "dialogs/DialogStep.h"

class QCheckBox;
class QGridLayout;
class QLabel;
class QPushButton;
class QRadioButton;
class QSlider;

namespace qm {

class TColorEdit;
class TFloatSpinEdit;
class TSpinEdit2;

// What the rotation and the skew share: the background colour, smoothing and "Tous les
// calques" set from the document at each showing, and the common opening of the step.
class TWholeImageForm : public TCommandDialog {
 public:
  TColorEdit* ColorEdit = nullptr;
  QCheckBox* CBLisser = nullptr;
  QCheckBox* CBTous = nullptr;

 protected:
  using TCommandDialog::TCommandDialog;
  // The colour, smoothing and layer rows, after the dialog's own controls.
  void AddCommonRows(QGridLayout& grid, int row);
  bool FormShow() override;
  void TakePickedColor(TColor color) override;
  // The step of the change opened under the name (kind 0, the layers above saved with
  // "Tous les calques"); null when the change is refused or no step could open. width
  // and height: the background's size before the change.
  TUndoLayerItem* BeginChange(const std::string& name, int& width, int& height);
  // After the change: the windows follow the new size.
  void EndChange();
};

class TRotForm final : public TWholeImageForm {
 public:
  static constexpr TCommandDialogTraits kTraits{.ClassName = "TRotForm",
                                                .Caption = TextId::TrFixDlgRotation,
                                                .MenuText = TextId::GetTrMnuRotateFree,
                                                .PicksColors = true};
  TRotForm();
  TFloatSpinEdit* SEAngle;
  QCheckBox* CBAjuster;

 protected:
  bool FormShow() override;
  bool Apply() override;
};

class TInclinerForm final : public TWholeImageForm {
 public:
  static constexpr TCommandDialogTraits kTraits{.ClassName = "TInclinerForm",
                                                .Caption = TextId::TrFixDlgSkew,
                                                .MenuText = TextId::GetTrMnuSkew,
                                                .PicksColors = true};
  TInclinerForm();
  QSlider* TB;
  QRadioButton* RBHorz;
  QRadioButton* RBVert;

 protected:
  bool FormShow() override;
  bool Apply() override;

 private:
  void Relabel();
  QLabel* lbl_;
};

class TDecalerForm final : public TCommandDialog {
 public:
  static constexpr TCommandDialogTraits kTraits{.ClassName = "TDecalerForm",
                                                .Caption = TextId::TrFixDlgOffset,
                                                .MenuText = TextId::GetTrMnuOffset,
                                                .PlusMinusAsA = true};
  TDecalerForm();
  TSpinEdit2* SEDX;
  TSpinEdit2* SEDY;
  QRadioButton* RBDroite;
  QRadioButton* RBGauche;
  QRadioButton* RBBas;
  QRadioButton* RBHaut;
  QPushButton* BApercu;

  // The button: the shift shown on the image, replacing the one before; false when a
  // field is empty (told) or the document is gone.
  bool Preview();

 protected:
  bool FormShow() override;
  bool Apply() override;
  void FormHide() override;

 private:
  TDialogStep step_;
  int dx_ = 0, dy_ = 0;  // the shift on the image
  bool changed_ = false, applied_ = false, previewed_ = false;
};

}  // namespace qm
