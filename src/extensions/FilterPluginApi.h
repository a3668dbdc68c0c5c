/* The interface between Quillomatic Morvek and a filter plug-in ("*.qxl" in the
 * plug-in folder).
 *
 * A plain C header shared by the program (the host) and every plug-in. A plug-in is a
 * shared object exporting QxlPluginInfo and QxlPluginExecute, and optionally
 * QxlPluginAbout. The host loads it with dlopen around each call (and once at start to
 * read its description), so a plug-in keeps no state between calls.
 *
 * Every record starts with its size in bytes (sizeof as compiled from this header).
 * Each side checks the size of a record it receives before reading any other field and
 * refuses one smaller than it expects. Records are natural C structs of the platform
 * (64-bit pointers on the targets we build for). Texts are UTF-8, zero-terminated.
 *
 * Rules for plug-ins: no C++ exception leaves an entry; the image is touched only
 * within the rows the host hands out and the width it gives; every callback is called
 * from the calling thread, during the call only.
 */
#ifndef QM_FILTER_PLUGIN_API_H
#define QM_FILTER_PLUGIN_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QXL_PLUGIN_API_VERSION 1

/* What a plug-in is, read once at start. */
typedef struct QxlPluginDescription {
  uint32_t Size; /* sizeof(QxlPluginDescription) */
  uint32_t Version; /* QXL_PLUGIN_API_VERSION */
  /* "name|value": the menus show the name. At most 255 bytes. */
  const char* NameText;
  /* 0 filter, 1 image, 2 import, 3 export, 4 tool. */
  int32_t Type;
  /* The requirement bits (0x1 true colour, 0x40 a document, ...: see the program's
   * TPluginRequirement). */
  uint32_t Flags;
} QxlPluginDescription;

/* The active layer as the host lends it for one call: 24-bit pixels, blue, green, red;
 * Rows(y) gives row y (0 <= y < Height), NULL otherwise. */
typedef struct QxlPluginImage {
  uint32_t Size; /* sizeof(QxlPluginImage) */
  int32_t Width, Height;
  /* The working rectangle (the selection's bounds, else the whole layer), clipped to
   * the layer: left, top, right, bottom (exclusive). */
  int32_t WorkRect[4];
  uint32_t Reserved0;
  void* Context;
  uint8_t* (*Row)(void* context, int32_t y);
} QxlPluginImage;

typedef struct QxlPluginHost {
  uint32_t Size; /* sizeof(QxlPluginHost) */
  uint32_t Version; /* QXL_PLUGIN_API_VERSION */
  /* The active layer; Image.Width is 0 when no document is open. */
  QxlPluginImage Image;
  /* The number of document windows. */
  int32_t DocumentCount;
  uint32_t Reserved0;
} QxlPluginHost;

/* The description; NULL refuses the plug-in. */
typedef const QxlPluginDescription* (*QxlPluginInfoFn)(void);
/* Runs the plug-in; 1 when it changed the image, 0 when it changed nothing or failed
 * (whatever it wrote is then undone by the host). */
typedef int32_t (*QxlPluginExecuteFn)(const QxlPluginHost* host);
/* Shows the plug-in's own about box (optional). */
typedef void (*QxlPluginAboutFn)(void);

#ifdef __cplusplus
}
#endif

#endif /* QM_FILTER_PLUGIN_API_H */
