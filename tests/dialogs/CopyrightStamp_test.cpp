#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <cstdlib>
#include <ctime>

#include "controls/SpinEdit.h"
#include "dialogs/copyright/CopyrightForm.h"
#include "dialogs/copyright/CopyrightStamp.h"
#include "pixel/ImgUtils.h"
#include "platform/texts/DateFormat.h"
#include "platform/texts/IniFile.h"
#include "shell/services/FileUtils.h"
#include "support/QtTestApp.h"
#include "support/TempFiles.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

TCopyrightSettings Stamp(const std::string& text, bool outside, bool top, int opacity = 100) {
  TCopyrightSettings s;
  s.Text = text;
  s.Outside = outside;
  s.Top = top;
  s.Opacity = opacity;
  s.BackgroundColor = RGB(10, 20, 200);
  return s;
}

// The font size whose band is b pixels high, 0 when none is.
int SizeForBand(int b) {
  for (int size = kMinCopyrightSize; size <= kMaxCopyrightSize; ++size) {
    TCopyrightSettings s;
    s.Size = size;
    if (CopyrightBandHeight(s) == b) return size;
  }
  return 0;
}

}  // namespace

TEST(CopyrightStamp, PlaceholdersInOrderAnyCaseWithoutTheFolder) {
  EXPECT_EQ(ExpandCopyrightTemplate("<#N>_<#ne>", "/any/folder/img01.jpg", "", 1, 1), "img01_img01.jpg");
  EXPECT_EQ(ExpandCopyrightTemplate("<#w> x <#h>", "", "", 640, 495), "640 x 495");
  EXPECT_EQ(ExpandCopyrightTemplate("<#NE>|<#n>|<#D>|<#W>x<#h>|<#n>", "/d/a.b.png", "03/02/2001", 7, 9),
            "a.b.png|a.b|03/02/2001|7x9|a.b");
  EXPECT_EQ(ExpandCopyrightTemplate("Copyright © <#x>", "/d/a.png", "", 1, 1), "Copyright © <#x>");
}

// <#d> dates the file it is given when the file date is kept, else today.
TEST(CopyrightStamp, TheDateIsTheNamedFilesOrToday) {
  TempFolder folder("copyrightdate");
  const std::string file = folder.File("batch.jpg");
  folder.Write("batch.jpg", "x");
  const std::time_t then = 981158400;  // February 2001
  ASSERT_TRUE(SetFileDateByName(file, then));
  EXPECT_EQ(CopyrightDate(file, true), FormatDateTime("ddddd", LocalDateTime(then)));
  const std::string today = FormatDateTime("ddddd", LocalDateTime(std::time(nullptr)));
  EXPECT_EQ(CopyrightDate(file, false), today);
  EXPECT_EQ(CopyrightDate(folder.File("missing.jpg"), true), today);
}

