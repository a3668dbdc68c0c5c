#pragma once
// The reader registry: every readable extension with its descriptions, format kinds
// and the reading class that opens it. The load dispatch finds a file's reader here,
// by extension, once; the open dialog and the image browser build their filters from
// it.
//
// Filled at first use, once (any thread may be first): the codec readers (JPEG, PNG,
// GIF, TIFF), the layered file, the rarer formats GraphicsMagick reads here, and the
// RAW classes as unlisted readers. The RAW client lists its extensions when the
// module exists; the selection-file preview adds its own entry.
//
// Threads: lookups, filters and reads may run on any thread at once. Registration
// belongs to the GUI thread (start-up, or a plug-in loaded later); a lock keeps it
// safe against lookups running meanwhile.
#include <functional>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <vector>

#include "imagefiles/PictureLimit.h"
#include "pixel/PixelFormat.h"
#include "platform/core/Bitmap.h"

namespace qm {

// Format kinds of an entry.
enum TFormatKind : unsigned {
  fkAnimation = 1,
  fkLayered = 2,
  fkMultiImage = 4,
  fkRaster = 8,
  fkVector = 16,
  fkAll = 31,
};

// The object a progress stage of the load and save dispatch concerns.
enum class TFileObject {
  None,      // the generic reader before it knows the format, and stage 4
  Picture,   // a picture read by a generic reader of the registry
  Gif,       // the GIF reader and writer
  Jpeg,      // the JPEG reader and writer
  Layered,   // the layered file
  Raw,       // a RAW file
  Bitmap,    // the BMP, RLE and TIFF writers: the bitmap itself
  Png,       // the PNG writer
  Targa,     // the Targa writer
};

// What a reader reports beside the picture; the dispatch hands on only what its
// reader says it knows.
enum TReaderReports : unsigned {
  rrStoredSize = 1,      // the size stored in the file, also when a reduced picture was decoded
  rrColorCount = 2,      // the colour count of the file's pixel format
  rrFrameCount = 4,      // how many frames the file holds
  rrReducedPreview = 8,  // decodes a reduced picture when a preview is asked for
  rrAllFrames = 16,      // every frame of an animation (TLoadedPicture::Frames)
};

struct TReadRequest {
  bool Preview = false;  // a reduced picture is enough (readers that can, decode one)
  TPictureLimit Limit;   // the largest picture the reader may make
};

// What a reader hands back: the picture at 24 bits (or 32 with an alpha channel),
// transparent with its key colour where the format says so.
struct TLoadedPicture {
  TBitmap Bitmap;
  int StoredWidth = 0, StoredHeight = 0;  // the size in the file (0: the bitmap's)
  int SourceColors = 16777216;            // colour count of the file's pixel format
  int FrameCount = 1;
  std::shared_ptr<const TGifImage> Frames;  // an animation's every frame (rrAllFrames)
  bool IsIcon = false, IsMetafile = false;
  // What the library warned of a picture it still read whole.
  std::vector<std::string> Warnings;

