#include "app/Scenes.h"

#include <QApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QImage>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QToolBar>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>
#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <functional>
#include <QThread>
#include <QWidget>
#include <cmath>
#include <cstdio>
#include <exiv2/exiv2.hpp>

#include "document/LayerHost.h"
#include "document/LayerOps.h"
#include "document/qt/Clipboard.h"
#include "document/qt/SelectionLayerOps.h"
#include "document/qt/TextRender.h"
#include "views/CompressForms.h"
#include "views/PictureDialogs.h"
#include "views/GifAnimForm.h"
#include "views/IconForm.h"
#include "views/ImageWindows.h"
#include "views/WindowLayerHost.h"
#include "pixel/ImgUtils.h"
#include "controls/ColorEditor.h"
#include "shell/services/CommandSet.h"
#include "shell/services/MenuLook.h"
#include "imagefiles/BmpCodec.h"
#include "imagefiles/JpegCodec.h"
#include "imagefiles/PictureFiles.h"
#include "shell/browser/Explor.h"
#include "shell/main/MainForm.h"
#include "shell/palette/ToolPalette.h"
#include "shell/services/Prefs.h"
#include "views/VerticesControl.h"

namespace qm {

void SettleScene() {
  // twice: a paint may queue another (the scroll ranges follow a new image size)
  for (int i = 0; i < 2; ++i) {
    QApplication::processEvents();
    QThread::msleep(30);
  }
  QApplication::processEvents();
}

namespace {

void Settle() { SettleScene(); }

TBitmap Sky(int w, int h) {
  TBitmap bmp(w, h);
  for (int y = 0; y < h; ++y) {
    uint8_t* p = bmp.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      // from a deep blue at the top through purple to orange at the horizon, dark hills
      // below
      const int hill = int(h * 0.72 + 40 * std::sin(x * 0.011) + 18 * std::sin(x * 0.037));
      const TColor c = y > hill ? HSVToColor(110 + 20 * x / w, 120, 90 - 50 * (y - hill) / std::max(1, h - hill))
                                : HSVToColor((230 + 230 * y / h) % 360, 150 + 60 * y / h, 120 + 135 * y / h);
      ColorToPixel24(c, p + 3 * x);
    }
  }
  return bmp;
}

// A disc of the colour with a soft edge: the image and its mask (0 shown, 255 hidden).
void Disc(int d, TColor color, TBitmap& image, TBitmap& mask) {
  image = TBitmap(d, d, pf24bit, color);
  mask = TBitmap(d, d, pf24bit, clWhite);
  const double r = d / 2.0;
  for (int y = 0; y < d; ++y) {
    uint8_t* m = mask.ScanLine(y);
    uint8_t* p = image.ScanLine(y);
    for (int x = 0; x < d; ++x) {
      const double dist = std::hypot(x + 0.5 - r, y + 0.5 - r);
      const double edge = std::clamp((r - dist) / 6.0, 0.0, 1.0);
      const uint8_t v = uint8_t(std::lround(255 * (1 - edge)));
      m[3 * x] = m[3 * x + 1] = m[3 * x + 2] = v;
      // brighter toward the middle
      const int lift = int(60 * std::max(0.0, 1 - dist / r));
      for (int k = 0; k < 3; ++k) p[3 * x + k] = uint8_t(std::min(255, p[3 * x + k] + lift));
    }
  }
}

}  // namespace

void MakeSampleDocument(TLayeredImage& doc, bool seeThrough) {
  const int w = 1200, h = 800;
  TBitmap bgMask;
  if (seeThrough) {
    // the top third fades from hidden to shown
    bgMask = TBitmap(w, h, pf24bit, clBlack);
    for (int y = 0; y < h / 3; ++y) {
      const int v = 255 - 255 * y * 3 / h;
      bgMask.FillRect(TRect{0, y, w, y + 1}, RGB(v, v, v));
    }
  }
  doc.LoadFromBitmap(Sky(w, h), bgMask, "#0");
  TBitmap sun, sunMask;
  Disc(260, RGB(255, 170, 40), sun, sunMask);
  const int i = doc.AddLayer(std::move(sun), std::move(sunMask), "#1", 100, TPoint{700, 300});
  TLayerItem& s = doc.Layers[i];
  s.Shadow.Enabled = 1;
  s.Shadow.OffsetX = 14;
  s.Shadow.OffsetY = 14;
  s.Shadow.Radius = 6;
  s.Shadow.Opacity = 45;
  TBitmap card(420, 220, pf24bit, RGB(245, 245, 250));
  card.FillRect(TRect{20, 20, 400, 60}, RGB(40, 90, 170));
  for (int k = 0; k < 5; ++k) card.FillRect(TRect{20, 80 + 24 * k, 340 - 40 * (k % 3), 92 + 24 * k}, RGB(150, 150, 160));
  // rounded corners of radius 24: hidden outside the quarter circles
  TBitmap cardMask(420, 220, pf24bit, clBlack);
  for (int y = 0; y < 220; ++y)
    for (int x = 0; x < 420; ++x) {
      const double cx = std::clamp(x + 0.5, 24.0, 396.0), cy = std::clamp(y + 0.5, 24.0, 196.0);
      if (std::hypot(x + 0.5 - cx, y + 0.5 - cy) > 24) cardMask.SetPixel(x, y, clWhite);
    }
  doc.AddLayer(std::move(card), std::move(cardMask), "#2", 85, TPoint{120, 420});
}

