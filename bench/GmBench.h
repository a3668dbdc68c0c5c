#pragma once
// GraphicsMagick's side of the codec and colour benchmarks: encoding the photo to a blob,
// reading a file back, quantising, on its own images. Include after our headers.
#include <cstdio>
#include <string>

#include <magick/api.h>

#include "Harness.h"

namespace qm::bench {

// Times encoding the photo in the format; quality is GraphicsMagick's setting (for
// PNG, zlib level x 10 + filter), or -1 to leave its default. The size of what it
// made is the row's "bytes" counter.
inline void TimeGraphicsMagickEncode(benchmark::State& st, const char* magick, int quality = -1) {
  Image* image = ToGM(Photo());
  ImageInfo* info = CloneImageInfo(nullptr);
  std::snprintf(info->magick, sizeof info->magick, "%s", magick);
  if (quality >= 0) info->quality = unsigned(quality);
  size_t bytes = 0;
  for (auto _ : st) {
    ExceptionInfo ex;
    GetExceptionInfo(&ex);
    std::snprintf(image->magick, sizeof image->magick, "%s", magick);
    size_t length = 0;
    void* blob = ImageToBlob(info, image, &length, &ex);
    if (!blob) st.SkipWithError("GraphicsMagick failed");
    bytes = length;
    MagickFree(blob);
    DestroyExceptionInfo(&ex);
  }
  DestroyImageInfo(info);
  st.counters["bytes"] = double(bytes);
}

// Times reading the file as the format.
inline void TimeGraphicsMagickRead(benchmark::State& st, const char* magick, const std::string& file) {
  ImageInfo* info = CloneImageInfo(nullptr);
  std::snprintf(info->filename, sizeof info->filename, "%s:%s", magick, file.c_str());
  for (auto _ : st) {
    ExceptionInfo ex;
    GetExceptionInfo(&ex);
    Image* image = ReadImage(info, &ex);
    if (!image) st.SkipWithError("GraphicsMagick failed");
    DestroyImage(image);
    DestroyExceptionInfo(&ex);
  }
  DestroyImageInfo(info);
}

// Times quantising the photo to the colours (with dithering or not), each run on a fresh
// copy (not timed).
inline void TimeGraphicsMagickQuantize(benchmark::State& st, unsigned colors, bool dither) {
  ExceptionInfo ex;
  GetExceptionInfo(&ex);
  QuantizeInfo qi;
  GetQuantizeInfo(&qi);
  qi.number_colors = colors;
  qi.dither = dither ? 1 : 0;
  for (auto _ : st) {
    st.PauseTiming();
    Image* img = CloneImage(ToGM(Photo()), 0, 0, 1, &ex);
    st.ResumeTiming();
    QuantizeImage(&qi, img);
    st.PauseTiming();
    DestroyImage(img);
    st.ResumeTiming();
  }
  DestroyExceptionInfo(&ex);
}

}  // namespace qm::bench
