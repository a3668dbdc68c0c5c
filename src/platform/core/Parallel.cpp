#include "platform/core/Parallel.h"

#include <omp.h>

namespace qm {
namespace {
int g_threads = 0;
}

void SetEngineThreads(int n) { g_threads = n < 1 ? 0 : n; }

int EngineThreads() {
  if (g_threads > 0) return g_threads;
  int n = omp_get_num_procs();
  return n < 1 ? 1 : n;
}

}  // namespace qm
