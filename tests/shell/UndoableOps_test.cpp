#include <gtest/gtest.h>

#include <vector>

#include "document/LayerHost.h"
#include "document/LayerOps.h"
#include "pixel/ImgUtils.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/UndoableOps.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

// A document without a window: a 40 x 30 background with a mask under a 30 x 20 layer
// at (5, 4), the layer active, a rectangle selected over both.
struct Doc : TStandaloneDocument {
  int Resets = 0;
  std::vector<std::pair<TLayerChange, int>> Changes;
  void LayerStackChanged(TLayerChange c, int i) override { Changes.emplace_back(c, i); }

  Doc() {
    Image.LoadFromBitmap(RandomBitmap(40, 30, 1), RandomMask(40, 30, 2), "#0");
    Image.AddLayer(RandomBitmap(30, 20, 3), RandomMask(30, 20, 4), "#1", 100, TPoint{5, 4});
    Image.ColorCount = 256;
    Image.ResolutionX = 300;
    Image.ResolutionY = 150.5;
    Selection.Visible = true;
    Selection.SelRect = TRect{10, 8, 30, 22};
  }
};

// Everything an undo must give back.
struct State {
  std::vector<uint64_t> Pixels;
  std::vector<TRect> Places;
  std::vector<int> Types;
  int Colors;
  double ResX, ResY;
  friend bool operator==(const State&, const State&) = default;
};
State Capture(const TLayeredImage& img) {
  State s{{}, {}, {}, img.ColorCount, img.ResolutionX, img.ResolutionY};
  for (int i = 0; i < img.GetLayerCount(); ++i) {
    const TLayerItem& l = img.Layers[i];
    s.Pixels.push_back(Checksum(l.Image));
    s.Pixels.push_back(Checksum(l.Mask));
    s.Places.push_back(Bounds(l.Left, l.Top, l.Image.Width(), l.Image.Height()));
    s.Types.push_back(l.LayerType);
  }
  return s;
}

// What an operation of the kind changes: the document's colour count and resolution,
// and the bitmaps its step keeps, inside what it keeps.
void Change(Doc& doc, TUndoLayerItem& step) {
  doc.Image.ColorCount = 2;
  doc.Image.ResolutionX = doc.Image.ResolutionY = 72;
  TLayerItem& l = *step.Layer;
  const bool image = step.Which != uwMask, mask = step.Which != uwImage;
  if (step.Mode == umWholeLayer) {
    if (image) l.Image = RandomBitmap(l.Image.Width(), l.Image.Height(), 99);
    if (mask) l.Mask = RandomMask(l.Mask.Width(), l.Mask.Height(), 98);
    return;
  }
  if (step.Rect.IsEmpty()) {  // a stroke grows its step as it paints
    ResnapUndoStepRect(step, TRect{2, 3, 12, 9}, step.Which == uwMask ? l.Mask : l.Image);
  }
  if (image) l.Image.FillRect(step.Rect, 0x123456);
  if (mask) l.Mask.FillRect(step.Rect, 0x808080);
}

}  // namespace

