// The roads a user takes through the real main window that end in another part of the
// editor: the full-screen view walking the folder, the work area's pop-up, the selection
// guides from a double click, the palette docked from the Preferences, the tool bars'
// glyphs, the JPEG options judged on the document, the image browser's first folder,
// the redo branch after a change of the layers, the transform frame's handles, the
// layer strip read aloud, the program ended by SIGTERM.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QButtonGroup>
#include <QDockWidget>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QToolBar>
#include <QThread>
#include <QWheelEvent>
#include <csignal>
#include <filesystem>

#include "imagefiles/JpegCodec.h"
#include "pixel/ColorAdjust.h"
#include "platform/qt/QtBitmap.h"
#include "platform/texts/TextUtils.h"
#include "shell/browser/FullScreen.h"
#include "shell/palette/ToolPalette.h"
#include "shell/services/Prefs.h"
#include "support/MainFormFixture.h"
#include "support/TestImages.h"
#include "views/CompressForms.h"
#include "views/LayerNavigator.h"

using namespace qm;
using namespace qm::test;

namespace {

QPoint ClientOf(TNewImgForm& w, int x, int y) {
  const TPoint p = w.View().ImageToClientPoint(TPoint{x, y});
  return QPoint(p.X, p.Y);
}

TPeForm* FullScreenView() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* pe = dynamic_cast<TPeForm*>(w)) return pe;
  return nullptr;
}

void Wheel(QWidget* target, int delta, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  const QPointF at(target->width() / 2.0, target->height() / 2.0);
  QWheelEvent e(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, modifiers, Qt::NoScrollPhase,
                false);
  QApplication::sendEvent(target, &e);
}

// Calls act once a visible widget of that class shows, from the event loop a command
// waits in.
template <class T>
void WhenVisible(std::function<void(T*)> act) {
  WhenShown(
      []() -> QWidget* {
        for (QWidget* w : QApplication::allWidgets())
          if (auto* t = dynamic_cast<T*>(w); t && t->isVisible()) return t;
        return nullptr;
      },
      [act](QWidget* w) { act(static_cast<T*>(w)); });
}

}  // namespace

TEST(EditorRoutes, FullScreenWalksTheFolderWithTheToolsMenusNavigation) {
  Editor e;
  TempFolder pictures("walk");
  for (const char* name : {"a.png", "b.png", "c.png"}) WritePicture(pictures.File(name), Picture(40, 30, name[0]));
  TMainForm& form = e.Start({pictures.File("b.png")});
  ASSERT_TRUE(form.Commands().Trigger("MenuZoomPe"));
  TPeForm* pe = FullScreenView();
  ASSERT_TRUE(pe && pe->isVisible());
  ASSERT_TRUE(QTest::qWaitForWindowActive(pe));  // the keys go to the view, not to the menus
  auto shown = [&] { return ExtractFileName(e.Services().GetActiveFileName()); };
  auto info = [&] { return pe->PnlInfos->text().toStdString(); };
  EXPECT_EQ(info(), "b.png (40x30, 100%)");

  // The page keys, Home and End, and the wheel: the same window shows the next file.
  const struct {
    int key;
    const char* file;
  } steps[] = {{Qt::Key_PageDown, "c.png"}, {Qt::Key_Home, "a.png"}, {Qt::Key_End, "c.png"}, {Qt::Key_PageUp, "b.png"}};
  for (const auto& s : steps) {
    QTest::keyClick(pe, Qt::Key(s.key));
    EXPECT_EQ(shown(), s.file) << s.key;
    EXPECT_EQ(info(), std::string(s.file) + " (40x30, 100%)");
  }
  Wheel(pe, -120);
  EXPECT_EQ(shown(), "c.png");
  Wheel(pe, 120);
  EXPECT_EQ(shown(), "b.png");
  EXPECT_EQ(e.Services().Windows().Count(), 1);
  QTest::keyClick(pe, Qt::Key_Escape);
  EXPECT_FALSE(pe->isVisible());

  // A document never saved has no folder to walk.
  e.NewDocument(Picture(20, 20, 9));
  ASSERT_TRUE(form.Commands().Trigger("MenuZoomPe"));
  QTest::keyClick(pe, Qt::Key_PageDown);
  EXPECT_EQ(e.Services().GetActiveImgForm()->windowTitle().toStdString(), "Sans titre 1");
  EXPECT_EQ(e.Services().Windows().Count(), 2);
  QTest::keyClick(pe, Qt::Key_Escape);
}

