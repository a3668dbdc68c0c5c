#include "controls/ColorPopup.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <qdrawutil.h>
#include <QStyle>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "controls/ColorPicker.h"
#include "platform/core/Colors.h"
#include "platform/qt/SystemColors.h"
#include "platform/texts/Format.h"

namespace qm {
namespace {

using enum TextId;

constexpr std::array<TNamedColor, kColorTableCount> kTable = {{
    {0x000000, GetTrClrBlack},          {0x003399, GetTrClrBrown},
    {0x003333, GetTrClrOliveGreen},     {0x003300, GetTrClrDarkGreen},
    {0x663300, GetTrClrDarkTeal},       {0x800000, GetTrClrDarkBlue},
    {0x993333, GetTrClrIndigo},         {0x333333, GetTrClrGray80},
    {0x000080, GetTrClrDarkRed},        {0x0066FF, GetTrClrOrange},
    {0x008080, GetTrClrDarkYellow},     {0x008000, GetTrClrGreen},
    {0x808000, GetTrClrTeal},           {0xFF0000, GetTrClrBlue},
    {0x996666, GetTrClrBlueGray},       {0x808080, GetTrClrGray50},
    {0x0000FF, GetTrClrRed},            {0x0099FF, GetTrClrLightOrange},
    {0x00CC99, GetTrClrLime},           {0x669933, GetTrClrSeaGreen},
    {0xCCCC33, GetTrClrAqua},           {0xFF6633, GetTrClrLightBlue},
    {0x800080, GetTrClrViolet},         {0x969696, GetTrClrGrey40},
    {0xFF00FF, GetTrClrPink},           {0x00CCFF, GetTrClrGold},
    {0x00FFFF, GetTrClrYellow},         {0x00FF00, GetTrClrBrightGreen},
    {0xFFFF00, GetTrClrTurquoise},      {0xFFCC00, GetTrClrSkyBlue},
    {0x663399, GetTrClrPlum},           {0xC0C0C0, GetTrClrGray25},
    {0xCC99FF, GetTrClrRose},           {0x99CCFF, GetTrClrTan},
    {0x99FFFF, GetTrClrLightYellow},    {0xCCFFCC, GetTrClrLightGreen},
    {0xFFFFCC, GetTrClrLightTurquoise}, {0xFFCC99, GetTrClrPaleBlue},
    {0xFF99CC, GetTrClrLavender},       {0xFFFFFF, GetTrClrWhite},
    {clScrollBar, GetTrClrSysScrollBar},
    {clBackground, GetTrClrSysBackground},
    {clActiveCaption, GetTrClrSysActiveCaption},
    {clInactiveCaption, GetTrClrSysInactiveCaption},
    {clMenu, GetTrClrSysMenu},
    {clWindow, GetTrClrSysWindow},
    {clWindowFrame, GetTrClrSysWindowFrame},
    {clMenuText, GetTrClrSysMenuText},
    {clWindowText, GetTrClrSysWindowText},
    {clCaptionText, GetTrClrSysCaptionText},
    {clActiveBorder, GetTrClrSysActiveBorder},
    {clInactiveBorder, GetTrClrSysInactiveBorder},
    {clAppWorkSpace, GetTrClrSysApplicationWorkspace},
    {clHighlight, GetTrClrSysHighlight},
    {clHighlightText, GetTrClrSysHighlightText},
    {clBtnFace, GetTrClrSysButtonFace},
    {clBtnShadow, GetTrClrSysButtonShadow},
    {clGrayText, GetTrClrSysGrayText},
    {clBtnText, GetTrClrSysButtonText},
    {clInactiveCaptionText, GetTrClrSysInactiveCaptionText},
    {clBtnHighlight, GetTrClrSysButtonHighlight},
    {cl3DDkShadow, GetTrClrSys3DDarkShadow},
    {cl3DLight, GetTrClrSys3DLight},
    {clInfoText, GetTrClrSysInfoText},
    {clInfoBk, GetTrClrSysInfoBackground},
}};

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Division rounding toward minus infinity: a point left of or above a grid's origin
// lies in cell -1, never in cell 0.
constexpr int FloorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

QString RgbHint(TColor c) {
  c = ColorToRGB(c);
  return Q(Format(GetTrFmtColorRGB, {int(GetRValue(c)), int(GetGValue(c)), int(GetBValue(c))}));
}

// The corners of the comb from the top clockwise (angles 90°, 30°, ... -210°) and
// their colours as red, green, blue.
struct TCorner {
  double X, Y;
  double R, G, B;
};
const std::array<TCorner, 6>& Corners() {
  static const std::array<TCorner, 6> corners = [] {
    constexpr double rgb[6][3] = {{1, 0, 1}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 1, 1}, {0, 0, 1}};
    std::array<TCorner, 6> c{};
    for (int i = 0; i < 6; ++i) {
      const double a = (90.0 - 60.0 * i) * M_PI / 180.0;
      c[size_t(i)] = {TColorComb::kSize * std::cos(a), -TColorComb::kSize * std::sin(a), rgb[i][0], rgb[i][1], rgb[i][2]};
    }
    return c;
  }();
  return corners;
}

// A comb cell is a hexagon with a flat top: its neighbours lie kCellSize away at 90°,
// 30°, -30°..., so the hexagon's inner radius is half of that.
constexpr double kInnerRadius = TColorComb::kCellSize / 2;
const double kOuterRadius = kInnerRadius * 2 / std::sqrt(3.0);

bool InHexagon(double dx, double dy) {
  dx = std::abs(dx);
  dy = std::abs(dy);
  return dy <= kInnerRadius && dx * std::sqrt(3.0) / 2 + dy / 2 <= kInnerRadius;
}

uint8_t Channel(double v) { return uint8_t(std::clamp(std::nearbyint(v * 255), 0.0, 255.0)); }

}  // namespace

