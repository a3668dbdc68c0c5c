// The Image, Edit and Layer menus on the real main window: flips and turns undone and
// redone byte for byte, crops, cut and paste with their masks, the layer menu's states,
// merges; and the fade and indexed-colour commands in front of their dialogs.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QKeySequence>
#include <map>
#include <set>

#include "document/LayerOps.h"
#include "document/qt/Clipboard.h"
#include "pixel/Mask.h"
#include "pixel/ImgUtils.h"
#include "platform/qt/QtBitmap.h"
#include "shell/services/CommandSet.h"
#include "shell/commands/DocumentCommands.h"
#include "shell/commands/SelectionCommands.h"
#include "support/MainFormFixture.h"
#include "support/ShellWindow.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

// Every layer as it stands: pixels, mask and place.
struct TStackShot {
  struct TLayerShot {
    uint64_t Image, Mask;
    int W, H, Left, Top;
    bool operator==(const TLayerShot&) const = default;
  };
  std::vector<TLayerShot> Layers;
  explicit TStackShot(const TLayeredImage& image) {
    for (int i = 0; i < image.GetLayerCount(); ++i) {
      const TLayerItem& l = image.Layers[i];
      Layers.push_back({Checksum(l.Image), l.Mask.Empty() ? 0 : Checksum(l.Mask), l.Image.Width(), l.Image.Height(),
                        l.Left, l.Top});
    }
  }
  bool operator==(const TStackShot&) const = default;
};

struct TDoc : Editor {
  TNewImgForm* W = nullptr;
  TDoc(int w = 120, int h = 90) {
    Start();
    const TBitmap bmp = RandomBitmap(w, h, 3);
    W = Services().CreateImageWindow(&bmp, nullptr, 16777216, true, {});
  }
  TLayeredImage& Image() { return W->Image(); }
  TCommandSet& Commands() { return Form->Commands(); }
  bool Run(const char* name) {
    Form->UpdateCommandStates();
    return Commands().Trigger(name);
  }
  // A layer of random pixels at (x, y), with a random mask when masked.
  TLayerItem& AddLayer(int x, int y, uint32_t seed, bool masked = true) {
    TBitmap mask = masked ? RandomMask(40, 30, seed) : TBitmap();
    AddLayerFromBitmap(Services().LayerHost(), MakeNewLayerName(Services().LayerHost()), RandomBitmap(40, 30, seed),
                       std::move(mask), TPoint{x, y});
    TLayerItem& layer = *Image().GetActiveLayer();
    if (!masked) layer.Mask.Clear();
    return layer;
  }
  void Select(TMyShape kind, const TRect& r) {
    W->Selection().SetShape(kind);
    W->Selection().SetSelectionRect(r);
    Form->Selection().ResetSelectionMode();
  }
  const TUndoLayerItem* Step() { return W->History().GetCurrentUndoStep(); }
  int StepKind() { return Step() ? GetUndoStepParam(*Step(), upKind) : -1; }
};

// The largest difference of one byte between two bitmaps of one size.
int MaxDifference(const TBitmap& a, const TBitmap& b) {
  int most = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < 3 * a.Width(); ++x) most = std::max(most, std::abs(a.ScanLine(y)[x] - b.ScanLine(y)[x]));
  return most;
}

}  // namespace

TEST(ImageCommands, FlipsAndTurnsUndoAndRedoByteForByte) {
  TDoc d;
  d.AddLayer(5, 7, 11);
  d.AddLayer(70, 40, 12, false);
  const struct {
    const char* Item;
    bool All;
    int Code;
  } cases[] = {
      {"MenuImageSymHoriz1", false, 0}, {"MenuImageSymHoriz2", true, 1}, {"MenuImageSymVerti1", false, 0},
      {"MenuImageSymVerti2", true, 2},  {"MenuImageRot90_1", false, 0},  {"MenuImageRot90_2", true, 3},
      {"MenuImageRot270_1", false, 0},  {"MenuImageRot270_2", true, 4},  {"MenuImageRot180_1", false, 0},
      {"MenuImageRot180_2", true, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Item);
    const TStackShot before(d.Image());
    ASSERT_TRUE(d.Run(c.Item));
    const TStackShot after(d.Image());
    EXPECT_NE(after.Layers[0], before.Layers[0]);
    // only the all-layer items move the upper layers
    EXPECT_EQ(after.Layers[1] == before.Layers[1], !c.All);
    EXPECT_EQ(d.StepKind(), int(ukWholeImage));
    EXPECT_EQ(GetUndoStepParam(*d.Step(), upFlipRotate), c.Code);
    ASSERT_TRUE(d.Run("MenuEditionUndo"));
    EXPECT_TRUE(TStackShot(d.Image()) == before);
    ASSERT_TRUE(d.Run("MenuEditionRedo"));
    EXPECT_TRUE(TStackShot(d.Image()) == after);
  }
  // the duplicate holds the same layers, titled after the original
  const std::string title = d.W->windowTitle().toStdString();
  ASSERT_TRUE(d.Run("MenuDupliquer"));
  TNewImgForm* copy = d.Services().GetActiveImgForm();
  ASSERT_NE(copy, d.W);
  EXPECT_EQ(copy->windowTitle().toStdString(), "Copie de " + title);
  EXPECT_TRUE(TStackShot(copy->Image()) == TStackShot(d.Image()));
}

