// A plug-in of the tests with a window of its own, a QDialog of a class defined here,
// shown through the host's ShowPluginForm (modal, centred, the tool-dialog lock: clicks
// on the image pick colours for it). OK inverts the working rectangle through bitmaps
// the host makes; the dialog is left to deleteLater, which the host must deliver
// before it unloads this code. Colours and clicks go on to the test program
// (QmTestPluginSetColor, QmTestPluginPointClick) when it exports them.
#include <dlfcn.h>

#include <QDialog>
#include <QPushButton>

#include "extensions/FilterPluginApi.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

class TPluginDialog : public QDialog {
 public:
  explicit TPluginDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("QtPluginForm"));
    setFixedSize(220, 120);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("BtnOk"));
    ok->move(70, 70);
    connect(ok, &QPushButton::clicked, this, [this] {
      accepted = true;
      hide();
    });
  }
  bool accepted = false;
};

QxlPluginDescription description = {sizeof(QxlPluginDescription), QXL_PLUGIN_API_VERSION, "Fenêtre Qt|Inverser Qt", 0,
                                    0x1, "Version 1.0", "Essais", "", "", nullptr};

bool Invert(QxlPluginHost* host) {
  QxlBitmap area{};
  area.Size = sizeof area;
  area.Width = host->WorkRect[2] - host->WorkRect[0];
  area.Height = host->WorkRect[3] - host->WorkRect[1];
  if (host->CreateBitmap(host, &area) != 1) return false;
  bool done = host->GetWorkArea(host, &area) == QXL_DONE;
  for (int y = 0; done && y < area.Height; ++y) {
    uint8_t* row = host->GetBitmapScanLine(host, &area, y);
    for (int x = 0; x < area.Width * 3; ++x) row[x] = uint8_t(255 - row[x]);
  }
  done = done && host->SetWorkArea(host, &area, 0) == QXL_DONE;
  host->FreeBitmap(host, &area);
  return done;
}

}  // namespace

EXPORT const QxlPluginDescription* QxlPluginInfo(void) { return &description; }

EXPORT int32_t QxlPluginCompatibility(void) { return 2; }

EXPORT int32_t QxlPluginExecute(QxlPluginHost* host) {
  if (!host || host->Size < sizeof(QxlPluginHost) || host->Level < 2 || !host->MainWidget) return 0;
  auto* form = new TPluginDialog(static_cast<QWidget*>(host->MainWidget));
  form->setWindowFlag(Qt::Window);
  host->ShowPluginForm(host, form, 2, 1, 1);
  const bool accepted = form->accepted;
  form->deleteLater();
  return accepted && Invert(host) ? 1 : 0;
}

EXPORT void QxlPluginSetColor(uint32_t color) {
  if (auto hook = reinterpret_cast<void (*)(uint32_t)>(dlsym(RTLD_DEFAULT, "QmTestPluginSetColor"))) hook(color);
}

EXPORT void QxlPluginPointClick(int32_t x, int32_t y, int32_t button) {
  if (auto hook = reinterpret_cast<void (*)(int32_t, int32_t, int32_t)>(dlsym(RTLD_DEFAULT, "QmTestPluginPointClick")))
    hook(x, y, button);
}