namespace {
// The layers above the shell as the program's start hands them over, for the editors
// the scenes make.
TMainForm::TStartOptions g_sceneOptions;
}  // namespace

TSceneEditor::TSceneEditor(int width, int height, const std::function<void(const QString& home)>& prepare) {
  qputenv("QM_HOME", home_.path().toLocal8Bit());
  qputenv("XDG_CACHE_HOME", (home_.path() + "/cache").toLocal8Bit());
  if (prepare) prepare(home_.path());
  TMainForm::TStartOptions options = g_sceneOptions;
  options.Files.clear();
  options.HandOver = {};
  form = std::make_unique<TMainForm>(std::move(options));
  if (width > 0) {
    form->resize(width, height);
    form->move(20, 20);
  }
  form->show();
  SettleScene();
}

TSceneEditor::~TSceneEditor() {
  form.reset();
  qunsetenv("QM_HOME");
}

TNewImgForm& TSceneEditor::Open(const TLayeredImage* image, const TBitmap* bitmap, const std::string& name) {
  TNewImgForm* w = form->Services().CreateImageWindow(bitmap, image, 16777216, name.empty(), name);
  SettleScene();
  return *w;
}

TNewImgForm& TSceneEditor::OpenSample(bool seeThrough, const std::string& name) {
  TLayeredImage sample;
  MakeSampleDocument(sample, seeThrough);
  return Open(&sample, nullptr, name);
}

