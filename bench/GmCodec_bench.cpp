// Targa through GraphicsMagick: our writer and reader (with the copies to and from
// our bitmaps) against GraphicsMagick on its own image.
#include "CodecBench.h"
#include "imagefiles/GmCodec.h"

#include "GmBench.h"

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

QM_BENCH("Targa write, 24 MP", kGM, kPhotoBytes,
         [](benchmark::State& st) { TimeGraphicsMagickEncode(st, "TGA"); });

QM_BENCH("Targa read, 24 MP", kOurs, kPhotoBytes, [](benchmark::State& st) {
  const std::string& file = PhotoTga();
  for (auto _ : st) {
    TBitmap out;
    ReadWithGraphicsMagick(file, "TGA", out);
    benchmark::DoNotOptimize(out.Bits());
  }
});

QM_BENCH("Targa read, 24 MP", kGM, kPhotoBytes,
         [](benchmark::State& st) { TimeGraphicsMagickRead(st, "TGA", PhotoTga()); });

}  // namespace
}  // namespace qm::bench
