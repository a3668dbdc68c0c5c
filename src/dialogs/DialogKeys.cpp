#include "dialogs/DialogKeys.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextEdit>

#include "controls/SpinEdit.h"

namespace qm {
namespace {

// A field without limits (its two bounds equal) takes any value, negative ones too.
template <class E>
bool TakesNegative(const E& edit) {
  return edit.MinValue() < 0 || edit.MinValue() == edit.MaxValue();
}

}  // namespace

bool KeepsPlusMinus(const QObject* control) {
  // A text box's keys reach its viewport's parent, the box itself.
  for (const QObject* o = control; o; o = o->parent()) {
    if (qobject_cast<const QPlainTextEdit*>(o) || qobject_cast<const QTextEdit*>(o)) return true;
    if (o->isWidgetType() && static_cast<const QWidget*>(o)->isWindow()) break;
  }
  if (const auto* e = dynamic_cast<const TSpinEdit2*>(control)) return TakesNegative(*e);
  if (const auto* e = dynamic_cast<const TFloatSpinEdit*>(control)) return TakesNegative(*e);
  return false;
}

bool TypePlusMinusAsA(QObject* watched, QEvent* e) {
  if (e->type() != QEvent::KeyPress) return false;
  const QString text = static_cast<QKeyEvent*>(e)->text();
  if (text != QLatin1String("+") && text != QLatin1String("-")) return false;
  if (KeepsPlusMinus(watched)) return false;
  QKeyEvent replaced(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("A"));
  QCoreApplication::sendEvent(watched, &replaced);
  return true;
}

}  // namespace qm
