// Draws the masks and patterns the program ships, so that a profile without any of its
// own has something to give Sheerlay and the pattern commands:
//   qm_make_stock <folder>
// writes <folder>/Masks/*.png (grey photo masks: dark where Sheerlay's effect is whole,
// white where it leaves the picture) and <folder>/Patterns/*.png (tiles that repeat
// without a seam). Every picture is computed here and written through the program's
// own PNG writer; the output is the same at every run.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "imagefiles/FileDispatch.h"
#include "platform/core/Bitmap.h"

namespace {

using qm::TBitmap;
using qm::TColor;

constexpr int kMaskWidth = 320, kMaskHeight = 240;
constexpr double kPi = 3.14159265358979323846;

double Clamp01(double v) { return std::clamp(v, 0.0, 1.0); }
// 0 below edge0, 1 above edge1, a smooth step between.
double SmoothStep(double edge0, double edge1, double v) {
  const double t = Clamp01((v - edge0) / (edge1 - edge0));
  return t * t * (3 - 2 * t);
}

// A small generator of our own, so the pictures never follow a library's changes.
struct TNoise {
  uint32_t State;
  double Next() {
    State = State * 1664525u + 1013904223u;
    return (State >> 8) / double(1u << 24);
  }
};

// Value noise on a lattice of period cells across the picture (it wraps, so a tile
// made of it repeats without a seam), smoothly interpolated.
class TLatticeNoise {
 public:
  TLatticeNoise(int period, uint32_t seed) : period_(period), values_(size_t(period) * period) {
    TNoise n{seed};
    for (double& v : values_) v = n.Next();
  }
  // u, v in cells (any real value; the lattice repeats every period cells).
  double At(double u, double v) const {
    const int x0 = int(std::floor(u)), y0 = int(std::floor(v));
    const double fx = SmoothStep(0, 1, u - x0), fy = SmoothStep(0, 1, v - y0);
    auto cell = [this](int x, int y) {
      x = ((x % period_) + period_) % period_;
      y = ((y % period_) + period_) % period_;
      return values_[size_t(y) * period_ + x];
    };
    const double top = cell(x0, y0) + (cell(x0 + 1, y0) - cell(x0, y0)) * fx;
    const double bottom = cell(x0, y0 + 1) + (cell(x0 + 1, y0 + 1) - cell(x0, y0 + 1)) * fx;
    return top + (bottom - top) * fy;
  }

 private:
  int period_;
  std::vector<double> values_;
};

// A picture of w x h whose pixel (x, y) is colour(x, y).
TBitmap Draw(int w, int h, const std::function<TColor(int x, int y)>& colour) {
  TBitmap b(w, h, qm::pf24bit);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = b.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      const TColor c = colour(x, y);
      row[3 * x] = qm::GetBValue(c);
      row[3 * x + 1] = qm::GetGValue(c);
      row[3 * x + 2] = qm::GetRValue(c);
    }
  }
  return b;
}

TColor Grey(double level) {
  const int v = int(std::lround(Clamp01(level) * 255));
  return qm::RGB(v, v, v);
}

TColor Mix(TColor a, TColor b, double t) {
  t = Clamp01(t);
  auto ch = [t](int p, int q) { return int(std::lround(p + (q - p) * t)); };
  return qm::RGB(ch(qm::GetRValue(a), qm::GetRValue(b)), ch(qm::GetGValue(a), qm::GetGValue(b)),
                 ch(qm::GetBValue(a), qm::GetBValue(b)));
}

// A grey mask from its level at (u, v), both 0..1 across the picture.
TBitmap Mask(const std::function<double(double u, double v)>& level) {
  return Draw(kMaskWidth, kMaskHeight, [&](int x, int y) {
    return Grey(level((x + 0.5) / kMaskWidth, (y + 0.5) / kMaskHeight));
  });
}

// How far (u, v) lies inside a rectangle with rounded corners, inset by margin from the
// picture's edges: positive inside, negative outside, in units of the picture's height
// (the signed distance to a rounded box).
double InsideRoundedRect(double u, double v, double margin, double radius) {
  const double aspect = double(kMaskWidth) / kMaskHeight;
  const double qx = std::abs(u - 0.5) * aspect - (0.5 * aspect - margin - radius);
  const double qy = std::abs(v - 0.5) - (0.5 - margin - radius);
  const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - radius;
  return -outside;
}

struct TStock {
  const char* Name;
  std::function<TBitmap()> Make;
};

