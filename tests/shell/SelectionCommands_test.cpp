// The Selection menu and the answers to the document windows, on real windows.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QTest>
#include <filesystem>
#include <vector>

#include "document/LayerOps.h"
#include "shell/services/CommandSet.h"
#include "shell/commands/SelectionCommands.h"
#include "support/ShellWindow.h"
#include "support/TempFiles.h"
#include "support/ViewTestSupport.h"

using namespace qm;
using namespace qm::test;

namespace {

struct TEditor : TShellWindow {
  TCommandSet Commands{&Main};
  TSelectionCommands* Sel;
  std::vector<int> Tools;
  std::vector<TZoomKey> Zooms;

  TEditor() {
    Sel = new TSelectionCommands(Commands, *Services);
    Sel->Hooks.SelectPaletteTool = [this](int tool) { Tools.push_back(tool); };
    Sel->Hooks.Zoom = [this](TZoomKey k) { Zooms.push_back(k); };
  }
  TSelectionControl& Selection() { return Services->GetActiveImgForm()->Selection(); }
  // A selection of that shape shown over r.
  void Select(TMyShape kind, const TRect& r) {
    Selection().SetShape(kind);
    Selection().SetSelectionRect(r);
    Sel->ResetSelectionMode();
  }
  std::string Caption(const char* name) { return Commands.Action(name)->text().toStdString(); }
};

TRect Size(const TRect& r) { return TRect{0, 0, r.Width(), r.Height()}; }

}  // namespace

TEST(SelectionCommands, ShowHideAllInvertAndCentre) {
  TEditor e;
  e.Open("/photos/a.png", 200, 150);
  ASSERT_TRUE(e.Commands.Trigger("MenuSelTout"));
  EXPECT_TRUE(e.Selection().Visible);
  EXPECT_EQ(e.Selection().SelRect, (TRect{0, 0, 200, 150}));
  EXPECT_EQ(e.Caption("MenuSelSelection"), "Masquer la sélection");
  EXPECT_EQ(e.Panel(spGeometry), "0:0 => 199:149 (L=200  H=150  L/H=1.33)");
  ASSERT_TRUE(e.Commands.Trigger("MenuSelSelection"));
  EXPECT_FALSE(e.Selection().Visible);
  EXPECT_EQ(e.Caption("MenuSelSelection"), "Afficher la sélection");
  ASSERT_TRUE(e.Commands.Trigger("MenuSelSelection"));
  EXPECT_TRUE(e.Selection().Visible);
  ASSERT_TRUE(e.Commands.Trigger("MenuSelInverser"));
  EXPECT_TRUE(e.Selection().Inverted);
  ASSERT_TRUE(e.Commands.Trigger("PopSelInvert"));
  EXPECT_FALSE(e.Selection().Inverted);

  e.Select(ssEllipse, TRect{10, 10, 50, 30});
  ASSERT_TRUE(e.Commands.Trigger("MenuSelCentre2"));
  EXPECT_EQ(e.Selection().SelRect, (TRect{80, 10, 120, 30}));
  ASSERT_TRUE(e.Commands.Trigger("MenuSelCentre3"));
  EXPECT_EQ(e.Selection().SelRect, (TRect{80, 65, 120, 85}));
  e.Selection().SetSelectionRect(TRect{0, 0, 40, 20});
  ASSERT_TRUE(e.Commands.Trigger("MenuSelCentre1"));
  EXPECT_EQ(e.Selection().SelRect, (TRect{80, 65, 120, 85}));

  // Changing the shape keeps the rectangle; the current shape's item is checked and
  // disabled, the polygon's too without points of its own.
  ASSERT_TRUE(e.Commands.Trigger("MenuSelLosange"));
  EXPECT_EQ(e.Selection().ShapeKind, ssLosange);
  emit e.Commands.Menu("MenuSelForme")->aboutToShow();
  EXPECT_TRUE(e.Commands.Action("MenuSelLosange")->isChecked());
  EXPECT_FALSE(e.Commands.Action("MenuSelLosange")->isEnabled());
  EXPECT_TRUE(e.Commands.Action("MenuSelEllipse")->isEnabled());
  EXPECT_FALSE(e.Commands.Action("MenuSelPolygone")->isEnabled());
}

