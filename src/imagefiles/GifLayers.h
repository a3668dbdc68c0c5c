#pragma once
// An animated GIF opened as a layered image, one layer per frame.
#include <string>

#include "document/LayeredImage.h"

namespace qm {

// The image becomes a background "#0" of the GIF's logical screen (in its background
// colour, white without a global colour map) and one layer per frame, "#1", "#2" ...,
// at the frame's place, opacity 100, masked where the frame is transparent; only the
// first frame's layer is shown, and it is the active layer. A logical screen of no size
// takes the size that holds every frame. Returns the number of frames (the document's
// layer counter goes on from there). Throws EInvalidGraphic as ReadGifFile does; the
// image is left as it was then.
int LoadGifAsLayers(TLayeredImage& image, const std::string& fileName);

}  // namespace qm
