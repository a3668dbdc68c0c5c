// Sheerlay as a user works it: its mask from the settings, from the browser, turned and
// inverted, kept in [Sheerlay], repeated.
#include <gtest/gtest.h>

#include <QMenu>
#include <QToolButton>
#include <filesystem>

#include "DialogTestSupport.h"
#include "controls/SpecialEdit.h"
#include "dialogs/sheerlay/SheerlayForm.h"
#include "document/LayerOps.h"
#include "pixel/ColorAdjust.h"
#include "pixel/Rotation.h"

using namespace qm;
using namespace qm::test;

namespace {

TSLForm* Form(QWidget* d) { return dynamic_cast<TSLForm*>(d); }

// The mask of the shell, grey as the dialog reads it.
TBitmap ShellMask(DialogShell& shell) {
  TSheerlayState s;
  EXPECT_TRUE(LoadSheerlayMask(shell.Services->PictureFiles(), shell.MaskFile, {}, s));
  return std::move(s.Picture);
}

}  // namespace

// [Sheerlay] written and read back through a real file: every key, the spellings the
// file keeps, and a stored transparency mode read as colour where it is not offered.
TEST(SheerlayDialog, SettingsRoundTrip) {
  TempFolder folder;
  const std::string file = folder.File("q.ini");
  TSheerlayState s;
  s.MaskPath = "/nowhere/m.png";
  s.Params = {RGB(18, 52, 86), 37, true, 1, true};
  s.Mode = slTransparency;
  s.Negative = true;
  s.Angle = 270;
  {
    TIniFile ini(file);
    WriteSheerlaySection(ini, s);
    ASSERT_TRUE(ini.Save());
  }
  const TIniFile ini(file);
  EXPECT_EQ(ini.ReadString("Sheerlay", "Color", ""), "#123456");
  EXPECT_EQ(ini.ReadString("Sheerlay", "Duatone", ""), "1");
  EXPECT_EQ(ini.ReadString("Sheerlay", "Stretch", ""), "0");
  EXPECT_EQ(ini.ReadString("Sheerlay", "Angle", ""), "270");
  TPictureFileSettings files;
  for (bool offered : {true, false}) {
    TSheerlayState r;
    ReadSheerlaySection(ini, r, files, true, offered);
    EXPECT_EQ(r.Params.Color, s.Params.Color);
    EXPECT_EQ(r.Params.Opacity, 37);
    EXPECT_TRUE(r.Params.Soften && r.Params.Duotone);
    EXPECT_EQ(r.Params.Fit, 1);
    EXPECT_EQ(r.Mode, offered ? slTransparency : slColor);
    EXPECT_TRUE(r.Picture.Empty());  // the mask file does not exist
  }
  // a missing key keeps the value
  TSheerlayState kept;
  kept.Params.Opacity = 55;
  ReadSheerlaySection(TIniFile(), kept, files, true, true);
  EXPECT_EQ(kept.Params.Opacity, 55);
}

