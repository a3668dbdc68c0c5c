#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "Harness.h"
#include "imagefiles/TiffWriter.h"

#include <magick/api.h>

namespace qm::bench {
namespace {

const char* kTiff = "Write an uncompressed 24 MP TIFF file";

std::string File(const char* name) {
  static const TempFolder dir("qm_bench_tiff_");
  return (dir.path / name).string();
}

QM_BENCH(kTiff, kOurs, kPhotoBytes, [](benchmark::State& st) {
  const std::string name = File("ours.tif");
  for (auto _ : st) SaveTiffFile(name, Photo());
});

QM_BENCH(kTiff, kGM, kPhotoBytes, [](benchmark::State& st) {
  Image* img = ToGM(Photo());
  ImageInfo* info = CloneImageInfo(nullptr);
  info->compression = NoCompression;
  const std::string name = "tiff:" + File("gm.tif");
  for (auto _ : st) {
    std::strncpy(img->filename, name.c_str(), MaxTextExtent - 1);
    std::strncpy(info->filename, name.c_str(), MaxTextExtent - 1);
    img->compression = NoCompression;
    if (WriteImage(info, img) != MagickPass) st.SkipWithError("GraphicsMagick could not write");
  }
  DestroyImageInfo(info);
});

}  // namespace
}  // namespace qm::bench
