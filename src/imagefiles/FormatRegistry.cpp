#include "imagefiles/FormatRegistry.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "imagefiles/FileFormats.h"
#include "platform/core/Exceptions.h"
#include "imagefiles/ImageFileUtils.h"
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

std::string UnknownExtension(const std::string& fileName) { return "unknown picture file extension: " + fileName; }

}  // namespace

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
    RegisterStandardReaders(*l);
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
