#include "imagefiles/FileFormats.h"

#include <gtest/gtest.h>

#include "platform/texts/UiTexts.h"

namespace qm {
namespace {

TEST(FileFormats, TableRowsAndLookups) {
  ASSERT_EQ(GetFormatCount(), 8);
  EXPECT_EQ(FormatTable()[2].Extensions, ".jpg;.jpeg;.jpe;.jfif");
  EXPECT_EQ(FormatTable()[3].Description, "Quillomatic");
  EXPECT_EQ(FindFormatByExt("x.tif"), 7);
  EXPECT_EQ(FindFormatByExt("x.TIFF"), 7);
  EXPECT_EQ(FindFormatByExt("x.jfif"), 2);
  EXPECT_EQ(FindFormatByExt("x.QXI"), 3);
  EXPECT_EQ(FindFormatByExt("noext"), -1);
  EXPECT_EQ(FindFormatByExt("x.psd"), -1);
  // Whole extensions only: parts of a listed extension are no format.
  EXPECT_EQ(FindFormatByExt("x.jp"), -1);
  EXPECT_EQ(FindFormatByExt("x.j"), -1);
  EXPECT_EQ(FindFormatByExt("x.if"), -1);
  EXPECT_EQ(FindFormatByExt("x."), -1);
  EXPECT_FALSE(IsKnownImageExt("x.jp"));
  EXPECT_TRUE(IsKnownImageExt("x.Png"));
}

TEST(FileFormats, FilterTexts) {
  EXPECT_EQ(GetFormatFilterText(2, 0), "JPEG (*.jpg)");
  EXPECT_EQ(GetFormatFilterText(2, 1), "JPEG");
  EXPECT_EQ(GetFormatFilterText(2, 2), ".jpg");
  EXPECT_EQ(GetFormatFilterText(7, 2), ".tif");
  EXPECT_EQ(GetFormatFilterText(8, 0), "");
  EXPECT_EQ(GetFormatFilterText(-1, 0), "");
  EXPECT_EQ(GetFormatFilterText(0, 3), "");

  const std::string save = GetFormatFilter(false);
  EXPECT_EQ(save.substr(0, 28), "BMP (*.bmp)|*.bmp|GIF (*.gif");
  EXPECT_NE(save.find("|JPEG (*.jpg;*.jpeg;*.jpe;*.jfif)|*.jpg;*.jpeg;*.jpe;*.jfif|"), std::string::npos);
  EXPECT_EQ(save.substr(save.size() - 32), "TIFF (*.tif;*.tiff)|*.tif;*.tiff");
  const std::string all = GetFormatFilter(true);
  EXPECT_EQ(all, "Toutes les images|*.bmp;*.gif;*.jpg;*.jpeg;*.jpe;*.jfif;*.qxi;*.png;*.rle;*.tga;*.tif;*.tiff|" + save);
}

TEST(FileFormats, WhatEachFormatKeeps) {
  for (const char* f : {"a.gif", "a.PNG", "a.qxi"}) EXPECT_TRUE(ExtKeepsTransparentColor(f)) << f;
  for (const char* f : {"a.bmp", "a.jpg", "a.tga", "a"}) EXPECT_FALSE(ExtKeepsTransparentColor(f)) << f;
  EXPECT_TRUE(ExtKeepsLayers("a.QXI"));
  EXPECT_FALSE(ExtKeepsLayers("a.png"));
  for (const char* f : {"a.qxi", "a.png", "a.bmp", "a.tga"}) EXPECT_TRUE(ExtKeepsAlpha(f)) << f;
  for (const char* f : {"a.gif", "a.jpg", "a.tif"}) EXPECT_FALSE(ExtKeepsAlpha(f)) << f;
  for (const char* f : {"a.bmp", "a.png", "a.tif", "a.tiff"}) EXPECT_TRUE(ExtTakesExactPalette(f)) << f;
  for (const char* f : {"a.gif", "a.rle", "a.tga"}) EXPECT_TRUE(ExtTakes256Palette(f)) << f;
  EXPECT_FALSE(ExtTakes256Palette("a.png"));
}

}  // namespace
}  // namespace qm
