#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>

#include "platform/texts/Format.h"
#include "support/TempFiles.h"

using namespace qm;

namespace {
// Runs a test with the given separators and restores the defaults.
struct SeparatorGuard {
  SeparatorGuard(const char* dec, const char* thousands) {
    FormatSettings().DecimalSeparator = dec;
    FormatSettings().ThousandSeparator = thousands;
  }
  ~SeparatorGuard() { FormatSettings() = TFormatSettings{}; }
};
// Switches the process's numbers to a locale whose decimal point is a comma, as a
// desktop session does for a French user; builds one from the system's locale sources
// when none is installed. Restores the C numbers on destruction.
struct CommaLocale {
  bool Active = false;
  std::filesystem::path Built;
  CommaLocale() {
    for (const char* name : {"fr_FR.UTF-8", "fr_FR.utf8", "de_DE.UTF-8", "de_DE.utf8"})
      if (Try(name)) return;
    Built = test::TestTmpDir("qm-locales");
    std::error_code ec;
    const std::string command =
        "localedef -c -i fr_FR -f UTF-8 '" + (Built / "fr_FR.UTF-8").string() + "' >/dev/null 2>&1";
    if (!std::filesystem::exists(Built / "fr_FR.UTF-8" / "LC_NUMERIC", ec) && std::system(command.c_str()) == -1)
      return;
    setenv("LOCPATH", Built.c_str(), 1);
    Try("fr_FR.UTF-8");
  }
  ~CommaLocale() {
    std::setlocale(LC_NUMERIC, "C");
    if (!Built.empty()) unsetenv("LOCPATH");
  }
  bool Try(const char* name) {
    Active = std::setlocale(LC_NUMERIC, name) && std::string(std::localeconv()->decimal_point) == ",";
    if (!Active) std::setlocale(LC_NUMERIC, "C");
    return Active;
  }
};
}  // namespace

TEST(Format, NumbersDoNotFollowTheProcessLocale) {
  CommaLocale comma;
  if (!comma.Active) GTEST_SKIP() << "no locale with a decimal comma on this machine";
  EXPECT_EQ(Format("%.2f dpi", {72.5}), "72.50 dpi");
  EXPECT_EQ(Format("%n", {1234567.891}), "1,234,567.89");
  EXPECT_EQ(Format("%g", {0.5}), "0.5");
  EXPECT_EQ(Format("%.3e", {-0.00012345}), "-1.23E-004");
  EXPECT_EQ(FormatFloat("0.00", 1.5), "1.50");
  EXPECT_EQ(FormatFloat("#,##0.0", 1234.56), "1,234.6");
  EXPECT_EQ(FloatToStrGeneral(1.0 / 3.0, 3), "0.333");
  SeparatorGuard fr(",", " ");
  EXPECT_EQ(Format("%.2f %s", {1.5, "Ko"}), "1,50 Ko");
  EXPECT_EQ(Format("%n", {-1234.5}), "-1 234,50");
}

TEST(Format, IntegersAndTexts) {
  EXPECT_EQ(Format("Opacité : %d%%", {42}), "Opacité : 42%");
  EXPECT_EQ(Format("%d:%d => %d:%d (L=%d  H=%d  L/H=%s)", {1, 2, 3, 4, 5, 6, "1.25"}),
            "1:2 => 3:4 (L=5  H=6  L/H=1.25)");
  EXPECT_EQ(Format("%s_%.3d%s", {"Image", 7, ".jpg"}), "Image_007.jpg");
  EXPECT_EQ(Format("%.3d", {-5}), "-005");
  EXPECT_EQ(Format("[%5d|%-5d]", {42, 42}), "[   42|42   ]");
  EXPECT_EQ(Format("%x %X %.4x", {255, 255, 10}), "FF FF 000A");
  EXPECT_EQ(Format("%u", {-1}), "4294967295");
  EXPECT_EQ(Format("%d", {int64_t(1) << 40}), "1099511627776");
  EXPECT_EQ(Format("[%.3s] [%6s] [%-6s]", {"abcdef", "é", "é"}), "[abc] [     é] [é     ]");
  EXPECT_EQ(Format("%*d", {4, 7}), "   7");
  EXPECT_EQ(Format("%1:s %0:s %s", {"a", "b", "c"}), "b a b");
  EXPECT_EQ(Format("100%%", {}), "100%");
}

