#pragma once
// The Filter menu: its direct filters (blur and sharpen, colour effects, artistic,
// optical and outline effects, frames, textures and generated patterns), each a row of
// DirectFilterCommands() run by RunDirectCommand, and its dialog commands, which open
// an undo step and then their parameter dialog by class name.
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

// The menu's commands that open a parameter dialog, in menu order.
std::span<const TDialogRow> FilterDialogCommands();

// Attaches every command of the menu the program can run (the dialog commands only
// when dialogs knows their dialog). The main window calls it once.
void RegisterFilterCommands(TCommandSet& commands, TShellServices& services, TDialogLauncher* dialogs);

}  // namespace qm
