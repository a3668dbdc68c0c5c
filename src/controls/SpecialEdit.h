#pragma once
// A read-only text field with an optional glyph on its left and a drop-down button on
// its right that offers the items of a popup menu; the chosen item becomes the
// field's text (the main window's tool bar uses it).
#include <QElapsedTimer>
#include <QFrame>
#include <QPixmap>
#include <QPointer>
#include <functional>

#include "controls/PrevNextButton.h"

class QMenu;
class QAction;

namespace qm {

class TSpecialEdit : public QFrame {
 public:
  explicit TSpecialEdit(QWidget* parent = nullptr);

  // With a menu: the caption of the item at ItemIndex (separators not counted),
  // without its accelerator mark; empty when out of range. Without: the stored text.
  QString Text() const;
  // Only without a menu.
  void SetText(const QString& text);

  int ItemIndex() const { return itemIndex_; }
  // A negative index becomes -1; a change checks the menu's item at the index alone.
  void SetItemIndex(int index);

  QMenu* DropDownMenu() const { return menu_; }
  void SetDropDownMenu(QMenu* menu);

  bool ShowButton() const { return showButton_; }
  void SetShowButton(bool on);
  TPNStyle ButtonStyle() const { return button_->Style(); }
  void SetButtonStyle(TPNStyle s) { button_->SetStyle(s); }
  TPrevNextButton* Button() const { return button_; }

  // A single sunken border (the default) or none.
  bool BorderSingle() const { return frameStyle() != QFrame::NoFrame; }
  void SetBorderSingle(bool on) { setFrameStyle(on ? (QFrame::StyledPanel | QFrame::Sunken) : QFrame::NoFrame); }

  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool on);
  bool MinimizeText() const { return minimizeText_; }
  void SetMinimizeText(bool on);

  // The background, and the one used while disabled (invalid: the background).
  QColor Color() const { return color_; }
  void SetColor(const QColor& c);
  QColor DisabledColor() const { return disabledColor_; }
  void SetDisabledColor(const QColor& c);

  // A strip of NumGlyphs images side by side; the second shows while disabled.
  const QPixmap& Glyph() const { return glyph_; }
  void SetGlyph(const QPixmap& glyph);
  int NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int n);

  // Opens the menu below the field, at most once every 333 ms.
  void DropDown();

  std::function<void()> OnBtnClick, OnChange, OnClick, OnDblClick;
  // May change the text about to be drawn.
  std::function<void(QString&)> OnDisplayText;
  // An item was chosen; changed tells whether ItemIndex moved.
  std::function<void(bool changed)> OnSelectItem;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void changeEvent(QEvent* e) override;

 private:
  void ButtonClicked();
  void CheckItems();
  void UpdateButton();
  void LayOutButton();
  int MinHeight() const;
  QList<QAction*> Items() const;  // the menu's items without separators

  TPrevNextButton* button_;
  QPointer<QMenu> menu_;
  QString text_;
  int itemIndex_ = -1;
  bool showButton_ = false, readOnly_ = false, minimizeText_ = false;
  QColor color_, disabledColor_;
  QPixmap glyph_;
  int numGlyphs_ = 1;
  QElapsedTimer lastDropDown_;
};

}  // namespace qm
