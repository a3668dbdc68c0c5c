// The editor as a user starts it: the real main window over settings and user folders
// of the test's own, pictures read and written through the real codecs.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QMdiArea>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <filesystem>
#include <functional>

#include "document/DocumentServices.h"
#include "document/LayerOps.h"
#include "imagefiles/FileDispatch.h"
#include "imagefiles/LayeredFile.h"
#include "imagefiles/Metadata.h"
#include "platform/core/Messages.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/AppIcon.h"
#include "shell/services/FileUtils.h"
#include "shell/main/MainForm.h"
#include "support/ExifFiles.h"
#include "support/MainFormFixture.h"
#include "support/QtTestApp.h"
#include "support/TempFiles.h"
#include "support/TestImages.h"
#include "views/PictureDialogs.h"

using namespace qm;
using namespace qm::test;

namespace {

// The largest and the mean difference of two bitmaps' bytes.
int MaxDifference(const TBitmap& a, const TBitmap& b, double* mean = nullptr) {
  int most = 0;
  int64_t sum = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int i = 0; i < a.Width() * 3; ++i) {
      const int d = std::abs(a.ScanLine(y)[i] - b.ScanLine(y)[i]);
      most = std::max(most, d);
      sum += d;
    }
  if (mean) *mean = double(sum) / (double(a.Width()) * a.Height() * 3);
  return most;
}

// Twenty-five pictures of every writable format but the layered one, the fourth one
// corrupt.
std::vector<std::string> MakePictures(const TempFolder& folder) {
  const char* exts[] = {".bmp", ".png", ".jpg", ".gif", ".tif"};
  std::vector<std::string> names;
  for (int i = 0; i < 25; ++i) {
    const std::string name = folder.File("photo" + std::to_string(100 + i) + exts[i % 5]);
    if (i == 3) folder.Write(ExtractFileName(name), "GIF89a, but nothing of a picture after it");
    else WritePicture(name, Picture(24 + i, 16 + i, i * 10));
    names.push_back(name);
  }
  return names;
}

// The windows the first 20 arguments give, the corrupt fourth left out.
std::vector<std::string> ExpectedTitles(const std::vector<std::string>& names) {
  std::vector<std::string> titles;
  for (int i = 0; i < 20; ++i)
    if (i != 3) titles.push_back(ExtractFileName(names[size_t(i)]));
  return titles;
}

// The newest opened first: arguments 20 back to 9, the corrupt one never listed.
std::vector<std::string> ExpectedRecent(const std::vector<std::string>& names) {
  std::vector<std::string> recent;
  for (int i = 19; i >= 0 && recent.size() < 12; --i)
    if (i != 3) recent.push_back(names[size_t(i)]);
  return recent;
}

}  // namespace

