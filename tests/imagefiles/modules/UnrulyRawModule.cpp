// A RAW module that misbehaves on purpose, for the client's tests: what it does is
// chosen by the last part of the file name it is given (the file itself is never
// read). Every entry first checks that the host called it in the default
// floating-point environment, and answers 99 when not.
//
//   throw       RawInfo throws a C++ exception
//   huge        RawInfo reports a picture of 2^20 x 2^20
//   margin      RawInfo reports 10 x 10 with a margin of 6 on each side
//   negmargin   RawInfo reports a negative margin
//   rounding    RawInfo changes the rounding mode and fails with 42
//   texts       RawInfo fills every text buffer without a terminating zero
//   framed      3000 x 2000 with a margin of 4; FromRawToPSD fills each row with y
//   tall        3 x 20000; FromRawToPSD fills each row with y
//   decodethrow 8 x 8; FromRawToPSD throws
//   thumbkind   ExtractThumbnail returns 1 with the unknown kind 7
//   thumbnone   ExtractThumbnail returns 1 with kind -2
//   thumbfail   ExtractThumbnail returns 5
#include <cfenv>
#include <cstring>
#include <stdexcept>
#include <string>

#include "imagefiles/RawModuleApi.h"

#define QXL_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::string Case(const char* fileName) {
  std::string s = fileName ? fileName : "";
  const size_t slash = s.find_last_of('/');
  if (slash != std::string::npos) s.erase(0, slash + 1);
  const size_t dot = s.find('.');
  if (dot != std::string::npos) s.erase(dot);
  return s;
}

bool DefaultEnvironment() { return std::fegetround() == FE_TONEAREST; }

uint8_t RowValue(int y) { return uint8_t(y * 7 + 1); }

}  // namespace

QXL_EXPORT int32_t RawInfo(const QxlRawCallbacks*, const QxlRawMemory*, const char* fileName, int32_t,
                           int32_t* width, int32_t* height, int32_t* margin, int32_t* extra, char* textA,
                           char* textB, char* textC) {
  if (!DefaultEnvironment()) return 99;
  const std::string c = Case(fileName);
  *extra = 0;
  *margin = 0;
  *width = *height = 8;
  if (c == "throw") throw std::runtime_error("unruly");
  if (c == "huge") *width = *height = 1 << 20;
  if (c == "margin") {
    *width = *height = 10;
    *margin = 6;
  }
  if (c == "negmargin") *margin = -1;
  if (c == "rounding") {
    std::fesetround(FE_UPWARD);
    return 42;
  }
  if (c == "texts") {
    std::memset(textA, 'a', QXL_RAW_TEXT_A_SIZE);
    std::memset(textB, 'b', QXL_RAW_TEXT_B_SIZE);
    std::memset(textC, 'c', QXL_RAW_TEXT_C_SIZE);
  }
  if (c == "framed") {
    *width = 3000;
    *height = 2000;
    *margin = 4;
  }
  if (c == "tall") {
    *width = 3;
    *height = 20000;
  }
  return 0;
}

QXL_EXPORT int32_t FromRawToPSD(const QxlRawCallbacks*, const QxlRawMemory*, const QxlRawProgress*,
                                const char* fileName, const QxlRawOptions* options, uint8_t* const* rows,
                                int32_t width, int32_t height, int32_t margin, char*, char*, char*) {
  if (!DefaultEnvironment()) return 99;
  if (!options || options->Size != sizeof(QxlRawOptions)) return 98;
  if (Case(fileName) == "decodethrow") throw std::runtime_error("unruly");
  const int w = width - 2 * margin, h = height - 2 * margin;
  for (int y = 0; y < h; ++y) std::memset(rows[y], RowValue(y), size_t(w) * 3);
  return 0;
}

QXL_EXPORT int32_t ExtractThumbnail(const QxlRawCallbacks*, const char* rawName, const char*, int32_t* kind) {
  if (!DefaultEnvironment()) return 99;
  const std::string c = Case(rawName);
  if (c == "thumbkind") {
    *kind = 7;
    return 1;
  }
  if (c == "thumbnone") {
    *kind = -2;
    return 1;
  }
  return 5;
}
