#include <gtest/gtest.h>

#include <QAction>
#include <QMdiArea>
#include <QMenu>
#include <QScrollBar>
#include <filesystem>
#include <string>
#include <vector>

#include "controls/Beep.h"
#include "support/ViewTestSupport.h"
#include "views/DocumentWindow.h"
#include "document/LayerOps.h"
#include "document/qt/Clipboard.h"
#include "document/qt/SelectionLayerOps.h"
#include "views/ImageWindows.h"
#include "views/WindowLayerHost.h"
#include "imagefiles/FileDispatch.h"
#include "imagefiles/PictureFiles.h"
#include "platform/core/Messages.h"
#include "support/TempFiles.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

// The shell's side as the tests need it: what the window told it, a colour-picking
// dialog, a tool, a plug-in.
struct Shell : TDocumentWindowHost {
  bool dialog = false, plugin = false;
  TColorPickTarget* picker = nullptr;
  TImageTool* tool = nullptr;
  TDocumentViewSettings settings;
  std::vector<std::string> events;

  TDocumentViewSettings ViewSettings() const override { return settings; }

  bool IsDialogOpen() const override { return dialog; }
  bool IsPluginLoaded() const override { return plugin; }
  TColorPickTarget* ActiveToolDialog() const override { return picker; }
  TImageTool* ActiveTool() override { return tool; }
  void SendPluginPointClick(TPoint p, int button) override {
    events.push_back("point " + std::to_string(p.X) + "," + std::to_string(p.Y) + " " + std::to_string(button));
  }
  void SendPluginColorPick(TColor c) override { events.push_back("plugin colour " + std::to_string(c)); }
  void WindowActivating(TNewImgForm& w) override { events.push_back("activating " + w.FileName()); }
  void WindowActivated(TNewImgForm& w) override { events.push_back("activated " + w.FileName()); }
};

struct Picker : TColorPickTarget {
  std::vector<TColor> picked;
  void ColorPicked(TColor c) override { picked.push_back(c); }
};

struct Tool : TImageTool {
  std::vector<std::string> calls;
  void Press(TNewImgForm&, const TImagePointer& p) override { calls.push_back("press " + Where(p)); }
  void Move(TNewImgForm&, const TImagePointer& p) override { calls.push_back("move " + Where(p)); }
  void Release(TNewImgForm&, const TImagePointer& p) override { calls.push_back("release " + Where(p)); }
  static std::string Where(const TImagePointer& p) { return std::to_string(p.Client.X) + "," + std::to_string(p.Client.Y); }
};

// The answers the message box gives, in order, and the texts it was shown.
struct Answers {
  std::vector<std::string> texts;
  std::vector<int> replies;
  explicit Answers(std::vector<int> r) : replies(std::move(r)) {
    SetMessageHandler([this](const std::string& text, TMsgType, int, const std::string&) {
      texts.push_back(text);
      if (replies.empty()) return int(mrOk);
      const int a = replies.front();
      replies.erase(replies.begin());
      return a;
    });
  }
  ~Answers() { SetMessageHandler({}); }
};

// The main window's client area with its document windows.
struct Workspace {
  AppReady ready;
  QMdiArea area;
  Shell shell;
  TImageWindows windows{area, &shell};

  Workspace() {
    area.resize(1000, 700);
    area.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&area));
  }
  TNewImgForm* Open(const TBitmap& bmp, const std::string& name = {}, bool isNew = true) {
    TImageWindowSetup setup;
    setup.Bitmap = bmp.Clone();
    setup.FileName = name;
    setup.IsNew = isNew;
    return TNewImgForm::CreateWithImage(windows, std::move(setup));
  }
};

// A user's edit as a command does it: an undo step, then the pixels.
void PaintRect(TNewImgForm& w, TRect r, TColor c) {
  TLayerItem& layer = *w.Image().GetActiveLayer();
  w.History().AddUndoRectStep(layer, r, "Remplissage", uwImage);
  layer.Image.FillRect(r, c);
  w.Image().InvalidateLayerRect(r);
}

