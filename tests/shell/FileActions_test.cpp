#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/core/Messages.h"
#include "platform/texts/IniFile.h"
#include "platform/texts/UiTexts.h"
#include "shell/browser/FileActions.h"
#include "shell/services/FileUtils.h"
#include "shell/services/FolderChoosers.h"
#include "support/QtTestApp.h"
#include "support/TempFiles.h"

using namespace qm;
namespace fs = std::filesystem;
using test::TempFolder;

namespace {

struct TMessage {
  std::string Text;
  int Type, Buttons;
};

// Records every message and answers each question with the answer set.
struct MessageLog {
  std::vector<TMessage> Shown;
  int Answer = mrYes;
  MessageLog() {
    test::App();
    SetMessageHandler([this](const std::string& text, int type, int buttons, const std::string&) {
      Shown.push_back({text, type, buttons});
      return buttons & mbOK ? int(mrOk) : Answer;
    });
  }
  ~MessageLog() { SetMessageHandler({}); }
  std::string Last() const { return Shown.empty() ? std::string() : Shown.back().Text; }
};

// A program without windows whose copy-to-folder choice is fixed, recording what the
// windows would have to follow.
struct Host : TFileActionHost {
  std::string Folder;
  bool Scanning = false;
  std::vector<std::pair<std::string, std::string>> Renamed;
  std::vector<std::string> Recycled;
  bool IsBrowserScanning() override { return Scanning; }
  bool ChooseTargetFolder(const std::string&, const std::string&, std::string& folder) override {
    folder = Folder;
    return !Folder.empty();
  }
  void FileRenamed(const std::string& from, const std::string& to) override { Renamed.emplace_back(from, to); }
  void FileRecycled(const std::string& name) override { Recycled.push_back(name); }
};

// Types the answer into the name box once it shows, and confirms.
void AnswerNameBox(const std::string& answer) {
  test::WhenModal([answer](QWidget* w) {
    auto* edit = w->findChild<QLineEdit*>(QStringLiteral("EdiInput"));
    ASSERT_TRUE(edit);
    edit->setText(QString::fromStdString(answer));
    QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("BtnOk")), Qt::LeftButton);
  });
}

