#include <gtest/gtest.h>

#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>

#include "document/LayerHost.h"
#include "document/LayerOps.h"
#include "document/Layers.h"
#include "document/qt/TextRender.h"
#include "pixel/Blend.h"
#include "pixel/ImgUtils.h"
#include "pixel/Mask.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"
#include "platform/core/Stream.h"
#include "support/GuiTestApp.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

TTextData Text(std::vector<std::string> lines, int points = 10) {
  TTextData t;
  t.FontName = "DejaVu Sans";
  t.FontSize = points;
  t.TextColor = RGB(200, 30, 10);
  t.Antialias = true;
  t.Opacity = 100;
  t.Lines = std::move(lines);
  return t;
}

// The font the text is drawn with, made independently: DejaVu Sans at 96 dpi.
QFontMetrics Reference(int points, bool italic = false) {
  QFont f("DejaVu Sans");
  f.setPixelSize(int(std::lround(points * 96.0 / 72.0)));
  f.setItalic(italic);
  f.setHintingPreference(QFont::PreferFullHinting);
  return QFontMetrics(f);
}

// Rows holding any ink (a pixel below 255).
std::pair<int, int> InkRows(const TBitmap& b, int y0, int y1) {
  int first = -1, last = -1;
  for (int y = y0; y < y1; ++y)
    for (int x = 0; x < b.Width(); ++x)
      if (b.ScanLine(y)[3 * x] < 255) {
        if (first < 0) first = y;
        last = y;
        break;
      }
  return {first, last};
}

class TextRenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGuiApp();
    ASSERT_EQ(QFontInfo(QFont("DejaVu Sans")).family(), "DejaVu Sans") << "the test font is not installed";
  }
};

}  // namespace

TEST_F(TextRenderTest, BlockSizeAndLinePlacesFollowTheFont) {
  const QFontMetrics fm = Reference(10);
  const int lh = fm.height();
  TTextData t = Text({"ab", "abcd"});
  const TBitmap b = RenderText(t);
  EXPECT_EQ(b.Width(), fm.horizontalAdvance("abcd") + 6);
  EXPECT_EQ(b.Height(), 2 * lh + 6);
  // The first line's letters lie in its cell, the second's start below it.
  const auto first = InkRows(b, 0, 3 + lh), second = InkRows(b, 3 + lh, b.Height());
  EXPECT_GE(first.first, 3);
  EXPECT_GE(second.first, 3 + lh);
  EXPECT_LT(second.first, 3 + 2 * lh);
  // Italic text is wider by twice the width of "M".
  t.FontStyle = fsItalic;
  EXPECT_EQ(LayoutText(t).BlockWidth, Reference(10, true).horizontalAdvance("abcd") +
                                          2 * Reference(10, true).horizontalAdvance("M") + 6);
  // Right alignment puts the short line's end under the long one's.
  t = Text({"ab", "abcd"}, 30);
  t.Alignment = 2;
  const TTextLayout right = LayoutText(t);
  EXPECT_EQ(right.LineOrigins[0].X + right.LineWidths[0], right.LineOrigins[1].X + right.LineWidths[1]);
}

// Upright text is drawn from one stamp per distinct glyph: the pixels QPainter gives
// each whole line, but where antialiased glyphs overlap (a level or four on a few).
TEST_F(TextRenderTest, GlyphStampsGiveTheLinesPixels) {
  for (int points : {10, 30, 90}) {
    for (bool antialias : {true, false}) {
      TTextData t = Text({"Quillomatic Morvek AVAWAy", "Àéîõü ÿ fi ffl"}, points);
      t.Antialias = antialias;
      t.FontStyle = points == 30 ? fsItalic : 0;
      const TBitmap b = RenderText(t);
      const TTextLayout l = LayoutText(t);
      QImage line(b.Width(), b.Height(), QImage::Format_ARGB32_Premultiplied);
      line.fill(0);
      QPainter p(&line);
      p.setFont(TextFont(t));
      p.setPen(QColor(0, 0, 0));
      p.setRenderHint(QPainter::TextAntialiasing, antialias);
      for (size_t i = 0; i < t.Lines.size(); ++i)
        p.drawText(QPointF(l.LineOrigins[i].X, l.LineOrigins[i].Y + QFontMetricsF(TextFont(t)).ascent()),
                   QString::fromStdString(t.Lines[i]));
      p.end();
      int worst = 0, differ = 0;
      for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) {
          const int d = std::abs(b.ScanLine(y)[3 * x] - (255 - qAlpha(reinterpret_cast<const QRgb*>(line.constScanLine(y))[x])));
          worst = std::max(worst, d);
          differ += d > 0;
        }
      EXPECT_LE(worst, antialias ? 4 : 0) << points;
      EXPECT_LE(differ, b.Width() * b.Height() / 1000) << points;
    }
  }
}

