#include "dialogs/DialogList.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMdiArea>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>

#include "dialogs/BlurForm.h"
#include "dialogs/ColorAdjustForms.h"
#include "shell/Scenes.h"
#include "shell/StartWindow.h"

namespace qm {
namespace {

// Sets the dialog's sliders, in their order, as a user would: each moved, then let go.
void MoveSliders(QWidget& dialog, std::initializer_list<int> values) {
  const QList<QSlider*> sliders = dialog.findChildren<QSlider*>();
  auto value = values.begin();
  for (QSlider* s : sliders) {
    if (value == values.end()) break;
    s->setValue(*value++);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier);
    QApplication::sendEvent(s, &release);
  }
}

// Each dialog of the colour and blur commands over the sample document: the blur
// previewed inside an elliptical selection, then the three adjustments following their
// sliders.
void DialogsScene(TSceneCamera& camera) {
  QMainWindow main;
  auto* area = new QMdiArea;
  main.setCentralWidget(area);
  main.resize(1100, 760);
  TShellServices services(*area, *main.statusBar(), &main);
  main.show();
  TLayeredImage sunset;
  TStartWindow::MakeSampleDocument(sunset, false);
  TNewImgForm* doc = services.CreateImageWindow(nullptr, &sunset, 16777216, true, "");
  doc->showMaximized();
  doc->FitWindowToImage(true, false);
  doc->Image().SetActiveLayerIndex(0);
  doc->Selection().SetShape(ssEllipse);
  doc->Selection().SetSelectionRect(TRect{140, 120, 760, 620});
  doc->Selection().Show();
  SettleScene();

  struct {
    const char* Form;
    const char* Shot;
    std::initializer_list<int> Values;
  } const shots[] = {
      {"TBlurForm", "blur", {12}},
      {"TLCForm", "brightness-contrast", {30, 25}},
      {"TTSForm", "hue-saturation", {-40, 35}},
      {"TRVBForm", "colour-balance", {40, 0, -35}},
  };
  for (const auto& shot : shots) {
    QWidget* dialog = OpenDialog(shot.Form, services);
    if (!dialog) continue;
    MoveSliders(*dialog, shot.Values);
    if (auto* preview = dialog->findChild<QPushButton*>(QStringLiteral("BApercu")); preview && preview->isVisible())
      preview->click();
    SettleScene();
    camera.ShootWithTopLevels(main, shot.Shot);
    dialog->hide();
    if (shot.Form == std::string("TBlurForm")) doc->Selection().Hide();
  }
}

}  // namespace

void InstallParameterDialogs() {
  RegisterParamDialog<TBlurForm>();
  RegisterParamDialog<TLCForm>();
  RegisterParamDialog<TTSForm>();
  RegisterParamDialog<TRVBForm>();
  RegisterScene("dialogs", &DialogsScene);
}

}  // namespace qm
