#include <gtest/gtest.h>

#include "platform/texts/DateFormat.h"
#include "platform/texts/Format.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/Locale.h"

using namespace qm;

TEST(Locale, QtFormatsBecomeDatePictures) {
  EXPECT_EQ(DatePictureFromQt("dd/MM/yyyy HH:mm"), "dd/mm/yyyy hh:nn");
  EXPECT_EQ(DatePictureFromQt("d.M.yy h:mm:ss AP"), "d.m.yy h:nn:ss am/pm");
  EXPECT_EQ(DatePictureFromQt("HH:mm:ss t"), "hh:nn:ss ");
  EXPECT_EQ(DatePictureFromQt("dd 'de' MMMM"), "dd \"de\" mmmm");
  EXPECT_EQ(DatePictureFromQt("h'h'mm"), "h\"h\"nn");
  EXPECT_EQ(DatePictureFromQt("hh''mm"), "hh\"'\"nn");
}

TEST(Locale, SeparatorsAndTheFileDateEntry) {
  ResetTextTable();
  ApplyLocale(QLocale(QLocale::French, QLocale::France));
  EXPECT_EQ(FormatSettings().DecimalSeparator, ",");
  const std::string picture = Tr(TextId::GetTrFmtFileDate);
  TDateTimeParts d;
  d.Year = 2005;
  d.Month = 2;
  d.Day = 1;
  d.Hour = 14;
  d.Minute = 5;
  d.Second = 9;
  EXPECT_EQ(FormatDateTime(picture, d), "01/02/2005 14:05:09");
  // A translated entry is kept.
  ResetTextTable();
  FillTextByName("GetTrFmtFileDate", "yyyy-mm-dd");
  ApplyLocale(QLocale(QLocale::English, QLocale::UnitedStates));
  EXPECT_EQ(Tr(TextId::GetTrFmtFileDate), "yyyy-mm-dd");
  EXPECT_EQ(FormatSettings().DecimalSeparator, ".");
  ResetTextTable();
  FormatSettings() = TFormatSettings{};
}
