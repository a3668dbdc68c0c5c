#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/texts/AppPaths.h"
#include "platform/texts/IniFile.h"
#include "support/TempFiles.h"
#include "support/TestImages.h"

using namespace qm;
namespace fs = std::filesystem;

namespace {

using test::TempFolder;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

size_t FilesIn(const fs::path& folder) {
  size_t n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder)) ++n;
  return n;
}

const char* kSample =
    "; written by hand\n"
    "[Position]\n"
    "X=10\n"
    "  w = 800 \n"
    "[Explorer]\n"
    "Thumbs=1\n"
    "weird line without equals\n"
    "[params]\n"
    "History=5\n"
    "history=7\n"
    "Open=\"/home/user/Images\"\n"
    "[Params]\n"
    "Preview=1\n";

}  // namespace

TEST(IniFile, LookupsIgnoreCaseAndTheFirstDuplicateWins) {
  TIniFile ini;
  ini.LoadFromString(kSample);
  EXPECT_EQ(ini.ReadString("POSITION", "x", "ERR"), "10");
  EXPECT_EQ(ini.ReadString("Position", "W", "ERR"), "800");
  EXPECT_EQ(ini.ReadInteger("Params", "HISTORY", 12), 5);
  EXPECT_EQ(ini.ReadString("Params", "Open", "ERR"), "/home/user/Images");
  // Only the first of two equal sections counts.
  EXPECT_EQ(ini.ReadString("Params", "Preview", "ERR"), "ERR");
  EXPECT_EQ(ini.ReadString("Nope", "X", "ERR"), "ERR");
  EXPECT_EQ(ini.ReadInteger("Explorer", "Thumbs", 0), 1);
  EXPECT_TRUE(ini.ReadBool("Explorer", "Thumbs", false));
  EXPECT_FALSE(ini.ReadBool("Explorer", "Missing", false));
  EXPECT_EQ(ini.ReadSection("params"), (std::vector<std::string>{"History", "Open"}));
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Position", "Explorer", "params"}));
  EXPECT_TRUE(ini.ValueExists("explorer", "THUMBS"));
  EXPECT_FALSE(ini.ValueExists("explorer", "weird line without equals"));
}

TEST(IniFile, WritingKeepsForeignLinesInPlace) {
  TIniFile ini;
  ini.LoadFromString(kSample);
  ini.WriteInteger("PARAMS", "history", 9);
  ini.WriteString("Position", "Y", "20");
  ini.WriteBool("Tools", "FilterBar", false);
  EXPECT_EQ(ini.ToString(),
            "; written by hand\n"
            "[Position]\n"
            "X=10\n"
            "  w = 800 \n"
            "Y=20\n"
            "[Explorer]\n"
            "Thumbs=1\n"
            "weird line without equals\n"
            "[params]\n"
            "History=9\n"
            "history=7\n"
            "Open=\"/home/user/Images\"\n"
            "[Params]\n"
            "Preview=1\n"
            "\n"
            "[Tools]\n"
            "FilterBar=0\n");
  // Values cannot break a line.
  ini.WriteString("Tools", "Evil", "a\n[Params]\nHistory=1");
  EXPECT_EQ(ini.ReadString("Tools", "Evil", ""), "a [Params] History=1");
  EXPECT_EQ(ini.ReadInteger("params", "History", 0), 9);
}

TEST(IniFile, DeletingKeysAndSections) {
  TIniFile ini;
  ini.LoadFromString(kSample);
  ini.DeleteKey("params", "HISTORY");
  EXPECT_EQ(ini.ReadString("params", "History", "ERR"), "ERR");  // both duplicates go
  ini.EraseSection("Explorer");
  EXPECT_FALSE(ini.SectionExists("Explorer"));
  EXPECT_EQ(ini.ReadString("Position", "X", ""), "10");
  ini.DeleteKey("Nope", "X");  // nothing to do
}

