#pragma once
// The copyright dialog ("Copyright"): the settings of the stamp (CopyrightStamp.h) as
// controls, shown modal by the image menu to stamp the background of the active
// document, or embedded as a panel in the batch automation's form, which stamps every
// image it processes with its own instance. Both read and write [Copyright].
#include <string>

#include "dialogs/command/CommandDialog.h"
#include "dialogs/copyright/CopyrightStamp.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QRadioButton;
class QToolButton;

namespace qm {

class TColorEdit;
class TIniFile;
class TPrevNextButton;
class TSpinEdit2;

class TCopyrightForm final : public TCommandDialog {
 public:
  static constexpr TCommandDialogTraits kTraits{"TCopyrightForm", TextId::TrFixDlgCopyright,
                                                TextId::TrFixDlgCopyright};
  TCopyrightForm();

  // The settings the controls hold, and the controls set from settings (the font by
  // name, "Arial" when the system has no such font, else the first font).
  TCopyrightSettings Settings() const;
  void SetSettings(const TCopyrightSettings& settings);

  // <#d> dates the stamped file when set (the shell's "keep the file date"); the dialog
  // sets it from the preferences at each showing, the batch for its own instance.
  bool KeepFileDate = false;
  // Set by each stamp: the band's height when it was added at the top, else 0.
  int TopBandOffset = 0;

  // The placeholder menu's entries insert their text at the end of the template.
  void InsertPlaceholder(int entry);

  QLineEdit* EdiCopyright;
  TPrevNextButton* BtnMenu;
  QMenu* PopMenu;
  QComboBox* CBPolices;
  TSpinEdit2* EdiTxtSize;
  TColorEdit* EdiTxtColor;
  QCheckBox *CBGras, *CBItalique, *CBSouligne;
  QToolButton *SBGauche, *SBCentre, *SBDroite;
  QCheckBox* CBTxtFond;
  TColorEdit* EdiTxtFondColor;
  QCheckBox* CBTxtExt;
  QRadioButton *RBTop, *RBBottom;
  QLabel* LblOpacite;
  TSpinEdit2* EdiOpacite;
  QFrame* PnlTxtFond;
  QLabel* PnlTxt;

 protected:
  bool FormShow() override;
  bool Apply() override;
  void changeEvent(QEvent* e) override;

 private:
  friend void ApplyCopyrightFont(TCopyrightForm& form);
  void BackgroundChanged();
  void OutsideChanged();
  QButtonGroup* alignment_;
  bool loading_ = false;
};

// The form as a borderless panel of parent at (left, top), its buttons hidden.
void EmbedCopyrightPanel(TCopyrightForm& form, QWidget* parent, int left, int top);
// The preview (and so the stamp's font) brought in line with the controls.
void ApplyCopyrightFont(TCopyrightForm& form);
// The template as typed.
std::string GetCopyrightText(const TCopyrightForm& form);
// Stamps bitmap in place with the form's settings for the file (the placeholders'),
// work the scratch bitmap (or null); sets the form's TopBandOffset.
TCopyrightStamp DrawCopyrightStamp(TCopyrightForm& form, TBitmap& bitmap, TBitmap* work,
                                   const std::string& fileName);
// [Copyright] into the controls (missing keys keep them) / from them; a missing file
// reads as missing keys, a write that fails is ignored.
void LoadCopyrightSettings(TCopyrightForm& form, const TIniFile* ini);
void SaveCopyrightSettings(TCopyrightForm& form, TIniFile* ini);

}  // namespace qm
