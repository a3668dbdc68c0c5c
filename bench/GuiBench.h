#pragma once
// A QGuiApplication for the benchmarks that draw text or use the clipboard: offscreen
// unless the environment names a platform, made on first use.
#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdlib>

namespace qm::bench {

inline void EnsureGuiApp() {
  if (QCoreApplication::instance()) return;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "qm_bench";
  static char* argv[] = {name, nullptr};
  new QGuiApplication(argc, argv);  // kept until the process ends
}

}  // namespace qm::bench
