#pragma once
// One layer of an image, the payload a layer may carry, and the owned, ordered list of
// the layers of one document. Layer 0 is the background; the last layer is the top.
//
// Bitmaps: Image, Mask and Mask2 are 24 bits per pixel whenever they hold pixels. A mask
// is grey, read through the first byte of each pixel: 0 shows the layer, 255 hides it;
// an empty mask shows the whole layer. A non-empty Mask has the Image's size.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "pixel/Transform.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

class TLayerItem;
class TStream;

// Layer kinds (TLayerItem::LayerType).
enum TLayerType : uint8_t { ltBitmap = 0, ltText = 1, ltAdjustment = 2, ltColor = 3 };

// The settings of an adjustment layer, scaled by the layer's opacity when composed. The
// layered file stores the record as these exact 24 bytes.
struct TLayerAdjustment {
  int32_t Lighten = 0;
  int32_t Contrast = 0;
  int32_t Saturation = 0;
  int32_t Reserved = 0;  // carried unchanged
  double Gamma = 1.0;
  friend bool operator==(const TLayerAdjustment&, const TLayerAdjustment&) = default;
};
static_assert(sizeof(TLayerAdjustment) == 24);

// The drop shadow of a bitmap or text layer. The layered file stores the record as these
// exact 32 bytes (Enabled at 0, Color at 4 ... Spread at 24, Reserved at 28); the
// padding bytes after Enabled and Spread are kept as a file gave them, so that saving
// what was opened writes them back unchanged.
struct TLayerShadow {
  uint8_t Enabled = 0;
  std::array<uint8_t, 3> EnabledPadding{};
  TColor Color = 0;
  int32_t OffsetX = 5;
  int32_t OffsetY = 5;
  int32_t Opacity = 70;  // percent
  int32_t Radius = 2;    // blur (or spread) radius; 0 gives a hard shadow
  uint8_t Spread = 0;    // scatter the silhouette instead of blurring it
  std::array<uint8_t, 3> SpreadPadding{};
  int32_t Reserved = 0;  // carried unchanged
  friend bool operator==(const TLayerShadow&, const TLayerShadow&) = default;
};
static_assert(sizeof(TLayerShadow) == 32);
static_assert(offsetof(TLayerShadow, Spread) == 24 && offsetof(TLayerShadow, Reserved) == 28);

// The payload of a layer whose pixels are made from data (the text of a text layer,
// TTextData, the only kind).
class TLayerData {
 public:
  virtual ~TLayerData() = default;
  // Copies the payload of another object of the same kind; anything else is ignored.
  virtual void Assign(const TLayerData& source) = 0;
  // The payload's form in the layered file. Loading reads exactly what saving wrote
  // and raises EReadError (or EStreamError) for a stream that does not hold it.
  virtual void SaveToStream(TStream& s) const = 0;
  virtual void LoadFromStream(TStream& s) = 0;
};

// --- Process-wide hooks ----------------------------------------------------------
// The shell installs them once at start-up; each is skipped while unassigned. They run
// on the thread that composes or copies layers, never concurrently with themselves.

// Called by Assign when the source carries a payload: gives the layer an empty payload of
// the right kind when it has none.
extern std::function<void(TLayerItem& layer)> CreateLayerData;
// Called by composition for a text layer whose Image is empty: renders the payload into
// Image and Mask (and sets the opacity the payload asks for).
extern std::function<void(TLayerItem& layer)> RenderLayerData;
// Called by GetDisplayName with the stored name, which it may rewrite for display.
extern std::function<void(const TLayerItem& layer, std::string& name)> LayerDisplayName;

// The rule the shell's display-name hook applies: a name "#" followed by digits is shown
// as backgroundText when its number (characters 2 to 4 read as an integer, -1 when they
// are not one) is 0 and as layerFormat with the number put for "%d" when it is above 0;
// any other name is shown as stored.
std::string StandardLayerDisplayName(const std::string& name, const std::string& backgroundText,
                                     const std::string& layerFormat);

// --- One layer ---------------------------------------------------------------------

class TLayerItem {
 public:
  // Takes the next identity of the run; every other field has its default.
  TLayerItem();
  ~TLayerItem();
  TLayerItem(const TLayerItem&) = delete;
  TLayerItem& operator=(const TLayerItem&) = delete;

  // Unique for the whole run, never reused, never stored in files.
  int32_t Id() const { return id_; }

  std::string Name;  // names of the form "#n" are shown through LayerDisplayName
  bool Visible = true;
  bool Locked = false;   // a locked layer is not moved with the mouse or keys
  TRect Reserved{};      // carried unchanged by Assign and the layered file
  uint8_t LayerType = ltBitmap;
  TColor Color = 0xFFFFFF;   // tint of a plain-colour layer
  int32_t ColorNegate = 0;   // plain-colour layer: non-zero negates the tint percent
  int32_t Left = 0, Top = 0; // position of Image in image pixels; 0, 0 for the background
  uint8_t Opacity = 0;       // 0..100; 0 is not drawn. The add operations set it.
  TBitmap Image;
  TBitmap Mask;
  TBitmap Mask2;             // carried by Assign and the layered file; nothing reads it
  TLayerAdjustment Adjustment;
  TLayerShadow Shadow;
  std::unique_ptr<TLayerData> Data;  // present only for text layers
  // Run-time only: the free transformation being applied, through which composition
  // draws the layer while it is attached, and whether the Mask was trivial (all shown)
  // when it was attached.
  std::unique_ptr<TTransformation> Transform;
  bool TrivialMask = false;

