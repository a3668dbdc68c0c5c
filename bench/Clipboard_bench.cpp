#include "GuiBench.h"
#include "Harness.h"
#include "document/LayerHost.h"
#include "document/LayerOps.h"
#include "document/qt/Clipboard.h"
#include "document/qt/SelectionLayerOps.h"

namespace qm::bench {
namespace {

const char* kCopyPaste = "Copy an elliptical selection (33 px feather), paste as a layer (24 MP)";

QM_BENCH(kCopyPaste, kOurs, kPhotoBytes, [](benchmark::State& st) {
  EnsureGuiApp();
  TStandaloneDocument d;
  AddFirstLayer(d, Photo());
  d.Selection.Visible = true;
  d.Selection.SetShape(ssEllipse);
  d.Selection.SetSelectionRect(TRect{0, 0, kPhotoWidth, kPhotoHeight});
  TClipboardData record;
  for (auto _ : st) {
    CopySelection(d, record);
    PasteAsNewLayer(d, record, "#1");
    st.PauseTiming();
    DeleteActiveLayer(d);
    d.Image.SetActiveLayerIndex(0);
    st.ResumeTiming();
  }
  ClearClipboardData(record);
});

}  // namespace
}  // namespace qm::bench
