#include "devices/desktop/Wallpaper.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QScreen>
#include <QVariantMap>
#include <QUrl>
#include <cstdlib>

#include "devices/desktop/GnomeBackground.h"
#include "document/Resample.h"
#include "imagefiles/FileDispatch.h"
#include "pixel/ColorReduce.h"
#include "pixel/ImgUtils.h"
#include "pixel/PixelFormat.h"
#include "platform/core/Messages.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"

namespace qm {
namespace {

// The desktop portal's wallpaper request (the desktop may ask the user first; the
// answer comes later and is not awaited). False when no portal takes it.
bool SetPortalWallpaper(const std::string& fileName) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/org/freedesktop/portal/desktop"),
      QStringLiteral("org.freedesktop.portal.Wallpaper"), QStringLiteral("SetWallpaperURI"));
  QVariantMap options;
  options.insert(QStringLiteral("show-preview"), false);
  options.insert(QStringLiteral("set-on"), QStringLiteral("background"));
  call << QString() << QUrl::fromLocalFile(QString::fromStdString(fileName)).toString() << options;
  const QDBusMessage reply = bus.call(call, QDBus::Block, 10000);
  return reply.type() == QDBusMessage::ReplyMessage;
}

TPoint PrimaryScreenPixels() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return {};
  const QSize size = screen->size() * screen->devicePixelRatio();
  return TPoint{size.width(), size.height()};
}

}  // namespace

TWallpaperRoute WallpaperRouteFor(std::string_view currentDesktop) {
  size_t start = 0;
  while (start <= currentDesktop.size()) {
    size_t end = currentDesktop.find(':', start);
    if (end == std::string_view::npos) end = currentDesktop.size();
    const std::string_view name = currentDesktop.substr(start, end - start);
    for (std::string_view gnome : {"GNOME", "Unity", "Budgie"})
      if (SameText(name, gnome)) return TWallpaperRoute::GnomeSettings;
    start = end + 1;
  }
  return TWallpaperRoute::Portal;
}

bool WriteWallpaperSettings(const std::string& fileName, bool tile) {
  const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
  const bool set = WallpaperRouteFor(desktop ? desktop : "") == TWallpaperRoute::GnomeSettings
                       ? SetGnomeBackground(fileName, tile)
                       : SetPortalWallpaper(fileName);
  if (!set) ShowMessageDialog(Tr(TextId::TrFixWallpaperUnsupported), mtWarning, mbOK);
  return set;
}

bool SetDesktopWallpaper(const TBitmap& bitmap, const std::string& fileName, bool tile, bool fit, TPoint screen) {
  if (bitmap.Empty()) return false;
  TBitmap picture;
  if (!fit) {
    picture = bitmap.Clone();
  } else {
    if (screen.X < 1 || screen.Y < 1) screen = PrimaryScreenPixels();
    const int colors = GetPixelFormatColorCount(bitmap.PixelFormat());
    int w = bitmap.Width(), h = bitmap.Height();
    FitSizeProportional(w, h, screen.X, screen.Y);
    TBitmap wide;
    if (bitmap.PixelFormat() != pf24bit) {
      wide = bitmap.Clone();
      wide.SetPixelFormat(pf24bit);
    }
    if (!Resample(wide.Empty() ? bitmap : wide, w, h, TResampleFilter::Lanczos, picture)) return false;
    if (colors <= 256) ConvertBitmapToIndexed(picture, colors, true, true);
  }
  if (SavePicture(fileName, picture, TSaveRequest{}).Result != frDone) return false;
  return WriteWallpaperSettings(fileName, tile);
}

}  // namespace qm
