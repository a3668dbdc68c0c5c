#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "document/SelectionFile.h"
#include "document/ShapeTestImages.h"
#include "document/qt/QxsPreview.h"
#include "platform/core/Messages.h"
#include "platform/texts/UiTexts.h"
#include "support/TempFiles.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// Counts the messages shown while it lives.
class MessageCounter {
 public:
  MessageCounter() {
    SetMessageHandler([this](const std::string& text, int type, int buttons, const std::string&) {
      ++count;
      last = text;
      EXPECT_EQ(type, mtError);
      EXPECT_EQ(buttons, mbOK);
      return int(mrOk);
    });
  }
  ~MessageCounter() { SetMessageHandler(nullptr); }
  int count = 0;
  std::string last;
};

struct ReadResult {
  bool ok;
  TShapeManager shape;
  TMyShape kind = ssRect;
  TRect rect{-5, -5, -5, -5};
  TFileError error;
};

// The reader shows nothing: the failure comes back, and the shell shows it (on the
// GUI thread) when the selection file's flag says so.
void ShowAsTheShell(const TFileError& error) {
  if (SelectionFileShowErrors()) ShowFileError(error);
}

ReadResult Read(const std::vector<uint8_t>& bytes) {
  ReadResult r;
  r.shape.Points = {{9, 9}};  // left alone by a rectangle-based kind, cleared by a failure
  MessageCounter none;
  r.ok = ReadSelection(r.shape, bytes.data(), bytes.size(), r.kind, r.rect, &r.error);
  EXPECT_EQ(none.count, 0);
  EXPECT_EQ(bool(r.error), !r.ok);
  if (r.error) {
    EXPECT_EQ(r.error.Message, TextId::GetShpMsgStreamError);
    EXPECT_FALSE(r.error.Reason.empty());
  }
  return r;
}
ReadResult Read(const std::string& s) { return Read(Bytes(s)); }

// Rewrites every CR LF of the text part (before any binary data) as another line end.
std::vector<uint8_t> WithLineEnds(const std::vector<uint8_t>& crlf, const std::string& end, size_t textLines) {
  std::vector<uint8_t> out;
  size_t i = 0, lines = 0;
  while (i < crlf.size()) {
    if (lines < textLines && i + 1 < crlf.size() && crlf[i] == 13 && crlf[i + 1] == 10) {
      out.insert(out.end(), end.begin(), end.end());
      i += 2;
      ++lines;
      continue;
    }
    out.push_back(crlf[i++]);
  }
  return out;
}

// A traced shape of exactly n points: single pixels two apart on one row.
TShapeManager TracedDots(int n) {
  TBitmap m(2 * n, 1, pf24bit, clWhite);
  for (int i = 0; i < n; ++i) m.SetPixel(2 * i, 0, clBlack);
  TShapeManager s;
  TRect r;
  s.ShapeFromMask(&m, 128, r);
  return s;
}

std::string TempDir() { return test::TestTmpDir("selection"); }

}  // namespace

TEST(ReadSelection, RectangleKindsWithAndWithoutHeader) {
  ReadResult r = Read("-6\r\n40\r\n20\r\n");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.kind, ssTriangle1);
  EXPECT_EQ(r.rect, (TRect{0, 0, 40, 20}));
  EXPECT_EQ(r.shape.Points.size(), 1u);  // untouched
  r = Read("-3\r\n40\r\n20");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.kind, ssRoundRect);
  r = Read("Quillomatic Selection\r\nVectorial\r\n-10\r\n7\r\n9\r\n");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.kind, ssLosange);
  EXPECT_EQ(r.rect, (TRect{0, 0, 7, 9}));
  // any second line but "Binary" reads as vectorial
  r = Read("Quillomatic Selection\r\nwhatever\r\n-1\r\n+7\r\n 9\r\n");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.kind, ssRect);
}

