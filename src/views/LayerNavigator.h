#pragma once
// The layer strip at the left of a document window: one row per layer, the top layer
// first, each with its thumbnail (or the glyph of a text or settings layer), its name
// when asked, glyphs for hidden and locked layers and the active row highlighted. A
// press selects a layer, a drag reorders layers, the glyph places toggle visibility and
// lock, two arrow buttons and the wheel scroll the rows (a drag held at their top or
// bottom edge scrolls them too; Esc cancels it). The layer commands add, insert,
// duplicate and delete layers through the Nav operations, so the strip stays in step.
//
// The strip reads the layered image it is given (it does not own it; the image must
// outlive it). Thumbnails are kept per layer and made again when the layer's bitmaps,
// place, opacity or kind change; a change of pixels in place must be told through
// UpdateLayerThumbnail or InvalidateLayerNavigator.
#include <QFrame>
#include <QPoint>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "document/LayerThumbnails.h"
#include "document/LayeredImage.h"

namespace qm {

class TPrevNextButton;

// Makes the strips readable by assistive technology: a list of their rows, each named
// by its layer. Every strip calls it as it is made.
void InstallLayerNavigatorAccessibility();

class TLayerNavigator : public QFrame {
  Q_OBJECT

 public:
  static constexpr int Spacing = 3;
  static constexpr int Margin = 4;
  static constexpr int ButtonHeight = 13;  // the scroll buttons, when the rows do not fit
  static constexpr int GlyphSize = 16;      // the hidden and locked glyphs and their places

  // 80 x 80, a sunken frame; installs itself on the image's layer selection
  // (OnLayerSelect, calling whatever handler was there first) to follow the active layer.
  explicit TLayerNavigator(TLayeredImage& image, QWidget* parent = nullptr);
  ~TLayerNavigator() override;

  TLayeredImage& Image() const { return image_; }

  // --- Geometry (in the frame's contents) ---------------------------------------------
  const TThumbGeometry& Geometry();  // laid out for the current width and background
  int ThumbWidth() { return Geometry().ThumbWidth; }
  int ThumbHeight() { return Geometry().ThumbHeight; }
  double Scale() { return Geometry().Scale; }
  int RowHeight();
  int VisibleRows();
  int FirstRow() const { return firstRow_; }
  // The layer shown as active; -1 before there is one.
  int ActiveRow() const { return activeRow_; }
  // Where row r (0 = the top layer) lies, in widget coordinates, as scrolled now.
  QRect RowRect(int row);
  // The place of the thumbnail inside a row, and the places of the glyphs that show and
  // toggle the hidden and locked flags.
  QRect ThumbnailRect(int row);
  QRect HiddenGlyphRect(int row);
  QRect LockedGlyphRect(int row);
  // The layer index of the row under a widget point, -1 off the rows.
  int LayerAtPoint(int x, int y);
  // The thumbnail of a layer, made if it is missing or out of date; null for an index
  // outside the list.
  const TBitmap* LayerThumbnail(int index);

  TColor HighlightColor() const { return highlightColor_; }
  void SetHighlightColor(TColor c);
  bool ShowNames() const { return showNames_; }
  void SetShowNames(bool on);

  // --- Keeping in step with the image ------------------------------------------------
  // The layer's thumbnail is made again (its pixels changed).
  void UpdateLayerThumbnail(int index);
  // A layer was added: its thumbnail is made. With the background (the first layer of a
  // new stack) the thumbnails are first sized for it anew.
  void AddLayerThumbnail(const TBitmap* background = nullptr);
  // The rows follow the layer count and the active row the image's active layer.
  void SyncLayerNavigatorCount();
  // Scrolls, from the top, until the active layer's row shows.
  void ShowActiveLayerRow();
  // Every thumbnail is made again: now, or at the next paint.
  void InvalidateLayerNavigator(bool rebuildNow);
  void RebuildThumbnails();
  // Moves a layer in the stack (and its row); fires LayerMoved. Nothing when either
  // index is outside the list or they are equal.
  void MoveLayerRow(int from, int to);
  // Scrolls by whole rows (negative: toward the top layer).
  void ScrollRows(int delta);

