#pragma once
// The picture dialogs: the open dialog with a preview panel on its right (the picture
// under the selection, its size in the file) and the save dialog that keeps the typed
// name's extension in step with the chosen file type. Both are Qt's own file dialog
// (not the desktop's, so the panel can be added), configured by the load and save
// dispatch through InstallPictureDialogs.
#include <QFileDialog>
#include <QWidget>
#include <string>
#include <vector>

#include "imagefiles/PictureFiles.h"
#include "platform/core/Bitmap.h"

class QCheckBox;
class QFrame;
class QLabel;

namespace qm {

// The preview's surface: the picture fitted (never enlarged) and centred, or "(Vide)".
class TPreviewBox : public QWidget {
 public:
  explicit TPreviewBox(const TBitmap& picture, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  const TBitmap& picture_;
};

class TOpenPictureDialog : public QFileDialog {
 public:
  explicit TOpenPictureDialog(QWidget* parent = nullptr);

  bool Preview() const;
  void SetPreview(bool on);

  // Shows the file in the panel: with Preview on, an existing file (not a folder)
  // while one file at most is selected is read at a reduced size; anything else
  // empties the panel.
  void UpdatePreview(const QString& fileName);
  const TBitmap& PreviewBitmap() const { return preview_; }

  QFrame* PicturePanel;
  QLabel* PictureLabel;
  QCheckBox* PreviewCheck;
  QFrame* PaintPanel;
  TPreviewBox* PaintBox;

 protected:
  void showEvent(QShowEvent* e) override;
  void done(int result) override;

 private:
  // At the first showing: the detailed list's columns made as wide as their titles and
  // widest contents need, and the dialog wide enough to show them whole.
  void FitListColumns();

  bool fitted_ = false;
  TBitmap preview_;
  QString current_;  // the file under the list's cursor
  QString shown_;    // the file preview_ shows
};

class TMySaveDialog : public QFileDialog {
 public:
  explicit TMySaveDialog(QWidget* parent = nullptr);
  // The name typed in the dialog: its extension becomes the first mask's of the
  // filter chosen (nothing when the name is empty).
  void FollowFilter(const QString& nameFilter);
};

// Our dialog filters ("Label|*.a;*.b|...") as Qt's name filters ("Label (*.a *.b)"):
// the masks a label carries in brackets are dropped from it, "*.*" becomes "*".
QStringList ToQtNameFilters(const std::string& filter);

// Runs the dialogs for the dispatch (the TOpenPictureDialog and TSavePictureDialog
// hooks of PictureFiles.h). The parent is the active window.
bool RunOpenPictureDialog(TOpenPictureRequest& request, std::vector<std::string>& files);
bool RunSavePictureDialog(const TSavePictureRequest& request, std::string& fileName);

// The open dialog on the user's patterns folder with its preview on: the picture
// chosen, empty when cancelled.
std::string ChoosePatternFile();

// Gives the dispatch these dialogs (SetPictureDialogs). Needs a QApplication.
void InstallPictureDialogs();

}  // namespace qm
