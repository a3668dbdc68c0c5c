#pragma once
// The table of the formats the program writes (the save dialog's filter, default
// extensions, the save dispatch), extension helpers and the predicates that say what a
// format keeps.
//
// Extensions are compared in lower case, with their dot, on the last extension of the
// name (LowerExt): "photo.tar.JPG" has the extension ".jpg".
#include <string>
#include <string_view>
#include <vector>

#include "imagefiles/FormatProbes.h"  // LowerExt and the extension tests

namespace qm {

// The writer of a format.
enum class TFormatId { Bmp, Gif, Jpeg, Quillomatic, Png, Rle, Targa, Tiff };

// What a written format keeps of a document.
enum TFormatKeeps : unsigned {
  kpTransparentColor = 1,  // a bitmap's transparent colour
  kpLayers = 2,
  kpAlpha = 4,         // the background's alpha channel
  kpExactPalette = 8,  // a palette of any size up to 256
  kp256Palette = 16,   // a palette of 256 entries
};

// One writable format: its extensions (with dots, ";"-separated, lower case), its
// description, its writer and what it keeps (TFormatKeeps).
struct TFormatRow {
  std::string Extensions;
  std::string Description;
  TFormatId Id;
  unsigned Keeps;
};

// Whether the format (null: none) keeps what.
inline bool FormatKeeps(const TFormatRow* format, unsigned what) { return format && (format->Keeps & what); }

// The eight rows, in their fixed order: BMP, GIF, JPEG, Quillomatic, PNG, RLE, Targa,
// TIFF.
const std::vector<TFormatRow>& FormatTable();
int GetFormatCount();

// Index of the row one of whose extensions is the name's extension, searching from the
// last row; -1 when the name has no extension or no row lists it.
int FindFormatByExt(const std::string& fileName);
// The row of FindFormatByExt; null when there is none. A save finds its format once,
// here, and branches on the row.
const TFormatRow* FindSaveFormat(const std::string& fileName);
bool IsKnownImageExt(const std::string& fileName);

// part 0: "%s (*%s)" with the description and the row's first extension; 1: the
// description; 2: the first extension. Empty for a row or part out of range.
std::string GetFormatFilterText(int row, int part);
// The save dialog's filter: "Desc (masks)|masks" per row joined by "|"; with withAll,
// "Toutes les images|<all masks>|" first.
std::string GetFormatFilter(bool withAll);

// What a format keeps, by extension (FormatKeeps of the name's row).
bool ExtKeepsTransparentColor(const std::string& fileName);  // .gif .png .qxi
bool ExtKeepsLayers(const std::string& fileName);            // .qxi
bool ExtKeepsAlpha(const std::string& fileName);             // .qxi .png .bmp .tga
bool ExtTakesExactPalette(const std::string& fileName);      // .bmp .png .tif .tiff
bool ExtTakes256Palette(const std::string& fileName);        // .gif .rle .tga

// Splits "a;b;c" into its non-empty parts.
std::vector<std::string> SplitExtensionList(std::string_view list);

}  // namespace qm
