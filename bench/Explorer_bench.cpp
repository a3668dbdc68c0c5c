// The image browser over a folder of 200 JPEG photos of 24 MP: the first visit (every
// thumbnail made: decoded at 1/8, fitted, written to the thumbnail cache) by the
// browser's pool at 1 and 8 threads, against `gm convert -thumbnail 64x64` over the
// same files (one process per file, as many at once as threads); the second visit,
// every thumbnail shown from the cache through the browser window itself; and the open
// dialog's preview of one such photo.
#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

#include "CodecBench.h"
#include "GuiBench.h"
#include "imagefiles/JpegCodec.h"
#include "imagefiles/ThumbnailPool.h"
#include "platform/core/Parallel.h"
#include "shell/browser/Explor.h"
#include "views/PictureDialogs.h"

namespace qm::bench {
namespace {

constexpr int kPhotos = 200;
constexpr int kDistinct = 8;

// 200 photos: eight distinct encodings (the two photos at four qualities), each copied
// under 25 names.
const std::string& PhotoFolder() {
  static const std::string folder = [] {
    const std::string dir = CodecFolder() + "/browser";
    std::filesystem::create_directories(dir);
    std::vector<std::string> sources;
    for (int i = 0; i < kDistinct; ++i) {
      sources.push_back(CodecFolder() + "/browser_src" + std::to_string(i) + ".jpg");
      WriteJpegFile(sources.back(), i % 2 ? Photo2() : Photo(), TJpegWriteOptions{84 + i, false});
    }
    for (int i = 0; i < kPhotos; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "/IMG_%04d.jpg", i);
      std::filesystem::copy_file(sources[size_t(i % kDistinct)], dir + name);
    }
    return dir;
  }();
  return folder;
}

std::vector<std::string> PhotoFiles() {
  std::vector<std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(PhotoFolder())) files.push_back(e.path().string());
  return files;
}

int MakeAll(TThumbnailPool& pool) {
  std::atomic<int> made{0};
  TScanRequest request;
  request.Folder = PhotoFolder();
  request.Masks = "*.jpg";
  request.Deliver = [&](TScannedFile&& f) { made += f.Ok; };
  pool.Start(request);
  pool.Wait();
  return made;
}

QM_BENCH("Browser first visit: 200 JPEG 24 MP thumbnails", kOurs, kPhotoBytes, [](benchmark::State& st) {
  const std::string cacheRoot = CodecFolder() + "/thumbs_cold";
  PhotoFolder();
  for (auto _ : st) {
    st.PauseTiming();
    std::filesystem::remove_all(cacheRoot);
    const TThumbnailCache cache(cacheRoot);
    st.ResumeTiming();
    TThumbnailPool pool(EngineThreads(), &cache);
    if (MakeAll(pool) != kPhotos) return st.SkipWithError("a thumbnail was not made");
  }
});

QM_BENCH("Browser first visit: 200 JPEG 24 MP thumbnails", kTool, kPhotoBytes, [](benchmark::State& st) {
  if (!HaveTool("gm")) return st.SkipWithError("gm is not installed");
  const std::vector<std::string> files = PhotoFiles();
  const int n = EngineThreads();
  for (auto _ : st) {
    std::atomic<int> next{0}, failed{0};
    std::vector<std::thread> runners;
    for (int t = 0; t < n; ++t)
      runners.emplace_back([&, t] {
        const std::string out = CodecFolder() + "/gm_thumb" + std::to_string(t) + ".png";
        for (int i = next++; i < int(files.size()); i = next++)
          if (!RunTool({"gm", "convert", "-thumbnail", "64x64", files[size_t(i)], out}, 1)) ++failed;
      });
    for (std::thread& r : runners) r.join();
    if (failed) return st.SkipWithError("gm failed");
  }
});

// The browser window itself, the cache warm: from the call to the last item shown.
QM_BENCH("Browser second visit (cache warm): 200 thumbnails shown", kOurs, kPhotoBytes / 64,
         [](benchmark::State& st) {
           EnsureGuiApp();
           const std::string cacheRoot = CodecFolder() + "/thumbs_warm";
           const TThumbnailCache cache(cacheRoot);
           {
             TThumbnailPool warm(8, &cache);
             MakeAll(warm);
           }
           TExplorHost host;
           TExplorForm form(host, nullptr, &cache);
           form.SetMasks("*.jpg");
           for (auto _ : st) {
             form.LoadBrowserFolder(PhotoFolder());
             form.WaitUntilLoaded();
             if (form.ItemCount() != kPhotos) return st.SkipWithError("not every thumbnail was shown");
           }
         });

QM_BENCH("Open dialog preview of a 24 MP JPEG", kOurs, kPhotoBytes / 64, [](benchmark::State& st) {
  EnsureGuiApp();
  TOpenPictureDialog dialog;
  dialog.SetPreview(true);
  const QString file = QString::fromStdString(PhotoFolder() + "/IMG_0000.jpg");
  for (auto _ : st) {
    dialog.UpdatePreview(file);
    if (dialog.PreviewBitmap().Empty()) return st.SkipWithError("no preview");
  }
});

}  // namespace
}  // namespace qm::bench
