#include <gtest/gtest.h>

#include <cstring>

#include "document/SelectionHost.h"
#include "document/ShapeTestImages.h"
#include "document/qt/SelectionMask.h"
#include "document/qt/ShapeDraw.h"
#include "pixel/Blend.h"
#include "pixel/ImgUtils.h"
#include "platform/core/Parallel.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

// A document as the selection masks see it: a background, an active layer placed
// in the image, a selection, the copy taken before a change.
class Document : public TSelectionHost {
 public:
  Document(int w, int h) : base(w, h, pf24bit, clWhite) {}
  // The active layer is the background unless one is added.
  void AddLayer(int x, int y, int w, int h) {
    layer = RandomBitmap(w, h, 99);
    origin = TPoint{x, y};
    separate = true;
  }
  void Select(TMyShape kind, const TRect& r, bool inverted = false) {
    sel.Visible = true;
    sel.SetShape(kind);
    sel.SetSelectionRect(r);
    sel.SetOutlineInset(inverted);
  }
  TBitmap& Active() { return separate ? layer : base; }
  // A change of the whole layer, with the copy from before it.
  void ChangeEverything(uint32_t seed) {
    pre = Active().Clone();
    Active() = RandomBitmap(Active().Width(), Active().Height(), seed);
  }

  TBitmap* ActiveLayerBitmap() override { return hasDocument ? &Active() : nullptr; }
  TPoint ActiveLayerOrigin() override { return separate ? origin : TPoint{}; }
  TBitmap* BaseLayerBitmap() override { return hasDocument ? &base : nullptr; }
  TSelectionOverlay* ActiveSelection() override { return hasDocument ? &sel : nullptr; }
  bool IsActiveImageTrueColor() override { return trueColor; }
  const TBitmap* PreChangeCopy() override { return &pre; }
  TSelectionSmoothing SelectionSmoothing() override { return smoothing; }
  void ResnapUndoStep(const TRect& r) override {
    resnaps.push_back(r);
    layerAtResnap = Active().Clone();
  }

  TBitmap base, layer, pre, layerAtResnap;
  TPoint origin;
  bool separate = false, hasDocument = true, trueColor = true;
  TSelectionOverlay sel;
  TSelectionSmoothing smoothing = selSmoothEdge;
  std::vector<TRect> resnaps;
};

// A traced shape for the selection: random blobs traced, its rect where it was.
void SelectBlobs(Document& d, const TRect& where, uint32_t seed) {
  const TBitmap blobs = RandomBlobs(where.Width(), where.Height(), seed, 8);
  TRect r;
  d.sel.Shape.ShapeFromMask(&blobs, 128, r);
  d.Select(ssMultiPoints, OffsetRect(r, where.Left, where.Top));
}

void SelectPolygon(Document& d, const TRect& where) {
  d.sel.Shape.Points = {{0, 0}, {where.Width() - 1, where.Height() / 3}, {where.Width() / 2, where.Height() - 1},
                        {where.Width() / 5, where.Height() / 2}};
  d.sel.Shape.Bounds = TRect{0, 0, where.Width() - 1, where.Height() - 1};
  d.sel.Shape.PointFlags.clear();
  d.sel.Shape.DisplayPoints.clear();
  d.Select(ssPolygon, where);
}

// The selection as the hit test sees it, over the image.
TBitmap HitMask(Document& d) {
  TBitmap m(d.base.Width(), d.base.Height(), pf24bit, clWhite);
  for (int y = 0; y < m.Height(); ++y)
    for (int x = 0; x < m.Width(); ++x)
      if (d.sel.Shape.HitTest(d.sel.SelRect, TPoint{x, y}, d.sel.ShapeKind)) Px(m, x, y)[0] = 0;
  return m;
}

bool SameMaskBytes(const TBitmap& a, int ax, int ay, const TBitmap& b, int bx, int by, int w, int h) {
  for (int y = 0; y < h; ++y)
    if (std::memcmp(Px(a, ax, ay + y), Px(b, bx, by + y), size_t(w) * 3) != 0) return false;
  return true;
}