const std::array<TNamedColor, kColorTableCount>& ColorTable() { return kTable; }

int ColorGridEntryAt(int x, int y, int width, int height) {
  if (x < 0 || y < 0 || x >= width || y >= height) return -1;
  const int cw = std::max(1, (width + 1) / kColorGridColumns), ch = std::max(1, (height + 1) / kColorGridRows);
  const int col = std::min(x / cw, kColorGridColumns - 1), row = std::min(y / ch, kColorGridRows - 1);
  return row * kColorGridColumns + col;
}

QString ColorHint(TColor c) {
  for (const TNamedColor& n : kTable)
    if (n.Color == c) return Q(Tr(n.Name));
  return RgbHint(c);
}

// ---- The comb ------------------------------------------------------------------------

void TColorComb::SetIntensity(double intensity) {
  intensity = std::clamp(intensity, 0.0, 1.0);
  if (intensity == intensity_) return;
  intensity_ = intensity;
  Build();
}

void TColorComb::Build() {
  const auto& corners = Corners();
  const double c = intensity_;  // the centre: white × intensity
  cells_[0] = {0, 0, RGB(Channel(c), Channel(c), Channel(c))};
  size_t n = 1;
  for (int k = 1; k < kLevels; ++k)
    for (int i = 0; i < 6; ++i) {
      const TCorner& a = corners[size_t(i)];
      const TCorner& b = corners[size_t((i + 1) % 6)];
      for (int j = 0; j < k; ++j) {
        const double t = double(j) / k, s = double(k) / 6;
        auto mix = [&](double va, double vb, double centre) {
          return centre + s * ((va - centre) * (1 - t) + (vb - centre) * t);
        };
        cells_[n++] = {mix(a.X, b.X, 0), mix(a.Y, b.Y, 0),
                       RGB(Channel(mix(a.R, b.R, c)), Channel(mix(a.G, b.G, c)), Channel(mix(a.B, b.B, c)))};
      }
    }
}

int TColorComb::CellAt(double x, double y) const {
  for (size_t i = 0; i < cells_.size(); ++i)
    if (InHexagon(x - cells_[i].X, y - cells_[i].Y)) return int(i);
  return -1;
}

double TColorComb::HalfWidth() { return Corners()[1].X + kOuterRadius; }
double TColorComb::HalfHeight() { return kSize + kInnerRadius; }

TColor TColorComb::Grey(int i) {
  const int v = 255 * (kGreyCount - 1 - std::clamp(i, 0, kGreyCount - 1)) / (kGreyCount - 1);
  return RGB(v, v, v);
}

