#include <QKeyEvent>
#include <QMainWindow>
#include <QMdiArea>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <memory>

#include "EditorBench.h"
#include "Harness.h"
#include "document/Undo.h"
#include "pixel/Blur.h"
#include "pixel/ColorAdjust.h"

namespace qm::bench {
namespace {

const char* kBlurPreview =
    "Gaussian blur dialog: one preview, radius 30, 12 MP elliptical selection (restore, blur, restriction, repaint)";
const char* kHuePreview = "Hue and saturation dialog: one live preview, whole 24 MP image (restore, kernel, repaint)";
// The kernels alone over the same pixels, in the same conditions.
const char* kBlurKernel = "GaussianBlurRect radius 30 over the same 12 MP rectangle";
const char* kHueKernel = "AdjustHueSaturation +-40 deg, +35 % over the same 24 MP";

// A filter's dialog opened from its row, its TBN slider at value, then Preview pressed
// again and again, the view painted after each.
void PreviewAgain(benchmark::State& st, TDialogBench& b, const char* row, const char* dialog, int value) {
  QWidget* d = b.Open(row, dialog);
  d->findChild<QSlider*>("TBN")->setValue(value);
  b.TimePreviews(st, d, true);  // the first preview has nothing to restore
}

QM_BENCH(kBlurPreview, kOurs, kPhotoBytes / 2, [](benchmark::State& st) {
  EnsureGuiApp();
  TDialogBench b;
  b.SelectEllipse();
  PreviewAgain(st, b, "MenuFiltreFlouGauss", "TBlurForm", 30);
});

QM_BENCH(kHuePreview, kOurs, kPhotoBytes, [](benchmark::State& st) {
  EnsureGuiApp();
  TDialogBench b;
  QWidget* dialog = b.Open("MenuReglageTS", "TTSForm");
  QSlider* hue = dialog->findChild<QSlider*>("TBTeinte");
  dialog->findChild<QSlider*>("TBSaturation")->setValue(35);
  int degrees = 40;
  for (auto _ : st) {
    // a slider moved, then let go: the preview follows
    hue->setValue(degrees = -degrees);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier);
    QApplication::sendEvent(hue, &release);
    b.Repaint();
  }
  dialog->hide();
});

// A slider of a live dialog moved to each value in turn and let go, the view painted
// again: one live preview per gesture.
// before: a command run first (none when null).
void FollowSlider(benchmark::State& st, const char* row, const char* dialog, const char* slider,
                  std::initializer_list<int> values, const char* before = nullptr) {
  EnsureGuiApp();
  TDialogBench b;
  if (before) b.form->Commands().Trigger(before);
  QWidget* d = b.Open(row, dialog);
  QSlider* s = d->findChild<QSlider*>(slider);
  size_t i = 0;
  for (auto _ : st) {
    s->setValue(values.begin()[i++ % values.size()]);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier);
    QApplication::sendEvent(s, &release);
    b.Repaint();
  }
  d->hide();
}

QM_BENCH("Levels dialog: one live preview, whole 24 MP image (restore, kernel, repaint)", kOurs, kPhotoBytes,
         [](benchmark::State& st) { FollowSlider(st, "MenuReglageNiveaux", "TNiveauxForm", "TBInt1", {50, -40}); });
QM_BENCH("Gamma dialog: one live preview, whole 24 MP image (restore, kernel, repaint)", kOurs, kPhotoBytes,
         [](benchmark::State& st) { FollowSlider(st, "MenuReglageGamma", "TGammaForm", "TBN", {5, 16}); });
QM_BENCH("Two-colour threshold dialog: one live preview, whole 24 MP image (restore, kernel, repaint)", kOurs,
         kPhotoBytes, [](benchmark::State& st) {
           FollowSlider(st, "MenuReglageBichromie", "TBichromieForm", "TBSeuil", {100, 160});
         });
QM_BENCH("Posterise dialog: one live preview, whole 24 MP image (restore, kernel, repaint)", kOurs, kPhotoBytes,
         [](benchmark::State& st) { FollowSlider(st, "MenuReglagePosteriser", "TPosterForm", "TBN", {30, 70}); });

// The fade of a blur of the whole photo (the direct Flou from its menu): each release
// puts the image before the blur back and mixes the blur's result in.
const char* kFadeRelease = "Fade dialog: one release over a 24 MP blur step (restore, blend, repaint)";
const char* kFadeBlend = "The fade's blend alone: 40 % of a 24 MP step";
QM_BENCH(kFadeRelease, kOurs, kPhotoBytes, [](benchmark::State& st) {
  FollowSlider(st, "MenuAttenuer", "TAttenuerForm", "TBN", {40, 70}, "MenuFiltreFlou");
});
// The step holds the second photo (the result of the change); the layer is moved toward it.
QM_BENCH(kFadeBlend, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TLayerItem layer;
  layer.Image = Photo2().Clone();
  TUndoLayerItem step(layer, "Atténuer", uwImage, UnboundedRect);
  layer.Image = Photo().Clone();
  for (auto _ : st) BlendUndoStep(step, 40);
});
#ifdef QM_HAVE_OPENCV
QM_BENCH(kFadeBlend, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  cv::Mat a = AsMat(Photo()), b = AsMat(Photo2()), out;
  for (auto _ : st) cv::addWeighted(a, 0.6, b, 0.4, 0.0, out);
});
#endif

const char* kNoisePreview = "Noise dialog: one preview, amount 50, whole 24 MP image (restore, noise, repaint)";
QM_BENCH(kNoisePreview, kOurs, kPhotoBytes, [](benchmark::State& st) {
  EnsureGuiApp();
  TDialogBench b;
  PreviewAgain(st, b, "MenuFiltreBruit", "TBruitForm", 50);
});

#ifdef QM_HAVE_OPENCV
// Noise of the same amount over the same picture: one offset per byte, added with
// saturation (a picture of its own each run, as the preview starts again from the step).
QM_BENCH(kNoisePreview, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  cv::Mat b = AsMat(Photo()), noise(b.size(), CV_16SC3), out;
  for (auto _ : st) {
    cv::randu(noise, -25, 25);
    cv::add(b, noise, out, cv::noArray(), CV_8UC3);
  }
});
#endif

QM_BENCH(kBlurKernel, kOurs, kPhotoBytes / 2, [](benchmark::State& st) {
  TBitmap b = Photo().Clone();
  for (auto _ : st) GaussianBlurRect(b, 30, TRect{878, 586, 5121, 3414});
});

QM_BENCH(kHueKernel, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap b = Photo().Clone();
  for (auto _ : st) AdjustHueSaturation(b, {40, 35, chAll}, UnboundedRect);
});

}  // namespace
}  // namespace qm::bench
