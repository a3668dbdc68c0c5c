#include <QKeyEvent>
#include <QMainWindow>
#include <QMdiArea>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <memory>

#include "EditorBench.h"
#include "Harness.h"
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

QM_BENCH(kBlurPreview, kOurs, kPhotoBytes / 2, [](benchmark::State& st) {
  EnsureGuiApp();
  TDialogBench b;
  b.SelectEllipse();
  QWidget* dialog = b.Open("MenuFiltreFlouGauss", "TBlurForm");
  dialog->findChild<QSlider*>("TBN")->setValue(30);
  b.TimePreviews(st, dialog, true);  // the first preview has nothing to restore
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