namespace {

// The document view: three layers, the marching ants of a selection, the transform
// handles, a close look with the grid, and a background that lets the checkerboard
// through.
void ViewsScene(TSceneCamera& camera) {
  TSceneEditor editor;
  TNewImgForm& doc = editor.OpenSample();
  doc.showMaximized();
  doc.FitWindowToImage(true, false);
  Settle();
  TMainForm& w = *editor.form;
  camera.Shoot(w, "document");

  TMyImageLayered& view = doc.View();
  TSelectionControl& sel = doc.Selection();
  sel.SetShape(ssEllipse);
  sel.SetSelectionRect(TRect{640, 240, 1040, 620});
  sel.Show();
  Settle();
  camera.Shoot(w, "selection");

  sel.Hide();
  doc.Image().SetActiveLayerIndex(2);
  TVerticesControl handles(view);
  handles.SetCornersFromRect(doc.Image().GetActiveLayerBounds());
  handles.Show();
  Settle();
  camera.Shoot(w, "handles");
  handles.Hide();

  view.SetZoom(4);
  view.SetShowGrid(true);
  view.SetGridWidth(8);
  view.ScrollToShowRect(TRect{690, 380, 760, 440});
  sel.SetShape(ssRect);
  sel.SetSelectionRect(TRect{700, 390, 740, 420});
  sel.Show();
  Settle();
  camera.Shoot(w, "zoom");
  sel.Hide();

  view.SetShowGrid(false);
  MakeSampleDocument(doc.Image(), true);
  doc.Navigator().SyncLayerNavigatorCount();
  doc.Navigator().InvalidateLayerNavigator(true);
  doc.FitWindowToImage(true, false);
  Settle();
  camera.Shoot(w, "transparent");
}

// A smoothed title with a soft shadow below right: the scenes' texts start from it.
TTextData ShadowedTitle(const char* font, int size, TColor color, TColor shadow) {
  TTextData t;
  t.FontName = font;
  t.FontSize = size;
  t.TextColor = color;
  t.Antialias = true;
  t.Opacity = 100;
  t.ShadowEnabled = true;
  t.ShadowColor = shadow;
  t.ShadowOffsetX = t.ShadowOffsetY = 6;
  t.ShadowOpacity = 70;
  t.ShadowRadius = 4;
  return t;
}

// The background's pixels inside an ellipse copied (edges feathered), the selection
// left shown.
void CopyEllipseOfBackground(TLayerHost& host, TLayeredImage& doc, TSelectionControl& sel, const TRect& r) {
  doc.SetActiveLayerIndex(0);
  sel.SetShape(ssEllipse);
  sel.SetSelectionRect(r);
  sel.Show();
  CopySelection(host, ClipboardData());
}

// Text layers and the clipboard: an embossed title with its shadow, a turned caption,
// then a feathered ellipse of the picture copied and pasted back as a layer beside it.
void TextLayersScene(TSceneCamera& camera) {
  TSceneEditor editor;
  TNewImgForm& doc = editor.OpenSample();
  doc.showMaximized();
  doc.FitWindowToImage(true, false);
  TLayerHost& host = editor.form->Services().LayerHost();
  TTextData title = ShadowedTitle("DejaVu Sans", 72, RGB(250, 210, 60), RGB(30, 20, 60));
  title.FontStyle = fsBold;
  title.Relief = true;
  title.Lines = {"Quillomatic", "Morvek"};
  title.Alignment = 1;
  const TRect whole = GetBitmapRect(doc.Image().Layers[0].Image);
  CreateTextLayer(host, MakeNewLayerName(host), title, true, whole);
  TTextData caption = title;
  caption.FontSize = 28;
  caption.FontStyle = fsItalic;
  caption.Relief = false;
  caption.ShadowEnabled = false;
  caption.Outline = true;
  caption.OutlineColor = clWhite;
  caption.TextColor = RGB(120, 20, 60);
  caption.Angle = -12;
  caption.Lines = {"Calque de texte tourné"};
  CreateTextLayer(host, MakeNewLayerName(host), caption, true, TRect{60, 60, 200, 120});
  Settle();
  camera.Shoot(*editor.form, "text");

  CopyEllipseOfBackground(host, doc.Image(), doc.Selection(), TRect{620, 220, 1060, 640});
  doc.Selection().Hide();
  const int pasted = PasteAsNewLayer(host, ClipboardData(), MakeNewLayerName(host));
  if (pasted > 0) {
    TLayerItem& l = doc.Image().Layers[pasted];
    l.Left = 80;
    l.Top = whole.Height() - l.Image.Height() - 40;
    doc.Image().InvalidateImage();
  }
  Settle();
  camera.Shoot(*editor.form, "pasted");
}

// A small picture of its own for the third window.
TBitmap SmallGradient() {
  TBitmap small(320, 200);
  for (int y = 0; y < 200; ++y) small.FillRect(TRect{0, y, 320, y + 1}, HSVToColor(200 + y / 10, 90, 255 - y / 2));
  return small;
}

// Document windows in the main window: three cascaded (the last with a selection),
// then one maximised with a text layer and a pasted selection.
void WindowsScene(TSceneCamera& camera) {
  TSceneEditor editor;
  editor.OpenSample(false);
  editor.OpenSample(true, "/home/claire/Images/coucher de soleil sur la baie.qxi");
  const TBitmap small = SmallGradient();
  TNewImgForm& last = editor.Open(nullptr, &small);
  last.Selection().SetShape(ssEllipse);
  last.Selection().SetSelectionRect(TRect{60, 40, 260, 160});
  last.Selection().Show();
  Settle();
  camera.Shoot(*editor.form, "cascade");

  // The first one maximised, given a title in a text layer, and an ellipse of its sky
  // copied and pasted back as a layer of its own (the selection still shown).
  TImageWindows& windows = editor.form->Services().Windows();
  TNewImgForm& doc = *windows.Windows()[0];
  windows.ActivateImageWindow(&doc);
  doc.showMaximized();
  doc.FitWindowToImage(true, false);
  Settle();
  TLayerHost& host = editor.form->Services().LayerHost();
  TTextData title = ShadowedTitle("DejaVu Serif", 60, RGB(255, 236, 200), RGB(60, 10, 40));
  title.FontStyle = fsBold | fsItalic;
  title.Lines = {"Soir sur la baie"};
  CreateTextLayer(host, MakeNewLayerName(host), title, true, TRect{360, 60, 840, 160});
  CopyEllipseOfBackground(host, doc.Image(), doc.Selection(), TRect{660, 260, 920, 540});
  const int pasted = PasteAsNewLayer(host, ClipboardData(), MakeNewLayerName(host));
  if (pasted > 0) doc.Image().MoveTo(900, 420);
  editor.form->UpdateCommandStates();
  Settle();
  camera.Shoot(*editor.form, "text-and-paste");
}

// The main window as a user starts it: empty, then with three documents cascaded, then
// with one of them maximised.
void MainWindowScene(TSceneCamera& camera) {
  TSceneEditor editor;
  camera.Shoot(*editor.form, "empty");
  // a right click on the empty work area: its pop-up
  QWidget* area = editor.form->Area().viewport();
  for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
    QMouseEvent e(type, QPointF(160, 120), area->mapToGlobal(QPointF(160, 120)), Qt::RightButton,
                  type == QEvent::MouseButtonPress ? Qt::RightButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(area, &e);
  }
  Settle();
  camera.ShootWithPopups(*editor.form, "workspace-popup");
  if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
  Settle();
  editor.OpenSample(false, "/home/claire/Images/baie.qxi");
  editor.OpenSample(true);
  const TBitmap small = SmallGradient();
  editor.Open(nullptr, &small, "/home/claire/Images/ciel.png");
  camera.Shoot(*editor.form, "cascaded");
  TNewImgForm& middle = *editor.form->Services().Windows().Windows()[1];
  editor.form->Services().Windows().ActivateImageWindow(&middle);
  middle.showMaximized();
  middle.FitWindowToImage(true, false);
  Settle();
  camera.Shoot(*editor.form, "maximised");
}

// A first start, without settings: the window as the start places it on the screen;
// then an unsaved picture closed, the question about it over the window.
void FirstStartScene(TSceneCamera& camera) {
  TSceneEditor editor(0, 0);
  Settle();
  camera.ShootScreen("window");
  editor.OpenSample();
  QTimer::singleShot(300, editor.form.get(), [&camera] {
    Settle();
    camera.ShootScreen("save-question");
    if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) box->reject();
    else camera.Fail("no question about the unsaved picture");
  });
  editor.form->Commands().Trigger("MenuFichierFermer");
}

// The picture of the README and the help page, on a profile of its own (a first start):
// the window with a document and the tool palette, and Sheerlay over it on the first
// mask the program ships, previewed.
void ReadmeScene(TSceneCamera& camera) {
  TSceneEditor editor(960, 640);
  TMainForm& window = *editor.form;
  window.Palette().SetPaletteAlignment(1);
  window.Palette().ShowPalette();
  TNewImgForm& doc = editor.OpenSample(false, "/home/claire/Images/baie.qxi");
  doc.showMaximized();
  doc.FitWindowToImage(true, false);
  Settle();
  if (!window.Commands().Trigger("MenuSheerlay")) return camera.Fail("Sheerlay does not open");
  Settle();
  QWidget* dialog = window.findChild<QWidget*>(QStringLiteral("TSLForm"));
  auto* preview = dialog ? dialog->findChild<QPushButton*>(QStringLiteral("BApercu")) : nullptr;
  if (!preview || !preview->isEnabled()) return camera.Fail("Sheerlay has no mask on a first start");
  dialog->move(window.geometry().right() - dialog->width() - 40, window.geometry().top() + 150);
  preview->click();
  Settle();
  camera.ShootWithPopups(window, "window");
  if (auto* cancel = dialog->findChild<QPushButton*>(QStringLiteral("BAnnuler"))) cancel->click();
}