void Flush() {
  QApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace

TEST(DocumentWindow, ModifiedFollowsTheHistoryThroughEditUndoPurgeAndSave) {
  TPictureFileSettings files;
  TempFolder dir;
  std::string name = dir.File("photo.bmp");
  TBitmap original = RandomBitmap(120, 90, 7);
  ASSERT_EQ(SaveBitmapFile(files, name, original), 1);
  TBitmap loaded;
  ASSERT_EQ(LoadBitmapFile(files, name, loaded), 1);

  Workspace ws;
  TNewImgForm& w = *ws.Open(loaded, name, false);
  EXPECT_EQ(w.windowTitle(), "photo.bmp");
  EXPECT_FALSE(w.IsImageModified()) << "an opened, untouched file";
  PaintRect(w, TRect{10, 10, 50, 40}, RGB(255, 0, 0));
  EXPECT_TRUE(w.IsImageModified());
  w.History().UndoStep();
  EXPECT_FALSE(w.IsImageModified()) << "undone back to the saved step";
  w.History().RedoStep();
  EXPECT_TRUE(w.IsImageModified());

  ws.windows.PurgeAllHistories();
  EXPECT_EQ(w.History().GetUndoStepCount(), 0);
  EXPECT_FALSE(ws.windows.HasUndoableImage());
  EXPECT_TRUE(w.IsImageModified()) << "a purge keeps a modified document modified";

  // saved through the save dispatch: unmodified, and the file holds the edit
  ASSERT_EQ(ws.shell.SaveImageWindow(w), soSaved);
  EXPECT_FALSE(w.IsImageModified());
  TBitmap back;
  ASSERT_EQ(LoadBitmapFile(files, name, back), 1);
  EXPECT_TRUE(SameBitmaps(back, w.Image().UpdatedComposition()));
  EXPECT_EQ(back.GetPixel(20, 20), RGB(255, 0, 0));

  // a purge keeps an unmodified document unmodified too, until the next edit
  PaintRect(w, TRect{0, 0, 5, 5}, RGB(0, 0, 255));
  ASSERT_EQ(ws.shell.SaveImageWindow(w), soSaved);
  ws.windows.PurgeAllHistories();
  EXPECT_FALSE(w.IsImageModified());
  PaintRect(w, TRect{0, 0, 5, 5}, RGB(0, 128, 0));
  EXPECT_TRUE(w.IsImageModified());
  w.History().UndoStep();
  EXPECT_FALSE(w.IsImageModified());

  // a new document is modified from the start; a layer moved with the pointer, which
  // this host does not record, counts as a change
  TNewImgForm& fresh = *ws.Open(RandomBitmap(200, 150, 8));
  EXPECT_TRUE(fresh.IsImageModified());
  fresh.MarkImageWindowSaved();
  EXPECT_FALSE(fresh.IsImageModified());
  fresh.Image().AddLayer(TBitmap(40, 40, pf24bit, clBlack), TBitmap(), "#1", 100, TPoint{0, 0});
  fresh.View().SetZoom(1);
  fresh.View().SetSelectionMode(smMoveLayer);
  const TPoint at = fresh.View().ImageToClientPoint(TPoint{10, 10});
  Drag(fresh.View(), QPoint(at.X, at.Y), {QPoint(at.X + 1, at.Y), QPoint(at.X + 20, at.Y + 5)});
  EXPECT_EQ(fresh.Image().Layers[1].Left, 20);
  EXPECT_TRUE(fresh.IsImageModified());
}

TEST(DocumentWindow, TheCloseQuestionKeepsTheWindowUnlessTheDocumentIsSafe) {
  TPictureFileSettings files;
  TempFolder dir;
  const std::string name = dir.File("carte postale.bmp");
  TBitmap bmp = RandomBitmap(60, 40, 3);
  std::string written = name;
  ASSERT_EQ(SaveBitmapFile(files, written, bmp), 1);
  const std::string question = "Enregistrer les modifications avant de continuer ?";

  Workspace ws;
  // opened and untouched: closes without a question
  {
    Answers a({});
    TNewImgForm* w = ws.Open(bmp, name, false);
    EXPECT_TRUE(w->close());
    Flush();
    EXPECT_TRUE(a.texts.empty());
    EXPECT_EQ(ws.windows.Count(), 0);
  }
  TNewImgForm* w = ws.Open(bmp, name, false);
  PaintRect(*w, TRect{0, 0, 10, 10}, RGB(255, 0, 0));
  // Cancel keeps it
  {
    Answers a({mrCancel});
    EXPECT_FALSE(w->close());
    ASSERT_EQ(a.texts.size(), 1u);
    EXPECT_EQ(a.texts[0], "L'image \"carte postale.bmp\" a été modifiée.\r" + question);
  }
  // Yes with a save that fails (the folder is gone): the window stays, still modified
  std::filesystem::remove_all(dir.Path);
  {
    Answers a({mrYes, mrOk});
    EXPECT_FALSE(w->close());
    Flush();
    EXPECT_EQ(a.texts.size(), 2u) << "the question, then the save's failure";
    EXPECT_EQ(ws.windows.Count(), 1);
    EXPECT_TRUE(w->IsImageModified());
  }
  // a new document: the short question; Yes with the save dialog cancelled keeps it
  TNewImgForm* fresh = ws.Open(bmp);
  std::vector<std::string> proposed;
  std::string target;
  SetPictureDialogs(nullptr, [&](const TSavePictureRequest& r, std::string& chosen) {
    proposed.push_back(r.FileName);
    chosen = target;
    return !target.empty();
  });
  {
    Answers a({mrYes});
    EXPECT_FALSE(fresh->CloseImageWindow(false));
    ASSERT_EQ(a.texts.size(), 1u);
    EXPECT_EQ(a.texts[0], question);
    EXPECT_EQ(ws.windows.Count(), 2);
    EXPECT_TRUE(fresh->IsImageModified());
  }
  // Yes with a name chosen: written, then closed
  TempFolder out;
  target = out.File("nouvelle.png");
  {
    Answers a({mrYes});
    EXPECT_TRUE(fresh->CloseImageWindow(false));
    Flush();
    EXPECT_TRUE(std::filesystem::exists(target));
    EXPECT_EQ(ws.windows.Count(), 1);
  }
  EXPECT_EQ(proposed, (std::vector<std::string>{"Sans titre 1", "Sans titre 1"})) << "the untitled name proposed";
  SetPictureDialogs(nullptr, nullptr);
  // No closes without saving; a parameter dialog refuses the close outright
  ws.shell.dialog = true;
  {
    Answers a({mrNo});
    int beeps = 0;
    SetBeepHandler([&] { ++beeps; });
    EXPECT_FALSE(w->close());
    EXPECT_TRUE(a.texts.empty());
    EXPECT_EQ(beeps, 1);
    SetBeepHandler({});
  }
  ws.shell.dialog = false;
  {
    Answers a({mrNo});
    EXPECT_TRUE(w->close());
    Flush();
    EXPECT_EQ(ws.windows.Count(), 0);
  }
}

TEST(DocumentWindow, UntitledNumbersAndWindowMenuCaptions) {
  Workspace ws;
  QMenu menu;
  menu.addAction("Cascade");
  ws.windows.SetWindowMenu(&menu);
  const TBitmap bmp = RandomBitmap(80, 60, 1);
  Answers a({mrNo, mrNo});
  TNewImgForm* first = ws.Open(bmp);
  TNewImgForm* second = ws.Open(bmp);
  EXPECT_EQ(first->windowTitle(), "Sans titre 1");
  EXPECT_EQ(second->windowTitle(), "Sans titre 2");
  first->close();
  second->close();
  Flush();
  EXPECT_EQ(ws.Open(bmp)->FileName(), "Sans titre 3") << "the counter never goes back";

  const std::string name31 = "/images/" + std::string(27, 'a') + "&.png";  // 31 characters, one "&"
  TNewImgForm* w = ws.Open(bmp, name31, true);
  QAction* entry = ws.windows.MenuEntry(w);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->text().toStdString(), std::string(27, 'a') + "&&.p...");
  EXPECT_EQ(menu.actions().size(), 3);
  EXPECT_EQ(menu.actions().back(), entry);
  EXPECT_TRUE(entry->isChecked());
  w->SetFileName("/images/été.png");
  EXPECT_EQ(entry->text(), "été.png");
  EXPECT_EQ(w->windowTitle(), "été.png");
}

