#include "views/LayerNavigator.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QWheelEvent>
#include <algorithm>
#include <cstdlib>
#include <unordered_set>
#include <vector>

#include "document/Layers.h"
#include "platform/qt/QtBitmap.h"
#include "platform/texts/UiTexts.h"
#include "controls/PrevNextButton.h"

// Resources compiled into a static library are registered by hand: nothing else refers
// to their object file, so the linker would leave it out.
static void InitNavigatorResources() { Q_INIT_RESOURCE(NavigatorGlyphs); }

namespace qm {

namespace {

// The glyphs of the strip, our own drawings, loaded once for the process.
struct TGlyphs {
  QImage Lock, Hide, Text, Params;
};

const TGlyphs& Glyphs() {
  static const TGlyphs glyphs = [] {
    InitNavigatorResources();
    return TGlyphs{QImage(QStringLiteral(":/navigator/LOCK")), QImage(QStringLiteral(":/navigator/HIDE")),
                   QImage(QStringLiteral(":/navigator/TEXT")), QImage(QStringLiteral(":/navigator/PARAMS"))};
  }();
  return glyphs;
}

constexpr TColor kFrameLight = 0xCCCCCC, kFrameDark = 0x555555;
// How far the pointer must move, in x or in y, before a press becomes a drag.
constexpr int kDragThreshold = 4;
// A drag scrolls the rows while the pointer stays this close to their top or bottom
// edge (or over the scroll buttons), one row per tick.
constexpr int kAutoScrollBand = 10;
constexpr int kAutoScrollMs = 150;
// The places of glyphs that are off show them this faintly under the pointer.
constexpr double kGhostOpacity = 0.35;
constexpr int kSwatchWidth = 23, kSwatchHeight = 18, kSwatchInset = 2;
constexpr int kKindGlyphSize = 32;

QColor ToQColor(TColor c) { return QColor(ColorToQRgb(c)); }

// The image rectangle that may change when the layer is shown or hidden.
TRect ReachOf(const TLayerItem& layer) {
  const bool placed = (layer.LayerType == ltBitmap || layer.LayerType == ltText) && !layer.Transform &&
                      !layer.Image.Empty();
  if (!placed) return UnboundedRect;
  return ExtendRectByShadow(Bounds(layer.Left, layer.Top, layer.Image.Width(), layer.Image.Height()),
                            layer.Shadow);
}

}  // namespace

TLayerNavigator::TLayerNavigator(TLayeredImage& image, QWidget* parent)
    : QFrame(parent), image_(image), btnUp_(new TPrevNextButton(this)), btnDown_(new TPrevNextButton(this)) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setBackgroundRole(QPalette::Button);
  setAutoFillBackground(true);
  setMouseTracking(true);
  setFont(QFont(QStringLiteral("Arial"), 8));
  resize(80, 80);
  btnUp_->setObjectName(QStringLiteral("BtnUp"));
  btnDown_->setObjectName(QStringLiteral("BtnDown"));
  btnUp_->setToolTip(QString::fromStdString(Tr(TextId::GetTrHntLayersAbove)));
  btnDown_->setToolTip(QString::fromStdString(Tr(TextId::GetTrHntLayersBelow)));
  btnUp_->SetStyle(stUp);
  btnDown_->SetStyle(stDown);
  btnUp_->OnClick = [this] { ScrollRows(-1); };
  btnDown_->OnClick = [this] { ScrollRows(1); };
  btnUp_->hide();
  btnDown_->hide();
  autoScroll_.setInterval(kAutoScrollMs);
  connect(&autoScroll_, &QTimer::timeout, this, [this] { AutoScrollTick(); });
  QPointer<TLayerNavigator> self(this);
  auto previous = std::move(image_.OnLayerSelect);
  image_.OnLayerSelect = [self, previous](TLayeredImage& sender, TLayerItem& layer) {
    if (previous) previous(sender, layer);
    if (self) self->FollowImageSelection();
  };
  Glyphs();
  LayOut();
  InstallLayerNavigatorAccessibility();
}

TLayerNavigator::~TLayerNavigator() {
  if (dragState_ == TDragState::Dragging) qApp->removeEventFilter(this);
}

// --- Geometry ---------------------------------------------------------------------------

