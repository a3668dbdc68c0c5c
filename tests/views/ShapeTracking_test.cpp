#include <gtest/gtest.h>

#include <vector>

#include "support/ViewTestSupport.h"
#include "views/MyImage.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

struct Report {
  TRect r;
  TSelectionOption option;
  size_t points;
};

// A view over a 200 x 150 image at zoom 1 (origin at 8, 8) that records its reports.
struct Fixture {
  AppReady ready;
  TMyImage view;
  std::vector<Report> reports;
  explicit Fixture(double zoom = 1.0) {
    ShowPicture(view, 400, 300, RandomBitmap(200, 150, 7));
    view.SetZoom(zoom);
    view.OnSelection = [this](TMyImage& v, const TRect& r, TSelectionOption o) {
      reports.push_back({r, o, v.Shape().Points.size()});
    };
  }
  const Report& Last() const { return reports.back(); }
};

}  // namespace

TEST(ShapeTracking, RectanglesSquaresAndTheMinimumSize) {
  struct Case {
    QPoint a, b;
    Qt::KeyboardModifiers mods;
    TSelectionOption option;
    TRect r;
  };
  const Case cases[] = {
      {{20, 20}, {25, 25}, Qt::NoModifier, soCancelled, {}},                       // 5 x 5: below 8
      {{20, 20}, {50, 40}, Qt::NoModifier, soFinished, {12, 12, 42, 32}},          // image pixels
      {{20, 20}, {50, 40}, Qt::ShiftModifier, soFinished, {12, 12, 32, 32}},       // a square
      {{50, 40}, {20, 30}, Qt::ShiftModifier, soFinished, {32, 22, 42, 32}},       // toward the pointer
      {{2, 2}, {30, 30}, Qt::NoModifier, soFinished, {0, 0, 22, 22}},              // cut to the image
  };
  for (const Case& c : cases) {
    Fixture f;
    Drag(f.view, c.a, {c.a + QPoint(1, 1), c.b}, c.mods);
    ASSERT_GE(f.reports.size(), 3u);
    EXPECT_EQ(f.reports.front().option, soStart);
    EXPECT_EQ(f.Last().option, c.option);
    if (c.option == soFinished) {
      EXPECT_EQ(f.Last().r, c.r);
    }
    EXPECT_FALSE(f.view.IsTracking());
  }
  // at zoom 16 the minimum is 16 screen pixels
  Fixture big(16);
  Drag(big.view, {20, 20}, {{30, 30}, {32, 50}});
  EXPECT_EQ(big.Last().option, soCancelled);
  // on the grid
  Fixture grid;
  grid.view.SetGridAlign(true);
  grid.view.SetGridWidth(16);
  Drag(grid.view, {20, 20}, {{30, 30}, {8 + 37, 8 + 70}});
  EXPECT_EQ(grid.Last().r, (TRect{16, 16, 32, 64}));
}

TEST(ShapeTracking, LinesSnapTo45DegreesOrAnAxis) {
  struct Case {
    QPoint end;
    TRect r;  // start and end in image pixels
  };
  const Case cases[] = {
      {{60, 52}, {20, 20, 52, 52}},  // 40 x 32: 45 degrees, the smaller side
      {{70, 30}, {20, 20, 70, 20}},  // nearer the horizontal
      {{30, 70}, {20, 20, 20, 70}},  // nearer the vertical
      {{-10, 60}, {20, 20, 20, 60}},  // 30 x 40: a ratio of 0.75 is nearer the vertical
  };
  for (const Case& c : cases) {
    Fixture f;
    f.view.SetSelectionMode(smLine);
    f.view.SetLineShape(ssLine);
    Drag(f.view, {28, 28}, {{29, 29}, c.end + QPoint(8, 8)}, Qt::ShiftModifier);
    EXPECT_EQ(f.Last().option, soFinished);
    EXPECT_EQ(f.Last().r, c.r) << c.end.x() << "," << c.end.y();
  }
  Fixture tiny;
  tiny.view.SetSelectionMode(smLine);
  Drag(tiny.view, {28, 28}, {{29, 29}});  // shorter than 2 both ways
  EXPECT_EQ(tiny.Last().option, soCancelled);
  tiny.view.SetLineShape(ssRect);  // not a line kind: refused
  EXPECT_EQ(tiny.view.LineShape(), ssLineWidth);
  tiny.view.SetSelShape(ssLine);
  EXPECT_EQ(tiny.view.SelShape(), ssRect);
}

