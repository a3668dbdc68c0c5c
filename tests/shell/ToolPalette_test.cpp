// The tool palette's rules, and its tools as a user drives them: the real main window,
// a real document, pointer drags sent to the real view.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QMouseEvent>
#include <QTest>

#include "controls/PrevNextButton.h"
#include "document/LayerOps.h"
#include "platform/core/Messages.h"
#include "platform/texts/UiTexts.h"
#include "shell/main/MainForm.h"
#include "shell/palette/PaletteRules.h"
#include "shell/palette/ToolPalette.h"
#include "support/QtTestApp.h"
#include "support/TempFiles.h"

using namespace qm;
using namespace qm::test;

// --- Rules ------------------------------------------------------------------------------

TEST(PaletteRules, NumbersSizesStripsAndSteps) {
  EXPECT_EQ(ToolForNumber(7), TTool::AdvancedBrush);
  EXPECT_EQ(ToolForNumber(14), TTool::Retouch);
  for (int n : {0, 15, 99, -1}) EXPECT_EQ(ToolForNumber(n), TTool::Selection) << n;

  EXPECT_EQ(ReadSizeText("abc", kBrushSizeMin), 30);
  EXPECT_EQ(ReadSizeText("1", kBrushSizeMin), 3);
  EXPECT_EQ(ReadSizeText("1", kStampSizeMin), 1);
  EXPECT_EQ(ReadSizeText("250", kStampSizeMin), 100);
  EXPECT_EQ(ReadSizeText("", kBrushSizeMin), 30);

  const int pressures[] = {100, 3, 5, 7, 10, 15, 22, 33, 50, 70, 100};
  for (int pos = 0; pos <= 10; ++pos) EXPECT_EQ(PressureForStep(pos), pressures[pos]) << pos;
  EXPECT_EQ(AdvancedTipSettings(17000).Pressure, 70);
  EXPECT_EQ(AdvancedTipSettings(17000).Fade, 1);
  EXPECT_EQ(AdvancedTipSettings(9002).Spacing, 2);
  EXPECT_EQ(AdvancedTipSettings(9002).Pressure, 90);
  EXPECT_EQ(AdvancedTipSettings(8).Pressure, 100);

  EXPECT_EQ(StepStrip(11, 1), 0);
  EXPECT_EQ(StepStrip(0, -1), 11);
  EXPECT_EQ(StripFromSettings(12), 0);
  EXPECT_EQ(StripFromSettings(-3), 0);
  EXPECT_EQ(StripFromSettings(11), 11);

  // One step of the snap is enough for the view to follow, on either axis.
  EXPECT_TRUE(MoveStepReached({0, 0}, {3, 0}, 3));
  EXPECT_TRUE(MoveStepReached({0, 0}, {0, -3}, 3));
  EXPECT_FALSE(MoveStepReached({6, 6}, {6, 6}, 3));
  EXPECT_EQ(SnapToStep({17, 9}, 8), (TPoint{16, 8}));
}

TEST(PaletteRules, TheGridsLastPixelsPickItsLastCells) {
  // 81 x 51: cells of 10 x 10, the last column and row one pixel wider.
  TBitmap strip(81, 51);
  PaintColorStrip(strip, 0);
  EXPECT_EQ(StripColorAt(strip, 0, 0, 0), TColor(0x000000));
  EXPECT_EQ(StripColorAt(strip, 0, 80, 50), TColor(0xFFFFFF));
  EXPECT_EQ(StripColorAt(strip, 0, 80, 0), TColor(0x333333));
  EXPECT_EQ(StripColorAt(strip, 0, 0, 50), TColor(0xCC99FF));
  EXPECT_EQ(StripColorAt(strip, 0, 81, 0), clNone);
  PaintColorStrip(strip, 2);
  EXPECT_EQ(StripColorAt(strip, 2, 40, 25), strip.GetPixel(40, 25));
}

