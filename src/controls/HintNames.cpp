#include "controls/HintNames.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <string>

#include "platform/texts/UiTexts.h"

namespace qm {
namespace {

constexpr const char* kShowsNoText = "qmShowsNoText";
// The name a control took from its hint, so that a new hint replaces it.
constexpr const char* kNamedByHint = "qmNamedByHint";

void NameByHint(QWidget* w) {
  if (!ShowsNoText(w)) return;
  // Qt's buttons at the end of a tool bar or menu bar too short for their entries
  // have no hint. A module without these texts leaves them without one: setting an
  // empty hint would only announce another change of hint.
  if (w->toolTip().isEmpty()) {
    const QString& name = w->objectName();
    std::string more;
    if (name == QLatin1String("qt_toolbar_ext_button")) more = Tr(TextId::GetTrHntMoreButtons);
    if (name == QLatin1String("qt_menubar_ext_button")) more = Tr(TextId::GetTrHntMoreMenus);
    if (!more.empty()) w->setToolTip(QString::fromStdString(more));
  }
  // A name other than the one a hint gave was given by the control's owner: it stays.
  const QVariant given = w->property(kNamedByHint);
  const bool ours = given.isValid() && given.toString() == w->accessibleName();
  if (!ours && !w->accessibleName().isEmpty()) return;
  const QString hint = w->toolTip();
  if (hint.isEmpty() && !ours) return;
  w->setAccessibleName(hint);
  w->setProperty(kNamedByHint, hint);
}

class THintNames : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    const QEvent::Type t = e->type();
    if ((t == QEvent::ToolTipChange || t == QEvent::Polish) && o->isWidgetType()) NameByHint(static_cast<QWidget*>(o));
    return false;
  }
};

}  // namespace

void InstallHintNames() {
  static const QString kName = QStringLiteral("qmHintNames");
  QApplication* app = qApp;
  if (!app || app->findChild<QObject*>(kName, Qt::FindDirectChildrenOnly)) return;
  auto* names = new THintNames(app);
  names->setObjectName(kName);
  app->installEventFilter(names);
}

void MarkShowsNoText(QWidget* control) { control->setProperty(kShowsNoText, true); }

bool ShowsNoText(const QWidget* control) {
  if (control->property(kShowsNoText).toBool()) return true;
  const auto* b = qobject_cast<const QAbstractButton*>(control);
  return b && b->text().trimmed().isEmpty();
}

}  // namespace qm
