#pragma once
// The dialogs that set how a picture is written, shown by the save's stage-2 handler
// (the JPEG one modeless, the others modally): JPEG quality and mode with a preview of the compressed result in the
// document's own window and the file's size; PNG interlacing and row filter; GIF
// interlacing and palette optimisation. Each is made once and keeps its choices from
// one showing to the next; each Execute takes the writer's options in and gives the
// chosen ones back on OK.
#include <QDialog>
#include <functional>
#include <string>

#include "imagefiles/FileDispatch.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSlider;

namespace qm {

class TNewImgForm;

class TJPGCompressForm : public QDialog {
 public:
  explicit TJPGCompressForm(QWidget* parent = nullptr);

  // Shows the dialog modeless, on top, and returns once it is closed (or the
  // application quits): meanwhile the user may scroll and zoom the document to judge
  // the preview. window: the document being saved (null: no preview in place, the size
  // is still reported); fileName: the file being written. options: the quality and
  // mode in and out. keepExif: in, the preference to keep EXIF data (the box shows only
  // when it is set and the document came with EXIF data, and starts checked); out, the
  // box shown and checked. hold: called with the dialog once shown and with null once
  // it closed (the shell holds its commands meanwhile). The document's view shows the
  // flattened picture while the dialog is up, the compressed one after a preview, and
  // comes back as it was when the dialog closes. False (nothing changed) when
  // cancelled.
  bool Execute(TNewImgForm* window, const std::string& fileName, TJpegWriteOptions& options, bool& keepExif,
               const std::function<void(QWidget* shown)>& hold = {});

  // The preview: the flattened picture compressed as chosen, shown in its window with
  // the file's size in the status.
  void Preview();

  // The choices as they stand.
  int Quality() const;
  bool Progressive() const;
  bool KeepExif() const;

  QSlider* TBN;
  QLabel* LblN;
  QLabel* LblLow;
  QLabel* LblHigh;
  QRadioButton* RBStandard;
  QRadioButton* RBProgressif;
  QCheckBox* CBExif;
  QLabel* LblStatut;
  QPushButton* BApercu;
  QPushButton* BOk;
  QPushButton* BAnnuler;

 protected:
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;

 private:
  void ShowValue();
  void Leave();

  TNewImgForm* window_ = nullptr;
  std::string sourceName_;  // the document's file: the EXIF data it came with
  bool ok_ = false;
  bool previewed_ = false;
  // While a preview is shown, the flattened picture waits here and the document's
  // composed bitmap holds the compressed one (the two are swapped, never copied).
  TBitmap held_;
};

class TPNGCompressForm : public QDialog {
 public:
  explicit TPNGCompressForm(QWidget* parent = nullptr);
  // Shows the dialog modally; on OK the options take the interlacing, the filters and
  // the compression level 7.
  bool Execute(const std::string& fileName, TPngWriteOptions& options);

  QCheckBox* CBEntrelacer;
  QGroupBox* RBFiltres;
  QButtonGroup* Filters;  // ids 0..5: "Aucun" ... "Automatique"
  QPushButton* BOk;
  QPushButton* BAnnuler;
};

// The row filters the dialog's choice allows: 1, 2, 4, 8 or 16 for the single filters
// (pfNone ... pfPaeth), 31 (all five) for "Automatique".
int GetPngFilterMask(const TPNGCompressForm& form);
bool IsPngInterlaced(const TPNGCompressForm& form);

class TGIFCompressForm : public QDialog {
 public:
  explicit TGIFCompressForm(QWidget* parent = nullptr);
  // Shows the dialog modally, its boxes from the options; on OK the options take them.
  bool Execute(const std::string& fileName, TGifWriteOptions& options);

  QCheckBox* CBEntrelacer;
  QCheckBox* CBPalette;
  QPushButton* BOk;
  QPushButton* BAnnuler;
};

// The three dialogs, made once for the process under the parent given at the first
// call, as the stage-2 handler asks for them.
bool ExecuteJpegCompressDialog(QWidget* parent, TNewImgForm* window, const std::string& fileName,
                               TJpegWriteOptions& options, bool& keepExif,
                               const std::function<void(QWidget* shown)>& hold = {});
bool ExecutePngCompressDialog(QWidget* parent, const std::string& fileName, TPngWriteOptions& options);
bool ExecuteGifCompressDialog(QWidget* parent, const std::string& fileName, TGifWriteOptions& options);

}  // namespace qm
