#pragma once
// A file that includes only its own layer, by a path from src/ and by one beside it.
#include "document/Layers.h"
#include "Undo.h"
