#pragma once
// Sheerlay ("Sheerlay"), the photo-mask filter: an effect laid on the working rectangle
// through a grey picture chosen by the user (document/Sheerlay.h). The picture comes
// from [Sheerlay] at each showing, from the image browser's mask action, or from the
// masks folder through the open dialog; it can be inverted and turned. Preview and OK
// need a picture. OK writes [Sheerlay]; the repeat command reads it again, picture
// included, and leaves no step when that picture is gone.
#include <memory>
#include <string>

#include "dialogs/ParamDialog.h"
#include "document/Sheerlay.h"

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QToolButton;

namespace qm {

class TIniFile;
class TSpecialEdit;
struct TPictureFileSettings;

// What a Sheerlay run needs besides the layer: the picture and how it was turned, the
// values of the controls, the mode and the pattern file.
struct TSheerlayState {
  TBitmap Picture;  // 24-bit grey; empty: none
  std::string MaskPath;
  bool Negative = false;
  int Angle = 0;  // 0, 90, 180 or 270
  TSheerlayParams Params = DefaultParams<TSheerlayParams>();
  int Mode = slColor;
  std::string Pattern;
};

// A picture file as a mask: 24-bit, grey. An empty name asks for it in folder. False,
// s untouched, when nothing loads; else the path is kept and the picture unturned.
bool LoadSheerlayMask(TPictureFileSettings& files, std::string fileName, const std::string& folder,
                      TSheerlayState& s);
// [Sheerlay] over s, each key read with "ERR!" (a missing key keeps s's value): with
// readMask, Mask loads the picture when the file exists; Negative and Angle turn the
// picture s holds; Format 4 reads 0 when transparency is not offered.
void ReadSheerlaySection(const TIniFile& ini, TSheerlayState& s, TPictureFileSettings& files, bool readMask,
                         bool transparencyOffered);
void WriteSheerlaySection(TIniFile& ini, const TSheerlayState& s);

// The transparency mode is offered for a layer with a mask, or the background of a
// single-layer image.
bool SheerlayTransparencyOffered(TDialogHost& host);

class TSLForm final : public TParamDialogOf<TSheerlayParams> {
 public:
  static constexpr TDialogTraits kTraits{.ClassName = "TSLForm",
                                         .Caption = TextId::TrFixDlgSheerlay,
                                         .MenuText = TextId::TrFixDlgSheerlay,
                                         .UndoKind = ukWorkRectImageAndMask,
                                         .PicksColors = true,
                                         .PlusMinusAsA = true};
  TSLForm();
  ~TSLForm() override;

  void setVisible(bool visible) override;

  TSpecialEdit* LstFormat;
  QMenu* PopMode;
  QFrame* PnlMasque;
  QLabel* ImgMasque;
  QToolButton *BtnParcourir, *BtnNegatif, *BtnRotation, *SBMotif;
  QLineEdit *EdiNomMasque, *EdiMotif;
  QLabel* LblMotif;

  // The picture shown (empty: none) and the state OK writes.
  const TSheerlayState& State() const { return *state_; }

 protected:
  bool TakeRequest(TDialogHost& host, const TDialogRequest& request) override;
  TLayerOperation Operation() const override;
  TLayerOperation RepeatOperation() const override;
  void Showing() override;
  void Applied() override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void LoadMask(const std::string& fileName);
  void Negative();
  void Rotate();
  void ChoosePattern();
  void FollowMode();
  void ShowMask();  // the thumbnail, the name and the buttons
  void SetMode(int mode);
  // The controls' values into the state.
  void TakeControls();

  std::shared_ptr<TSheerlayState> state_;
  std::string openingMask_;  // the browser's mask for the coming showing
  bool showing_ = false;
  std::vector<QAction*> modes_;
  QCheckBox* duotone_;
  QWidget* opacity_;
  QWidget* color_;
};

}  // namespace qm