TEST_F(TextRenderTest, TurnedSizesFollowTheBlock) {
  for (int angle : {30, -45, 90, 180, 17, -120}) {
    TTextData t = Text({"Quillomatic", "Morvek"}, 24);
    const TTextLayout flat = LayoutText(t);
    t.Angle = angle;
    const TTextLayout turned = LayoutText(t);
    const double a = -angle * std::numbers::pi / 180, s = std::sin(a), c = std::cos(a);
    const int w = flat.BlockWidth, h = flat.BlockHeight;
    EXPECT_EQ(turned.Width, std::abs(RoundHalfEven(h * s)) + std::abs(RoundHalfEven(w * c))) << angle;
    EXPECT_EQ(turned.Height, std::abs(RoundHalfEven(w * s)) + std::abs(RoundHalfEven(h * c))) << angle;
    const TBitmap b = RenderText(t);
    EXPECT_EQ(b.Width(), turned.Width);
    EXPECT_EQ(b.Height(), turned.Height);
  }
  // A positive angle turns the text clockwise: the end of a long line goes down.
  TTextData t = Text({"--------------------"}, 20);
  t.Angle = 30;
  const TBitmap b = RenderText(t);
  double sum[2] = {0, 0}, n[2] = {0, 0};
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      if (b.ScanLine(y)[3 * x] < 128 && (x < b.Width() / 3 || x >= 2 * b.Width() / 3)) {
        sum[x >= b.Width() / 2] += y;
        ++n[x >= b.Width() / 2];
      }
  ASSERT_GT(n[0], 0);
  ASSERT_GT(n[1], 0);
  EXPECT_LT(sum[0] / n[0], sum[1] / n[1]);
}

// Bands of rows are drawn side by side: any thread count gives the same pixels, turned
// or not, large glyphs (filled as outlines) or small ones, from stamps of each glyph
// or line by line.
TEST_F(TextRenderTest, SamePixelsAtAnyThreadCount) {
  for (int angle : {0, 23}) {
    for (int points : {12, 90}) {
      for (uint8_t style : {fsItalic, uint8_t(fsBold | fsUnderline)}) {
        TTextData t = Text({"Quillomatic Morvek", "Àéîõü ÿ", "gjpqy 0123456789", "----", "Fin"}, points);
        t.Angle = angle;
        t.FontStyle = style;
        SetEngineThreads(1);
        const TBitmap one = RenderText(t);
        SetEngineThreads(8);
        EXPECT_TRUE(SameBitmaps(RenderText(t), one)) << angle << " " << points << " " << int(style);
      }
    }
  }
  SetEngineThreads(0);
}