TEST(ReadSelection, PointListsMoveToTheOrigin) {
  ReadResult r = Read("Quillomatic Selection\r\nVectorial\r\n2\r\n5;5\r\n15;25\r\n");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.kind, ssPolygon);
  ASSERT_EQ(r.shape.Points.size(), 2u);
  EXPECT_EQ(r.shape.Points[0], (TPoint{0, 0}));
  EXPECT_EQ(r.shape.Points[1], (TPoint{10, 20}));
  EXPECT_EQ(r.shape.Bounds, (TRect{0, 0, 10, 20}));
  EXPECT_EQ(r.rect, (TRect{0, 0, 11, 21}));
  EXPECT_TRUE(r.shape.PointFlags.empty());
  r = Read("3\r\n-4;-2\r\n6;0\r\n0;8");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.shape.Points[0], (TPoint{0, 0}));
  EXPECT_EQ(r.rect, (TRect{0, 0, 11, 11}));
}

TEST(ReadSelection, RefusesBadData) {
  const char* bad[] = {
      "Quillomatic Selection\r\nVectorial\r\n2\r\n;5\r\n15;25\r\n",   // semicolon first
      "Quillomatic Selection\r\nVectorial\r\n2\r\n55\r\n15;25\r\n",   // no semicolon
      "Quillomatic Selection\r\nVectorial\r\n2\r\n5;5\r\n\r\n",       // empty point line
      "Quillomatic Selection\r\nVectorial\r\n2\r\n5;5\r\n",           // too few lines
      "Quillomatic Selection\r\nVectorial\r\n2\r\n5;x\r\n1;1\r\n",    // not a number
      "Quillomatic Selection\r\nVectorial\r\n2\r\n5;5;5\r\n1;1\r\n",  // trailing text
      "-11\r\n40\r\n20\r\n",                                          // not a kind code
      "-1\r\n\r\n20\r\n",                                             // empty width
      "-1\r\n40\r\n",                                                 // no height
      "-1\r\n0\r\n20\r\n",                                            // width 0
      "-1\r\n40\r\n-3\r\n",                                           // negative height
      "-1\r\n1000001\r\n20\r\n",                                      // beyond the coordinate range
      "0\r\n",                                                        // no points
      "",                                                             // nothing at all
      "Quillomatic Selection\r\nVectorial\r\n2147483647\r\n1;1\r\n",  // a count the data cannot hold
      "Quillomatic Selection\r\nVectorial\r\n99999999999999\r\n",     // beyond 32 bits
      "Quillomatic Selection\r\nVectorial\r\n1\r\n2000000;0\r\n",     // coordinate out of range
      "Quillomatic Selection\r\nVectorial\r\n2\r\n-600000;0\r\n600000;0\r\n",  // too wide
      "Quillomatic Selection\r\nBinary\r\n",                          // no count
      "Quillomatic Selection\r\nBinary\r\n\x01\x00\x00",              // short count
  };
  for (const char* text : bad) {
    const ReadResult r = Read(std::string(text));
    MessageCounter messages;
    ShowAsTheShell(r.error);
    EXPECT_FALSE(r.ok) << text;
    EXPECT_TRUE(r.shape.Points.empty()) << text;
    EXPECT_EQ(r.rect, (TRect{-5, -5, -5, -5}));
    EXPECT_EQ(messages.count, 1) << text;
    EXPECT_EQ(messages.last, "Fichier de données invalide !");
  }
  // binary counts: negative, zero, more points than bytes, and coordinates too far
  auto binary = [](std::vector<int32_t> ints) {
    std::string s = "Quillomatic Selection\r\nBinary\r\n";
    for (int32_t v : ints)
      for (int i = 0; i < 4; ++i) s.push_back(char((uint32_t(v) >> (8 * i)) & 0xFF));
    return s;
  };
  for (const auto& ints : std::vector<std::vector<int32_t>>{
           {-1}, {0}, {2147483647, 33, 78, 33}, {2, 33, 78, 33}, {1, 1000034, 78, 33}, {1, 33, 78, INT32_MIN}}) {
    const ReadResult r = Read(binary(ints));
    MessageCounter messages;
    ShowAsTheShell(r.error);
    EXPECT_FALSE(r.ok) << ints[0];
    EXPECT_EQ(messages.count, 1);
  }
  // flags are kept to their four bits
  const ReadResult r = Read(binary({1, 40, 77 + 0x1F3, 50}));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.shape.PointFlags[0], 3);
  // without the message
  SetSelectionFileShowErrors(false);
  {
    const ReadResult quiet = Read("-11\r\n1\r\n1\r\n");
    MessageCounter messages;
    ShowAsTheShell(quiet.error);
    EXPECT_FALSE(quiet.ok);
    EXPECT_EQ(messages.count, 0);
  }
  SetSelectionFileShowErrors(true);
}

