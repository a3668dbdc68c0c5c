// Reads any bytes as a layered file's header and thumbnail, as previews do. Seeds: those
// of LayeredFile_fuzz.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "imagefiles/LayeredFile.h"
#include "platform/core/Stream.h"

using namespace qm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMyImageLayeredReg reg;
  try {
    TBytesStream s(data, size);
    reg.LoadThumbnailFromStream(s);
  } catch (const EStreamError&) {
    if (!reg.Bitmap.Empty()) std::abort();
    return 0;
  }
  if (reg.Bitmap.Empty() || reg.Bitmap.PixelFormat() != pf24bit || reg.ImageWidth < 1 || reg.ImageHeight < 1)
    std::abort();
  return 0;
}
