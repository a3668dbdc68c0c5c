#include "shell/palette/PaletteRules.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <charconv>
#include <cstdlib>

#include "controls/ColorPopup.h"
#include "pixel/Blend.h"
#include "pixel/Composite.h"
#include "pixel/ImgUtils.h"
#include "pixel/Mask.h"
#include "platform/core/Numeric.h"
#include "platform/qt/QtBitmap.h"

namespace qm {
namespace {

using enum TextId;

constexpr std::array<TToolRow, kToolCount> kTools = {{
    {TTool::Selection, "BtnSel", GetTrHntSelTool, "Outil Sélection", TToolPage::Selection, "A..J"},
    {TTool::Pipette, "BtnPipette", GetTrHntPipetteTool, "Outil Pipette", TToolPage::Pipette, "K"},
    {TTool::MagicWand, "BtnMagic", GetTrHntWandTool, "Outil Baguette magique", TToolPage::MagicWand, "L"},
    {TTool::Line, "BtnLigne", GetTrHntLineTool, "Outil Ligne", TToolPage::Line, "M"},
    {TTool::Fill, "BtnRemplir", GetTrHntFillTool, "Outil Remplissage", TToolPage::Fill, "N"},
    {TTool::Airbrush, "BtnAero", GetTrHntSprayTool, "Outil Aérographe", TToolPage::Airbrush, "O"},
    {TTool::Brush, "BtnPinceau1", GetTrHntPaintbrushTool, "Outil Pinceau", TToolPage::Brush, "P"},
    {TTool::AdvancedBrush, "BtnPinceau2", GetTrHntPaintbrush2Tool, "Outil Pinceau avancé", TToolPage::AdvancedBrush,
     "Q"},
    {TTool::Blur, "BtnGoutte", GetTrHntBlurTool, "Outil Flou", TToolPage::Blur, "R"},
    {TTool::Smudge, "BtnDoigt", GetTrHntFingerTool, "Outil Doigt", TToolPage::Smudge, "S"},
    {TTool::Stamp, "BtnTampon", GetTrHntCloneStampTool, "Outil Tampon de clonage", TToolPage::Stamp, "T"},
    {TTool::Move, "BtnScroll", GetTrHntScrollTool, "Outil Déplacement", TToolPage::Move, "U"},
    {TTool::Eraser, "BtnGomme", GetTrHntEraseTool, "Outil Gomme", TToolPage::Brush, "V"},
    {TTool::Layer, "BtnLayer", GetTrHntLayerTool, "Outil Gestionnaire de calques", TToolPage::Layer, "W"},
    {TTool::Retouch, "BtnRetouche", GetTrHntRetouchTool, "Outil Retouche", TToolPage::Retouch, "X"},
}};

constexpr int kPressureSteps[9] = {3, 5, 7, 10, 15, 22, 33, 50, 70};

// The three-stop strips 2..8 run through these colours; 9..11 are two-colour gradients
// from yellow.
constexpr TColor kStripMiddles[7] = {0x808080, 0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF, 0xFFFF00, 0xFF00FF};
constexpr TColor kGradientEnds[3] = {0x0000FF, 0x008000, 0xFFFF00};
constexpr TColor kGridBorder = 0xC0C0C0;

// A run of columns x0..x1 going linearly from colour a to colour b.
void PaintRamp(TBitmap& bmp, int x0, int x1, TColor a, TColor b) {
  const int n = std::max(1, x1 - x0);
  for (int x = x0; x < x1; ++x) {
    const int t = x - x0;
    auto mix = [&](uint8_t ca, uint8_t cb) { return uint8_t(ca + (int(cb) - ca) * t / n); };
    const TColor c = RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)),
                         mix(GetBValue(a), GetBValue(b)));
    bmp.FillRect(TRect{x, 0, x + 1, bmp.Height()}, c);
  }
}

