// The levels, the gamma and the fade as a user works them from the menus.
#include <gtest/gtest.h>

#include <functional>

#include "DialogTestSupport.h"
#include "pixel/Blend.h"
#include "pixel/ColorAdjust.h"

using namespace qm;
using namespace qm::test;

namespace {

// The picture after percent of the change from before to after, by the blend rule the
// fade mixes them with.
TBitmap Faded(const TBitmap& before, const TBitmap& after, int percent) {
  TBitmap out = before.Clone();
  for (int y = 0; y < out.Height(); ++y) BlendRow(out.ScanLine(y), after.ScanLine(y), out.Width() * 3, percent);
  return out;
}

QWidget* FadeDialog(DialogShell& shell) {
  if (!shell.Form->Commands().Trigger("MenuAttenuer")) return nullptr;
  QWidget* d = shell.Form->findChild<QWidget*>("TAttenuerForm");
  return d && d->isVisible() ? d : nullptr;
}

std::string FadeItem(DialogShell& shell) {
  return shell.Form->Commands().Action("MenuAttenuer")->text().toStdString();
}

}  // namespace

// A blur, then its fade from the Edit menu: shown at 100 over the blurred image, back
// to the image before it at 0, kept at 40 as one more step; opened again on that step,
// a preview cancelled gives the 40 back; changed to 60 after a save, the document
// counts as modified although the history did not move; undo gives the full blur, then
// the original; a fresh fade cancelled after an undo gives the redo branch back.
TEST(FadeDialog, FromTheEditMenu) {
  DialogShell shell;
  TMainForm& form = *shell.Form;
  const TBitmap original = shell.Layer().Clone();
  EXPECT_FALSE(form.Commands().IsEnabled("MenuAttenuer"));  // nothing to fade yet
  QWidget* blur = shell.OpenForm("TBlurForm");
  ASSERT_TRUE(blur);
  Click(blur, "BOk");
  const TBitmap blurred = shell.Layer().Clone();
  EXPECT_EQ(FadeItem(shell), "Atténuer Flou gaussien...");

  QWidget* d = FadeDialog(shell);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->windowTitle().toStdString(), "Atténuer Flou gaussien");
  EXPECT_FALSE(Child<QPushButton>(d, "BApercu")->isVisible());
  QSlider* opacity = Slider(d, "TBN");
  EXPECT_EQ(opacity->value(), 100);
  EXPECT_EQ(LabelText(d, "LblN"), "Opacité : 100%");
  EXPECT_TRUE(SameBitmaps(shell.Layer(), blurred));
  EXPECT_FALSE(shell.Services->Operations().PreChangeCopy());  // the fade reads none
  Key(opacity, Qt::Key_Home);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), original));
  Key(opacity, Qt::Key_PageUp, 4);
  EXPECT_EQ(LabelText(d, "LblN"), "Opacité : 40%");
  const TBitmap at40 = Faded(original, blurred, 40);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), at40));
  Click(d, "BOk");
  EXPECT_FALSE(d->isVisible());
  ASSERT_EQ(shell.History().GetUndoStepCount(), 2);
  const TUndoLayerItem* fade = shell.History().GetCurrentUndoStep();
  EXPECT_EQ(fade->Name, "Atténuer Flou gaussien");
  EXPECT_EQ(GetUndoStepParam(*fade, upFadeOpacity), 40);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), at40));

  // Opened again on its own step, at 40; 70 previewed, then cancelled.
  EXPECT_EQ(FadeItem(shell), "Atténuer Flou gaussien...");
  d = FadeDialog(shell);
  ASSERT_TRUE(d);
  EXPECT_EQ(Slider(d, "TBN")->value(), 40);
  Key(Slider(d, "TBN"), Qt::Key_PageUp, 3);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), Faded(original, blurred, 70)));
  Cancel(d);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), at40));
  EXPECT_EQ(shell.History().GetUndoStepCount(), 2);
  EXPECT_EQ(shell.History().GetCurrentUndoStep(), fade);

  // Saved, then changed to 60: the same two steps, the document modified.
  WhenSaveDialogSaveAs(shell.Home.File("plage-fondue.png"));
  WhenWriterOptionsAccepted();  // the PNG options, as they stand
  ASSERT_TRUE(form.Commands().Trigger("MenuFichierEnregistrerSous"));
  EXPECT_FALSE(shell.Doc->IsImageModified());
  d = FadeDialog(shell);
  ASSERT_TRUE(d);
  Key(Slider(d, "TBN"), Qt::Key_PageUp, 2);
  Click(d, "BOk");
  EXPECT_TRUE(SameBitmaps(shell.Layer(), Faded(original, blurred, 60)));
  EXPECT_EQ(shell.History().GetUndoStepCount(), 2);
  EXPECT_EQ(GetUndoStepParam(*fade, upFadeOpacity), 60);
  EXPECT_TRUE(shell.Doc->IsImageModified());
  EXPECT_TRUE(form.Commands().IsEnabled("MenuFichierEnregistrer"));

  ASSERT_TRUE(form.Commands().Trigger("MenuEditionUndo"));
  EXPECT_TRUE(SameBitmaps(shell.Layer(), blurred));
  ASSERT_TRUE(form.Commands().Trigger("MenuEditionUndo"));
  EXPECT_TRUE(SameBitmaps(shell.Layer(), original));

  // The blur redone, a fresh fade of it previewed and cancelled: the fade step waits
  // for its redo again.
  ASSERT_TRUE(form.Commands().Trigger("MenuEditionRedo"));
  d = FadeDialog(shell);
  ASSERT_TRUE(d);
  EXPECT_EQ(Slider(d, "TBN")->value(), 100);
  Key(Slider(d, "TBN"), Qt::Key_PageDown);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), Faded(original, blurred, 90)));
  Cancel(d);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), blurred));
  ASSERT_EQ(shell.History().GetUndoStepCount(), 2);
  ASSERT_EQ(shell.History().GetNextUndoStep(), fade);
  ASSERT_TRUE(form.Commands().Trigger("MenuEditionRedo"));
  EXPECT_TRUE(SameBitmaps(shell.Layer(), Faded(original, blurred, 60)));
}

