#include <gtest/gtest.h>

#include <QLabel>
#include <QTimer>

#include "document/LayerOps.h"
#include "shell/commands/FileCommands.h"
#include "support/ShellWindow.h"

using namespace qm;
using namespace qm::test;

using Shell = TShellWindow;

TEST(ShellServices, WorkRectInItsThreeCases) {
  Shell shell;
  TNewImgForm* w = shell.Open("/photos/a.png");
  ASSERT_EQ(shell.Services->GetActiveImgForm(), w);
  AddLayerFromBitmap(shell.Services->LayerHost(), "#1", RandomBitmap(30, 40, 2), TBitmap(), TPoint{10, 20});
  // The active layer's bounds, in its own coordinates.
  EXPECT_EQ(shell.Services->GetWorkRect(), (TRect{0, 0, 30, 40}));
  // The selection shown.
  w->Selection().SetSelectionRect(TRect{15, 25, 35, 45});
  w->Selection().Show();
  EXPECT_EQ(shell.Services->GetWorkRect(), (TRect{5, 5, 25, 25}));
  // An inverted selection, however small: the whole image.
  w->Selection().SetOutlineInset(true);
  EXPECT_EQ(shell.Services->GetWorkRect(), (TRect{-10, -20, 90, 60}));
  // The whole 100 x 80 image shows: a tenth of 80 off each side.
  EXPECT_EQ(shell.Services->ShrinkSelectionByTenth(), (TRect{8, 8, 92, 72}));
}

TEST(ShellServices, StatusBarPanels) {
  Shell shell;
  EXPECT_EQ(shell.Panel(spStatus), "Prêt");
  shell.Services->BeginBusy();
  EXPECT_EQ(shell.Panel(spStatus), "Traitement en cours...");
  shell.Services->EndBusy();
  EXPECT_EQ(shell.Panel(spStatus), "Prêt");

  TNewImgForm* w = shell.Open("/photos/a.png");
  shell.Services->UpdateStatusBar();
  EXPECT_EQ(shell.Panel(spImageSize), "100x80x16M");
  EXPECT_EQ(shell.Panel(spGeometry), "/photos/a.png");
  w->Image().ColorCount = 256;
  w->Image().Layers[0].Mask = TBitmap(100, 80, pf24bit, clBlack);
  shell.Services->UpdateStatusBar();
  EXPECT_EQ(shell.Panel(spImageSize), "100x80 (Alpha)");
  w->Image().Layers[0].Mask = TBitmap();
  w->Selection().SetSelectionRect(TRect{15, 25, 35, 65});
  w->Selection().Show();
  shell.Services->UpdateStatusBar();
  EXPECT_EQ(shell.Panel(spImageSize), "100x80x256");
  EXPECT_EQ(shell.Panel(spGeometry), "15:25 => 34:64 (L=20  H=40  L/H=0.5)");
  shell.Services->ShowSelectionRectStatus(*w, TRect{3, 3, 3, 10});
  EXPECT_EQ(shell.Panel(spGeometry), "3:3 => 2:9 (L=0  H=7  L/H=?)");
  shell.Services->ShowCursorPosStatus(*w, TPoint{3, 4});
  EXPECT_EQ(shell.Panel(spCursor), "X:Y = 3:4");

  // Without a document: ready, the other panels empty.
  ASSERT_TRUE(shell.Services->CloseImageWindow(w, true));
  EXPECT_FALSE(shell.Services->HasActiveImage());
  EXPECT_EQ(shell.Panel(spStatus), "Prêt");
  EXPECT_EQ(shell.Panel(spImageSize) + shell.Panel(spCursor) + shell.Panel(spGeometry), "");
}

TEST(ShellServices, BusyHoldsACloseUntilItEnds) {
  Shell shell;
  TNewImgForm* w = shell.Open("");  // new: the close asks about saving (answered No)
  shell.Services->BeginBusy("Flou gaussien");
  EXPECT_EQ(shell.Panel(spStatus), "Flou gaussien...");
  // A close asked for while a kernel runs and lets the window live.
  QTimer::singleShot(0, w, [w] { w->close(); });
  QTimer::singleShot(0, &shell.Main, [&shell] { shell.Main.close(); });
  for (int i = 0; i < 5; ++i) shell.Services->ProcessPendingEvents();
  EXPECT_EQ(shell.Services->Windows().Count(), 1);
  EXPECT_TRUE(shell.Messages.empty());
  EXPECT_TRUE(shell.Main.isVisible());
  shell.Services->EndBusy();
  // Then the close runs, through the window's own question.
  EXPECT_EQ(shell.Services->Windows().Count(), 0);
  EXPECT_EQ(shell.Messages.size(), 1u);
  EXPECT_FALSE(shell.Main.isVisible());
}

