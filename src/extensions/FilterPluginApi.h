/* The interface between Quillomatic Morvek and a filter plug-in ("*.qxl" in the
 * plug-in folders and their sub-folders).
 *
 * A plain C header shared by the program (the host) and every plug-in. A plug-in is a
 * shared object exporting QxlPluginInfo and QxlPluginExecute, and optionally
 * QxlPluginAbout, QxlPluginCompatibility, QxlPluginSetColor and QxlPluginPointClick.
 * The host loads it with dlopen around each call (and once at start to read its
 * description), so a plug-in keeps no state between calls. Only one plug-in is loaded
 * at a time.
 *
 * Every record starts with its size in bytes (sizeof as compiled from this header).
 * Each side checks the size of a record it receives before reading any other field and
 * refuses one smaller than it expects. Records are natural C structs of the platform
 * (64-bit pointers on the targets we build for). Texts are UTF-8, zero-terminated.
 *
 * Version 2 adds to version 1 at the end of each record; a module built against
 * version 1 still loads and runs (it is served callbacks it does not know of).
 *
 * Rules for plug-ins: no C++ exception leaves an entry (one that does fails the run);
 * the image is touched only through the rows and the callbacks the host hands out;
 * every callback is called from the calling thread, during the call only. A plug-in
 * deletes every object it made before its entry returns: the host delivers the
 * deferred deletions of Qt (deleteLater) before it unloads the module.
 */
#ifndef QM_FILTER_PLUGIN_API_H
#define QM_FILTER_PLUGIN_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QXL_PLUGIN_API_VERSION 2

/* The levels of host callbacks (QxlPluginCompatibility): each serves the callbacks of
 * its own level and of every level below; those above are NULL. */
#define QXL_LEVEL_MIN 1
#define QXL_LEVEL_MAX 4

/* Results of the callbacks that do or refuse something, and the "no colour" value. */
#define QXL_DONE (-1)
#define QXL_REFUSED 0
#define QXL_NO_COLOR 0x1FFFFFFFu

/* Colours are 0x00BBGGRR (red in the low byte). */

/* The plug-in types (QxlPluginDescription.Type), and what a run of each gets.
 *  - A filter works on the active layer, which must be an image layer, neither locked
 *    nor hidden, of a true-colour document; an image plug-in on a document of one layer
 *    without alpha channel, its background not locked. Both run inside an undo step of
 *    their command's caption: a run that returns 0 has every write undone (the document
 *    is as it was, no step is left); one that returns non-zero leaves one step. A filter
 *    that returned non-zero is repeated by the repeat-last-filter command.
 *  - Import, export and tool plug-ins run without an undo step, whatever they return:
 *    their writes to a document stay (nothing undoes them) and mark it changed, so
 *    closing it asks to save it. Import and tool plug-ins run without a document too. */
#define QXL_TYPE_FILTER 0
#define QXL_TYPE_IMAGE 1
#define QXL_TYPE_IMPORT 2
#define QXL_TYPE_EXPORT 3
#define QXL_TYPE_TOOL 4

/* The requirement bits (QxlPluginDescription.Flags): the plug-in's command is enabled
 * only while every condition it sets holds. Without a document only
 * QXL_REQUIRE_DOCUMENT is read (filter, image and export plug-ins need one anyway); the
 * other bits are read with one. Of each pair the first wins: the second is read only
 * when the first is clear. Each file bit is a requirement of its own (two of them
 * together hold for no file). Bits 12 to 15 and above 22 are ignored. */
#define QXL_REQUIRE_TRUE_COLOR 0x1u         /* bit 0: 257 colours or more */
#define QXL_REQUIRE_FEW_COLORS 0x2u         /* bit 1: 256 colours or fewer (pair of bit 0) */
#define QXL_REQUIRE_TRANSPARENT 0x4u        /* bit 2: the background has transparency (a
                                             * transparent colour or a mask) */
