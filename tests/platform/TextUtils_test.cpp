#include <gtest/gtest.h>

#include "platform/core/Colors.h"
#include "platform/texts/Format.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"

using namespace qm;

TEST(TextUtils, Utf8AndCase) {
  EXPECT_EQ(Utf8Length("Décembre"), 8u);
  EXPECT_EQ(Utf8Left("Décembre", 2), "Dé");
  EXPECT_EQ(UpperFirst("écran"), "Écran");
  EXPECT_EQ(UpperCase("œuvre à ÿ"), "ŒUVRE À Ÿ");
  EXPECT_TRUE(SameText("ÉTÉ", "été"));
  EXPECT_FALSE(SameText("ete", "été"));
  EXPECT_EQ(FindText("Le Château", "CHÂ", true), 3u);
  // Bytes that are not UTF-8 are kept and counted one by one.
  EXPECT_EQ(Utf8Length("\xE9t\xE9"), 3u);
  EXPECT_EQ(UpperCase("\xE9t\xE9"), "\xE9T\xE9");
  EXPECT_EQ(Trim(" \t x y \r\n"), "x y");
}

TEST(TextUtils, IntegersWithDefaultsAndClamps) {
  int v = 0;
  EXPECT_TRUE(TryStrToInt("  -12", v));
  EXPECT_EQ(v, -12);
  EXPECT_TRUE(TryStrToInt("$1F", v));
  EXPECT_EQ(v, 31);
  EXPECT_TRUE(TryStrToInt("0x10", v));
  EXPECT_EQ(v, 16);
  EXPECT_TRUE(TryStrToInt("-2147483648", v));
  EXPECT_EQ(v, INT32_MIN);
  for (const char* bad : {"", " ", "12 ", "1.5", "abc", "2147483648", "--1", "+", "$", "99999999999999999999"})
    EXPECT_FALSE(TryStrToInt(bad, v)) << bad;
  EXPECT_EQ(StrToIntClamped("99", 12, 1, 24), 24);
  EXPECT_EQ(StrToIntClamped("0", 12, 1, 24), 1);
  EXPECT_EQ(StrToIntClamped("ERR", 12, 1, 24), 12);
  EXPECT_EQ(StrToIntClamped("ERR", 40, 1, 24), 24);  // the default is clamped too
}

TEST(TextUtils, FloatsWithTheDecimalSeparator) {
  double v = 0;
  EXPECT_TRUE(TryStrToFloat(" 2.5 ", v));
  EXPECT_EQ(v, 2.5);
  EXPECT_TRUE(TryStrToFloat("-1e3", v));
  EXPECT_EQ(v, -1000);
  EXPECT_TRUE(TryStrToFloat(".5", v));
  EXPECT_EQ(v, 0.5);
  for (const char* bad : {"", ".", "1,5", "1e", "abc", "1.5x", "1e999"}) EXPECT_FALSE(TryStrToFloat(bad, v)) << bad;
  FormatSettings().DecimalSeparator = ",";
  EXPECT_TRUE(TryStrToFloat("1,5", v));
  EXPECT_EQ(v, 1.5);
  EXPECT_FALSE(TryStrToFloat("1.5", v));
  FormatSettings() = TFormatSettings{};
  EXPECT_EQ(StrToFloatClamped("7.5", 1.0, 0.0, 5.0), 5.0);
  EXPECT_EQ(StrToFloatClamped("x", 1.0, 0.0, 5.0), 1.0);
}

