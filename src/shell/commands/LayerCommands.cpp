// The Layer menu and the layer pop-up: new layers of every kind, duplicate and delete,
// a new background, text to image, flips and turns, edge effects and transparency
// gradients on the layer's mask, crop to content, alpha commands, rename, centring,
// merges, visibility and lock, and the View menu's thumbnail sizes.
#include <QAction>
#include <QMenu>

#include "document/LayerOps.h"
#include "pixel/ColorAdjust.h"
#include "pixel/Composite.h"
#include "pixel/ImgUtils.h"
#include "pixel/Mask.h"
#include "pixel/RectUtils.h"
#include "platform/core/Messages.h"
#include "platform/texts/UiTexts.h"
#include "imagefiles/PictureFiles.h"
#include "shell/services/CommandChecks.h"
#include "shell/commands/DocumentCommandsImpl.h"
#include "shell/services/MsgDlg.h"
#include "shell/commands/SelectionCommands.h"
#include "shell/services/ShellServices.h"

namespace qm {
namespace {


class TLayerCommands {
 public:
  explicit TLayerCommands(TDocumentCommands& d) : d_(d) {}

  void Register() {
    using S = const TCommandSender&;
    d_.On("MenuCalqueCouleur", [this](S s) { NewColorLayer(s); });
    d_.On("MenuCalqueReglage", [this](S s) { NewAdjustmentLayer(s); });
    d_.On("MenuCalqueOuvrir", [this](S) { OpenAsLayer(); });
    d_.OnShared("MenuCalqueDupliquerClick", [this](S) { Duplicate(); });
    d_.On("MenuCalqueSupprimer", [this](S) { Delete(); });
    d_.On("MenuCalqueFond", [this](S) { NewBackground(); });
    d_.On("MenuCalqueTxtToCalque", [this](S s) { TextToImage(s); });
    d_.OnShared("MenuCalqueSymClick", [this](S s) { FlipRotate(s); });
    d_.On("MenuCalqueBordLisser", [this](S) { Edge(0); });
    d_.On("MenuCalqueBordFlou", [this](S) { Edge(1); });
    d_.On("MenuCalqueBordProgressif", [this](S) { Edge(2); });
    d_.On("MenuCalqueBordDispersion", [this](S) { Edge(3); });
    d_.On("MenuCalqueBordDechire", [this](S) { Edge(4); });
    d_.OnShared("MenuCalqueDegradeClick", [this](S s) { Gradient(s.Tag()); });
    d_.OnShared("MenuCalqueDegradeRadialClick", [this](S s) { RadialGradient(s.Tag() == 1); });
    d_.On("MenuCalqueCropTrans", [this](S) { CropToContent(); });
    d_.On("MenuCalqueDelTrans", [this](S) { Opaque(); });
    d_.On("MenuCalqueEditAlpha", [this](S) { OpenLayerAlphaAsImage(d_.Host()); });
    d_.On("MenuCalqueRenommer", [this](S s) { Rename(s); });
    d_.OnShared("MenuCalqueCentreClick", [this](S s) { Centre(TAlignment(s.Tag())); });
    d_.OnShared("MenuCalqueMasquerToutClick", [this](S s) { ShowAll(s.Tag() == 1); });
    d_.On("MenuCalqueFusionOmbre", [this](S) { MergeShadow(); });
    d_.On("MenuCalqueFusionPrev", [this](S) { MergeDown(); });
    d_.On("MenuCalqueFusionAllVisible", [this](S) { MergeAll(true); });
    d_.On("MenuCalqueFusionAll", [this](S) { MergeAll(false); });
    d_.On("PopCalqueVisible", [this](S) { Toggle(true); });
    d_.On("PopCalqueVerrou", [this](S) { Toggle(false); });
    d_.OnShared("MenuAffichageMiniatureClick", [this](S s) { Thumbnails(s); });
    if (d_.HasDialog("TOpCalqueForm") || d_.HasDialog("TTextForm"))
      d_.On("MenuCalqueOptions", [this](S s) { Options(s); });
    if (QMenu* popup = d_.Commands.Menu("PopCalque"))
      QObject::connect(popup, &QMenu::aboutToShow, &d_, [this] { PopupChecks(); });
  }

 private:
  TShellServices& Services() { return d_.Services; }

  // The layer is flagged blocked: nothing happens, as the menus would have said.
  bool Free() { return d_.ActiveLayer() && !IsActiveLayerBlocked(d_.Image()); }

  void OpenNewLayerOptions(const TCommandSender& s) {
    d_.RunDialog(s.Name(), "TOpCalqueForm", s);
  }