bool TLayerNavigator::CheckGeometry() {
  if (Count() == 0) return false;
  const TBitmap& bg = image_.Layers[0].Image;
  const int cw = contentsRect().width();
  if (cw == geometryClientWidth_ && bg.Width() == geometryBackgroundWidth_ &&
      bg.Height() == geometryBackgroundHeight_)
    return false;
  geometryClientWidth_ = cw;
  geometryBackgroundWidth_ = bg.Width();
  geometryBackgroundHeight_ = bg.Height();
  const TThumbGeometry g = ComputeThumbGeometry(cw, bg.Width(), bg.Height(), Spacing, Margin);
  if (g == geometry_ && !thumbs_.empty()) return false;
  geometry_ = g;
  thumbs_.clear();
  return true;
}

const TThumbGeometry& TLayerNavigator::Geometry() {
  CheckGeometry();
  return geometry_;
}

int TLayerNavigator::RowHeight() {
  const int names = showNames_ ? QFontMetrics(font()).height() : 0;
  return Geometry().ListHeight + Margin + 2 * Spacing + 2 + names;
}

int TLayerNavigator::VisibleRows() {
  const int rh = RowHeight(), ch = contentsRect().height();
  const bool fits = int64_t(Count()) * rh <= ch;
  return std::max(1, (ch - (fits ? 0 : ButtonHeight)) / rh);
}

QRect TLayerNavigator::RowRect(int row) {
  const QRect cr = contentsRect();
  const int rh = RowHeight();
  return QRect(cr.left(), cr.top() + (row - firstRow_) * rh, cr.width(), rh);
}

QRect TLayerNavigator::CellRect(int row) {
  const TThumbGeometry& g = Geometry();
  const QRect r = RowRect(row);
  return QRect(r.left() + Spacing + Margin / 2 + 1, r.top() + Spacing + Margin / 2 + 1, g.ListWidth, g.ListHeight);
}

QRect TLayerNavigator::ThumbnailRect(int row) {
  const TThumbGeometry& g = Geometry();
  const QRect cell = CellRect(row);
  return QRect(cell.left() + (g.ListWidth - g.ThumbWidth) / 2, cell.top() + (g.ListHeight - g.ThumbHeight) / 2,
               g.ThumbWidth, g.ThumbHeight);
}

QRect TLayerNavigator::HiddenGlyphRect(int row) {
  const QRect cell = CellRect(row);
  return QRect(cell.left() + 1, cell.bottom() - GlyphSize, GlyphSize, GlyphSize);
}

QRect TLayerNavigator::LockedGlyphRect(int row) {
  const QRect cell = CellRect(row);
  return QRect(cell.right() - GlyphSize, cell.bottom() - GlyphSize, GlyphSize, GlyphSize);
}

int TLayerNavigator::LayerAtPoint(int x, int y) {
  QRect rows = contentsRect();
  if (btnUp_->isVisible()) rows.setBottom(rows.bottom() - ButtonHeight);
  if (!rows.contains(x, y)) return -1;
  const int row = firstRow_ + (y - rows.top()) / RowHeight();
  return row < Count() ? Count() - 1 - row : -1;
}

void TLayerNavigator::LayOut() {
  const int n = Count(), rh = RowHeight();
  const QRect cr = contentsRect();
  const bool fits = int64_t(n) * rh <= cr.height();
  const int visible = VisibleRows();
  firstRow_ = fits ? 0 : std::clamp(firstRow_, 0, std::max(0, n - visible));
  btnUp_->setVisible(!fits);
  btnDown_->setVisible(!fits);
  if (!fits) {
    const int half = cr.width() / 2, top = cr.bottom() + 1 - ButtonHeight;
    btnUp_->setGeometry(cr.left(), top, half, ButtonHeight);
    btnDown_->setGeometry(cr.left() + half, top, cr.width() - half, ButtonHeight);
    btnUp_->setEnabled(firstRow_ >= 1);
    btnDown_->setEnabled(firstRow_ + visible < n);
  }
  laidOutCount_ = n;
}

QSize TLayerNavigator::sizeHint() const { return QSize(80, 80); }

