#pragma once
// A change of the active layer, written once for every road that makes one (a direct
// filter from its menu, a dialog's preview and OK, the repeat command, a plug-in, a
// palette action):
//
//   the busy state, the undo step (or, for a preview, the step the dialog holds, its
//   pixels put back first), the operation on the active layer within the working
//   rectangle with the copy of the layer taken before the change, the pixels outside
//   the selection brought back, what the operation touched invalidated and repainted.
//
// Every failure has this one barrier: an operation that throws (out of memory among
// others) leaves the layer as it was, the step it opened dropped, the busy state ended
// and its message shown; nothing escapes to the event loop.
#include <functional>
#include <string>

#include "document/qt/SelectionMask.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"
#include "shell/services/UndoableOps.h"

namespace qm {

class TDialogHost;
class TLayerItem;
class TUndoLayerItem;

// What an operation works on, and what it tells the runner back.
struct TLayerRun {
  TBitmap& Layer;   // the active layer's image
  TBitmap& Source;  // the layer as it was before the change; the operations only read it
  TRect Rect;       // the working rectangle, in the layer's coordinates (not clipped)
  TColor Foreground, Background;  // the palette's colours
  const TBitmap& Pattern;         // the main window's fill pattern (may be empty)
  // The layer changed (its mask, place and kind) and the step the change goes into;
  // null where a chain runs on a bitmap of its own (a reference, a batch).
  TLayerItem* Item = nullptr;
  TUndoLayerItem* Step = nullptr;

  // Where the operation wrote beyond the working rectangle (an outline, a shadow), in
  // the layer's coordinates: the step is widened to it from the copy taken before the
  // change, and it is repainted. Empty: the working rectangle.
  TRect Touched{};
  // The operation did nothing on purpose (its values do not fit the rectangle; it told
  // the user): the layer stays as it was and a change of its own leaves no step.
  bool Refused = false;
};
using TLayerOperation = std::function<void(TLayerRun& change)>;

struct TLayerChangeOptions {
  TUndoKind Kind = ukWorkRect;
  // The undo step's name and the repeat command's (a trailing " [key]" is cut).
  std::string Caption;
  // The selection restriction after the operation; none when Restrict is false.
  bool Restrict = true;
  TSelectionEdge Edge = seProgressive;
  // A restore mask kept from one preview to the next of the same showing.
  TRestoreMaskCache* Cache = nullptr;
  // The status text while it runs (processing when empty).
  std::string BusyText;
  // False: the operation shows its own busy state (a plug-in through its callbacks).
  bool Busy = true;
  // The window follows a new size of the image (its zoom fitted again, its selection
  // dropped) once the change is made and before the busy state ends, whose status text
  // paints the window: the view is painted once, at its new size, rather than first at
  // the zoom of the old size.
  bool ResetWindow = false;
};

// The change as one new undo step. True when it was made (its step stays).
bool RunLayerChange(TDialogHost& host, const TLayerChangeOptions& options, const TLayerOperation& operation);

// A preview of a dialog over the step it holds (the active document's current step):
// with restoreFirst the step's pixels are put back before the operation runs (an
// operation that builds its result from the copy taken before the change alone needs
// no restore). A failure puts the step's pixels back and keeps the step: the dialog
// owns it. True when the preview is on the image.
bool RunLayerPreview(TDialogHost& host, const TLayerChangeOptions& options, bool restoreFirst,
                     const TLayerOperation& operation);

// The step's pixels back on the layer and the whole image shown again: a preview taken
// off, the step kept.
void PutStepBack(TDialogHost& host);

// Records the change for the repeat command: it runs again on the document active
// then, as a new step under the same caption, with this copy of the operation.
void RecordLayerChangeRepeat(TDialogHost& host, const TLayerChangeOptions& options, TLayerOperation operation,
                             TRepeatGuard guard = rgAlways);

// The message of a failure caught at a barrier: out of memory, or what the exception
// says.
std::string FailureMessage(const std::exception_ptr& failure);

}  // namespace qm
