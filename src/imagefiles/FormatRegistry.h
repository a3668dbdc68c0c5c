#pragma once
// The reader registry: every readable extension with its descriptions, format kinds
// and the reading class that opens it. The load dispatch reads any file whose
// extension is not one of its own through it, and the open dialog and the image
// browser build their filters from it.
//
// Registered at first use: the codec readers (JPEG, PNG, GIF, TIFF) and the rarer
// formats GraphicsMagick reads here. The RAW client and the selection-file preview
// add their own entries. GUI thread only.
#include <functional>
#include <memory>
#include <string>
#include <vector>

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

struct TReadRequest {
  bool Preview = false;  // a reduced picture is enough (readers that can, decode one)
};

// What a reader hands back: the picture at 24 bits (or 32 with an alpha channel),
// transparent with its key colour where the format says so.
struct TLoadedPicture {
  TBitmap Bitmap;
  int StoredWidth = 0, StoredHeight = 0;  // the size in the file (0: the bitmap's)
  int SourceColors = 16777216;            // colour count of the file's pixel format
  int FrameCount = 1;
  bool IsIcon = false, IsMetafile = false;
};

// Reads a file; throws EInvalidGraphic (or another exception) on failure.
using TPictureReader = std::function<void(const std::string& fileName, const TReadRequest& request,
                                          TLoadedPicture& out)>;

// A reading class: one per reader, shared by all its extensions.
struct TGraphicClass {
  std::string Name;
  TPictureReader Read;
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
  // The entry of an extension (with or without dot, any case); null when none.
  const TFileFormatEntry* Find(std::string_view extension) const;
  const std::vector<TFileFormatEntry>& Entries() const { return entries_; }

  // The filter of the entries of the kinds: sorted by description and extension, one
  // entry per reading class ("Desc (*.a;*.b)|*.a;*.b"), preceded, with includeAll, by
  // the entry of all their masks labelled allLabel.
  std::string GetFilter(unsigned kinds, bool includeAll, const std::string& allLabel) const;

 private:
  std::vector<TFileFormatEntry> entries_;
};

// The process's registry, filled with the standard readers at first use.
TFileFormatList& FileFormatList();

// The open filter of the registry (see the open dialog): with allFilesEntry
// "Toutes les images|*.*|" first; with includeAllImages the registry's entry of all
// image masks; with dropExtraMasks without ";*.jpeg", ";*.tiff" and ";*.rgba".
std::string BuildImageFilter(bool allFilesEntry, bool includeAllImages, bool dropExtraMasks);
// Every readable mask, ";"-separated.
std::string GetImageMaskList();

// Reads a file through the registry by its extension. Throws EInvalidGraphic for an
// extension nobody reads.
void ReadPictureByRegistry(const std::string& fileName, const TReadRequest& request, TLoadedPicture& out);

// The selection file's picture reader lives above this layer (it draws with Qt): the
// layer that has it registers it here with its extension and description.
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
