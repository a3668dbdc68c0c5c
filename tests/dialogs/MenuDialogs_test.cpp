#include <gtest/gtest.h>

#include <cstdlib>

#include "DialogTestSupport.h"
#include "pixel/Blur.h"
#include "shell/main/MainForm.h"
#include "support/TempFiles.h"

using namespace qm;
using namespace qm::test;

// The editor as a user has it: the blur from the Filter menu with its dialog, then the
// repeat and the undo from theirs; an adjustment from its menu follows its slider.
TEST(MenuDialogs, FromTheEditorsMenus) {
  App();
  TempFolder home("menudialogs");
  setenv("QM_HOME", home.Path.c_str(), 1);
  ResetTextTable();
  SetMessageHandler([](const std::string&, int, int buttons, const std::string&) {
    return buttons & mbOK ? int(mrOk) : int(mrNo);
  });
  {
    TMainForm form(ProgramStartOptions());
    form.resize(1000, 700);
    form.show();
    TShellServices& s = form.Services();
    const TBitmap picture = RandomBitmap(120, 90, 4);
    TNewImgForm* doc = s.CreateImageWindow(&picture, nullptr, 16777216, true, "");
    form.UpdateCommandStates();
    for (const char* row : {"MenuFiltreFlouGauss", "MenuReglageLC", "MenuReglageTS", "MenuReglageRVB", "BtnRGB"})
      EXPECT_TRUE(form.Commands().IsEnabled(row)) << row;
    TBitmap& layer = doc->Image().Layers[0].Image;

    ASSERT_TRUE(form.Commands().Trigger("MenuFiltreFlouGauss"));
    QWidget* d = form.findChild<QWidget*>("TBlurForm");
    ASSERT_TRUE(d && d->isVisible());
    Click(d, "BOk");
    TBitmap once = picture.Clone();
    GaussianBlurRect(once, 6, UnboundedRect);
    EXPECT_TRUE(SameBitmaps(layer, once));
    EXPECT_EQ(doc->History().GetCurrentUndoStep()->Name, "Flou gaussien");
    form.UpdateCommandStates();
    EXPECT_EQ(form.Commands().Action("MenuFiltreRepeter")->text().toStdString(), "Répéter Flou gaussien");
    ASSERT_TRUE(form.Commands().Trigger("MenuFiltreRepeter"));
    TBitmap twice = once.Clone();
    GaussianBlurRect(twice, 6, UnboundedRect);
    EXPECT_TRUE(SameBitmaps(layer, twice));
    EXPECT_EQ(doc->History().GetUndoStepCount(), 2);
    ASSERT_TRUE(form.Commands().Trigger("MenuEditionUndo"));
    EXPECT_TRUE(SameBitmaps(layer, once));

    // Through the tool button of the colour balance; the image follows its slider.
    ASSERT_TRUE(form.Commands().Trigger("BtnRGB"));
    d = form.findChild<QWidget*>("TRVBForm");
    ASSERT_TRUE(d && d->isVisible());
    EXPECT_FALSE(Child<QPushButton>(d, "BApercu")->isVisible());
    Key(Slider(d, "TBBleu"), Qt::Key_Home);
    EXPECT_FALSE(SameBitmaps(layer, once));
    // While it is shown, the commands are refused.
    EXPECT_FALSE(s.CanRunCommand(form.Commands().Action("MenuFiltreFlouGauss")));
    Click(d, "BAnnuler");
    EXPECT_TRUE(SameBitmaps(layer, once));
    EXPECT_EQ(doc->History().GetUndoStepCount(), 2);
  }
  SetMessageHandler({});
  unsetenv("QM_HOME");
}
