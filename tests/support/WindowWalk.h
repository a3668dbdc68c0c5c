#pragma once
// The windows of the real editor, each opened as a user opens it and handed to a test
// to look at, then closed: for the walks that hold a rule against every window (what
// each control is named, what language each text speaks).
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <set>
#include <string_view>

#include "shell/main/MainForm.h"
#include "shell/services/CommandTable.h"

namespace qm::test {

// The windows shown now, menus aside.
inline std::set<QWidget*> ShownWindows() {
  std::set<QWidget*> shown;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && !qobject_cast<QMenu*>(w)) shown.insert(w);
  return shown;
}

inline void CloseWindow(QWidget* w) {
  if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
  else w->close();
}

// Runs open and hands look each window it shows that was not shown before: a modal one
// while its loop runs (from an event of its own, for a timer does not fire again while
// its slot runs, so a window a closing opens is looked at too), one left open once open
// returns. Each is closed once looked at; an open popup menu is closed.
inline void LookAtWindowsOf(const std::function<void()>& open, const std::function<void(QWidget*)>& look) {
  const std::set<QWidget*> before = ShownWindows();
  QTimer modals;
  bool queued = false;
  QObject::connect(&modals, &QTimer::timeout, [&] {
    if (QWidget* p = QApplication::activePopupWidget()) p->close();
    QWidget* w = QApplication::activeModalWidget();
    if (!w || queued || before.count(w)) return;
    queued = true;
    QTimer::singleShot(0, &modals, [&, shown = QPointer<QWidget>(w)] {
      queued = false;
      if (!shown || shown != QApplication::activeModalWidget()) return;
      look(shown);
      if (shown) CloseWindow(shown);
    });
  });
  modals.start(5);
  open();
  QApplication::processEvents();
  modals.stop();
  for (QWidget* w : ShownWindows()) {
    if (before.count(w)) continue;
    QPointer<QWidget> left(w);
    look(w);
    if (left) CloseWindow(left);
    QApplication::processEvents();
  }
}

// The commands a walk over every window leaves out: those that end the editor or close
// its documents, or reach outside the test (the desktop's wallpaper, the web browser,
// the associated program, the files of the browser), and the free transforms, whose
// mode holds the other commands until it ends.
inline const std::set<std::string_view>& CommandsNoWindowWalkRuns() {
  static const std::set<std::string_view> rows = {
      "MenuCalqueTransformEchelle", "MenuCalqueTransformDistort", "MenuFichierFermer",
      "MenuFichierFermerTout",      "MenuFichierQuiter",          "MenuFichierRetablir",
      "MenuPapierPeintCentrer",     "MenuPapierPeintMosaique",    "MenuPapierPeintAjuster",
      "MenuAideWeb",                "MenuAideForum",              "MenuShell",
      "MenuSupprimerImage",         "MenuDeplacerImage",          "MenuRenommerImage",
  };
  return rows;
}

// Every window the editor's commands open over what its documents are now: each enabled
// command of the table in turn (but those above), each window it shows handed to look
// with the command's name. Returns how many commands showed a window.
inline int LookAtEveryWindow(TMainForm& form, const std::function<void(QWidget*, std::string_view)>& look) {
  int opened = 0;
  for (const TCommandRow& row : CommandRows()) {
    const std::string_view name = row.Name;
    if (CommandsNoWindowWalkRuns().count(name) || !form.Commands().IsEnabled(name)) continue;
    bool shown = false;
    LookAtWindowsOf([&] { form.Commands().Trigger(name); },
                    [&](QWidget* w) {
                      shown = true;
                      look(w, name);
                    });
    opened += shown;
  }
  return opened;
}

}  // namespace qm::test
