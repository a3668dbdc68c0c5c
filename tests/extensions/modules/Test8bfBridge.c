/* The bridge module "8bf.qxl" of the tests. Its ".8bf" files are text: one filter a
 * line, "category|name|operation". The operations:
 *
 *   invert  blue, green and red inverted, the fourth byte kept
 *   mask    the pixels kept, the fourth byte 200 everywhere
 *   fail    answers 1 (failure), the destination scribbled over
 *   probe   the run's arguments handed to the test program (QmTest8bfRun), which
 *           answers for the bridge
 *
 * Loading the module tells the test program (QmTest8bfLoaded), so a test sees whether
 * the host loaded it at all. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

#include "extensions/Bridge8bfApi.h"

#define EXPORT __attribute__((visibility("default")))

typedef int32_t (*RunHook)(const Qxl8bfImage* source, Qxl8bfImage* destination, const char* filterFile,
                           Qxl8bfAbortFn abortProc, Qxl8bfProgressFn progress, uint64_t mainWindow,
                           uint32_t background, uint32_t foreground, Qxl8bfPickColorFn pickColor, intptr_t reserved10,
                           int32_t rgba, intptr_t reserved12, intptr_t reserved13, intptr_t reserved14,
                           intptr_t reserved15, intptr_t reserved16);

__attribute__((constructor)) static void Loaded(void) {
  void (*hook)(void) = (void (*)(void))dlsym(RTLD_DEFAULT, "QmTest8bfLoaded");
  if (hook) hook();
}

/* Splits "a|b|c" in place; the missing parts are empty. */
static void Split(char* line, char** parts, int count) {
  for (int i = 0; i < count; ++i) {
    parts[i] = line;
    char* bar = line ? strchr(line, '|') : NULL;
    if (bar) {
      *bar = 0;
      line = bar + 1;
    } else {
      line = NULL;
      for (int j = i + 1; j < count; ++j) parts[j] = "";
      return;
    }
  }
}

static void Chomp(char* line) { line[strcspn(line, "\r\n")] = 0; }

EXPORT int32_t qxl8bf_enumerate(const char* fileName, Qxl8bfFoundFn found) {
  FILE* f = fopen(fileName, "r");
  if (!f) return 1;
  char line[512];
  while (fgets(line, sizeof line, f)) {
    Chomp(line);
    char* parts[3];
    Split(line, parts, 3);
    found(fileName, parts[0], parts[1]);
  }
  fclose(f);
  return 0;
}

/* The operation of the first line of the filter file. */
static void OperationOf(const char* filterFile, char* op, size_t size) {
  op[0] = 0;
  FILE* f = fopen(filterFile, "r");
  if (!f) return;
  char line[512];
  if (fgets(line, sizeof line, f)) {
    Chomp(line);
    char* parts[3];
    Split(line, parts, 3);
    strncpy(op, parts[2], size - 1);
    op[size - 1] = 0;
  }
  fclose(f);
}

EXPORT int32_t qxl8bf_run(const Qxl8bfImage* source, Qxl8bfImage* destination, const char* filterFile,
                          Qxl8bfAbortFn abortProc, Qxl8bfProgressFn progress, uint64_t mainWindow,
                          uint32_t background, uint32_t foreground, Qxl8bfPickColorFn pickColor, intptr_t reserved10,
                          int32_t rgba, intptr_t reserved12, intptr_t reserved13, intptr_t reserved14,
                          intptr_t reserved15, intptr_t reserved16) {
  if (!source || !destination || source->Size < sizeof(Qxl8bfImage) || destination->Size < sizeof(Qxl8bfImage))
    return 2;
  char op[64];
  OperationOf(filterFile, op, sizeof op);
  if (strcmp(op, "probe") == 0) {
    RunHook hook = (RunHook)dlsym(RTLD_DEFAULT, "QmTest8bfRun");
    return hook ? hook(source, destination, filterFile, abortProc, progress, mainWindow, background, foreground,
                       pickColor, reserved10, rgba, reserved12, reserved13, reserved14, reserved15, reserved16)
                : 3;
  }
  const size_t count = (size_t)source->Width * (size_t)source->Height;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* s = source->Pixels + i * 4;
    uint8_t* d = destination->Pixels + i * 4;
    if (strcmp(op, "invert") == 0) {
      d[0] = (uint8_t)(255 - s[0]);
      d[1] = (uint8_t)(255 - s[1]);
      d[2] = (uint8_t)(255 - s[2]);
      d[3] = s[3];
    } else if (strcmp(op, "mask") == 0) {
      memcpy(d, s, 3);
      d[3] = 200;
    } else {
      memset(d, 7, 4);
    }
  }
  return strcmp(op, "invert") == 0 || strcmp(op, "mask") == 0 ? 0 : 1;
}
