#pragma once
// The desktop's wallpaper: the image written as a BMP file and made the desktop's
// picture. Desktops that read GNOME's background settings (XDG_CURRENT_DESKTOP naming
// GNOME, Unity or Budgie) take it through GSettings, centred or tiled; the others
// through the desktop portal's Wallpaper interface (KDE Plasma and the rest that
// implement it), which neither tiles nor centres: the desktop places it its own way.
#include <string>
#include <string_view>

#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

// The way this desktop takes a wallpaper, from XDG_CURRENT_DESKTOP.
enum class TWallpaperRoute { GnomeSettings, Portal };
TWallpaperRoute WallpaperRouteFor(std::string_view currentDesktop);

// Makes fileName the desktop's picture, tiled or centred. False, after saying that
// this desktop takes no wallpaper, when neither GNOME's settings nor the portal are
// there.
bool WriteWallpaperSettings(const std::string& fileName, bool tile);

// Writes the bitmap to fileName (BMP) and, when that succeeded, makes it the wallpaper.
// With fit, the image is first resampled (Lanczos) to fit the screen (in device
// pixels; the primary screen's when screen is empty), and an image of 256 colours or
// fewer is brought back to its colour count (quantised, dithered). False when nothing
// was set; a failed save sets nothing.
bool SetDesktopWallpaper(const TBitmap& bitmap, const std::string& fileName, bool tile, bool fit,
                         TPoint screen = {});

}  // namespace qm
