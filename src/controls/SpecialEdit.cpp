#include "controls/SpecialEdit.h"

#include <QAction>
#include <QBitmap>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"

namespace qm {
namespace {
constexpr qint64 kDropDownInterval = 333;  // ms; a click that closed the menu must not reopen it
}  // namespace

TSpecialEdit::TSpecialEdit(QWidget* parent) : QFrame(parent), button_(new TPrevNextButton(this)) {
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  setFocusPolicy(Qt::StrongFocus);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);  // one line, like an edit
  button_->setObjectName(QStringLiteral("DropButton"));
  button_->setToolTip(QString::fromStdString(Tr(TextId::GetTrHntChoices)));
  button_->SetStyle(stDown);
  button_->hide();
  button_->OnClick = [this] { ButtonClicked(); };
  color_ = palette().color(QPalette::Base);
  setMinimumHeight(MinHeight());
  resize(80, MinHeight());
}

int TSpecialEdit::MinHeight() const { return fontMetrics().height() + 8; }
QSize TSpecialEdit::sizeHint() const { return QSize(80, MinHeight()); }
QSize TSpecialEdit::minimumSizeHint() const { return QSize(button_->width() + 4, MinHeight()); }

QList<QAction*> TSpecialEdit::Items() const {
  QList<QAction*> items;
  if (menu_)
    for (QAction* a : menu_->actions())
      if (!a->isSeparator()) items << a;
  return items;
}

QString TSpecialEdit::Text() const {
  if (!menu_) return text_;
  const QList<QAction*> items = Items();
  if (itemIndex_ < 0 || itemIndex_ >= items.size()) return {};
  return QString::fromStdString(StripHotkey(items[itemIndex_]->text().toStdString()));
}

void TSpecialEdit::SetText(const QString& text) {
  if (menu_) return;
  text_ = text;
  update();
  if (OnChange) OnChange();
}

void TSpecialEdit::CheckItems() {
  const QList<QAction*> items = Items();
  for (int i = 0; i < items.size(); ++i) {
    items[i]->setCheckable(true);
    items[i]->setChecked(i == itemIndex_);
  }
}

void TSpecialEdit::SetItemIndex(int index) {
  if (index < 0) index = -1;
  if (index == itemIndex_) return;
  itemIndex_ = index;
  if (menu_) CheckItems();
  update();
  if (OnChange) OnChange();
}

void TSpecialEdit::SetDropDownMenu(QMenu* menu) {
  menu_ = menu;
  CheckItems();
  update();
  if (OnChange) OnChange();
}

void TSpecialEdit::SetShowButton(bool on) {
  showButton_ = on;
  button_->setVisible(on);
  LayOutButton();
  update();
}

void TSpecialEdit::SetReadOnly(bool on) {
  readOnly_ = on;
  UpdateButton();
}

void TSpecialEdit::SetMinimizeText(bool on) {
  minimizeText_ = on;
  update();
}

void TSpecialEdit::SetColor(const QColor& c) {
  color_ = c;
  update();
}

void TSpecialEdit::SetDisabledColor(const QColor& c) {
  disabledColor_ = c;
  update();
}

void TSpecialEdit::SetGlyph(const QPixmap& glyph) {
  glyph_ = glyph;
  update();
}

void TSpecialEdit::SetNumGlyphs(int n) {
  numGlyphs_ = n < 1 ? 1 : n;
  update();
}

void TSpecialEdit::UpdateButton() { button_->setEnabled(isEnabled() && !readOnly_); }

void TSpecialEdit::LayOutButton() {
  const QRect c = contentsRect();
  const int w = button_->sizeHint().width();
  button_->setGeometry(c.right() + 1 - w, c.top(), w, c.height());
}

void TSpecialEdit::resizeEvent(QResizeEvent* e) {
  QFrame::resizeEvent(e);
  LayOutButton();
}

void TSpecialEdit::changeEvent(QEvent* e) {
  QFrame::changeEvent(e);
  if (e->type() == QEvent::EnabledChange) {
    UpdateButton();
    update();
  } else if (e->type() == QEvent::FontChange) {
    setMinimumHeight(MinHeight());
  }
}

void TSpecialEdit::ButtonClicked() {
  DropDown();
  if (OnBtnClick) OnBtnClick();
}

void TSpecialEdit::DropDown() {
  if (!menu_ || !isEnabled() || readOnly_) return;
  if (lastDropDown_.isValid() && lastDropDown_.elapsed() < kDropDownInterval) return;
  QAction* chosen = menu_->exec(mapToGlobal(QPoint(0, height())));
  lastDropDown_.start();
  if (!chosen) return;
  const int index = Items().indexOf(chosen);
  if (index < 0) return;
  const bool changed = index != itemIndex_;
  SetItemIndex(index);
  if (OnSelectItem) OnSelectItem(changed);
}

void TSpecialEdit::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || !rect().contains(e->position().toPoint())) return;
  if (OnClick) OnClick();
  DropDown();
}

void TSpecialEdit::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && OnDblClick) OnDblClick();
}

void TSpecialEdit::paintEvent(QPaintEvent* e) {
  QPainter p(this);
  QRect r = contentsRect();
  const QColor back = (!isEnabled() && disabledColor_.isValid()) ? disabledColor_ : color_;
  p.fillRect(r, back);
  p.end();
  QFrame::paintEvent(e);  // the border
  p.begin(this);

  if (showButton_) r.setRight(r.right() - button_->width());
  if (!glyph_.isNull()) {
    const int gw = glyph_.width() / numGlyphs_;
    const int index = (!isEnabled() && numGlyphs_ == 2) ? 1 : 0;
    QPixmap g = glyph_.copy(index * gw, 0, gw, glyph_.height());
    // The bottom-left pixel's colour is the glyph's transparent colour.
    const QColor key = g.toImage().pixelColor(0, g.height() - 1);
    g.setMask(g.createMaskFromColor(key, Qt::MaskInColor));
    p.drawPixmap(2, (height() - g.height()) / 2, g);
    r.setLeft(r.left() + gw);
  }
  r.adjust(2, 2, -2, -2);
  QString shown = Text();
  if (minimizeText_) shown = p.fontMetrics().elidedText(shown, Qt::ElideRight, r.width());
  if (OnDisplayText) OnDisplayText(shown);
  p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                           isEnabled() ? QPalette::WindowText : QPalette::Text));
  p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

}  // namespace qm
