#include "shell/browser/Explor.h"

#include <gtest/gtest.h>
#include <utime.h>

#include <QMenu>
#include <QTest>
#include <exiv2/exiv2.hpp>
#include <filesystem>

#include "imagefiles/BmpCodec.h"
#include "imagefiles/JpegCodec.h"
#include "platform/core/Messages.h"
#include "platform/qt/QtBitmap.h"
#include "platform/texts/Format.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/IniFile.h"
#include "platform/texts/UiTexts.h"
#include "support/QtTestApp.h"
#include "support/TempFiles.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

TBitmap Picture(int w, int h, TColor c) { return TBitmap(w, h, pf24bit, c); }

void WriteJpeg(const std::string& name, int w, int h, TColor c = 0x3080C0) {
  WriteJpegFile(name, Picture(w, h, c), TJpegWriteOptions{80, false});
}

void SetMTime(const std::string& file, std::time_t t) {
  utimbuf times{t, t};
  ASSERT_EQ(::utime(file.c_str(), &times), 0);
}

// A host that does what the main window does with real files, and records the rest.
struct THost : TExplorHost {
  std::string open;
  std::vector<std::string> opened;
  TIniFile ini;
  bool FileAction(const std::string&, const std::string& fileName, int action, std::string& newName) override {
    std::error_code ec;
    if (action == 3) {
      newName = (fs::path(fileName).parent_path() / ("renamed" + fs::path(fileName).extension().string())).string();
      fs::rename(fileName, newName, ec);
    } else if (action == 4) {
      newName = fileName;
      fs::remove(fileName, ec);
    } else {
      return false;
    }
    return !ec;
  }
  bool IsFileOpen(const std::string& fileName) override { return fileName == open; }
  void OpenImageFile(const std::string& fileName) override { opened.push_back(fileName); }
  TIniFile* Settings() override { return &ini; }
};

// Messages shown, answered with Yes.
struct TMessages {
  std::vector<std::string> texts, titles;
  TMessages() {
    SetMessageHandler([this](const std::string& text, TMsgType, int, const std::string& title) {
      texts.push_back(text);
      titles.push_back(title);
      return int(mrYes);
    });
  }
  ~TMessages() { SetMessageHandler({}); }
};

struct TBrowser {
  bool app = (test::App(), ResetTextTable(), true);
  test::TempFolder dir{"browser"};
  THost host;
  TThumbnailCache cache{(dir.Path / ".cache").string()};
  TExplorForm form{host, nullptr, &cache};
  std::string photos = (dir.Path / "photos").string();

  TBrowser() {
    fs::create_directories(photos);
  }
  std::string File(const std::string& name) const { return photos + "/" + name; }
  void Load() {
    form.LoadBrowserFolder(photos);
    form.WaitUntilLoaded();
  }
  std::vector<std::string> Captions() const {
    std::vector<std::string> out;
    for (int i = 0; i < form.ItemCount(); ++i) out.push_back(form.List->item(i)->text().toStdString());
    return out;
  }
  int Row(const std::string& caption) const {
    for (int i = 0; i < form.ItemCount(); ++i)
      if (form.List->item(i)->text().toStdString() == caption) return i;
    return -1;
  }
};

TEST(Explor, CaptionsLoseTheirExtensionThenAreCut) {
  struct Case {
    const char* name;
    const char* caption;
  } cases[] = {{"/a/short.jpg", "short.jpg"},
               {"/a/abcdefghi.jpg", "abcdefghi.jpg"},                // 13 characters stay whole
               {"/a/abcdefghij.jpg", "abcdefghij"},                  // 14 lose the extension
               {"/a/abcdefghijklm.png", "abcdefghijklm"},
               {"/a/abcdefghijklmnopqrst.jpg", "abcdefghijkl..."},   // a 20-character name
               {"/a/vacances_été_2024.jpeg", "vacances_été..."}};   // characters, not bytes
  for (const Case& c : cases) EXPECT_EQ(TExplorForm::ItemCaption(c.name).toStdString(), c.caption) << c.name;
}

