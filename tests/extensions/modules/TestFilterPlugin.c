/* A filter plug-in of the tests, built three times (see tests/CMakeLists.txt):
 * QM_TEST_PLUGIN_INVERT inverts the working rectangle and reports a change;
 * QM_TEST_PLUGIN_FAILING scribbles over it and reports a failure (the host must undo);
 * QM_TEST_PLUGIN_IMPORT runs without a document and changes nothing. */
#include "extensions/FilterPluginApi.h"

#define EXPORT __attribute__((visibility("default")))

#if defined(QM_TEST_PLUGIN_INVERT)
static const QxlPluginDescription description = {sizeof(QxlPluginDescription), QXL_PLUGIN_API_VERSION,
                                                 "Inverser|Test", 0, 0x1};
#elif defined(QM_TEST_PLUGIN_FAILING)
static const QxlPluginDescription description = {sizeof(QxlPluginDescription), QXL_PLUGIN_API_VERSION,
                                                 "Echec|Test", 0, 0x1};
#else
static const QxlPluginDescription description = {sizeof(QxlPluginDescription), QXL_PLUGIN_API_VERSION,
                                                 "Importer test|Test", 2, 0};
#endif

EXPORT const QxlPluginDescription* QxlPluginInfo(void) { return &description; }

EXPORT int32_t QxlPluginExecute(const QxlPluginHost* host) {
  if (!host || host->Size < sizeof(QxlPluginHost) || host->Image.Size < sizeof(QxlPluginImage)) return 0;
#if defined(QM_TEST_PLUGIN_IMPORT)
  return 0;
#else
  const QxlPluginImage* image = &host->Image;
  if (image->Width <= 0 || !image->Row) return 0;
  for (int32_t y = image->WorkRect[1]; y < image->WorkRect[3]; ++y) {
    uint8_t* row = image->Row(image->Context, y);
    if (!row) return 0;
    for (int32_t x = image->WorkRect[0] * 3; x < image->WorkRect[2] * 3; ++x)
#if defined(QM_TEST_PLUGIN_INVERT)
      row[x] = (uint8_t)(255 - row[x]);
#else
      row[x] = 7;
#endif
  }
#if defined(QM_TEST_PLUGIN_INVERT)
  return 1;
#else
  return 0;
#endif
#endif
}
