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

// Calls act with the modal widget as soon as one is shown (polling the event loop).
inline void WhenModal(std::function<void(QWidget*)> act) {
  auto* timer = new QTimer(&App());
  QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
    if (QWidget* w = QApplication::activeModalWidget()) {
      timer->stop();
      timer->deleteLater();
      act(w);
    }
  });
  timer->start(5);
}

}  // namespace qm::test
