#pragma once
// Photoshop-format filters ("*.8bf") through the bridge module "8bf.qxl"
// (Bridge8bfApi.h): the filters of a folder listed by the bridge, and one filter run
// on the active layer's working rectangle. The bridge is loaded for one enumeration
// pass or one run; the current directory and the floating-point environment are put
// back on every path.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"
#include "shell/commands/PluginCommands.h"

namespace qm {

class TShellServices;

// The filters of the "*.8bf" files of folder and its sub-folders as the bridge lists
// them, their category and name trimmed of blanks and control characters, sorted by
// category then name in the user's collation, the case ignored. None without the
// bridge.
std::vector<T8bfEntry> Enumerate8bfFilters(const std::string& bridge, const std::string& folder);

// Runs the filter on the active layer's working rectangle (cut to the layer) with the
// palette's colours; with rgba the layer's mask travels too (255 sent as 254) and comes
// back as the larger of what it was and what the filter answered. True when the bridge
// answered success; otherwise the layer is as it was. A rectangle outside the layer
// returns false before the bridge is loaded.
bool Run8bfFilter(TShellServices& services, const std::string& bridge, const std::string& filterFile, bool rgba);

// The transfer of a rectangle (clipped by the caller) to and from the bridge's buffer
// of r's size, 4 bytes a pixel: blue, green, red, then the mask's value (at most 254)
// or 0 without a mask; back, blue, green and red, and a mask pixel lower than the
// fourth byte takes it.
void Copy8bfIn(const TBitmap& layer, const TBitmap* mask, const TRect& r, uint8_t* buffer);
void Copy8bfOut(const uint8_t* buffer, TBitmap& layer, TBitmap* mask, const TRect& r);

}  // namespace qm