// OK at neutral values leaves no step and the image as it was, whatever the thresholds
// of the levels or the gamma's channel, a slider moved and brought back included.
TEST(LevelsDialogs, NeutralOkLeavesNoStep) {
  DialogShell shell;
  const TBitmap original = shell.Layer().Clone();
  std::vector<std::pair<const char*, std::function<void(QWidget*)>>> cases = {
      {"TNiveauxForm",
       [](QWidget* d) {
         Key(Slider(d, "TBSeuil1"), Qt::Key_End);
         Key(Slider(d, "TBSeuil2"), Qt::Key_Home);
         Key(Slider(d, "TBInt2"), Qt::Key_Right);
         Key(Slider(d, "TBInt2"), Qt::Key_Left);
       }},
  };
  for (int channel = 0; channel < kChannelChoiceCount; ++channel)
    cases.push_back({"TGammaForm", [channel](QWidget* d) {
                       Child<QComboBox>(d, "CBCouche")->setCurrentIndex(channel);
                       Key(Slider(d, "TBN"), Qt::Key_Right);
                       Key(Slider(d, "TBN"), Qt::Key_Left);
                     }});
  for (const auto& [name, change] : cases) {
    SCOPED_TRACE(name);
    QWidget* d = shell.OpenForm(name);
    ASSERT_TRUE(d);
    change(d);
    Click(d, "BOk");
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(shell.History().GetUndoStepCount(), 0);
    EXPECT_TRUE(SameBitmaps(shell.Layer(), original));
  }
}

