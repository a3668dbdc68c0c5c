#pragma once
// The dialogs that change the size of a whole document or make a new one:
//   TRedimForm ("Taille de l'image"): resamples the document to a size typed in pixels,
//     percent, centimetres or inches, with a resolution and a filter, the other layers
//     scaled with it when asked;
//   TRecadrerForm ("Taille de la zone de travail"): a canvas of a new size around the
//     image, placed by an anchor, on a colour (picked on the image too) or a pattern,
//     the other layers moved with the image; shown modeless;
//   TAdapterForm ("Adapter l'image"): fits the document into limits in pixels;
//   TNewForm ("Nouveau"): a new document of a size, resolution, colour and pattern.
// Each is a command: nothing changes before OK, which makes one undo step (the new
// image none).
#include "dialogs/command/CommandControls.h"
#include "dialogs/command/CommandDialog.h"
#include "dialogs/imagesize/ImageSizeOps.h"

class QCheckBox;
class QComboBox;

namespace qm {

class TColorEdit;
class TFloatSpinEdit;
class TSpinEdit2;

// The resolution field and its unit ("pixels/pouces", "pixels/cm") of the image-size
// and new-image dialogs.
class TResolutionFields : public QObject {
 public:
  explicit TResolutionFields(QWidget& dialog);
  TFloatSpinEdit* EdiRes;
  QComboBox* CmbRes;
  // The value changed by the user (not by the dialog).
  std::function<void()> Typed;
  bool Empty() const;
  // Pixels per inch, the field read through its range.
  double PixelsPerInch() const;
  void SetPixelsPerInch(double ppi);
  // Pixels per inch chosen as the unit.
  void SetPerInch();

 private:
  bool silent_ = false;
};

class TRedimForm final : public TCommandDialog {
 public:
  static constexpr TCommandDialogTraits kTraits{.ClassName = "TRedimForm",
                                                .Caption = TextId::TrFixDlgImageSize,
                                                .MenuText = TextId::GetTrMnuImageSize,
                                                .PlusMinusAsA = true};
  TRedimForm();

 protected:
  bool FormShow() override;
  bool Apply() override;

 private:
  void SizeTyped(bool width);
  void ResolutionTyped();
  // The filter list's choice: 0 automatic, 1 the nearest pixel, then the filters.
  void ChooseFilter(TResizeRequest& request) const;

  TSizeFields* size_;
  QCheckBox* CBProportions;
  TResolutionFields* res_;
  QComboBox* CBFiltres;
  QCheckBox* CBTous;
  int oldWidth_ = 1, oldHeight_ = 1;
  double ratio_ = 1;
};

class TRecadrerForm final : public TCommandDialog {
 public:
  static constexpr TCommandDialogTraits kTraits{.ClassName = "TRecadrerForm",
                                                .Caption = TextId::TrFixDlgCanvasSize,
                                                .MenuText = TextId::GetTrMnuCanvasSize,
                                                .PicksColors = true,
                                                .PlusMinusAsA = true};
  TRecadrerForm();

 protected:
  bool FormShow() override;
  bool Apply() override;
  void TakePickedColor(TColor color) override;

 private:
  TSizeFields* size_;
  TAnchorGrid* anchors_;
  TColorEdit* ColorEdit;
  TPatternRow* pattern_;
  int oldWidth_ = 1, oldHeight_ = 1;
};

class TAdapterForm final : public TCommandDialog {
 public:
  static constexpr TCommandDialogTraits kTraits{.ClassName = "TAdapterForm",
                                                .Caption = TextId::TrFixDlgFitImage,
                                                .MenuText = TextId::GetTrMnuFitImage,
                                                .PlusMinusAsA = true};
  TAdapterForm();

 protected:
  bool FormShow() override;
  bool Apply() override;

 private:
  void PresetChosen(int index);
  TSpinEdit2 *EdiL, *EdiH;
  QComboBox* LstTaille;
  QCheckBox *CBOptimiser, *CBDeformer, *CBTous;
  bool settingsRead_ = false;
  bool silent_ = false;
};

class TNewForm final : public TCommandDialog {
 public:
  static constexpr TCommandDialogTraits kTraits{.ClassName = "TNewForm",
                                                .Caption = TextId::TrFixDlgNewImage,
                                                .MenuText = TextId::GetTrMnuNew,
                                                .PlusMinusAsA = true,
                                                .NeedsDocument = false};
  TNewForm();

 protected:
  bool FormShow() override;
  bool Apply() override;

 private:
  void PresetChosen(int index);
  TSizeFields* size_;
  TResolutionFields* res_;
  TColorEdit* ColorEdit;
  TPatternRow* pattern_;
  QComboBox* LstTaille;
  bool unitSet_ = false;
  bool silent_ = false;
};

}  // namespace qm
