#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/core/Types.h"
#include "platform/texts/IniFile.h"
#include "shell/services/Settings.h"
#include "shell/services/SettingsEnvironment.h"
#include "support/TempFiles.h"

using namespace qm;
namespace fs = std::filesystem;

namespace {

using test::TempFolder;

TSettingsEnvironment Env() {
  TSettingsEnvironment env;
  env.Screen = TRect{0, 0, 1280, 1024};
  env.DefaultOpenFolder.assign(1, '/');
  env.PluginFolder.assign(1, '/');
  env.FormatCount = 8;
  env.PluginsAvailable = true;
  return env;
}

TShellSettings FromText(const std::string& text, const TSettingsEnvironment& env = Env()) {
  TIniFile ini;
  ini.LoadFromString(text);
  return ReadShellSettings(ini, env);
}

void ExpectDefaults(const TShellSettings& s) {
  EXPECT_EQ(s.MainBounds, (TRect{10, 10, 800, 600}));
  EXPECT_FALSE(s.Maximize);
  EXPECT_TRUE(s.RunMulti);
  EXPECT_EQ(s.OpenDir, "/");
  EXPECT_EQ(s.SaveDir, "");
  EXPECT_EQ(s.History, 12);
  EXPECT_EQ(s.JpgCompression, -1);
  EXPECT_EQ(s.DefaultFormat, -1);
  EXPECT_EQ(s.GridCellSize, 16);
  EXPECT_EQ(s.ColorGrid, 0xC0C0C0u);
  EXPECT_EQ(s.ThumbSize, 1);
  EXPECT_TRUE(s.AdvancedDisplay && s.BkgTexture && s.XPMenu && s.BorderShadow && s.PreserveExif);
  EXPECT_TRUE(s.TrackBallZoom && s.BoundingBox && s.FilterBar && s.ToolsPalette && s.LoadPlugins && s.Mode8bf);
  EXPECT_FALSE(s.LockDir || s.UniqueDir || s.MaximizeImgWin || s.Preview || s.PreserveFileDate);
  EXPECT_FALSE(s.AlphaBlendForm || s.ClearFileListe || s.PluginsBar);
  EXPECT_TRUE(s.RecentFiles.empty());
  EXPECT_EQ(s.ToolsAlignment, 2);
  EXPECT_EQ(s.PaletteX, -1);
  EXPECT_EQ(s.Color1, 0x000000u);
  EXPECT_EQ(s.Color2, 0xFFFFFFu);
  EXPECT_EQ(s.Palette, 0);
  EXPECT_TRUE(s.PluginButtons.empty());
  EXPECT_EQ(s.Dir8bf, "/");
}

}  // namespace

TEST(Settings, MissingGarbageAndBinaryFilesGiveTheDefaults) {
  TempFolder tmp("settings");
  TIniFile missing(tmp.File("none.ini"));
  ExpectDefaults(ReadShellSettings(missing, Env()));
  ExpectDefaults(FromText("this is not\n=an ini file\n[[[\n\x01\x02\x03"));
  std::string binary = "[Params]\nHistory=3\n";
  binary += '\0';
  std::ofstream(tmp.File("binary.ini"), std::ios::binary) << binary;
  TIniFile bin(tmp.File("binary.ini"));
  ExpectDefaults(ReadShellSettings(bin, Env()));
  ExpectDefaults(FromText("[Params]\nHistory=ERR\nJpgCompression=ERR\n[Tools]\nFilterBar=ERR\n"));
}

