// The document view painting a 24 MP document into a 1920 x 1080 viewport, offscreen:
// a full repaint at three zooms, one step of the marching ants of a traced selection,
// and one pointer move while a 24 MP layer is dragged.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstdlib>

#include "Harness.h"
#include "document/LayeredImage.h"
#include "views/LayeredView.h"
#include "views/SelectionControl.h"

#ifdef QM_HAVE_OPENCV
#include <opencv2/imgproc.hpp>
#endif

namespace qm::bench {
namespace {

constexpr int kViewW = 1920, kViewH = 1080;

// One application for the whole run, kept until the process ends.
void EnsureApp() {
  if (QApplication::instance()) return;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "qm_bench";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

// A view of the photo, its viewport 1920 x 1080, shown offscreen.
template <class View>
void Prepare(View& view) {
  view.setFrameStyle(QFrame::NoFrame);
  view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  view.resize(kViewW, kViewH);
  view.SetOptimizeMode(omReduction);
  view.show();
  QApplication::processEvents();
}

// changed: the whole image changed before each repaint (the reduction is made again)
void FullRepaint(benchmark::State& st, double zoom, bool changed = false) {
  EnsureApp();
  TMyCustomImage view;
  Prepare(view);
  view.Picture() = Photo().Clone();
  view.PictureChanged();
  view.SetZoom(zoom);
  view.ScrollImageBy(view.HorzRange() / 3, view.VertRange() / 3);
  QImage target(kViewW, kViewH, QImage::Format_RGB32);
  QPainter painter(&target);
  const QRegion all(0, 0, kViewW, kViewH);
  for (auto _ : st) {
    if (changed) view.InvalidateImageRect(TRect{0, 0, kPhotoWidth, kPhotoHeight});
    view.RenderViewport(painter, all);
  }
}

const int64_t kViewBytes = int64_t(kViewW) * kViewH * 3;

QM_BENCH("View repaint 24 MP at 25 % into 1920x1080", kOurs, kPhotoBytes,
         [](benchmark::State& st) { FullRepaint(st, 0.25); });
QM_BENCH("View repaint 24 MP at 25 %, whole image changed", kOurs, kPhotoBytes,
         [](benchmark::State& st) { FullRepaint(st, 0.25, true); });
QM_BENCH("View repaint 24 MP at 100 % into 1920x1080", kOurs, kViewBytes,
         [](benchmark::State& st) { FullRepaint(st, 1.0); });
QM_BENCH("View repaint 24 MP at 400 % into 1920x1080", kOurs, kViewBytes,
         [](benchmark::State& st) { FullRepaint(st, 4.0); });

#ifdef QM_HAVE_OPENCV
// The peers' part of the same work: the scaling alone, without the screen's format.
QM_BENCH("View repaint 24 MP at 25 % into 1920x1080", kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  cv::Mat src = AsMat(Photo()), out;
  for (auto _ : st) cv::resize(src, out, cv::Size(1500, 1000), 0, 0, cv::INTER_AREA);
});
QM_BENCH("View repaint 24 MP at 400 % into 1920x1080", kOpenCV, kViewBytes, [](benchmark::State& st) {
  cv::Mat src = AsMat(Photo())(cv::Rect(2000, 1500, 480, 270)), out;
  for (auto _ : st) cv::resize(src, out, cv::Size(kViewW, kViewH), 0, 0, cv::INTER_NEAREST);
});
#endif

// A wavy ring whose traced outline has about 10,000 points, on screen at 100 %.
QM_BENCH("Marching-ants step, traced outline of 10,000 points", kOurs, kViewBytes, [](benchmark::State& st) {
  EnsureApp();
  TMyImage view;
  Prepare(view);
  view.Picture() = Photo().Clone();
  view.PictureChanged();
  TBitmap mask(1000, 1000, pf24bit, clWhite);
  for (int y = 0; y < 1000; ++y)
    for (int x = 0; x < 1000; ++x) {
      const double a = std::atan2(y - 500.0, x - 500.0), d = std::hypot(x - 500.0, y - 500.0);
      const double outer = 470 + 24 * std::sin(67 * a), inner = 330 + 20 * std::sin(59 * a);
      if (d < outer && d > inner) mask.SetPixel(x, y, clBlack);
    }
  TSelectionControl sel(view);
  TRect r;
  sel.Shape.ShapeFromMask(&mask, 128, r);
  sel.SetShape(ssMultiPoints);
  sel.SetSelectionRect(OffsetRect(r, 200, 40));
  sel.Show();
  st.counters["points"] = double(sel.Shape.Points.size());
  QImage target(kViewW, kViewH, QImage::Format_RGB32);
  QPainter painter(&target);
  view.RenderViewport(painter, QRegion(0, 0, kViewW, kViewH));
  const QRect band = sel.ClientRect();
  for (auto _ : st) {
    sel.AntsStep();
    view.RenderViewport(painter, QRegion(band));
  }
});

// Each move of the pointer places the layer one pixel further and paints what that
// invalidated: the union of the old and new bounds is composed again, then shown.
QM_BENCH("Layer drag, one move of a 24 MP layer at 25 %", kOurs, kPhotoBytes, [](benchmark::State& st) {
  EnsureApp();
  TLayeredImage doc;
  doc.LoadFromBitmap(Photo(), TBitmap(), "#0");
  doc.AddLayer(Photo2(), PhotoMask(), "#1", 70, TPoint{0, 0});
  TMyImageLayered view(doc);
  Prepare(view);
  view.SetZoom(0.25);
  view.SetSelectionMode(smMoveLayer);
  QImage target(kViewW, kViewH, QImage::Format_RGB32);
  QPainter painter(&target);
  view.RenderViewport(painter, QRegion(0, 0, kViewW, kViewH));
  TLayerMoveController& move = view.LayerMove();
  move.MouseDown(TPoint{3000, 2000}, true);
  int k = 0;
  for (auto _ : st) {
    move.MouseMove(TPoint{3001 + (k++ & 1), 2000}, false);
    const TRect moved = view.ImageToClientRect(TRect{0, 0, kPhotoWidth + 1, kPhotoHeight});
    view.RenderViewport(painter, QRegion(moved.Left, moved.Top, moved.Width(), moved.Height()));
  }
  move.MouseUp();
});

}  // namespace
}  // namespace qm::bench
