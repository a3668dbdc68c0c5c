#include "platform/texts/AppPaths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

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

}  // namespace

std::string ConfigFolder() { return Under("XDG_CONFIG_HOME", ".config"); }
std::string DataFolder() { return Under("XDG_DATA_HOME", ".local/share"); }
std::string SettingsFilePath() { return ConfigFolder() + "/Quillomatic.ini"; }

std::string UserFolder(TUserFolder folder) {
  const char* name = "Plugins";
  switch (folder) {
    case TUserFolder::Selections: name = "Selections"; break;
    case TUserFolder::Masks: name = "Masks"; break;
    case TUserFolder::Patterns: name = "Patterns"; break;
    case TUserFolder::Plugins: name = "Plugins"; break;
  }
  return DataFolder() + "/" + name;
}

bool EnsureUserFolders() {
  bool ok = true;
  for (TUserFolder f : {TUserFolder::Selections, TUserFolder::Masks, TUserFolder::Patterns, TUserFolder::Plugins}) {
    std::error_code ec;
    std::filesystem::create_directories(UserFolder(f), ec);
    ok = ok && std::filesystem::is_directory(UserFolder(f), ec);
  }
  return ok;
}

}  // namespace qm
