#pragma once
// The icon export dialog: the document's flattened picture fitted into squares of 32,
// 48 and 64 pixels, one of them chosen, and the colour format of the icon file; Export
// asks for the file and writes the icon (IconWriter.h).
//
// The picture is fitted with the Lanczos filter (three lobes) of the resampling
// library; a keyed picture, or one that would be under 3 pixels on a side, is stretched
// to the nearest pixel so that its key colour stays exact. An icon of 16 or 256 colours
// is reduced by the pixel engine: its own colours when they fit, else an octree palette,
// mapped to the nearest entry without diffusion.
#include <QDialog>
#include <functional>
#include <string>

#include "imagefiles/PictureFiles.h"
#include "platform/core/Bitmap.h"

class QButtonGroup;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace qm {

class TNewImgForm;

class TIconForm : public QDialog {
 public:
  explicit TIconForm(QWidget* parent = nullptr);

  // Shows the dialog modally on the window's document; the save dialog opens in folder
  // with the document's name. True when an icon was written (its name: LastFile()).
  bool Execute(TNewImgForm& window, const std::string& folder);
  const std::string& LastFile() const { return lastFile_; }

  // Asks for the file to write; the program's own save dialog unless replaced.
  std::function<bool(const TSavePictureRequest& request, std::string& fileName)> ChooseFile;

  // The picture fitted into a square of side 32, 48 or 64 (index 0, 1, 2).
  const TBitmap& Preview(int index) const { return previews_[index]; }

  QLabel* Image32;
  QLabel* Image48;
  QLabel* Image64;
  QRadioButton* RB32;
  QRadioButton* RB48;
  QRadioButton* RB64;
  QGroupBox* RGFormat;
  QButtonGroup* Formats;  // ids: the icon formats 0 (4 bits), 1 (8 bits), 2 (24 bits)
  QButtonGroup* Sizes;    // ids 0, 1, 2 for 32, 48, 64
  QPushButton* BSauver;
  QPushButton* BAnnuler;

 private:
  void Export();

  TBitmap previews_[3];
  std::string folder_, documentName_, lastFile_;
};

// The dialog made once for the process under the parent given at the first call.
bool ExecuteIconExportDialog(QWidget* parent, TNewImgForm& window, const std::string& folder);

}  // namespace qm