TEST(ReadSelection, TheMessageFollowsTheTranslation) {
  EXPECT_EQ(BuiltinText(TextId::GetShpMsgStreamError), kInvalidDataFileText);
  ASSERT_EQ(FillTextByName("GetShpMsgStreamError", "Invalid data file!"), FillResult::Filled);
  {
    const ReadResult r = Read("-11\r\n1\r\n1\r\n");
    EXPECT_FALSE(r.ok);
    TShapeManager empty;
    std::vector<uint8_t> out;
    TFileError written;
    EXPECT_FALSE(WriteSelection(empty, out, ssPolygon, TRect{0, 0, 5, 5}, &written));
    MessageCounter messages;
    ShowAsTheShell(r.error);
    ShowAsTheShell(written);
    EXPECT_EQ(messages.count, 2);
    EXPECT_EQ(messages.last, "Invalid data file!");
  }
  ResetTextTable();
}

TEST(ReadSelection, EveryLineEndReadsTheSame) {
  const std::string crlf = "Quillomatic Selection\r\nVectorial\r\n3\r\n5;5\r\n15;25\r\n0;30\r\n";
  const ReadResult ref = Read(crlf);
  ASSERT_TRUE(ref.ok);
  for (const std::string end : {"\n", "\r", "\n\r"}) {
    const ReadResult r = Read(WithLineEnds(Bytes(crlf), end, 99));
    ASSERT_TRUE(r.ok) << int(end[0]);
    EXPECT_EQ(r.shape.Points, ref.shape.Points);
    EXPECT_EQ(r.rect, ref.rect);
  }
  // two line ends in a row count as one
  const ReadResult doubled = Read("-2\r\r5\n\n7");
  ASSERT_TRUE(doubled.ok);
  EXPECT_EQ(doubled.rect, (TRect{0, 0, 5, 7}));
}

TEST(WriteSelection, ExactLinesAndBinaryLayout) {
  TShapeManager s;
  std::vector<uint8_t> out;
  ASSERT_TRUE(WriteSelection(s, out, ssTriangle1, TRect{50, 70, 10, 20}));
  EXPECT_EQ(std::string(out.begin(), out.end()), "Quillomatic Selection\r\nVectorial\r\n-6\r\n40\r\n50\r\n");

  s.Points = {{0, 0}, {10, 20}, {-3, 4}};
  out.clear();
  ASSERT_TRUE(WriteSelection(s, out, ssPolyline, TRect{}));
  EXPECT_EQ(std::string(out.begin(), out.end()),
            "Quillomatic Selection\r\nVectorial\r\n3\r\n0;0\r\n10;20\r\n-3;4\r\n");

  TShapeManager t = TracedDots(2);
  out.clear();
  ASSERT_TRUE(WriteSelection(t, out, ssMultiPoints, TRect{}));
  const std::string head = "Quillomatic Selection\r\nBinary\r\n";
  ASSERT_EQ(out.size(), head.size() + 4 + 24);
  EXPECT_EQ(std::string(out.begin(), out.begin() + long(head.size())), head);
  const uint8_t* b = out.data() + head.size();
  auto at = [&](int i) { return int32_t(b[4 * i] | (b[4 * i + 1] << 8) | (b[4 * i + 2] << 16) | (uint32_t(b[4 * i + 3]) << 24)); };
  EXPECT_EQ(at(0), 2);
  EXPECT_EQ(at(1), 0 + 33);
  EXPECT_EQ(at(2), 15 + 77);
  EXPECT_EQ(at(3), 0 + 33);
  EXPECT_EQ(at(4), 2 + 33);
}