TEST(PaletteRules, ToolEnablingFollowsTheDocument) {
  using T = TTool;
  struct Row {
    TToolFacts f;
    std::vector<T> on;
  };
  const std::vector<T> all = {T::Selection, T::Pipette, T::MagicWand, T::Line,   T::Fill,
                              T::Airbrush,  T::Brush,   T::AdvancedBrush, T::Blur, T::Smudge,
                              T::Stamp,     T::Move,    T::Eraser,  T::Layer,  T::Retouch};
  const std::vector<T> viewing = {T::Selection, T::Pipette, T::Move, T::Layer};
  const Row rows[] = {
      {{}, {}},
      {{true, true}, all},
      // 256 colours: nothing paints, the wand still selects
      {{true, false}, {T::Selection, T::Pipette, T::Move, T::Layer, T::MagicWand}},
      // ... but a background with a key colour can be erased
      {{true, false, false, false, true}, {T::Selection, T::Pipette, T::Move, T::Layer, T::MagicWand, T::Eraser}},
      {{true, true, true}, viewing},
      // a text layer: only the wand selects on it
      {{true, true, false, true, false, true}, {T::Selection, T::Pipette, T::Move, T::Layer, T::MagicWand}},
      {{true, true, false, true, false, false}, viewing},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const TToolEnabling e = ToolEnabling(rows[i].f);
    for (T t : all) {
      const bool want = std::find(rows[i].on.begin(), rows[i].on.end(), t) != rows[i].on.end();
      EXPECT_EQ(e[t], want) << "row " << i << " tool " << int(t);
    }
    EXPECT_EQ(e.SelectionPage, rows[i].f.Document);
    EXPECT_EQ(e.ShapeOptions, rows[i].f.Document && rows[i].f.TrueColor && !rows[i].f.Blocked && !rows[i].f.UpperLayer);
  }
}

// --- The palette in the editor ------------------------------------------------------------

namespace {

// The editor over settings of the test's own, its messages recorded and confirmed.
struct Painter {
  struct TAppFirst {
    TAppFirst() { App(); }
  } AppFirst;
  TempFolder Home{"palette"};
  std::vector<std::string> Messages;
  std::unique_ptr<TMainForm> Form;

  explicit Painter(const std::string& settings = "[Tools]\nToolsPalette=1\nToolsAlignment=2\n") {
    setenv("QM_HOME", Home.Path.c_str(), 1);
    Home.Write("Quillomatic.ini", settings);
    ResetTextTable();
    SetMessageHandler([this](const std::string& text, int, int, const std::string&) {
      Messages.push_back(text);
      return int(mrOk);
    });
    Form = std::make_unique<TMainForm>(TMainForm::TStartOptions{});
    Form->resize(1100, 800);
    Form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    EXPECT_TRUE(QTest::qWaitFor([this] { return Form->FirstPaintDone(); }, 20000));
  }
  ~Painter() {
    Form.reset();
    SetMessageHandler({});
    unsetenv("QM_HOME");
  }
  TShellServices& Services() { return Form->Services(); }
  TOutilsForm& Palette() { return Form->Palette(); }
  template <class W>
  W* Find(const char* name) {
    W* w = Palette().findChild<W*>(QLatin1String(name));
    EXPECT_TRUE(w) << name;
    return w;
  }

  // A new document of the colour count on a white picture.
  TNewImgForm& Open(int w = 300, int h = 200, int colors = 16777216) {
    TBitmap b(w, h);
    TNewImgForm* win = Services().CreateImageWindow(&b, nullptr, colors, true, "");
    EXPECT_TRUE(win);
    QApplication::processEvents();
    Form->UpdateCommandStates();
    return *win;
  }
  TNewImgForm& Window() { return *Services().GetActiveImgForm(); }
  TBitmap& Layer() { return Window().Image().GetActiveLayer()->Image; }

