// The Edit menu (undo and redo aside): fade, copy, cut and every paste, clear, stroke
// and fill, the fill pattern, the purges, and the Selection menu's flips and turns.
#include <QAction>

#include "document/LayerOps.h"
#include "document/qt/Clipboard.h"
#include "document/qt/SelectionLayerOps.h"
#include "pixel/Blend.h"
#include "shell/services/CommandChecks.h"
#include "shell/commands/DialogCommands.h"
#include "shell/commands/DocumentCommandsImpl.h"
#include "shell/commands/SelectionCommands.h"
#include "shell/services/ShellServices.h"

namespace qm {
namespace {


// Cut and clear keep what they change: the image where the layer has no mask, the mask
// where it has one (the cleared region is hidden in it).
TUndoKind ClearKind(const TLayerItem& layer) { return layer.Mask.Empty() ? ukWorkRect : ukWorkRectMask; }

class TEditCommands {
 public:
  explicit TEditCommands(TDocumentCommands& d) : d_(d) {}

  void Register() {
    using S = const TCommandSender&;
    if (d_.HasDialog("TAttenuerForm")) d_.On("MenuAttenuer", [this](S s) { Fade(s); });
    d_.On("MenuEditionCopier", [this](S s) { Copy(s, false); });
    d_.On("MenuEditionCopierFusion", [this](S s) { Copy(s, true); });
    d_.On("MenuEditionCouper", [this](S s) { Cut(s); });
    d_.On("MenuEditionCollerSel", [this](S s) { PasteLayer(s); });
    d_.On("MenuEditionCollerImg", [this](S s) { PasteImage(s); });
    d_.OnShared("MenuEditionCollerInClick", [this](S s) { PasteInto(s.Tag() >= 1); });
    d_.On("MenuEditionCollageMasque", [this](S) { PasteMasked(false); });
    d_.On("MenuEditionCollageMasque2", [this](S) { PasteMasked(true); });
    d_.On("MenuEditionCollageAlpha", [this](S) { PasteAlpha(); });
    d_.On("MenuEditionEffacer", [this](S) { Clear(); });
    d_.On("MenuEditionMotif", [this](S) { DefinePattern(); });
    d_.On("MenuEditionRemplirMotif", [this](S) { FillPattern(); });
    d_.On("MenuPurgerHistorique", [this](S) { PurgeHistories(); });
    d_.On("MenuPurgerClipboard", [](S) { ClearClipboardData(ClipboardData()); });
    d_.On("MenuPurgerMotif", [this](S) { PurgePattern(); });
    d_.OnShared("MenuTransformClick", [this](S s) { TransformSelection(s); });
  }

 private:
  TShellServices& Services() { return d_.Services; }

  // A fade right after a fade changes that fade instead of stacking a second one.
  void Fade(const TCommandSender& s) {
    if (!d_.Image()) return;
    TUndoList* history = Services().GetActiveHistory();
    TUndoLayerItem* current = history ? history->GetCurrentUndoStep() : nullptr;
    TDialogCommandRow row = *FindDialogCommand("MenuAttenuer");
    TDialogRequest request;
    // The item names the step it fades: its caption names the fade's step and dialog.
    request.Caption = TShellServices::GetMenuItemCaption(s.Action);
    if (current && GetUndoStepParam(*current, upKind) == ukFade) {
      row.Kind = -1;  // no new step: the dialog changes the fade step it made before
      request.Value = GetUndoStepParam(*current, upFadeOpacity);
    } else {
      request.Value = 100;
    }
    RunDialogCommand(Services(), *d_.Dialogs, row, s, std::move(request));
  }

  void Copy(const TCommandSender& s, bool merged) {
    if (!Services().CanRunCommand(s.Action) || !d_.Image()) return;
    if (!merged && CheckSelectionHasPixels(d_.Host())) return;
    TBusyScope busy(Services());
    if (merged) CopyMerged(d_.Host(), ClipboardData());
    else CopySelection(d_.Host(), ClipboardData());
  }

  void Cut(const TCommandSender& s) {
    if (!Services().CanRunCommand(s.Action)) return;
    TLayerItem* layer = d_.ActiveLayer();
    if (!layer || CheckSelectionHasPixels(d_.Host())) return;
    TBusyScope busy(Services());
    if (!CopySelection(d_.Host(), ClipboardData())) return;
    if (!d_.Ops().BeginUndoableOperation(ClearKind(*layer), d_.Caption("MenuEditionCouper"))) return;
    Services().ClearWorkRect();
    d_.HideSelection();
    d_.PixelsChanged();
  }

  void Clear() {
    TLayerItem* layer = d_.ActiveLayer();
    if (!layer || CheckSelectionHasPixels(d_.Host())) return;
    TBusyScope busy(Services());
    if (!d_.Ops().BeginUndoableOperation(ClearKind(*layer), d_.Caption("MenuEditionEffacer"))) return;
    Services().ClearWorkRect();
    d_.PixelsChanged();
  }

