#include "shell/services/CommandSet.h"

#include <QAction>
#include <QActionGroup>
#include <QFile>
#include <QHash>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <QWidget>
#include <deque>
#include <map>
#include <vector>

// The glyphs are compiled into this static library: nothing refers to their object
// file, so they are registered by hand (outside any namespace, as the macro asks).
static void InitCommandGlyphs() { Q_INIT_RESOURCE(CommandGlyphs); }

namespace qm {
namespace {

QString ToQString(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

QIcon GlyphIcon(std::string_view glyph) {
  static const bool loaded = (InitCommandGlyphs(), true);
  (void)loaded;
  if (glyph.empty()) return {};
  const QString path = QStringLiteral(":/commands/%1.xpm").arg(ToQString(glyph));
  return QFile::exists(path) ? QIcon(path) : QIcon();
}

size_t RowIndex(const TCommandRow& row) { return size_t(&row - CommandRows().data()); }

constexpr char kShortcutTextProperty[] = "shortcutText";

void SetShortcutText(QAction* a, TShortcut shortcut) {
  a->setProperty(kShortcutTextProperty, QString::fromStdString(ShortCutToText(shortcut)));
}

}  // namespace

QString ShortcutTextOf(const QAction* action) {
  return action ? action->property(kShortcutTextProperty).toString() : QString();
}

struct TCommandSet::TImpl {
  // One action of the set: a row's own action, or a copy of a row's in another menu.
  struct TEntry {
    const TCommandRow* Row;
    std::string_view Parent;  // where the rules above it are read: the row's menu, or the copy's
    QAction* Action;
  };

  QWidget* Owner;
  QMenuBar* Bar = nullptr;
  std::map<std::string_view, QMenu*> Menus;  // menus, sub-menus and pop-ups
  std::map<std::string_view, QToolBar*> ToolBars;
  std::deque<TEntry> Entries;                // stable addresses for the connections
  QHash<QAction*, TEntry*> ByAction;         // own actions and copies
  std::vector<TEntry*> OwnEntry;             // by row index
  std::map<std::string_view, QActionGroup*> RadioGroups;
  std::vector<TCommandHandler> Handlers;     // by row index
  std::vector<TCommandPredicate> Predicates;
  TCommandRuleEvaluator Evaluator;
  std::function<void()> StateReader;
  TCommandSet::THooks Hooks;

  void ReadState() const {
    if (StateReader) StateReader();
  }

  explicit TImpl(QWidget* owner)
      : Owner(owner), OwnEntry(CommandRows().size()), Handlers(CommandRows().size()),
        Predicates(CommandRows().size()) {}

  bool RuleHolds(const TCommandRow& row) const {
    if (const TCommandPredicate& p = Predicates[RowIndex(row)]) return p();
    return !Evaluator || Evaluator(row.Rule);
  }

  // The rules of the menus from parent up to its root.
  bool MenusHold(std::string_view parent) const {
    for (const TCommandRow* r = FindCommandRow(parent); r && r->Kind == TCommandKind::Menu;
         r = FindCommandRow(r->Parent))
      if (!RuleHolds(*r)) return false;
    return true;
  }

  bool EntryEnabled(const TEntry& e) const {
    return Handlers[RowIndex(*e.Row)] && RuleHolds(*e.Row) && MenusHold(e.Parent);
  }

  void Refresh(TEntry& e) const { e.Action->setEnabled(EntryEnabled(e)); }

  // The actions of one row: its own and its copies.
  void RefreshRow(const TCommandRow& row) {
    for (TEntry& e : Entries)
      if (e.Row == &row) Refresh(e);
  }

  void RefreshMenu(const TCommandRow& menuRow) const {
    if (QMenu* m = Menus.at(menuRow.Name)) m->menuAction()->setEnabled(RuleHolds(menuRow) && MenusHold(menuRow.Parent));
  }

  TEntry& AddEntry(const TCommandRow& row, std::string_view parent, QAction* action) {
    Entries.push_back({&row, parent, action});
    TEntry& e = Entries.back();
    ByAction.insert(action, &e);
    return e;
  }

  QAction* MakeAction(const TCommandRow& row, std::string_view group, QObject* context, TCommandSet* set) {
    auto* a = new QAction(ToQString(CommandCaption(row)), context);
    a->setObjectName(ToQString(row.Name));
    a->setShortcut(ShortcutToKeySequence(row.Shortcut));
    a->setShortcutVisibleInContextMenu(true);  // the pop-ups show shortcuts as the menus do
    SetShortcutText(a, row.Shortcut);
    a->setIcon(GlyphIcon(row.Glyph));
    const bool radio = row.Style == TItemStyle::Radio || row.Style == TItemStyle::RadioOn;
    a->setCheckable(row.Style != TItemStyle::Plain);
    a->setChecked(row.Style == TItemStyle::CheckOn || row.Style == TItemStyle::RadioOn);
    if (radio) {
      QActionGroup*& g = RadioGroups[group];
      if (!g) g = new QActionGroup(context);
      g->addAction(a);
    }
    a->setEnabled(false);
    QObject::connect(a, &QAction::triggered, set, [set, a] { set->d_->Run(a); });
    return a;
  }

