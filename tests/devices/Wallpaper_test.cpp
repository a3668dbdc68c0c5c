// The desktop's wallpaper through GSettings' key-file backend in folders of the test's
// own: the file written, the keys the desktop reads, the refusals.
#include "devices/desktop/Wallpaper.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "imagefiles/FileDispatch.h"
#include "pixel/ImgUtils.h"
#include "platform/core/Messages.h"
#include "platform/texts/IniFile.h"
#include "platform/texts/UiTexts.h"
#include "support/MainFormFixture.h"
#include "support/ProgramStart.h"
#include "support/TempFiles.h"

using namespace qm;
using namespace qm::test;

namespace {

class Wallpaper : public ::testing::Test {
 protected:
  // GSettings picks its backend once per process: the key file under a configuration
  // folder of the suite's own.
  static void SetUpTestSuite() {
    setenv("GSETTINGS_BACKEND", "keyfile", 1);
    setenv("XDG_CONFIG_HOME", TestTmpDir("wallpaper-config").c_str(), 1);
  }
  void SetUp() override {
    App();
    setenv("XDG_CURRENT_DESKTOP", "ubuntu:GNOME", 1);
    SetMessageHandler([this](const std::string& text, int, int, const std::string&) {
      Messages.push_back(text);
      return int(mrOk);
    });
  }
  void TearDown() override { SetMessageHandler({}); }

  // A key of the desktop's background as GSettings stored it (the key file quotes the
  // strings, the ini reader drops the quotes).
  static std::string Key(const char* key) {
    TIniFile file(TestTmpDir("wallpaper-config") + "/glib-2.0/settings/keyfile");
    return file.ReadString("org/gnome/desktop/background", key, "");
  }

  TempFolder Folder{"wallpaper"};
  std::vector<std::string> Messages;
};

TBitmap Stripes(int w, int h, TPixelFormat pf = pf24bit) {
  TBitmap b(w, h, pf);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, HSVToColor((x * 360 / w) % 360, 200, 100 + (y % 4) * 40));
  return b;
}

}  // namespace

TEST(WallpaperRoute, GnomeFamiliesTakeTheSettingsTheOthersThePortal) {
  const struct {
    const char* desktop;
    TWallpaperRoute route;
  } cases[] = {
      {"GNOME", TWallpaperRoute::GnomeSettings},   {"ubuntu:GNOME", TWallpaperRoute::GnomeSettings},
      {"Unity", TWallpaperRoute::GnomeSettings},   {"Budgie:GNOME", TWallpaperRoute::GnomeSettings},
      {"gnome-classic:gnome", TWallpaperRoute::GnomeSettings},
      {"KDE", TWallpaperRoute::Portal},            {"X-Cinnamon", TWallpaperRoute::Portal},
      {"GNOMEish", TWallpaperRoute::Portal},       {"", TWallpaperRoute::Portal},
  };
  for (const auto& c : cases) EXPECT_EQ(WallpaperRouteFor(c.desktop), c.route) << c.desktop;
}

TEST_F(Wallpaper, MosaiqueTilesAndCentrerCentresTheFileWritten) {
  const std::string file = Folder.File("Papier-peint-Quillomatic.bmp");
  for (bool tile : {true, false}) {
    ASSERT_TRUE(SetDesktopWallpaper(Stripes(120, 80), file, tile, false));
    EXPECT_EQ(Key("picture-options"), tile ? "wallpaper" : "centered");
    EXPECT_EQ(Key("picture-uri"), "file://" + file);
    EXPECT_EQ(Key("picture-uri-dark"), "file://" + file);
    const TBitmap back = LoadPicture(file, TLoadRequest{}).Bitmap;
    EXPECT_EQ(back.Width(), 120);
    EXPECT_EQ(back.Height(), 80);
  }
  EXPECT_TRUE(Messages.empty());
}