TEST_F(TextRenderTest, LayerIsCutToTheLettersWithTheirEffects) {
  TTextData t = Text({"Morvek"}, 40);
  t.ShadowEnabled = true;
  t.ShadowOffsetX = 3;
  t.ShadowColor = RGB(0, 0, 255);
  t.Opacity = 70;
  TLayerItem layer;
  layer.LayerType = ltText;
  layer.Data = std::make_unique<TTextData>(t);
  RenderTextLayer(layer);
  const TBitmap text = RenderText(t);
  TRect trim;
  FindTrimRect(text, 0, clWhite, trim);
  EXPECT_EQ(layer.Image.Width(), trim.Width());
  EXPECT_EQ(layer.Image.Height(), trim.Height());
  // The mask is the letters (blended in through the rendering, to a percent); the
  // image is the text colour under them, white elsewhere.
  for (int y = 0; y < trim.Height(); ++y)
    for (int x = 0; x < trim.Width(); ++x) {
      const uint8_t m = layer.Mask.ScanLine(y)[3 * x];
      ASSERT_NEAR(m, text.ScanLine(y + trim.Top)[3 * (x + trim.Left)], 3);
      if (m == 0) ASSERT_EQ(layer.Image.GetPixel(x, y), t.TextColor);
      if (m == 255) ASSERT_EQ(layer.Image.GetPixel(x, y), clWhite);
    }
  EXPECT_EQ(layer.Opacity, 70);
  EXPECT_TRUE(layer.Shadow.Enabled);
  EXPECT_EQ(layer.Shadow.OffsetX, 3);
  EXPECT_EQ(layer.Shadow.Color, RGB(0, 0, 255));
  // Outline and relief reach two pixels around the letters.
  for (bool relief : {false, true}) {
    TTextData e = t;
    (relief ? e.Relief : e.Outline) = true;
    e.OutlineColor = clBlack;
    layer.Data = std::make_unique<TTextData>(e);
    RenderTextLayer(layer);
    TRect r;
    FindTrimRect(RenderText(e), 0, clWhite, r);
    EXPECT_EQ(layer.Image.Width(), r.Width() + 4);
    EXPECT_EQ(layer.Image.Height(), r.Height() + 4);
  }
  // Inverted: everything but the letters is covered.
  t.Inverted = true;
  layer.Data = std::make_unique<TTextData>(t);
  RenderTextLayer(layer);
  EXPECT_EQ(layer.Image.Width(), RenderText(t).Width());
  EXPECT_EQ(layer.Mask.ScanLine(0)[0], 0);
  // Without any letter the layer is one hidden pixel, so it is not rendered again and again.
  layer.Data = std::make_unique<TTextData>(Text({"   "}));
  RenderTextLayer(layer);
  EXPECT_EQ(layer.Image.Width(), 1);
  EXPECT_EQ(layer.Mask.ScanLine(0)[0], 255);
}

// The layer as the steps of its making describe it, one kernel call at a time.
TEST_F(TextRenderTest, LayerMatchesTheStepByStepReference) {
  for (int effects = 0; effects < 4; ++effects) {
    TTextData t = Text({"Relief", "et contour"}, 30);
    t.Outline = effects & 1;
    t.Relief = effects & 2;
    t.Blur = effects;
    t.OutlineColor = RGB(20, 200, 90);
    const TBitmap text = RenderText(t);
    TRect r;
    FindTrimRect(text, 0, clWhite, r);
    if (t.Outline || t.Relief) r = TRect{r.Left - 2, r.Top - 2, r.Right + 2, r.Bottom + 2};
    const TRect all{0, 0, r.Width(), r.Height()};
    TBitmap mask(r.Width(), r.Height(), pf24bit, clWhite);
    TBitmap image(r.Width(), r.Height(), pf24bit, t.Outline ? t.OutlineColor : t.TextColor);
    const auto blend = [&](TBitmap& dst, int dx, int dy, TColor c) {
      BlendColorThroughMask(text, GetBitmapRect(text), dst, dx - r.Left, dy - r.Top, all, c, 100);
    };
    const TPoint outline[] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}}, relief[] = {{1, 1}, {2, 2}, {-1, -1}, {-2, -2}};
    blend(mask, 0, 0, clBlack);
    for (TPoint p : outline)
      if (t.Outline) blend(mask, p.X, p.Y, clBlack), blend(image, p.X, p.Y, t.OutlineColor);
    for (int i = 0; i < 4; ++i) {
      if (!t.Relief) break;
      blend(mask, relief[i].X, relief[i].Y, clBlack);
      blend(image, relief[i].X, relief[i].Y, MixColors(t.TextColor, i < 2 ? clBlack : clWhite, 70));
    }
    blend(image, 0, 0, t.TextColor);
    WhitenMaskedArea(image, mask);
    TLayerItem layer;
    layer.Data = std::make_unique<TTextData>(t);
    RenderTextLayer(layer);
    EXPECT_TRUE(SameBitmaps(layer.Mask, mask)) << effects;
    EXPECT_TRUE(SameBitmaps(layer.Image, image)) << effects;
    // Drawn again over its own pixels, the layer comes out the same.
    RenderTextLayer(layer);
    EXPECT_TRUE(SameBitmaps(layer.Image, image)) << effects;
  }
}

