#include <QPushButton>

#include "EditorBench.h"
#include "Harness.h"
#include "pixel/ColorReduce.h"

#include <magick/api.h>

namespace qm::bench {
namespace {

// The dialog's preview (the step put back, the whole background reduced, the image
// repainted) beside GraphicsMagick's quantisation of the same picture to as many
// colours with dithering.
const char* kIndexedPreview = "Indexed colours dialog: one preview, 256 colours with diffusion (24 MP)";

QM_BENCH(kIndexedPreview, kOurs, kPhotoBytes, [](benchmark::State& st) {
  EnsureGuiApp();
  TDialogBench b;
  QWidget* dialog = b.Open("MenuModeIndex", "TIndexForm");
  auto* preview = dialog->findChild<QPushButton*>("BApercu");
  preview->click();  // the first preview has nothing to put back
  for (auto _ : st) {
    preview->click();
    b.Repaint();
  }
  dialog->hide();
});

QM_BENCH(kIndexedPreview, kGM, kPhotoBytes, [](benchmark::State& st) {
  ExceptionInfo ex;
  GetExceptionInfo(&ex);
  QuantizeInfo qi;
  GetQuantizeInfo(&qi);
  qi.number_colors = 256;
  qi.dither = 1;
  for (auto _ : st) {
    st.PauseTiming();
    Image* img = CloneImage(ToGM(Photo()), 0, 0, 1, &ex);
    st.ResumeTiming();
    QuantizeImage(&qi, img);
    st.PauseTiming();
    DestroyImage(img);
    st.ResumeTiming();
  }
  DestroyExceptionInfo(&ex);
});

}  // namespace
}  // namespace qm::bench