void PaintGrid(TBitmap& bmp) {
  const int cw = std::max(1, (bmp.Width() + 1) / kColorGridColumns);
  const int ch = std::max(1, (bmp.Height() + 1) / kColorGridRows);
  bmp.FillRect(GetBitmapRect(bmp), kGridBorder);
  for (int row = 0; row < kColorGridRows; ++row)
    for (int col = 0; col < kColorGridColumns; ++col) {
      const TRect cell{col * cw, row * ch, col * cw + cw, row * ch + ch};
      const TRect inside{cell.Left + 1, cell.Top + 1, cell.Right - 1, cell.Bottom - 1};
      bmp.FillRect(inside, ColorTable()[size_t(row * kColorGridColumns + col)].Color);
    }
}

}  // namespace

const std::array<TToolRow, kToolCount>& ToolRows() { return kTools; }

const TToolRow& ToolRowOf(TTool tool) {
  for (const TToolRow& r : kTools)
    if (r.Tool == tool) return r;
  return kTools[0];
}

std::string ToolHint(TTool tool) {
  const TToolRow& r = ToolRowOf(tool);
  return CaptionOr(r.Hint, r.DesignHint);
}

std::string ToolButtonHint(TTool tool) { return ToolHint(tool) + " [" + ToolRowOf(tool).Keys + "]"; }

TTool ToolForNumber(int number) {
  return number >= 1 && number < kToolCount ? TTool(number) : TTool::Selection;
}

int ReadSizeText(std::string_view text, int minimum) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end) value = kSizeDefault;
  return int(std::clamp<int64_t>(value, minimum, kSizeMax));
}

int PressureForStep(int position) { return position >= 1 && position <= 9 ? kPressureSteps[position - 1] : 100; }

TTipSettings AdvancedTipSettings(int number) {
  TTipSettings s;
  s.Spacing = number % 100;
  s.Pressure = (number / 100) % 100;
  if (s.Pressure == 0) s.Pressure = 100;
  s.Fade = number / 10000;
  return s;
}

TGeneratedTip GeneratedTipAt(int index) {
  switch (index) {
    case 0: return TGeneratedTip::Round;
    case 1: return TGeneratedTip::Square;
    case 2: return TGeneratedTip::Diagonal;
    default: return TGeneratedTip::None;
  }
}

