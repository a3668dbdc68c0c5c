// What assistive technology reads of the layer strip: a list with one item per layer,
// top layer first as the strip shows them, each named by the layer's display name and
// selected when its layer is active.
#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <QWindow>
#include <vector>

#include "views/LayerNavigator.h"

namespace qm {
namespace {

class TRowAccessible : public QAccessibleInterface {
 public:
  TRowAccessible(TLayerNavigator* strip, int row) : strip_(strip), row_(row) {}

  bool isValid() const override { return strip_ && row_ < strip_->Image().GetLayerCount(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return strip_ ? strip_->window()->windowHandle() : nullptr; }
  QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(strip_.data()); }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessible::Role role() const override { return QAccessible::ListItem; }
  void setText(QAccessible::Text, const QString&) override {}

  QString text(QAccessible::Text t) const override {
    if (t != QAccessible::Name || !isValid()) return {};
    const TLayeredImage& image = strip_->Image();
    return QString::fromStdString(image.Layers[image.GetLayerCount() - 1 - row_].GetDisplayName());
  }
  QRect rect() const override {
    if (!isValid()) return {};
    const QRect r = strip_->RowRect(row_);
    return QRect(strip_->mapToGlobal(r.topLeft()), r.size());
  }
  QAccessible::State state() const override {
    QAccessible::State s;
    s.selectable = true;
    if (!isValid()) return s;
    s.selected = strip_->Image().GetLayerCount() - 1 - row_ == strip_->ActiveRow();
    s.invisible = !strip_->RowRect(row_).intersects(strip_->contentsRect());
    return s;
  }

 private:
  QPointer<TLayerNavigator> strip_;
  int row_;
};

// The strip as a list: its rows first, then its own child widgets (the scroll buttons).
class TNavigatorAccessible : public QAccessibleWidget {
 public:
  explicit TNavigatorAccessible(TLayerNavigator* strip) : QAccessibleWidget(strip, QAccessible::List) {}
  ~TNavigatorAccessible() override {
    for (QAccessible::Id id : rows_) QAccessible::deleteAccessibleInterface(id);
  }

  int childCount() const override { return Rows() + QAccessibleWidget::childCount(); }
  QAccessibleInterface* child(int index) const override {
    if (index < 0) return nullptr;
    if (index >= Rows()) return QAccessibleWidget::child(index - Rows());
    // one interface per row, kept by the accessibility cache for the strip's life
    while (int(rows_.size()) <= index)
      rows_.push_back(QAccessible::registerAccessibleInterface(new TRowAccessible(Strip(), int(rows_.size()))));
    return QAccessible::accessibleInterface(rows_[size_t(index)]);
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    for (int i = 0; i < int(rows_.size()) && i < Rows(); ++i)
      if (QAccessible::accessibleInterface(rows_[size_t(i)]) == child) return i;
    const int own = QAccessibleWidget::indexOfChild(child);
    return own < 0 ? -1 : Rows() + own;
  }

 private:
  TLayerNavigator* Strip() const { return static_cast<TLayerNavigator*>(widget()); }
  int Rows() const { return Strip()->Image().GetLayerCount(); }

  mutable std::vector<QAccessible::Id> rows_;
};

QAccessibleInterface* NavigatorFactory(const QString& className, QObject* object) {
  if (className != QLatin1String("qm::TLayerNavigator") || !object || !object->isWidgetType()) return nullptr;
  return new TNavigatorAccessible(static_cast<TLayerNavigator*>(object));
}

}  // namespace

void InstallLayerNavigatorAccessibility() {
  static const bool installed = (QAccessible::installFactory(&NavigatorFactory), true);
  (void)installed;
}

}  // namespace qm
