/* A filter plug-in of the tests, built in many variants from this one source (see
 * cmake/PluginModules.cmake and tests/CMakeLists.txt):
 *
 *   QM_PLUGIN_V1        a version 1 module: the short description, the host's rows
 *   QM_PLUGIN_INVERT    (version 1) inverts the working rectangle and reports a change
 *   QM_PLUGIN_FAILING   (version 1) scribbles over it and reports a failure
 *   QM_PLUGIN_IMPORT    (version 1) runs without a document and changes nothing
 *   otherwise           a probe: its entries hand the host record, the colours and the
 *                       clicks to the program that loaded it (QmTestPlugin* functions
 *                       the test program exports), so that the tests drive the real
 *                       callbacks from a real module
 *
 * and the description's fields: QM_NAME, QM_TYPE, QM_FLAGS, QM_LEVEL (no
 * QxlPluginCompatibility entry when 0), QM_COMPAT, QM_VERSION_TEXT, QM_AUTHOR,
 * QM_COMMENT, QM_GLYPH (the glyph's side, none when 0), QM_ABOUT (exports its own about
 * box), QM_NAME_FROM_FILE (the name is the module's file name, so that copies of one
 * module are told apart), QM_FULL_TEXTS (texts that fill their fields without a
 * terminator, the author's last character cut in two). */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stddef.h>
#include <string.h>

#include "extensions/FilterPluginApi.h"

#define EXPORT __attribute__((visibility("default")))

#ifndef QM_NAME
#define QM_NAME "Sonde|Test"
#endif
#if defined(QM_FULL_TEXTS)
#define QM_X8 "abcdefgh"
#define QM_X64 QM_X8 QM_X8 QM_X8 QM_X8 QM_X8 QM_X8 QM_X8 QM_X8
#define QM_VERSION_TEXT QM_X64
#define QM_AUTHOR QM_X8 QM_X8 QM_X8 QM_X8 QM_X8 QM_X8 QM_X8 "abcdefg\xc3"
#define QM_COMMENT QM_X64 QM_X64 QM_X64 QM_X64
#endif
#ifndef QM_TYPE
#define QM_TYPE 0
#endif
#ifndef QM_FLAGS
#define QM_FLAGS 0
#endif
#ifndef QM_LEVEL
#define QM_LEVEL 4
#endif
#ifndef QM_COMPAT
#define QM_COMPAT "7"
#endif
#ifndef QM_VERSION_TEXT
#define QM_VERSION_TEXT "Version 2.1b (2004)"
#endif
#ifndef QM_AUTHOR
#define QM_AUTHOR "(c) Atelier Morvek & fils"
#endif
#ifndef QM_COMMENT
#define QM_COMMENT "Un module d'essai."
#endif
#ifndef QM_GLYPH
#define QM_GLYPH 0
#endif

#if QM_GLYPH > 0
/* A glyph: a blue square on a magenta key (the key at the bottom-right corner). */
static uint8_t glyphPixels[QM_GLYPH * QM_GLYPH * 3];
static QxlBitmap glyph = {sizeof(QxlBitmap), QM_GLYPH, QM_GLYPH, QM_GLYPH * 3, glyphPixels, glyphPixels, 0};
static void DrawGlyph(void) {
  for (int y = 0; y < QM_GLYPH; ++y)
    for (int x = 0; x < QM_GLYPH; ++x) {
      uint8_t* p = glyphPixels + (y * QM_GLYPH + x) * 3;
      const int inside = x >= 4 && x < QM_GLYPH - 4 && y >= 4 && y < QM_GLYPH - 4;
      p[0] = inside ? 200 : 255; /* blue */
      p[1] = inside ? 60 : 0;
      p[2] = inside ? 20 : 255; /* red */
    }
}
#define GLYPH &glyph
#else
#define GLYPH 0
#endif

static QxlPluginDescription description = {
#if defined(QM_PLUGIN_V1)
    offsetof(QxlPluginDescription, VersionText), 1,
#else
    sizeof(QxlPluginDescription), QXL_PLUGIN_API_VERSION,
#endif
    QM_NAME, QM_TYPE, QM_FLAGS, QM_VERSION_TEXT, QM_AUTHOR, QM_COMMENT, QM_COMPAT, GLYPH};

#if defined(QM_NAME_FROM_FILE)
static char fileName[64];
#endif

EXPORT const QxlPluginDescription* QxlPluginInfo(void) {
#if QM_GLYPH > 0
  DrawGlyph();
#endif
#if defined(QM_NAME_FROM_FILE)
  Dl_info info;
  if (dladdr((void*)&QxlPluginInfo, &info) && info.dli_fname) {
    const char* slash = strrchr(info.dli_fname, '/');
    strncpy(fileName, slash ? slash + 1 : info.dli_fname, sizeof fileName - 1);
    description.NameText = fileName;
  }
#endif
  return &description;
}

#if QM_LEVEL > 0
EXPORT int32_t QxlPluginCompatibility(void) { return QM_LEVEL; }
#endif

#if defined(QM_PLUGIN_V1)

EXPORT int32_t QxlPluginExecute(QxlPluginHost* host) {
  if (!host || host->Size < offsetof(QxlPluginHost, Level) || host->Image.Size < sizeof(QxlPluginImage)) return 0;
#if defined(QM_PLUGIN_IMPORT)
  return 0;
#else
  const QxlPluginImage* image = &host->Image;
  if (image->Width <= 0 || !image->Row) return 0;
  for (int32_t y = image->WorkRect[1]; y < image->WorkRect[3]; ++y) {
    uint8_t* row = image->Row(image->Context, y);
    if (!row) return 0;
    for (int32_t x = image->WorkRect[0] * 3; x < image->WorkRect[2] * 3; ++x)
#if defined(QM_PLUGIN_INVERT)
      row[x] = (uint8_t)(255 - row[x]);
#else
      row[x] = 7;
#endif
  }
#if defined(QM_PLUGIN_INVERT)
  return 1;
#else
  return 0;
#endif
#endif
}

#else

/* What the program that loaded the probe answers (found in its exports, if any). */
typedef int32_t (*ExecuteHook)(QxlPluginHost* host, const char* module);
typedef void (*ColorHook)(uint32_t color);
typedef void (*ClickHook)(int32_t x, int32_t y, int32_t button);
typedef void (*AboutHook)(QxlPluginHost* host);

EXPORT int32_t QxlPluginExecute(QxlPluginHost* host) {
  ExecuteHook hook = (ExecuteHook)dlsym(RTLD_DEFAULT, "QmTestPluginExecute");
  return hook ? hook(host, QM_NAME) : 0;
}

EXPORT void QxlPluginSetColor(uint32_t color) {
  ColorHook hook = (ColorHook)dlsym(RTLD_DEFAULT, "QmTestPluginSetColor");
  if (hook) hook(color);
}

EXPORT void QxlPluginPointClick(int32_t x, int32_t y, int32_t button) {
  ClickHook hook = (ClickHook)dlsym(RTLD_DEFAULT, "QmTestPluginPointClick");
  if (hook) hook(x, y, button);
}

#if defined(QM_ABOUT)
EXPORT void QxlPluginAbout(QxlPluginHost* host) {
  AboutHook hook = (AboutHook)dlsym(RTLD_DEFAULT, "QmTestPluginAbout");
  if (hook) hook(host);
}
#endif

#endif
