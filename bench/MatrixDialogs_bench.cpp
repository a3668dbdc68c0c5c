#include <QRadioButton>

#include "EditorBench.h"
#include "Harness.h"
#include "controls/SpinEdit.h"

#ifdef QM_HAVE_OPENCV
#include <opencv2/imgproc.hpp>
#endif

namespace qm::bench {
namespace {

// Each dialog's preview from its menu over the whole photo (the kernel from the copy
// taken before the change, the image repainted; nothing to put back first), beside the
// same filter in OpenCV.
const char* kCustomPreview = "Custom 3 x 3 dialog: one preview of a sharpen matrix (24 MP)";
const char* kMedianPreview = "Dust removal dialog: one preview, Elevé, a 7 x 7 median (24 MP)";
const char* kMaximumPreview = "Maximum dialog: one preview, Elevé, 7 x 7 (24 MP)";

// -1 around a centre of 9, divisor 1.
QM_BENCH(kCustomPreview, kOurs, kPhotoBytes, [](benchmark::State& st) {
  EnsureGuiApp();
  TDialogBench b;
  QWidget* dialog = b.Open("MenuFiltrePerso", "TPersoForm");
  for (int i = 0; i < 9; ++i)
    dialog->findChild<TSpinEdit2*>(QString("SE%1").arg(i))->SetValue(i == 4 ? 9 : -1);
  b.TimePreviews(st, dialog, false);
});

void RankPreview(benchmark::State& st, const char* row) {
  EnsureGuiApp();
  TDialogBench b;
  QWidget* dialog = b.Open(row, "TMinMaxMedForm");
  dialog->findChild<QRadioButton*>("RBEleve")->setChecked(true);
  b.TimePreviews(st, dialog, false);
}

QM_BENCH(kMedianPreview, kOurs, kPhotoBytes, [](benchmark::State& st) { RankPreview(st, "MenuFiltreAntipoussiere"); });
QM_BENCH(kMaximumPreview, kOurs, kPhotoBytes, [](benchmark::State& st) { RankPreview(st, "MenuFiltreMaximum"); });

#ifdef QM_HAVE_OPENCV
QM_BENCH(kCustomPreview, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  cv::Mat k = (cv::Mat_<float>(3, 3) << -1, -1, -1, -1, 9, -1, -1, -1, -1);
  cv::Mat src = AsMat(Photo()), out;
  for (auto _ : st) cv::filter2D(src, out, -1, k, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
});
QM_BENCH(kMedianPreview, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  cv::Mat src = AsMat(Photo()), out;
  for (auto _ : st) cv::medianBlur(src, out, 7);
});
QM_BENCH(kMaximumPreview, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  cv::Mat src = AsMat(Photo()), out;
  const cv::Mat box = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(7, 7));
  for (auto _ : st) cv::dilate(src, out, box, cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
});
#endif

}  // namespace
}  // namespace qm::bench
