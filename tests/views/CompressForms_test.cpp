// The save-time option dialogs and the icon export, driven as the stage-2 handler and
// a user do: shown modally over a document window, their buttons clicked.
#include <gtest/gtest.h>
#include <zlib.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMdiArea>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>

#include "DocumentWorkspace.h"
#include "imagefiles/IconWriter.h"
#include "imagefiles/JpegCodec.h"
#include "imagefiles/PngCodec.h"
#include "platform/texts/Format.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"
#include "support/TempFiles.h"
#include "support/TestImages.h"
#include "views/CompressForms.h"
#include "views/DocumentWindow.h"
#include "views/DocumentWindowHost.h"
#include "views/IconForm.h"
#include "views/ImageWindows.h"

using namespace qm;
using namespace qm::test;

namespace {

// Runs act once the dialog's own event loop runs.
void Then(std::function<void()> act) { QTimer::singleShot(0, &App(), std::move(act)); }

}  // namespace

// The JPEG preview shows, in the document's window, the very pixels of the file and its
// size; OK gives the choices back and the document its own composition again. Without
// EXIF data in the document, the box is never shown and KeepExif ends false.
TEST(CompressForms, JpegPreviewShowsTheFileInPlaceWithItsSize) {
  DocumentWorkspace ws;
  const TBitmap picture = RandomBitmap(90, 70, 3);
  TNewImgForm* w = ws.Open(picture);
  TJPGCompressForm form;
  TJpegWriteOptions options{35, true};
  bool keepExif = true;  // the preference; the document has none
  TBitmap shown;
  std::string status;
  Then([&] {
    EXPECT_TRUE(form.CBExif->isHidden());
    EXPECT_EQ(form.TBN->value(), 35);
    form.TBN->setValue(20);
    EXPECT_EQ(form.LblN->text().toStdString(), Format(TextId::GetTrFmtCompress, {20}));
    form.BApercu->click();
    status = form.LblStatut->text().toStdString();
    shown = w->Image().ComposedBitmap().Clone();
    form.BOk->click();
  });
  ASSERT_TRUE(form.Execute(w, "/nowhere/photo.jpg", options, keepExif));
  const std::vector<uint8_t> file = WriteJpegMemory(picture, TJpegWriteOptions{20, true});
  EXPECT_EQ(status, Format(TextId::GetTrFmtFileSize, {FormatFileSize(int64_t(file.size()), false)}));
  TBitmap decoded;
  ReadJpegMemory(file.data(), file.size(), decoded);
  EXPECT_TRUE(SameBitmaps(shown, decoded));
  EXPECT_EQ(options.Quality, 20);
  EXPECT_TRUE(options.Progressive);
  EXPECT_FALSE(keepExif);
  EXPECT_FALSE(w->Image().SuspendComposition);
  EXPECT_TRUE(SameBitmaps(w->Image().UpdatedComposition(), picture));

  // Cancel changes nothing; a document with EXIF data shows the box, as the preference says.
  w->HasExif = true;
  keepExif = true;
  Then([&] {
    EXPECT_FALSE(form.CBExif->isHidden());
    EXPECT_TRUE(form.CBExif->isChecked());
    form.BAnnuler->click();
  });
  EXPECT_FALSE(form.Execute(w, "/nowhere/photo.jpg", options, keepExif));
  EXPECT_EQ(options.Quality, 20);
}

