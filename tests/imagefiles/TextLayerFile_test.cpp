#include <gtest/gtest.h>

#include <functional>

#include "document/LayerHost.h"
#include "document/LayerOps.h"
#include "document/qt/TextRender.h"
#include "imagefiles/ImageFilesTest.h"
#include "imagefiles/LayeredFile.h"
#include "support/GuiTestApp.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

// A text layer keeps only its text in the layered file: opened again, it is drawn
// again and gives the same pixels, effects and place.
TEST(TextLayerFile, SavedTextRendersTheSamePixels) {
  EnsureGuiApp();
  const auto create = CreateLayerData;
  const auto render = RenderLayerData;
  InstallTextLayerHooks();
  TStandaloneDocument d;
  AddFirstLayer(d, RandomBitmap(240, 160, 7));
  TTextData t;
  t.FontName = "DejaVu Sans";
  t.FontSize = 28;
  t.TextColor = RGB(250, 200, 20);
  t.FontStyle = fsBold | fsItalic;
  t.Angle = 12;
  t.Antialias = true;
  t.Relief = true;
  t.Blur = 1;
  t.Opacity = 85;
  t.ShadowEnabled = true;
  t.ShadowColor = RGB(0, 0, 0);
  t.ShadowOffsetX = 4;
  t.ShadowOffsetY = 3;
  t.ShadowOpacity = 60;
  t.ShadowRadius = 2;
  t.Lines = {"Quillomatic", "Morvek é"};
  ASSERT_EQ(CreateTextLayer(d, MakeNewLayerName(d), t, true, TRect{0, 0, 240, 160}), 1);
  const TBitmap before = d.Image.UpdatedComposition().Clone();
  const std::string file = TestFolder() + "/text.qxi";
  SaveLayeredImageToFile(d.Image, file);

  TLayeredImage loaded;
  LoadLayeredImageFromFile(loaded, file);
  ASSERT_EQ(loaded.GetLayerCount(), 2);
  EXPECT_TRUE(loaded.Layers[1].Image.Empty());  // drawn when composed
  EXPECT_TRUE(SameBitmaps(loaded.UpdatedComposition(), before));
  EXPECT_TRUE(SameBitmaps(loaded.Layers[1].Image, d.Image.Layers[1].Image));
  EXPECT_TRUE(SameBitmaps(loaded.Layers[1].Mask, d.Image.Layers[1].Mask));
  CreateLayerData = create;
  RenderLayerData = render;
}
