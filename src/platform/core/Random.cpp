#include "platform/core/Random.h"

namespace qm {
namespace {
// A 32-bit linear congruential generator: cheap, and a draw costs one multiply,
// which matters for the per-byte noise of shadows and grain.
constexpr uint32_t kMultiplier = 134775813u, kIncrement = 1u;
thread_local uint32_t g_seed = 0x2545F491u;

inline uint32_t Next() {
  g_seed = g_seed * kMultiplier + kIncrement;
  return g_seed;
}
}  // namespace

int32_t Random(int32_t n) { return RandomFromState(Next(), n); }

// The step composed with itself by squaring: (m, c) twice is (m * m, m * c + c), and
// a jump of several powers of two is their composition.
TRandomJump::TRandomJump(uint64_t draws) {
  uint32_t m = kMultiplier, c = kIncrement;
  for (; draws; draws >>= 1) {
    if (draws & 1) {
      Multiplier *= m;
      Increment = Increment * m + c;
    }
    c = c * m + c;
    m *= m;
  }
}

double RandomFloat() { return double(Next()) * (1.0 / 4294967296.0); }

void RandSeed(uint32_t seed) { g_seed = seed; }
uint32_t GetRandSeed() { return g_seed; }

}  // namespace qm
