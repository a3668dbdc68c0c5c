#pragma once
// The views' own cursors, drawn for the program and kept as resources.
#include <QCursor>

namespace qm {

// Over a layer that can be moved with the pointer.
QCursor LayerMoveCursor();
// Over a transform handle.
QCursor VertexCursor();

}  // namespace qm
