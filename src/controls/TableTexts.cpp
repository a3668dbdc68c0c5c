#include "controls/TableTexts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>

#include "platform/texts/TextUtils.h"

namespace qm {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The routine of one object, held as its child.
class TTextSetter : public QObject {
 public:
  TTextSetter(QObject* owner, std::function<void()> set) : QObject(owner), set_(std::move(set)) { set_(); }
  void Run() const { set_(); }

 private:
  std::function<void()> set_;
};

}  // namespace

std::string CaptionLike(TextId id, std::string_view design, int kind) {
  // a derived text stands once the program built it from a translation
  if (Tr(id).empty() || (!IsTextFilled(id) && !IsDerivedText(id))) return std::string(design);
  if (kind < 0) {
    const std::string trimmed = Trim(design);
    if (trimmed.ends_with("...")) kind = ckEllipsis;
    else if (trimmed.ends_with(':')) kind = ckLabel;
    else if (!trimmed.empty() && design.starts_with(' ') && design.ends_with(' ')) kind = ckGroup;
    else return Tr(id);
  }
  return DecorateCaption(Tr(id), kind);
}

void SetTexts(QObject* object, std::function<void()> set) { new TTextSetter(object, std::move(set)); }

void ApplyTexts(QObject* root) {
  if (!root) return;
  if (auto* own = dynamic_cast<TTextSetter*>(root)) own->Run();
  for (QObject* child : root->findChildren<QObject*>())
    if (auto* setter = dynamic_cast<TTextSetter*>(child)) setter->Run();
}

void ApplyTextsToEveryWindow() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (!w->parentWidget()) ApplyTexts(w);
}

std::string TTableText::Text() const {
  if (Design == TextId::Count) return Entry == TextId::Count ? std::string() : Tr(Entry);
  return Entry == TextId::Count ? Tr(Design) : CaptionLike(Entry, Tr(Design), Kind);
}

QLabel* SetTexts(QLabel* label, TTableText text) {
  SetTexts(label, [label, text] { label->setText(Q(text.Text())); });
  return label;
}

QAbstractButton* SetTexts(QAbstractButton* button, TTableText text) {
  SetTexts(button, [button, text] { button->setText(Q(text.Text())); });
  return button;
}

QGroupBox* SetTexts(QGroupBox* box, TTableText text) {
  SetTexts(box, [box, text] { box->setTitle(Q(text.Text())); });
  return box;
}

QWidget* SetTitle(QWidget* window, std::function<std::string()> title) {
  SetTexts(window, [window, title = std::move(title)] { window->setWindowTitle(Q(title())); });
  return window;
}

QComboBox* SetItems(QComboBox* combo, std::vector<TTableText> items) {
  SetTexts(combo, [combo, items = std::move(items)] {
    const int chosen = combo->currentIndex();
    const QSignalBlocker quiet(combo);
    if (combo->count() == int(items.size())) {
      for (int i = 0; i < combo->count(); ++i) combo->setItemText(i, Q(items[size_t(i)].Text()));
      return;
    }
    combo->clear();
    for (const TTableText& t : items) combo->addItem(Q(t.Text()));
    if (chosen >= 0) combo->setCurrentIndex(chosen);
  });
  return combo;
}

}  // namespace qm