#define QXL_REQUIRE_OPAQUE 0x8u             /* bit 3: it has none (pair of bit 2) */
#define QXL_REQUIRE_SELECTION 0x10u         /* bit 4: a selection is shown */
#define QXL_REQUIRE_NO_SELECTION 0x20u      /* bit 5: none is (pair of bit 4) */
#define QXL_REQUIRE_DOCUMENT 0x40u          /* bit 6: a document is open */
#define QXL_REQUIRE_TWO_DOCUMENTS 0x80u     /* bit 7: at least two documents are open */
#define QXL_REQUIRE_LAYERS 0x100u           /* bit 8: more than one layer */
#define QXL_REQUIRE_ONE_LAYER 0x200u        /* bit 9: exactly one (pair of bit 8) */
#define QXL_REQUIRE_ALPHA 0x400u            /* bit 10: an alpha channel */
#define QXL_REQUIRE_NO_ALPHA 0x800u         /* bit 11: none (pair of bit 10) */
#define QXL_REQUIRE_JPEG_FILE 0x10000u      /* bit 16: the document's file is a JPEG (.jpg,
                                             * .jpeg, .jpe, .jfif) */
#define QXL_REQUIRE_GIF_FILE 0x20000u       /* bit 17: .gif */
#define QXL_REQUIRE_PNG_FILE 0x40000u       /* bit 18: .png */
#define QXL_REQUIRE_BMP_FILE 0x80000u       /* bit 19: .bmp, .dib or .rle */
#define QXL_REQUIRE_TIFF_FILE 0x100000u     /* bit 20: .tif or .tiff */
#define QXL_REQUIRE_SELECTION_FILE 0x200000u /* bit 21: a selection file, .qxs */
#define QXL_REQUIRE_EXIF 0x400000u          /* bit 22: the document carries EXIF data */

/* A 24-bit bitmap lent across the boundary: rows from the top down, Stride bytes
 * apart, 3 bytes a pixel in the order blue, green, red. A callback that takes one
 * refuses it (QXL_REFUSED, nothing changed) when it is NULL, smaller than this record,
 * has no pixels, a stride below Width * 3, or not the size the callback names. */
typedef struct QxlBitmap {
  uint32_t Size; /* sizeof(QxlBitmap) */
  int32_t Width, Height;
  int32_t Stride;
  uint8_t* Bits;  /* row 0, the top row */
  uint8_t* Row;   /* the row GetBitmapScanLine gave last */
  void* Host;     /* the host's own for a bitmap CreateBitmap made; NULL otherwise */
} QxlBitmap;

/* What a plug-in is, read at start and at every load. */
typedef struct QxlPluginDescription {
  uint32_t Size; /* sizeof(QxlPluginDescription); version 1: up to Flags */
  uint32_t Version; /* the QXL_PLUGIN_API_VERSION the plug-in was built with: 1 or 2 */
  /* "about caption|command caption": when the first "|" is not the text's first
   * character, the about entry shows the part before it and the command the part after
   * it (where further "|" stay); otherwise both show the whole text with every "|"
   * removed. Each is cut to 32 characters; the about caption loses its "&", a trailing
   * "..." and a trailing ":". At most 63 bytes are read: a terminator is not required
   * after them, and a character they cut in two is dropped. */
  const char* NameText;
  /* A QXL_TYPE_*; any other value hides the plug-in. */
  int32_t Type;
  /* The QXL_REQUIRE_* bits the command's enabling asks for. */
  uint32_t Flags;

  /* Version 2. Each text is read within its field: a terminator is not required. */
  char VersionText[64];    /* the about box shows its part from the first digit to the next blank */
  char Author[64];
  char Comment[256];
  char Compatibility[256]; /* empty, or starting with "7"; anything else refuses the plug-in */
  /* The tool-bar and menu glyph: 19 x 19, the colour of its bottom-right pixel
   * transparent; NULL or any other size gives the standard glyph. */
  const QxlBitmap* Glyph;
} QxlPluginDescription;

/* The active layer as the host lends it for one call: 24-bit pixels, blue, green, red;
 * Row(Context, y) gives row y (0 <= y < Height), NULL otherwise. The rows are written
 * in place: a filter's or image plug-in's writes there are undone with the rest when it
 * returns 0. */
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

typedef struct QxlPluginHost QxlPluginHost;

/* EnumImages calls it once per open document: its file (at most 255 bytes, empty for a
 * new one), size, colour count and transparent colour (QXL_NO_COLOR for none); 0 stops
 * the walk. */
typedef int32_t (*QxlEnumImagesFn)(void* user, const char* fileName, int32_t width, int32_t height,
                                   int32_t colorCount, uint32_t transparentColor);

