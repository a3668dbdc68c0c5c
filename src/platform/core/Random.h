#pragma once
#include <cstdint>

namespace qm {

// The one process-wide random generator. Every kernel that needs noise draws from it;
// nothing reseeds it from the clock, so a preview and its apply, and a test, can
// reproduce a result by seeding it first. Not thread-safe: kernels that draw from it
// run their random part on one thread.

// Uniform integer in 0..n-1; Random(0) and negative n give 0.
int32_t Random(int32_t n);
// Uniform double in [0, 1).
double RandomFloat();
void RandSeed(uint32_t seed);
uint32_t GetRandSeed();

}  // namespace qm