TEST(ImageCommands, PlainColoursRefuseAnAlphaImageOfSeveralLayers) {
  TDoc d;
  TLayerItem& layer = d.AddLayer(5, 5, 8);
  TLayerItem& bg = d.Image().Layers[0];
  bg.CreateDefaultMask();
  // alpha is the background's mask: with layers above it, no mask is emptied
  ASSERT_TRUE(d.Run("MenuModeRGB"));
  EXPECT_TRUE(d.Said(TextId::GetTrDlgLayer1));
  EXPECT_FALSE(bg.Mask.Empty());
  EXPECT_FALSE(layer.Mask.Empty());
  d.Image().SetActiveLayerIndex(1);
  ASSERT_TRUE(d.Run("MenuCalqueFusionAll"));
  ASSERT_TRUE(d.Run("MenuModeRGB"));
  EXPECT_TRUE(d.Image().Layers[0].Mask.Empty());
  EXPECT_EQ(d.StepKind(), int(ukLayerMask));
}

TEST(ImageCommands, AutoCropAndCropToTheSelection) {
  TDoc d;
  // random pixels: no uniform edge to remove
  const int steps = d.W->History().GetUndoStepCount();
  ASSERT_TRUE(d.Run("MenuImageRecadrerAuto"));
  EXPECT_TRUE(d.Said(TextId::GetTrDlgMain6));
  EXPECT_EQ(d.W->History().GetUndoStepCount(), steps);
  // a white frame around a picture is cut away, and the layers keep their place on it
  TBitmap& bg = d.Image().Layers[0].Image;
  bg.FillRect(TRect{0, 0, 120, 90}, clWhite);
  bg.FillRect(TRect{10, 20, 100, 70}, TColor(0x0000FF));
  TLayerItem& layer = d.AddLayer(30, 30, 5);
  d.Image().SetActiveLayerIndex(0);
  ASSERT_TRUE(d.Run("MenuImageRecadrerAuto"));
  EXPECT_EQ(bg.Width(), 90);
  EXPECT_EQ(bg.Height(), 50);
  EXPECT_EQ(layer.Left, 20);
  EXPECT_EQ(layer.Top, 10);
  ASSERT_TRUE(d.Run("MenuEditionUndo"));
  EXPECT_EQ(bg.Width(), 120);
  EXPECT_EQ(layer.Left, 30);

  d.Select(ssRect, TRect{10, 10, 50, 40});
  ASSERT_TRUE(d.Run("MenuImageRecadrer"));
  EXPECT_EQ(bg.Width(), 40);
  EXPECT_EQ(layer.Left, 20);
}

TEST(EditCommands, CutTakesTheStepOfWhatItClears) {
  TDoc d;
  for (bool masked : {false, true}) {
    SCOPED_TRACE(masked);
    TLayerItem& layer = d.AddLayer(10, 10, 21, masked);
    const TStackShot before(d.Image());
    d.Select(ssRect, TRect{15, 15, 35, 30});
    ASSERT_TRUE(d.Run("MenuEditionCouper"));
    EXPECT_EQ(d.StepKind(), masked ? int(ukWorkRectMask) : int(ukWorkRect));
    EXPECT_FALSE(TStackShot(d.Image()) == before);
    EXPECT_EQ(layer.Mask.Empty(), !masked);
    ASSERT_TRUE(d.Run("MenuEditionUndo"));
    EXPECT_TRUE(TStackShot(d.Image()) == before);
  }
}

