/* The interface between Quillomatic Morvek and a RAW decoding module ("raw.qxl").
 *
 * A plain C header shared by the program (the host) and every module. A module is a
 * shared object exporting the three entries declared at the end; the host loads it
 * with dlopen around each call, so a module must keep no state between calls.
 *
 * Every record starts with its size in bytes (sizeof of the record as compiled from
 * this header). A module checks the size of each record it receives before using any
 * other field, and refuses (returns an error code) a record smaller than it expects;
 * a host does the same with what a module returns. Records are natural C structs of
 * the platform (64-bit pointers and size_t on the targets we build for).
 *
 * Rules for modules:
 * - File access goes through the host's file callbacks only (they work on the host's
 *   buffered files and honour the host's file sharing); memory the module wants from
 *   the host comes from the memory record.
 * - No C++ exception may leave an entry: catch everything and return an error code.
 * - The host sets the default floating-point environment (all exceptions masked,
 *   round to nearest) before each call and restores its own after it; a module may
 *   change it during the call.
 * - Every callback is a plain C call and may be called from the calling thread only.
 * - Texts are UTF-8 and zero-terminated within the buffer sizes stated here.
 */
#ifndef QM_RAW_MODULE_API_H
#define QM_RAW_MODULE_API_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* An open file of the host. Opaque to modules; the host checks every handle it is
 * given and fails the call (result -1 unless stated) on a handle it did not make. */
typedef struct QxlRawFile QxlRawFile;

/* stdio-like callbacks over the host's files. */
typedef struct QxlRawCallbacks {
  uint32_t Size; /* sizeof(QxlRawCallbacks) */
  uint32_t Reserved0;
  /* An identifier of the handle's file (>= 0), or -1 for a foreign handle. */
  int64_t (*FileNumber)(QxlRawFile* file);
  /* Reads bytes up to a line feed or size - 1 bytes; the line feed is not kept and a
   * terminating zero is stored after the bytes read. Returns buffer, or NULL when the
   * position was already at the end. A foreign handle gets an empty text. */
  char* (*ReadLine)(char* buffer, int32_t size, QxlRawFile* file);
  /* Opens a file: the mode is tested for "r+" (read-write), "r" (read only), "w"
   * (created empty, then read-write), "a" (read-write, every write appended), the
   * first match deciding. NULL when the file cannot be opened. */
  QxlRawFile* (*Open)(const char* name, const char* mode);
  /* Closes the file and frees the handle; returns 0. */
  int32_t (*Close)(QxlRawFile* file);
  /* The position, -1 for a foreign handle. */
  int64_t (*Tell)(QxlRawFile* file);
  /* Returns 0. */
  int32_t (*Flush)(QxlRawFile* file);
  /* Reads size * count bytes; returns the number of whole items read, -1 for a
   * foreign handle. */
  int64_t (*Read)(void* buffer, size_t size, size_t count, QxlRawFile* file);
  /* The next byte (0..255), -1 at the end of the file or after an error. */
  int32_t (*ReadByte)(QxlRawFile* file);
  /* Writes size * count bytes (at the end of the file in append mode); returns the
   * number of whole items written. */
  int64_t (*Write)(const void* buffer, size_t size, size_t count, QxlRawFile* file);
  /* Writes one byte; returns it, or -1. A NULL handle writes to the standard output. */
  int32_t (*WriteByte)(int32_t character, QxlRawFile* file);
  /* Writes a zero-terminated text; 1 when all of it was written (also when empty),
   * else -1. */
  int32_t (*WriteText)(const char* text, QxlRawFile* file);
  /* -1 when the position equals the size, else 0; -1 for a foreign handle. */
  int32_t (*EndOfFile)(QxlRawFile* file);
  /* whence 0 from the start (returns 0 only when the new position equals offset),
   * 1 from the current position, 2 from the end (both return 0); another whence
   * returns -1. */
  int32_t (*Seek)(QxlRawFile* file, int64_t offset, int32_t whence);
  /* The RAW file the host opened for RawInfo and FromRawToPSD (read only, at
   * position 0), else NULL: a module reads it instead of opening the file name. */
  QxlRawFile* HostFile;
  void* Reserved1;
} QxlRawCallbacks;

