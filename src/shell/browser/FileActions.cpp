#include "shell/browser/FileActions.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>
#include <vector>

#include "imagefiles/FormatProbes.h"
#include "imagefiles/FormatRegistry.h"
#include "platform/core/Messages.h"
#include "platform/texts/Format.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/FolderChoosers.h"
#include "shell/services/MsgDlg.h"
#include "shell/services/ShellOps.h"

namespace qm {
namespace fs = std::filesystem;

namespace {

void Warn(TextId id) { ShowMessageDialog(Tr(id), mtWarning, mbOK); }

bool Confirm(TextId question, const std::string& from, const std::string& to) {
  // The box shows its text as written, so names keep their ampersands single.
  return ShowMessageDialog(Format(question, {from, to}), mtConfirmation, mbYes | mbNo) == mrYes;
}

// Whether two names lead to the same file (the same path when neither exists).
bool SamePath(const std::string& a, const std::string& b) {
  std::error_code ec;
  if (fs::equivalent(a, b, ec)) return true;
  return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec) && !ec;
}

bool Exists(const std::string& name) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(name, ec));
}

// A new base name for a file: not empty, not a folder's own names, no separator.
bool IsUsableBaseName(const std::string& name) {
  return !Trim(name).empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

// Copy (or move) into a chosen folder.
bool TransferToFolder(TFileActionHost& host, const std::string& title, const std::string& fileName, bool move,
                      std::string& newName) {
  std::string folder;
  if (!host.ChooseTargetFolder(title, title + " :", folder)) return false;
  const std::string target = (fs::path(folder) / fs::path(fileName).filename()).string();
  const TextId failure = move ? TextId::GetTrDlgImage3 : TextId::GetTrDlgImage2;
  if (SamePath(fileName, target)) {
    Warn(TextId::GetTrDlgImage1);
    return false;
  }
  if (Exists(target)) {
    Warn(failure);
    return false;
  }
  if (!Confirm(move ? TextId::GetTrDlgImage6 : TextId::GetTrDlgImage5, fileName, target)) return false;
  if (!(move ? MoveFileTo(fileName, target) : CopyFileTo(fileName, target))) {
    Warn(failure);
    return false;
  }
  if (move) host.FileRenamed(fileName, target);
  newName = target;
  return true;
}

bool RenameFile(TFileActionHost& host, const std::string& title, const std::string& fileName,
                std::string& newName) {
  const fs::path path(fileName);
  std::string answer = path.stem().string();
  if (!InputQueryDialog(title, DecorateCaption(Tr(TextId::GetTrDlgImage8), ckLabel), answer)) return false;
  if (!IsUsableBaseName(answer)) {
    Warn(TextId::GetTrDlgImage4);
    return false;
  }
  const std::string target = (path.parent_path() / (answer + path.extension().string())).string();
  if (target == fileName || SamePath(fileName, target)) {
    Warn(TextId::GetTrDlgImage1);
    return false;
  }
  if (Exists(target)) {
    Warn(TextId::GetTrDlgImage4);
    return false;
  }
  if (!Confirm(TextId::GetTrDlgImage7, fileName, target)) return false;
  if (!MoveFileTo(fileName, target)) {
    Warn(TextId::GetTrDlgImage4);
    return false;
  }
  host.FileRenamed(fileName, target);
  newName = target;
  return true;
}

// The extensions (lower case, with the dot) the readers know.
std::set<std::string> ReadableExtensions() {
  std::set<std::string> exts;
  const std::string masks = GetImageMaskList();
  size_t start = 0;
  while (start <= masks.size()) {
    size_t end = masks.find(';', start);
    if (end == std::string::npos) end = masks.size();
    const std::string mask = masks.substr(start, end - start);
    const size_t dot = mask.rfind('.');
    if (dot != std::string::npos && dot + 1 < mask.size()) exts.insert(LowerCase(mask.substr(dot)));
    start = end + 1;
  }
  return exts;
}

}  // namespace

bool DoBrowserFileAction(TFileActionHost& host, const std::string& title, const std::string& fileName,
                         TFileAction action, std::string& newName) {
  if (fileName.empty()) return false;
  switch (action) {
    case faOpen:
      if (!Exists(fileName) || !OpenWithAssociatedProgram(fileName)) {
        ShowMessageDialog(Tr(TextId::GetTrDlgExplore2), mtInformation, mbOK);
        return false;
      }
      newName = fileName;
      return true;
    case faCopy:
    case faMove:
      return TransferToFolder(host, title, fileName, action == faMove, newName);
    case faRename:
      return RenameFile(host, title, fileName, newName);
    case faRecycle:
      if (ShowMessageDialog(Tr(TextId::GetTrDlgExplore1), mtConfirmation, mbYes | mbNo) != mrYes) return false;
      if (!DeleteToRecycleBin(fileName, false)) return false;
      host.FileRecycled(fileName);
      newName = fileName;
      return true;
  }
  return false;
}

std::string GetSiblingImageFile(TFileActionHost& host, const std::string& current, TSiblingFile mode) {
  if (host.IsBrowserScanning()) {
    Warn(TextId::GetTrDlgMain4);
    return {};
  }
  const fs::path path(current);
  const std::set<std::string> exts = ReadableExtensions();
  std::vector<std::string> names;
  std::error_code ec;
  const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code fileEc;
    if (!it->is_regular_file(fileEc)) continue;
    const std::string name = it->path().filename().string();
    if (exts.count(LowerExt(name))) names.push_back(name);
  }
  if (names.size() < 2) return {};
  // The order a file list shows: by name without regard to case, then as written.
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const std::string la = LowerCase(a), lb = LowerCase(b);
    return la != lb ? la < lb : a < b;
  });
  const auto it = std::find(names.begin(), names.end(), path.filename().string());
  if (it == names.end()) return {};
  const size_t i = size_t(it - names.begin()), last = names.size() - 1;
  size_t pick;
  switch (mode) {
    case sfFirst: if (i == 0) return {}; pick = 0; break;
    case sfPrevious: if (i == 0) return {}; pick = i - 1; break;
    case sfNext: if (i == last) return {}; pick = i + 1; break;
    case sfLast: if (i == last) return {}; pick = last; break;
    default: return {};
  }
  return path.has_parent_path() ? (folder / names[pick]).string() : names[pick];
}

}  // namespace qm