  void NewColorLayer(const TCommandSender& s) {
    if (!d_.Image()) return;
    d_.HideSelection();
    if (AddColorLayer(d_.Host(), MakeNewLayerName(d_.Host()), d_.Host().ForegroundColor(), 50, false) < 0) return;
    d_.StackChanged();
    OpenNewLayerOptions(s);
  }

  void NewAdjustmentLayer(const TCommandSender& s) {
    if (!d_.Image()) return;
    d_.HideSelection();
    if (AddAdjustmentLayer(d_.Host(), MakeNewLayerName(d_.Host()), TLayerAdjustment{}, 100) < 0) return;
    d_.StackChanged();
    OpenNewLayerOptions(s);
  }

  void OpenAsLayer() {
    if (!d_.Image()) return;
    d_.HideSelection();
    std::string name = d_.Hooks.AskLayerFileName ? d_.Hooks.AskLayerFileName() : std::string();
    if (d_.Hooks.AskLayerFileName && name.empty()) return;
    TBitmap picture;
    {
      TBusyScope busy(Services(), Tr(TextId::GetTrStaOpening));
      if (LoadBitmapFile(Services().FileSettings, name, picture,
                         d_.Hooks.OpenFolder ? d_.Hooks.OpenFolder() : std::string()) != 1 ||
          picture.Empty())
        return;
    }
    const TRect at = PlaceLayerAtSelection(d_.Host(), TRect{0, 0, picture.Width(), picture.Height()});
    if (AddLayerFromBitmap(d_.Host(), MakeNewLayerName(d_.Host()), std::move(picture), TBitmap(),
                           TPoint{at.Left, at.Top}) < 0)
      return;
    d_.StackChanged();
    d_.SelectLayerTool();
  }

  void Duplicate() {
    if (DuplicateActiveLayer(d_.Host()) < 0) return;
    d_.StackChanged();
    d_.SelectLayerTool();
  }

  static std::string DeleteTitle() {
    return TDocumentCommands::Caption("MenuCalque") + " / " + TDocumentCommands::Caption("MenuCalqueSupprimer");
  }

  void Delete() {
    TLayeredImage* image = d_.Image();
    TLayerItem* layer = d_.ActiveLayer();
    if (!image || !layer || image->ActiveIndex() < 1) return;
    if (!ConfirmIrreversibleAction(DeleteTitle())) return;
    d_.HideSelection();
    if (TUndoList* history = Services().GetActiveHistory()) history->RemoveLayerUndoSteps(*layer);
    DeleteActiveLayer(d_.Host());
    d_.StackChanged();
  }

  void NewBackground() {
    TLayeredImage* image = d_.Image();
    if (!image || !ConfirmIrreversibleAction(d_.Caption("MenuCalqueFond"))) return;
    TBusyScope busy(Services());
    const TBitmap& bg = image->Layers[0].Image;
    ConvertBackgroundToLayer(d_.Host(), TBitmap(bg.Width(), bg.Height(), pf24bit, d_.Host().BackgroundColor()));
    d_.StackChanged();
  }

  void TextToImage(const TCommandSender& s) {
    TLayerItem* layer = d_.ActiveLayer();
    if (!layer || !IsTextLayerActive(d_.Image())) return;
    if (!d_.Ops().BeginUndoableOperation(ukTextToImage, d_.Caption(s.Row->Name))) return;
    layer->LayerType = ltBitmap;
    d_.StackChanged();
  }

  // Tags 1..5: flip vertical, flip horizontal, quarter turn clockwise and
  // counter-clockwise, half turn of the active layer, in place.
  void FlipRotate(const TCommandSender& s) {
    TLayerItem* layer = d_.ActiveLayer();
    if (!layer || d_.Image()->ActiveIndex() < 1) return;
    TBusyScope busy(Services());
    if (!d_.Ops().BeginUndoableOperation(ukWholeLayer, d_.Caption(s.Row->Name))) return;
    switch (s.Tag()) {
      case 1: layer->FlipVertical(); break;
      case 2: layer->FlipHorizontal(); break;
      case 3: layer->RotateQuarter(); break;
      case 4: layer->RotateQuarterReverse(); break;
      case 5: layer->RotateHalf(); break;
      default: break;
    }
    d_.StackChanged(false);
    Services().RefreshLayerNavigator();
  }

  // A mask step over the whole layer: a layer without a mask gets its default one first
  // (fully shown), so that the step holds what it changes.
  TLayerItem* BeginMaskStep(const std::string& caption) {
    TLayerItem* layer = d_.ActiveLayer();
    if (!layer || layer->Image.Empty()) return nullptr;
    layer->CreateDefaultMask();
    if (layer->Mask.Empty() || !d_.Ops().BeginUndoableOperation(ukWorkRectMask, caption)) return nullptr;
    return layer;
  }

