// The Image menu: duplicate, colour modes, flips and quarter turns of the background
// or of every layer, crops, the transparency commands and the image dialogs; and the
// image tool bar's flip and turn buttons, which work on the active layer when it is not
// the background.
#include <QAction>

#include "document/LayerOps.h"
#include "document/qt/SelectionLayerOps.h"
#include "document/qt/SelectionMask.h"
#include "pixel/Blend.h"
#include "pixel/ColorAdjust.h"
#include "pixel/ColorReduce.h"
#include "pixel/ImgUtils.h"
#include "pixel/Mask.h"
#include "platform/core/Messages.h"
#include "platform/texts/Format.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/CommandChecks.h"
#include "shell/commands/DocumentCommandsImpl.h"
#include "shell/commands/SelectionCommands.h"
#include "shell/services/ShellServices.h"

namespace qm {
namespace {

// The background's flip or turn of an image command, by the all-layer code it records
// (1 flip vertical, 2 horizontal, 3 quarter turn clockwise, 4 counter-clockwise, 5 half).
void FlipRotateBackground(TLayerItem& bg, int code) {
  switch (code) {
    case 1: bg.FlipVertical(); break;
    case 2: bg.FlipHorizontal(); break;
    case 3: bg.RotateQuarter(); break;
    case 4: bg.RotateQuarterReverse(); break;
    case 5: bg.RotateHalf(); break;
    default: break;
  }
}


class TImageCommands {
 public:
  explicit TImageCommands(TDocumentCommands& d) : d_(d) {}

  void Register() {
    using S = const TCommandSender&;
    d_.On("MenuDupliquer", [this](S) { Duplicate(); });
    d_.On("MenuModeRGB", [this](S s) { ModeRGB(s); });
    d_.On("MenuModeRGBA", [this](S) { ModeRGBA(); });
    d_.OnShared("MenuImageSymHorizClick", [this](S s) { FlipRotate(1, s); });
    d_.OnShared("MenuImageSymVertiClick", [this](S s) { FlipRotate(2, s); });
    d_.OnShared("MenuImageRot90Click", [this](S s) { FlipRotate(3, s); });
    d_.OnShared("MenuImageRot270Click", [this](S s) { FlipRotate(4, s); });
    d_.OnShared("MenuImageRot180Click", [this](S s) { FlipRotate(5, s); });
    d_.OnShared("BtnSymRotClick", [this](S s) { ToolButton(s); });
    d_.OnShared("MenuImageRecadrerClick", [this](S s) { Crop(s); });
    d_.On("MenuImageRecadrerAuto", [this](S) { AutoCrop(); });
    d_.OnShared("MenuImageTransAutoClick", [this](S s) { AutoTransparency(s.Tag() == 1); });
    if (d_.Dialogs && d_.Dialogs->HasDialog("TIndexForm"))
      d_.OnShared("MenuModeIndexClick", [this](S s) { ModeIndex(s); });
  }

 private:
  TShellServices& Services() { return d_.Services; }

  void Duplicate() {
    TNewImgForm* w = Services().GetActiveImgForm();
    if (!w) return;
    const std::string title = Format(TextId::GetTrFmtDuplicate, {w->windowTitle().toStdString()});
    TNewImgForm* copy = Services().CreateImageWindow(nullptr, &w->Image(), w->Image().ColorCount, true, {});
    if (copy) copy->setWindowTitle(QString::fromStdString(title));
  }

  // Back to plain colours. Alpha is the background's mask and the menus keep an image
  // with alpha to one layer; a document that breaks that (a file, a plug-in) is refused
  // rather than have some other layer's mask emptied.
  void ModeRGB(const TCommandSender& s) {
    if (!Services().CanRunCommand(s.Action)) return;
    TLayeredImage* image = d_.Image();
    if (!image) return;
    if (!image->Layers[0].Mask.Empty() && !CheckLayersMerged(image)) return;
    TBusyScope busy(Services());
    if (!d_.Ops().BeginUndoableOperation(ukLayerMask, d_.Caption(s.Row->Name))) return;
    image->Layers[0].Mask.Clear();
    image->ColorCount = 16777216;
    image->InvalidateImage();
    d_.StackChanged();
    d_.Services.RefreshLayerNavigator();
  }

