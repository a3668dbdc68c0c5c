#include "shell/services/CommandChecks.h"

#include "document/LayerHost.h"
#include "document/LayeredImage.h"
#include "document/qt/Clipboard.h"
#include "imagefiles/FileFormats.h"
#include "platform/core/Messages.h"
#include "platform/texts/UiTexts.h"

namespace qm {
namespace {

bool Refuse(TextId message) {
  ShowMessageDialog(Tr(message), mtWarning, mbOK);
  return false;
}

bool Ask(TextId question, const std::string& title = {}) {
  return ShowMessageDialog(Tr(question), mtConfirmation, mbYes | mbNo, title) == mrYes;
}

}  // namespace

bool CheckLayersMerged(const TLayeredImage* image) {
  return !image || image->GetLayerCount() <= 1 || Refuse(TextId::GetTrDlgLayer1);
}

bool CheckNoTextLayer(const TLayeredImage* image) {
  if (!image) return false;
  for (int i = 0; i < image->GetLayerCount(); ++i)
    if (image->Layers[i].LayerType == ltText) return !Refuse(TextId::GetTrDlgLayer2);
  return false;
}

bool CheckSeveralLayers(const TLayeredImage* image) {
  return !image || image->GetLayerCount() > 1 || Refuse(TextId::GetTrDlgLayer3);
}

bool CheckSelectionHasPixels(TLayerHost& host) {
  const TSelectionOverlay* sel = host.ActiveSelection();
  const TBitmap* layer = host.ActiveLayerBitmap();
  if (!sel || !sel->Visible || !layer) return false;
  const TRect r = IntersectRect(GetWorkRect(host), TRect{0, 0, layer->Width(), layer->Height()});
  return r.IsEmpty() && !Refuse(TextId::GetTrDlgImage12);
}

bool CheckClipboardHasImage() { return ClipboardHasImage() || Refuse(TextId::GetTrDlgMain3); }

bool ConfirmIrreversibleAction(const std::string& title) { return Ask(TextId::GetTrDlgMain9, title); }

bool ConfirmSaveFormatLimits(const TLayeredImage* image, const TFormatRow* format) {
  if (!image || image->GetLayerCount() == 0) return true;
  if (image->GetLayerCount() > 1 && !FormatKeeps(format, kpLayers)) return Ask(TextId::GetTrDlgMain8);
  const TLayerItem& bg = image->Layers[0];
  if (!bg.Mask.Empty() && !FormatKeeps(format, kpAlpha)) return Ask(TextId::GetTrDlgMain11);
  if (bg.Image.Transparent && !FormatKeeps(format, kpTransparentColor)) return Ask(TextId::GetTrDlgMain10);
  return true;
}

}  // namespace qm
