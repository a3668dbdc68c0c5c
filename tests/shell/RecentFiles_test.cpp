#include <gtest/gtest.h>

#include <filesystem>

#include "shell/services/CommandStates.h"
#include "shell/services/RecentFiles.h"
#include "support/TempFiles.h"

using namespace qm;
using namespace qm::test;

TEST(RecentFiles, TwelveNewestFirstOneEntryPerFileAsTheDiskNamesIt) {
  TempFolder dir("recent");
  TRecentFiles recent;
  for (int i = 1; i <= 13; ++i) recent.Add(dir.Write("f" + std::to_string(i) + ".png", "x"));
  ASSERT_EQ(recent.Count(), 12);
  EXPECT_EQ(recent.Names().front(), dir.File("f13.png"));
  EXPECT_EQ(recent.Names().back(), dir.File("f2.png"));  // the oldest went
  // The same file through "..", a link, or an extra "/" moves to the top, once.
  const std::string viaParent = dir.File("../" + dir.Path.filename().string() + "/f5.png");
  std::filesystem::create_symlink(dir.File("f7.png"), dir.File("link.png"));
  for (const std::string& same : {viaParent, dir.File("link.png"), dir.Path.string() + "//f9.png"}) {
    recent.Add(same);
    EXPECT_EQ(recent.Count(), 12) << same;
    EXPECT_EQ(recent.Names().front(), same);
  }
  // Case counts: another file.
  recent.Add(dir.Write("F13.png", "y"));
  EXPECT_EQ(recent.IndexOf(dir.File("f13.png")), 4);
  recent.Rename(dir.File("f13.png"), dir.File("renamed.png"));
  EXPECT_EQ(recent.Names()[4], dir.File("renamed.png"));
  recent.Remove(dir.File("F13.png"));
  EXPECT_EQ(recent.IndexOf(dir.File("F13.png")), -1);

  TRecentFiles captions;
  captions.Assign({"/a/Vacances & amis.jpg", "/b/" + std::string(31, 'x') + ".png", "/a/Vacances & amis.jpg"});
  EXPECT_EQ(captions.Count(), 2);
  EXPECT_EQ(captions.Caption(0), "1  Vacances && amis.jpg");
  EXPECT_EQ(captions.Caption(1), "2  " + std::string(30, 'x') + "...");
}

TEST(CommandStates, TheFileAndHistoryRulesFollowTheDocument) {
  using R = TCommandRule;
  TCommandState none;
  EXPECT_TRUE(CommandRuleHolds(R::NoLock, none));
  for (R r : {R::Document, R::Modified, R::Revertible, R::SavedFile, R::Undo, R::Redo, R::Repeat, R::Printer})
    EXPECT_FALSE(CommandRuleHolds(r, none)) << int(r);
  TCommandState s;
  s.Doc = s.Mod = s.New = s.CanUndo = true;
  EXPECT_TRUE(CommandRuleHolds(R::Modified, s));
  EXPECT_FALSE(CommandRuleHolds(R::Revertible, s));  // nothing on disk to go back to
  EXPECT_FALSE(CommandRuleHolds(R::SavedFile, s));
  EXPECT_TRUE(CommandRuleHolds(R::Undo, s));
  EXPECT_FALSE(CommandRuleHolds(R::Redo, s));
  s.New = false;
  s.Lock = true;
  EXPECT_TRUE(CommandRuleHolds(R::Revertible, s));
  EXPECT_FALSE(CommandRuleHolds(R::DocumentUnlocked, s));
  // The repeat follows its guard: the outline filter needs a rectangle selection.
  s.RepeatStored = true;
  s.RepeatGuard = rgContour;
  s.TC = s.SelV = true;
  s.SelKind = ssEllipse;
  EXPECT_FALSE(CommandRuleHolds(R::Repeat, s));
  s.SelKind = ssRect;
  EXPECT_TRUE(CommandRuleHolds(R::Repeat, s));
  // The fade: after a filter, not after a whole-image step.
  s.StepKind = ukWorkRect;
  EXPECT_TRUE(CommandRuleHolds(R::Fade, s));
  s.StepKind = ukWholeImage;
  EXPECT_FALSE(CommandRuleHolds(R::Fade, s));
}