  // The name as the interface shows it (through the LayerDisplayName hook).
  std::string GetDisplayName() const;

  // Copies every field but the identity and the run-time transformation; a payload is
  // copied through CreateLayerData and TLayerData::Assign.
  void Assign(const TLayerItem& source);

  // A black Mask of the Image's size when the Mask is empty and the layer is a bitmap or
  // text layer; otherwise nothing.
  void CreateDefaultMask();
  // (x, y) in layer coordinates: true outside the Image, false with an empty Mask, else
  // whether the mask hides the pixel fully (255).
  bool IsTransparentAt(int x, int y) const;

  // Image, then Mask (empty bitmaps are left alone); Left and Top stay.
  void FlipHorizontal();
  void FlipVertical();
  void RotateQuarter();         // clockwise on screen
  void RotateQuarterReverse();  // counter-clockwise on screen
  void RotateHalf();

  // Attaches a transformation (the layer owns it until EndTransform).
  void BeginTransform(std::unique_ptr<TTransformation> t);
  // Resamples Image and Mask through the attached transformation, moves the layer to the
  // transformed bounds and ends the transformation. A plain translation only moves; an
  // upright scale resizes smoothly; anything else is rasterised, the edges of the image
  // spread outward before smoothing so that they do not fade to white, and the mask
  // follows (a layer without one gets one), the image whitened where the mask hides it.
  // Nothing but the end of the transformation when the bounds are empty.
  void ApplyTransform();
  // Frees and detaches the transformation.
  void EndTransform();

  // Transformations applied at once. Rotation is about the image's centre, in degrees,
  // positive counter-clockwise on screen; scale and skew keep the top-left corner.
  // ScaleBy(1, 1) does nothing; a scale that leaves no pixel (0, negative giving an
  // empty size, not a number) is refused, as is ResizeTo below 1 x 1.
  void RotateBy(double angle);
  void ScaleBy(double sx, double sy);
  void SkewBy(double fx, double fy);
  void ResizeTo(int w, int h);

  // Crops Image and Mask to the part of the mask that is not white and moves the layer
  // by what was cut at the top-left.
  void CropToContent();

 private:
  int32_t id_;
};

// The bitmap operations of the flip and turn codes the layer operations share: 0 flip
// vertical, 1 flip horizontal, 2 quarter turn clockwise, 3 quarter turn counter-clockwise,
// 4 half turn; other codes do nothing.
void FlipRotateBitmap(TBitmap& bmp, int code);

// --- The list of layers -------------------------------------------------------------

// What a layer list needs of the layered image that owns it.
class TLayerListOwner {
 public:
  virtual ~TLayerListOwner() = default;
  virtual int ActiveIndex() const = 0;
  // Stores the index as it is, without any of the effects of selecting a layer.
  virtual void StoreActiveIndex(int index) = 0;
  // The layer is about to be removed from the list and freed.
  virtual void LayerDeleting(TLayerItem& layer) = 0;
  // The stack changed: the composition must be redone.
  virtual void LayersChanged() = 0;
};

class TLayerList {
 public:
  explicit TLayerList(TLayerListOwner* owner = nullptr) : owner_(owner) {}
  ~TLayerList();
  TLayerList(const TLayerList&) = delete;
  TLayerList& operator=(const TLayerList&) = delete;

  // The layer at i; an index outside 0..Count-1 throws std::out_of_range.
  TLayerItem& GetItem(int i);
  const TLayerItem& GetItem(int i) const;
  TLayerItem& operator[](int i) { return GetItem(i); }
  const TLayerItem& operator[](int i) const { return GetItem(i); }
  int GetCount() const { return int(items_.size()); }

  // Appends (the list takes the layer) and returns its index.
  int Add(std::unique_ptr<TLayerItem> layer);
  // Tells the owner, removes and frees the layer at i; the active index then stays
  // inside the list (Count - 1 when it fell off the end, -1 when the list is empty).
  // Nothing for an index outside the list.
  void Delete(int i);
  // Deletes every layer, from the bottom; the active index becomes -1.
  void Clear();
  int IndexOf(const TLayerItem* layer) const;
  // Moves the layer at from to index to; the active index is not adjusted. Nothing when
  // either index is outside the list.
  void Move(int from, int to);
  // Clear, then a copy of every layer of source in order; the active index becomes 0
  // when there are layers.
  void Assign(const TLayerList& source);

  // Clear, then the layers given, in order; the active index becomes 0 when there are
  // layers.
  void Replace(std::vector<std::unique_ptr<TLayerItem>> layers);

 private:
  void Changed();
  TLayerListOwner* owner_;
  std::vector<std::unique_ptr<TLayerItem>> items_;
};

}  // namespace qm