QSize TLayerNavigator::minimumSizeHint() const {
  const int frame = 2 * frameWidth();
  const int row = geometry_.ListHeight + Margin + 2 * Spacing + 2 + (showNames_ ? QFontMetrics(font()).height() : 0);
  return QSize(frame + 2 * Spacing + Margin + 2 + 7, frame + row + ButtonHeight);
}

void TLayerNavigator::SetHighlightColor(TColor c) {
  if (c == highlightColor_) return;
  highlightColor_ = c;
  UpdateRowOfLayer(activeRow_);
}

void TLayerNavigator::SetShowNames(bool on) {
  if (on == showNames_) return;
  showNames_ = on;
  LayOut();
  update();
}

// --- Thumbnails ----------------------------------------------------------------------------

TLayerNavigator::TThumbSource TLayerNavigator::SourceOf(const TLayerItem& layer) {
  TThumbSource s;
  s.ImageBits = layer.Image.Bits();
  s.MaskBits = layer.Mask.Bits();
  s.ImageWidth = layer.Image.Width();
  s.ImageHeight = layer.Image.Height();
  s.MaskWidth = layer.Mask.Width();
  s.MaskHeight = layer.Mask.Height();
  s.Left = layer.Left;
  s.Top = layer.Top;
  s.Opacity = layer.Opacity;
  s.LayerType = layer.LayerType;
  s.Transparent = layer.Image.Transparent;
  s.TransparentColor = layer.Image.TransparentColor;
  return s;
}

void TLayerNavigator::EnsureThumbnails() {
  if (rebuildPending_) {
    thumbs_.clear();
    rebuildPending_ = false;
  }
  CheckGeometry();
  const int n = Count();
  std::unordered_set<int32_t> present;
  std::vector<int> todo;
  for (int i = 0; i < n; ++i) {
    const TLayerItem& layer = image_.Layers[i];
    present.insert(layer.Id());
    const auto it = thumbs_.find(layer.Id());
    if (it == thumbs_.end() || it->second.Stale || !(it->second.Source == SourceOf(layer))) todo.push_back(i);
  }
  std::erase_if(thumbs_, [&](const auto& entry) { return !present.count(entry.first); });
  if (todo.empty()) return;
  std::vector<TBitmap> pictures;
  RenderLayerThumbnails(image_.Layers, geometry_, todo, pictures);
  for (size_t k = 0; k < todo.size(); ++k) {
    const TLayerItem& layer = image_.Layers[todo[k]];
    TThumb& t = thumbs_[layer.Id()];
    t.Picture = std::move(pictures[k]);
    t.Source = SourceOf(layer);
    t.Stale = false;
  }
}

const TBitmap* TLayerNavigator::LayerThumbnail(int index) {
  if (index < 0 || index >= Count()) return nullptr;
  EnsureThumbnails();
  const auto it = thumbs_.find(image_.Layers[index].Id());
  return it == thumbs_.end() ? nullptr : &it->second.Picture;
}

void TLayerNavigator::UpdateLayerThumbnail(int index) {
  if (index < 0 || index >= Count()) return;
  const auto it = thumbs_.find(image_.Layers[index].Id());
  if (it != thumbs_.end()) it->second.Stale = true;
  UpdateRowOfLayer(index);
}

void TLayerNavigator::AddLayerThumbnail(const TBitmap* background) {
  if (background) {
    // a new stack: sized again for its background, nothing kept
    geometryClientWidth_ = -1;
    thumbs_.clear();
  }
  SyncLayerNavigatorCount();
}

void TLayerNavigator::RebuildThumbnails() {
  thumbs_.clear();
  rebuildPending_ = false;
  EnsureThumbnails();
  update();
}

void TLayerNavigator::InvalidateLayerNavigator(bool rebuildNow) {
  SyncLayerNavigatorCount();
  if (rebuildNow) {
    RebuildThumbnails();
  } else {
    rebuildPending_ = true;
    update();
  }
}

// --- Rows and scrolling --------------------------------------------------------------------

void TLayerNavigator::UpdateRowOfLayer(int index) {
  if (index >= 0 && index < Count()) update(RowRect(RowOfLayer(index)));
}

void TLayerNavigator::SetActiveRow(int index) {
  if (index == activeRow_) return;
  UpdateRowOfLayer(activeRow_);
  activeRow_ = index;
  UpdateRowOfLayer(activeRow_);
}

