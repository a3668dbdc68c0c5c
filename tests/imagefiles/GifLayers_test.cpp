#include <gtest/gtest.h>

#include "imagefiles/GifCodec.h"
#include "imagefiles/GifLayers.h"
#include "imagefiles/ImageFilesTest.h"
#include "pixel/Mask.h"
#include "platform/core/Exceptions.h"

using namespace qm;
using namespace qm::test;

// An animation written through giflib opens as a background of its logical screen and
// one layer per frame, at the frame's place, masked where the frame is transparent.
TEST(GifLayers, FramesBecomeLayers) {
  TGifImage gif;
  gif.Width = 30;
  gif.Height = 20;
  gif.GlobalColorMap = {RGB(0, 0, 255), RGB(255, 0, 0), RGB(0, 255, 0), RGB(255, 255, 255)};
  gif.BackgroundIndex = 2;
  gif.LoopCount = 0;
  for (int i = 0; i < 3; ++i) {
    TGifFrame f;
    f.Left = 2 + 5 * i;
    f.Top = 1 + i;
    f.Width = 6 + i;
    f.Height = 4;
    f.Delay = 10;
    f.Pixels.assign(size_t(f.Width * f.Height), uint8_t(1));
    f.Pixels[0] = 3;
    if (i == 1) f.TransparentIndex = 3;
    gif.Frames.push_back(std::move(f));
  }
  const std::string file = TestFolder() + "/anim.gif";
  WriteGifFile(file, gif);

  TLayeredImage image;
  ASSERT_EQ(LoadGifAsLayers(image, file), 3);
  ASSERT_EQ(image.GetLayerCount(), 4);
  EXPECT_EQ(image.Layers[0].Name, "#0");
  EXPECT_EQ(image.Layers[0].Image.Width(), 30);
  EXPECT_EQ(image.Layers[0].Image.GetPixel(10, 10), RGB(0, 255, 0));
  for (int i = 1; i <= 3; ++i) {
    const TLayerItem& l = image.Layers[i];
    EXPECT_EQ(l.Name, "#" + std::to_string(i));
    EXPECT_EQ(l.Left, 2 + 5 * (i - 1));
    EXPECT_EQ(l.Top, i);
    EXPECT_EQ(l.Image.Width(), 5 + i);
    EXPECT_EQ(l.Opacity, 100);
    EXPECT_EQ(l.Visible, i == 1);
    EXPECT_EQ(l.Image.GetPixel(1, 1), RGB(255, 0, 0));
    EXPECT_EQ(l.Mask.Empty(), i != 2);
  }
  // The transparent index is hidden, the rest shown.
  EXPECT_EQ(image.Layers[2].Mask.ScanLine(0)[0], 255);
  EXPECT_TRUE(MaskRectEquals(image.Layers[2].Mask, 0, TRect{1, 0, 7, 4}));
  EXPECT_EQ(image.ActiveIndex(), 1);
  // Composition shows the first frame over the background.
  EXPECT_EQ(image.PickComposedColor(3, 2, true), RGB(255, 0, 0));
  EXPECT_EQ(image.PickComposedColor(12, 3, true), RGB(0, 255, 0));

  // A file that is no GIF leaves the image as it was.
  const std::string bad = TestFolder() + "/bad.gif";
  std::ofstream(bad) << "not a gif";
  EXPECT_THROW(LoadGifAsLayers(image, bad), EInvalidGraphic);
  EXPECT_EQ(image.GetLayerCount(), 4);
}
