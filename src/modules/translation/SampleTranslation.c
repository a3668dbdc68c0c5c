/* A translation module (extensions/TranslationModuleApi.h) in English, built from this
 * one source as variants, each named by QM_TR_NAME with its flag QM_TR_<NAME>:
 *   english   every entry of the text table: English texts for the menus, hints and
 *             dialogs a user meets first, the other names spelt out ("GetTrMnuSaveAs"
 *             gives "Save As"), the program's own format texts unchanged
 *   francais  a second valid module ("FR"): a few texts, the others left empty
 *   old, blank, newer   versions "1.4", "1.5 " and "1.51", refused by the host
 *   bare      GetCompatibility alone
 *   unit12    the english module with the print unit "12"
 *   unruly    the english module with faults a host must survive: a 999-byte text,
 *             a full buffer without terminator, storage of its own without one, a
 *             format text with other placeholders, a Latin-1 text, the print unit "x1",
 *             no GetFltIconFile
 * With QM_TEST_TRANSLATION_LOG set, loading and unloading append "load NAME" and
 * "unload NAME" to that file: the tests read there that the host unloads every module
 * it opens. */
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "extensions/TranslationModuleApi.h"

#define EXPORT __attribute__((visibility("default")))
#define QM_TR_STR2(x) #x
#define QM_TR_STR(x) QM_TR_STR2(x)

static void Log(const char* what) {
  const char* file = getenv("QM_TEST_TRANSLATION_LOG");
  FILE* f = file ? fopen(file, "a") : NULL;
  if (!f) return;
  fprintf(f, "%s %s\n", what, QM_TR_STR(QM_TR_NAME));
  fclose(f);
}

__attribute__((constructor)) static void Loaded(void) { Log("load"); }
__attribute__((destructor)) static void Unloaded(void) { Log("unload"); }

EXPORT const char* GetCompatibility(char* buffer, int32_t size) {
#if defined(QM_TR_OLD)
  const char* version = "1.4";
#elif defined(QM_TR_BLANK)
  const char* version = "1.5 ";
#elif defined(QM_TR_NEWER)
  const char* version = "1.51";
#else
  const char* version = QM_TRANSLATION_COMPATIBILITY;
#endif
  /* written into the host's buffer, as most modules do */
  snprintf(buffer, (size_t)size, "%s", version);
  return buffer;
}

#if !defined(QM_TR_BARE)

struct TText {
  const char* Name;
  const char* Text;
};

