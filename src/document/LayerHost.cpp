#include "document/LayerHost.h"

#include "pixel/ImgUtils.h"

namespace qm {

TRect TLayerHost::VisibleImageRect() {
  TLayeredImage* image = ActiveImage();
  if (!image || image->GetLayerCount() == 0) return TRect{};
  return GetBitmapRect(image->Layers[0].Image);
}

void TLayerHost::HideSelection() {
  if (TSelectionOverlay* sel = ActiveSelection()) sel->Visible = false;
}

void TLayerHost::ShowSelection() {
  if (TSelectionOverlay* sel = ActiveSelection()) sel->Visible = true;
}

TBitmap* TLayerHost::ActiveLayerBitmap() {
  TLayeredImage* image = ActiveImage();
  TLayerItem* layer = image ? image->GetActiveLayer() : nullptr;
  return layer ? &layer->Image : nullptr;
}

TPoint TLayerHost::ActiveLayerOrigin() {
  TLayeredImage* image = ActiveImage();
  if (!image || image->ActiveIndex() <= 0) return TPoint{};
  const TLayerItem* layer = image->GetActiveLayer();
  return layer ? TPoint{layer->Left, layer->Top} : TPoint{};
}

TBitmap* TLayerHost::BaseLayerBitmap() {
  TLayeredImage* image = ActiveImage();
  return image && image->GetLayerCount() > 0 ? &image->Layers[0].Image : nullptr;
}

bool TLayerHost::IsActiveImageTrueColor() {
  TLayeredImage* image = ActiveImage();
  return image && image->ColorCount >= 257;
}

TRect GetWorkRect(TLayerHost& host) {
  TLayeredImage* image = host.ActiveImage();
  if (!image || !image->GetActiveLayer()) return TRect{};
  const TSelectionOverlay* sel = host.ActiveSelection();
  TRect r;
  if (sel && sel->Inverted) r = GetBitmapRect(image->Layers[0].Image);
  else if (sel && sel->Visible) r = sel->SelRect;
  else r = image->GetActiveLayerBounds();
  return image->ImageRectToLayerRect(r);
}

TStandaloneDocument::TStandaloneDocument(int historyCapacity) : History(historyCapacity) {
  Image.ColorCount = 16777216;
  Image.SetHistory(&History);
}

TStandaloneDocument::~TStandaloneDocument() { Image.SetHistory(nullptr); }

void TStandaloneDocument::ResnapUndoStep(const TRect& rect) {
  TUndoLayerItem* step = History.GetCurrentUndoStep();
  if (step && step->Layer && step->Mode == umRect)
    ResnapUndoStepRect(*step, rect, step->Which == uwMask ? step->Layer->Mask : step->Layer->Image);
}

void TStandaloneDocument::OpenImageDocument(TBitmap&& image, int colorCount, const std::string& caption) {
  Opened.push_back(TOpened{std::move(image), colorCount, caption});
}

}  // namespace qm
