#include "imagefiles/FormatRegistry.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "imagefiles/FileFormats.h"
#include "imagefiles/GifCodec.h"
#include "imagefiles/GmCodec.h"
#include "platform/core/Exceptions.h"
#include "imagefiles/ImageFileUtils.h"
#include "imagefiles/JpegCodec.h"
#include "imagefiles/LayeredFile.h"
#include "imagefiles/PngCodec.h"
#include "imagefiles/RawClient.h"
#include "imagefiles/TiffCodec.h"
#include "pixel/PixelFormat.h"
#include "platform/texts/UiTexts.h"

namespace qm {

namespace {

std::string Bare(std::string_view ext) {
  std::string e(ext);
  if (!e.empty() && e[0] == '.') e.erase(0, 1);
  for (char& c : e)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return e;
}

int ColorsOfPalette(size_t n) { return n <= 2 ? 2 : n <= 16 ? 16 : 256; }

std::string UnknownExtension(const std::string& fileName) { return "unknown picture file extension: " + fileName; }

// An indexed picture becomes 24-bit, keeping its transparent colour.
void To24(TBitmap& bmp) {
  if (bmp.PixelFormat() == pf24bit || bmp.PixelFormat() == pf32bit) return;
  const bool t = bmp.Transparent;
  const TColor key = bmp.TransparentColor;
  bmp.SetPixelFormat(pf24bit);
  bmp.Transparent = t;
  bmp.TransparentColor = key;
}

// Icons and metafiles are shown over the global transparent colour: a pixel is the
// key where it is mostly transparent, its own colour elsewhere.
void OverTransparentColor(TBitmap& bmp) {
  if (bmp.PixelFormat() == pf32bit) {
    TBitmap out(bmp.Width(), bmp.Height(), pf24bit, clBlack);
    uint8_t key[3];
    ColorToPixel24(clGlobalTransparent, key);
    for (int y = 0; y < bmp.Height(); ++y) {
      const uint8_t* s = bmp.ScanLine(y);
      uint8_t* d = out.ScanLine(y);
      for (int x = 0; x < bmp.Width(); ++x, s += 4, d += 3) {
        const uint8_t* p = s[3] >= 128 ? s : key;
        d[0] = p[0];
        d[1] = p[1];
        d[2] = p[2];
      }
    }
    bmp = std::move(out);
  }
  bmp.Transparent = true;
  bmp.TransparentColor = clGlobalTransparent;
}

void ReadPng(const std::string& f, const TReadRequest&, TLoadedPicture& out) {
  TPngImage png;
  ReadPngFile(f, png);
  PngToBitmapTransparent(png, out.Bitmap);
  if (png.ColorType == pcIndexed) out.SourceColors = ColorsOfPalette(png.Palette.size());
  To24(out.Bitmap);
}

// Frame 0 as the picture, every frame kept for the progress stage; the colour count is
// the size of frame 0's colour map.
void ReadGif(const std::string& f, const TReadRequest&, TLoadedPicture& out) {
  auto gif = std::make_shared<TGifImage>();
  ReadGifFile(f, *gif);
  GifFrameToBitmap(*gif, out.Bitmap, 0, true);
  out.StoredWidth = gif->Width;
  out.StoredHeight = gif->Height;
  out.FrameCount = int(gif->Frames.size());
  out.SourceColors = gif->Frames.empty() ? 0 : int(gif->FrameColorMap(0).size());
  out.Frames = std::move(gif);
  To24(out.Bitmap);
}

void ReadTiff(const std::string& f, const TReadRequest&, TLoadedPicture& out) { ReadTiffFile(f, out.Bitmap); }

// The layered file: its composed image, or for previews its stored thumbnail.
void ReadLayered(const std::string& f, const TReadRequest& r, TLoadedPicture& out) {
  TMyImageLayeredReg reg;
  reg.ThumbnailOnly = r.Preview;
  reg.LoadFromFile(f);
  out.Bitmap = std::move(reg.Bitmap);
  out.StoredWidth = reg.ImageWidth;
  out.StoredHeight = reg.ImageHeight;
}

TPictureReader GmReader(const char* coder, unsigned kinds, bool icon) {
  return [coder, kinds, icon](const std::string& f, const TReadRequest&, TLoadedPicture& out) {
    ReadWithGraphicsMagick(f, coder, out.Bitmap, &out.SourceColors);
    out.IsIcon = icon;
    out.IsMetafile = (kinds & fkVector) != 0;
    if (out.IsIcon || out.IsMetafile) OverTransparentColor(out.Bitmap);
  };
}

std::shared_ptr<const TGraphicClass> Class(const char* name, TPictureReader read, TFileObject object,
                                           unsigned reports) {
  return std::make_shared<const TGraphicClass>(TGraphicClass{name, std::move(read), object, reports});
}

void RegisterStandard(TFileFormatList& list) {
  constexpr unsigned generic = rrColorCount | rrFrameCount;
  auto jpeg = Class("JPEG", ReadReduciblePicture<TJpegImage2>, TFileObject::Jpeg, rrStoredSize | rrColorCount | rrFrameCount | rrReducedPreview);
  for (const char* e : {"jfif", "jpg", "jpe", "jpeg"}) list.Register(e, "JPEG", "JPEG", fkRaster, jpeg);
  auto tiff = Class("TIFF", ReadTiff, TFileObject::Picture, generic);
  for (const char* e : {"tiff", "tif"}) list.Register(e, "TIFF", "TIFF", fkRaster | fkMultiImage, tiff);
  list.Register("png", "PNG", "PNG", fkRaster, Class("PNG", ReadPng, TFileObject::Picture, generic));
  list.Register("gif", "GIF", "GIF", fkAnimation | fkMultiImage | fkRaster,
                Class("GIF", ReadGif, TFileObject::Gif, rrStoredSize | rrColorCount | rrFrameCount | rrAllFrames));
  // The layered file knows no colour count of a pixel format: its stage 1 reports none.
  list.Register("qxi", "Quillomatic", "Quillomatic", fkLayered | fkRaster,
                Class("QXI", ReadLayered, TFileObject::Layered, rrStoredSize | rrFrameCount | rrReducedPreview));
  for (const TGmFormat& g : GraphicsMagickFormats()) {
    const bool icon = std::string_view(g.Coder) == "ICO";
    auto c = Class(g.Coder, GmReader(g.Coder, g.Kinds, icon), TFileObject::Picture, generic);
    for (const std::string& e : SplitExtensionList(g.Extensions)) list.Register(e, g.Description, g.Description, g.Kinds, c);
  }
  // RAW files go to their maker's class whether or not the module is there; the RAW
  // client lists them when it is.
  const auto& raw = RawGraphicClasses();
  for (size_t i = 0; i < raw.size(); ++i)
    for (const std::string& e : SplitExtensionList(RawFormatTable()[i].Extensions)) list.AddUnlistedReader(e, raw[i]);
}

}  // namespace

const std::vector<TGmFormat>& GraphicsMagickFormats() {
  // Only what GraphicsMagick really reads here. Left out because it has no reader for
  // them: emf, eps (needs Ghostscript), psd, pdd, cel, pic, psp, tub.
  static const std::vector<TGmFormat> formats = {
      {"bmp;dib;rle", "BMP", "Bitmap Windows", fkRaster},
      {"ico", "ICO", "Icône Windows", fkRaster | fkMultiImage},
      {"wmf", "WMF", "Métafichier Windows", fkVector},
      {"tga;win;vst;vda;icb", "TGA", "Targa", fkRaster},
      {"fax", "FAX", "Fax groupe 3", fkRaster},
      {"pcx;pcc;scr", "PCX", "PCX", fkRaster},
      {"rla;rpf", "RLA", "Alias/Wavefront", fkRaster},
      {"sgi;rgba;rgb;bw", "SGI", "SGI", fkRaster},
      {"ppm;pgm;pbm", "PNM", "Portable pixmap", fkRaster},
      {"pcd", "PCD", "Kodak Photo CD", fkRaster},
      {"cut", "CUT", "Dr. Halo", fkRaster},
  };
  return formats;
}

void TFileFormatList::Register(const std::string& extension, const std::string& commonDescription,
                               const std::string& description, unsigned kinds,
                               std::shared_ptr<const TGraphicClass> cls) {
  const std::string ext = Bare(extension);
  if (ext.empty() || !cls) return;
  std::unique_lock guard(lock_);
  EraseExtension(ext);
  entries_.push_back(TFileFormatEntry{ext, commonDescription, description, kinds, std::move(cls)});
}

void TFileFormatList::Unregister(const TGraphicClass* cls) {
  std::unique_lock guard(lock_);
  std::erase_if(entries_, [&](const TFileFormatEntry& e) { return e.Class.get() == cls; });
}

void TFileFormatList::UnregisterExtension(const std::string& extension) {
  std::unique_lock guard(lock_);
  EraseExtension(Bare(extension));
}

void TFileFormatList::EraseExtension(const std::string& ext) {
  std::erase_if(entries_, [&](const TFileFormatEntry& e) { return e.Extension == ext; });
}

void TFileFormatList::AddUnlistedReader(const std::string& extension, std::shared_ptr<const TGraphicClass> cls) {
  const std::string ext = Bare(extension);
  if (ext.empty() || !cls) return;
  std::unique_lock guard(lock_);
  std::erase_if(unlisted_, [&](const auto& u) { return u.first == ext; });
  unlisted_.emplace_back(ext, std::move(cls));
}

std::optional<TFileFormatEntry> TFileFormatList::Find(std::string_view extension) const {
  const std::string ext = Bare(extension);
  std::shared_lock guard(lock_);
  for (const TFileFormatEntry& e : entries_)
    if (e.Extension == ext) return e;
  return std::nullopt;
}

std::shared_ptr<const TGraphicClass> TFileFormatList::ReaderFor(std::string_view extension) const {
  const std::string ext = Bare(extension);
  if (ext.empty()) return nullptr;
  std::shared_lock guard(lock_);
  for (const TFileFormatEntry& e : entries_)
    if (e.Extension == ext) return e.Class;
  for (const auto& [e, cls] : unlisted_)
    if (e == ext) return cls;
  return nullptr;
}

std::vector<TFileFormatEntry> TFileFormatList::Entries() const {
  std::shared_lock guard(lock_);
  return entries_;
}

std::string TFileFormatList::GetFilter(unsigned kinds, bool includeAll, const std::string& allLabel) const {
  std::shared_lock guard(lock_);
  std::vector<const TFileFormatEntry*> sorted;
  for (const TFileFormatEntry& e : entries_)
    if (e.Kinds & kinds) sorted.push_back(&e);
  std::stable_sort(sorted.begin(), sorted.end(), [](const TFileFormatEntry* a, const TFileFormatEntry* b) {
    if (a->CommonDescription != b->CommonDescription) return a->CommonDescription < b->CommonDescription;
    return a->Extension < b->Extension;
  });
  // One entry per class, in the order of the class's first extension.
  std::vector<const TGraphicClass*> order;
  std::map<const TGraphicClass*, std::pair<std::string, std::string>> groups;  // description, masks
  std::string all;
  for (const TFileFormatEntry* e : sorted) {
    auto [it, added] = groups.try_emplace(e->Class.get(), e->CommonDescription, std::string());
    if (added) order.push_back(e->Class.get());
    std::string& masks = it->second.second;
    if (!masks.empty()) masks += "; ";
    masks += "*." + e->Extension;
    if (!all.empty()) all += "; ";
    all += "*." + e->Extension;
  }
  std::string filter;
  if (includeAll && !all.empty()) filter = allLabel + " (" + all + ")|" + all;
  for (const TGraphicClass* c : order) {
    const auto& [desc, masks] = groups[c];
    if (!filter.empty()) filter += '|';
    filter += desc + " (" + masks + ")|" + masks;
  }
  return filter;
}

TFileFormatList& FileFormatList() {
  // Never destroyed: a reader may still be looked up while the process ends.
  static TFileFormatList* list = [] {
    auto* l = new TFileFormatList();
    RegisterStandard(*l);
    return l;
  }();
  return *list;
}

namespace {

void ReplaceAll(std::string& s, std::string_view from, std::string_view to) {
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
    s.replace(at, from.size(), to);
}

}  // namespace

std::string BuildImageFilter(bool allFilesEntry, bool includeAllImages, bool dropExtraMasks) {
  std::string filter = FileFormatList().GetFilter(fkAll, includeAllImages, Tr(TextId::GetOeAll));
  ReplaceAll(filter, "; *", ";*");
  if (dropExtraMasks)
    for (const char* m : {";*.jpeg", ";*.tiff", ";*.rgba"}) ReplaceAll(filter, m, "");
  if (allFilesEntry) filter = Tr(TextId::GetOeAll) + "|*.*|" + filter;
  return filter;
}

std::string GetImageMaskList() {
  const std::string filter = BuildImageFilter(false, true, false);
  // "label|masks|..." : the masks of the first entry.
  const size_t a = filter.find('|');
  if (a == std::string::npos) return {};
  const size_t b = filter.find('|', a + 1);
  return filter.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1);
}

void ReadPictureByRegistry(const std::string& fileName, const TReadRequest& request, TLoadedPicture& out) {
  // The class is held for the read: the GUI thread may re-register meanwhile.
  const std::shared_ptr<const TGraphicClass> cls = FileFormatList().ReaderFor(LowerExt(fileName));
  if (!cls || !cls->Read) throw EInvalidGraphic(UnknownExtension(fileName));
  cls->Read(fileName, request, out);
}

void RegisterSelectionFileReader(const std::string& extension, const std::string& description,
                                 TMemoryPictureReader reader) {
  if (!reader) {
    FileFormatList().UnregisterExtension(extension);
    return;
  }
  auto cls = std::make_shared<const TGraphicClass>(TGraphicClass{
      "QXS", [reader](const std::string& f, const TReadRequest&, TLoadedPicture& out) {
        // Selection files are small; a larger one is no selection file.
        const std::vector<uint8_t> data = ReadWholeFile(f, uint64_t(256) << 20);
        if (!reader(data.data(), data.size(), out.Bitmap)) throw EStreamError("invalid selection file: " + f);
      }});
  FileFormatList().Register(extension, description, description, fkRaster, cls);
}

}  // namespace qm