TEST(MainForm, StartsOnItsSettingsClampsThemAndKeepsWhatItDoesNotOwn) {
  Editor e;
  const std::string foreign = "[Automate]\r\n  Taille = 640 ; à garder\r\nVide=\r\n\r\n";
  e.WriteSettings("[Params]\nHistory=99\nJpgCompression=5\n\n" + foreign + "[Files]\nFile1=/nowhere/gone.jpg\n");
  TMainForm& form = e.Start();
  EXPECT_EQ(form.windowTitle(), QString::fromUtf8("Quillomatic Morvek"));
  EXPECT_EQ(form.ShellSettings().History, 24);
  EXPECT_EQ(form.ShellSettings().JpgCompression, 10);
  EXPECT_EQ(NewDocumentHistoryCapacity(), 24);
  EXPECT_EQ(e.Services().Windows().Count(), 0);
  EXPECT_EQ(form.RecentFiles().Count(), 0);  // the file is gone
  for (const char* f : {"Selections", "Masks", "Patterns", "Plugins"})
    EXPECT_TRUE(std::filesystem::is_directory(e.Home.Path / f)) << f;
  // Without a document, the File menu offers only what needs none.
  EXPECT_TRUE(form.Commands().IsEnabled("MenuFichierOuvrir"));
  EXPECT_FALSE(form.Commands().IsEnabled("MenuFichierEnregistrerSous"));
  EXPECT_FALSE(form.Commands().IsEnabled("MenuFichierNouveau"));  // its dialog comes later
  e.Form.reset();
  const std::vector<uint8_t> bytes = ReadFileBytes(e.SettingsFile());
  const std::string written(bytes.begin(), bytes.end());
  EXPECT_NE(written.find(foreign), std::string::npos) << written;
  EXPECT_NE(written.find("History=99"), std::string::npos);  // the Preferences' key, not the window's
  EXPECT_NE(written.find("[Position]"), std::string::npos);
  EXPECT_EQ(written.find("gone.jpg"), std::string::npos);

  // A start that hands its files to a running instance makes and writes nothing.
  e.WriteSettings("[Params]\nRunMulti=0\n" + foreign);
  const std::vector<uint8_t> before = ReadFileBytes(e.SettingsFile());
  std::vector<std::string> handed;
  TMainForm::TStartOptions options;
  options.Files = {"/tmp/a.png", "/tmp/b.png"};
  options.HandOver = [&](const std::vector<std::string>& files) {
    handed = files;
    return true;
  };
  {
    TMainForm second(options);
    EXPECT_TRUE(second.HandedOver());
    EXPECT_EQ(second.findChild<QMdiArea*>(), nullptr);
  }
  EXPECT_EQ(handed, options.Files);
  EXPECT_EQ(ReadFileBytes(e.SettingsFile()), before);
}

TEST(MainForm, OpensTheCommandLineAndDroppedFilesTwentyAtMost) {
  Editor e;
  TempFolder pictures("pictures");
  const std::vector<std::string> names = MakePictures(pictures);
  TMainForm& form = e.Start(names);
  EXPECT_EQ(e.Titles(), ExpectedTitles(names));
  ASSERT_EQ(e.Messages.size(), 1u);  // the corrupt file's, and the next ones opened
  EXPECT_NE(e.Messages[0].find("photo103.gif"), std::string::npos) << e.Messages[0];
  EXPECT_EQ(form.RecentFiles().Names(), ExpectedRecent(names));
  EXPECT_EQ(e.Services().GetActiveFileName(), names[19]);
  // Each document shows the pixels of its file, read by the real codec.
  for (TNewImgForm* w : e.Services().Windows().Windows()) {
    const TBitmap file = ReadPicture(w->FileName());
    const TBitmap& shown = w->Image().UpdatedComposition();
    ASSERT_EQ(shown.Width(), file.Width());
    ASSERT_EQ(shown.Height(), file.Height());
    EXPECT_EQ(MaxDifference(shown, file), 0) << w->FileName();
  }

  // Opened again from the recent files: the window comes forward with the warning.
  e.Messages.clear();
  const std::string again = form.RecentFiles().Names()[5];
  ASSERT_TRUE(form.Commands().Trigger("MenuFichierRecent6"));
  EXPECT_TRUE(e.Said(TextId::GetTrDlgMain7));
  EXPECT_EQ(e.Services().Windows().Count(), 19);
  EXPECT_EQ(e.Services().GetActiveFileName(), again);
  // The same file under another spelling of its path is the same file.
  e.Messages.clear();
  form.Files().OpenImageFile(pictures.File("../" + pictures.Path.filename().string() + "/photo110.bmp"), true, true);
  EXPECT_TRUE(e.Said(TextId::GetTrDlgMain7));
  EXPECT_EQ(e.Services().Windows().Count(), 19);

  // Close all, then the same pictures dropped on the window.
  ASSERT_TRUE(form.Commands().Trigger("MenuFichierFermerTout"));
  EXPECT_EQ(e.Services().Windows().Count(), 0);
  e.Messages.clear();
  QMimeData mime;
  QList<QUrl> urls;
  for (const std::string& n : names) urls.push_back(QUrl::fromLocalFile(QString::fromStdString(n)));
  mime.setUrls(urls);
  QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&form, &enter);
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&form, &drop);
  EXPECT_EQ(e.Titles(), ExpectedTitles(names));
  EXPECT_EQ(e.Messages.size(), 1u);
  EXPECT_EQ(form.RecentFiles().Names(), ExpectedRecent(names));
}

