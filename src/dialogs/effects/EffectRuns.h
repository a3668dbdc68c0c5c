#pragma once
// What the tile and frame effect dialogs do around their kernels: the refusal that
// leaves the image as it was (cells or a frame that do not fit the working
// rectangle), and the end of a change confined to the selection, its outline stroked
// over it.
#include "document/qt/SelectionMask.h"
#include "shell/services/DialogHost.h"
#include "shell/services/LayerChange.h"

namespace qm {

// The size message, and the run refused: nothing stays, a change of its own leaves no
// step.
void RefuseTooSmall(TLayerRun& run);
// Cells of the size need at most half of each side of the run's rectangle; else the
// run is refused with the size message. True when they fit.
bool CellsFit(TLayerRun& run, int cell);

// After the kernel: the pixels outside the selection back with that edge, then, with
// outline, the selection's outline stroked in the colour and width (smoothed unless
// the selection menu says no smoothing). The step keeps the pixels the stroke covers
// as they were before the change, so a cancel or an undo gives them back.
void FinishOnSelection(TDialogHost& host, TLayerRun& run, TSelectionEdge edge, bool outline, TColor color,
                       int width);

}  // namespace qm