TEST(EditorRoutes, ARightClickOnTheWorkAreaOpensItsPopupUnlessADialogHoldsTheShell) {
  Editor e;
  TMainForm& form = e.Start();
  QWidget* area = form.Area().viewport();
  QTest::mouseClick(area, Qt::RightButton, {}, QPoint(40, 40));
  QWidget* popup = QApplication::activePopupWidget();
  EXPECT_EQ(popup, form.Commands().Menu("PopForm"));
  if (popup) popup->close();
  QTest::mouseClick(area, Qt::LeftButton, {}, QPoint(40, 40));
  EXPECT_FALSE(QApplication::activePopupWidget());

  QWidget dialog;
  e.Services().SetShellLock(&dialog);
  QTest::mouseClick(area, Qt::RightButton, {}, QPoint(40, 40));
  EXPECT_FALSE(QApplication::activePopupWidget());
  e.Services().SetShellLock(nullptr);
}

TEST(EditorRoutes, ADoubleClickOnASelectionShapeSwitchesTheSelectionGuides) {
  Editor e;
  TMainForm& form = e.Start();
  TNewImgForm& w = e.NewDocument(Picture(200, 150, 20));
  QAction* guides = form.Commands().Action("MenuSelReperes");
  ASSERT_TRUE(guides->isChecked());
  w.Selection().SetShape(ssEllipse);
  w.Selection().SetSelectionRect(TRect{40, 30, 160, 120});
  w.Selection().Show();
  QTest::mouseDClick(w.View().viewport(), Qt::LeftButton, {}, ClientOf(w, 100, 75));
  EXPECT_FALSE(guides->isChecked());
  QTest::mouseDClick(w.View().viewport(), Qt::LeftButton, {}, ClientOf(w, 100, 75));
  EXPECT_TRUE(guides->isChecked());
}

TEST(EditorRoutes, TheLayerStripReadsAsAListOfItsLayersAndThePaletteAsItsTools) {
  Editor e;
  TMainForm& form = e.Start();
  TNewImgForm& w = e.NewDocument(Picture(120, 90, 20));
  e.AddLayer(90);
  QAccessibleInterface* strip = QAccessible::queryAccessibleInterface(&w.Navigator());
  ASSERT_TRUE(strip);
  EXPECT_EQ(strip->role(), QAccessible::List);
  ASSERT_GE(strip->childCount(), 2);
  EXPECT_EQ(strip->child(0)->text(QAccessible::Name).toStdString(), "Calque 1");
  EXPECT_EQ(strip->child(1)->text(QAccessible::Name).toStdString(), "Fond");
  EXPECT_TRUE(strip->child(0)->state().selected);
  EXPECT_FALSE(strip->child(1)->state().selected);
  EXPECT_EQ(strip->indexOfChild(strip->child(1)), 1);

  // The fifteen tools by their captions.
  std::vector<std::string> names;
  for (QAbstractButton* b : form.Palette().findChildren<QAbstractButton*>())
    if (b->objectName().startsWith("Btn") && b->isCheckable()) names.push_back(b->accessibleName().toStdString());
  ASSERT_EQ(names.size(), 15u);
  EXPECT_NE(std::find(names.begin(), names.end(), "Outil Sélection"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "Outil Gestionnaire de calques"), names.end());
  EXPECT_EQ(std::count(names.begin(), names.end(), ""), 0);
}

TEST(EditorRoutes, ThePreferencesDockThePaletteAtOnceAndTheSidePanelsGiveWay) {
  Editor e;
  TMainForm& form = e.Start();
  form.Palette().ShowPalette();
  ASSERT_TRUE(form.Commands().Trigger("MenuExplore"));
  TExplorForm* browser = form.Browser();
  ASSERT_TRUE(browser);
  QToolBar* plugins = form.Commands().ToolBar("ToolBar4");
  for (int alignment : {1, 0, 2}) {
    WhenModal([alignment](QWidget* w) {
      auto* prefs = dynamic_cast<TPrefForm*>(w);
      ASSERT_TRUE(prefs);
      prefs->PosOutils->button(alignment)->click();
      prefs->BOkClick();
    });
    ASSERT_TRUE(form.Commands().Trigger("MenuParams"));
    EXPECT_EQ(form.Palette().GetPaletteAlignment(), alignment);
    EXPECT_EQ(form.toolBarArea(plugins), alignment == 1 ? Qt::RightToolBarArea : Qt::LeftToolBarArea);
    QApplication::processEvents();
    // the browser's buttons on the side away from a palette docked left
    const bool buttonsRight = browser->ToolBar->x() > browser->List->x();
    EXPECT_EQ(buttonsRight, alignment == 1) << alignment;
  }
}