// Paeth gives 16, Automatique 31; the options OK gives write rows of exactly that
// filter, level 7, and read back as they were.
TEST(CompressForms, PngFilterChoiceReachesTheWriter) {
  AppReady ready;
  TPNGCompressForm form;
  EXPECT_EQ(GetPngFilterMask(form), pfNone);  // "Aucun" at first
  TPngWriteOptions options{false, pfAllFilters, 3};
  Then([&] {
    form.Filters->button(4)->click();
    form.CBEntrelacer->setChecked(false);
    EXPECT_EQ(GetPngFilterMask(form), 16);
    form.BOk->click();
  });
  ASSERT_TRUE(form.Execute("a.png", options));
  EXPECT_EQ(options.FilterMask, pfPaeth);
  EXPECT_EQ(options.CompressionLevel, 7);
  EXPECT_FALSE(IsPngInterlaced(form));

  TPngImage png;
  BitmapToPng(RandomBitmap(33, 9, 4), png);
  TempFolder folder;
  const std::string f = folder.File("p.png");
  WritePngFile(f, png, options);
  const std::vector<uint8_t> bytes = ReadFileBytes(f);
  std::vector<uint8_t> idat;
  for (size_t i = 8; i + 12 <= bytes.size();) {
    const uint32_t len = uint32_t(bytes[i]) << 24 | uint32_t(bytes[i + 1]) << 16 | uint32_t(bytes[i + 2]) << 8 | bytes[i + 3];
    if (std::string(bytes.begin() + ptrdiff_t(i) + 4, bytes.begin() + ptrdiff_t(i) + 8) == "IDAT")
      idat.insert(idat.end(), bytes.begin() + ptrdiff_t(i) + 8, bytes.begin() + ptrdiff_t(i) + 8 + len);
    i += 12 + len;
  }
  std::vector<uint8_t> raw(size_t(33 * 3 + 1) * 9);
  uLongf n = raw.size();
  ASSERT_EQ(uncompress(raw.data(), &n, idat.data(), idat.size()), Z_OK);
  for (int y = 0; y < 9; ++y) EXPECT_EQ(raw[size_t(y) * (33 * 3 + 1)], 4) << y;  // PNG_FILTER_VALUE_PAETH
  TPngImage back;
  ReadPngFile(f, back);
  EXPECT_EQ(back.Pixels, png.Pixels);

  Then([&] {
    form.Filters->button(5)->click();
    form.CBEntrelacer->setChecked(true);
    form.BOk->click();
  });
  ASSERT_TRUE(form.Execute("a.png", options));
  EXPECT_EQ(options.FilterMask, 31);
  EXPECT_TRUE(options.Interlaced);
}

TEST(CompressForms, GifBoxesComeFromAndGoBackToTheOptions) {
  AppReady ready;
  TGIFCompressForm form;
  TGifWriteOptions options{true, false};
  Then([&] {
    EXPECT_TRUE(form.CBPalette->isChecked());
    EXPECT_FALSE(form.CBEntrelacer->isChecked());
    form.CBEntrelacer->setChecked(true);
    form.BOk->click();
  });
  ASSERT_TRUE(form.Execute("a.gif", options));
  EXPECT_TRUE(options.Interlaced);
  EXPECT_TRUE(options.OptimizePalette);
  EXPECT_EQ(form.windowTitle().toStdString(), "Compression GIF");
  // Translated, it takes the PNG dialog's title with the format's name changed.
  FillTextByName("GetTrLblPngTitle", "PNG compression");
  EXPECT_EQ(TGIFCompressForm().windowTitle().toStdString(), "GIF compression");
  EXPECT_EQ(TPNGCompressForm().windowTitle().toStdString(), "PNG compression");
  ResetTextTable();
}

// A picture of 12 colours opens on "16 couleurs (4 bits)" and is exported as a 4-bit
// icon of the chosen size.
TEST(CompressForms, IconOfTwelveColoursIsWrittenAtFourBits) {
  DocumentWorkspace ws;
  TBitmap picture(120, 80, pf24bit, clWhite);
  for (int i = 0; i < 11; ++i) picture.FillRect(TRect{i * 10, 10, i * 10 + 10, 70}, RGB(i * 20, 255 - i * 20, 40));
  TNewImgForm* w = ws.Open(picture);
  TempFolder folder;
  TIconForm form;
  form.ChooseFile = [&](const TSavePictureRequest& r, std::string& f) {
    EXPECT_EQ(r.DefaultExt, ".ico");
    f = folder.File("out.ico");
    return true;
  };
  Then([&] {
    EXPECT_EQ(form.Formats->checkedId(), ifColor16);
    EXPECT_EQ(form.Preview(2).Width(), 64);
    EXPECT_EQ(form.Preview(2).Height(), 43);
    form.RB48->click();
    form.BSauver->click();
  });
  ASSERT_TRUE(form.Execute(*w, folder.Path.string()));
  const std::vector<uint8_t> ico = ReadFileBytes(form.LastFile());
  ASSERT_GT(ico.size(), 22u);
  EXPECT_EQ(ico[6], 48);  // width
  EXPECT_EQ(ico[8], 4);   // planes x bits per pixel
}
