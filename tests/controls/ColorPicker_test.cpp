#include <gtest/gtest.h>

#include <QTest>
#include <cmath>
#include <set>

#include "controls/ColorEditor.h"
#include "controls/ColorPicker.h"
#include "platform/core/Colors.h"
#include "platform/texts/UiTexts.h"
#include "support/QtTestApp.h"

using namespace qm;

namespace {

using P = TColorPopup;

// Restores the shared values of the colour edits after a case.
struct TSharedGuard {
  ~TSharedGuard() {
    SetColorEditCustomText({});
    SetColorEditDefaultText({});
    SetColorEditDefaultColor(clNone);
    SetColorEditShowHints(false);
  }
};

// A picker with both buttons, its popup dropped down.
struct TDropped {
  QApplication& app = test::App();
  TColorPicker picker;
  explicit TDropped(bool system, bool buttons = true) {
    if (buttons) {
      picker.SetDefaultText("&Automatique");
      picker.SetCustomText("Autre &couleur");
    }
    picker.SetShowSystemColors(system);
    picker.resize(60, 22);
    picker.move(100, 100);
    picker.show();
    picker.DropDown();
  }
  P& Popup() { return *picker.Popup(); }
};

}  // namespace

// The tool palette's strip draws the 40 colours in cells of (size + 1) / 8 by
// (size + 1) / 5 pixels: its last pixel rows and columns lie past the last whole cell
// and must still read entry 39, never entry 40 of a 40-entry table.
TEST(ColorGrid, EveryPointOfTheGridReadsOneOfTheFortyColours) {
  struct TCase {
    int w, h, x, y, entry;
  } cases[] = {
      {81, 51, 0, 0, 0},    {81, 51, 9, 9, 0},    {81, 51, 10, 10, 9},  {81, 51, 79, 0, 7},
      {81, 51, 80, 0, 7},   {81, 51, 0, 50, 32},  {81, 51, 80, 50, 39}, {81, 51, 81, 50, -1},
      {81, 51, -1, 0, -1},  {80, 50, 79, 49, 39}, {8, 5, 7, 4, 39},     {7, 4, 6, 3, 30},
  };
  for (const TCase& c : cases) EXPECT_EQ(ColorGridEntryAt(c.x, c.y, c.w, c.h), c.entry) << c.w << "x" << c.h << " at " << c.x << "," << c.y;
  for (const auto& [w, h] : {std::pair{81, 51}, {93, 56}, {16, 10}})
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const int entry = ColorGridEntryAt(x, y, w, h);
        ASSERT_TRUE(entry >= 0 && entry < kNamedColorCount) << x << "," << y;
        (void)ColorTable()[size_t(entry)].Color;  // read as the palette reads it
      }
  EXPECT_EQ(ColorTable()[39].Color, clWhite);
  EXPECT_EQ(ColorTable()[40].Color, clScrollBar);
  EXPECT_EQ(ColorTable()[64].Color, clInfoBk);
  EXPECT_EQ(Tr(ColorTable()[16].Name), "Red");
  EXPECT_EQ(Tr(ColorTable()[64].Name), "system color: info background");
}

// The comb is the hexagon of radius 6 on a lattice of neighbours 11 pixels apart,
// coloured from white at the centre to the six corners.
TEST(ColorComb, CellsFillTheHexagonWithMixedColours) {
  TColorComb comb;
  const auto& cells = comb.Cells();
  std::set<std::pair<int, int>> points;
  for (size_t i = 0; i < cells.size(); ++i) {
    // Lattice coordinates along the 90° and 30° directions.
    const double b = cells[i].X / (TColorComb::kCellSize * std::cos(M_PI / 6));
    const double a = (-cells[i].Y - b * TColorComb::kCellSize / 2) / TColorComb::kCellSize;
    const int ia = int(std::lround(a)), ib = int(std::lround(b));
    ASSERT_NEAR(a, ia, 1e-9) << i;
    ASSERT_NEAR(b, ib, 1e-9) << i;
    EXPECT_LE(std::max({std::abs(ia), std::abs(ib), std::abs(ia + ib)}), 6) << i;
    points.insert({ia, ib});
    EXPECT_EQ(comb.CellAt(cells[i].X, cells[i].Y), int(i));
    EXPECT_EQ(comb.CellAt(cells[i].X + 5, cells[i].Y + 1), int(i));  // inside its hexagon
  }
  EXPECT_EQ(points.size(), 127u);
  EXPECT_EQ(comb.CellAt(0, -80), -1);

  // Ring 6 starts at the top corner and runs clockwise through the other corners.
  auto ring6 = [&](int sector, int j) { return cells[size_t(1 + 3 * 6 * 5 + sector * 6 + j)]; };
  const TColor corners[] = {RGB(255, 0, 255), RGB(255, 0, 0), RGB(255, 255, 0),
                            RGB(0, 255, 0),   RGB(0, 255, 255), RGB(0, 0, 255)};
  for (int s = 0; s < 6; ++s) EXPECT_EQ(ring6(s, 0).Color, corners[s]) << s;
  EXPECT_NEAR(ring6(0, 0).Y, -66, 1e-9);
  EXPECT_GT(ring6(1, 0).X, 0);
  EXPECT_EQ(ring6(0, 3).Color, RGB(255, 0, 128));  // halfway from magenta to red
  EXPECT_EQ(cells[0].Color, clWhite);
  EXPECT_EQ(cells[19].Color, RGB(255, 128, 255));  // ring 3, halfway to magenta

  comb.SetIntensity(0.5);
  EXPECT_EQ(comb.Cells()[0].Color, RGB(128, 128, 128));
  EXPECT_EQ(ring6(0, 0).Color, corners[0]);
  comb.SetIntensity(3);
  EXPECT_EQ(comb.Intensity(), 1);
  EXPECT_EQ(TColorComb::Grey(0), clWhite);
  EXPECT_EQ(TColorComb::Grey(16), clBlack);
}