TEST(UndoableOps, EveryKindPushesItsStepAndUndoRedoRestoreExactly) {
  ResetTextTable();
  struct Case {
    TUndoKind Kind;
    int Layer;  // 0 the background, 1 the active layer
    uint8_t Mode, Which;
    TRect Rect;  // of a rectangle step (layer coordinates)
    bool HidesSelection;
  };
  const TRect work{5, 4, 25, 18};  // the selection on the layer at (5, 4)
  const Case cases[] = {
      {ukWholeImage, 0, umWholeLayer, uwImageAndMask, {0, 0, 40, 30}, true},
      {ukImageRect, 0, umRect, uwImage, {}, false},
      {ukLayerMask, 1, umWholeLayer, uwMask, {0, 0, 30, 20}, true},
      {ukStroke, 1, umRect, uwImage, {}, false},
      {ukMaskStroke, 1, umRect, uwMask, {}, false},
      {ukWorkRect, 1, umRect, uwImage, work, false},
      {ukWorkRectMask, 1, umRect, uwMask, work, false},
      {ukWorkRectImageAndMask, 1, umRect, uwImageAndMask, work, false},
      {ukWholeLayer, 1, umWholeLayer, uwImageAndMask, {0, 0, 30, 20}, true},
      {ukLayerMove, 1, umRect, uwImage, {}, false},
      {ukUnused, 1, umRect, uwImage, {}, false},
      {ukTextToImage, 1, umRect, uwImage, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.Kind));
    Doc doc;
    TUndoableOperations ops(doc);
    int menus = 0;
    ops.Hooks.UpdateHistoryMenus = [&menus] { ++menus; };
    TLayerItem& layer = doc.Image.Layers[c.Layer];
    if (c.Kind == ukTextToImage) layer.LayerType = ltText;
    const State before = Capture(doc.Image);

    TUndoLayerItem* step = ops.BeginUndoableOperation(c.Kind, "Filtre [Ctrl+F]");
    ASSERT_TRUE(step);
    EXPECT_EQ(step->Layer, &layer);
    EXPECT_EQ(step->Mode, c.Mode);
    EXPECT_EQ(step->Which, c.Which);
    EXPECT_EQ(step->Rect, c.Rect);
    EXPECT_EQ(step->Name, "Filtre");
    EXPECT_EQ(step->ImageSnap.Width(), c.Which != uwMask ? c.Rect.Width() : 0);
    EXPECT_EQ(step->MaskSnap.Height(), c.Which != uwImage ? c.Rect.Height() : 0);
    EXPECT_EQ(GetUndoStepParam(*step, upColorCount), 256);
    EXPECT_EQ(GetUndoStepParam(*step, upKind), int(c.Kind));
    EXPECT_EQ(GetUndoStepParam(*step, upResolution), 300000);
    EXPECT_EQ(doc.Selection.Visible, !c.HidesSelection);
    ASSERT_TRUE(ops.PreChangeCopy());
    EXPECT_TRUE(SamePixels24(*ops.PreChangeCopy(), c.Which == uwMask ? layer.Mask : layer.Image));
    EXPECT_EQ(menus, 1);

    doc.Selection.Visible = true;
    Change(doc, *step);
    if (c.Kind == ukTextToImage) layer.LayerType = ltBitmap;
    if (c.Kind == ukLayerMove) layer.Left += 7;
    const State after = Capture(doc.Image);
    ASSERT_NE(after, before);

    ops.Undo();
    EXPECT_EQ(Capture(doc.Image), before);
    EXPECT_EQ(doc.History.Current(), -1);
    // Undoing a whole-image or whole-layer step hides the selection again.
    EXPECT_EQ(doc.Selection.Visible, c.Kind != ukWholeImage && c.Kind != ukWholeLayer);
    ops.Redo();
    EXPECT_EQ(Capture(doc.Image), after);
    ops.Undo();
    ops.Redo();
    EXPECT_EQ(Capture(doc.Image), after);
  }
}

TEST(UndoableOps, WholeImageStepsReplayTheAllLayerOffsetAndTurn) {
  Doc doc;
  TUndoableOperations ops(doc);
  int resets = 0;
  ops.Hooks.ResetWindowState = [&resets] { ++resets; };
  const State before = Capture(doc.Image);
  // "Rotation 90° horaire, tous les calques" then a crop that moves the layers.
  TUndoLayerItem* turn = ops.BeginUndoableOperation(ukWholeImage, "Rotation");
  doc.Image.Layers[0].RotateQuarter();
  SetUndoStepParam(*turn, upFlipRotate, 3);
  FlipRotateAllLayers(doc, 3);
  const State turned = Capture(doc.Image);
  TUndoLayerItem* crop = ops.BeginUndoableOperation(ukWholeImage, "Recadrer");
  CropBitmap(doc.Image.Layers[0].Image, TRect{2, 3, 20, 33});
  CropBitmap(doc.Image.Layers[0].Mask, TRect{2, 3, 20, 33});
  SetUndoStepParam(*crop, upOffsetX, -2);
  SetUndoStepParam(*crop, upOffsetY, -3);
  OffsetAllLayers(doc, -2, -3, false);
  const State cropped = Capture(doc.Image);

  ops.Undo();
  EXPECT_EQ(Capture(doc.Image), turned);
  ops.Undo();
  EXPECT_EQ(Capture(doc.Image), before);
  EXPECT_EQ(resets, 2);  // the image changed size both times
  ops.Redo();
  ops.Redo();
  EXPECT_EQ(Capture(doc.Image), cropped);
}

TEST(UndoableOps, UndoShowsTheStepsLayerUnlessItsSizeChanged) {
  Doc doc;
  TUndoableOperations ops(doc);
  int resets = 0;
  ops.Hooks.ResetWindowState = [&resets] { ++resets; };
  TUndoLayerItem* step = ops.BeginUndoableOperation(ukWorkRect, "Flou");
  Change(doc, *step);
  doc.Image.SetActiveLayerIndex(0);
  doc.Changes.clear();
  ops.Undo();
  EXPECT_EQ(doc.Image.ActiveIndex(), 1);
  EXPECT_EQ(resets, 0);
  EXPECT_EQ(doc.Changes.front(), std::make_pair(TLayerChange::Selected, 1));

  // The layer was made smaller since (by an operation that kept no step of it): its
  // step no longer fits and the window starts again from the image.
  doc.Image.Layers[1].Image.SetSize(10, 10);
  ops.Redo();
  EXPECT_EQ(resets, 1);
}

