#pragma once
// The application for the benchmarks that draw text, use the clipboard or show widgets:
// offscreen unless the environment names a platform, made on first use. A QApplication,
// so that a benchmark of widgets may run after one of text.
#include <QApplication>
#include <QCoreApplication>
#include <cstdlib>

namespace qm::bench {

inline void EnsureGuiApp() {
  if (QCoreApplication::instance()) return;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "qm_bench";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);  // kept until the process ends
}

}  // namespace qm::bench
