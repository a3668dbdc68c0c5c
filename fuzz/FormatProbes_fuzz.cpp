// The header probes of image files on any bytes: the input is an extension, a line
// break, then the file. Reading the resolution never fails and gives a positive value
// rounded to a tenth; the JPEG frame probe gives a size or nothing; patching a
// resolution never throws, leaves no other file beside the target, and when it says it
// changed a file whose resolution could be read, the file then reads back with the new
// one. Seeds:
// FormatProbes.WritesTheFuzzSeeds writes them to <build>/tests/tmp/probes/fuzz-seeds.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "imagefiles/FormatProbes.h"

using namespace qm;
namespace fs = std::filesystem;

namespace {

// A folder of the run's own, in memory where the system has one: every input is
// written to a file and read back several times.
const fs::path& Folder() {
  static const fs::path dir = [] {
    const fs::path root = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    fs::path d = root / ("qm_probes_fuzz_" + std::to_string(::getpid()));
    fs::create_directories(d);
    return d;
  }();
  return dir;
}

size_t FilesIn(const fs::path& dir) {
  size_t n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++n;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const void* nl = std::memchr(data, '\n', std::min<size_t>(size, 6));
  const size_t extSize = nl ? size_t(static_cast<const uint8_t*>(nl) - data) : 0;
  std::string ext(reinterpret_cast<const char*>(data), extSize);
  for (char& c : ext)
    if (c == '/' || c == '\0') c = '_';
  const size_t at = nl ? extSize + 1 : 0;

  const fs::path dir = Folder();
  const std::string name = (dir / ("probe." + ext)).string();
  if (FILE* f = std::fopen(name.c_str(), "wb")) {
    if (size > at) std::fwrite(data + at, 1, size - at, f);
    std::fclose(f);
  } else {
    return 0;
  }

  const double dpi = GetFileResolution(name);
  if (!(dpi > 0) || !std::isfinite(dpi) || std::fabs(dpi * 10 - std::nearbyint(dpi * 10)) > 1e-6 * dpi)
    __builtin_trap();

  int w = -1, h = -1;
  if (ReadJpegSof0Size(name, w, h)) {
    if (w < 1 || h < 1 || w > 65535 || h > 65535) __builtin_trap();
    const int scale = JpegScaleForSize(w, h, 1 + int(size % 1000));
    if (scale < 0 || scale > 3) __builtin_trap();
  } else if (w != 0 || h != 0) {
    __builtin_trap();
  }

  // A file that gave a resolution of its own must give the new one once patched (one
  // that gave the default may be one the probe cannot read at all). Not a TIFF: its
  // patch writes where the file's own directory points, and a damaged directory may
  // point into other fields, as the probe's library then finds.
  const bool patched = SetFileResolution(name, 150.0);
  if (patched && dpi != 72.0 && !IsTiffExt(name) && GetFileResolution(name) != 150.0) __builtin_trap();
  if (FilesIn(dir) != 1) __builtin_trap();
  std::remove(name.c_str());
  return 0;
}