TEST(SelectionCommands, RatiosRoundHalvesToEven) {
  TEditor e;
  e.Open("/photos/a.png", 1000, 1000);
  const struct {
    const char* Row;
    TRect From, To;
  } cases[] = {
      {"MenuSelAdapter3", {100, 100, 500, 400}, {100, 100, 500, 400}},  // 4:3 keeps 400 x 300
      {"MenuSelAdapter3", {100, 100, 400, 500}, {100, 100, 400, 500}},  // and 300 x 400
      {"MenuSelAdapter1", {0, 0, 301, 100}, {0, 0, 301, 150}},          // 150.5 gives 150
      {"MenuSelAdapter1", {0, 0, 303, 100}, {0, 0, 303, 152}},          // 151.5 gives 152
      {"MenuSelAdapter2", {0, 0, 100, 301}, {0, 0, 201, 301}},          // 200.67 gives 201
      {"MenuSelAdapter4", {10, 10, 110, 510}, {10, 10, 291, 510}},      // 281.25 gives 281
      {"MenuSelAdapter0", {900, 0, 1200, 200}, {700, 0, 900, 200}},     // moved inside, square
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Row);
    e.Select(ssRect, c.From);
    ASSERT_TRUE(e.Commands.Trigger(c.Row));
    EXPECT_EQ(e.Selection().SelRect, c.To);
    EXPECT_TRUE(e.Selection().Visible);
  }
  // Too high for the image: the image's height, the width from it.
  e.Open("/photos/b.png", 1000, 300);
  e.Select(ssRect, TRect{0, 0, 900, 100});
  ASSERT_TRUE(e.Commands.Trigger("MenuSelAdapter1"));
  EXPECT_EQ(e.Selection().SelRect, (TRect{0, 0, 600, 300}));
  // A traced outline keeps its shape.
  e.Select(ssMultiPoints, TRect{0, 0, 50, 70});
  ASSERT_TRUE(e.Commands.Trigger("MenuSelAdapter1"));
  EXPECT_EQ(e.Selection().SelRect, (TRect{0, 0, 50, 70}));
}

TEST(SelectionCommands, ShapesCopiedPastedAndScaled) {
  TEditor e;
  EXPECT_FALSE(e.Commands.IsEnabled("MenuSelColler"));
  e.Open("/photos/wide.png", 2100, 300);
  e.Select(ssEllipse, TRect{50, 100, 2050, 200});
  ASSERT_TRUE(e.Commands.Trigger("MenuSelCopier"));
  EXPECT_EQ(e.Sel->ShapeClipboard().Rect, (TRect{0, 0, 2000, 100}));

  // Into a 500 x 500 image without a selection: fitted to 500 x 25, centred, shown.
  e.Open("/photos/square.png", 500, 500);
  ASSERT_TRUE(e.Commands.Trigger("MenuSelColler"));
  EXPECT_TRUE(e.Messages.empty());
  EXPECT_EQ(Size(e.Selection().SelRect), (TRect{0, 0, 500, 25}));
  EXPECT_EQ(e.Selection().SelRect.Left, 0);
  EXPECT_EQ(e.Selection().ShapeKind, ssEllipse);
  EXPECT_TRUE(e.Selection().Visible);

  // Over a shown selection the question comes first: Yes keeps its rectangle.
  e.Select(ssRect, TRect{10, 10, 60, 40});
  e.Answers.push_back(mrYes);
  ASSERT_TRUE(e.Commands.Trigger("MenuSelColler"));
  ASSERT_EQ(e.Messages.size(), 1u);
  EXPECT_EQ(e.Messages[0], "Voulez-vous conserver les dimensions de la sélection actuelle ?");
  EXPECT_EQ(e.Selection().SelRect, (TRect{10, 10, 60, 40}));
  EXPECT_EQ(e.Selection().ShapeKind, ssEllipse);
}

