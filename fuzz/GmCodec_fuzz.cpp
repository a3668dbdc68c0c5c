// Any bytes as a BMP file, or as an SGI file when they start with its magic number,
// read by GraphicsMagick as the editor loads it (PictureLoad.h). Seeds:
// DamagedFiles.WritesTheFuzzSeeds writes them to
// <build>/tests/tmp/pictures/fuzz-seeds/GmCodec.
#include "PictureLoad.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const bool sgi = size >= 2 && data[0] == 0x01 && data[1] == 0xDA;
  return qm::fuzz::LoadPictureBytes(data, size, sgi ? "sgi" : "bmp");
}
