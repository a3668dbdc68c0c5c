#pragma once
// A layered document as an animated GIF: every layer above the background becomes one
// frame shown over the background, with its delay, on the web palette or on a palette
// of its own, with or without Floyd-Steinberg diffusion; frames either accumulate
// (layer n shows over layers 1 to n-1) or replace each other, and with transparency a
// frame holds its layer alone, on the transparent colour around it.
#include <string>
#include <vector>

#include "document/LayeredImage.h"
#include "pixel/PixelFormat.h"

namespace qm {

enum class TGifAnimPalette : uint8_t { Web216, Optimized };

struct TGifAnimOptions {
  // Hundredths of a second per layer above the background (Delays[0] for layer 1); a
  // layer of delay 0 gives no frame (it still shows under the later ones when frames
  // accumulate); a layer beyond the list has 100. When no layer has a delay above 0,
  // the first has 100.
  std::vector<int> Delays;
  bool Loop = true;  // the NETSCAPE2.0 extension, looping forever
  TGifAnimPalette Palette = TGifAnimPalette::Web216;
  bool Diffuse = true;
  // Each frame is its layer alone (bitmap and text layers: their pixels and mask at
  // their place; other layers: over the background), the rest transparent; the layers'
  // shadows are drawn into them first.
  bool Transparent = false;
  // Each layer is hidden again after its frame: frames replace each other instead of
  // accumulating. Transparent frames always do.
  bool RestoreBackground = false;
};

// The delays as the editor takes them: one per layer above the background, 100 where
// the list has none; all of them 0 gives the first 100.
std::vector<int> EffectiveGifDelays(const std::vector<int>& delays, int layerCount);

// The animation of the document (which is left as it was). Each frame carries its own
// colour map, the first one's serving as the global map (a later frame with the very
// same map uses it); a frame's graphic-control extension has its delay, and the
// disposal "restore to background" when the first frame is transparent, else "do not
// dispose". frame0Transparent (when given) tells which. Throws EInvalidGraphic when
// the document has no layer above its background.
TGifImage BuildGifAnimation(const TLayeredImage& document, const TGifAnimOptions& options,
                            bool* frame0Transparent = nullptr);

// BuildGifAnimation written to the file, replacing it atomically.
void SaveGifAnimation(const std::string& fileName, const TLayeredImage& document, const TGifAnimOptions& options,
                      bool* frame0Transparent = nullptr);

}  // namespace qm