TEST(DocumentWindow, CascadePlacesEachWindowTwelvePixelsFurther) {
  Workspace ws;
  // large images, fitted below 100 %
  const TBitmap bmp = RandomBitmap(2000, 1500, 2);
  std::vector<TNewImgForm*> w;
  for (int i = 0; i < 4; ++i) w.push_back(ws.Open(bmp));
  const QSize client = ws.area.viewport()->size();
  for (int i = 0; i < 4; ++i) {
    const int at = i * 12 + 3;
    EXPECT_EQ(w[i]->pos(), QPoint(at, at)) << i;
    // sized to the rest of the area, then shrunk across to the fitted image
    const QSize room(client.width() - 4 - at - 3, client.height() - 4 - at - 3);
    EXPECT_EQ(w[i]->height(), room.height()) << i;
    EXPECT_LE(w[i]->width(), room.width()) << i;
    EXPECT_GT(w[i]->width(), room.width() - 30) << i;
    EXPECT_LE(w[i]->View().Zoom(), 1.0);
    EXPECT_TRUE(w[i]->FitToWindow);
  }
  EXPECT_EQ(w[3]->pos(), QPoint(39, 39));
  // moved about, minimised, cascaded again: the others close ranks
  w[0]->move(300, 200);
  w[1]->showMinimized();
  ws.windows.CascadeImageWindows();
  EXPECT_EQ(w[0]->pos(), QPoint(3, 3));
  EXPECT_EQ(w[2]->pos(), QPoint(15, 15));
  EXPECT_EQ(w[3]->pos(), QPoint(27, 27));
  EXPECT_EQ(ws.windows.Current(), w[3]);
  // a small image: the window shrinks around it, zoom 100 %
  TNewImgForm* small = ws.Open(RandomBitmap(100, 80, 3));
  EXPECT_EQ(small->View().Zoom(), 1.0);
  EXPECT_LT(small->width(), 300);
  EXPECT_EQ(small->View().horizontalScrollBar()->maximum(), 0);
  EXPECT_EQ(small->View().verticalScrollBar()->maximum(), 0);
}