  // The pointer through the view's viewport, at layer points.
  void Send(QEvent::Type type, TPoint at, Qt::MouseButton button, Qt::MouseButtons held,
            Qt::KeyboardModifiers mods) {
    QWidget* vp = Window().View().viewport();
    const TPoint c = Window().View().LayerToClientPoint(at);
    const QPointF local(c.X, c.Y);
    QMouseEvent e(type, local, vp->mapToGlobal(local), button, held, mods);
    QApplication::sendEvent(vp, &e);
  }
  void Drag(const std::vector<TPoint>& path, Qt::KeyboardModifiers mods = {},
            Qt::MouseButton button = Qt::LeftButton) {
    Send(QEvent::MouseButtonPress, path.front(), button, button, mods);
    for (size_t i = 1; i < path.size(); ++i) Send(QEvent::MouseMove, path[i], Qt::NoButton, button, mods);
    Send(QEvent::MouseButtonRelease, path.back(), button, Qt::NoButton, mods);
  }
  void ClickArrow(const char* name) {
    TMyUpDown* arrows = Find<TPrevNextButton>(name)->UpDown();
    QTest::mouseClick(arrows, Qt::LeftButton, {}, arrows->mapFromParent(QPoint(8, 6)));
  }
  void Choose(TTool t) {
    Palette().SelectTool(t);
    ASSERT_EQ(Palette().Tool(), t);
  }
  // The brush's square tip of the size (radius) at full pressure.
  void SquareBrush(int size) {
    Choose(TTool::Brush);
    auto* tips = Find<QWidget>("TlbDessin1");
    QTest::mouseClick(tips, Qt::LeftButton, {}, QPoint(40, 10));  // the second tip: the square
    Find<QComboBox>("CBTailleBrush")->setEditText(QString::number(size));
  }
};

bool IsWhite(const TBitmap& b, const TRect& r) {
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x)
      if (b.GetPixel(x, y) != clWhite) return false;
  return true;
}

int PaintedCount(const TBitmap& b, const TRect& r) {
  int n = 0;
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) n += b.GetPixel(x, y) != clWhite;
  return n;
}

}  // namespace

TEST(ToolPalette, ChoosesOnlyEnabledToolsAndFollowsTheDocument) {
  Painter p;
  TOutilsForm& palette = p.Palette();
  EXPECT_TRUE(palette.IsToolPaletteShown());
  EXPECT_EQ(palette.GetPaletteAlignment(), 2);
  palette.SelectTool(7);  // no document: the advanced brush is disabled
  EXPECT_EQ(palette.Tool(), TTool::Selection);

  p.Open(60, 40, 256);  // a palette picture: the painting tools stay off
  palette.SelectTool(6);
  EXPECT_EQ(palette.Tool(), TTool::Selection);
  palette.SelectTool(int(TTool::MagicWand));
  EXPECT_EQ(palette.Tool(), TTool::MagicWand);

  TNewImgForm& rgb = p.Open(60, 40);
  palette.SelectTool(7);
  EXPECT_EQ(palette.Tool(), TTool::AdvancedBrush);
  palette.SelectTool(99);
  EXPECT_EQ(palette.Tool(), TTool::Selection);
  palette.SelectTool(int(TTool::Eraser));
  EXPECT_EQ(palette.Tool(), TTool::Eraser);
  // hiding the layer blocks it: the eraser gives way to the selection tool
  rgb.Image().GetActiveLayer()->Visible = false;
  p.Form->UpdateCommandStates();
  EXPECT_EQ(palette.Tool(), TTool::Selection);
  EXPECT_FALSE(p.Find<QWidget>("BtnGomme")->isEnabled());
  EXPECT_TRUE(p.Find<QWidget>("BtnScroll")->isEnabled());

  // the size boxes' rules, put in force by a press on the image
  rgb.Image().GetActiveLayer()->Visible = true;
  p.Form->UpdateCommandStates();
  auto* brush = p.Find<QComboBox>("CBTailleBrush");
  auto* stamp = p.Find<QComboBox>("CBTailleBrush3");
  brush->setEditText("abc");
  stamp->setEditText("1");
  palette.FlushPaletteEdits();
  EXPECT_EQ(brush->currentText(), "30");
  EXPECT_EQ(stamp->currentText(), "1");
  brush->setEditText("1");
  palette.FlushPaletteEdits();
  EXPECT_EQ(brush->currentText(), "3");

  // the strip steps round; the settings keep it
  palette.SetStripIndex(11);
  p.ClickArrow("BtnNextGrad");
  EXPECT_EQ(palette.StripIndex(), 0);
  p.ClickArrow("BtnPrevGrad");
  EXPECT_EQ(palette.StripIndex(), 11);
  // a right click on the grid's last cell takes the background colour
  palette.SetStripIndex(0);
  QWidget* grid = p.Find<QWidget>("ImgGrad");
  QTest::mouseClick(grid, Qt::RightButton, {}, QPoint(grid->width() - 1, grid->height() - 1));
  EXPECT_EQ(palette.GetPaletteColor(true), TColor(0xFFFFFF));
  QTest::mouseClick(grid, Qt::LeftButton, {}, QPoint(grid->width() - 1, 0));
  EXPECT_EQ(palette.GetPaletteColor(false), TColor(0x333333));
}

