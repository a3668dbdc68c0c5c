#include <gtest/gtest.h>

#include "pixel/ImgUtils.h"
#include "pixel/RectUtils.h"

#include <cmath>

using namespace qm;

TEST(RectUtils, MeasureOrderAndSquare) {
  EXPECT_EQ(RectWidth(TRect{10, 0, 3, 0}), 7);
  EXPECT_EQ(RectHeight(TRect{0, -4, 0, 4}), 8);
  EXPECT_TRUE(IsRectZeroSize(TRect{3, 4, 3, 4}));
  EXPECT_FALSE(IsRectZeroSize(TRect{3, 4, 3, 5}));
  TRect o;
  OrderRect(TRect{10, 8, 2, 3}, o);
  EXPECT_EQ(o, (TRect{2, 3, 10, 8}));
  MakeOrderedRect(5, -1, -2, 7, o);
  EXPECT_EQ(o, (TRect{-2, -1, 5, 7}));
  MakeRectSquare(TRect{0, 0, 10, 20}, true, true, o);
  EXPECT_EQ(o, (TRect{0, 0, 10, 10}));
  MakeRectSquare(TRect{0, 0, 10, 20}, true, false, o);
  EXPECT_EQ(o, (TRect{0, 10, 10, 20}));
  MakeRectSquare(TRect{0, 0, 30, 20}, false, true, o);
  EXPECT_EQ(o, (TRect{10, 0, 30, 20}));
}

TEST(RectUtils, FitToAspectRoundsHalfToEvenAndIgnoresBadRatios) {
  TRect o;
  FitRectToAspect(TRect{0, 0, 100, 100}, true, true, 2.0, o);
  EXPECT_EQ(o, (TRect{0, 0, 100, 50}));
  FitRectToAspect(TRect{0, 0, 100, 100}, false, false, 0.5, o);
  EXPECT_EQ(o, (TRect{50, 0, 100, 100}));
  FitRectToAspect(TRect{0, 0, 5, 10}, true, true, 2.0, o);  // height 2.5 -> 2
  EXPECT_EQ(o, (TRect{0, 0, 5, 2}));
  FitRectToAspect(TRect{0, 0, 7, 10}, true, true, 2.0, o);  // 3.5 -> 4
  EXPECT_EQ(o, (TRect{0, 0, 7, 4}));
  for (double bad : {0.0, -1.0, std::nan("")}) {
    FitRectToAspect(TRect{1, 2, 30, 40}, true, true, bad, o);
    EXPECT_EQ(o, (TRect{1, 2, 30, 40}));
  }
}

TEST(RectUtils, AlignPlacesByCodeAndKeepsUnsetCoordinates) {
  TRect r{100, 100, 105, 105};
  AlignRectInRect(r, TRect{0, 0, 10, 10}, alCenter);
  EXPECT_EQ(r, (TRect{2, 2, 7, 7}));
  r = TRect{100, 100, 105, 105};
  AlignRectInRect(r, TRect{0, 0, 10, 10}, alCenterHorz);
  EXPECT_EQ(r, (TRect{2, 100, 7, 105}));
  r = TRect{100, 100, 105, 105};
  AlignRectInRect(r, TRect{0, 0, 10, 10}, alCenterVert);
  EXPECT_EQ(r, (TRect{100, 2, 105, 7}));
  r = TRect{0, 0, 5, 5};
  AlignRectInRect(r, TRect{0, 0, 10, 20}, alBottomRight);
  EXPECT_EQ(r, (TRect{5, 15, 10, 20}));
  r = TRect{0, 0, 15, 5};  // wider than the box: half the overhang to the left
  AlignRectInRect(r, TRect{0, 0, 10, 10}, alTopCenter);
  EXPECT_EQ(r, (TRect{-2, 0, 13, 5}));
  r = TRect{3, 4, 8, 9};
  AlignRectInRect(r, TRect{0, 0, 10, 10}, TAlignment(12));
  EXPECT_EQ(r, (TRect{3, 4, 8, 9}));
}

TEST(RectUtils, MinimumSizeAndKeepInside) {
  TRect r{10, 10, 12, 30};
  EnsureMinRectSize(r, 5, 5, true, true);
  EXPECT_EQ(r, (TRect{10, 10, 15, 30}));
  r = TRect{10, 10, 12, 12};
  EnsureMinRectSize(r, 5, 5, false, false);
  EXPECT_EQ(r, (TRect{7, 7, 12, 12}));
  r = TRect{95, -5, 105, 5};
  KeepRectInside(r, TRect{0, 0, 100, 100}, false);
  EXPECT_EQ(r, (TRect{90, 0, 100, 10}));
  r = TRect{-10, 0, 130, 10};  // larger than the bounds: the left edge wins, then clipping
  KeepRectInside(r, TRect{0, 0, 100, 100}, true);
  EXPECT_EQ(r, (TRect{0, 0, 100, 10}));
}

TEST(RectUtils, ClipToBitmapOrdersAndIntersects) {
  TBitmap b(64, 64);
  TRect r{100, 50, 10, 5};
  ClipRectToBitmap(r, b);
  EXPECT_EQ(r, (TRect{10, 5, 64, 50}));
  r = TRect{-10, -10, -1, -1};
  ClipRectToBitmap(r, b);
  EXPECT_EQ(r, (TRect{0, 0, 0, 0}));
  r = UnboundedRect;
  ClipRectToBitmap(r, b);
  EXPECT_EQ(r, (TRect{0, 0, 64, 64}));
}
