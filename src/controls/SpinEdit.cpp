#include "controls/SpinEdit.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QStyle>
#include <cmath>

#include "platform/texts/Format.h"
#include "platform/texts/TextUtils.h"
#include "controls/Beep.h"

namespace qm {
namespace {

constexpr int kButtonWidth = 13;

bool IsControl(QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; }
bool IsEnter(QChar c) { return c == QLatin1Char('\r') || c == QLatin1Char('\n'); }
bool IsErase(QChar c) { return c == QLatin1Char('\b') || c.unicode() == 0x7F; }

// Without the editor, only control characters other than the erasing ones pass.
bool EditorRule(bool editorEnabled, QChar c, bool valid) {
  if (!editorEnabled && valid && (!IsControl(c) || IsErase(c))) return false;
  return valid;
}

QString DecimalSeparator() { return QString::fromStdString(FormatSettings().DecimalSeparator); }

}  // namespace

// ---- TSpinEditBase ------------------------------------------------------------------

TSpinEditBase::TSpinEditBase(QWidget* parent) : QLineEdit(parent), upDown_(new TUpDown(this)) {
  upDown_->setObjectName(QStringLiteral("UpDown"));
  upDown_->setCursor(Qt::ArrowCursor);
  upDown_->OnClick = [this](TUDBtnType b) { UpDownClick(b); };
  connect(this, &QLineEdit::textChanged, this, [this] {
    if (OnChange) OnChange();
  });
  setMinimumHeight(MinHeight());
  resize(65, std::max(MinHeight(), QLineEdit::sizeHint().height()));
  LayOutButton();
}

int TSpinEditBase::MinHeight() const { return fontMetrics().height() + 8; }

QSize TSpinEditBase::sizeHint() const { return QSize(65, std::max(MinHeight(), QLineEdit::sizeHint().height())); }

QSize TSpinEditBase::minimumSizeHint() const {
  return QSize(QLineEdit::minimumSizeHint().width(), MinHeight());
}

void TSpinEditBase::SetEditorEnabled(bool on) {
  editorEnabled_ = on;
  setAcceptDrops(on);
}

void TSpinEditBase::SetShowUpDown(bool on) {
  showUpDown_ = on;
  LayOutButton();
}

void TSpinEditBase::LayOutButton() {
  upDown_->setVisible(showUpDown_);
  const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
  upDown_->setGeometry(width() - frame - kButtonWidth, frame, kButtonWidth, std::max(0, height() - 2 * frame));
  setTextMargins(0, 0, showUpDown_ ? kButtonWidth + 1 : 0, 0);
}

void TSpinEditBase::UpDownClick(TUDBtnType button) {
  if (button == btNext)
    UpClick();
  else
    DownClick();
}

void TSpinEditBase::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Up || e->key() == Qt::Key_Down) {
    if (e->key() == Qt::Key_Up)
      UpClick();
    else
      DownClick();
    e->accept();
    return;
  }
  if (!Writable() && (e->matches(QKeySequence::Paste) || e->matches(QKeySequence::Cut) ||
                      e->matches(QKeySequence::Undo) || e->matches(QKeySequence::Redo) ||
                      e->matches(QKeySequence::Delete) || e->matches(QKeySequence::DeleteEndOfWord) ||
                      e->matches(QKeySequence::DeleteStartOfWord) || e->key() == Qt::Key_Delete)) {
    e->accept();
    return;
  }
  const QString t = e->text();
  // Shortcuts (Ctrl+A, Ctrl+V...) are control characters, whatever text they carry.
  const bool shortcut = (e->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) && !(e->modifiers() & Qt::AltModifier);
  if (t.isEmpty() || IsEnter(t[0]) || shortcut) {
    // Navigation, and Enter, which goes on to the dialog's default button.
    QLineEdit::keyPressEvent(e);
    return;
  }
  const QChar c = t[0];
  const QString typed = IsControl(c) ? QString(c) : TypedText(c);
  const QChar key = typed.isEmpty() ? c : typed[0];
  if (!IsValidChar(key)) {
    ControlBeep();
    e->accept();
    return;
  }
  if (typed != QString(c)) {
    insert(typed);
    e->accept();
    return;
  }
  QLineEdit::keyPressEvent(e);
}

void TSpinEditBase::inputMethodEvent(QInputMethodEvent* e) {
  for (QChar c : e->commitString()) {
    if (!Writable() || !IsValidChar(c)) {
      ControlBeep();
      e->accept();
      return;
    }
  }
  QLineEdit::inputMethodEvent(e);
}

void TSpinEditBase::focusInEvent(QFocusEvent* e) {
  QLineEdit::focusInEvent(e);
  if (autoSelect_ && !(QGuiApplication::mouseButtons() & Qt::LeftButton)) selectAll();
  if (OnEnter) OnEnter();
}

void TSpinEditBase::focusOutEvent(QFocusEvent* e) {
  QLineEdit::focusOutEvent(e);
  LeaveField();
  if (OnExit) OnExit();
}

