#include "imagefiles/GifCodec.h"

#include <gtest/gtest.h>

#include "platform/core/Exceptions.h"
#include "imagefiles/ImageFilesTest.h"
#include "support/TestImages.h"

namespace qm {
namespace {

using test::TestFolder;

TGifFrame Frame(int left, int top, int w, int h, int colors, int seed) {
  TGifFrame f;
  f.Left = left;
  f.Top = top;
  f.Width = w;
  f.Height = h;
  for (int i = 0; i < w * h; ++i) f.Pixels.push_back(uint8_t((i * 7 + seed) % colors));
  return f;
}

TEST(GifCodec, FramesExtensionsAndInterlacingRoundTrip) {
  const std::string dir = TestFolder();
  TGifImage gif;
  gif.Width = 40;
  gif.Height = 30;
  for (int i = 0; i < 5; ++i) gif.GlobalColorMap.push_back(RGB(i * 50, 255 - i * 40, i * 10));
  gif.BackgroundIndex = 2;
  gif.LoopCount = 0;
  TGifFrame a = Frame(0, 0, 40, 30, 5, 1);
  a.Delay = 25;
  a.Disposal = 2;
  a.TransparentIndex = 3;
  TGifFrame b = Frame(5, 7, 17, 13, 3, 2);
  b.ColorMap = {RGB(9, 9, 9), RGB(200, 0, 0), RGB(0, 0, 200)};
  b.Interlaced = true;
  b.Delay = 100;
  gif.Frames = {a, b};
  WriteGifFile(dir + "/a.gif", gif);
  TGifImage back;
  ReadGifFile(dir + "/a.gif", back);
  EXPECT_EQ(back.Width, 40);
  EXPECT_EQ(back.Height, 30);
  EXPECT_EQ(back.LoopCount, 0);
  EXPECT_EQ(back.BackgroundIndex, 2);
  // The global map is padded to a power of two.
  ASSERT_EQ(back.GlobalColorMap.size(), 8u);
  EXPECT_TRUE(std::equal(gif.GlobalColorMap.begin(), gif.GlobalColorMap.end(), back.GlobalColorMap.begin()));
  ASSERT_EQ(back.Frames.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    const TGifFrame &o = gif.Frames[i], &r = back.Frames[i];
    EXPECT_EQ(r.Left, o.Left);
    EXPECT_EQ(r.Top, o.Top);
    EXPECT_EQ(r.Width, o.Width);
    EXPECT_EQ(r.Height, o.Height);
    EXPECT_EQ(r.Pixels, o.Pixels) << i;  // interlaced rows come back in order
    EXPECT_EQ(r.Delay, o.Delay);
    EXPECT_EQ(r.Disposal, o.Disposal);
    EXPECT_EQ(r.TransparentIndex, o.TransparentIndex);
    EXPECT_EQ(r.Interlaced, o.Interlaced);
  }
  ASSERT_EQ(back.Frames[1].ColorMap.size(), 4u);
  EXPECT_EQ(back.Frames[1].ColorMap[1], RGB(200, 0, 0));
  // A single frame without looping writes no application extension.
  gif.Frames.resize(1);
  gif.LoopCount = -1;
  WriteGifFile(dir + "/b.gif", gif);
  ReadGifFile(dir + "/b.gif", back);
  EXPECT_EQ(back.LoopCount, -1);
  EXPECT_EQ(back.Frames.size(), 1u);
}

TEST(GifCodec, InterlacedFilesOfGraphicsMagickReadInRowOrder) {
  const std::string dir = TestFolder();
  ASSERT_TRUE(test::Gm("convert -size 31x23 gradient:red-blue " + dir + "/p.gif"));
  ASSERT_TRUE(test::Gm("convert " + dir + "/p.gif -interlace Line " + dir + "/i.gif"));
  TGifImage p, i;
  ReadGifFile(dir + "/p.gif", p);
  ReadGifFile(dir + "/i.gif", i);
  ASSERT_EQ(p.Frames.size(), 1u);
  ASSERT_EQ(i.Frames.size(), 1u);
  EXPECT_TRUE(i.Frames[0].Interlaced);
  TBitmap a, b;
  p.FrameToBitmap(0, a);
  i.FrameToBitmap(0, b);
  a.SetPixelFormat(pf24bit);
  b.SetPixelFormat(pf24bit);
  EXPECT_TRUE(test::SameBitmaps(a, b));
}

TEST(GifCodec, OptimizedMapKeepsUsedEntriesByUse) {
  TGifImage gif;
  gif.Width = 4;
  gif.Height = 2;
  TGifFrame f;
  f.Width = 4;
  f.Height = 2;
  f.Pixels = {3, 3, 3, 1, 1, 5, 3, 1};
  f.ColorMap = {RGB(0, 0, 0), RGB(1, 1, 1), RGB(2, 2, 2), RGB(3, 3, 3), RGB(4, 4, 4), RGB(5, 5, 5)};
  f.TransparentIndex = 4;  // unused by the pixels, kept all the same
  gif.Frames.push_back(f);
  OptimizeGifFrameColorMap(gif, 0);
  const TGifFrame& o = gif.Frames[0];
  ASSERT_EQ(o.ColorMap.size(), 4u);
  EXPECT_EQ(o.ColorMap[0], RGB(3, 3, 3));
  EXPECT_EQ(o.ColorMap[1], RGB(1, 1, 1));
  EXPECT_EQ(o.Pixels, (TByteBuffer{0, 0, 0, 1, 1, 3, 0, 1}));  // 4 and 5 tie: index order
  EXPECT_EQ(o.ColorMap[size_t(o.TransparentIndex)], RGB(4, 4, 4));
}

TEST(GifCodec, DamagedFilesAndInvalidPicturesThrow) {
  const std::string dir = TestFolder();
  TGifImage gif;
  EXPECT_THROW(WriteGifFile(dir + "/x.gif", gif), EInvalidGraphic);  // no frame
  gif.Width = gif.Height = 4;
  gif.Frames.push_back(Frame(0, 0, 4, 4, 2, 0));
  EXPECT_THROW(WriteGifFile(dir + "/x.gif", gif), EInvalidGraphic);  // no colour map
  gif.GlobalColorMap = {clBlack, clWhite};
  gif.Frames[0].Pixels.resize(3);
  EXPECT_THROW(WriteGifFile(dir + "/x.gif", gif), EInvalidGraphic);  // pixels missing
  gif.Frames[0] = Frame(0, 0, 4, 4, 2, 0);
  WriteGifFile(dir + "/ok.gif", gif);
  std::vector<uint8_t> bytes = test::ReadFileBytes(dir + "/ok.gif");
  ASSERT_GT(bytes.size(), 8u);
  bytes.erase(bytes.end() - 8, bytes.end());
  test::WriteFileBytes(dir + "/cut.gif", bytes);
  TGifImage back;
  EXPECT_THROW(ReadGifFile(dir + "/cut.gif", back), EInvalidGraphic);
  EXPECT_THROW(ReadGifFile(dir + "/missing.gif", back), EInvalidGraphic);
}

}  // namespace
}  // namespace qm