TEST(EditCommands, OwnCopyKeepsItsMaskAndPastesIntoTheSelection) {
  TDoc d(200, 150);
  // our copy of an ellipse keeps its feathered edge
  d.Select(ssEllipse, TRect{20, 20, 100, 80});
  ASSERT_TRUE(d.Run("MenuEditionCopier"));
  const TBitmap copied = ClipboardData().Mask.Clone();
  ASSERT_FALSE(copied.Empty());
  ASSERT_TRUE(QTest::qWaitFor([] { return ClipboardHasImage(); }, 2000));
  ASSERT_TRUE(d.Run("MenuEditionCollerSel"));
  TLayerItem* pasted = d.Image().GetActiveLayer();
  ASSERT_EQ(d.Image().ActiveIndex(), 1);
  EXPECT_TRUE(SameBitmaps(pasted->Mask, copied));
  std::set<int> levels;
  for (int y = 0; y < copied.Height(); ++y)
    for (int x = 0; x < copied.Width(); ++x) levels.insert(Px(copied, x, y)[0]);
  EXPECT_EQ(Px(copied, 0, 0)[0], 255);
  EXPECT_EQ(Px(copied, 40, 30)[0], 0);
  EXPECT_GT(levels.size(), 3u) << "a feathered edge has levels between shown and hidden";

  // a picture of another program has no mask
  QImage foreign(30, 20, QImage::Format_RGB32);
  foreign.fill(Qt::blue);
  QGuiApplication::clipboard()->setImage(foreign);
  ASSERT_TRUE(QTest::qWaitFor([] { return !IsOwnClipboard(ClipboardData()); }, 2000));
  ASSERT_TRUE(d.Run("MenuEditionCollerSel"));
  pasted = d.Image().GetActiveLayer();
  EXPECT_EQ(pasted->Image.Width(), 30);
  EXPECT_TRUE(pasted->Mask.Empty() || MaskRectEquals(pasted->Mask, 0, GetBitmapRect(pasted->Mask)));

  // into a selection: centred at its own size, or fitted to the selection
  d.Image().SetActiveLayerIndex(0);
  d.Select(ssRect, TRect{100, 50, 160, 110});
  ASSERT_TRUE(d.Run("MenuEditionCollerIn1"));
  EXPECT_EQ(d.StepKind(), int(ukWorkRect));
  const TBitmap& bg = d.Image().Layers[0].Image;
  EXPECT_EQ(bg.GetPixel(130, 80), TColor(0xFF0000));
  EXPECT_NE(bg.GetPixel(105, 80), TColor(0xFF0000));
  ASSERT_TRUE(d.Run("MenuEditionUndo"));
  d.Select(ssRect, TRect{100, 50, 160, 110});
  ASSERT_TRUE(d.Run("MenuEditionCollerIn2"));
  EXPECT_EQ(bg.GetPixel(105, 80), TColor(0xFF0000));
  EXPECT_NE(bg.GetPixel(130, 55), TColor(0xFF0000));
}

TEST(LayerCommands, MenuStatesOnFixtureDocuments) {
  const char* const items[] = {"MenuCalqueSupprimer",  "MenuCalqueRenommer",  "MenuCalqueCentre1",
                               "MenuCalqueSymHoriz",   "MenuCalqueBordLisser", "MenuCalqueTxtToCalque",
                               "MenuCalqueFusionPrev", "MenuCalqueFusionAll", "MenuCalqueFusionAllVisible",
                               "MenuCalqueEditAlpha",  "MenuCalqueDupliquer", "PopCalqueVisible"};
  enum TFixture { BackgroundOnly, Layer, Text, Hidden, Locked, Alpha };
  const std::pair<TFixture, const char*> cases[] = {
      {BackgroundOnly, "000000000010"}, {Layer, "111110110111"},  {Text, "111001111011"},
      {Hidden, "110000011111"},         {Locked, "010000011111"}, {Alpha, "000010000100"},
  };
  for (const auto& [fixture, want] : cases) {
    SCOPED_TRACE(want);
    TDoc d;
    TLayerHost& host = d.Services().LayerHost();
    if (fixture == Alpha) d.Image().Layers[0].CreateDefaultMask();
    if (fixture != BackgroundOnly && fixture != Alpha) d.AddLayer(10, 10, 1);
    if (fixture == Text) {
      auto text = std::make_unique<TTextData>();
      text->Lines = {"Bonjour"};
      AddTextLayer(host, "#5", std::move(text));
    }
    if (fixture == Hidden || fixture == Locked) {
      TLayerItem& top = d.AddLayer(20, 20, 2);
      if (fixture == Hidden) top.Visible = false;
      else top.Locked = true;
    }
    d.Form->UpdateCommandStates();
    std::string got;
    for (const char* item : items) got += d.Commands().IsEnabled(item) ? '1' : '0';
    EXPECT_EQ(got, want);
  }
}

