#include "devices/VornelTwainUtils.h"

#include <gtest/gtest.h>

#include <cstring>

#include "devices/VornelTwain.h"
#include "platform/texts/Format.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::twain;

namespace {

// A strip answer as a source would fill it.
TW_IMAGEMEMXFER Strip(uint32_t bytesPerRow, uint32_t rows, uint32_t yOffset, uint32_t bytesWritten,
                      uint32_t xOffset = 0, uint32_t columns = TWON_DONTCARE32) {
  TW_IMAGEMEMXFER s;
  std::memset(&s, 0xFF, sizeof s);
  s.Compression = TWCP_NONE;
  s.BytesPerRow = bytesPerRow;
  s.Rows = rows;
  s.YOffset = yOffset;
  s.BytesWritten = bytesWritten;
  s.XOffset = xOffset;
  s.Columns = columns;
  return s;
}

// The naive reading of the answer: pixel by pixel, the row at YOffset + r taking the
// pixels at XOffset + x from buffer row r, within the image, the buffer and BytesWritten.
void NaiveStrip(TBitmap& bmp, const TW_IMAGEMEMXFER& s, const std::vector<uint8_t>& buffer, bool swap) {
  const int bpp = bmp.PixelFormat();
  const uint64_t written = std::min<uint64_t>(s.BytesWritten, buffer.size());
  for (uint64_t r = 0; r < s.Rows && (r + 1) * s.BytesPerRow <= written; ++r) {
    const uint64_t y = s.YOffset + r;
    if (y >= uint64_t(bmp.Height())) break;
    const uint64_t columns = s.Columns == TWON_DONTCARE32 ? bmp.Width() : s.Columns;
    for (uint64_t x = 0; x < columns && s.XOffset + x < uint64_t(bmp.Width()) && (x + 1) * bpp <= s.BytesPerRow * 8; ++x) {
      const uint8_t* src = buffer.data() + r * s.BytesPerRow;
      uint8_t* dst = bmp.ScanLine(int(y));
      const uint64_t to = s.XOffset + x;
      if (bpp == 24) {
        for (int c = 0; c < 3; ++c) dst[3 * to + c] = src[3 * x + (swap ? 2 - c : c)];
      } else if (bpp == 8) {
        dst[to] = src[x];
      } else {
        const int bit = (src[x / 8] >> (7 - x % 8)) & 1;
        dst[to / 8] = uint8_t((dst[to / 8] & ~(0x80 >> (to % 8))) | (bit << (7 - to % 8)));
      }
    }
  }
}

}  // namespace

