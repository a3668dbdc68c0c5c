#include "devices/printing/PrintLayout.h"

#include <algorithm>
#include <cmath>

#include "platform/texts/Format.h"

namespace qm {
namespace {

constexpr double kCmPerInch = 2.54;

// A bound shown in a refusal is cut to whole hundredths, never below 0, so that its
// two-decimal form never exceeds the limit it stands for. (Lowering it by half a
// hundredth and rounding, as one might, still shows 20.00 for 19.995 when the binary
// value of the difference lies just above it.) The tolerance keeps 25.40 from reading
// as 25.39 when 25.4 is held as 25.39999...
double Lowered(double bound) { return std::max(0.0, std::floor(bound * 100 + 1e-7) / 100); }

}  // namespace

TPrintLayout::TPrintLayout() {
  printer_.SetAlignment(alCenter);
  preview_.SetAlignment(alCenter);
}

void TPrintLayout::SetImage(const TBitmap* image, double resolution) {
  image_ = image && !image->Empty() ? image : nullptr;
  resolution_ = std::isfinite(resolution) ? resolution : 0;
  aspect_ = image_ ? double(image_->Width()) / image_->Height() : 1.0;
  printer_.SetBitmap(image_);
  preview_.SetBitmap(image_);
}

bool TPrintLayout::Landscape() const { return image_ && image_->Height() <= image_->Width(); }

void TPrintLayout::SetPage(const TPrintPage& page) {
  page_ = page;
  page_.WidthPx = std::max(1, page.WidthPx);
  page_.HeightPx = std::max(1, page.HeightPx);
  printer_.SetViewRect(TRect{0, 0, page_.WidthPx, page_.HeightPx});
  if (PortraitPage()) {
    previewHeight_ = kPreviewSide;
    ratio_ = double(kPreviewSide) / page_.HeightPx;
    previewWidth_ = std::max(2, int(std::lround(page_.WidthPx * ratio_)));
  } else {
    previewWidth_ = kPreviewSide;
    ratio_ = double(kPreviewSide) / page_.WidthPx;
    previewHeight_ = std::max(2, int(std::lround(page_.HeightPx * ratio_)));
  }
  const int o = kPreviewOrigin + 1;
  preview_.SetViewRect(TRect{o, o, o + previewWidth_ - 2, o + previewHeight_ - 2});
  Reset();
}

TRect TPrintLayout::PreviewPageRect() const {
  return TRect{kPreviewOrigin, kPreviewOrigin, kPreviewOrigin + previewWidth_, kPreviewOrigin + previewHeight_};
}

double TPrintLayout::PixelsToUnits(double pixels) const { return pixels * LongerUnits() / LongerPixels(); }

int TPrintLayout::UnitsToPixels(double units) const {
  const double units0 = LongerUnits();
  if (!(units0 > 0)) return 0;
  const double px = LongerPixels() * units / units0;
  return int(std::lround(std::clamp(px, -kMaxZoomedSide, kMaxZoomedSide)));
}

void TPrintLayout::Reset() {
  centred_ = true;
  fitPage_ = realSize_ = false;
  showsDocumentResolution_ = false;
  sizeEdited_ = positionEdited_ = false;
  updating_ = true;
  printer_.SetAlignment(alCenter);
  preview_.SetAlignment(alCenter);
  printer_.SetFitMode(fmFitWhole);
  printer_.Update();
  const double fit = printer_.Zoom();
  // A bar reduced to its one position leaves the image filling the page (the layout's
  // fit-both branch): an image too large to print even at 15 %.
  barMax_ = std::max(kBarMin, int(std::lround(fit * 100 / kScaleStep)));
  scale_ = std::min(0.8 * fit, 5.0);
  printer_.SetZoom(scale_);
  UpdateScaleBar();
  UpdateLayout();
  UpdatePosition();
  // A document without a resolution has no real size.
  realSizePossible_ = resolution_ > 0;
}

void TPrintLayout::UpdateScaleBar() {
  barPosition_ = std::clamp(int(std::lround(scale_ * 100 / kScaleStep)), kBarMin, barMax_);
}

void TPrintLayout::UpdateLayout() {
  if (!fitPage_ && barMax_ != kBarMin) {
    printer_.SetZoom(scale_);
    preview_.SetZoom(ratio_ * scale_);
  } else {
    printer_.SetFitMode(fmFitWhole);
    printer_.Update();
    preview_.SetFitMode(fmFitWhole);
    preview_.Update();
    scale_ = printer_.Zoom();
    UpdateScaleBar();
  }
  if (updating_) UpdateFields();
  showsDocumentResolution_ = false;
  if (centred_) UpdatePosition();
}

void TPrintLayout::UpdateFields() {
  fields_.Width = PixelsToUnits(printer_.ZoomedWidth());
  fields_.Height = PixelsToUnits(printer_.ZoomedHeight());
}

void TPrintLayout::UpdatePosition() {
  if (!centred_) {
    const int left = UnitsToPixels(fields_.Left), top = UnitsToPixels(fields_.Top);
    printer_.SetImageLeft(left);
    printer_.SetImageTop(top);
    preview_.SetImageLeft(int(std::lround(left * ratio_)) + kPreviewOrigin);
    preview_.SetImageTop(int(std::lround(top * ratio_)) + kPreviewOrigin);
    return;
  }
  printer_.SetAlignment(alCenter);
  preview_.SetAlignment(alCenter);
  printer_.UpdatePosition();
  preview_.UpdatePosition();
  fields_.Left = PixelsToUnits(printer_.ImageLeft());
  fields_.Top = PixelsToUnits(printer_.ImageTop());
}

bool TPrintLayout::RelativeResolution(double& dpi) const {
  if (showsDocumentResolution_) {
    dpi = resolution_;
    return resolution_ > 0;
  }
  if (!image_) return false;
  const bool tall = image_->Height() >= image_->Width();
  const double side = tall ? fields_.Height : fields_.Width;
  if (!(side > 0)) return false;
  dpi = (tall ? image_->Height() : image_->Width()) / side;
  if (unit_ == TPrintUnit::Centimetres) dpi *= kCmPerInch;
  return std::isfinite(dpi);
}

double TPrintLayout::ScaleForSize(double width, double height) const {
  if (!image_) return scale_;
  const double image = PortraitPage() ? PixelsToUnits(image_->Height()) : PixelsToUnits(image_->Width());
  const double printed = PortraitPage() ? height : width;
  return image > 0 && printed > 0 ? printed / image : scale_;
}

void TPrintLayout::ScrollTo(int position) {
  barPosition_ = std::clamp(position, kBarMin, barMax_);
  scale_ = barPosition_ * kScaleStep / 100.0;
  UpdateLayout();
}

void TPrintLayout::EditWidth(double width) {
  fields_.Width = width;
  fields_.Height = width / aspect_;
  sizeEdited_ = true;
}

void TPrintLayout::EditHeight(double height) {
  fields_.Height = height;
  fields_.Width = height * aspect_;
  sizeEdited_ = true;
}

void TPrintLayout::EditPosition(double left, double top) {
  fields_.Left = left;
  fields_.Top = top;
  positionEdited_ = true;
}

TPrintFault TPrintLayout::Check() const {
  if (fitPage_) return {};
  const TPrintFields& f = fields_;
  const double maxLeft = std::max(0.0, page_.Width - f.Width), maxTop = std::max(0.0, page_.Height - f.Height);
  if (f.Width < 1.0 || f.Width > page_.Width) return {1, Format(TextId::GetTrDlgPrint1, {1.0, Lowered(page_.Width)})};
  if (f.Height < 1.0 || f.Height > page_.Height)
    return {2, Format(TextId::GetTrDlgPrint2, {1.0, Lowered(page_.Height)})};
  if (f.Left > maxLeft) return {3, Format(TextId::GetTrDlgPrint3, {Lowered(maxLeft)})};
  if (f.Top > maxTop) return {4, Format(TextId::GetTrDlgPrint4, {Lowered(maxTop)})};
  return {};
}

TPrintFault TPrintLayout::ApplySize() {
  TPrintFault fault = Check();
  if (fault.Field) return fault;
  scale_ = ScaleForSize(fields_.Width, fields_.Height);
  UpdateScaleBar();
  UpdateLayout();
  sizeEdited_ = false;
  return {};
}

TPrintFault TPrintLayout::ApplyPosition() {
  TPrintFault fault = Check();
  if (fault.Field) return fault;
  UpdatePosition();
  positionEdited_ = false;
  return {};
}

TPrintFault TPrintLayout::ApplyPending() {
  TPrintFault fault = Check();
  if (fault.Field) return fault;
  if (sizeEdited_) ApplySize();
  if (positionEdited_) ApplyPosition();
  return {};
}

void TPrintLayout::SetCentred(bool on) {
  centred_ = on;
  if (on) {
    UpdatePosition();
  } else {
    printer_.SetAlignment(alFree);
    preview_.SetAlignment(alFree);
  }
}

void TPrintLayout::SetFitPage(bool on) {
  fitPage_ = on;
  if (!on) return;
  centred_ = true;
  UpdateLayout();
}

bool TPrintLayout::SetRealSize(bool on) {
  realSize_ = on;
  if (!on) return true;
  double resolution = resolution_;
  if (unit_ == TPrintUnit::Centimetres) resolution /= kCmPerInch;
  const double width = image_ && resolution > 0 ? image_->Width() / resolution : 0;
  const double height = image_ && resolution > 0 ? image_->Height() / resolution : 0;
  if (width > 0 && height > 0 && width <= page_.Width && height <= page_.Height) {
    updating_ = false;
    fields_.Width = width;
    fields_.Height = height;
    scale_ = ScaleForSize(width, height);
    UpdateScaleBar();
    UpdateLayout();
    updating_ = true;
    showsDocumentResolution_ = true;
    sizeEdited_ = false;
    return true;
  }
  realSizePossible_ = false;
  realSize_ = false;
  return false;
}

std::vector<TPrintSegment> TPrintLayout::CutLines() const {
  const bool inches = unit_ == TPrintUnit::Inches;
  const int a = UnitsToPixels(inches ? 0.8 / kCmPerInch : 0.8), b = UnitsToPixels(inches ? 0.1 / kCmPerInch : 0.1);
  const TRect r = PrinterRect();
  const int L = r.Left, T = r.Top, R = r.Right, B = r.Bottom;
  std::vector<TPrintSegment> lines{
      {{L - a, T}, {L - b, T}}, {{L, T - a}, {L, T - b}}, {{R + a, T}, {R + b, T}}, {{R, T - a}, {R, T - b}},
      {{R + a, B}, {R + b, B}}, {{R, B + a}, {R, B + b}}, {{L - a, B}, {L - b, B}}, {{L, B + a}, {L, B + b}},
  };
  if (image_ && std::max(aspect_, 1 / aspect_) >= 1.5) {
    if (image_->Height() >= image_->Width()) {
      const int y = T + (B - T) / 2;
      lines.push_back({{L - a, y}, {L - b, y}});
      lines.push_back({{R + a, y}, {R + b, y}});
    } else {
      const int x = L + (R - L) / 2;
      lines.push_back({{x, T - a}, {x, T - b}});
      lines.push_back({{x, B + a}, {x, B + b}});
    }
  }
  return lines;
}

}  // namespace qm