TEST(TextUtils, CaptionCleaningAndDecoration) {
  EXPECT_EQ(CleanMenuCaption("&Ouvrir..."), "Ouvrir");
  EXPECT_EQ(CleanMenuCaption("Copier && coller"), "Copier & coller");  // only the first "&"
  EXPECT_EQ(CleanMenuCaption("Rayon :"), "Rayon");
  EXPECT_EQ(CleanMenuCaption("  Fond  "), "Fond");
  EXPECT_EQ(CleanMenuCaption("a:..."), "a");  // the "..." goes first, then the ":"
  EXPECT_EQ(DecorateCaption("rayon :", ckLabel), "Rayon :");
  EXPECT_EQ(DecorateCaption("&taille", ckGroup), " Taille ");
  EXPECT_EQ(DecorateCaption("écran", ckEllipsis), "Écran...");
  EXPECT_EQ(DecorateCaption("calque", ckDash), "- Calque");
  EXPECT_EQ(DecorateCaption("calque", 9), "Calque");
  EXPECT_EQ(DecorateCaption("&...", ckLabel), "");
  EXPECT_EQ(EscapeAmpersands("R&D & co"), "R&&D && co");
  EXPECT_EQ(StripHotkey("&Fichier && co"), "Fichier & co");
  EXPECT_EQ(TruncateWithEllipsis("abcdef", 3), "abc...");
  EXPECT_EQ(TruncateWithEllipsis("abc", 3), "abc");
  EXPECT_EQ(TruncateWithEllipsis("ééééé", 2), "éé...");
  EXPECT_EQ(DeleteSubString("IMAGE", "Une image, une image", true), "Une , une image");
  EXPECT_EQ(DeleteSubString("IMAGE", "Une image", false), "Une image");
}

TEST(TextUtils, Colours) {
  EXPECT_EQ(HexStrToColor("#FF8000", clBlack, true), RGB(255, 128, 0));
  EXPECT_EQ(HexStrToColor("FF8000", clBlack, false), RGB(0, 128, 255));
  EXPECT_EQ(HexStrToColor("$0080ff", clBlack, false), RGB(255, 128, 0));
  EXPECT_EQ(HexStrToColor("#FF800", 0x123456, true), 0x123456u);
  EXPECT_EQ(HexStrToColor("#GG8000", 0x123456, true), 0x123456u);
  EXPECT_EQ(HexStrToColor("", 0x123456, true), 0x123456u);
  EXPECT_EQ(HexStrToColor("clRed", clBlack, true), RGB(255, 0, 0));
  EXPECT_EQ(HexStrToColor("CLBTNFACE", clBlack, true), clBtnFace);
  EXPECT_EQ(HexStrToColor("rouge", clBlack, true), clBlack);
  EXPECT_EQ(ColorToHexStr(RGB(255, 128, 0), true), "#FF8000");
  EXPECT_EQ(ColorToHexStr(RGB(255, 128, 0), false), "$0080FF");
  EXPECT_EQ(ColorToHexStr(clBtnFace, true), ColorToHexStr(ColorToRGB(clBtnFace), true));
  for (TColor c : {0x000000u, 0xFFFFFFu, 0x12AB9Fu}) EXPECT_EQ(HexStrToColor(ColorToHexStr(c, true), 1, true), c);
}

TEST(TextUtils, FileSizes) {
  ResetTextTable();
  EXPECT_EQ(FormatFileSize(0, false), "0 octet");
  EXPECT_EQ(FormatFileSize(1, false), "1 octet");
  EXPECT_EQ(FormatFileSize(2, false), "2 octets");
  EXPECT_EQ(FormatFileSize(1023, true), "1023 octets");
  EXPECT_EQ(FormatFileSize(1536, false), "1.50 Ko");
  EXPECT_EQ(FormatFileSize(1536, true), "2 Ko");
  EXPECT_EQ(FormatFileSize(2560, true), "2 Ko");  // halves go to even
  EXPECT_EQ(FormatFileSize(1048576, false), "1.00 Mo");
  EXPECT_EQ(FormatFileSize(int64_t(3) << 30, false), "3.00 Go");
  EXPECT_EQ(FormatImageMemory(1000, 1000), "2.86 Mo");
  EXPECT_EQ(FormatImageMemory(INT32_MAX, INT32_MAX), FormatFileSize(INT64_MAX, false));
  FormatSettings().DecimalSeparator = ",";
  EXPECT_EQ(FormatFileSize(1536, false), "1,50 Ko");
  FormatSettings() = TFormatSettings{};
  EXPECT_EQ(GetImageCountWord(1), "Image");
  EXPECT_EQ(GetImageCountWord(2), "Images");
  EXPECT_EQ(GetPixelCountWord(0), "pixel");
  EXPECT_EQ(GetPixelCountWord(5), "pixels");
}