TEST(UndoableOps, ConsecutiveMovesOfOneLayerMakeOneStep) {
  ResetTextTable();
  Doc doc;
  TUndoableOperations ops(doc);
  TLayerItem& layer = doc.Image.Layers[1];
  const TPoint start{layer.Left, layer.Top};
  layer.Left = 9;
  ops.PushLayerMoveUndo(start);
  layer.Top = 1;
  ops.PushLayerMoveUndo(TPoint{9, 4});
  ASSERT_EQ(doc.History.GetUndoStepCount(), 1);
  EXPECT_EQ(doc.History.GetCurrentUndoStep()->Name, "Déplacer calque");
  ops.Undo();
  EXPECT_EQ((TPoint{layer.Left, layer.Top}), start);
  ops.Redo();
  EXPECT_EQ((TPoint{layer.Left, layer.Top}), (TPoint{9, 1}));
  // Another step in between, or another layer, starts a new move step.
  ops.BeginUndoableOperation(ukWorkRect, "Flou");
  ops.PushLayerMoveUndo(TPoint{9, 1});
  doc.Image.SetActiveLayerIndex(0);
  ops.PushLayerMoveUndo(TPoint{0, 0});
  EXPECT_EQ(doc.History.GetUndoStepCount(), 4);
}

TEST(UndoableOps, FadeAndDialogSteps) {
  Doc doc;
  TUndoableOperations ops(doc);
  const State before = Capture(doc.Image);
  TUndoLayerItem* filter = ops.BeginUndoableOperation(ukWorkRectMask, "Flou");
  Change(doc, *filter);
  // The fade keeps what the filter's step keeps, of the filter's layer, whichever layer
  // is active by then.
  doc.Image.SetActiveLayerIndex(0);
  TUndoLayerItem* fade = ops.BeginUndoableOperation(ukFade, "Atténuer");
  EXPECT_EQ(fade->Layer, filter->Layer);
  EXPECT_EQ(fade->Rect, filter->Rect);
  EXPECT_EQ(fade->Which, uwMask);
  EXPECT_FALSE(ops.PreChangeCopy());  // a fade mixes the two steps' snapshots, never a copy

  // A dialog's preview restarts from its step; cancelling gives the image back and
  // drops the step and the repeat.
  ops.RecordRepeatableCommand("Flou", [] {});
  doc.Image.Layers[1].Mask.FillRect(fade->Rect, 0x000000);
  ops.RestoreFromHistory();
  const State faded = Capture(doc.Image);
  doc.Image.Layers[1].Mask.FillRect(fade->Rect, 0xFFFFFF);
  ops.EndDialogOperation(true);
  EXPECT_EQ(Capture(doc.Image), faded);
  EXPECT_EQ(doc.History.GetUndoStepCount(), 1);
  EXPECT_FALSE(ops.HasRepeatableCommand());
  EXPECT_FALSE(ops.PreChangeCopy());
  ops.Undo();
  EXPECT_EQ(Capture(doc.Image), before);
}

TEST(UndoableOps, RepeatCaptionAndReplay) {
  ResetTextTable();
  Doc doc;
  TUndoableOperations ops(doc);
  EXPECT_EQ(ops.RepeatCaption(), "Répéter");
  int runs = 0;
  ops.RecordRepeatableCommand("Flou gaussien [Ctrl+Maj+G]", [&runs] { ++runs; }, rgProgressive);
  EXPECT_EQ(ops.RepeatCaption(), "Répéter Flou gaussien");
  EXPECT_EQ(ops.RepeatGuard(), rgProgressive);
  ops.RepeatLastCommand();
  ops.RepeatLastCommand();
  EXPECT_EQ(runs, 2);
  // Only a trailing bracketed shortcut is cut.
  for (auto [in, out] : {std::pair{"Filtre [x] [Ctrl+F]", "Filtre [x]"}, {"[x]", "[x]"}, {"Niveaux [a", "Niveaux [a"},
                         {"Texte", "Texte"}})
    EXPECT_EQ(CutShortcutText(in), out);
  ops.ClearRepeatableCommand();
  EXPECT_EQ(ops.RepeatCaption(), "Répéter");
  ops.RepeatLastCommand();
  EXPECT_EQ(runs, 2);
}

TEST(UndoableOps, StepsOfOtherOriginsAndNestedSteps) {
  Doc doc;
  TUndoableOperations ops(doc);
  // A step pushed straight onto the history carries no parameters: its undo leaves the
  // colour count and the resolution alone.
  doc.History.AddUndoRectStep(doc.Image.Layers[1], TRect{0, 0, 5, 5}, "Trait", uwImage);
  ops.Undo();
  EXPECT_EQ(doc.Image.ColorCount, 256);
  EXPECT_EQ(doc.Image.ResolutionX, 300);
  EXPECT_EQ(doc.Image.ResolutionY, 150.5);

  // A preview restarts every layer of a step over several layers.
  const State before = Capture(doc.Image);
  ops.BeginUndoableOperation(ukWholeImage, "Rotation");
  SaveLayersForUndo(doc);
  doc.Image.Layers[0].Image.FillRect(TRect{0, 0, 40, 30}, clBlack);
  doc.Image.Layers[1].Image.FillRect(TRect{0, 0, 30, 20}, clBlack);
  ops.RestoreFromHistory();
  EXPECT_EQ(Capture(doc.Image), before);
}
