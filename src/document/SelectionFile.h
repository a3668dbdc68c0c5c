#pragma once
// The selection file (.qxs): one selection shape as text lines, or a traced outline
// as lines followed by little-endian 32-bit integers.
//
//   "Quillomatic Selection"          header (optional when reading)
//   "Vectorial" | "Binary"
//   vectorial, kinds 0..9:  the code -(kind) - 1, the width, the height
//   vectorial, point list:  the count n, then n lines "x;y"
//   binary (traced):        int32 n, then per point x + 33, flags + 77, y + 33
//
// Lines are written with CR LF and read ending at CR, LF, CR LF or LF CR. The
// reader trusts no byte: counts are bounded by what is left of the data,
// coordinates by +-kMaxSelectionCoord and a shape's extent by kMaxSelectionCoord,
// sizes must be 1..kMaxSelectionCoord.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "document/Shapes.h"
#include "platform/core/Exceptions.h"
#include "platform/texts/FileError.h"

namespace qm {

// The built-in text of the message shown when a selection file does not read or
// write; what is shown is the UI text table's entry, which a translation replaces.
inline constexpr const char* kInvalidDataFileText = "Fichier de données invalide !";

inline constexpr const char* kSelectionFileHeader = "Quillomatic Selection";
inline constexpr int32_t kMaxSelectionCoord = 1000000;

// Nothing here shows a message: a failed read or write gives false and, when error is
// given, the failure (the UI text GetShpMsgStreamError, whose built-in is
// kInvalidDataFileText, the file's name where there is one, and what was wrong). The
// shell shows it (ShowFileError) when this flag says so (default true). GUI thread.
bool SelectionFileShowErrors();
void SetSelectionFileShowErrors(bool on);

// Appends the file of the shape to out: kinds 0..9 store rect's width and height,
// ssPolygon and ssPolyline the points, ssMultiPoints the points and their flags.
// False (out unchanged) for anything the reader would refuse: an empty point list,
// an empty rect, a traced kind without flags, a coordinate out of range.
bool WriteSelection(const TShapeManager& shape, std::vector<uint8_t>& out, TMyShape kind, const TRect& rect,
                    TFileError* error = nullptr);
// Reads a file held in memory. A rectangle-based kind sets kind and rect = (0, 0,
// width, height) and leaves the points alone; a point list becomes ssPolygon, a
// traced outline ssMultiPoints, moved to the origin, rect = (0, 0, W + 1, H + 1). On
// failure the shape is cleared, kind and rect are left, and the result is false.
bool ReadSelection(TShapeManager& shape, const uint8_t* data, size_t size, TMyShape& kind, TRect& rect,
                   TFileError* error = nullptr);

// Write the file atomically (beside the target, then renamed over it) and read it.
// A file that cannot be created or opened throws EFileStreamError; a shape that does
// not write or a file that does not read gives false.
bool SaveSelectionToFile(const TShapeManager& shape, const std::string& fileName, TMyShape kind, const TRect& rect,
                         TFileError* error = nullptr);
bool LoadSelectionFromFile(TShapeManager& shape, const std::string& fileName, TMyShape& kind, TRect& rect,
                           TFileError* error = nullptr);

}  // namespace qm