void TranslatedWindowShots(TSceneCamera& camera, const std::function<void(const QString& home)>& withModule);

// The main window under a translation module: the English sample the build makes in
// translations/ beside the program, put where a user puts a module. The window with a
// document, then its File menu open, then the Adjust menu with the tool palette and
// the image browser, and the gaussian blur dialog; then every dialog, as the dialogs
// scene shoots them.
void TranslationScene(TSceneCamera& camera) {
  const QString module = QCoreApplication::applicationDirPath() + "/translations/english.plg";
  if (!QFileInfo::exists(module)) return camera.Fail("no translation module " + module.toStdString());
  const auto withModule = [&module](const QString& home) {
    QFile::copy(module, home + "/" + QFileInfo(module).fileName());
  };
  TranslatedWindowShots(camera, withModule);
  ShootEveryDialog(camera, withModule);
}

void TranslatedWindowShots(TSceneCamera& camera, const std::function<void(const QString& home)>& withModule) {
  TSceneEditor editor(1200, 860, withModule);
  TMainForm& window = *editor.form;
  TCommandSet& commands = window.Commands();
  TNewImgForm& doc = editor.OpenSample(false, "/home/claire/Images/baie.qxi");
  camera.Shoot(window, "main");
  commands.MenuBar()->setActiveAction(commands.Menu("MenuFichier")->menuAction());
  Settle();
  Settle();
  camera.ShootWithPopups(window, "file");
  commands.Menu("MenuFichier")->close();
  Settle();
  window.Palette().SetPaletteAlignment(2);
  window.Palette().ShowPalette();
  commands.Trigger("MenuExplore");
  doc.showMaximized();
  Settle();
  commands.MenuBar()->setActiveAction(commands.Menu("MenuReglage")->menuAction());
  Settle();
  Settle();
  camera.ShootWithPopups(window, "adjust");
  commands.Menu("MenuReglage")->close();
  Settle();
  if (commands.Trigger("MenuFiltreFlouGauss")) {
    Settle();
    camera.ShootWithPopups(window, "dialog");
    if (auto* dialog = window.findChild<QWidget*>(QStringLiteral("TBlurForm")))
      if (auto* cancel = dialog->findChild<QPushButton*>(QStringLiteral("BAnnuler"))) cancel->click();
    Settle();
  }
}

// The save-time dialogs and the icon and animation exports over a maximised document:
// the JPEG dialog after a preview at quality 10 (the blocks are seen in the window), the
// PNG and GIF options, the icon export and the animated GIF editor. Each shot takes the
// whole screen, the dialog over its document.
void SaveDialogsScene(TSceneCamera& camera) {
  QMdiArea area;
  area.move(0, 0);
  area.resize(1100, 760);
  area.show();
  TImageWindows windows(area);
  TLayeredImage sunset;
  MakeSampleDocument(sunset, false);
  TImageWindowSetup setup;
  setup.SourceImage = &sunset;
  setup.FileName = "/home/claire/Images/baie.jpg";
  setup.IsNew = false;
  TNewImgForm* doc = TNewImgForm::CreateWithImage(windows, std::move(setup));
  doc->showMaximized();
  doc->FitWindowToImage(true, false);
  Settle();
  auto shootOver = [&](QDialog& dialog, const std::string& shot, std::function<void()> before) {
    QTimer::singleShot(200, &dialog, [&, shot, before] {
      dialog.move(area.width() - dialog.width() - 40, 80);
      if (before) before();
      Settle();
      camera.ShootScreen(shot);
      dialog.reject();
    });
  };

  TJPGCompressForm jpeg(&area);
  TJpegWriteOptions jpegOptions{10, false};
  bool keepExif = true;
  shootOver(jpeg, "jpeg", [&] { jpeg.Preview(); });
  jpeg.Execute(doc, doc->FileName(), jpegOptions, keepExif);

  TPNGCompressForm png(&area);
  TPngWriteOptions pngOptions;
  png.Filters->button(5)->setChecked(true);
  shootOver(png, "png", {});
  png.Execute("baie.png", pngOptions);

  TGIFCompressForm gif(&area);
  TGifWriteOptions gifOptions;
  shootOver(gif, "gif", {});
  gif.Execute("baie.gif", gifOptions);

  TIconForm icon(&area);
  shootOver(icon, "icon", {});
  icon.Execute(*doc, {});

  TGifAnimForm anim(&area);
  anim.Open(*doc, {});
  anim.move(area.width() - anim.width() - 40, 80);
  anim.CBImages->setCurrentIndex(1);
  Settle();
  camera.ShootScreen("gifanim");
  anim.close();
}