// Thumbnails with their badges, the stored sizes, sorting by caption or in scan order.
TEST(Explor, AFolderLoadsWithBadgesAndSorts) {
  TBrowser b;
  WriteJpeg(b.File("b_exif.jpg"), 640, 480);
  WriteJpeg(b.File("C_plain.jpg"), 100, 300);
  {
    auto image = Exiv2::ImageFactory::open(b.File("b_exif.jpg"));
    image->readMetadata();
    Exiv2::ExifData exif;
    exif["Exif.Image.Make"] = "Quillocam";
    image->setExifData(exif);
    image->setComment("un commentaire");
    image->writeMetadata();
  }
  WriteBmpFile(b.File("a_first.bmp"), Picture(50, 40, TColor(0x0000FF)));
  b.dir.Write("photos/broken.jpg", "not a picture");  // skipped silently
  b.dir.Write("photos/notes.txt", "not a picture either");
  b.form.SetMasks("*.jpg;*.bmp");
  b.Load();
  EXPECT_TRUE(b.form.FolderLoaded());
  EXPECT_FALSE(b.form.IsBrowserLoading());
  EXPECT_EQ(b.Captions(), (std::vector<std::string>{"a_first.bmp", "b_exif.jpg", "C_plain.jpg"}));

  const TImageData* exif = b.form.ItemData(b.Row("b_exif.jpg"));
  ASSERT_TRUE(exif);
  EXPECT_EQ(exif->Width, 640);
  EXPECT_EQ(exif->Height, 480);
  EXPECT_EQ(exif->Metadata, 1u | 4u);  // EXIF and comment
  EXPECT_EQ(b.form.ItemData(b.Row("C_plain.jpg"))->Metadata, 0u);
  // the badges sit on the thumbnail's top-left corner: EXIF at x = 3, the comment next
  auto iconAt = [&](int row) { return b.form.List->item(row)->icon().pixmap(64, 64).toImage(); };
  const QImage withBadges = iconAt(b.Row("b_exif.jpg")), plain = iconAt(b.Row("C_plain.jpg"));
  EXPECT_EQ(withBadges.pixelColor(6, 6), QColor(0x20, 0x60, 0xC0));
  EXPECT_EQ(withBadges.pixelColor(15, 6), QColor(0xE8, 0xB8, 0x20));
  EXPECT_NE(plain.pixelColor(6, 6), QColor(0x20, 0x60, 0xC0));

  // unsorted: the order of the scan (the masks in turn, names in order)
  b.form.RunAction(TExplorAction::Sort);
  EXPECT_FALSE(b.form.Sorted());
  EXPECT_EQ(b.Captions(), (std::vector<std::string>{"C_plain.jpg", "b_exif.jpg", "a_first.bmp"}));
  b.form.RunAction(TExplorAction::Sort);
  EXPECT_EQ(b.Captions().front(), "a_first.bmp");

  // the popup offers the item actions only with an item selected
  b.form.UpdateBrowserToolButtons(true);
  EXPECT_FALSE(b.form.Actions[TExplorAction::Rename]->isEnabled());
  b.form.List->setCurrentRow(0);
  b.form.UpdateBrowserToolButtons(true);
  EXPECT_TRUE(b.form.Actions[TExplorAction::Rename]->isEnabled());
  EXPECT_EQ(b.form.Actions[TExplorAction::Copy]->text(), "Copier  l'image vers...");
  EXPECT_FALSE(b.form.Actions[TExplorAction::LoadSelection]->isVisible());
  b.form.ActivateItem();  // a double click opens it as a new image
  EXPECT_EQ(b.host.opened, std::vector<std::string>{b.File("a_first.bmp")});
}

// A scan ends after the item that passes 1000; a symbolic link back to a parent folder
// ends too; a file changed on disk is shown anew.
TEST(Explor, ScansEndAndFollowChanges) {
  TBrowser b;
  const TBitmap tiny = Picture(2, 2, TColor(0xFF0000));
  for (int i = 1000; i < 2010; ++i) WriteBmpFile(b.photos + "/p" + std::to_string(i) + ".bmp", tiny);
  b.Load();
  EXPECT_EQ(b.form.ItemCount(), 1001);
  EXPECT_EQ(b.Captions().back(), "p2000.bmp");

  TBrowser loop;
  fs::create_directories(loop.File("sub"));
  WriteJpeg(loop.File("top.jpg"), 64, 48);
  WriteJpeg(loop.File("sub/inner.jpg"), 64, 48);
  fs::create_directory_symlink("..", loop.File("sub/back"));
  loop.form.RunAction(TExplorAction::SubFolders);
  loop.Load();
  EXPECT_EQ(loop.Captions(), (std::vector<std::string>{"inner.jpg", "top.jpg"}));

  // the second visit comes from the cache; a changed file is read again
  EXPECT_TRUE(fs::exists(loop.cache.EntryPath(loop.File("top.jpg"))));
  WriteJpeg(loop.File("top.jpg"), 320, 200, TColor(0x0000FF));
  SetMTime(loop.File("top.jpg"), 1700000000);
  loop.form.RunAction(TExplorAction::Refresh);
  loop.form.WaitUntilLoaded();
  EXPECT_EQ(loop.form.ItemData(loop.Row("top.jpg"))->Width, 320);
  const QImage icon = loop.form.List->item(loop.Row("top.jpg"))->icon().pixmap(64, 64).toImage();
  EXPECT_GE(icon.pixelColor(32, 32).red(), 250);
}