TEST(ToolPalette, BrushStrokesLockTheAxisSpaceTheirDabsAndFade) {
  Painter p;
  p.Open(400, 300);
  p.Palette().SetPaletteColor(clBlack, false);

  // Shift: the first move (5 right, 2 down) locks the stroke horizontally for good.
  p.SquareBrush(3);
  p.Drag({{100, 100}, {105, 102}, {107, 160}, {110, 200}}, Qt::ShiftModifier);
  EXPECT_EQ(PaintedCount(p.Layer(), TRect{0, 104, 400, 300}), 0);
  EXPECT_EQ(p.Layer().GetPixel(110, 100), clBlack);
  EXPECT_EQ(p.Layer().GetPixel(110, 103), clBlack);
  p.Services().Operations().Undo();
  EXPECT_TRUE(IsWhite(p.Layer(), TRect{0, 0, 400, 300}));

  // A tip of radius 80 spaces its dabs by 8: a drag of 5 places only the first dab.
  p.SquareBrush(80);
  p.Drag({{200, 150}, {203, 150}, {205, 150}});
  EXPECT_EQ(p.Layer().GetPixel(280, 150), clBlack);
  EXPECT_TRUE(IsWhite(p.Layer(), TRect{281, 0, 400, 300}));
  p.Services().Operations().Undo();

  // The first advanced tip (pressure 70, fading 1 every third dab) runs out after
  // 210 dabs: the stroke stops where its 210th dab lands.
  p.Choose(TTool::AdvancedBrush);
  p.Drag({{20, 150}, {380, 150}});
  const TBitmap& b = p.Layer();
  int lastPainted = -1;
  for (int x = 0; x < 400; ++x)
    if (PaintedCount(b, TRect{x, 0, x + 1, 300})) lastPainted = x;
  ASSERT_GT(lastPainted, 20);
  EXPECT_LT(lastPainted, 20 + 210 + 40);  // the last dab plus the tip's half width
  EXPECT_GT(lastPainted, 20 + 200);
  EXPECT_TRUE(IsWhite(b, TRect{20 + 210 + 40, 0, 400, 300}));
}

TEST(ToolPalette, EraserPaintsTheBackgroundOrHidesThroughTheMask) {
  Painter p;
  TNewImgForm& w = p.Open(200, 100);
  p.Layer().FillRect(TRect{0, 0, 200, 100}, 0x336699);
  p.Palette().SetPaletteColor(0x00FF00, true);
  p.Choose(TTool::Eraser);
  p.Find<QComboBox>("CBTailleBrush")->setEditText("5");
  p.Drag({{50, 50}, {60, 50}});
  EXPECT_EQ(p.Layer().GetPixel(55, 50), TColor(0x00FF00));
  EXPECT_EQ(p.Layer().GetPixel(150, 50), TColor(0x336699));

  // with a mask the eraser hides: white into the mask, the picture kept
  TLayerItem& layer = *w.Image().GetActiveLayer();
  layer.Mask = TBitmap(200, 100, pf24bit, clBlack);
  p.Drag({{120, 50}, {130, 50}});
  EXPECT_EQ(layer.Mask.GetPixel(125, 50), clWhite);
  EXPECT_EQ(layer.Mask.GetPixel(20, 50), clBlack);
  EXPECT_EQ(p.Layer().GetPixel(125, 50), TColor(0x336699));
  p.Services().Operations().Undo();
  EXPECT_EQ(layer.Mask.GetPixel(125, 50), clBlack);
}

