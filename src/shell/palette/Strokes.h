#pragma once
// The painting strokes of the tool palette: brush, advanced brush and eraser, blur,
// smudge, airbrush, clone stamp, pattern stamp and retouch paint on the active layer of
// a document window while the pointer is dragged, and the move tool scrolls the view.
//
// A stroke opens its undo step when it begins and keeps the copy of the layer taken
// then: what comes back outside the selection after every step, and what the clone
// stamp copies from. Each step touches only the rectangle of its dabs, and only that
// rectangle is repainted; at the end the paint is feathered along the selection and
// the undo step shrinks to the rectangle the stroke touched.
//
// One stroke runs at a time; the engine belongs to the palette and lives as long as
// the program (the rainbow brush's hue runs on from stroke to stroke).
#include <QPointer>
#include <memory>
#include <string>

#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"
#include "shell/palette/PaletteRules.h"
#include "views/DocumentWindow.h"
#include "views/DocumentWindowHost.h"

namespace qm {

class TShellServices;
class TUndoLayerItem;

enum class TStrokeKind : uint8_t { Brush, Blur, Smudge, Airbrush, Clone, Pattern, Retouch };

// What a stroke paints with, read from the palette when it begins.
struct TStrokeSettings {
  TStrokeKind Kind = TStrokeKind::Brush;
  std::string Caption;          // the tool's hint: the undo step's caption
  // Brush, advanced brush, eraser: the tip (0 paints fully, 255 not at all), placed by
  // its half sizes; the pressure lost every third dab; the pixels between two dabs.
  TBitmap Tip;
  bool Eraser = false;
  bool Rainbow = false;
  int Pressure = 100, Fade = 0, Spacing = 0;
  // The dab tools: radius, strength (percent), the airbrush's sparsity, the retouch
  // mode; the stamps copy from the source point itself (clone) or tile the pattern from
  // the dab (pattern) when FixedSource.
  int Radius = 9;
  int Strength = 60;
  int Dispersion = 0;
  TRetouchMode Retouch = TRetouchMode::RedEye;
  bool FixedSource = false;
  TColor Foreground = clBlack, Background = clWhite;
};

class TCloneCross;

class TStrokeEngine {
 public:
  explicit TStrokeEngine(TShellServices& services);
  ~TStrokeEngine();
  TStrokeEngine(const TStrokeEngine&) = delete;
  TStrokeEngine& operator=(const TStrokeEngine&) = delete;

  // Starts a stroke on the window's active layer at the pointer (its Button paints the
  // foreground colour for the left button, the background colour otherwise). False when
  // nothing starts: no layer, or a clone stamp without a source (the user is told).
  bool Begin(TNewImgForm& window, TStrokeSettings settings, const TImagePointer& p);
  // The pointer moved with a button held. Nothing without a stroke.
  void Continue(const TImagePointer& p);
  // The button was released: the stroke's undo step is narrowed to what it touched.
  void End();
  bool Active() const { return active_; }

  // A brush stroke leaves its last point for the next Shift-click's straight line;
  // choosing a tool or a tip forgets it.
  bool HasStrokePoint() const { return strokePoint_; }
  void ForgetStrokePoint() { strokePoint_ = false; }

  // Ctrl + click with the clone stamp: the point becomes the window's clone source and
  // the offset of its aligned strokes is taken again at the next stroke.
  void SetCloneSource(TNewImgForm& window, TPoint client);

  // The move tool: the view follows the pointer by steps of the snap (client points).
  void BeginMove(TNewImgForm& window, TPoint client, int step);
  void ContinueMove(TPoint client);
  void EndMove();

  // The rectangle the last stroke touched (layer coordinates) before it was cut to the
  // working rectangle.
  TRect LastDirtyRect() const { return dirty_; }

 private:
  bool Interpolates() const;
  bool AxisLockable() const;
  // Places one dab; force ignores the spacing (the first dab of a stroke).
  void DabAt(TPoint at, bool force);
  // The pixels outside the selection come back over the rectangle (and its rim) and
  // it is repainted.
  void RestoreAndInvalidate(const TRect& update);
  TRect DabBox(TPoint at) const;
  void FinishSelectionEdge(bool smooth);
  void GrowDirty(TPoint at);
  void ShowCross(TPoint layerPoint);

  TShellServices& services_;
  TStrokeSettings s_;
  bool active_ = false;
  QPointer<TNewImgForm> window_;
  TBitmap* target_ = nullptr;
  const TBitmap* source_ = nullptr;
  TUndoLayerItem* step_ = nullptr;
  std::unique_ptr<TBitmap> mask_;  // 0 outside the selection, 255 inside
  TRect clip_{};
  TRect dirty_{};
  TPoint last_{}, lastDab_{};
  TAxisLock axis_ = TAxisLock::None;
  int hx_ = 0, hy_ = 0;  // the tip's half sizes, or the radius
  int grow_x_ = 0, grow_y_ = 0;
  int pressure_ = 100;
  int dabs_ = 0;
  TColor color_ = clBlack;
  TPoint cloneOffset_{};
  int hue_ = 0;
  bool strokePoint_ = false;
  TPoint strokePointAt_{};
  QPointer<TNewImgForm> strokePointWindow_;
  std::unique_ptr<TCloneCross> cross_;
  // the move tool
  QPointer<TNewImgForm> moveWindow_;
  TPoint moveLast_{};
  int moveStep_ = 8;
};

}  // namespace qm
