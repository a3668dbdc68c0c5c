#include "controls/ColorEditor.h"

#include <QEvent>

#include "platform/texts/UiTexts.h"

namespace qm {
namespace {
constexpr int kButtonWidth = 15;
}  // namespace

TColorEdit::TColorEdit(QWidget* parent)
    : QFrame(parent), picker_(new TColorPicker(this)), button_(new TPrevNextButton(this)) {
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  picker_->setObjectName(QStringLiteral("ColorPicker"));
  picker_->SetDropDownWidth(0);
  picker_->SetMargin(1);
  picker_->SetTransparent(true);
  picker_->SetIndicatorBorder(ibFlat);
  picker_->SetClickDropDown(false);
  picker_->SetCustomText(ColorEditCustomText());
  picker_->SetDefaultText(ColorEditDefaultText());
  picker_->OnClick = [this] { PickerClicked(); };
  picker_->OnChange = [this] {
    UpdateHint();
    if (OnChange) OnChange();
  };
  button_->setObjectName(QStringLiteral("DropButton"));
  button_->setToolTip(QString::fromStdString(Tr(TextId::GetTrHntColorList)));
  button_->SetStyle(stDown);
  button_->OnClick = [this] {
    if (!readOnly_) picker_->DropDown();
  };
  setFixedHeight(LineHeight());
  resize(80, LineHeight());
  UpdateHint();
}

int TColorEdit::LineHeight() const { return fontMetrics().height() + 8; }
QSize TColorEdit::sizeHint() const { return QSize(80, LineHeight()); }
QSize TColorEdit::minimumSizeHint() const { return QSize(kButtonWidth + 12, LineHeight()); }

void TColorEdit::SetColor(TColor c) {
  if (c != picker_->SelectionColor()) picker_->SetSelectionColor(c);
}

void TColorEdit::SetCustomText(const QString& text) {
  if (ColorEditCustomText().isEmpty()) picker_->SetCustomText(text);
}

void TColorEdit::SetDefaultText(const QString& text) {
  if (ColorEditDefaultText().isEmpty()) picker_->SetDefaultText(text);
}

void TColorEdit::SetReadOnly(bool on) {
  readOnly_ = on;
  UpdateButton();
}

void TColorEdit::SetBorderSingle(bool on) {
  setFrameStyle(on ? (QFrame::StyledPanel | QFrame::Sunken) : QFrame::NoFrame);
  resizeEvent(nullptr);
}

void TColorEdit::PickerClicked() {
  if (readOnly_ || !isEnabled()) return;
  if (!colorDialog_) {
    picker_->DropDown();
    return;
  }
  TColor c = Color();
  if (colorDialog_(c)) SetColor(c);
}

void TColorEdit::UpdateButton() { button_->setEnabled(isEnabled() && !readOnly_); }

void TColorEdit::UpdateHint() { picker_->setToolTip(ColorEditShowHints() ? ColorHint(Color()) : QString()); }

void TColorEdit::resizeEvent(QResizeEvent* e) {
  if (e) QFrame::resizeEvent(e);
  const QRect c = contentsRect();
  button_->setGeometry(c.right() + 1 - kButtonWidth, c.top(), kButtonWidth, c.height());
  picker_->setGeometry(c.left(), c.top(), c.width() - kButtonWidth, c.height());
}

void TColorEdit::changeEvent(QEvent* e) {
  QFrame::changeEvent(e);
  if (e->type() == QEvent::EnabledChange) UpdateButton();
  else if (e->type() == QEvent::FontChange) setFixedHeight(LineHeight());
}

}  // namespace qm