TEST(ToolPalette, CloneStrokesKeepTheirOffsetAndAskForASource) {
  Painter p;
  TNewImgForm& w = p.Open(300, 200);
  TBitmap& b = p.Layer();
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 100; ++x) b.SetPixel(x, y, RGB(x * 2, y, 128));
  p.Choose(TTool::Stamp);
  p.Find<QComboBox>("CBTailleBrush3")->setEditText("4");
  p.Drag({{200, 50}, {210, 50}});
  ASSERT_EQ(p.Messages.size(), 1u);
  EXPECT_EQ(p.Messages[0], Tr(TextId::GetTrDlgTool2));
  EXPECT_TRUE(IsWhite(b, TRect{100, 0, 300, 200}));

  // Ctrl + click: the source; the first stroke fixes the offset (-150, 0), the second
  // keeps it though it starts elsewhere.
  p.Drag({{40, 60}}, Qt::ControlModifier);
  EXPECT_EQ(w.CloneSource, (TPoint{40, 60}));
  p.Drag({{190, 60}, {200, 60}});
  p.Drag({{220, 120}, {230, 120}});
  for (TPoint q : {TPoint{195, 60}, TPoint{225, 120}, TPoint{229, 120}})
    EXPECT_EQ(b.GetPixel(q.X, q.Y), b.GetPixel(q.X - 150, q.Y)) << q.X << "," << q.Y;
  EXPECT_EQ(p.Messages.size(), 1u);
}

TEST(ToolPalette, PaintStaysInTheSelectionAndUndoKeepsOnlyTheStroke) {
  Painter p;
  TNewImgForm& w = p.Open(300, 200);
  p.Palette().SetPaletteColor(clBlack, false);
  p.SquareBrush(5);
  // everything but the rectangle is selected: the stroke across it leaves it white
  w.Selection().SetSelectionRect(TRect{100, 50, 200, 150});
  w.Selection().SetOutlineInset(true);
  w.Selection().Show();
  p.Drag({{50, 100}, {250, 100}});
  EXPECT_EQ(p.Layer().GetPixel(60, 100), clBlack);
  EXPECT_EQ(p.Layer().GetPixel(240, 100), clBlack);
  EXPECT_TRUE(IsWhite(p.Layer(), TRect{103, 50, 197, 150}));
  w.Selection().Hide();
  w.Selection().SetOutlineInset(false);

  // the step holds the stroke's rectangle (the tip's half size + 2 around it), no more
  p.Drag({{20, 20}, {40, 30}});
  const TUndoLayerItem* step = w.History().GetCurrentUndoStep();
  ASSERT_TRUE(step);
  EXPECT_EQ(step->Rect, (TRect{20 - 7, 20 - 7, 40 + 8, 30 + 8}));
  p.Services().Operations().Undo();
  EXPECT_TRUE(IsWhite(p.Layer(), TRect{0, 0, 100, 50}));
  EXPECT_EQ(p.Layer().GetPixel(60, 100), clBlack);  // the first stroke stays
}

TEST(ToolPalette, LinesGoIntoTheLayerWithTheirArrows) {
  Painter p;
  p.Open(200, 100);
  p.Palette().SetPaletteColor(clBlack, false);
  p.Choose(TTool::Line);
  p.Find<QCheckBox>("CBFleche2")->setChecked(true);  // a head at the first point
  p.Drag({{40, 50}, {80, 50}, {160, 50}});
  EXPECT_EQ(p.Layer().GetPixel(100, 50), clBlack);
  // the head (length 2w + 5 - 1 = 8 for the width 2) widens the line at its start only
  EXPECT_NE(p.Layer().GetPixel(47, 53), clWhite);
  EXPECT_EQ(p.Layer().GetPixel(153, 53), clWhite);
  p.Services().Operations().Undo();
  EXPECT_TRUE(IsWhite(p.Layer(), TRect{0, 0, 200, 100}));
}
