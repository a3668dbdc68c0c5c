#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include "app/Scenes.h"
#include "devices/printing/PrintForms.h"
#include "shell/main/MainForm.h"

namespace qm {

// The print dialog over the sample document, as the print command opens it; then its
// "Imprimer" into a PDF file, the cancel window shot while it stands, and the print
// cancelled from it.
void PrintingScene(TSceneCamera& camera) {
  TSceneEditor editor;
  TMainForm& main = *editor.form;
  TNewImgForm& doc = editor.OpenSample(false, "coucher_de_soleil.qxi");
  doc.showMaximized();
  main.UpdateCommandStates();
  SettleScene();
  QTemporaryDir out;
  QTimer::singleShot(200, &main, [&] {
    auto* dialog = main.findChild<TImprForm*>(QStringLiteral("TImprForm"));
    if (!dialog) return;
    SettleScene();
    camera.ShootWithPopups(main, "imprimer");
    dialog->AskOutputFile = [&out](QString& file) {
      file = out.filePath(QStringLiteral("coucher_de_soleil.pdf"));
      return true;
    };
    // Once the cancel window shows, it is photographed and its "Annuler" clicked.
    QTimer::singleShot(0, &main, [&] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() != QLatin1String("TAnnulerForm") || !w->isVisible()) continue;
        SettleScene();
        camera.ShootWithPopups(main, "annuler");
        if (auto* cancel = w->findChild<QPushButton*>(QStringLiteral("BAnnuler"))) cancel->click();
      }
    });
    if (auto* print = dialog->findChild<QPushButton*>(QStringLiteral("BImprimer"))) print->click();
  });
  main.Commands().Trigger("MenuFichierImprimer");
  SettleScene();
}

}  // namespace qm
