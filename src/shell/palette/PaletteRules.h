#pragma once
// The tool palette's rules as data and plain functions, free of widgets: the fifteen
// tools with their buttons, hints, option pages and key letters, the choice of a tool
// by number, the size boxes and pressure steps, the colour strips, which tools a
// document allows, the settings of the advanced brush tips, the move tool's steps and
// the walk of a stroke between two mouse points.
#include <array>
#include <cstdint>
#include <string_view>

#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"
#include "platform/texts/UiTexts.h"

namespace qm {

// The tools in the order SelectTool numbers them (the keys K..X choose 1..14).
enum class TTool : uint8_t {
  Selection, Pipette, MagicWand, Line, Fill, Airbrush, Brush, AdvancedBrush,
  Blur, Smudge, Stamp, Move, Eraser, Layer, Retouch
};
inline constexpr int kToolCount = 15;

// The option pages of the notebook, by their index.
enum class TToolPage : uint8_t {
  Selection = 0, Pipette = 1, Line = 2, Fill = 3, Brush = 4, AdvancedBrush = 5, Blur = 6, Move = 7,
  Airbrush = 8, Stamp = 9, MagicWand = 10, Smudge = 11, Layer = 12, Retouch = 13
};
inline constexpr int kToolPageCount = 14;

struct TToolRow {
  TTool Tool;
  const char* Button;      // the button's object name
  TextId Hint;             // its hint, also the caption of the undo step the tool opens
  const char* DesignHint;  // the hint until a translation fills the entry
  TToolPage Page;
  const char* Keys;        // the keys that choose it, shown in its hint ("A..J": the shapes)
};

// The buttons in the palette's order (three columns, row by row).
const std::array<TToolRow, kToolCount>& ToolRows();
const TToolRow& ToolRowOf(TTool tool);
// The hint as the interface shows it.
std::string ToolHint(TTool tool);
// The button's hint: the tool's hint and the keys that choose it ("Outil Pipette [K]").
std::string ToolButtonHint(TTool tool);
// SelectTool's number: 1..14 choose their tool, any other number the selection tool.
TTool ToolForNumber(int number);

// --- Options --------------------------------------------------------------------------
// The size boxes: the text read as an integer, 30 when it is not one, then kept within
// minimum..100 (3 for the brush and airbrush, 1 for the stamp).
inline constexpr int kBrushSizeMin = 3, kStampSizeMin = 1, kSizeMax = 100, kSizeDefault = 30;
int ReadSizeText(std::string_view text, int minimum);
// The pressure of a track-bar position: 1..9 give 3, 5, 7, 10, 15, 22, 33, 50, 70
// percent, any other position 100.
int PressureForStep(int position);
// The radius of the four radios of the blur, smudge and retouch pages.
inline constexpr int kDabRadii[4] = {4, 9, 24, 40};
// The move tool's snap step of its three radios.
inline constexpr int kMoveSteps[3] = {3, 8, 16};
// The retouch modes, as the list of the retouch page numbers them.
enum class TRetouchMode : uint8_t { GammaDown, GammaUp, ColorDown, ColorUp, RedEye };

// --- Brush tips -----------------------------------------------------------------------
// What an advanced tip's number gives: spacing (pixels), pressure (percent) and fade
// (pressure lost every third dab).
struct TTipSettings {
  int Spacing = 0, Pressure = 100, Fade = 0;
};
TTipSettings AdvancedTipSettings(int number);
// The numbers of the fifteen advanced tips, in their order.
inline constexpr int kAdvancedTipNumbers[15] = {17000, 8, 15, 7, 19, 5, 9002, 11, 0, 0, 0, 0, 0, 0, 0};
// The brush page's generated tips, by their place among the twelve.
enum class TGeneratedTip : uint8_t { Round, Square, Diagonal, None };
TGeneratedTip GeneratedTipAt(int index);
// Builds a generated tip for size s: a (2s + 1) square grey bitmap, 0 where it paints
// fully and 255 where it leaves the pixel.
TBitmap MakeGeneratedTip(TGeneratedTip kind, int size);
// A glyph tip made usable: scaled by 1, 2 or 3, cut to the box of its non-white
// pixels, and hardened at 128 for a layer with a key colour (no partial paint there).
TBitmap PrepareGlyphTip(const TBitmap& glyph, int scale, bool hard);

// --- Colour strips --------------------------------------------------------------------
inline constexpr int kStripCount = 12;
// The strip after index stepped by delta (wrapping 11 to 0 and 0 to 11).
int StepStrip(int index, int delta);
// A stored strip index: 0 outside 0..11.
int StripFromSettings(int index);
// Paints strip index over the whole bitmap: 0 the 40-colour grid, 1 the hue spectrum,
// 2..8 black to a colour to white, 9..11 yellow to red, green or cyan.
void PaintColorStrip(TBitmap& bmp, int index);
// The colour picked at (x, y) of a strip painted width x height: the grid's cell on
// strip 0 (the last pixel rows and columns belong to the last cells), the pixel of the
// painted strip otherwise; clNone outside.
TColor StripColorAt(const TBitmap& painted, int index, int x, int y);

// --- Which tools a document allows ----------------------------------------------------
struct TToolFacts {
  bool Document = false;          // a document is active
  bool TrueColor = false;         // it has 257 colours or more
  bool Blocked = false;           // its active layer is locked or hidden
  bool UpperLayer = false;        // its active layer is a text, adjustment or colour layer
  bool BaseTransparent = false;   // its background has a key colour
  bool TextLayer = false;         // its active layer is a text layer
};
struct TToolEnabling {
  std::array<bool, kToolCount> Tools{};
  bool SelectionPage = false;   // the selection page's buttons
  bool ShapeOptions = false;    // "Contour" and "Remplir"
  bool operator[](TTool t) const { return Tools[size_t(t)]; }
};
TToolEnabling ToolEnabling(const TToolFacts& f);

// --- Line tool and move tool ----------------------------------------------------------
// The arrow head of a line of width w: its length (its width is one more).
int ArrowLength(int width);
// A client point snapped down to the step (each coordinate truncated toward zero).
TPoint SnapToStep(TPoint p, int step);
// Whether the snapped pointer has moved far enough from the last snapped point for the
// view to follow: one step or more on either axis.
bool MoveStepReached(TPoint last, TPoint now, int step);

// --- Strokes ----------------------------------------------------------------------------
// Every pixel of the segment from a to b once, a first and b last (Bresenham's walk).
template <class Visit>
void WalkSegment(TPoint a, TPoint b, Visit&& visit) {
  int x = a.X, y = a.Y;
  const int dx = b.X > a.X ? b.X - a.X : a.X - b.X, dy = b.Y > a.Y ? a.Y - b.Y : b.Y - a.Y;
  const int sx = a.X < b.X ? 1 : -1, sy = a.Y < b.Y ? 1 : -1;
  int err = dx + dy;
  for (;;) {
    visit(TPoint{x, y});
    if (x == b.X && y == b.Y) return;
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

// The Shift key's axis lock of a stroke.
enum class TAxisLock : uint8_t { None, Horizontal, Vertical };
// The first move with Shift held decides: more vertical than horizontal locks x,
// anything else locks y.
TAxisLock DecideAxisLock(TPoint last, TPoint now);
// The point kept on the locked axis through last.
TPoint ApplyAxisLock(TAxisLock lock, TPoint last, TPoint now);

}  // namespace qm
