#include <gtest/gtest.h>

#include <vector>

#include "document/LayeredImage.h"
#include "views/LayerMoveController.h"

using namespace qm;

TEST(LayerMoveController, DraggingWithThePointerAndTheKeys) {
  TLayeredImage doc;
  doc.LoadFromBitmap(TBitmap(100, 100), TBitmap(), "#0");
  TBitmap mask(10, 10, pf24bit, clBlack);
  mask.FillRect(TRect{0, 0, 2, 2}, clWhite);
  doc.AddLayer(TBitmap(10, 10), mask, "#1", 100, TPoint{20, 20});
  std::vector<int> stages;
  doc.OnLayerMove = [&](TLayeredImage&, TLayerMoveStage stage) { stages.push_back(stage); };
  TViewGrid grid;
  TLayerMoveController move(doc, grid);

  move.MouseDown(TPoint{5, 5}, true);  // off the layer
  EXPECT_EQ(move.State(), TMoveState::Idle);
  move.MouseDown(TPoint{25, 25}, true);
  EXPECT_EQ(move.State(), TMoveState::Pressed);
  move.MouseMove(TPoint{25, 25}, false);  // no movement yet
  EXPECT_TRUE(stages.empty());
  move.MouseMove(TPoint{30, 28}, true);  // (5, 3) with Shift: across only
  EXPECT_EQ(move.State(), TMoveState::Dragging);
  EXPECT_TRUE(doc.ActiveLayerDragging());
  EXPECT_EQ(doc.Layers[1].Left, 25);
  EXPECT_EQ(doc.Layers[1].Top, 20);
  move.MouseMove(TPoint{28, 28}, true);  // (3, 3): a tie keeps x fixed
  EXPECT_EQ(doc.Layers[1].Left, 20);
  EXPECT_EQ(doc.Layers[1].Top, 23);
  move.ShiftChanged(false);  // the constraint lifted: both axes
  EXPECT_EQ(doc.Layers[1].Left, 23);
  EXPECT_EQ(doc.Layers[1].Top, 23);
  move.MouseUp();
  EXPECT_EQ(stages, (std::vector<int>{lmDragStart, lmDragging, lmDragging, lmDragging, lmMoved, lmDragEnd}));
  EXPECT_EQ(move.State(), TMoveState::Idle);
  EXPECT_FALSE(doc.ActiveLayerDragging());

  // Esc puts it back; the grid snaps
  stages.clear();
  grid.Align = true;
  grid.Width = 8;
  move.MouseDown(TPoint{25, 25}, true);
  move.MouseMove(TPoint{36, 25}, false);  // 23 + 11 = 34: nearest multiple of 8 is 32
  EXPECT_EQ(doc.Layers[1].Left, 32);
  EXPECT_EQ(doc.Layers[1].Top, 24);
  EXPECT_TRUE(move.KeyDown(Qt::Key_Escape, Qt::NoModifier));
  EXPECT_EQ(doc.Layers[1].Left, 23);
  EXPECT_EQ(stages.back(), lmDragEnd);
  EXPECT_EQ(move.State(), TMoveState::Idle);
  EXPECT_FALSE(move.KeyDown(Qt::Key_Escape, Qt::NoModifier));  // nothing to cancel

  // arrows nudge; through the mask with PickByClick
  EXPECT_TRUE(move.KeyDown(Qt::Key_Right, Qt::ShiftModifier));
  EXPECT_EQ(doc.Layers[1].Left, 31);
  EXPECT_TRUE(move.KeyDown(Qt::Key_Up, Qt::NoModifier));
  EXPECT_EQ(doc.Layers[1].Top, 22);
  EXPECT_FALSE(move.KeyDown(Qt::Key_A, Qt::NoModifier));
  move.PickByClick = true;
  EXPECT_FALSE(move.IsMovableAt(TPoint{31, 22}));  // a hidden corner of the mask
  EXPECT_TRUE(move.IsMovableAt(TPoint{35, 26}));
  doc.Layers[1].Locked = true;
  EXPECT_FALSE(move.KeyDown(Qt::Key_Left, Qt::NoModifier));
}

TEST(LayerMoveController, APressPicksTheLayerUnderThePointer) {
  TLayeredImage doc;
  doc.LoadFromBitmap(TBitmap(50, 50), TBitmap(), "#0");
  doc.AddLayer(TBitmap(10, 10), TBitmap(), "#1", 100, TPoint{0, 0});
  doc.AddLayer(TBitmap(10, 10), TBitmap(), "#2", 100, TPoint{30, 30});
  TViewGrid grid;
  TLayerMoveController move(doc, grid);
  move.PickByClick = true;
  move.MouseDown(TPoint{5, 5}, false);  // not over the image on screen: no pick
  EXPECT_EQ(doc.ActiveIndex(), 2);
  move.MouseDown(TPoint{5, 5}, true);
  EXPECT_EQ(doc.ActiveIndex(), 1);
  EXPECT_EQ(move.State(), TMoveState::Pressed);
  move.MouseDown(TPoint{20, 20}, true);  // the background: picked, never moved
  EXPECT_EQ(doc.ActiveIndex(), 0);
  EXPECT_EQ(move.State(), TMoveState::Idle);
}
