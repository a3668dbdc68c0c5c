// What the main window allows, as a user meets it: the menus, pop-ups and buttons
// enabled by the state of the active document, shortcuts that never outrun that state,
// the zoom steps, the wheel, and the free transform of a layer.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDesktopServices>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <cmath>
#include <limits>

#include "document/LayerOps.h"
#include "document/TextData.h"
#include "pixel/ImgUtils.h"
#include "platform/texts/AppPaths.h"
#include "shell/main/MainForm.h"
#include "shell/services/ZoomSteps.h"
#include "support/MainFormFixture.h"
#include "support/TestImages.h"
#include "views/VerticesControl.h"

using namespace qm;
using namespace qm::test;

namespace {

// The editor with every command that has no handler yet given one that does nothing,
// so that what is enabled is what the rules say.
struct RulesEditor : Editor {
  TMainForm& StartWithEveryCommand() {
    TMainForm& form = Start();
    for (const TCommandRow& row : CommandRows())
      if (row.Kind == TCommandKind::Item && !form.Commands().HasHandler(row.Name))
        form.Commands().SetHandler(row.Name, [](const TCommandSender&) {});
    return form;
  }
  bool Enabled(std::string_view name) {
    Form->UpdateCommandStates();
    return Form->Commands().IsEnabled(name);
  }
  std::string Text(std::string_view name) { return Form->Commands().Action(name)->text().toStdString(); }
  // A step of the kind on the active document, captioned.
  void Step(TUndoKind kind, const std::string& caption) {
    Services().Operations().BeginUndoableOperation(kind, caption);
    Services().Operations().RefreshLayerNavigator();
  }
  void ShowSelection(TNewImgForm& w, const TRect& r) {
    w.Selection().SetSelectionRect(r);
    w.Selection().Show();
    w.SelectionDefined = true;
  }
  TLayerItem& AddText() {
    auto data = std::make_unique<TTextData>();
    data->Lines = {"Titre"};
    AddTextLayer(Services().LayerHost(), "#1", std::move(data));
    return *Services().GetActiveImgForm()->Image().GetActiveLayer();
  }
  void Wheel(QWidget* target, int delta, QPoint at = {5, 5}) {
    QWheelEvent e(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &e);
  }
};

}  // namespace

TEST(ZoomSteps, StepInAndOutFromEveryKindOfZoom) {
  struct Case {
    double zoom;
    int in, out;  // the box index reached; 0 none
  } cases[] = {
      {0.05, 1, 0},  // a large picture fitted below the first step
      {0.1, 2, 0},         {0.25, 3, 1},          {1.0 / 3, 4, 2}, {0.8, 7, 6}, {1, 8, 6},
      {2, 9, 7},           {15.9, 15, 14},        {16, 0, 14},     {40, 0, 15},
      {std::numeric_limits<double>::quiet_NaN(), 1, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ZoomStepFrom(c.zoom, TZoomDirection::In), c.in) << c.zoom;
    EXPECT_EQ(ZoomStepFrom(c.zoom, TZoomDirection::Out), c.out) << c.zoom;
  }
  // The box shows a step the zoom equals; 100 % of a fit reads as the fit.
  EXPECT_EQ(ZoomBoxIndex(1, false), kZoom100Index);
  EXPECT_EQ(ZoomBoxIndex(1, true), kZoomAutoIndex);
  EXPECT_EQ(ZoomBoxIndex(0.50005, true), 4);
  EXPECT_EQ(ZoomBoxIndex(0.8, false), kZoomAutoIndex);
}