  void Run(QAction* action) {
    TEntry* e = ByAction.value(action);
    if (!e) return;
    ReadState();
    Refresh(*e);  // the state may be older than the last change of the editor
    if (!action->isEnabled()) return;
    TCommandSender sender{e->Row, e->Parent, action};
    // a copy, so a handler that replaces itself does not destroy what runs
    const TCommandHandler handler = Handlers[RowIndex(*e->Row)];
    if (Hooks.Starting) Hooks.Starting();
    if (Hooks.Failed) {
      try {
        handler(sender);
      } catch (...) {
        Hooks.Failed(std::current_exception());
      }
    } else {
      handler(sender);
    }
    if (Hooks.Ran) Hooks.Ran();
  }

  void Place(std::string_view parent, QAction* action, std::string_view name) {
    if (auto m = Menus.find(parent); m != Menus.end()) {
      m->second->addAction(action);
    } else if (auto t = ToolBars.find(parent); t != ToolBars.end()) {
      t->second->addAction(action);
      if (QWidget* button = t->second->widgetForAction(action)) button->setObjectName(ToQString(name));
    }
  }

  void PlaceSeparator(std::string_view parent, std::string_view name) {
    QAction* sep = nullptr;
    if (auto m = Menus.find(parent); m != Menus.end()) sep = m->second->addSeparator();
    else if (auto t = ToolBars.find(parent); t != ToolBars.end()) sep = t->second->addSeparator();
    if (sep) sep->setObjectName(ToQString(name));
  }
};

TCommandSet::TCommandSet(QWidget* owner) : QObject(owner), d_(std::make_unique<TImpl>(owner)) {
  // First every container and every own action, so that any row may show any other.
  for (const TCommandRow& row : CommandRows()) {
    switch (row.Kind) {
      case TCommandKind::MenuBar:
        d_->Bar = new QMenuBar(owner);
        d_->Bar->setObjectName(ToQString(row.Name));
        break;
      case TCommandKind::Popup:
      case TCommandKind::Menu: {
        auto* m = new QMenu(ToQString(CommandCaption(row)), owner);
        m->setObjectName(ToQString(row.Name));
        m->menuAction()->setObjectName(ToQString(row.Name));
        const std::string_view name = row.Name;
        connect(m, &QMenu::aboutToShow, this, [this, name] { UpdateStates(name); });
        d_->Menus[row.Name] = m;
        break;
      }
      case TCommandKind::ToolBar: {
        auto* t = new QToolBar(owner);
        t->setObjectName(ToQString(row.Name));
        d_->ToolBars[row.Name] = t;
        break;
      }
      case TCommandKind::Item: {
        QAction* a = d_->MakeAction(row, row.Parent, this, this);
        d_->OwnEntry[RowIndex(row)] = &d_->AddEntry(row, row.Parent, a);
        // shortcuts of items that only a pop-up shows work in the whole window too
        if (!a->shortcut().isEmpty()) owner->addAction(a);
        break;
      }
      default:
        break;
    }
  }
  // Then each row in its place, in table order.
  for (const TCommandRow& row : CommandRows()) {
    switch (row.Kind) {
      case TCommandKind::Menu: {
        QMenu* m = d_->Menus.at(row.Name);
        if (auto p = d_->Menus.find(row.Parent); p != d_->Menus.end()) p->second->addMenu(m);
        else if (d_->Bar && FindCommandRow(row.Parent) && FindCommandRow(row.Parent)->Kind == TCommandKind::MenuBar)
          d_->Bar->addMenu(m);
        break;
      }
      case TCommandKind::Item:
        d_->Place(row.Parent, d_->OwnEntry[RowIndex(row)]->Action, row.Name);
        break;
      case TCommandKind::Show:
        if (QAction* a = Action(row.Name)) d_->Place(row.Parent, a, row.Name);
        break;
      case TCommandKind::Separator:
        d_->PlaceSeparator(row.Parent, row.Name);
        break;
      case TCommandKind::Copies:
        for (const TCommandRow* source : CommandChildren(row.Source)) {
          if (source->Kind == TCommandKind::Separator) {
            d_->PlaceSeparator(row.Parent, "");
          } else if (source->Kind == TCommandKind::Item) {
            QAction* a = d_->MakeAction(*source, row.Parent, this, this);
            d_->AddEntry(*source, row.Parent, a);
            d_->Place(row.Parent, a, source->Name);
          }
        }
        break;
      default:
        break;
    }
  }
  UpdateStates();
}

TCommandSet::~TCommandSet() = default;

QMenuBar* TCommandSet::MenuBar() const { return d_->Bar; }

QMenu* TCommandSet::Menu(std::string_view name) const {
  auto it = d_->Menus.find(name);
  return it == d_->Menus.end() ? nullptr : it->second;
}

QToolBar* TCommandSet::ToolBar(std::string_view name) const {
  auto it = d_->ToolBars.find(name);
  return it == d_->ToolBars.end() ? nullptr : it->second;
}

QAction* TCommandSet::Action(std::string_view name) const {
  const TCommandRow* row = FindCommandRow(name);
  if (!row) return nullptr;
  if (row->Kind == TCommandKind::Menu) return Menu(name)->menuAction();
  const TCommandRow& owner = CommandOwner(*row);
  if (owner.Kind != TCommandKind::Item) return nullptr;
  return d_->OwnEntry[RowIndex(owner)]->Action;
}

bool TCommandSet::SetHandler(std::string_view name, TCommandHandler handler) {
  const TCommandRow* row = FindCommandRow(name);
  if (!row || CommandOwner(*row).Kind != TCommandKind::Item) return false;
  d_->Handlers[RowIndex(CommandOwner(*row))] = std::move(handler);
  d_->RefreshRow(CommandOwner(*row));
  return true;
}

int TCommandSet::SetSharedHandler(std::string_view handlerName, TCommandHandler handler) {
  int n = 0;
  for (const TCommandRow& row : CommandRows())
    if (row.Kind == TCommandKind::Item && row.Handler == handlerName) {
      d_->Handlers[RowIndex(row)] = handler;
      d_->RefreshRow(row);
      ++n;
    }
  return n;
}

bool TCommandSet::HasHandler(std::string_view name) const {
  const TCommandRow* row = FindCommandRow(name);
  return row && CommandOwner(*row).Kind == TCommandKind::Item && bool(d_->Handlers[RowIndex(CommandOwner(*row))]);
}

bool TCommandSet::SetPredicate(std::string_view name, TCommandPredicate predicate) {
  const TCommandRow* row = FindCommandRow(name);
  if (!row) return false;
  d_->Predicates[RowIndex(CommandOwner(*row))] = std::move(predicate);
  UpdateStates();
  return true;
}

void TCommandSet::SetRuleEvaluator(TCommandRuleEvaluator evaluator) {
  d_->Evaluator = std::move(evaluator);
  UpdateStates();
}

void TCommandSet::SetHooks(THooks hooks) { d_->Hooks = std::move(hooks); }

void TCommandSet::SetStateReader(std::function<void()> reader) { d_->StateReader = std::move(reader); }

void TCommandSet::UpdateStates() {
  d_->ReadState();
  for (TImpl::TEntry& e : d_->Entries) d_->Refresh(e);
  for (const TCommandRow& row : CommandRows())
    if (row.Kind == TCommandKind::Menu) d_->RefreshMenu(row);
}

void TCommandSet::UpdateStates(std::string_view menu) {
  QMenu* m = Menu(menu);
  if (!m) return;
  d_->ReadState();
  for (QAction* a : m->actions()) {
    if (TImpl::TEntry* e = d_->ByAction.value(a)) d_->Refresh(*e);
    else if (a->menu())
      if (const TCommandRow* sub = FindCommandRow(a->menu()->objectName().toStdString());
          sub && sub->Kind == TCommandKind::Menu)
        d_->RefreshMenu(*sub);
  }
}

bool TCommandSet::IsEnabled(std::string_view name) const {
  const QAction* a = Action(name);
  return a && a->isEnabled();
}

void TCommandSet::UpdateCaptions() {
  for (TImpl::TEntry& e : d_->Entries) {
    e.Action->setText(ToQString(CommandCaption(*e.Row)));
    SetShortcutText(e.Action, e.Row->Shortcut);
  }
  for (const auto& [name, menu] : d_->Menus)
    if (const TCommandRow* row = FindCommandRow(name); row && row->Kind == TCommandKind::Menu)
      menu->setTitle(ToQString(CommandCaption(*row)));
}

bool TCommandSet::Trigger(std::string_view name) {
  QAction* a = Action(name);
  TImpl::TEntry* e = a ? d_->ByAction.value(a) : nullptr;
  if (!e) return false;
  d_->ReadState();
  d_->Refresh(*e);
  if (!a->isEnabled()) return false;
  a->trigger();
  return true;
}

}  // namespace qm