TEST(WriteSelection, RefusesWhatCouldNotBeRead) {
  MessageCounter messages;
  TShapeManager empty, noFlags, far;
  noFlags.Points = {{1, 1}};
  far.Points = {{0, 0}, {1000001, 0}};
  const struct {
    const TShapeManager& shape;
    TMyShape kind;
    TRect rect;
  } refused[] = {{empty, ssPolygon, TRect{0, 0, 5, 5}}, {empty, ssMultiPoints, TRect{0, 0, 5, 5}},
                 {empty, ssRect, TRect{3, 3, 3, 9}},     {noFlags, ssMultiPoints, TRect{}},
                 {far, ssPolygon, TRect{}},              {far, TMyShape(13), TRect{0, 0, 1, 1}}};
  std::vector<uint8_t> out;
  int failures = 0;
  for (const auto& c : refused) {
    TFileError error;
    EXPECT_FALSE(WriteSelection(c.shape, out, c.kind, c.rect, &error));
    EXPECT_EQ(error.Message, TextId::GetShpMsgStreamError);
    failures += bool(error);
  }
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(failures, 6);
  EXPECT_EQ(messages.count, 0);  // the shell shows them
}

TEST(SelectionFile, EveryKindRoundTripsWithEveryLineEnd) {
  const TBitmap blobs = RandomBlobs(64, 48, 17, 9);
  TShapeManager traced;
  TRect tr;
  traced.ShapeFromMask(&blobs, 120, tr);
  TShapeManager poly;
  poly.Points = {{0, 0}, {30, 4}, {12, 40}, {3, 22}};
  poly.Bounds = TRect{0, 0, 30, 40};
  for (int k = 0; k < kShapeKindCount; ++k) {
    const TMyShape kind = TMyShape(k);
    const TShapeManager& src = kind == ssMultiPoints ? traced : poly;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(WriteSelection(src, bytes, kind, TRect{10, 10, 47, 33}));
    for (const std::string end : {"\r\n", "\n", "\r", "\n\r"}) {
      // the binary file's text ends at its second line
      const std::vector<uint8_t> file = WithLineEnds(bytes, end, kind == ssMultiPoints ? 2 : 9999);
      const ReadResult r = Read(file);
      ASSERT_TRUE(r.ok) << k << " " << int(end[0]);
      if (kind <= ssLosange) {
        EXPECT_EQ(r.kind, kind);
        EXPECT_EQ(r.rect, (TRect{0, 0, 37, 23}));
      } else if (kind == ssMultiPoints) {
        EXPECT_EQ(r.kind, ssMultiPoints);
        EXPECT_EQ(r.shape.Points, traced.Points);
        EXPECT_EQ(r.shape.PointFlags, traced.PointFlags);
        EXPECT_EQ(r.shape.Bounds, traced.Bounds);
        EXPECT_EQ(r.rect, (TRect{0, 0, tr.Width(), tr.Height()}));
      } else {
        EXPECT_EQ(r.kind, ssPolygon);  // a polyline comes back as a polygon
        EXPECT_EQ(r.shape.Points, poly.Points);
        EXPECT_EQ(r.rect, (TRect{0, 0, 31, 41}));
      }
    }
  }
}