/* The host record, filled before each QxlPluginExecute and QxlPluginAbout. Rectangles
 * are int32_t[4]: left, top, right (exclusive), bottom (exclusive).
 *
 * The callbacks take the record first. Unless told otherwise they answer QXL_DONE or
 * QXL_REFUSED, and refuse without an open image; "layer" callbacks also refuse unless
 * the active layer is a bitmap layer. The work rectangle is that of WorkRect, taken
 * again at each call. Lock modes (ShowPluginForm, ShowPluginWindow): 0 the main window
 * disabled; 1 the tool palette, the image browser and the other documents disabled,
 * clicks on the image sent to QxlPluginPointClick; 2 as 1, and clicks also pick the
 * colour under the pointer for QxlPluginSetColor; any other value locks nothing. Every
 * lock, the busy state and a hidden or minimised main window end with the run. */
struct QxlPluginHost {
  uint32_t Size; /* sizeof(QxlPluginHost); version 1: up to Reserved0 */
  uint32_t Version; /* QXL_PLUGIN_API_VERSION of the host */
  /* The active layer; Image.Width is 0 when no document is open. */
  QxlPluginImage Image;
  /* The number of document windows. */
  int32_t DocumentCount;
  uint32_t Reserved0;

  /* ---- Version 2 ---- */
  int32_t Level;           /* the callbacks served: QXL_LEVEL_MIN to QXL_LEVEL_MAX */
  int32_t ImageOpen;       /* -1 with an open image, else 0 */
  int32_t SelectionActive; /* -1 with an open image and a shown selection, else 0 */
  int32_t Themed;          /* -1 when the desktop's style draws the controls, else 0 */
  int32_t WorkRect[4];     /* the working rectangle in the active layer, clipped to it */
  int32_t ImageRect[4];    /* 0, 0, width, height of the image; all 0 without one */
  void* MainWidget;        /* the main window, a QWidget* of the host's Qt 6 */
  uint64_t MainWindowId;   /* its native window (an X11 window), 0 where there is none */
  const char* LanguageCode; /* the interface's language: "FR", ... */
  const char* LanguageName; /* "Français", ... */
  void* HostContext;       /* the host's own */

