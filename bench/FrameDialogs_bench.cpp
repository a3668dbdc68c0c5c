// The shadow and contour previews over the photo's elliptical selection, beside the
// peers' passes over a mask of that size, and the outer frame's and outer shadow's OK
// on the whole photo, as a user runs them in the real editor.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "EditorBench.h"
#include "document/qt/SelectionMask.h"
#include "pixel/Blur.h"
#include "pixel/Composite.h"
#include "pixel/Mask.h"
#include "Harness.h"

#ifdef QM_HAVE_OPENCV
#include <opencv2/imgproc.hpp>
#endif

namespace qm::bench {
namespace {

const char* kShadow = "Drop shadow preview, Lissé, 12 MP ellipse";
const char* kContour = "Progressive contour preview, inside, width 20, Flou, 12 MP ellipse";
const char* kFreeContour = "Progressive contour preview, inside, width 20, Flou, free outline of a 12 MP ellipse";
const char* kFrameOk = "Outer frame dialog: OK at 20 px, to the repaint (24 MP)";
const char* kShadowOk = "Outer shadow dialog: OK, Lissé, to the repaint (24 MP)";

constexpr int kMaskWidth = 4243, kMaskHeight = 2828;
constexpr int64_t kMaskBytes = int64_t(kMaskWidth) * kMaskHeight * 3;

QM_BENCH(kShadow, kOurs, kMaskBytes, [](benchmark::State& st) {
  TDialogBench b;
  b.SelectEllipse();
  QWidget* d = b.Open("MenuFiltreOmbre", "TOmbreForm");
  b.TimePreviews(st, d, true);
});

QM_BENCH(kContour, kOurs, kMaskBytes, [](benchmark::State& st) {
  TDialogBench b;
  b.SelectEllipse();
  QWidget* d = b.Open("MenuFiltreProgressif", "TContourProgForm");
  b.TimePreviews(st, d, true);
});

// The ellipse traced as a free outline (as the magic wand leaves one): the contour
// steps a mask one pixel at a time instead of nesting shapes.
QM_BENCH(kFreeContour, kOurs, kMaskBytes, [](benchmark::State& st) {
  TDialogBench b;
  b.SelectEllipse();
  TSelectionHost& host = b.form->Services().LayerHost();
  TBitmap mask(kPhotoWidth, kPhotoHeight, pf24bit, clWhite);
  RenderSelectionShapeToMask(host, mask, TRect{878, 586, 5121, 3414}, clBlack, false);
  TRect r{};
  CombineMaskWithSelection(host, mask, wcReplace, r);
  b.Doc->Selection().Show();
  QWidget* d = b.Open("MenuFiltreProgressif", "TContourProgForm");
  b.TimePreviews(st, d, true);
});

// The passes the previews make over a mask, on a mask of the ellipse's size, beside the
// peer's: the blur of "Flou", a one-pixel shrink step, and the three 3 x 3 passes of the
// blurred shadow.
const char* kFlouPass = "Mask pass: Gaussian blur, radius 7 / 15 x 15 (12 MP ellipse)";
const char* kShrinkStep = "Mask pass: one-pixel shrink / 3 x 3 erosion (12 MP ellipse)";
const char* kBoxPasses = "Mask pass: three 3 x 3 box blurs (12 MP ellipse)";

const TBitmap& EllipseMask() {
  static const TBitmap mask = EllipseMaskOf(kMaskWidth, kMaskHeight);
  return mask;
}

QM_BENCH(kFlouPass, kOurs, kMaskBytes, [](benchmark::State& st) {
  TBitmap m = EllipseMask().Clone();
  for (auto _ : st) GaussianBlurRect(m, 7, TRect{0, 0, kMaskWidth, kMaskHeight});
});
QM_BENCH(kShrinkStep, kOurs, kMaskBytes, [](benchmark::State& st) {
  TBitmap m = EllipseMask().Clone();
  for (auto _ : st) ApplyMinMaxPasses(m, -1, TRect{0, 0, kMaskWidth, kMaskHeight});
});
QM_BENCH(kBoxPasses, kOurs, kMaskBytes, [](benchmark::State& st) {
  TBitmap m = EllipseMask().Clone();
  for (auto _ : st) ApplyBlurPasses(m, 3, TRect{0, 0, kMaskWidth, kMaskHeight});
});

#ifdef QM_HAVE_OPENCV
QM_BENCH(kFlouPass, kOpenCV, kMaskBytes, [](benchmark::State& st) {
  const cv::Mat m = AsMat(EllipseMask());
  cv::Mat out;
  for (auto _ : st) cv::GaussianBlur(m, out, cv::Size(15, 15), 0);
});
QM_BENCH(kShrinkStep, kOpenCV, kMaskBytes, [](benchmark::State& st) {
  const cv::Mat m = AsMat(EllipseMask());
  cv::Mat out;
  for (auto _ : st) cv::erode(m, out, cv::getStructuringElement(cv::MORPH_CROSS, cv::Size(3, 3)));
});
QM_BENCH(kBoxPasses, kOpenCV, kMaskBytes, [](benchmark::State& st) {
  const cv::Mat m = AsMat(EllipseMask());
  cv::Mat a, b2;
  for (auto _ : st) {
    cv::blur(m, a, cv::Size(3, 3));
    cv::blur(a, b2, cv::Size(3, 3));
    cv::blur(b2, a, cv::Size(3, 3));
  }
});
#endif

// OK of a canvas dialog, then undo (untimed) for the next round.
void TimeOk(benchmark::State& st, const char* row, const char* dialog) {
  TDialogBench b;
  for (auto _ : st) {
    st.PauseTiming();
    QWidget* d = b.Open(row, dialog);
    st.ResumeTiming();
    d->findChild<QPushButton*>("BOk")->click();
    b.form->Services().GetActiveImgForm()->View().viewport()->repaint();
    st.PauseTiming();
    b.form->Services().UndoCommand(nullptr);
    st.ResumeTiming();
  }
}

QM_BENCH(kFrameOk, kOurs, kPhotoBytes,
         [](benchmark::State& st) { TimeOk(st, "MenuImageEncadrerExt", "TCadreExtForm"); });
QM_BENCH(kShadowOk, kOurs, kPhotoBytes,
         [](benchmark::State& st) { TimeOk(st, "MenuImageOmbrageExt", "TOmbreExtForm"); });

}  // namespace
}  // namespace qm::bench