// ---- The popup -----------------------------------------------------------------------

TColorPopup::TColorPopup(TColorPicker& picker) : QWidget(&picker, Qt::Popup), picker_(picker) {
  setAttribute(Qt::WA_WindowPropagation);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setObjectName(QStringLiteral("ColorPopup"));
  Prepare();
}

int TColorPopup::Edge() const { return std::max(1, style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this)); }
int TColorPopup::ButtonHeight() const { return fontMetrics().height() + 8; }
int TColorPopup::LastEntry() const { return picker_.ShowSystemColors() ? kColorTableCount - 1 : kNamedColorCount - 1; }

void TColorPopup::Prepare() {
  selected_ = kNoEntry;
  for (int i = 0; i <= LastEntry(); ++i)
    if (kTable[size_t(i)].Color == picker_.SelectionColor()) {
      selected_ = i;
      break;
    }
  hot_ = selected_;
  hotCustom_ = 0;
  armed_ = draggingIntensity_ = false;
  customShown_ = false;
  LayOut();
}

void TColorPopup::LayOut() {
  const int e = Edge();
  spacing_ = picker_.PopupSpacing();
  const int width = kColorGridColumns * kCellSize + 2 * spacing_;
  const int buttonWidth = width - 2 * e - 4;
  int y = e;
  defaultRect_ = QRect();
  if (!picker_.DefaultText().isEmpty()) {
    defaultRect_ = QRect(e + 2, e + 2, buttonWidth, ButtonHeight());
    y = defaultRect_.bottom() + 1;
  }
  gridTop_ = y + 5 * e / 2;
  y = gridTop_ + kColorGridRows * kCellSize;
  systemTop_ = y + 3 * e;
  if (picker_.ShowSystemColors()) y = systemTop_ + 4 * kCellSize;
  customRect_ = QRect();
  if (!picker_.CustomText().isEmpty()) {
    customRect_ = QRect(e + 2, y + 5 * e / 2, buttonWidth, ButtonHeight());
    y = customRect_.bottom() + 1;
  }
  y += 5 * e / 2;
  combTop_ = y + e;
  if (customShown_) y = combTop_ + CombAreaHeight() + e;
  setFixedSize(width, y);
}

void TColorPopup::SetHotEntry(int entry) {
  if (entry > LastEntry() || (entry == kDefaultEntry && !HasDefaultButton()) ||
      (entry == kCustomEntry && !HasCustomButton()) || entry < kDefaultEntry)
    entry = kNoEntry;
  if (entry == hot_) return;
  hot_ = entry;
  update();
}

int TColorPopup::EntryAt(QPoint p) const {
  if (!rect().contains(p)) return kNoEntry;
  if (customRect_.contains(p)) return kCustomEntry;
  if (defaultRect_.contains(p)) return kDefaultEntry;
  // Clamped to the grid: the margins beside a row belong to its first and last cells.
  const int col = std::clamp(FloorDiv(p.x() - spacing_, kCellSize), 0, kColorGridColumns - 1);
  auto inBlock = [&](int bandTop, int top, int first, int count) {
    const int rows = (count + kColorGridColumns - 1) / kColorGridColumns;
    if (p.y() < bandTop || p.y() >= top + rows * kCellSize) return kNoEntry;
    const int row = std::clamp(FloorDiv(p.y() - top, kCellSize), 0, rows - 1);
    const int entry = first + row * kColorGridColumns + col;
    return entry < first + count ? entry : kNoEntry;
  };
  const int namedBand = HasDefaultButton() ? defaultRect_.bottom() + 1 : 0;
  if (const int entry = inBlock(namedBand, gridTop_, 0, kNamedColorCount); entry != kNoEntry) return entry;
  if (picker_.ShowSystemColors()) return inBlock(systemTop_, systemTop_, kNamedColorCount, kColorTableCount - kNamedColorCount);
  return kNoEntry;
}

QRect TColorPopup::EntryRect(int entry) const {
  if (entry == kDefaultEntry) return defaultRect_;
  if (entry == kCustomEntry) return customRect_;
  if (entry < 0 || entry > LastEntry()) return {};
  const int top = entry < kNamedColorCount ? gridTop_ : systemTop_;
  const int i = entry < kNamedColorCount ? entry : entry - kNamedColorCount;
  return QRect(spacing_ + i % kColorGridColumns * kCellSize, top + i / kColorGridColumns * kCellSize, kCellSize,
               kCellSize);
}