TEST(ColorPopup, HitTestingCoversTheGridAndItsButtons) {
  TDropped d(true);
  P& popup = d.Popup();
  ASSERT_TRUE(popup.isVisible());
  for (int entry = P::kDefaultEntry; entry < kColorTableCount; ++entry) {
    if (entry == P::kNoEntry) continue;
    const QRect r = popup.EntryRect(entry);
    for (QPoint p : {r.center(), r.topLeft(), r.bottomRight()}) EXPECT_EQ(popup.EntryAt(p), entry) << entry;
  }
  // The side margins belong to the first and last cells of their row, even past the
  // last cell of the last row; the gap between the blocks and the outside to none.
  const QRect last = popup.EntryRect(39);
  EXPECT_EQ(popup.EntryAt(QPoint(popup.width() - 2, last.center().y())), 39);
  EXPECT_EQ(popup.EntryAt(QPoint(1, last.center().y())), 32);
  EXPECT_EQ(popup.EntryAt(QPoint(last.center().x(), last.bottom() + 2)), P::kNoEntry);
  const QRect lastSystem = popup.EntryRect(64);
  EXPECT_EQ(popup.EntryAt(QPoint(popup.width() - 2, lastSystem.center().y())), P::kNoEntry);
  EXPECT_EQ(popup.EntryAt(QPoint(-1, 40)), P::kNoEntry);

  // Without system colours no point reaches entries 40..64, nor can the hot entry.
  TDropped plain(false);
  P& small = plain.Popup();
  EXPECT_LT(small.height(), popup.height());
  for (int y = 0; y < small.height(); ++y)
    for (int x = 0; x < small.width(); ++x) ASSERT_LT(small.EntryAt(QPoint(x, y)), kNamedColorCount);
  small.SetHotEntry(45);
  EXPECT_EQ(small.HotEntry(), P::kNoEntry);
  EXPECT_EQ(small.HintAt(small.EntryRect(16).center()), "Red");
}

