#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <numbers>
#include <vector>

#include "document/Resample.h"
#include "pixel/ImgUtils.h"
#include "platform/core/Parallel.h"
#include "support/TestImages.h"

// GraphicsMagick's headers after ours: they define macros of their own.
#include <magick/api.h>

using namespace qm;
using namespace qm::test;

namespace {

// The filters as the textbooks write them (Wolberg; Mitchell and Netravali 1988),
// with their supports.
struct TKernel {
  std::function<double(double)> Weight;
  double Support;
};

double Sinc(double x) { return x == 0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x); }

// Mitchell-Netravali's cubic with parameters b and c.
double CubicBC(double x, double b, double c) {
  x = std::fabs(x);
  if (x < 1) return ((12 - 9 * b - 6 * c) * x * x * x + (-18 + 12 * b + 6 * c) * x * x + (6 - 2 * b)) / 6;
  if (x < 2) return ((-b - 6 * c) * x * x * x + (6 * b + 30 * c) * x * x + (-12 * b - 48 * c) * x + (8 * b + 24 * c)) / 6;
  return 0;
}

TKernel Textbook(TResampleFilter f) {
  switch (f) {
    case TResampleFilter::Box: return {[](double x) { return x >= -0.5 && x < 0.5 ? 1.0 : 0.0; }, 0.5};
    case TResampleFilter::Triangle: return {[](double x) { return std::max(0.0, 1 - std::fabs(x)); }, 1};
    case TResampleFilter::Hermite:
      return {[](double x) {
                x = std::fabs(x);
                return x < 1 ? (2 * x - 3) * x * x + 1 : 0.0;
              },
              1};
    case TResampleFilter::Bell:
      return {[](double x) {
                x = std::fabs(x);
                return x < 0.5 ? 0.75 - x * x : x < 1.5 ? 0.5 * (x - 1.5) * (x - 1.5) : 0.0;
              },
              1.5};
    case TResampleFilter::BSpline: return {[](double x) { return CubicBC(x, 1, 0); }, 2};
    case TResampleFilter::Lanczos: return {[](double x) { return std::fabs(x) < 3 ? Sinc(x) * Sinc(x / 3) : 0.0; }, 3};
    case TResampleFilter::Mitchell: return {[](double x) { return CubicBC(x, 1.0 / 3, 1.0 / 3); }, 2};
  }
  return {};
}

// One row resampled from n to m samples: each target sample centred on its source
// position, the kernel widened by the ratio when reducing, the weights normalised; a
// support of half a sample or less samples the nearest pixel.
std::vector<double> ResampleRow(const std::vector<double>& in, int m, const TKernel& k) {
  const int n = int(in.size());
  const double factor = double(m) / n;
  double scale = std::max(1.0 / factor, 1.0);
  double support = scale * k.Support;
  if (support <= 0.5) {
    support = 0.5 + 1e-12;
    scale = 1;
  }
  std::vector<double> out(static_cast<size_t>(m));
  for (int x = 0; x < m; ++x) {
    const double center = (x + 0.5) / factor;
    const int start = std::max(int(center - support + 0.5), 0);
    const int stop = std::min(int(center + support + 0.5), n);
    double sum = 0, density = 0;
    for (int j = start; j < stop; ++j) {
      const double w = k.Weight((j - center + 0.5) / scale);
      sum += w * in[size_t(j)];
      density += w;
    }
    out[size_t(x)] = density != 0 ? sum / density : sum;
  }
  return out;
}

// A row of n pixels (a single row isolates the horizontal pass; a column the vertical
// one): a smooth wave with a sharp step, different in each channel.
TBitmap Line(int n, bool vertical) {
  TBitmap b(vertical ? 1 : n, vertical ? n : 1);
  for (int i = 0; i < n; ++i) {
    const int v = int(120 + 100 * std::sin(i * 0.7)) + (i > n / 2 ? 30 : 0);
    b.SetPixel(vertical ? 0 : i, vertical ? i : 0, RGB(std::clamp(v, 0, 255), (i * 37) & 255, i % 5 == 0 ? 255 : 0));
  }
  return b;
}

std::vector<double> Channel(const TBitmap& b, int c) {
  std::vector<double> v;
  const bool vertical = b.Width() == 1;
  for (int i = 0; i < (vertical ? b.Height() : b.Width()); ++i) v.push_back(b.ScanLine(vertical ? i : 0)[(vertical ? 0 : i) * 3 + c]);
  return v;
}

// The library's own road from packed bytes to packed bytes: its import, its resize,
// its export.
TBitmap ThroughTheLibrary(const TBitmap& src, int w, int h, FilterTypes kind) {
  std::vector<uint8_t> in(size_t(src.Width()) * size_t(src.Height()) * 3), out(size_t(w) * size_t(h) * 3);
  for (int y = 0; y < src.Height(); ++y)
    std::copy_n(src.ScanLine(y), size_t(src.Width()) * 3, in.begin() + ptrdiff_t(y) * src.Width() * 3);
  ExceptionInfo ex;
  GetExceptionInfo(&ex);
  Image* image = ConstituteImage(unsigned(src.Width()), unsigned(src.Height()), "BGR", CharPixel, in.data(), &ex);
  Image* sized = ResizeImage(image, unsigned(w), unsigned(h), kind, 1.0, &ex);
  DispatchImage(sized, 0, 0, unsigned(w), unsigned(h), "BGR", CharPixel, out.data(), &ex);
  DestroyImage(sized);
  DestroyImage(image);
  DestroyExceptionInfo(&ex);
  TBitmap b(w, h);
  for (int y = 0; y < h; ++y) std::copy_n(out.begin() + ptrdiff_t(y) * w * 3, size_t(w) * 3, b.ScanLine(y));
  return b;
}

}  // namespace

