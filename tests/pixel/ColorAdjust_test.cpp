#include <gtest/gtest.h>

#include "pixel/ColorAdjust.h"
#include "platform/core/Parallel.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

// The box blur as written down: every output from the unchanged picture, neighbours
// outside the rect replaced by the pixel itself.
void ReferenceBoxBlur(TBitmap& bmp, TRect r) {
  r = IntersectRect(TRect{std::min(r.Left, r.Right), std::min(r.Top, r.Bottom), std::max(r.Left, r.Right),
                          std::max(r.Top, r.Bottom)},
                    TRect{0, 0, bmp.Width(), bmp.Height()});
  if (r.IsEmpty()) return;
  TBitmap src = bmp.Clone();
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x)
      for (int c = 0; c < 3; ++c) {
        int s = 0;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) {
            int yy = y + dy, xx = x + dx;
            if (yy < r.Top || yy >= r.Bottom) yy = y;
            if (xx < r.Left || xx >= r.Right) xx = x;
            s += Px(src, xx, yy)[c];
          }
        Px(bmp, x, y)[c] = uint8_t(s / 9);
      }
}

}  // namespace

TEST(BoxBlur3x3Rect, MatchesTheReferenceOnRandomRectsAtAnyThreadCount) {
  Rng rng(7);
  for (int iter = 0; iter < 60; ++iter) {
    const int w = rng.Int(1, 70), h = rng.Int(1, 60);
    TBitmap a = RandomBitmap(w, h, uint32_t(iter));
    TRect r = RandomRect(rng, w, h);
    TBitmap expected = a.Clone();
    ReferenceBoxBlur(expected, r);
    for (int threads : {1, 3, 8}) {
      SetEngineThreads(threads);
      TBitmap b = a.Clone();
      BoxBlur3x3Rect(b, r);
      ASSERT_TRUE(SameBitmaps(b, expected)) << "iteration " << iter << " threads " << threads;
    }
  }
  SetEngineThreads(0);
}

TEST(BoxBlur3x3Rect, LargeAndWideBitmapsAgreeAcrossThreadBands) {
  TBitmap a = RandomBitmap(10050, 9, 3);  // wider than any fixed row buffer of old
  TBitmap expected = a.Clone();
  ReferenceBoxBlur(expected, TRect{5, 1, 10049, 9});
  TBitmap b = a.Clone();
  BoxBlur3x3Rect(b, TRect{5, 1, 10049, 9});
  EXPECT_TRUE(SameBitmaps(b, expected));

  TBitmap c = RandomBitmap(400, 300, 4);
  TBitmap d = c.Clone();
  ReferenceBoxBlur(d, UnboundedRect);
  SetEngineThreads(8);
  BoxBlur3x3Rect(c, UnboundedRect);
  SetEngineThreads(0);
  EXPECT_TRUE(SameBitmaps(c, d));
}

TEST(TintRect, MovesTowardTheColourByThePercent) {
  TBitmap b(4, 3, pf24bit, RGB(100, 50, 200));
  TBitmap ref = b.Clone();
  TintRect(b, RGB(255, 0, 0), 101, UnboundedRect);  // out of range
  TintRect(b, RGB(255, 0, 0), 0, UnboundedRect);    // neutral
  EXPECT_TRUE(SameBitmaps(b, ref));
  TintRect(b, RGB(255, 0, 0), 100, TRect{1, 1, 3, 2});
  EXPECT_EQ(b.GetPixel(1, 1), RGB(255, 0, 0));
  EXPECT_EQ(b.GetPixel(0, 1), RGB(100, 50, 200));
  TintRect(b, RGB(0, 0, 0), 50, TRect{0, 0, 1, 1});
  EXPECT_EQ(b.GetPixel(0, 0), RGB(50, 25, 100));
  TintRect(b, RGB(255, 255, 255), -50, TRect{3, 2, 4, 3});  // away from white
  EXPECT_EQ(b.GetPixel(3, 2), RGB(23, 0, 173));  // 100 - 77, 50 - 102, 200 - 27
}