TEST(SelectionFile, BinaryCountsThatLookLikeLineEnds) {
  // 10, 13, 256 + 10, 256 + 13: the count's first byte is LF or CR
  for (int n : {10, 13, 266, 269}) {
    const TShapeManager s = TracedDots(n);
    ASSERT_EQ(int(s.Points.size()), n);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(WriteSelection(s, bytes, ssMultiPoints, TRect{}));
    for (const std::string end : {"\r\n", "\n", "\r", "\n\r"}) {
      const ReadResult r = Read(WithLineEnds(bytes, end, 2));
      ASSERT_TRUE(r.ok) << n << " " << int(end[0]);
      EXPECT_EQ(r.shape.Points, s.Points);
      EXPECT_EQ(r.shape.PointFlags, s.PointFlags);
    }
  }
}

TEST(SelectionFile, SavesAndLoadsFiles) {
  const std::string dir = TempDir();
  const std::string name = dir + "/shape.qxs";
  TShapeManager s;
  s.Points = {{0, 0}, {8, 3}, {2, 9}};
  ASSERT_TRUE(SaveSelectionToFile(s, name, ssPolygon, TRect{}));
  EXPECT_FALSE(std::filesystem::exists(name + ".tmp~"));
  TShapeManager t;
  TMyShape kind = ssRect;
  TRect r;
  ASSERT_TRUE(LoadSelectionFromFile(t, name, kind, r));
  EXPECT_EQ(t.Points, s.Points);
  EXPECT_EQ(kind, ssPolygon);
  // a shape that does not write leaves the file as it was, and says why
  {
    MessageCounter messages;
    TFileError error;
    EXPECT_FALSE(SaveSelectionToFile(TShapeManager(), name, ssPolygon, TRect{}, &error));
    EXPECT_EQ(error.Message, TextId::GetShpMsgStreamError);
    EXPECT_EQ(error.FileName, name);
    EXPECT_EQ(messages.count, 0);
  }
  ASSERT_TRUE(LoadSelectionFromFile(t, name, kind, r));
  EXPECT_EQ(t.Points, s.Points);
  const std::string bad = dir + "/bad.qxs";
  {
    std::FILE* f = std::fopen(bad.c_str(), "wb");
    std::fputs("-11\r\n", f);
    std::fclose(f);
  }
  TFileError error;
  EXPECT_FALSE(LoadSelectionFromFile(t, bad, kind, r, &error));
  EXPECT_EQ(error.FileName, bad);
  EXPECT_EQ(FileErrorText(error), "Fichier de données invalide !");
  EXPECT_THROW(LoadSelectionFromFile(t, dir + "/missing.qxs", kind, r), EFileStreamError);
  EXPECT_THROW(SaveSelectionToFile(s, dir + "/no/such/folder/x.qxs", ssPolygon, TRect{}), EFileStreamError);
}

TEST(SelectionFile, WritesTheFuzzSeeds) {
  // the seed corpus of SelectionFile_fuzz: one file of each variant
  const std::string dir = TempDir() + "/fuzz-seeds";
  std::filesystem::create_directories(dir);
  const TBitmap blobs = RandomBlobs(40, 30, 23, 6);
  TShapeManager traced;
  TRect tr;
  traced.ShapeFromMask(&blobs, 128, tr);
  TShapeManager poly;
  poly.Points = {{0, 0}, {30, 4}, {12, 40}};
  int n = 0;
  auto save = [&](const std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen((dir + "/seed" + std::to_string(n++) + ".qxs").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  };
  for (int k = 0; k < kShapeKindCount; ++k) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(WriteSelection(k == ssMultiPoints ? traced : poly, bytes, TMyShape(k), TRect{0, 0, 20, 12}));
    save(bytes);
  }
  std::vector<uint8_t> lf;
  WriteSelection(poly, lf, ssPolygon, TRect{});
  save(WithLineEnds(lf, "\n", 99));
  save(Bytes("-6\r\n40\r\n20\r\n"));
  save(TracedDots(13).Points.empty() ? std::vector<uint8_t>{} : [&] {
    std::vector<uint8_t> b;
    WriteSelection(TracedDots(13), b, ssMultiPoints, TRect{});
    return WithLineEnds(b, "\r", 2);
  }());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), n);
}

