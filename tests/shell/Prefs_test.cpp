// The Preferences dialog over a settings file of the test's own: what Ok writes, in
// which order, and what it frees.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

#include "platform/texts/IniFile.h"
#include "shell/services/Prefs.h"
#include "support/QtTestApp.h"
#include "support/TempFiles.h"

using namespace qm;
using namespace qm::test;

namespace {

struct Prefs {
  TempFolder Home{"prefs"};
  TShellSettings Settings;
  TIniFile Ini;
  int FreedImage = 0, FreedPrint = 0;
  std::unique_ptr<TPrefForm> Form;

  explicit Prefs(int plugins = 0, const std::string& file = "") {
    App();
    Home.Write("Quillomatic.ini", file);
    Ini.Load(Home.File("Quillomatic.ini"));
    TPrefContext c;
    c.Settings = &Settings;
    c.Ini = &Ini;
    c.Formats = {"BMP", "JPEG", "PNG"};
    for (int i = 1; i <= plugins; ++i) c.Plugins.push_back("Module " + std::to_string(i));
    c.FreeImageUnitDialogs = [this] { ++FreedImage; };
    c.FreePrintDialog = [this] { ++FreedPrint; };
    Form = std::make_unique<TPrefForm>(std::move(c));
    Form->LoadControls();
  }
  // Ok, then the file as a later start reads it.
  TIniFile Ok() {
    Form->BOkClick();
    return TIniFile(Home.File("Quillomatic.ini"));
  }
  void CheckPlugins(int count) {
    for (int i = 0; i < Form->LstPlgPerso->count(); ++i)
      Form->LstPlgPerso->item(i)->setCheckState(i < count ? Qt::Checked : Qt::Unchecked);
  }
};

}  // namespace

TEST(Prefs, OkWritesEveryKeyInTheDialogsOrder) {
  Prefs p;
  const TIniFile file = p.Ok();
  EXPECT_EQ(file.ReadSections(), (std::vector<std::string>{"Params", "Tools", "FitImage", "Plugins", "Files"}));
  EXPECT_EQ(file.ReadSection("Params"),
            (std::vector<std::string>{"Open", "Save", "UniqueDir", "LockDir", "JpgCompression", "DefaultFormat2",
                                      "PreserveFileDate", "ImageUnit", "PrintUnit", "GridCellSize", "ColorGrid",
                                      "History", "AdvancedDisplay", "BkgTexture", "XPMenu", "PreserveExif",
                                      "TrackBallZoom", "RunMulti"}));
  EXPECT_EQ(file.ReadSection("FitImage"), (std::vector<std::string>{"Width", "Height", "Deform"}));
  EXPECT_EQ(file.ReadSection("Plugins"), (std::vector<std::string>{"LoadPlugins", "8bfDir", "8bfMode"}));
  EXPECT_EQ(file.ReadString("FitImage", "Width", ""), "800");
  EXPECT_EQ(file.ReadString("Params", "History", ""), "12");
  EXPECT_EQ(file.ReadString("Params", "RunMulti", ""), "1");
  EXPECT_EQ(file.ReadString("Params", "AdvancedDisplay", ""), "1");  // "Désactiver" unchecked
}

TEST(Prefs, AskingForTheJpegQualityRoundTripsAndTheSliderComesBackAt90) {
  Prefs p(0, "[Params]\nJpgCompression=40\n");
  p.Settings.JpgCompression = 40;
  p.Form->LoadControls();
  EXPECT_TRUE(p.Form->RBForcer->isChecked());
  EXPECT_EQ(p.Form->TBCompress->value(), 40);
  p.Form->RBDialogJpeg->setChecked(true);
  EXPECT_FALSE(p.Form->TBCompress->isEnabled());
  EXPECT_EQ(p.Ok().ReadString("Params", "JpgCompression", ""), "-1");
  EXPECT_EQ(p.Settings.JpgCompression, -1);
  p.Form->LoadControls();
  EXPECT_TRUE(p.Form->RBDialogJpeg->isChecked());
  EXPECT_EQ(p.Form->TBCompress->value(), 90);
}

TEST(Prefs, PluginButtonsAreTwentyAtMostAndTheRestDeleted) {
  Prefs p(25);
  p.CheckPlugins(25);
  TIniFile file = p.Ok();
  for (int n = 1; n <= 21; ++n)
    EXPECT_EQ(file.ValueExists("Plugins", "Plugin" + std::to_string(n)), n <= 20) << n;
  EXPECT_EQ(file.ReadString("Plugins", "Plugin20", ""), "Module 20");
  // Shown again, the dialog checks the twenty; three kept delete the keys 4 to 20.
  p.Form->LoadControls();
  EXPECT_EQ(p.Form->LstPlgPerso->item(19)->checkState(), Qt::Checked);
  EXPECT_EQ(p.Form->LstPlgPerso->item(20)->checkState(), Qt::Unchecked);
  p.CheckPlugins(3);
  file = p.Ok();
  EXPECT_EQ(file.ReadString("Plugins", "Plugin3", ""), "Module 3");
  for (int n = 4; n <= 20; ++n) EXPECT_FALSE(file.ValueExists("Plugins", "Plugin" + std::to_string(n))) << n;
}

TEST(Prefs, OnlyTheDialogsOfTheChangedUnitAreFreed) {
  Prefs p;
  p.Form->show();
  p.Form->ShowPage(4);
  QTest::keyClick(p.Form->LstUnitPrn, Qt::Key_Down);
  ASSERT_EQ(p.Form->LstUnitPrn->currentIndex(), 1);
  p.Ok();
  EXPECT_EQ(p.FreedPrint, 1);
  EXPECT_EQ(p.FreedImage, 0);
  EXPECT_EQ(p.Settings.PrintUnit, 1);
  // Shown again and closed with Ok untouched: nothing more is freed.
  p.Form->LoadControls();
  p.Ok();
  EXPECT_EQ(p.FreedPrint, 1);
  QTest::keyClick(p.Form->LstUnit, Qt::Key_Down);
  p.Ok();
  EXPECT_EQ(p.FreedImage, 1);
  EXPECT_EQ(p.FreedPrint, 1);
}

// The memory guide is the history slider's scale: its steps right under the slider,
// from the slider's left end to its right end.
TEST(Prefs, TheMemoryStepsStandUnderTheHistorySliderAcrossItsWidth) {
  Prefs p;
  p.Form->show();
  p.Form->ShowPage(2);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(p.Form.get()));
  QSlider* slider = p.Form->TBHisto;
  QWidget* page = slider->parentWidget();
  const QRect s(slider->mapTo(page, QPoint(0, 0)), slider->size());
  QLabel* first = p.Form->findChild<QLabel*>("LblMemory48");
  QLabel* last = p.Form->findChild<QLabel*>("LblMemory512");
  ASSERT_TRUE(first && last);
  const QRect f(first->mapTo(page, QPoint(0, 0)), first->size()), l(last->mapTo(page, QPoint(0, 0)), last->size());
  EXPECT_LE(f.top() - s.bottom(), 4);
  EXPECT_EQ(f.top(), l.top());
  // each end's number within the slider's ends, closer to its own end than to the middle
  EXPECT_GE(f.left(), s.left());
  EXPECT_LE(f.left(), s.left() + s.width() / 10);
  EXPECT_LE(l.right(), s.right());
  EXPECT_GE(l.right(), s.right() - s.width() / 10);
  EXPECT_LT(p.Form->LblHisto->mapTo(page, QPoint(0, 0)).y(), page->height());
  EXPECT_GT(p.Form->LblHisto->mapTo(page, QPoint(0, 0)).y(), f.bottom());
}