// Pixels within radius (Chebyshev) of a change between inside and outside.
std::vector<bool> NearEdge(const TBitmap& m, int radius) {
  const int w = m.Width(), h = m.Height();
  std::vector<bool> edge(size_t(w) * h), out(size_t(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      edge[size_t(y) * w + x] = (x + 1 < w && Inside(m, x + 1, y) != Inside(m, x, y)) ||
                                (y + 1 < h && Inside(m, x, y + 1) != Inside(m, x, y));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (!edge[size_t(y) * w + x]) continue;
      for (int yy = std::max(0, y - radius); yy <= std::min(h - 1, y + radius + 1); ++yy)
        for (int xx = std::max(0, x - radius); xx <= std::min(w - 1, x + radius + 1); ++xx) out[size_t(yy) * w + xx] = true;
    }
  return out;
}

const TMyShape kKinds[] = {ssRect, ssEllipse, ssRoundRect, ssTriangle1, ssTriangle2, ssTriangle3,
                           ssTriangle4, ssLosange, ssPolygon, ssMultiPoints};

void SelectKind(Document& d, TMyShape k, const TRect& r, bool inverted = false) {
  if (k == ssMultiPoints) SelectBlobs(d, r, 7);
  else if (k == ssPolygon) SelectPolygon(d, r);
  else d.Select(k, r);
  d.sel.SetOutlineInset(inverted);
}

}  // namespace

TEST(SelectionMask, UsableSelections) {
  Document d(50, 40);
  EXPECT_FALSE(HasUsableSelection(d, true));  // nothing shown
  d.Select(ssRect, TRect{5, 5, 20, 20});
  EXPECT_FALSE(HasUsableSelection(d, false));
  EXPECT_TRUE(HasUsableSelection(d, true));
  d.sel.SetOutlineInset(true);
  EXPECT_TRUE(HasUsableSelection(d, false));
  d.Select(ssEllipse, TRect{5, 5, 20, 20});
  EXPECT_TRUE(HasUsableSelection(d, false));
  d.hasDocument = false;
  EXPECT_FALSE(HasUsableSelection(d, true));
  EXPECT_EQ(CreateSelectionMaskBitmap(d, true), nullptr);
  EXPECT_EQ(BuildSelectionMask(d, false), nullptr);
  d.hasDocument = true;
  auto m = CreateSelectionMaskBitmap(d, false);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->Width(), 50);
  EXPECT_EQ(m->GetPixel(49, 39), clBlack);
  // the overlay never keeps a line shape
  d.sel.SetShape(ssLineWidth);
  EXPECT_EQ(d.sel.ShapeKind, ssRect);
}

TEST(SelectionMask, AgreesWithTheHitTestAwayFromTheEdge) {
  for (TMyShape k : kKinds) {
    for (const TRect& r : {TRect{7, 5, 71, 46}, TRect{20, 11, 33, 60}, TRect{-10, 30, 40, 75}}) {
      Document d(80, 64);
      SelectKind(d, k, r);
      auto mask = BuildMergedSelectionMask(d, false);
      ASSERT_NE(mask, nullptr);
      const TBitmap hit = HitMask(d);
      if (k == ssRoundRect) {
        // the hit test cuts the corners as an octagon: only the middle must agree
        for (int y = r.Top + r.Height() / 4; y < r.Bottom - r.Height() / 4; ++y)
          for (int x = std::max(0, r.Left); x < std::min(80, r.Right); ++x)
            if (y >= 0 && y < 64) {
              ASSERT_EQ(Inside(*mask, x, y), Inside(hit, x, y));
            }
        continue;
      }
      ASSERT_TRUE(DifferOnlyNearEdges(*mask, hit)) << int(k) << " " << r.Left;
    }
  }
}

