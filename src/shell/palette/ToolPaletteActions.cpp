// The palette's tools that act at once: the magic wand, the bucket fill, the line, the
// selection's outline and fill, the inversion of a traced selection; and what its
// options give a stroke.
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QSlider>
#include <optional>

#include "controls/SpinEdit.h"
#include "document/Polygon.h"
#include "document/qt/SelectionMask.h"
#include "pixel/Blend.h"
#include "pixel/FloodFill.h"
#include "pixel/ImgUtils.h"
#include "pixel/Mask.h"
#include "platform/core/Messages.h"
#include "platform/texts/UiTexts.h"
#include "shell/palette/PaletteGlyphs.h"
#include "shell/services/LayerChange.h"
#include "shell/services/ShellServices.h"
#include "shell/palette/ToolPalette.h"

namespace qm {
namespace {

using enum TextId;

template <size_t N>
int CheckedRadio(const std::array<QRadioButton*, N>& radios) {
  for (size_t i = 0; i < N; ++i)
    if (radios[i]->isChecked()) return int(i);
  return 0;
}

int SpinValue(const TSpinEdit2* e) { return e->CheckValue(e->Value()); }

constexpr TRect Inflate(const TRect& r, int d) { return TRect{r.Left - d, r.Top - d, r.Right + d, r.Bottom + d}; }

TRect PointsRect(TPoint a, TPoint b) {
  return TRect{std::min(a.X, b.X), std::min(a.Y, b.Y), std::max(a.X, b.X) + 1, std::max(a.Y, b.Y) + 1};
}

void NothingToProcess() { ShowMessageDialog(Tr(GetTrDlgImage12), mtWarning, mbOK); }

TColor PatternKey(const TBitmap& pattern) {
  return pattern.Transparent ? pattern.EffectiveTransparentColor() : clNone;
}

}  // namespace

// --- What a stroke paints with ----------------------------------------------------------------

TBitmap TOutilsForm::BuildBrushTip() const {
  const TBitmap* base = services_.GetBaseLayerBitmap();
  const bool hard = base && base->Transparent;
  const bool advanced = tool_ == TTool::AdvancedBrush;
  const TGeneratedTip generated = advanced ? TGeneratedTip::None : GeneratedTipAt(brushTip_);
  if (generated == TGeneratedTip::None) {
    const int scale = advanced && RBx3->isChecked() ? 3 : advanced && RBx2->isChecked() ? 2 : 1;
    return PrepareGlyphTip(advanced ? AdvancedTipGlyph(advancedTip_) : BrushTipGlyph(brushTip_), scale, hard);
  }
  TBitmap tip = MakeGeneratedTip(generated, ReadSizeText(CBTailleBrush->currentText().toStdString(), kBrushSizeMin));
  if (hard) ThresholdMaskRect(tip, 128, GetBitmapRect(tip));
  return tip;
}

TStrokeSettings TOutilsForm::StrokeSettingsFor(TStrokeKind kind) const {
  TStrokeSettings s;
  s.Kind = kind;
  s.Caption = ToolHint(tool_);
  s.Foreground = foreground_;
  s.Background = background_;
  switch (kind) {
    case TStrokeKind::Brush:
      s.Tip = BuildBrushTip();
      s.Eraser = tool_ == TTool::Eraser;
      s.Rainbow = tool_ == TTool::Brush && CBGrad->isChecked();
      if (tool_ == TTool::AdvancedBrush) {
        const TTipSettings t = AdvancedTipSettings(kAdvancedTipNumbers[advancedTip_]);
        s.Spacing = t.Spacing;
        s.Pressure = t.Pressure;
        s.Fade = t.Fade;
      } else {
        s.Pressure = PressureForStep(TBDessin->value());
        if (GeneratedTipAt(brushTip_) != TGeneratedTip::None)
          s.Spacing = ReadSizeText(CBTailleBrush->currentText().toStdString(), kBrushSizeMin) / 10;
      }
      break;
    case TStrokeKind::Blur:
      s.Radius = kDabRadii[CheckedRadio(RBGoutte)];
      s.Strength = TBGoutte->value() * 10;
      break;
    case TStrokeKind::Smudge:
      s.Radius = kDabRadii[CheckedRadio(RBDoigt)];
      s.Strength = TBDoigt->value() * 10;
      break;
    case TStrokeKind::Airbrush:
      s.Radius = ReadSizeText(CBTailleBrush2->currentText().toStdString(), kBrushSizeMin);
      s.Strength = TBPressionAero->value() * 10;
      s.Dispersion = TBDispersionAero->value() * 2;
      break;
    case TStrokeKind::Clone:
    case TStrokeKind::Pattern:
      s.Radius = ReadSizeText(CBTailleBrush3->currentText().toStdString(), kStampSizeMin);
      s.Pressure = PressureForStep(TBTampon->value());
      s.FixedSource = CBTamponFixe->isChecked();
      break;
    case TStrokeKind::Retouch:
      s.Radius = kDabRadii[CheckedRadio(RBRetouche)];
      s.Strength = TBRetouche->value() * 10;
      s.Retouch = TRetouchMode(std::clamp(CBRetouche->currentIndex(), 0, int(TRetouchMode::RedEye)));
      break;
  }
  return s;
}

// --- Magic wand and bucket fill ---------------------------------------------------------------

bool TOutilsForm::PointOnLayerPixel(TNewImgForm& window, TPoint client) {
  const TLayerItem* layer = window.Image().GetActiveLayer();
  if (!layer || layer->Image.Empty() || !window.View().IsPointOnActiveLayer(client)) return false;
  const TPoint p = window.View().ClientToLayerPoint(client);
  return !layer->IsTransparentAt(p.X, p.Y);
}

void TOutilsForm::MagicWandAt(TNewImgForm& window, TPoint client, Qt::KeyboardModifiers mods) {
  if (&window != services_.GetActiveImgForm()) return;
  if (!PointOnLayerPixel(window, client)) return NothingToProcess();
  TLayerItem& layer = *window.Image().GetActiveLayer();
  const TPoint p = window.View().ClientToLayerPoint(client);
  TLayerHost& host = services_.LayerHost();
  TBusyScope busy(services_);
  std::unique_ptr<TBitmap> mask = CreateSelectionMaskBitmap(host, true);
  const int tolerance = SpinValue(EdiMagicTolerance);
  int result = ffDone;
  if (CBMagicCouleur->isChecked()) {
    MaskByColorToleranceInverted(layer.Image, *mask, layer.Image.GetPixel(p.X, p.Y), tolerance, true, UnboundedRect);
    // pixels the layer hides are never picked
    if (!layer.Mask.Empty()) MergeRectMax(layer.Mask, *mask, 0, 0, UnboundedRect);
  } else {
    result = FloodFillBitmap(layer.Image, layer.Mask.Empty() ? nullptr : &layer.Mask, p.X, mask.get(), UnboundedRect,
                             tolerance, clNone, p.Y);
  }
  host.HideSelection();
  if (result != ffFailed) {
    const TWandCombine combine = (mods & Qt::ControlModifier) ? wcAdd : (mods & Qt::AltModifier) ? wcSubtract : wcReplace;
    TRect r{};
    CombineMaskWithSelection(host, *mask, combine, r);
    if (!r.IsEmpty()) {
      ResetSelection(window);
      ChooseTool(TTool::MagicWand);
    }
  }
}

void TOutilsForm::ResetSelection(TNewImgForm& window) {
  if (Hooks.ResetSelectionMode) {
    Hooks.ResetSelectionMode();
    return;
  }
  window.Selection().Show();
  window.SelectionDefined = true;
  services_.ShowSelectionRectStatus(window, window.Selection().SelRect);
  if (services_.Hooks.UpdateCommandStates) services_.Hooks.UpdateCommandStates();
}

void TOutilsForm::BucketFillAt(TNewImgForm& window, TPoint client, Qt::MouseButton button) {
  if (&window != services_.GetActiveImgForm()) return;
  if (!PointOnLayerPixel(window, client)) return NothingToProcess();
  TLayerItem& layer = *window.Image().GetActiveLayer();
  const TPoint p = window.View().ClientToLayerPoint(client);
  std::optional<TBusyScope> busy(std::in_place, services_);
  // The copy of the layer only serves to bring back what lies outside a selection; the
  // opacity blends from the step's own snapshot of the working rectangle.
  const TSelectionControl* sel = services_.GetActiveSelection();
  TUndoLayerItem* step =
      services_.Operations().BeginUndoableOperation(ukWorkRect, ToolHint(TTool::Fill), sel && sel->Visible);
  if (!step) return;
  const TColor color = button == Qt::LeftButton ? foreground_ : background_;
  const int tolerance = SpinValue(EdiFillTolerance), opacity = SpinValue(EdiFillAlpha);
  const TRect rect = IntersectRect(services_.GetWorkRect(), GetBitmapRect(layer.Image));
  const TBitmap* layerMask = layer.Mask.Empty() ? nullptr : &layer.Mask;
  const TBitmap& pattern = services_.FillPattern();
  int result;
  if (CBMotifRemplir->isChecked() && !pattern.Empty()) {
    TBitmap region(layer.Image.Width(), layer.Image.Height(), pf24bit, clWhite);
    result = FloodFillBitmap(layer.Image, layerMask, p.X, &region, rect, tolerance, clNone, p.Y);
    if (result != ffFailed)
      FillPatternThroughMask(region, GetBitmapRect(region), layer.Image, 0, 0, rect, pattern, pattern.Transparent,
                             PatternKey(pattern), 100);
  } else {
    result = FloodFillBitmap(layer.Image, layerMask, p.X, nullptr, rect, tolerance, color, p.Y);
  }
  if (result == ffFailed) {
    window.History().DeleteLastUndoStep();
    services_.Operations().RefreshLayerNavigator();
    return;
  }
  services_.RestrictToSelection(seProgressive);
  if (opacity < 100) BlendUndoStep(*step, 100 - opacity);
  window.Image().InvalidateLayerRect(window.Image().LayerRectToImageRect(rect));
  services_.RefreshLayerNavigator();
  busy.reset();  // the message comes once the work is over
  if (result == ffPartial) ShowMessageDialog(Tr(GetTrDlgTool1), mtInformation, mbOK);
}

// --- Line, outline and fill ---------------------------------------------------------------------

void TOutilsForm::DrawLineTool(TNewImgForm& window, const TRect& line) {
  if (&window != services_.GetActiveImgForm()) return;
  TLayeredImage& image = window.Image();
  TLayerItem* layer = image.GetActiveLayer();
  if (!layer || layer->Image.Empty()) return;
  TUndoLayerItem* step = services_.Operations().BeginUndoableOperation(ukStroke, ToolHint(TTool::Line));
  const TBitmap* before = services_.Operations().PreChangeCopy();
  if (!step || !before) return;
  const TPoint a = image.ImageToLayerPoint(TPoint{line.Left, line.Top});
  const TPoint b = image.ImageToLayerPoint(TPoint{line.Right, line.Bottom});
  const int w = LineWidth(), alpha = SpinValue(EdiLineAlpha);
  const int length = ArrowLength(w);
  const bool arrow = CBFleche1->isChecked() || CBFleche2->isChecked();
  const TRect clip = IntersectRect(services_.GetWorkRect(), GetBitmapRect(layer->Image));
  TPolygon24::DrawArrowLine(layer->Image, a.X, a.Y, CBLisserLigne->isChecked(), clip, CBFleche1->isChecked(), arrow,
                            length + 1, length, w, foreground_, b.X, b.Y);
  const TRect touched = IntersectRect(Inflate(PointsRect(a, b), w + (arrow ? length / 2 + 1 : 0)), clip);
  services_.RestrictToSelection(seSmooth);
  if (alpha < 100) CopyBitmapRectOpacity(*before, GetBitmapRect(*before), layer->Image, 0, 0, touched, 100 - alpha);
  if (touched.IsEmpty()) window.History().DeleteLastUndoStep();
  else ResnapUndoStepRect(*step, touched, *before);
  image.InvalidateLayerRect(image.LayerRectToImageRect(touched));
  services_.RefreshLayerNavigator();
  if (services_.Hooks.UpdateCommandStates) services_.Hooks.UpdateCommandStates();
}

bool TOutilsForm::DrawWithShapeTool(TNewImgForm& window, const TRect& r) {
  if (!IsShapeToolDrawing() || &window != services_.GetActiveImgForm()) return false;
  // the shape drawn becomes the selection the outline and the fill follow; it stays
  // defined, hidden
  TSelectionControl& sel = window.Selection();
  sel.SyncShape();
  sel.SetSelectionRect(r);
  sel.Show();
  window.SelectionDefined = true;
  DrawSelectionShape();
  sel.Hide();
  return true;
}

void TOutilsForm::DrawSelectionShape() {
  TNewImgForm* window = services_.GetActiveImgForm();
  TLayerItem* layer = window ? window->Image().GetActiveLayer() : nullptr;
  if (!layer || layer->Image.Empty()) return;
  const bool fill = CBRemplir->isChecked() && CBRemplir->isEnabled();
  const bool outline = CBContour->isChecked() && CBContour->isEnabled();
  if (!fill && !outline) return;
  const std::string contour = CaptionOr(GetTrLblContour, "Contour"), remplir = CaptionOr(GetTrLblFill, "Remplir");
  const std::string caption = fill && outline ? contour + "/" + remplir : outline ? contour : remplir;
  const int w = LineWidth();
  TLayerChangeOptions options;
  options.Caption = caption;
  options.Restrict = false;  // the fill is restricted with a smooth edge, the outline is the selection's own
  RunLayerChange(services_, options, [&](TLayerRun& run) {
    const TRect all = GetBitmapRect(run.Layer);
    const TRect work = IntersectRect(run.Rect, all);
    if (fill) {
      const TBitmap& pattern = services_.FillPattern();
      if (pattern.Empty()) run.Layer.FillRect(work, background_);
      else FillRectWithPattern(pattern, run.Layer, work.Left, work.Top, work, 100, PatternKey(pattern), 0);
      services_.RestrictToSelection(seSmooth);
    }
    if (outline)
      services_.StrokeSelectionWith(foreground_, w, services_.LayerHost().SelectionSmoothing() != selSmoothNone);
    // the outline reaches beyond the working rectangle: the step takes the pixels from
    // before both there too
    run.Touched = IntersectRect(outline ? Inflate(work, w + 2) : work, all);
  });
  services_.RefreshLayerNavigator();
}

void TOutilsForm::InvertSelectionFromPalette() {
  TNewImgForm* window = services_.GetActiveImgForm();
  if (!window) return;
  const bool wand = tool_ == TTool::MagicWand;
  TLayerHost& host = services_.LayerHost();
  host.HideSelection();
  TRect r{};
  InvertSelectionShape(host, r);
  if (r.IsEmpty()) return;
  ResetSelection(*window);
  if (wand) ChooseTool(TTool::MagicWand);
}

}  // namespace qm
