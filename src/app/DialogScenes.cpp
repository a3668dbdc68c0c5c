#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QAction>
#include <QPushButton>
#include <QSlider>
#include <set>

#include "app/Scenes.h"
#include "document/LayeredImage.h"
#include "document/qt/Clipboard.h"
#include "platform/core/Messages.h"
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
// moved and its preview on the image; one shot each, named by the dialog's class. A
// dialog the layered sample is refused for (one that needs a single layer) is opened
// over the sample flattened.
void DialogsScene(TSceneCamera& camera) { ShootEveryDialog(camera, {}); }

void ShootEveryDialog(TSceneCamera& camera, const std::function<void(const QString& home)>& prepare) {
  // No message box may wait for a click: each takes its first answer.
  SetMessageHandler([](const std::string&, TMsgType, int buttons, const std::string&) {
    return buttons & mbOK ? int(mrOk) : buttons & mbYes ? int(mrYes) : int(mrCancel);
  });
  TSceneEditor editor(1200, 860, prepare);
  TMainForm& main = *editor.form;
  TLayeredImage flat;
  MakeSampleDocument(flat, false);
  flat.FlattenAllLayers();
  TNewImgForm& single = editor.Open(&flat);
  TNewImgForm& layered = editor.OpenSample();
  std::set<std::string_view> shot;
  // A picture on the clipboard, for the commands that join or paste it.
  const TBitmap clip(200, 150, pf24bit, RGB(40, 120, 200));
  CopyBitmapWithMask(ClipboardData(), &clip, nullptr);
  for (const TDialogCommandRow& row : DialogCommandRows()) {
    if (!shot.insert(row.Dialog).second) continue;
    const QString name = QString::fromLatin1(row.Dialog.data(), int(row.Dialog.size()));
    QWidget* dialog = nullptr;
    bool faded = false;  // a negative is on the document the dialog opened over
    for (TNewImgForm* doc : {&layered, &single}) {
      main.Services().Windows().ActivateImageWindow(doc);
      doc->showMaximized();
      doc->FitWindowToImage(true, false);
      doc->Image().SetActiveLayerIndex(0);
      // The frame commands work within a rectangle only.
      doc->Selection().SetShape(row.Name.starts_with("MenuContour") ? ssRect : ssEllipse);
      doc->Selection().SetSelectionRect(TRect{140, 120, 760, 620});
      doc->Selection().Show();
      // A command for a rectangle selection only (the frame) gets one.
      main.UpdateCommandStates();
      if (QAction* a = main.Commands().Action(row.Name); a && !a->isEnabled()) doc->Selection().SetShape(ssRect);
      // The fade fades the last change: the negative, taken back after the shot.
      faded = row.Kind == ukFade && main.Commands().Trigger("MenuReglageNegatif");
      main.UpdateCommandStates();
      // a command on an upper layer (the layer options, the export) over the first
      // upper bitmap layer
      if (QAction* a = main.Commands().Action(row.Name); a && !a->isEnabled())
        for (int i = 1; i < doc->Image().GetLayerCount(); ++i)
          if (doc->Image().Layers[i].LayerType == ltBitmap) {
            doc->Image().SetActiveLayerIndex(i);
            main.UpdateCommandStates();
            break;
          }
      SettleScene();
      const bool triggered = main.Commands().Trigger(row.Name);
      dialog = triggered ? main.findChild<QWidget*>(name) : nullptr;
      if (dialog && dialog->isVisible()) break;
      dialog = nullptr;
      if (faded) main.Commands().Trigger("MenuEditionUndo");
      faded = false;
      if (!triggered) break;  // not registered
    }
    if (!dialog) continue;
    MoveSliders(*dialog);
    if (auto* preview = dialog->findChild<QPushButton*>(QStringLiteral("BApercu")); preview && preview->isVisible())
      preview->click();
    SettleScene();
    camera.ShootWithPopups(main, name.toLower().toStdString());
    if (auto* cancel = dialog->findChild<QPushButton*>(QStringLiteral("BAnnuler"))) cancel->click();
    else dialog->hide();
    if (faded) main.Commands().Trigger("MenuEditionUndo");
    SettleScene();
  }
  SetMessageHandler({});
}

}  // namespace qm
