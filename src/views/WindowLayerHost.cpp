#include "views/WindowLayerHost.h"

#include "document/Undo.h"
#include "views/ImageWindows.h"

namespace qm {

TWindowLayerHost::TWindowLayerHost(TImageWindows& windows)
    : target_([&windows] { return windows.Current(); }), list_(&windows) {}

TWindowLayerHost::TWindowLayerHost(TNewImgForm& window)
    : target_([&window] { return &window; }), list_(&window.Windows()) {}

TLayeredImage* TWindowLayerHost::ActiveImage() {
  TNewImgForm* w = Window();
  return w ? &w->Image() : nullptr;
}

TUndoList* TWindowLayerHost::ActiveHistory() {
  TNewImgForm* w = Window();
  return w ? &w->History() : nullptr;
}

int TWindowLayerHost::NextLayerNumber() {
  TNewImgForm* w = Window();
  return w ? ++w->LayerNameCounter : 0;
}

TRect TWindowLayerHost::VisibleImageRect() {
  TNewImgForm* w = Window();
  if (!w || w->Image().GetLayerCount() == 0) return TLayerHost::VisibleImageRect();
  const TMyImageLayered& view = w->View();
  const TRect visible = view.GetVisibleImageRect();
  // a view not laid out yet shows nothing: the whole image stands for it
  return visible.IsEmpty() ? TLayerHost::VisibleImageRect() : view.ClientToImageRect(visible);
}

void TWindowLayerHost::LayerStackChanged(TLayerChange change, int index) {
  TNewImgForm* w = Window();
  if (!w) return;
  TLayerNavigator& strip = w->Navigator();
  switch (change) {
    case TLayerChange::Changed:
      strip.UpdateLayerThumbnail(index);
      break;
    case TLayerChange::Added:
    case TLayerChange::Deleted:
      // A layer came or went without a step of its own (or inside the step just
      // pushed): the steps ahead were taken on the stack before it and would replay
      // onto the wrong layers.
      w->History().DiscardRedoSteps();
      strip.SyncLayerNavigatorCount();
      strip.ShowActiveLayerRow();
      break;
    case TLayerChange::Rebuild:
      strip.InvalidateLayerNavigator(true);
      [[fallthrough]];
    case TLayerChange::Selected:
      strip.SyncLayerNavigatorCount();
      strip.ShowActiveLayerRow();
      break;
  }
  w->View().RefreshCursor();
}

void TWindowLayerHost::HideSelection() {
  if (TNewImgForm* w = Window()) w->Selection().Hide();
}

void TWindowLayerHost::ShowSelection() {
  if (TNewImgForm* w = Window()) w->Selection().Show();
}

TSelectionOverlay* TWindowLayerHost::ActiveSelection() {
  TNewImgForm* w = Window();
  return w ? &w->Selection() : nullptr;
}

void TWindowLayerHost::ResnapUndoStep(const TRect& rect) {
  TNewImgForm* w = Window();
  TUndoLayerItem* step = w ? w->History().GetCurrentUndoStep() : nullptr;
  if (step && step->Layer && step->Mode == umRect)
    ResnapUndoStepRect(*step, rect, step->Which == uwMask ? step->Layer->Mask : step->Layer->Image);
}

void TWindowLayerHost::OpenImageDocument(TBitmap&& image, int colorCount, const std::string& caption) {
  TImageWindowSetup setup;
  setup.Bitmap = std::move(image);
  setup.ColorCount = colorCount;
  setup.FileName = caption;
  const TNewImgForm* w = Window();
  setup.Maximised = w && w->isMaximized();
  TNewImgForm::CreateWithImage(*list_, std::move(setup));
}

}  // namespace qm
