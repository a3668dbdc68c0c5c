#include "platform/core/Palettes.h"

#include <cmath>

#include "platform/core/Numeric.h"

namespace qm {

const std::vector<TColor>& MonochromePalette() {
  static const std::vector<TColor> p{RGB(0, 0, 0), RGB(255, 255, 255)};
  return p;
}

const std::vector<TColor>& Standard16Palette() {
  static const std::vector<TColor> p{
      RGB(0, 0, 0),       RGB(128, 0, 0),   RGB(0, 128, 0),   RGB(128, 128, 0),
      RGB(0, 0, 128),     RGB(128, 0, 128), RGB(0, 128, 128), RGB(192, 192, 192),
      RGB(128, 128, 128), RGB(255, 0, 0),   RGB(0, 255, 0),   RGB(255, 255, 0),
      RGB(0, 0, 255),     RGB(255, 0, 255), RGB(0, 255, 255), RGB(255, 255, 255)};
  return p;
}

const std::vector<TColor>& Windows20Palette() {
  static const std::vector<TColor> p{
      // first ten
      RGB(0, 0, 0), RGB(128, 0, 0), RGB(0, 128, 0), RGB(128, 128, 0), RGB(0, 0, 128),
      RGB(128, 0, 128), RGB(0, 128, 128), RGB(192, 192, 192), RGB(192, 220, 192),
      RGB(166, 202, 240),
      // last ten
      RGB(255, 251, 240), RGB(160, 160, 164), RGB(128, 128, 128), RGB(255, 0, 0),
      RGB(0, 255, 0), RGB(255, 255, 0), RGB(0, 0, 255), RGB(255, 0, 255), RGB(0, 255, 255),
      RGB(255, 255, 255)};
  return p;
}

const std::vector<TColor>& HalftonePalette() {
  static const std::vector<TColor> p = [] {
    const auto& w = Windows20Palette();
    std::vector<TColor> v(w.begin(), w.begin() + 10);
    for (int b = 0; b < 6; ++b)
      for (int g = 0; g < 6; ++g)
        for (int r = 0; r < 6; ++r) v.push_back(RGB(r * 51, g * 51, b * 51));
    for (int k = 1; k <= 20; ++k) {
      int g = RoundHalfEven(255.0 * k / 21.0);
      v.push_back(RGB(g, g, g));
    }
    v.insert(v.end(), w.begin() + 10, w.end());
    return v;
  }();
  return p;
}

const std::vector<TColor>& WindowsGrayPalette() {
  static const std::vector<TColor> p{RGB(0, 0, 0), RGB(128, 128, 128), RGB(192, 192, 192), RGB(255, 255, 255)};
  return p;
}

const std::vector<TColor>& WebPalette() {
  static const std::vector<TColor> p = [] {
    std::vector<TColor> v;
    v.reserve(216);
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 6; ++g)
        for (int b = 0; b < 6; ++b) v.push_back(RGB(r * 51, g * 51, b * 51));
    return v;
  }();
  return p;
}

}  // namespace qm
