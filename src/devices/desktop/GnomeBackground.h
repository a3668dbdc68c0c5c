#pragma once
// The desktop picture of the desktops that read GNOME's background settings (GNOME,
// Unity, Budgie): the keys of org.gnome.desktop.background, written through GSettings.
#include <string>

namespace qm {

// Sets the picture (its file: URI, for the light and the dark style) and tiles it or
// centres it. False, with nothing written, when the schema is not installed.
bool SetGnomeBackground(const std::string& fileName, bool tile);

}  // namespace qm