void TLayerNavigator::SyncLayerNavigatorCount() {
  if (Count() != laidOutCount_) update();  // every row moves when the count changes
  LayOut();
  SetActiveRow(image_.ActiveIndex());
}

void TLayerNavigator::ShowActiveLayerRow() {
  LayOut();
  if (activeRow_ < 0 || activeRow_ >= Count()) return;
  const int wanted = std::max(0, RowOfLayer(activeRow_) - VisibleRows() + 1);
  ScrollRows(wanted - firstRow_);
}

void TLayerNavigator::FollowImageSelection() {
  SyncLayerNavigatorCount();
  ShowActiveLayerRow();
}

void TLayerNavigator::ScrollRows(int delta) {
  LayOut();
  const int first = std::clamp(firstRow_ + delta, 0, std::max(0, Count() - VisibleRows()));
  if (first == firstRow_) return;
  const int dy = (firstRow_ - first) * RowHeight();
  firstRow_ = first;
  LayOut();
  QRect rows = contentsRect();
  if (btnUp_->isVisible()) rows.setBottom(rows.bottom() - ButtonHeight);
  if (dragState_ == TDragState::Dragging || hoverRow_ >= 0) {
    update(rows);  // the bar and the faint glyphs follow the pointer, not the pixels
  } else {
    scroll(0, dy, rows);
  }
}

void TLayerNavigator::MoveLayerRow(int from, int to) {
  const int n = Count();
  if (from < 0 || from >= n || to < 0 || to >= n || from == to) return;
  image_.Layers.Move(from, to);
  image_.SetActiveLayerIndex(to);
  activeRow_ = to;
  const QRect a = RowRect(RowOfLayer(from)), b = RowRect(RowOfLayer(to));
  update(a.united(b));
  emit LayerMoved(from, to);
}

// --- Layer operations ------------------------------------------------------------------------

void TLayerNavigator::NavLoadFromBitmap(const TBitmap& image, const TBitmap& mask, const std::string& name) {
  image_.LoadFromBitmap(image, mask, name);
  firstRow_ = 0;
  AddLayerThumbnail(&image_.Layers[0].Image);
}

void TLayerNavigator::NavLoadFromGraphic(const TBitmap& graphic, const std::string& name) {
  image_.LoadFromGraphic(graphic, name);
  firstRow_ = 0;
  AddLayerThumbnail(&image_.Layers[0].Image);
}

int TLayerNavigator::NavInsertBackground(const TBitmap& image, const TBitmap& mask, const std::string& name) {
  if (Count() < 1) return -1;
  image_.Layers[0].CreateDefaultMask();
  const int index = image_.InsertBottomLayer(image, mask, name);
  SyncLayerNavigatorCount();
  ShowActiveLayerRow();
  update();
  return index;
}

int TLayerNavigator::NewLayerPlaced(int previousActive) {
  const int top = Count() - 1;
  if (top < 0) return -1;
  // a new layer over a stack gets its mask; a first layer is the background, which has none
  if (top >= 1 && image_.Layers[top].LayerType == ltBitmap) image_.Layers[top].CreateDefaultMask();
  int index = top;
  if (previousActive >= 0 && previousActive + 1 < top) {
    index = previousActive + 1;
    MoveLayerRow(top, index);
  } else {
    image_.SetActiveLayerIndex(top);
  }
  SyncLayerNavigatorCount();
  ShowActiveLayerRow();
  update();
  return index;
}

int TLayerNavigator::NavAddLayer(const TBitmap& image, const TBitmap& mask, const std::string& name, int opacity,
                                 TPoint position) {
  const int previous = image_.ActiveIndex();
  image_.AddLayer(image, mask, name, opacity, position);
  return NewLayerPlaced(previous);
}

int TLayerNavigator::NavAddLayerFromGraphic(const TBitmap& graphic, TPoint position, const std::string& name,
                                            int opacity) {
  const int previous = image_.ActiveIndex();
  image_.AddLayerFromGraphic(graphic, position, name, opacity);
  return NewLayerPlaced(previous);
}

int TLayerNavigator::NavAddColorLayer(TColor color, int opacity, const std::string& name, bool negate) {
  const int previous = image_.ActiveIndex();
  image_.AddColorLayer(color, opacity, name, negate);
  return NewLayerPlaced(previous);
}

