#include "shell/StartWindow.h"

#include <QHBoxLayout>
#include <algorithm>
#include <cmath>

#include "pixel/ImgUtils.h"
#include "platform/core/Colors.h"
#include "platform/texts/UiTexts.h"

namespace qm {
namespace {

TBitmap Sky(int w, int h) {
  TBitmap bmp(w, h);
  for (int y = 0; y < h; ++y) {
    uint8_t* p = bmp.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      // from a deep blue at the top through purple to orange at the horizon, dark hills
      // below
      const int hill = int(h * 0.72 + 40 * std::sin(x * 0.011) + 18 * std::sin(x * 0.037));
      const TColor c = y > hill ? HSVToColor(110 + 20 * x / w, 120, 90 - 50 * (y - hill) / std::max(1, h - hill))
                                : HSVToColor((230 + 230 * y / h) % 360, 150 + 60 * y / h, 120 + 135 * y / h);
      ColorToPixel24(c, p + 3 * x);
    }
  }
  return bmp;
}

// A disc of the colour with a soft edge: the image and its mask (0 shown, 255 hidden).
void Disc(int d, TColor color, TBitmap& image, TBitmap& mask) {
  image = TBitmap(d, d, pf24bit, color);
  mask = TBitmap(d, d, pf24bit, clWhite);
  const double r = d / 2.0;
  for (int y = 0; y < d; ++y) {
    uint8_t* m = mask.ScanLine(y);
    uint8_t* p = image.ScanLine(y);
    for (int x = 0; x < d; ++x) {
      const double dist = std::hypot(x + 0.5 - r, y + 0.5 - r);
      const double edge = std::clamp((r - dist) / 6.0, 0.0, 1.0);
      const uint8_t v = uint8_t(std::lround(255 * (1 - edge)));
      m[3 * x] = m[3 * x + 1] = m[3 * x + 2] = v;
      // brighter toward the middle
      const int lift = int(60 * std::max(0.0, 1 - dist / r));
      for (int k = 0; k < 3; ++k) p[3 * x + k] = uint8_t(std::min(255, p[3 * x + k] + lift));
    }
  }
}

// the navigator's thumbnails, as the settings have them by default
constexpr int kThumbnailWidth = 64;

}  // namespace

void TStartWindow::MakeSampleDocument(TLayeredImage& doc, bool seeThrough) {
  const int w = 1200, h = 800;
  TBitmap bgMask;
  if (seeThrough) {
    // the top third fades from hidden to shown
    bgMask = TBitmap(w, h, pf24bit, clBlack);
    for (int y = 0; y < h / 3; ++y) {
      const int v = 255 - 255 * y * 3 / h;
      bgMask.FillRect(TRect{0, y, w, y + 1}, RGB(v, v, v));
    }
  }
  doc.LoadFromBitmap(Sky(w, h), bgMask, "#0");
  TBitmap sun, sunMask;
  Disc(260, RGB(255, 170, 40), sun, sunMask);
  const int i = doc.AddLayer(std::move(sun), std::move(sunMask), "#1", 100, TPoint{700, 300});
  TLayerItem& s = doc.Layers[i];
  s.Shadow.Enabled = 1;
  s.Shadow.OffsetX = 14;
  s.Shadow.OffsetY = 14;
  s.Shadow.Radius = 6;
  s.Shadow.Opacity = 45;
  TBitmap card(420, 220, pf24bit, RGB(245, 245, 250));
  card.FillRect(TRect{20, 20, 400, 60}, RGB(40, 90, 170));
  for (int k = 0; k < 5; ++k) card.FillRect(TRect{20, 80 + 24 * k, 340 - 40 * (k % 3), 92 + 24 * k}, RGB(150, 150, 160));
  // rounded corners of radius 24: hidden outside the quarter circles
  TBitmap cardMask(420, 220, pf24bit, clBlack);
  for (int y = 0; y < 220; ++y)
    for (int x = 0; x < 420; ++x) {
      const double cx = std::clamp(x + 0.5, 24.0, 396.0), cy = std::clamp(y + 0.5, 24.0, 196.0);
      if (std::hypot(x + 0.5 - cx, y + 0.5 - cy) > 24) cardMask.SetPixel(x, y, clWhite);
    }
  doc.AddLayer(std::move(card), std::move(cardMask), "#2", 85, TPoint{120, 420});
}

TStartWindow::TStartWindow(QWidget* parent) : QWidget(parent) {
  setWindowTitle(QString::fromUtf8(kAppTitle));
  row_ = new QHBoxLayout(this);
  row_->setContentsMargins(0, 0, 0, 0);
  row_->setSpacing(0);
  navigator_ = new TLayerNavigator(document_, this);
  navigator_->setFrameStyle(QFrame::NoFrame);
  navigator_->SetHighlightColor(RGB(0xFF, 0x99, 0x00));
  navigator_->setFixedWidth(kThumbnailWidth + 4);
  row_->addWidget(navigator_);
  view_ = new TMyImageLayered(document_, this);
  row_->addWidget(view_, 1);
  // a flag toggled in the strip can make the layer under the pointer movable or not
  connect(navigator_, &TLayerNavigator::LayerFlagsChanged, view_, [this](int) { view_->RefreshCursor(); });
  selection_ = std::make_unique<TSelectionControl>(*view_);
  handles_ = std::make_unique<TVerticesControl>(*view_);
  view_->SetColor(MixColors(RGB(212, 208, 200), clWhite, 33));
  view_->SetOptimizeMode(omReduction);
  view_->SetBorderColor(clBlack);
  view_->SetShadowSize(4);
  view_->LayerMove().PickByClick = true;
  // a shape drawn on the image becomes the selection
  view_->OnSelection = [this](TMyImage&, const TRect& r, TSelectionOption option) {
    if (option == soStart) selection_->Hide();
    if (option != soFinished) return;
    selection_->SyncShape();
    selection_->SetSelectionRect(r);
    selection_->Show();
  };
  MakeSampleDocument(document_, false);
  resize(1100, 760);
}

TStartWindow::~TStartWindow() {
  // The overlays leave the view, and the view goes, while the document it shows is
  // still there (child widgets would otherwise outlive the members).
  handles_.reset();
  selection_.reset();
  delete view_;
  delete navigator_;
}

}  // namespace qm
