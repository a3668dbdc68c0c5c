#pragma once
// The copyright stamp: one line of text in a band along the top or bottom edge of an
// image, over the image or in a band added outside it, on an optional background colour,
// at an opacity (over the image only). The text is a template:
//   <#n>  the file name without folder and extension     <#ne> the file name
//   <#d>  the file's date (or today)                     <#w> <#h> the image's size
// replaced in that order, each at every occurrence, in any case.
//
// The settings are the copyright dialog's controls (and the batch's copy of them),
// kept in section [Copyright] of the settings file. Drawing needs Qt's fonts (a
// QGuiApplication).
#include <QFont>
#include <string>
#include <string_view>

#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

class TIniFile;

struct TCopyrightSettings {
  std::string Text;             // the template
  std::string FontName = "Arial";
  int Size = 10;                // points, 6..50
  TColor Color = clWhite;
  bool Bold = false, Italic = false, Underline = false;
  int Alignment = 1;            // 0 left, 1 centre, 2 right
  bool Background = true;       // the band filled with BackgroundColor
  TColor BackgroundColor = clBlack;
  // The band added outside the image (only with a background: a band outside always
  // has one); the stamp is then opaque.
  bool Outside = true;
  bool Top = false;             // the band along the top edge (else the bottom)
  int Opacity = 100;            // 10..100, over the image
};

constexpr int kMinCopyrightSize = 6, kMaxCopyrightSize = 50;
constexpr int kMinCopyrightOpacity = 10, kMaxCopyrightOpacity = 100;

// The template with its placeholders replaced.
std::string ExpandCopyrightTemplate(std::string_view text, const std::string& fileName, const std::string& date,
                                    int width, int height);
// What <#d> stands for: the last-write date of fileName when keepFileDate and the file
// has one, else today; in the short date format.
std::string CopyrightDate(const std::string& fileName, bool keepFileDate);

// The stamp's font: the face, size (points at 96 dots per inch) and style.
QFont CopyrightFont(const TCopyrightSettings& settings);
// The band's height: the font's line height ("M") + 2.
int CopyrightBandHeight(const TCopyrightSettings& settings);

struct TCopyrightStamp {
  int Band = 0;         // the band's height
  bool Outside = false; // the image grew by the band
  int TopOffset = 0;    // the band's height when it was added at the top, else 0
  TRect BandRect{};     // in the stamped bitmap
  std::string Text;     // as drawn
};

// Stamps the bitmap (made 24-bit) in place: it grows by the band when the band goes
// outside (work, when given, is the scratch bitmap and ends empty). fileName and date
// feed the placeholders.
TCopyrightStamp DrawCopyrightStamp(const TCopyrightSettings& settings, TBitmap& bitmap, TBitmap* work,
                                   const std::string& fileName, const std::string& date);

// A mask (a layer's alpha) grown as its image was by an outside band: the band shown.
void GrowMaskForBand(TBitmap& mask, const TCopyrightStamp& stamp);

// [Copyright], read with the sentinel "ERR": a missing key keeps the value settings
// holds, except Size (10 unless a number), Color (white), BkgColor (black) and Style
// (none), which have their own defaults; the alignment is centre unless "0" or "2".
void ReadCopyrightSettings(const TIniFile& ini, TCopyrightSettings& settings);
void WriteCopyrightSettings(TIniFile& ini, const TCopyrightSettings& settings);

}  // namespace qm
