#pragma once
// The pieces the hue dialogs share: the hue bar, a picture 360 columns wide whose column
// x is the colour of hue x at full saturation and value (HueColor), on which a press or
// a drag picks that hue; the swatch that shows a colour; the picture of a bitmap.
#include <QFrame>
#include <QImage>
#include <functional>

#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

class THueBar final : public QWidget {
 public:
  static constexpr int kWidth = 360, kHeight = 19;
  explicit THueBar(QWidget* parent);
  // A press or a drag at a column: its hue, 0..359.
  std::function<void(int hue)> OnPick;
  QSize sizeHint() const override { return {kWidth, kHeight}; }

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;

 private:
  void Pick(int x);
  QImage bar_;
};

// A sunken panel filled with its colour ("PnlCouleur").
class THueSwatch final : public QFrame {
 public:
  explicit THueSwatch(QWidget* parent);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  QSize sizeHint() const override { return {48, 24}; }

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  TColor color_ = clBlack;
};

// Shows a 24-bit bitmap at its own size, from its top-left corner, without a copy: the
// bitmap must outlive the picture or be unset first. Nothing is drawn without one.
class TBitmapPicture final : public QFrame {
 public:
  TBitmapPicture(QWidget* parent, int width, int height);
  void SetBitmap(const TBitmap* bitmap);
  const TBitmap* Bitmap() const { return bitmap_; }

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  const TBitmap* bitmap_ = nullptr;
};

}  // namespace qm
