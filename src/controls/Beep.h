#pragma once
// The warning sound of the custom controls (a refused key, a read-only field).
#include <functional>

namespace qm {

void ControlBeep();
// Replaces the sound (an empty handler restores it); tests count the beeps this way.
void SetBeepHandler(std::function<void()> handler);

}  // namespace qm