TEST(MenuStates, EveryTopMenuFollowsTheActiveDocument) {
  RulesEditor e;
  TMainForm& form = e.StartWithEveryCommand();
  // No document: files can be opened, nothing else works on an image.
  struct Expect {
    const char* name;
    bool enabled;
  };
  auto check = [&](const char* when, std::initializer_list<Expect> expected) {
    for (const Expect& x : expected) EXPECT_EQ(e.Enabled(x.name), x.enabled) << when << ": " << x.name;
  };
  check("no document", {{"MenuFichier", true},       {"MenuFichierOuvrir", true},  {"MenuFichierEnregistrer", false},
                        {"MenuEditionCopier", false}, {"MenuFiltre", false},        {"MenuReglage", false},
                        {"MenuAffichage", false},     {"MenuFenetre", false},       {"MenuAide", true},
                        {"BtnZoomPlus", false},       {"BtnNew", true}});
  EXPECT_FALSE(form.Views().ZoomBox().isEnabled());
  // Help without its page says so.
  ASSERT_TRUE(form.Commands().Trigger("MenuAideInfos"));
  EXPECT_TRUE(e.Said(TextId::GetTrDlgMain1));

  TNewImgForm& photo = e.NewDocument(Picture(80, 60, 10));
  check("a photo", {{"MenuFiltre", true},       {"MenuReglage", true},         {"MenuFiltreGris", true},
                    {"MenuEditionCopier", true}, {"MenuEditionCouper", false},  {"MenuImageRecadrer", false},
                    {"MenuAffichage", true},     {"MenuFenetre", true},         {"MenuFichierEnregistrer", true},
                    {"MenuFichierRetablir", false}, {"BtnRVB", false},          {"MenuModeIndex", true},
                    {"MenuAttenuer", false}});
  EXPECT_TRUE(form.Commands().Action("MenuModeRGB")->isChecked());
  EXPECT_EQ(e.Text("MenuSelSelection"), "Afficher la sélection");

  e.ShowSelection(photo, TRect{10, 10, 40, 30});
  check("a selection", {{"MenuEditionCouper", true}, {"MenuImageRecadrer", true}, {"MenuSelInverser", true},
                        {"MenuContour", true}});
  EXPECT_EQ(e.Text("MenuSelSelection"), "Masquer la sélection");
  photo.Selection().Inverted = true;
  check("an inverted selection", {{"MenuContour", false}, {"MenuFiltreProgressif", false}});
  photo.Selection().Inverted = false;

  // Fade: off after a whole-image step, on after a filter, named after it.
  e.Step(ukWholeImage, "Taille de l'image");
  check("after a whole-image step", {{"MenuAttenuer", false}});
  EXPECT_EQ(e.Text("MenuAttenuer"), "Atténuer");
  e.Step(ukWorkRect, "Flou");
  check("after a filter", {{"MenuAttenuer", true}, {"MenuEditionUndo", true}});
  EXPECT_EQ(e.Text("MenuAttenuer"), "Atténuer Flou...");
  EXPECT_EQ(e.Text("MenuEditionUndo"), "Défaire Flou");

  // A text layer: no filter, no adjustment, no copy of its pixels.
  e.AddText();
  check("a text layer", {{"MenuFiltre", false},     {"MenuReglage", false}, {"BtnFlou", false},
                         {"MenuEditionCopier", false}, {"BtnSymVert", false}, {"MenuImage", true}});
  EXPECT_EQ(e.Text("PopSelRecadrer"), "Recadrer le calque");

  // An indexed picture: the index mode is checked and cannot be chosen again.
  e.NewDocument(Picture(40, 30, 90), 256);
  check("indexed colours", {{"MenuModeIndex", false}, {"MenuModeRGB", true}, {"BtnRVB", true},
                            {"MenuReglage", false}});
  EXPECT_TRUE(form.Commands().Action("MenuModeIndex")->isChecked());
  EXPECT_EQ(e.Text("PopSelRecadrer"), "Recadrer l'image");

  // A parameter dialog holds the shell: every menu is shut.
  e.Services().SetShellLock(&form);
  check("locked", {{"MenuFichier", false}, {"MenuEdition", false}, {"MenuImage", false}, {"MenuAffichage", false},
                   {"MenuFenetre", false}, {"MenuOutils", false}, {"MenuAide", false}});
  e.Services().SetShellLock(nullptr);

  // Tiled vertically, the two documents share the width side by side.
  ASSERT_TRUE(form.Commands().Trigger("MenuFenetreMosaiqueV"));
  const auto& windows = e.Services().Windows().Windows();
  const int room = e.Services().Windows().Area().viewport()->width();
  EXPECT_EQ(windows[0]->geometry().left(), 0);
  EXPECT_EQ(windows[1]->geometry().left(), room / 2);
  EXPECT_EQ(windows[1]->geometry().right(), room - 1);
}

TEST(MenuStates, AShortcutNeverRunsWhatTheDocumentNoLongerAllows) {
  RulesEditor e;
  TMainForm& form = e.Start();
  e.NewDocument(Picture(80, 60, 10));
  e.AddLayer(40);
  int runs = 0;
  e.Services().Operations().RecordRepeatableCommand("Flou", [&runs] { ++runs; });
  form.UpdateCommandStates();
  form.activateWindow();
  QApplication::setActiveWindow(&form);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  QTest::keyClick(&form, Qt::Key_K, Qt::ControlModifier);
  EXPECT_EQ(runs, 1);
  // The active layer turns into text behind the menus' back: the item still shows
  // enabled, yet its shortcut does nothing.
  e.Services().GetActiveImgForm()->Image().GetActiveLayer()->LayerType = ltText;
  EXPECT_TRUE(form.Commands().Action("MenuFiltreRepeter")->isEnabled());
  QTest::keyClick(&form, Qt::Key_K, Qt::ControlModifier);
  EXPECT_EQ(runs, 1);
  EXPECT_FALSE(form.Commands().Action("MenuFiltreRepeter")->isEnabled());
  form.UpdateCommandStates();
  QTest::keyClick(&form, Qt::Key_K, Qt::ControlModifier);
  EXPECT_EQ(runs, 1);
  e.Services().GetActiveImgForm()->Image().GetActiveLayer()->LayerType = ltBitmap;
  form.UpdateCommandStates();
  QTest::keyClick(&form, Qt::Key_K, Qt::ControlModifier);
  EXPECT_EQ(runs, 2);
}

