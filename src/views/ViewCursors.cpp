#include "views/ViewCursors.h"

#include <QPixmap>

// The resources live in a static library: they are registered on first use, so the
// linker keeps them.
static void InitViewResources() { Q_INIT_RESOURCE(ViewCursors); }

namespace qm {
namespace {

QCursor FromResource(const char* path, int hotX, int hotY, Qt::CursorShape fallback) {
  static const bool registered = (InitViewResources(), true);
  (void)registered;
  const QPixmap pm(QString::fromLatin1(path));
  return pm.isNull() ? QCursor(fallback) : QCursor(pm, hotX, hotY);
}

}  // namespace

QCursor LayerMoveCursor() { return FromResource(":/views/cursors/move_layer.xpm", 11, 11, Qt::SizeAllCursor); }
QCursor VertexCursor() { return FromResource(":/views/cursors/vertex.xpm", 15, 15, Qt::CrossCursor); }

}  // namespace qm
