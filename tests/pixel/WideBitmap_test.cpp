// Panoramas wider than any fixed row buffer go through every routine of the core:
// under the sanitizers a routine that assumed a width limit would be caught here.
#include <gtest/gtest.h>

#include "pixel/Blend.h"
#include "pixel/ColorAdjust.h"
#include "pixel/ImgUtils.h"
#include "pixel/ImgZoom.h"
#include "pixel/Shadow.h"
#include "pixel/Thumbnail.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

TEST(WideBitmaps, EveryCoreRoutineHandlesRowsBeyondTenThousandPixels) {
  const int W = 10050, H = 6;
  TBitmap src = RandomBitmap(W, H, 1), dst = RandomBitmap(W, H, 2), mask = RandomMask(W, H, 3);
  TBitmap pat = RandomBitmap(7, 3, 4);
  const TRect all = UnboundedRect;
  CopyBitmap24(src, dst);
  EXPECT_TRUE(SameBitmaps(src, dst));
  CopyBitmap24At(src, dst, -3, 1);
  CopyBitmapRectOpacity(src, all, dst, 5, 0, all, 40);
  CopyBitmapRectTransparent(src, all, dst, 0, 0, all, 70, src.GetPixel(10000, 2), 8);
  CopyBitmapRectMasked(src, all, dst, 0, 0, all, 100, mask);
  CopyBitmapRectWhereMasked(src, all, dst, 1, 1, all, 60, mask);
  StretchBitmapRect(src, all, dst, TRect{-10, 0, W + 500, H}, all);
  StretchBitmapRectOpacity(src, TRect{100, 0, W, H}, dst, TRect{0, 0, W, H}, all, 30);
  StretchBitmapRectTransparent(src, all, dst, TRect{0, 0, W - 3, H + 2}, all, 100, clBlack, 10);
  StretchBitmapRectMasked(src, all, dst, TRect{2, 0, W / 2, H}, all, 90, mask);
  FillRectWithPatternPlain(pat, dst, 3, 3, all);
  FillRectWithPatternOpacity(pat, dst, -3, 0, all, 50);
  FillRectWithPattern(pat, dst, 0, 0, all, 100, pat.GetPixel(0, 0), 0);
  BlendColorThroughMask(mask, all, dst, 0, 0, all, RGB(1, 2, 3), 80);
  FillPatternThroughMask(mask, all, dst, 0, 0, all, pat, true, pat.GetPixel(1, 1), 100);
  FillColorWhereMaskInRange(mask, all, dst, 0, 0, all, clWhite, 0, 10);
  ApplyTexturePattern(pat, dst, all, 40);
  TintRect(dst, clWhite, 20, all);
  BoxBlur3x3Rect(dst, all);
  FlipBitmapVertical(dst);
  FlipBitmapHorizontal(dst);
  RotateBitmap180(dst);
  ScrollBitmapWrapHorizontal(dst, -10049);
  ScrollBitmapWrapVertical(dst, 7);
  TRect trim;
  FindTrimRect(dst, 0, clNone, trim);
  TRect placed;
  ResizeCanvas(dst, W + 2, H + 2, clBlack, alCenter, placed);
  AddImageBorder(dst, 1, clWhite, false);
  DrawBitmapShadow(dst, TRect{0, 0, W - 10, 2}, 3, 60, true);
  DrawBitmapShadow(dst, TRect{0, 0, W - 10, 2}, 3, 60, false);
  TBitmap thumb(200, 120);
  DrawThumbnail(dst, thumb, clWhite, 3, 4, clBtnFace, true, placed);
  TBitmap screen(W, 40, pf24bit, clBlack);
  TBitmapCanvas canvas(screen);
  TRect drawn;
  DrawBitmapZoomed(&dst, &canvas, TRect{0, 0, W, 40}, 0, 0, 1.5, true, true, true, false, drawn);
  DrawBitmapZoomed(&dst, &canvas, TRect{0, 0, W, 40}, 0, 0, 0.7, true, true, false, false, drawn);
  CropBitmap(dst, TRect{10, 0, W - 10, H});
  ResizeBitmap(W + 100, 3, dst);
  EXPECT_EQ(dst.Width(), W + 100);
}

