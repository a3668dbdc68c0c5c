#include "platform/core/Md5.h"

#include <cstring>

namespace qm {
namespace {

constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
constexpr int kShift[16] = {7, 12, 17, 22, 5, 9, 14, 20, 4, 11, 16, 23, 6, 10, 15, 21};

inline uint32_t Rotl(uint32_t v, int s) { return (v << s) | (v >> (32 - s)); }

void Block(uint32_t h[4], const uint8_t* p) {
  uint32_t m[16];
  for (int i = 0; i < 16; ++i)
    m[i] = uint32_t(p[4 * i]) | uint32_t(p[4 * i + 1]) << 8 | uint32_t(p[4 * i + 2]) << 16 |
           uint32_t(p[4 * i + 3]) << 24;
  uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
  for (int i = 0; i < 64; ++i) {
    uint32_t f;
    int g;
    const int round = i / 16;
    if (round == 0) {
      f = (b & c) | (~b & d);
      g = i;
    } else if (round == 1) {
      f = (d & b) | (~d & c);
      g = (5 * i + 1) % 16;
    } else if (round == 2) {
      f = b ^ c ^ d;
      g = (3 * i + 5) % 16;
    } else {
      f = c ^ (b | ~d);
      g = (7 * i) % 16;
    }
    const uint32_t t = d;
    d = c;
    c = b;
    b = b + Rotl(a + f + kSine[i] + m[g], kShift[round * 4 + i % 4]);
    a = t;
  }
  h[0] += a;
  h[1] += b;
  h[2] += c;
  h[3] += d;
}

}  // namespace

std::array<uint8_t, 16> Md5(const void* data, size_t size) {
  uint32_t h[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  const auto* p = static_cast<const uint8_t*>(data);
  size_t left = size;
  for (; left >= 64; left -= 64, p += 64) Block(h, p);
  // The tail, a 1 bit, zeros, and the length in bits (little-endian) fill one or two
  // last blocks.
  uint8_t tail[128] = {};
  if (left) std::memcpy(tail, p, left);
  tail[left] = 0x80;
  const size_t blocks = left + 9 > 64 ? 2 : 1;
  const uint64_t bits = uint64_t(size) * 8;
  for (int i = 0; i < 8; ++i) tail[blocks * 64 - 8 + size_t(i)] = uint8_t(bits >> (8 * i));
  for (size_t b = 0; b < blocks; ++b) Block(h, tail + 64 * b);
  std::array<uint8_t, 16> out;
  for (int i = 0; i < 16; ++i) out[size_t(i)] = uint8_t(h[i / 4] >> (8 * (i % 4)));
  return out;
}

std::string Md5Hex(std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  const std::array<uint8_t, 16> d = Md5(text.data(), text.size());
  std::string s(32, '0');
  for (size_t i = 0; i < 16; ++i) {
    s[2 * i] = kHex[d[i] >> 4];
    s[2 * i + 1] = kHex[d[i] & 15];
  }
  return s;
}

}  // namespace qm
