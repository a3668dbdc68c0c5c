#include "extensions/PluginModule.h"

#include <dlfcn.h>

#include <QCoreApplication>
#include <QEvent>
#include <algorithm>
#include <cstddef>
#include <cstring>

namespace qm {
namespace {

// The shell's enabling reads the requirement bits and types the plug-ins' header names.
static_assert(prTrueColor == QXL_REQUIRE_TRUE_COLOR && prFewColors == QXL_REQUIRE_FEW_COLORS &&
              prTransparent == QXL_REQUIRE_TRANSPARENT && prOpaque == QXL_REQUIRE_OPAQUE &&
              prSelection == QXL_REQUIRE_SELECTION && prNoSelection == QXL_REQUIRE_NO_SELECTION &&
              prDocument == QXL_REQUIRE_DOCUMENT && prTwoWindows == QXL_REQUIRE_TWO_DOCUMENTS &&
              prLayers == QXL_REQUIRE_LAYERS && prOneLayer == QXL_REQUIRE_ONE_LAYER && prAlpha == QXL_REQUIRE_ALPHA &&
              prNoAlpha == QXL_REQUIRE_NO_ALPHA && prJpegFile == QXL_REQUIRE_JPEG_FILE &&
              prGifFile == QXL_REQUIRE_GIF_FILE && prPngFile == QXL_REQUIRE_PNG_FILE &&
              prBmpFile == QXL_REQUIRE_BMP_FILE && prTiffFile == QXL_REQUIRE_TIFF_FILE &&
              prSelectionFile == QXL_REQUIRE_SELECTION_FILE && prExif == QXL_REQUIRE_EXIF);
static_assert(int(TPluginType::Filter) == QXL_TYPE_FILTER && int(TPluginType::Image) == QXL_TYPE_IMAGE &&
              int(TPluginType::Import) == QXL_TYPE_IMPORT && int(TPluginType::Export) == QXL_TYPE_EXPORT &&
              int(TPluginType::Tool) == QXL_TYPE_TOOL);

// The description of a version 1 module ends after Flags.
constexpr size_t kDescriptionV1Size = offsetof(QxlPluginDescription, VersionText);
// The name text is read up to its 63rd byte.
constexpr size_t kNameField = 63;
constexpr int kGlyphSide = 19;

// A text of the description within its field, cut before an incomplete character.
std::string FieldText(const char* text, size_t field) {
  if (!text) return {};
  size_t n = strnlen(text, field);
  if (n == field) {
    // No terminator: the field's bytes, less a character the field cuts in two.
    size_t start = n;
    while (start > 0 && (uint8_t(text[start - 1]) & 0xC0) == 0x80) --start;
    if (start > 0) {
      const uint8_t lead = uint8_t(text[start - 1]);
      const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
      if (length > n - start + 1) n = start - 1;
    }
  }
  return std::string(text, n);
}

// The 19 x 19 glyph, its bottom-right pixel's colour transparent; null otherwise.
QImage GlyphOf(const QxlBitmap* b) {
  if (!b || b->Size < sizeof(QxlBitmap) || !b->Bits || b->Width != kGlyphSide || b->Height != kGlyphSide ||
      b->Stride < kGlyphSide * 3)
    return {};
  QImage glyph(kGlyphSide, kGlyphSide, QImage::Format_ARGB32);
  const uint8_t* last = b->Bits + ptrdiff_t(kGlyphSide - 1) * b->Stride + (kGlyphSide - 1) * 3;
  const QRgb key = qRgb(last[2], last[1], last[0]);
  for (int y = 0; y < kGlyphSide; ++y) {
    const uint8_t* p = b->Bits + ptrdiff_t(y) * b->Stride;
    auto* out = reinterpret_cast<QRgb*>(glyph.scanLine(y));
    for (int x = 0; x < kGlyphSide; ++x, p += 3) {
      const QRgb c = qRgb(p[2], p[1], p[0]);
      out[x] = c == key ? qRgba(0, 0, 0, 0) : c;
    }
  }
  return glyph;
}

}  // namespace

bool TPluginModule::Load(const std::string& file) {
  Unload();
  handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) return false;
  auto entry = [this](const char* name) { return dlsym(handle_, name); };
  const auto info = reinterpret_cast<QxlPluginInfoFn>(entry("QxlPluginInfo"));
  Execute = reinterpret_cast<QxlPluginExecuteFn>(entry("QxlPluginExecute"));
  About = reinterpret_cast<QxlPluginAboutFn>(entry("QxlPluginAbout"));
  Compatibility = reinterpret_cast<QxlPluginCompatibilityFn>(entry("QxlPluginCompatibility"));
  SetColor = reinterpret_cast<QxlPluginSetColorFn>(entry("QxlPluginSetColor"));
  PointClick = reinterpret_cast<QxlPluginPointClickFn>(entry("QxlPluginPointClick"));
  bool ok = info && Execute;
  try {
    ok = ok && ReadDescription(info());
  } catch (...) {
    ok = false;
  }
  if (!ok) Unload();
  else entry_.File = file;
  return ok;
}

bool TPluginModule::ReadDescription(const QxlPluginDescription* d) {
  if (!d || d->Size < kDescriptionV1Size || d->Version == 0) return false;
  const bool v2 = d->Version >= 2;
  if (v2 && d->Size < sizeof(QxlPluginDescription)) return false;
  entry_ = TPluginEntry{};
  entry_.NameText = FieldText(d->NameText, kNameField);
  type_ = d->Type;
  entry_.Type = TPluginType(std::clamp(type_, 0, int(TPluginType::Tool)));
  entry_.Flags = d->Flags;
  version_ = d->Version;
  if (!v2) return true;
  entry_.VersionText = FieldText(d->VersionText, sizeof d->VersionText);
  entry_.Author = FieldText(d->Author, sizeof d->Author);
  entry_.Comment = FieldText(d->Comment, sizeof d->Comment);
  entry_.CompatibilityText = FieldText(d->Compatibility, sizeof d->Compatibility);
  if (!entry_.CompatibilityText.empty() && entry_.CompatibilityText[0] != '7') return false;
  entry_.Glyph = GlyphOf(d->Glyph);
  return true;
}

int TPluginModule::Level() const {
  int level = QXL_LEVEL_MIN;
  try {
    if (Compatibility) level = Compatibility();
  } catch (...) {
  }
  return std::clamp(level, QXL_LEVEL_MIN, QXL_LEVEL_MAX);
}

void TPluginModule::Unload() {
  Execute = nullptr;
  About = nullptr;
  Compatibility = nullptr;
  SetColor = nullptr;
  PointClick = nullptr;
  if (!handle_) return;
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  dlclose(handle_);
  handle_ = nullptr;
}

}  // namespace qm
