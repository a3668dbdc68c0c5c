#pragma once
// The shared body of the picture readers' fuzz targets: the input is written to a file
// of the reader's extension and loaded through the load dispatch, as the editor loads
// it (and, for a reader that reduces previews, once more as a preview). A load never
// throws; it opens a whole picture within
// its limit, or fails with a message and a reason. The limit is low, so that a declared
// size is refused long before the fuzzer's own allocation cap.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "imagefiles/FileDispatch.h"
#include "imagefiles/PictureLimit.h"

namespace qm::fuzz {

inline int LoadPictureBytes(const uint8_t* data, size_t size, const char* ext, bool preview = false) {
  namespace fs = std::filesystem;
  // A folder of the run's own, in memory where the system has one.
  static const fs::path dir = [] {
    const fs::path root = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    fs::path d = root / ("qm_picture_fuzz_" + std::to_string(::getpid()));
    fs::create_directories(d);
    return d;
  }();
  const std::string name = (dir / (std::string("input.") + ext)).string();
  FILE* f = std::fopen(name.c_str(), "wb");
  if (!f) return 0;
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);

  constexpr uint64_t kLimit = uint64_t(16) << 20;
  for (int pass = 0; pass < (preview ? 2 : 1); ++pass) {
    TLoadRequest request;
    request.Preview = pass == 1;
    request.Limit.MaxBytes = kLimit;
    const TLoadResult r = LoadPicture(name, request);
    if (r.Result == frDone) {
      const TBitmap& b = r.Bitmap;
      if (b.Empty() || (b.PixelFormat() != pf24bit && b.PixelFormat() != pf32bit)) __builtin_trap();
      if (PictureBytes(b.Width(), b.Height(), b.PixelFormat()) > kLimit) __builtin_trap();
      if (r.Error) __builtin_trap();
    } else {
      if (r.Result != frFailed || !r.Error || r.Error.Reason.empty() || !r.Bitmap.Empty()) __builtin_trap();
    }
  }
  std::remove(name.c_str());
  return 0;
}

}  // namespace qm::fuzz
