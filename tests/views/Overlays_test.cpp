#include <gtest/gtest.h>

#include <vector>

#include "support/ViewTestSupport.h"
#include "views/MyImage.h"
#include "views/SelectionControl.h"
#include "views/VerticesControl.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

// A 200 x 150 image at zoom 1, origin (8, 8), with a selection over (20, 20, 60, 50):
// on screen (28, 28, 68, 58).
struct SelFixture {
  AppReady ready;
  TMyImage view;
  TSelectionControl sel{view};
  std::vector<int> changes;
  SelFixture() {
    ShowPicture(view, 400, 300, RandomBitmap(200, 150, 9));
    sel.SetSelectionRect(TRect{20, 20, 60, 50});
    sel.Show();
    sel.OnChange = [this](TSelectionControl&, TSelectionChange c) { changes.push_back(c); };
  }
};

}  // namespace

TEST(SelectionOverlay, EveryHandleResizesAndTheInsideMoves) {
  struct Case {
    QPoint at;
    int handle;
    TRect r;  // after a drag by (5, 7)
  };
  const Case cases[] = {
      {{30, 30}, 0, {25, 27, 60, 50}}, {{48, 30}, 1, {20, 27, 60, 50}}, {{66, 30}, 2, {20, 27, 65, 50}},
      {{66, 43}, 3, {20, 20, 65, 50}}, {{66, 56}, 4, {20, 20, 65, 57}}, {{48, 56}, 5, {20, 20, 60, 57}},
      {{30, 56}, 6, {25, 20, 60, 57}}, {{30, 43}, 7, {25, 20, 60, 50}}, {{48, 43}, kMoveZone, {25, 27, 65, 57}},
  };
  for (const Case& c : cases) {
    SelFixture f;
    EXPECT_EQ(f.sel.HandleAt(c.at), c.handle);
    Drag(f.view, c.at, {c.at + QPoint(2, 3), c.at + QPoint(5, 7)});
    EXPECT_EQ(f.sel.SelRect, c.r) << "handle " << c.handle;
    EXPECT_EQ(f.changes.front(), scBegin);
    EXPECT_EQ(f.changes.back(), scEnd);
    EXPECT_EQ(f.changes[f.changes.size() - 2], scChanged);
    EXPECT_EQ(f.sel.DragState(), 0);
    EXPECT_TRUE(f.sel.IsAntsRunning());
  }
  // a resize never goes below the minimum size
  SelFixture f;
  Drag(f.view, {66, 43}, {{60, 43}, {0, 43}});
  EXPECT_EQ(f.sel.SelRect, (TRect{20, 20, 28, 50}));
}

