#pragma once
// The batch automation window "Automatisation": the source images and the export
// folder, the chain of operations on six more pages, the summary and the run with its
// report (BatchRun.h). Modeless and kept on top; while shown it holds the shell (the
// batch lock and the busy state), and while it runs it hides itself, shows each output
// in a document window of its own and turns any key into the question whether to stop.
// Its settings are kept in [Automate] of the shell's settings file (BatchSettings.h),
// read at each showing, written on request.
#include <QDialog>
#include <QPointer>
#include <memory>
#include <string>
#include <vector>

#include "devices/batch/BatchRun.h"
#include "devices/batch/BatchSettings.h"
#include "shell/services/DeviceCommands.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QStackedWidget;
class QTabBar;
class QToolButton;

namespace qm {

class TAnchorGrid;
class TColorEdit;
class TCopyrightForm;
class TDialogHost;
class TFloatSpinEdit;
class TNewImgForm;
class TSpinEdit2;

// The pages, in order.
enum TBatchPage : int { bpFiles = 0, bpImage, bpAdjust, bpFilters, bpTransform, bpCopyright, bpActions };

class TAutoForm : public QDialog {
 public:
  explicit TAutoForm(TDialogHost& host, QWidget* parent = nullptr);
  ~TAutoForm() override;

  // The settings the controls hold, and the controls set from settings (with the
  // enabling and labels that follow them).
  TBatchSettings Settings() const;
  void SetSettings(const TBatchSettings& s);

  // [Automate] and [Copyright] read into the controls / written from them and saved.
  void LoadBatchSettings();
  void SaveBatchSettings();

  // The source folder as a chosen one: the list reads it.
  void SetSourceFolder(const std::string& folder);
  void SetExportFolder(const std::string& folder);
  // The source filter: every registered image format, or the custom masks.
  void SetCustomFilter(const std::string& masks);

  // The files the run takes: the selected names with "Sélection personnalisée", else
  // every name listed.
  int GetBatchFileCount() const;
  std::vector<std::string> BatchFiles() const;
  std::string GetOutputExtension() const;

  // The page shown, and an attempt to show another (refused as the user's would be).
  int CurrentPage() const;
  bool ChangePage(int page);

  // The summary written when the Action page shows.
  std::string BuildBatchSummary() const;

  // Runs the batch over the files (the Action page's Ok).
  void BtnActionClick();
  bool IsBatchRunning() const { return running_; }
  // A key pressed while running: the next poll asks whether to stop.
  void RequestAbort() { abortRequested_ = true; }
  // The report of the last run.
  const TBatchReport& LastReport() const { return report_; }
  // The run's document window (null until its first output).
  TNewImgForm* RunDocument() const;
  // Workers of the next runs; 0: the engine's thread count.
  int Threads = 0;

