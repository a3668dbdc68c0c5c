// The main window keeping its commands current, offscreen: every enabling rule of the
// command table evaluated again with 20 documents open (what runs after each change of
// the active document), and one zoom step of a 24 MP document through the View menu
// with the repaint of the 1920 x 1080 view it leads to.
#include <QComboBox>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <memory>

#include "EditorBench.h"
#include "GuiBench.h"
#include "Harness.h"
#include "shell/main/MainForm.h"

namespace qm::bench {
namespace {

struct TEditor : TBenchEditor {
  TEditor() {
    // Every command attached, so that each row's rules are read.
    for (const TCommandRow& row : CommandRows())
      if (row.Kind == TCommandKind::Item && !form->Commands().HasHandler(row.Name))
        form->Commands().SetHandler(row.Name, [](const TCommandSender&) {});
  }
};

QM_BENCH("UpdateCommandStates, whole command table, 20 documents", kOurs, 0, [](benchmark::State& st) {
  TEditor editor;
  TMainForm& form = *editor.form;
  const TBitmap picture(640, 480, pf24bit, clWhite);
  for (int i = 0; i < 20; ++i) form.Services().CreateImageWindow(&picture, nullptr, 16777216, true, {});
  for (auto _ : st) form.UpdateCommandStates();
});

// Steps back and forth between two neighbouring steps of the zoom box, each followed by
// the repaint of the whole view. Below 100 % the view reduces the picture again at each
// new zoom; above it draws the visible part straight from the picture.
void ZoomSteps(benchmark::State& st, int index) {
  TEditor editor;
  TMainForm& form = *editor.form;
  form.resize(2006, 1191);  // the maximised document's view is then 1920 x 1080
  form.show();
  TNewImgForm* w = form.Services().CreateImageWindow(&Photo(), nullptr, 16777216, true, {});
  w->showMaximized();
  QApplication::processEvents();
  TMyImageLayered& view = w->View();
  form.Views().ZoomBox().setCurrentIndex(index);
  form.Views().ApplyZoomChoice();
  QImage target(view.viewport()->size(), QImage::Format_RGB32);
  QPainter painter(&target);
  const QRegion all(view.viewport()->rect());
  bool in = true;
  for (auto _ : st) {
    form.Commands().Trigger(in ? "MenuZoomAvant" : "MenuZoomArriere");
    view.RenderViewport(painter, all);
    in = !in;
  }
}

QM_BENCH("Zoom step 25 % <-> 33 % of a 24 MP document, view repainted", kOurs, kPhotoBytes,
         [](benchmark::State& st) { ZoomSteps(st, 2); });
QM_BENCH("Zoom step 50 % <-> 67 % of a 24 MP document, view repainted", kOurs, kPhotoBytes,
         [](benchmark::State& st) { ZoomSteps(st, 4); });
QM_BENCH("Zoom step 100 % <-> 200 % of a 24 MP document, view repainted", kOurs, kPhotoBytes,
         [](benchmark::State& st) { ZoomSteps(st, 7); });

}  // namespace
}  // namespace qm::bench
