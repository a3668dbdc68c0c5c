/* A tool plug-in written as an outside author writes one: ISO C99, nothing but the
 * plug-in header on its include path, built with every warning an error. Each variant
 * asks for one requirement by its name (QM_REQUIREMENT, the part after QXL_REQUIRE_)
 * and names itself after it; its run changes nothing. */
#include "FilterPluginApi.h"

#define QM_JOIN(a, b) a##b
#define QM_FLAG(name) QM_JOIN(QXL_REQUIRE_, name)
#define QM_TEXT(name) #name
#define QM_STRING(name) QM_TEXT(name)

#if defined(__GNUC__)
#define QM_EXPORT __attribute__((visibility("default")))
#else
#define QM_EXPORT
#endif

static const QxlPluginDescription description = {
    sizeof(QxlPluginDescription), QXL_PLUGIN_API_VERSION, "Exige|" QM_STRING(QM_REQUIREMENT), QXL_TYPE_TOOL,
    QM_FLAG(QM_REQUIREMENT), "1.0", "", "", "", 0};

QM_EXPORT const QxlPluginDescription* QxlPluginInfo(void);
QM_EXPORT int32_t QxlPluginExecute(QxlPluginHost* host);

const QxlPluginDescription* QxlPluginInfo(void) { return &description; }

int32_t QxlPluginExecute(QxlPluginHost* host) {
  return host && host->Size >= sizeof(QxlPluginHost) ? QXL_DONE : QXL_REFUSED;
}