TEST(EditorRoutes, TheToolBarsShowShadedGlyphsAndGreyOnesWhenDisabled) {
  for (bool advanced : {true, false}) {
    Editor e;
    e.WriteSettings(advanced ? "" : "[Params]\nAdvancedDisplay=0\n");
    TMainForm& form = e.Start();
    // the glyph as the command table gives it (its resource is there once a window is)
    const QImage plain = QIcon(":/commands/save.xpm").pixmap(16).toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(plain.isNull());
    const QIcon icon = form.Commands().Action("MenuFichierEnregistrer")->icon();
    const QImage normal = icon.pixmap(16).toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage disabled = icon.pixmap(16, QIcon::Disabled).toImage().convertToFormat(QImage::Format_ARGB32);
    if (!advanced) {
      EXPECT_EQ(normal, plain);
      continue;
    }
    const QColor face = QApplication::palette().color(QPalette::Button);
    int shadows = 0;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) {
        const QRgb p = plain.pixel(x, y);
        // the glyph itself unchanged; under it, one pixel down and right, a third of black
        if (qAlpha(p) == 255) EXPECT_EQ(normal.pixel(x, y), p) << x << "," << y;
        if (qAlpha(p) == 0 && x > 0 && y > 0 && qAlpha(plain.pixel(x - 1, y - 1)) == 255) {
          EXPECT_EQ(qAlpha(normal.pixel(x, y)), 84) << x << "," << y;
          ++shadows;
        }
        // grey: the mean of the channels moved halfway toward the button face
        const int m = (qRed(p) + qGreen(p) + qBlue(p)) / 3;
        const QRgb g = disabled.pixel(x, y);
        EXPECT_EQ(qAlpha(g), qAlpha(p));
        if (qAlpha(p) == 255)
          EXPECT_EQ(QColor(g), QColor(m + (face.red() - m) * 50 / 100, m + (face.green() - m) * 50 / 100,
                                      m + (face.blue() - m) * 50 / 100))
              << x << "," << y;
      }
    EXPECT_GT(shadows, 0);
  }
}

TEST(EditorRoutes, TheJpegOptionsWaitModelessWhileTheDocumentIsZoomedAndHoldTheShell) {
  Editor e;
  TempFolder pictures("jpegopts");
  TMainForm& form = e.Start();
  const TBitmap picture = Picture(300, 200, 40);
  TNewImgForm& w = e.NewDocument(picture);
  const double zoom = w.View().Zoom();
  const std::string jpeg = pictures.File("vue.jpg");
  bool asked = false;
  WhenVisible<TJPGCompressForm>([&](TJPGCompressForm* d) {
    asked = true;
    EXPECT_FALSE(QApplication::activeModalWidget());
    EXPECT_EQ(e.Services().ShellLock(), d);
    EXPECT_FALSE(form.Commands().Trigger("MenuFichierEnregistrerSous"));  // the shell is held
    // the document can be zoomed to judge the preview
    Wheel(w.View().viewport(), 120, Qt::ControlModifier);
    EXPECT_NE(w.View().Zoom(), zoom);
    d->TBN->setValue(20);
    d->BApercu->click();
    d->BOk->click();
  });
  WhenSaveDialogSaveAs(jpeg);
  ASSERT_TRUE(form.Commands().Trigger("MenuFichierEnregistrerSous"));
  EXPECT_TRUE(asked);
  EXPECT_FALSE(e.Services().ShellLock());
  EXPECT_FALSE(e.Services().IsBusy());
  EXPECT_FALSE(w.IsImageModified());
  // written at the quality chosen
  const std::vector<uint8_t> expected = WriteJpegMemory(picture, TJpegWriteOptions{20, false});
  TBitmap decoded;
  ReadJpegMemory(expected.data(), expected.size(), decoded);
  EXPECT_TRUE(SameBitmaps(ReadPicture(jpeg), decoded));
}

TEST(EditorRoutes, TheImageBrowserOpensOnTheImagesFolderElseTheOpenFolder) {
  for (bool document : {true, false}) {
    Editor e;
    TempFolder pictures("browse");
    WritePicture(pictures.File("dune.png"), Picture(30, 20, 3));
    TMainForm& form = e.Start(document ? std::vector<std::string>{pictures.File("dune.png")}
                                       : std::vector<std::string>{});
    ASSERT_TRUE(form.Commands().Trigger("MenuExplore"));
    ASSERT_TRUE(form.Browser());
    form.Browser()->WaitUntilLoaded();
    const std::string expected = document ? pictures.Path.string() : form.ShellSettings().OpenDir;
    EXPECT_EQ(form.Browser()->Folder(), AddTrailingBackslash(expected)) << document;
    if (document) EXPECT_EQ(form.Browser()->List->count(), 1);
  }
}

