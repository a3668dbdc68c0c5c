// Any bytes as a TIFF file, loaded as the editor loads it (PictureLoad.h).
// Seeds: DamagedFiles.WritesTheFuzzSeeds writes them to
// <build>/tests/tmp/pictures/fuzz-seeds/TiffCodec.
#include "PictureLoad.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return qm::fuzz::LoadPictureBytes(data, size, "tif");
}
