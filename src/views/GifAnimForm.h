#pragma once
// The animated GIF editor: the layers of a document above its background as the frames
// of an animation (GifAnimation.h), with a delay per layer, looping, the web or an
// optimised palette, diffusion, transparency and the choice between frames that
// accumulate and frames that replace each other. Its preview writes the animation and
// a small page into a private temporary folder, removed when the editor is hidden, and
// opens the page in the desktop's browser; Export writes the animation where the save
// dialog says and closes the editor.
//
// Modeless and kept on top; the delays are kept from one showing to the next.
#include <QDialog>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imagefiles/GifAnimation.h"
#include "imagefiles/PictureFiles.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTemporaryDir;
class QUrl;

namespace qm {

class TNewImgForm;
class TSpinEdit2;

class TGifAnimForm : public QDialog {
 public:
  explicit TGifAnimForm(QWidget* parent = nullptr);
  ~TGifAnimForm() override;

  // Shows the editor on the window's document; the export's save dialog opens in
  // folder. A document without a layer above its background is refused with a message
  // and the editor stays hidden (false).
  bool Open(TNewImgForm& window, const std::string& folder);

  // Asks for the file to export to; the program's save dialog unless replaced.
  std::function<bool(const TSavePictureRequest& request, std::string& fileName)> ChooseFile;
  // Opens the preview page; the desktop's browser unless replaced.
  std::function<void(const QUrl& page)> OpenPage;
  // Called when the editor is hidden (the command that opened it releases the shell).
  std::function<void()> OnClosed;

  // The animation as the controls stand.
  TGifAnimOptions Options() const;
  // The preview and the export, as their buttons do them; false when refused or failed.
  bool Preview();
  bool Export();
  // The folder of the preview's files while they exist; empty otherwise.
  std::string PreviewFolder() const;
  // The delays kept from the last showing (one per layer above the background).
  const std::vector<int>& KeptDelays() const { return kept_; }

  QComboBox* CBImages;
  TSpinEdit2* SEDelai;
  QLabel* Label1;
  QLabel* LblDelai;
  QCheckBox* CBLoop;
  QRadioButton* RBOptimiser;
  QRadioButton* RBNetscape;
  QCheckBox* CBDiffuse;
  QCheckBox* CBTransp;
  QCheckBox* CBrestoreBkg;
  QPushButton* BApercu;
  QPushButton* BOk;
  QPushButton* BAnnuler;

 protected:
  void hideEvent(QHideEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void ItemChosen(int index);
  void DelayEdited();
  // The checks before a preview or an export: a document still there, with layers
  // above its background, and a delay typed.
  bool Ready();
  void WritePage(const std::string& folder, bool withTile) const;

  QPointer<TNewImgForm> window_;
  std::string folder_;
  std::vector<int> delays_;  // per layer above the background
  std::vector<int> kept_;
  std::unique_ptr<QTemporaryDir> temp_;
  bool filling_ = false;
};

// Whether the editor is shown.
bool IsGifAnimEditorOpen();

// Opens the editor (made once for the process under the parent given at the first
// call) on the window's document; false when the document is refused.
bool OpenGifAnimEditor(QWidget* parent, TNewImgForm& window, const std::string& folder);

}  // namespace qm