TEST(TwainStrip, CopiesEachAnswerByItsGeometry) {
  struct Case {
    const char* what;
    TPixelFormat pf;
    int w, h;
    TW_IMAGEMEMXFER strip;
    size_t buffer;
    int nextRow, expectNext;
  };
  const Case cases[] = {
      {"unpadded 24-bit rows", pf24bit, 5, 4, Strip(15, 4, 0, 60), 60, 0, 4},
      {"unpadded grey rows of 157", pf8bit, 157, 3, Strip(157, 3, 0, 471), 471, 0, 3},
      {"a strip further down", pf24bit, 5, 6, Strip(16, 2, 3, 32), 64, 0, 5},
      {"BytesWritten past the buffer", pf24bit, 5, 6, Strip(15, 6, 0, 100000), 31, 0, 2},
      {"bytes past the last row", pf8bit, 9, 4, Strip(12, 5, 2, 60), 60, 0, 4},
      {"rows wider than the image", pf8bit, 7, 3, Strip(20, 3, 0, 60), 60, 0, 3},
      {"a tile of columns", pf24bit, 6, 3, Strip(6, 3, 0, 18, 2, 2), 18, 0, 3},
      {"1-bit rows", pf1bit, 13, 5, Strip(2, 5, 0, 10), 10, 0, 5},
      {"an offset beyond the image", pf8bit, 4, 2, Strip(4, 1, 7, 4), 4, 1, 1},
      {"nothing written", pf8bit, 4, 2, Strip(4, 2, 0, 0), 8, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (bool swap : {false, true}) {
      test::Rng rng(7);
      std::vector<uint8_t> buffer(c.buffer);
      for (uint8_t& b : buffer) b = uint8_t(rng.Int(0, 255));
      TBitmap ours = test::RandomBitmap(c.w, c.h, 3, c.pf);
      TBitmap expected = ours.Clone();
      std::vector<uint8_t> written(size_t(c.h), 1);
      const int next = AssembleTwainStrip(ours, c.strip, buffer.data(), buffer.size(), c.nextRow, swap, written);
      NaiveStrip(expected, c.strip, buffer, swap && c.pf == pf24bit);
      EXPECT_TRUE(test::SameBitmaps(ours, expected));
      EXPECT_EQ(next, c.expectNext);
    }
  }
}

TEST(TwainStrip, AnswersWithoutGeometryFillWholeRowsInOrder) {
  TBitmap bmp(3, 4, pf24bit, clBlack);
  std::vector<uint8_t> buffer(size_t(bmp.Stride()) * 2);
  for (size_t i = 0; i < buffer.size(); ++i) buffer[i] = uint8_t(i + 1);
  TW_IMAGEMEMXFER s = Strip(TWON_DONTCARE32, TWON_DONTCARE32, TWON_DONTCARE32, uint32_t(buffer.size()));
  std::vector<uint8_t> written(4, 1);
  EXPECT_EQ(AssembleTwainStrip(bmp, s, buffer.data(), buffer.size(), 1, false, written), 3);
  EXPECT_EQ(std::memcmp(bmp.ScanLine(1), buffer.data(), 9), 0);
  EXPECT_EQ(std::memcmp(bmp.ScanLine(2), buffer.data() + bmp.Stride(), 9), 0);
  EXPECT_EQ(bmp.GetPixel(0, 0), clBlack);
  EXPECT_EQ(bmp.GetPixel(2, 3), clBlack);
}

TEST(TwainStrip, ABitmapMadeWithoutFillingShowsNothingItsMemoryHeld) {
  // Memory full of a pattern stands for what the allocator handed out.
  TBitmap bmp = TBitmap::Uninitialized(6, 5, pf24bit);
  std::memset(bmp.Bits(), 0xAB, size_t(bmp.Stride()) * 5);
  std::vector<uint8_t> buffer(18 * 2, 7);
  std::vector<uint8_t> written;
  AssembleTwainStrip(bmp, Strip(18, 1, 0, 18), buffer.data(), buffer.size(), 0, false, written);  // a whole row
  AssembleTwainStrip(bmp, Strip(6, 2, 2, 12, 3, 2), buffer.data(), buffer.size(), 0, false, written);  // a tile
  AssembleTwainStrip(bmp, Strip(6, 1, 2, 6, 0, 2), buffer.data(), buffer.size(), 0, false, written);  // beside it
  ClearUnwrittenRows(bmp, written);
  EXPECT_EQ(written, (std::vector<uint8_t>{1, 0, 1, 1, 0}));
  const TColor k = RGB(7, 7, 7);
  const TColor expected[5][6] = {{k, k, k, k, k, k},
                                 {0, 0, 0, 0, 0, 0},
                                 {k, k, 0, k, k, 0},
                                 {0, 0, 0, k, k, 0},
                                 {0, 0, 0, 0, 0, 0}};
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 6; ++x) EXPECT_EQ(bmp.GetPixel(x, y), expected[y][x]) << x << "," << y;
    for (ptrdiff_t i = 18; i < bmp.Stride(); ++i) EXPECT_EQ(bmp.ScanLine(y)[i], 0) << "padding of row " << y;
  }
}

TEST(TwainUtils, PointerListGrowsPastAnyFixedLimit) {
  TPointerList list;
  EXPECT_EQ(list.Capacity(), 10);
  std::vector<int> values(300);
  for (int& v : values) list.Add(&v);
  EXPECT_EQ(list.Count(), 300);
  EXPECT_EQ(list.Capacity(), 300);  // grown in steps of 10
  EXPECT_EQ(list.Get(299), &values[299]);
  EXPECT_EQ(list.Get(300), nullptr);
  EXPECT_EQ(list.Get(-1), nullptr);
  list.Put(256, &values[0]);
  EXPECT_EQ(list.Get(256), &values[0]);
  list.Put(300, &values[1]);  // outside: ignored
  EXPECT_EQ(list.Count(), 300);
  list.SetCapacity(20);  // below the count: ignored
  EXPECT_EQ(list.Capacity(), 300);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 10);
}

TEST(TwainUtils, FixedPointValuesAndTheirText) {
  const struct {
    double value;
    int16_t whole;
    uint16_t frac;
    const char* text;
  } cases[] = {{72.5, 72, 32768, "72,5"}, {300, 300, 0, "300"}, {-1.25, -2, 49152, "-1,25"}, {0.125, 0, 8192, "0,125"}};
  const std::string separator = FormatSettings().DecimalSeparator;
  FormatSettings().DecimalSeparator = ",";
  for (const auto& c : cases) {
    const TW_FIX32 f = FloatToFix32(c.value);
    EXPECT_EQ(int(f.Whole), c.whole) << c.value;
    EXPECT_EQ(int(f.Frac), c.frac) << c.value;
    EXPECT_DOUBLE_EQ(Fix32ToFloat(f), c.value);
    EXPECT_EQ(Fix32ToText(f), c.text);
  }
  FormatSettings().DecimalSeparator = separator;
}

