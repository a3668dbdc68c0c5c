/* The interface between Quillomatic Morvek and the bridge module "8bf.qxl" that runs
 * Photoshop-format filters ("*.8bf") for it.
 *
 * A plain C header. The bridge lies in a plug-in folder and exports qxl8bf_enumerate
 * and qxl8bf_run; the host loads it for one enumeration pass (at start) or one run and
 * unloads it afterwards. The filter files and their format are the bridge's business:
 * the host only hands it rectangles of pixels.
 *
 * The current directory is the folder of the filter files during both calls. Around
 * qxl8bf_run every floating-point exception is masked; the host puts its own settings
 * back afterwards.
 */
#ifndef QM_BRIDGE_8BF_API_H
#define QM_BRIDGE_8BF_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Colours are 0x00RRGGBB. */

/* A rectangle of pixels: Width x Height pixels of 4 bytes (blue, green, red, then 0,
 * or in RGBA mode the mask: 0 shows, 254 hides), rows from the top down, RowPixels
 * apart. */
typedef struct Qxl8bfImage {
  uint32_t Size; /* sizeof(Qxl8bfImage), checked first */
  int32_t Width, Height;
  int32_t RowPixels;
  uint8_t* Pixels;
} Qxl8bfImage;

/* Called once per filter a file holds: its file, category (may be empty) and name. */
typedef int32_t (*Qxl8bfFoundFn)(const char* fileName, const char* category, const char* name);
/* Lists the filters of one file; the result is not read. */
typedef int32_t (*Qxl8bfEnumerateFn)(const char* fileName, Qxl8bfFoundFn found);

/* The callbacks of a run: the host never asks to stop (0); progress (0, total) starts
 * its busy state and (total, total) ends it; the colour picker answers the colour the
 * user chose, or the one given. */
typedef int32_t (*Qxl8bfAbortFn)(void);
typedef void (*Qxl8bfProgressFn)(int32_t done, int32_t total);
typedef uint32_t (*Qxl8bfPickColorFn)(uint32_t color);

/* Runs a filter from source into destination (both of the rectangle's size, the
 * destination zero-filled): 0 on success, when the host takes the destination back;
 * anything else leaves the image as it was. The reserved arguments are 0. */
typedef int32_t (*Qxl8bfRunFn)(const Qxl8bfImage* source, Qxl8bfImage* destination, const char* filterFile,
                               Qxl8bfAbortFn abortProc, Qxl8bfProgressFn progress, uint64_t mainWindow,
                               uint32_t background, uint32_t foreground, Qxl8bfPickColorFn pickColor,
                               intptr_t reserved10, int32_t rgba, intptr_t reserved12, intptr_t reserved13,
                               intptr_t reserved14, intptr_t reserved15, intptr_t reserved16);

/* The entries' names. */
#define QXL8BF_ENUMERATE "qxl8bf_enumerate"
#define QXL8BF_RUN "qxl8bf_run"

#ifdef __cplusplus
}
#endif

#endif /* QM_BRIDGE_8BF_API_H */