  void MaskChanged() {
    if (TLayeredImage* image = d_.Image()) image->InvalidateImage();
    d_.PixelsChanged();
  }

  void Edge(int effect) {
    TBusyScope busy(Services());
    d_.HideSelection();
    TLayerItem* layer = BeginMaskStep(d_.Caption("MenuCalqueEffetBord"));
    if (!layer) return;
    const TRect all = UnboundedRect;
    switch (effect) {
      case 0: FeatherMaskEdgesRect(layer->Mask, all); break;
      case 1:
        ApplyMinMaxPasses(layer->Mask, -3, all);
        ApplyBlurPasses(layer->Mask, 3, all);
        break;
      case 2: ApplyLayerEdgeProgressive(*layer); break;
      case 3: ApplyLayerEdgeDispersion(*layer); break;
      default: ApplyLayerEdgeTorn(*layer); break;
    }
    MaskChanged();
  }

  // The mask only gets lighter: a gradient never shows again what the mask hid.
  void KeepLighter(TLayerItem& layer, const TRect& r) {
    if (const TBitmap* before = d_.Ops().PreChangeCopy()) MergeRectMax(*before, layer.Mask, 0, 0, r);
  }

  // Tags 0..3: left to right, right to left, top to bottom, bottom to top, each from
  // shown (black) to hidden (white).
  void Gradient(int tag) {
    if (!d_.ActiveLayer() || CheckSelectionHasPixels(d_.Host())) return;
    TLayerItem* layer = BeginMaskStep(d_.Caption("MenuCalqueDegrade"));
    if (!layer) return;
    const TRect r = IntersectRect(Services().GetWorkRect(), GetBitmapRect(layer->Mask));
    const bool reversed = tag == 1 || tag == 3;
    FillGradientRect(layer->Mask, reversed ? clWhite : clBlack, 100, r, tag >= 2 ? 1 : 0, 100,
                     reversed ? clBlack : clWhite);
    KeepLighter(*layer, r);
    MaskChanged();
  }

  void RadialGradient(bool inverted) {
    d_.HideSelection();
    TLayerItem* layer = BeginMaskStep(d_.Caption("MenuCalqueDegrade"));
    if (!layer) return;
    TBitmap& m = layer->Mask;
    FillRadialGradient(m, inverted ? clWhite : clBlack, inverted ? clBlack : clWhite,
                       std::min(m.Width(), m.Height()) / 2, m.Width() / 2, m.Height() / 2, GetBitmapRect(m));
    KeepLighter(*layer, IntersectRect(Services().GetWorkRect(), GetBitmapRect(m)));
    MaskChanged();
  }

  void CropToContent() {
    TLayerItem* layer = d_.ActiveLayer();
    if (!layer) return;
    d_.HideSelection();
    TRect r{};
    if (!layer->Mask.Empty()) FindTrimRect(layer->Mask, 0, clWhite, r);
    if (r.IsEmpty() || r == GetBitmapRect(layer->Mask)) {
      ShowMessageDialog(Tr(TextId::GetTrDlgMain6), mtWarning, mbOK);
      return;
    }
    TBusyScope busy(Services());
    if (!d_.Ops().BeginUndoableOperation(ukWholeLayer, d_.Caption("MenuCalqueCropTrans"))) return;
    layer->CropToContent();
    d_.StackChanged();
    Services().RefreshLayerNavigator();
  }

  void Opaque() {
    TLayerItem* layer = d_.ActiveLayer();
    if (!layer || layer->Mask.Empty()) return;
    TBusyScope busy(Services());
    if (!d_.Ops().BeginUndoableOperation(ukLayerMask, d_.Caption("MenuCalqueDelTrans"))) return;
    TintRect(layer->Mask, clBlack, 100, GetBitmapRect(layer->Mask));
    MaskChanged();
  }

  void Rename(const TCommandSender& s) {
    TLayerItem* layer = d_.ActiveLayer();
    if (!layer || d_.Image()->ActiveIndex() < 1) return;
    std::string name = layer->GetDisplayName();
    if (!InputQueryDialog(d_.Caption(s.Row->Name), Tr(TextId::TrFixNewLayerName), name)) return;
    layer = d_.ActiveLayer();  // the dialog let events run
    if (!layer) return;
    layer->Name = name;
    d_.StackChanged();
  }

  void Options(const TCommandSender& s) {
    if (!Free()) return;
    const bool text = IsTextLayerActive(d_.Image());
    d_.RunDialog("MenuCalqueOptions", text ? "TTextForm" : "TOpCalqueForm", s);
  }

