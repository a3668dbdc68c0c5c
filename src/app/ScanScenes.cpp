#include <QApplication>
#include <QDialog>
#include <QRadioButton>
#include <QTimer>
#include <cstdio>

#include "app/Scenes.h"
#include "shell/main/MainForm.h"

namespace qm {

// The batch scan dialog over a document, as the File menu's batch item opens it: as it
// first shows, then with each page opened as a document (the save's fields disabled).
void ScanningScene(TSceneCamera& camera) {
  TSceneEditor editor;
  TNewImgForm& doc = editor.OpenSample();
  doc.showMaximized();
  doc.FitWindowToImage(true, false);
  TMainForm& main = *editor.form;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
    auto* form = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!form || form->objectName() != QLatin1String("TScanLotForm")) return;
    poll.stop();
    SettleScene();
    camera.ShootWithPopups(main, "tscanlotform");
    if (auto* each = form->findChild<QRadioButton*>(QStringLiteral("RBNew"))) each->click();
    SettleScene();
    camera.ShootWithPopups(main, "tscanlotform-new");
    form->reject();
  });
  poll.start(50);
  if (!main.Commands().Trigger("MenuTwainLot"))
    std::fprintf(stderr, "scanning: the batch item is disabled (no data source manager beside the program)\n");
}

}  // namespace qm
