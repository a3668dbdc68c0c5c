#pragma once
// The editor as a user starts it, for the tests of the shell: the real main window
// over settings and user folders of the test's own (QM_HOME), the real picture
// dialogs, the messages recorded and answered by Answer.
#include <gtest/gtest.h>

#include <QTest>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "document/LayerOps.h"
#include "platform/core/Messages.h"
#include "platform/texts/UiTexts.h"
#include "shell/MainForm.h"
#include "support/QtTestApp.h"
#include "support/TempFiles.h"
#include "views/PictureDialogs.h"

namespace qm::test {

// A smooth picture (it survives JPEG nearly unchanged) of its own hue.
inline TBitmap Picture(int w, int h, int hue) {
  TBitmap b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, RGB((hue + x * 2) & 255, (y * 3) & 255, (hue * 7 + x + y) & 255));
  return b;
}

struct MainFormFixture {
  struct TAppFirst {
    TAppFirst() {
      App();
      InstallPictureDialogs();
    }
  } AppFirst;
  TempFolder Home{"mainform"};
  std::vector<std::string> Messages;
  std::function<int(const std::string& text, int buttons)> Answer = [](const std::string&, int buttons) {
    return buttons & mbOK ? int(mrOk) : int(mrYes);
  };
  std::unique_ptr<TMainForm> Form;

  MainFormFixture() {
    setenv("QM_HOME", Home.Path.c_str(), 1);
    ResetTextTable();
    SetMessageHandler([this](const std::string& text, int, int buttons, const std::string&) {
      Messages.push_back(text);
      return Answer(text, buttons);
    });
  }
  ~MainFormFixture() {
    Form.reset();
    SetMessageHandler({});
    unsetenv("QM_HOME");
  }
  std::string SettingsFile() const { return Home.File("Quillomatic.ini"); }
  void WriteSettings(const std::string& text) const { Home.Write("Quillomatic.ini", text); }

  // Starts the editor on the command line's files and waits for its first paint.
  TMainForm& Start(std::vector<std::string> files = {}) {
    TMainForm::TStartOptions options;
    options.Files = std::move(files);
    Form = std::make_unique<TMainForm>(std::move(options));
    Form->resize(1000, 700);
    Form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    EXPECT_TRUE(QTest::qWaitFor([this] { return Form->FirstPaintDone(); }, 20000));
    return *Form;
  }
  TShellServices& Services() { return Form->Services(); }
  std::vector<std::string> Titles() {
    std::vector<std::string> t;
    for (TNewImgForm* w : Services().Windows().Windows()) t.push_back(w->windowTitle().toStdString());
    return t;
  }
  // A new document on the picture, true colour unless told.
  TNewImgForm& NewDocument(const TBitmap& picture, int colorCount = 16777216) {
    return *Services().CreateImageWindow(&picture, nullptr, colorCount, true, {});
  }
  // A layer added as a command adds one: its undo step first.
  void AddLayer(int hue) {
    Services().Operations().BeginUndoableOperation(ukWholeLayer, "Coller");
    AddLayerFromBitmap(Services().LayerHost(), "#1", Picture(30, 20, hue), TBitmap(), TPoint{10, 10});
    Form->UpdateCommandStates();
  }
  bool Said(TextId id) const { return std::find(Messages.begin(), Messages.end(), Tr(id)) != Messages.end(); }
};

}  // namespace qm::test