std::vector<TStock> Masks() {
  return {
      {"Bords adoucis",
       [] {
         return Mask([](double u, double v) {
           const double r = std::hypot((u - 0.5) * 2, (v - 0.5) * 2) / std::sqrt(2.0);
           return 1 - SmoothStep(0.45, 1.0, r);
         });
       }},
      {"Dégradé horizontal", [] { return Mask([](double u, double) { return u; }); }},
      {"Dégradé vertical", [] { return Mask([](double, double v) { return v; }); }},
      {"Dégradé radial",
       [] {
         return Mask([](double u, double v) { return Clamp01(std::hypot((u - 0.5) * 2, (v - 0.5) * 2) / std::sqrt(2.0)); });
       }},
      {"Cadre doux", [] { return Mask([](double u, double v) { return SmoothStep(0.0, 0.08, InsideRoundedRect(u, v, 0.04, 0.0)); }); }},
      {"Coins arrondis",
       [] { return Mask([](double u, double v) { return SmoothStep(-0.004, 0.004, InsideRoundedRect(u, v, 0.06, 0.12)); }); }},
      {"Ovale",
       [] {
         return Mask([](double u, double v) {
           const double r = std::hypot((u - 0.5) / 0.44, (v - 0.5) / 0.42);
           return 1 - SmoothStep(0.98, 1.02, r);
         });
       }},
      {"Bords déchirés",
       [] {
         const TLatticeNoise coarse(24, 7), fine(96, 11);
         return Mask([&](double u, double v) {
           const double rough = 0.06 * coarse.At(u * 24, v * 24) + 0.025 * fine.At(u * 96, v * 96);
           return SmoothStep(-0.005, 0.005, InsideRoundedRect(u, v, 0.03 + rough, 0.0));
         });
       }},
  };
}

std::vector<TStock> Patterns() {
  return {
      {"Damier",
       [] {
         return Draw(64, 64, [](int x, int y) {
           return ((x / 16) + (y / 16)) % 2 ? qm::RGB(224, 214, 190) : qm::RGB(150, 120, 88);
         });
       }},
      {"Briques",
       [] {
         const TLatticeNoise grain(16, 3);
         return Draw(96, 64, [&](int x, int y) {
           const int course = y / 16, offset = course % 2 ? 24 : 0;
           const int bx = (x + offset) % 48, by = y % 16;
           if (bx < 3 || by < 3) return qm::RGB(196, 188, 172);  // the mortar
           const int brick = ((x + offset) / 48 % 2) + 2 * course;
           const double shade = 0.85 + 0.1 * ((brick * 37) % 5) / 4.0 + 0.08 * grain.At(x / 6.0, y / 4.0);
           return Mix(qm::RGB(0, 0, 0), qm::RGB(178, 74, 52), shade);
         });
       }},
      {"Rayures",
       [] {
         // diagonal bands: 64 is a whole number of periods along both axes
         return Draw(64, 64, [](int x, int y) {
           const double t = 0.5 + 0.5 * std::sin(2 * kPi * (x + y) / 32.0);
           return Mix(qm::RGB(36, 82, 140), qm::RGB(232, 236, 244), SmoothStep(0.35, 0.65, t));
         });
       }},
      {"Pois",
       [] {
         return Draw(48, 48, [](int x, int y) {
           // a dot at each corner (one dot across the seams) and one in the middle
           const double cx = (x % 24) - 11.5, cy = (y % 24) - 11.5;
           const bool middle = (x / 24 + y / 24) % 2 == 0;
           const double d = middle ? std::hypot(cx, cy) : 99;
           return Mix(qm::RGB(196, 40, 60), qm::RGB(250, 244, 236), SmoothStep(6.5, 7.5, d));
         });
       }},
      {"Toile",
       [] {
         const TLatticeNoise grain(32, 5);
         return Draw(64, 64, [&](int x, int y) {
           const double warp = 0.5 + 0.5 * std::cos(2 * kPi * x / 4.0), weft = 0.5 + 0.5 * std::cos(2 * kPi * y / 4.0);
           const bool over = ((x / 4) + (y / 4)) % 2 == 0;
           const double thread = over ? warp : weft;
           return Mix(qm::RGB(160, 142, 110), qm::RGB(226, 214, 186), 0.55 * thread + 0.45 * grain.At(x / 2.0, y / 2.0));
         });
       }},
      {"Papier",
       [] {
         const TLatticeNoise coarse(8, 13), fine(64, 17);
         return Draw(128, 128, [&](int x, int y) {
           const double t = 0.6 * coarse.At(x / 16.0, y / 16.0) + 0.4 * fine.At(x / 2.0, y / 2.0);
           return Mix(qm::RGB(214, 204, 180), qm::RGB(246, 240, 226), t);
         });
       }},
      {"Marbre",
       [] {
         const TLatticeNoise turbulence(8, 23);
         return Draw(128, 128, [&](int x, int y) {
           const double n = turbulence.At(x / 16.0, y / 16.0) + 0.5 * turbulence.At(x / 8.0 + 3, y / 8.0 + 5);
           // veins across the tile: a whole period in both directions keeps the seams
           const double vein = std::abs(std::sin(2 * kPi * (x + y) / 128.0 + 3 * n));
           return Mix(qm::RGB(92, 96, 104), qm::RGB(238, 238, 234), std::pow(vein, 0.35));
         });
       }},
  };
}

bool Write(const std::filesystem::path& folder, const std::vector<TStock>& stock) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  bool ok = true;
  for (const TStock& s : stock) {
    TBitmap picture = s.Make();
    const std::string file = (folder / (std::string(s.Name) + ".png")).string();
    const qm::TSaveResult saved = qm::SavePicture(file, picture, qm::TSaveRequest{});
    if (saved.Result != qm::frDone) {
      std::fprintf(stderr, "qm_make_stock: %s could not be written\n", file.c_str());
      ok = false;
    }
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: qm_make_stock <folder>\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  const bool ok = Write(folder / "Masks", Masks()) && Write(folder / "Patterns", Patterns());
  return ok ? 0 : 1;
}
