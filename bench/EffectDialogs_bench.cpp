// The tile, artistic and gradient dialogs' previews over the whole 24 MP photo, the
// cut-out's preview over a 24 MP selection and the assemble of two photos, with the
// peers' nearest operations over the same pixels.
#include <QButtonGroup>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#ifdef QM_HAVE_OPENCV
#include <opencv2/imgproc.hpp>
#endif

#include "EditorBench.h"
#include "Harness.h"
#include "dialogs/effects/EditForms.h"
#include "document/qt/Clipboard.h"
#include "pixel/Blur.h"
#include "pixel/ColorAdjust.h"
#include "pixel/Mask.h"

namespace qm::bench {
namespace {

// A filter's dialog opened from its row, then Preview pressed again and again, the view
// painted after each.
void Previews(benchmark::State& st, const char* row, const char* dialog) {
  EnsureGuiApp();
  TDialogBench b;
  b.TimePreviews(st, b.Open(row, dialog), true);
}

#define QM_PREVIEW_BENCH(text, row, dialog) \
  QM_BENCH(text, kOurs, kPhotoBytes, [](benchmark::State& st) { Previews(st, row, dialog); })

QM_PREVIEW_BENCH("Tiles dialog: one preview, 40 px, whole 24 MP image (kernel, outline, repaint)",
                 "MenuFiltreCarreaux", "TCarreauxForm");
QM_PREVIEW_BENCH("Grid dialog: one preview, 40 px, whole 24 MP image (restore, kernel, outline, repaint)",
                 "MenuFiltreQuadrillage", "TQuadrillageForm");
QM_PREVIEW_BENCH("Puzzle dialog: one preview, 50 px, relief, whole 24 MP image (restore, kernel, outline, repaint)",
                 "MenuFiltrePuzzle", "TPuzzleForm");
QM_PREVIEW_BENCH("Slide dialog: one preview, 10 px, whole 24 MP image (restore, mask, blur, blend, repaint)",
                 "MenuContourDiapositive", "TDiapoForm");
QM_PREVIEW_BENCH("Cross-stitch dialog: one preview, 11 px, whole 24 MP image (kernel, restriction, repaint)",
                 "MenuFiltreCroix", "TCroixForm");
QM_PREVIEW_BENCH("Pencils dialog: one preview, whole 24 MP image (kernel, restriction, repaint)",
                 "MenuFiltreCrayons", "TCrayonForm");
QM_PREVIEW_BENCH("Gradient dialog: one preview, whole 24 MP image (restore, kernel, restriction, repaint)",
                 "MenuFiltreDegrade", "TFiltreDegradeForm");

const char* kMosaicPreview = "Mosaic dialog: one preview, 5 px, whole 24 MP image (restore, kernel, outline, repaint)";
QM_PREVIEW_BENCH(kMosaicPreview, "MenuFiltreMosaique", "TMosaiqueForm");

const char* kMosaic = "Mosaic of 5 px blocks over 24 MP";
QM_BENCH(kMosaic, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap b = Photo().Clone();
  for (auto _ : st) MosaicRect(b, 5, UnboundedRect);
});
#ifdef QM_HAVE_OPENCV
// The same blocks as an area reduction then a nearest enlargement (block means rather
// than corners: the nearest peer of the same work).
QM_BENCH(kMosaic, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  cv::Mat b = AsMat(Photo()), small, out;
  for (auto _ : st) {
    cv::resize(b, small, cv::Size(b.cols / 5, b.rows / 5), 0, 0, cv::INTER_AREA);
    cv::resize(small, out, b.size(), 0, 0, cv::INTER_NEAREST);
  }
});
#endif

// The cut-out of a selection over the whole photo, "Contour progressif", tolerance 20,
// both scans: one preview (reload, scans, passes, checkerboard, repaint).
const char* kCutPreview = "Cut-out dialog: one preview, progressive edge, 24 MP selection";
QM_BENCH(kCutPreview, kOurs, kPhotoBytes, [](benchmark::State& st) {
  EnsureGuiApp();
  TDialogBench b;
  b.Doc->Selection().SetShape(ssRect);
  b.Doc->Selection().SetSelectionRect(TRect{0, 0, kPhotoWidth, kPhotoHeight});
  b.Doc->Selection().Show();
  b.form->UpdateCommandStates();
  auto* d = dynamic_cast<TDetourForm*>(b.Open("MenuEditionDetourage", "TDetourForm"));
  d->TBN->setValue(20);
  d->RBHorzVert->setChecked(true);
  d->RGEffet->button(cutProgressive)->setChecked(true);
  for (auto _ : st) {
    d->Preview();
    QApplication::processEvents();
  }
  d->hide();
});

// The progressive edge's mask passes alone: 8 shrink passes and a radius-4 blur.
const char* kCutPasses = "Progressive edge mask passes: shrink 8, blur 4, 24 MP mask";
TBitmap EllipseMask() {
  TBitmap m(kPhotoWidth, kPhotoHeight, pf24bit, clWhite);
  for (int y = 0; y < m.Height(); ++y) {
    const double dy = (y - m.Height() / 2.0) / (m.Height() / 2.0);
    uint8_t* row = m.ScanLine(y);
    for (int x = 0; x < m.Width(); ++x) {
      const double dx = (x - m.Width() / 2.0) / (m.Width() / 2.0);
      if (dx * dx + dy * dy <= 1) row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = 0;
    }
  }
  return m;
}
QM_BENCH(kCutPasses, kOurs, kPhotoBytes, [](benchmark::State& st) {
  const TBitmap mask = EllipseMask();
  TBitmap m;
  for (auto _ : st) {
    m = mask.Clone();
    ApplyMinMaxPasses(m, -8, UnboundedRect);
    GaussianBlurMaskRect(m, 4, UnboundedRect);
  }
});
#ifdef QM_HAVE_OPENCV
QM_BENCH(kCutPasses, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  TBitmap mask = EllipseMask();
  InvertRect(mask, UnboundedRect);  // the kept region light, as erosion shrinks it
  cv::Mat src = AsMat(mask), m, out;
  const cv::Mat cross = cv::getStructuringElement(cv::MORPH_CROSS, cv::Size(3, 3));
  for (auto _ : st) {
    cv::erode(src, m, cross, {-1, -1}, 8);
    cv::GaussianBlur(m, out, cv::Size(9, 9), 0);
  }
});
#endif

// Two photos joined one under the other by OK: one step, the canvas doubled, the
// picture pasted, the window reset.
QM_BENCH("Assemble dialog: OK, 24 MP clipboard under a 24 MP picture", kOurs, kPhotoBytes * 2,
         [](benchmark::State& st) {
           EnsureGuiApp();
           TDialogBench b;
           CopyBitmapWithMask(ClipboardData(), &Photo2(), nullptr);
           for (auto _ : st) {
             QWidget* d = b.Open("MenuEditionAssembler", "TAssemblerForm");
             d->findChild<QButtonGroup*>()->button(TAssemblerForm::asBottom)->setChecked(true);
             d->findChild<QPushButton*>("BOk")->click();
             st.PauseTiming();
             b.form->Services().UndoCommand(nullptr);
             st.ResumeTiming();
           }
         });

}  // namespace
}  // namespace qm::bench
