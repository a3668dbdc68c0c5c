#pragma once
// The tool palette (TOutilsForm): the main window's dockable tool window, docked on
// the left or the right or floating above the main window. Fifteen tool buttons, one
// option page per tool, the foreground and background colours and a colour strip to
// pick colours from. The document windows ask it for their tool on every press (the
// palette's TImageTool); the main window asks it for the colours, docks it, and makes
// it put typed values in force before any command.
//
// The single-click tools (magic wand, bucket fill, the line, the selection outline and
// fill) and the strokes (Strokes.h) work on the services' active document. The
// commands the palette starts (loading and fitting selections, the layer page's
// buttons) run through the command table by name: a command not attached yet is
// disabled, and so is the palette's button for it.
#include <QDockWidget>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "document/Shapes.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"
#include "shell/palette/PaletteRules.h"
#include "shell/services/Settings.h"
#include "shell/palette/Strokes.h"
#include "views/DocumentWindowHost.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QRadioButton;
class QSlider;
class QStackedWidget;
class QToolButton;
class QVBoxLayout;

namespace qm {

class TCommandSet;
class TShellServices;
class TSpinEdit2;
class TPrevNextButton;
class TPaletteToolButton;
class TTipBar;
class TColorSwatch;
class TColorStrip;

class TOutilsForm : public QDockWidget {
 public:
  struct THooks {
    // The selection tool's shape for the next drawing and the shown selection's, the
    // lasso being the free-hand polygon. Without it the active view takes the shape.
    std::function<void(TMyShape kind, bool freehand)> SelectSelectionTool;
    // The active document's selection shown as the selection tool works on it. Without
    // it the selection is shown and counts as defined.
    std::function<void()> ResetSelectionMode;
  };

  // Docked as the settings say, hidden until ShowPalette. The settings record is read
  // now and written back by StoreSettings.
  TOutilsForm(QMainWindow& mainWindow, TShellServices& services, TCommandSet& commands, TShellSettings& settings);
  ~TOutilsForm() override;
  THooks Hooks;

  // --- Showing, hiding, docking --------------------------------------------------------
  void ShowPalette();
  // Hidden: the selection tool is chosen again and the position and colours are kept
  // in the settings record.
  void HidePalette();
  bool IsToolPaletteShown() const;
  // 0 floating, 1 docked left, 2 docked right.
  int GetPaletteAlignment() const;
  void SetPaletteAlignment(int alignment);
  // The floating position, the colours and the strip into the settings record.
  void StoreSettings();

  // --- Tools -----------------------------------------------------------------------------
  TTool Tool() const { return tool_; }
  // Presses the tool of the number (SelectTool's numbering) when its button is enabled.
  void SelectTool(int number);
  void SelectTool(TTool tool) { SelectTool(int(tool)); }
  // The queries read the keyboard's modifiers as they are now unless given.
  bool IsPipetteToolActive(Qt::KeyboardModifiers mods) const;
  bool IsPipetteToolActive() const;
  bool IsToolActive(TTool tool) const { return tool_ == tool; }
  bool IsLayerToolActive() const { return tool_ == TTool::Layer; }
  // Brush, advanced brush or eraser.
  bool IsBrushToolActive() const;
  bool IsCloneStampActive() const;
  bool IsPatternStampActive() const;
  bool IsCloneSourcePicking(Qt::KeyboardModifiers mods) const;
  // The selection tool or the magic wand.
  bool IsSelectionToolActive() const;
  // The selection tool with "Contour" or "Remplir" ticked: a shape drawn is painted.
  bool IsShapeToolDrawing() const;
  // The tool that handles presses on the image; null where the image handles them
  // itself (selection shapes, lines, layer moves).
  TImageTool* ActiveTool();

  // --- Colours -----------------------------------------------------------------------
  TColor GetPaletteColor(bool background) const { return background ? background_ : foreground_; }
  void SetPaletteColor(TColor color, bool background);
  int StripIndex() const { return strip_; }
  void SetStripIndex(int index);

  // --- Options ------------------------------------------------------------------------
  // The line width (shared with the selection outline).
  int LineWidth() const;
  // Every edit of the palette writes back its value, the size boxes and the web colour
  // apply their rules; true when one of them had the focus (which then leaves the
  // palette). Only while the palette is shown and a tool action may start.
  bool FlushPaletteEdits();
  bool PaletteEditHasFocus() const;

  // --- Following the documents ----------------------------------------------------------
  // Which tools the active document allows; a tool that becomes disabled gives way to
  // the selection tool; then the image's mode and cursor.
  void UpdateToolButtonStates();
  // The layer page from the active layer.
  void RefreshLayerPage();
  // The active image's interaction mode (shapes, a line, layer moves or none), its
  // selection's lock and the cursors of the image, as the tool asks.
  void RefreshImageMode();
  void RefreshImageCursor();
  // Whether a right click on the image may open a pop-up menu (the tool does not paint
  // with the right button).
  bool ImagePopupAllowed() const;

  // --- The single-click tools -----------------------------------------------------------
  // At a client point of the window's view. Both refuse a point off the active layer or
  // on a pixel its mask hides ("Aucun pixel à traiter !"). The wand adds to the
  // selection with Ctrl and takes from it with Alt.
  void MagicWandAt(TNewImgForm& window, TPoint client, Qt::KeyboardModifiers mods);
  void BucketFillAt(TNewImgForm& window, TPoint client, Qt::MouseButton button);
  // The line tool's line from (Left, Top) to (Right, Bottom), image coordinates.
  void DrawLineTool(TNewImgForm& window, const TRect& line);
  // A shape finished with the selection tool while "Contour" or "Remplir" is ticked:
  // painted into the layer (r in image coordinates). False when no such tool is on.
  bool DrawWithShapeTool(TNewImgForm& window, const TRect& r);
  // Outlines and/or fills the shown selection of the active document.
  void DrawSelectionShape();
  // The selection traced from a mask turned inside out.
  void InvertSelectionFromPalette();

