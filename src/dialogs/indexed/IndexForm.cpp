#include "dialogs/indexed/IndexForm.h"

#include "document/LayeredImage.h"
#include "pixel/ImgUtils.h"

namespace qm {

TIndexForm::TIndexForm() : TParamDialogOf(kTraits) {
  using P = TIndexedColorParams;
  AddPages(&P::Kind, {"PageControl",
                      {{"TshMan", {TextId::GetTrLblOptimizedMode, TextId::TrFixOptimizedMode}},
                       {"TshAuto", {TextId::GetTrLblSystemMode, TextId::TrFixSystemMode}}}});
  OnPage(ipOptimized);
  AddRadioGroup(&P::Optimized, {"RGManuel",
                                {TextId::GetTrLblOptimizedPalette, TextId::TrFixOptimizedPaletteGroup},
                                {{"RBColor8", {TextId::GetTrLblColor8, TextId::TrFixColors8}},
                                 {"RBColor16", {TextId::GetTrLblColor16, TextId::TrFixColors16}},
                                 {"RBColor32", {TextId::GetTrLblColor32, TextId::TrFixColors32}},
                                 {"RBColor64", {TextId::GetTrLblColor64, TextId::TrFixColors64}},
                                 {"RBColor128", {TextId::GetTrLblColor128, TextId::TrFixColors128}},
                                 {"RBColor256", {TextId::GetTrLblColor256, TextId::TrFixColors256}}}});
  AddCheckBox(&P::Diffusion, {"CBDiffusion", {TextId::GetTrLblDiffusion, TextId::TrFixDiffusion}});
  OnPage(ipSystem);
  AddRadioGroup(&P::System, {"RGAuto",
                             {TextId::GetTrLblSystemPalette, TextId::TrFixSystemPaletteGroup},
                             {{"RBMonochrome", {TextId::GetTrLblMonochrom, TextId::TrFixMonochrome}},
                              {"RBMonochromeTrame", {TextId::GetTrLblDithering, TextId::TrFixMonochromeDithered}},
                              {"RBGray4", {TextId::GetTrLblGray4, TextId::TrFixGray4}},
                              {"RBGray16", {TextId::GetTrLblGray16, TextId::TrFixGray16}},
                              {"RBGray256", {TextId::GetTrLblGray256, TextId::TrFixGray256}},
                              {"RBWindows20", {TextId::GetTrLblWindows20, TextId::TrFixWindows20}},
                              {"RBWeb216", {TextId::TrLblWeb216, TextId::TrFixWeb216}}}});
  OnPage(-1);
}

TLayerOperation TIndexForm::Operation() const {
  const TLayeredImage* image = Host().LayerHost().ActiveImage();
  const TIndexedColorParams params = Params();
  const bool convert = IndexedReductionNeeded(params, image ? image->ColorCount : 0);
  return [params, convert](TLayerRun& c) {
    // A preview that put the step back has the transparency back too.
    c.Layer.Transparent = false;
    if (convert) ReduceToIndexedColors(c.Layer, params);
  };
}

void TIndexForm::Showing() {
  TLayeredImage* image = Host().LayerHost().ActiveImage();
  if (!image || image->Layers.GetCount() == 0 || !image->Layers[0].Image.Transparent) return;
  // Shown opaque at once; the step holds the transparency for a close without OK.
  image->Layers[0].Image.Transparent = false;
  image->InvalidateImage();
  Host().RepaintActiveImage();
}

void TIndexForm::Applied() {
  if (TLayeredImage* image = Host().LayerHost().ActiveImage()) image->ColorCount = IndexedColorCount(Params());
  Host().UpdateStatusBar();
}

}  // namespace qm