// The pixels handed to the library and taken back from it directly, on several
// threads, are the ones its own import and export of packed bytes give, whether the
// picture goes in one call or in bands.
TEST(Resample, GivesTheLibrarysOwnBytes) {
  const struct {
    int W, H, W2, H2;
    TResampleFilter Filter;
    FilterTypes Kind;
  } cases[] = {{501, 400, 250, 200, TResampleFilter::Lanczos, LanczosFilter},
               {403, 300, 302, 225, TResampleFilter::Triangle, TriangleFilter},
               {200, 130, 401, 260, TResampleFilter::Mitchell, MitchellFilter}};
  const TBitmap photo = RandomBitmap(501, 400, 12);
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.W << "x" << c.H << " -> " << c.W2 << "x" << c.H2);
    TBitmap src;
    CopyBitmapRegion(photo, src, TRect{0, 0, c.W, c.H});
    EnsureGraphicsMagick();
    const TBitmap want = ThroughTheLibrary(src, c.W2, c.H2, c.Kind);
    for (int threads : {1, 8}) {
      SetEngineThreads(threads);
      TBitmap got;
      ASSERT_TRUE(Resample(src, c.W2, c.H2, c.Filter, got));
      EXPECT_TRUE(SameBitmaps(got, want)) << threads << " threads";
    }
  }
  SetEngineThreads(0);
}

// Every filter code the dialogs pass, reducing and enlarging along each axis, against
// the textbook filter (the library works in 16 bits between passes: one level apart
// at most). Each filter also differs from every other one somewhere, so a code mapped
// to the wrong filter fails.
TEST(Resample, EveryFilterFollowsItsTextbookWeights) {
  const struct {
    int From, To;
  } sizes[] = {{40, 17}, {17, 40}, {9, 25}, {50, 49}};
  for (bool vertical : {false, true}) {
    for (const auto& s : sizes) {
      const TBitmap src = Line(s.From, vertical);
      std::vector<TBitmap> results;
      for (int code = 0; code < kResampleFilterCount; ++code) {
        const auto filter = TResampleFilter(code);
        SCOPED_TRACE(::testing::Message() << "filter " << code << ", " << s.From << " -> " << s.To
                                          << (vertical ? " rows" : " columns"));
        TBitmap out;
        ASSERT_TRUE(Resample(src, vertical ? 1 : s.To, vertical ? s.To : 1, filter, out));
        ASSERT_EQ(out.Width() * out.Height(), s.To);
        for (int c = 0; c < 3; ++c) {
          const std::vector<double> want = ResampleRow(Channel(src, c), s.To, Textbook(filter));
          const std::vector<double> got = Channel(out, c);
          for (int i = 0; i < s.To; ++i)
            EXPECT_NEAR(got[size_t(i)], std::clamp(std::nearbyint(want[size_t(i)]), 0.0, 255.0), 1.0)
                << "channel " << c << " sample " << i;
        }
        results.push_back(std::move(out));
      }
      for (int a = 0; a < kResampleFilterCount; ++a)
        for (int b = a + 1; b < kResampleFilterCount; ++b)
          if (s.From != 50 || (a != int(TResampleFilter::Box) && b != int(TResampleFilter::Box)))
            EXPECT_FALSE(SameBitmaps(results[size_t(a)], results[size_t(b)])) << a << " and " << b;
    }
  }
}

// The picture's transparency goes with it; what the library cannot take is refused
// with the target untouched.
TEST(Resample, KeepsTheKeyAndRefusesWhatItCannotTake) {
  TBitmap src = RandomBitmap(30, 20, 5);
  src.Transparent = true;
  src.TransparentColor = RGB(255, 0, 255);
  TBitmap out;
  ASSERT_TRUE(Resample(src, 15, 10, TResampleFilter::Mitchell, out));
  EXPECT_TRUE(out.Transparent);
  EXPECT_EQ(out.TransparentColor, RGB(255, 0, 255));
  const TBitmap before = out.Clone();
  EXPECT_FALSE(Resample(src, 0, 10, TResampleFilter::Box, out));
  EXPECT_FALSE(Resample(TBitmap(), 5, 5, TResampleFilter::Box, out));
  EXPECT_TRUE(SameBitmaps(out, before));
}

// A picture resized on several threads, in bands of rows where the vertical ratio lets
// them match, has the bytes of the one-thread result, for every filter: ratios of a
// half, a quarter, one and two (bands), and three quarters (one call); widths that
// need packing.
TEST(Resample, AnyThreadCountGivesTheSameBytes) {
  const struct {
    int W, H, W2, H2;
  } sizes[] = {{501, 400, 217, 200}, {500, 400, 250, 100}, {301, 260, 150, 520}, {500, 400, 333, 400},
               {500, 400, 375, 300}};
  const TBitmap photo = RandomBitmap(501, 520, 11);
  for (const auto& s : sizes) {
    TBitmap src;
    CopyBitmapRegion(photo, src, TRect{0, 0, s.W, s.H});
    for (int code = 0; code < kResampleFilterCount; ++code) {
      SCOPED_TRACE(::testing::Message() << "filter " << code << ", " << s.W << "x" << s.H << " -> " << s.W2 << "x"
                                        << s.H2);
      SetEngineThreads(1);
      TBitmap one;
      ASSERT_TRUE(Resample(src, s.W2, s.H2, TResampleFilter(code), one));
      for (int threads : {2, 3, 8}) {
        SetEngineThreads(threads);
        TBitmap many;
        ASSERT_TRUE(Resample(src, s.W2, s.H2, TResampleFilter(code), many));
        EXPECT_TRUE(SameBitmaps(one, many)) << threads << " threads";
      }
    }
  }
  SetEngineThreads(0);
}