TEST(Settings, MainWindowBounds) {
  const TRect screen{0, 0, 1280, 1024};
  EXPECT_EQ(MainWindowBounds(-1, 50, 900, 700, screen), (TRect{10, 10, 800, 600}));
  // Too small: grown to 640 x 480 from its top-left corner.
  EXPECT_EQ(MainWindowBounds(100, 100, 100, 100, screen), (TRect{100, 100, 740, 580}));
  // Partly off screen: moved back inside.
  EXPECT_EQ(MainWindowBounds(1000, 900, 800, 600, screen), (TRect{480, 424, 1280, 1024}));
  // Larger than the screen: cut to it.
  EXPECT_EQ(MainWindowBounds(0, 0, 3000, 2000, screen), screen);
  // A negative size is ordered.
  EXPECT_EQ(MainWindowBounds(900, 700, -800, -600, screen), (TRect{100, 100, 900, 700}));
  // Absurd numbers cannot overflow.
  const TRect r = MainWindowBounds(2147483600, 2147483600, 2147483600, 2147483600, screen);
  EXPECT_EQ(r, screen);
  EXPECT_EQ(FromText("[Position]\nX=20\nY=30\nW=100\nH=100\nMaximize=1\n").MainBounds, (TRect{20, 30, 660, 510}));
  EXPECT_TRUE(FromText("[Position]\nMaximize=1\n").Maximize);
}

TEST(Settings, NumbersAreClamped) {
  EXPECT_EQ(FromText("[Params]\nJpgCompression=5\n").JpgCompression, 10);
  EXPECT_EQ(FromText("[Params]\nJpgCompression=0\n").JpgCompression, 10);
  EXPECT_EQ(FromText("[Params]\nJpgCompression=150\n").JpgCompression, 100);
  EXPECT_EQ(FromText("[Params]\nJpgCompression=75\n").JpgCompression, 75);
  EXPECT_EQ(FromText("[Params]\nJpgCompression=-1\n").JpgCompression, -1);
  EXPECT_EQ(FromText("[Params]\nJpgCompression=-7\n").JpgCompression, -1);
  EXPECT_EQ(FromText("[Params]\nJpgCompression=abc\n").JpgCompression, -1);
  EXPECT_EQ(FromText("[Params]\nHistory=99\n").History, 24);
  EXPECT_EQ(FromText("[Params]\nHistory=0\n").History, 1);
  EXPECT_EQ(FromText("[Params]\nHistory=x\n").History, 12);
  EXPECT_EQ(FromText("[Params]\nDefaultFormat2=50\n").DefaultFormat, 7);
  EXPECT_EQ(FromText("[Params]\nDefaultFormat2=-9\n").DefaultFormat, -1);
  EXPECT_EQ(FromText("[Params]\nImageUnit=3\nPrintUnit=7\nGridCellSize=0\nThumbSize=-2\n").ImageUnit, 2);
  const TShellSettings s = FromText("[Params]\nPrintUnit=7\nGridCellSize=0\nThumbSize=-2\n[Tools]\nPalette=40\n");
  EXPECT_EQ(s.PrintUnit, 1);
  EXPECT_EQ(s.GridCellSize, 1);
  EXPECT_EQ(s.ThumbSize, 0);
  EXPECT_EQ(s.Palette, 11);
  TSettingsEnvironment env = Env();
  env.PrintUnit = 1;
  EXPECT_EQ(FromText("", env).PrintUnit, 1);
  EXPECT_EQ(FromText("[Tools]\nToolsAlignment=5\n").ToolsAlignment, 2);
  EXPECT_EQ(FromText("[Tools]\nToolsAlignment=1\nX=5\n").PaletteX, -1);
  const TShellSettings floating = FromText("[Tools]\nToolsAlignment=0\nX=5\nY=6\n");
  EXPECT_EQ(floating.ToolsAlignment, 0);
  EXPECT_EQ(floating.PaletteX, 5);
  EXPECT_EQ(floating.PaletteY, 6);
}

TEST(Settings, BooleansTestOneLiteral) {
  EXPECT_FALSE(FromText("[Tools]\nFilterBar=0\n").FilterBar);
  EXPECT_FALSE(FromText("[Tools]\nFilterBar=yes\n").FilterBar);
  EXPECT_TRUE(FromText("[Tools]\nFilterBar=1\n").FilterBar);
  EXPECT_TRUE(FromText("").FilterBar);
  EXPECT_FALSE(FromText("[Tools]\nToolsPalette=\n").ToolsPalette);
  EXPECT_FALSE(FromText("[Params]\nRunMulti=0\n").RunMulti);
  EXPECT_TRUE(FromText("[Params]\nRunMulti=no\n").RunMulti);
  EXPECT_TRUE(FromText("[Params]\nPreview=1\n").Preview);
  EXPECT_FALSE(FromText("[Params]\nPreview=true\n").Preview);
  EXPECT_FALSE(FromText("[Params]\nBorderShadow=0\n").BorderShadow);
  EXPECT_TRUE(FromText("[Params]\nBorderShadow=false\n").BorderShadow);
  TSettingsEnvironment env = Env();
  env.VisualStyles = false;
  EXPECT_FALSE(FromText("", env).XPMenu);
  EXPECT_TRUE(FromText("[Params]\nXPMenu=1\n", env).XPMenu);
  TIniFile ini;
  ini.LoadFromString("[params]\nrunmulti=0\n");
  EXPECT_FALSE(ReadRunMulti(ini));
}