// The mask from [Sheerlay]; inverted and turned, OK, and opened again: the same mask
// comes back from the settings. Without a mask OK and Preview are not offered.
TEST(SheerlayDialog, NegativeAndRotationComeBack) {
  DialogShell shell;
  const TBitmap grey = ShellMask(shell);
  QWidget* d = shell.OpenForm("TSLForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(Checksum(Form(d)->State().Picture), Checksum(grey));
  EXPECT_EQ(Child<QLineEdit>(d, "EdiNomMasque")->text(), QStringLiteral("degrade"));
  Child<QToolButton>(d, "BtnNegatif")->click();
  Child<QToolButton>(d, "BtnRotation")->click();
  TBitmap expected = grey.Clone();
  InvertRect(expected, UnboundedRect);
  RotateBitmap90(expected, true);
  EXPECT_EQ(Checksum(Form(d)->State().Picture), Checksum(expected));
  Click(d, "BOk");
  EXPECT_FALSE(d->isVisible());
  EXPECT_EQ(shell.History().GetUndoStepCount(), 1);
  EXPECT_TRUE(Form(d)->State().Picture.Empty());  // freed with the hide

  d = shell.OpenForm("TSLForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(Checksum(Form(d)->State().Picture), Checksum(expected));
  EXPECT_EQ(Form(d)->State().Angle, 90);
  EXPECT_TRUE(Form(d)->State().Negative);
  Cancel(d);

  // no mask to read: nothing to preview or apply
  shell.Services->SettingsFile()->WriteString("Sheerlay", "Mask", "/nowhere/gone.png");
  d = shell.OpenForm("TSLForm");
  ASSERT_TRUE(d);
  EXPECT_FALSE(Child<QPushButton>(d, "BOk")->isEnabled());
  EXPECT_FALSE(Child<QPushButton>(d, "BApercu")->isEnabled());
  Cancel(d);
  EXPECT_EQ(shell.History().GetUndoStepCount(), 1);
}

// The browser's mask action opens the dialog on that mask, over a new step.
TEST(SheerlayDialog, BrowserMaskAction) {
  DialogShell shell;
  const std::string other = UserFolder(TUserFolder::Masks) + "/bande.png";
  TBitmap band(16, 16, pf24bit, clWhite);
  band.FillRect(TRect{0, 0, 8, 16}, clBlack);
  WritePicture(other, band);
  shell.Form->RunSheerlay(other);
  auto* d = shell.Form->findChild<TSLForm*>(QStringLiteral("TSLForm"));
  ASSERT_TRUE(d && d->isVisible());
  EXPECT_EQ(Checksum(d->State().Picture), Checksum(band));
  EXPECT_EQ(Child<QLineEdit>(d, "EdiNomMasque")->text(), QStringLiteral("bande"));
  const uint64_t before = shell.LayerState();
  Click(d, "BOk");
  EXPECT_NE(shell.LayerState(), before);
  EXPECT_EQ(shell.History().GetUndoStepCount(), 1);
  EXPECT_EQ(shell.Services->SettingsFile()->ReadString("Sheerlay", "Mask", ""), other);
}

// The repeat reads [Sheerlay] and its mask again; a mask gone since leaves no step.
TEST(SheerlayDialog, RepeatRereadsTheMask) {
  DialogShell shell;
  QWidget* d = shell.OpenForm("TSLForm");
  ASSERT_TRUE(d);
  Click(d, "BOk");
  ASSERT_EQ(shell.History().GetUndoStepCount(), 1);
  ASSERT_TRUE(shell.Form->Commands().Trigger("MenuFiltreRepeter"));
  EXPECT_EQ(shell.History().GetUndoStepCount(), 2);
  std::filesystem::remove(shell.MaskFile);
  const uint64_t before = shell.LayerState();
  shell.Form->Commands().Trigger("MenuFiltreRepeter");
  EXPECT_EQ(shell.History().GetUndoStepCount(), 2);
  EXPECT_EQ(shell.LayerState(), before);
}

// "Transparence" is offered on the background of a single-layer image and on an upper
// layer, a new one without a mask too (the command gives it its default mask first),
// never on the background under other layers; a stored mode 4 there reads as colour.
// On the upper layer it hides the layer through its mask and leaves the background
// alone.
TEST(SheerlayDialog, TransparencyOfferedWhereItCanWork) {
  DialogShell shell;
  shell.Services->SettingsFile()->WriteString("Sheerlay", "Format", "4");
  QWidget* d = shell.OpenForm("TSLForm");
  ASSERT_TRUE(d);
  QMenu* modes = Child<QMenu>(d, "PopMode");
  EXPECT_TRUE(modes->actions().last()->isEnabled());
  EXPECT_EQ(Child<TSpecialEdit>(d, "LstFormat")->ItemIndex(), slTransparency);
  EXPECT_FALSE(Child<QCheckBox>(d, "ChbBichromie")->isEnabled());
  Click(d, "BOk");
  EXPECT_TRUE(shell.Layer().Transparent);
  EXPECT_EQ(shell.Layer().TransparentColor, kSheerlayKey);
  shell.Services->UndoCommand(nullptr);
  EXPECT_FALSE(shell.Layer().Transparent);

  TLayeredImage& image = shell.Doc->Image();
  const TBitmap& background = image.Layers[0].Image;
  const uint64_t underneath = Checksum(background);
  AddLayerFromBitmap(shell.Services->LayerHost(), "#1", RandomBitmap(50, 40, 3), TBitmap(), TPoint{5, 5});
  image.GetActiveLayer()->Mask = TBitmap();  // as a layer made without one
  shell.Form->UpdateCommandStates();
  d = shell.OpenForm("TSLForm");
  ASSERT_TRUE(d);
  const TBitmap blank = image.GetActiveLayer()->Mask.Clone();
  EXPECT_FALSE(blank.Empty());
  EXPECT_TRUE(modes->actions().last()->isEnabled());
  EXPECT_EQ(Child<TSpecialEdit>(d, "LstFormat")->ItemIndex(), slTransparency);
  Click(d, "BOk");
  EXPECT_EQ(shell.History().GetUndoStepCount(), 1);
  EXPECT_FALSE(SameBitmaps(image.GetActiveLayer()->Mask, blank));  // hidden where the mask picture is dark
  EXPECT_FALSE(background.Transparent);
  EXPECT_EQ(Checksum(background), underneath);

  image.SetActiveLayerIndex(0);
  shell.Form->UpdateCommandStates();
  d = shell.OpenForm("TSLForm");
  ASSERT_TRUE(d);
  EXPECT_TRUE(image.Layers[0].Mask.Empty());
  EXPECT_FALSE(modes->actions().last()->isEnabled());
  EXPECT_EQ(Child<TSpecialEdit>(d, "LstFormat")->ItemIndex(), slColor);
  Cancel(d);
  EXPECT_EQ(Checksum(background), underneath);
}