TEST(SelectionMask, RectsLayersAndInversion) {
  Document d(90, 70);
  d.AddLayer(20, 10, 60, 50);
  d.Select(ssEllipse, TRect{25, 15, 75, 55});
  auto whole = BuildSelectionMask(d, false);
  ASSERT_NE(whole, nullptr);
  EXPECT_EQ(whole->Width(), 60);
  EXPECT_EQ(whole->GetPixel(30, 25), clBlack);  // the centre, in layer coordinates
  EXPECT_EQ(whole->GetPixel(5, 5), clWhite);
  auto part = BuildSelectionMask(d, TRect{10, 20, 70, 30}, false);  // cut to the layer
  ASSERT_NE(part, nullptr);
  EXPECT_EQ(part->Width(), 50);
  EXPECT_TRUE(SameMaskBytes(*part, 0, 0, *whole, 10, 20, 50, 10));
  EXPECT_EQ(BuildSelectionMask(d, TRect{60, 0, 90, 10}, false), nullptr);
  auto inv = BuildSelectionMask(d, true);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 60; ++x) ASSERT_EQ(Px(*inv, x, y)[0], 255 - Px(*whole, x, y)[0]);
  auto merged = BuildMergedSelectionMask(d, false);
  ASSERT_NE(merged, nullptr);
  EXPECT_EQ(merged->Width(), 90);
  EXPECT_TRUE(SameMaskBytes(*merged, 20, 10, *whole, 0, 0, 60, 50));
  // hidden: the whole layer
  d.sel.Visible = false;
  auto hidden = BuildSelectionMask(d, false);
  EXPECT_TRUE(SameBitmaps(*hidden, TBitmap(60, 50, pf24bit, clBlack)));
  auto hiddenMerged = BuildMergedSelectionMask(d, false);
  EXPECT_EQ(hiddenMerged->GetPixel(19, 30), clWhite);
  EXPECT_EQ(hiddenMerged->GetPixel(20, 30), clBlack);
}

TEST(RestrictChangeToSelection, HardEdgeBringsBackExactlyWhatLiesOutside) {
  for (TMyShape k : kKinds)
    for (bool inverted : {false, true}) {
      Document d(96, 72);
      d.AddLayer(8, 4, 80, 64);
      SelectKind(d, k, TRect{15, 12, 70, 60}, inverted);
      d.smoothing = selSmoothNone;
      d.ChangeEverything(5);
      const TBitmap changed = d.layer.Clone();
      RestrictChangeToSelection(d, seProgressive);
      auto sel = BuildSelectionMask(d, inverted);  // black where selected
      const TRect work = OffsetRect(d.sel.SelRect, -8, -4);
      for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 80; ++x) {
          const bool selected = Inside(*sel, x, y);
          // outside the working rect nothing was restored (the change stays)
          const TBitmap& want = selected || (!inverted && !PtInRect(work, TPoint{x, y})) ? changed : d.pre;
          ASSERT_EQ(std::memcmp(Px(d.layer, x, y), Px(want, x, y), 3), 0) << int(k) << inverted << " " << x << "," << y;
        }
    }
}

TEST(RestrictChangeToSelection, ModesFollowTheMenuAndTheShape) {
  auto run = [](TMyShape k, TSelectionEdge mode, TSelectionSmoothing sm, bool trueColor) {
    Document d(80, 60);
    SelectKind(d, k, TRect{10, 8, 70, 52});
    d.smoothing = sm;
    d.trueColor = trueColor;
    d.ChangeEverything(3);
    RestrictChangeToSelection(d, mode);
    return d.base.Clone();
  };
  for (TMyShape k : {ssEllipse, ssTriangle1, ssPolygon, ssMultiPoints}) {
    const TBitmap hard = run(k, seHard, selSmoothEdge, true);
    EXPECT_TRUE(SameBitmaps(run(k, seProgressive, selSmoothNone, true), hard));  // "Aucun": every mode is 0
    EXPECT_TRUE(SameBitmaps(run(k, seSmooth, selSmoothNone, true), hard));
    EXPECT_TRUE(SameBitmaps(run(k, seSmooth, selSmoothEdge, false), hard));  // not true colour
    EXPECT_TRUE(SameBitmaps(run(k, seProgressive, selSmoothEdge, true), run(k, seSmooth, selSmoothEdge, true)));
    EXPECT_FALSE(SameBitmaps(run(k, seProgressive, selSmoothProgressive, true), hard)) << int(k);
  }
  EXPECT_TRUE(SameBitmaps(run(ssRect, seSmooth, selSmoothEdge, true), run(ssRect, seHard, selSmoothEdge, true)));
  // a plain rectangle is only restored with the progressive edge
  const TBitmap untouched = [] {
    Document d(80, 60);
    d.ChangeEverything(3);
    return d.base.Clone();
  }();
  EXPECT_TRUE(SameBitmaps(run(ssRect, seHard, selSmoothEdge, true), untouched));
  EXPECT_FALSE(SameBitmaps(run(ssRect, seProgressive, selSmoothProgressive, true), untouched));
}