// File > Ouvrir over the main window, in the detailed view of a folder of pictures,
// one of them selected: its preview beside the list.
void OpenDialogScene(TSceneCamera& camera) {
  std::string photo;
  TSceneEditor editor(1200, 860, [&photo](const QString& home) {
    const QString folder = home + "/Images";
    QDir().mkpath(folder + "/Vacances");
    TLayeredImage sunset;
    MakeSampleDocument(sunset, false);
    photo = (folder + "/coucher de soleil sur la baie.jpg").toStdString();
    WriteJpegFile(photo, sunset.ComposedBitmap(), TJpegWriteOptions{90, false});
    WriteJpegFile((folder + "/ciel.jpg").toStdString(), SmallGradient(), TJpegWriteOptions{90, false});
    QFile ini(home + "/Quillomatic.ini");
    if (ini.open(QIODevice::WriteOnly)) ini.write(("[Params]\nOpen=" + folder + "\n").toUtf8());
  });
  QTimer::singleShot(300, editor.form.get(), [&] {
    auto* dialog = dynamic_cast<TOpenPictureDialog*>(QApplication::activeModalWidget());
    if (!dialog) {
      camera.Fail("no open dialog");
      if (QWidget* w = QApplication::activeModalWidget()) w->close();
      return;
    }
    dialog->setViewMode(QFileDialog::Detail);
    dialog->move(editor.form->x() + 60, editor.form->y() + 80);
    dialog->selectFile(QString::fromStdString(photo));
    // the folder is read in the background
    QEventLoop wait;
    QTimer::singleShot(500, &wait, &QEventLoop::quit);
    wait.exec();
    Settle();
    camera.ShootScreen("open");
    dialog->reject();
  });
  editor.form->Commands().Trigger("MenuFichierOuvrir");
}

// The Preferences dialog over the main window: its folders page, its history page, then
// its JPEG page with a forced quality.
void PreferencesScene(TSceneCamera& camera) {
  TSceneEditor editor;
  TMainForm& window = *editor.form;
  TPrefForm& prefs = *window.Preferences();
  prefs.LoadControls();
  prefs.EdiDirOuvrir->setText(QStringLiteral("/home/camille/Images"));
  prefs.show();
  prefs.move(window.x() + 200, window.y() + 120);
  prefs.ShowPage(0);
  Settle();
  camera.ShootScreen("folders");
  prefs.ShowPage(2);
  Settle();
  camera.ShootScreen("history");
  prefs.ShowPage(7);
  prefs.RBForcer->setChecked(true);
  prefs.TBCompress->setValue(85);
  Settle();
  camera.ShootScreen("jpeg");
  prefs.reject();
}

// The main window's menus and tool bars as the command table builds them: the File
// menu, then the Filter menu with its colour sub-menu open, then the image pop-up and
// the layer pop-up, as a user sees them today (the commands not built yet greyed).
void CommandsScene(TSceneCamera& camera) {
  TSceneEditor editor;
  TMainForm& window = *editor.form;
  TCommandSet& commands = window.Commands();
  TNewImgForm& doc = editor.OpenSample();
  doc.Image().ColorCount = 16777216;
  window.UpdateCommandStates();
  Settle();

  auto open = [&](const char* menu, const char* sub) {
    commands.MenuBar()->setActiveAction(commands.Menu(menu)->menuAction());
    Settle();
    if (sub) commands.Menu(menu)->setActiveAction(commands.Menu(sub)->menuAction());
    Settle();
  };
  open("MenuFichier", nullptr);
  camera.ShootWithPopups(window, "file");
  commands.Menu("MenuFichier")->close();
  open("MenuFiltre", "MenuFiltreCouleur");
  camera.ShootWithPopups(window, "filter");
  commands.Menu("MenuFiltreCouleur")->close();
  commands.Menu("MenuFiltre")->close();
  Settle();
  commands.Menu("PopImg")->popup(window.Area().mapToGlobal(QPoint(300, 200)));
  Settle();
  camera.ShootWithPopups(window, "image-popup");
  commands.Menu("PopImg")->close();
  Settle();
  commands.Menu("PopCalque")->popup(window.Area().mapToGlobal(QPoint(300, 200)));
  Settle();
  camera.ShootWithPopups(window, "layer-popup");
  commands.Menu("PopCalque")->close();
  Settle();
  // The free transform's handles around the sun's layer, one corner pulled.
  doc.Image().SetActiveLayerIndex(1);
  window.Distortion().Open(TLayerTransformMode::Distort);
  if (TVerticesControl* frame = window.Distortion().Control()) {
    TVerticesControl::TPoints corners = frame->Points();
    const TPoint from = doc.View().ImageToClientPoint(corners[2]);
    const TPoint to{from.X + 90, from.Y + 60};
    QWidget* target = doc.View().viewport();
    auto send = [target](QEvent::Type type, TPoint p, Qt::MouseButton button, Qt::MouseButtons held) {
      QMouseEvent e(type, QPointF(p.X, p.Y), target->mapToGlobal(QPointF(p.X, p.Y)), button, held, Qt::NoModifier);
      QApplication::sendEvent(target, &e);
    };
    send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, TPoint{from.X + 45, from.Y + 30}, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
  }
  Settle();
  camera.Shoot(window, "transform-frame");
  window.Distortion().Cancel();
}