TEST(LayerCommands, MergesFollowVisibilityAndShadows) {
  TDoc d;
  TLayeredImage& image = d.Image();
  // a hidden layer merged down adds nothing; a shown one merged into a hidden layer stays
  for (bool upperHidden : {true, false}) {
    SCOPED_TRACE(upperHidden);
    while (image.GetLayerCount() > 1) image.Layers.Delete(1);
    TLayerItem& lower = d.AddLayer(10, 10, 31);
    TLayerItem& upper = d.AddLayer(25, 20, 32);
    (upperHidden ? upper : lower).Visible = false;
    const TBitmap seen = image.UpdatedComposition().Clone();
    // (the menu refuses a hidden active layer; the strip and plug-ins merge it too)
    if (upperHidden) image.MergeLayerDown(false);
    else ASSERT_TRUE(d.Run("MenuCalqueFusionPrev"));
    ASSERT_EQ(image.GetLayerCount(), 2);
    EXPECT_TRUE(image.Layers[1].Visible);
    EXPECT_LE(MaxDifference(image.UpdatedComposition(), seen), 3);
  }
  // the lower layer's shadow is drawn into the merge
  while (image.GetLayerCount() > 1) image.Layers.Delete(1);
  TLayerItem& lower = d.AddLayer(10, 10, 33, false);
  lower.Shadow.Enabled = 1;
  lower.Shadow.Opacity = 100;
  d.AddLayer(60, 50, 34, false);
  image.InvalidateImage();
  const TBitmap seen = image.UpdatedComposition().Clone();
  const TColor shade = seen.GetPixel(52, 42);  // under the lower layer's shadow only
  ASSERT_NE(shade, d.Image().Layers[0].Image.GetPixel(52, 42));
  ASSERT_TRUE(d.Run("MenuCalqueFusionPrev"));
  EXPECT_EQ(image.UpdatedComposition().GetPixel(52, 42), shade);
  // merging everything visible clears the history
  d.AddLayer(0, 0, 35);
  d.AddLayer(5, 5, 36);
  ASSERT_TRUE(d.Run("MenuCalqueFusionAllVisible"));
  EXPECT_EQ(image.GetLayerCount(), 1);
  EXPECT_EQ(d.W->History().GetUndoStepCount(), 0);
}

TEST(LayerCommands, DeleteIsConfirmedAndTakesTheLayersStepsAlong) {
  TDoc d;
  TLayerItem& layer = d.AddLayer(10, 10, 51);
  ASSERT_TRUE(d.Run("MenuCalque90h"));
  EXPECT_EQ(d.StepKind(), int(ukWholeLayer));
  EXPECT_EQ(layer.Image.Width(), 30);
  d.Answer = [](const std::string&, int) { return int(mrNo); };
  ASSERT_TRUE(d.Run("MenuCalqueSupprimer"));
  EXPECT_EQ(d.Image().GetLayerCount(), 2);
  EXPECT_EQ(d.Messages.back(), Tr(TextId::GetTrDlgMain9));
  d.Answer = [](const std::string&, int) { return int(mrYes); };
  ASSERT_TRUE(d.Run("MenuCalqueSupprimer"));
  EXPECT_EQ(d.Image().GetLayerCount(), 1);
  EXPECT_EQ(d.W->History().GetUndoStepCount(), 0);
}

TEST(LayerCommands, TransparencyGradientsOnlyLighten) {
  TDoc d;
  for (const char* item : {"MenuCalqueDegrade1", "MenuCalqueDegrade2", "MenuCalqueDegrade3", "MenuCalqueDegrade4",
                           "MenuCalqueDegradeRadial1", "MenuCalqueDegradeRadial2"}) {
    SCOPED_TRACE(item);
    TLayerItem& layer = d.AddLayer(10, 10, 41);
    const TBitmap before = layer.Mask.Clone();
    ASSERT_TRUE(d.Run(item));
    int lighter = 0;
    for (int y = 0; y < before.Height(); ++y)
      for (int x = 0; x < before.Width(); ++x) {
        ASSERT_GE(Px(layer.Mask, x, y)[0], Px(before, x, y)[0]) << x << "," << y;
        lighter += Px(layer.Mask, x, y)[0] > Px(before, x, y)[0];
      }
    EXPECT_GT(lighter, 0);
    ASSERT_TRUE(d.Run("MenuEditionUndo"));
    EXPECT_TRUE(SameBitmaps(layer.Mask, before));
  }
}

TEST(DocumentCommands, NoTwoActionsShareAKey) {
  TDoc d;
  std::map<QString, QString> seen;
  for (QAction* a : d.Commands().findChildren<QAction*>()) {
    for (const QKeySequence& k : a->shortcuts()) {
      auto [it, fresh] = seen.emplace(k.toString(), a->objectName());
      EXPECT_TRUE(fresh || it->second == a->objectName())
          << a->objectName().toStdString() << " and " << it->second.toStdString() << " share "
          << k.toString().toStdString();
    }
  }
  EXPECT_EQ(seen[QKeySequence(Qt::CTRL | Qt::Key_M).toString()], "MenuCalqueFusionPrev");
}

