#include "shell/services/CommandStates.h"

#include "document/LayerOps.h"
#include "shell/services/ShellServices.h"
#include "shell/services/ZoomSteps.h"

namespace qm {

TCommandState ReadCommandState(TShellServices& services) {
  TCommandState s;
  s.Lock = services.ShellLock() != nullptr;
  s.AnyHistory = services.Windows().HasUndoableImage();
  s.Pattern = !services.FillPattern().Empty();
  const TUndoableOperations& ops = services.Operations();
  s.RepeatStored = ops.HasRepeatableCommand();
  s.RepeatGuard = ops.RepeatGuard();
  TNewImgForm* w = services.GetActiveImgForm();
  if (!w || w->Image().GetLayerCount() == 0) return s;
  TLayeredImage& image = w->Image();
  s.Doc = true;
  s.TC = image.ColorCount >= 257;
  const TLayerItem& bg = image.Layers[0];
  s.Alpha = !bg.Mask.Empty();
  s.Trn = bg.Image.Transparent;
  s.BgT = s.Alpha || s.Trn;
  s.Bl = bg.Locked;
  s.BgBitmap = bg.LayerType == ltBitmap;
  s.LayerCount = image.GetLayerCount();
  if (const TLayerItem* layer = image.GetActiveLayer()) {
    s.Blk = layer->Locked || !layer->Visible;
    s.Txt = layer->LayerType != ltBitmap;
    s.Bg = image.ActiveIndex() == 0;
    s.ActiveVisible = layer->Visible;
    s.ActiveMaskEmpty = layer->Mask.Empty();
    s.Locked = layer->Locked;
    s.TextData = IsTextLayerActive(&image);
    s.Shadow = layer->Shadow.Enabled != 0;
    const int a = image.ActiveIndex();
    s.BelowMergeable = a >= 1 && image.Layers[a - 1].LayerType == ltBitmap && !image.Layers[a - 1].Locked;
  }
  for (int i = 1; i < s.LayerCount && !s.UpperShown; ++i) s.UpperShown = image.Layers[i].Visible;
  const TSelectionControl& sel = w->Selection();
  s.SelV = sel.Visible;
  s.SelInv = sel.Inverted;
  s.SelKind = sel.ShapeKind;
  s.SelDef = w->SelectionDefined;
  const double zoom = w->View().Zoom();
  s.ZoomStepIn = ZoomStepFrom(zoom, TZoomDirection::In) != 0;
  s.ZoomStepOut = ZoomStepFrom(zoom, TZoomDirection::Out) != 0;
  s.ZoomOn100 = ZoomBoxIndex(zoom, w->FitToWindow) == kZoom100Index;
  s.Mod = w->IsImageModified();
  s.New = w->IsNew;
  const TUndoList& history = w->History();
  s.CanUndo = history.GetCurrentUndoStep() != nullptr;
  s.CanRedo = history.GetNextUndoStep() != nullptr;
  if (const TUndoLayerItem* step = history.GetCurrentUndoStep()) {
    s.StepKind = GetUndoStepParam(*step, upKind);
    s.StepFaded = GetUndoStepParam(*step, upNoFade) != 0;
  }
  return s;
}

bool CommandRuleHolds(TCommandRule rule, const TCommandState& s) {
  using R = TCommandRule;
  const bool upper = s.Doc && !s.Bg;
  const bool rectOrTC = s.TC || s.SelKind == ssRect;
  switch (rule) {
    case R::Always: return true;
    case R::NoLock: return !s.Lock;
    case R::Document: return s.Doc;
    case R::DocumentUnlocked: return s.Doc && !s.Lock;
    case R::Modified: return s.Doc && s.Mod;
    case R::Revertible: return s.Doc && s.Mod && !s.New;
    case R::SavedFile: return s.Doc && !s.New;
    case R::Printer: return s.Doc && s.Printer;
    case R::Scanning: return s.Scanning;
    // Edit
    case R::Undo: return s.Doc && s.CanUndo;
    case R::Redo: return s.Doc && s.CanRedo;
    case R::Fade:
      return s.Doc && s.TC && !s.Trn && !s.StepFaded &&
             ((s.StepKind >= ukStroke && s.StepKind <= ukWorkRectImageAndMask) || s.StepKind == ukFade);
    case R::CutClear: return s.Doc && s.TC && s.SelV && !s.Blk && !s.Txt;
    case R::ImageLayer: return s.Doc && !s.Txt;
    case R::MultiLayer: return s.LayerCount > 1;
    case R::PasteLayer: return s.PasteLayer && !s.Trn && !s.Alpha;
    case R::PasteImage: return s.PasteImage;
    case R::PasteSpecial: return s.PasteLayer && !s.Trn;
    case R::PasteAssemble: return s.Doc && s.Bg && !s.Blk && !s.Alpha;
    case R::PasteInto: return s.SelV && !s.Blk && !s.Txt;
    case R::PasteMask: return s.Doc && !s.Alpha;
    case R::PasteAlpha: return s.Doc && !s.Blk && !s.Txt && s.ActiveMaskEmpty;
    case R::PasteIntoSelection: return s.PasteLayer && !s.Blk && !s.Txt && !s.BgT && !s.Alpha;
    case R::StrokeFill: return s.Doc && !s.Blk && !s.Txt && !s.Trn;
    case R::Clipping: return s.TC && s.SelV && !s.Txt && !s.Trn && !s.Alpha;
    case R::FillPattern: return s.Pattern && s.TC && !s.Blk && !s.Txt && !s.Trn;
    case R::DefinedPattern: return s.Pattern;
    case R::PurgeHistory: return s.Doc && s.AnyHistory;
    case R::PurgeAny: return (s.Doc && s.AnyHistory) || s.PasteImage || s.Pattern;
    // Selection
    case R::SelectionDefined: return s.SelDef;
    case R::SelectionShown: return s.SelV;
    case R::SelectionFit: return s.SelV && s.SelKind != ssMultiPoints;
    case R::SelectionNotInverted: return s.SelV && !s.SelInv;
    case R::SelectionTransform: return s.TC && !s.SelInv && !s.Txt;
    case R::SelectLayer: return upper && !s.Txt && s.ActiveVisible;
    case R::BoundsFrame: return !s.SelV || s.SelKind != ssMultiPoints;
    case R::TrueColor: return s.TC;
    case R::PopupCrop:
      return s.Bg ? s.Doc && !s.Blk && !s.SelInv && rectOrTC : s.Doc && !s.Blk && !s.Txt && !s.SelInv;
    // Image
    case R::ImageCommand: return s.Doc && !s.Bl;
    case R::ModeRGB: return s.Doc && !s.Bl && (!s.TC || s.Alpha);
    case R::ModeIndex: return s.Doc && !s.Bl && s.TC && !s.Alpha;
    case R::NoAlphaImage: return s.Doc && !s.Bl && !s.Alpha;
    case R::CropImage: return s.Doc && !s.Bl && s.SelV && !s.SelInv && rectOrTC;
    case R::OuterFrame: return s.Doc && !s.Bl && !s.BgT;
    case R::OuterShadow: return s.Doc && !s.Bl && s.TC && !s.BgT;
    case R::ImagePlugin: return s.Doc && !s.Bl && s.LayerCount == 1 && !s.Alpha;
    case R::FlipButton: return s.Doc && !s.Txt && !s.Blk;
    case R::TextTool: return s.TC && !s.Trn && !s.Alpha;
    // Layer
    case R::LayerMenu: return s.Doc && s.TC && !s.Lock && s.BgBitmap;
    case R::NoAlpha: return s.Doc && !s.Alpha;
    case R::UpperLayer: return upper;
    case R::UpperLayerFree: return upper && !s.Blk;
    case R::UpperBitmap: return upper && !s.Txt && !s.Blk;
    case R::DeleteLayer: return upper && !s.Locked;
    case R::LayerEdge: return s.Doc && (s.Alpha || !s.Bg) && !s.Blk && !s.Txt;
    case R::LayerGradient: return CommandRuleHolds(R::LayerEdge, s);
    case R::TextLayer: return s.TextData && !s.Blk;
    case R::MergeShadow: return upper && !s.Blk && !s.Txt && s.Shadow;
    case R::MergeDown: return upper && !s.Blk && s.BelowMergeable;
    case R::LayerParams: return upper && !s.Blk && (!s.Txt || s.TextData);
    case R::MergeVisible: return s.LayerCount > 2 && s.UpperShown;
    case R::ExportLayer: return upper && !s.Txt;
    case R::EditAlpha: return s.Doc && !s.Txt && !s.ActiveMaskEmpty;
    case R::CropLayer: return upper && !s.Blk && !s.Txt && s.SelV;
    case R::DuplicateLayer: return s.TC && !s.BgT;
    // Adjustments and filters
    case R::AdjustFilter: return s.Doc && s.TC && !s.Lock && !s.Blk && !s.Txt && !s.Trn;
    case R::Outline: return s.TC && (!s.SelV || (!s.SelInv && s.SelKind == ssRect));
    case R::Progressive: return s.Doc && (!s.SelV || !s.SelInv);
    case R::Sheerlay: return s.MasksFolder;
    case R::Repeat:
      if (!s.RepeatStored) return false;
      switch (s.RepeatGuard) {
        case rgContour: return CommandRuleHolds(R::Outline, s);
        case rgProgressive: return CommandRuleHolds(R::Progressive, s);
        case rgShadow: return CommandRuleHolds(R::SelectionNotInverted, s);
        default: return true;
      }
    case R::PluginsAvailable: return s.PluginsAvailable;
    case R::ZoomIn: return s.Doc && s.ZoomStepIn;
    case R::ZoomOut: return s.Doc && s.ZoomStepOut;
    case R::ZoomNot100: return s.Doc && !s.ZoomOn100;
    // The state these read belongs to commands still to come.
    case R::ShapeCopied:
      return false;
  }
  return false;
}

}  // namespace qm