// A payload read from a file trusts no field: absurd sizes give no bitmap and a layer
// of one hidden pixel, never an allocation beyond reason.
TEST_F(TextRenderTest, AbsurdSizesDrawNothing) {
  TTextData huge = Text(std::vector<std::string>(20000, "Quillomatic"), 1000);
  TTextData wide = Text({std::string(kMaxStoredString, 'W')}, 1000);  // the longest line a file holds
  TTextData odd = Text({"x"}, -5);
  odd.Angle = -2147483647 - 1;
  odd.Blur = 2147483647;
  for (const TTextData* t : {&huge, &wide}) {
    EXPECT_TRUE(RenderText(*t).Empty());
    TLayerItem layer;
    layer.Data = std::make_unique<TTextData>(*t);
    RenderTextLayer(layer);
    EXPECT_EQ(layer.Image.Width(), 1);
  }
  EXPECT_FALSE(RenderText(odd).Empty());  // clamped to the smallest size
}

TEST_F(TextRenderTest, TexturedLettersTakeThePictureAndItsHoles) {
  // A 4 x 4 texture: left half green, right half transparent.
  QImage tex(4, 4, QImage::Format_ARGB32);
  tex.fill(Qt::transparent);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 2; ++x) tex.setPixel(x, y, qRgb(0, 255, 0));
  const std::string file = std::string(std::getenv("QM_TEST_TMP") ? std::getenv("QM_TEST_TMP") : "/tmp") +
                           "/qm_text_texture.png";
  ASSERT_TRUE(tex.save(QString::fromStdString(file)));
  TTextData t = Text({"WWW"}, 60);
  t.Textured = true;
  t.TextureFile = file;
  TLayerItem layer;
  layer.Data = std::make_unique<TTextData>(t);
  RenderTextLayer(layer);
  int shown = 0, holes = 0;
  for (int y = 0; y < layer.Image.Height(); ++y)
    for (int x = 0; x < layer.Image.Width(); ++x) {
      if (layer.Mask.ScanLine(y)[3 * x] != 0) continue;
      ++shown;
      EXPECT_EQ(layer.Image.GetPixel(x, y), RGB(0, 255, 0));
    }
  TLayerItem plain;
  plain.Data = std::make_unique<TTextData>(Text({"WWW"}, 60));
  RenderTextLayer(plain);
  for (int y = 0; y < plain.Mask.Height(); ++y)
    for (int x = 0; x < plain.Mask.Width(); ++x)
      holes += plain.Mask.ScanLine(y)[3 * x] == 0 && layer.Mask.ScanLine(y)[3 * x] == 255;
  EXPECT_GT(shown, 100);
  EXPECT_NEAR(holes, shown, shown / 3);  // about half the letters fall on the holes
  std::remove(file.c_str());
}

TEST_F(TextRenderTest, TextLayerCreatedPlacedAndRenderedAgain) {
  TStandaloneDocument d;
  AddFirstLayer(d, TBitmap(400, 300, pf24bit, clWhite));
  const auto create = CreateLayerData;
  const auto render = RenderLayerData;
  InstallTextLayerHooks();
  // The whole image as the target: centred in the visible part.
  const int i = CreateTextLayer(d, MakeNewLayerName(d), Text({"Quillomatic"}, 20), true, TRect{0, 0, 400, 300});
  ASSERT_EQ(i, 1);
  TLayerItem& l = d.Image.Layers[1];
  EXPECT_TRUE(IsTextLayerActive(&d.Image));
  EXPECT_EQ(l.Name, "#1");
  EXPECT_NEAR(l.Left + l.Image.Width() / 2, 200, 1);
  EXPECT_NEAR(l.Top + l.Image.Height() / 2, 150, 1);
  // A selection near the corner: at its top-left, kept inside.
  const int j = CreateTextLayer(d, "#2", Text({"Quillomatic"}, 20), true, TRect{390, 10, 400, 20});
  EXPECT_EQ(d.Image.Layers[j].Left + d.Image.Layers[j].Image.Width(), 400);
  EXPECT_EQ(d.Image.Layers[j].Top, 10);
  // Edit: the active layer's text changes and it is drawn again where it is.
  const int width = d.Image.Layers[j].Image.Width(), left = d.Image.Layers[j].Left;
  EXPECT_EQ(CreateTextLayer(d, "", Text({"Quillomatic Morvek"}, 20), false, TRect{}), j);
  EXPECT_GT(d.Image.Layers[j].Image.Width(), width);
  EXPECT_EQ(d.Image.Layers[j].Left, left);
  // Composition draws the text of a layer whose pixels were dropped.
  d.Image.Layers[j].Image.Clear();
  d.Image.InvalidateImage();
  const TBitmap& composed = d.Image.UpdatedComposition();
  EXPECT_EQ(d.Image.Layers[j].Image.Width(), d.Image.Layers[j].Mask.Width());
  TRect ink;
  FindTrimRect(composed, 0, clWhite, ink);
  EXPECT_FALSE(ink.IsEmpty());
  CreateLayerData = create;
  RenderLayerData = render;
}