TEST(Settings, ColoursAndFolders) {
  TempFolder tmp("settings");
  EXPECT_EQ(FromText("[Tools]\nColor1=#FF0000\n").Color1, RGB(255, 0, 0));
  EXPECT_EQ(FromText("[Tools]\nColor1=rouge\n").Color1, 0x000000u);
  EXPECT_EQ(FromText("[Tools]\nColor2=clNavy\n").Color2, RGB(0, 0, 128));
  EXPECT_EQ(FromText("[Params]\nColorGrid=#123\n").ColorGrid, 0xC0C0C0u);
  const std::string folder = tmp.Path.string();
  const TShellSettings s =
      FromText("[Params]\nOpen=" + folder + "\nSave=" + folder + "/missing\n[Plugins]\n8bfDir=" + folder + "\n");
  EXPECT_EQ(s.OpenDir, folder);
  EXPECT_EQ(s.SaveDir, "");
  EXPECT_EQ(s.Dir8bf, folder);
  EXPECT_EQ(FromText("[Plugins]\n8bfDir=/no/such/folder\n").Dir8bf, "/");
}

TEST(Settings, RecentFilesAndPluginButtons) {
  TempFolder tmp("settings");
  const std::string a = tmp.Write("a.jpg", "x"), c = tmp.Write("c.png", "x");
  const std::string text = "[Files]\nFile1=" + a + "\nFile2=" + tmp.File("deleted.bmp") + "\nFile3=\nFile4=" + c +
                           "\nFile13=" + a + "\n";
  EXPECT_EQ(FromText(text).RecentFiles, (std::vector<std::string>{a, c}));
  EXPECT_TRUE(FromText("[Files]\nClearFileListe=1\n" + text.substr(8)).RecentFiles.empty());

  const std::string plugins = "[Plugins]\nPlugin1=Relief\nPlugin2=\nPlugin3=Flou|Blur\nPlugin21=Trop\n";
  EXPECT_EQ(FromText(plugins).PluginButtons, (std::vector<std::string>{"Relief", "Flou|Blur"}));
  TSettingsEnvironment env = Env();
  env.PluginsAvailable = false;
  EXPECT_TRUE(FromText(plugins, env).PluginButtons.empty());
}