TEST(DocumentWindow, OperationsOverEveryWindowFollowTheSettingsAndTheArea) {
  Workspace ws;
  TNewImgForm* a = ws.Open(RandomBitmap(1600, 1200, 9));
  TNewImgForm* b = ws.Open(RandomBitmap(1600, 1200, 10));
  TImageWindowSetup setup;
  setup.Bitmap = RandomBitmap(3000, 1000, 11);
  setup.Maximised = true;
  TNewImgForm* m = TNewImgForm::CreateWithImage(ws.windows, std::move(setup));
  EXPECT_TRUE(m->isMaximized());
  QApplication::processEvents();
  EXPECT_LE(m->View().HorzRange(), m->View().viewport()->width()) << "fitted across the area beside the strip";
  EXPECT_EQ(m->View().verticalScrollBar()->maximum(), 0);
  m->showNormal();
  EXPECT_EQ(m->pos(), QPoint(27, 27)) << "restored to its cascaded place";

  // the strip hidden, then large: each window fits again as it was
  a->View().SetZoom(1);
  a->FitToWindow = false;
  ws.shell.settings.LayerStripSize = 0;
  ws.windows.UpdateLayerStripAll();
  EXPECT_FALSE(a->Navigator().isVisible());
  EXPECT_EQ(a->View().Zoom(), 1.0) << "a window not fitted keeps its zoom";
  const double fitted = b->View().Zoom();
  ws.shell.settings.LayerStripSize = 120;
  ws.windows.UpdateLayerStripAll();
  EXPECT_TRUE(b->Navigator().isVisible());
  EXPECT_EQ(b->Navigator().width(), 124);
  EXPECT_LT(b->View().Zoom(), fitted) << "less room beside the wider strip";
  ws.windows.ZoomAllImageWindowsToFit();
  EXPECT_LT(a->View().Zoom(), 1.0);

  // the area shrinks: windows that no longer fit are narrowed and shortened
  ws.area.resize(500, 400);
  QApplication::processEvents();
  ws.windows.ArrangeImageWindowsAfterResize();
  const QSize client = ws.area.viewport()->size();
  for (TNewImgForm* w : {a, b}) {
    EXPECT_LE(w->x() + w->width(), client.width() - 3);
    EXPECT_LE(w->y() + w->height(), client.height() - 3);
  }
}