  // --- Layer operations of the image, keeping the strip in step -----------------------
  // The stack becomes one background layer.
  void NavLoadFromBitmap(const TBitmap& image, const TBitmap& mask, const std::string& name);
  void NavLoadFromGraphic(const TBitmap& graphic, const std::string& name);
  // A new background under the stack; the old one gets its default mask. Returns 0, or -1.
  int NavInsertBackground(const TBitmap& image, const TBitmap& mask, const std::string& name);
  // Each new layer (a bitmap layer with its default mask) lands just above the layer
  // that was active and becomes active. They return its index.
  int NavAddLayer(const TBitmap& image, const TBitmap& mask, const std::string& name, int opacity,
                  TPoint position);
  int NavAddLayerFromGraphic(const TBitmap& graphic, TPoint position, const std::string& name, int opacity);
  int NavAddColorLayer(TColor color, int opacity, const std::string& name, bool negate);
  int NavAddAdjustmentLayer(const TLayerAdjustment& adjustment, int opacity, const std::string& name);
  int NavAddTextLayer(std::unique_ptr<TLayerData> data, const std::string& name);
  // -1 when index is outside the list.
  int NavDuplicateLayer(int index, const std::string& name);
  // Deletes an upper layer (never the background, which the stack cannot lose).
  void NavDeleteLayer(int index);

  // The hidden flag of an upper layer and the lock of any layer, as the glyph places do:
  // the image recomposes where the layer reaches; fires LayerFlagsChanged.
  void ToggleLayerVisible(int index);
  void ToggleLayerLocked(int index);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 signals:
  // A press selected a layer (the image's active layer is already index).
  void ActiveChanged(int index);
  // A drag or an insertion moved a layer from one index to another; the moved layer is
  // active.
  void LayerMoved(int from, int to);
  // The visible or locked flag of a layer was toggled in the strip.
  void LayerFlagsChanged(int index);
  // A double click on a row: the document window opens the layer's options.
  void LayerDoubleClicked(int index);

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  // During a drag, Esc (wherever the keyboard focus is) cancels it.
  bool eventFilter(QObject* watched, QEvent* e) override;
  void leaveEvent(QEvent* e) override;
  void changeEvent(QEvent* e) override;

 private:
  enum class TDragState { None, Pressed, Dragging };
  // What a thumbnail was made from: when any of it differs, it is made again.
  struct TThumbSource {
    const uint8_t* ImageBits = nullptr;
    const uint8_t* MaskBits = nullptr;
    int ImageWidth = 0, ImageHeight = 0, MaskWidth = 0, MaskHeight = 0;
    int Left = 0, Top = 0, Opacity = 0;
    uint8_t LayerType = 0;
    bool Transparent = false;
    TColor TransparentColor = 0;
    friend bool operator==(const TThumbSource&, const TThumbSource&) = default;
  };
  struct TThumb {
    TBitmap Picture;
    TThumbSource Source;
    bool Stale = false;
  };
  static TThumbSource SourceOf(const TLayerItem& layer);

  int Count() const { return image_.GetLayerCount(); }
  int RowOfLayer(int index) const { return Count() - 1 - index; }
  // The cell of a row: ListWidth x ListHeight inside its margins, the thumbnail centred.
  QRect CellRect(int row);
  // Sizes the thumbnails for the width and background when either changed (every
  // thumbnail is then made again); true when it did.
  bool CheckGeometry();
  // Makes the missing and outdated thumbnails of every layer, forgets those of layers
  // that left the stack.
  void EnsureThumbnails();
  // Places the scroll buttons and keeps the first row in range.
  void LayOut();
  void SetActiveRow(int index);
  void UpdateRowOfLayer(int index);
  // Follows the image's active layer (the image's layer selection handler).
  void FollowImageSelection();
  int NewLayerPlaced(int previousActive);
  // The insertion bar of a drag: above the target row when the layer goes up, below it
  // when it goes down; empty without one.
  QRect InsertionBarRect();
  void SetDragTarget(int target);
  // The target under a widget point during a drag: the layer of the row, or the source
  // itself off the rows, on the background's row and outside the strip.
  int DragTargetAt(QPoint pos);
  // While a drag holds the pointer at the top or bottom edge of the rows, they scroll
  // by one row per tick toward it.
  void AutoScrollTick();
  void EndDrag();
  void SetHoverRow(int row);
  void PaintRow(QPainter& p, int row);

  TLayeredImage& image_;
  std::unordered_map<int32_t, TThumb> thumbs_;
  TThumbGeometry geometry_;
  int geometryClientWidth_ = -1, geometryBackgroundWidth_ = -1, geometryBackgroundHeight_ = -1;
  int activeRow_ = -1;
  int firstRow_ = 0;
  int laidOutCount_ = -1;
  int hoverRow_ = -1;
  bool rebuildPending_ = false;
  TDragState dragState_ = TDragState::None;
  QPoint pressPoint_;
  int dragSource_ = -1, dragTarget_ = -1;
  bool dragInside_ = true;
  QPoint dragPos_;
  int autoScrollDirection_ = 0;
  QTimer autoScroll_;
  int wheelRemainder_ = 0;
  TColor highlightColor_ = 255;
  bool showNames_ = false;
  TPrevNextButton* btnUp_;
  TPrevNextButton* btnDown_;
};

}  // namespace qm
