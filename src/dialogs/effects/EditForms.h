#pragma once
// The edit menu's two modal dialogs on the clipboard:
// - "Assembler": joins the clipboard's picture to one side of the background (the
//   canvas grows to hold both, the other layers keep their place on the old picture),
//   as one undo step made at OK; an empty clipboard refuses the command with the
//   paste commands' message.
// - "Détourage optimisé": cuts the working rectangle's subject out of the background
//   that touches its edges, previews the cut over a checkerboard, and sends it to the
//   clipboard with its mask or into a new image; it never changes the document.
#include <memory>

#include "dialogs/command/CommandDialog.h"
#include "platform/core/Bitmap.h"

class QButtonGroup;
class QLabel;
class QRadioButton;
class QSlider;
class QWidget;

namespace qm {

class TMyCustomImage;

class TAssemblerForm final : public TCommandDialog {
 public:
  static constexpr TCommandDialogTraits kTraits{"TAssemblerForm", TextId::TrFixDlgAssemble,
                                                TextId::GetTrMnuAssemblePaste};
  TAssemblerForm();

  // The sides, in the order of the choices.
  enum TSide : uint8_t { asRight = 0, asBottom = 1, asLeft = 2, asTop = 3 };
  QButtonGroup* RGPos;

 protected:
  bool FormShow() override;
  bool Apply() override;
};

// The cut mask's scans and edge effects, in the order of the choices.
enum TCutEffect : uint8_t { cutNone = 0, cutSmooth = 1, cutBlur = 2, cutProgressive = 3, cutDiffuse = 4 };

// The cut of a region: a mask of its size, 0 where a pixel is kept and 255 where it is
// removed (the mask kernels' polarity), starting from the selection's mask: the runs
// of pixels within the tolerance of the colour at the rows' ends (horizontal) and the
// columns' ends (vertical) are removed, then the effect works the edge.
void CutOutMask(const TBitmap& region, TBitmap& mask, int tolerance, bool horizontal, bool vertical,
                TCutEffect effect);

class TDetourForm final : public TCommandDialog {
 public:
  static constexpr TCommandDialogTraits kTraits{"TDetourForm", TextId::TrFixDlgCutOut, TextId::GetTrMnuClipping};
  TDetourForm();
  ~TDetourForm() override;

  QSlider* TBN;
  QLabel* LblN;
  QRadioButton *RBHorz, *RBVert, *RBHorzVert;
  QButtonGroup* RGEffet;
  QButtonGroup* RGResultat;
  QWidget* PnlImage;

  // The preview: the region with the checkerboard where pixels are removed.
  const TBitmap* PreviewBitmap() const;
  void Preview();

 protected:
  bool FormShow() override;
  bool Apply() override;
  void FormHide() override;
  void showEvent(QShowEvent* e) override;

 private:
  void Changed() { changed_ = true; }
  void FitPreview();
  void DrawPreview();

  TMyCustomImage* image_ = nullptr;
  TRect rect_{};
  TBitmap mask_, pristine_;  // 255 kept, 0 removed: the view's polarity
  TBitmap checker_;
  bool changed_ = false;
};

}  // namespace qm