// An outside band grows the image by b = the line height + 2: 640 x 480 becomes 640 x 495
// for b = 15; at the top the image moves down by b and the offset says so.
TEST(CopyrightStamp, AnOutsideBandGrowsTheImage) {
  App();
  const TBitmap picture = RandomBitmap(640, 480, 3);
  for (bool top : {false, true}) {
    TCopyrightSettings s = Stamp("<#w> x <#h>", true, top);
    if (const int size = SizeForBand(15)) s.Size = size;
    TBitmap bmp = picture.Clone();
    TBitmap work(5, 5);
    const TCopyrightStamp stamp = DrawCopyrightStamp(s, bmp, &work, "", "");
    const int b = CopyrightBandHeight(s);
    EXPECT_EQ(stamp.Band, b);
    EXPECT_TRUE(work.Empty());
    ASSERT_EQ(bmp.Width(), 640);
    ASSERT_EQ(bmp.Height(), 480 + b);
    EXPECT_EQ(stamp.Text, "640 x " + std::to_string(480 + b));
    if (b == 15) EXPECT_EQ(stamp.Text, "640 x 495");
    EXPECT_EQ(stamp.TopOffset, top ? b : 0);
    EXPECT_EQ(stamp.BandRect, (top ? TRect{0, 0, 640, b} : TRect{0, 480, 640, 480 + b}));
    TBitmap image;
    CopyBitmapRegion(bmp, image, TRect{0, top ? b : 0, 640, (top ? b : 0) + 480});
    EXPECT_TRUE(SameBitmaps(image, picture));
    // the band's corner is its background; the text is drawn within it
    EXPECT_EQ(bmp.GetPixel(0, stamp.BandRect.Top), s.BackgroundColor);
    int drawn = 0;
    for (int y = stamp.BandRect.Top; y < stamp.BandRect.Bottom; ++y)
      for (int x = 0; x < 640; ++x) drawn += bmp.GetPixel(x, y) != s.BackgroundColor;
    EXPECT_GT(drawn, 20);
  }
  // Without a background no band goes outside: the stamp lies over the image.
  TCopyrightSettings plain = Stamp("abc", true, false);
  plain.Background = false;
  TBitmap bmp = picture.Clone();
  EXPECT_FALSE(DrawCopyrightStamp(plain, bmp, nullptr, "", "").Outside);
  EXPECT_EQ(bmp.Height(), 480);
}

// Over the image the band shows at the opacity: at 10 the image keeps 90 percent under
// it; at 100 the band is the background colour where no letter is.
TEST(CopyrightStamp, OpacityOverTheImage) {
  App();
  const TBitmap picture = RandomBitmap(200, 80, 9);
  TBitmap opaque = picture.Clone();
  const TCopyrightStamp full = DrawCopyrightStamp(Stamp("AbZ", false, false, 100), opaque, nullptr, "", "");
  EXPECT_EQ(opaque.Height(), 80);
  TBitmap faint = picture.Clone();
  const TCopyrightStamp light = DrawCopyrightStamp(Stamp("AbZ", false, false, 10), faint, nullptr, "", "");
  EXPECT_EQ(light.BandRect, full.BandRect);
  int worst = 0;
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 200; ++x) {
      const TColor o = picture.GetPixel(x, y), s = opaque.GetPixel(x, y), f = faint.GetPixel(x, y);
      if (y < full.BandRect.Top) {
        ASSERT_EQ(f, o);
        continue;
      }
      for (int shift : {0, 8, 16}) {
        const int want = (int((o >> shift) & 255) * 90 + int((s >> shift) & 255) * 10) / 100;
        worst = std::max(worst, std::abs(int((f >> shift) & 255) - want));
      }
    }
  EXPECT_LE(worst, 1);
  EXPECT_EQ(opaque.GetPixel(0, 79), RGB(10, 20, 200));
}

TEST(CopyrightStamp, AnOutsideBandShowsInTheMask) {
  TBitmap mask(10, 6, pf24bit, RGB(255, 255, 255));
  TCopyrightStamp stamp;
  stamp.Outside = true;
  stamp.Band = 4;
  stamp.TopOffset = 4;
  GrowMaskForBand(mask, stamp);
  ASSERT_EQ(mask.Height(), 10);
  EXPECT_EQ(mask.GetPixel(3, 0), clBlack);
  EXPECT_EQ(mask.GetPixel(3, 4), clWhite);
}