TBitmap MakeGeneratedTip(TGeneratedTip kind, int size) {
  const int d = 2 * size + 1;
  if (kind == TGeneratedTip::Square) return TBitmap(d, d, pf24bit, clBlack);
  TBitmap tip(d, d, pf24bit, clWhite);
  const TRect all = GetBitmapRect(tip);
  QImage img = BitmapAsQImage(tip);
  QPainter p(&img);
  if (kind == TGeneratedTip::Diagonal) {
    const int w = (size / 10 + 1) * 2;
    p.setPen(QPen(Qt::black, w + 1, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(w + 1, d - w - 1, d - w - 1, w + 1);
    p.end();
    ApplyBlurPasses(tip, w, all);
    return tip;
  }
  // a disc inset by r on each side, its stair steps ramped and its edge softened over
  // r blur passes: a round tip whose edge fades
  const int r = size / 10 + 1;
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  p.drawEllipse(QRect(r, r, d - 2 * r, d - 2 * r));
  p.end();
  RampMaskEdges(tip, all, 33);
  FeatherMaskEdgesRect(tip, all);
  ApplyBlurPasses(tip, r, all);
  return tip;
}

TBitmap PrepareGlyphTip(const TBitmap& glyph, int scale, bool hard) {
  if (glyph.Empty()) return TBitmap();
  TBitmap tip;
  if (scale > 1) StretchBitmapTo(glyph.Width() * scale, glyph.Height() * scale, glyph, tip);
  else tip = glyph.Clone();
  // the box of the pixels that paint
  TRect box{tip.Width(), tip.Height(), 0, 0};
  for (int y = 0; y < tip.Height(); ++y) {
    const uint8_t* p = tip.ScanLine(y);
    for (int x = 0; x < tip.Width(); ++x)
      if (p[3 * x] != 255 || p[3 * x + 1] != 255 || p[3 * x + 2] != 255) {
        box.Left = std::min(box.Left, x);
        box.Right = std::max(box.Right, x + 1);
        box.Top = std::min(box.Top, y);
        box.Bottom = std::max(box.Bottom, y + 1);
      }
  }
  if (box.IsEmpty()) return TBitmap();
  TBitmap cut;
  CopyBitmapRegion(tip, cut, box);
  if (hard) ThresholdMaskRect(cut, 128, GetBitmapRect(cut));
  return cut;
}

int StepStrip(int index, int delta) {
  return int(ModFloor(int64_t(StripFromSettings(index)) + delta, kStripCount));
}

int StripFromSettings(int index) { return index >= 0 && index < kStripCount ? index : 0; }

void PaintColorStrip(TBitmap& bmp, int index) {
  if (bmp.Empty()) return;
  index = StripFromSettings(index);
  const int w = bmp.Width();
  if (index == 0) {
    PaintGrid(bmp);
  } else if (index == 1) {
    FillHueSpectrum(bmp, false);
  } else if (index <= 8) {
    const TColor middle = kStripMiddles[index - 2];
    const int split = w * 2 / 3;
    PaintRamp(bmp, 0, split, clBlack, middle);
    PaintRamp(bmp, split, w, middle, clWhite);
  } else {
    bmp.FillRect(GetBitmapRect(bmp), clWhite);
    FillGradientRect(bmp, 0x00FFFF, 100, GetBitmapRect(bmp), 0, 100, kGradientEnds[index - 9]);
  }
}

TColor StripColorAt(const TBitmap& painted, int index, int x, int y) {
  if (x < 0 || y < 0 || x >= painted.Width() || y >= painted.Height()) return clNone;
  if (StripFromSettings(index) == 0) {
    const int entry = ColorGridEntryAt(x, y, painted.Width(), painted.Height());
    return entry < 0 ? clNone : ColorTable()[size_t(entry)].Color;
  }
  return painted.GetPixel(x, y);
}

TToolEnabling ToolEnabling(const TToolFacts& f) {
  TToolEnabling e;
  const bool I = f.Document;
  const bool paint = I && f.TrueColor && !f.Blocked && !f.UpperLayer && !f.BaseTransparent;
  auto set = [&e](TTool t, bool on) { e.Tools[size_t(t)] = on; };
  for (TTool t : {TTool::Selection, TTool::Pipette, TTool::Move, TTool::Layer}) set(t, I);
  for (TTool t : {TTool::Line, TTool::Fill, TTool::Brush, TTool::AdvancedBrush, TTool::Blur, TTool::Airbrush,
                  TTool::Stamp, TTool::Smudge, TTool::Retouch})
    set(t, paint);
  set(TTool::Eraser, I && (f.TrueColor || f.BaseTransparent) && !f.Blocked && !f.UpperLayer);
  set(TTool::MagicWand, I && !f.Blocked && (!f.UpperLayer || f.TextLayer));
  e.SelectionPage = I;
  e.ShapeOptions = I && f.TrueColor && !f.Blocked && !f.UpperLayer;
  return e;
}

int ArrowLength(int width) { return 2 * width + 5 - ((width + 1) % 2); }

TPoint SnapToStep(TPoint p, int step) {
  if (step < 1) return p;
  return TPoint{p.X / step * step, p.Y / step * step};
}

bool MoveStepReached(TPoint last, TPoint now, int step) {
  return std::abs(now.X - last.X) >= step || std::abs(now.Y - last.Y) >= step;
}

TAxisLock DecideAxisLock(TPoint last, TPoint now) {
  return std::abs(now.X - last.X) < std::abs(now.Y - last.Y) ? TAxisLock::Vertical : TAxisLock::Horizontal;
}

TPoint ApplyAxisLock(TAxisLock lock, TPoint last, TPoint now) {
  switch (lock) {
    case TAxisLock::Horizontal: return TPoint{now.X, last.Y};
    case TAxisLock::Vertical: return TPoint{last.X, now.Y};
    default: return now;
  }
}

}  // namespace qm
