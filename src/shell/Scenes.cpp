#include "shell/Scenes.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QPixmap>
#include <QTemporaryDir>
#include <QVBoxLayout>
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
#include "views/ImageWindows.h"
#include "views/WindowLayerHost.h"
#include "pixel/ImgUtils.h"
#include "shell/CommandSet.h"
#include "imagefiles/BmpCodec.h"
#include "imagefiles/JpegCodec.h"
#include "imagefiles/PictureFiles.h"
#include "shell/AdjustCommands.h"
#include "shell/Explor.h"
#include "shell/FilterCommands.h"
#include "shell/SelectionCommands.h"
#include "shell/ShellServices.h"
#include "shell/StartWindow.h"

namespace qm {
namespace {

void Settle() {
  // twice: a paint may queue another (the scroll ranges follow a new image size)
  for (int i = 0; i < 2; ++i) {
    QApplication::processEvents();
    QThread::msleep(30);
  }
  QApplication::processEvents();
}

// The document view: three layers, the marching ants of a selection, the transform
// handles, a close look with the grid, and a background that lets the checkerboard
// through.
void ViewsScene(TSceneCamera& camera) {
  TStartWindow w;
  w.show();
  TMyImageLayered& view = w.View();
  view.ZoomToFitWindow();
  Settle();
  camera.Shoot(w, "document");

  TSelectionControl& sel = w.Selection();
  sel.SetShape(ssEllipse);
  sel.SetSelectionRect(TRect{640, 240, 1040, 620});
  sel.Show();
  Settle();
  camera.Shoot(w, "selection");

  sel.Hide();
  w.Document().SetActiveLayerIndex(2);
  TVerticesControl& handles = w.Handles();
  handles.SetCornersFromRect(w.Document().GetActiveLayerBounds());
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
  TStartWindow::MakeSampleDocument(w.Document(), true);
  view.ZoomToFitWindow();
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

// The start window's document as the layer operations see it.
class TStartWindowHost : public TLayerHost {
 public:
  explicit TStartWindowHost(TStartWindow& w) : w_(w) { w.Document().SetHistory(&history_); }
  ~TStartWindowHost() override { w_.Document().SetHistory(nullptr); }
  TLayeredImage* ActiveImage() override { return &w_.Document(); }
  TUndoList* ActiveHistory() override { return &history_; }
  int NextLayerNumber() override { return ++counter_; }
  TRect VisibleImageRect() override { return w_.View().ClientToImageRect(w_.View().GetVisibleImageRect()); }
  void LayerStackChanged(TLayerChange, int) override {
    w_.Navigator().SyncLayerNavigatorCount();
    w_.Navigator().InvalidateLayerNavigator(true);
  }
  void HideSelection() override { w_.Selection().Hide(); }
  void ShowSelection() override { w_.Selection().Show(); }
  TSelectionOverlay* ActiveSelection() override { return &w_.Selection(); }
  const TBitmap* PreChangeCopy() override { return nullptr; }
  TSelectionSmoothing SelectionSmoothing() override { return selSmoothEdge; }
  void ResnapUndoStep(const TRect&) override {}
  void OpenImageDocument(TBitmap&&, int, const std::string&) override {}
  void SetFillPattern(TBitmap&&) override {}

 private:
  TStartWindow& w_;
  TUndoList history_;
  int counter_ = 10;  // past the sample document's own names
};

// Text layers and the clipboard: an embossed title with its shadow, a turned caption,
// then a feathered ellipse of the picture copied and pasted back as a layer beside it.
void TextLayersScene(TSceneCamera& camera) {
  TStartWindow w;
  w.show();
  w.View().ZoomToFitWindow();
  TStartWindowHost host(w);
  TTextData title = ShadowedTitle("DejaVu Sans", 72, RGB(250, 210, 60), RGB(30, 20, 60));
  title.FontStyle = fsBold;
  title.Relief = true;
  title.Lines = {"Quillomatic", "Morvek"};
  title.Alignment = 1;
  const TRect whole = GetBitmapRect(w.Document().Layers[0].Image);
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
  camera.Shoot(w, "text");

  TSelectionControl& sel = w.Selection();
  CopyEllipseOfBackground(host, w.Document(), sel, TRect{620, 220, 1060, 640});
  sel.Hide();
  const int pasted = PasteAsNewLayer(host, ClipboardData(), MakeNewLayerName(host));
  if (pasted > 0) {
    TLayerItem& l = w.Document().Layers[pasted];
    l.Left = 80;
    l.Top = whole.Height() - l.Image.Height() - 40;
    w.Document().InvalidateImage();
  }
  Settle();
  camera.Shoot(w, "pasted");
}

// Document windows in the main window's area: three cascaded (the last with a
// selection), then one maximised with a text layer and a pasted selection.
void WindowsScene(TSceneCamera& camera) {
  QMdiArea area;
  area.resize(1100, 760);
  area.show();
  TImageWindows windows(area);
  TLayeredImage sunset;
  TStartWindow::MakeSampleDocument(sunset, false);
  TImageWindowSetup setup;
  setup.SourceImage = &sunset;
  TNewImgForm::CreateWithImage(windows, setup);
  TLayeredImage open;
  TStartWindow::MakeSampleDocument(open, true);
  setup.SourceImage = &open;
  setup.IsNew = false;
  setup.FileName = "/home/claire/Images/coucher de soleil sur la baie.qxi";
  TNewImgForm::CreateWithImage(windows, setup);
  TBitmap small(320, 200);
  for (int y = 0; y < 200; ++y)
    small.FillRect(TRect{0, y, 320, y + 1}, HSVToColor(200 + y / 10, 90, 255 - y / 2));
  setup = TImageWindowSetup{};
  setup.Bitmap = &small;
  TNewImgForm* last = TNewImgForm::CreateWithImage(windows, setup);
  last->Selection().SetShape(ssEllipse);
  last->Selection().SetSelectionRect(TRect{60, 40, 260, 160});
  last->Selection().Show();
  Settle();
  camera.Shoot(area, "cascade");

  // The first one maximised, given a title in a text layer, and an ellipse of its sky
  // copied and pasted back as a layer of its own (the selection still shown).
  TNewImgForm& doc = *windows.Windows()[0];
  windows.ActivateImageWindow(&doc);
  doc.showMaximized();
  doc.FitWindowToImage(true, false);
  Settle();
  TWindowLayerHost host(windows);
  TTextData title = ShadowedTitle("DejaVu Serif", 60, RGB(255, 236, 200), RGB(60, 10, 40));
  title.FontStyle = fsBold | fsItalic;
  title.Lines = {"Soir sur la baie"};
  CreateTextLayer(host, MakeNewLayerName(host), title, true, TRect{360, 60, 840, 160});
  CopyEllipseOfBackground(host, doc.Image(), doc.Selection(), TRect{660, 260, 920, 540});
  const int pasted = PasteAsNewLayer(host, ClipboardData(), MakeNewLayerName(host));
  if (pasted > 0) doc.Image().MoveTo(900, 420);
  Settle();
  camera.Shoot(area, "text-and-paste");
}

// The main window's menus and tool bars as the command table builds them: the File
// menu, then the Filter menu with its colour sub-menu open, then the image pop-up. The
// scene stands in for the editor's handlers and state (every command wired, every
// condition met), so the menus read as a user will see them.
void CommandsScene(TSceneCamera& camera) {
  QMainWindow window;
  TCommandSet commands(&window);
  for (const TCommandRow& row : CommandRows())
    if (row.Kind == TCommandKind::Item) commands.SetHandler(row.Name, [](const TCommandSender&) {});
  window.setMenuBar(commands.MenuBar());
  window.addToolBar(commands.ToolBar("ToolBar1"));
  window.addToolBar(commands.ToolBar("ToolBar2"));
  window.addToolBarBreak();
  window.addToolBar(commands.ToolBar("ToolBar3"));
  commands.ToolBar("ToolBar4")->hide();  // the plug-ins' bar, shown only when plug-ins exist
  auto* area = new QMdiArea(&window);
  window.setCentralWidget(area);
  window.resize(1200, 900);
  window.move(20, 20);
  window.show();
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
  commands.Menu("PopImg")->popup(area->mapToGlobal(QPoint(300, 200)));
  Settle();
  camera.ShootWithPopups(window, "image-popup");
  commands.Menu("PopImg")->close();
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

// The image browser docked under an empty work area, over a folder of sample pictures
// (photos with EXIF, IPTC and comments, a PNG, a bitmap, a long name), made with a
// thumbnail cache of the scene's own.
void BrowserScene(TSceneCamera& camera) {
  QTemporaryDir dir, cacheDir;
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
  for (const TSample& s : samples) {
    const std::string file = folder + "/" + s.name;
    TBitmap picture = SamplePicture(s.w, s.h, hue);
    hue += 0.11;
    std::string name = file;
    if (SaveBitmapFile(name, picture) != 1) continue;
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

  TExplorHost host;  // outlives the window
  const TThumbnailCache cache(cacheDir.path().toStdString());
  QWidget window;
  window.setWindowTitle(QString::fromUtf8(kAppTitle));
  auto* column = new QVBoxLayout(&window);
  column->setContentsMargins(0, 0, 0, 0);
  auto* area = new QMdiArea(&window);
  column->addWidget(area, 1);
  auto* browser = new TExplorForm(host, &window, &cache);
  column->addWidget(browser);
  window.resize(900, 360);
  window.show();
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

// A photograph in a document window, an elliptical selection shown, before and after
// a filter run from its menu command ("Photo ancienne"), then a texture ("Brique").
void FiltersScene(TSceneCamera& camera) {
  QMainWindow window;
  auto* area = new QMdiArea(&window);
  window.setCentralWidget(area);
  TShellServices services(*area, *window.statusBar(), &window);
  TCommandSet commands(&window);
  RegisterFilterCommands(commands, services, nullptr);
  RegisterAdjustCommands(commands, services, nullptr);
  TSelectionCommands* selection = new TSelectionCommands(commands, services, nullptr);
  window.setMenuBar(commands.MenuBar());
  window.addToolBar(commands.ToolBar("ToolBar3"));
  for (const char* bar : {"ToolBar1", "ToolBar2", "ToolBar4"}) commands.ToolBar(bar)->hide();
  window.resize(1000, 760);
  window.move(20, 20);
  window.show();
  const TBitmap picture = SamplePicture(900, 600, 0.35);
  TNewImgForm* doc = services.CreateImageWindow(&picture, nullptr, 16777216, false, "/photos/baie.jpg");
  doc->showMaximized();
  doc->Selection().SetShape(ssEllipse);
  doc->Selection().SetSelectionRect(TRect{160, 90, 740, 510});
  selection->ResetSelectionMode();
  Settle();
  camera.Shoot(window, "before");
  commands.Trigger("MenuFiltreVieillir3");
  Settle();
  camera.Shoot(window, "after");
  services.UndoCommand(nullptr);
  commands.Trigger("MenuTextureBrique");
  Settle();
  camera.Shoot(window, "texture");
}

struct TSceneRow {
  const char* name;
  void (*run)(TSceneCamera&);
};

const TSceneRow kScenes[] = {
    {"views", &ViewsScene},
    {"textlayers", &TextLayersScene},
    {"windows", &WindowsScene},
    {"commands", &CommandsScene},
    {"browser", &BrowserScene},
    {"filters", &FiltersScene},
};

}  // namespace

bool TSceneCamera::Shoot(QWidget& window, const std::string& shot) { return Write(window.grab(), shot); }

bool TSceneCamera::ShootWithPopups(QWidget& window, const std::string& shot) {
  // The screen as it shows the window and its open menus, where the platform can give
  // it (under X); else the window and each menu grabbed alone, laid out as they stand.
  QRect area = window.frameGeometry();
  std::vector<QWidget*> popups;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && qobject_cast<QMenu*>(w)) {
      popups.push_back(w);
      area |= w->geometry();
    }
  if (QScreen* screen = window.screen()) {
    const QPixmap picture = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    if (!picture.isNull() && QGuiApplication::platformName() == "xcb") return Write(picture, shot);
  }
  QPixmap picture(area.size());
  picture.fill(Qt::white);
  QPainter painter(&picture);
  painter.drawPixmap(window.geometry().topLeft() - area.topLeft(), window.grab());
  for (QWidget* w : popups) painter.drawPixmap(w->pos() - area.topLeft(), w->grab());
  painter.end();
  return Write(picture, shot);
}

bool TSceneCamera::Write(const QPixmap& picture, const std::string& shot) {
  const QString file = QDir(folder_).filePath(QString::fromStdString(scene_ + "-" + shot + ".png"));
  const bool ok = picture.save(file, "PNG");
  std::fprintf(ok ? stdout : stderr, "%s %s\n", ok ? "wrote" : "could not write", file.toLocal8Bit().constData());
  if (!ok) ++failures_;
  return ok;
}

std::vector<std::string> SceneNames() {
  std::vector<std::string> names;
  for (const TSceneRow& row : kScenes) names.emplace_back(row.name);
  return names;
}

int RunScene(const std::string& name, const QString& folder) {
  for (const TSceneRow& row : kScenes) {
    if (name != row.name) continue;
    QDir().mkpath(folder);
    TSceneCamera camera(name, folder);
    row.run(camera);
    return camera.Failures() > 0 ? 1 : 0;
  }
  return 2;
}

}  // namespace qm