  /* ---- Level 1 ---- */
  /* The busy state with the text ("Traitement en cours" for NULL or ""), the wait
   * cursor when hourglass is not 0; its end. */
  void (*ShowBusy)(QxlPluginHost* host, const char* text, int32_t hourglass);
  void (*HideBusy)(QxlPluginHost* host);
  /* The composed image into a bitmap of the image's size. */
  int32_t (*GetImage)(QxlPluginHost* host, QxlBitmap* bitmap);
  /* NULL: the shown image made again from the layers (display-only), else the image as
   * the open undo step holds it. A bitmap: into the shown image (display-only) or the
   * background layer, which takes its size (refused in display-only, with an alpha
   * channel, or when the open step covers a rectangle only). */
  int32_t (*SetImage)(QxlPluginHost* host, const QxlBitmap* bitmap);
  /* Layer: the work rectangle of the active layer to and from a bitmap of its size;
   * after the write, the change is restricted to the selection (a hard edge for mode
   * 1, else progressive). */
  int32_t (*GetWorkArea)(QxlPluginHost* host, QxlBitmap* bitmap);
  int32_t (*SetWorkArea)(QxlPluginHost* host, const QxlBitmap* bitmap, int32_t mode);
  /* The background's transparent colour, QXL_NO_COLOR for none; set (refused with
   * layers or an alpha channel), QXL_NO_COLOR for none. */
  uint32_t (*GetTransparentColor)(QxlPluginHost* host);
  int32_t (*SetTransparentColor)(QxlPluginHost* host, uint32_t color);
  /* The colour count (-1 without image); set: 2 to 256 as asked, anything else true
   * colour (16777216); answers the count set, 0 refused (layers, alpha channel). */
  int32_t (*GetColorCount)(QxlPluginHost* host);
  int32_t (*SetColorCount)(QxlPluginHost* host, int32_t count);
  /* A new document on a copy of the bitmap, named name: a new unsaved document, or
   * with mode 1 the document of that file. Colour count and transparent colour as
   * above. QXL_DONE when the active document changed, else 0. */
  int32_t (*NewImage)(QxlPluginHost* host, const QxlBitmap* bitmap, const char* name, int32_t mode,
                      int32_t colorCount, uint32_t transparentColor);
  /* Shows the plug-in's QWidget (a window of the host's Qt 6): centred on the main
   * window when centre is not 0, with the lock mode; with modal not 0, returns once it
   * is hidden or deleted, the editor's events flowing meanwhile. */
  void (*ShowPluginForm)(QxlPluginHost* host, void* form, int32_t lockMode, int32_t centre, int32_t modal);
  /* The layer as it was when the run began laid over it at (100 - percent) %
   * opacity; 0 to 100, true colour, the layer not transparent. */
  int32_t (*BlendWithBackup)(QxlPluginHost* host, int32_t percent);
  /* The selection's outline (a frame round the layer without one) drawn in the
   * colour, smoothed when asked and the image is true colour. */
  int32_t (*StrokeSelection)(QxlPluginHost* host, int32_t width, uint32_t color, int32_t smooth);
  /* The selection as a mask of the active layer's size (255 selected, 0 not; all 255
   * without a selection), the layer's own mask laid in by the lighter value. */
  int32_t (*GetSelectionMask)(QxlPluginHost* host, QxlBitmap* bitmap);
  /* The active document counts as saved. */
  void (*SetImageSaved)(QxlPluginHost* host);
  /* Texts into the buffer: at most size - 1 bytes (never half a character) and a
   * terminator; answer the buffer (NULL for a NULL buffer or a size below 1). Folders
   * end with "/". */
  char* (*GetImageFileName)(QxlPluginHost* host, char* buffer, int32_t size);
  char* (*GetProgramFolder)(QxlPluginHost* host, char* buffer, int32_t size);
  char* (*GetOpenFolder)(QxlPluginHost* host, char* buffer, int32_t size);
  char* (*GetSaveFolder)(QxlPluginHost* host, char* buffer, int32_t size);
  char* (*GetPluginFolder)(QxlPluginHost* host, char* buffer, int32_t size);
  char* (*GetSettingsFileName)(QxlPluginHost* host, char* buffer, int32_t size);
  /* The active document's file name (refused when empty). */
  int32_t (*SetImageFileName)(QxlPluginHost* host, const char* name);
  /* The composed image of the open document of that file, into a bitmap of its size. */
  int32_t (*GetImageByName)(QxlPluginHost* host, QxlBitmap* bitmap, const char* fileName);
  /* The active image (or that of the document of the file) drawn as a thumbnail cell
   * into the bitmap, margin at most 50, shadow at most 10; imageRect receives where
   * the image went. */
  int32_t (*DrawImageThumbnail)(QxlPluginHost* host, QxlBitmap* bitmap, uint32_t cellColor, int32_t margin,
                                int32_t shadowWidth, uint32_t outerColor, int32_t imageRect[4]);
  int32_t (*DrawNamedImageThumbnail)(QxlPluginHost* host, QxlBitmap* bitmap, const char* fileName,
                                     uint32_t cellColor, int32_t margin, int32_t shadowWidth, uint32_t outerColor,
                                     int32_t imageRect[4]);
  /* Calls callback for each open document in the Window menu's order; 0 when it
   * stopped the walk, QXL_DONE otherwise. */
  int32_t (*EnumImages)(QxlPluginHost* host, QxlEnumImagesFn callback, void* user);

  /* ---- Level 2 ---- */
  /* ShowPluginForm for a native window (an X11 window id; nothing is shown where the
   * desktop has no such windows). With modal 0 the window is only placed and the lock
   * applied. */
  void (*ShowPluginWindow)(QxlPluginHost* host, uint64_t window, int32_t lockMode, int32_t centre, int32_t modal);
  /* A bitmap of the record's Width x Height made by the host (Stride, Bits, Row and Host
   * filled), and freed; 1 done, 0 failed. */
  int32_t (*CreateBitmap)(QxlPluginHost* host, QxlBitmap* bitmap);
  int32_t (*FreeBitmap)(QxlPluginHost* host, QxlBitmap* bitmap);
  /* There are no native bitmap handles here: always 0. */
  intptr_t (*DetachBitmapHandle)(QxlPluginHost* host, QxlBitmap* bitmap);
  /* Row row of the bitmap (0 the top one), also kept in its Row; NULL outside. */
  uint8_t* (*GetBitmapScanLine)(QxlPluginHost* host, QxlBitmap* bitmap, int32_t row);