TEST(TextUtils, DialogFilters) {
  const char* filter = "JPEG (*.jpg;*.jpeg)|*.jpg;*.jpeg|PNG (*.png)|*.png";
  EXPECT_EQ(GetFilterPart(filter, 1, false), "JPEG (*.jpg;*.jpeg)");
  EXPECT_EQ(GetFilterPart(filter, 1, true), "*.jpg;*.jpeg");
  EXPECT_EQ(GetFilterPart(filter, 2, true), "*.png");
  EXPECT_EQ(GetFilterPart(filter, 7, false), "*.png");  // fewer fields: the last one
  EXPECT_EQ(GetFilterPart(filter, 0, false), "JPEG (*.jpg;*.jpeg)");
  EXPECT_EQ(GetFilterPart("", 1, true), "");
  EXPECT_EQ(GetFirstMaskExt("*.jpg;*.jpeg"), ".jpg");
  EXPECT_EQ(GetFirstMaskExt("gif"), ".gif");
  EXPECT_EQ(GetFirstMaskExt(""), ".");
}

TEST(TextUtils, NameValueSplit) {
  std::string n, v;
  SplitNameValue("&Flou...|Blur", n, v);
  EXPECT_EQ(n, "Flou");
  EXPECT_EQ(v, "Blur");
  SplitNameValue("|Nom", n, v);  // a "|" in first place does not split
  EXPECT_EQ(n, "Nom");
  EXPECT_EQ(v, "Nom");
  SplitNameValue("|X|Y", n, v);  // nor does the second: every "|" goes
  EXPECT_EQ(n, "XY");
  EXPECT_EQ(v, "XY");
  SplitNameValue("Sans barre", n, v);
  EXPECT_EQ(n, "Sans barre");
  EXPECT_EQ(v, "Sans barre");
  SplitNameValue(std::string(40, 'a') + "|" + std::string(40, 'b'), n, v);
  EXPECT_EQ(n, std::string(32, 'a'));
  EXPECT_EQ(v, std::string(32, 'b'));
}

TEST(TextUtils, ChannelSplit) {
  const int expected[7][3] = {{9, 9, 9}, {9, 0, 0}, {0, 9, 0}, {0, 0, 9}, {0, 9, 9}, {9, 0, 9}, {9, 9, 0}};
  for (int ch = 0; ch < 7; ++ch) {
    int r = -1, g = -1, b = -1;
    SplitByChannel(r, g, b, ch, 9);
    EXPECT_EQ(r, expected[ch][0]);
    EXPECT_EQ(g, expected[ch][1]);
    EXPECT_EQ(b, expected[ch][2]);
    double fr, fg, fb;
    SplitByChannelFloat(fr, fg, fb, ch, 2.0);
    EXPECT_EQ(fr, expected[ch][0] ? 2.0 : 1.0);
    EXPECT_EQ(fg, expected[ch][1] ? 2.0 : 1.0);
    EXPECT_EQ(fb, expected[ch][2] ? 2.0 : 1.0);
  }
  int r, g, b;
  SplitByChannel(r, g, b, 7, 9);
  EXPECT_EQ(r + g + b, 0);
}

TEST(TextUtils, PathsAsText) {
  EXPECT_EQ(AddTrailingBackslash("/home/a"), "/home/a/");
  EXPECT_EQ(AddTrailingBackslash("/home/a/"), "/home/a/");
  EXPECT_EQ(ChangeFileFolder("/x/y/photo.jpg", "/dest"), "/dest/photo.jpg");
  EXPECT_EQ(ChangeFileFolder("", "/dest"), "");
  EXPECT_EQ(ExtractFileName("photo.jpg"), "photo.jpg");
}
