#pragma once
// A small synthetic DNG written with libtiff, for the RAW module's tests and
// benchmarks: a full-resolution 16-bit RGGB Bayer picture of smooth colour gradients in
// a sub-directory, and an 8-bit RGB thumbnail of the same scene in the main directory
// (as cameras write them). Camera maker "Quillomatic", model "Synthetic".
#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace qm::test {

// The scene at (x, y) of a w x h picture: R, G, B in 0..1.
inline void SyntheticScene(int x, int y, int w, int h, double rgb[3]) {
  const double u = (x + 0.5) / w, v = (y + 0.5) / h;
  rgb[0] = 0.1 + 0.8 * u;
  rgb[1] = 0.1 + 0.8 * v;
  rgb[2] = 0.9 - 0.8 * u * v;
}

// Writes the DNG; false when libtiff fails.
inline bool WriteSyntheticDng(const std::string& path, int w, int h) {
  TIFF* t = TIFFOpen(path.c_str(), "w");
  if (!t) return false;
  const int tw = std::max(1, w / 8), th = std::max(1, h / 8);
  // Main directory: the thumbnail with the DNG tags.
  TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_REDUCEDIMAGE);
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(tw));
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(th));
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, uint32_t(th));
  TIFFSetField(t, TIFFTAG_MAKE, "Quillomatic");
  TIFFSetField(t, TIFFTAG_MODEL, "Synthetic");
  TIFFSetField(t, TIFFTAG_DATETIME, "2024:05:17 10:20:30");
  static const uint8_t version[4] = {1, 4, 0, 0}, backward[4] = {1, 1, 0, 0};
  TIFFSetField(t, TIFFTAG_DNGVERSION, version);
  TIFFSetField(t, TIFFTAG_DNGBACKWARDVERSION, backward);
  TIFFSetField(t, TIFFTAG_UNIQUECAMERAMODEL, "Quillomatic Synthetic");
  // XYZ to the camera's colours: the camera sees linear sRGB.
  static const float matrix[9] = {3.2406f, -1.5372f, -0.4986f, -0.9689f, 1.8758f, 0.0415f, 0.0557f, -0.2040f, 1.0570f};
  TIFFSetField(t, TIFFTAG_COLORMATRIX1, 9, matrix);
  TIFFSetField(t, TIFFTAG_CALIBRATIONILLUMINANT1, 21);
  static const float neutral[3] = {1.0f, 1.0f, 1.0f};
  TIFFSetField(t, TIFFTAG_ASSHOTNEUTRAL, 3, neutral);
  toff_t subifd[1] = {0};
  TIFFSetField(t, TIFFTAG_SUBIFD, 1, subifd);
  std::vector<uint8_t> row(size_t(tw) * 3);
  bool ok = true;
  for (int y = 0; y < th && ok; ++y) {
    for (int x = 0; x < tw; ++x) {
      double c[3];
      SyntheticScene(x, y, tw, th, c);
      for (int k = 0; k < 3; ++k) row[size_t(x) * 3 + size_t(k)] = uint8_t(c[k] * 255 + 0.5);
    }
    ok = TIFFWriteScanline(t, row.data(), uint32_t(y), 0) >= 0;
  }
  ok = ok && TIFFWriteDirectory(t);
  // The raw picture.
  TIFFSetField(t, TIFFTAG_SUBFILETYPE, 0);
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(w));
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(h));
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 16);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, 32803);  // colour filter array
  TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, uint32_t(std::max(1, 65536 / (w * 2))));
  static const uint16_t dim[2] = {2, 2};
  static const uint8_t pattern[4] = {0, 1, 1, 2};  // R G / G B
  TIFFSetField(t, TIFFTAG_CFAREPEATPATTERNDIM, dim);
  TIFFSetField(t, TIFFTAG_CFAPATTERN, 4, pattern);
  static const uint32_t white[1] = {65535};
  TIFFSetField(t, TIFFTAG_WHITELEVEL, 1, white);
  std::vector<uint16_t> raw(static_cast<size_t>(w));
  for (int y = 0; y < h && ok; ++y) {
    for (int x = 0; x < w; ++x) {
      double c[3];
      SyntheticScene(x, y, w, h, c);
      const int channel = (y & 1) == 0 ? ((x & 1) == 0 ? 0 : 1) : ((x & 1) == 0 ? 1 : 2);
      raw[size_t(x)] = uint16_t(c[channel] * 60000 + 0.5);
    }
    ok = TIFFWriteScanline(t, raw.data(), uint32_t(y), 0) >= 0;
  }
  ok = ok && TIFFWriteDirectory(t);
  TIFFClose(t);
  return ok;
}

}  // namespace qm::test
