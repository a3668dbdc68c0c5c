#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <string>
#include <vector>

#include "views/LayerNavigator.h"
#include "platform/qt/QtBitmap.h"
#include "controls/PrevNextButton.h"
#include "support/QtTestApp.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

// A strip whose cells are 146 pixels wide: client width 158 inside a 1-pixel frame.
constexpr int kWidth = 160;
// Rows of that strip over a 1000 x 500 background: 109 + 4 + 2 x 3 + 2.
constexpr int kRow = 121;

// A 1000 x 500 background "L0" and layers "L1" ... above it, small and apart.
void MakeDoc(TLayeredImage& doc, int layers) {
  doc.LoadFromBitmap(RandomBitmap(1000, 500, 1), TBitmap(), "L0");
  for (int i = 1; i < layers; ++i)
    doc.AddLayer(RandomBitmap(100, 80, uint32_t(i)), TBitmap(), std::string(1, 'L').append(std::to_string(i)), 100,
                 TPoint{90 * i, 10});
}

std::string Order(const TLayeredImage& doc) {
  std::string s;
  for (int i = 0; i < doc.GetLayerCount(); ++i) {
    if (i > 0) s += ' ';
    s += doc.Layers[i].Name;
  }
  return s;
}

struct Strip {
  TLayeredImage doc;
  TLayerNavigator nav;
  Strip(int layers, int height) : nav((App(), MakeDoc(doc, layers), doc)) {
    nav.resize(kWidth, height);
    nav.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&nav));
  }
  QPoint Centre(int row) { return nav.RowRect(row).center(); }
};

void Drag(QWidget* w, QPoint from, QPoint to) {
  QTest::mousePress(w, Qt::LeftButton, {}, from);
  QTest::mouseMove(w, from + QPoint(0, to.y() > from.y() ? 5 : -5));
  QTest::mouseMove(w, to);
  QTest::mouseRelease(w, Qt::LeftButton, {}, to);
}

}  // namespace

TEST(LayerNavigator, GeometryOfTheStripAndItsThumbnails) {
  struct Case {
    int width, bw, bh, thumbW, thumbH;
  } cases[] = {
      {kWidth, 1000, 500, 140, 70},
      {kWidth, 40, 30, 40, 30},
      {kWidth, 500, 1000, 52, 103},
      {8, 1000, 500, 2, 1},  // narrower than its margins: still painted, nothing below 1
  };
  App();
  for (const Case& c : cases) {
    TLayeredImage doc;
    doc.LoadFromBitmap(RandomBitmap(c.bw, c.bh, 3), TBitmap(), "#0");
    TLayerNavigator nav(doc);
    nav.resize(c.width, 300);
    EXPECT_EQ(nav.ThumbWidth(), c.thumbW) << c.bw << "x" << c.bh;
    EXPECT_EQ(nav.ThumbHeight(), c.thumbH) << c.bw << "x" << c.bh;
    const QImage shot = nav.grab().toImage();
    EXPECT_FALSE(shot.isNull());
    ASSERT_NE(nav.LayerThumbnail(0), nullptr);
    EXPECT_EQ(nav.LayerThumbnail(0)->Width(), c.thumbW);
  }
  TLayeredImage doc;
  MakeDoc(doc, 3);
  TLayerNavigator nav(doc);
  nav.resize(kWidth, 600);
  EXPECT_EQ(nav.RowHeight(), kRow);
  EXPECT_EQ(nav.LayerAtPoint(50, 1 + kRow / 2), 2);  // the top layer first
  EXPECT_EQ(nav.LayerAtPoint(50, 1 + 2 * kRow + 5), 0);
  EXPECT_EQ(nav.LayerAtPoint(50, 1 + 3 * kRow + 5), -1);
  nav.SetShowNames(true);
  EXPECT_EQ(nav.RowHeight(), kRow + QFontMetrics(nav.font()).height());
}

