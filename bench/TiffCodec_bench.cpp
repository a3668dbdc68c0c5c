// Reading an uncompressed 24 MP TIFF: our libtiff reader (into our bitmap) against
// GraphicsMagick's reader (into its own image).
#include "CodecBench.h"
#include "imagefiles/TiffCodec.h"
#include "imagefiles/ImageFileUtils.h"

#include "GmBench.h"

namespace qm::bench {
namespace {

const std::string& PhotoTiff() {
  static const std::string path = [] {
    const std::string p = CodecFolder() + "/photo.tif";
    ImageInfo* info = CloneImageInfo(nullptr);
    std::snprintf(info->magick, sizeof info->magick, "TIFF");
    info->compression = NoCompression;
    Image* image = ToGM(Photo());
    std::snprintf(image->magick, sizeof image->magick, "TIFF");
    image->compression = NoCompression;
    ExceptionInfo ex;
    GetExceptionInfo(&ex);
    size_t length = 0;
    void* blob = ImageToBlob(info, image, &length, &ex);
    WriteWholeFile(p, static_cast<const uint8_t*>(blob), length);
    MagickFree(blob);
    DestroyExceptionInfo(&ex);
    DestroyImageInfo(info);
    return p;
  }();
  return path;
}

QM_BENCH("TIFF read, uncompressed 24 MP", kOurs, kPhotoBytes, [](benchmark::State& st) {
  const std::string& file = PhotoTiff();
  for (auto _ : st) {
    TBitmap out;
    ReadTiffFile(file, out);
    benchmark::DoNotOptimize(out.Bits());
  }
});

QM_BENCH("TIFF read, uncompressed 24 MP", kGM, kPhotoBytes,
         [](benchmark::State& st) { TimeGraphicsMagickRead(st, "TIFF", PhotoTiff()); });

}  // namespace
}  // namespace qm::bench
