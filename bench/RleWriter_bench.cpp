#include "Harness.h"
#include "imagefiles/RleWriter.h"
#include "pixel/PixelFormat.h"

namespace qm::bench {
namespace {

const char* kRle = "RLE8 encoding of a 24 MP 8-bit image";

// The photo reduced to 256 colours once (dithered: few long runs, the hard case).
const TBitmap& Photo8() {
  return FamilyFixture([] {
    TBitmap c = Photo().Clone();
    ConvertBitmapToIndexed(c, 256, true, true);
    return std::make_unique<TBitmap>(std::move(c));
  });
}

QM_BENCH(kRle, kOurs, kPhotoBytes / 3, [](benchmark::State& st) {
  const TBitmap& b = Photo8();
  for (auto _ : st) benchmark::DoNotOptimize(EncodeRle8(b).data());
});

}  // namespace
}  // namespace qm::bench
