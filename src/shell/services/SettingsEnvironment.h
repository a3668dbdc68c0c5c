#pragma once
// The settings' environment as this desktop gives it.
#include "shell/services/Settings.h"

namespace qm {

// The primary screen's available area, the user's pictures folder (else the home
// folder) for opening, the user's plug-in folder, and the caller's format count and
// plug-in state. Needs a QGuiApplication for the screen; without one the screen is
// 1920 x 1080.
TSettingsEnvironment SystemSettingsEnvironment(int formatCount, bool pluginsAvailable);

}  // namespace qm
