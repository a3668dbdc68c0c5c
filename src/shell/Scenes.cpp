#include "shell/Scenes.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMdiArea>
#include <QPainter>
#include <QPixmap>
#include <QThread>
#include <QWidget>
#include <cstdio>

#include "document/LayerHost.h"
#include "document/LayerOps.h"
#include "document/qt/Clipboard.h"
#include "document/qt/SelectionLayerOps.h"
#include "document/qt/TextRender.h"
#include "views/ImageWindows.h"
#include "views/WindowLayerHost.h"
#include "pixel/ImgUtils.h"
#include "shell/StartWindow.h"

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

// The document view: three layers, the marching ants of a selection, the transform
// handles, a close look with the grid, and a background that lets the checkerboard
// through.
void ViewsScene(TSceneCamera& camera) {
  TStartWindow w;
  w.show();
  TMyImageLayered& view = w.View();
  view.ZoomToFitWindow();
  SettleScene();
  camera.Shoot(w, "document");

  TSelectionControl& sel = w.Selection();
  sel.SetShape(ssEllipse);
  sel.SetSelectionRect(TRect{640, 240, 1040, 620});
  sel.Show();
  SettleScene();
  camera.Shoot(w, "selection");

  sel.Hide();
  w.Document().SetActiveLayerIndex(2);
  TVerticesControl& handles = w.Handles();
  handles.SetCornersFromRect(w.Document().GetActiveLayerBounds());
  handles.Show();
  SettleScene();
  camera.Shoot(w, "handles");
  handles.Hide();

  view.SetZoom(4);
  view.SetShowGrid(true);
  view.SetGridWidth(8);
  view.ScrollToShowRect(TRect{690, 380, 760, 440});
  sel.SetShape(ssRect);
  sel.SetSelectionRect(TRect{700, 390, 740, 420});
  sel.Show();
  SettleScene();
  camera.Shoot(w, "zoom");
  sel.Hide();

  view.SetShowGrid(false);
  TStartWindow::MakeSampleDocument(w.Document(), true);
  view.ZoomToFitWindow();
  SettleScene();
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
  SettleScene();
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
  SettleScene();
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
  SettleScene();
  camera.Shoot(area, "cascade");

  // The first one maximised, given a title in a text layer, and an ellipse of its sky
  // copied and pasted back as a layer of its own (the selection still shown).
  TNewImgForm& doc = *windows.Windows()[0];
  windows.ActivateImageWindow(&doc);
  doc.showMaximized();
  doc.FitWindowToImage(true, false);
  SettleScene();
  TWindowLayerHost host(windows);
  TTextData title = ShadowedTitle("DejaVu Serif", 60, RGB(255, 236, 200), RGB(60, 10, 40));
  title.FontStyle = fsBold | fsItalic;
  title.Lines = {"Soir sur la baie"};
  CreateTextLayer(host, MakeNewLayerName(host), title, true, TRect{360, 60, 840, 160});
  CopyEllipseOfBackground(host, doc.Image(), doc.Selection(), TRect{660, 260, 920, 540});
  const int pasted = PasteAsNewLayer(host, ClipboardData(), MakeNewLayerName(host));
  if (pasted > 0) doc.Image().MoveTo(900, 420);
  SettleScene();
  camera.Shoot(area, "text-and-paste");
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
  };
  return scenes;
}

}  // namespace

bool TSceneCamera::Shoot(QWidget& window, const std::string& shot) { return Save(window.grab(), shot); }

bool TSceneCamera::ShootWithTopLevels(QWidget& window, const std::string& shot) {
  QPixmap picture = window.grab();
  QPainter painter(&picture);
  const QPoint origin = window.mapToGlobal(QPoint(0, 0));
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w == &window || !w->isVisible() || !w->isWindow()) continue;
    const QPoint at = w->mapToGlobal(QPoint(0, 0)) - origin;
    painter.drawPixmap(at, w->grab());
    // The virtual X server has no window manager: a plain title bar stands in for its.
    const QRect bar(at.x(), at.y() - 22, w->width(), 22);
    painter.fillRect(bar, w->palette().color(QPalette::Highlight));
    painter.setPen(w->palette().color(QPalette::HighlightedText));
    painter.drawText(bar.adjusted(8, 0, -8, 0), Qt::AlignVCenter | Qt::AlignLeft, w->windowTitle());
  }
  painter.end();
  return Save(picture, shot);
}

bool TSceneCamera::Save(const QPixmap& picture, const std::string& shot) {
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

int RunScene(const std::string& name, const QString& folder) {
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
