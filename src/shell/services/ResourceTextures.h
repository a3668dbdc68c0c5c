#pragma once
// The program's texture pictures, by their resource names, and the texture service the
// texture filters and the main window's background use.
//
// The pictures are grey tiles drawn by code the first time each is asked for (the same
// pixels on every run and machine), then kept for the life of the process:
//   TXT1 grain, TXT2 zebra stripes, TXT3 cracks, TXT4 zigzag, TXT7 grid, TXT8 canvas
//   weave, TXT9 bubbles, MUR bricks: black where the relief darkens, white where it
//   lightens, grey elsewhere (ApplyTexturePattern);
//   TXT5 fine mesh, TXT6 large mesh: dark threads on pure red, the key colour of the
//   tiling mode.
// They draw nothing from the program's random generator, so they never change what a
// noise filter run after them gives. GUI thread.
#include <string_view>

#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

// The texture of that name; an empty bitmap for another name.
const TBitmap& ResourceTexture(std::string_view name);

// How ApplyResourceTexture lays a texture on the target.
enum TTextureMode : int {
  tmRelief = 0,  // a texture relief of the strength percent (ApplyTexturePattern)
  tmTile = 1,    // tiled from (0, 0) at the strength as opacity, pure red keyed out
};

// The texture of that name over rect of target. Nothing for an unknown name.
void ApplyResourceTexture(TBitmap& target, std::string_view name, TRect rect, TTextureMode mode, int strength);

}  // namespace qm