TEST(ShellServices, ABusyShellHoldsOnlyItsOwnCloses) {
  Shell busy, other;
  TNewImgForm* held = busy.Open("/photos/a.png");
  TNewImgForm* free = other.Open("/photos/b.png");
  busy.Services->BeginBusy();
  // the close-holding filter is the application's: another shell's windows still close
  EXPECT_TRUE(other.Services->CloseImageWindow(free, true));
  EXPECT_EQ(other.Services->Windows().Count(), 0);
  EXPECT_FALSE(held->close());
  EXPECT_EQ(busy.Services->Windows().Count(), 1);
  busy.Services->EndBusy();
  EXPECT_EQ(busy.Services->Windows().Count(), 0);
}

TEST(ShellServices, ShellLockAndCommandGuard) {
  Shell shell;
  TNewImgForm* first = shell.Open("/photos/a.png");
  TNewImgForm* second = shell.Open("/photos/b.png");
  ASSERT_EQ(shell.Services->GetActiveImgForm(), second);
  QObject zoom, other;
  zoom.setObjectName("BtnZoomPlus");
  other.setObjectName("BtnUndo");
  EXPECT_TRUE(shell.Services->CanRunCommand(&other));

  QWidget dialog;
  shell.Services->SetShellLock(&dialog);
  EXPECT_FALSE(first->isEnabled());
  EXPECT_TRUE(second->isEnabled());
  EXPECT_TRUE(shell.Services->IsDialogOpen());
  EXPECT_FALSE(shell.Services->CanStartToolAction());
  EXPECT_TRUE(shell.Services->CanRunCommand(&zoom));
  EXPECT_FALSE(shell.Services->CanRunCommand(&other));
  EXPECT_EQ(shell.Beeps, 1);
  shell.Services->SetZoomEnabled(false);
  EXPECT_FALSE(shell.Services->CanRunCommand(&zoom));
  // With the distortion frame open, the refusal says why.
  shell.Services->Hooks.IsDistortionFrameOpen = [] { return true; };
  EXPECT_FALSE(shell.Services->CanRunCommand(&other));
  ASSERT_EQ(shell.Messages.size(), 1u);
  EXPECT_EQ(shell.Messages[0].substr(0, 44), "Vous devez terminer la transformation en cou");
  shell.Services->Hooks.IsDistortionFrameOpen = nullptr;

  shell.Services->SetZoomEnabled(true);
  shell.Services->SetShellLock(nullptr);
  EXPECT_TRUE(first->isEnabled());
  EXPECT_TRUE(shell.Services->CanRunCommand(&other));
  EXPECT_TRUE(shell.Services->CanStartToolAction());
  EXPECT_EQ(shell.Beeps, 2);
}

TEST(ShellServices, NewWindowsFollowTheMaximisedState) {
  Shell shell;
  TNewImgForm* a = shell.Open("/photos/a.png");
  EXPECT_FALSE(a->isMaximized());
  a->showMaximized();
  TNewImgForm* b = shell.Open("/photos/b.png");
  EXPECT_TRUE(b->isMaximized());
  shell.Services->CloseImageWindow(a, true);
  shell.Services->CloseImageWindow(b, true);
  bool maximise = true;
  shell.Services->Hooks.MaximiseNewWindows = [&maximise] { return maximise; };
  EXPECT_TRUE(shell.Open("/photos/c.png")->isMaximized());
}

