// Any bytes as a PNG file, loaded as the editor loads it (PictureLoad.h).
// Seeds: DamagedFiles.WritesTheFuzzSeeds writes them to
// <build>/tests/tmp/pictures/fuzz-seeds/PngCodec.
#include "PictureLoad.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return qm::fuzz::LoadPictureBytes(data, size, "png");
}