int TColorPopup::NextEntry(int hot, int key, int last, bool hasDefault, bool hasCustom) {
  // The cycle of Right: the table in reading order, the custom button below it, the
  // default button above it, back to entry 0. Left runs it backwards.
  auto forward = [&](int e) {
    if (e >= 0 && e < last) return e + 1;
    if (e == last) return hasCustom ? kCustomEntry : hasDefault ? kDefaultEntry : 0;
    if (e == kCustomEntry && hasDefault) return kDefaultEntry;
    return 0;
  };
  auto backward = [&](int e) {
    if (e > 0 && e <= last) return e - 1;
    if (e == 0) return hasDefault ? kDefaultEntry : hasCustom ? kCustomEntry : last;
    if (e == kDefaultEntry && hasCustom) return kCustomEntry;
    return last;
  };
  switch (key) {
    case Qt::Key_Right: return forward(hot);
    case Qt::Key_Left: return backward(hot);
    case Qt::Key_Down:
      if (hot >= 0) return hot + kColorGridColumns <= last ? hot + kColorGridColumns : forward(last);
      return forward(hot);
    case Qt::Key_Up:
      if (hot >= 0) return hot - kColorGridColumns >= 0 ? hot - kColorGridColumns : backward(0);
      return backward(hot);
    default: return hot;
  }
}

void TColorPopup::Choose(int entry) {
  if (entry >= 0 && entry <= LastEntry()) {
    close();
    picker_.SetSelectionColor(kTable[size_t(entry)].Color);
  } else if (entry == kDefaultEntry && HasDefaultButton()) {
    close();
    picker_.DefaultSelect();
  } else if (entry == kCustomEntry && HasCustomButton()) {
    ShowCustomArea();
  }
}

void TColorPopup::ShowCustomArea() {
  if (customShown_) return;
  customShown_ = true;
  LayOut();
  picker_.PlacePopup();
  update();
}

// The comb with a few pixels of the face around it.
int TColorPopup::CombAreaHeight() { return int(std::ceil(2 * TColorComb::HalfHeight())) + 2 * kCombPadding; }

QPointF TColorPopup::CombCenter() const {
  return QPointF(Edge() + 2 + TColorComb::HalfWidth(), combTop_ + CombAreaHeight() / 2.0);
}

QRect TColorPopup::IntensityBarRect() const {
  if (!customShown_) return {};
  const int e = Edge();
  return QRect(width() - e - 2 - 8, combTop_ + kCombPadding, 8, CombAreaHeight() - 2 * kCombPadding);
}

QRect TColorPopup::GreyRect(int i) const {
  if (!customShown_ || i < 0 || i >= TColorComb::kGreyCount) return {};
  const QRect bar = IntensityBarRect();
  const int left = bar.left() - 3 - 10, h = bar.height();
  const int top = bar.top() + h * i / TColorComb::kGreyCount, bottom = bar.top() + h * (i + 1) / TColorComb::kGreyCount;
  return QRect(left, top, 10, bottom - top);
}

int TColorPopup::CustomCellAt(QPoint p) const {
  if (!customShown_) return 0;
  const QPointF c = CombCenter();
  if (const int cell = comb_.CellAt(p.x() + 0.5 - c.x(), p.y() + 0.5 - c.y()); cell >= 0) return cell + 1;
  for (int g = 0; g < TColorComb::kGreyCount; ++g)
    if (GreyRect(g).contains(p)) return -(g + 1);
  return 0;
}

TColor TColorPopup::CustomCellColor(int cell) const {
  if (cell > 0 && cell <= TColorComb::kCellCount) return comb_.Cells()[size_t(cell - 1)].Color;
  if (cell < 0 && -cell <= TColorComb::kGreyCount) return TColorComb::Grey(-cell - 1);
  return clNone;
}

void TColorPopup::SetIntensityAt(int y) {
  const QRect bar = IntensityBarRect();
  if (bar.isEmpty()) return;
  comb_.SetIntensity(1.0 - double(y - bar.top()) / bar.height());
  update();
}