TEST(RestrictChangeToSelection, SoftEdgesKeepTheMiddleAndRestoreTheFarOutside) {
  for (TSelectionEdge mode : {seProgressive, seSmooth})
    for (TMyShape k : {ssEllipse, ssLosange, ssPolygon, ssMultiPoints})
      for (bool inverted : {false, true}) {
        Document d(120, 100);
        SelectKind(d, k, TRect{10, 10, 110, 90}, inverted);
        d.smoothing = mode == seProgressive ? selSmoothProgressive : selSmoothEdge;
        d.ChangeEverything(11);
        const TBitmap changed = d.base.Clone();
        RestrictChangeToSelection(d, mode);
        auto sel = BuildMergedSelectionMask(d, inverted);
        const std::vector<bool> near = NearEdge(*sel, 10);
        for (int y = 0; y < 100; ++y)
          for (int x = 0; x < 120; ++x) {
            // pixels more than 10 away from the edge are wholly in or out
            if (near[size_t(y) * 120 + size_t(x)]) continue;
            const TRect work{10, 10, 110, 90};
            const bool keep = Inside(*sel, x, y) || (!inverted && !PtInRect(work, TPoint{x, y}));
            ASSERT_EQ(std::memcmp(Px(d.base, x, y), Px(keep ? changed : d.pre, x, y), 3), 0)
                << mode << int(k) << inverted << " " << x << "," << y;
          }
      }
}

TEST(RestrictChangeToSelection, ASmallSelectionGivesWhatTheWholeLayerMaskGives) {
  // the mask is only made around the selection, small or covering most of the layer:
  // compare with the layer-sized one
  for (TSelectionEdge mode : {seHard, seProgressive, seSmooth})
    for (TMyShape k : kKinds)
      for (bool inverted : {false, true})
        for (TRect selected : {TRect{40, 50, 120, 110}, TRect{-20, 20, 215, 190}}) {
          Document d(260, 200);
          d.AddLayer(-30, 12, 250, 180);
          SelectKind(d, k, selected, inverted);
          d.smoothing = selSmoothProgressive;
          d.ChangeEverything(13);
          TBitmap want = d.layer.Clone();
          const TSelectionEdge m = mode == seSmooth && k == ssRect ? seHard : mode;
          auto mask = ApplySelectionMaskToLayer(d, m);
          ASSERT_NE(mask, nullptr);
          TRect rect = OffsetRect(d.sel.SelRect, 30, -12);
          const int grow = inverted ? (m == 1 ? 7 : m == 2 ? 1 : 0) : 0;
          rect = TRect{rect.Left - grow, rect.Top - grow, rect.Right + grow, rect.Bottom + grow};
          if (HasUsableSelection(d, m == 1))
            CopyBitmapRectMasked(d.pre, GetBitmapRect(d.pre), want, 0, 0, rect, 100, *mask);
          RestrictChangeToSelection(d, mode);
          ASSERT_TRUE(SameBitmaps(d.layer, want)) << mode << int(k) << inverted;
        }
}

// The previews of one change: a restriction through the cache gives what a fresh mask
// gives, for a small selection (the mask made around it) and a large one (over the
// whole layer), and follows a selection that moved.
TEST(RestrictChangeToSelection, ACacheGivesWhatAFreshMaskGives) {
  for (TRect r : {TRect{40, 50, 120, 110}, TRect{5, 5, 250, 190}}) {
    Document d(260, 200);
    SelectKind(d, ssEllipse, r);
    d.ChangeEverything(30);
    TRestoreMaskCache cache;
    for (uint32_t preview = 0; preview < 3; ++preview) {
      if (preview == 2) d.sel.SetSelectionRect(OffsetRect(r, 7, 3));
      const TBitmap changed = RandomBitmap(260, 200, 40 + preview);
      d.base = changed.Clone();
      RestrictChangeToSelection(d, seProgressive);
      const TBitmap fresh = d.base.Clone();
      d.base = changed.Clone();
      RestrictChangeToSelection(d, seProgressive, &cache);
      ASSERT_TRUE(SameBitmaps(d.base, fresh)) << r.Right << " preview " << preview;
      EXPECT_TRUE(cache.Valid);
    }
  }
}

