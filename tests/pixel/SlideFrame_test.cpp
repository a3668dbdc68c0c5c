// The slide mount against its plain statement: a black mask of the whole picture, the
// white rounded rectangle, the blur over all of it, the colour blended over the rect.
#include "pixel/qt/SlideFrame.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "pixel/Blend.h"
#include "pixel/Composite.h"
#include "pixel/ImgUtils.h"
#include "platform/qt/QtBitmap.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

void PlainSlideFrame(TBitmap& bmp, const TSlideParams& p, TRect rect) {
  if (!SlideFrameFits(p, rect)) return;
  TBitmap mask(bmp.Width(), bmp.Height(), pf24bit, clBlack);
  const int w = p.Width;
  const double radius = p.Round == 1 ? 30 : 10;
  {
    QImage view = BitmapAsQImage(mask);
    QPainter painter(&view);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRect(rect.Left + w, rect.Top + w, rect.Width() - 2 * w, rect.Height() - 2 * w), radius,
                            radius);
  }
  ApplyBlurPasses(mask, p.Blur == 1 ? 8 : 2, UnboundedRect);
  BlendColorThroughMask(mask, UnboundedRect, bmp, 0, 0, rect, p.Color, p.Opacity);
}

}  // namespace

TEST(SlideFrame, SameAsTheWholeMask) {
  const TRect rects[] = {{0, 0, 300, 200},     {20, 15, 260, 190}, {-40, -10, 180, 120},
                         {100, 60, 340, 260},  {50, 50, 130, 110}, {10, 10, 41, 41}};
  for (const TRect& r : rects)
    for (int blur : {0, 1})
      for (int round : {0, 1})
        for (int width : {3, 10, 25}) {
          SCOPED_TRACE(testing::Message() << r.Left << "," << r.Top << " " << r.Right << "," << r.Bottom
                                          << " blur " << blur << " round " << round << " width " << width);
          const TSlideParams p{width, RGB(30, 60, 200), 70, blur, round};
          const TBitmap original = RandomBitmap(300, 200, 5);
          TBitmap plain = original.Clone(), banded = original.Clone();
          PlainSlideFrame(plain, p, r);
          ApplySlideFrame(banded, p, r);
          ASSERT_TRUE(SameBitmaps(banded, plain));
        }
}

// A frame that does not fit the rect leaves the picture as it is.
TEST(SlideFrame, TooWideChangesNothing) {
  const TBitmap original = RandomBitmap(500, 400, 3);
  TBitmap b = original.Clone();
  ApplySlideFrame(b, {250, clBlack, 100, 0, 0}, {0, 0, 500, 400});
  EXPECT_TRUE(SameBitmaps(b, original));
  ApplySlideFrame(b, {199, clBlack, 100, 0, 0}, {0, 0, 500, 400});  // 2 x 199 + 1 fits
  EXPECT_FALSE(SameBitmaps(b, original));
}
