#pragma once
// The window a colour picker drops down (TColorPopup): a default button, the 40 named
// colours in 8 columns, the 25 system colours on request, and a custom button that
// opens the custom area: a hexagonal comb of 127 colours, a strip of 17 greys and an
// intensity bar that darkens the comb towards its centre. The colour table, the grid
// and the comb are plain data, usable without a window.
#include <QWidget>
#include <array>

#include "platform/core/Types.h"
#include "platform/texts/UiTexts.h"

namespace qm {

class TColorPicker;

// One entry of the colour table: its colour and the text entry of its name, which is
// its hint.
struct TNamedColor {
  TColor Color;
  TextId Name;
};

inline constexpr int kNamedColorCount = 40;  // entries 0..39, the grid of named colours
inline constexpr int kColorTableCount = 65;  // entries 40..64, the system colours
inline constexpr int kColorGridColumns = 8, kColorGridRows = 5;

const std::array<TNamedColor, kColorTableCount>& ColorTable();

// The entry of the 40-colour grid under the point (x, y) of a grid painted width ×
// height pixels as 8 × 5 cells of (width + 1) / 8 by (height + 1) / 5 pixels (the tool
// palette's colour strip); -1 for a point outside the grid. The rounding of the cell
// size can leave the last pixel rows and columns outside every whole cell: they belong
// to the nearest cell, so no point of the grid reads past its 40 entries.
int ColorGridEntryAt(int x, int y, int width, int height);

// The hint of a colour: the name of a named colour or a system colour, otherwise its
// red, green and blue ("R: %d, V: %d, B: %d").
QString ColorHint(TColor c);

// The custom area's comb: a hexagon of 7 levels (the centre and 6 rings, 127 cells)
// whose centre is white × intensity and whose corners, from the top clockwise, are
// magenta, red, yellow, green, cyan and blue. A cell between two corners takes its
// place and its colour from the same mix of the two.
class TColorComb {
 public:
  static constexpr int kLevels = 7;
  static constexpr int kCellCount = 127;
  static constexpr int kGreyCount = 17;
  static constexpr double kSize = 66;             // centre to a corner, in pixels
  static constexpr double kCellSize = kSize / 6;  // 11: from a cell to its neighbour

  // A cell's centre relative to the comb's centre (Y down) and its colour.
  struct TCell {
    double X, Y;
    TColor Color;
  };

  TColorComb() { Build(); }

  double Intensity() const { return intensity_; }
  // Clamped to 0..1; the colours follow.
  void SetIntensity(double intensity);

  const std::array<TCell, kCellCount>& Cells() const { return cells_; }
  // The cell whose hexagon holds the point (relative to the centre); -1 for none.
  // Cell 0 is the centre, then ring by ring from the top corner clockwise.
  int CellAt(double x, double y) const;
  // The half extents of the whole comb around its centre.
  static double HalfWidth();
  static double HalfHeight();

  // Grey i of the strip, from white (0) to black (16).
  static TColor Grey(int i);

 private:
  void Build();
  double intensity_ = 1;
  std::array<TCell, kCellCount> cells_{};
};

class TColorPopup : public QWidget {
 public:
  // Entries besides the table's 0..64.
  static constexpr int kNoEntry = -1, kCustomEntry = -2, kDefaultEntry = -3;
  static constexpr int kCellSize = 18;

  explicit TColorPopup(TColorPicker& picker);

  // Takes the picker's texts, options and colour: the layout, the selected entry and
  // the hot entry start from them.
  void Prepare();

  int HotEntry() const { return hot_; }
  void SetHotEntry(int entry);
  // The table entry of the picker's colour; kNoEntry when none shows it.
  int SelectedEntry() const { return selected_; }
  // The last table entry that shows: 39, or 64 with the system colours.
  int LastEntry() const;
  bool HasDefaultButton() const { return !defaultRect_.isEmpty(); }
  bool HasCustomButton() const { return !customRect_.isEmpty(); }

  // The entry under a point: a table entry, a button or kNoEntry. A point in the side
  // margins of a row of cells belongs to its nearest cell.
  int EntryAt(QPoint p) const;
  QRect EntryRect(int entry) const;

  // The entry an arrow key moves the hot entry to, through the table in reading order
  // and on to the custom and default buttons when they exist, wrapping to entry 0.
  static int NextEntry(int hot, int key, int last, bool hasDefault, bool hasCustom);

  // Runs a choice as a click or Enter does: a table entry becomes the picker's colour,
  // the default button runs the picker's default selection, the custom button opens
  // the custom area.
  void Choose(int entry);

  // The custom area.
  bool CustomAreaShown() const { return customShown_; }
  void ShowCustomArea();
  const TColorComb& Comb() const { return comb_; }
  // The comb's centre and the rectangles of the greys and the intensity bar.
  QPointF CombCenter() const;
  QRect GreyRect(int i) const;
  QRect IntensityBarRect() const;
  // The custom cell under a point: comb cell c as c + 1, grey g as -(g + 1), 0 none.
  int CustomCellAt(QPoint p) const;
  TColor CustomCellColor(int cell) const;
  // Sets the intensity from a point of the intensity bar (its top is 1, its bottom 0).
  void SetIntensityAt(int y);

  // What the pointer shows at a point: a colour's name, its red, green and blue, or
  // the intensity; empty elsewhere.
  QString HintAt(QPoint p) const;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  bool event(QEvent* e) override;

 private:
  static constexpr int kCombPadding = 3;
  static int CombAreaHeight();
  int Edge() const;
  int ButtonHeight() const;
  void LayOut();
  void TrackPointer(QPoint p);
  void PaintCell(QPainter& p, int entry);
  void PaintButton(QPainter& p, int entry, const QString& text);
  void PaintCustomArea(QPainter& p);

  TColorPicker& picker_;
  int hot_ = kNoEntry, selected_ = kNoEntry;
  int hotCustom_ = 0, chosenCustom_ = 0;
  bool customShown_ = false;
  bool armed_ = false;  // the pointer came over the popup or pressed in it
  bool draggingIntensity_ = false;
  QString lastHint_;
  TColorComb comb_;
  // The layout: the buttons (empty when hidden) and the tops of the cell blocks.
  QRect defaultRect_, customRect_;
  int spacing_ = 8, gridTop_ = 0, systemTop_ = 0, combTop_ = 0;
};

}  // namespace qm
