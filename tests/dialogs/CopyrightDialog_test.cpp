// The copyright dialog from the Image menu: [Copyright] read at its showing and written
// after OK, the band added outside at the top moving the layers with the image, undo.
#include <gtest/gtest.h>

#include <QRadioButton>
#include <QToolButton>

#include "DialogTestSupport.h"
#include "dialogs/copyright/CopyrightForm.h"
#include "document/Undo.h"
#include "platform/texts/IniFile.h"

using namespace qm;
using namespace qm::test;

TEST(CopyrightDialog, AnOutsideBandAtTheTopMovesTheLayers) {
  DialogShell shell(&ProgramDialogs(),
                    "[Copyright]\nText=<#w> x <#h>\nTxtOutside=1\nPosition=0\nBackground=1\nSize=12\n"
                    "Font=NoSuchFont\nTxtAlignment=0\n");
  TNewImgForm* doc = shell.Doc;  // 120 x 90
  TLayerItem& bg = doc->Image().Layers[0];
  bg.CreateDefaultMask();  // an alpha background
  shell.AddLayer(30);      // at (10, 10)
  const TBitmap image = bg.Image.Clone();
  const int steps = doc->History().GetUndoStepCount();

  QWidget* d = shell.OpenForm("TCopyrightForm");
  ASSERT_TRUE(d);
  EXPECT_TRUE(d->isModal());
  EXPECT_EQ(FieldText(d, "EdiCopyright"), "<#w> x <#h>");
  EXPECT_TRUE(Child<QCheckBox>(d, "CBTxtExt")->isChecked());
  EXPECT_TRUE(Child<QRadioButton>(d, "RBTop")->isChecked());
  EXPECT_FALSE(Child<TSpinEdit2>(d, "EdiOpacite")->isEnabled());
  EXPECT_TRUE(Child<QToolButton>(d, "SBGauche")->isChecked());
  // "+" stays "+" in the template: this dialog previews no key
  QTest::keyClick(Child<QLineEdit>(d, "EdiCopyright"), Qt::Key_End);
  QTest::keyClick(Child<QLineEdit>(d, "EdiCopyright"), '+');
  EXPECT_EQ(FieldText(d, "EdiCopyright"), "<#w> x <#h>+");
  Type(d, "EdiCopyright", "");
  Click(d, "BOk");
  EXPECT_TRUE(shell.Said(TextId::GetTrDldGlb1));
  EXPECT_TRUE(d->isVisible());
  Type(d, "EdiCopyright", "<#w> x <#h>");
  // the band of the font the dialog shows: the file's, else "Arial", else the first
  const TCopyrightSettings s = dynamic_cast<TCopyrightForm*>(d)->Settings();
  EXPECT_EQ(s.Size, 12);
  EXPECT_EQ(s.FontName, Child<QComboBox>(d, "CBPolices")->currentText().toStdString());
  const int b = CopyrightBandHeight(s);
  Click(d, "BOk");
  EXPECT_FALSE(d->isVisible());

  ASSERT_EQ(bg.Image.Height(), 90 + b);
  EXPECT_EQ(bg.Image.GetPixel(7, b + 3), image.GetPixel(7, 3));
  ASSERT_EQ(bg.Mask.Height(), 90 + b);
  EXPECT_EQ(bg.Mask.GetPixel(3, 1), clBlack);  // the band shows
  EXPECT_EQ(doc->Image().Layers[1].Top, 10 + b);
  ASSERT_EQ(doc->History().GetUndoStepCount(), steps + 1);
  EXPECT_EQ(GetUndoStepParam(*doc->History().GetCurrentUndoStep(), upOffsetY), b);
  // the settings went to the file, the unknown font replaced by one the system has
  TIniFile written;
  ASSERT_TRUE(written.Load(shell.SettingsFile()));
  EXPECT_EQ(written.ReadString("Copyright", "Text", ""), "<#w> x <#h>");
  EXPECT_EQ(written.ReadString("Copyright", "TxtAlignment", ""), "0");
  EXPECT_NE(written.ReadString("Copyright", "Font", ""), "NoSuchFont");

  shell.Services->UndoCommand(nullptr);
  EXPECT_TRUE(SameBitmaps(bg.Image, image));
  EXPECT_EQ(bg.Mask.Height(), 90);
  EXPECT_EQ(doc->Image().Layers[1].Top, 10);

  // Over the image at an opacity: the size stays, one step more.
  d = shell.OpenForm("TCopyrightForm");
  ASSERT_TRUE(d);
  Child<QCheckBox>(d, "CBTxtExt")->setChecked(false);
  EXPECT_TRUE(Child<TSpinEdit2>(d, "EdiOpacite")->isEnabled());
  Type(d, "EdiOpacite", "10");
  Click(d, "BOk");
  EXPECT_EQ(bg.Image.Height(), 90);
  EXPECT_EQ(doc->Image().Layers[1].Top, 10);
  EXPECT_FALSE(SameBitmaps(bg.Image, image));
}
