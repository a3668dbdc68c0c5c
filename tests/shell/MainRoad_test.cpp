// The editor's main road on the real main window: a JPEG opened, an ellipse drawn, a
// filter run from its menu, undone, redone and repeated with its shortcut, the result
// saved as PNG and read back with libpng.
#include <gtest/gtest.h>

#include <png.h>

#include <cmath>
#include <cstring>

#include <QAction>
#include <QTest>

#include "document/LayerOps.h"
#include "pixel/ColorAdjust.h"
#include "support/MainFormFixture.h"
#include "support/TestImages.h"
#include "support/ViewTestSupport.h"

using namespace qm;
using namespace qm::test;

namespace {

// The pixels of a PNG file as libpng decodes them, blue, green, red.
TBitmap ReadPng(const std::string& file) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, file.c_str())) return TBitmap();
  image.format = PNG_FORMAT_BGR;
  TBitmap b(int(image.width), int(image.height));
  if (!png_image_finish_read(&image, nullptr, b.ScanLine(0), int32_t(b.Stride()), nullptr)) {
    png_image_free(&image);
    return TBitmap();
  }
  return b;
}

// How far a pixel's centre lies inside (negative) or outside the ellipse of r, in
// half-axes.
double EllipseDistance(const TRect& r, int x, int y) {
  const double dx = (x + 0.5 - (r.Left + r.Right) / 2.0) / (r.Width() / 2.0);
  const double dy = (y + 0.5 - (r.Top + r.Bottom) / 2.0) / (r.Height() / 2.0);
  return std::sqrt(dx * dx + dy * dy) - 1;
}

// Away from its edge, the picture is inside the ellipse as inside and outside as outside.
::testing::AssertionResult Across(const TBitmap& got, const TRect& r, const TBitmap& inside, const TBitmap& outside) {
  for (int y = 0; y < got.Height(); ++y)
    for (int x = 0; x < got.Width(); ++x) {
      const double d = EllipseDistance(r, x, y);
      if (std::abs(d) < 0.06) continue;
      const TBitmap& want = d < 0 ? inside : outside;
      if (std::memcmp(Px(got, x, y), Px(want, x, y), 3) != 0)
        return ::testing::AssertionFailure() << (d < 0 ? "inside" : "outside") << " at " << x << "," << y;
    }
  return ::testing::AssertionSuccess();
}

}  // namespace

TEST(MainRoad, OpenSelectFilterUndoRedoRepeatAndSave) {
  Editor e;
  TempFolder pictures("road");
  const std::string jpeg = pictures.File("plage.jpg");
  WritePicture(jpeg, Picture(240, 160, 40));
  TMainForm& form = e.Start({jpeg});
  TNewImgForm* w = e.Services().GetActiveImgForm();
  ASSERT_TRUE(w);
  const TBitmap& layer = w->Image().Layers[0].Image;
  const TBitmap opened = layer.Clone();

  // The ellipse tool ("B"), then a drag over the image.
  TMyImageLayered& view = w->View();
  QTest::keyClick(&view, Qt::Key_B);
  auto at = [&](int x, int y) {
    const TPoint p = view.ImageToClientPoint(TPoint{x, y});
    return QPoint(p.X, p.Y);
  };
  Drag(view, at(40, 30), {at(100, 80), at(200, 130)});
  ASSERT_TRUE(w->Selection().Visible);
  EXPECT_EQ(w->Selection().ShapeKind, ssEllipse);
  const TRect ellipse = w->Selection().SelRect;
  EXPECT_EQ(ellipse, (TRect{40, 30, 200, 130}));

  // "Flou" from the Filter menu: the ellipse blurred, the rest as opened.
  ASSERT_TRUE(form.Commands().IsEnabled("MenuFiltreFlou"));
  ASSERT_TRUE(form.Commands().Trigger("MenuFiltreFlou"));
  TBitmap once = opened.Clone();
  BoxBlur3x3Rect(once, ellipse);
  EXPECT_TRUE(Across(layer, ellipse, once, opened));
  const TBitmap blurred = layer.Clone();
  EXPECT_EQ(form.Commands().Action("MenuEditionUndo")->text().toStdString(), "Défaire Flou");

  ASSERT_TRUE(form.Commands().Trigger("MenuEditionUndo"));
  EXPECT_TRUE(SameBitmaps(layer, opened));
  ASSERT_TRUE(form.Commands().Trigger("MenuEditionRedo"));
  EXPECT_TRUE(SameBitmaps(layer, blurred));

  // Ctrl+K blurs the ellipse again, as a step of its own.
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  QTest::keyClick(&form, Qt::Key_K, Qt::ControlModifier);
  TBitmap twice = once.Clone();
  BoxBlur3x3Rect(twice, ellipse);
  EXPECT_TRUE(Across(layer, ellipse, twice, opened));
  EXPECT_EQ(w->History().GetUndoStepCount(), 2);
  EXPECT_EQ(form.Commands().Action("MenuFiltreRepeter")->text().toStdString(), "Répéter Flou");

  // Saved as PNG, read back by libpng: the same pixels.
  const std::string png = pictures.File("plage-flou.png");
  WhenSaveDialogSaveAs(png);
  WhenWriterOptionsAccepted();  // the PNG options, as they stand
  ASSERT_TRUE(form.Commands().Trigger("MenuFichierEnregistrerSous"));
  const TBitmap written = ReadPng(png);
  ASSERT_EQ(written.Width(), 240);
  EXPECT_TRUE(SameBitmaps(written, layer));
  EXPECT_TRUE(Across(written, ellipse, twice, opened));
  EXPECT_FALSE(w->IsImageModified());

  // The layers' names as the main window shows them.
  AddLayerFromBitmap(e.Services().LayerHost(), "#7", Picture(20, 20, 3), TBitmap(), TPoint{5, 5});
  EXPECT_EQ(w->Image().Layers[1].GetDisplayName(), "Calque 7");
  EXPECT_EQ(w->Image().Layers[0].GetDisplayName(), "Fond");
  w->Image().Layers[1].Name = "#ab";
  EXPECT_EQ(w->Image().Layers[1].GetDisplayName(), "#ab");
}