TEST(ColorPopup, ArrowKeysWrapThroughTheGridAndTheButtons) {
  struct TCase {
    int hot, key, last;
    bool def, custom;
    int next;
  } cases[] = {
      {0, Qt::Key_Right, 39, true, true, 1},
      {7, Qt::Key_Right, 39, true, true, 8},  // on to the next row
      {39, Qt::Key_Right, 39, true, true, P::kCustomEntry},
      {P::kCustomEntry, Qt::Key_Right, 39, true, true, P::kDefaultEntry},
      {P::kDefaultEntry, Qt::Key_Right, 39, true, true, 0},
      {39, Qt::Key_Right, 39, false, false, 0},
      {39, Qt::Key_Right, 39, true, false, P::kDefaultEntry},
      {39, Qt::Key_Right, 64, true, true, 40},
      {64, Qt::Key_Right, 64, false, true, P::kCustomEntry},
      {P::kCustomEntry, Qt::Key_Right, 64, false, true, 0},
      {0, Qt::Key_Left, 39, true, true, P::kDefaultEntry},
      {P::kDefaultEntry, Qt::Key_Left, 39, true, true, P::kCustomEntry},
      {P::kCustomEntry, Qt::Key_Left, 39, true, true, 39},
      {0, Qt::Key_Left, 39, false, false, 39},
      {3, Qt::Key_Down, 39, true, true, 11},
      {35, Qt::Key_Down, 39, true, true, P::kCustomEntry},
      {35, Qt::Key_Down, 39, false, false, 0},
      {35, Qt::Key_Down, 64, false, false, 43},
      {P::kDefaultEntry, Qt::Key_Down, 39, true, true, 0},
      {11, Qt::Key_Up, 39, true, true, 3},
      {3, Qt::Key_Up, 39, true, true, P::kDefaultEntry},
      {3, Qt::Key_Up, 39, false, false, 39},
      {P::kNoEntry, Qt::Key_Right, 39, true, true, 0},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(P::NextEntry(c.hot, c.key, c.last, c.def, c.custom), c.next) << c.hot << " key " << c.key << " last " << c.last;

  // A user's path: the popup opens on the picker's colour, the arrows move, Enter
  // chooses; Escape closes without a change.
  TDropped d(false);
  d.picker.CloseUp();
  d.picker.SetSelectionColor(0x0000FF);  // Red, entry 16
  int changes = 0;
  d.picker.OnChange = [&] { ++changes; };
  d.picker.DropDown();
  P& popup = d.Popup();
  EXPECT_EQ(popup.SelectedEntry(), 16);
  EXPECT_EQ(popup.HotEntry(), 16);
  QTest::keyClick(&popup, Qt::Key_Right);
  QTest::keyClick(&popup, Qt::Key_Down);
  EXPECT_EQ(popup.HotEntry(), 25);
  QTest::keyClick(&popup, Qt::Key_Return);
  EXPECT_FALSE(popup.isVisible());
  EXPECT_EQ(d.picker.SelectionColor(), 0x00CCFFu);  // Gold
  EXPECT_EQ(changes, 1);
  d.picker.DropDown();
  QTest::keyClick(&popup, Qt::Key_Left);
  QTest::keyClick(&popup, Qt::Key_Escape);
  EXPECT_FALSE(d.picker.DroppedDown());
  EXPECT_EQ(d.picker.SelectionColor(), 0x00CCFFu);
  // The default text's accelerator chooses it at once, the custom one only points at it.
  d.picker.DropDown();
  QTest::keyClick(&popup, Qt::Key_C);
  EXPECT_EQ(popup.HotEntry(), P::kCustomEntry);
  int defaults = 0;
  d.picker.OnDefaultSelect = [&] { ++defaults; };
  QTest::keyClick(&popup, Qt::Key_A, Qt::AltModifier);
  EXPECT_FALSE(popup.isVisible());
  EXPECT_EQ(defaults, 1);
}

TEST(ColorPopup, CustomAreaChoosesFromTheCombGreysAndIntensity) {
  TSharedGuard guard;
  TDropped d(false);
  P& popup = d.Popup();
  const int closedHeight = popup.height();
  QTest::mouseMove(&popup, popup.EntryRect(P::kCustomEntry).center());
  QTest::mouseClick(&popup, Qt::LeftButton, {}, popup.EntryRect(P::kCustomEntry).center());
  ASSERT_TRUE(popup.CustomAreaShown());
  EXPECT_TRUE(popup.isVisible());
  EXPECT_GE(popup.height(), closedHeight + 2 + 143);  // two edges and the comb

  const QPointF c = popup.CombCenter();
  const auto& cells = popup.Comb().Cells();
  const QPoint top = (c + QPointF(cells[91].X, cells[91].Y)).toPoint();  // the top corner
  EXPECT_EQ(popup.CustomCellAt(top), 92);
  EXPECT_EQ(popup.HintAt(top), "R: 255, V: 0, B: 255");
  EXPECT_EQ(popup.CustomCellAt(popup.GreyRect(16).center()), -17);
  EXPECT_EQ(popup.CustomCellAt(QPoint(2, 2)), 0);

  // Dragging on the intensity bar darkens the centre; its hint says how much.
  const QRect bar = popup.IntensityBarRect();
  QTest::mousePress(&popup, Qt::LeftButton, {}, QPoint(bar.center().x(), bar.top()));
  const QPointF middle(bar.center().x(), bar.top() + bar.height() / 2);
  QMouseEvent move(QEvent::MouseMove, middle, popup.mapToGlobal(middle), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&popup, &move);
  QTest::mouseRelease(&popup, Qt::LeftButton, {}, middle.toPoint());
  EXPECT_NEAR(popup.Comb().Intensity(), 0.5, 0.01);
  EXPECT_EQ(popup.HintAt(bar.center()), "Intensité: 50%");
  EXPECT_EQ(popup.Comb().Cells()[0].Color, RGB(128, 128, 128));

  QTest::mouseClick(&popup, Qt::LeftButton, {}, top);
  EXPECT_FALSE(popup.isVisible());
  EXPECT_EQ(d.picker.SelectionColor(), RGB(255, 0, 255));
}

TEST(ColorPopup, DefaultButtonTakesTheSharedDefaultColour) {
  TSharedGuard guard;
  TDropped d(false);
  d.picker.SetSelectionColor(0x123456);
  int defaults = 0;
  d.picker.OnDefaultSelect = [&] { ++defaults; };
  d.Popup().Choose(P::kDefaultEntry);  // no default colour: the colour stays
  EXPECT_EQ(d.picker.SelectionColor(), 0x123456u);
  EXPECT_EQ(defaults, 1);
  SetColorEditDefaultColor(0x00FF00);
  d.picker.DropDown();
  d.Popup().Choose(P::kDefaultEntry);
  EXPECT_EQ(d.picker.SelectionColor(), 0x00FF00u);
  EXPECT_EQ(defaults, 2);

  // A refused drop shows nothing.
  d.picker.OnDropChanging = [](bool& allow) { allow = false; };
  d.picker.DropDown();
  EXPECT_FALSE(d.picker.DroppedDown());
}

TEST(ColorPopup, OpensBelowThePickerInsideTheScreen) {
  const QRect screen(0, 0, 1280, 1024);
  struct TCase {
    QRect anchor;
    QPoint at;
  } cases[] = {
      {QRect(100, 100, 60, 22), QPoint(100, 121)},    // below, over its last pixel row
      {QRect(100, 820, 60, 22), QPoint(100, 824)},    // moved up to end at the bottom...
      {QRect(100, 900, 60, 22), QPoint(100, 700)},    // ...unless that hides it: above
      {QRect(1250, 100, 20, 22), QPoint(1120, 121)},  // kept inside on the right
      {QRect(-40, 100, 60, 22), QPoint(0, 121)},      // never left of the screen
  };
  for (const TCase& c : cases) EXPECT_EQ(PlaceColorPopup(c.anchor, QSize(160, 200), screen), c.at) << c.anchor.y();
}

TEST(ColorEdit, ColourAndTextsRoundTrip) {
  TSharedGuard guard;
  test::App();
  TColorEdit edit;
  EXPECT_EQ(edit.width(), 80);
  EXPECT_EQ(edit.height(), edit.fontMetrics().height() + 8);
  edit.resize(120, 60);  // the height stays one text line
  EXPECT_EQ(edit.height(), edit.fontMetrics().height() + 8);
  int changes = 0;
  edit.OnChange = [&] { ++changes; };
  std::vector<TColor> values{clNone, 0x123456, clBtnFace};
  for (const TNamedColor& n : ColorTable()) values.push_back(n.Color);
  for (TColor v : values) {
    const int before = changes;
    edit.SetColor(v);
    EXPECT_EQ(edit.Color(), v);
    EXPECT_EQ(edit.Picker()->SelectionColor(), v);
    edit.SetColor(v);  // the same colour again: no change
    EXPECT_EQ(changes, before + 1) << std::hex << v;
  }

  // The shared captions win over an edit's own; hints name the colour.
  SetColorEditCustomText("Autre couleur");
  SetColorEditShowHints(true);
  TColorEdit shared;
  EXPECT_EQ(shared.CustomText(), "Autre couleur");
  shared.SetCustomText("Personnalisée");
  EXPECT_EQ(shared.CustomText(), "Autre couleur");
  shared.SetDefaultText("Automatique");
  EXPECT_EQ(shared.DefaultText(), "Automatique");
  shared.SetColor(0x0000FF);
  EXPECT_EQ(shared.Picker()->toolTip(), "Red");
  shared.SetColor(RGB(1, 2, 3));
  EXPECT_EQ(shared.Picker()->toolTip(), "R: 1, V: 2, B: 3");
}

TEST(ColorEdit, ClicksDropThePopupOrRunTheDialogUnlessReadOnly) {
  test::App();
  TColorEdit edit;
  edit.show();
  TColorPicker* picker = edit.Picker();
  QTest::mouseClick(picker, Qt::LeftButton, {}, picker->rect().center());
  EXPECT_TRUE(picker->DroppedDown());
  picker->CloseUp();

  TColor offered = 0;
  edit.SetColor(0x112233);
  edit.SetColorDialog([&](TColor& c) {
    offered = c;
    c = 0x445566;
    return true;
  });
  QTest::mouseClick(picker, Qt::LeftButton, {}, picker->rect().center());
  EXPECT_FALSE(picker->DroppedDown());
  EXPECT_EQ(offered, 0x112233u);
  EXPECT_EQ(edit.Color(), 0x445566u);

  edit.SetReadOnly(true);
  EXPECT_FALSE(edit.Button()->isEnabled());
  offered = 0;
  QTest::mouseClick(picker, Qt::LeftButton, {}, picker->rect().center());
  EXPECT_EQ(offered, 0u);
  EXPECT_FALSE(picker->DroppedDown());
  edit.Button()->OnClick();
  EXPECT_FALSE(picker->DroppedDown());
  edit.SetReadOnly(false);
  edit.Button()->OnClick();
  EXPECT_TRUE(picker->DroppedDown());
  picker->CloseUp();
}