TEST(WideBitmaps, GeometryViewportAndCanvasRoutinesHandleWideRows) {
  const int W = 10050, H = 5;
  const TBitmap src = RandomBitmap(W, H, 11);
  TBitmap b = src.Clone();
  // mirrors of a part and of the whole undo themselves
  FlipBitmapRectHorizontal(b, TRect{3, 1, W - 2, H});
  FlipBitmapRectVertical(b, TRect{-5, 0, W + 5, H - 1});
  RotateBitmapRect180(b, TRect{1, 1, W, H});
  RotateBitmapRect180(b, TRect{1, 1, W, H});
  FlipBitmapRectVertical(b, TRect{-5, 0, W + 5, H - 1});
  FlipBitmapRectHorizontal(b, TRect{3, 1, W - 2, H});
  EXPECT_TRUE(SameBitmaps(b, src));
  ScrollBitmapWrapHorizontal(b, -10049);
  ScrollBitmapWrapHorizontal(b, 10049 + 3 * W);
  EXPECT_TRUE(SameBitmaps(b, src));
  // a block copied onto itself, shifted, is as if from a copy
  TBitmap self = src.Clone(), want = src.Clone();
  CopyBitmapRectOpacity(src, UnboundedRect, want, 7, 1, UnboundedRect, 35);
  CopyBitmapRectOpacity(self, UnboundedRect, self, 7, 1, UnboundedRect, 35);
  EXPECT_TRUE(SameBitmaps(self, want));

  TBitmap region, stretched;
  CopyBitmapRegion(src, region, TRect{5, 0, W, H});
  EXPECT_EQ(region.Width(), W - 5);
  StretchBitmapTo(W + 3000, 2, src, stretched);
  EXPECT_EQ(stretched.Width(), W + 3000);
  TRect placed;
  ResizeCanvasInto(src, region, W + 1, H + 4, clWhite, alBottomRight, placed);
  EXPECT_EQ(placed, (TRect{1, 4, W + 1, H + 4}));
  TBitmap uniform(W + 7, 3, pf24bit, RGB(9, 8, 7));
  FindTrimRect(uniform, 0, clNone, placed);
  EXPECT_EQ(placed, (TRect{W + 7, 3, W + 7, 3}));

  // smooth reduction and enlargement straight onto wide targets
  TBitmap wide(W + 20, 4, pf24bit, clBlack);
  StretchBitmapRectHalftone(src, UnboundedRect, wide, TRect{0, 0, W + 20, 4}, UnboundedRect);
  StretchBitmapRectHalftone(src, TRect{0, 0, 300, H}, wide, TRect{-3, 0, W + 20, 3}, TRect{5, 0, W, 4});

  // canvas drawing over a wide bitmap: tiles, frames, both shadow forms, a viewport
  TBitmap screen(W + 40, 30, pf24bit, clBlack);
  TBitmapCanvas canvas(screen);
  TileBlt(canvas, -2, 1, W + 40, 20, src, 4000, 3);
  FillRectFrame(canvas, TRect{0, 0, W + 40, 30}, clWhite, 2);
  DrawCanvasShadow(canvas, TRect{2, 2, W + 20, 10}, 6, 70, clBtnFace, true, true);
  DrawCanvasShadow(canvas, TRect{2, 12, W + 20, 20}, 3, 40, RGB(1, 2, 3), false, true);
  TImageZoom zoom;
  zoom.SetAlignment(alCenter);
  zoom.SetBitmap(&src);
  zoom.SetTarget(&canvas);
  zoom.SetFitMode(fmFitWidth);
  zoom.Halftone = true;
  TRect drawn;
  zoom.DrawTo(true, drawn);
  EXPECT_EQ(drawn.Width(), W + 40);
  zoom.SetZoom(3.0);
  zoom.SnapToPixels = true;
  zoom.DrawTo(true, drawn);
  zoom.RawStretch = true;
  zoom.DrawTo(false, drawn);
}
