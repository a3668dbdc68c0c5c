#pragma once
// The image-information text of the File menu's properties command.
#include <ctime>
#include <string>

namespace qm {

class TLayeredImage;
class TUndoList;

struct TImageInfoRequest {
  std::string FileName;  // the document's file name
  bool IsNew = false;    // never saved: no folder, no file size, the present time
  int PrintUnit = 0;     // 0 centimetres, 1 inches
  std::time_t Now = 0;   // the present time (0: read the clock)
};

// Name, folder, pixel and print size with the resolution, the composed image's colour
// count, the file's size and date, the memory of the layers (3 bytes a pixel for each
// image and each mask that holds pixels) and that with every snapshot of the history.
// history may be null.
std::string BuildImageInfo(TLayeredImage& image, const TUndoList* history, const TImageInfoRequest& request);

// The bytes the layers' bitmaps hold, and those of every snapshot of the history
// (nested steps included).
int64_t LayersMemory(const TLayeredImage& image);
int64_t HistoryMemory(const TUndoList& history);

}  // namespace qm