// A panel of colour fields as the parameter dialogs show them, and a colour picker
// with its popup dropped down (the named and system colours, the default button
// showing the palette's colour), then with its custom area open.
void ColorPickerScene(TSceneCamera& camera) {
  SetColorEditCustomText(QString::fromStdString(Tr(TextId::GetDlgOtherColors)));
  SetColorEditDefaultText(QStringLiteral(" "));  // any text: the button shows the default colour
  SetColorEditDefaultColor(RGB(200, 60, 40));
  QWidget window;
  window.setWindowTitle(QString::fromUtf8(kAppTitle));
  auto* column = new QVBoxLayout(&window);
  for (TColor c : {TColor(0x0000FF), TColor(0x993333), TColor(clBtnFace)}) {
    auto* edit = new TColorEdit(&window);
    edit->SetColor(c);
    column->addWidget(edit);
  }
  auto* picker = new TColorPicker(&window);
  picker->SetCustomText(ColorEditCustomText());
  picker->SetDefaultText(ColorEditDefaultText());
  picker->SetShowSystemColors(true);
  picker->SetClickDropDown(true);
  picker->SetSelectionColor(0x00CCFF);
  picker->setFixedSize(60, 24);
  column->addWidget(picker);
  column->addStretch(1);
  window.resize(260, 420);
  window.move(40, 40);
  window.show();
  Settle();
  picker->DropDown();
  picker->Popup()->SetHotEntry(28);
  Settle();
  camera.ShootWithPopups(window, "popup");
  picker->Popup()->Choose(TColorPopup::kCustomEntry);
  Settle();
  camera.ShootWithPopups(window, "custom");
  picker->CloseUp();
}

// A landscape-like sample picture: a sky, hills and a sun, in hues of its own.
TBitmap SamplePicture(int w, int h, double hue) {
  TBitmap b(w, h, pf24bit, clBlack);
  const double sunX = w * (0.25 + 0.5 * std::fmod(hue * 1.7, 1.0)), sunY = h * 0.3, sunR = h * 0.12;
  for (int y = 0; y < h; ++y) {
    uint8_t* p = b.ScanLine(y);
    for (int x = 0; x < w; ++x, p += 3) {
      const double ridge = h * 0.6 + h * 0.1 * std::sin(x * 6.0 / w + hue * 7);
      double r, g, bl;
      if (y > ridge) {
        const double t = double(y - ridge) / h;
        r = 60 + 80 * hue - 40 * t, g = 110 + 60 * std::sin(hue * 5) - 50 * t, bl = 40 + 30 * t;
      } else {
        const double t = double(y) / h;
        r = 90 + 150 * t * hue + 40, g = 130 + 80 * t, bl = 230 - 90 * t * hue;
      }
      if ((x - sunX) * (x - sunX) + (y - sunY) * (y - sunY) < sunR * sunR) r = 255, g = 220, bl = 120;
      p[0] = uint8_t(std::clamp(bl, 0.0, 255.0));
      p[1] = uint8_t(std::clamp(g, 0.0, 255.0));
      p[2] = uint8_t(std::clamp(r, 0.0, 255.0));
    }
  }
  return b;
}

// The image browser under the work area, over a folder of sample pictures (photos with
// EXIF, IPTC and comments, a PNG, a bitmap, a long name).
void BrowserScene(TSceneCamera& camera) {
  QTemporaryDir dir;
  const std::string folder = dir.path().toStdString();
  struct TSample {
    const char* name;
    int w, h;
    bool exif, iptc, comment;
  } samples[] = {{"baie_du_soir.jpg", 1600, 1067, true, false, false},
                 {"falaises.jpg", 1200, 1600, true, true, false},
                 {"phare.png", 800, 800, false, false, false},
                 {"port_de_peche_au_lever_du_jour.jpg", 1800, 1200, true, false, true},
                 {"dunes.bmp", 640, 360, false, false, false},
                 {"Marais.JPG", 1500, 1000, true, true, true},
                 {"chapelle.jpg", 900, 1200, false, false, true},
                 {"estuaire.jpg", 2000, 1000, true, false, false},
                 {"vue_panoramique_2024.jpeg", 2400, 800, false, true, false}};
  double hue = 0.1;
  const TPictureFileSettings files;
  for (const TSample& s : samples) {
    const std::string file = folder + "/" + s.name;
    TBitmap picture = SamplePicture(s.w, s.h, hue);
    hue += 0.11;
    std::string name = file;
    if (SaveBitmapFile(files, name, picture) != 1) continue;
    if (!(s.exif || s.iptc || s.comment)) continue;
    try {
      auto image = Exiv2::ImageFactory::open(file);
      image->readMetadata();
      if (s.exif) {
        Exiv2::ExifData exif;
        exif["Exif.Image.Make"] = "Quillocam";
        image->setExifData(exif);
      }
      if (s.iptc) {
        Exiv2::IptcData iptc;
        iptc["Iptc.Application2.Caption"] = "Morvek";
        image->setIptcData(iptc);
      }
      if (s.comment) image->setComment("Bretagne");
      image->writeMetadata();
    } catch (...) {
    }
  }

  TSceneEditor editor(900, 560);
  TMainForm& window = *editor.form;
  window.Commands().Trigger("MenuExplore");
  TExplorForm* browser = window.Browser();
  if (!browser) return;
  browser->LoadBrowserFolder(folder);
  browser->WaitUntilLoaded();
  browser->List->setCurrentRow(2);
  Settle();
  camera.Shoot(window, "folder");

  browser->RunAction(TExplorAction::Sort);
  browser->List->setCurrentRow(0);
  browser->AlignBrowserToolbar(true);
  Settle();
  camera.Shoot(window, "unsorted-right");
}