TEST(DocumentWindow, ActivationHidesAndRestoresEachWindowsSelection) {
  Workspace ws;
  QMenu menu;
  ws.windows.SetWindowMenu(&menu);
  TNewImgForm* a = ws.Open(RandomBitmap(300, 200, 4), "/a.png");
  TNewImgForm* b = ws.Open(RandomBitmap(300, 200, 5), "/b.png");
  EXPECT_EQ(ws.windows.Current(), b);
  EXPECT_TRUE(ws.shell.events.empty()) << "a window's first activation is part of its creation";
  b->Selection().SetSelectionRect(TRect{10, 10, 100, 80});
  b->Selection().Show();
  b->View().SetSelectionMode(smMoveLayer);

  // the Window menu brings a forward: b's selection hides and b draws shapes again
  ws.windows.MenuEntry(a)->trigger();
  EXPECT_EQ(ws.windows.Current(), a);
  EXPECT_EQ(ws.area.activeSubWindow(), a);
  EXPECT_FALSE(b->Selection().IsShown());
  EXPECT_EQ(b->View().SelectionMode(), smShape);
  EXPECT_TRUE(ws.windows.MenuEntry(a)->isChecked());
  EXPECT_FALSE(ws.windows.MenuEntry(b)->isChecked());
  EXPECT_EQ(ws.shell.events, (std::vector<std::string>{"activating /a.png", "activated /a.png"}));

  // a click on b's image brings it back, with its selection
  ws.shell.events.clear();
  Click(b->View(), QPoint(250, 150));
  EXPECT_EQ(ws.windows.Current(), b);
  EXPECT_TRUE(b->Selection().IsShown());
  EXPECT_FALSE(a->Selection().IsShown());
  EXPECT_EQ(ws.shell.events, (std::vector<std::string>{"activating /b.png", "activated /b.png"}));

  // a disabled window is not activated; the windows are found by their exact file name
  ws.windows.DisableOtherImageWindows(b);
  ws.windows.ActivateImageWindow(a);
  EXPECT_EQ(ws.windows.Current(), b);
  EXPECT_FALSE(b->Navigator().isEnabled());
  ws.windows.EnableAllImageWindows();
  EXPECT_TRUE(a->isEnabled());
  EXPECT_TRUE(b->Navigator().isEnabled());
}

TEST(DocumentWindow, FilesAreFoundByTheirExactResolvedName) {
  TempFolder dir;
  std::filesystem::create_directories(dir.Path / "sub");
  const std::string name = dir.Write("Photo.bmp", "x");
  std::filesystem::create_symlink(name, dir.Path / "link.bmp");
  Workspace ws;
  TNewImgForm* w = ws.Open(RandomBitmap(50, 50, 6), name, true);
  TNewImgForm* untitled = ws.Open(RandomBitmap(50, 50, 6));
  EXPECT_EQ(ws.windows.FindImageWindowByFileName(name), w);
  EXPECT_EQ(ws.windows.FindImageWindowByFileName(dir.File("sub/../Photo.bmp")), w);
  EXPECT_EQ(ws.windows.FindImageWindowByFileName(dir.File("link.bmp")), w);
  EXPECT_EQ(ws.windows.FindImageWindowByFileName(dir.File("photo.bmp")), nullptr) << "another file on Linux";
  EXPECT_EQ(ws.windows.FindImageWindowByFileName(untitled->FileName()), untitled);
}