  void Centre(TAlignment alignment) {
    TLayeredImage* image = d_.Image();
    TLayerItem* layer = d_.ActiveLayer();
    if (!image || !layer || image->ActiveIndex() < 1 || !Free()) return;
    const TRect before = image->GetActiveLayerBounds();
    TRect r = before;
    AlignRectInRect(r, GetBitmapRect(image->Layers[0].Image), alignment);
    if (r.Left == before.Left && r.Top == before.Top) return;
    d_.Ops().PushLayerMoveUndo(TPoint{layer->Left, layer->Top});
    layer->Left += r.Left - before.Left;
    layer->Top += r.Top - before.Top;
    image->InvalidateImage();
    Services().ShowLayerRectStatus(*Services().GetActiveImgForm());
    d_.StackChanged();
  }

  void ShowAll(bool visible) {
    HideAllLayers(d_.Host(), visible);
    d_.StackChanged();
  }

  void MergeShadow() {
    TLayeredImage* image = d_.Image();
    TLayerItem* layer = d_.ActiveLayer();
    if (!image || !layer || !layer->Shadow.Enabled) return;
    TBusyScope busy(Services());
    if (!d_.Ops().BeginUndoableOperation(ukWholeLayer, d_.Caption("MenuCalqueFusionOmbre"))) return;
    image->ApplyLayerShadow(*layer);
    d_.StackChanged();
    Services().RefreshLayerNavigator();
  }

  void MergeDown() {
    TLayeredImage* image = d_.Image();
    const int a = image ? image->ActiveIndex() : -1;
    if (a < 1 || image->Layers[a - 1].LayerType != ltBitmap) return;
    if (!ConfirmIrreversibleAction(d_.Caption("MenuCalqueFusionPrev"))) return;
    TBusyScope busy(Services());
    d_.HideSelection();
    TLayerItem& upper = image->Layers[a];
    TLayerItem& lower = image->Layers[a - 1];
    if (TUndoList* history = Services().GetActiveHistory()) {
      history->RemoveLayerUndoSteps(upper);
      history->RemoveLayerUndoSteps(lower);
    }
    // what the shadows showed stays: each is drawn into its layer first
    image->ApplyLayerShadow(lower);
    image->ApplyLayerShadow(upper);
    image->MergeLayerDown(false);
    image->SetActiveLayerIndex(a - 1);
    d_.StackChanged();
  }

  // Merge all, or the visible layers only; the history goes with the layers it names.
  void MergeAll(bool visibleOnly) {
    TLayeredImage* image = d_.Image();
    if (!image || image->GetLayerCount() < 2) return;
    if (!ConfirmIrreversibleAction(d_.Caption(visibleOnly ? "MenuCalqueFusionAllVisible" : "MenuCalqueFusionAll")))
      return;
    TBusyScope busy(Services());
    d_.HideSelection();
    if (visibleOnly) image->MergeVisibleLayers();
    else image->FlattenAllLayers();
    if (TNewImgForm* w = Services().GetActiveImgForm()) w->PurgeHistory();
    if (d_.Ops().Hooks.UpdateHistoryMenus) d_.Ops().Hooks.UpdateHistoryMenus();
    d_.StackChanged();
  }

  void Toggle(bool visibility) {
    TLayerItem* layer = d_.ActiveLayer();
    if (!layer) return;
    if (visibility) {
      if (d_.Image()->ActiveIndex() < 1) return;
      layer->Visible = !layer->Visible;
      d_.Image()->InvalidateImage();
    } else {
      layer->Locked = !layer->Locked;
    }
    d_.StackChanged();
  }

  void PopupChecks() {
    const TLayerItem* layer = d_.ActiveLayer();
    if (QAction* a = d_.Commands.Action("PopCalqueVisible")) a->setChecked(layer && layer->Visible);
    if (QAction* a = d_.Commands.Action("PopCalqueVerrou")) a->setChecked(layer && layer->Locked);
  }

  void Thumbnails(const TCommandSender& s) {
    for (const char* name : {"MenuAffichageMiniature1", "MenuAffichageMiniature2", "MenuAffichageMiniature3"})
      if (QAction* a = d_.Commands.Action(name)) a->setChecked(a == s.Action);
    if (d_.Hooks.ThumbnailSizeChanged) d_.Hooks.ThumbnailSizeChanged(s.Tag());
    Services().Windows().UpdateLayerStripAll();
  }

  TDocumentCommands& d_;
};

}  // namespace

void RegisterLayerCommands(TDocumentCommands& d) { RegisterMenu<TLayerCommands>(d); }

}  // namespace qm
