#pragma once
// The Filter menu's direct filters (blur and sharpen, colour effects, artistic, optical
// and outline effects, frames, textures and generated patterns), each a row of
// DirectFilterCommands() run by RunDirectCommand. Its dialog commands are rows of
// DialogCommands.h.
#include <span>

#include "platform/core/Bitmap.h"
#include "shell/commands/DirectCommands.h"

namespace qm {

// Every direct filter of the menu, in menu order.
std::span<const TDirectCommand> DirectFilterCommands();

// The patterns three texture commands draw: a black pixel in two ("1 pixel sur 2"), a
// chessboard of 30-pixel squares ("Damier"), and two rings on pure red ("Cercle").
enum class TFilterPattern : uint8_t { AlternatePixels, Chessboard, Circle };
TBitmap MakeFilterPattern(TFilterPattern pattern);

// Attaches the menu's direct filters. The main window calls it once.
void RegisterFilterCommands(TCommandSet& commands, TShellServices& services);

}  // namespace qm
