#include "shell/services/SettingsEnvironment.h"

#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>

#include "platform/texts/AppPaths.h"

namespace qm {

TSettingsEnvironment SystemSettingsEnvironment(int formatCount, bool pluginsAvailable) {
  TSettingsEnvironment env;
  if (QGuiApplication::instance()) {
    if (const QScreen* s = QGuiApplication::primaryScreen()) {
      const QRect r = s->availableGeometry();
      env.Screen = TRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    }
  }
  QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  if (pictures.isEmpty() || !QDir(pictures).exists()) pictures = QDir::homePath();
  env.DefaultOpenFolder = pictures.toStdString();
  env.PluginFolder = UserFolder(TUserFolder::Plugins);
  env.FormatCount = formatCount;
  env.VisualStyles = true;  // the style draws the menus
  env.PluginsAvailable = pluginsAvailable;
  return env;
}

}  // namespace qm