TEST(MainForm, ItsWindowsShowTheProgramsIcon) {
  Editor e;
  InstallApplicationIcon(App());
  const QIcon icon = QApplication::windowIcon();
  for (int size : {16, 32, 48, 64, 128, 256}) {
    EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
    // a drawing at each size: opaque in the middle, see-through in the corner
    const QImage drawn = icon.pixmap(QSize(size, size)).toImage();
    ASSERT_EQ(drawn.size(), QSize(size, size));
    EXPECT_EQ(qAlpha(drawn.pixel(size / 2, size / 2)), 255) << size;
    EXPECT_EQ(qAlpha(drawn.pixel(0, 0)), 0) << size;
  }
  TempFolder pictures("icon");
  WritePicture(pictures.File("photo.png"), Picture(40, 30, 50));
  TMainForm& form = e.Start({pictures.File("photo.png")});
  EXPECT_EQ(form.windowIcon().cacheKey(), icon.cacheKey());
  ASSERT_EQ(e.Services().Windows().Count(), 1);
  EXPECT_EQ(e.Services().Windows().Windows()[0]->windowIcon().cacheKey(), icon.cacheKey());
}

TEST(MainForm, SavesWithAndWithoutTheDialogAndAsksBeforeLosingLayers) {
  Editor e;
  e.WriteSettings("[Params]\nJpgCompression=92\nPreserveFileDate=1\n");
  TempFolder pictures("pictures");
  const std::string jpeg = pictures.File("plage.jpg");
  WritePicture(jpeg, Picture(120, 80, 30));
  WriteExifData(jpeg, {{"Exif.Image.Model", "QC-1000"}});
  const std::time_t old = 1500000000;
  ASSERT_TRUE(SetFileDateByName(jpeg, old));
  TMainForm& form = e.Start({jpeg});
  TNewImgForm* w = e.Services().GetActiveImgForm();
  ASSERT_TRUE(w);
  EXPECT_FALSE(form.Commands().IsEnabled("MenuFichierEnregistrer"));  // nothing changed yet

  // A second layer: Save asks whether to lose it; No writes nothing.
  e.AddLayer(200);
  ASSERT_TRUE(form.Commands().IsEnabled("MenuFichierEnregistrer"));
  const std::vector<uint8_t> original = ReadFileBytes(jpeg);
  e.Answer = [](const std::string&, int) { return int(mrNo); };
  ASSERT_TRUE(form.Commands().Trigger("MenuFichierEnregistrer"));
  EXPECT_TRUE(e.Said(TextId::GetTrDlgMain8));
  EXPECT_EQ(ReadFileBytes(jpeg), original);
  EXPECT_TRUE(w->IsImageModified());

  // Yes: the flattened picture, written at the configured quality, keeps the file's date
  // and its EXIF.
  e.Answer = [](const std::string&, int) { return int(mrYes); };
  ASSERT_TRUE(form.Commands().Trigger("MenuFichierEnregistrer"));
  EXPECT_FALSE(w->IsImageModified());
  const TBitmap written = ReadPicture(jpeg);
  ASSERT_EQ(written.Width(), 120);
  double mean = 0;
  MaxDifference(written, w->Image().UpdatedComposition(), &mean);
  EXPECT_LT(mean, 3.0);
  EXPECT_NE(ReadFileBytes(jpeg), original);
  EXPECT_EQ(GetFileDateByName(jpeg), old);
  EXPECT_EQ(ReadMetadataBlock(jpeg).ExifValue("Exif.Image.Model"), "QC-1000");
  EXPECT_TRUE(w->HasExif);

  // Save as proposes the layered file, which keeps both layers.
  std::string proposed;
  WhenSaveDialog([&](const std::string& p) {
    proposed = p;
    return true;
  });
  ASSERT_TRUE(form.Commands().Trigger("MenuFichierEnregistrerSous"));
  EXPECT_EQ(proposed, pictures.File("plage.qxi"));
  TLayeredImage reread;
  LoadLayeredImageFromFile(reread, pictures.File("plage.qxi"));
  EXPECT_EQ(reread.GetLayerCount(), 2);
  EXPECT_EQ(w->windowTitle(), "plage.qxi");
  EXPECT_EQ(form.RecentFiles().Names().front(), pictures.File("plage.qxi"));

  // A picture of a format we only read saves through the dialog, which proposes a
  // format that keeps what the document holds.
  const std::string ppm = pictures.File("scan.ppm");
  ASSERT_TRUE(QImage(40, 30, QImage::Format_RGB888).save(QString::fromStdString(ppm)));
  ASSERT_TRUE(form.Files().OpenImageFile(ppm, true, true));
  e.AddLayer(5);
  proposed.clear();
  WhenSaveDialog([&](const std::string& p) {
    proposed = p;
    return false;
  });
  ASSERT_TRUE(form.Commands().Trigger("MenuFichierEnregistrer"));
  EXPECT_EQ(proposed, pictures.File("scan.qxi"));
  EXPECT_EQ(e.Services().GetActiveFileName(), ppm);
  EXPECT_TRUE(e.Services().GetActiveImgForm()->IsImageModified());
}