TEST(SelectionOverlay, ShiftGridEscapeAndKeys) {
  {  // Shift keeps the axis that moved more; on a tie x stays fixed
    SelFixture f;
    Drag(f.view, {48, 43}, {{50, 44}, {58, 47}}, Qt::ShiftModifier);
    EXPECT_EQ(f.sel.SelRect, (TRect{30, 20, 70, 50}));
    Drag(f.view, {58, 43}, {{59, 44}, {64, 49}}, Qt::ShiftModifier);
    EXPECT_EQ(f.sel.SelRect, (TRect{30, 26, 70, 56}));
  }
  {  // with the grid shown, a move snaps the top-left to it
    SelFixture f;
    f.view.SetShowGrid(true);
    f.view.SetGridWidth(16);
    Drag(f.view, {48, 43}, {{50, 44}, {55, 47}});
    EXPECT_EQ(f.sel.SelRect, (TRect{32, 32, 72, 62}));
  }
  {  // Esc during a drag gives the start back exactly
    SelFixture f;
    SendMouse(f.view, QEvent::MouseButtonPress, {48, 43}, Qt::LeftButton, Qt::LeftButton);
    SendMouse(f.view, QEvent::MouseMove, {90, 90}, Qt::NoButton, Qt::LeftButton);
    EXPECT_TRUE(f.sel.IsDragging());
    EXPECT_FALSE(f.sel.IsAntsRunning());
    QTest::keyClick(&f.view, Qt::Key_Escape);
    EXPECT_EQ(f.sel.SelRect, (TRect{20, 20, 60, 50}));
    EXPECT_EQ(f.changes.back(), scEnd);
    SendMouse(f.view, QEvent::MouseButtonRelease, {90, 90}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(f.sel.SelRect, (TRect{20, 20, 60, 50}));
  }
  {  // arrows move by 1, 8 with Shift; with Ctrl they grow the right and bottom edges
    SelFixture f;
    struct Key {
      Qt::Key key;
      Qt::KeyboardModifiers mods;
      TRect r;
    };
    for (const Key& k : {Key{Qt::Key_Right, Qt::NoModifier, {21, 20, 61, 50}},
                         Key{Qt::Key_Down, Qt::ShiftModifier, {21, 28, 61, 58}},
                         Key{Qt::Key_Right, Qt::ControlModifier, {21, 28, 62, 58}},
                         Key{Qt::Key_Up, Qt::ControlModifier | Qt::ShiftModifier, {21, 28, 62, 50}},
                         Key{Qt::Key_Left, Qt::NoModifier, {20, 28, 61, 50}}}) {
      f.changes.clear();
      QTest::keyClick(&f.view, k.key, k.mods);
      EXPECT_EQ(f.sel.SelRect, k.r);
      EXPECT_EQ(f.changes, (std::vector<int>{scBegin, scChanged, scEnd}));
    }
    f.sel.Movable = false;
    QTest::keyClick(&f.view, Qt::Key_Left);
    EXPECT_EQ(f.sel.SelRect, (TRect{20, 28, 61, 50}));
  }
}

TEST(SelectionOverlay, PointerMissingTheSelectionGoesToTheView) {
  SelFixture f;
  std::vector<TSelectionOption> drawn;
  f.view.OnSelection = [&](TMyImage&, const TRect&, TSelectionOption o) { drawn.push_back(o); };
  Drag(f.view, {100, 100}, {{101, 101}, {150, 130}});
  EXPECT_EQ(drawn.back(), soFinished);
  EXPECT_EQ(f.sel.SelRect, (TRect{20, 20, 60, 50}));
  // a drawing that crosses the selection stays the view's
  drawn.clear();
  Drag(f.view, {100, 100}, {{101, 101}, {48, 43}, {30, 30}});
  EXPECT_EQ(drawn.back(), soFinished);
  EXPECT_EQ(f.sel.SelRect, (TRect{20, 20, 60, 50}));
  // shapes, kinds and turns
  f.sel.SetShape(ssLine);
  EXPECT_EQ(f.sel.ShapeKind, ssRect);
  f.sel.SetShape(ssTriangle1);
  f.sel.TransformTriangle(2);
  EXPECT_EQ(f.sel.ShapeKind, ssTriangle2);
  EXPECT_EQ(f.sel.SelRect, (TRect{20, 20, 50, 60}));
  f.sel.TransformTriangle(4);
  EXPECT_EQ(f.sel.ShapeKind, ssTriangle4);
  f.sel.TransformTriangle(1);
  EXPECT_EQ(f.sel.ShapeKind, ssTriangle2);
  // locked: the pointer passes through
  f.sel.SetLocked(true);
  EXPECT_FALSE(f.sel.HitTest({40, 40}));
}

TEST(SelectionOverlay, AntsStepRepaintsTheBandOverWhatIsShown) {
  SelFixture f;
  const QImage before = Rendered(f.view);
  f.sel.AntsStep();
  const QImage after = Rendered(f.view);
  // the outline's pixels changed phase, the image inside did not
  EXPECT_NE(before.pixel(28, 29), after.pixel(28, 29));
  EXPECT_EQ(before.pixel(40, 40), after.pixel(40, 40));
  f.sel.AntsStep();
  EXPECT_EQ(Rendered(f.view), before);
  // an ant step alone draws the band over what is there
  QImage shown = before;
  {
    QPainter p(&shown);
    f.sel.AntsStep();
    f.view.RenderViewport(p, QRegion(QRect(28, 28, 40, 1)));
  }
  EXPECT_EQ(shown.pixel(40, 40), before.pixel(40, 40));
  EXPECT_EQ(shown.pixel(28, 28), after.pixel(28, 28));
}

TEST(TransformHandles, FreeAndRectangleModes) {
  AppReady ready;
  TMyImage view;
  ShowPicture(view, 400, 300, RandomBitmap(200, 150, 11));
  TVerticesControl v(view);
  std::vector<int> changes;
  v.OnChange = [&](TVerticesControl&, TVerticesChange c) { changes.push_back(c); };
  v.SetCornersFromRect(TRect{20, 20, 100, 80});
  v.Show();
  auto screen = [&](int i) {
    const TPoint c = view.ImageToClientPoint(v.Points()[size_t(i)]);
    return QPoint(c.X, c.Y);
  };
  EXPECT_EQ(v.Points()[4], (TPoint{60, 20}));
  EXPECT_EQ(v.Points()[7], (TPoint{20, 50}));

  // rectangle mode: the top midpoint dragged sideways changes only the height
  Drag(view, screen(4), {screen(4) + QPoint(15, -6)});
  EXPECT_EQ(v.GetBoundsRect(), (TRect{20, 14, 100, 80}));
  EXPECT_EQ(changes, (std::vector<int>{vcBegin, vcMoving, vcChanged, vcEnd}));
  // a corner with Shift keeps the proportions
  Drag(view, screen(2), {screen(2) + QPoint(20, 2)}, Qt::ShiftModifier);
  EXPECT_EQ(v.GetBoundsRect(), (TRect{20, 14, 102, 82}));  // 80 x 66 dragged to 100 x 68

  // free mode: corner 2 moves alone, with midpoints 5 and 6
  v.FreeMode = true;
  v.SetCornersFromRect(TRect{20, 20, 100, 80});
  const auto before = v.Points();
  Drag(view, screen(2), {screen(2) + QPoint(10, 4)});
  for (int i : {0, 1, 3, 4, 7}) EXPECT_EQ(v.Points()[size_t(i)], before[size_t(i)]) << i;
  EXPECT_EQ(v.Points()[2], (TPoint{110, 84}));
  EXPECT_EQ(v.Points()[5], (TPoint{105, 52}));
  EXPECT_EQ(v.Points()[6], (TPoint{65, 82}));
  // a midpoint moves both its corners
  Drag(view, screen(7), {screen(7) + QPoint(-4, 0)});
  EXPECT_EQ(v.Points()[0], (TPoint{16, 20}));
  EXPECT_EQ(v.Points()[3], (TPoint{16, 80}));

  // Esc during a drag gives the start points back exactly
  const auto start = v.Points();
  SendMouse(view, QEvent::MouseButtonPress, screen(1), Qt::LeftButton, Qt::LeftButton);
  SendMouse(view, QEvent::MouseMove, screen(1) + QPoint(33, 9), Qt::NoButton, Qt::LeftButton);
  EXPECT_NE(v.Points(), start);
  QTest::keyClick(&view, Qt::Key_Escape);
  EXPECT_EQ(v.Points(), start);
  SendMouse(view, QEvent::MouseButtonRelease, screen(1), Qt::LeftButton, Qt::NoButton);

  // the arrows move the whole, 8 image pixels with Shift; inside drags it too
  QTest::keyClick(&view, Qt::Key_Down, Qt::ShiftModifier);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(v.Points()[size_t(i)].Y, start[size_t(i)].Y + 8);
  const auto moved = v.Points();
  Drag(view, QPoint(70, 70), {QPoint(75, 72)});
  for (int i = 0; i < 8; ++i) EXPECT_EQ(v.Points()[size_t(i)].X, moved[size_t(i)].X + 5);
}
