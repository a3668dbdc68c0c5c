#include <QKeyEvent>
#include <QPushButton>
#include <QSlider>

#include "EditorBench.h"
#include "Harness.h"
#include "controls/ColorEditor.h"
#include "pixel/ColorAdjust.h"

#ifdef QM_HAVE_OPENCV
#include <opencv2/core.hpp>
#endif

namespace qm::bench {
namespace {

const char* kReplacePreview =
    "Colour replacement dialog: one preview, tolerance 30, whole 24 MP (restore, kernel, repaint)";
const char* kReplaceKernel = "ReplaceColorRect tolerance 30 (24 MP)";
const char* kVariationOpen =
    "Hue variation dialog: opening over 24 MP with an elliptical selection (thumbnail, mask thumbnail)";
const char* kVariationRelease = "Hue variation dialog: a slider let go, to the thumbnail repainted";
const char* kVariationOk = "Hue variation dialog: OK over 24 MP (step, colourise, repaint)";
const char* kColorize = "VaryHueRect colourise (24 MP)";

// A colour the photo holds plenty of near it.
const TColor kFrom = RGB(128, 100, 80);

QM_BENCH(kReplacePreview, kOurs, kPhotoBytes, [](benchmark::State& st) {
  EnsureGuiApp();
  TDialogBench b;
  QWidget* dialog = b.Open("MenuReglageRemplacer", "TChgCouleurForm");
  dialog->findChild<TColorEdit*>("ColorEdit1")->SetColor(kFrom);
  b.TimePreviews(st, dialog, true);
});

QM_BENCH(kReplaceKernel, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap b = Photo().Clone();
  for (auto _ : st) ReplaceColorRect(b, kFrom, clWhite, 30, UnboundedRect);
});

#ifdef QM_HAVE_OPENCV
// The same test and the same write with OpenCV: a mask of the pixels within the
// tolerance, then the colour set through it.
QM_BENCH(kReplaceKernel, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  TBitmap b = Photo().Clone();
  cv::Mat m = AsMat(b), mask;
  const cv::Scalar low(GetBValue(kFrom) - 30, GetGValue(kFrom) - 30, GetRValue(kFrom) - 30);
  const cv::Scalar high(GetBValue(kFrom) + 30, GetGValue(kFrom) + 30, GetRValue(kFrom) + 30);
  for (auto _ : st) {
    cv::inRange(m, low, high, mask);
    m.setTo(cv::Scalar(255, 255, 255), mask);
  }
});
#endif

// The variation opened from its menu, over a layer with an elliptical selection: the
// command (with the repaint of the documents it asks for) up to the dialog shown.
QM_BENCH(kVariationOpen, kOurs, kPhotoBytes, [](benchmark::State& st) {
  EnsureGuiApp();
  TDialogBench b;
  b.SelectEllipse();
  for (auto _ : st) {
    QWidget* dialog = b.Open("MenuReglageVariante", "TVarianteForm");
    st.PauseTiming();
    if (!dialog || !dialog->isVisible()) st.SkipWithError("the dialog did not open");
    dialog->hide();
    st.ResumeTiming();
  }
});

QM_BENCH(kVariationRelease, kOurs, kPhotoBytes, [](benchmark::State& st) {
  EnsureGuiApp();
  TDialogBench b;
  b.SelectEllipse();
  QWidget* dialog = b.Open("MenuReglageVariante", "TVarianteForm");
  auto* hue = dialog->findChild<QSlider*>("TBN");
  QWidget* picture = dialog->findChild<QWidget*>("ImgApercu");
  int h = 0;
  for (auto _ : st) {
    hue->setValue(h = (h + 37) % 360);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier);
    QApplication::sendEvent(hue, &release);
    picture->repaint();
  }
  dialog->hide();
});

// OK over the whole layer; the undo and the next opening are not timed.
QM_BENCH(kVariationOk, kOurs, kPhotoBytes, [](benchmark::State& st) {
  EnsureGuiApp();
  TDialogBench b;
  for (auto _ : st) {
    st.PauseTiming();
    QWidget* dialog = b.Open("MenuReglageVariante", "TVarianteForm");
    auto* ok = dialog->findChild<QPushButton*>("BOk");
    st.ResumeTiming();
    ok->click();
    b.Repaint();
    st.PauseTiming();
    b.form->Services().UndoCommand(nullptr);
    st.ResumeTiming();
  }
});

QM_BENCH(kColorize, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap b = Photo().Clone();
  for (auto _ : st) VaryHueRect(b, HueColor(200), hvColorize, UnboundedRect);
});

}  // namespace
}  // namespace qm::bench