  // Files page
  QLabel* LblDirSrc;
  QLineEdit* EdiDirSrc;
  QToolButton* SBSrc;
  QLabel* LblFilter;
  QComboBox* CmbFilter;
  QToolButton* SBFiltre;
  QListWidget* FileListBox;
  QCheckBox* CBSel;
  QLabel* LblDirExport;
  QLineEdit* EdiDossierExport;
  QToolButton* SBExport;
  QLabel* LblFormatExport;
  QComboBox* CmbFormatExport;
  QSlider* TrbCompress;
  QLabel *LblCompress, *LblQual1, *LblQual2;
  QLabel* LblNbCouleurs;
  QComboBox* CmbNbCouleurs;
  QCheckBox* ChkSequence;
  QLineEdit* EdiSequence;
  QLabel* LblExemple;
  // Image page
  QCheckBox* ChkRedim;
  QLabel *LblLargeurImage, *LblHauteurImage, *LblUnite;
  TFloatSpinEdit *SELargeurImage, *SEHauteurImage;
  QComboBox* CmbUnite;
  QCheckBox *ChkRedimProportions, *ChkRedimOptimiser;
  QCheckBox* ChkCadre;
  QLabel *LblCouleurCadre, *LblLargeurCadre;
  TColorEdit* ColorEditCadre;
  TSpinEdit2* SELargeurCadre;
  QCheckBox* CBExterieur;
  QCheckBox* ChkZoneTravail;
  QLabel *LblLargeurZone, *LblHauteurZone, *LblCouleurFond, *LblMotif, *LblPosition;
  TSpinEdit2 *SELargeurZone, *SEHauteurZone;
  TColorEdit* ColorEditFond;
  QLineEdit* EdiMotif;
  QToolButton *SBMotif, *SBMotif2;
  TAnchorGrid* ToolBar;
  QCheckBox* ChkOmbre;
  TSpinEdit2* SELargeurOmbre;
  QCheckBox* ChkDpi;
  TFloatSpinEdit* SEDpi;
  // Adjustments page
  QLabel *LblLuminosite, *LblContraste, *LblSaturation, *LblGamma;
  QSlider *TrbLuminosite, *TrbContraste, *TrbSaturation, *TrbGamma;
  QComboBox *CBCoucheLum, *CBCoucheCtr, *CBCoucheSat, *CBCoucheGam;
  // Filters page
  QCheckBox *ChkAdoucir, *ChkFlouInt, *ChkFlou, *ChkContoursNet, *ChkDurcir, *ChkRelief, *ChkNegatif, *ChkBruit,
      *ChkScanlines;
  QCheckBox* ChkFiltre;
  TColorEdit* ColorEditFiltre;
  QLabel* LblOpaciteFiltre;
  QSlider* TrbOpaciteFiltre;
  QCheckBox* ChkInverserFiltre;
  // Transformations page
  QCheckBox* ChkRotation;
  QRadioButton *RdbRotation1, *RdbRotation2, *RdbRotation3;
  QCheckBox* ChkSymetrie;
  QRadioButton *RdbSymetrie1, *RdbSymetrie2;
  // Copyright page
  QCheckBox* CBCopyright;
  TCopyrightForm* CopyrightForm;
  // Action page
  QPlainTextEdit* MemRapport;
  QPushButton *BtnAction, *BtnFermer, *BtnParams;
  // The pages
  QTabBar* PageControl;
  QStackedWidget* Pages;

 protected:
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  class TRunHost;

  void BuildFilesPage(QWidget* page);
  void BuildImagePage(QWidget* page);
  void BuildAdjustPage(QWidget* page);
  void BuildFiltersPage(QWidget* page);
  void BuildTransformPage(QWidget* page);
  void BuildCopyrightPage(QWidget* page);
  void BuildActionsPage(QWidget* page);
  void Connect();

  void FormShow();
  void FormHide();
  bool PageControlChanging();
  void PageControlChange(int page);
  void TshActionsShow();

  void SBSrcClick();
  void SBExportClick();
  void SBFiltreClick();
  void SBMotifClick();
  void ReadFileList();

  // The enabling and the labels that follow the controls.
  void FollowControls();
  void CmbFormatExportChange();
  void EdiSequenceChange();
  void CmbUniteChange();
  void SizeChanged(bool width);
  void SliderLabels();

  void Report(const std::string& line);
  bool PollBatchAbort();

  TDialogHost& host_;
  std::string sourceFolder_;
  std::string filter_;  // "label|masks" entries of CmbFilter
  bool sameFolderWarned_ = false;
  bool syncSizes_ = true;
  bool following_ = false;
  bool running_ = false;
  bool shownForRun_ = false;
  bool abortRequested_ = false, abortConfirmed_ = false;
  QPointer<TNewImgForm> document_;
  TBatchReport report_;
};

// Gives the devices the batch automation over the host's shell: its command and the
// state the main window's keys and close ask for.
void AddBatchCommands(TDeviceCommands& devices, TDialogHost& host);

}  // namespace qm