// The gamma on "Magenta" changes red and blue only; its channel stays for the next
// showing, its slider goes back to 1.00.
TEST(LevelsDialogs, GammaOnItsChannels) {
  DialogShell shell;
  const TBitmap original = shell.Layer().Clone();
  QWidget* d = shell.OpenForm("TGammaForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->windowTitle().toStdString(), "Correction gamma");
  EXPECT_EQ(LabelText(d, "LblN"), "Niveau : 1.00");
  Child<QComboBox>(d, "CBCouche")->setCurrentIndex(chMagenta);
  Key(Slider(d, "TBN"), Qt::Key_Left, 5);
  EXPECT_EQ(LabelText(d, "LblN"), "Niveau : 0.50");
  const TBitmap expected = RunOnCopy(original, &AdjustGamma, {0.5, chMagenta});
  EXPECT_TRUE(SameBitmaps(shell.Layer(), expected));
  Click(d, "BOk");
  EXPECT_EQ(shell.History().GetUndoStepCount(), 1);
  bool redChanged = false, blueChanged = false;
  for (int y = 0; y < original.Height(); ++y)
    for (int x = 0; x < original.Width(); ++x) {
      const uint8_t *was = Px(original, x, y), *now = Px(shell.Layer(), x, y);
      ASSERT_EQ(now[1], was[1]);
      blueChanged |= now[0] != was[0];
      redChanged |= now[2] != was[2];
    }
  EXPECT_TRUE(redChanged && blueChanged);

  d = shell.OpenForm("TGammaForm");
  EXPECT_EQ(Slider(d, "TBN")->value(), 10);
  EXPECT_EQ(Child<QComboBox>(d, "CBCouche")->currentIndex(), int(chMagenta));
  Cancel(d);
}

// The levels in their two frames: a dark intensity of +50 at the threshold of 100
// leaves every level above 100 as it was; the next showing starts again at 100, 0, 150
// and 0.
TEST(LevelsDialogs, DarkTonesOnly) {
  DialogShell shell;
  const TBitmap original = shell.Layer().Clone();
  QWidget* d = shell.OpenForm("TNiveauxForm");
  ASSERT_TRUE(d);
  auto* dark = Child<QGroupBox>(d, "GBSombres");
  EXPECT_EQ(dark->title().toStdString(), "Tons sombres");
  EXPECT_EQ(Child<QGroupBox>(d, "GBClairs")->title().toStdString(), "Tons clairs");
  EXPECT_TRUE(dark->isAncestorOf(Slider(d, "TBInt1")));
  EXPECT_EQ(LabelText(d, "LblSeuil1"), "Seuil : 100");
  Key(Slider(d, "TBInt1"), Qt::Key_PageUp, 5);
  EXPECT_EQ(LabelText(d, "LblInt1"), "Intensité : 50%");
  const TBitmap expected = RunOnCopy(original, &AdjustLevels, {100, 50, 150, 0});
  EXPECT_TRUE(SameBitmaps(shell.Layer(), expected));
  Click(d, "BOk");
  EXPECT_EQ(shell.History().GetUndoStepCount(), 1);
  const TBitmap& now = shell.Layer();
  bool darkChanged = false;
  for (int y = 0; y < original.Height(); ++y)
    for (int x = 0; x < original.Width(); ++x)
      for (int k = 0; k < 3; ++k) {
        const int was = Px(original, x, y)[k];
        if (was > 100) ASSERT_EQ(Px(now, x, y)[k], was);
        else darkChanged |= Px(now, x, y)[k] != was;
      }
  EXPECT_TRUE(darkChanged);

  d = shell.OpenForm("TNiveauxForm");
  for (auto [name, value] : {std::pair{"TBSeuil1", 100}, {"TBInt1", 0}, {"TBSeuil2", 150}, {"TBInt2", 0}})
    EXPECT_EQ(Slider(d, name)->value(), value) << name;
  Cancel(d);
}
