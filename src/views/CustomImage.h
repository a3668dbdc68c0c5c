#pragma once
// The scrolling, zoomable view of one image: the image zoomed through the pixel
// engine's viewport, with a margin, an optional frame and drop shadow, a checkerboard
// under a transparent image and a grid; the conversions between viewport (client) and
// image coordinates; scroll ranges that follow the zoom.
//
// Painting goes through a 24-bit back buffer of the viewport's size that the engine
// draws into directly (DrawBitmapZoomed on a bitmap canvas); the buffer is handed to
// Qt as a QImage over the same rows, and the overlays (shape being drawn, selection,
// transform handles) paint over it in the same pass. Only what was invalidated is
// drawn again: InvalidateImageRect repaints the image rectangle it is given.
#include <QAbstractScrollArea>
#include <QCursor>
#include <QImage>
#include <QRegion>
#include <functional>
#include <string>
#include <vector>

#include "views/ViewTypes.h"
#include "views/ZoomCache.h"
#include "pixel/ImgZoom.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

class TMyCustomImage : public QAbstractScrollArea {
 public:
  explicit TMyCustomImage(QWidget* parent = nullptr);
  ~TMyCustomImage() override;

  // The view's own image, shown unless a descendant shows another bitmap. Call
  // PictureChanged after changing its pixels or its size (or InvalidateImageRect for a
  // part): the view keeps a reduction of what it shows.
  TBitmap& Picture() { return picture_; }
  void PictureChanged();
  // The bitmap drawn: the picture here; the composed document in the layered view.
  virtual const TBitmap* DisplayBitmap() { return &picture_; }