TEST(MainForm, RevertsAndClosesAllUntilASaveIsRefused) {
  Editor e;
  TempFolder pictures("pictures");
  std::vector<std::string> names;
  for (int i = 0; i < 3; ++i) {
    names.push_back(pictures.File("vue" + std::to_string(i) + ".png"));
    WritePicture(names.back(), Picture(60, 40, i * 50));
  }
  TMainForm& form = e.Start(names);
  ASSERT_EQ(e.Services().Windows().Count(), 3);

  // Revert: the question, then the file as it is on disk, unmodified, its one layer.
  TNewImgForm* last = e.Services().GetActiveImgForm();
  e.AddLayer(5);
  ASSERT_TRUE(form.Commands().Trigger("MenuFichierRetablir"));
  EXPECT_TRUE(e.Said(TextId::GetTrDlgMain5));
  EXPECT_EQ(e.Services().Windows().Count(), 3);
  EXPECT_EQ(last->Image().GetLayerCount(), 1);
  EXPECT_FALSE(last->IsImageModified());
  EXPECT_EQ(MaxDifference(last->Image().UpdatedComposition(), ReadPicture(names[2])), 0);

  // The middle one changed: close all stops at its question when it is cancelled.
  TNewImgForm* middle = e.Services().Windows().Windows()[1];
  e.Services().Windows().ActivateImageWindow(middle);
  e.AddLayer(5);
  e.Services().Windows().ActivateImageWindow(last);
  e.Messages.clear();
  e.Answer = [](const std::string&, int buttons) { return buttons & mbCancel ? int(mrCancel) : int(mrOk); };
  ASSERT_TRUE(form.Commands().Trigger("MenuFichierFermerTout"));
  ASSERT_EQ(e.Messages.size(), 1u);
  ASSERT_GE(e.Services().Windows().Count(), 1);
  EXPECT_NE(std::find(e.Services().Windows().Windows().begin(), e.Services().Windows().Windows().end(), middle),
            e.Services().Windows().Windows().end());
  EXPECT_TRUE(middle->IsImageModified());
  // Closing the editor asks again; No lets everything go.
  e.Answer = [](const std::string&, int) { return int(mrNo); };
  EXPECT_TRUE(form.close());
}
