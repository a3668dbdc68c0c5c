#pragma once
// The hue variation ("Variation de teinte"): a modal command dialog, not a previewed
// one. It previews on a thumbnail of the active layer inside itself, leaving the
// document alone, and pushes its one undo step at OK only; Cancel leaves nothing.
//
// The thumbnail shows what the mask of the layer hides as white and, with a shown
// selection, only the selected part changed. The hue comes from the hue bar or its
// slider (kept from one showing to the next, 50 at first); the swatch and the thumbnail
// follow every change of it. Colourise runs VaryHueRect's hvColorize, Hue its hvHue, on
// the working rectangle at OK, confined to the selection with its progressive edge.
#include <QDialog>
#include <QPointer>
#include <string>

#include "pixel/ColorAdjust.h"
#include "platform/core/Bitmap.h"
#include "shell/services/DialogHost.h"
#include "shell/services/DialogLauncher.h"

class QLabel;
class QPushButton;
class QRadioButton;
class QSlider;

namespace qm {

class TBitmapPicture;
class THueSwatch;
class TDialogRegistry;
class THueBar;

class TVarianteForm final : public QDialog, public TShellLockHolder {
 public:
  static constexpr const char* kClassName = "TVarianteForm";
  static constexpr int kThumbnailWidth = 185, kThumbnailHeight = 145;

  TVarianteForm();
  ~TVarianteForm() override;

  // Shows the dialog over the active document's active layer, modal; false when there
  // is none (or it is shown already).
  bool Open(TDialogHost& host, const TDialogRequest& request);

  // The buttons.
  void Ok();
  void Cancel() { hide(); }

  void setVisible(bool visible) override;
  void DocumentClosing(TNewImgForm& window) override;

  // The colour and the method chosen.
  TColor Color() const;
  THueVariation Method() const;
  // The thumbnail as the dialog shows it, and where the layer lies in it; empty while
  // the dialog is hidden.
  const TBitmap& Preview() const { return preview_; }
  TRect ImageRect() const { return imageRect_; }

 private:
  void FormShow();
  void FormHide();
  // The thumbnail again with the current colour and method.
  void UpdatePreview();

  THueBar* bar_;
  QSlider* hue_;
  QLabel* lblN_;
  THueSwatch* swatch_;
  QRadioButton* colorize_;
  QRadioButton* hueOnly_;
  TBitmapPicture* picture_;
  QPushButton* btnOk_;
  QPushButton* btnCancel_;

  TDialogHost* host_ = nullptr;
  QPointer<TNewImgForm> document_;
  std::string caption_;
  bool shown_ = false;
  // For one showing: the thumbnail of the layer, what the dialog shows, and the mask
  // through which the untouched thumbnail comes back outside the selection (empty
  // without a shown selection); the layer's place in the thumbnails.
  TBitmap thumbnail_, preview_, selectionMask_;
  TRect imageRect_{};
};

// Registers the dialog, made on its first opening.
void RegisterVarianteForm(TDialogRegistry& registry);

}  // namespace qm
