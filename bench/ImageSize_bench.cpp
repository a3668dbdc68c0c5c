// The size, canvas, new-image and copyright commands: their kernels beside the peers on
// the same pixels, and each dialog's OK as a user runs it in the real editor.
#ifdef QM_HAVE_VIPS
// before Qt's headers: GLib's names a member "signals", which Qt defines as a keyword
#include <vips/vips.h>
#endif

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include "EditorBench.h"
#include "Harness.h"
#include "dialogs/copyright/CopyrightStamp.h"
#include "document/Resample.h"
#include "imagefiles/FileDispatch.h"
#include "pixel/Blend.h"
#include "pixel/PixelFormat.h"
#include "platform/core/Parallel.h"

#ifdef QM_HAVE_OPENCV
#include <opencv2/imgproc.hpp>
#endif
#include <magick/api.h>

namespace qm::bench {
namespace {

const char* kResize = "Image size 50 %, Lanczos (24 MP to 6 MP)";
const char* kResizeOk = "Image size dialog: OK at 50 %, Lanczos, to the repaint (24 MP)";
const char* kCanvas = "Canvas +200 px a side, white (24 MP to 28 MP)";
const char* kCanvasOk = "Canvas size dialog: OK at +200 px a side, to the repaint (24 MP)";
const char* kTile = "Pattern 64 x 64 tiled over 24 MP";
const char* kNewOk = "New image dialog: OK at 6000 x 4000 with a pattern, to the first paint";
const char* kStamp = "Copyright stamp in a band outside (24 MP)";

constexpr int kHalfWidth = kPhotoWidth / 2, kHalfHeight = kPhotoHeight / 2;

QM_BENCH(kResize, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap out;
  for (auto _ : st) Resample(Photo(), kHalfWidth, kHalfHeight, TResampleFilter::Lanczos, out);
});

// The library's own road for the same pixels: in, resized, out.
QM_BENCH(kResize, kGM, kPhotoBytes, [](benchmark::State& st) {
  EnsureGraphicsMagick();
  ExceptionInfo ex;
  GetExceptionInfo(&ex);
  std::vector<uint8_t> out(size_t(kHalfWidth) * kHalfHeight * 3);
  for (auto _ : st) {
    Image* in = ConstituteImage(kPhotoWidth, kPhotoHeight, "BGR", CharPixel, Photo().Bits(), &ex);
    Image* sized = ResizeImage(in, kHalfWidth, kHalfHeight, LanczosFilter, 1.0, &ex);
    DispatchImage(sized, 0, 0, kHalfWidth, kHalfHeight, "BGR", CharPixel, out.data(), &ex);
    DestroyImage(sized);
    DestroyImage(in);
  }
  DestroyExceptionInfo(&ex);
});

#ifdef QM_HAVE_OPENCV
QM_BENCH(kResize, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  const cv::Mat src = AsMat(Photo());
  cv::Mat out;
  for (auto _ : st) cv::resize(src, out, cv::Size(kHalfWidth, kHalfHeight), 0, 0, cv::INTER_LANCZOS4);
});
#endif

#ifdef QM_HAVE_VIPS
QM_BENCH(kResize, kVips, kPhotoBytes, [](benchmark::State& st) {
  static const bool started = VIPS_INIT("qm_bench") == 0;
  if (!started) {
    st.SkipWithError("libvips did not start");
    return;
  }
  vips_concurrency_set(EngineThreads());
  vips_cache_set_max(0);  // every run resamples again
  for (auto _ : st) {
    VipsImage* in = vips_image_new_from_memory(Photo().Bits(), size_t(kPhotoBytes), kPhotoWidth, kPhotoHeight, 3,
                                               VIPS_FORMAT_UCHAR);
    VipsImage* out = nullptr;
    if (vips_resize(in, &out, 0.5, "kernel", VIPS_KERNEL_LANCZOS3, nullptr) == 0) {
      size_t bytes = 0;
      g_free(vips_image_write_to_memory(out, &bytes));
      g_object_unref(out);
    }
    g_object_unref(in);
  }
});
#endif

QM_BENCH(kCanvas, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap out;
  for (auto _ : st) EnlargeCanvas(Photo(), out, kPhotoWidth + 400, kPhotoHeight + 400, alCenter, clWhite);
});

#ifdef QM_HAVE_OPENCV
QM_BENCH(kCanvas, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  const cv::Mat src = AsMat(Photo());
  cv::Mat out;
  for (auto _ : st) cv::copyMakeBorder(src, out, 200, 200, 200, 200, cv::BORDER_CONSTANT, cv::Scalar(255, 255, 255));
});
#endif

