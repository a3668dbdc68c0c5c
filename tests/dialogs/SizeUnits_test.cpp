#include <gtest/gtest.h>

#include <cmath>

#include "dialogs/command/SizeUnits.h"

using namespace qm;

// One table of what a field's value stands for, in every unit, at the resolutions a
// document starts with and prints at; halves go to the even side.
TEST(SizeUnits, ConversionTable) {
  const struct {
    double Value;
    TSizeUnit Unit;
    int OldSide;
    double Ppi;
    int Pixels;
  } rows[] = {
      {640, suPixels, 100, 72, 640},        {2.5, suPixels, 100, 72, 2},
      {3.5, suPixels, 100, 72, 4},          {50, suPercent, 300, 72, 150},
      {50, suPercent, 200, 72, 100},        {12.5, suPercent, 100, 72, 12},
      {33.3, suPercent, 100, 300, 33},      {2.54, suCentimeters, 0, 72, 72},
      {2.54, suCentimeters, 0, 300, 300},   {10, suCentimeters, 0, 72, 283},
      {14.8, suCentimeters, 0, 300, 1748},  {10.9, suCentimeters, 0, 300, 1287},
      {1, suInches, 0, 72, 72},             {8.27, suInches, 0, 200, 1654},
      {0.5, suInches, 0, 300, 150},         {0.01, suCentimeters, 0, 72, 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(::testing::Message() << r.Value << " in unit " << int(r.Unit) << " at " << r.Ppi);
    EXPECT_EQ(UnitToPixels(r.Value, r.Unit, r.OldSide, r.Ppi), r.Pixels);
    // and back: the field shows what gives the same pixels again
    if (r.Unit != suPixels && r.Pixels > 0)
      EXPECT_EQ(UnitToPixels(PixelsToUnit(r.Pixels, r.Unit, r.OldSide, r.Ppi), r.Unit, r.OldSide, r.Ppi), r.Pixels);
  }
  // a size that rounds to nothing is made one pixel; the sides stop at 10000
  EXPECT_EQ(ClampImageSide(UnitToPixels(0.01, suCentimeters, 0, 72)), 1);
  EXPECT_EQ(ClampImageSide(30000), 10000);
  // a resolution per centimetre, and what a field shows of one per inch
  EXPECT_DOUBLE_EQ(PixelsPerInch(100, true), 254);
  EXPECT_DOUBLE_EQ(ResolutionInUnit(254, true), 100);
  EXPECT_DOUBLE_EQ(PixelsToUnit(300, suInches, 0, 300), 1);
  EXPECT_NEAR(PixelsToUnit(1654, suCentimeters, 0, 200), 21.0, 0.01);
  // the image-unit preference 0, 1, 2 is the list's 0, 2, 3 (the list has "%" second);
  // the new image's list has none
  EXPECT_EQ(UnitIndex(UnitFromPreference(0), true), 0);
  EXPECT_EQ(UnitIndex(UnitFromPreference(1), true), 2);
  EXPECT_EQ(UnitIndex(UnitFromPreference(2), true), 3);
  EXPECT_EQ(UnitIndex(UnitFromPreference(2), false), 2);
  EXPECT_EQ(UnitAt(1, false), suCentimeters);
  EXPECT_EQ(UnitAt(1, true), suPercent);
}

TEST(SizeUnits, AutomaticFilterAndFit) {
  EXPECT_EQ(AutomaticFilter(300, 200, 150, 100), TResampleFilter::Lanczos);
  EXPECT_EQ(AutomaticFilter(100, 100, 200, 200), TResampleFilter::Lanczos);   // x 2: not above
  EXPECT_EQ(AutomaticFilter(100, 100, 201, 100), TResampleFilter::BSpline);
  EXPECT_EQ(AutomaticFilter(100, 100, 50, 201), TResampleFilter::BSpline);
  EXPECT_EQ(AutomaticFilter(100, 100, 50, 150), TResampleFilter::Lanczos);    // one side grows
  EXPECT_EQ(FitImageSize(1000, 500, 800, 600, false), (TImageSize{800, 400}));
  EXPECT_EQ(FitImageSize(1000, 500, 800, 600, true), (TImageSize{800, 600}));
  EXPECT_EQ(FitImageSize(200, 100, 800, 600, false), (TImageSize{800, 400}));  // enlarges too
  EXPECT_EQ(FitImageSize(5000, 1, 10, 10, false), (TImageSize{10, 1}));
}

TEST(SizeUnits, AnchorsAndPresets) {
  EXPECT_EQ(AnchorPlacement(100, 100, 120, 90, alCenter), (TRect{10, -5, 110, 95}));
  EXPECT_EQ(AnchorPlacement(100, 100, 103, 100, alCenter).Left, 1);  // truncated
  EXPECT_EQ(AnchorPlacement(100, 100, 120, 90, alTopLeft), (TRect{0, 0, 100, 100}));
  EXPECT_EQ(AnchorPlacement(100, 100, 120, 90, alBottomRight), (TRect{20, -10, 120, 90}));
  EXPECT_EQ(AnchorPlacement(100, 100, 120, 90, alMiddleLeft).Top, -5);

  int w = 0, h = 0;
  EXPECT_TRUE(ParsePresetSize("640 x 480", w, h));
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  EXPECT_TRUE(ParsePresetSize("1600 x 1200 pixels", w, h));
  EXPECT_EQ(h, 1200);
  EXPECT_FALSE(ParsePresetSize("<Personnalisé>", w, h));

  // The new image's list: screen sizes in pixels at 72, paper in the print unit
  TSizePreset p;
  EXPECT_FALSE(NewImagePreset(0, 0, p));
  ASSERT_TRUE(NewImagePreset(2, 1, p));
  EXPECT_EQ(p.Unit, suPixels);
  EXPECT_EQ(p.Width, 800);
  EXPECT_EQ(p.Resolution, 72);
  ASSERT_TRUE(NewImagePreset(12, 0, p));  // "Carte postale"
  EXPECT_EQ(p.Unit, suCentimeters);
  EXPECT_EQ(UnitToPixels(p.Width, p.Unit, 0, p.Resolution), 1748);
  EXPECT_EQ(UnitToPixels(p.Height, p.Unit, 0, p.Resolution), 1287);
  ASSERT_TRUE(NewImagePreset(6, 1, p));   // "A4 - Portrait" in inches
  EXPECT_EQ(p.Unit, suInches);
  EXPECT_NEAR(p.Width, 8.27, 0.005);
  EXPECT_NEAR(p.Height, 11.69, 0.005);
  EXPECT_EQ(p.Resolution, 200);
  ASSERT_TRUE(NewImagePreset(17, 1, p));
  EXPECT_EQ(p.Unit, suPixels);
  EXPECT_EQ(p.Height, 576);
  EXPECT_EQ(NewImagePresetText(1), "640 x 480 pixels");
  EXPECT_EQ(NewImagePresetText(6), "A4 - Portrait");
  EXPECT_EQ(NewImagePresetText(12), "Carte postale");
  EXPECT_EQ(NewImagePresetText(17), "DVD - PAL/SECAM (720x576)");
}