TEST(DocumentWindow, ClicksOnTheImageGoToThePickerThePluginOrTheTool) {
  Workspace ws;
  TBitmap bmp(200, 100, pf24bit, clWhite);
  bmp.FillRect(TRect{50, 20, 60, 30}, RGB(10, 200, 30));
  TNewImgForm* w = ws.Open(bmp);
  TMyImageLayered& view = w->View();
  ASSERT_EQ(view.Zoom(), 1.0);
  const TPoint green = view.ImageToClientPoint(TPoint{55, 25});
  const QPoint onGreen(green.X, green.Y), offImage(2, 2);

  // a colour-picking dialog holds the shell: the click picks the composed colour
  Picker picker;
  ws.shell.dialog = true;
  ws.shell.picker = &picker;
  Click(view, onGreen);
  Click(view, offImage);
  EXPECT_EQ(picker.picked, (std::vector<TColor>{RGB(10, 200, 30)}));
  // a plug-in running with its dialog gets the point and the colour instead
  ws.shell.plugin = true;
  SendMouse(view, QEvent::MouseButtonPress, onGreen, Qt::RightButton, Qt::RightButton);
  SendMouse(view, QEvent::MouseButtonRelease, onGreen, Qt::RightButton, Qt::NoButton);
  EXPECT_EQ(ws.shell.events, (std::vector<std::string>{"point 55,25 1", "plugin colour " + std::to_string(RGB(10, 200, 30))}));
  EXPECT_EQ(picker.picked.size(), 1u);

  // without a dialog the palette's tool takes the press, the moves and the release
  Tool tool;
  ws.shell.tool = &tool;
  ws.shell.dialog = ws.shell.plugin = false;
  ws.shell.picker = nullptr;
  view.SetSelectionMode(smNone);
  Drag(view, onGreen, {onGreen + QPoint(5, 0)});
  Hover(view, onGreen);  // no button held: no stroke
  const std::string at = std::to_string(green.X) + "," + std::to_string(green.Y);
  const std::string to = std::to_string(green.X + 5) + "," + std::to_string(green.Y);
  EXPECT_EQ(tool.calls, (std::vector<std::string>{"press " + at, "move " + to, "release " + to}));
}

TEST(DocumentWindow, LayerOperationsReachTheCurrentWindowAndItsStrip) {
  Workspace ws;
  TWindowLayerHost host(ws.windows);
  TNewImgForm* a = ws.Open(RandomBitmap(400, 300, 12));
  TNewImgForm* b = ws.Open(TBitmap(400, 300, pf24bit, clWhite));
  // an ellipse of a copied, b current again and pasted into as a layer "#1" of its own
  ws.windows.ActivateImageWindow(a);
  a->Selection().SetShape(ssEllipse);
  a->Selection().SetSelectionRect(TRect{100, 50, 300, 250});
  a->Selection().Show();
  ASSERT_TRUE(CopySelection(host, ClipboardData()));
  ws.windows.ActivateImageWindow(b);
  const int pasted = PasteAsNewLayer(host, ClipboardData(), MakeNewLayerName(host));
  ASSERT_EQ(pasted, 1);
  EXPECT_EQ(a->Image().GetLayerCount(), 1);
  const TLayerItem& layer = b->Image().Layers[1];
  EXPECT_EQ(layer.Name, "#1");
  EXPECT_EQ(layer.Image.Width(), 200);
  EXPECT_EQ(layer.Mask.GetPixel(0, 0), clWhite) << "outside the ellipse";
  EXPECT_EQ(layer.Mask.GetPixel(100, 100), clBlack) << "inside";
  EXPECT_EQ(b->Navigator().ActiveRow(), 1);
  EXPECT_NE(b->Navigator().LayerThumbnail(1), nullptr);
  // a layer's mask opened as an image: a new window in the same list
  host.OpenImageDocument(TBitmap(20, 10, pf24bit, clBlack), 256, "");
  ASSERT_EQ(ws.windows.Count(), 3);
  EXPECT_EQ(ws.windows.Current()->FileName(), "Sans titre 3");
  EXPECT_EQ(ws.windows.Current()->Image().ColorCount, 256);
}
