#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "imagefiles/FileSearch.h"
#include "platform/core/Messages.h"
#include "shell/services/FileUtils.h"
#include "shell/services/ShellOps.h"
#include "support/QtTestApp.h"
#include "support/TempFiles.h"

using namespace qm;
namespace fs = std::filesystem;

using test::TempFolder;

TEST(FileUtils, SizesDatesAndTrueNames) {
  TempFolder tmp("ops");
  const std::string f = tmp.Write("Photo.JPG", "12345");
  EXPECT_EQ(GetFileSizeByName(f), 5);
  EXPECT_EQ(GetFileSizeByName(tmp.File("missing")), -1);
  EXPECT_EQ(GetFileSizeByName(tmp.Path.string()), -1);
  EXPECT_TRUE(SetFileDateByName(f, 1000000000));
  EXPECT_EQ(GetFileDateByName(f), 1000000000);
  EXPECT_FALSE(SetFileDateByName(tmp.File("missing"), 1000000000));
  EXPECT_EQ(GetTrueFileName(tmp.File("photo.jpg")), f);
  EXPECT_EQ(GetTrueFileName(f), f);
  EXPECT_EQ(GetTrueFileName(tmp.File("other.jpg")), tmp.File("other.jpg"));
}

TEST(FileUtils, FindFilesToListByMasks) {
  TempFolder tmp("find");
  const std::string a = tmp.Write("b.JPG", "1"), b = tmp.Write("a.png", "1"), c = tmp.Write("notes.txt", "1");
  fs::create_directories(tmp.Path / "sub" / "deeper");
  const std::string d = tmp.Write("sub/deeper/c.jpeg", "1"), e = tmp.Write("sub/x.jpg.bak", "1");
  EXPECT_EQ(FindFilesToList(tmp.Path.string(), " *.jpg ; *.png;*.png", false), (std::vector<std::string>{b, a}));
  EXPECT_EQ(FindFilesToList(tmp.Path.string(), "*.jp*g", true), (std::vector<std::string>{a, d}));
  EXPECT_EQ(FindFilesToList(tmp.Path.string(), "?.*", false), (std::vector<std::string>{b, a}));
  EXPECT_TRUE(FindFilesToList(tmp.File("missing"), "*", true).empty());
  EXPECT_TRUE(FindFilesToList(tmp.Path.string(), "", true).empty());
}

TEST(ShellOps, CopyMoveAndRenameNeverReplace) {
  test::App();
  TempFolder tmp("ops");
  const std::string a = tmp.Write("a.png", "A"), b = tmp.Write("b.png", "B");
  EXPECT_FALSE(CopyFileTo(a, b));
  EXPECT_EQ(GetFileSizeByName(b), 1);
  EXPECT_TRUE(CopyFileTo(a, tmp.File("c.png")));
  EXPECT_TRUE(fs::exists(a));
  EXPECT_FALSE(MoveFileTo(a, b));
  fs::create_directories(tmp.Path / "sub");
  EXPECT_TRUE(MoveFileTo(a, tmp.File("sub/a.png")));
  EXPECT_FALSE(fs::exists(a));
  EXPECT_TRUE(MoveFileTo(tmp.File("sub/a.png"), tmp.File("sub/renamed.png")));
  EXPECT_FALSE(CopyFileTo(tmp.File("missing.png"), tmp.File("x.png")));
  EXPECT_FALSE(OpenWithAssociatedProgram(""));
}

TEST(ShellOps, TheTrash) {
  TempFolder tmp("ops");
  // The trash of this test lives in its own folder.
  setenv("HOME", tmp.Path.c_str(), 1);
  setenv("XDG_DATA_HOME", (tmp.Path / "share").c_str(), 1);
  test::App();
  const std::string f = tmp.Write("old.bmp", "x");
  int asked = 0;
  SetMessageHandler([&](const std::string&, int type, int buttons, const std::string&) {
    ++asked;
    EXPECT_EQ(type, mtConfirmation);
    EXPECT_EQ(buttons, mbYes | mbNo);
    return int(mrNo);
  });
  EXPECT_FALSE(DeleteToRecycleBin(f, true));
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(fs::exists(f));
  SetMessageHandler({});
  EXPECT_TRUE(DeleteToRecycleBin(f, false));
  EXPECT_FALSE(fs::exists(f));
  EXPECT_TRUE(fs::exists(tmp.Path / "share/Trash/files/old.bmp"));
  EXPECT_FALSE(DeleteToRecycleBin(f, false));
}
