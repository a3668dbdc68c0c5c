#pragma once
// The selection file as a readable picture: the stored shape drawn as a small
// black-and-white image, for the open dialog, the image browser and opening a .qxs
// through the format registry.
#include <cstddef>
#include <cstdint>

#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

// The registry's entry for the format.
inline constexpr const char* kQxsExtension = "qxs";
inline constexpr const char* kQxsDescription = "QXS";  // a UI text; this is its built-in value

struct TShapePreviewSettings {
  bool OwnSize = true;   // the picture has the shape's size (plus margins), else the box's
  bool Colored = false;  // background and shape colours as set; no edge smoothing
  int MarginMode = 1;    // 0 none, 1 the larger side div MarginValue, 2 MarginValue pixels
  int MarginValue = 12;
  TColor Background = clWhite;
  TColor ShapeColor = clBlack;
  int BoxWidth = 150, BoxHeight = 150;
};
// The settings every preview uses (GUI thread).
TShapePreviewSettings& ShapePreviewSettings();
// Own size, a margin of 1/12, white background, black shape.
void SetShapePreviewFitMode();
// Own size, no margin, the colour as background, black shape.
void SetShapePreviewColors(TColor background);

// A picture larger than this on a side is scaled down to fit it: a file may claim a
// shape of a million pixels square.
constexpr int kMaxQxsPictureSide = 8192;

// Reads a selection file held in memory and draws its shape filled into out (24-bit).
// False, with out emptied and no message, when the file does not read: the registry
// then reports the failure.
bool LoadQxsPicture(const uint8_t* data, size_t size, TBitmap& out);

}  // namespace qm
