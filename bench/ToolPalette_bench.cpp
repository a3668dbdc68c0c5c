// The palette's tools on a 24 MP document of the real main window, driven by pointer
// events on the real view at 100 %: one mouse move of a radius-50 brush stroke under
// a selection (the dabs, the pixels outside the selection brought back, the repaint of
// the rectangle), a whole 200-dab stroke with its undo step, and a bucket fill of a
// uniform 24 MP picture with its undo step (each undone, untimed, before the next).
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <memory>

#include "EditorBench.h"
#include "GuiBench.h"
#include "Harness.h"
#include "platform/texts/IniFile.h"
#include "shell/main/MainForm.h"
#include "shell/palette/ToolPalette.h"

namespace qm::bench {
namespace {

struct TPaintingEditor : TBenchEditor {
  TPaintingEditor() : TBenchEditor("[Tools]\nToolsPalette=1\nToolsAlignment=2\n") {
    form->resize(1400, 1000);
    form->show();
    QElapsedTimer clock;
    clock.start();
    while (!form->FirstPaintDone() && clock.elapsed() < 60000) QApplication::processEvents();
  }
  // A new white (or photo) 24 MP document shown at 100 %.
  TNewImgForm& Open(bool photo) {
    TBitmap white(kPhotoWidth, kPhotoHeight);
    TNewImgForm* w = form->Services().CreateImageWindow(photo ? &Photo() : &white, nullptr, 16777216, true, "");
    w->View().SetZoom(1.0);
    form->UpdateCommandStates();
    QApplication::processEvents();
    return *w;
  }
  void Send(TNewImgForm& w, QEvent::Type type, TPoint client, Qt::MouseButtons held) {
    QWidget* vp = w.View().viewport();
    const QPointF at(client.X, client.Y);
    QMouseEvent e(type, at, vp->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held,
                  Qt::NoModifier);
    QApplication::sendEvent(vp, &e);
  }
  void Brush(const char* size) {
    TOutilsForm& palette = form->Palette();
    palette.SelectTool(TTool::Brush);
    palette.findChild<QComboBox*>(QStringLiteral("CBTailleBrush"))->setEditText(QString::fromLatin1(size));
  }
};

TPaintingEditor& Editor() {
  return FamilyFixture<TPaintingEditor>();
}

QM_BENCH("One mouse move of a radius-50 brush stroke under a selection, 24 MP", kOurs, 0,
         [](benchmark::State& st) {
           TPaintingEditor& e = Editor();
           TNewImgForm& w = e.Open(true);
           e.Brush("50");
           // everything but a rectangle is selected: every step brings the outside back
           w.Selection().SetSelectionRect(TRect{100, 100, 300, 300});
           w.Selection().SetOutlineInset(true);
           w.Selection().Show();
           const TPoint a = w.View().LayerToClientPoint(TPoint{400, 400});
           e.Send(w, QEvent::MouseButtonPress, a, Qt::LeftButton);
           QApplication::processEvents();
           int step = 0;
           for (auto _ : st) {
             step = (step + 1) % 40;
             e.Send(w, QEvent::MouseMove, TPoint{a.X + 8 * step, a.Y + (step & 1) * 6}, Qt::LeftButton);
             QApplication::processEvents();  // the repaint of the touched rectangle
           }
           e.Send(w, QEvent::MouseButtonRelease, a, Qt::NoButton);
           if (!e.CloseDocuments()) st.SkipWithError("a document window did not close");
         });

QM_BENCH("A 200-dab brush stroke with its undo step, 24 MP", kOurs, kPhotoBytes, [](benchmark::State& st) {
  TPaintingEditor& e = Editor();
  TNewImgForm& w = e.Open(true);
  e.Brush("9");  // spacing 0: one dab per pixel
  const TPoint a = w.View().LayerToClientPoint(TPoint{300, 300});
  const TPoint b = w.View().LayerToClientPoint(TPoint{499, 300});
  for (auto _ : st) {
    e.Send(w, QEvent::MouseButtonPress, a, Qt::LeftButton);
    e.Send(w, QEvent::MouseMove, b, Qt::LeftButton);
    e.Send(w, QEvent::MouseButtonRelease, b, Qt::NoButton);
    st.PauseTiming();
    e.form->Services().Operations().Undo();
    QApplication::processEvents();
    st.ResumeTiming();
  }
  if (!e.CloseDocuments()) st.SkipWithError("a document window did not close");
});

QM_BENCH("Bucket fill of a uniform 24 MP picture with its undo step", kOurs, kPhotoBytes, [](benchmark::State& st) {
  TPaintingEditor& e = Editor();
  TNewImgForm& w = e.Open(false);
  TOutilsForm& palette = e.form->Palette();
  palette.SelectTool(TTool::Fill);
  const TPoint a = w.View().LayerToClientPoint(TPoint{500, 500});
  palette.SetPaletteColor(0x2040C0, false);
  for (auto _ : st) {
    e.Send(w, QEvent::MouseButtonPress, a, Qt::LeftButton);
    e.Send(w, QEvent::MouseButtonRelease, a, Qt::NoButton);
    // tried, undone, tried again: the next fill drops the undone step
    st.PauseTiming();
    e.form->Services().Operations().Undo();
    QApplication::processEvents();
    st.ResumeTiming();
  }
  if (!e.CloseDocuments()) st.SkipWithError("a document window did not close");
});

}  // namespace
}  // namespace qm::bench