// The tool palette: docked on the right beside a document, each tool's page, floating
// over the main window, and a brush stroke and an airbrush stroke painted by dragging on
// the image.
void PaletteScene(TSceneCamera& camera) {
  TSceneEditor editor;
  TNewImgForm& w = editor.OpenSample();
  w.showMaximized();
  Settle();
  TOutilsForm& palette = editor.form->Palette();
  palette.SetPaletteAlignment(2);
  palette.ShowPalette();
  Settle();
  camera.Shoot(*editor.form, "docked");
  for (const TToolRow& row : ToolRows()) {
    palette.SelectTool(row.Tool);
    Settle();
    camera.Shoot(palette, std::string("page-") + row.Button);
  }

  // a drag on the image, as the pointer gives it
  QWidget* vp = w.View().viewport();
  const auto send = [vp](QEvent::Type type, TPoint client, Qt::MouseButtons held) {
    const QPointF at(client.X, client.Y);
    QMouseEvent e(type, at, vp->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held,
                  Qt::NoModifier);
    QApplication::sendEvent(vp, &e);
  };
  const auto drag = [&](TPoint from, TPoint to) {
    send(QEvent::MouseButtonPress, w.View().LayerToClientPoint(from), Qt::LeftButton);
    for (int i = 1; i <= 24; ++i) {
      const double t = i / 24.0;
      const TPoint p{from.X + int((to.X - from.X) * t), from.Y + int((to.Y - from.Y) * t + 40 * std::sin(t * 6.3))};
      send(QEvent::MouseMove, w.View().LayerToClientPoint(p), Qt::LeftButton);
    }
    send(QEvent::MouseButtonRelease, w.View().LayerToClientPoint(to), Qt::NoButton);
  };
  palette.SelectTool(TTool::Brush);
  palette.findChild<QComboBox*>(QStringLiteral("CBTailleBrush"))->setEditText(QStringLiteral("15"));
  palette.SetPaletteColor(0x2050E0, false);
  drag(TPoint{60, 120}, TPoint{460, 160});
  palette.SelectTool(TTool::Airbrush);
  palette.SetPaletteColor(0xC08020, false);
  drag(TPoint{80, 260}, TPoint{480, 300});
  Settle();
  camera.Shoot(*editor.form, "stroke");

  palette.SetPaletteAlignment(0);
  palette.ShowPalette();
  Settle();
  camera.ShootScreen("floating");
}

// The photograph of the editing scenes, maximised and fitted in its window.
TNewImgForm& OpenBayPhoto(TSceneEditor& editor) {
  const TBitmap picture = SamplePicture(900, 600, 0.35);
  TNewImgForm& doc = editor.Open(nullptr, &picture, "/photos/baie.jpg");
  doc.showMaximized();
  doc.FitWindowToImage(true, false);
  return doc;
}

// The full-screen view of a photograph among others of its folder, then of the next
// one after Page Down.
void FullScreenScene(TSceneCamera& camera) {
  QTemporaryDir folder;
  const std::string first = folder.filePath("baie.jpg").toStdString(), next = folder.filePath("falaise.jpg").toStdString();
  WriteJpegFile(first, SamplePicture(2400, 1600, 0.35), TJpegWriteOptions{90, false});
  WriteJpegFile(next, SamplePicture(900, 1200, 0.7), TJpegWriteOptions{90, false});
  TSceneEditor editor;
  TMainForm& window = *editor.form;
  window.Files().OpenImageFile(first, true, true);
  Settle();
  if (!window.Commands().Trigger("MenuZoomPe")) return camera.Fail("the full-screen command did not run");
  Settle();
  QWidget* view = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == QLatin1String("PeForm") && w->isVisible()) view = w;
  if (!view) return camera.Fail("no full-screen view");
  camera.Shoot(*view, "fitted");
  QKeyEvent down(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
  QApplication::sendEvent(view, &down);
  Settle();
  camera.Shoot(*view, "next");
  view->hide();
}

// A photograph in the editor, an elliptical selection shown, before and after a filter
// run from its menu command ("Photo ancienne"), then a texture ("Brique").
void FiltersScene(TSceneCamera& camera) {
  TSceneEditor editor(1000, 760);
  TMainForm& window = *editor.form;
  TNewImgForm& doc = OpenBayPhoto(editor);
  doc.Selection().SetShape(ssEllipse);
  doc.Selection().SetSelectionRect(TRect{160, 90, 740, 510});
  window.Selection().ResetSelectionMode();
  Settle();
  camera.Shoot(window, "before");
  window.Commands().Trigger("MenuFiltreVieillir3");
  Settle();
  camera.Shoot(window, "after");
  window.Commands().Trigger("MenuEditionUndo");
  window.Commands().Trigger("MenuTextureBrique");
  Settle();
  camera.Shoot(window, "texture");
}

// The Edit and Layer menus at work: a picture pasted into an elliptical selection,
// fitted to it; then the layer pop-up over a document of several layers.
void LayersScene(TSceneCamera& camera) {
  TSceneEditor editor(1000, 760);
  TMainForm& window = *editor.form;
  TNewImgForm& doc = OpenBayPhoto(editor);
  TBitmap pasted = SamplePicture(400, 300, 0.8);
  CopyBitmapWithMask(ClipboardData(), &pasted, nullptr);
  Settle();
  doc.Selection().SetShape(ssEllipse);
  doc.Selection().SetSelectionRect(TRect{250, 120, 650, 480});
  window.Selection().ResetSelectionMode();
  window.UpdateCommandStates();
  window.Commands().Trigger("MenuEditionCollerIn2");
  Settle();
  camera.Shoot(window, "paste-into");
  TNewImgForm& layers = editor.OpenSample();
  layers.Image().ColorCount = 16777216;
  SelectLayer(window.Services().LayerHost(), layers.Image().Layers[1]);  // the sun, with its shadow
  window.UpdateCommandStates();
  Settle();
  QMenu* popup = window.Commands().Menu("PopCalque");
  emit popup->aboutToShow();
  popup->popup(layers.Navigator().mapToGlobal(QPoint(40, 60)));
  Settle();
  camera.ShootWithPopups(window, "layer-popup");
  popup->close();
}

