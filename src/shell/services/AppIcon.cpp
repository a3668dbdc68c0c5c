#include "shell/services/AppIcon.h"

#include <QApplication>

// The icon is compiled into this static library: nothing refers to its object file,
// so the resource is registered by name before its first use.
static void InitAppIcon() { Q_INIT_RESOURCE(AppIcon); }

namespace qm {

QIcon ApplicationIcon() {
  static const bool loaded = (InitAppIcon(), true);
  (void)loaded;
  QIcon icon;
  for (int size : {16, 32, 48, 64, 128, 256})
    icon.addFile(QStringLiteral(":/application/quillomatic-%1.png").arg(size), QSize(size, size));
  return icon;
}

void InstallApplicationIcon(QApplication& app) {
  app.setWindowIcon(ApplicationIcon());
  QGuiApplication::setDesktopFileName(QStringLiteral("quillomatic"));
}

}  // namespace qm