TEST(EditorRoutes, AChangeOfTheLayersWithoutAStepDropsTheRedoBranch) {
  Editor e;
  TMainForm& form = e.Start();
  TNewImgForm& w = e.NewDocument(Picture(120, 90, 10));
  const TBitmap before = w.Image().Layers[0].Image.Clone();
  struct Change {
    const char* name;
    std::function<void()> run;
  };
  const Change changes[] = {
      {"a colour layer", [&] { ASSERT_TRUE(form.Commands().Trigger("MenuCalqueCouleur")); }},
      {"a duplicate", [&] { ASSERT_TRUE(form.Commands().Trigger("MenuCalqueDupliquer")); }},
      {"a layer dragged below another", [&] { w.Navigator().MoveLayerRow(w.Image().GetLayerCount() - 1, 1); }},
  };
  for (const Change& c : changes) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(form.Commands().Trigger("MenuFiltreFlou"));
    ASSERT_TRUE(form.Commands().Trigger("MenuEditionUndo"));
    ASSERT_TRUE(form.Commands().IsEnabled("MenuEditionRedo"));
    const int steps = w.History().GetUndoStepCount();
    w.Image().SetActiveLayerIndex(w.Image().GetLayerCount() - 1);
    c.run();
    form.UpdateCommandStates();
    EXPECT_FALSE(form.Commands().IsEnabled("MenuEditionRedo"));
    EXPECT_FALSE(form.Commands().Trigger("MenuEditionRedo"));
    EXPECT_EQ(w.History().GetUndoStepCount(), steps - 1);
    EXPECT_TRUE(SameBitmaps(w.Image().Layers[0].Image, before));
    EXPECT_TRUE(w.IsImageModified());
    w.Image().SetActiveLayerIndex(0);
  }
}

TEST(EditorRoutes, TheTransformFrameDrawsAndTakesLargeHandles) {
  Editor e;
  TMainForm& form = e.Start();
  TNewImgForm& w = e.NewDocument(TBitmap(400, 300, pf24bit, clWhite));
  e.AddLayer(90);  // 30 x 20 at (10, 10)
  w.View().SetZoom(1.0);
  QApplication::processEvents();
  const QImage plain = w.View().viewport()->grab().toImage();
  ASSERT_TRUE(form.Commands().Trigger("MenuCalqueTransformEchelle"));
  ASSERT_TRUE(form.Distortion().IsOpen());
  QApplication::processEvents();
  const QImage framed = w.View().viewport()->grab().toImage();
  // the bottom-right corner's square, 13 pixels wide: its edge 6 pixels out
  const QPoint corner = ClientOf(w, 40, 30);
  EXPECT_NE(framed.pixel(corner + QPoint(6, 6)), plain.pixel(corner + QPoint(6, 6)));
  EXPECT_EQ(framed.pixel(corner + QPoint(8, 8)), plain.pixel(corner + QPoint(8, 8)));
  // taken 7 pixels away, it drags the corner
  QTest::mousePress(w.View().viewport(), Qt::LeftButton, {}, corner + QPoint(7, 7));
  QTest::mouseMove(w.View().viewport(), corner + QPoint(27, 17));
  QTest::mouseRelease(w.View().viewport(), Qt::LeftButton, {}, corner + QPoint(27, 17));
  ASSERT_TRUE(form.Commands().Trigger("PopDistorsionValider"));
  EXPECT_EQ(w.Image().Layers[1].Image.Width(), 50);
  EXPECT_EQ(w.Image().Layers[1].Image.Height(), 30);
}

#ifdef QM_PROGRAM_PATH
TEST(EditorRoutes, SigtermEndsTheProgramAsQuitWithoutAQuestionAndKeepsItsSettings) {
  TempFolder root("sigterm");
  const std::string home = root.File("home"), run = root.File("run");
  std::filesystem::create_directories(home);
  std::filesystem::create_directories(run);
  std::filesystem::permissions(run, std::filesystem::perms::owner_all);
  root.Write("home/Quillomatic.ini", "[Params]\nHistory=7\n");
  WritePicture(root.File("plage.png"), Picture(64, 48, 7));
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QM_HOME", QString::fromStdString(home));
  env.insert("XDG_RUNTIME_DIR", QString::fromStdString(run));
  env.insert("QT_QPA_PLATFORM", "offscreen");
  program.setProcessEnvironment(env);
  // once painted, the program stays until told to end
  program.start(QStringLiteral(QM_PROGRAM_PATH), {QString::fromStdString(root.File("plage.png"))});
  ASSERT_TRUE(program.waitForStarted(10000));
  // the document's strip makes its thumbnail with GraphicsMagick, whose handlers would
  // take the signal: the start is given time to get there
  QThread::msleep(3000);
  ASSERT_EQ(program.state(), QProcess::Running);
  ::kill(pid_t(program.processId()), SIGTERM);
  ASSERT_TRUE(program.waitForFinished(20000));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0);
  const std::vector<uint8_t> bytes = ReadFileBytes(root.File("home/Quillomatic.ini"));
  const std::string settings(bytes.begin(), bytes.end());
  EXPECT_NE(settings.find("History=7"), std::string::npos) << settings;
  EXPECT_NE(settings.find("[Position]"), std::string::npos) << settings;
}
#endif