  /* ---- Level 3 ---- */
  /* GetSelectionMask's mask under the work rectangle, into a bitmap of its size. */
  int32_t (*GetWorkAreaMask)(QxlPluginHost* host, QxlBitmap* bitmap);
  /* The resolution in pixels per inch x 1000 (0 without image); set: answers the value
   * set, 0 refused (no image, 0 or less). */
  int32_t (*GetResolution)(QxlPluginHost* host);
  int32_t (*SetResolution)(QxlPluginHost* host, int32_t value);
  /* The selection traced from a mask (any value above 0 selected; the bitmap is left
   * as it is) of the image's size, or with onLayer of the active layer's (where its own
   * mask hides the layer, nothing is selected); refused when nothing is selected. */
  int32_t (*SetSelectionFromMask)(QxlPluginHost* host, const QxlBitmap* bitmap, int32_t onLayer);
  /* The open undo step made to cover the rectangle (in the active layer, clipped to it)
   * as it was when the run began; outRect receives it, all 0 when nothing was done. */
  void (*ResnapUndoArea)(QxlPluginHost* host, int32_t outRect[4], int32_t left, int32_t top, int32_t right,
                         int32_t bottom);
  /* 0 minimised, 1 restored, 2 maximised, 3 the main window and the plug-in's window
   * hidden, 4 shown again; answers the state, -1 for any other value. */
  int32_t (*SetMainWindowState)(QxlPluginHost* host, int32_t state);
  /* The points of a polygon or lasso selection as x, y pairs: at most capacity points
   * are written (none with a NULL array); answers the count. 0 without a selection or
   * for a traced one; for other shapes -(kind) - 1. */
  int32_t (*GetSelectionPoints)(QxlPluginHost* host, int32_t* points, int32_t capacity);

  /* ---- Level 4: the active layer ---- */
  /* Its rectangle in the image (all 0 unless a bitmap layer). */
  void (*GetLayerRect)(QxlPluginHost* host, int32_t outRect[4]);
  /* Layer: its bitmap to and from a bitmap of its size. */
  int32_t (*GetLayerBitmap)(QxlPluginHost* host, QxlBitmap* bitmap);
  int32_t (*SetLayerBitmap)(QxlPluginHost* host, const QxlBitmap* bitmap);
  /* Layer: its mask (255 opaque) to and from a bitmap of the mask's size, whole or
   * under the work rectangle. */
  int32_t (*GetLayerMask)(QxlPluginHost* host, QxlBitmap* bitmap);
  int32_t (*SetLayerMask)(QxlPluginHost* host, const QxlBitmap* bitmap);
  int32_t (*GetWorkAreaLayerMask)(QxlPluginHost* host, QxlBitmap* bitmap);
  int32_t (*SetWorkAreaLayerMask)(QxlPluginHost* host, const QxlBitmap* bitmap);
  /* While on, SetImage writes only the shown image; off shows the layers again. */
  void (*SetDisplayOnly)(QxlPluginHost* host, int32_t on);
  /* 0 no image, 1 256 colours or fewer, 4 an alpha channel, 2 one layer, 3 otherwise. */
  int32_t (*GetImageKind)(QxlPluginHost* host);
  /* The position of a bitmap or text layer into outPoint (x, y), QXL_DONE; else 0, 0
   * and 0. */
  int32_t (*GetLayerPosition)(QxlPluginHost* host, int32_t outPoint[2]);
};

/* The description; NULL refuses the plug-in. */
typedef const QxlPluginDescription* (*QxlPluginInfoFn)(void);
/* The level of callbacks the plug-in needs (QXL_LEVEL_MIN to QXL_LEVEL_MAX); without
 * this entry, QXL_LEVEL_MIN. */
typedef int32_t (*QxlPluginCompatibilityFn)(void);
/* Runs the plug-in; non-zero when it did its work, 0 when it changed nothing or
 * failed. For a filter or an image plug-in, 0 has the host undo whatever it wrote; an
 * import, export or tool plug-in's writes stay whatever it returns (see QXL_TYPE_*). */
typedef int32_t (*QxlPluginExecuteFn)(QxlPluginHost* host);
/* Shows the plug-in's own about box (optional); without it the host shows its own.
 * Version 1 plug-ins take no argument. */
typedef void (*QxlPluginAboutFn)(QxlPluginHost* host);
/* A colour picked on the image, and a click on it (image coordinates; button 0 left,
 * 1 right), while the plug-in runs. */
typedef void (*QxlPluginSetColorFn)(uint32_t color);
typedef void (*QxlPluginPointClickFn)(int32_t x, int32_t y, int32_t button);

#ifdef __cplusplus
}
#endif

#endif /* QM_FILTER_PLUGIN_API_H */