// Commands in a row keep their mask from one to the next: an outline redrawn inside the
// same rectangle (a polygon's points, traced blobs of another seed), an inverted one or
// another edge each give what a fresh mask gives.
TEST(RestrictChangeToSelection, CommandsInARowFollowAnOutlineRedrawnInTheSameRectangle) {
  const TRect where{30, 20, 190, 150};
  struct Step {
    int outline;  // 0, 1 polygons; 2, 3 blobs of two seeds
    bool inverted;
    TSelectionEdge edge;
  };
  const Step steps[] = {{0, false, seProgressive}, {1, false, seProgressive}, {1, true, seProgressive},
                        {2, false, seProgressive}, {3, false, seProgressive}, {3, false, seHard},
                        {0, false, seSmooth}};
  Document d(220, 170);
  for (const Step& s : steps) {
    if (s.outline == 0) SelectPolygon(d, where);
    else if (s.outline == 1) {
      SelectPolygon(d, where);
      d.sel.Shape.Points[2] = TPoint{where.Width() / 4, where.Height() - 1};  // same bounds
      d.Select(ssPolygon, where);
    } else {
      SelectBlobs(d, where, s.outline == 2 ? 5 : 9);
    }
    d.sel.SetOutlineInset(s.inverted);
    d.ChangeEverything(11 + s.outline);
    const TBitmap changed = d.base.Clone();
    RestrictChangeToSelection(d, s.edge, nullptr);
    const TBitmap kept = d.base.Clone();
    d.base = changed.Clone();
    TRestoreMaskCache fresh;
    RestrictChangeToSelection(d, s.edge, &fresh);
    ASSERT_TRUE(SameBitmaps(kept, d.base)) << s.outline << s.inverted << int(s.edge);
  }
}

TEST(RestrictChangeToSelection, HardEdgesOverMostOfALayerMatchTheMaskAtAnyThreadCount) {
  // Shapes filled by rows are restored run by run without a mask: the same pixels as
  // the layer-sized restore mask, over a selection that reaches past the layer.
  for (TMyShape k : {ssEllipse, ssRoundRect, ssRect, ssTriangle2})
    for (bool inverted : {false, true})
      for (const TRect& where : {TRect{-17, 9, 391, 303}, TRect{3, 2, 13, 300}}) {
        Document d(420, 320);
        d.AddLayer(5, -6, 400, 300);
        d.Select(k, where, inverted);
        d.smoothing = selSmoothNone;
        d.ChangeEverything(17);
        const TBitmap changed = d.layer.Clone();
        TBitmap want = changed.Clone();
        auto mask = ApplySelectionMaskToLayer(d, seHard);
        ASSERT_NE(mask, nullptr);
        TRect rect = OffsetRect(where, -5, 6);
        ClipRectToBitmap(rect, want);
        if (HasUsableSelection(d, false))
          CopyBitmapRectMasked(d.pre, GetBitmapRect(d.pre), want, 0, 0, rect, 100, *mask);
        for (int threads : {1, 3, 8}) {
          SetEngineThreads(threads);
          d.layer = changed.Clone();
          RestrictChangeToSelection(d, seHard);
          ASSERT_TRUE(SameBitmaps(d.layer, want)) << int(k) << inverted << " threads " << threads;
        }
        SetEngineThreads(0);
      }
}

