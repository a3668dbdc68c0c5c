// The plug-in host with plug-ins the build makes: read from a folder, run from their
// menu items on a real document window, undone when they fail.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QTest>
#include <filesystem>

#include "document/Undo.h"
#include "extensions/PluginHost.h"
#include "imagefiles/FileDispatch.h"
#include "platform/core/Messages.h"
#include "shell/main/MainForm.h"
#include "support/QtTestApp.h"
#include "support/TempFiles.h"

using namespace qm;
using namespace qm::test;

namespace {

std::vector<uint8_t> Pixels(const TBitmap& b) {
  std::vector<uint8_t> p;
  for (int y = 0; y < b.Height(); ++y) p.insert(p.end(), b.ScanLine(y), b.ScanLine(y) + b.Width() * 3);
  return p;
}

}  // namespace

TEST(PluginHost, RunsFiltersWithUndoAndUndoesAFailedOne) {
  App();
  TempFolder home("pluginhost");
  setenv("QM_HOME", home.Path.c_str(), 1);
  SetMessageHandler([](const std::string&, int, int buttons, const std::string&) {
    return buttons & mbOK ? int(mrOk) : int(mrYes);
  });
  // The three plug-ins, and a module of the folder that is not one.
  const std::string folder = home.File("plugins");
  std::filesystem::create_directories(folder);
  for (const char* name : {"failing.qxl", "import.qxl", "invert.qxl"})
    std::filesystem::copy_file(std::string(QM_TEST_PLUGIN_FOLDER) + "/" + name, folder + "/" + name);
  home.Write("plugins/zz.qxl", "not a module");
  {
    // The program's start hands the window its plug-in host, here over the test's folder.
    TMainForm::TStartOptions options;
    options.Plugins = [&](TShellServices& services, const std::string&) -> std::unique_ptr<TPluginHost> {
      auto plugins = std::make_unique<TQxlPluginHost>(services);
      EXPECT_EQ(plugins->LoadPlugins(folder), 3);
      EXPECT_EQ(plugins->Plugins()[2].NameText, "Inverser|Test");
      EXPECT_EQ(plugins->Plugins()[1].Type, TPluginType::Import);
      return plugins;
    };
    TMainForm form(std::move(options));
    form.resize(900, 600);
    form.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.FirstPaintDone(); }, 20000));
    ASSERT_TRUE(form.PluginCommands());
    TPluginCommands& commands = *form.PluginCommands();
    const std::vector<QAction*>& items = commands.PluginItems();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[2]->text(), QStringLiteral("Inverser"));
    EXPECT_EQ(form.Commands().Menu("MenuPluginImport")->actions().count(items[1]), 1);
    // Without a document only the import runs.
    EXPECT_FALSE(items[0]->isEnabled());
    EXPECT_TRUE(items[1]->isEnabled());
    EXPECT_FALSE(items[2]->isEnabled());

    TBitmap picture(40, 30);
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x) picture.SetPixel(x, y, RGB(x * 6, y * 8, 100));
    ASSERT_EQ(SavePicture(home.File("a.bmp"), picture, TSaveRequest{}).Result, frDone);
    ASSERT_TRUE(form.Files().OpenImageFile(home.File("a.bmp"), true, false));
    TShellServices& services = form.Services();
    const std::vector<uint8_t> original = Pixels(*services.GetActiveLayerBitmap());
    EXPECT_TRUE(items[2]->isEnabled());
    EXPECT_TRUE(form.Commands().IsEnabled("MenuAffichageBarrePlugins"));

    items[2]->trigger();
    std::vector<uint8_t> inverted = original;
    for (uint8_t& v : inverted) v = uint8_t(255 - v);
    EXPECT_EQ(Pixels(*services.GetActiveLayerBitmap()), inverted);
    ASSERT_NE(services.GetActiveHistory()->GetCurrentUndoStep(), nullptr);
    EXPECT_EQ(services.GetActiveHistory()->GetCurrentUndoStep()->Name, "Inverser");
    EXPECT_EQ(services.Operations().RepeatableCaption(), "Inverser");

    // A plug-in that writes and then fails: the image as it was, no step, no repeat.
    items[0]->trigger();
    EXPECT_EQ(Pixels(*services.GetActiveLayerBitmap()), inverted);
    EXPECT_EQ(services.GetActiveHistory()->GetCurrentUndoStep()->Name, "Inverser");
    EXPECT_FALSE(services.Operations().HasRepeatableCommand());

    // Undone, the first run gives the picture back.
    services.UndoCommand(nullptr);
    EXPECT_EQ(Pixels(*services.GetActiveLayerBitmap()), original);
  }
  SetMessageHandler({});
  unsetenv("QM_HOME");
}
