#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>

#include "app/Scenes.h"
#include "controls/SpinEdit.h"
#include "devices/batch/AutoForm.h"
#include "dialogs/copyright/CopyrightForm.h"
#include "document/LayeredImage.h"
#include "imagefiles/PictureFiles.h"
#include "pixel/ColorAdjust.h"
#include "pixel/ImgUtils.h"
#include "shell/main/MainForm.h"

namespace qm {

// The batch automation window over a document and a folder of sample pictures: each
// of its seven pages with a chain configured, then the report of a run, and of one
// where two outputs would take one name.
void BatchScene(TSceneCamera& camera) {
  QTemporaryDir dir;
  const std::string source = dir.filePath(QStringLiteral("photos")).toStdString();
  const std::string out = dir.filePath(QStringLiteral("export")).toStdString();
  QDir().mkpath(QString::fromStdString(source));
  QDir().mkpath(QString::fromStdString(out));
  TLayeredImage sample;
  MakeSampleDocument(sample, false);
  const TPictureFileSettings files;
  // "phare" twice: without the sequence both outputs would be phare.jpg.
  const char* const names[] = {"baie_du_soir.jpg", "falaises.jpg", "phare.png", "phare.jpg", "dunes.bmp",
                               "estuaire.jpg"};
  int hue = 0;
  for (const char* name : names) {
    TBitmap picture = sample.UpdatedComposition().Clone();
    TintRect(picture, HSVToColor(hue, 200, 200), 25, UnboundedRect);
    hue += 70;
    std::string file = source + "/" + name;
    SaveBitmapFile(files, file, picture);
  }

  TSceneEditor editor;
  TMainForm& main = *editor.form;
  editor.OpenSample().showMaximized();
  SettleScene();
  if (!main.Commands().Trigger("MenuAutomatisation")) return camera.Fail("the batch item is disabled");
  auto* form = main.findChild<TAutoForm*>();
  if (!form) return camera.Fail("no batch window");
  form->SetSourceFolder(source);
  form->SetExportFolder(out);
  form->ChkSequence->setChecked(true);
  form->EdiSequence->setText(QStringLiteral("Vacances_"));
  form->ChkRedim->setChecked(true);
  form->CmbUnite->setCurrentIndex(1);
  form->SELargeurImage->setText(QStringLiteral("50"));
  form->ChkCadre->setChecked(true);
  form->ChkZoneTravail->setChecked(true);
  form->ChkOmbre->setChecked(true);
  form->TrbLuminosite->setValue(10);
  form->TrbGamma->setValue(12);
  form->ChkDurcir->setChecked(true);
  form->ChkScanlines->setChecked(true);
  form->ChkRotation->setChecked(true);
  form->CBCopyright->setChecked(true);
  form->CopyrightForm->EdiCopyright->setText(QStringLiteral("© Quillomatic <#n>"));
  const char* const pages[] = {"fichier", "image", "reglage", "filtre", "transformation", "copyright", "action"};
  for (int page = 0; page < 7; ++page) {
    if (!form->ChangePage(page)) return camera.Fail("a page refused");
    SettleScene();
    camera.ShootWithPopups(main, "tautoform-" + std::to_string(page + 1) + "-" + pages[page]);
  }
  form->BtnAction->click();
  SettleScene();
  camera.ShootWithPopups(main, "tautoform-rapport");
  // Again without the sequence: the second "phare" keeps the first one's output.
  form->ChangePage(0);
  form->ChkSequence->setChecked(false);
  if (!form->ChangePage(6)) return camera.Fail("the action page refused");
  form->BtnAction->click();
  SettleScene();
  camera.ShootWithPopups(main, "tautoform-rapport-nom-pris");
  form->close();
  SettleScene();
}

}  // namespace qm
