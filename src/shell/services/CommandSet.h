#pragma once
// The editor's menus, pop-ups and tool bars, built from the command table
// (Commands.def), and the registry through which the main window and every later
// command attach handlers and enabling conditions to the rows, by object name.
//
// One action per command: a pop-up item or tool button that shows another row's
// command (a Show row) holds that row's very action, so caption, glyph, shortcut,
// check mark, state and handler are one. A row without a handler stays disabled;
// attaching one enables it as far as its rule and the rules of the menus above it
// allow.
#include <QObject>
#include <exception>
#include <functional>
#include <memory>
#include <string_view>

#include "shell/services/CommandTable.h"

class QAction;
class QMenu;
class QMenuBar;
class QToolBar;
class QWidget;

namespace qm {

// Who runs a command: its row (for a copied item, the row it copies; for a tool button
// or pop-up item that shows another row's command, that row) and where that row sits
// (for a copied item, the menu holding the copy).
struct TCommandSender {
  const TCommandRow* Row = nullptr;
  std::string_view Parent;
  QAction* Action = nullptr;
  std::string_view Name() const { return Row->Name; }
  int Tag() const { return Row->Tag; }
};

using TCommandHandler = std::function<void(const TCommandSender&)>;
using TCommandPredicate = std::function<bool()>;
// Answers one of the table's rules for the current state of the editor.
using TCommandRuleEvaluator = std::function<bool(TCommandRule)>;

// The text of an action's shortcut as menus and hints show it: ShortCutToText of its
// row's value, kept on the action by the command set (and spelled again when the
// texts change). Empty for an action without a shortcut.
QString ShortcutTextOf(const QAction* action);

class TCommandSet : public QObject {
 public:
  // Builds the menu bar, the pop-ups and the tool bars for owner, whose window the
  // shortcuts belong to. They are owner's children; the main window places them
  // (setMenuBar, addToolBar) and hides a tool bar it does not place.
  explicit TCommandSet(QWidget* owner);
  ~TCommandSet() override;

  QMenuBar* MenuBar() const;
  // A menu, sub-menu or pop-up by name; nullptr for another name.
  QMenu* Menu(std::string_view name) const;
  QToolBar* ToolBar(std::string_view name) const;
  // The action a row shows (a menu's own action for a menu); nullptr for a name with
  // none.
  QAction* Action(std::string_view name) const;

  // Attaches the handler of the row of that object name; its copies and the rows that
  // show it run it too. False for a name without a command of its own.
  bool SetHandler(std::string_view name, TCommandHandler handler);
  // Attaches one handler to every row whose handler column names it; returns how many.
  int SetSharedHandler(std::string_view handlerName, TCommandHandler handler);
  bool HasHandler(std::string_view name) const;

  // The row's own enabling condition, in place of its rule. False for an unknown name.
  bool SetPredicate(std::string_view name, TCommandPredicate predicate);
  // The main window's answer to the rules. Until one is set every rule holds.
  void SetRuleEvaluator(TCommandRuleEvaluator evaluator);
  // Called once before each round of enabling (an update, a menu opening, a command
  // chosen), so that the evaluator can read the editor's state once for the round.
  void SetStateReader(std::function<void()> reader);

  // Recomputes the enabled state of every row; each menu also recomputes its rows as it
  // opens, and a command is checked again at the moment it is chosen.
  void UpdateStates();
  void UpdateStates(std::string_view menu);
  bool IsEnabled(std::string_view name) const;

  // Captions every row again from the text table (after a translation was loaded),
  // shortcut texts included.
  void UpdateCaptions();

  // Runs the row's command as a click would; false when it is disabled.
  bool Trigger(std::string_view name);

  // What runs around every command the set runs, at every depth (a command may run
  // another): Starting before its handler, Failed with what the handler threw (nothing
  // escapes to the event loop once Failed is set), Ran after it, done or failed.
  struct THooks {
    std::function<void()> Starting;
    std::function<void(const std::exception_ptr& failure)> Failed;
    std::function<void()> Ran;
  };
  void SetHooks(THooks hooks);

 private:
  struct TImpl;
  std::unique_ptr<TImpl> d_;
};

}  // namespace qm
