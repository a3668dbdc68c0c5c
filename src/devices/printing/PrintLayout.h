#pragma once
// Where one image lands on one printed page: the scale (printer pixels per image pixel),
// the printed size and position in the print unit, the preview of the page in the print
// dialog, and the checks of the values typed. Free of widgets and of the printer: the
// dialog shows and edits what this holds, the job draws from PrinterRect.
//
// Sizes in the print unit go through the page's longer side (the height when the sides
// are equal): pixels × longer side in units / longer side in pixels, and back rounded to
// the nearest printer pixel.
#include <string>
#include <vector>

#include "pixel/ImgZoom.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

enum class TPrintUnit : int { Centimetres = 0, Inches = 1 };

// The printable area of the page: in printer pixels, and its physical size in the unit.
struct TPrintPage {
  int WidthPx = 0, HeightPx = 0;
  double Width = 0, Height = 0;
};

// The fields of the dialog's two groups, as the user reads and types them.
struct TPrintFields {
  double Width = 0, Height = 0;  // printed size
  double Left = 0, Top = 0;      // offset of the image on the page
};

// A refused value: the field at fault (1 width, 2 height, 3 left, 4 top) and what to say.
struct TPrintFault {
  int Field = 0;
  std::string Message;
};

struct TPrintSegment {
  TPoint From, To;
};

class TPrintLayout {
 public:
  // The preview page's longer side, and where it stands in the dialog.
  static constexpr int kPreviewSide = 225;
  static constexpr int kPreviewOrigin = 16;
  // The steps of the scale bar, in percent.
  static constexpr int kScaleStep = 10;
  static constexpr int kBarMin = 1;

  TPrintLayout();

  // The image (kept by pointer: it must outlive the layout's use of it) and the
  // document's horizontal resolution in dots per inch.
  void SetImage(const TBitmap* image, double resolution);
  void SetUnit(TPrintUnit unit) { unit_ = unit; }
  TPrintUnit Unit() const { return unit_; }
  // A landscape page for an image not higher than wide: the printer's orientation.
  bool Landscape() const;
  // The page read from the printer; then the preview's geometry and the reset layout.
  void SetPage(const TPrintPage& page);
  const TPrintPage& Page() const { return page_; }

  double PixelsToUnits(double pixels) const;
  int UnitsToPixels(double units) const;

  // Back to the starting layout: centred, 80 % of the scale that fills the page (at most
  // 500 %), the size group open, the position group closed, real size allowed unless
  // the document has no resolution.
  void Reset();

  // --- What the dialog shows --------------------------------------------------------------
  double Scale() const { return scale_; }
  int BarMax() const { return barMax_; }
  int BarPosition() const { return barPosition_; }
  int ScalePercent() const { return barPosition_ * kScaleStep; }
  const TPrintFields& Fields() const { return fields_; }
  // The relative resolution in dots per inch; false when there is none to show (a printed
  // side of 0).
  bool RelativeResolution(double& dpi) const;
  bool Centred() const { return centred_; }
  bool FitPage() const { return fitPage_; }
  bool RealSize() const { return realSize_; }
  bool RealSizePossible() const { return realSizePossible_; }
  // The controls' enabled states.
  bool ScaleEnabled() const { return !fitPage_ && !realSize_; }
  bool SizeEnabled() const { return ScaleEnabled(); }
  bool PositionEnabled() const { return !centred_; }
  bool CentreEnabled() const { return !fitPage_; }
  bool FitPageEnabled() const { return !realSize_; }
  bool RealSizeEnabled() const { return !fitPage_ && realSizePossible_; }

  // --- What the user does ---------------------------------------------------------------
  // The bar moved to a position (kept within its range).
  void ScrollTo(int position);
  // The width or height typed: the other follows by the image's proportions.
  void EditWidth(double width);
  void EditHeight(double height);
  void EditPosition(double left, double top);
  // The typed size and position applied (each returns the fault, Field 0 when none; the
  // checks are skipped while the image fills the page).
  TPrintFault ApplySize();
  TPrintFault ApplyPosition();
  // Printing asked: the fields checked, then a size or position typed but not yet
  // applied is applied.
  TPrintFault ApplyPending();
  bool SizeEdited() const { return sizeEdited_; }
  bool PositionEdited() const { return positionEdited_; }
  // The fault of the fields as typed, without applying them.
  TPrintFault Check() const;
  void SetCentred(bool on);
  void SetFitPage(bool on);
  // False (the choice then unchecked and disabled for this showing) when the image at
  // its resolution is larger than the page.
  bool SetRealSize(bool on);
  // The document's resolution stands in the resolution label (real size chosen).
  bool ShowsDocumentResolution() const { return showsDocumentResolution_; }

  // --- The two viewports ---------------------------------------------------------------
  // The image on the page, in printer pixels.
  TRect PrinterRect() const { return printer_.GetImageRect(); }
  const TImageZoom& Printer() const { return printer_; }
  TImageZoom& Preview() { return preview_; }
  double PreviewRatio() const { return ratio_; }
  // The preview page, in the dialog's coordinates.
  TRect PreviewPageRect() const;

  // The cut lines round the image rectangle: four corner pairs, and a middle pair on
  // the longer sides of an image at least 1.5 times longer than wide (or wide than long).
  std::vector<TPrintSegment> CutLines() const;

 private:
  void UpdateScaleBar();
  void UpdateLayout();
  void UpdatePosition();
  void UpdateFields();
  bool PortraitPage() const { return page_.HeightPx >= page_.WidthPx; }
  double LongerUnits() const { return PortraitPage() ? page_.Height : page_.Width; }
  int LongerPixels() const { return PortraitPage() ? page_.HeightPx : page_.WidthPx; }
  // The scale that prints the image at the typed size.
  double ScaleForSize(double width, double height) const;

  const TBitmap* image_ = nullptr;
  double resolution_ = 72;
  double aspect_ = 1;
  TPrintUnit unit_ = TPrintUnit::Centimetres;
  TPrintPage page_;
  TImageZoom printer_, preview_;
  double ratio_ = 1;
  int previewWidth_ = 0, previewHeight_ = 0;
  double scale_ = 1;
  int barMax_ = kBarMin, barPosition_ = kBarMin;
  TPrintFields fields_;
  bool updating_ = true;  // the size fields follow the scale
  bool centred_ = true, fitPage_ = false, realSize_ = false, realSizePossible_ = true;
  bool showsDocumentResolution_ = false;
  bool sizeEdited_ = false, positionEdited_ = false;
};

}  // namespace qm