TEST(TwainUtils, IdentityTextsKeepATerminatorAndGroupsMapOntoTheRecord) {
  TTwainIdentity a;
  EXPECT_EQ(a.ProductName(), "App product name");
  EXPECT_EQ(a.Language(), TTwainLanguage::tlUserLocale);
  EXPECT_EQ(int(a.Record().Version.Language), 0xFFFF);
  EXPECT_EQ(int(TTwainLanguage::tlVietnamese), 113);
  EXPECT_EQ(int(a.Record().ProtocolMinor), 9);
  const std::string longName(40, 'x');
  a.SetManufacturer(longName);
  EXPECT_EQ(a.Manufacturer(), std::string(32, 'x'));
  EXPECT_EQ(a.Record().Manufacturer[32], 0);
  a.SetGroups(tgImage | tgAudio);
  const uint32_t groups = a.Record().SupportedGroups;  // a packed field: read by value
  EXPECT_EQ(groups, DG_CONTROL | DG_IMAGE | DG_AUDIO);
  EXPECT_EQ(a.Groups(), tgControl | tgImage | tgAudio);
  a.SetGroups(0);
  EXPECT_EQ(a.Groups(), tgControl);
  TTwainIdentity b;
  b.Assign(a);
  EXPECT_EQ(std::memcmp(&a.Record(), &b.Record(), sizeof(TW_IDENTITY)), 0);
}

TEST(TwainUtils, NativeImagesAreReadWithinTheirBytes) {
  // A 3 x 2 grey DIB, bottom-up, with a 256-entry table.
  std::vector<uint8_t> dib(sizeof(TDibInfoHeader) + 1024 + 8);
  TDibInfoHeader h{};
  h.biSize = 40;
  h.biWidth = 3;
  h.biHeight = 2;
  h.biPlanes = 1;
  h.biBitCount = 8;
  std::memcpy(dib.data(), &h, sizeof h);
  for (int i = 0; i < 256; ++i) std::memset(dib.data() + 40 + 4 * i, i, 3);
  const uint8_t rows[8] = {1, 2, 3, 0, 4, 5, 6, 0};  // bottom row first
  std::memcpy(dib.data() + 40 + 1024, rows, 8);
  TBitmap bmp;
  ASSERT_TRUE(DibToBitmap(dib.data(), dib.size(), bmp));
  EXPECT_EQ(bmp.PixelFormat(), pf8bit);
  EXPECT_EQ(bmp.GetPixelIndex(0, 0), 4u);
  EXPECT_EQ(bmp.GetPixelIndex(2, 1), 3u);
  EXPECT_EQ(bmp.GetPixel(1, 0), RGB(5, 5, 5));
  EXPECT_FALSE(DibToBitmap(dib.data(), dib.size() - 1, bmp));  // a row short
  h.biHeight = -1000000;
  std::memcpy(dib.data(), &h, sizeof h);
  EXPECT_FALSE(DibToBitmap(dib.data(), dib.size(), bmp));
  EXPECT_TRUE(bmp.Empty());
}

TEST(TwainUtils, OnlyImagesABitmapCanHoldAreTransferred) {
  auto info = [](int32_t w, int32_t h, int16_t bpp, int16_t type, uint16_t compression = TWCP_NONE) {
    TW_IMAGEINFO i{};
    i.ImageWidth = w;
    i.ImageLength = h;
    i.BitsPerPixel = bpp;
    i.PixelType = type;
    i.Compression = compression;
    return i;
  };
  const struct {
    TW_IMAGEINFO info;
    bool fits;
  } cases[] = {
      {info(2480, 3507, 24, TWPT_RGB), true},  {info(157, 1, 8, TWPT_GRAY), true},
      {info(1, 1, 1, TWPT_BW), true},          {info(640, -1, 24, TWPT_RGB), false},
      {info(-1, 480, 8, TWPT_GRAY), false},    {info(0, 10, 8, TWPT_GRAY), false},
      {info(1 << 20 | 1, 1, 8, TWPT_GRAY), false}, {info(50000, 50000, 8, TWPT_GRAY), false},
      {info(100, 100, 16, TWPT_GRAY), false},  {info(100, 100, 8, TWPT_RGB), false},
      {info(100, 100, 24, TWPT_RGB, 5), false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TwainImageFits(c.info), c.fits) << c.info.ImageWidth << "x" << c.info.ImageLength << "@" << c.info.BitsPerPixel;
}