TEST(IniFile, SaveAndLoadRoundTrip) {
  TempFolder tmp("ini");
  const std::string path = tmp.File("sub/Quillomatic.ini");  // the folder is created
  TIniFile ini;
  ini.LoadFromString(std::string("\xEF\xBB\xBF") + "[Params]\r\nHistory=3\r\n[Automate]\r\nFoo=bar\r\n");
  EXPECT_EQ(ini.ReadInteger("Params", "History", 0), 3);
  ini.WriteString("Params", "Open", "/tmp/é");
  std::string error;
  ASSERT_TRUE(ini.SaveAs(path, &error)) << error;
  // The mark and the CR LF endings stay; the new line takes the file's ending.
  EXPECT_EQ(ReadAll(path), "\xEF\xBB\xBF[Params]\r\nHistory=3\r\nOpen=/tmp/é\r\n[Automate]\r\nFoo=bar\r\n");
  TIniFile back(path);
  EXPECT_EQ(back.Path(), path);
  EXPECT_EQ(back.ToString(), ini.ToString());
  // Only the file itself is left: the temporary file was renamed over it.
  EXPECT_EQ(FilesIn(tmp.Path / "sub"), 1u);
  back.WriteInteger("Params", "History", 4);
  ASSERT_TRUE(back.Save());
  EXPECT_EQ(TIniFile(path).ReadInteger("Params", "History", 0), 4);
  EXPECT_EQ(FilesIn(tmp.Path / "sub"), 1u);
  // A file of LF lines stays one, a new section included.
  TIniFile unix;
  unix.LoadFromString("[A]\nx=1\n");
  unix.WriteString("B", "y", "2");
  EXPECT_EQ(unix.ToString(), "[A]\nx=1\n\n[B]\ny=2\n");
}

TEST(IniFile, ALinkedFileIsWrittenWhereTheLinkPoints) {
  TempFolder tmp("ini");
  fs::create_directories(tmp.Path / "dotfiles");
  fs::create_directories(tmp.Path / "config");
  const std::string real = tmp.File("dotfiles/Quillomatic.ini");
  const std::string link = tmp.File("config/Quillomatic.ini");
  WriteAll(real, "[Params]\nHistory=2\n");
  fs::create_symlink(real, link);
  TIniFile ini(link);
  ini.WriteInteger("Params", "History", 7);
  std::string error;
  ASSERT_TRUE(ini.Save(&error)) << error;
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadAll(real), "[Params]\nHistory=7\n");
  EXPECT_EQ(FilesIn(tmp.Path / "dotfiles"), 1u);
  EXPECT_EQ(FilesIn(tmp.Path / "config"), 1u);
}

TEST(IniFile, MissingGarbageAndBinaryFilesReadAsEmpty) {
  TempFolder tmp("ini");
  TIniFile ini;
  EXPECT_FALSE(ini.Load(tmp.File("missing.ini")));
  EXPECT_EQ(ini.ReadString("Params", "History", "ERR"), "ERR");

  WriteAll(tmp.File("garbage.ini"), "%%%%\n=\n==x\n[\n]]]\nHistory=99\n");
  EXPECT_TRUE(ini.Load(tmp.File("garbage.ini")));
  EXPECT_EQ(ini.ReadString("Params", "History", "ERR"), "ERR");

  test::Rng rng(7);
  std::string binary(4096, '\0');
  for (char& c : binary) c = char(rng.Int(0, 255));
  binary[10] = '\0';
  binary += "\n[Params]\nHistory=99\n";
  WriteAll(tmp.File("binary.ini"), binary);
  EXPECT_FALSE(ini.Load(tmp.File("binary.ini")));
  EXPECT_EQ(ini.ReadString("Params", "History", "ERR"), "ERR");

  EXPECT_FALSE(ini.Load(tmp.Path.string()));  // a folder
}

TEST(IniFile, AFailedSaveLeavesTheOldFile) {
  TempFolder tmp("ini");
  TIniFile ini;
  ini.WriteInteger("Params", "History", 5);
  std::string error;

  // The folder cannot be created: its parent is a file.
  WriteAll(tmp.File("plain"), "x");
  EXPECT_FALSE(ini.SaveAs(tmp.File("plain/Quillomatic.ini"), &error));
  EXPECT_FALSE(error.empty());

  // The rename fails (the target is a folder): nothing is left behind.
  fs::create_directories(tmp.Path / "dir" / "Quillomatic.ini");
  EXPECT_FALSE(ini.SaveAs(tmp.File("dir/Quillomatic.ini"), &error));
  EXPECT_EQ(FilesIn(tmp.Path / "dir"), 1u);
}