  void PasteLayer(const TCommandSender& s) {
    if (!Services().CanRunCommand(s.Action) || !d_.Image()) return;
    if (!CheckClipboardHasImage()) return;
    Services().Windows().RefreshAllImageWindows();
    d_.HideSelection();
    TBusyScope busy(Services());
    // (the new layer told the strip itself)
    if (PasteAsNewLayer(d_.Host(), ClipboardData(), MakeNewLayerName(d_.Host())) < 0) return;
    d_.StackChanged(false);
    d_.SelectLayerTool();
  }

  void PasteImage(const TCommandSender& s) {
    if (!Services().CanRunCommand(s.Action)) return;
    if (!CheckClipboardHasImage()) return;
    Services().Windows().RefreshAllImageWindows();
    TBusyScope busy(Services());
    PasteAsNewImage(d_.Host(), ClipboardData());
  }

  void PasteInto(bool fit) {
    if (!d_.Image() || !CheckClipboardHasImage()) return;
    if (!d_.Ops().BeginUndoableOperation(ukWorkRect, d_.Caption("MenuEditionCollerIn"))) return;
    TBusyScope busy(Services());
    if (!PasteIntoSelection(d_.Host(), ClipboardData(), fit)) {
      d_.DropStep();
      return;
    }
    d_.PixelsChanged();
  }

  void PasteMasked(bool maskOnly) {
    if (!d_.Image() || !CheckClipboardHasImage()) return;
    Services().Windows().RefreshAllImageWindows();
    d_.HideSelection();
    TBusyScope busy(Services());
    const std::string name = MakeNewLayerName(d_.Host());
    const int added = maskOnly ? PasteWithMask2(d_.Host(), ClipboardData(), name)
                               : PasteWithMask(d_.Host(), ClipboardData(), name);
    if (added < 0) return;
    d_.StackChanged();
    d_.SelectLayerTool();
  }

  void PasteAlpha() {
    if (!d_.Image() || !CheckClipboardHasImage()) return;
    if (!d_.Ops().BeginUndoableOperation(ukWholeLayer, d_.Caption("MenuEditionCollageAlpha"))) return;
    TBusyScope busy(Services());
    if (!PasteAsAlpha(d_.Host(), ClipboardData())) {
      d_.DropStep();
      return;
    }
    if (TLayeredImage* image = d_.Image()) image->InvalidateImage();
    d_.PixelsChanged();
  }

  void DefinePattern() {
    if (!d_.Image() || CheckSelectionHasPixels(d_.Host())) return;
    TBusyScope busy(Services());
    DefinePatternFromSelection(d_.Host());
    if (d_.Hooks.PatternChanged) d_.Hooks.PatternChanged(!Services().FillPattern().Empty());
  }

  void FillPattern() {
    TBitmap* layer = Services().GetActiveLayerBitmap();
    const TBitmap& pattern = Services().FillPattern();
    if (!layer || pattern.Empty()) return;
    TBusyScope busy(Services());
    if (!d_.Ops().BeginUndoableOperation(ukWorkRect, d_.Caption("MenuEditionRemplirMotif"))) return;
    const TRect r = Services().GetWorkRect();
    FillRectWithPattern(pattern, *layer, r.Left, r.Top, r, 100,
                        pattern.Transparent ? pattern.EffectiveTransparentColor() : clNone, 0);
    // a shaped selection keeps the fill inside its outline
    Services().RestrictToSelection(seSmooth);
    if (TLayeredImage* image = d_.Image()) image->InvalidateLayerRect(image->LayerRectToImageRect(r));
    d_.PixelsChanged();
  }

  void PurgeHistories() {
    Services().Windows().PurgeAllHistories();
    Services().UpdateStatusBar();
    if (d_.Ops().Hooks.UpdateHistoryMenus) d_.Ops().Hooks.UpdateHistoryMenus();
  }

  void PurgePattern() {
    d_.Host().SetFillPattern(TBitmap());
    if (d_.Hooks.PatternChanged) d_.Hooks.PatternChanged(false);
  }

  // Tags 0..4: flip vertical, flip horizontal, quarter turn clockwise and
  // counter-clockwise, half turn. From the selection pop-up the selection's content
  // first becomes a layer turned the same way.
  void TransformSelection(const TCommandSender& s) {
    TSelectionControl* sel = Services().GetActiveSelection();
    if (!sel || !d_.Image()) return;
    if (s.Parent == "PopSelTransform") {
      TBusyScope busy(Services());
      if (TransformSelectionLayer(d_.Host(), MakeNewLayerName(d_.Host()), s.Tag() + 1) >= 0) {
        d_.StackChanged();
        d_.SelectLayerTool();
      }
    }
    sel->TransformTriangle(s.Tag());
    Services().RepaintActiveImage();
  }

  TDocumentCommands& d_;
};

}  // namespace

void RegisterEditCommands(TDocumentCommands& d) { RegisterMenu<TEditCommands>(d); }

}  // namespace qm
