#pragma once
// The "Préférences" dialog: the main window's settings on nine pages chosen from a
// combo; Ok writes them back into the settings and, at once, into the settings file.
// Some keys live only in the file and act at the next start.
//
// The dialog works on what TPrefContext lends it; the dialogs that depend on the units
// (new image, crop, resize; print) are freed through its hooks when a unit changed, so
// that they are made again with the new one.
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "shell/services/Settings.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSlider;
class QStackedWidget;
class QToolButton;

namespace qm {

class TColorEdit;
class TIniFile;
class TSpinEdit2;

struct TPrefContext {
  TShellSettings* Settings = nullptr;  // read on show, written on Ok
  TIniFile* Ini = nullptr;             // the settings file, saved on Ok
  std::vector<std::string> Formats;    // the format registry's descriptions, in its order
  std::vector<std::string> Plugins;    // the loaded plug-ins' names, in the host's order
  bool ThemedMenus = true;             // the menus' own look can be switched
  bool TranslucentDialogs = false;     // the desktop can show translucent windows
  bool Bridge8bf = false;              // .8bf filters can run
  // After Ok: the settings changed (views, palette alignment, JPEG quality...).
  std::function<void()> Applied;
  // The unit-dependent dialogs, freed when their unit changed.
  std::function<void()> FreeImageUnitDialogs, FreePrintDialog;
  // The folder chooser (title, start folder); the desktop's unless replaced.
  std::function<std::string(const std::string& title, const std::string& folder)> ChooseFolder;
};

class TPrefForm : public QDialog {
 public:
  TPrefForm(TPrefContext context, QWidget* parent = nullptr);

  // Loads every control from the settings and the file, then shows the dialog modally;
  // true after Ok.
  bool Execute();
  // The loading alone (Execute does it), for a dialog shown otherwise.
  void LoadControls();
  // What Ok does: the settings and the file written, the unit dialogs freed.
  void BOkClick();
  void ShowPage(int index);

  QComboBox* CmbPrefs;
  QStackedWidget* Pages;
  QPushButton *BtnPrev, *BtnNext, *BtnOk, *BtnAnnuler;
  // Dossiers
  QLineEdit *EdiDirOuvrir, *EdiDirEnregistrer;
  QToolButton *SBOuvrir, *SBEnregistrer;
  QLabel* LblDirEnregistrer;
  QCheckBox *CBVerrouiller, *CBUnDossier;
  // Enregistrement
  QCheckBox *CBDateFichier, *CBExif, *CBFormatDefaut;
  QListWidget* LstFormatDefaut;
  // Historiques
  QSlider* TBHisto;
  QLabel* LblHisto;
  // Palette d'outils et grille
  QGroupBox* RGPosOutils;
  QButtonGroup* PosOutils;
  TSpinEdit2* SETailleGrille;
  TColorEdit* ColorEditGrid;
  // Valeurs par défaut
  TSpinEdit2 *EdiL, *EdiH;
  QCheckBox* CBDeformer;
  QComboBox *LstUnit, *LstUnitPrn;
  // Barre de modules externes
  QListWidget* LstPlgPerso;
  // 8BF
  QLineEdit* Edi8bfDir;
  QToolButton* SB8bfDir;
  QRadioButton *RB8bfRGB, *RB8bfRGBA;
  // Compression JPEG
  QRadioButton *RBDialogJpeg, *RBForcer;
  QSlider* TBCompress;
  QLabel* LblTaux;
  // Démarrage
  QCheckBox *CBAffichageAvance, *CBAffichageFond, *CBPlugins, *CBViderListe, *CBZoomMolette, *CBmenuXP,
      *CBRunMulti, *CBAlphaBlend;

 protected:
  void keyPressEvent(QKeyEvent* e) override;

 private:
  void BuildPages();
  void UpdateDependents();
  void ChooseFolder(QLineEdit* edit, QLabel* label, bool lock);

  TPrefContext context_;
  bool unitChanged_ = false, printUnitChanged_ = false;
  std::vector<std::string> selectedPlugins_;
};

}  // namespace qm