TEST(MenuStates, ZoomStepsTheirLimitsAndTheWheel) {
  RulesEditor e;
  TMainForm& form = e.Start();
  TCommandSet& commands = form.Commands();
  QComboBox& box = form.Views().ZoomBox();
  TNewImgForm& w = e.NewDocument(Picture(600, 400, 10));
  TMyImageLayered& view = w.View();

  ASSERT_TRUE(commands.Trigger("MenuZoom100"));
  EXPECT_EQ(view.Zoom(), 1);
  EXPECT_EQ(box.currentIndex(), kZoom100Index);
  EXPECT_FALSE(e.Enabled("BtnZoom100"));
  // In to the last step, where zooming in stops.
  std::vector<double> reached;
  while (commands.Trigger("BtnZoomPlus")) reached.push_back(view.Zoom());
  EXPECT_EQ(reached, (std::vector<double>{2, 3, 4, 5, 6, 8, 12, 16}));
  EXPECT_FALSE(e.Enabled("MenuZoomAvant"));
  EXPECT_EQ(box.currentIndex(), 15);
  // Out to the first step.
  reached.clear();
  while (commands.Trigger("MenuZoomArriere")) reached.push_back(view.Zoom());
  EXPECT_EQ(reached.size(), 14u);
  EXPECT_EQ(view.Zoom(), 0.1);
  EXPECT_FALSE(e.Enabled("BtnZoomMoins"));
  EXPECT_TRUE(e.Enabled("BtnZoomPlus"));
  // Between steps: out to the step below, in to the step above.
  view.SetZoom(0.8);
  ASSERT_TRUE(commands.Trigger("MenuZoomArriere"));
  EXPECT_EQ(view.Zoom(), 0.75);
  view.SetZoom(0.8);
  ASSERT_TRUE(commands.Trigger("MenuZoomAvant"));
  EXPECT_EQ(view.Zoom(), 1);
  // The automatic fit shows its zoom in the box.
  ASSERT_TRUE(commands.Trigger("MenuZoomAuto"));
  EXPECT_TRUE(w.FitToWindow);
  EXPECT_EQ(box.currentIndex(), kZoomAutoIndex);
  EXPECT_LE(view.Zoom(), 1);

  // A wide picture fitted below the first step zooms in to it, and not out.
  TNewImgForm& wide = e.NewDocument(Picture(12000, 60, 50));
  ASSERT_LT(wide.View().Zoom(), 0.1);
  EXPECT_FALSE(e.Enabled("MenuZoomArriere"));
  ASSERT_TRUE(commands.Trigger("MenuZoomAvant"));
  EXPECT_EQ(wide.View().Zoom(), 0.1);
  wide.CloseImageWindow(true);
  QApplication::processEvents();

  // The wheel over a shown scroll bar scrolls by 33 pixels; over the image it zooms.
  box.setCurrentIndex(9);  // 300 %
  form.Views().ApplyZoomChoice();
  ASSERT_EQ(e.Services().GetActiveImgForm(), &w);
  QScrollBar* bar = view.verticalScrollBar();
  ASSERT_GT(bar->maximum(), 100);
  bar->setValue(50);
  e.Wheel(bar, -120);
  EXPECT_EQ(bar->value(), 50 + TViewCommands::kWheelScroll);
  e.Wheel(bar, 120);
  EXPECT_EQ(bar->value(), 50);
  EXPECT_EQ(view.Zoom(), 3);
  e.Wheel(view.viewport(), -120, QPoint(40, 40));
  EXPECT_EQ(view.Zoom(), 4);
  e.Wheel(view.viewport(), 120, QPoint(40, 40));
  EXPECT_EQ(view.Zoom(), 3);
  EXPECT_EQ(box.currentIndex(), 9);

  // A middle click on the document fits it to its window.
  QTest::mouseClick(view.viewport(), Qt::MiddleButton, Qt::NoModifier, QPoint(40, 40));
  EXPECT_TRUE(w.FitToWindow);
  EXPECT_EQ(box.currentIndex(), kZoomAutoIndex);
  EXPECT_LE(view.Zoom(), 1);
}