int TLayerNavigator::NavAddAdjustmentLayer(const TLayerAdjustment& adjustment, int opacity,
                                           const std::string& name) {
  const int previous = image_.ActiveIndex();
  image_.AddAdjustmentLayer(adjustment, opacity, name);
  return NewLayerPlaced(previous);
}

int TLayerNavigator::NavAddTextLayer(std::unique_ptr<TLayerData> data, const std::string& name) {
  const int previous = image_.ActiveIndex();
  image_.AddDataLayer(std::move(data), name);
  return NewLayerPlaced(previous);
}

int TLayerNavigator::NavDuplicateLayer(int index, const std::string& name) {
  const int previous = image_.ActiveIndex();
  if (image_.DuplicateLayer(index, name) < 0) return -1;
  return NewLayerPlaced(previous);
}

void TLayerNavigator::NavDeleteLayer(int index) {
  // Deleting the background would make the layer above it the background, off its
  // place and size; deleting the only layer would leave a document without an image.
  if (index < 1 || index >= Count()) return;
  thumbs_.erase(image_.Layers[index].Id());
  image_.Layers.Delete(index);
  SyncLayerNavigatorCount();
  update();
}

void TLayerNavigator::ToggleLayerVisible(int index) {
  if (index < 1 || index >= Count()) return;
  TLayerItem& layer = image_.Layers[index];
  layer.Visible = !layer.Visible;
  image_.InvalidateImageRect(ReachOf(layer));
  UpdateRowOfLayer(index);
  emit LayerFlagsChanged(index);
}

void TLayerNavigator::ToggleLayerLocked(int index) {
  if (index < 0 || index >= Count()) return;
  TLayerItem& layer = image_.Layers[index];
  layer.Locked = !layer.Locked;
  UpdateRowOfLayer(index);
  emit LayerFlagsChanged(index);
}

// --- Painting ---------------------------------------------------------------------------------

void TLayerNavigator::paintEvent(QPaintEvent* e) {
  // The stack may have changed under us (merges, undo, a command that did not say):
  // follow it before painting.
  if (Count() != laidOutCount_) {
    LayOut();
    update();
  }
  if (CheckGeometry()) update();
  if (activeRow_ != image_.ActiveIndex()) SetActiveRow(image_.ActiveIndex());
  EnsureThumbnails();

  QPainter p(this);
  QRect rows = contentsRect();
  if (btnUp_->isVisible()) rows.setBottom(rows.bottom() - ButtonHeight);
  const QRect dirty = e->rect() & rows;
  if (!dirty.isEmpty() && Count() > 0) {
    const int rh = RowHeight();
    const int first = std::max(firstRow_, firstRow_ + (dirty.top() - rows.top()) / rh);
    const int last = std::min(Count() - 1, firstRow_ + (dirty.bottom() - rows.top()) / rh);
    p.save();
    p.setClipRect(rows);
    for (int row = first; row <= last; ++row) PaintRow(p, row);
    if (dragState_ == TDragState::Dragging) {
      const QRect bar = InsertionBarRect();
      if (!bar.isEmpty()) p.fillRect(bar, ToQColor(highlightColor_));
    }
    p.restore();
  }
  drawFrame(&p);
}

