// Targa through GraphicsMagick: our writer and reader (with the copies to and from
// our bitmaps) against GraphicsMagick on its own image.
#include "CodecBench.h"
#include "imagefiles/GmCodec.h"

#include <magick/api.h>

namespace qm::bench {
namespace {

const std::string& PhotoTga() {
  static const std::string path = [] {
    const std::string p = CodecFolder() + "/photo.tga";
    WriteTargaFile(p, Photo());
    return p;
  }();
  return path;
}

QM_BENCH("Targa write, 24 MP", kOurs, kPhotoBytes, [](benchmark::State& st) {
  for (auto _ : st) WriteTargaFile("/dev/null", Photo());
});

QM_BENCH("Targa write, 24 MP", kGM, kPhotoBytes, [](benchmark::State& st) {
  Image* image = ToGM(Photo());
  ImageInfo* info = CloneImageInfo(nullptr);
  std::snprintf(info->magick, sizeof info->magick, "TGA");
  for (auto _ : st) {
    ExceptionInfo ex;
    GetExceptionInfo(&ex);
    std::snprintf(image->magick, sizeof image->magick, "TGA");
    size_t length = 0;
    void* blob = ImageToBlob(info, image, &length, &ex);
    if (!blob) st.SkipWithError("GraphicsMagick failed");
    MagickFree(blob);
    DestroyExceptionInfo(&ex);
  }
  DestroyImageInfo(info);
});

QM_BENCH("Targa read, 24 MP", kOurs, kPhotoBytes, [](benchmark::State& st) {
  const std::string& file = PhotoTga();
  for (auto _ : st) {
    TBitmap out;
    ReadWithGraphicsMagick(file, "TGA", out);
    benchmark::DoNotOptimize(out.Bits());
  }
});

QM_BENCH("Targa read, 24 MP", kGM, kPhotoBytes, [](benchmark::State& st) {
  const std::string& file = PhotoTga();
  ImageInfo* info = CloneImageInfo(nullptr);
  std::snprintf(info->filename, sizeof info->filename, "TGA:%s", file.c_str());
  for (auto _ : st) {
    ExceptionInfo ex;
    GetExceptionInfo(&ex);
    Image* image = ReadImage(info, &ex);
    if (!image) st.SkipWithError("GraphicsMagick failed");
    DestroyImage(image);
    DestroyExceptionInfo(&ex);
  }
  DestroyImageInfo(info);
});

}  // namespace
}  // namespace qm::bench
