#pragma once
#include <cstdint>

namespace qm {

// The random generator, one per thread, each starting from the same seed. Every
// kernel that needs noise draws from its thread's; nothing reseeds it from the clock,
// so a preview and its apply, and a test, can reproduce a result by seeding it first,
// and a worker that seeds its own before a job draws the same whatever else runs
// beside it. Kernels that draw from it run their random part on the calling thread,
// or split it with TRandomJump below.

// Uniform integer in 0..n-1; Random(0) and negative n give 0.
int32_t Random(int32_t n);
// Uniform double in [0, 1).
double RandomFloat();
void RandSeed(uint32_t seed);
uint32_t GetRandSeed();

// The generator's step, seed := seed * Multiplier + Increment, taken draws times at
// once: the state draws further on, as an affine map of the state now. A kernel that
// draws on several threads starts each part of its picture at the state the one
// generator would have reached there, so what it draws does not depend on the threads.
struct TRandomJump {
  uint32_t Multiplier = 1, Increment = 0;
  explicit TRandomJump(uint64_t draws);
  uint32_t operator()(uint32_t seed) const { return seed * Multiplier + Increment; }
};
// Random(n) for the state a draw has just made.
inline int32_t RandomFromState(uint32_t state, int32_t n) {
  return n <= 0 ? 0 : int32_t((uint64_t(state) * uint64_t(n)) >> 32);
}

}  // namespace qm
