// PNG writing at compression level 7 with adaptive row filters: our writer (segments
// deflated on the threads) against GraphicsMagick's PNG writer at the same level and
// filtering. Each row reports the file's size in bytes as its "bytes" counter.
#include <filesystem>

#include "CodecBench.h"
#include "imagefiles/PngCodec.h"
#include "platform/core/Parallel.h"

#include "GmBench.h"

namespace qm::bench {
namespace {

QM_BENCH("PNG level 7 encode, 24 MP", kOurs, kPhotoBytes, [](benchmark::State& st) {
  const std::string file = CodecFolder() + "/ours" + std::to_string(EngineThreads()) + ".png";
  for (auto _ : st) {
    TPngImage png;
    BitmapToPng(Photo(), png);
    WritePngFile(file, png, TPngWriteOptions{false, pfAllFilters, 7});
  }
  st.counters["bytes"] = double(std::filesystem::file_size(file));
});

// quality 75: zlib level 7, adaptive filtering
QM_BENCH("PNG level 7 encode, 24 MP", kGM, kPhotoBytes,
         [](benchmark::State& st) { TimeGraphicsMagickEncode(st, "PNG", 75); });

}  // namespace
}  // namespace qm::bench
