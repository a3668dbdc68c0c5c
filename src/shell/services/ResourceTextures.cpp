#include "shell/services/ResourceTextures.h"

#include <cmath>
#include <map>
#include <string>

#include "pixel/Blend.h"

namespace qm {
namespace {

// ApplyTexturePattern darkens under black (bytes summing to 15 at most), lightens under
// white (750 at least) and leaves the pixel under any other grey.
constexpr uint8_t kDark = 0, kLight = 255, kFlat = 128;
// The tiling mode's key colour, pure red.
constexpr TColor kKeyRed = 0x0000FF;

// A small generator of our own: the textures must not draw from the program's one.
class TTextureRng {
 public:
  explicit TTextureRng(uint32_t seed) : s_(seed ? seed : 1) {}
  uint32_t Next() {
    s_ ^= s_ << 13;
    s_ ^= s_ >> 17;
    s_ ^= s_ << 5;
    return s_;
  }
  int Below(int n) { return int(Next() % uint32_t(n)); }

 private:
  uint32_t s_;
};

void Put(TBitmap& b, int x, int y, uint8_t v) {
  uint8_t* p = b.ScanLine(y) + 3 * x;
  p[0] = p[1] = p[2] = v;
}

TBitmap Grey(int w, int h) { return TBitmap(w, h, pf24bit, RGB(kFlat, kFlat, kFlat)); }

// Distance between a and b on a ring of the given period (the tiles wrap).
double Wrapped(double a, double b, int period) {
  const double d = std::fabs(a - b);
  return std::min(d, period - d);
}

// Dark and light grains strewn over grey.
TBitmap Grain() {
  TBitmap b = Grey(128, 128);
  TTextureRng rng(1);
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) {
      const int r = rng.Below(100);
      if (r < 11) Put(b, x, y, kDark);
      else if (r < 22) Put(b, x, y, kLight);
    }
  return b;
}

// Wavy stripes, black bands and thinner white ones; three periods across the tile.
TBitmap Zebra() {
  TBitmap b = Grey(128, 128);
  const double tau = 2 * M_PI;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) {
      const double s = std::sin(tau * (3.0 * x / 128 + 0.18 * std::sin(tau * 2.0 * y / 128)));
      if (s > 0.3) Put(b, x, y, kDark);
      else if (s < -0.7) Put(b, x, y, kLight);
    }
  return b;
}

// Crackle: the borders of cells around scattered seeds, dark, with a light lip on
// their upper-left side.
TBitmap Cracks() {
  constexpr int n = 128, seeds = 18;
  TBitmap b = Grey(n, n);
  TTextureRng rng(3);
  double sx[seeds], sy[seeds];
  for (int i = 0; i < seeds; ++i) {
    sx[i] = rng.Below(n);
    sy[i] = rng.Below(n);
  }
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      double d1 = 1e9, d2 = 1e9;
      int nearest = 0;
      for (int i = 0; i < seeds; ++i) {
        const double dx = Wrapped(x, sx[i], n), dy = Wrapped(y, sy[i], n);
        const double d = std::sqrt(dx * dx + dy * dy);
        if (d < d1) {
          d2 = d1;
          d1 = d;
          nearest = i;
        } else if (d < d2) {
          d2 = d;
        }
      }
      const double edge = d2 - d1;
      if (edge < 1.0) Put(b, x, y, kDark);
      else if (edge < 2.0 && (x - sx[nearest]) + (y - sy[nearest]) > 0) Put(b, x, y, kLight);
    }
  return b;
}

// Zigzag lines every 16 rows, dark with a light line under them.
TBitmap Zigzag() {
  TBitmap b = Grey(32, 32);
  for (int x = 0; x < 32; ++x) {
    const int t = x % 16, rise = t < 8 ? t : 16 - t;
    for (int y = 0; y < 32; ++y) {
      const int k = ((y - rise) % 16 + 16) % 16;
      if (k == 0) Put(b, x, y, kDark);
      else if (k == 1) Put(b, x, y, kLight);
    }
  }
  return b;
}