#if defined(QM_TR_FRANCAIS)
static const struct TText kTexts[] = {
    {"GetTrLanguage", "Français (test)"},
    {"GetTrCode", "FR"},
    {"GetTrMnuFile", "&Fichier (test)"},
};
#else
static const struct TText kTexts[] = {
    {"GetTrLanguage", "English"},
    {"GetTrCode", "EN"},
    {"GetTrTranslation", "The Quillomatic tests"},
    {"GetTrDate", "2024-06-01"},
    {"GetTrVersion", "1.5"},
    {"GetTrWallpaperFileName", "Quillomatic-wallpaper.bmp"},
    {"GetTrMnuFile", "&File"},
    {"GetTrMnuEdit", "&Edit"},
    {"GetTrMnuLayer", "&Layer"},
    {"GetTrMnuSelection", "&Selection"},
    {"GetTrMnuImage", "&Image"},
    {"GetTrMnuAdjust", "&Adjust"},
    {"GetTrMnuFilter", "Fil&ter"},
    {"GetTrMnuTools", "T&ools"},
    {"GetTrMnuView", "&View"},
    {"GetTrMnuWindow", "&Window"},
    {"GetTrMnuHelp", "&Help"},
    {"GetTrMnuNew", "&new"},
    {"GetTrMnuOpen", "&Open..."},
    {"GetTrMnuRevert", "Revert"},
    {"GetTrMnuSave", "&Save"},
    {"GetTrMnuSaveAs", "Save &as"},
    {"GetTrMnuClose", "&Close"},
    {"GetTrMnuCloseAll", "Close all"},
    {"GetTrMnuPrint", "&Print"},
    {"GetTrMnuImageProperties", "Picture properties"},
    {"GetTrMnuExit", "E&xit"},
    {"GetTrMnuRecentFiles", "Recent files"},
    {"GetTrMnuUndo", "Undo"},
    {"GetTrMnuRedo", "Redo"},
    {"GetTrMnuCut", "Cu&t"},
    {"GetTrMnuCopy", "&Copy"},
    {"GetTrMnuPaste", "&Paste"},
    {"GetTrMnuPasteImage", "Paste as a picture"},
    {"GetTrMnuSelShow", "Show the selection"},
    {"GetTrMnuSelRect", "Rectangle"},
    {"GetTrMnuSelPolygon", "Polygon"},
    {"GetTrMnuSelLasso", "Free-hand lasso"},
    {"GetTrMnuImageSize", "Picture size"},
    {"GetTrMnuCanvasSize", "Canvas size"},
    {"GetTrMnuText", "Text"},
    {"GetTrMnuBC", "Brightness / Contrast"},
    {"GetTrMnuHS", "Hue / Saturation"},
    {"GetTrMnuGamma", "Gamma correction"},
    {"GetTrMnuRGB", "Colour balance"},
    {"GetTrMnuGaussianBlur", "Gaussian blur"},
    {"GetTrMnuZoomIn", "Zoom in"},
    {"GetTrMnuZoomOut", "Zoom out"},
    {"GetTrMnuOriginalSize", "Actual size"},
    {"GetTrMnuAutoZoom", "Fit to the window"},
    {"GetTrMnuFullScreen", "Full screen"},
    {"GetTrMnuExplorer", "Picture browser"},
    {"GetTrMnuExplore", "Explore"},
    {"GetTrMnuExpDir", "a folder"},
    {"GetTrMnuExpCurrentDir", "The current picture's folder"},
    {"GetTrMnuExpOpeningDir", "The opening folder"},
    {"GetTrMnuExpSavingDir", "The saving folder"},
    {"GetTrMnuExpSelDir", "The selections folder"},
    {"GetTrMnuExpMaskDir", "The masks folder"},
    {"GetTrMnuExpPatternDir", "The patterns folder"},
    {"GetTrMnuRename", "rename the picture"},
    {"GetTrMnuMoveTo", "Move the picture to"},
    {"GetTrMnuCopyTo", "Copy the picture to"},
    {"GetTrMnuCustomFilter", "Custom filter"},
    {"GetTrHntSelTool", "Selection tool"},
    {"GetTrHntPipetteTool", "Colour picker tool"},
    {"GetTrHntScrollTool", "Move tool"},
    {"GetTrHntLineTool", "Line tool"},
    {"GetTrHntFillTool", "Fill tool"},
    {"GetTrHntSprayTool", "Airbrush tool"},
    {"GetTrHntPaintbrushTool", "Brush tool"},
    {"GetTrHntPaintbrush2Tool", "Advanced brush tool"},
    {"GetTrHntBlurTool", "Blur tool"},
    {"GetTrHntCloneStampTool", "Clone stamp tool"},
    {"GetTrHntWandTool", "Magic wand tool"},
    {"GetTrHntFingerTool", "Smudge tool"},
    {"GetTrHntLayerTool", "Layer tool"},
    {"GetTrHntEraseTool", "Eraser tool"},
    {"GetTrHntRetouchTool", "Retouch tool"},
    {"GetTrBtnOk", "OK"},
    {"GetTrBtnCancel", "Cancel"},
    {"GetTrBtnPreview", "Preview"},
    {"GetTrStaReady", "Ready"},
    {"GetTrStaProcessing", "Working"},
    {"GetTrStaFlagRVB", "16M"},
    {"GetTrFmtHue", "Hue: %d°"},
    {"GetTrFmtRadius", "Radius: %d"},
    {"GetTrFmtOpacity", "Opacity: %d%%"},
    {"GetTrFmtExploreProperties",
     "File name: %s\rFolder: %s\rSize: %s\r\rFile size: %s\rDate: %s\r\rPictures: %d"},
    {"GetTrLblWindows256", "WINDOWS palette, 256 colours"},
    {"GetTrLblPreserveExif", "Keep the Exif data"},
    {"GetOeAll", "All pictures"},
    {"GetFltIconFile", "Windows icon"},
    {"GetDlgYes", "&Yes"},
    {"GetDlgNo", "&No"},
    {"GetDlgOk", "OK"},
    {"GetDlgCancel", "Cancel"},
    {"GetMnuShift", "Shift+"},
    {"GetMnuCtrl", "Ctrl+"},
    {"GetMnuAlt", "Alt+"},
};
#endif