// The file actions in a temporary folder, with their messages.
TEST(Explor, ActionsOnFiles) {
  TBrowser b;
  WriteJpeg(b.File("keep.jpg"), 120, 90);
  WriteJpeg(b.File("open.jpg"), 120, 90);
  WriteJpeg(b.File("trash.jpg"), 120, 90);
  SetMTime(b.File("keep.jpg"), 1700000000);
  b.Load();
  TMessages messages;

  // a file a document window holds is neither renamed nor thrown away
  b.host.open = b.File("open.jpg");
  b.form.List->setCurrentRow(b.Row("open.jpg"));
  b.form.RunAction(TExplorAction::Rename);
  b.form.RunAction(TExplorAction::Delete);
  ASSERT_EQ(messages.texts.size(), 2u);
  EXPECT_EQ(messages.texts[0], Tr(TextId::GetTrDlgMain7));
  EXPECT_TRUE(fs::exists(b.File("open.jpg")));

  b.form.List->setCurrentRow(b.Row("keep.jpg"));
  b.form.RunAction(TExplorAction::Rename);
  EXPECT_TRUE(fs::exists(b.File("renamed.jpg")));
  EXPECT_EQ(b.Captions(), (std::vector<std::string>{"open.jpg", "renamed.jpg", "trash.jpg"}));

  b.form.List->setCurrentRow(b.Row("trash.jpg"));
  b.form.RunAction(TExplorAction::Delete);
  EXPECT_FALSE(fs::exists(b.File("trash.jpg")));
  EXPECT_EQ(b.Captions(), (std::vector<std::string>{"open.jpg", "renamed.jpg"}));

  b.form.List->setCurrentRow(b.Row("renamed.jpg"));
  b.form.RunAction(TExplorAction::Properties);
  ASSERT_EQ(messages.texts.size(), 3u);
  const std::string expected =
      "Nom du fichier : renamed.jpg\rDossier : " + b.photos + "\rDimensions : 120 x 90 pixels\r\rTaille du fichier : " +
      FormatFileSize(b.form.ItemData(b.Row("renamed.jpg"))->FileSize, false) + "\rDate : " +
      messages.texts[2].substr(messages.texts[2].find("Date : ") + 7, messages.texts[2].find("\r\rNombre") -
                                                                          messages.texts[2].find("Date : ") - 7) +
      "\r\rNombre d'images : 2";
  EXPECT_EQ(messages.texts[2], expected);
  EXPECT_EQ(messages.titles[2], "Propriétés de l'image");
}

TEST(Explor, SettingsOfTheExplorerSection) {
  TBrowser b;
  b.form.show();  // a missing section: sorted, no sub-folders
  EXPECT_TRUE(b.form.Sorted());
  EXPECT_FALSE(b.form.Recurse());
  b.Load();
  b.form.RunAction(TExplorAction::SubFolders);
  b.form.hide();
  EXPECT_EQ(b.host.ini.ReadString("Explorer", "Dir", ""), b.photos + "/");
  EXPECT_EQ(b.host.ini.ReadString("Explorer", "SubDirs", ""), "1");
  EXPECT_EQ(b.host.ini.ReadString("Explorer", "Sort", ""), "1");

  b.host.ini.WriteString("Explorer", "Sort", "0");
  b.host.ini.WriteString("Explorer", "SubDirs", "yes");
  TExplorForm other(b.host, nullptr, &b.cache);
  other.show();
  EXPECT_FALSE(other.Sorted());
  EXPECT_FALSE(other.Recurse());
  EXPECT_EQ(other.Folder(), b.photos + "/");
}

}  // namespace
}  // namespace qm
