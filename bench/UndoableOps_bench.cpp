#include <memory>

#include "Harness.h"
#include "document/LayerHost.h"
#include "pixel/Convolution.h"
#include "shell/services/UndoableOps.h"

namespace qm::bench {
namespace {

const char* kOpenRestore = "Undo step of kind 0 opened, then restored (24 MP)";
const char* kFilter = "Direct filter: the smoothing kernel alone (24 MP)";
const char* kCommand = "Direct filter: the smoothing command, its undo step included (24 MP)";
const char* kRepeat = "Direct filter: the smoothing command recorded, then repeated (24 MP)";

// A document of the photo alone, keeping two steps as a dialog's would.
struct TPhotoDocument {
  TStandaloneDocument Doc{2};
  TUndoableOperations Ops{Doc};
  TPhotoDocument() { Doc.Image.LoadFromBitmap(Photo(), TBitmap(), "#0"); }
};

TPhotoDocument& Document() {
  return FamilyFixture<TPhotoDocument>();
}

// What the menu command of a direct filter does: its step over the working rectangle,
// the kernel, the selection restriction and the end of the change.
void SmoothingCommand(TPhotoDocument& d) {
  d.Ops.BeginUndoableOperation(ukWorkRect, "Adoucir");
  ApplyConvolutionPresetInPlace(d.Doc.Image.Layers[0].Image, 1, GetWorkRect(d.Doc));
  d.Ops.RefreshLayerNavigator();
}

QM_BENCH(kOpenRestore, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TPhotoDocument& d = Document();
  for (auto _ : st) {
    d.Ops.BeginUndoableOperation(ukWholeImage, "Taille de l'image");
    d.Ops.RestoreFromHistory();
  }
  d.Doc.History.ClearUndoList();
});

QM_BENCH(kFilter, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TPhotoDocument& d = Document();
  for (auto _ : st) ApplyConvolutionPresetInPlace(d.Doc.Image.Layers[0].Image, 1, UnboundedRect);
});

QM_BENCH(kCommand, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TPhotoDocument& d = Document();
  for (auto _ : st) SmoothingCommand(d);
  d.Doc.History.ClearUndoList();
});

QM_BENCH(kRepeat, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TPhotoDocument& d = Document();
  for (auto _ : st) {
    d.Ops.RecordRepeatableCommand("Adoucir", [&d] { SmoothingCommand(d); });
    d.Ops.RepeatLastCommand();
  }
  d.Doc.History.ClearUndoList();
});

}  // namespace
}  // namespace qm::bench
