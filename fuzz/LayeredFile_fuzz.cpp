// Reads any bytes as a layered file. A file that reads must give its preview too, and
// compose, save, and read back to a document that saves to the same bytes; one that
// does not must leave the document it was read into as it was. Seeds:
// LayeredFile.WritesTheFuzzSeeds and DamagedFiles.WritesTheFuzzSeeds (masks stored as
// GIF) write them to <build>/tests/tmp/layeredfile/fuzz-seeds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "imagefiles/LayeredFile.h"
#include "platform/core/Stream.h"

using namespace qm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TLayeredImage doc;
  doc.LoadFromBitmap(TBitmap(2, 2, pf24bit, clWhite), TBitmap(), "avant");
  try {
    TBytesStream s(data, size);
    LoadLayeredImageFromStream(doc, s);
  } catch (const EStreamError&) {
    if (doc.GetLayerCount() != 1 || doc.Layers[0].Name != "avant") std::abort();
    return 0;
  }
  if (doc.GetLayerCount() < 1 || doc.Layers[0].LayerType != ltBitmap || doc.Layers[0].Image.Empty()) std::abort();
  // A document that opens previews too: both readers check the thumbnail alike.
  try {
    TBytesStream s(data, size);
    TMyImageLayeredReg preview;
    preview.LoadThumbnailFromStream(s);
  } catch (const EStreamError&) {
    std::abort();
  }
  // The round trip composes the document: large pictures and wide shadow blurs only
  // test the allocator and the blur's speed, and would slow the search a hundredfold.
  const TBitmap& bg = doc.Layers[0].Image;
  if (int64_t(bg.Width()) * bg.Height() > 128 * 128) return 0;
  for (int i = 0; i < doc.GetLayerCount(); ++i)
    if (doc.Layers[i].Shadow.Enabled && doc.Layers[i].Shadow.Radius > 4) return 0;

  TMemoryStream once;
  SaveLayeredImageToStream(doc, once);
  TLayeredImage back;
  once.Seek(0);
  LoadLayeredImageFromStream(back, once);
  TMemoryStream twice;
  SaveLayeredImageToStream(back, twice);
  if (twice.Data() != once.Data()) std::abort();
  return 0;
}
