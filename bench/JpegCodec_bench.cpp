// JPEG at quality 90 on the 24 MP photo: our libjpeg glue against libjpeg-turbo's own
// djpeg and cjpeg on the same data, and the 1/8 preview decode.
#include "CodecBench.h"
#include "imagefiles/JpegCodec.h"

namespace qm::bench {
namespace {

const std::string& PhotoJpeg() {
  static const std::string path = [] {
    const std::string p = CodecFolder() + "/photo.jpg";
    WriteJpegFile(p, Photo(), TJpegWriteOptions{90, false});
    return p;
  }();
  return path;
}

// Where djpeg puts the decoded picture: a file in memory-backed storage, as ours lands
// in a bitmap (to /dev/null it would skip delivering its 72 MB altogether).
const std::string& DecodedPpm() {
  static const std::string path = CodecFolder() + "/decoded.ppm";
  return path;
}

void Decode(benchmark::State& st, int scale) {
  const std::string& file = PhotoJpeg();
  for (auto _ : st) {
    TBitmap out;
    ReadJpegFile(file, out, [scale](int, int) { return scale; });
    benchmark::DoNotOptimize(out.Bits());
  }
}

QM_BENCH("JPEG q90 decode, 24 MP", kOurs, kPhotoBytes, [](benchmark::State& st) { Decode(st, 0); });
QM_BENCH("JPEG q90 decode, 24 MP", kTool, kPhotoBytes, [](benchmark::State& st) {
  const std::string& file = PhotoJpeg();
  if (!HaveTool("djpeg")) return st.SkipWithError("djpeg missing");
  for (auto _ : st)
    if (const TToolRun r = RunTool({"djpeg", "-outfile", DecodedPpm(), file}, 1); !r) st.SkipWithError(r.Reason.c_str());
});

QM_BENCH("JPEG preview decode at 1/8, 24 MP", kOurs, kPhotoBytes, [](benchmark::State& st) { Decode(st, 3); });
QM_BENCH("JPEG preview decode at 1/8, 24 MP", kTool, kPhotoBytes, [](benchmark::State& st) {
  const std::string& file = PhotoJpeg();
  if (!HaveTool("djpeg")) return st.SkipWithError("djpeg missing");
  for (auto _ : st)
    if (const TToolRun r = RunTool({"djpeg", "-scale", "1/8", "-outfile", DecodedPpm(), file}, 1); !r)
      st.SkipWithError(r.Reason.c_str());
});

QM_BENCH("JPEG q90 encode, 24 MP", kOurs, kPhotoBytes, [](benchmark::State& st) {
  for (auto _ : st) WriteJpegFile("/dev/null", Photo(), TJpegWriteOptions{90, false});
});
QM_BENCH("JPEG q90 encode, 24 MP", kTool, kPhotoBytes, [](benchmark::State& st) {
  const std::string& ppm = PhotoPpm();
  if (!HaveTool("cjpeg")) return st.SkipWithError("cjpeg missing");
  for (auto _ : st)
    if (const TToolRun r = RunTool({"cjpeg", "-quality", "90", "-outfile", "/dev/null", ppm}, 1); !r)
      st.SkipWithError(r.Reason.c_str());
});

}  // namespace
}  // namespace qm::bench

namespace qm::bench {
namespace {

// What the JPEG option dialog's preview does: the file's size at quality 50 and the
// pixels its decoder shows, put into the document's composed bitmap (kept between
// previews).
QM_BENCH("JPEG q50 preview (size and decoded pixels), 24 MP", kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap shown;
  for (auto _ : st) benchmark::DoNotOptimize(JpegPreview(Photo(), TJpegWriteOptions{50, false}, shown).size());
});

}  // namespace
}  // namespace qm::bench
