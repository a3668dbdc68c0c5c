// PNG writing at compression level 7 with adaptive row filters: our libpng glue
// against GraphicsMagick's PNG writer at the same level and filtering.
#include "CodecBench.h"
#include "imagefiles/PngCodec.h"

#include "GmBench.h"

namespace qm::bench {
namespace {

QM_BENCH("PNG level 7 encode, 24 MP", kOurs, kPhotoBytes, [](benchmark::State& st) {
  for (auto _ : st) {
    TPngImage png;
    BitmapToPng(Photo(), png);
    WritePngFile("/dev/null", png, TPngWriteOptions{false, pfAllFilters, 7});
  }
});

// quality 75: zlib level 7, adaptive filtering
QM_BENCH("PNG level 7 encode, 24 MP", kGM, kPhotoBytes,
         [](benchmark::State& st) { TimeGraphicsMagickEncode(st, "PNG", 75); });

}  // namespace
}  // namespace qm::bench