  TStrokeEngine& Strokes() { return *strokes_; }

 protected:
  void closeEvent(QCloseEvent* e) override;
  void showEvent(QShowEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  class TTool_;
  friend class TTool_;

  void Build();
  QWidget* BuildToolButtons();
  QWidget* BuildColorArea();
  void BuildPages();
  QWidget* SelectionPage();
  QWidget* PipettePage();
  QWidget* LinePage();
  QWidget* FillPage();
  QWidget* BrushPage();
  QWidget* AdvancedBrushPage();
  QWidget* RadiusPage(const char* prefix, std::array<QRadioButton*, 4>& radios, QSlider*& strength,
                      const char* sliderName);
  QWidget* MovePage();
  QWidget* AirbrushPage();
  QWidget* StampPage();
  QWidget* MagicPage();
  QWidget* LayerPage();
  QWidget* RetouchPage();
  QComboBox* MakeSizeBox(const char* name, QWidget* parent, const char* value);
  // A label and a track bar under it; the label shows the strength as a percentage
  // when strength is set.
  QSlider* SliderRow(QVBoxLayout* column, const char* name, int min, int max, int value, const QString& caption,
                     bool strength);

  void ToolClicked(TTool tool);
  // The tool pressed and its page shown, without putting edits in force first.
  void ChooseTool(TTool tool);
  void TipClicked(bool advanced, int index);
  void SelectionButtonClicked(int button);
  void ApplySizeBox(QComboBox* box);
  // The layer page's opacity, and its visible (or locked) box, applied to the layer.
  void ApplyLayerOpacity();
  void ApplyLayerFlag(bool visible, bool on);
  void ApplyWebColor();
  void UpdatePipettePage();
  void RefreshDockState();
  void PlaceFloating();
  void FocusMainWindow();

  // The stroke the tool paints, if it is a stroke tool.
  std::optional<TStrokeKind> StrokeKind() const;
  // What the options give a stroke.
  TStrokeSettings StrokeSettingsFor(TStrokeKind kind) const;
  TBitmap BuildBrushTip() const;
  bool PointOnLayerPixel(TNewImgForm& window, TPoint client);
  // The selection the wand or the inversion made, shown.
  void ResetSelection(TNewImgForm& window);

  QMainWindow& main_;
  TShellServices& services_;
  TCommandSet& commands_;
  TShellSettings& settings_;
  std::unique_ptr<TStrokeEngine> strokes_;
  std::unique_ptr<TTool_> imageTool_;

  TTool tool_ = TTool::Selection;
  TColor foreground_ = clBlack, background_ = clWhite;
  int strip_ = 0;
  bool shown_ = false;
  bool placed_ = false;
  bool loadingLayerPage_ = false;
  int brushTip_ = 0, advancedTip_ = 0;

  // widgets, named as the interface names them
  std::array<TPaletteToolButton*, kToolCount> toolButtons_{};
  QButtonGroup* toolGroup_ = nullptr;
  QStackedWidget* NbkOptions = nullptr;
  std::array<TPaletteToolButton*, 12> TB{};
  QCheckBox *CBContour = nullptr, *CBRemplir = nullptr;
  QLabel *LblR = nullptr, *LblV = nullptr, *LblB = nullptr;
  QLineEdit* EdiHTML = nullptr;
  TSpinEdit2 *EdiLineWidth = nullptr, *EdiLineAlpha = nullptr;
  QCheckBox *CBLisserLigne = nullptr, *CBFleche1 = nullptr, *CBFleche2 = nullptr;
  TSpinEdit2 *EdiFillTolerance = nullptr, *EdiFillAlpha = nullptr;
  QCheckBox* CBMotifRemplir = nullptr;
  TTipBar *TlbDessin1 = nullptr, *TlbDessin2 = nullptr;
  QComboBox *CBTailleBrush = nullptr, *CBTailleBrush2 = nullptr, *CBTailleBrush3 = nullptr;
  QLabel* LblTailleBrush = nullptr;
  QSlider* TBDessin = nullptr;
  QCheckBox* CBGrad = nullptr;
  QRadioButton *RBx1 = nullptr, *RBx2 = nullptr, *RBx3 = nullptr;
  std::array<QRadioButton*, 4> RBGoutte{}, RBDoigt{}, RBRetouche{};
  QSlider *TBGoutte = nullptr, *TBDoigt = nullptr, *TBRetouche = nullptr;
  std::array<QRadioButton*, 3> RBScroll{};
  QSlider *TBPressionAero = nullptr, *TBDispersionAero = nullptr, *TBTampon = nullptr;
  QCheckBox *CBTamponFixe = nullptr, *CBTamponMotif = nullptr;
  TSpinEdit2* EdiMagicTolerance = nullptr;
  QCheckBox* CBMagicCouleur = nullptr;
  QLabel *LblNomCalque = nullptr, *Label15 = nullptr;
  QSlider* TBAlphaCalque = nullptr;
  QCheckBox *CBVisible = nullptr, *CBLocked = nullptr;
  std::vector<std::pair<QToolButton*, const char*>> layerButtons_;
  QComboBox* CBRetouche = nullptr;
  TColorSwatch *PnlCouleur = nullptr, *PnlFond = nullptr;
  TColorStrip *ImgGrad = nullptr, *ImgGrad2 = nullptr;
  TPrevNextButton *BtnPrevGrad = nullptr, *BtnNextGrad = nullptr;
  std::vector<QLabel*> strengthLabels_;
};

}  // namespace qm
