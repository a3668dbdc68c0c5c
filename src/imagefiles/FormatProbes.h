#pragma once
// Small probes of image files: extension tests, the print resolution stored in a file
// (read, and patched into a file just saved without rewriting its pixels), the frame
// size of a JPEG and the scale at which to decode it for a preview.
//
// Resolutions are dots per inch, 2.54 cm to the inch exactly: dots per metre =
// dpi x 100 / 2.54.
#include <cstdint>
#include <string>

namespace qm {

// --- Extension tests (the last extension, with its dot, compared in lower case) ----

// ".png" for "a/b.C.PNG"; empty without an extension.
std::string LowerExt(const std::string& fileName);
bool IsBmpExt(const std::string& fileName);   // .bmp .dib
bool IsRleExt(const std::string& fileName);   // .rle
bool IsTiffExt(const std::string& fileName);  // .tif .tiff
bool IsPngExt(const std::string& fileName);   // .png
bool IsQxiExt(const std::string& fileName);   // .qxi
bool IsGifExt(const std::string& fileName);   // .gif
bool IsQxsExt(const std::string& fileName);   // .qxs
bool IsPcxExt(const std::string& fileName);   // .pcx .pcc .scr
bool IsPspExt(const std::string& fileName);   // .psp
bool IsJpegExt(const std::string& fileName);  // .jpg .jpeg .jpe .jfif

// --- Resolution ----------------------------------------------------------------------

// The horizontal resolution stored in the file, chosen by extension: BMP (pixels per
// metre), JPEG (JFIF density, or the EXIF XResolution with its unit, in either byte
// order), TIFF (through libtiff), PCX, Paint Shop Pro, PNG (the first pHYs before the
// image data) and our layered file. Rounded to one decimal (halves to even); 72 when
// the file holds none, cannot be read, or holds a value that rounds to 0 or less.
// Never fails.
double GetFileResolution(const std::string& fileName);

// Writes the resolution into a file just saved, in place: BMP (both pixels-per-metre
// fields, after checking "BM"), JFIF JPEG (units and both densities, after checking
// "JFIF"; EXIF-only files are left alone), TIFF (the XResolution and YResolution
// entries of the first directory, found by their tags, and an inch unit), PNG (a pHYs
// chunk after IHDR; earlier pHYs chunks are dropped; the file is rewritten beside
// itself and renamed over) and our layered file. True when the file was changed;
// false for other formats, a missing or unexpected file, or a resolution that is not
// a positive number. Never throws.
bool SetFileResolution(const std::string& fileName, double dpi);

// --- JPEG ----------------------------------------------------------------------------

// The frame size of the first baseline frame (SOF0), found by walking the marker
// segments by their lengths up to the start of the scan. False, with 0 x 0, when the
// file is missing, is not a JPEG or has no SOF0 segment before its scan.
bool ReadJpegSof0Size(const std::string& fileName, int& width, int& height);

// The libjpeg scale for a preview of a width x height JPEG aimed at target pixels:
// 0 full size, 1 half, 2 quarter, 3 eighth, by (the larger side) div target: below 2
// gives 0, 2..3 gives 1, 4..7 gives 2, 8 and more gives 3. 0 when a size or the
// target is below 1.
int JpegScaleForSize(int width, int height, int target);

// The four bytes of v in reverse order (big-endian fields of PNG and JPEG).
constexpr uint32_t ByteSwap32(uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

}  // namespace qm