  void ModeIndex(const TCommandSender& s) {
    if (!Services().CanRunCommand(s.Action)) return;
    TLayeredImage* image = d_.Image();
    if (!image || !CheckLayersMerged(image)) return;
    if (image->BackgroundHasTransparency() &&
        ShowMessageDialog(Tr(TextId::GetTrDlgMain13), mtConfirmation, mbYes | mbNo) != mrYes)
      return;
    d_.RunDialog("MenuModeIndex", "TIndexForm", s);
  }

  void ModeRGBA() {
    TLayeredImage* image = d_.Image();
    if (!image || !CheckLayersMerged(image)) return;
    TBusyScope busy(Services());
    TLayerItem& bg = image->Layers[0];
    const bool keyed = bg.Image.Transparent;
    if (!d_.Ops().BeginUndoableOperation(keyed ? ukWholeImage : ukLayerMask, d_.Caption("MenuModeRGBA"))) return;
    bg.CreateDefaultMask();
    if (keyed) {
      ExcludeColorFromMask(bg.Image, bg.Mask, bg.Image.EffectiveTransparentColor(), 0, GetBitmapRect(bg.Image));
      bg.Image.Transparent = false;
    }
    image->ColorCount = 16777216;
    image->InvalidateImage();
    d_.StackChanged();
    d_.Services.RefreshLayerNavigator();
  }

  // code: 1 flip vertical, 2 horizontal, 3 and 4 quarter turns, 5 half turn; the
  // sender's tag 1 is the "all layers" item.
  void FlipRotate(int code, const TCommandSender& s) {
    TLayeredImage* image = d_.Image();
    if (!image || CheckNoTextLayer(image)) return;
    const bool all = s.Tag() == 1;
    TBusyScope busy(Services());
    const std::string caption =
        code >= 3 ? d_.Caption("MenuImageRot90").substr(0, d_.Caption("MenuImageRot90").find(' '))
                  : d_.Caption(s.Row->Parent);
    // a flip or a turn of whole bitmaps is never restricted to a selection: no copy of
    // the background is taken for one
    TUndoLayerItem* step = d_.Ops().BeginUndoableOperation(ukWholeImage, caption, false);
    if (!step) return;
    // (the all-layer operation makes the strip's thumbnails again itself)
    if (all && image->GetLayerCount() > 1) {
      SetUndoStepParam(*step, upFlipRotate, code);
      FlipRotateAllLayers(d_.Host(), code, true);
    } else {
      FlipRotateBackground(image->Layers[0], code);
      d_.Host().LayerStackChanged(TLayerChange::Changed, 0);
    }
    if (code == 3 || code == 4) Services().ResetImageWindowState();
    d_.StackChanged(false);
    d_.Services.RefreshLayerNavigator();
  }

  // The flip and turn buttons: the background's image command, or the active layer's.
  void ToolButton(const TCommandSender& s) {
    if (!Services().CanRunCommand(s.Action)) return;
    TLayeredImage* image = d_.Image();
    if (!image) return;
    static const char* const kImage[] = {"MenuImageSymVerti1", "MenuImageSymHoriz1", "MenuImageRot270_1",
                                         "MenuImageRot90_1"};
    static const char* const kLayer[] = {"MenuCalqueSymVert", "MenuCalqueSymHoriz", "MenuCalque90a",
                                         "MenuCalque90h"};
    const int tag = std::clamp(s.Tag(), 0, 3);
    d_.Commands.Trigger(image->ActiveIndex() == 0 ? kImage[tag] : kLayer[tag]);
  }