// [Copyright] from a real settings file: each key's rule, and a round trip.
TEST(CopyrightStamp, SettingsFromTheIniFile) {
  TempFolder folder("copyrightini");
  folder.Write("Quillomatic.ini",
               "[Copyright]\nSize=99\nColor=#FF8000\nFont=Nimbus\nStyle=BU\nBackground=1\nBkgColor=junk\n"
               "TxtOutside=0\nTxtAlignment=7\nPosition=1\nAlpha=abc\nText=© <#n>\n");
  TIniFile ini;
  ASSERT_TRUE(ini.Load(folder.File("Quillomatic.ini")));
  TCopyrightSettings s;
  s.Top = true;
  s.Opacity = 40;
  s.Background = false;
  ReadCopyrightSettings(ini, s);
  EXPECT_EQ(s.Size, 50);
  EXPECT_EQ(s.Color, RGB(255, 128, 0));
  EXPECT_EQ(s.FontName, "Nimbus");
  EXPECT_TRUE(s.Bold && s.Underline && !s.Italic);
  EXPECT_FALSE(s.Background);  // only "0" changes it
  EXPECT_EQ(s.BackgroundColor, clBlack);
  EXPECT_FALSE(s.Outside);
  EXPECT_EQ(s.Alignment, 1);   // 7: centre
  EXPECT_TRUE(s.Top);          // 1 keeps the choice
  EXPECT_EQ(s.Opacity, 40);    // not a number: kept
  EXPECT_EQ(s.Text, "© <#n>");

  // Missing keys: the defaults of their rules, the rest kept.
  TIniFile none;
  TCopyrightSettings d;
  d.Text = "kept";
  d.Bold = true;
  ReadCopyrightSettings(none, d);
  EXPECT_EQ(d.Size, 10);
  EXPECT_EQ(d.Color, clWhite);
  EXPECT_FALSE(d.Bold);
  EXPECT_EQ(d.Text, "kept");

  TCopyrightSettings w = Stamp("x <#d>", false, true, 35);
  w.Size = 22;
  w.Italic = true;
  w.Alignment = 2;
  TIniFile out;
  WriteCopyrightSettings(out, w);
  TCopyrightSettings r;
  ReadCopyrightSettings(out, r);
  EXPECT_EQ(r.Text, w.Text);
  EXPECT_EQ(r.Size, 22);
  EXPECT_TRUE(r.Italic && !r.Bold);
  EXPECT_EQ(r.Alignment, 2);
  EXPECT_TRUE(r.Top);
  EXPECT_FALSE(r.Outside);
  EXPECT_EQ(r.Opacity, 35);
  EXPECT_EQ(r.BackgroundColor, w.BackgroundColor);
}

// The batch's own instance: embedded in its form, it stamps without being shown, and
// dates the file it is given (not whatever document is active).
TEST(CopyrightStamp, TheEmbeddedPanelStampsWithoutADialog) {
  App();
  TempFolder folder("copyrightpanel");
  folder.Write("scan.jpg", "x");
  const std::time_t then = 981158400;
  ASSERT_TRUE(SetFileDateByName(folder.File("scan.jpg"), then));
  QWidget batch;
  TCopyrightForm form;
  EmbedCopyrightPanel(form, &batch, 8, 42);
  EXPECT_EQ(form.parentWidget(), &batch);
  EXPECT_EQ(form.pos(), QPoint(8, 42));
  EXPECT_FALSE(form.OkButton()->isVisibleTo(&batch));
  TCopyrightSettings s = form.Settings();
  s.Text = "<#d> <#n>";
  s.Top = true;
  form.SetSettings(s);
  form.KeepFileDate = true;
  EXPECT_EQ(GetCopyrightText(form), "<#d> <#n>");
  TBitmap bmp = RandomBitmap(300, 100, 2);
  const TCopyrightStamp stamp = DrawCopyrightStamp(form, bmp, nullptr, folder.File("scan.jpg"));
  EXPECT_EQ(stamp.Text, FormatDateTime("ddddd", LocalDateTime(then)) + " scan");
  EXPECT_EQ(form.TopBandOffset, stamp.Band);
  EXPECT_EQ(bmp.Height(), 100 + stamp.Band);
  // "Fond" off: "Extérieur" goes off and disabled, the opacity on
  form.CBTxtFond->setChecked(false);
  EXPECT_FALSE(form.CBTxtExt->isChecked());
  EXPECT_FALSE(form.CBTxtExt->isEnabled());
  EXPECT_TRUE(form.EdiOpacite->isEnabled());
}
