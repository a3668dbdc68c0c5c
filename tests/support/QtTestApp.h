#pragma once
// One QApplication for the whole test program (offscreen), and a way to act on a
// modal dialog once its event loop runs.
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace qm::test {

inline QApplication& App() {
  static int argc = 1;
  static char name[] = "qm_shell_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);  // kept until the process ends
  return *app;
}

// Calls act with the widget find returns as soon as there is one (polling the event
// loop that a modal dialog or a popup menu runs).
inline void WhenShown(QWidget* (*find)(), std::function<void(QWidget*)> act) {
  auto* timer = new QTimer(&App());
  QObject::connect(timer, &QTimer::timeout, timer, [timer, find, act] {
    if (QWidget* w = find()) {
      timer->stop();
      timer->deleteLater();
      act(w);
    }
  });
  timer->start(5);
}

inline void WhenModal(std::function<void(QWidget*)> act) { WhenShown(&QApplication::activeModalWidget, act); }
inline void WhenPopup(std::function<void(QWidget*)> act) { WhenShown(&QApplication::activePopupWidget, act); }

}  // namespace qm::test