TEST(RestrictChangeToSelection, WithoutAPreChangeCopyNothingHappens) {
  Document d(40, 30);
  d.Select(ssEllipse, TRect{5, 5, 30, 25});
  const TBitmap before = d.base.Clone();
  RestrictChangeToSelection(d, seHard);  // no copy
  EXPECT_TRUE(SameBitmaps(d.base, before));
  d.pre = TBitmap(10, 10, pf24bit, clBlack);  // a copy of another size
  RestrictChangeToSelection(d, seHard);
  EXPECT_TRUE(SameBitmaps(d.base, before));
  EXPECT_EQ(ApplySelectionMaskToLayer(d, seHard)->Width(), 40);
  d.sel.Visible = false;
  EXPECT_EQ(ApplySelectionMaskToLayer(d, seHard), nullptr);
}

TEST(InvertSelectionShape, TwiceGivesBackTheSameArea) {
  for (TMyShape k : {ssEllipse, ssTriangle3, ssMultiPoints}) {
    Document d(70, 50);
    SelectKind(d, k, TRect{12, 6, 60, 44});
    auto start = BuildMergedSelectionMask(d, false);
    TRect r;
    InvertSelectionShape(d, r);
    EXPECT_EQ(d.sel.ShapeKind, ssMultiPoints);
    EXPECT_EQ(r, d.sel.SelRect);
    auto once = BuildMergedSelectionMask(d, false);
    for (int y = 0; y < 50; ++y)
      for (int x = 0; x < 70; ++x) ASSERT_NE(Inside(*once, x, y), Inside(*start, x, y));
    InvertSelectionShape(d, r);
    EXPECT_TRUE(SameBitmaps(*BuildMergedSelectionMask(d, false), *start)) << int(k);
  }
  // inverting everything leaves nothing: the selection stays as it was
  Document d(30, 20);
  d.Select(ssRect, TRect{0, 0, 30, 20});
  TRect r{1, 1, 2, 2};
  InvertSelectionShape(d, r);
  EXPECT_TRUE(r.IsEmpty());
  EXPECT_EQ(d.sel.ShapeKind, ssRect);
  EXPECT_EQ(d.sel.SelRect, (TRect{0, 0, 30, 20}));
}

TEST(CombineWithSelection, DrawnShapesAndTheMagicWand) {
  Document d(80, 60);
  d.AddLayer(10, 5, 60, 50);
  d.Select(ssRect, TRect{20, 20, 40, 40}, true);  // inverted: everything but the square
  TShapeManager drawn;
  TRect out;
  CombineDrawnShapeWithSelection(d, drawn, ssRect, TRect{30, 0, 50, 60}, false, out);
  EXPECT_FALSE(d.sel.Inverted);
  EXPECT_EQ(d.sel.ShapeKind, ssMultiPoints);
  EXPECT_EQ(out, (TRect{0, 0, 80, 60}));
  auto m = BuildMergedSelectionMask(d, false);
  EXPECT_TRUE(Inside(*m, 35, 30));   // added back
  EXPECT_FALSE(Inside(*m, 25, 30));  // still out
  CombineDrawnShapeWithSelection(d, drawn, ssEllipse, TRect{0, 0, 80, 60}, true, out);
  m = BuildMergedSelectionMask(d, false);
  EXPECT_FALSE(Inside(*m, 40, 30));
  EXPECT_TRUE(Inside(*m, 1, 1));

  // the wand's mask is in layer coordinates
  TBitmap wand(60, 50, pf24bit, clWhite);
  wand.FillRect(TRect{5, 5, 15, 12}, clBlack);
  CombineMaskWithSelection(d, wand, wcReplace, out);
  EXPECT_EQ(out, (TRect{15, 10, 25, 17}));
  EXPECT_EQ(d.sel.SelRect, out);
  TBitmap more(60, 50, pf24bit, clWhite);
  more.FillRect(TRect{40, 30, 50, 40}, TColor(0x808080));  // half picked still counts
  CombineMaskWithSelection(d, more, wcAdd, out);
  EXPECT_EQ(out, (TRect{15, 10, 60, 45}));
  m = BuildMergedSelectionMask(d, false);
  EXPECT_TRUE(Inside(*m, 20, 12, 254));
  EXPECT_TRUE(Inside(*m, 55, 40, 254));
  EXPECT_FALSE(Inside(*m, 40, 30, 254));
  TBitmap less(60, 50, pf24bit, clWhite);
  less.FillRect(TRect{40, 30, 50, 40}, clBlack);
  CombineMaskWithSelection(d, less, wcSubtract, out);
  EXPECT_EQ(out, (TRect{15, 10, 25, 17}));
  TBitmap nothing(60, 50, pf24bit, clWhite);
  CombineMaskWithSelection(d, nothing, wcReplace, out);  // an empty pick leaves the selection
  EXPECT_EQ(d.sel.SelRect, (TRect{15, 10, 25, 17}));
}