QString TColorPopup::HintAt(QPoint p) const {
  const int entry = EntryAt(p);
  if (entry >= 0) return Q(Tr(kTable[size_t(entry)].Name));
  if (const int cell = CustomCellAt(p)) return RgbHint(CustomCellColor(cell));
  if (IntensityBarRect().contains(p))
    return Q(Format(GetTrFmtColorIntensity, {int(std::nearbyint(100 * comb_.Intensity()))}));
  return {};
}

// ---- Events --------------------------------------------------------------------------

void TColorPopup::TrackPointer(QPoint p) {
  if (rect().contains(p)) armed_ = true;
  SetHotEntry(EntryAt(p));
  if (const int cell = CustomCellAt(p); cell != hotCustom_) {
    hotCustom_ = cell;
    update();
  }
  const QString hint = HintAt(p);
  if (hint != lastHint_) {
    lastHint_ = hint;
    picker_.ShowHint(hint);
  }
}

void TColorPopup::mouseMoveEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  if (draggingIntensity_) {
    SetIntensityAt(p.y());
    lastHint_.clear();
  }
  TrackPointer(p);
}

void TColorPopup::mousePressEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  if (!rect().contains(p)) {  // outside: the popup closes, as a menu does
    QWidget::mousePressEvent(e);
    return;
  }
  armed_ = true;
  if (e->button() == Qt::LeftButton && IntensityBarRect().contains(p)) {
    draggingIntensity_ = true;
    SetIntensityAt(p.y());
  }
}

void TColorPopup::mouseReleaseEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  if (draggingIntensity_) {
    draggingIntensity_ = false;
    return;
  }
  // The release of the press that opened the popup chooses nothing unless the pointer
  // came over the popup first.
  if (e->button() != Qt::LeftButton || !armed_) return;
  if (const int cell = CustomCellAt(p)) {
    chosenCustom_ = cell;
    const TColor c = CustomCellColor(cell);
    close();
    picker_.SetSelectionColor(c);
    return;
  }
  if (const int entry = EntryAt(p); entry != kNoEntry) Choose(entry);
}

void TColorPopup::keyPressEvent(QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
      if (hot_ != kNoEntry) Choose(hot_);
      return;
    case Qt::Key_Escape:
      close();
      return;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
      SetHotEntry(NextEntry(hot_, e->key(), LastEntry(), HasDefaultButton(), HasCustomButton()));
      return;
    default:
      break;
  }
  // The accelerators of the buttons' texts, with or without Alt.
  auto matches = [e](const QString& text) {
    const QKeySequence m = QKeySequence::mnemonic(text);
    return !m.isEmpty() && m[0].key() == e->key();
  };
  if (HasDefaultButton() && matches(picker_.DefaultText())) Choose(kDefaultEntry);
  else if (HasCustomButton() && matches(picker_.CustomText())) SetHotEntry(kCustomEntry);
  else QWidget::keyPressEvent(e);
}

void TColorPopup::hideEvent(QHideEvent* e) {
  QWidget::hideEvent(e);
  draggingIntensity_ = false;
  picker_.PopupClosed();
}

bool TColorPopup::event(QEvent* e) {
  if (e->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(e);
    const QString hint = HintAt(help->pos());
    if (hint.isEmpty()) QToolTip::hideText();
    else QToolTip::showText(help->globalPos(), hint, this);
    return true;
  }
  return QWidget::event(e);
}

// ---- Painting ------------------------------------------------------------------------

void TColorPopup::PaintCell(QPainter& p, int entry) {
  const QRect r = EntryRect(entry);
  if (entry == hot_) p.fillRect(r, palette().color(QPalette::Active, QPalette::Highlight));
  if (entry == selected_) qDrawShadePanel(&p, r, palette(), true, 1);
  const QRect swatch = r.adjusted(3, 3, -3, -3);
  p.fillRect(swatch, ColorToQColor(kTable[size_t(entry)].Color, palette()));
  p.setPen(palette().color(QPalette::Active, QPalette::Dark));
  p.drawRect(swatch.adjusted(0, 0, -1, -1));
}