TEST(IniFile, AReadOnlyFolderKeepsTheOldFile) {
  TempFolder tmp("ini");
  TIniFile ini;
  ini.WriteInteger("Params", "History", 5);
  std::string error;
  const std::string path = tmp.File("ro/Quillomatic.ini");
  fs::create_directories(tmp.Path / "ro");
  WriteAll(path, "[Params]\nHistory=2\n");
  chmod((tmp.Path / "ro").c_str(), 0555);
  if (geteuid() != 0) {
    EXPECT_FALSE(ini.SaveAs(path, &error));
    EXPECT_FALSE(error.empty());
  } else {
    // Root writes into any folder: the save runs in a child that gave up root.
    chmod(tmp.Path.c_str(), 0755);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
      const bool saved = ini.SaveAs(path, &error);
      _exit(!saved && !error.empty() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 2) << "could not give up root";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save into a read-only folder did not fail";
  }
  EXPECT_EQ(ReadAll(path), "[Params]\nHistory=2\n");
  EXPECT_EQ(FilesIn(tmp.Path / "ro"), 1u);
}

TEST(AppPaths, XdgFoldersAndTheOverride) {
  const char* saved = std::getenv("QM_HOME");
  const std::string keep = saved ? saved : "";
  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "/root";
  unsetenv("QM_HOME");
  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  setenv("XDG_DATA_HOME", "/data", 1);
  EXPECT_EQ(SettingsFilePath(), "/cfg/Quillomatic/Quillomatic.ini");
  EXPECT_EQ(UserFolder(TUserFolder::Masks), "/data/Quillomatic/Masks");
  setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
  unsetenv("XDG_DATA_HOME");
  setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(ConfigFolder(), "/home/someone/.config/Quillomatic");
  EXPECT_EQ(UserFolder(TUserFolder::Selections), "/home/someone/.local/share/Quillomatic/Selections");

  TempFolder tmp("ini");
  setenv("QM_HOME", tmp.Path.c_str(), 1);
  EXPECT_EQ(SettingsFilePath(), tmp.File("Quillomatic.ini"));
  EXPECT_EQ(UserFolder(TUserFolder::Plugins), tmp.File("Plugins"));
  EXPECT_TRUE(EnsureUserFolders());
  for (const char* f : {"Selections", "Masks", "Patterns", "Plugins"}) EXPECT_TRUE(fs::is_directory(tmp.Path / f));
  if (saved)
    setenv("QM_HOME", keep.c_str(), 1);
  else
    unsetenv("QM_HOME");
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", home.c_str(), 1);
}

// The program's own data: beside the program (no share/quillomatic above a bin folder
// here), or where a test names it; the masks' and patterns' lists read it after the
// user's folder, the other lists never.
TEST(AppPaths, ProgramDataAfterTheUsersFolders) {
  TempFolder tmp("data");
  setenv("QM_HOME", tmp.Path.c_str(), 1);
  EXPECT_TRUE(fs::exists(fs::path(ProgramFolder()) / "qm_platform_tests"));
  EXPECT_EQ(ProgramDataFolder(), ProgramFolder());
  SetProgramDataFolder("/opt/qm/share/quillomatic");
  EXPECT_EQ(ListFolders(TUserFolder::Masks),
            (std::vector<std::string>{tmp.File("Masks"), "/opt/qm/share/quillomatic/Masks"}));
  EXPECT_EQ(ListFolders(TUserFolder::Patterns).back(), "/opt/qm/share/quillomatic/Patterns");
  EXPECT_EQ(ListFolders(TUserFolder::Plugins), std::vector<std::string>{tmp.File("Plugins")});
  SetProgramDataFolder({});
  EXPECT_EQ(ProgramDataFolder(), ProgramFolder());
  unsetenv("QM_HOME");
}