TEST(ConvertSelectionToBorder, MakesABandAlongTheOutline) {
  for (TMyShape k : {ssEllipse, ssTriangle1, ssRect, ssMultiPoints}) {
    Document d(100, 80);
    SelectKind(d, k, TRect{20, 15, 80, 65});
    auto before = BuildMergedSelectionMask(d, false);
    TRect r;
    ConvertSelectionToBorder(d, 6, r);
    ASSERT_FALSE(r.IsEmpty()) << int(k);
    EXPECT_EQ(d.sel.ShapeKind, ssMultiPoints);
    auto band = BuildMergedSelectionMask(d, false);
    int onEdge = 0, edges = 0;
    for (int y = 1; y < 79; ++y)
      for (int x = 1; x < 99; ++x) {
        bool edge = false, farAway = true;
        for (int dy = -5; dy <= 5; ++dy)
          for (int dx = -5; dx <= 5; ++dx) {
            const int xx = std::clamp(x + dx, 0, 99), yy = std::clamp(y + dy, 0, 79);
            if (Inside(*before, xx, yy) != Inside(*before, x, y)) {
              farAway = false;
              if (std::abs(dx) <= 1 && std::abs(dy) <= 1) edge = true;
            }
          }
        if (edge) ++edges, onEdge += Inside(*band, x, y);
        if (farAway) {
          ASSERT_FALSE(Inside(*band, x, y)) << int(k) << " " << x << "," << y;
        }
      }
    EXPECT_GT(onEdge, edges * 9 / 10) << int(k);
  }
}

TEST(StrokeSelectionOutline, FramesStrokesAndGrowsTheUndoStep) {
  Document d(60, 50);
  StrokeSelectionOutline(d, clBlack, 3, false);  // no selection: a frame
  EXPECT_EQ(d.base.GetPixel(2, 25), clBlack);
  EXPECT_EQ(d.base.GetPixel(3, 25), clWhite);
  EXPECT_EQ(d.base.GetPixel(30, 47), clBlack);
  EXPECT_TRUE(d.resnaps.empty());

  Document e(60, 50);
  e.Select(ssRect, TRect{10, 10, 40, 30});
  StrokeSelectionOutline(e, clBlack, 4, false);
  ASSERT_EQ(e.resnaps.size(), 1u);
  EXPECT_EQ(e.resnaps[0], (TRect{4, 4, 46, 36}));
  // the step is taken again before the stroke is drawn
  EXPECT_TRUE(SameBitmaps(e.layerAtResnap, TBitmap(60, 50, pf24bit, clWhite)));
  EXPECT_EQ(e.base.GetPixel(10, 20), clBlack);
  EXPECT_EQ(e.base.GetPixel(25, 20), clWhite);

  for (TMyShape k : {ssEllipse, ssTriangle2}) {
    Document f(60, 50);
    f.Select(k, TRect{10, 10, 50, 40});
    StrokeSelectionOutline(f, clBlack, 1, true);
    EXPECT_EQ(f.resnaps.size(), 1u);
    int grey = 0, black = 0;
    for (int y = 0; y < 50; ++y)
      for (int x = 0; x < 60; ++x) {
        const uint8_t v = Px(f.base, x, y)[0];
        grey += v > 0 && v < 255;
        black += v < 128;
      }
    EXPECT_GT(black, 40) << int(k);
    EXPECT_GT(grey, 10) << int(k);  // smoothed
    EXPECT_EQ(f.base.GetPixel(30, 25), clWhite);
  }
  // inverted: the layer's border too, and the step is left alone
  Document g(60, 50);
  g.Select(ssEllipse, TRect{10, 10, 50, 40}, true);
  StrokeSelectionOutline(g, clBlack, 2, false);
  EXPECT_EQ(g.base.GetPixel(0, 0), clBlack);
  EXPECT_TRUE(g.resnaps.empty());
}