TEST(ShellServices, FileCallbackStages) {
  Shell shell;
  TNewImgForm* a = shell.Open("/photos/a.png");
  shell.Open("/photos/b.png");
  TShellServices& s = *shell.Services;
  TPictureFileSettings files = s.FileSettingsFor({});

  // A file already open is not opened twice: its window comes forward instead.
  bool go = true;
  TFileSender none;
  files.OnFileProgress(none, "/photos/a.png", fpBeforeLoad, go);
  EXPECT_FALSE(go);
  EXPECT_EQ(s.GetActiveImgForm(), a);
  ASSERT_EQ(shell.Messages.size(), 1u);
  EXPECT_EQ(shell.Messages[0], Tr(TextId::GetTrDlgMain7));
  go = true;
  TPictureFileSettings reopen = s.FileSettingsFor({.AllowReopen = true});
  reopen.OnFileProgress(none, "/photos/a.png", fpBeforeLoad, go);
  EXPECT_TRUE(go);

  // The colour count of what was read.
  TLoadResult gif;
  gif.Object = TFileObject::Gif;
  gif.SourceColors = 0;
  gif.FrameCount = 3;
  TLoadedColors colors = ColorsOfLoad(gif);
  EXPECT_EQ(colors.ColorCount, 256);
  EXPECT_TRUE(colors.AsLayers);
  TLoadResult picture;
  picture.Object = TFileObject::Picture;
  colors = ColorsOfLoad(picture);
  EXPECT_EQ(colors.ColorCount, -1);
  EXPECT_FALSE(colors.AsLayers);

  // A JPEG save: the configured quality and the EXIF setting for this save, or the
  // options asked (a cancel vetoes).
  TJpegWriteOptions options;
  bool keepExif = false;
  TFileSender jpeg;
  jpeg.Kind = TFileObject::Jpeg;
  jpeg.Jpeg = &options;
  jpeg.KeepExif = &keepExif;
  s.JpegQuality = 85;
  files.OnFileProgress(jpeg, "/photos/a.jpg", fpBeforeSave, go);
  EXPECT_TRUE(go);
  EXPECT_EQ(options.Quality, 85);
  EXPECT_TRUE(keepExif);
  EXPECT_FALSE(s.FileSettings.KeepExif);
  s.JpegQuality = -1;
  s.Hooks.AskJpegOptions = [](const std::string&, TJpegWriteOptions&, bool&) { return false; };
  files.OnFileProgress(jpeg, "/photos/a.jpg", fpBeforeSave, go);
  EXPECT_FALSE(go);
}

TEST(ShellServices, WindowsFollowTheirFiles) {
  Shell shell;
  TNewImgForm* a = shell.Open("/photos/a.png");
  a->Image().ColorCount = 3;  // touched: a close would ask
  a->History().AddUndoRectStep(a->Image().Layers[0], TRect{0, 0, 4, 4}, "x", uwImage);
  shell.Services->FileRenamed("/photos/a.png", "/photos/vacances.png");
  EXPECT_EQ(a->FileName(), "/photos/vacances.png");
  EXPECT_EQ(a->windowTitle().toStdString(), "vacances.png");
  shell.Services->FileRecycled("/photos/vacances.png");
  EXPECT_EQ(shell.Services->Windows().Count(), 0);
  EXPECT_TRUE(shell.Messages.empty());
}

TEST(ShellServices, UndoRedoAndClearingTheWorkRect) {
  Shell shell;
  TShellServices& s = *shell.Services;
  TNewImgForm* w = shell.Open("/photos/a.png", 40, 30);
  s.Hooks.BackgroundColor = [] { return TColor(0x00FF00); };
  const uint64_t before = Checksum(w->Image().Layers[0].Image);
  // Delete on a layer without a mask: the selection takes the palette's background
  // colour, inside the selection only.
  w->Selection().SetSelectionRect(TRect{5, 5, 15, 12});
  w->Selection().Show();
  s.Operations().BeginUndoableOperation(ukWorkRect, "Effacer");
  s.ClearWorkRect();
  const TBitmap& bg = w->Image().Layers[0].Image;
  EXPECT_EQ(bg.GetPixel(5, 5), 0x00FF00u);
  EXPECT_EQ(bg.GetPixel(14, 11), 0x00FF00u);
  EXPECT_NE(bg.GetPixel(15, 11), 0x00FF00u);
  QObject button;
  button.setObjectName("BtnUndo");
  s.UndoCommand(&button);
  EXPECT_EQ(Checksum(w->Image().Layers[0].Image), before);
  EXPECT_EQ(shell.Panel(spStatus), "Prêt");
  s.RedoCommand(nullptr);
  EXPECT_EQ(w->Image().Layers[0].Image.GetPixel(5, 5), 0x00FF00u);

  // On a layer with a mask, without a selection: the whole layer hidden in its mask.
  w->Selection().Hide();
  AddLayerFromBitmap(s.LayerHost(), "#1", RandomBitmap(10, 10, 3), TBitmap(10, 10, pf24bit, clBlack), TPoint{2, 2});
  s.ClearWorkRect();
  const TBitmap& mask = w->Image().GetActiveLayer()->Mask;
  EXPECT_EQ(mask.GetPixel(0, 0), clWhite);
  EXPECT_EQ(mask.GetPixel(9, 9), clWhite);
}