  // Crop to the selection: the active layer alone from the layer menu and the selection
  // pop-up while a layer is active, else the whole image.
  void Crop(const TCommandSender& s) {
    TLayeredImage* image = d_.Image();
    TSelectionControl* sel = Services().GetActiveSelection();
    if (!image || !sel || CheckSelectionHasPixels(d_.Host())) return;
    const bool layer = (s.Name() == "MenuCalqueRecadrer" || s.Name() == "PopSelRecadrer") && image->ActiveIndex() > 0;
    const bool shown = sel->Visible;
    // the whole-layer steps hide the selection; the crop still reads it
    if (layer) {
      if (!d_.Ops().BeginUndoableOperation(ukWholeLayer, d_.Caption("MenuCalqueRecadrer"))) return;
      if (shown) d_.Host().ShowSelection();
      CropActiveLayerToSelection(d_.Host());
      d_.HideSelection();
      d_.StackChanged();
      d_.Services.RefreshLayerNavigator();
      return;
    }
    if (!d_.Ops().BeginUndoableOperation(ukWholeImage, d_.Caption("PopSelRecadrer"))) return;
    if (shown) d_.Host().ShowSelection();
    CropAllLayers(d_.Host());
    Services().ResetImageWindowState();
    d_.StackChanged();
  }

  void AutoCrop() {
    TLayeredImage* image = d_.Image();
    if (!image) return;
    d_.HideSelection();
    Services().RepaintActiveImage();
    TLayerItem& bg = image->Layers[0];
    const TRect whole = GetBitmapRect(bg.Image);
    TRect r{};
    FindTrimRect(bg.Image, 33, clNone, r);
    if (!bg.Mask.Empty() && !r.IsEmpty()) {
      TRect m{};
      FindTrimRect(bg.Mask, 0, clWhite, m);
      r = IntersectRect(r, m);
    }
    if (r.IsEmpty() || r == whole) {
      ShowMessageDialog(Tr(TextId::GetTrDlgMain6), mtWarning, mbOK);
      return;
    }
    TUndoLayerItem* step = d_.Ops().BeginUndoableOperation(ukWholeImage, d_.Caption("MenuImageRecadrerAuto"));
    if (!step) return;
    CropBitmap(bg.Image, r);
    if (!bg.Mask.Empty()) CropBitmap(bg.Mask, r);
    SetUndoStepParam(*step, upOffsetX, -r.Left);
    SetUndoStepParam(*step, upOffsetY, -r.Top);
    OffsetAllLayers(d_.Host(), -r.Left, -r.Top, true);
    image->InvalidateImage();
    Services().ResetImageWindowState();
    d_.StackChanged();
  }

  // The region outside (or inside) the selection becomes the background's transparent
  // colour.
  void AutoTransparency(bool inside) {
    TLayeredImage* image = d_.Image();
    if (!image || !CheckLayersMerged(image)) return;
    std::unique_ptr<TBitmap> mask = ApplySelectionMaskToLayer(d_.Host(), seSmooth);
    if (!d_.Ops().BeginUndoableOperation(ukWholeImage, d_.Caption(inside ? "MenuImageTransAutoIn"
                                                                         : "MenuImageTransAutoExt")))
      return;
    TBusyScope busy(Services());
    TBitmap& bg = image->Layers[0].Image;
    if (image->ColorCount >= 256) {
      ReduceBitmapColors(bg, 256, 65);
      image->ColorCount = 256;
    }
    const TRect all = GetBitmapRect(bg);
    if (!mask) mask = std::make_unique<TBitmap>(bg.Width(), bg.Height(), pf24bit, clWhite);
    // the restore mask is 0 where the change stays out: outside the selection
    if (inside) InvertRect(*mask, GetBitmapRect(*mask));
    const TColor key = bg.EffectiveTransparentColor();
    BlendColorThroughMask(*mask, GetBitmapRect(*mask), bg, 0, 0, all, key, 100);
    bg.TransparentColor = key;
    bg.Transparent = true;
    image->InvalidateImage();
    d_.StackChanged();
    d_.Services.RefreshLayerNavigator();
  }

  TDocumentCommands& d_;
};

}  // namespace

void RegisterImageCommands(TDocumentCommands& d) { RegisterMenu<TImageCommands>(d); }

}  // namespace qm