TEST(ShapeTracking, PolygonsVertexByVertex) {
  auto start = [](Fixture& f) {
    f.view.SetSelShape(ssPolygon);
    f.view.MultiLine = true;
    Click(f.view, {20, 20});
    for (QPoint p : {QPoint(100, 20), QPoint(100, 90)}) {
      Hover(f.view, p);
      Click(f.view, p);
    }
  };
  {  // a click near the first vertex closes it
    Fixture f;
    start(f);
    Hover(f.view, {24, 25});
    Click(f.view, {24, 25});
    EXPECT_EQ(f.Last().option, soFinished);
    EXPECT_EQ(f.Last().points, 3u);
    EXPECT_EQ(f.Last().r, (TRect{12, 12, 93, 83}));
    EXPECT_FALSE(f.view.IsTracking());
  }
  {  // Enter takes the rubber point as the last vertex
    Fixture f;
    start(f);
    Hover(f.view, {40, 90});
    QTest::keyClick(&f.view, Qt::Key_Return);
    EXPECT_EQ(f.Last().option, soFinished);
    EXPECT_EQ(f.Last().points, 4u);
  }
  {  // Delete drops the last vertex; Esc cancels
    Fixture f;
    start(f);
    QTest::keyClick(&f.view, Qt::Key_Delete);
    EXPECT_EQ(f.view.Shape().DisplayPoints.size(), 2u);
    QTest::keyClick(&f.view, Qt::Key_Escape);
    EXPECT_EQ(f.Last().option, soCancelled);
    EXPECT_FALSE(f.view.IsTracking());
  }
  {  // two vertices are too few
    Fixture f;
    f.view.SetSelShape(ssPolygon);
    f.view.MultiLine = true;
    Click(f.view, {20, 20});
    Hover(f.view, {100, 20});
    Click(f.view, {100, 20});
    QTest::keyClick(&f.view, Qt::Key_Return);
    EXPECT_EQ(f.Last().option, soCancelled);
  }
  {  // at zoom 0.25 the closing radius stays 8 screen pixels
    Fixture f(0.25);
    start(f);
    Hover(f.view, {26, 26});
    Click(f.view, {26, 26});
    EXPECT_EQ(f.Last().option, soFinished);
  }
  {  // Shift keeps a rubber segment at 45 degrees
    Fixture f;
    f.view.SetSelShape(ssPolygon);
    f.view.MultiLine = true;
    Click(f.view, {20, 20});
    SendMouse(f.view, QEvent::MouseMove, {60, 52}, Qt::NoButton, Qt::NoButton, Qt::ShiftModifier);
    SendMouse(f.view, QEvent::MouseButtonPress, {60, 52}, Qt::LeftButton, Qt::LeftButton, Qt::ShiftModifier);
    TPoint last;
    f.view.Shape().GetLastPoint(last);
    EXPECT_EQ(last, (TPoint{52, 52}));
  }
}

TEST(ShapeTracking, FreeHandPolygonFollowsThePointer) {
  Fixture f;
  f.view.SetSelShape(ssPolygon);
  Drag(f.view, {20, 20}, {{21, 21}, {60, 22}, {61, 22}, {62, 60}, {30, 70}});
  EXPECT_EQ(f.Last().option, soFinished);
  EXPECT_EQ(f.Last().points, 4u);  // (61, 22) lies within 3 pixels of (60, 22)
  EXPECT_EQ(f.Last().r, (TRect{12, 12, 55, 63}));
}
