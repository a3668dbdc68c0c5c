#pragma once
// A rectangle set by numbers: a position typed or anchored in the image, a size in
// pixels, percent of the image, centimetres or inches. One modal form for three
// commands, told apart by the mode of the command's row: 0 places the selection (with
// its shape and inversion), 1 moves and scales the active layer, 2 adds a white layer
// of that size at that place.
#include "dialogs/command/CommandDialog.h"
#include "pixel/RectUtils.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QRadioButton;

namespace qm {

class TAnchorGrid;
class TSizeFields;
class TSpinEdit2;

// The shape list's items and the selection shape kinds they give.
constexpr int kGeometryShapeItems = 10;
int ShapeKindOfItem(int item);
// The item of a shape kind; -1 for a kind the list does not show (the item stays).
int ItemOfShapeKind(int kind, bool polygonOffered, bool bitmapOffered);

class TSelParamsForm final : public TCommandDialog {
 public:
  static constexpr TCommandDialogTraits kTraits{.ClassName = "TSelParamsForm",
                                                .Caption = TextId::TrFixDlgManualGeometry,
                                                .MenuText = TextId::GetTrMnuSelParams};
  TSelParamsForm();

  QRadioButton* RBPos1;
  QRadioButton* RBPos2;
  TSpinEdit2* EdiX;
  TSpinEdit2* EdiY;
  TAnchorGrid* ToolBar;
  TSizeFields* Size;
  QCheckBox* CBProportions;
  QGroupBox* GBForme;
  QComboBox* EdiForme;
  QCheckBox* CBInverser;

 protected:
  bool FormShow() override;
  bool Apply() override;

 private:
  void PositionChanged();
  void Load(const TRect& r);
  // The rectangle OK places, w x h.
  TRect Target(int w, int h) const;
  void PlaceSelection(const TRect& t, int w, int h);
  void PlaceLayer(const TRect& t, int w, int h);
  void AddBlankLayer(const TRect& t, int w, int h);

  QLabel* lblX_;
  QLabel* lblY_;
  QGroupBox* sizeGroup_;
  int mode_ = 0;
  int baseWidth_ = 1, baseHeight_ = 1;
  double aspect_ = 1;
  int loadedWidth_ = 1, loadedHeight_ = 1;
  int shapeItem_ = 0;
  bool typed_ = false;  // a size field was typed in since the showing
};

}  // namespace qm
