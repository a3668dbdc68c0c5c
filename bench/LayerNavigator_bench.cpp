#include <QApplication>
#include <QImage>
#include <memory>

#include "Harness.h"
#include "document/LayeredImage.h"
#include "views/LayerNavigator.h"

#ifdef QM_HAVE_OPENCV
#include <opencv2/imgproc.hpp>
#endif
#include <magick/api.h>

namespace qm::bench {
namespace {

constexpr int kLayers = 50;
const char* kRebuild = "Layer navigator: rebuild 50 layers of 24 MP (every thumbnail made)";
const char* kRepaint = "Layer navigator: repaint 50 layers of 24 MP (thumbnails kept)";

// The strip of a document window with large thumbnails (120 + 2 x 2 border pixels), as
// tall as a full-HD window's client area.
constexpr int kStripWidth = 124, kStripHeight = 1000;

void EnsureApplication() {
  if (QApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "qm_bench";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);  // kept until the process ends
}

// Fifty full-size layers (3.6 GB): the two photos alternately, each moved a little.
TLayeredImage& FiftyLayers() {
  return FamilyFixture([] {
    auto d = std::make_unique<TLayeredImage>();
    d->LoadFromBitmap(Photo(), TBitmap(), "#0");
    for (int i = 1; i < kLayers; ++i) d->AddLayer(i % 2 ? Photo2() : Photo(), TBitmap(), "#", 100, TPoint{7 * i, 5 * i});
    return d;
  });
}

TLayerNavigator& Strip() {
  EnsureApplication();
  return FamilyFixture([] {
    auto n = std::make_unique<TLayerNavigator>(FiftyLayers());
    n->setFrameStyle(QFrame::NoFrame);
    n->resize(kStripWidth, kStripHeight);
    return n;
  });
}

QM_BENCH(kRebuild, kOurs, kLayers * kPhotoBytes, [](benchmark::State& st) {
  TLayerNavigator& nav = Strip();
  QImage target(nav.size(), QImage::Format_RGB32);
  for (auto _ : st) {
    nav.InvalidateLayerNavigator(true);
    nav.render(&target);
  }
});

QM_BENCH(kRepaint, kOurs, kLayers * kPhotoBytes, [](benchmark::State& st) {
  TLayerNavigator& nav = Strip();
  QImage target(nav.size(), QImage::Format_RGB32);
  nav.render(&target);
  for (auto _ : st) nav.render(&target);
});

// The peers make the same 50 thumbnails straight from the photo's pixels.
#ifdef QM_HAVE_OPENCV
QM_BENCH(kRebuild, kOpenCV, kLayers * kPhotoBytes, [](benchmark::State& st) {
  const int w = Strip().ThumbWidth(), h = Strip().ThumbHeight();
  cv::Mat src = AsMat(Photo()), out;
  for (auto _ : st)
    for (int i = 0; i < kLayers; ++i) cv::resize(src, out, cv::Size(w, h), 0, 0, cv::INTER_AREA);
});
#endif

QM_BENCH(kRebuild, kGM, kLayers * kPhotoBytes, [](benchmark::State& st) {
  const int w = Strip().ThumbWidth(), h = Strip().ThumbHeight();
  ExceptionInfo ex;
  GetExceptionInfo(&ex);
  Image* src = ToGM(Photo());
  for (auto _ : st)
    for (int i = 0; i < kLayers; ++i) DestroyImage(ResizeImage(src, unsigned(w), unsigned(h), TriangleFilter, 1.0, &ex));
  DestroyExceptionInfo(&ex);
});

}  // namespace
}  // namespace qm::bench
