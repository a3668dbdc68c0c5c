#include "EditorBench.h"
#include "GmBench.h"
#include "Harness.h"

namespace qm::bench {
namespace {

// The dialog's preview (the step put back, the whole background reduced, the image
// repainted) beside GraphicsMagick's quantisation of the same picture to as many
// colours with dithering.
const char* kIndexedPreview = "Indexed colours dialog: one preview, 256 colours with diffusion (24 MP)";

QM_BENCH(kIndexedPreview, kOurs, kPhotoBytes, [](benchmark::State& st) {
  EnsureGuiApp();
  TDialogBench b;
  b.TimePreviews(st, b.Open("MenuModeIndex", "TIndexForm"), true);
});

QM_BENCH(kIndexedPreview, kGM, kPhotoBytes, [](benchmark::State& st) { TimeGraphicsMagickQuantize(st, 256, true); });

}  // namespace
}  // namespace qm::bench
