// RAW decoding of a 24 MP synthetic DNG through our module against LibRaw's own
// command-line decoder (dcraw_emu) with the same settings: camera white balance, sRGB,
// automatic brightness, 8-bit output, the default interpolation.
#include "../tests/support/SyntheticDng.h"
#include "CodecBench.h"
#include "imagefiles/RawClient.h"
#include "platform/core/Parallel.h"

namespace qm::bench {
namespace {

const std::string& PhotoDng() {
  static const std::string path = [] {
    const std::string p = CodecFolder() + "/photo.dng";
    test::WriteSyntheticDng(p, kPhotoWidth, kPhotoHeight);
    return p;
  }();
  return path;
}

QM_BENCH("RAW decode, 24 MP DNG", kOurs, kPhotoBytes, [](benchmark::State& st) {
  const std::string& file = PhotoDng();
  SetRawPluginPath(QM_RAW_MODULE_PATH);
  for (auto _ : st) {
    TBitmap out;
    DecodeRawFile(file, out, kRawDecodeOptions);
    benchmark::DoNotOptimize(out.Bits());
  }
});

QM_BENCH("RAW decode, 24 MP DNG", kTool, kPhotoBytes, [](benchmark::State& st) {
  const std::string& file = PhotoDng();
  if (!HaveTool("dcraw_emu")) return st.SkipWithError("dcraw_emu missing (libraw-bin)");
  const int threads = EngineThreads();
  for (auto _ : st)
    if (const TToolRun r = RunTool({"dcraw_emu", "-w", "-Z", "-", file}, threads); !r) st.SkipWithError(r.Reason.c_str());
});

}  // namespace
}  // namespace qm::bench