struct TSceneRow {
  std::string name;
  TSceneFunction run;
};

std::vector<TSceneRow>& Scenes() {
  static std::vector<TSceneRow> scenes{
      {"views", &ViewsScene},
      {"textlayers", &TextLayersScene},
      {"windows", &WindowsScene},
      {"commands", &CommandsScene},
      {"colorpicker", &ColorPickerScene},
      {"browser", &BrowserScene},
      {"mainwindow", &MainWindowScene},
      {"firststart", &FirstStartScene},
      {"readme", &ReadmeScene},
      {"fullscreen", &FullScreenScene},
      {"filters", &FiltersScene},
      {"savedialogs", &SaveDialogsScene},
      {"palette", &PaletteScene},
      {"layers", &LayersScene},
      {"preferences", &PreferencesScene},
      {"opendialog", &OpenDialogScene},
      {"dialogs", &DialogsScene},
      {"translation", &TranslationScene},
      {"scanning", &ScanningScene},
      {"printing", &PrintingScene},
      {"batch", &BatchScene},
      {"plugins", &PluginsScene},
  };
  return scenes;
}

}  // namespace

bool TSceneCamera::Shoot(QWidget& window, const std::string& shot) { return Write(window.grab(), shot); }

bool TSceneCamera::ShootWithPopups(QWidget& window, const std::string& shot) {
  // The screen as it shows the window and its open menus and popups, where the platform
  // can give it (under X); else the window and each popup grabbed alone, laid out as
  // they stand.
  QRect area = window.frameGeometry();
  std::vector<QWidget*> popups, dialogs;
  constexpr int kTitle = 22;  // the stand-in title bar of a dialog
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w == &window || !w->isVisible()) continue;
    if (w->windowType() == Qt::Popup) {
      popups.push_back(w);
      area |= w->geometry();
    } else if (w->windowType() == Qt::Tool || w->windowType() == Qt::Dialog) {
      dialogs.push_back(w);
      area |= w->geometry().adjusted(0, -kTitle, 0, 0);
    }
  }
  QPixmap picture;
  if (QScreen* screen = window.screen(); screen && QGuiApplication::platformName() == "xcb")
    picture = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
  const bool grabbed = !picture.isNull();
  if (!grabbed) {
    picture = QPixmap(area.size());
    picture.fill(Qt::white);
  }
  QPainter painter(&picture);
  if (!grabbed) {
    painter.drawPixmap(window.geometry().topLeft() - area.topLeft(), window.grab());
    for (QWidget* w : dialogs) painter.drawPixmap(w->geometry().topLeft() - area.topLeft(), w->grab());
    for (QWidget* w : popups) painter.drawPixmap(w->pos() - area.topLeft(), w->grab());
  }
  for (QWidget* w : dialogs) {
    const QRect bar(w->geometry().left() - area.x(), w->geometry().top() - area.y() - kTitle, w->width(), kTitle);
    painter.fillRect(bar, w->palette().color(QPalette::Highlight));
    painter.setPen(w->palette().color(QPalette::HighlightedText));
    painter.drawText(bar.adjusted(8, 0, -8, 0), Qt::AlignVCenter | Qt::AlignLeft, w->windowTitle());
  }
  painter.end();
  return Write(picture, shot);
}

bool TSceneCamera::ShootScreen(const std::string& shot) {
  QScreen* screen = QGuiApplication::primaryScreen();
  return Write(screen ? screen->grabWindow(0) : QPixmap(), shot);
}

void TSceneCamera::Fail(const std::string& why) {
  std::fprintf(stderr, "%s: %s\n", scene_.c_str(), why.c_str());
  ++failures_;
}

bool TSceneCamera::Write(const QPixmap& picture, const std::string& shot) {
  const QString file = QDir(folder_).filePath(QString::fromStdString(scene_ + "-" + shot + ".png"));
  const bool ok = picture.save(file, "PNG");
  std::fprintf(ok ? stdout : stderr, "%s %s\n", ok ? "wrote" : "could not write", file.toLocal8Bit().constData());
  if (!ok) ++failures_;
  return ok;
}

void RegisterScene(const std::string& name, TSceneFunction run) {
  for (TSceneRow& row : Scenes())
    if (row.name == name) {
      row.run = run;
      return;
    }
  Scenes().push_back({name, run});
}

std::vector<std::string> SceneNames() {
  std::vector<std::string> names;
  for (const TSceneRow& row : Scenes()) names.push_back(row.name);
  return names;
}

int RunScene(const std::string& name, const QString& folder, const TMainForm::TStartOptions& options) {
  g_sceneOptions = options;
  for (const TSceneRow& row : Scenes()) {
    if (name != row.name) continue;
    QDir().mkpath(folder);
    TSceneCamera camera(name, folder);
    row.run(camera);
    return camera.Failures() > 0 ? 1 : 0;
  }
  return 2;
}

}  // namespace qm