TEST(MenuStates, TheTransformFrameAppliesInOneStepAndCancelLeavesNothing) {
  RulesEditor e;
  TMainForm& form = e.Start();
  TNewImgForm& w = e.NewDocument(Picture(200, 150, 10));
  // the background stays where it is
  EXPECT_FALSE(form.Distortion().Open(TLayerTransformMode::Scale));
  EXPECT_FALSE(e.Services().ShellLock());
  e.AddLayer(70);  // 30 x 20 at (10, 10)
  TMyImageLayered& view = w.View();
  ASSERT_TRUE(form.Commands().Trigger("MenuZoom100"));
  TLayerItem& layer = *w.Image().GetActiveLayer();
  const TBitmap before = layer.Image.Clone();
  const int steps = w.History().GetUndoStepCount();
  TDistortionFrame& frame = form.Distortion();

  // The user drags the bottom-right handle from (40, 30) to (70, 50) on the image.
  auto drag = [&] {
    const TPoint from = view.ImageToClientPoint(TPoint{39, 29});
    const TPoint to = view.ImageToClientPoint(TPoint{69, 49});
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, QPoint(from.X, from.Y));
    QTest::mouseMove(view.viewport(), QPoint((from.X + to.X) / 2, (from.Y + to.Y) / 2));
    QTest::mouseMove(view.viewport(), QPoint(to.X, to.Y));
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, QPoint(to.X, to.Y));
  };

  // Cancel: the layer, the history and the shell as they were.
  ASSERT_TRUE(frame.Open(TLayerTransformMode::Scale));
  EXPECT_TRUE(e.Services().ShellLock());
  EXPECT_FALSE(e.Enabled("MenuFichier"));
  drag();
  ASSERT_TRUE(layer.Transform);
  EXPECT_EQ(frame.Control()->GetBoundsRect().Right, 70);
  QTest::keyClick(&view, Qt::Key_Escape);
  EXPECT_FALSE(frame.IsOpen());
  EXPECT_FALSE(layer.Transform);
  EXPECT_FALSE(e.Services().ShellLock());
  EXPECT_EQ(w.History().GetUndoStepCount(), steps);
  EXPECT_TRUE(SameBitmaps(layer.Image, before));
  EXPECT_EQ(layer.Left, 10);

  // Apply: one step, captioned as the layer transform menu, that undo takes back.
  ASSERT_TRUE(frame.Open(TLayerTransformMode::Scale));
  drag();
  QTest::keyClick(&view, Qt::Key_Return);
  EXPECT_FALSE(frame.IsOpen());
  EXPECT_FALSE(layer.Transform);
  EXPECT_FALSE(e.Services().ShellLock());
  EXPECT_EQ(w.History().GetUndoStepCount(), steps + 1);
  EXPECT_EQ(w.History().GetCurrentUndoStep()->Name, "Transformation");
  EXPECT_EQ(layer.Image.Width(), 60);
  EXPECT_EQ(layer.Image.Height(), 40);
  EXPECT_EQ(layer.Left, 10);
  EXPECT_TRUE(e.Enabled("MenuFichier"));
  ASSERT_TRUE(form.Commands().Trigger("MenuEditionUndo"));
  EXPECT_TRUE(SameBitmaps(w.Image().GetActiveLayer()->Image, before));

  // A free distortion through its pop-up.
  ASSERT_TRUE(frame.Open(TLayerTransformMode::Distort));
  EXPECT_EQ(e.Services().ImagePopupMenu(), form.Commands().Menu("PopTortion"));
  drag();
  ASSERT_TRUE(form.Commands().Trigger("PopDistorsionValider"));
  EXPECT_FALSE(frame.IsOpen());
  EXPECT_EQ(w.History().GetUndoStepCount(), steps + 1);
}

namespace {

// The pages the desktop is asked to open, caught before it sees them.
class TPageCatcher : public QObject {
  Q_OBJECT

 public slots:
  void Open(const QUrl& url) { Opened.push_back(url); }

 public:
  std::vector<QUrl> Opened;
};

}  // namespace

// Aide opens the page the build made beside the program, in the desktop's browser.
TEST(MenuStates, HelpOpensThePageTheBuildMade) {
  SetProgramDataFolder(QM_PROGRAM_DATA_FOLDER);
  Editor e;
  TMainForm& form = e.Start();
  TPageCatcher pages;
  QDesktopServices::setUrlHandler(QStringLiteral("file"), &pages, "Open");
  EXPECT_TRUE(form.Commands().Trigger("MenuAideInfos"));
  QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
  SetProgramDataFolder({});
  ASSERT_EQ(pages.Opened.size(), 1u);
  EXPECT_EQ(pages.Opened[0].toLocalFile().toStdString(), std::string(QM_PROGRAM_DATA_FOLDER) + "/Quillomatic.htm");
  EXPECT_TRUE(e.Messages.empty());
}

#include "MenuStates_test.moc"
