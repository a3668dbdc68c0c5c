#include "shell/services/FileActionHost.h"

#include "shell/services/FolderChoosers.h"

namespace qm {

bool TFileActionHost::ChooseTargetFolder(const std::string& caption, const std::string& message,
                                         std::string& folder) {
  return ShowCopyToFolderDialog(caption, message, folder, SettingsFile(), LastUsedFolder());
}

}  // namespace qm
