#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "Harness.h"
#include "document/LayeredImage.h"
#include "imagefiles/LayeredFile.h"

namespace qm::bench {
namespace {

const char* kSave = "Save a .qxi, 24 MP with 3 layers (MB/s in the log)";
const char* kLoad = "Load a .qxi, 24 MP with 3 layers (MB/s in the log)";
const char* kCopy = "Plain file copy of that .qxi (read + write, 1 MB blocks)";
const char* kThumb = "Lanczos 150-pixel thumbnail of 24 MP";

std::string Dir() {
  static const TempFolder d("qm_bench_qxi_");
  return d.path.string();
}

// The background photo, the second photo through the mask, and the photo again
// through the mask at half opacity, moved: 3 x 72 MB of pixels and 2 x 24 MB of masks.
TLayeredImage& Document() {
  return FamilyFixture([] {
    auto d = std::make_unique<TLayeredImage>();
    d->LoadFromBitmap(Photo(), TBitmap(), "#0");
    d->AddLayer(Photo2(), PhotoMask(), "#1", 80, TPoint{-40, 25});
    d->AddLayer(Photo(), PhotoMask(), "#2", 50, TPoint{120, -60});
    return d;
  });
}

const std::string& SavedFile() {
  static const std::string name = [] {
    const std::string n = Dir() + "/doc.qxi";
    SaveLayeredImageToFile(Document(), n);
    return n;
  }();
  return name;
}

int64_t SavedBytes() {
  static const int64_t n = int64_t(std::filesystem::file_size(SavedFile()));
  return n;
}

// About 270 MB: the bytes of the document file.
constexpr int64_t kDocBytes = 3 * kPhotoBytes + 2 * kPhotoBytes / 3;

QM_BENCH(kSave, kOurs, kDocBytes, [](benchmark::State& st) {
  TLayeredImage& doc = Document();
  const std::string name = Dir() + "/save.qxi";
  for (auto _ : st) SaveLayeredImageToFile(doc, name);
  st.SetBytesProcessed(int64_t(st.iterations()) * SavedBytes());
});

QM_BENCH(kLoad, kOurs, kDocBytes, [](benchmark::State& st) {
  const std::string& name = SavedFile();
  for (auto _ : st) {
    TLayeredImage doc;
    LoadLayeredImageFromFile(doc, name);
    benchmark::DoNotOptimize(doc.Layers[0].Image.Bits());
  }
  st.SetBytesProcessed(int64_t(st.iterations()) * SavedBytes());
});

QM_BENCH(kCopy, kOurs, kDocBytes, [](benchmark::State& st) {
  const std::string& from = SavedFile();
  const std::string to = Dir() + "/copy.qxi";
  std::vector<char> buf(1 << 20);
  for (auto _ : st) {
    const int in = ::open(from.c_str(), O_RDONLY);
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ssize_t n;
    while ((n = ::read(in, buf.data(), buf.size())) > 0)
      if (::write(out, buf.data(), size_t(n)) != n) st.SkipWithError("write failed");
    ::close(in);
    ::close(out);
  }
  st.SetBytesProcessed(int64_t(st.iterations()) * SavedBytes());
});

QM_BENCH(kThumb, kOurs, kPhotoBytes, [](benchmark::State& st) {
  for (auto _ : st) benchmark::DoNotOptimize(CreateThumbnail(Photo(), 150).Bits());
});

}  // namespace
}  // namespace qm::bench
