#pragma once
// The framed colour field of the parameter dialogs: a colour picker and a drop-down
// arrow button in a single border, one text line high. Dialogs read and write Color
// and react to OnChange.
#include <QFrame>
#include <functional>

#include "controls/ColorPicker.h"
#include "controls/PrevNextButton.h"

namespace qm {

class TColorEdit : public QFrame {
 public:
  explicit TColorEdit(QWidget* parent = nullptr);

  TColor Color() const { return picker_->SelectionColor(); }
  // Nothing happens, and OnChange does not fire, when the colour is the same.
  void SetColor(TColor c);

  // The captions of the popup's buttons. The shared captions (ColorPicker.h) win: an
  // edit's own caption takes effect only while the shared one is empty.
  QString CustomText() const { return picker_->CustomText(); }
  void SetCustomText(const QString& text);
  QString DefaultText() const { return picker_->DefaultText(); }
  void SetDefaultText(const QString& text);

  // A read-only edit ignores clicks and its arrow is disabled.
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool on);

  bool BorderSingle() const { return frameStyle() != QFrame::NoFrame; }
  void SetBorderSingle(bool on);

  // Runs in place of the popup when the colour field itself is clicked: given the
  // current colour, true with the colour the user confirmed.
  using TColorDialog = std::function<bool(TColor& color)>;
  void SetColorDialog(TColorDialog dialog) { colorDialog_ = std::move(dialog); }
  bool HasColorDialog() const { return bool(colorDialog_); }

  TColorPicker* Picker() const { return picker_; }
  TPrevNextButton* Button() const { return button_; }

  std::function<void()> OnChange;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* e) override;
  void changeEvent(QEvent* e) override;

 private:
  int LineHeight() const;
  void PickerClicked();
  void UpdateButton();
  void UpdateHint();

  TColorPicker* picker_;
  TPrevNextButton* button_;
  bool readOnly_ = false;
  TColorDialog colorDialog_;
};

}  // namespace qm