TEST(LayerNavigator, ClicksSelectLayersAndTheGlyphPlacesToggleTheirFlags) {
  Strip s(4, 600);
  QSignalSpy active(&s.nav, &TLayerNavigator::ActiveChanged), flags(&s.nav, &TLayerNavigator::LayerFlagsChanged),
      doubles(&s.nav, &TLayerNavigator::LayerDoubleClicked);
  QTest::mouseClick(&s.nav, Qt::LeftButton, {}, s.Centre(2));
  EXPECT_EQ(s.doc.ActiveIndex(), 1);
  EXPECT_EQ(s.nav.ActiveRow(), 1);
  ASSERT_EQ(active.count(), 1);
  EXPECT_EQ(active.at(0).at(0).toInt(), 1);
  // the active row is drawn in the highlight colour
  s.nav.SetHighlightColor(0x0099FF);
  const QImage shot = s.nav.grab().toImage();
  EXPECT_EQ(shot.pixel(s.nav.RowRect(2).topLeft() + QPoint(4, 4)), ColorToQRgb(0x0099FF));
  EXPECT_NE(shot.pixel(s.nav.RowRect(1).topLeft() + QPoint(4, 4)), ColorToQRgb(0x0099FF));

  struct Toggle {
    int row;
    bool lock;
    int layer;      // whose flag changes; -1: none, the press selects instead
    bool visible, locked;
  } toggles[] = {
      {0, false, 3, false, false},  // hide the top layer
      {0, false, 3, true, false},   // and show it again
      {1, true, 2, true, true},     // lock layer 2
      {3, true, 0, true, true},     // the background can be locked
      {3, false, -1, true, true},   // but not hidden: the press selects it
  };
  for (const Toggle& t : toggles) {
    const QRect place = t.lock ? s.nav.LockedGlyphRect(t.row) : s.nav.HiddenGlyphRect(t.row);
    flags.clear();
    active.clear();
    QTest::mouseClick(&s.nav, Qt::LeftButton, {}, place.center());
    const int layer = t.layer >= 0 ? t.layer : 0;
    EXPECT_EQ(s.doc.Layers[layer].Visible, t.visible) << t.row;
    EXPECT_EQ(s.doc.Layers[layer].Locked, t.locked) << t.row;
    EXPECT_EQ(flags.count(), t.layer >= 0 ? 1 : 0) << t.row;
    EXPECT_EQ(active.count(), t.layer >= 0 ? 0 : 1) << t.row;
  }
  EXPECT_EQ(s.doc.ActiveIndex(), 0);
  // a hidden layer drops out of the composition (layer 1 alone covers (120, 40))
  EXPECT_NE(s.doc.UpdatedComposition().GetPixel(120, 40), s.doc.Layers[0].Image.GetPixel(120, 40));
  s.nav.ToggleLayerVisible(1);
  EXPECT_FALSE(s.doc.Layers[1].Visible);
  EXPECT_EQ(s.doc.UpdatedComposition().GetPixel(120, 40), s.doc.Layers[0].Image.GetPixel(120, 40));
  QTest::mouseDClick(&s.nav, Qt::LeftButton, {}, s.Centre(0));
  ASSERT_EQ(doubles.count(), 1);
  EXPECT_EQ(doubles.at(0).at(0).toInt(), 3);
}

TEST(LayerNavigator, DraggingReordersTheUpperLayers) {
  struct Case {
    int fromRow, toRow;
    QPoint offset;  // from the target row's centre
    std::string order;
    int active;
  } cases[] = {
      {2, 0, {}, "L0 L2 L3 L1", 3},               // up to the top
      {0, 2, {}, "L0 L3 L1 L2", 1},               // down to the lowest upper layer
      {1, 3, {}, "L0 L1 L2 L3", 2},               // the background's row is no target
      {2, 0, {0, -2 * kRow}, "L0 L1 L2 L3", 1},   // released outside the strip
      {2, 2, {30, 3}, "L0 L1 L2 L3", 1},          // short of the drag distance
  };
  for (const Case& c : cases) {
    Strip s(4, 600);
    QSignalSpy moved(&s.nav, &TLayerNavigator::LayerMoved);
    const QPoint to = s.Centre(c.toRow) + c.offset;
    if (c.fromRow == c.toRow) {
      const QPoint from = s.Centre(c.fromRow);
      QTest::mousePress(&s.nav, Qt::LeftButton, {}, from);
      QTest::mouseMove(&s.nav, from + QPoint(3, 3));
      QTest::mouseRelease(&s.nav, Qt::LeftButton, {}, from + QPoint(3, 3));
    } else {
      Drag(&s.nav, s.Centre(c.fromRow), to);
    }
    EXPECT_EQ(Order(s.doc), c.order) << c.fromRow << " -> " << c.toRow;
    EXPECT_EQ(s.doc.ActiveIndex(), c.active) << c.fromRow << " -> " << c.toRow;
    EXPECT_EQ(moved.count(), c.order == "L0 L1 L2 L3" ? 0 : 1);
    EXPECT_EQ(s.nav.cursor().shape(), Qt::ArrowCursor);
  }
  // with a background and one layer a drag is never armed: no drag cursor, no move
  Strip two(2, 600);
  QSignalSpy moved(&two.nav, &TLayerNavigator::LayerMoved);
  QTest::mousePress(&two.nav, Qt::LeftButton, {}, two.Centre(0));
  QTest::mouseMove(&two.nav, two.Centre(1));
  EXPECT_EQ(two.nav.cursor().shape(), Qt::ArrowCursor);
  QTest::mouseRelease(&two.nav, Qt::LeftButton, {}, two.Centre(1));
  EXPECT_EQ(Order(two.doc), "L0 L1");
  EXPECT_EQ(moved.count(), 0);
}

