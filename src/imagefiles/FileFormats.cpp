#include "imagefiles/FileFormats.h"

#include <algorithm>

#include "platform/texts/Format.h"
#include "platform/texts/UiTexts.h"

namespace qm {

std::vector<std::string> SplitExtensionList(std::string_view list) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(';', start);
    if (end == std::string_view::npos) end = list.size();
    if (end > start) out.emplace_back(list.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

const std::vector<TFormatRow>& FormatTable() {
  // The descriptions are format names, the same in every language.
  static const std::vector<TFormatRow> rows = {
      {".bmp", "BMP", TFormatId::Bmp, kpAlpha | kpExactPalette},
      {".gif", "GIF", TFormatId::Gif, kpTransparentColor | kp256Palette},
      {".jpg;.jpeg;.jpe;.jfif", "JPEG", TFormatId::Jpeg, 0},
      {".qxi", "Quillomatic", TFormatId::Quillomatic, kpTransparentColor | kpLayers | kpAlpha},
      {".png", "PNG", TFormatId::Png, kpTransparentColor | kpAlpha | kpExactPalette},
      {".rle", "RLE", TFormatId::Rle, kp256Palette},
      {".tga", "Targa", TFormatId::Targa, kpAlpha | kp256Palette},
      {".tif;.tiff", "TIFF", TFormatId::Tiff, kpExactPalette},
  };
  return rows;
}

int GetFormatCount() { return int(FormatTable().size()); }

namespace {

bool ListHas(std::string_view list, std::string_view ext) {
  if (ext.empty()) return false;
  for (const std::string& e : SplitExtensionList(list))
    if (e == ext) return true;
  return false;
}

std::string Masks(const std::string& extensions) {
  std::string out;
  for (const std::string& e : SplitExtensionList(extensions)) {
    if (!out.empty()) out += ';';
    out += '*';
    out += e;
  }
  return out;
}

}  // namespace

int FindFormatByExt(const std::string& fileName) {
  const std::string ext = LowerExt(fileName);
  if (ext.empty()) return -1;
  const auto& rows = FormatTable();
  for (int i = int(rows.size()) - 1; i >= 0; --i)
    if (ListHas(rows[size_t(i)].Extensions, ext)) return i;
  return -1;
}

const TFormatRow* FindSaveFormat(const std::string& fileName) {
  const int row = FindFormatByExt(fileName);
  return row < 0 ? nullptr : &FormatTable()[size_t(row)];
}

bool IsKnownImageExt(const std::string& fileName) { return FindFormatByExt(fileName) >= 0; }

std::string GetFormatFilterText(int row, int part) {
  if (row < 0 || row >= GetFormatCount()) return {};
  const TFormatRow& r = FormatTable()[size_t(row)];
  const std::string first = r.Extensions.substr(0, r.Extensions.find(';'));
  switch (part) {
    case 0:
      return Format("%s (*%s)", {r.Description, first});
    case 1:
      return r.Description;
    case 2:
      return first;
    default:
      return {};
  }
}

std::string GetFormatFilter(bool withAll) {
  std::string filter, all;
  for (const TFormatRow& r : FormatTable()) {
    const std::string m = Masks(r.Extensions);
    if (!filter.empty()) filter += '|';
    filter += r.Description + " (" + m + ")|" + m;
    if (!all.empty()) all += ';';
    all += m;
  }
  if (withAll) filter = Tr(TextId::GetOeAll) + "|" + all + "|" + filter;
  return filter;
}

bool ExtKeepsTransparentColor(const std::string& f) { return FormatKeeps(FindSaveFormat(f), kpTransparentColor); }
bool ExtKeepsLayers(const std::string& f) { return FormatKeeps(FindSaveFormat(f), kpLayers); }
bool ExtKeepsAlpha(const std::string& f) { return FormatKeeps(FindSaveFormat(f), kpAlpha); }
bool ExtTakesExactPalette(const std::string& f) { return FormatKeeps(FindSaveFormat(f), kpExactPalette); }
bool ExtTakes256Palette(const std::string& f) { return FormatKeeps(FindSaveFormat(f), kp256Palette); }

}  // namespace qm
