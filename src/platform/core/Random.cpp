#include "platform/core/Random.h"

namespace qm {
namespace {
// A 32-bit linear congruential generator: cheap, and a draw costs one multiply,
// which matters for the per-byte noise of shadows and grain.
uint32_t g_seed = 0x2545F491u;

inline uint32_t Next() {
  g_seed = g_seed * 134775813u + 1u;
  return g_seed;
}
}  // namespace

int32_t Random(int32_t n) {
  uint32_t s = Next();
  if (n <= 0) return 0;
  return int32_t((uint64_t(s) * uint64_t(n)) >> 32);
}

double RandomFloat() { return double(Next()) * (1.0 / 4294967296.0); }

void RandSeed(uint32_t seed) { g_seed = seed; }
uint32_t GetRandSeed() { return g_seed; }

}  // namespace qm
