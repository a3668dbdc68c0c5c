#include "document/Resample.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

// GraphicsMagick's headers after ours: they define macros of their own.
#include <magick/api.h>

namespace qm {

void EnsureGraphicsMagick() {
  static std::once_flag once;
  std::call_once(once, [] {
    // The library's own signal handlers would end the program on SIGTERM without its
    // settings: the program's are kept.
    ExceptionInfo ex;
    GetExceptionInfo(&ex);
    InitializeMagickEx(nullptr, MAGICK_OPT_NO_SIGNAL_HANDER, &ex);
    DestroyExceptionInfo(&ex);
  });
}

bool Resample(const TBitmap& src, int w, int h, TResampleFilter filter, TBitmap& out) {
  if (src.Empty() || src.PixelFormat() != pf24bit || w < 1 || h < 1) return false;
  EnsureGraphicsMagick();
  const size_t srcRow = size_t(src.Width()) * 3, dstRow = size_t(w) * 3;
  // GraphicsMagick takes and gives packed rows; ours are padded to 4 bytes unless the
  // width is a multiple of 4.
  std::unique_ptr<uint8_t[]> packed;
  const uint8_t* pixels = src.Bits();
  if (ptrdiff_t(srcRow) != src.Stride()) {
    packed.reset(new uint8_t[srcRow * size_t(src.Height())]);
    for (int y = 0; y < src.Height(); ++y) std::memcpy(packed.get() + srcRow * size_t(y), src.ScanLine(y), srcRow);
    pixels = packed.get();
  }
  ExceptionInfo ex;
  GetExceptionInfo(&ex);
  bool ok = false;
  Image* image = ConstituteImage(src.Width(), src.Height(), "BGR", CharPixel, pixels, &ex);
  packed.reset();
  if (image) {
    static constexpr FilterTypes kKinds[kResampleFilterCount] = {BoxFilter,       TriangleFilter, HermiteFilter,
                                                                 QuadraticFilter, CubicFilter,    LanczosFilter,
                                                                 MitchellFilter};
    const FilterTypes kind = kKinds[std::min(int(filter), kResampleFilterCount - 1)];
    Image* sized = ResizeImage(image, unsigned(w), unsigned(h), kind, 1.0, &ex);
    DestroyImage(image);
    if (sized) {
      TBitmap result(w, h, pf24bit, clBlack);
      std::unique_ptr<uint8_t[]> buffer;
      uint8_t* target = result.Bits();
      if (ptrdiff_t(dstRow) != result.Stride()) {
        buffer.reset(new uint8_t[dstRow * size_t(h)]);
        target = buffer.get();
      }
      if (DispatchImage(sized, 0, 0, unsigned(w), unsigned(h), "BGR", CharPixel, target, &ex) == MagickPass) {
        if (buffer)
          for (int y = 0; y < h; ++y) std::memcpy(result.ScanLine(y), buffer.get() + dstRow * size_t(y), dstRow);
        result.Transparent = src.Transparent;
        result.TransparentColor = src.TransparentColor;
        out = std::move(result);
        ok = true;
      }
      DestroyImage(sized);
    }
  }
  DestroyExceptionInfo(&ex);
  return ok;
}

}  // namespace qm
