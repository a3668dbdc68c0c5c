#pragma once
// A single arrow button made of half an up-down control (the palette's colour-strip
// arrows, the layer navigator's scroll buttons, the arrows of the colour and special
// edits). One press gives one click: on release inside the button, or, in cmDown
// mode, 100 ms after the press whether or not the button is still held.
#include <QWidget>
#include <functional>

#include "controls/UpDown.h"

namespace qm {

enum TClickMode { cmUp, cmDown };
enum TPNStyle { stDown, stUp, stLeft, stRight };

// The inner up-down: no auto-repeat, and a click only for a press that ends inside
// its owner.
class TMyUpDown : public TUpDown {
 public:
  explicit TMyUpDown(QWidget* parent = nullptr);

  TClickMode ClickMode() const { return clickMode_; }
  void SetClickMode(TClickMode m) { clickMode_ = m; }
  bool Pressed() const { return pressed_; }

  std::function<void()> OnRelease;

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  TClickMode clickMode_ = cmUp;
  bool pressed_ = false;
};

class TPrevNextButton : public QWidget {
 public:
  explicit TPrevNextButton(QWidget* parent = nullptr);

  TPNStyle Style() const { return style_; }
  void SetStyle(TPNStyle s);
  TClickMode ClickMode() const { return upDown_->ClickMode(); }
  void SetClickMode(TClickMode m) { upDown_->SetClickMode(m); }
  TMyUpDown* UpDown() const { return upDown_; }

  std::function<void()> OnClick;

  QSize sizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  void LayOut();

  TPNStyle style_ = stDown;
  TMyUpDown* upDown_;
};

}  // namespace qm
