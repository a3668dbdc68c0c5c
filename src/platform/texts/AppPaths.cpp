#include "platform/texts/AppPaths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace qm {
namespace {

constexpr const char* kAppFolder = "Quillomatic";

// An environment variable that names an absolute folder, else empty (the XDG rules
// ignore relative values).
std::string AbsoluteEnv(const char* name) {
  const char* v = std::getenv(name);
  if (!v || v[0] != '/') return {};
  return v;
}

std::string HomeFolder() {
  std::string home = AbsoluteEnv("HOME");
  if (!home.empty()) return home;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/') return pw->pw_dir;
  return "/tmp";
}

std::string Under(const char* xdgVar, const char* fallback) {
  const std::string override = AbsoluteEnv("QM_HOME");
  if (!override.empty()) return override;
  std::string base = AbsoluteEnv(xdgVar);
  if (base.empty()) base = HomeFolder() + "/" + fallback;
  return base + "/" + kAppFolder;
}

std::string& DataFolderOverride() {
  static std::string folder;
  return folder;
}

const char* FolderName(TUserFolder folder) {
  switch (folder) {
    case TUserFolder::Selections: return "Selections";
    case TUserFolder::Masks: return "Masks";
    case TUserFolder::Patterns: return "Patterns";
    case TUserFolder::Plugins: break;
  }
  return "Plugins";
}

}  // namespace

std::string ConfigFolder() { return Under("XDG_CONFIG_HOME", ".config"); }
std::string DataFolder() { return Under("XDG_DATA_HOME", ".local/share"); }
std::string SettingsFilePath() { return ConfigFolder() + "/Quillomatic.ini"; }

std::string UserFolder(TUserFolder folder) { return DataFolder() + "/" + FolderName(folder); }

bool EnsureUserFolders() {
  bool ok = true;
  for (TUserFolder f : {TUserFolder::Selections, TUserFolder::Masks, TUserFolder::Patterns, TUserFolder::Plugins}) {
    std::error_code ec;
    std::filesystem::create_directories(UserFolder(f), ec);
    ok = ok && std::filesystem::is_directory(UserFolder(f), ec);
  }
  return ok;
}

std::string ProgramFolder() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.parent_path().string();
}

std::string ProgramDataFolder() {
  if (!DataFolderOverride().empty()) return DataFolderOverride();
  const std::filesystem::path program = ProgramFolder();
  if (program.empty()) return {};
  std::error_code ec;
  const std::filesystem::path installed = program.parent_path() / "share" / "quillomatic";
  if (program.filename() == "bin" && std::filesystem::is_directory(installed, ec)) return installed.string();
  return program.string();
}

void SetProgramDataFolder(const std::string& folder) { DataFolderOverride() = folder; }

std::vector<std::string> ListFolders(TUserFolder folder) {
  std::vector<std::string> folders{UserFolder(folder)};
  const std::string data = ProgramDataFolder();
  if ((folder == TUserFolder::Masks || folder == TUserFolder::Patterns) && !data.empty())
    folders.push_back(data + "/" + FolderName(folder));
  return folders;
}

}  // namespace qm
