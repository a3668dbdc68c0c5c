#pragma once
// The flat colour button of the parameter dialogs and the tool palette: a colour
// indicator and a drop-down arrow that drops down the colour popup (ColorPopup.h).
// Dialogs read and write SelectionColor and react to OnChange.
#include <QPointer>
#include <QWidget>
#include <functional>

#include "controls/ColorPopup.h"

namespace qm {

enum TIndicatorBorder { ibNone, ibFlat, ibSunken, ibRaised };

class TColorPicker : public QWidget {
 public:
  explicit TColorPicker(QWidget* parent = nullptr);
  ~TColorPicker() override;

  TColor SelectionColor() const { return selectionColor_; }
  // Repaints and fires OnChange.
  void SetSelectionColor(TColor c);

  // The captions of the popup's buttons; an empty text hides its button.
  const QString& DefaultText() const { return defaultText_; }
  void SetDefaultText(const QString& text) { defaultText_ = text; }
  const QString& CustomText() const { return customText_; }
  void SetCustomText(const QString& text) { customText_ = text; }

  bool ShowSystemColors() const { return showSystemColors_; }
  void SetShowSystemColors(bool on) { showSystemColors_ = on; }
  // A click on the button itself drops the popup, not only one on the arrow.
  bool ClickDropDown() const { return clickDropDown_; }
  void SetClickDropDown(bool on) { clickDropDown_ = on; }
  TIndicatorBorder IndicatorBorder() const { return indicatorBorder_; }
  void SetIndicatorBorder(TIndicatorBorder b);
  // The space around the colour indicator.
  int Margin() const { return margin_; }
  void SetMargin(int m);
  // The popup's margin beside its cells, 8 pixels unless set.
  int PopupSpacing() const { return popupSpacing_; }
  void SetPopupSpacing(int s) { popupSpacing_ = s < 0 ? 0 : s; }
  // Transparent: the parent shows around the indicator instead of the button face.
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool on);
  // The width of the arrow at the right; 0 leaves it out (the colour edit has its
  // own arrow button).
  int DropDownWidth() const { return dropDownWidth_; }
  void SetDropDownWidth(int w);

  bool DroppedDown() const;
  // Opens the popup under the picker with the current colour selected, unless
  // OnDropChanging refuses.
  void DropDown();
  void CloseUp();
  // The popup, once dropped down; nullptr before.
  TColorPopup* Popup() const { return popup_; }

  // Runs when the popup's default button is chosen: the shared default colour, when
  // one is set, becomes the selection; then OnDefaultSelect.
  virtual void DefaultSelect();

  std::function<void()> OnChange, OnClick, OnDblClick, OnDefaultSelect;
  // Before the popup opens (allow may be cleared to refuse), and after it opened or
  // closed.
  std::function<void(bool& allow)> OnDropChanging;
  std::function<void()> OnDropChanged;
  // The hint of what the pointer shows in the popup.
  std::function<void(const QString&)> OnHint;

  QSize sizeHint() const override;

  // Called by the popup.
  void PopupClosed();
  void ShowHint(const QString& hint);
  // Places the popup again (its height changed).
  void PlacePopup();

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void enterEvent(QEnterEvent* e) override;
  void leaveEvent(QEvent* e) override;

 private:
  QRect ArrowRect() const;
  QRect IndicatorRect() const;

  TColor selectionColor_ = clBlack;
  QString defaultText_, customText_;
  bool showSystemColors_ = false, clickDropDown_ = false, transparent_ = true;
  TIndicatorBorder indicatorBorder_ = ibFlat;
  int margin_ = 2, popupSpacing_ = 8, dropDownWidth_ = 12;
  bool hot_ = false, pressed_ = false;
  QPointer<TColorPopup> popup_;
};

// Where a popup of that size opens for a picker whose global rectangle is anchor, on
// a screen whose available area is screen: right below the picker (overlapping its
// last pixel row, as flat menus do); moved up to end at the bottom of the screen when
// it would pass it, or above the picker when that would hide the picker's top; kept
// inside the screen horizontally.
QPoint PlaceColorPopup(const QRect& anchor, const QSize& popup, const QRect& screen);

// Shared by every colour edit: the captions of the popup's buttons (taken by each edit
// created later), the default colour of every default button (clNone until the tool
// palette sets its foreground colour), and whether edits show their colour's hint.
void SetColorEditCustomText(const QString& text);
const QString& ColorEditCustomText();
void SetColorEditDefaultText(const QString& text);
const QString& ColorEditDefaultText();
void SetColorEditDefaultColor(TColor c);
TColor ColorEditDefaultColor();
void SetColorEditShowHints(bool on);
bool ColorEditShowHints();

}  // namespace qm
