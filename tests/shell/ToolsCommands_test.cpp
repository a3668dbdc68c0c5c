// The Tools menu as a user meets it: stepping through a folder's images in one window,
// the keys a focused edit keeps, the wallpaper question.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QStatusBar>
#include <QTest>
#include <filesystem>

#include "imagefiles/FileDispatch.h"
#include "platform/core/Messages.h"
#include "platform/texts/UiTexts.h"
#include "shell/main/MainForm.h"
#include "support/QtTestApp.h"
#include "support/TempFiles.h"

using namespace qm;
using namespace qm::test;

namespace {

struct Editor {
  TempFolder Home{"tools"};
  std::vector<std::string> Messages;
  int Answer = mrYes;
  std::unique_ptr<TMainForm> Form;

  explicit Editor(TMainForm::TStartOptions options = TMainForm::TStartOptions()) {
    App();
    setenv("QM_HOME", Home.Path.c_str(), 1);
    SetMessageHandler([this](const std::string& text, int, int, const std::string&) {
      Messages.push_back(text);
      return Answer;
    });
    Form = std::make_unique<TMainForm>(std::move(options));
    Form->resize(900, 600);
    Form->show();
    EXPECT_TRUE(QTest::qWaitFor([this] { return Form->FirstPaintDone(); }, 20000));
  }
  ~Editor() {
    Form.reset();
    SetMessageHandler({});
    unsetenv("QM_HOME");
  }
  std::string Active() { return Form->Services().GetActiveFileName(); }
};

}  // namespace

TEST(ToolsCommands, StepsThroughTheFolderInOneWindowAndLeavesEditsTheirKeys) {
  Editor e;
  TempFolder pictures("navigation");
  std::vector<std::string> names;
  for (const char* n : {"a.bmp", "b.png", "c.bmp", "d.png"}) {
    TBitmap b(12, 9, pf24bit, RGB(n[0], 50, 90));
    names.push_back(pictures.File(n));
    ASSERT_EQ(SavePicture(names.back(), b, TSaveRequest{}).Result, frDone);
  }
  pictures.Write("notes.txt", "not a picture");
  TMainForm& form = *e.Form;
  ASSERT_TRUE(form.Files().OpenImageFile(names[1], true, true));
  TNewImgForm* window = form.Services().GetActiveImgForm();
  const struct {
    const char* Item;
    std::string Expected;
  } steps[] = {
      {"MenuNaviguerSuivant", names[2]},  {"MenuNaviguerDernier", names[3]},
      {"MenuNaviguerSuivant", names[3]},  // none after the last: nothing happens
      {"MenuNaviguerPremier", names[0]},  {"MenuNaviguerPrecedent", names[0]},
      {"MenuNaviguerSuivant", names[1]},
  };
  for (const auto& step : steps) {
    ASSERT_TRUE(form.Commands().Trigger(step.Item)) << step.Item;
    EXPECT_EQ(e.Active(), step.Expected) << step.Item;
    EXPECT_EQ(form.Services().GetActiveImgForm(), window);
  }
  EXPECT_EQ(form.Services().Windows().Count(), 1);
  EXPECT_TRUE(e.Messages.empty());

  // A changed image asks first; Cancel keeps it where it is.
  form.Services().Operations().BeginUndoableOperation(ukWholeImage, "Essai");
  e.Answer = mrCancel;
  ASSERT_TRUE(form.Commands().Trigger("MenuNaviguerSuivant"));
  EXPECT_EQ(e.Active(), names[1]);
  EXPECT_EQ(e.Messages.size(), 1u);
  e.Answer = mrNo;
  ASSERT_TRUE(form.Commands().Trigger("MenuNaviguerSuivant"));
  EXPECT_EQ(e.Active(), names[2]);

  // The keys: PgDn and End step through the folder, unless an edit has the focus.
  QLineEdit* edit = new QLineEdit(QStringLiteral("zoom 100"), form.statusBar());
  edit->show();
  edit->setFocus();
  edit->setCursorPosition(0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return edit->hasFocus(); }, 5000));
  for (Qt::Key key : {Qt::Key_PageDown, Qt::Key_End}) QTest::keyClick(edit, key);
  EXPECT_EQ(edit->cursorPosition(), edit->text().size());
  EXPECT_EQ(e.Active(), names[2]);
  EXPECT_EQ(e.Messages.size(), 2u);  // the two questions of the changed image, no more
  window->View().setFocus();
  QTest::keyClick(&window->View(), Qt::Key_End);
  EXPECT_EQ(e.Active(), names[3]);

  // Opening it in the desktop's program: a file gone from the disk says so, and the
  // window stays on it.
  std::filesystem::remove(names[3]);
  e.Messages.clear();
  ASSERT_TRUE(form.Commands().IsEnabled("MenuShell"));
  ASSERT_TRUE(form.Commands().Trigger("MenuShell"));
  ASSERT_EQ(e.Messages.size(), 1u);
  EXPECT_EQ(e.Messages[0], Tr(TextId::GetTrDlgExplore2));
  EXPECT_EQ(e.Active(), names[3]);
}

TEST(ToolsCommands, TheWallpaperIsSetOnlyWhenTheUserSaysYes) {
  {
    Editor plain;
    EXPECT_FALSE(plain.Form->Commands().IsEnabled("MenuPapierPeintCentrer"));  // no wallpaper device
  }
  // The desktop's side is the devices' (it records what the shell asks of it here).
  std::vector<std::pair<bool, bool>> calls;
  TMainForm::TStartOptions options;
  options.Devices = [&](TDialogHost&) {
    TDeviceCommands devices;
    devices.SetDesktopWallpaper = [&](const TBitmap& b, const std::string& file, bool tile, bool fit) {
      EXPECT_EQ(b.Width(), 16);
      EXPECT_EQ(file, TToolsCommands::WallpaperFile());
      calls.emplace_back(tile, fit);
      return true;
    };
    return devices;
  };
  Editor e(std::move(options));
  TMainForm& form = *e.Form;
  TBitmap b(16, 8, pf24bit, RGB(1, 2, 3));
  form.Services().CreateImageWindow(&b, nullptr, 16777216, true, "");
  e.Answer = mrNo;
  ASSERT_TRUE(form.Commands().Trigger("MenuPapierPeintMosaique"));
  EXPECT_EQ(e.Messages, std::vector<std::string>{Tr(TextId::GetTrDlgMain2)});
  EXPECT_TRUE(calls.empty());
  EXPECT_FALSE(std::filesystem::exists(TToolsCommands::WallpaperFile()));
  e.Answer = mrYes;
  ASSERT_TRUE(form.Commands().Trigger("MenuPapierPeintMosaique"));
  ASSERT_TRUE(form.Commands().Trigger("MenuPapierPeintAjuster"));
  EXPECT_EQ(calls, (std::vector<std::pair<bool, bool>>{{true, false}, {false, true}}));
}