void TLayerNavigator::PaintRow(QPainter& p, int row) {
  const int index = RowOfLayer(row);
  const TLayerItem& layer = image_.Layers[index];
  const QRect r = RowRect(row);
  p.save();
  p.setClipRect(r, Qt::IntersectClip);  // a thumbnail wider than its cell stays in its row
  if (index == activeRow_)
    p.fillRect(r.adjusted(Spacing, Spacing, -Spacing, -Spacing), ToQColor(highlightColor_));

  const QRect t = ThumbnailRect(row);
  const auto it = thumbs_.find(layer.Id());
  if (it != thumbs_.end() && !it->second.Picture.Empty()) {
    p.drawImage(t.topLeft(), BitmapAsQImage(it->second.Picture));
  } else {
    p.fillRect(t, ToQColor(kThumbCheckerColor));
  }
  // a raised one-pixel frame
  const QRect f = t.adjusted(-1, -1, 0, 0);
  p.fillRect(QRect(f.left(), f.top(), f.width(), 1), ToQColor(kFrameLight));
  p.fillRect(QRect(f.left(), f.top(), 1, f.height()), ToQColor(kFrameLight));
  p.fillRect(QRect(f.left(), f.bottom() + 1, f.width() + 1, 1), ToQColor(kFrameDark));
  p.fillRect(QRect(f.right() + 1, f.top(), 1, f.height() + 1), ToQColor(kFrameDark));

  const TGlyphs& glyphs = Glyphs();
  if (layer.LayerType != ltBitmap) {
    const QImage& g = layer.LayerType == ltText ? glyphs.Text : glyphs.Params;
    const int side = std::min({kKindGlyphSize, t.width(), t.height()});
    p.save();
    p.setClipRect(t, Qt::IntersectClip);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRect(t.left() + (t.width() - side) / 2, t.top() + (t.height() - side) / 2, side, side), g);
    if (layer.LayerType == ltColor) {
      const QRect swatch(t.left() + kSwatchInset, t.top() + kSwatchInset, kSwatchWidth, kSwatchHeight);
      p.fillRect(swatch, ToQColor(layer.Color));
      p.setPen(ToQColor(kFrameDark));
      p.drawRect(swatch.adjusted(0, 0, -1, -1));
    }
    p.restore();
  }

  const bool hover = row == hoverRow_ && dragState_ == TDragState::None;
  auto glyph = [&](const QRect& place, const QImage& g, bool on, bool toggles) {
    if (!on && !(hover && toggles)) return;
    p.save();
    if (!on) p.setOpacity(kGhostOpacity);
    p.drawImage(place, g);
    p.restore();
  };
  glyph(HiddenGlyphRect(row), glyphs.Hide, !layer.Visible, index >= 1);
  glyph(LockedGlyphRect(row), glyphs.Lock, layer.Locked, true);

  if (showNames_) {
    const QFontMetrics fm(font());
    const QRect text(r.left() + Spacing, CellRect(row).bottom() + 3, r.width() - 2 * Spacing, fm.height());
    p.setFont(font());
    p.setPen(palette().color(QPalette::ButtonText));
    const QString name = QString::fromStdString(layer.GetDisplayName());
    p.drawText(text, Qt::AlignHCenter | Qt::AlignVCenter, fm.elidedText(name, Qt::ElideRight, text.width()));
  }
  p.restore();
}

// --- Mouse --------------------------------------------------------------------------------------

QRect TLayerNavigator::InsertionBarRect() {
  if (dragTarget_ < 0 || dragTarget_ == dragSource_ || dragTarget_ >= Count()) return QRect();
  const QRect r = RowRect(RowOfLayer(dragTarget_));
  // up the stack the layer lands above the target's row, down the stack below it
  const int y = dragTarget_ > dragSource_ ? r.top() - 1 : r.bottom() - 1;
  return QRect(r.left() + 1, y, r.width() - 2, 3);
}

void TLayerNavigator::SetDragTarget(int target) {
  if (target == dragTarget_) return;
  update(InsertionBarRect());
  dragTarget_ = target;
  update(InsertionBarRect());
}

void TLayerNavigator::EndDrag() {
  if (dragState_ == TDragState::Dragging) {
    update(InsertionBarRect());
    unsetCursor();
    qApp->removeEventFilter(this);
  }
  autoScroll_.stop();
  autoScrollDirection_ = 0;
  dragState_ = TDragState::None;
  dragSource_ = dragTarget_ = -1;
  dragInside_ = true;
}

void TLayerNavigator::SetHoverRow(int row) {
  if (row == hoverRow_) return;
  for (int r : {hoverRow_, row}) {
    if (r >= 0 && r < Count()) {
      update(HiddenGlyphRect(r));
      update(LockedGlyphRect(r));
    }
  }
  hoverRow_ = row;
}

void TLayerNavigator::mousePressEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  const int index = LayerAtPoint(pos.x(), pos.y());
  if (index < 0) return;
  const bool left = e->button() == Qt::LeftButton;
  if (left) {
    const int row = RowOfLayer(index);
    if (index >= 1 && HiddenGlyphRect(row).contains(pos)) return ToggleLayerVisible(index);
    if (LockedGlyphRect(row).contains(pos)) return ToggleLayerLocked(index);
  }
  image_.SetActiveLayerIndex(index);
  SetActiveRow(index);
  emit ActiveChanged(index);
  // Reordering needs two upper layers: with a background and one layer there is
  // nowhere to move it.
  if (left && index >= 1 && index < Count() && Count() > 2) {
    dragState_ = TDragState::Pressed;
    pressPoint_ = pos;
    dragSource_ = dragTarget_ = index;
  }
}

