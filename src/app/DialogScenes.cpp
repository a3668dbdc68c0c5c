#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QSlider>
#include <set>

#include "app/Scenes.h"
#include "shell/commands/DialogCommands.h"
#include "shell/main/MainForm.h"
#include "shell/services/UndoableOps.h"

namespace qm {
namespace {

// Each slider of the dialog moved, as a user would, to three quarters of its way from
// where it stands toward the end farther away, then let go.
void MoveSliders(QWidget& dialog) {
  for (QSlider* s : dialog.findChildren<QSlider*>()) {
    const int far = s->maximum() - s->value() >= s->value() - s->minimum() ? s->maximum() : s->minimum();
    s->setValue(s->value() + (far - s->value()) * 3 / 4);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier);
    QApplication::sendEvent(s, &release);
  }
}

}  // namespace

// Every dialog the program registers, over the sample document in the editor, opened
// from the first command that opens it (inside an elliptical selection), its sliders
// moved and its preview on the image; one shot each, named by the dialog's class.
void DialogsScene(TSceneCamera& camera) {
  TSceneEditor editor;
  TMainForm& main = *editor.form;
  TNewImgForm& doc = editor.OpenSample();
  doc.showMaximized();
  doc.FitWindowToImage(true, false);
  std::set<std::string_view> shot;
  for (const TDialogCommandRow& row : DialogCommandRows()) {
    if (!shot.insert(row.Dialog).second) continue;
    doc.Image().SetActiveLayerIndex(0);
    doc.Selection().SetShape(ssEllipse);
    doc.Selection().SetSelectionRect(TRect{140, 120, 760, 620});
    doc.Selection().Show();
    // The fade fades the last change: the negative, taken back after the shot.
    const bool fades = row.Kind == ukFade && main.Commands().Trigger("MenuReglageNegatif");
    main.UpdateCommandStates();
    SettleScene();
    auto takeFadedBack = [&] {
      if (fades) main.Commands().Trigger("MenuEditionUndo");
    };
    auto* dialog = main.Commands().Trigger(row.Name)
                       ? main.findChild<QWidget*>(QString::fromLatin1(row.Dialog.data(), int(row.Dialog.size())))
                       : nullptr;
    if (!dialog || !dialog->isVisible()) {  // not registered, or refused here
      takeFadedBack();
      continue;
    }
    MoveSliders(*dialog);
    if (auto* preview = dialog->findChild<QPushButton*>(QStringLiteral("BApercu")); preview && preview->isVisible())
      preview->click();
    SettleScene();
    camera.ShootWithPopups(main, QString::fromLatin1(row.Dialog.data(), int(row.Dialog.size())).toLower().toStdString());
    if (auto* cancel = dialog->findChild<QPushButton*>(QStringLiteral("BAnnuler"))) cancel->click();
    else dialog->hide();
    takeFadedBack();
    SettleScene();
  }
}

}  // namespace qm