// Threads every `step` pixels on pure red: dark grey with a lighter grey beside them
// when wide.
TBitmap Mesh(int step, bool wide) {
  TBitmap b(step * 2, step * 2, pf24bit, kKeyRed);
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) {
      const int u = x % step, v = y % step;
      if (u == 0 || v == 0) Put(b, x, y, 48);
      else if (wide && (u == 1 || v == 1)) Put(b, x, y, 160);
    }
  return b;
}

// A grid of 16 pixels: dark lines with a light line right and below.
TBitmap Grid() {
  TBitmap b = Grey(32, 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const int u = x % 16, v = y % 16;
      if (u == 0 || v == 0) Put(b, x, y, kDark);
      else if (u == 1 || v == 1) Put(b, x, y, kLight);
    }
  return b;
}

// A basket weave: 8 x 8 squares of four-pixel threads, horizontal and vertical in turn,
// dark between the threads and catching light along every other one.
TBitmap Canvas() {
  TBitmap b = Grey(64, 64);
  TTextureRng rng(8);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      const bool across = ((x / 8) + (y / 8)) % 2 == 0;
      const int t = across ? y % 4 : x % 4;
      if (t == 0) Put(b, x, y, kDark);
      else if (t == 2 && rng.Below(3) != 0) Put(b, x, y, kLight);
    }
  return b;
}

// Bubbles: rings lit on their upper-left half and shaded on the other.
TBitmap Bubbles() {
  constexpr int n = 96, count = 14;
  TBitmap b = Grey(n, n);
  TTextureRng rng(9);
  for (int i = 0; i < count; ++i) {
    const double cx = rng.Below(n), cy = rng.Below(n), r = 4 + rng.Below(9);
    for (int y = 0; y < n; ++y)
      for (int x = 0; x < n; ++x) {
        double dx = x - cx, dy = y - cy;
        // the nearest copy of the centre, so rings cross the tile's edges
        if (dx > n / 2) dx -= n;
        if (dx < -n / 2) dx += n;
        if (dy > n / 2) dy -= n;
        if (dy < -n / 2) dy += n;
        if (std::fabs(std::sqrt(dx * dx + dy * dy) - r) < 0.75) Put(b, x, y, dx + dy < 0 ? kLight : kDark);
      }
  }
  return b;
}

// Bricks of 32 x 16 in courses offset by half a brick: dark mortar under and right of
// each brick, a light edge along its top and left.
TBitmap Bricks() {
  TBitmap b = Grey(64, 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x) {
      const int v = y % 16, u = (x + (y / 16) * 16) % 32;
      if (v >= 14 || u >= 30) Put(b, x, y, kDark);
      else if (v == 0 || u == 0) Put(b, x, y, kLight);
    }
  return b;
}

TBitmap MakeTexture(std::string_view name) {
  if (name == "TXT1") return Grain();
  if (name == "TXT2") return Zebra();
  if (name == "TXT3") return Cracks();
  if (name == "TXT4") return Zigzag();
  if (name == "TXT5") return Mesh(4, false);
  if (name == "TXT6") return Mesh(8, true);
  if (name == "TXT7") return Grid();
  if (name == "TXT8") return Canvas();
  if (name == "TXT9") return Bubbles();
  if (name == "MUR") return Bricks();
  return TBitmap();
}

}  // namespace

const TBitmap& ResourceTexture(std::string_view name) {
  static std::map<std::string, TBitmap, std::less<>> made;
  auto it = made.find(name);
  if (it == made.end()) it = made.emplace(std::string(name), MakeTexture(name)).first;
  return it->second;
}

void ApplyResourceTexture(TBitmap& target, std::string_view name, TRect rect, TTextureMode mode, int strength) {
  const TBitmap& pattern = ResourceTexture(name);
  if (pattern.Empty()) return;
  if (mode == tmRelief) ApplyTexturePattern(pattern, target, rect, strength);
  else FillRectWithPattern(pattern, target, 0, 0, rect, strength, kKeyRed, 7);
}

}  // namespace qm