TEST(Format, FloatsUseTheDecimalSeparator) {
  EXPECT_EQ(Format("%.2f dpi", {72.0}), "72.00 dpi");
  EXPECT_EQ(Format("%f", {1.5}), "1.50");
  EXPECT_EQ(Format("%.0f", {2.5}), "2");
  EXPECT_EQ(Format("%e", {1234.5}), "1.23450000000000E+003");
  EXPECT_EQ(Format("%.3e", {-0.00012345}), "-1.23E-004");
  EXPECT_EQ(Format("%g", {0.5}), "0.5");
  EXPECT_EQ(Format("%.3g", {1.0 / 3.0}), "0.333");
  EXPECT_EQ(Format("%g", {1e20}), "1E+20");
  EXPECT_EQ(Format("%n", {1234567.891}), "1,234,567.89");
  EXPECT_EQ(Format("%.2f", {3}), "3.00");  // an integer argument for a float placeholder
  SeparatorGuard fr(",", " ");
  EXPECT_EQ(Format("%.2f %s", {1.5, "Ko"}), "1,50 Ko");
  EXPECT_EQ(Format("%n", {-1234.5}), "-1 234,50");
  EXPECT_EQ(Format("%f", {std::numeric_limits<double>::quiet_NaN()}), "NAN");
  EXPECT_EQ(Format("%f", {-std::numeric_limits<double>::infinity()}), "-INF");
}

TEST(Format, BadPlaceholdersAreCopiedAndNeverReadMemory) {
  EXPECT_EQ(Format("%d and %d", {1}), "1 and %d");           // missing argument
  EXPECT_EQ(Format("%d", {"text"}), "%d");                   // wrong kind
  EXPECT_EQ(Format("%s", {3}), "%s");
  EXPECT_EQ(Format("%q %", {1}), "%q %");                    // not a placeholder
  EXPECT_EQ(Format("%5:d", {1}), "%5:d");                    // index out of range
  EXPECT_EQ(Format("%n %p %s", {1.0, "x"}), "1.00 %p x");    // unsupported type
  // A huge width from a hostile string is cut instead of allocating gigabytes.
  EXPECT_LE(Format("%999999999d", {1}).size(), 1024u);
  EXPECT_LE(Format("%.999999999f", {1.0}).size(), 64u);
}

TEST(Format, PlaceholderSignatures) {
  std::vector<TFormatPlaceholder> p;
  ASSERT_TRUE(ParseFormatPlaceholders("%s_%.3d%s %%", p));
  ASSERT_EQ(p.size(), 3u);
  EXPECT_EQ(p[1], (TFormatPlaceholder{1, TFormatArg::Kind::Int}));
  ASSERT_TRUE(ParseFormatPlaceholders("%*.*f", p));
  EXPECT_EQ(p.size(), 3u);
  EXPECT_FALSE(ParseFormatPlaceholders("%d %", p));
  EXPECT_FALSE(ParseFormatPlaceholders("%*:d", p));
  EXPECT_TRUE(SameFormatPlaceholders("Rayon : %d pixels", "Radius %5d px"));
  EXPECT_TRUE(SameFormatPlaceholders("%.2f dpi", "%e"));
  EXPECT_TRUE(SameFormatPlaceholders("\"%s\" -> \"%s\"", "%1:s <- %0:s"));
  EXPECT_FALSE(SameFormatPlaceholders("%d", "%s"));
  EXPECT_FALSE(SameFormatPlaceholders("%d", "%d %d"));
  EXPECT_FALSE(SameFormatPlaceholders("%d %s", "%1:s"));
  EXPECT_TRUE(SameFormatPlaceholders("plain", "text 100%%"));
}

TEST(Format, FloatPictures) {
  EXPECT_EQ(FormatFloat("0.00", 1.5), "1.50");
  EXPECT_EQ(FormatFloat("0.00", -1.005), "-1.00");  // the binary value lies below 1.005
  EXPECT_EQ(FormatFloat("0.00", -0.001), "0.00");
  EXPECT_EQ(FormatFloat("0", 2.6), "3");
  EXPECT_EQ(FormatFloat("#.##", 0.5), ".5");
  EXPECT_EQ(FormatFloat("0.0#", 2.0), "2.0");
  EXPECT_EQ(FormatFloat("0.0#", 2.25), "2.25");
  EXPECT_EQ(FormatFloat("000", 7), "007");
  EXPECT_EQ(FormatFloat("#,##0.00", 1234567.5), "1,234,567.50");
  EXPECT_EQ(FormatFloat("0.00 \"cm\"", 2.54), "2.54 cm");
  EXPECT_EQ(FormatFloat("0.00E+00", 12345.0), "1.23E+04");
  EXPECT_EQ(FormatFloat("0.0;(0.0);zero", -2.25), "(2.2)");
  EXPECT_EQ(FormatFloat("0.0;(0.0);zero", 0.0), "zero");
  EXPECT_EQ(FormatFloat("", 0.1), "0.1");
  SeparatorGuard fr(",", ".");
  EXPECT_EQ(FormatFloat("0.00", 3.14159), "3,14");
  EXPECT_EQ(FloatToStrGeneral(1.0 / 3.0, 3), "0,333");
}