void TSpinEditBase::resizeEvent(QResizeEvent* e) {
  QLineEdit::resizeEvent(e);
  LayOutButton();
}

void TSpinEditBase::changeEvent(QEvent* e) {
  QLineEdit::changeEvent(e);
  if (e->type() == QEvent::FontChange) setMinimumHeight(MinHeight());
}

void TSpinEditBase::contextMenuEvent(QContextMenuEvent* e) {
  QMenu* menu = createStandardContextMenu();
  if (!Writable()) {
    for (QAction* a : menu->actions()) {
      const QString n = a->objectName();
      if (n == QLatin1String("edit-paste") || n == QLatin1String("edit-cut") || n == QLatin1String("edit-delete") ||
          n == QLatin1String("edit-undo") || n == QLatin1String("edit-redo"))
        a->setEnabled(false);
    }
  }
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(e->globalPos());
}

// ---- TSpinEdit2 ---------------------------------------------------------------------

TSpinEdit2::TSpinEdit2(QWidget* parent) : TSpinEditBase(parent) { setText(QStringLiteral("0")); }

int TSpinEdit2::CheckValue(int64_t value) const {
  if (min_ != max_) {
    if (value < min_) return min_;
    if (value > max_) return max_;
  }
  return int(value < INT32_MIN ? INT32_MIN : (value > INT32_MAX ? INT32_MAX : value));
}

int TSpinEdit2::Value() const {
  int v = 0;
  return TryStrToInt(text().toStdString(), v) ? v : min_;
}

void TSpinEdit2::SetValue(int value) { setText(QString::number(CheckValue(value))); }

bool TSpinEdit2::IsValidChar(QChar c) const {
  const bool digit = c.unicode() >= '0' && c.unicode() <= '9';
  const bool valid = digit || c == QLatin1Char('+') || c == QLatin1Char('-') || (IsControl(c) && !IsEnter(c));
  return EditorRule(EditorEnabled(), c, valid);
}

void TSpinEdit2::UpClick() {
  if (isReadOnly()) {
    ControlBeep();
    return;
  }
  setText(QString::number(CheckValue(int64_t(Value()) + increment_)));
}

void TSpinEdit2::DownClick() {
  if (isReadOnly()) {
    ControlBeep();
    return;
  }
  setText(QString::number(CheckValue(int64_t(Value()) - increment_)));
}

void TSpinEdit2::LeaveField() {
  const std::string t = text().toStdString();
  if (t.empty()) return;  // an empty field stays empty: dialogs refuse it themselves
  int v = 0;
  if (!TryStrToInt(t, v) || CheckValue(v) != v) SetValue(Value());
}

// ---- TFloatSpinEdit -------------------------------------------------------------------

TFloatSpinEdit::TFloatSpinEdit(QWidget* parent) : TSpinEditBase(parent) {
  setText(QStringLiteral("0") + DecimalSeparator() + QStringLiteral("00"));
}

double TFloatSpinEdit::CheckValue(double value) const {
  if (std::isnan(value)) return min_;
  if (min_ != max_) {
    if (value < min_) return min_;
    if (value > max_) return max_;
  }
  return value;
}

double TFloatSpinEdit::Value() const {
  double v = 0;
  return TryStrToFloat(text().toStdString(), v) ? v : min_;
}

void TFloatSpinEdit::SetValue(double value) {
  setText(QString::fromStdString(FormatFloat(format_.toStdString(), CheckValue(value))));
}

void TFloatSpinEdit::SetFormat(const QString& format) {
  if (format == format_) return;
  format_ = format.isEmpty() ? QStringLiteral("0.00") : format;
  SetValue(Value());
}

QString TFloatSpinEdit::TypedText(QChar key) const {
  return key == QLatin1Char('.') ? DecimalSeparator() : QString(key);
}

bool TFloatSpinEdit::IsValidChar(QChar c) const {
  const QString sep = DecimalSeparator();
  bool valid;
  if (c.unicode() >= '0' && c.unicode() <= '9')
    valid = true;
  else if (c == QLatin1Char('+') || c == QLatin1Char('-'))
    valid = !isReadOnly();
  else if (!sep.isEmpty() && c == sep[0])
    valid = format_.contains(QLatin1Char('.')) && !text().contains(sep);
  else
    valid = IsControl(c) && !IsEnter(c);
  return EditorRule(EditorEnabled(), c, valid);
}

void TFloatSpinEdit::UpClick() {
  if (isReadOnly()) {
    ControlBeep();
    return;
  }
  SetValue(Value() + increment_);
}

void TFloatSpinEdit::DownClick() {
  if (isReadOnly()) {
    ControlBeep();
    return;
  }
  SetValue(Value() - increment_);
}

void TFloatSpinEdit::LeaveField() {
  if (!text().isEmpty()) SetValue(Value());
}

}  // namespace qm