TEST(SelectionCommands, SelectionFilesSavedAndLoaded) {
  TEditor e;
  TempFolder folder;
  const std::string path = folder.File("forme.qxs");
  TSavePictureRequest asked;
  e.Sel->Hooks.AskSaveFileName = [&](const TSavePictureRequest& r) {
    asked = r;
    return path;
  };
  e.Open("/photos/a.png", 300, 200);
  e.Select(ssEllipse, TRect{10, 20, 110, 70});
  ASSERT_TRUE(e.Commands.Trigger("MenuSelEnregistrer"));
  EXPECT_EQ(asked.FileName, "Selection01.qxs");
  EXPECT_EQ(asked.Title, "Enregistrer la forme");
  EXPECT_EQ(asked.Filter, "Sélection Quillomatic (*.qxs)|*.qxs");
  EXPECT_EQ(asked.DefaultExt, "qxs");
  EXPECT_EQ(e.Sel->SelectionFileCounter, 2);
  ASSERT_TRUE(std::filesystem::exists(path));

  // Loaded from the menu into another document: the same shape and size, centred.
  e.Open("/photos/b.png", 400, 300);
  e.Sel->Hooks.AskOpenFileName = [&](const TOpenPictureRequest& r) {
    EXPECT_EQ(r.Title, "Charger une forme");
    return path;
  };
  ASSERT_TRUE(e.Commands.Trigger("MenuSelCharger"));
  EXPECT_EQ(e.Selection().ShapeKind, ssEllipse);
  EXPECT_EQ(e.Selection().SelRect, (TRect{150, 125, 250, 175}));
  EXPECT_TRUE(e.Selection().Visible);

  // A file that does not read: the message, and a hidden rectangle selection.
  const std::string bad = folder.Write("bad.qxs", "Quillomatic Selection\r\nVectorial\r\n-2\r\nx\r\n");
  e.Answers.push_back(mrNo);  // do not keep the current rectangle
  EXPECT_FALSE(e.Sel->LoadSelectionFile(bad));
  EXPECT_EQ(e.Messages.size(), 2u);
  EXPECT_FALSE(e.Selection().Visible);
  EXPECT_EQ(e.Selection().ShapeKind, ssRect);
}

TEST(SelectionCommands, LayersTracedAndWalked) {
  TEditor e;
  TNewImgForm* w = e.Open("/photos/a.png", 200, 150);
  TBitmap mask(40, 30, pf24bit, clWhite);
  mask.FillRect(TRect{5, 4, 25, 20}, clBlack);
  AddLayerFromBitmap(e.Services->LayerHost(), "#7", RandomBitmap(40, 30, 3), std::move(mask), TPoint{50, 60});
  ASSERT_TRUE(e.Commands.Trigger("MenuSelCalque"));
  EXPECT_EQ(e.Selection().ShapeKind, ssMultiPoints);
  EXPECT_EQ(e.Selection().SelRect, (TRect{55, 64, 75, 80}));
  EXPECT_EQ(e.Selection().AntsColorA, TColor(0x337733));
  EXPECT_FALSE(e.Selection().Resizable);
  // The traced selection inverted becomes the rest of the image.
  ASSERT_TRUE(e.Commands.Trigger("MenuSelInverser"));
  EXPECT_EQ(e.Selection().SelRect, (TRect{0, 0, 200, 150}));
  EXPECT_FALSE(e.Selection().Inverted);
  // A layer without a mask is selected whole.
  AddLayerFromBitmap(e.Services->LayerHost(), "#8", RandomBitmap(30, 20, 4), TBitmap(), TPoint{5, 6});
  w->Image().Layers[2].Mask = TBitmap();
  ASSERT_TRUE(e.Commands.Trigger("MenuSelCalque"));
  EXPECT_EQ(e.Selection().ShapeKind, ssRect);
  EXPECT_EQ(e.Selection().SelRect, (TRect{5, 6, 35, 26}));

  // F7 and F6 walk the layers.
  QTest::keyClick(&w->View(), Qt::Key_F7);
  EXPECT_EQ(w->Image().ActiveIndex(), 1);
  QTest::keyClick(&w->View(), Qt::Key_F6);
  EXPECT_EQ(w->Image().ActiveIndex(), 2);
}