TEST(QxsPicture, DrawsTheShapeOrFails) {
  SetShapePreviewFitMode();
  MessageCounter messages;
  TBitmap pic(3, 3, pf24bit, clBlack);
  EXPECT_FALSE(LoadQxsPicture(nullptr, 0, pic));
  EXPECT_TRUE(pic.Empty());
  const std::vector<uint8_t> bad = Bytes("-11\r\n40\r\n20\r\n");
  EXPECT_FALSE(LoadQxsPicture(bad.data(), bad.size(), pic));
  EXPECT_EQ(messages.count, 0);  // the registry reports it
  EXPECT_TRUE(SelectionFileShowErrors());

  // own size: the shape plus a margin of 1/12 of its larger side
  const std::vector<uint8_t> rect = Bytes("-1\r\n120\r\n60\r\n");
  ASSERT_TRUE(LoadQxsPicture(rect.data(), rect.size(), pic));
  EXPECT_EQ(pic.Width(), 140);
  EXPECT_EQ(pic.Height(), 80);
  EXPECT_EQ(pic.GetPixel(9, 40), clWhite);
  EXPECT_EQ(pic.GetPixel(10, 40), clBlack);
  EXPECT_EQ(pic.GetPixel(129, 69), clBlack);
  EXPECT_EQ(pic.GetPixel(130, 69), clWhite);

  // the box: 150 x 150, the shape fitted and centred
  ShapePreviewSettings().OwnSize = false;
  ASSERT_TRUE(LoadQxsPicture(rect.data(), rect.size(), pic));
  EXPECT_EQ(pic.Width(), 150);
  EXPECT_EQ(pic.Height(), 150);
  EXPECT_EQ(pic.GetPixel(75, 75), clBlack);
  EXPECT_EQ(pic.GetPixel(75, 30), clWhite);
  EXPECT_EQ(pic.GetPixel(12, 75), clBlack);
  EXPECT_EQ(pic.GetPixel(11, 75), clWhite);

  // coloured: no margin, the background colour, no smoothing
  SetShapePreviewColors(0x336699);
  const std::vector<uint8_t> ellipse = Bytes("-2\r\n30\r\n20\r\n");
  ASSERT_TRUE(LoadQxsPicture(ellipse.data(), ellipse.size(), pic));
  EXPECT_EQ(pic.Width(), 30);
  EXPECT_EQ(pic.GetPixel(0, 0), 0x336699u);
  EXPECT_EQ(pic.GetPixel(15, 10), clBlack);

  // a shape of a million pixels square comes out at the largest picture size
  SetShapePreviewFitMode();
  const std::vector<uint8_t> huge = Bytes("-2\r\n1000000\r\n500000\r\n");
  ASSERT_TRUE(LoadQxsPicture(huge.data(), huge.size(), pic));
  EXPECT_LE(pic.Width(), kMaxQxsPictureSide);
  EXPECT_LE(pic.Height(), kMaxQxsPictureSide);
  EXPECT_GE(pic.Width(), kMaxQxsPictureSide - 1);

  // a traced outline keeps its pixels at its own size
  const TBitmap blobs = RandomBlobs(50, 40, 3, 5);
  TShapeManager traced;
  TRect tr;
  traced.ShapeFromMask(&blobs, 128, tr);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(WriteSelection(traced, bytes, ssMultiPoints, TRect{}));
  SetShapePreviewColors(clWhite);
  ASSERT_TRUE(LoadQxsPicture(bytes.data(), bytes.size(), pic));
  EXPECT_TRUE(SameBitmaps(pic, traced.RenderMask()));
  SetShapePreviewFitMode();
}