  // --- Look --------------------------------------------------------------------------
  TColor Color() const { return color_; }  // around the image, and the checker squares
  void SetColor(TColor c);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle s);
  int Marge() const { return marge_; }  // screen pixels around the zoomed image
  void SetMarge(int m);
  TOptimizeMode OptimizeMode() const { return optimizeMode_; }
  void SetOptimizeMode(TOptimizeMode m);
  TColor BorderColor() const { return borderColor_; }  // clNone: no frame
  void SetBorderColor(TColor c);
  int ShadowSize() const { return shadowSize_; }  // 0..7; anything else gives 0
  void SetShadowSize(int s);
  const QCursor& DefaultCursor() const { return defaultCursor_; }
  void SetDefaultCursor(const QCursor& c);
  const QCursor& ImgCursor() const { return imgCursor_; }
  void SetImgCursor(const QCursor& c);

  const TViewGrid& Grid() const { return grid_; }
  void SetShowGrid(bool on);
  void SetGridAlign(bool on) { grid_.Align = on; }
  void SetGridWidth(int w);
  void SetGridColor(TColor c);

  // What the image file carries.
  double ResolutionX = 72, ResolutionY = 72;
  std::string Comment;
  int ColorCount = 0;

  // Called at the end of each paint, with the painter clipped to the painted region.
  std::function<void(QPainter& painter, const QRegion& region)> OnPaint;

  // The pointer, after the view and its overlays handled it: the presses and releases
  // the image itself took (none an overlay took), and every move over the viewport.
  // The document window routes them to the tools.
  std::function<void(QMouseEvent* e)> OnMouseDown, OnMouseMove, OnMouseUp;

  // --- Zoom and scrolling ----------------------------------------------------------------
  double Zoom() const { return viewport_.Zoom(); }
  void SetZoom(double z);
  // Fits the image into w x h less the margins.
  void ZoomToFitSize(int w, int h);
  // Fits the image into the whole client area (no scroll bars).
  void ZoomToFitWindow();
  // The ranges the scroll bars cover: the zoomed size plus both margins.
  int HorzRange() const;
  int VertRange() const;
  void ScrollImageBy(int dx, int dy);
  // Centres an image rectangle in the viewport, as far as the ranges allow.
  void ScrollToShowRect(const TRect& imageRect);

  // Painting is skipped while at least one update is open.
  void BeginUpdate() { ++updateLock_; }
  void EndUpdate();
  bool IsUpdating() const { return updateLock_ > 0; }

  // --- Coordinates (client = the viewport's) ------------------------------------------
  // The image's screen origin: the margin less the scroll positions.
  TPoint Origin() const;
  TRect GetImageScreenRect() const;
  TRect GetVisibleImageRect() const;
  bool IsPointOnImage(TPoint p) const;
  // Client to image: truncated; the first screen column or row of the image gives 0,
  // the last gives the last pixel.
  TPoint ClientToImagePoint(TPoint p) const;
  // Image to client: the first screen pixel that shows the image pixel (the first and
  // last pixel map to the image rectangle's first and last screen pixel), so a
  // client-image-client trip gives the same point at zooms up to 1 and an
  // image-client-image trip the same pixel at zooms from 1.
  TPoint ImageToClientPoint(TPoint p) const;
  // Rectangles (Right and Bottom exclusive): sides on the image's screen edges map to
  // 0 and the image's size exactly, and back.
  TRect ClientToImageRect(const TRect& r) const;
  TRect ImageToClientRect(const TRect& r) const;
  // ClientToImageRect, then each side on a multiple of the grid when it aligns.
  TRect SnapRectToGrid(const TRect& r) const;

  // Pixels of the image changed: repaints that rectangle (inflated by 3, cut to the
  // image on screen).
  void InvalidateImageRect(const TRect& imageRect);
  // Repaints a client rectangle.
  void InvalidateClientRect(const QRect& r);
  // The cursor follows the point under the pointer.
  void RefreshCursor();

  // A 2n x 2n white tile with n x n squares of the colour at top-left and bottom-right.
  static TBitmap CreateCheckerTile(TColor color, int n);

  // --- Overlays ------------------------------------------------------------------------
  // Not owned; the last added is on top. An overlay removes itself before it dies.
  void AddOverlay(TViewOverlay* overlay);
  void RemoveOverlay(TViewOverlay* overlay);
  // The marching ants of an overlay need a fresh step in this band only: the band is
  // drawn over what the viewport already shows, the image under it is not drawn again.
  void InvalidateAntsBand(const QRegion& band);

  // Paints a region of the viewport into a painter of the viewport's coordinates, as a
  // paint event does (the benchmarks and tests render offscreen through it).
  void RenderViewport(QPainter& painter, const QRegion& region);

 protected:
  // Draws the image part of the back buffer inside clip (the frame and the background
  // are drawn): the checkerboard under a transparent image, then the zoomed image.
  virtual void PaintImage(TBitmap& buffer, const TRect& clip);
  // Whether PaintImage draws the display bitmap alone, opaque and by nearest pixel:
  // the viewport then stretches it straight into the screen's format.
  virtual bool ImagePaintedPlain();
  // Draws over the image and the grid, under the overlays (the shape being drawn).
  virtual void PaintOver(QPainter&, const QRegion&) {}
  // The pointer and the keys, when no overlay took them.
  virtual void ImageMousePress(QMouseEvent*) {}
  virtual void ImageMouseMove(QMouseEvent*) {}
  virtual void ImageMouseRelease(QMouseEvent*) {}
  virtual void ImageMouseDoubleClick(QMouseEvent*) {}
  virtual bool ImageKeyPress(QKeyEvent*) { return false; }
  virtual bool ImageKeyRelease(QKeyEvent*) { return false; }
  // Whether the image itself is in the middle of a pointer action (a shape being drawn,
  // a layer being moved): the pointer then goes to it alone.
  virtual bool ImageBusy() const { return false; }
  // The cursor at a client point when no overlay owns it.
  virtual QCursor ImageCursorAt(TPoint p) const;
  // The zoom or the scroll position changed (after the overlays were told).
  virtual void ViewMoved(int /*dx*/, int /*dy*/) {}

  // The viewport's draw parameters and scroll ranges follow the bitmap.
  void SyncViewport();
  bool ShownSizeDiffers(int w, int h) const { return w != shownWidth_ || h != shownHeight_; }
  // The viewport's TImageZoom (zoom, zoomed size, image position).
  const TImageZoom& Viewport() const { return viewport_; }
  // Draws a bitmap of the image's size as the viewport shows the image (a smooth
  // reduction through a cache below 100 %) inside clip.
  void DrawZoomed(const TBitmap& bmp, TZoomCache& cache, TBitmap& buffer, const TRect& clip);

  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void scrollContentsBy(int dx, int dy) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;

  std::vector<TViewOverlay*> overlays_;

 private:
  void UpdateScrollRanges();
  void ViewChanged(int dx, int dy);
  void DrawBackground(TBitmap& buffer, const TRect& clip);
  void DrawGrid(QPainter& painter, const QRect& bounds);
  TViewOverlay* DraggingOverlay() const;

  TBitmap picture_;
  TBitmap back_;   // the viewport's pixels as last drawn, where the engine draws
  QImage shown_;   // the same in the screen's format
  TImageZoom viewport_;
  TZoomCache reduction_;
  TColor color_ = 0xE0E0E0;
  TBorderStyle borderStyle_ = bsSingle;
  int marge_ = 8;
  TOptimizeMode optimizeMode_ = omNone;
  TColor borderColor_ = clNone;
  int shadowSize_ = 0;
  QCursor defaultCursor_, imgCursor_;
  TViewGrid grid_;
  int updateLock_ = 0;
  int shownWidth_ = -1, shownHeight_ = -1;  // the bitmap size the ranges were made for
  TViewOverlay* grabber_ = nullptr;  // the overlay that took the press
  bool imageGrab_ = false;            // the image took the press
  QRegion antsOnly_;   // requested for ant steps alone since the last paint
  QRegion fullDirty_;  // requested for everything since the last paint
};

}  // namespace qm