void TColorPopup::PaintButton(QPainter& p, int entry, const QString& text) {
  const QRect r = EntryRect(entry);
  const bool hot = entry == hot_;
  const bool down = entry == kCustomEntry && customShown_;
  if (hot) p.fillRect(r, palette().color(QPalette::Active, QPalette::Highlight));
  qDrawShadePanel(&p, r, palette(), down, 1);
  const TColor def = ColorEditDefaultColor();
  if (entry == kDefaultEntry && def != clNone) {
    const QRect swatch = r.adjusted(4, 4, -4, -4);
    p.fillRect(swatch, ColorToQColor(def, palette()));
    p.setPen(palette().color(QPalette::Active, QPalette::Dark));
    p.drawRect(swatch.adjusted(0, 0, -1, -1));
    return;
  }
  p.setPen(palette().color(QPalette::Active, hot ? QPalette::HighlightedText : QPalette::WindowText));
  p.drawText(r, Qt::AlignCenter | Qt::TextShowMnemonic | Qt::TextSingleLine, text);
}

void TColorPopup::PaintCustomArea(QPainter& p) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const QPointF c = CombCenter();
  // A hexagon a little smaller than the cell, so a thin line of the face parts cells.
  QPolygonF hexagon;
  for (int i = 0; i < 6; ++i) {
    const double a = i * M_PI / 3;
    hexagon << QPointF((kOuterRadius - 0.6) * std::cos(a), (kOuterRadius - 0.6) * std::sin(a));
  }
  const auto& cells = comb_.Cells();
  for (size_t i = 0; i < cells.size(); ++i) {
    const QPolygonF cell = hexagon.translated(c.x() + cells[i].X, c.y() + cells[i].Y);
    QPainterPath path;
    path.addPolygon(cell);
    path.closeSubpath();
    p.fillPath(path, ColorToQColor(cells[i].Color, palette()));
    const int n = int(i) + 1;
    if (n == hotCustom_ || n == chosenCustom_) {
      p.setPen(QPen(n == hotCustom_ ? palette().color(QPalette::Active, QPalette::Highlight) : QColor(Qt::black), 1.5));
      p.drawPath(path);
    }
  }
  p.restore();
  p.setPen(palette().color(QPalette::Active, QPalette::Dark));
  for (int g = 0; g < TColorComb::kGreyCount; ++g) {
    const QRect r = GreyRect(g);
    p.fillRect(r, ColorToQColor(TColorComb::Grey(g), palette()));
    const int n = -(g + 1);
    if (n == hotCustom_ || n == chosenCustom_) {
      p.setPen(n == hotCustom_ ? palette().color(QPalette::Active, QPalette::Highlight) : QColor(Qt::red));
      p.drawRect(r.adjusted(0, 0, -1, -1));
    }
  }
  // The intensity bar: white at the top to black at the bottom, the current intensity
  // marked by a line across it.
  const QRect bar = IntensityBarRect();
  QLinearGradient ramp(bar.topLeft(), bar.bottomLeft());
  ramp.setColorAt(0, Qt::white);
  ramp.setColorAt(1, Qt::black);
  p.fillRect(bar, ramp);
  p.setPen(palette().color(QPalette::Active, QPalette::Dark));
  p.drawRect(bar.adjusted(0, 0, -1, -1));
  const int y = bar.top() + int(std::lround((1 - comb_.Intensity()) * (bar.height() - 1)));
  p.setPen(palette().color(QPalette::Active, QPalette::Highlight));
  p.drawLine(bar.left() - 2, y, bar.right() + 2, y);
}

void TColorPopup::paintEvent(QPaintEvent*) {
  QPainter p(this);
  // The flat look of the desktop's menus: the menu colour with a one-pixel edge.
  p.fillRect(rect(), palette().color(QPalette::Active, QPalette::Window));
  p.setPen(palette().color(QPalette::Active, QPalette::Dark));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  if (HasDefaultButton()) PaintButton(p, kDefaultEntry, picker_.DefaultText());
  for (int i = 0; i <= LastEntry(); ++i) PaintCell(p, i);
  if (HasCustomButton()) PaintButton(p, kCustomEntry, picker_.CustomText());
  if (customShown_) PaintCustomArea(p);
}

}  // namespace qm
