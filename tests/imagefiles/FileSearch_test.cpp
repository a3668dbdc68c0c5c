#include "imagefiles/FileSearch.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/TempFiles.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Names(const std::vector<std::string>& paths, const std::string& root) {
  std::vector<std::string> out;
  for (const std::string& p : paths) out.push_back(p.substr(root.size() + 1));
  return out;
}

TEST(FileSearch, MasksMatchWithoutCaseAndNamesExactly) {
  struct Case {
    const char* name;
    const char* mask;
    bool match;
  } cases[] = {
      {"a.jpg", "*.jpg", true},      {"B.JPG", "*.jpg", true},     {"c.jpeg", "*.jpg", false},
      {"d.jpe", "*.jpe", true},      {"e.jpeg", "*.jpe", false},   {"f.tar.gz", "*.gz", true},
      {"noext", "*.*", true},        {"x.png", "?.PNG", true},     {"xy.png", "?.png", false},
      {"Photo.jpg", "Photo.jpg", true}, {"photo.jpg", "Photo.jpg", false}, {"a.jpgx", "*.jpg", false},
  };
  for (const Case& c : cases) EXPECT_EQ(MatchesFileMask(c.name, c.mask), c.match) << c.name << " / " << c.mask;
}

TEST(FileSearch, ListsSortedOnceAndRecursesWhenAsked) {
  test::TempFolder dir("search");
  const std::string root = dir.Path.string();
  for (const char* f : {"b.jpg", "A.JPG", "c.jpeg", "d.png", "e.txt", ".hidden.jpg"}) dir.Write(f, "x");
  fs::create_directories(dir.Path / "sub" / "deeper");
  fs::create_directories(dir.Path / ".git");
  dir.Write("sub/s.png", "x");
  dir.Write("sub/deeper/t.jpg", "x");
  dir.Write(".git/u.jpg", "x");

  // blanks in the masks are ignored; a file two masks match is listed once
  EXPECT_EQ(Names(FindFilesToList(root, " *.jpg ; *.JPG;*.jpeg", false), root),
            (std::vector<std::string>{".hidden.jpg", "A.JPG", "b.jpg", "c.jpeg"}));
  EXPECT_EQ(Names(FindFilesToList(root + "/", "*.png;*.jpg", true), root),
            (std::vector<std::string>{".hidden.jpg", "A.JPG", "b.jpg", "d.png", "sub/deeper/t.jpg", "sub/s.png"}));

  // the callback sees each mask in turn, names sorted, and false stops the search
  std::vector<std::string> seen;
  EXPECT_FALSE(FindFilesWithCallback(root, "*.png;*.jpg", true, [&](const std::string& folder, const std::string& n) {
    EXPECT_EQ(folder.back(), '/');
    seen.push_back(n);
    return seen.size() < 3;
  }));
  EXPECT_EQ(seen, (std::vector<std::string>{"d.png", ".hidden.jpg", "A.JPG"}));

  // an abort from another caller stops a running search at its next file
  int hits = 0;
  EXPECT_FALSE(FindFilesWithCallback(root, "*.*", true, [&](const std::string&, const std::string&) {
    if (++hits == 2) AbortFindFiles();
    return true;
  }));
  EXPECT_EQ(hits, 2);
  EXPECT_TRUE(FindFilesToList(root + "/missing", "*.*", true).empty());
}

TEST(FileSearch, LinkedFoldersAreSearchedOnceSoLoopsEnd) {
  test::TempFolder dir("links");
  fs::create_directories(dir.Path / "a" / "b");
  dir.Write("a/one.png", "x");
  dir.Write("a/b/two.png", "x");
  fs::create_directory_symlink("../..", dir.Path / "a" / "b" / "up");  // a loop back to the root
  fs::create_directory_symlink("a", dir.Path / "same");                 // a second road to a/
  fs::create_symlink("a/one.png", dir.Path / "link.png");               // a link to a file counts
  fs::create_symlink("nowhere", dir.Path / "dangling.png");

  int pumps = 0;
  TFindFilesOptions options;
  options.Recurse = true;
  options.Pump = [&] { ++pumps; };
  std::vector<std::string> found;
  EXPECT_TRUE(FindFilesWithCallback(dir.Path.string(), "*.png", options, [&](const std::string& f, const std::string& n) {
    found.push_back(f.substr(dir.Path.string().size()) + n);
    return true;
  }));
  EXPECT_EQ(found, (std::vector<std::string>{"/link.png", "/a/one.png", "/a/b/two.png"}));
  EXPECT_GE(pumps, 3);
}

}  // namespace
}  // namespace qm
