// PNG writing at compression level 7 with adaptive row filters: our libpng glue
// against GraphicsMagick's PNG writer at the same level and filtering.
#include "CodecBench.h"
#include "imagefiles/PngCodec.h"

#include <magick/api.h>

namespace qm::bench {
namespace {

QM_BENCH("PNG level 7 encode, 24 MP", kOurs, kPhotoBytes, [](benchmark::State& st) {
  for (auto _ : st) {
    TPngImage png;
    BitmapToPng(Photo(), png);
    WritePngFile("/dev/null", png, TPngWriteOptions{false, pfAllFilters, 7});
  }
});

QM_BENCH("PNG level 7 encode, 24 MP", kGM, kPhotoBytes, [](benchmark::State& st) {
  Image* image = ToGM(Photo());
  ImageInfo* info = CloneImageInfo(nullptr);
  std::snprintf(info->magick, sizeof info->magick, "PNG");
  info->quality = 75;  // zlib level 7, adaptive filtering
  for (auto _ : st) {
    ExceptionInfo ex;
    GetExceptionInfo(&ex);
    std::snprintf(image->magick, sizeof image->magick, "PNG");
    size_t length = 0;
    void* blob = ImageToBlob(info, image, &length, &ex);
    if (!blob) st.SkipWithError("GraphicsMagick failed");
    MagickFree(blob);
    DestroyExceptionInfo(&ex);
  }
  DestroyImageInfo(info);
});

}  // namespace
}  // namespace qm::bench
