#pragma once
// The three numeric rules the whole program shares: truncation toward zero,
// rounding to nearest with halves to even, and a modulo whose result is never
// negative. Float-to-int conversions go through these, never through a bare cast,
// so an out-of-range or NaN value can never reach an undefined conversion.
#include <cmath>
#include <cstdint>
#include <limits>

namespace qm {

// Clamps a double into the int32 range (NaN gives 0) before it is converted.
constexpr double ClampToInt32Range(double v) {
  if (!(v == v)) return 0.0;
  if (v >= 2147483647.0) return 2147483647.0;
  if (v <= -2147483648.0) return -2147483648.0;
  return v;
}

// Truncation toward zero, saturating at the int32 range.
inline int32_t Trunc(double v) { return int32_t(ClampToInt32Range(v)); }

// Rounds to nearest with ties to even (the rounding of every "round" in the program),
// saturating at the int32 range. Independent of the FPU's rounding mode.
inline int32_t RoundHalfEven(double v) {
  v = ClampToInt32Range(v);
  double f = std::floor(v);
  double d = v - f;
  if (d > 0.5 || (d == 0.5 && std::fmod(f, 2.0) != 0.0)) f += 1.0;
  return int32_t(ClampToInt32Range(f));
}

// Ceiling and floor, saturating at the int32 range.
inline int32_t Ceil(double v) { return int32_t(ClampToInt32Range(std::ceil(ClampToInt32Range(v)))); }
inline int32_t Floor(double v) { return int32_t(ClampToInt32Range(std::floor(ClampToInt32Range(v)))); }

// a mod n with a result in 0..n-1, also for negative a. n must be positive.
constexpr int32_t ModFloor(int64_t a, int32_t n) {
  int64_t m = a % n;
  return int32_t(m < 0 ? m + n : m);
}

// Integer division rounding toward negative infinity. n must be positive.
constexpr int64_t DivFloor(int64_t a, int64_t n) {
  int64_t q = a / n;
  return (a % n != 0 && a < 0) ? q - 1 : q;
}

// floor(sqrt(v)) exactly, for any non-negative 64-bit v.
inline int64_t ISqrt(int64_t v) {
  if (v <= 0) return 0;
  int64_t r = int64_t(std::sqrt(double(v)));
  // Compared by division: near the top of the range (r + 1)^2 no longer fits 64 bits.
  while (r > v / r) --r;
  while (r + 1 <= v / (r + 1)) ++r;
  return r;
}

// The integer distance between two points: floor of the Euclidean distance, exact at
// every range (painting, radial gradients and blurs rely on it on large photos);
// distances beyond the int32 range saturate.
inline int32_t IntDistance(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  const int64_t dx = int64_t(x1) - x0, dy = int64_t(y1) - y0;
  if (dx > 2000000000 || dx < -2000000000 || dy > 2000000000 || dy < -2000000000) return INT32_MAX;
  const int64_t d2 = dx * dx + dy * dy;  // below 2^63
  const int64_t r = ISqrt(d2);
  return r > INT32_MAX ? INT32_MAX : int32_t(r);
}

constexpr int ClampInt(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }
constexpr uint8_t ClampByte(int v) { return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v)); }

}  // namespace qm