TEST(LayerNavigator, ScrollsWithTheButtonsTheWheelAndTheActiveLayer) {
  // ten rows of 121 in 298 pixels: two rows show above the 13-pixel buttons
  Strip s(10, 300);
  auto* up = s.nav.findChild<TPrevNextButton*>(QStringLiteral("BtnUp"));
  auto* down = s.nav.findChild<TPrevNextButton*>(QStringLiteral("BtnDown"));
  ASSERT_TRUE(up && down);
  EXPECT_TRUE(up->isVisible());
  EXPECT_EQ(s.nav.VisibleRows(), 2);
  auto state = [&] { return std::vector<int>{s.nav.FirstRow(), up->isEnabled(), down->isEnabled()}; };
  auto clickButton = [](TPrevNextButton* b) {
    const QRect shown = QRect(QPoint(0, 0), b->size());
    QTest::mouseClick(b->UpDown(), Qt::LeftButton, {}, b->UpDown()->mapFrom(b, shown.center()));
  };
  EXPECT_EQ(state(), (std::vector<int>{0, false, true}));
  clickButton(down);
  EXPECT_EQ(state(), (std::vector<int>{1, true, true}));
  QTest::mouseClick(&s.nav, Qt::LeftButton, {}, QPoint(50, 1 + kRow / 2));
  EXPECT_EQ(s.doc.ActiveIndex(), 8);  // the rows follow the scroll
  QWheelEvent wheel(QPointF(50, 50), s.nav.mapToGlobal(QPointF(50, 50)), {}, QPoint(0, -3 * 120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(&s.nav, &wheel);
  EXPECT_EQ(state(), (std::vector<int>{4, true, true}));
  for (int i = 0; i < 9; ++i) clickButton(down);
  EXPECT_EQ(state(), (std::vector<int>{8, true, false}));  // no empty rows below the last
  clickButton(up);
  EXPECT_EQ(s.nav.FirstRow(), 7);
  // a click on the background in the image selects it: the strip follows and shows it
  s.doc.SelectLayerAtPoint(999, 499);
  EXPECT_EQ(s.nav.ActiveRow(), 0);
  EXPECT_EQ(s.nav.FirstRow(), 8);
  s.doc.SelectLayerAtPoint(95, 15);
  EXPECT_EQ(s.nav.ActiveRow(), 1);
  EXPECT_EQ(s.nav.FirstRow(), 7);
  // a drag held over the buttons scrolls down to the last rows; Esc cancels a drag
  s.nav.ScrollRows(-10);
  const QPoint top = s.Centre(0), buttons(50, 300 - 6);
  QTest::mousePress(&s.nav, Qt::LeftButton, {}, top);
  QTest::mouseMove(&s.nav, top + QPoint(0, 20));
  QTest::keyClick(&s.nav, Qt::Key_Escape);
  QTest::mouseRelease(&s.nav, Qt::LeftButton, {}, top + QPoint(0, 20));
  EXPECT_EQ(Order(s.doc), "L0 L1 L2 L3 L4 L5 L6 L7 L8 L9");
  QTest::mousePress(&s.nav, Qt::LeftButton, {}, top);
  QTest::mouseMove(&s.nav, top + QPoint(0, 20));
  QTest::mouseMove(&s.nav, buttons);
  QTRY_COMPARE_WITH_TIMEOUT(s.nav.FirstRow(), 8, 10000);
  QTest::mouseMove(&s.nav, s.Centre(8));  // layer 1, the lowest upper layer
  QTest::mouseRelease(&s.nav, Qt::LeftButton, {}, s.Centre(8));
  EXPECT_EQ(Order(s.doc), "L0 L9 L1 L2 L3 L4 L5 L6 L7 L8");
  // a taller strip shows every row and hides the buttons
  s.nav.resize(kWidth, 10 * kRow + 2);
  QApplication::processEvents();
  EXPECT_FALSE(up->isVisible());
  EXPECT_EQ(s.nav.FirstRow(), 0);
}

TEST(LayerNavigator, LayerCommandsKeepTheStripInStep) {
  Strip s(4, 600);
  QSignalSpy moved(&s.nav, &TLayerNavigator::LayerMoved);
  s.doc.SetActiveLayerIndex(1);
  // a new layer lands just above the active one, with its default mask, and is active
  EXPECT_EQ(s.nav.NavAddLayer(RandomBitmap(50, 40, 9), TBitmap(), "N", 100, TPoint{5, 5}), 2);
  EXPECT_EQ(Order(s.doc), "L0 L1 N L2 L3");
  EXPECT_FALSE(s.doc.Layers[2].Mask.Empty());
  EXPECT_EQ(s.doc.ActiveIndex(), 2);
  ASSERT_EQ(moved.count(), 1);
  EXPECT_EQ(moved.at(0).at(0).toInt(), 4);
  EXPECT_EQ(s.nav.NavDuplicateLayer(4, "D"), 3);
  EXPECT_EQ(Order(s.doc), "L0 L1 N D L2 L3");
  EXPECT_EQ(s.nav.NavAddColorLayer(0x00FF00, 50, "C", false), 4);
  EXPECT_TRUE(s.doc.Layers[4].Mask.Empty());
  EXPECT_EQ(s.nav.NavDuplicateLayer(42, "X"), -1);
  s.nav.NavDeleteLayer(0);  // the background stays
  s.nav.NavDeleteLayer(3);
  EXPECT_EQ(Order(s.doc), "L0 L1 N C L2 L3");
  EXPECT_EQ(s.nav.NavInsertBackground(TBitmap(1000, 500, pf24bit, clWhite), TBitmap(), "B"), 0);
  EXPECT_EQ(Order(s.doc), "B L0 L1 N C L2 L3");
  EXPECT_FALSE(s.doc.Layers[1].Mask.Empty());
  EXPECT_EQ(s.nav.ActiveRow(), 0);

  // thumbnails are kept until their layer changes
  const TBitmap* thumb = s.nav.LayerThumbnail(2);
  ASSERT_NE(thumb, nullptr);
  const uint64_t before = Checksum(*thumb);
  const uint8_t* pixels = thumb->Bits();
  s.nav.repaint();
  EXPECT_EQ(s.nav.LayerThumbnail(2)->Bits(), pixels);
  s.doc.Layers[2].Image.FillRect(TRect{0, 0, 100, 80}, clBlack);  // changed in place: told
  EXPECT_EQ(Checksum(*s.nav.LayerThumbnail(2)), before);
  s.nav.UpdateLayerThumbnail(2);
  const uint64_t black = Checksum(*s.nav.LayerThumbnail(2));
  EXPECT_NE(black, before);
  s.doc.Layers[2].Left += 300;  // moved in the image: made again
  EXPECT_NE(Checksum(*s.nav.LayerThumbnail(2)), black);

  s.nav.NavLoadFromBitmap(RandomBitmap(40, 30, 5), TBitmap(), "#0");
  EXPECT_EQ(s.nav.ThumbWidth(), 40);
  EXPECT_EQ(s.nav.ActiveRow(), 0);
  EXPECT_FALSE(s.nav.grab().isNull());
}