std::string Content(const std::string& f) {
  const auto bytes = test::ReadFileBytes(f);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

TEST(FileActions, CopyAndMoveNeverReplaceAndAskFirst) {
  MessageLog log;
  TempFolder tmp("actions");
  fs::create_directories(tmp.Path / "to");
  const std::string a = tmp.Write("a.png", "AAA");
  ASSERT_TRUE(SetFileDateByName(a, 1000000000));
  tmp.Write("to/b.png", "old");
  Host host;
  host.Folder = (tmp.Path / "to").string();
  std::string newName;

  // Copy: asks, keeps the source, keeps its date; the same place is refused.
  ASSERT_TRUE(DoBrowserFileAction(host, "Copier vers", a, faCopy, newName));
  EXPECT_EQ(newName, tmp.File("to/a.png"));
  EXPECT_EQ(log.Shown.back().Type, mtConfirmation);
  EXPECT_EQ(log.Last(), "Copier l'image \"" + a + "\"\rdans \"" + newName + "\" ?");
  EXPECT_EQ(Content(newName), "AAA");
  EXPECT_EQ(GetFileDateByName(newName), 1000000000);
  EXPECT_TRUE(fs::exists(a));
  host.Folder = tmp.Path.string();
  EXPECT_FALSE(DoBrowserFileAction(host, "Copier vers", a, faCopy, newName));
  EXPECT_EQ(log.Last(), "Nom ou chemin identique !");

  // A name already taken in the target folder is never replaced, by a copy or a move.
  const std::string b = tmp.Write("b.png", "BBB");
  host.Folder = (tmp.Path / "to").string();
  newName.clear();
  for (TFileAction action : {faCopy, faMove}) {
    EXPECT_FALSE(DoBrowserFileAction(host, "Vers", b, action, newName));
    EXPECT_EQ(log.Last(), action == faCopy ? "Impossible de copier l'image !" : "Impossible de déplacer l'image !");
    EXPECT_EQ(log.Shown.back().Type, mtWarning);
  }
  EXPECT_EQ(Content(tmp.File("to/b.png")), "old");
  EXPECT_EQ(Content(b), "BBB");
  EXPECT_TRUE(newName.empty());

  // A "No" leaves everything; a move tells the windows where the file went.
  log.Answer = mrNo;
  EXPECT_FALSE(DoBrowserFileAction(host, "Déplacer vers", a, faMove, newName));
  EXPECT_TRUE(fs::exists(a));
  log.Answer = mrYes;
  fs::remove(tmp.File("to/a.png"));
  ASSERT_TRUE(DoBrowserFileAction(host, "Déplacer vers", a, faMove, newName));
  EXPECT_EQ(log.Last(), "Déplacer l'image \"" + a + "\"\rvers \"" + newName + "\" ?");
  EXPECT_FALSE(fs::exists(a));
  EXPECT_EQ(Content(newName), "AAA");
  ASSERT_EQ(host.Renamed.size(), 1u);
  EXPECT_EQ(host.Renamed[0], std::make_pair(a, newName));
}

TEST(FileActions, RenameRefusesUnusableNamesAndTakenOnes) {
  MessageLog log;
  TempFolder tmp("rename");
  const std::string a = tmp.Write("photo.jpg", "A");
  tmp.Write("taken.jpg", "T");
  Host host;
  struct Case {
    const char* Answer;
    const char* Message;
  } cases[] = {
      {"", "Impossible de renommer l'image !"},      {".", "Impossible de renommer l'image !"},
      {"..", "Impossible de renommer l'image !"},    {"sub/x", "Impossible de renommer l'image !"},
      {"../x", "Impossible de renommer l'image !"},  {"taken", "Impossible de renommer l'image !"},
      {"photo", "Nom ou chemin identique !"},
  };
  for (const Case& c : cases) {
    std::string newName;
    AnswerNameBox(c.Answer);
    EXPECT_FALSE(DoBrowserFileAction(host, "Renommer", a, faRename, newName)) << c.Answer;
    EXPECT_EQ(log.Last(), c.Message) << c.Answer;
    EXPECT_TRUE(newName.empty());
  }
  EXPECT_EQ(Content(tmp.File("taken.jpg")), "T");
  EXPECT_TRUE(fs::exists(a));

  std::string newName;
  AnswerNameBox("vacances & plage");
  ASSERT_TRUE(DoBrowserFileAction(host, "Renommer", a, faRename, newName));
  EXPECT_EQ(newName, tmp.File("vacances & plage.jpg"));
  EXPECT_EQ(log.Last(), "Renommer l'image \"" + a + "\"\ren \"" + newName + "\" ?");
  EXPECT_EQ(Content(newName), "A");
  EXPECT_FALSE(fs::exists(a));
  EXPECT_EQ(host.Renamed.back(), std::make_pair(a, newName));
}

TEST(FileActions, RecycleLandsInTheTrashOfTheDataHome) {
  TempFolder tmp("trash");
  const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  const char* oldData = std::getenv("XDG_DATA_HOME");
  const std::string savedData = oldData ? oldData : "";
  setenv("HOME", tmp.Path.c_str(), 1);
  setenv("XDG_DATA_HOME", (tmp.Path / "share").c_str(), 1);
  {
    MessageLog log;
    const std::string f = tmp.Write("old.bmp", "x");
    Host host;
    std::string newName;
    log.Answer = mrNo;
    EXPECT_FALSE(DoBrowserFileAction(host, "Corbeille", f, faRecycle, newName));
    EXPECT_EQ(log.Last(), "Voulez-vous envoyer l'image actuelle à la corbeille ?");
    EXPECT_TRUE(fs::exists(f));
    log.Answer = mrYes;
    ASSERT_TRUE(DoBrowserFileAction(host, "Corbeille", f, faRecycle, newName));
    EXPECT_EQ(newName, f);
    EXPECT_FALSE(fs::exists(f));
    EXPECT_EQ(Content((tmp.Path / "share/Trash/files/old.bmp").string()), "x");
    EXPECT_TRUE(fs::exists(tmp.Path / "share/Trash/info/old.bmp.trashinfo"));
    EXPECT_EQ(host.Recycled, std::vector<std::string>{f});
    // A second file of that name is kept beside the first.
    tmp.Write("old.bmp", "y");
    ASSERT_TRUE(DoBrowserFileAction(host, "Corbeille", f, faRecycle, newName));
    EXPECT_EQ(Content((tmp.Path / "share/Trash/files/old.2.bmp").string()), "y");
    EXPECT_EQ(Content((tmp.Path / "share/Trash/files/old.bmp").string()), "x");
  }
  setenv("HOME", oldHome.c_str(), 1);
  if (oldData) setenv("XDG_DATA_HOME", savedData.c_str(), 1);
  else unsetenv("XDG_DATA_HOME");
}

TEST(FileActions, SiblingImagesOfAFolder) {
  MessageLog log;
  TempFolder tmp("siblings");
  for (const char* f : {"b.JPG", "a.png", "c.txt", "d.bmp", "Readme"}) tmp.Write(f, "x");
  fs::create_directories(tmp.Path / "e.png");  // a folder, not an image
  Host host;
  const std::string b = tmp.File("b.JPG"), a = tmp.File("a.png"), d = tmp.File("d.bmp");
  struct Case {
    std::string From;
    TSiblingFile Mode;
    std::string Expected;
  } cases[] = {
      {b, sfFirst, a}, {b, sfPrevious, a}, {b, sfNext, d}, {b, sfLast, d},
      {a, sfFirst, ""}, {a, sfPrevious, ""}, {a, sfNext, b}, {d, sfNext, ""}, {d, sfLast, ""},
      {tmp.File("c.txt"), sfNext, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(GetSiblingImageFile(host, c.From, c.Mode), c.Expected) << c.From << c.Mode;
  EXPECT_TRUE(log.Shown.empty());

  // One image alone has no neighbours; a scanning browser refuses.
  TempFolder single("single");
  const std::string only = single.Write("only.png", "x");
  for (TSiblingFile m : {sfFirst, sfPrevious, sfNext, sfLast}) EXPECT_EQ(GetSiblingImageFile(host, only, m), "");
  host.Scanning = true;
  EXPECT_EQ(GetSiblingImageFile(host, b, sfNext), "");
  EXPECT_EQ(log.Last(), "Action refusée pendant l'exploration !");
}

TEST(FolderChoosers, CopyToFolderRemembersAnExistingFolderOnly) {
  test::App();
  TempFolder tmp("copyto");
  fs::create_directories(tmp.Path / "kept");
  TIniFile ini;
  const std::string last = tmp.Path.string(), kept = (tmp.Path / "kept").string();
  struct Case {
    std::string Stored;
    std::string Shown;
  } cases[] = {{"", last}, {(tmp.Path / "gone").string(), last}, {kept, kept}};
  for (const Case& c : cases) {
    ini.WriteString("Params", "CopyTo", c.Stored);
    QString shown;
    test::WhenModal([&shown](QWidget* w) {
      shown = w->findChild<QLineEdit*>(QStringLiteral("EdiDir"))->text();
      QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("BtnCancel")), Qt::LeftButton);
    });
    std::string folder = "unchanged";
    EXPECT_FALSE(ShowCopyToFolderDialog("Copier", "Copier vers :", folder, &ini, last));
    EXPECT_EQ(shown.toStdString(), c.Shown);
    EXPECT_EQ(folder, "unchanged");
  }

  // The browser cancelled leaves the edit; OK takes the typed folder and remembers it.
  test::WhenModal([&](QWidget* w) {
    auto* form = static_cast<TDirForm*>(w);
    test::WhenModal([](QWidget* browser) { QTest::keyClick(browser, Qt::Key_Escape); });
    form->BrowseClick();
    EXPECT_EQ(form->EdiDir->text().toStdString(), kept);
    const std::string longPath = last + "/" + std::string(300, 'x');
    form->EdiDir->setText(QString::fromStdString(longPath));
    QTest::mouseClick(form->BtnOk, Qt::LeftButton);
  });
  std::string folder;
  ASSERT_TRUE(ShowCopyToFolderDialog("Copier", "Copier vers :", folder, &ini, last));
  EXPECT_EQ(folder.size(), last.size() + 301);
  EXPECT_EQ(ini.ReadString("Params", "CopyTo", ""), folder);
}
