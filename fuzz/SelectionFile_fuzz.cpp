// Reads any bytes as a selection file. What reads must write back and read again to
// the same shape, and must draw as a picture. Seeds: SelectionFile.WritesTheFuzzSeeds
// writes them to <build>/tests/tmp/selection/fuzz-seeds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "document/SelectionFile.h"
#include "document/Shapes.h"
#include "document/qt/QxsPreview.h"

using namespace qm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SetSelectionFileShowErrors(false);
  TShapeManager shape;
  TMyShape kind = ssRect;
  TRect rect;
  if (!ReadSelection(shape, data, size, kind, rect)) return 0;

  std::vector<uint8_t> again;
  if (!WriteSelection(shape, again, kind, rect)) std::abort();
  TShapeManager back;
  TMyShape kind2 = ssRect;
  TRect rect2;
  if (!ReadSelection(back, again.data(), again.size(), kind2, rect2)) std::abort();
  if (kind2 != kind || rect2 != rect) std::abort();
  if (kind >= ssPolygon && (back.Points != shape.Points || back.PointFlags != shape.PointFlags)) std::abort();

  // the picture, in the preview box (own size would only test the allocator)
  ShapePreviewSettings().OwnSize = false;
  TBitmap pic;
  if (!LoadQxsPicture(data, size, pic) || pic.Width() != 150 || pic.Height() != 150) std::abort();
  return 0;
}
