// The load path on several threads: previews of eight different 24 MP JPEG files at
// 1/8 scale (what an image browser asks for), loaded through the per-call dispatch.
// At 1 thread one thread loads the eight in turn; at 8 threads eight threads each load
// one at once. Both read the same files, so the gap is what the path lets run side by
// side: with no shared state on it, the eight loads scale with the cores.
#include <thread>
#include <vector>

#include "CodecBench.h"
#include "imagefiles/FileDispatch.h"
#include "platform/core/Parallel.h"

namespace qm::bench {
namespace {

constexpr int kFiles = 8;

// The two photos at four qualities each: eight files of different bytes.
const std::vector<std::string>& JpegFiles() {
  static const std::vector<std::string> files = [] {
    std::vector<std::string> v;
    for (int i = 0; i < kFiles; ++i) {
      v.push_back(CodecFolder() + "/preview" + std::to_string(i) + ".jpg");
      WriteJpegFile(v.back(), i % 2 ? Photo2() : Photo(), TJpegWriteOptions{84 + i, false});
    }
    return v;
  }();
  return files;
}

QM_BENCH("Preview loads of 8 different 24 MP JPEGs at 1/8 (threads: loads at once)", kOurs,
         kFiles * kPhotoBytes / 64, [](benchmark::State& st) {
           const std::vector<std::string>& files = JpegFiles();
           TLoadRequest request;
           request.Preview = true;
           std::vector<TFileResult> results(kFiles, frFailed);
           auto load = [&](int i) { results[size_t(i)] = LoadPicture(files[size_t(i)], request).Result; };
           const bool atOnce = EngineThreads() > 1;
           for (auto _ : st) {
             if (atOnce) {
               std::vector<std::thread> loaders;
               for (int i = 0; i < kFiles; ++i) loaders.emplace_back(load, i);
               for (std::thread& t : loaders) t.join();
             } else {
               for (int i = 0; i < kFiles; ++i) load(i);
             }
           }
           for (TFileResult r : results)
             if (r != frDone) return st.SkipWithError("a preview did not load");
         });

}  // namespace
}  // namespace qm::bench