TEST(SelectionCommands, LettersChooseToolsAndShapes) {
  TEditor e;
  TNewImgForm* w = e.Open("/photos/a.png", 200, 150);
  TMyImageLayered& view = w->View();
  QTest::keyClick(&view, Qt::Key_K);
  QTest::keyClick(&view, Qt::Key_X);
  QTest::keyClick(&view, Qt::Key_B);
  EXPECT_EQ(e.Tools, (std::vector<int>{1, 14, 0}));
  EXPECT_EQ(view.SelShape(), ssEllipse);
  QTest::keyClick(&view, Qt::Key_J);
  EXPECT_EQ(view.SelShape(), ssPolygon);
  EXPECT_TRUE(view.MultiLine);
  QTest::keyClick(&view, Qt::Key_I);
  EXPECT_FALSE(view.MultiLine);
  QTest::keyClick(&view, Qt::Key_E);
  EXPECT_EQ(view.SelShape(), ssTriangle1);
  QTest::keyClick(&view, Qt::Key_Plus);
  QTest::keyClick(&view, Qt::Key_0);
  EXPECT_EQ(e.Zooms, (std::vector<TZoomKey>{TZoomKey::In, TZoomKey::Fit}));
  // A letter with Ctrl is a shortcut, not a tool.
  QTest::keyClick(&view, Qt::Key_K, Qt::ControlModifier);
  EXPECT_EQ(e.Tools.size(), 6u);
  // Escape hides the selection.
  e.Select(ssRect, TRect{10, 10, 40, 40});
  QTest::keyClick(&view, Qt::Key_Escape);
  EXPECT_FALSE(e.Selection().Visible);
}

TEST(SelectionCommands, CtrlAddsAndAltTakesAway) {
  TEditor e;
  TNewImgForm* w = e.Open("/photos/a.png", 200, 150);
  TMyImageLayered& view = w->View();
  auto at = [&](int x, int y) {
    const TPoint p = view.ImageToClientPoint(TPoint{x, y});
    return QPoint(p.X, p.Y);
  };
  e.Select(ssRect, TRect{10, 10, 60, 60});
  QTest::keyPress(&view, Qt::Key_Control, Qt::ControlModifier);
  EXPECT_EQ(e.Sel->CombineMode(), TCombineMode::Add);
  EXPECT_EQ(e.Panel(spStatus), "Outil Sélection (+)");
  // Drawn from inside the selection: the overlay leaves the press to the drawing.
  Drag(view, at(40, 40), {at(60, 60), at(100, 90)}, Qt::ControlModifier);
  QTest::keyRelease(&view, Qt::Key_Control, Qt::NoModifier);
  EXPECT_EQ(e.Sel->CombineMode(), TCombineMode::None);
  EXPECT_EQ(e.Selection().ShapeKind, ssMultiPoints);
  EXPECT_EQ(e.Selection().SelRect, (TRect{10, 10, 100, 90}));
  EXPECT_TRUE(e.Selection().Visible);

  QTest::keyPress(&view, Qt::Key_Alt, Qt::AltModifier);
  EXPECT_EQ(e.Panel(spStatus), "Outil Sélection (-)");
  Drag(view, at(0, 0), {at(20, 20), at(55, 100)}, Qt::AltModifier);
  QTest::keyRelease(&view, Qt::Key_Alt, Qt::NoModifier);
  EXPECT_EQ(e.Selection().SelRect, (TRect{55, 10, 100, 90}));
  // Without a modifier a new drawing replaces the selection.
  Drag(view, at(120, 20), {at(130, 30), at(150, 60)});
  EXPECT_EQ(e.Selection().ShapeKind, ssRect);
  EXPECT_EQ(e.Selection().SelRect, (TRect{120, 20, 150, 60}));
  EXPECT_TRUE(e.Selection().Visible);
}

