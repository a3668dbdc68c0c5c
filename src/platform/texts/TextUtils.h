#pragma once
// Small text, number and colour helpers shared by every layer: caption clean-up and
// decoration, parsing with defaults and clamps, colours as "#RRGGBB", file sizes,
// dialog filters, the channel split. Texts are UTF-8; "characters" below are code
// points. None of these throws: unreadable input gives the default or an empty result.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/core/Types.h"

namespace qm {

// ---- UTF-8 ----------------------------------------------------------------------

size_t Utf8Length(std::string_view s);
// The first n characters.
std::string Utf8Left(std::string_view s, size_t n);
// Upper / lower case of ASCII and Latin letters (accented French letters included).
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
// The text with its first character upper-cased.
std::string UpperFirst(std::string_view s);
// Comparison and search without regard to case.
bool SameText(std::string_view a, std::string_view b);
size_t FindText(std::string_view text, std::string_view sub, bool ignoreCase);
// Without leading and trailing blanks and control characters.
std::string Trim(std::string_view s);

// ---- Numbers ----------------------------------------------------------------------

// A decimal integer with an optional sign, or a hexadecimal one written "$1F" or
// "0x1F"; blanks may lead. Anything else, or a value beyond 32 bits, fails.
bool TryStrToInt(std::string_view s, int& out);
bool TryStrToInt64(std::string_view s, int64_t& out);
int StrToIntDef(std::string_view s, int def);
// A floating value with the configured decimal separator (FormatSettings) and an
// optional exponent; blanks may surround it.
bool TryStrToFloat(std::string_view s, double& out);

// The integer of text, or def when unreadable; then clamped into min..max.
int StrToIntClamped(std::string_view text, int def, int min, int max);
double StrToFloatClamped(std::string_view text, double def, double min, double max);

// ---- Captions ---------------------------------------------------------------------

// Without its first "&", then without a trailing "...", then without a trailing ":",
// then without surrounding blanks: the text of a menu caption as a title.
std::string CleanMenuCaption(std::string_view caption);

enum TCaptionKind : int {
  ckGroup = 0,     // " text " (a group box caption)
  ckEllipsis = 1,  // "text..." (a command opening a dialog, a status text)
  ckLabel = 2,     // "text :" (a label before its control)
  ckDash = 3,      // "- text"
};
// CleanMenuCaption with its first character upper-cased, then decorated by kind;
// other kinds leave it undecorated. An empty caption stays empty.
std::string DecorateCaption(std::string_view caption, int kind);

// Every "&" doubled, so the text shows as written on a control that reads "&" as the
// accelerator mark.
std::string EscapeAmpersands(std::string_view text);
// The caption without its accelerator marks: "&&" gives "&", a single "&" is dropped.
std::string StripHotkey(std::string_view caption);
// The first n characters followed by "..." when the text is longer than n.
std::string TruncateWithEllipsis(std::string_view text, size_t n);
// The text without the first occurrence of sub.
std::string DeleteSubString(std::string_view sub, std::string_view text, bool ignoreCase);

// ---- Colours ----------------------------------------------------------------------

// A colour identifier of the classic colour-name table ("clRed", "clBtnFace", case
// ignored).
bool IdentToColor(std::string_view ident, TColor& out);
// An identifier, or "#" / "$" (optional) followed by exactly six hexadecimal digits,
// red-green-blue when rgbOrder, else blue-green-red; def for anything else.
TColor HexStrToColor(std::string_view text, TColor def, bool rgbOrder);
// "#RRGGBB" (rgbOrder) or "$BBGGRR", upper-case digits; system colours resolved.
std::string ColorToHexStr(TColor color, bool rgbOrder);

// ---- Sizes ------------------------------------------------------------------------

// "1 octet", "512 octets", "1,50 Ko" ... "Go" with the units of the text table; the
// value in Ko, Mo or Go with two decimals, or rounded to an integer when asked.
std::string FormatFileSize(int64_t bytes, bool rounded);
// The memory of a 24-bit image of that size.
std::string FormatImageMemory(int32_t width, int32_t height);

// "Image" / "Images", "pixel" / "pixels" (text-table words) for a count.
std::string GetImageCountWord(int64_t n);
std::string GetPixelCountWord(int64_t n);

// ---- Dialog filters -----------------------------------------------------------------

// Field (index - 1) * 2 of a "|"-separated file-dialog filter, the next one (its
// masks) when wantMasks; the last field when there are fewer; index counts from 1.
std::string GetFilterPart(std::string_view filter, int index, bool wantMasks);
// The extension of the first ";"-separated mask ("*.jpg;*.jpeg" gives ".jpg"); "." +
// the mask when it has no dot.
std::string GetFirstMaskExt(std::string_view masks);

// ---- Names ------------------------------------------------------------------------

// Splits a plug-in's "name|value" text. With a "|" after the first character, name is
// the text before it and value the text after it; otherwise name is the text without
// any "|" and value the same. Name is then the cleaned caption of its first 32
// characters and value its first 32 characters.
void SplitNameValue(std::string_view text, std::string& name, std::string& value);

// ---- Channels ---------------------------------------------------------------------

// Spreads a value over red, green and blue by the shared channel code: 0 all three;
// 1 red, 2 green, 3 blue, 4 green and blue, 5 red and blue, 6 red and green; the
// channels not chosen get 0 (the float form: 1.0, its neutral value).
void SplitByChannel(int& r, int& g, int& b, int channel, int value);
void SplitByChannelFloat(double& r, double& g, double& b, int channel, double value);

// ---- Paths (as text) ----------------------------------------------------------------

// The path with one "/" at its end.
std::string AddTrailingBackslash(std::string_view path);
// The name after the last "/".
std::string ExtractFileName(std::string_view path);
// Folder + "/" + the bare name of fileName; empty for an empty fileName.
std::string ChangeFileFolder(std::string_view fileName, std::string_view folder);

}  // namespace qm
