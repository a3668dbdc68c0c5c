#pragma once
// PNG and GIF streams made with the real libraries, for the layer codecs of the
// layered file that we only read.
#include <csetjmp>
#include <cstdint>
#include <vector>

#include <gif_lib.h>
#include <png.h>

namespace qm::test {

struct PngPicture {
  int width = 0, height = 0;
  int colorType = PNG_COLOR_TYPE_RGB;  // also PALETTE, GRAY, RGB_ALPHA
  int bitDepth = 8;
  bool interlaced = false;
  // Samples row by row as libpng takes them (bytes; 16-bit samples big-endian).
  std::vector<uint8_t> samples;
  std::vector<png_color> palette;
};

inline void PngAppend(png_structp png, png_bytep data, size_t n) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}

inline std::vector<uint8_t> EncodePng(const PngPicture& pic) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &out, PngAppend, nullptr);
  png_set_IHDR(png, info, png_uint_32(pic.width), png_uint_32(pic.height), pic.bitDepth, pic.colorType,
               pic.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!pic.palette.empty()) png_set_PLTE(png, info, pic.palette.data(), int(pic.palette.size()));
  png_write_info(png, info);
  const size_t row = pic.samples.size() / size_t(pic.height);
  std::vector<png_bytep> rows(size_t(pic.height));
  for (int y = 0; y < pic.height; ++y) rows[size_t(y)] = const_cast<png_bytep>(pic.samples.data() + size_t(y) * row);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

struct GifPicture {
  int width = 0, height = 0;
  std::vector<GifColorType> colors;  // a power of two entries
  std::vector<uint8_t> indices;      // width x height, rows top to bottom
  bool interlaced = false;
  int extraFrames = 0;  // further frames of other content, which the reader skips
};

inline int GifAppend(GifFileType* gif, const GifByteType* data, int n) {
  auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
  out->insert(out->end(), data, data + n);
  return n;
}

inline std::vector<uint8_t> EncodeGif(const GifPicture& pic) {
  std::vector<uint8_t> out;
  int err = 0;
  GifFileType* gif = EGifOpen(&out, GifAppend, &err);
  if (!gif) return {};
  ColorMapObject* map = GifMakeMapObject(int(pic.colors.size()), pic.colors.data());
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, pic.width, pic.height, 8, 0, map);
  // a comment extension, which the reader passes over
  EGifPutComment(gif, "layer mask");
  std::vector<int> order;
  if (pic.interlaced) {
    static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    for (int p = 0; p < 4; ++p)
      for (int y = kStart[p]; y < pic.height; y += kStep[p]) order.push_back(y);
  } else {
    for (int y = 0; y < pic.height; ++y) order.push_back(y);
  }
  EGifPutImageDesc(gif, 0, 0, pic.width, pic.height, pic.interlaced, nullptr);
  for (int y : order)
    EGifPutLine(gif, const_cast<GifPixelType*>(pic.indices.data() + size_t(y) * size_t(pic.width)), pic.width);
  std::vector<GifPixelType> other(size_t(pic.width), 1);
  for (int f = 0; f < pic.extraFrames; ++f) {
    EGifPutImageDesc(gif, 0, 0, pic.width, pic.height, false, nullptr);
    for (int y = 0; y < pic.height; ++y) EGifPutLine(gif, other.data(), pic.width);
  }
  EGifCloseFile(gif, &err);
  GifFreeMapObject(map);
  return out;
}

}  // namespace qm::test