/* Memory from the host. */
typedef struct QxlRawMemory {
  uint32_t Size; /* sizeof(QxlRawMemory) */
  uint32_t Reserved0;
  /* A block of at least size bytes, or NULL. */
  void* (*Allocate)(size_t size);
  /* Frees a block of Allocate (NULL is allowed); returns NULL. */
  void* (*Release)(void* block);
  void* Reserved[3];
} QxlRawMemory;

/* Progress reports of a decoding. */
typedef struct QxlRawProgress {
  uint32_t Size; /* sizeof(QxlRawProgress) */
  uint32_t Reserved0;
  /* stage: a module-defined step number; percent: 0..100 within it. Returns 0 to go
   * on; any other value asks the module to stop with an error code. */
  int32_t (*Report)(void* userData, int32_t stage, int32_t percent);
  void* UserData;
} QxlRawProgress;

/* Decoding options. The host fills Params with 0.6, 1.0, 1.0, 1.0 and Flags from its
 * option bits (bit 0, 1, 6, 2, 3, bit 4 inverted, bit 5), each 0 or 1. What they do is
 * the module's to say (raw.qxl: see its source). */
typedef struct QxlRawOptions {
  uint32_t Size; /* sizeof(QxlRawOptions) */
  float Params[4];
  uint8_t Flags[7];
  uint8_t Reserved[5];
} QxlRawOptions;

/* Buffer sizes of the three texts of RawInfo and FromRawToPSD, terminating zero
 * included. */
#define QXL_RAW_TEXT_A_SIZE 1001
#define QXL_RAW_TEXT_B_SIZE 1001
#define QXL_RAW_TEXT_C_SIZE 31

/* Thumbnail kinds of ExtractThumbnail. */
#define QXL_RAW_THUMB_QUERY 100
#define QXL_RAW_THUMB_JPEG 1
#define QXL_RAW_THUMB_PPM 2

/* Name given instead of an empty file name. */
#define QXL_RAW_NO_FILE_NAME "*:\\***.***"

/* "RawInfo": the size of the picture FromRawToPSD will deliver with the same flag
 * (flag = option bit 6), as width and height of a frame of margin pixels on each side
 * around it; the fourth integer and the three texts are the module's. Returns 0, or
 * a non-zero error code. */
typedef int32_t (*QxlRawInfoFn)(const QxlRawCallbacks* callbacks, const QxlRawMemory* memory,
                                const char* fileName, int32_t flag, int32_t* width, int32_t* height,
                                int32_t* margin, int32_t* extra, char* textA, char* textB, char* textC);

/* "FromRawToPSD": decodes the picture into rows, an array of height - 2 * margin row
 * addresses, top row first, each row width - 2 * margin pixels of 3 bytes in the
 * order blue, green, red; width, height and margin are the values RawInfo gave. The
 * module writes nothing outside those bytes. Returns 0, or a non-zero error code. */
typedef int32_t (*QxlFromRawToPSDFn)(const QxlRawCallbacks* callbacks, const QxlRawMemory* memory,
                                     const QxlRawProgress* progress, const char* fileName,
                                     const QxlRawOptions* options, uint8_t* const* rows, int32_t width,
                                     int32_t height, int32_t margin, char* textA, char* textB, char* textC);

/* "ExtractThumbnail": writes the camera's embedded thumbnail to thumbName (through
 * the callbacks). kind is QXL_RAW_THUMB_QUERY on entry; on return QXL_RAW_THUMB_JPEG
 * or QXL_RAW_THUMB_PPM for the kind written, or -2 (no thumbnail) or -3 (a thumbnail
 * that could not be written). Returns 1 on success, another value on failure. */
typedef int32_t (*QxlExtractThumbnailFn)(const QxlRawCallbacks* callbacks, const char* rawName,
                                         const char* thumbName, int32_t* kind);

#ifdef __cplusplus
}
#endif

#endif /* QM_RAW_MODULE_API_H */