TEST(Settings, WrittenOnExitAndReadBack) {
  TempFolder tmp("settings");
  const std::string path = tmp.File("cfg/Quillomatic.ini");
  {
    std::ofstream out(tmp.File("seed.ini"));
    out << "[Automate]\nSource=/images\n[Files]\nFile1=/old\nFile7=/older\n";
  }
  fs::create_directories(tmp.Path / "cfg");
  fs::copy_file(tmp.File("seed.ini"), path);
  TIniFile ini(path);
  TShellSettings s = ReadShellSettings(ini, Env());
  s.MainBounds = TRect{50, 60, 850, 660};
  s.OpenDir = tmp.Path.string();
  s.RecentFiles = {tmp.Write("one.jpg", "x"), tmp.Write("two.jpg", "x")};
  s.Color1 = RGB(255, 128, 0);
  s.ToolsAlignment = 0;
  s.PaletteX = 7;
  s.PaletteY = 8;
  s.FilterBar = false;
  s.ThumbSize = 2;
  s.PluginsBar = true;
  std::string error;
  ASSERT_TRUE(SaveShellSettings(ini, s, &error)) << error;

  TIniFile back(path);
  EXPECT_EQ(back.ReadString("Automate", "Source", ""), "/images");  // a section we do not own
  EXPECT_EQ(back.ReadString("Tools", "Color1", ""), "#FF8000");
  EXPECT_EQ(back.ReadString("Files", "File7", "ERR"), "ERR");         // beyond the list: deleted
  EXPECT_EQ(back.ReadString("Position", "W", ""), "800");
  // ToolsAlignment belongs to the Preferences dialog; the palette position is written
  // because the palette floats.
  EXPECT_EQ(back.ReadString("Tools", "ToolsAlignment", "ERR"), "ERR");
  EXPECT_EQ(back.ReadString("Tools", "X", ""), "7");
  const TShellSettings r = ReadShellSettings(back, Env());
  EXPECT_EQ(r.MainBounds, s.MainBounds);
  EXPECT_EQ(r.OpenDir, s.OpenDir);
  EXPECT_EQ(r.RecentFiles, s.RecentFiles);
  EXPECT_EQ(r.Color1, s.Color1);
  EXPECT_FALSE(r.FilterBar);
  EXPECT_EQ(r.ThumbSize, 2);
  EXPECT_TRUE(r.PluginsBar);

  // Maximised: the normal bounds stay as they were; with LockDir the folders too.
  s.Maximize = true;
  s.MainBounds = TRect{0, 0, 1, 1};
  s.LockDir = true;
  s.OpenDir = "/elsewhere";
  ASSERT_TRUE(SaveShellSettings(back, s));
  TIniFile again(path);
  EXPECT_EQ(again.ReadString("Position", "X", ""), "50");
  EXPECT_EQ(again.ReadString("Position", "Maximize", ""), "1");
  EXPECT_EQ(again.ReadString("Params", "Open", ""), tmp.Path.string());
}

TEST(Settings, PreferenceKeysRoundTrip) {
  TShellSettings s = DefaultShellSettings(Env());
  s.History = 20;
  s.JpgCompression = 85;
  s.DefaultFormat = 3;
  s.ImageUnit = 2;
  s.GridCellSize = 32;
  s.ColorGrid = RGB(1, 2, 3);
  s.RunMulti = false;
  s.ToolsAlignment = 1;
  s.PluginButtons = {"A", "B"};
  s.Mode8bf = false;
  TIniFile ini;
  ini.LoadFromString("[Plugins]\nPlugin5=Old\n");
  WritePreferenceSettings(ini, s);
  const TShellSettings r = ReadShellSettings(ini, Env());
  EXPECT_EQ(r.History, 20);
  EXPECT_EQ(r.JpgCompression, 85);
  EXPECT_EQ(r.DefaultFormat, 3);
  EXPECT_EQ(r.ImageUnit, 2);
  EXPECT_EQ(r.GridCellSize, 32);
  EXPECT_EQ(r.ColorGrid, RGB(1, 2, 3));
  EXPECT_FALSE(r.RunMulti);
  EXPECT_EQ(r.ToolsAlignment, 1);
  EXPECT_EQ(r.PluginButtons, (std::vector<std::string>{"A", "B"}));
  EXPECT_FALSE(r.Mode8bf);
}

TEST(Settings, AFailedSaveIsReported) {
  TempFolder tmp("settings");
  std::ofstream(tmp.File("file")) << "x";
  TIniFile ini(tmp.File("file/Quillomatic.ini"));
  std::string error;
  EXPECT_FALSE(SaveShellSettings(ini, DefaultShellSettings(Env()), &error));
  EXPECT_FALSE(error.empty());
}

TEST(Settings, TheDesktopEnvironment) {
  const TSettingsEnvironment env = SystemSettingsEnvironment(5, false);
  EXPECT_FALSE(env.DefaultOpenFolder.empty());
  EXPECT_TRUE(fs::is_directory(env.DefaultOpenFolder));
  EXPECT_EQ(env.FormatCount, 5);
  EXPECT_FALSE(env.Screen.IsEmpty());
  EXPECT_NE(env.PluginFolder.find("Plugins"), std::string::npos);
}