void TLayerNavigator::mouseMoveEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  if (dragState_ == TDragState::None) {
    const int index = LayerAtPoint(pos.x(), pos.y());
    SetHoverRow(index < 0 ? -1 : RowOfLayer(index));
    return;
  }
  if (dragState_ == TDragState::Pressed) {
    if (std::abs(pos.x() - pressPoint_.x()) < kDragThreshold && std::abs(pos.y() - pressPoint_.y()) < kDragThreshold)
      return;
    dragState_ = TDragState::Dragging;
    SetHoverRow(-1);
    qApp->installEventFilter(this);  // Esc cancels the drag
  }
  dragPos_ = pos;
  dragInside_ = contentsRect().contains(pos);
  setCursor(dragInside_ ? Qt::DragMoveCursor : Qt::ForbiddenCursor);
  SetDragTarget(DragTargetAt(pos));
  const QRect cr = contentsRect();
  const int rowsBottom = cr.bottom() - (btnUp_->isVisible() ? ButtonHeight : 0);
  autoScrollDirection_ = 0;
  if (dragInside_ && pos.y() < cr.top() + kAutoScrollBand) autoScrollDirection_ = -1;
  if (dragInside_ && pos.y() > rowsBottom - kAutoScrollBand) autoScrollDirection_ = 1;
  if (autoScrollDirection_ == 0) {
    autoScroll_.stop();
  } else if (!autoScroll_.isActive()) {
    autoScroll_.start();
  }
}

int TLayerNavigator::DragTargetAt(QPoint pos) {
  const int target = contentsRect().contains(pos) ? LayerAtPoint(pos.x(), pos.y()) : -1;
  return target < 1 ? dragSource_ : target;
}

void TLayerNavigator::AutoScrollTick() {
  if (dragState_ != TDragState::Dragging || autoScrollDirection_ == 0) return autoScroll_.stop();
  ScrollRows(autoScrollDirection_);
  SetDragTarget(DragTargetAt(dragPos_));
}

void TLayerNavigator::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  const bool dragged = dragState_ == TDragState::Dragging && dragInside_;
  const int from = dragSource_, to = dragTarget_;
  EndDrag();
  if (dragged) MoveLayerRow(from, to);
}

void TLayerNavigator::mouseDoubleClickEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  const int index = LayerAtPoint(pos.x(), pos.y());
  if (index < 0) return;
  const int row = RowOfLayer(index);
  // a quick second click on a glyph place toggles again
  if (e->button() == Qt::LeftButton &&
      ((index >= 1 && HiddenGlyphRect(row).contains(pos)) || LockedGlyphRect(row).contains(pos)))
    return mousePressEvent(e);
  emit LayerDoubleClicked(index);
}

void TLayerNavigator::wheelEvent(QWheelEvent* e) {
  wheelRemainder_ += e->angleDelta().y();
  const int steps = wheelRemainder_ / 120;
  wheelRemainder_ %= 120;
  if (steps != 0) ScrollRows(-steps);
  if (dragState_ == TDragState::Dragging) SetDragTarget(DragTargetAt(e->position().toPoint()));
  e->accept();
}

bool TLayerNavigator::eventFilter(QObject* watched, QEvent* e) {
  if (dragState_ == TDragState::Dragging && e->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) {
    EndDrag();
    return true;
  }
  return QFrame::eventFilter(watched, e);
}

void TLayerNavigator::leaveEvent(QEvent* e) {
  SetHoverRow(-1);
  QFrame::leaveEvent(e);
}

void TLayerNavigator::resizeEvent(QResizeEvent* e) {
  QFrame::resizeEvent(e);
  LayOut();
  update();
}

void TLayerNavigator::changeEvent(QEvent* e) {
  QFrame::changeEvent(e);
  if (e->type() == QEvent::FontChange || e->type() == QEvent::StyleChange) {
    LayOut();
    update();
  }
}

}  // namespace qm
