#include "extensions/Translation.h"

#include <dlfcn.h>

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>
#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <memory>

#include "extensions/TranslationModuleApi.h"
#include "imagefiles/FileSearch.h"
#include "imagefiles/FormatRegistry.h"
#include "platform/core/Stream.h"
#include "platform/texts/AppPaths.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"

namespace qm {
namespace {

struct TModuleCloser {
  void operator()(void* handle) const {
    if (handle) dlclose(handle);
  }
};
using TModule = std::unique_ptr<void, TModuleCloser>;

using TBuffer = std::array<char, QM_TRANSLATION_BUFFER_SIZE>;

// One entry called as the interface says, its text copied at once: at most the buffer
// size less one byte, up to the terminator, whatever the module returned (its own
// storage may be neither terminated nor that long; a full buffer has no terminator),
// and bytes that are not UTF-8 made U+FFFD.
std::string CallEntry(QmTranslationEntry entry, TBuffer& buffer) {
  buffer.fill(0);
  const char* text = entry(buffer.data(), int32_t(buffer.size()));
  if (!text) return {};
  return ReplaceInvalidUtf8(std::string_view(text, strnlen(text, buffer.size() - 1)));
}

QmTranslationEntry FindEntry(const TModule& module, const char* name) {
  return reinterpret_cast<QmTranslationEntry>(dlsym(module.get(), name));
}

// The icon format registered again, with the class, kinds and extension it has, under
// the description given.
void RenameIconFormat(const std::string& description) {
  TFileFormatList& list = FileFormatList();
  const std::optional<TFileFormatEntry> icon = list.Find("ico");
  if (!icon || !icon->Class) return;
  list.Unregister(icon->Class.get());
  list.Register("ico", description, description, icon->Kinds, icon->Class);
}

// The text with its first occurrence of what (at pos, n bytes) replaced by with.
std::string ReplacedAt(std::string text, size_t pos, size_t n, std::string_view with) {
  if (pos != std::string::npos) text.replace(pos, n, with);
  return text;
}

}  // namespace

std::vector<std::string> TranslationFolders() {
  std::vector<std::string> folders;
  const std::string exe = ProgramFolder();
  if (!exe.empty()) {
    std::error_code ec;
    const std::filesystem::path installed = std::filesystem::path(exe).parent_path() / "lib" / "quillomatic";
    const bool isInstalled =
        std::filesystem::path(exe).filename() == "bin" && std::filesystem::is_directory(installed, ec);
    folders.push_back(isInstalled ? installed.string() : exe);
  }
  const std::string data = DataFolder();
  if (std::find(folders.begin(), folders.end(), data) == folders.end()) folders.push_back(data);
  return folders;
}

std::vector<std::string> FindTranslationModules(const std::vector<std::string>& folders) {
  struct TFound {
    std::string Key, Path;
  };
  std::vector<TFound> found;
  for (const std::string& folder : folders) {
    if (folder.empty() || folder.front() != '/') continue;
    for (std::string& path : FindFilesToList(folder, "*.plg", false))
      found.push_back({LowerCase(ExtractFileName(path)), std::move(path)});
  }
  std::stable_sort(found.begin(), found.end(), [](const TFound& a, const TFound& b) { return a.Key < b.Key; });
  std::vector<std::string> paths;
  for (TFound& f : found) paths.push_back(std::move(f.Path));
  return paths;
}

bool LoadTranslationFile(const std::string& path) {
  // A path of ours always names its folder, so the loader's search path plays no part.
  const TModule module(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
  if (!module) return false;
  const QmTranslationEntry compatibility = FindEntry(module, "GetCompatibility");
  if (!compatibility) return false;
  TBuffer buffer;
  if (CallEntry(compatibility, buffer) != QM_TRANSLATION_COMPATIBILITY) return false;
  std::string name;
  for (std::string_view exportName : ExportNames()) {
    name.assign(exportName);
    if (const QmTranslationEntry entry = FindEntry(module, name.c_str()))
      FillTextByName(exportName, CallEntry(entry, buffer));
  }
  RenameIconFormat(Tr(TextId::GetFltIconFile));
  return true;
}

bool LoadFirstTranslation(const std::vector<std::string>& folders) {
  for (const std::string& path : FindTranslationModules(folders))
    if (LoadTranslationFile(path)) return true;
  return false;
}

bool LoadFirstTranslation() { return LoadFirstTranslation(TranslationFolders()); }

void BuildDerivedTexts() {
  const std::string& hue = Tr(TextId::GetTrFmtHue);
  const size_t colon = hue.find(':');
  SetText(TextId::TrLblHue, colon == std::string::npos ? std::string() : Trim(hue.substr(0, colon)));

  std::string web = Tr(TextId::GetTrLblWindows256);
  web = ReplacedAt(web, FindText(web, "Windows", true), 7, "Web");
  web = ReplacedAt(web, web.find("256"), 3, "216");
  SetText(TextId::TrLblWeb216, std::move(web));

  const std::string& properties = Tr(TextId::GetTrFmtExploreProperties);
  size_t at = 0;
  for (int breaks = 0; breaks < 5 && at != std::string::npos; ++breaks) {
    at = properties.find('\r', at);
    if (at != std::string::npos) ++at;
  }
  std::string date;
  if (at != std::string::npos)
    for (size_t i = at; i < properties.size() && uint8_t(properties[i]) > ' '; ++i) date += properties[i];
  SetText(TextId::TrLblDate, std::move(date));

  // A text that already names both kinds stays as it is ("EXIF/IPTC/IPTC" otherwise).
  const std::string& exif = Tr(TextId::GetTrLblPreserveExif);
  const size_t pos = FindText(exif, "exif", true);
  if (pos != std::string::npos && FindText(exif.substr(pos), "exif/iptc", true) != 0)
    SetText(TextId::GetTrLblPreserveExif, ReplacedAt(exif, pos, 4, "EXIF/IPTC"));
}

bool InstallQtTranslation(const std::string& languageCode) {
  static QPointer<QTranslator> installed;
  if (installed) {
    QCoreApplication::removeTranslator(installed);
    delete installed;
  }
  // a code is a language's letters ("pt_BR" at most), never a path
  const bool plainCode = std::all_of(languageCode.begin(), languageCode.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
  });
  if (!plainCode) return false;
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  auto translator = std::make_unique<QTranslator>(QCoreApplication::instance());
  const bool found = languageCode.empty()
                         ? translator->load(QLocale::system(), QStringLiteral("qtbase"), QStringLiteral("_"), folder)
                         : translator->load(QStringLiteral("qtbase_") + QString::fromStdString(LowerCase(languageCode)),
                                            folder);
  if (!found || !QCoreApplication::installTranslator(translator.get())) return false;
  installed = translator.release();
  return true;
}

void InstallInterfaceLocale(const std::string& languageCode) {
  const QString code = QString::fromStdString(LowerCase(languageCode));
  const QLocale locale = code == QStringLiteral("fr") ? QLocale(QLocale::French, QLocale::France) : QLocale(code);
  QLocale::setDefault(locale.language() == QLocale::C ? QLocale::system() : locale);
}

bool LoadProgramTranslation(const std::vector<std::string>& folders) {
  const bool loaded = LoadFirstTranslation(folders);
  if (loaded) BuildDerivedTexts();
  // Qt's own texts in the interface's language: the module's, else the built-in French.
  InstallQtTranslation(Tr(TextId::GetTrCode));
  InstallInterfaceLocale(Tr(TextId::GetTrCode));
  return loaded;
}

bool LoadProgramTranslation() { return LoadProgramTranslation(TranslationFolders()); }

}  // namespace qm
