#include <gtest/gtest.h>

#include "platform/texts/DateFormat.h"
#include "platform/texts/UiTexts.h"

using namespace qm;

namespace {
TDateTimeParts Sample() {
  TDateTimeParts d;
  d.Year = 2005;
  d.Month = 2;
  d.Day = 1;
  d.Hour = 14;
  d.Minute = 5;
  d.Second = 9;
  d.Millisecond = 42;
  d.DayOfWeek = 2;  // a Tuesday
  return d;
}
}  // namespace

TEST(DateFormat, ThePatternsOfTheInterface) {
  ResetTextTable();
  const TDateTimeParts d = Sample();
  EXPECT_EQ(FormatDateTime("dd/mm/yyyy hh:nn", d), "01/02/2005 14:05");
  EXPECT_EQ(FormatDateTime("dd/mm/yyyy hh:nn:ss", d), "01/02/2005 14:05:09");
  EXPECT_EQ(FormatDateTime("d/m/yy h:n:s", d), "1/2/05 14:5:9");
  EXPECT_EQ(FormatDateTime("hh:mm", d), "14:05");  // minutes right after an hour
  EXPECT_EQ(FormatDateTime("d mmmm yyyy", d), "1 Février 2005");
  EXPECT_EQ(FormatDateTime("mmm", d), "Fév");
  EXPECT_EQ(FormatDateTime("dddd d", d), "mardi 1");
  EXPECT_EQ(FormatDateTime("ddd", d), "mar.");
  EXPECT_EQ(FormatDateTime("ddddd", d), "01/02/2005");
  EXPECT_EQ(FormatDateTime("t", d), "14:05");
  EXPECT_EQ(FormatDateTime("tt.zzz", d), "14:05:09.042");
  EXPECT_EQ(FormatDateTime("c", d), "01/02/2005 14:05:09");
  EXPECT_EQ(FormatDateTime("h:nn am/pm", d), "2:05 pm");
  EXPECT_EQ(FormatDateTime("h:nn A/P", d), "2:05 P");
  EXPECT_EQ(FormatDateTime("\"le\" dd 'à' hh\"h\"", d), "le 01 à 14h");
  EXPECT_EQ(FormatDateTime("DD/MM/YYYY", d), "01/02/2005");
}

TEST(DateFormat, MonthNamesFollowTheTable) {
  ResetTextTable();
  FillTextByName("GetTrMonFebruary", "February");
  EXPECT_EQ(FormatDateTime("mmmm yyyy", Sample()), "February 2005");
  ResetTextTable();
  TDateTimeParts bad = Sample();
  bad.Month = 13;
  bad.DayOfWeek = 9;
  EXPECT_EQ(FormatDateTime("[mmmm] dddd", bad), "[] dimanche");
}

TEST(DateFormat, LocalTimeStamps) {
  const TDateTimeParts d = LocalDateTime(0);
  EXPECT_TRUE(d.Year == 1970 || d.Year == 1969);
  EXPECT_GE(d.Month, 1);
  EXPECT_LE(d.Month, 12);
}
