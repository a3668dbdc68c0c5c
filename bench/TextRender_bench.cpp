#include <memory>

#include "GuiBench.h"
#include "Harness.h"
#include "document/qt/TextRender.h"

namespace qm::bench {
namespace {

const char* kTextLayer = "RenderTextLayer 20 lines, blur and relief (24 MP document)";

// Twenty lines that fill a 6000 x 4000 document: about 5900 x 3900 pixels of text.
TTextData TwentyLines() {
  TTextData t;
  t.FontName = "DejaVu Sans";
  t.FontSize = 126;
  t.TextColor = RGB(230, 180, 40);
  t.Antialias = true;
  t.Relief = true;
  t.Blur = 2;
  t.Opacity = 100;
  for (int i = 0; i < 20; ++i) t.Lines.push_back("Quillomatic Morvek, ligne " + std::to_string(i + 1) + " : un texte en relief sur toute la page");
  return t;
}

QM_BENCH(kTextLayer, kOurs, kPhotoBytes, [](benchmark::State& st) {
  EnsureGuiApp();
  TLayerItem layer;
  layer.LayerType = ltText;
  layer.Data = std::make_unique<TTextData>(TwentyLines());
  for (auto _ : st) RenderTextLayer(layer);
  st.counters["width"] = layer.Image.Width();
  st.counters["height"] = layer.Image.Height();
});

}  // namespace
}  // namespace qm::bench