TEST(SelectionShapes, PolygonsThroughTheRasteriserOrThePen) {
  Document d(60, 50);
  d.Select(ssTriangle1, TRect{5, 5, 55, 45});
  TBitmap aa(60, 50, pf24bit, clWhite), plain(60, 50, pf24bit, clWhite);
  RenderSelectionShapeToMask(d, aa, d.sel.SelRect, clBlack, true);
  RenderSelectionShapeToMask(d, plain, d.sel.SelRect, clBlack, false);
  int grey = 0, differ = 0;
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 60; ++x) {
      const uint8_t v = Px(aa, x, y)[0];
      grey += v > 0 && v < 255;
      differ += Inside(aa, x, y) != Inside(plain, x, y);
      EXPECT_TRUE(Px(plain, x, y)[0] == 0 || Px(plain, x, y)[0] == 255);
    }
  EXPECT_GT(grey, 20);
  EXPECT_LT(differ, 60);
  EXPECT_EQ(aa.GetPixel(30, 30), clBlack);

  for (int width : {1, 5}) {
    TBitmap s(60, 50, pf24bit, clWhite);
    StrokeSelectionShape(d, s, d.sel.SelRect, clBlack, true, width);
    EXPECT_EQ(s.GetPixel(30, 30), clWhite);
    EXPECT_EQ(Px(s, 30, 44)[0] < 128, true) << width;
    TBitmap p(60, 50, pf24bit, clWhite);
    StrokeSelectionShape(d, p, d.sel.SelRect, clBlack, false, width);
    EXPECT_EQ(p.GetPixel(30, 30), clWhite);
    EXPECT_EQ(p.GetPixel(30, 44), clBlack) << width;
  }
}

TEST(ShapeDraw, OverlayStylesOnAPainter) {
  TShapeManager s;
  QImage img(40, 30, QImage::Format_RGB32);
  img.fill(Qt::white);
  {
    QPainter p(&img);
    Draw(s, p, TRect{5, 5, 35, 25}, 4, ssEllipse);  // ants, phase 0: style 2, black dots on white
  }
  EXPECT_EQ(s.AntsPhase, 0);
  int black = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) black += img.pixel(x, y) == qRgb(0, 0, 0);
  EXPECT_GT(black, 20);
  EXPECT_EQ(img.pixel(20, 15), qRgb(255, 255, 255));  // no fill
  {
    QPainter p(&img);
    Draw(s, p, TRect{5, 5, 35, 25}, 3, ssEllipse);
  }
  EXPECT_EQ(s.AntsPhase, 1);
  // the XOR style drawn twice leaves the picture as it was
  QImage before = img.copy();
  {
    QPainter p(&img);
    Draw(s, p, TRect{2, 2, 30, 20}, 2, ssTriangle1);
    Draw(s, p, TRect{2, 2, 30, 20}, 2, ssTriangle1);
  }
  EXPECT_EQ(img, before);
  // a traced outline in mode 0 takes the painter's pen and brush
  const TBitmap blobs = RandomBlobs(30, 20, 4, 4);
  TRect r;
  s.ShapeFromMask(&blobs, 128, r);
  QImage traced(s.Bounds.Right + 1, s.Bounds.Bottom + 1, QImage::Format_RGB32);
  traced.fill(Qt::white);
  {
    QPainter p(&traced);
    p.setPen(Qt::black);
    p.setBrush(Qt::black);
    Draw(s, p, TRect{0, 0, s.Bounds.Right + 1, s.Bounds.Bottom + 1}, 0, ssMultiPoints);
  }
  const TBitmap want = s.RenderMask();
  for (int y = 0; y < traced.height(); ++y)
    for (int x = 0; x < traced.width(); ++x)
      ASSERT_EQ(traced.pixel(x, y) == qRgb(0, 0, 0), Px(want, x, y)[0] == 0) << x << "," << y;
}