TEST_F(TextRenderTest, LinesTheLayeredFileCannotHoldAreBrokenWhole) {
  TStandaloneDocument d;
  AddFirstLayer(d, TBitmap(400, 300, pf24bit, clWhite));
  std::string words;
  for (int i = 0; i < 100; ++i) words += "Élève ";  // 8 bytes each
  words.pop_back();
  const std::string plain(400, 'a');
  std::string e;
  for (int i = 0; i < 200; ++i) e += "é";  // 400 bytes, no space: cut between characters
  const int i = CreateTextLayer(d, "#1", Text({"court", words, e}, 8), true, TRect{0, 0, 400, 300});
  ASSERT_EQ(i, 1);
  const auto* data = dynamic_cast<const TTextData*>(d.Image.Layers[1].Data.get());
  ASSERT_NE(data, nullptr);
  std::string joined;
  for (const std::string& line : data->Lines) {
    EXPECT_LE(line.size(), kMaxStoredString);
    EXPECT_TRUE(IsValidUtf8(line)) << line;
  }
  ASSERT_GE(data->Lines.size(), 6u);
  EXPECT_EQ(data->Lines[0], "court");
  // the long line's words, broken at spaces, then the letters, broken between them
  for (size_t k = 1; k + 2 < data->Lines.size(); ++k) joined += (k > 1 ? " " : "") + data->Lines[k];
  EXPECT_EQ(joined, words);
  EXPECT_EQ(data->Lines[data->Lines.size() - 2] + data->Lines.back(), e);
  EXPECT_EQ(data->Lines[data->Lines.size() - 2].size(), 254u);
  // Changing the text of the layer keeps its lines so too.
  EXPECT_EQ(CreateTextLayer(d, "", Text({plain}, 8), false, TRect{}), 1);
  const auto* changed = dynamic_cast<const TTextData*>(d.Image.Layers[1].Data.get());
  EXPECT_EQ(changed->Lines, (std::vector<std::string>{std::string(255, 'a'), std::string(145, 'a')}));
}

TEST_F(TextRenderTest, TextBecomesATracedSelection) {
  TStandaloneDocument d;
  AddFirstLayer(d, TBitmap(300, 200, pf24bit, clWhite));
  const TTextData t = Text({"OK"}, 50);
  ASSERT_TRUE(TextToSelection(d, t, true));
  EXPECT_TRUE(d.Selection.Visible);
  EXPECT_EQ(d.Selection.ShapeKind, ssMultiPoints);
  const TBitmap b = RenderText(t);
  TRect ink;
  FindTrimRect(b, 127, clWhite, ink);
  EXPECT_NEAR(d.Selection.SelRect.Width(), ink.Width(), 2);
  EXPECT_NEAR(d.Selection.SelRect.Left + d.Selection.SelRect.Width() / 2, 150, 1);
  // The middle of the "O" is not selected, its stroke is.
  const TRect& r = d.Selection.SelRect;
  const int oMiddle = r.Height() / 2;
  bool strokeHit = false;
  for (int x = 0; x < r.Width() / 4; ++x) strokeHit |= d.Selection.Shape.HitTest(r, TPoint{r.Left + x, r.Top + oMiddle}, ssMultiPoints);
  EXPECT_TRUE(strokeHit);
  EXPECT_FALSE(TextToSelection(d, Text({""}), true));
}
