#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QSlider>

#include "app/Scenes.h"
#include "shell/main/MainForm.h"

namespace qm {

// Sets the dialog's sliders, in their order, as a user would: each moved, then let go.
static void MoveSliders(QWidget& dialog, std::initializer_list<int> values) {
  const QList<QSlider*> sliders = dialog.findChildren<QSlider*>();
  auto value = values.begin();
  for (QSlider* s : sliders) {
    if (value == values.end()) break;
    s->setValue(*value++);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier);
    QApplication::sendEvent(s, &release);
  }
}

// Each dialog over the sample document in the editor, opened from its menu: the blur
// previewed inside an elliptical selection, then the three adjustments following their
// sliders.
void DialogsScene(TSceneCamera& camera) {
  TSceneEditor editor;
  TMainForm& main = *editor.form;
  TNewImgForm& doc = editor.OpenSample();
  doc.showMaximized();
  doc.FitWindowToImage(true, false);
  doc.Image().SetActiveLayerIndex(0);
  doc.Selection().SetShape(ssEllipse);
  doc.Selection().SetSelectionRect(TRect{140, 120, 760, 620});
  doc.Selection().Show();
  SettleScene();

  struct {
    const char* Command;
    const char* Form;
    const char* Shot;
    std::initializer_list<int> Values;
  } const shots[] = {
      {"MenuFiltreFlouGauss", "TBlurForm", "blur", {12}},
      {"MenuReglageLC", "TLCForm", "brightness-contrast", {30, 25}},
      {"MenuReglageTS", "TTSForm", "hue-saturation", {-40, 35}},
      {"MenuReglageRVB", "TRVBForm", "colour-balance", {40, 0, -35}},
  };
  for (const auto& shot : shots) {
    main.Commands().Trigger(shot.Command);
    auto* dialog = main.findChild<QWidget*>(QString::fromLatin1(shot.Form));
    if (!dialog || !dialog->isVisible()) continue;
    MoveSliders(*dialog, shot.Values);
    if (auto* preview = dialog->findChild<QPushButton*>(QStringLiteral("BApercu")); preview && preview->isVisible())
      preview->click();
    SettleScene();
    camera.ShootWithPopups(main, shot.Shot);
    dialog->hide();
    doc.Selection().Hide();
  }
}


}  // namespace qm