TEST_F(Wallpaper, FittedToTheScreenAndBackToTheImagesColourCount) {
  // The offscreen screen is 800 x 600: a small image grows to fit it.
  const std::string file = Folder.File("fit.bmp");
  ASSERT_TRUE(SetDesktopWallpaper(Stripes(100, 50), file, false, true));
  TBitmap back = LoadPicture(file, TLoadRequest{}).Bitmap;
  EXPECT_EQ(back.Width(), 800);
  EXPECT_EQ(back.Height(), 400);
  // A 16-colour image stays a 16-colour file.
  ASSERT_TRUE(SetDesktopWallpaper(Stripes(100, 50, pf4bit), file, false, true, TPoint{300, 300}));
  const std::vector<uint8_t> bytes = ReadFileBytes(file);
  ASSERT_GT(bytes.size(), 30u);
  EXPECT_EQ(bytes[28], 4);  // bits per pixel
  back = LoadPicture(file, TLoadRequest{}).Bitmap;
  EXPECT_EQ(back.Width(), 300);
  EXPECT_EQ(back.Height(), 150);
}

TEST_F(Wallpaper, AFailedSaveSetsNothing) {
  ASSERT_TRUE(SetDesktopWallpaper(Stripes(20, 20), Folder.File("before.bmp"), false, false));
  const std::string before = Key("picture-uri");
  EXPECT_FALSE(SetDesktopWallpaper(Stripes(20, 20), Folder.File("missing/folder/w.bmp"), true, false));
  EXPECT_EQ(Key("picture-uri"), before);
  EXPECT_FALSE(SetDesktopWallpaper(TBitmap(), Folder.File("empty.bmp"), true, false));
  EXPECT_FALSE(std::filesystem::exists(Folder.File("empty.bmp")));
}

TEST_F(Wallpaper, ADesktopWithoutTheSchemaOrThePortalIsTold) {
  // Without a session bus no portal answers.
  setenv("XDG_CURRENT_DESKTOP", "KDE", 1);
  const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  const std::string saved = bus ? bus : "";
  setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
  EXPECT_FALSE(WriteWallpaperSettings(Folder.File("w.bmp"), true));
  if (bus) setenv("DBUS_SESSION_BUS_ADDRESS", saved.c_str(), 1);
  else unsetenv("DBUS_SESSION_BUS_ADDRESS");
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_EQ(Messages[0], Tr(TextId::TrFixWallpaperUnsupported));
  // GNOME without its schema installed: a process of its own, whose GSettings has
  // never looked for schemas anywhere but an empty folder.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string empty = Folder.Path.string();
  EXPECT_EXIT(
      {
        for (const char* v : {"GSETTINGS_SCHEMA_DIR", "XDG_DATA_DIRS", "XDG_DATA_HOME"}) setenv(v, empty.c_str(), 1);
        setenv("XDG_CURRENT_DESKTOP", "GNOME", 1);
        std::string said;
        SetMessageHandler([&](const std::string& text, int, int, const std::string&) {
          said = text;
          return int(mrOk);
        });
        const bool set = WriteWallpaperSettings(empty + "/w.bmp", false);
        std::exit(!set && said == Tr(TextId::TrFixWallpaperUnsupported) ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(Wallpaper, TheToolsMenusMosaiqueSetsTheComposedImage) {
  Editor editor;
  editor.Options = ProgramStartOptions();
  editor.Start();
  TNewImgForm& doc = editor.NewDocument(Stripes(64, 48));
  (void)doc;
  editor.Form->UpdateCommandStates();
  ASSERT_TRUE(editor.Form->Commands().Trigger("MenuPapierPeintMosaique"));
  EXPECT_EQ(editor.Messages, std::vector<std::string>{Tr(TextId::GetTrDlgMain2)});
  EXPECT_EQ(Key("picture-options"), "wallpaper");
  const std::string file = editor.Home.File("Papier-peint-Quillomatic.bmp");
  EXPECT_EQ(Key("picture-uri"), "file://" + file);
  EXPECT_EQ(LoadPicture(file, TLoadRequest{}).Bitmap.Width(), 64);
}