  // The codec options of a read: the request's limit, warnings into this picture.
  TDecodeOptions Options(const TReadRequest& request) { return TDecodeOptions{request.Limit, &Warnings}; }
};

// Reads a file; throws EInvalidGraphic (or another exception) on failure. A picture
// the file holds only in part is a failure (EInvalidGraphic with the library's words):
// no reader hands back a picture with invented rows. One beyond the request's limit
// raises EPictureTooLarge before its pixels are allocated. A reader may
// run on several threads at once: it keeps no state between calls.
using TPictureReader = std::function<void(const std::string& fileName, const TReadRequest& request,
                                          TLoadedPicture& out)>;

// The reader of a picture class that decodes a reduced picture for previews and keeps
// the size stored in the file (fields Preview, Options, StoredWidth, StoredHeight,
// Picture).
template <class TPicture>
void ReadReduciblePicture(const std::string& fileName, const TReadRequest& request, TLoadedPicture& out) {
  TPicture picture;
  picture.Preview = request.Preview;
  picture.Options = out.Options(request);
  picture.LoadFromFile(fileName);
  out.Bitmap = std::move(picture.Picture);
  out.StoredWidth = picture.StoredWidth;
  out.StoredHeight = picture.StoredHeight;
}

// A reading class: one per reader, shared by all its extensions.
struct TGraphicClass {
  std::string Name;
  TPictureReader Read;
  // The object the progress stages name for it: a generic reader is None before the
  // read and Picture after it.
  TFileObject Object = TFileObject::Picture;
  unsigned Reports = rrColorCount | rrFrameCount;  // TReaderReports
};

struct TFileFormatEntry {
  std::string Extension;          // lower case, without dot
  std::string CommonDescription;  // the reading class's description (the filter's label)
  std::string Description;        // this extension's own description
  unsigned Kinds = fkRaster;
  std::shared_ptr<const TGraphicClass> Class;
};

class TFileFormatList {
 public:
  // Adds (or replaces) the entry of an extension.
  void Register(const std::string& extension, const std::string& commonDescription, const std::string& description,
                unsigned kinds, std::shared_ptr<const TGraphicClass> cls);
  // Removes every entry of the class.
  void Unregister(const TGraphicClass* cls);
  void UnregisterExtension(const std::string& extension);
  // A reader for an extension that no entry lists: files of it still go to that
  // reader (a RAW file without the module fails as an unreadable file, not as an
  // unknown one). Filters and Find do not see it.
  void AddUnlistedReader(const std::string& extension, std::shared_ptr<const TGraphicClass> cls);

  // The entry of an extension (with or without dot, any case).
  std::optional<TFileFormatEntry> Find(std::string_view extension) const;
  // The class that reads an extension: its entry's, else its unlisted reader's; null
  // when nobody reads it.
  std::shared_ptr<const TGraphicClass> ReaderFor(std::string_view extension) const;
  std::vector<TFileFormatEntry> Entries() const;

  // The filter of the entries of the kinds: sorted by description and extension, one
  // entry per reading class ("Desc (*.a;*.b)|*.a;*.b"), preceded, with includeAll, by
  // the entry of all their masks labelled allLabel.
  std::string GetFilter(unsigned kinds, bool includeAll, const std::string& allLabel) const;

 private:
  void EraseExtension(const std::string& bareExtension);

  mutable std::shared_mutex lock_;
  std::vector<TFileFormatEntry> entries_;
  std::vector<std::pair<std::string, std::shared_ptr<const TGraphicClass>>> unlisted_;
};

// The process's registry, filled with the standard readers at first use (thread-safe).
TFileFormatList& FileFormatList();
// Fills a new registry with the program's own readers (defined with them, in
// ReaderEntries.cpp, above the codecs and the RAW client).
void RegisterStandardReaders(TFileFormatList& list);

// The open filter of the registry (see the open dialog): with allFilesEntry
// "Toutes les images|*.*|" first; with includeAllImages the registry's entry of all
// image masks; with dropExtraMasks without ";*.jpeg", ";*.tiff" and ";*.rgba".
std::string BuildImageFilter(bool allFilesEntry, bool includeAllImages, bool dropExtraMasks);
// Every readable mask, ";"-separated.
std::string GetImageMaskList();

// Reads a file with the reader of its extension. Throws EInvalidGraphic for an
// extension nobody reads.
void ReadPictureByRegistry(const std::string& fileName, const TReadRequest& request, TLoadedPicture& out);

// The selection file's picture reader lives above this layer (it draws with Qt): the
// layer that has it registers it here with its extension and description. It must be
// callable from several threads at once. GUI thread.
using TMemoryPictureReader = std::function<bool(const uint8_t* data, size_t size, TBitmap& out)>;
void RegisterSelectionFileReader(const std::string& extension, const std::string& description,
                                 TMemoryPictureReader reader);

// The readers a picture of these formats goes through when read by GraphicsMagick with
// a forced coder; exposed for the tests: extension (without dot) -> coder.
struct TGmFormat {
  const char* Extensions;  // ";"-separated, without dots
  const char* Coder;
  const char* Description;
  unsigned Kinds;
};
const std::vector<TGmFormat>& GraphicsMagickFormats();

}  // namespace qm
