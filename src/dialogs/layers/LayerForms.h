#pragma once
// The dialogs of the layers: the text dialog ("Texte": a new text layer, the active
// text layer edited, or a text turned into a selection), the layer options ("Options":
// opacity, drop shadow, adjustment and colour of the active layer, applied live) and
// the layer export ("Exporter le calque": the layer alone with its mask as alpha, to
// PNG, BMP or GIF).
#include <QPointer>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/command/CommandDialog.h"
#include "document/TextData.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class QSlider;
class QTabWidget;
class QToolButton;

namespace qm {

class TColorEdit;
class TIniFile;
class TLayerItem;
class TSpinEdit2;

// --- [Text]: the text dialog's last font, size, style and colour --------------------

// The style letters written: "b", "i", "u", "s" for bold, italic, underline, strike-out.
std::string TextStyleLetters(uint8_t fontStyle);
// The style of letters read in any case.
uint8_t TextStyleFromLetters(std::string letters);
// A record never shown yet takes [Text] (a missing key keeps the built-in value; the
// colour defaults to color), then the built-in defaults: "Arial" when no font is
// named, shadow (5, 5) at 70 %, smoothed ("Lissé"), opacity 100, white outline,
// antialiased. A record already initialised is left alone.
void InitializeTextData(TTextData& data, const TIniFile* ini, TColor color);
// The record's font, size, style and colour into [Text].
void WriteTextSection(TIniFile& ini, const TTextData& data);
// The text's lines without the trailing ones that are empty or blank.
std::vector<std::string> TrimTrailingBlankLines(std::vector<std::string> lines);

// The shadow's style: 0 "Plat" (blur 0, diffuse 0), 1 "Lissé" (2, 0), 2 "Diffusion"
// (2, 1).
int ShadowStyleOf(int blur, bool diffuse);
void SetShadowStyle(int style, int32_t& blur, bool& diffuse);

class TTextForm final : public TCommandDialog {
 public:
  static constexpr TCommandDialogTraits kTraits{"TTextForm", TextId::TrFixDlgText, TextId::GetTrMnuText, true};
  TTextForm();
  ~TTextForm() override;

  // The record the controls hold (the one edited, with the controls stored into it).
  TTextData Record() const;
  // The lines the next new text starts with.
  const std::vector<std::string>& LastText() const { return lastText_; }
  bool Applied() const { return applied_; }

  QTabWidget* Pages;
  QComboBox *CBPolices, *CBTaille;
  QCheckBox *CBGras, *CBItalique, *CBSouligne, *CBBarre, *CBLisser;
  TColorEdit* ColorEditText;
  QToolButton *SBGauche, *SBCentre, *SBDroite;
  TSpinEdit2* EdiAngle;
  QPlainTextEdit* Memo;
  QLabel* PnlApercu;
  QLabel *LblOpacite, *LblDX, *LblDY, *LblCouleurOmbre, *LblAlphaShadow, *LblStyle, *LblCouleurContour;
  QSlider* TBOpacite;
  QCheckBox *CBOmbre, *CBContour, *CBFlou, *CBInverser, *CB3D, *CBMotif;
  TSpinEdit2 *EdiDX, *EdiDY, *EdiAlphaShadow;
  TColorEdit *ColorEditOmbre, *ColorEditContour;
  QComboBox* CBStyle;
  QRadioButton *RBFlouLeger, *RBFlouFort;
  QLineEdit* EdiMotif;
  QToolButton *SBMotif, *SB1, *SB2;

  // "Transformer en sélection": OK, the text becoming the selection's outline.
  void ToSelection();

 protected:
  bool FormShow() override;
  bool Apply() override;
  void FormHide() override;
  void TakePickedColor(TColor color) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void Load(const TTextData& data);
  void Store(TTextData& data) const;
  void SizeLeft();
  void FontChanged();
  void ShadowChanged();
  void OutlineChanged();
  void NegativeChanged();
  void BevelChanged();
  void PatternChanged();
  void ChoosePattern();
  void Follow();

  QButtonGroup *alignment_, *pickTarget_;
  TTextData edited_;                     // a copy: the layer's record changes only by rendering
  bool isNew_ = false;
  bool toSelection_ = false;
  bool applied_ = false;
  TRect placement_{};
  QPointer<TNewImgForm> document_;       // edit mode: the document and the layer opened on
  TLayerItem* layer_ = nullptr;
  std::vector<std::string> lastText_;
};

class TOpCalqueForm final : public TCommandDialog {
 public:
  static constexpr TCommandDialogTraits kTraits{"TOpCalqueForm", TextId::TrFixDlgLayerOptions,
                                                TextId::GetTrMnuOptions};
  TOpCalqueForm();
  ~TOpCalqueForm() override;

  QSlider* TBAlpha;
  QLabel* LblOpacite;
  QWidget* PageControl;  // shows the one page of the layer's type
  QWidget *TshStd, *TshAdjust, *TshColor;
  QCheckBox* CBOmbre;
  QLabel *LblDX, *LblDY, *LblCouleur, *LblAlphaShadow;
  TSpinEdit2 *EdiDX, *EdiDY;
  TColorEdit* ColorEditOmbre;
  QSlider* TBAlphaShadow;
  QButtonGroup* RGStyle;
  QWidget* StyleGroup;
  QSlider *TBLuminosite, *TBContraste, *TBSaturation, *TBGamma;
  QLabel *LblLuminosite, *LblContraste, *LblSaturation, *LblGamma;
  TColorEdit* ColorEdit;
  QCheckBox* CBInverser;

  // The controls put into the layer, and the image repainted (while shown).
  void ApplySettings();

 protected:
  bool FormShow() override;
  bool Apply() override;
  void FormHide() override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void ShowLabels();
  void ShadowEnabling();
  void Changed();
  TLayerItem* Layer() const;

  std::unique_ptr<TLayerItem> saved_;
  TLayerItem* layer_ = nullptr;
  QPointer<TNewImgForm> document_;
  bool newLayer_ = false;
  bool applied_ = false;
  bool loading_ = false;
};

// The formats of the layer export, in the list's order.
enum class TLayerExportFormat { Png, Bmp, Gif };
// The layer's image with its mask as alpha (a layer without a mask is opaque) written
// to fileName in the format, atomically: PNG and BMP with alpha 255 - mask and white
// under what is fully hidden, GIF with the pixels the mask hides (129..255) on the
// transparent index. Throws what the encoders and the file throw; the target is then
// as it was.
void ExportLayer(const TLayerItem& layer, TLayerExportFormat format, const std::string& fileName);
// The name the save dialog proposes: the display name with the extension replaced
// by (or given) ext, a "/" in it made "_" so that the file stays in the folder.
std::string ExportFileName(const std::string& displayName, const std::string& ext);

class TExportLayerForm final : public TCommandDialog {
 public:
  static constexpr TCommandDialogTraits kTraits{"TExportLayerForm", TextId::TrFixDlgExportLayer,
                                                TextId::GetTrMnuLayerExport};
  TExportLayerForm();

  QButtonGroup* RGFormat;

 protected:
  bool Apply() override;
};

}  // namespace qm