QM_BENCH(kCanvas, kGM, kPhotoBytes, [](benchmark::State& st) {
  ExceptionInfo ex;
  GetExceptionInfo(&ex);
  Image* photo = ToGM(Photo());
  photo->border_color.red = photo->border_color.green = photo->border_color.blue = MaxRGB;
  const RectangleInfo border{200, 200, 0, 0};
  for (auto _ : st) DestroyImage(BorderImage(photo, &border, &ex));
  DestroyExceptionInfo(&ex);
});

TBitmap Tile() {
  TBitmap t(64, 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) t.SetPixel(x, y, RGB(x * 4, y * 4, (x ^ y) * 4));
  return t;
}

QM_BENCH(kTile, kOurs, kPhotoBytes, [](benchmark::State& st) {
  const TBitmap tile = Tile();
  TBitmap out(kPhotoWidth, kPhotoHeight);
  for (auto _ : st) FillRectWithPattern(tile, out, 0, 0, UnboundedRect, 100, clNone, 0);
});

#ifdef QM_HAVE_OPENCV
// cv::repeat makes whole tiles only: 6016 x 4032 pixels, 1 % more than ours.
QM_BENCH(kTile, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  const TBitmap tile = Tile();
  const cv::Mat src = AsMat(tile);
  cv::Mat out;
  for (auto _ : st) cv::repeat(src, (kPhotoHeight + 63) / 64, (kPhotoWidth + 63) / 64, out);
});
#endif

QM_BENCH(kStamp, kOurs, kPhotoBytes, [](benchmark::State& st) {
  EnsureGuiApp();
  TCopyrightSettings s;
  s.Text = "Copyright © <#n> <#d> - <#w> x <#h>";
  s.Size = 24;
  TBitmap bmp, work;
  for (auto _ : st) {
    st.PauseTiming();
    bmp = Photo().Clone();
    st.ResumeTiming();
    DrawCopyrightStamp(s, bmp, &work, "/photos/img01.jpg", "01/02/2005");
  }
});

// --- The dialogs' OK in the editor -------------------------------------------------------

// The editor over a document of the photo, maximised in a full-HD main window.
struct TSizeBench : TBenchEditor {
  TNewImgForm* Doc;
  TSizeBench() {
    form->resize(1920, 1080);
    form->show();
    Doc = form->Services().CreateImageWindow(&Photo(), nullptr, 16777216, true, "");
    Doc->showMaximized();
    QApplication::processEvents();
  }
  QWidget* Open(const char* row, const char* dialog) {
    form->Commands().Trigger(row);
    return form->findChild<QWidget*>(dialog);
  }
  void Set(QWidget* d, const char* field, const char* text) { d->findChild<QLineEdit*>(field)->setText(text); }
  // OK, then the active document painted as the user sees it.
  void Ok(QWidget* d) {
    d->findChild<QPushButton*>("BOk")->click();
    form->Services().GetActiveImgForm()->View().viewport()->repaint();
  }
};

QM_BENCH(kResizeOk, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TSizeBench b;
  for (auto _ : st) {
    st.PauseTiming();
    QWidget* d = b.Open("MenuImageRedim", "TRedimForm");
    b.Set(d, "EdiL", "3000");
    d->findChild<QComboBox*>("CBFiltres")->setCurrentIndex(6);
    st.ResumeTiming();
    b.Ok(d);
    st.PauseTiming();
    b.form->Services().UndoCommand(nullptr);
    st.ResumeTiming();
  }
});

QM_BENCH(kCanvasOk, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TSizeBench b;
  for (auto _ : st) {
    st.PauseTiming();
    QWidget* d = b.Open("MenuImageZone", "TRecadrerForm");
    b.Set(d, "EdiL", "6400");
    b.Set(d, "EdiH", "4400");
    st.ResumeTiming();
    b.Ok(d);
    st.PauseTiming();
    b.form->Services().UndoCommand(nullptr);
    st.ResumeTiming();
  }
});

QM_BENCH(kNewOk, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TSizeBench b;
  const std::string pattern = b.home.path().toStdString() + "/motif.png";
  TBitmap tile = Tile();
  SavePicture(pattern, tile, TSaveRequest{});
  for (auto _ : st) {
    st.PauseTiming();
    QWidget* d = b.Open("MenuFichierNouveau", "TNewForm");
    b.Set(d, "EdiL", "6000");
    b.Set(d, "EdiH", "4000");
    d->findChild<QCheckBox*>("CBMotif")->setChecked(true);
    b.Set(d, "EdiMotif", pattern.c_str());
    st.ResumeTiming();
    b.Ok(d);
    st.PauseTiming();
    b.form->Services().CloseImageWindow(b.form->Services().GetActiveImgForm(), true);
    QApplication::processEvents();
    st.ResumeTiming();
  }
});

}  // namespace
}  // namespace qm::bench