static const char* Find(const char* name) {
  for (size_t i = 0; i < sizeof kTexts / sizeof kTexts[0]; ++i)
    if (strcmp(kTexts[i].Name, name) == 0) return kTexts[i].Text;
  return NULL;
}

/* The entry's name without "Get", "Tr" and its group, its words apart:
 * "GetTrMnuSaveAs" gives "Save As". */
static const char* Words(const char* name, char* buffer, int32_t size) {
  const char* p = name;
  if (strncmp(p, "Get", 3) == 0) p += 3;
  if (strncmp(p, "Tr", 2) == 0) p += 2;
  if (*p) ++p;
  while (*p && !isupper((unsigned char)*p)) ++p;
  if (!*p) p = name;
  int32_t n = 0;
  for (const char* q = p; *q && n < size - 2; ++q) {
    if (q != p && isupper((unsigned char)*q) && (islower((unsigned char)q[-1]) || isdigit((unsigned char)q[-1])))
      buffer[n++] = ' ';
    buffer[n++] = *q;
  }
  buffer[n] = 0;
  return buffer;
}

#if defined(QM_TR_UNRULY)
static char ownStorage[QM_TRANSLATION_BUFFER_SIZE];
/* the module's icon name is exported under another name: the host finds none */
#define GetFltIconFile QmHiddenFltIconFile
#endif

static const char* Text(char* buffer, int32_t size, const char* name, const char* builtin) {
#if defined(QM_TR_UNRULY)
  if (strcmp(name, "GetTrLblComment") == 0) {  /* 999 characters and the terminator */
    memset(buffer, 'c', (size_t)size - 1);
    buffer[size - 1] = 0;
    return buffer;
  }
  if (strcmp(name, "GetTrLblHelp") == 0) {  /* the whole buffer, no terminator */
    memset(buffer, 'h', (size_t)size);
    return buffer;
  }
  if (strcmp(name, "GetTrLblName") == 0) {  /* storage of its own, no terminator */
    memset(ownStorage, 'n', sizeof ownStorage);
    return ownStorage;
  }
  if (strcmp(name, "GetTrFmtOpacity") == 0) return "Opacity: %s%%";
  if (strcmp(name, "GetTrLblRed") == 0) return "Rouge \xe9" "carlate";
#endif
  const char* text = Find(name);
  if (text) return text;
#if defined(QM_TR_FRANCAIS)
  (void)buffer, (void)size, (void)builtin;
  return NULL;
#else
  /* the program's own format texts keep their placeholders */
  if (strchr(builtin, '%')) return builtin;
  return Words(name, buffer, size);
#endif
}

static const char* Number(char* buffer, int32_t size) {
#if defined(QM_TR_UNIT12)
  const char* unit = "12";
#elif defined(QM_TR_UNRULY)
  const char* unit = "x1";
#else
  const char* unit = "1";
#endif
  snprintf(buffer, (size_t)size, "%s", unit);
  return buffer;
}

#define QM_TEXT(name, builtin) \
  EXPORT const char* name(char* buffer, int32_t size) { return Text(buffer, size, #name, builtin); }
#define QM_NUMBER(name, builtin) \
  EXPORT const char* name(char* buffer, int32_t size) { return Number(buffer, size); }
#define QM_DERIVED(name)
#define QM_FIXED(name, builtin)
#include "platform/texts/UiTexts.def"

#endif
