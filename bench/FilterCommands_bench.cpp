// A direct filter run from its menu command on a 24 MP document shown in a document
// window, against its kernel alone: the command adds the undo step over the working
// rectangle and the copy of the layer taken before it, the selection restriction (its
// mask made once for the commands that follow on the same selection), the
// repaint of the view (of the reduced image the fitted view shows; a lone background is
// shown without composing) and the repeat record. The repeat command runs the same path
// again.
#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QStatusBar>
#include <memory>

#include "GuiBench.h"
#include "Harness.h"
#include "pixel/ColorAdjust.h"
#include "shell/services/CommandSet.h"
#include "shell/commands/FilterCommands.h"
#include "shell/services/ShellServices.h"

namespace qm::bench {
namespace {

// An ellipse over most of the picture: the working rectangle is 20 MP and the
// restriction brings the corners back.
constexpr TRect kSelection{200, 200, 5800, 3800};

struct TEditor {
  QMainWindow Main;
  std::unique_ptr<TShellServices> Services;
  std::unique_ptr<TCommandSet> Commands;
  TNewImgForm* Doc = nullptr;

  TEditor() {
    auto* area = new QMdiArea;
    Main.setCentralWidget(area);
    Main.resize(1600, 1000);
    Services = std::make_unique<TShellServices>(*area, *Main.statusBar(), &Main);
    Commands = std::make_unique<TCommandSet>(&Main);
    RegisterFilterCommands(*Commands, *Services);
    Main.show();
    Doc = Services->CreateImageWindow(&Photo(), nullptr, 16777216, false, "photo.png");
    Doc->Selection().SetShape(ssEllipse);
    Doc->Selection().SetSelectionRect(kSelection);
    QApplication::processEvents();
  }
};

TEditor& Editor() {
  EnsureGuiApp();
  return FamilyFixture<TEditor>();
}

// Runs one command and lets the view repaint, with the ellipse shown or not; each step
// is dropped untimed, as a history at its capacity drops its oldest one, so the history
// never holds more than one.
template <class Run>
void Timed(benchmark::State& st, bool selection, Run run, TSelectionSmoothing edge = selSmoothEdge) {
  TEditor& e = Editor();
  e.Services->Hooks.SelectionSmoothing = [edge] { return edge; };
  if (selection) e.Doc->Selection().Show();
  else e.Doc->Selection().Hide();
  QApplication::processEvents();
  for (auto _ : st) {
    run(e);
    QApplication::processEvents();
    st.PauseTiming();
    e.Doc->History().DeleteLastUndoStep();
    st.ResumeTiming();
  }
}

void Command(TEditor& e) { e.Commands->Trigger("MenuFiltreFlou"); }
void Repeat(TEditor& e) { e.Services->Operations().RepeatLastCommand(); }

QM_BENCH("Direct filter Flou: the kernel alone (24 MP)", kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap& layer = Editor().Doc->Image().Layers[0].Image;
  for (auto _ : st) BoxBlur3x3Rect(layer, UnboundedRect);
});
QM_BENCH("Direct filter Flou: its menu command, repainted (24 MP)", kOurs, kPhotoBytes,
         [](benchmark::State& st) { Timed(st, false, Command); });
QM_BENCH("Direct filter Flou: the repeat command, repainted (24 MP)", kOurs, kPhotoBytes, [](benchmark::State& st) {
  Command(Editor());
  Timed(st, false, Repeat);
});

QM_BENCH("Direct filter Flou: the kernel alone (20 MP, an ellipse's rectangle)", kOurs, kPhotoBytes,
         [](benchmark::State& st) {
           TBitmap& layer = Editor().Doc->Image().Layers[0].Image;
           for (auto _ : st) BoxBlur3x3Rect(layer, kSelection);
         });
QM_BENCH("Direct filter Flou: its menu command, repainted (24 MP, elliptical selection)", kOurs, kPhotoBytes,
         [](benchmark::State& st) { Timed(st, true, Command); });
QM_BENCH("Direct filter Flou: the repeat command, repainted (24 MP, elliptical selection)", kOurs, kPhotoBytes,
         [](benchmark::State& st) {
           Command(Editor());
           Timed(st, true, Repeat);
         });
// The Selection menu's progressive edge: the ellipse feathered over its outline.
QM_BENCH("Direct filter Flou: its menu command, repainted (24 MP, feathered elliptical selection)", kOurs,
         kPhotoBytes, [](benchmark::State& st) { Timed(st, true, Command, selSmoothProgressive); });

}  // namespace
}  // namespace qm::bench
